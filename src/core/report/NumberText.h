#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace grelavo {

// Numbers as the user types them and as statements carry them.
class NumberText {
public:
    // The number a range bound stands for (blanks around it allowed); nothing when the text is
    // not a plain number. The decimal separator of the regional settings is taken, and so is
    // the other one of "." and "," unless it could be a thousands separator (exactly three
    // digits after it): "1,500" is refused under English settings rather than read as 1.5 or
    // 1500. No thousands separators.
    static std::optional<double> parse(const QString& text, const QLocale& locale);
    // The number a rate stands for: a rate never has a thousands separator, so "." and ","
    // are both decimal separators, whatever the regional settings.
    static std::optional<double> parseRate(const QString& text, const QLocale& locale);
    // A number as typed, shown back in the user's format: the same digits, blanks around it
    // dropped, the decimal separator of the regional settings. A text that is not a number
    // (as a rate when `rate`, else as a bound) comes back unchanged.
    static QString inLocale(const QString& text, const QLocale& locale, bool rate);

    // Up to 15 significant digits, trailing zeros dropped, a leading "0" below 1, a point as the
    // decimal separator, never an exponent and no thousands separator: 0.449999988079071.
    static QString forStatement(double value);
};

} // namespace grelavo
