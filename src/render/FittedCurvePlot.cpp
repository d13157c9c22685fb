#include "FittedCurvePlot.h"

#include "Colours.h"
#include "ReportPage.h"
#include "TwipsSurface.h"

#include <QMap>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace grelavo {

namespace {

using Plot = PlotFrame;

const QColor kPointColour(0x00, 0x72, 0xB2);
const QColor kCurveColour(0xD5, 0x5E, 0x00);
const QColor kThresholdColour(90, 90, 90);

constexpr double kCurveTitlePoints = 10;
constexpr double kAxisTitlePoints = 9;
constexpr double kEdge = PlotFrame::Edge;
constexpr double kPlotRightRoom = 400;
constexpr double kDosePad = 150; // dose 0 stays clear of the value axis
constexpr double kTickLength = PlotFrame::TickLength;
constexpr double kCurveWidth = 35;
constexpr double kEdMarker = 190;

double clampPercent(double v) {
    return std::clamp(v, 0.0, 100.0);
}

QString percentText(double fraction, const QLocale& locale) {
    return locale.toString(fraction * 100, 'f', 0);
}

// Sideways offsets (x axis %) of the ratings: equal ratings at one dose (to half a percent)
// spread, in the order the analysis gives them, never left of dose 0; a rating alone stays.
QVector<double> jitter(const QVector<DoseObservation>& observations) {
    QMap<QPair<qint64, int>, QVector<int>> same;
    for (int i = 0; i < observations.size(); ++i) {
        const DoseObservation& o = observations[i];
        same[{std::llround(o.dose * 200), int(std::lround(o.response))}] << i;
    }
    QVector<double> offsets(observations.size(), 0.0);
    for (const QVector<int>& group : same) {
        const double percent = observations[group.first()].dose * 100;
        const double first = Plot::spread(0, group.size(), 0.8, FittedCurvePlot::MostJitter);
        const double shift = std::max(0.0, -(percent + first));
        for (int n = 0; n < group.size(); ++n)
            offsets[group[n]] =
                Plot::spread(n, group.size(), 0.8, FittedCurvePlot::MostJitter) + shift;
    }
    return offsets;
}

QString rateText(double kgHa, const QLocale& locale) {
    return locale.toString(kgHa, 'g', QLocale::FloatingPointShortest) +
           QStringLiteral(" kg i.a./ha");
}

} // namespace

QString FittedCurvePlot::mixtureText(const DoseAnalysis& analysis, const QLocale& locale) {
    QStringList products;
    for (const AnalysisProduct& p : analysis.products)
        products << p.herbicide + QLatin1Char(' ') + rateText(p.enteredKgHa, locale);
    return products.join(QStringLiteral(" + "));
}

QString FittedCurvePlot::rowName(const AnalysisRow& row) {
    return row.category ? row.label + QStringLiteral(" (catégorie)") : row.label;
}

QString FittedCurvePlot::fitText(const AnalysisRow& row) {
    return row.curve.ok() ? QStringLiteral("modèle log-logistique %1, %2 évaluations de %3 essais")
                                .arg(modelName(row.curve.model))
                                .arg(row.observations.size())
                                .arg(row.trials)
                          : QStringLiteral("courbe non estimable\u00a0: %1")
                                .arg(reasonWords(row.curve.reason));
}

QString FittedCurvePlot::noteText() {
    return QStringLiteral(
        "Points\u00a0: les évaluations du mélange à toute dose (témoins non traités "
        "à 0 %)\u00a0; trait\u00a0: la courbe ajustée\u00a0; zone pâle\u00a0: son intervalle de "
        "confiance à 95 %, les essais comme unités.");
}

double FittedCurvePlot::xFor(double percent) const {
    return plotArea.left() + kDosePad +
           percent / highestPercent * (plotArea.width() - 2 * kDosePad);
}

FittedCurvePlot FittedCurvePlot::lay(const DoseAnalysis& analysis, const AnalysisRow& row,
                                     const ReportAbout& shows, const QLocale& locale,
                                     const QSizeF& size) {
    FittedCurvePlot p;
    p.size = size;
    const double blockTop = p.layAbout(shows);
    const double top = p.layTitles(analysis, row, locale);
    p.layAxes(row, top, blockTop);
    p.layRatings(row);
    p.layThreshold();
    if (!row.curve.ok())
        return p;
    p.layCurve(row);
    p.layEd80(row, locale);
    return p;
}

double FittedCurvePlot::layTitles(const DoseAnalysis& analysis, const AnalysisRow& row,
                                  const QLocale& locale) {
    const double W = size.width();
    // The title: the row, then the mixture and the model or why there is none.
    const double titleHeight = Plot::lineHeight(kCurveTitlePoints, true);
    title = Plot::textAt(rowName(row), W / 2, kEdge + titleHeight / 2, kCurveTitlePoints,
                         Qt::AlignHCenter, true);
    const double subtitleHeight = Plot::lineHeight(Plot::TickPoints);
    subtitle = Plot::textAt(mixtureText(analysis, locale) + QStringLiteral(" — ") + fitText(row),
                            W / 2, kEdge + titleHeight + 20 + subtitleHeight / 2, Plot::TickPoints,
                            Qt::AlignHCenter);
    for (Text* t : {&title, &subtitle})
        if (t->rect.width() > W - 2 * kEdge)
            t->rect = QRectF(kEdge, t->rect.top(), W - 2 * kEdge, t->rect.height());
    return kEdge + titleHeight + 20 + subtitleHeight + 200;
}

void FittedCurvePlot::layAxes(const AnalysisRow& row, double top, double blockTop) {
    const double W = size.width();
    const double width = W - 2 * kEdge;
    const double small = Plot::lineHeight(Plot::SmallPoints);
    // The plot's frame, the room under it for the dose axis' labels, title and the note.
    const double below = kTickLength + Plot::lineHeight(Plot::TickPoints) + 60 +
                         Plot::lineHeight(kAxisTitlePoints, true) + 40 + small + 60;
    plotArea = QRectF(QPointF(Plot::PlotLeft, top),
                      QPointF(std::max(Plot::PlotLeft + 600, W - kPlotRightRoom),
                              std::max(top + 600, blockTop - below)));
    const QRectF& area = plotArea;

    // The dose axis from 0 to the round value above the highest dose observed or reported.
    double highest = row.cells.isEmpty() ? 0 : 1.0;
    for (const DoseObservation& o : row.observations)
        highest = std::max(highest, o.dose);
    const double step = highest * 100 < 200 ? 25 : 50;
    highestPercent = step * (std::floor(highest * 100 / step) + 1);
    for (double percent = 0; percent <= highestPercent + 0.01; percent += step)
        layDoseTick(xFor(percent), int(std::lround(percent)));
    layValueAxis();
    const double axisTitleY = area.bottom() + kTickLength + Plot::lineHeight(Plot::TickPoints) +
                              60 + Plot::lineHeight(kAxisTitlePoints, true) / 2;
    xTitle = Plot::textAt(QStringLiteral("Dose (% des taux entrés)"), area.center().x(), axisTitleY,
                          kAxisTitlePoints, Qt::AlignHCenter, true);
    yTitle = Plot::textAt(QStringLiteral("Destruction visuelle (%)"), 0, 0, kAxisTitlePoints,
                          Qt::AlignHCenter, true);
    yTitle.rect.moveCenter(
        QPointF(kEdge + Plot::lineHeight(kAxisTitlePoints, true) / 2, area.center().y()));
    yTitle.angle = -90;
    note = Plot::textAt(noteText(), kEdge,
                        axisTitleY + Plot::lineHeight(kAxisTitlePoints, true) / 2 + 40 + small / 2,
                        Plot::SmallPoints, Qt::AlignLeft, false, colours::AboutGrey);
    note.rect.setWidth(std::min(note.rect.width(), width));
}

void FittedCurvePlot::layRatings(const AnalysisRow& row) {
    // The ratings.
    const QVector<double> offsets = jitter(row.observations);
    for (int i = 0; i < row.observations.size(); ++i) {
        const DoseObservation& o = row.observations[i];
        const int value = int(std::lround(o.response));
        points << Point{o.dose, value, QPointF(xFor(o.dose * 100 + offsets[i]), yFor(value))};
    }
}

void FittedCurvePlot::layThreshold() {
    const double small = Plot::lineHeight(Plot::SmallPoints);
    const QRectF& area = plotArea;
    // The threshold, labelled under its right end: the curve rises above it there, and the
    // dose that reaches it is labelled above the line, further left.
    const double yThreshold = yFor(DoseAnalysis::Threshold);
    threshold = QLineF(area.left(), yThreshold, area.right(), yThreshold);
    thresholdLabel = Plot::textAt(
        QStringLiteral("Seuil\u00a0: %1 % de destruction").arg(DoseAnalysis::Threshold),
        area.right() - 60, yThreshold + small / 2 + 20, Plot::SmallPoints, Qt::AlignRight, false,
        kThresholdColour);
}

void FittedCurvePlot::layCurve(const AnalysisRow& row) {
    // The curve and its band over the observed doses only.
    const double lowest = row.curve.lowestDose;
    const double span = row.curve.highestDose - lowest;
    const double t = row.bandT();
    for (int i = 0; i <= CurveSteps; ++i) {
        const double dose = lowest + span * i / CurveSteps;
        const double value = row.curve.value(dose);
        const double se = row.bandSe(dose);
        const double x = xFor(dose * 100);
        curve << QPointF(x, yFor(clampPercent(value)));
        if (std::isfinite(se) && std::isfinite(t)) {
            bandUpper << QPointF(x, yFor(clampPercent(value + t * se)));
            bandLower << QPointF(x, yFor(clampPercent(value - t * se)));
        }
    }
    if (bandUpper.size() != curve.size()) { // a band with holes is no band
        bandUpper.clear();
        bandLower.clear();
    }
}

void FittedCurvePlot::layEd80(const AnalysisRow& row, const QLocale& locale) {
    const double small = Plot::lineHeight(Plot::SmallPoints);
    const QRectF& area = plotArea;
    const double yThreshold = yFor(DoseAnalysis::Threshold);
    // The dose of 80 % destruction on the threshold, with its interval within the axis.
    for (const DoseForLevel& d : row.doses) {
        if (d.level != DoseAnalysis::Threshold || !d.dose.ok())
            continue;
        hasEd80 = true;
        ed80 = QPointF(xFor(d.dose.dose * 100), yThreshold);
        ed80Interval = QLineF(xFor(std::max(0.0, d.dose.lower * 100)), yThreshold,
                              xFor(std::min(highestPercent, d.dose.upper * 100)), yThreshold);
        ed80Drop = QLineF(ed80, QPointF(ed80.x(), area.bottom()));
        const QString text =
            QStringLiteral("ED%1\u00a0: %2 % des taux (%3–%4 %)")
                .arg(d.level)
                .arg(percentText(d.dose.dose, locale), percentText(d.dose.lower, locale),
                     percentText(d.dose.upper, locale));
        // Above left of the point, where the curve is under the threshold; right of it when
        // the left has no room.
        const double labelY = yThreshold - kEdMarker / 2 - small / 2 - 40;
        ed80Label = Plot::textAt(text, ed80.x() - 80, labelY, Plot::SmallPoints, Qt::AlignRight,
                                 true, Qt::black);
        if (ed80Label.rect.left() < area.left() + 60)
            ed80Label = Plot::textAt(text, ed80.x() + 80, labelY, Plot::SmallPoints, Qt::AlignLeft,
                                     true, Qt::black);
    }
}

void FittedCurvePlot::paint(QPainter& painter) const {
    const auto band = [this, &painter](TwipsSurface&) {
        if (bandUpper.isEmpty())
            return;
        QPolygonF polygon = bandUpper;
        for (auto it = bandLower.crbegin(); it != bandLower.crend(); ++it)
            polygon << *it;
        QColor fill = kCurveColour;
        fill.setAlpha(55);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawPolygon(polygon);
    };
    paintFrame(painter, band, [this, &painter](TwipsSurface& s) {
        for (const Text& text : {title, subtitle, thresholdLabel})
            drawText(s, text);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(kThresholdColour, Plot::AxisWidth * 2, Qt::DashLine, Qt::FlatCap));
        painter.drawLine(threshold);

        const QColor pale = kPointColour.lighter(170);
        for (const Point& point : points)
            drawMarker(painter, Marker::Circle, point.at, PointSize, kPointColour, pale);

        if (!curve.isEmpty()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(
                QPen(kCurveColour, kCurveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPolyline(curve);
        }
        if (hasEd80) {
            painter.setPen(QPen(Qt::black, Plot::AxisWidth * 2, Qt::DotLine, Qt::FlatCap));
            painter.drawLine(ed80Drop);
            s.line(ed80Interval.p1(), ed80Interval.p2(), kCurveWidth * 1.5, Qt::black);
            drawMarker(painter, Marker::Diamond, ed80, kEdMarker, Qt::white, Qt::black);
            drawText(s, ed80Label);
        }
    });
}

QImage FittedCurvePlot::image(qreal devicePixelRatio) const {
    return imageOf(
        size, [this](QPainter& painter) { paint(painter); }, devicePixelRatio);
}

bool FittedCurvePlot::printOn(QPagedPaintDevice& device) const {
    return PlotFrame::printOn(device, size, [this](QPainter& painter) { paint(painter); });
}

} // namespace grelavo
