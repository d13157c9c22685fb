#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace grelavo {

// A CSV file in the exchange form: UTF-8 with a byte order mark, fields separated by commas,
// lines ended by CR LF, and a field quoted (inner quotes doubled) when it holds a comma, a quote,
// a line break or a space at either end.
class CsvWriter {
public:
    // Formulas: a text field that a spreadsheet would take for a formula (its first character
    // one of = + - @, a tab or a carriage return) is written after an apostrophe, which
    // spreadsheets show as text and the importer reads away; a number (-0.5) is written as it is.
    enum class Cells { AsGiven, Formulas };

    explicit CsvWriter(Cells cells = Cells::AsGiven);

    void addRow(const QStringList& fields);
    const QByteArray& bytes() const { return m_bytes; }

    static QString field(const QString& text, Cells cells = Cells::AsGiven);
    // The text with the apostrophe that Cells::Formulas puts before a formula, for CSV files
    // of other separators.
    static QString guarded(const QString& text);

private:
    Cells m_cells;
    QByteArray m_bytes;
};

} // namespace grelavo
