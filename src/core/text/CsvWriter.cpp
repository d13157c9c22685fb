#include "CsvWriter.h"

#include <QRegularExpression>
#include <cmath>

namespace grelavo {

namespace {

// Whether a spreadsheet would read the text as a formula: not a number, and begun by one of
// = + - @, a tab or a carriage return.
bool formulaLike(const QString& text) {
    if (text.isEmpty() || !QStringLiteral("=+-@\t\r").contains(text.front()))
        return false;
    static const QRegularExpression number(
        QStringLiteral("^[+-]?[0-9]+([.,][0-9]+)?([eE][+-]?[0-9]+)?$"));
    return !number.match(text).hasMatch();
}

} // namespace

CsvWriter::CsvWriter(Cells cells) : m_cells(cells), m_bytes("\xEF\xBB\xBF") {}

CsvWriter CsvWriter::forPeople(const QLocale& locale) {
    CsvWriter w(Cells::Formulas);
    if (locale.decimalPoint() == QStringLiteral(","))
        w.m_separator = QLatin1Char(';');
    return w;
}

void CsvWriter::addRow(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& f : fields)
        quoted << field(f, m_cells, m_separator);
    m_bytes += quoted.join(m_separator).toUtf8();
    m_bytes += "\r\n";
}

void CsvWriter::addAbout(const QStringList& lines) {
    for (const QString& line : lines)
        addRow({QStringLiteral("#"), line});
    addRow({});
}

QString CsvWriter::number(double value, int precision, char format) const {
    if (!std::isfinite(value))
        return QString();
    QString out = QString::number(value, format, precision);
    if (m_separator == QLatin1Char(';'))
        out.replace(QLatin1Char('.'), QLatin1Char(','));
    return out;
}

QString CsvWriter::figure(const QString& text) const {
    static const QRegularExpression figure(QStringLiteral("^\\s*-?[0-9]+([.,][0-9]+)?\\s*$"));
    if (!figure.match(text).hasMatch())
        return text;
    QString out = text.trimmed();
    out.replace(QLatin1Char(','), QLatin1Char('.'));
    if (m_separator == QLatin1Char(';'))
        out.replace(QLatin1Char('.'), QLatin1Char(','));
    return out;
}

QString CsvWriter::guarded(const QString& text) {
    return formulaLike(text) ? QLatin1Char('\'') + text : text;
}

QString CsvWriter::plainNumber(double value) {
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString CsvWriter::field(const QString& given, Cells cells, QChar separator) {
    const QString text = cells == Cells::Formulas ? guarded(given) : given;
    const bool needsQuotes = text.contains(separator) || text.contains(QLatin1Char('"')) ||
                             text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                             (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!needsQuotes)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace grelavo
