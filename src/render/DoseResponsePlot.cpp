#include "DoseResponsePlot.h"

#include "Colours.h"
#include "TwipsSurface.h"
#include "render/Twips.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace grelavo {

namespace {

// Told apart by colour-blind readers too (Okabe and Ito's set, a brown for its yellow), and
// each with its own marker for a black-and-white copy.
const std::array<QColor, 8> kColours{QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00),
                                     QColor(0x00, 0x9E, 0x73), QColor(0xCC, 0x79, 0xA7),
                                     QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9),
                                     QColor(0x00, 0x00, 0x00), QColor(0x8C, 0x51, 0x0A)};
constexpr int kMarkers = 5;

constexpr double kTitlePoints = 9;
constexpr double kLegendPoints = 8;
constexpr double kPlotTop = 400;
constexpr double kCrowdedHeight = 300;
constexpr double kPlotBottomRoom = 1000; // the dose axis' labels and title, the note
constexpr double kSegmentWidth = 30;

// The cell's figure as the table writes it, or the ratings' own when it does not read as one.
int cellNumber(const std::optional<QString>& cell, int otherwise) {
    bool ok = false;
    const int n = cell.value_or(QString()).trimmed().toInt(&ok);
    return ok ? n : otherwise;
}

// Sideways offsets (x axis %) of a cell's ratings from their series' place: equal ratings
// spread, in the order the report read them; a rating alone stays in place.
QVector<double> jitter(const CellDetail& cell) {
    QVector<double> offsets(cell.count(), 0.0);
    QSet<int> done;
    for (int i = 0; i < cell.count(); ++i) {
        const int value = cell.ratings[i].visual;
        if (done.contains(value))
            continue;
        done.insert(value);
        QVector<int> same;
        for (int j = i; j < cell.count(); ++j)
            if (cell.ratings[j].visual == value)
                same << j;
        for (int n = 0; n < same.size(); ++n)
            offsets[same[n]] =
                DoseResponsePlot::spread(n, same.size(), 0.8, DoseResponsePlot::MostJitter);
    }
    return offsets;
}

} // namespace

const QVector<int>& DoseResponsePlot::fractionPercents() {
    static const QVector<int> percents{50, 60, 70, 80, 100};
    return percents;
}

QString DoseResponsePlot::meanNote() {
    return QStringLiteral(
        "Gros symboles\u00a0: moyennes tronquées à l'entier, comme dans le tableau "
        "du rapport\u00a0; petits\u00a0: les évaluations.");
}

double DoseResponsePlot::xFor(double percent) const {
    return plotArea.left() +
           (percent - LowestPercent) / (HighestPercent - LowestPercent) * plotArea.width();
}

QVector<PlotRow> DoseResponsePlot::rowsWithRatings(const ReportDetails& details,
                                                   const QVector<ResultsRow>& rows) {
    QSet<qint64> rated;
    for (const CellDetail& cell : details.cells())
        rated.insert(cell.noId);
    QVector<PlotRow> out;
    const ResultsRow* heading = nullptr; // waiting for a rated weed under it
    for (const ResultsRow& row : rows) {
        const QString label = row.Results.value_or(QString());
        const bool indented = label.startsWith(QLatin1Char(' '));
        if (!indented)
            heading = !rated.contains(row.NoId) && !row.ResultsId && !label.trimmed().isEmpty()
                          ? &row
                          : nullptr;
        if (!rated.contains(row.NoId))
            continue;
        if (indented && heading) {
            out.append({heading->NoId, heading->Results->trimmed(), PlotRow::Kind::Heading});
            heading = nullptr;
        }
        out.append(
            {row.NoId, label.trimmed(), indented ? PlotRow::Kind::Weed : PlotRow::Kind::Category});
    }
    return out;
}

QVector<qint64> DoseResponsePlot::firstChoice(const ReportDetails& details,
                                              const QVector<ResultsRow>& rows, int most) {
    QVector<qint64> ids;
    for (const PlotRow& row : rowsWithRatings(details, rows))
        if (row.kind == PlotRow::Kind::Category && ids.size() < most)
            ids << row.noId;
    return ids;
}

QString DoseResponsePlot::crowdedText() {
    return QStringLiteral(
        "Plus de huit séries\u00a0: l'image est chargée\u00a0; décochez-en quelques-unes.");
}

QString DoseResponsePlot::documentTitle(const QDate& reportDate) {
    return QStringLiteral("Grelavo - courbes dose-réponse %1")
        .arg(reportDate.toString(Qt::ISODate));
}

QString DoseResponsePlot::description() const {
    QStringList lines;
    for (const Series& s : series) {
        QStringList means;
        for (const Mean& m : s.means)
            means << QStringLiteral("%1 %\u00a0: %2 (n = %3)")
                         .arg(fractionPercents().at(m.fraction))
                         .arg(m.value)
                         .arg(m.count);
        lines << s.name + QStringLiteral(" — ") + means.join(QStringLiteral("\u00a0; "));
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {

// The chosen rows with ratings, in the report's order.
QVector<const ResultsRow*> shownRows(const ReportDetails& details, const QVector<ResultsRow>& rows,
                                     const QVector<qint64>& chosen) {
    const QSet<qint64> wanted(chosen.cbegin(), chosen.cend());
    QVector<const ResultsRow*> shown;
    for (const ResultsRow& row : rows) {
        bool rated = false;
        for (int k = 0; k < DoseResponsePlot::fractionPercents().size() && !rated; ++k)
            rated = details.cell(row.NoId, k) != nullptr;
        if (rated && wanted.contains(row.NoId))
            shown << &row;
    }
    return shown;
}

} // namespace

DoseResponsePlot DoseResponsePlot::lay(const ReportDetails& details,
                                       const QVector<ResultsRow>& rows,
                                       const QVector<qint64>& chosen, const ReportAbout& shows,
                                       const QSizeF& size) {
    const QVector<const ResultsRow*> shown = shownRows(details, rows, chosen);
    DoseResponsePlot p;
    p.size = size;
    const double W = size.width();
    const bool crowded = shown.size() > MostSeriesReadable;
    if (crowded)
        p.crowded = textAt(crowdedText(), W / 2, 60 + lineHeight(PlotFrame::TickPoints, true) / 2,
                           PlotFrame::TickPoints, Qt::AlignHCenter, true, colours::WarningRed);

    // The block under the picture, the note above it, then the plot.
    p.layAxes(p.layAbout(shows), crowded);
    p.laySeries(details, shown);
    p.layCounts();
    p.layLegend();
    return p;
}

void DoseResponsePlot::layAxes(double blockTop, bool crowded) {
    const double W = size.width();
    const double legendWidth = std::clamp(W * 0.27, 1800.0, 3600.0);
    const double top = kPlotTop + (crowded ? kCrowdedHeight : 0);
    plotArea = QRectF(QPointF(PlotFrame::PlotLeft, top),
                      QPointF(std::max(PlotFrame::PlotLeft + 600, W - legendWidth - 300),
                              std::max(top + 600, blockTop - kPlotBottomRoom)));
    const QRectF& area = plotArea;

    for (const int percent : fractionPercents())
        layDoseTick(xFor(percent), percent);
    layValueAxis();
    xTitle = textAt(QStringLiteral("Fraction de la dose entrée (%)"), area.center().x(),
                    area.bottom() + TickLength + lineHeight(PlotFrame::TickPoints) + 60 +
                        lineHeight(kTitlePoints, true) / 2,
                    kTitlePoints, Qt::AlignHCenter, true);
    yTitle = textAt(QStringLiteral("Destruction visuelle (%)"), 0, 0, kTitlePoints,
                    Qt::AlignHCenter, true);
    yTitle.rect.moveCenter(QPointF(80 + lineHeight(kTitlePoints, true) / 2, area.center().y()));
    yTitle.angle = -90;
    note = textAt(meanNote(), area.left(),
                  xTitle.rect.bottom() + 40 + lineHeight(PlotFrame::SmallPoints) / 2,
                  PlotFrame::SmallPoints, Qt::AlignLeft, false, QColor(80, 80, 80));
    note.rect.setWidth(std::min(note.rect.width(), W - area.left() - 100));
}

void DoseResponsePlot::laySeries(const ReportDetails& details,
                                 const QVector<const ResultsRow*>& shown) {
    // One series per row shown, each with its own colour and marker together: the colours
    // repeat every eight, the markers every five, so no pair comes back before forty.
    for (const ResultsRow* shownRow : shown) {
        const ResultsRow& row = *shownRow;
        Series s;
        s.dodge = spread(series.size(), shown.size(), 1.2, MostDodge);
        s.noId = row.NoId;
        s.name = row.Results.value_or(QString()).trimmed();
        s.colour = kColours.at(series.size() % kColours.size());
        s.marker = Marker(series.size() % kMarkers);
        for (int k = 0; k < fractionPercents().size(); ++k) {
            const CellDetail* cell = details.cell(row.NoId, k);
            if (!cell)
                continue;
            const double percent = fractionPercents().at(k) + s.dodge;
            const double x = xFor(percent);
            const QVector<double> offsets = jitter(*cell);
            for (int i = 0; i < cell->count(); ++i) {
                const int value = cell->ratings[i].visual;
                s.points.append({k, value, QPointF(xFor(percent + offsets[i]), yFor(value))});
            }
            Mean m;
            m.fraction = k;
            m.value = cellNumber(row.cells.at(2 * k), cell->reportedMean());
            m.count = cellNumber(row.cells.at(2 * k + 1), cell->count());
            m.at = QPointF(x, yFor(m.value));
            m.label = textAt(QStringLiteral("n = %1").arg(m.count), x, m.at.y(),
                             PlotFrame::SmallPoints, Qt::AlignLeft, false, s.colour);
            if (!s.means.isEmpty() && s.means.last().fraction == k - 1)
                s.segments << QLineF(s.means.last().at, m.at);
            s.means << m;
        }
        series << s;
    }
}

void DoseResponsePlot::layLegend() {
    const double W = size.width();
    const QRectF& area = plotArea;
    // The legend beside the plot, each row with its colour and marker; smaller type when
    // many rows are shown.
    const double legendLeft = area.right() + 300;
    double points = kLegendPoints;
    const int n = series.size();
    while (n > 0 && points > 5 && n * lineHeight(points) * 1.4 > area.height())
        points -= 0.5;
    const double step = lineHeight(points) * 1.4;
    for (int i = 0; i < n; ++i) {
        const Series& s = series.at(i);
        const double y = area.top() + step * (i + 0.5);
        LegendEntry e;
        e.colour = s.colour;
        e.marker = s.marker;
        e.sample = QLineF(legendLeft, y, legendLeft + 360, y);
        e.text = textAt(s.name, legendLeft + 460, y, points, Qt::AlignLeft);
        e.text.rect.setWidth(
            std::max(0.0, std::min(e.text.rect.width(), W - 100 - e.text.rect.left())));
        legend << e;
    }
}

void DoseResponsePlot::layCounts() {
    // Every marker is in the way, and every count once placed.
    QVector<QRectF> taken;
    for (const Series& s : series) {
        for (const Point& point : s.points)
            taken << markerBounds(point.at, PointSize);
        for (const Mean& mean : s.means)
            taken << markerBounds(mean.at, MeanSize);
    }
    // The counts stay in the plot, or just right of it, short of the legend.
    const QRectF room = plotArea.adjusted(40, 20, 250, -20);

    for (int k = 0; k < fractionPercents().size(); ++k) {
        const auto [columnLeft, columnRight] = column(k);
        // Each count beside its mean if it is free there, else right of the column, else left
        // of it; at its mean's height, else the nearest free height, half a line at a time.
        for (Series& s : series)
            for (Mean& mean : s.means)
                if (mean.fraction == k)
                    placeCount(mean, columnLeft, columnRight, room, taken);
    }
}

std::pair<double, double> DoseResponsePlot::column(int k) const {
    // The markers of the fraction, all series together: a column.
    double columnLeft = plotArea.right();
    double columnRight = plotArea.left();
    for (const Series& s : series) {
        for (const Point& point : s.points)
            if (point.fraction == k) {
                columnLeft = std::min(columnLeft, markerBounds(point.at, PointSize).left());
                columnRight = std::max(columnRight, markerBounds(point.at, PointSize).right());
            }
        for (const Mean& mean : s.means)
            if (mean.fraction == k) {
                columnLeft = std::min(columnLeft, markerBounds(mean.at, MeanSize).left());
                columnRight = std::max(columnRight, markerBounds(mean.at, MeanSize).right());
            }
    }
    return {columnLeft, columnRight};
}

void DoseResponsePlot::placeCount(Mean& mean, double columnLeft, double columnRight,
                                  const QRectF& room, QVector<QRectF>& taken) const {
    // A pixel of white at least between a count and what is near it.
    const auto free = [&taken](const QRectF& r) {
        const QRectF clear = r.adjusted(-20, -10, 20, 10);
        return std::none_of(taken.cbegin(), taken.cend(),
                            [&clear](const QRectF& t) { return t.intersects(clear); });
    };
    QRectF& rect = mean.label.rect;
    const double w = rect.width();
    const double h = rect.height();
    const std::array<double, 5> lefts{markerBounds(mean.at, MeanSize).right() + 30,
                                      columnRight + 30, columnLeft - 30 - w, columnRight + 60 + w,
                                      columnLeft - 60 - 2 * w};
    const int steps = 2 * int(std::ceil(plotArea.height() / (h / 2))) + 1;
    bool placed = false;
    for (int i = 0; i < steps && !placed; ++i) {
        const int halfLines = (i % 2 == 1 ? 1 : -1) * ((i + 1) / 2); // 0, 1, -1, 2…
        const double dy = halfLines * h / 2;
        for (const double left : lefts) {
            const QRectF at(left, mean.at.y() - h / 2 + dy, w, h);
            if (room.contains(at) && free(at)) {
                rect = at;
                placed = true;
                break;
            }
        }
    }
    // Else the free place nearest to its mean, within a fraction's width of it.
    const double reach = xFor(60) - xFor(50);
    double nearest = std::numeric_limits<double>::infinity();
    for (double dx = -reach; !placed && dx <= reach; dx += w / 3)
        for (double dy = -plotArea.height(); dy <= plotArea.height(); dy += h / 2) {
            const QRectF at(mean.at.x() + dx - w / 2, mean.at.y() + dy - h / 2, w, h);
            const double distance = std::hypot(dx, dy);
            if (distance < nearest && room.contains(at) && free(at)) {
                nearest = distance;
                rect = at;
            }
        }
    placed = placed || std::isfinite(nearest);
    // No room left anywhere near (a crowded picture on a small surface): the count
    // is left out rather than drawn over a marker; the table and the picture's
    // description still give it.
    if (!placed) {
        mean.label.text.clear();
        return;
    }
    taken << rect;
}

void DoseResponsePlot::paint(QPainter& painter) const {
    const auto under = [](TwipsSurface&) {};
    paintFrame(painter, under, [this, &painter](TwipsSurface& s) {
        drawText(s, crowded);
        // The means under the ratings, each rating pale in a white rim: one equal to its mean
        // still shows on it.
        for (const Series& one : series) {
            for (const QLineF& segment : one.segments)
                s.line(segment.p1(), segment.p2(), kSegmentWidth, one.colour);
            for (const Mean& mean : one.means)
                drawMarker(painter, one.marker, mean.at, MeanSize, Qt::white, one.colour);
        }
        for (const Series& one : series) {
            const QColor pale = one.colour.lighter(170);
            for (const Point& point : one.points)
                drawMarker(painter, one.marker, point.at, PointSize, one.colour, pale);
        }
        for (const Series& one : series)
            for (const Mean& mean : one.means)
                drawText(s, mean.label);
        for (const LegendEntry& e : legend) {
            s.line(e.sample.p1(), e.sample.p2(), kSegmentWidth, e.colour);
            drawMarker(painter, e.marker, e.sample.center(), MeanSize, Qt::white, e.colour);
            drawText(s, e.text);
        }
    });
}

QImage DoseResponsePlot::image(qreal devicePixelRatio) const {
    return imageOf(
        size, [this](QPainter& painter) { paint(painter); }, devicePixelRatio);
}

bool DoseResponsePlot::printOn(QPagedPaintDevice& device) const {
    return PlotFrame::printOn(device, size, [this](QPainter& painter) { paint(painter); });
}

bool DoseResponsePlot::write(const QString& path, PictureFile::Kind kind,
                             const QString& title) const {
    return PictureFile::write(
        path, kind, size, [this](QPainter& painter) { paint(painter); }, title,
        description() + QLatin1Char('\n') + aboutText.join(QLatin1Char('\n')));
}
} // namespace grelavo
