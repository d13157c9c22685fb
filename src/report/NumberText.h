#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace grelavo {

// Numbers as the user types them and as statements carry them.
class NumberText {
public:
    // The number a text stands for under the given regional settings (blanks around it
    // allowed); nothing when the text is not a plain number.
    static std::optional<double> parse(const QString& text, const QLocale& locale);

    // Up to 15 significant digits, trailing zeros dropped, a leading "0" below 1, a point as the
    // decimal separator, never an exponent and no thousands separator: 0.449999988079071.
    static QString forStatement(double value);
};

} // namespace grelavo
