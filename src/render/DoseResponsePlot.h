#pragma once

#include "report/ReportDetails.h"
#include "report/ResultsTable.h"

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

// A row of a report that the dose-response picture can show: a weed or a category with
// ratings, or the heading of weeds the user added (not a series itself).
struct PlotRow {
    enum class Kind { Category, Weed, Heading };
    qint64 noId = 0;
    QString label; // as the table writes it, without its indent
    Kind kind = Kind::Weed;
};

// The dose-response picture of a report: for each chosen row, its ratings as points at their
// dose fraction and the cell's mean at each fraction that has ratings, the means joined only
// between neighbouring fractions that both have some. Nothing is fitted or extrapolated. All
// geometry is in twips and is computed once, here, so that what is painted is what the tests
// read.
struct DoseResponsePlot {
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
    struct Point {
        int fraction = 0; // 0 to 4
        int value = 0;    // the rating, %
        QPointF at;
    };
    // The mean drawn is the cell's figure, the truncated mean the table shows (see meanNote()),
    // so that the picture and the table never disagree.
    struct Mean {
        int fraction = 0;
        int value = 0;
        int count = 0;
        QPointF at;
        Text label; // "n = 3"
    };
    struct Series {
        qint64 noId = 0;
        QString name;
        QColor colour;
        Marker marker = Marker::Circle;
        double dodge = 0; // x axis %: where its means stand beside each fraction
        QVector<Point> points;
        QVector<Mean> means;
        QVector<QLineF> segments;
    };
    struct LegendEntry {
        QColor colour;
        Marker marker = Marker::Circle;
        QLineF sample;
        Text text;
    };

    static constexpr double DefaultWidth = 10800; // twips: 720 × 480 pixels on the screen
    static constexpr double DefaultHeight = 7200;
    static constexpr double LowestPercent = 43; // the x axis, % of the entered rates
    static constexpr double HighestPercent = 107;
    // Sideways moves (x axis %), so that nothing hides: each series as a whole, by its place
    // among the series shown, and within a series, equal ratings of one fraction.
    static constexpr double MostDodge = 2.4;
    static constexpr double MostJitter = 1.2;
    static constexpr double PointSize = 100; // twips across a rating's marker
    static constexpr double MeanSize = 170;

    QSizeF size;
    QRectF plotArea;
    QVector<int> xTicks; // 50, 60, 70, 80, 100
    QVector<int> yTicks; // 0, 20 ... 100
    QVector<Text> tickLabels;
    QVector<QLineF> axes;
    QVector<QLineF> grid;
    Text xTitle, yTitle, note;
    Text warning; // empty unless the data are synthetic
    QVector<Series> series;
    QVector<LegendEntry> legend;

    // The picture of the chosen rows (by NoId, in the report's order whatever the order given;
    // rows without ratings are left out) on a surface of 'size' twips.
    static DoseResponsePlot lay(const ReportDetails& details, const QVector<ResultsRow>& rows,
                                const QVector<qint64>& chosen,
                                const QSizeF& size = QSizeF(DefaultWidth, DefaultHeight),
                                bool synthetic = false);
    // The rows the picture can show, in the report's order: the weeds and categories with
    // ratings, and the heading of the user's weeds when some of them have ratings.
    static QVector<PlotRow> rowsWithRatings(const ReportDetails& details,
                                            const QVector<ResultsRow>& rows);
    static const QVector<int>& fractionPercents(); // 50, 60, 70, 80, 100
    static QString meanNote();

    double xFor(double percent) const;
    double yFor(double value) const;

    // Draws the picture onto a painter whose unit is the twip.
    void paint(QPainter& painter) const;
    // The picture on white, 15 twips a pixel, with as many more pixels as devicePixelRatio says.
    QImage image(qreal devicePixelRatio = 1.0) const;
    // The picture on one sheet, as large as the printable area allows, as vectors.
    bool printOn(QPagedPaintDevice& device) const;

    // What the pictures drawn in twips share (the fitted curve's too): a text of one line whose
    // left, centre or right is at x and whose middle is at y, measured as it is drawn; the
    // height of a line; offsets that keep equal values apart; a text and a marker drawn; a picture
    // of 'twips' painted on white or on one sheet, as image() and printOn() do.
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
    static QImage imageOf(const QSizeF& twips, const std::function<void(QPainter&)>& draw,
                          qreal devicePixelRatio);
    static bool printOn(QPagedPaintDevice& device, const QSizeF& twips,
                        const std::function<void(QPainter&)>& draw);
};

} // namespace grelavo
