#include "MdiPage.h"

#include <QApplication>
#include <QEvent>
#include <QScrollBar>

namespace grelavo {

PageScroller::PageScroller(QWidget* page, const QSize& designed, QWidget* parent)
    : QScrollArea(parent), m_designed(designed) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus); // no stop of its own on the way of Tab
    setWidgetResizable(false);
    setWidget(page);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && widget()->isAncestorOf(now))
            showControl(now);
    });
}

bool PageScroller::viewportEvent(QEvent* event) {
    // The area resized, or the window's needs changed (it asked for a new layout).
    if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)
        fit();
    return QScrollArea::viewportEvent(event);
}

void PageScroller::showControl(QWidget* control) {
    const QRect r(control->mapTo(widget(), QPoint(0, 0)), control->size());
    // Whole with a margin, or from its start when it is wider or taller than the area.
    const auto scroll = [](QScrollBar* bar, int start, int length, int room) {
        const int margin = 8;
        if (length + 2 * margin > room || start - margin < bar->value())
            bar->setValue(start - margin);
        else if (start + length + margin > bar->value() + room)
            bar->setValue(start + length + margin - room);
    };
    scroll(horizontalScrollBar(), r.x(), r.width(), viewport()->width());
    scroll(verticalScrollBar(), r.y(), r.height(), viewport()->height());
}

void PageScroller::fit() {
    const QSize smallest = m_designed.isValid() ? m_designed : widget()->minimumSizeHint();
    widget()->resize(viewport()->size().expandedTo(smallest));
}

OpenSubWindow::OpenSubWindow(QWidget* content) {
    setWindowFlags(Qt::FramelessWindowHint);
    setWidget(content);
}

bool OpenSubWindow::focusNextPrevChild(bool next) {
    QWidget* from = QApplication::focusWidget();
    if (!from || !isAncestorOf(from))
        return QMdiSubWindow::focusNextPrevChild(next);
    // The main window's focus chain holds every control, this window's and the others'.
    const QWidget* top = window();
    for (QWidget* w = from;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == from)
            return false;
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isEnabled() &&
            w->isVisibleTo(top)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
}

} // namespace grelavo
