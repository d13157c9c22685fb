#include "PressImage.h"

#include "render/Twips.h"

#include <QMouseEvent>
#include <QPainter>

namespace grelavo {

namespace {
QPoint toPixels(const QPoint& twips) {
    return QPoint(Twips::toPixels(twips.x()), Twips::toPixels(twips.y()));
}
} // namespace

PressImage::PressImage(const QPoint& rest, const QPoint& pressed, QWidget* parent)
    : QLabel(parent), m_rest(rest), m_pressed(pressed) {
    move(toPixels(m_rest));
    setCursor(Qt::PointingHandCursor);
}

QPixmap PressImage::buttonFace(const QString& caption, const QSize& twips, const QColor& fill,
                               const QColor& border, double points) {
    QPixmap face(Twips::toPixels(twips.width()), Twips::toPixels(twips.height()));
    face.fill(Qt::transparent);
    QPainter p(&face);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(face.rect()).adjusted(1, 1, -1, -1);
    p.setBrush(fill);
    p.setPen(QPen(border, 1.5));
    p.drawRoundedRect(r, 8, 8);
    p.setPen(Qt::white);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(true);
    p.setFont(font);
    p.drawText(r, Qt::AlignCenter, caption);
    return face;
}

void PressImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        move(toPixels(m_pressed));
}

void PressImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    move(toPixels(m_rest));
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace grelavo
