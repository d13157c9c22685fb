#include "CsvWriter.h"

namespace grelavo {

CsvWriter::CsvWriter() : m_bytes("\xEF\xBB\xBF") {}

void CsvWriter::addRow(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& f : fields)
        quoted << field(f);
    m_bytes += quoted.join(QLatin1Char(',')).toUtf8();
    m_bytes += "\r\n";
}

QString CsvWriter::field(const QString& text) {
    const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                             text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                             (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!needsQuotes)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace grelavo
