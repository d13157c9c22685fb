#pragma once

#include "core/report/ReportAbout.h"

#include <QColor>
#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>
#include <functional>

class QPainter;
class QPagedPaintDevice;

namespace grelavo {

class TwipsSurface;

// What the pictures drawn in twips share (the dose-response picture, the fitted curve): a plot
// area with its axes, grid, tick labels and titles, a note under it, and across the foot of the
// picture the block that says what the picture shows, so that it stands alone once it leaves
// the program. All geometry is in twips and is computed once, when the picture is laid out, so
// that what is painted is what the tests read.
struct PlotFrame {
    enum class Marker { Circle, Square, Triangle, Diamond, Down };

    struct Text {
        QRectF rect;
        QString text;
        double points = 8; // font size
        bool bold = false;
        QColor colour = Qt::black;
        Qt::Alignment alignment = Qt::AlignLeft;
        double angle = 0; // degrees clockwise about the rectangle's centre
    };

    static constexpr double Edge = 80;      // around the whole picture
    static constexpr double ValuePad = 120; // 0 and 100 % stay clear of the axis and the top
    static constexpr double TickLength = 80;
    static constexpr double AboutPoints = 7;
    static constexpr double TickPoints = 8;  // the axes' labels
    static constexpr double SmallPoints = 7; // notes under a plot
    static constexpr double AxisWidth = 15;
    static constexpr double PlotLeft = 1100; // room for the value axis' labels and title

    QSizeF size;
    QRectF plotArea;
    QVector<int> xTicks; // their values
    QVector<int> yTicks; // 0, 20 ... 100
    QVector<Text> tickLabels;
    QVector<QLineF> axes;
    QVector<QLineF> grid;
    Text xTitle, yTitle, note;
    // The block under the picture: the red warning while the data are synthetic, then the
    // parameters and the tolerance in two columns, then the colophon (date, program, edition).
    Text warning;
    QVector<Text> about;
    QStringList aboutText; // the same as text, one a line (ReportAbout::lines())

    // The height of a value (0–100 %) in the plot area.
    double yFor(double value) const;
    // The box a marker of 'size' drawn at 'at' covers, its outline included.
    static QRectF markerBounds(const QPointF& at, double size);

    // A text of one line whose left, centre or right is at x and whose middle is at y, measured
    // as it is drawn; the height of a line; offsets that keep equal values apart; a text and a
    // marker drawn; a picture of 'twips' painted on white or on one sheet.
    static Text textAt(const QString& text, double x, double y, double points,
                       Qt::Alignment alignment, bool bold = false,
                       const QColor& colour = Qt::black);
    static double lineHeight(double points, bool bold = false);
    // The i-th of n offsets spread evenly over a width that grows by 'step' with each, up to
    // 'most' on each side: equal values drawn side by side.
    static double spread(int i, int n, double step, double most);
    static void drawText(TwipsSurface& surface, const Text& text);
    static void drawMarker(QPainter& painter, Marker marker, const QPointF& at, double size,
                           const QColor& outline, const QColor& fill);
    // The picture on white, 15 twips a pixel, with as many more pixels as devicePixelRatio says.
    static QImage imageOf(const QSizeF& twips, const std::function<void(QPainter&)>& draw,
                          qreal devicePixelRatio);
    // The picture on one sheet, as large as the printable area allows, as vectors.
    static bool printOn(QPagedPaintDevice& device, const QSizeF& twips,
                        const std::function<void(QPainter&)>& draw);

protected:
    // Lays what 'shows' says across the foot of a picture of 'size'; returns the block's top.
    double layAbout(const ReportAbout& shows);
    // The value axis from 0 to 100 % by 20 along the plot area's left side, with its grid.
    void layValueAxis();
    // A tick of the dose axis at x, labelled 'value'.
    void layDoseTick(double x, int value);
    // The grid, then what goes under the axes, the axes, every text of the frame, then the rest.
    void paintFrame(QPainter& painter, const std::function<void(TwipsSurface&)>& under,
                    const std::function<void(TwipsSurface&)>& over) const;
};

} // namespace grelavo
