#pragma once

#include <QByteArray>
#include <QLocale>
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

    // A CSV file written for people to open in a spreadsheet (a report's table, the ratings of
    // a cell, an analysis), all under one rule: where 'locale' writes decimal commas (French),
    // semicolons between fields and decimal commas; otherwise commas and points. UTF-8 with a
    // byte order mark, CR LF, formulas guarded (Cells::Formulas).
    static CsvWriter forPeople(const QLocale& locale = QLocale());

    void addRow(const QStringList& fields);
    // What the file shows, before its table: each line a row of two fields, "#" and the line,
    // then an empty row. A spreadsheet shows them above the table; a program skips the lines
    // that begin with "#" and the empty line.
    void addAbout(const QStringList& lines);
    const QByteArray& bytes() const { return m_bytes; }
    QChar separator() const { return m_separator; }

    // A number as this file writes it (QString::number's 'format' and 'precision': by default
    // 'precision' places, trailing zeros kept); empty for a value that is not finite.
    QString number(double value, int precision, char format = 'f') const;
    // A figure given as text ("87", "87.5" or "87,5") with this file's decimal separator; any
    // other text as it is.
    QString figure(const QString& text) const;

    // A number as a program reads it back: integers as such, reals in their shortest round-trip
    // form without exponent, with a decimal point.
    static QString plainNumber(double value);

    static QString field(const QString& text, Cells cells = Cells::AsGiven, QChar separator = ',');
    // The text with the apostrophe that Cells::Formulas puts before a formula.
    static QString guarded(const QString& text);

private:
    Cells m_cells;
    QChar m_separator = QLatin1Char(',');
    QByteArray m_bytes;
};

} // namespace grelavo
