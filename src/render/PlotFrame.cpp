#include "PlotFrame.h"

#include "Colours.h"
#include "TwipsSurface.h"
#include "render/Twips.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace grelavo {

namespace {

const QColor kGridGrey(220, 220, 220);

QFont fontOf(double points, bool bold) {
    // As the twips surface sizes its font, so that text is measured as it is drawn.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qMax(1, static_cast<int>(std::lround(points * TwipsSurface::PerPoint))));
    font.setBold(bold);
    return font;
}

} // namespace

PlotFrame::Text PlotFrame::textAt(const QString& text, double x, double y, double points,
                                  Qt::Alignment alignment, bool bold, const QColor& colour) {
    const double w = QFontMetricsF(fontOf(points, bold)).horizontalAdvance(text) + 1;
    const double h = lineHeight(points, bold);
    const double left = alignment == Qt::AlignRight     ? x - w
                        : alignment == Qt::AlignHCenter ? x - w / 2
                                                        : x;
    return {QRectF(left, y - h / 2, w, h), text, points, bold, colour, alignment, 0};
}

double PlotFrame::lineHeight(double points, bool bold) {
    return QFontMetricsF(fontOf(points, bold)).lineSpacing();
}

double PlotFrame::spread(int i, int n, double step, double most) {
    const double half = std::min(most, step * (n - 1) / 2);
    return n < 2 ? 0 : -half + 2 * half * i / (n - 1);
}

double PlotFrame::yFor(double value) const {
    return plotArea.bottom() - ValuePad - value / 100 * (plotArea.height() - 2 * ValuePad);
}

QRectF PlotFrame::markerBounds(const QPointF& at, double size) {
    // The tallest shape (the diamond) reaches 0.575 of the size from its centre, its outline
    // half of size / 8 further.
    const double half = size * (0.575 + 1.0 / 16);
    return {at.x() - half, at.y() - half, 2 * half, 2 * half};
}

void PlotFrame::drawMarker(QPainter& painter, Marker marker, const QPointF& at, double size,
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

void PlotFrame::drawText(TwipsSurface& s, const Text& t) {
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

double PlotFrame::layAbout(const ReportAbout& shows) {
    const QStringList parameterLines = shows.parameters + QStringList{shows.toleranceLine()};
    const QStringList colophon = shows.colophonLines();
    const double W = size.width();
    const double small = lineHeight(AboutPoints);
    const double width = W - 2 * Edge;
    warning = Text();
    about.clear();
    aboutText = shows.lines();

    // From the bottom up: the colophon, the parameters in two columns, the warning.
    const int parameterRows = std::max(1, int(parameterLines.size() + 1) / 2);
    double y = size.height() - Edge - small * double(colophon.size());
    for (int i = 0; i < colophon.size(); ++i) {
        about << textAt(colophon[i], Edge, y + small * (i + 0.5), AboutPoints, Qt::AlignLeft, false,
                        colours::AboutGrey);
        about.last().rect.setWidth(std::min(about.last().rect.width(), width));
    }
    y -= small * parameterRows + 40;
    for (int i = 0; i < parameterLines.size(); ++i) {
        const int column = i / parameterRows; // the first half of the lines, then the second
        about << textAt(QStringLiteral("- ") + parameterLines[i], Edge + column * width / 2,
                        y + small * (i % parameterRows + 0.5), AboutPoints, Qt::AlignLeft, false,
                        colours::AboutGrey);
        about.last().rect.setWidth(std::min(about.last().rect.width(), width / 2 - 60));
    }
    if (shows.synthetic()) {
        const double h = lineHeight(PlotFrame::TickPoints, true);
        y -= h + 40;
        warning = textAt(ReportAbout::syntheticWarning(), W / 2, y + h / 2, PlotFrame::TickPoints,
                         Qt::AlignHCenter, true, colours::WarningRed);
        if (warning.rect.width() > width)
            warning.rect = QRectF(Edge, warning.rect.top(), width, warning.rect.height());
    }
    return y - 60;
}

void PlotFrame::layValueAxis() {
    const QRectF& area = plotArea;
    axes << QLineF(area.bottomLeft(), area.bottomRight())
         << QLineF(area.bottomLeft(), area.topLeft());
    for (int value = 0; value <= 100; value += 20) {
        yTicks << value;
        const double y = yFor(value);
        axes << QLineF(area.left() - TickLength, y, area.left(), y);
        grid << QLineF(area.left(), y, area.right(), y);
        tickLabels << textAt(QString::number(value), area.left() - TickLength - 40, y,
                             PlotFrame::TickPoints, Qt::AlignRight);
    }
}

void PlotFrame::layDoseTick(double x, int value) {
    xTicks << value;
    axes << QLineF(x, plotArea.bottom(), x, plotArea.bottom() + TickLength);
    tickLabels << textAt(QString::number(value), x,
                         plotArea.bottom() + TickLength + lineHeight(PlotFrame::TickPoints) / 2 +
                             20,
                         PlotFrame::TickPoints, Qt::AlignHCenter);
}

void PlotFrame::paintFrame(QPainter& painter, const std::function<void(TwipsSurface&)>& under,
                           const std::function<void(TwipsSurface&)>& over) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    TwipsSurface s(painter, size.width());
    for (const QLineF& line : grid)
        s.line(line.p1(), line.p2(), PlotFrame::AxisWidth, kGridGrey);
    under(s);
    for (const QLineF& line : axes)
        s.line(line.p1(), line.p2(), PlotFrame::AxisWidth, Qt::black);
    for (const Text& t : tickLabels)
        drawText(s, t);
    for (const Text& t : {xTitle, yTitle, note, warning})
        drawText(s, t);
    for (const Text& t : about)
        drawText(s, t);
    over(s);
    painter.restore();
}

QImage PlotFrame::imageOf(const QSizeF& twips, const std::function<void(QPainter&)>& draw,
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

bool PlotFrame::printOn(QPagedPaintDevice& device, const QSizeF& twips,
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
