#pragma once

#include <QMdiSubWindow>
#include <QScrollArea>
#include <QSize>

namespace grelavo {

// Holds a window drawn for a given size (without one, the window's minimum size hint, followed as
// it changes): the window fills the area while the area is larger, and keeps that size under
// scroll bars while the area is smaller. A control inside that gets the keyboard focus is
// scrolled into view.
class PageScroller : public QScrollArea {
    Q_OBJECT

public:
    PageScroller(QWidget* page, const QSize& designed, QWidget* parent = nullptr);

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void fit();
    void showControl(QWidget* control);

    QSize m_designed;
};

// A frameless sub-window of the main window's MDI area that Tab and Shift+Tab can leave: past its
// last control the focus goes on to the main window's next one (the navigation bar), where a
// plain sub-window would keep it going round its own controls.
class OpenSubWindow : public QMdiSubWindow {
    Q_OBJECT

public:
    explicit OpenSubWindow(QWidget* content);

protected:
    bool focusNextPrevChild(bool next) override;
};

} // namespace grelavo
