#include "PointerTracker.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>

namespace grelavo {

PointerTracker::PointerTracker(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool PointerTracker::eventFilter(QObject* watched, QEvent* event) {
    // Every event passes here: only the top-level windows' pointer events are looked at, so a
    // widget's events (the same pointer, delivered again) cost one test.
    if (!watched->isWindowType())
        return false;
    switch (event->type()) {
    case QEvent::Enter:
        m_pos = static_cast<QEnterEvent*>(event)->globalPosition().toPoint();
        break;
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        m_pos = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        break;
    case QEvent::Leave:
        m_pos.reset();
        break;
    default:
        break;
    }
    return false;
}

} // namespace grelavo
