#include "PictureFile.h"

#include "PlotFrame.h"
#include "render/Twips.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <cmath>

namespace grelavo::PictureFile {

std::optional<Kind> kindOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return Kind::Png;
    if (suffix == QLatin1String("svg"))
        return Kind::Svg;
    if (suffix == QLatin1String("pdf"))
        return Kind::Pdf;
    return std::nullopt;
}

bool write(const QString& path, Kind kind, const QSizeF& twips,
           const std::function<void(QPainter&)>& draw, const QString& title,
           const QString& description) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool written = false;
    switch (kind) {
    case Kind::Png:
        written = PlotFrame::imageOf(twips, draw, 2).save(&file, "PNG");
        break;
    case Kind::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(QSize(Twips::toPixels(int(std::lround(twips.width()))),
                          Twips::toPixels(int(std::lround(twips.height())))));
        svg.setViewBox(QRectF(QPointF(0, 0), twips)); // drawn in twips
        svg.setTitle(title);
        svg.setDescription(description);
        QPainter painter;
        written = painter.begin(&svg);
        if (written) {
            draw(painter);
            written = painter.end();
        }
        break;
    }
    case Kind::Pdf: {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setResolution(1200);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Grelavo"));
        written = PlotFrame::printOn(pdf, twips, draw);
        break;
    }
    }
    return written && file.commit();
}

} // namespace grelavo::PictureFile
