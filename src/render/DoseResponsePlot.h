#pragma once

#include "PictureFile.h"
#include "PlotFrame.h"
#include "core/report/ReportDetails.h"
#include "core/report/ResultsTable.h"

#include <QDate>
#include <QString>
#include <QVector>

namespace grelavo {

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
// between neighbouring fractions that both have some. Nothing is fitted or extrapolated. Under
// it, what the report shows (its parameters, tolerance, colophon and, for synthetic data, the
// warning), so that the picture stands alone. All geometry is in twips and is computed once,
// here, so that what is painted is what the tests read.
struct DoseResponsePlot : PlotFrame {
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
        // "n = 3", clear of every marker and of every other count; empty when a crowded picture
        // has no room for it.
        Text label;
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

    static constexpr double DefaultWidth = 10800; // twips: 720 × 560 pixels on the screen
    static constexpr double DefaultHeight = 8400;
    static constexpr double LowestPercent = 43; // the x axis, % of the entered rates
    static constexpr double HighestPercent = 107;
    // Sideways moves (x axis %), so that nothing hides: each series as a whole, by its place
    // among the series shown, and within a series, equal ratings of one fraction.
    static constexpr double MostDodge = 2.4;
    static constexpr double MostJitter = 1.2;
    static constexpr double PointSize = 100; // twips across a rating's marker
    static constexpr double MeanSize = 170;
    // Past this many series the picture says it is crowded.
    static constexpr int MostSeriesReadable = 8;

    Text crowded; // empty unless more than MostSeriesReadable series are shown
    QVector<Series> series;
    QVector<LegendEntry> legend;

    // The picture of the chosen rows (by NoId, in the report's order whatever the order given;
    // rows without ratings are left out) on a surface of 'size' twips, with what 'shows' says
    // under it.
    static DoseResponsePlot lay(const ReportDetails& details, const QVector<ResultsRow>& rows,
                                const QVector<qint64>& chosen, const ReportAbout& shows,
                                const QSizeF& size = QSizeF(DefaultWidth, DefaultHeight));
    // The rows the picture can show, in the report's order: the weeds and categories with
    // ratings, and the heading of the user's weeds when some of them have ratings.
    static QVector<PlotRow> rowsWithRatings(const ReportDetails& details,
                                            const QVector<ResultsRow>& rows);
    // The categories of the report with ratings, at most 'most' of them: a first picture that
    // can be read.
    static QVector<qint64> firstChoice(const ReportDetails& details,
                                       const QVector<ResultsRow>& rows, int most = 6);
    static const QVector<int>& fractionPercents(); // 50, 60, 70, 80, 100
    static QString meanNote();
    static QString crowdedText();
    // "Grelavo - courbes dose-réponse 2027-02-03": the name of the picture of a report of that
    // day, printed or saved.
    static QString documentTitle(const QDate& reportDate);
    // What a screen reader says of the picture: each series, its means and counts.
    QString description() const;

    double xFor(double percent) const;

    // Draws the picture onto a painter whose unit is the twip.
    void paint(QPainter& painter) const;
    // The picture on white, 15 twips a pixel, with as many more pixels as devicePixelRatio says.
    QImage image(qreal devicePixelRatio = 1.0) const;
    // The picture on one sheet, as large as the printable area allows, as vectors.
    bool printOn(QPagedPaintDevice& device) const;
    // The picture into a PNG, SVG or PDF file; false, the file left as it was, when it cannot
    // be written.
    bool write(const QString& path, PictureFile::Kind kind, const QString& title) const;

private:
    // The parts of lay(), in the order they are laid.
    void layAxes(double blockTop, bool crowded);
    void laySeries(const ReportDetails& details, const QVector<const ResultsRow*>& shown);
    void layLegend();
    void layCounts();
    // The left and right of fraction k's markers, all series together.
    std::pair<double, double> column(int k) const;
    // A count beside its mean, right of its column or left of it, else at the free place
    // nearest to it; left out when there is none. Its place is then taken.
    void placeCount(Mean& mean, double columnLeft, double columnRight, const QRectF& room,
                    QVector<QRectF>& taken) const;
};

} // namespace grelavo
