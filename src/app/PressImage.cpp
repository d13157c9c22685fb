#include "PressImage.h"

#include "Twips.h"

#include <QMouseEvent>

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
