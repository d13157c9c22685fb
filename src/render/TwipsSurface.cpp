#include "TwipsSurface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace grelavo {

TwipsSurface::TwipsSurface(QPainter& painter, double scaleWidth)
    : m_painter(painter), m_scaleWidth(scaleWidth), m_font(QStringLiteral("Liberation Sans")) {
    // Metrics unhinted at the twip size, so that the screen and the printer lay text out alike.
    m_font.setHintingPreference(QFont::PreferNoHinting);
    m_font.setStyleHint(QFont::SansSerif);
    setFontSize(m_points);
}

void TwipsSurface::setFontSize(double points) {
    m_points = points;
    m_font.setPixelSize(qMax(1, static_cast<int>(std::lround(points * PerPoint))));
}

void TwipsSurface::setBold(bool bold) {
    m_font.setBold(bold);
}

double TwipsSurface::textWidth(const QString& text) const {
    return QFontMetricsF(m_font).horizontalAdvance(text);
}

double TwipsSurface::textHeight() const {
    return QFontMetricsF(m_font).lineSpacing();
}

void TwipsSurface::print(const QString& text) {
    const QRectF rect(currentX, currentY, textWidth(text) + 1, textHeight());
    if (!text.isEmpty()) {
        m_painter.setFont(m_font);
        m_painter.setPen(m_foreColor);
        m_painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        m_texts.push_back({rect, text, Qt::AlignLeft, m_font, m_foreColor, 0});
    }
    currentX = 0;
    currentY += textHeight();
}

void TwipsSurface::drawLine(const QLineF& line, double width, const QColor& colour) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::SquareCap);
    m_painter.setPen(pen);
    m_painter.drawLine(line);
    m_lines.push_back({line, width, colour});
}

void TwipsSurface::line(const QPointF& from, const QPointF& to, double width,
                        const QColor& colour) {
    drawLine(QLineF(from, to), width, colour);
    currentX = to.x();
    currentY = to.y();
}

void TwipsSurface::box(const QPointF& from, const QPointF& to, double width, const QColor& colour) {
    const QPointF a(to.x(), from.y());
    const QPointF b(from.x(), to.y());
    for (const QLineF& side : {QLineF(from, a), QLineF(a, to), QLineF(to, b), QLineF(b, from)})
        drawLine(side, width, colour);
    currentX = to.x();
    currentY = to.y();
}

void TwipsSurface::drawText(const QRectF& rect, const QString& text, Qt::Alignment horizontal) {
    const QString shown =
        QFontMetricsF(m_font).elidedText(text, Qt::ElideRight, qMax(0.0, rect.width()));
    m_painter.save();
    m_painter.setClipRect(rect, Qt::IntersectClip);
    m_painter.setFont(m_font);
    m_painter.setPen(m_foreColor);
    m_painter.drawText(rect, horizontal | Qt::AlignTop | Qt::TextSingleLine, shown);
    m_painter.restore();
    m_texts.push_back({rect, shown, horizontal, m_font, m_foreColor, 0});
}

void TwipsSurface::drawTurned(const QPointF& centre, double degrees, const QString& text) {
    const QSizeF size(textWidth(text) + 1, textHeight());
    const QRectF rect(centre - QPointF(size.width() / 2, size.height() / 2), size);
    m_painter.save();
    m_painter.translate(centre);
    m_painter.rotate(degrees);
    m_painter.setFont(m_font);
    m_painter.setPen(m_foreColor);
    m_painter.drawText(rect.translated(-centre), Qt::AlignCenter | Qt::TextSingleLine, text);
    m_painter.restore();
    m_texts.push_back({rect, text, Qt::AlignCenter, m_font, m_foreColor, degrees});
}

void TwipsSurface::drawTurnedShape(const QPointF& centre, double degrees, const QString& text) {
    const QSizeF size(textWidth(text) + 1, textHeight());
    const QRectF rect(centre - QPointF(size.width() / 2, size.height() / 2), size);
    QPainterPath outline;
    outline.addText(0, 0, m_font, text);
    const QRectF bounds = outline.boundingRect();
    m_painter.save();
    m_painter.translate(centre);
    m_painter.rotate(degrees);
    m_painter.translate(-bounds.center());
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.fillPath(outline, m_foreColor);
    m_painter.restore();
    m_texts.push_back({rect, text, Qt::AlignCenter, m_font, m_foreColor, degrees});
}

} // namespace grelavo
