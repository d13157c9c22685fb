#pragma once

#include "PlotFrame.h"
#include "core/report/DoseAnalysis.h"
#include "core/report/ReportAbout.h"

#include <QLocale>
#include <QStringList>

namespace grelavo {

// The picture of one row of a dose-response analysis: every rating of the mixture at its dose
// (a percentage of the entered rates, 0 for the untreated checks), the curve fitted to them with
// its 95 % band over the observed doses only, the threshold of 80 % destruction and the dose
// that reaches it; a title naming the row, the mixture and the model; under the picture, the
// report's parameters, date, program and edition. All geometry is in twips and is computed
// once, here, so that what is painted is what the tests read.
struct FittedCurvePlot : PlotFrame {
    struct Point {
        double dose = 0; // fraction of the entered rates
        int value = 0;   // the rating, %
        QPointF at;
    };

    static constexpr double DefaultWidth = 10800; // twips: 720 × 560 pixels on the screen
    static constexpr double DefaultHeight = 8400;
    static constexpr double PointSize = 100; // twips across a rating's marker
    static constexpr double MostJitter = 2;  // x axis %: equal ratings at one dose spread
    static constexpr int CurveSteps = 160;   // segments of the drawn curve

    double highestPercent = 100; // the x axis, from 0, its ticks in % of the entered rates
    Text title, subtitle;
    QVector<Point> points;
    // The fitted curve from the lowest observed dose above 0 to the highest, and its band at
    // the same doses (value ± bandT · bandSe, within 0–100); all empty when not estimable.
    QPolygonF curve;
    QPolygonF bandUpper;
    QPolygonF bandLower;
    QLineF threshold; // at 80 %, across the plot
    Text thresholdLabel;
    // The dose of 80 % destruction on the threshold, with its interval; only when estimable.
    bool hasEd80 = false;
    QPointF ed80;
    QLineF ed80Interval;
    QLineF ed80Drop; // from the threshold down to the dose axis
    Text ed80Label;
    // The picture of 'row' of 'analysis' on a surface of 'size' twips, numbers written in
    // 'locale'; under it what the report shows: its parameters and tolerance (in two columns),
    // its colophon (date, program, edition), and the warning when the data are synthetic.
    static FittedCurvePlot lay(const DoseAnalysis& analysis, const AnalysisRow& row,
                               const ReportAbout& shows, const QLocale& locale,
                               const QSizeF& size = QSizeF(DefaultWidth, DefaultHeight));

    // "atrazine 1 kg/ha + dicamba 0,6 kg/ha"
    static QString mixtureText(const DoseAnalysis& analysis, const QLocale& locale);
    // "Graminées annuelles (catégorie)", "pied-de-coq"
    static QString rowName(const AnalysisRow& row);
    // "modèle log-logistique LL.3, 120 évaluations de 14 essais", "courbe non estimable : …"
    static QString fitText(const AnalysisRow& row);
    static QString noteText();

    double xFor(double percent) const;

    // Draws the picture onto a painter whose unit is the twip.
    void paint(QPainter& painter) const;
    // The picture on white, 15 twips a pixel, with as many more pixels as devicePixelRatio says.
    QImage image(qreal devicePixelRatio = 1.0) const;
    // The picture on one sheet, as large as the printable area allows, as vectors.
    bool printOn(QPagedPaintDevice& device) const;

private:
    // The parts of lay(), in the order they are laid. The titles give the plot's top.
    double layTitles(const DoseAnalysis& analysis, const AnalysisRow& row, const QLocale& locale);
    void layAxes(const AnalysisRow& row, double top, double blockTop);
    void layRatings(const AnalysisRow& row);
    void layThreshold();
    void layCurve(const AnalysisRow& row);
    void layEd80(const AnalysisRow& row, const QLocale& locale);
};

} // namespace grelavo
