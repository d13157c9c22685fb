#include "DoseResponsePlot.h"

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

namespace grelavo {

namespace {

// Told apart by colour-blind readers too (Okabe and Ito's set, a brown for its yellow), and
// each with its own marker for a black-and-white copy.
const std::array<QColor, 8> kColours{QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00),
                                     QColor(0x00, 0x9E, 0x73), QColor(0xCC, 0x79, 0xA7),
                                     QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9),
                                     QColor(0x00, 0x00, 0x00), QColor(0x8C, 0x51, 0x0A)};
constexpr int kMarkers = 5;
const QColor kWarningRed(192, 0, 0);
const QColor kGridGrey(220, 220, 220);

constexpr double kTickPoints = 8;
constexpr double kTitlePoints = 9;
constexpr double kLegendPoints = 8;
constexpr double kSmallPoints = 7;
constexpr double kPlotLeft = 1100;
constexpr double kPlotTop = 400;
constexpr double kWarningHeight = 300;
constexpr double kPlotBottomRoom = 1050;
constexpr double kValuePad = 120; // 0 and 100 % stay clear of the axis and the top
constexpr double kAxisWidth = 15;
constexpr double kSegmentWidth = 30;

QFont fontOf(double points, bool bold) {
    // As the twips surface sizes its font, so that text is measured as it is drawn.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qMax(1, static_cast<int>(std::lround(points * TwipsSurface::PerPoint))));
    font.setBold(bold);
    return font;
}

double widthOf(const QString& text, double points, bool bold = false) {
    return QFontMetricsF(fontOf(points, bold)).horizontalAdvance(text) + 1;
}

double heightOf(double points, bool bold = false) {
    return QFontMetricsF(fontOf(points, bold)).lineSpacing();
}

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

DoseResponsePlot::Text DoseResponsePlot::textAt(const QString& text, double x, double y,
                                                double points, Qt::Alignment alignment, bool bold,
                                                const QColor& colour) {
    const double w = widthOf(text, points, bold);
    const double h = heightOf(points, bold);
    const double left = alignment == Qt::AlignRight     ? x - w
                        : alignment == Qt::AlignHCenter ? x - w / 2
                                                        : x;
    return {QRectF(left, y - h / 2, w, h), text, points, bold, colour, alignment, 0};
}

double DoseResponsePlot::lineHeight(double points, bool bold) {
    return heightOf(points, bold);
}

double DoseResponsePlot::spread(int i, int n, double step, double most) {
    const double half = std::min(most, step * (n - 1) / 2);
    return n < 2 ? 0 : -half + 2 * half * i / (n - 1);
}

void DoseResponsePlot::drawMarker(QPainter& painter, Marker marker, const QPointF& at, double size,
                                  const QColor& outline, const QColor& fill) {
    const double r = size / 2;
    QPainterPath path;
    switch (marker) {
    case Marker::Circle:
        path.addEllipse(at, r, r);
        break;
    case Marker::Square:
        path.addRect(QRectF(at.x() - r * 0.85, at.y() - r * 0.85, r * 1.7, r * 1.7));
        break;
    case Marker::Triangle:
        path.addPolygon(QPolygonF({at + QPointF(0, -r * 1.1), at + QPointF(r, r * 0.75),
                                   at + QPointF(-r, r * 0.75), at + QPointF(0, -r * 1.1)}));
        break;
    case Marker::Diamond:
        path.addPolygon(
            QPolygonF({at + QPointF(0, -r * 1.15), at + QPointF(r, 0), at + QPointF(0, r * 1.15),
                       at + QPointF(-r, 0), at + QPointF(0, -r * 1.15)}));
        break;
    case Marker::Down:
        path.addPolygon(QPolygonF({at + QPointF(0, r * 1.1), at + QPointF(r, -r * 0.75),
                                   at + QPointF(-r, -r * 0.75), at + QPointF(0, r * 1.1)}));
        break;
    }
    painter.setPen(QPen(outline, size / 8));
    painter.setBrush(fill);
    painter.drawPath(path);
}

void DoseResponsePlot::drawText(TwipsSurface& s, const Text& t) {
    if (t.text.isEmpty())
        return;
    s.setFontSize(t.points);
    s.setBold(t.bold);
    s.setForeColor(t.colour);
    if (t.angle != 0)
        s.drawTurned(t.rect.center(), t.angle, t.text);
    else
        s.drawText(t.rect, t.text, t.alignment);
}

const QVector<int>& DoseResponsePlot::fractionPercents() {
    static const QVector<int> percents{50, 60, 70, 80, 100};
    return percents;
}

QString DoseResponsePlot::meanNote() {
    return QStringLiteral("Gros symboles : moyennes tronquées à l'entier, comme dans le tableau "
                          "du rapport ; petits : les évaluations.");
}

double DoseResponsePlot::xFor(double percent) const {
    return plotArea.left() +
           (percent - LowestPercent) / (HighestPercent - LowestPercent) * plotArea.width();
}

double DoseResponsePlot::yFor(double value) const {
    return plotArea.bottom() - kValuePad - value / 100 * (plotArea.height() - 2 * kValuePad);
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

DoseResponsePlot DoseResponsePlot::lay(const ReportDetails& details,
                                       const QVector<ResultsRow>& rows,
                                       const QVector<qint64>& chosen, const QSizeF& size,
                                       bool synthetic) {
    DoseResponsePlot p;
    p.size = size;
    const double W = size.width();
    const double H = size.height();
    const double legendWidth = std::clamp(W * 0.27, 1800.0, 3600.0);
    const double top = kPlotTop + (synthetic ? kWarningHeight : 0);
    p.plotArea =
        QRectF(QPointF(kPlotLeft, top), QPointF(std::max(kPlotLeft + 600, W - legendWidth - 300),
                                                std::max(top + 600, H - kPlotBottomRoom)));
    const QRectF& area = p.plotArea;

    if (synthetic)
        p.warning = textAt(QStringLiteral("DONNÉES SYNTHÉTIQUES DE DÉMONSTRATION — ne pas "
                                          "utiliser pour une décision"),
                           W / 2, 60 + heightOf(kTickPoints, true) / 2, kTickPoints,
                           Qt::AlignHCenter, true, kWarningRed);

    // Axes, ticks and their titles.
    p.axes << QLineF(area.bottomLeft(), area.bottomRight())
           << QLineF(area.bottomLeft(), area.topLeft());
    p.xTicks = fractionPercents();
    const double tickLength = 80;
    for (const int percent : p.xTicks) {
        const double x = p.xFor(percent);
        p.axes << QLineF(x, area.bottom(), x, area.bottom() + tickLength);
        p.tickLabels << textAt(QString::number(percent), x,
                               area.bottom() + tickLength + heightOf(kTickPoints) / 2 + 20,
                               kTickPoints, Qt::AlignHCenter);
    }
    for (int value = 0; value <= 100; value += 20) {
        p.yTicks << value;
        const double y = p.yFor(value);
        p.axes << QLineF(area.left() - tickLength, y, area.left(), y);
        p.grid << QLineF(area.left(), y, area.right(), y);
        p.tickLabels << textAt(QString::number(value), area.left() - tickLength - 40, y,
                               kTickPoints, Qt::AlignRight);
    }
    p.xTitle = textAt(QStringLiteral("Fraction de la dose entrée (%)"), area.center().x(),
                      area.bottom() + tickLength + heightOf(kTickPoints) + 60 +
                          heightOf(kTitlePoints, true) / 2,
                      kTitlePoints, Qt::AlignHCenter, true);
    p.yTitle = textAt(QStringLiteral("Destruction visuelle (%)"), 0, 0, kTitlePoints,
                      Qt::AlignHCenter, true);
    p.yTitle.rect.moveCenter(QPointF(80 + heightOf(kTitlePoints, true) / 2, area.center().y()));
    p.yTitle.angle = -90;
    p.note = textAt(meanNote(), area.left(), H - 60 - heightOf(kSmallPoints) / 2, kSmallPoints,
                    Qt::AlignLeft, false, QColor(80, 80, 80));
    p.note.rect.setWidth(std::min(p.note.rect.width(), W - area.left() - 100));

    // One series per chosen row with ratings, in the report's order.
    const QSet<qint64> wanted(chosen.cbegin(), chosen.cend());
    QVector<const ResultsRow*> shown;
    for (const ResultsRow& row : rows) {
        bool rated = false;
        for (int k = 0; k < fractionPercents().size() && !rated; ++k)
            rated = details.cell(row.NoId, k) != nullptr;
        if (rated && wanted.contains(row.NoId))
            shown << &row;
    }
    for (const ResultsRow* shownRow : shown) {
        const ResultsRow& row = *shownRow;
        Series s;
        s.dodge = spread(p.series.size(), shown.size(), 1.2, MostDodge);
        s.noId = row.NoId;
        s.name = row.Results.value_or(QString()).trimmed();
        s.colour = kColours.at(p.series.size() % kColours.size());
        s.marker = Marker(p.series.size() % kMarkers);
        for (int k = 0; k < fractionPercents().size(); ++k) {
            const CellDetail* cell = details.cell(row.NoId, k);
            if (!cell)
                continue;
            const double percent = fractionPercents().at(k) + s.dodge;
            const double x = p.xFor(percent);
            const QVector<double> offsets = jitter(*cell);
            for (int i = 0; i < cell->count(); ++i) {
                const int value = cell->ratings[i].visual;
                s.points.append({k, value, QPointF(p.xFor(percent + offsets[i]), p.yFor(value))});
            }
            Mean m;
            m.fraction = k;
            m.value = cellNumber(row.cells.at(2 * k), cell->reportedMean());
            m.count = cellNumber(row.cells.at(2 * k + 1), cell->count());
            m.at = QPointF(x, p.yFor(m.value));
            m.label = textAt(QStringLiteral("n = %1").arg(m.count), x + MeanSize / 2 + 50, m.at.y(),
                             kSmallPoints, Qt::AlignLeft, false, s.colour);
            if (!s.means.isEmpty() && s.means.last().fraction == k - 1)
                s.segments << QLineF(s.means.last().at, m.at);
            s.means << m;
        }
        p.series << s;
    }

    // The counts of a fraction in a column right of its last series, each at its mean's height
    // unless the one above is in the way, then just under it.
    const double lastDodge = p.series.isEmpty() ? 0 : p.series.last().dodge;
    for (int k = 0; k < fractionPercents().size(); ++k) {
        QVector<Text*> labels;
        for (Series& s : p.series)
            for (Mean& m : s.means)
                if (m.fraction == k) {
                    m.label.rect.moveLeft(p.xFor(fractionPercents().at(k) + lastDodge) +
                                          MeanSize / 2 + 50);
                    labels << &m.label;
                }
        std::stable_sort(labels.begin(), labels.end(), [](const Text* a, const Text* b) {
            return a->rect.top() < b->rect.top();
        });
        for (int i = 1; i < labels.size(); ++i)
            if (labels[i]->rect.top() < labels[i - 1]->rect.bottom())
                labels[i]->rect.moveTop(labels[i - 1]->rect.bottom());
    }

    // The legend beside the plot, each row with its colour and marker; smaller type when
    // many rows are shown.
    const double legendLeft = area.right() + 300;
    double points = kLegendPoints;
    const int n = p.series.size();
    while (n > 0 && points > 5 && n * heightOf(points) * 1.4 > area.height())
        points -= 0.5;
    const double step = heightOf(points) * 1.4;
    for (int i = 0; i < n; ++i) {
        const Series& s = p.series.at(i);
        const double y = area.top() + step * (i + 0.5);
        LegendEntry e;
        e.colour = s.colour;
        e.marker = s.marker;
        e.sample = QLineF(legendLeft, y, legendLeft + 360, y);
        e.text = textAt(s.name, legendLeft + 460, y, points, Qt::AlignLeft);
        e.text.rect.setWidth(
            std::max(0.0, std::min(e.text.rect.width(), W - 100 - e.text.rect.left())));
        p.legend << e;
    }
    return p;
}

void DoseResponsePlot::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    TwipsSurface s(painter, size.width());
    for (const QLineF& line : grid)
        s.line(line.p1(), line.p2(), kAxisWidth, kGridGrey);
    for (const QLineF& line : axes)
        s.line(line.p1(), line.p2(), kAxisWidth, Qt::black);
    for (const Text& t : tickLabels)
        drawText(s, t);
    for (const Text& t : {xTitle, yTitle, note, warning})
        drawText(s, t);

    // The means under the ratings, each rating pale in a white rim: one equal to its mean
    // still shows on it.
    for (const Series& series : this->series) {
        for (const QLineF& segment : series.segments)
            s.line(segment.p1(), segment.p2(), kSegmentWidth, series.colour);
        for (const Mean& mean : series.means) {
            drawMarker(painter, series.marker, mean.at, MeanSize, Qt::white, series.colour);
            drawText(s, mean.label);
        }
    }
    for (const Series& series : this->series) {
        const QColor pale = series.colour.lighter(170);
        for (const Point& point : series.points)
            drawMarker(painter, series.marker, point.at, PointSize, series.colour, pale);
    }
    for (const LegendEntry& e : legend) {
        s.line(e.sample.p1(), e.sample.p2(), kSegmentWidth, e.colour);
        drawMarker(painter, e.marker, e.sample.center(), MeanSize, Qt::white, e.colour);
        drawText(s, e.text);
    }
    painter.restore();
}

QImage DoseResponsePlot::image(qreal devicePixelRatio) const {
    return imageOf(
        size, [this](QPainter& painter) { paint(painter); }, devicePixelRatio);
}

bool DoseResponsePlot::printOn(QPagedPaintDevice& device) const {
    return printOn(device, size, [this](QPainter& painter) { paint(painter); });
}

QImage DoseResponsePlot::imageOf(const QSizeF& twips, const std::function<void(QPainter&)>& draw,
                                 qreal devicePixelRatio) {
    const QSize pixels(Twips::toPixels(int(std::lround(twips.width()))),
                       Twips::toPixels(int(std::lround(twips.height()))));
    QImage out(pixels * devicePixelRatio, QImage::Format_RGB32);
    out.setDevicePixelRatio(devicePixelRatio);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.scale(1.0 / Twips::PerPixel, 1.0 / Twips::PerPixel);
    draw(painter);
    return out;
}

bool DoseResponsePlot::printOn(QPagedPaintDevice& device, const QSizeF& twips,
                               const std::function<void(QPainter&)>& draw) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const int dpi = device.logicalDpiX();
    const QRectF printable = device.pageLayout().paintRectPixels(dpi);
    const double perTwip = dpi / 1440.0;
    const double scale = std::min(printable.width() / (twips.width() * perTwip),
                                  printable.height() / (twips.height() * perTwip));
    painter.translate((printable.width() - twips.width() * perTwip * scale) / 2, 0);
    painter.scale(perTwip * scale, perTwip * scale);
    draw(painter);
    return painter.end();
}

} // namespace grelavo
