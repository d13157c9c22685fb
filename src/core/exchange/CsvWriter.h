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
    CsvWriter();

    void addRow(const QStringList& fields);
    const QByteArray& bytes() const { return m_bytes; }

    static QString field(const QString& text);

private:
    QByteArray m_bytes;
};

} // namespace grelavo
