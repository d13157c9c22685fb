#pragma once

#include <QColor>

// The colours that the page, the table and the pictures share.
namespace grelavo::colours {

// Warnings: a page from a database that failed its check, a picture too crowded to read.
inline const QColor WarningRed(192, 0, 0);
// The line under a picture that says where it comes from.
inline const QColor AboutGrey(60, 60, 60);

} // namespace grelavo::colours
