#pragma once

#include <QString>

namespace grelavo {

// A number as a spreadsheet writes it: a decimal point or comma, blanks between digits
// (thousands), nothing else. NaN and infinities are not numbers here. False when the text is not
// such a number (*value is then not to be used).
bool readNumber(const QString& text, double* value);

} // namespace grelavo
