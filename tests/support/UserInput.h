#pragma once

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QWidget>
#include <QWindow>
#include <QtTest>

// Key presses and clicks as the window system delivers them: a click to the window at a point
// (Qt gives it to the widget under the pointer), keys to the window that has the focus (Qt gives
// them to its focused widget). Never to an internal child that a user cannot reach.
namespace UserInput {

inline QWindow* focusedWindow() {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->windowHandle();
    if (QWidget* active = QApplication::activeWindow())
        return active->windowHandle();
    return QGuiApplication::focusWindow();
}

// A click into a widget, near its left edge (in a box's text, clear of its arrow).
inline void clickInto(QWidget* w) {
    QWidget* top = w->window();
    const QPoint at = w->mapTo(top, QPoint(qMin(12, w->width() / 3), w->height() / 2));
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

inline void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(focusedWindow(), key, modifiers);
}

// Characters as typed, accented letters too.
inline void type(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 128 && c.isPrint())
            QTest::keyClick(focusedWindow(), c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, focusedWindow(), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
    }
}

// The text of a box replaced by keys: a click into it, Ctrl+A, then the characters.
inline void typeInto(QWidget* box, const QString& text) {
    clickInto(box);
    key(Qt::Key_A, Qt::ControlModifier);
    type(text);
}

// Text pasted over what a box holds, as Ctrl+V pastes it.
inline void pasteInto(QWidget* box, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    clickInto(box);
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_V, Qt::ControlModifier);
}

// The control a user sees focused: the box whose line edit has the focus counts as the box.
inline QString focusedName() {
    QWidget* w = QApplication::focusWidget();
    if (w && qobject_cast<QComboBox*>(w->parentWidget()))
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// Tab pressed until the focus reaches the named control; false when it never does.
inline bool tabTo(const QString& name, int most = 80) {
    for (int i = 0; i < most && focusedName() != name; ++i)
        key(Qt::Key_Tab);
    return focusedName() == name;
}

// A menu of the menu bar opened by its access key, then one of its entries by its own.
inline void menuKeys(Qt::Key menu, Qt::Key entry) {
    key(menu, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    key(entry);
    QTRY_VERIFY(!QApplication::activePopupWidget());
}

} // namespace UserInput
