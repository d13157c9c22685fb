#include "CsvWriter.h"

#include <QRegularExpression>

namespace grelavo {

namespace {

// Whether a spreadsheet would read the text as a formula: not a number, and begun by one of
// = + - @, a tab or a carriage return.
bool formulaLike(const QString& text) {
    if (text.isEmpty() || !QStringLiteral("=+-@\t\r").contains(text.front()))
        return false;
    static const QRegularExpression number(
        QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
    return !number.match(text).hasMatch();
}

} // namespace

CsvWriter::CsvWriter(Cells cells) : m_cells(cells), m_bytes("\xEF\xBB\xBF") {}

void CsvWriter::addRow(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& f : fields)
        quoted << field(f, m_cells);
    m_bytes += quoted.join(QLatin1Char(',')).toUtf8();
    m_bytes += "\r\n";
}

QString CsvWriter::guarded(const QString& text) {
    return formulaLike(text) ? QLatin1Char('\'') + text : text;
}

QString CsvWriter::field(const QString& given, Cells cells) {
    const QString text = cells == Cells::Formulas ? guarded(given) : given;
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
