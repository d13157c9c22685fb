#include "NumberText.h"

#include <algorithm>
#include <cmath>

namespace grelavo {

namespace {

std::optional<double> finite(double value, bool ok) {
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The position of the one "." or "," of a text, -1 when it has none, -2 when it has more.
int separatorAt(const QString& text) {
    int at = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('.') && text[i] != QLatin1Char(','))
            continue;
        if (at != -1)
            return -2;
        at = i;
    }
    return at;
}

// Whether the separator at `at` may stand for a decimal point under `locale`.
bool decimalSeparator(const QString& text, int at, const QLocale& locale, bool rate) {
    if (rate || text.mid(at, 1) == locale.decimalPoint())
        return true;
    const QString after = text.mid(at + 1);
    const bool threeDigits = after.size() == 3 && std::all_of(after.begin(), after.end(),
                                                              [](QChar c) { return c.isDigit(); });
    return !threeDigits;
}

std::optional<double> parseNumber(const QString& typed, const QLocale& locale, bool rate) {
    const QString text = typed.trimmed();
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = strict.toDouble(text, &ok);
    if (ok)
        return finite(value, ok);
    const int at = separatorAt(text);
    if (at == -2 || (at >= 0 && !decimalSeparator(text, at, locale, rate)))
        return std::nullopt;
    QString c = text;
    if (at >= 0)
        c[at] = QLatin1Char('.');
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    value = plain.toDouble(c, &ok);
    return finite(value, ok);
}

} // namespace

std::optional<double> NumberText::parse(const QString& text, const QLocale& locale) {
    return parseNumber(text, locale, false);
}

std::optional<double> NumberText::parseRate(const QString& text, const QLocale& locale) {
    return parseNumber(text, locale, true);
}

QString NumberText::inLocale(const QString& text, const QLocale& locale, bool rate) {
    if (!parseNumber(text, locale, rate))
        return text;
    QString shown = text.trimmed();
    const int at = separatorAt(shown);
    if (at >= 0)
        shown.replace(at, 1, locale.decimalPoint());
    return shown;
}

QString NumberText::forStatement(double value) {
    if (value == 0.0 || !std::isfinite(value))
        return QStringLiteral("0");
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::max(0, 14 - magnitude);
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

} // namespace grelavo
