#include "SourceTable.h"

#include <QFile>

namespace grelavo::makedb {

SourceTable::SourceTable(const QString& name, const QByteArray& utf8) : m_name(name) {
    const QStringList lines = QString::fromUtf8(utf8).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (m_header.isEmpty()) {
            m_header = fields;
            continue;
        }
        if (fields.size() > m_header.size())
            throw SourceError(QStringLiteral("%1:%2: %3 fields, the header names %4")
                                  .arg(m_name)
                                  .arg(i + 1)
                                  .arg(fields.size())
                                  .arg(m_header.size()));
        m_rows.append(fields);
        m_lines.append(i + 1);
    }
    if (m_header.isEmpty())
        throw SourceError(QStringLiteral("%1: no header line").arg(m_name));
}

SourceTable SourceTable::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SourceError(QStringLiteral("%1: cannot be read").arg(path));
    return SourceTable(path, file.readAll());
}

int SourceTable::columnIndex(const QString& column) const {
    const int index = m_header.indexOf(column);
    if (index < 0)
        throw SourceError(QStringLiteral("%1: no column \"%2\"").arg(m_name, column));
    return index;
}

QString SourceTable::text(int row, const QString& column) const {
    const int index = columnIndex(column);
    const QStringList& fields = m_rows.at(row);
    return index < fields.size() ? fields[index].trimmed() : QString();
}

QString SourceTable::required(int row, const QString& column) const {
    const QString value = text(row, column);
    if (value.isEmpty())
        fail(row, QStringLiteral("empty %1").arg(column));
    return value;
}

int SourceTable::integer(int row, const QString& column) const {
    bool ok = false;
    const int value = required(row, column).toInt(&ok);
    if (!ok)
        fail(row, QStringLiteral("%1 is not an integer: %2").arg(column, text(row, column)));
    return value;
}

double SourceTable::number(int row, const QString& column) const {
    bool ok = false;
    const double value = required(row, column).toDouble(&ok); // C locale: a point
    if (!ok)
        fail(row, QStringLiteral("%1 is not a number: %2").arg(column, text(row, column)));
    return value;
}

QVector<int> SourceTable::integers(int row, const QString& column) const {
    QVector<int> values;
    const QString value = text(row, column);
    if (value.isEmpty() || value == QLatin1String("-"))
        return values;
    for (const QString& item : value.split(QLatin1Char(','))) {
        bool ok = false;
        values.append(item.trimmed().toInt(&ok));
        if (!ok)
            fail(row, QStringLiteral("%1 is not a list of integers: %2").arg(column, value));
    }
    return values;
}

QVector<double> SourceTable::numbers(int row, const QString& column) const {
    QVector<double> values;
    const QString value = text(row, column);
    if (value.isEmpty() || value == QLatin1String("-"))
        return values;
    for (const QString& item : value.split(QLatin1Char(','))) {
        bool ok = false;
        values.append(item.trimmed().toDouble(&ok));
        if (!ok)
            fail(row, QStringLiteral("%1 is not a list of numbers: %2").arg(column, value));
    }
    return values;
}

void SourceTable::fail(int row, const QString& message) const {
    throw SourceError(QStringLiteral("%1:%2: %3").arg(m_name).arg(m_lines.at(row)).arg(message));
}

} // namespace grelavo::makedb
