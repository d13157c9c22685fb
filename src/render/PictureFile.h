#pragma once

#include <QPainter>
#include <QSizeF>
#include <QString>
#include <functional>
#include <optional>

namespace grelavo {

// A picture drawn in twips written into a file: a PNG image (two pixels a screen pixel), an SVG
// image drawn in twips, or a one-page PDF document (A4 landscape, as vectors).
namespace PictureFile {

enum class Kind { Png, Svg, Pdf };

// The kind a file name's ending asks for, case ignored; none for any other ending.
std::optional<Kind> kindOf(const QString& path);

// Written beside the file, then put in its place: false, and the file left as it was, when it
// cannot be written. The title and the description go into the SVG and PDF files' own fields.
bool write(const QString& path, Kind kind, const QSizeF& twips,
           const std::function<void(QPainter&)>& draw, const QString& title,
           const QString& description);

} // namespace PictureFile

} // namespace grelavo
