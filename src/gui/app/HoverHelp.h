#pragma once

#include <QObject>
#include <QPoint>
#include <QVector>
#include <array>
#include <functional>

class QWidget;

namespace grelavo {

struct AppState;

// The help line of the status bar: what lies under the pointer, as the windows describe their
// controls (shared/HoverText). The hover timer polls the boxes described as polled on the page
// shown (tick); mouse moves over the other described controls write their texts at once, and
// over the navigation strip the text of the button under the pointer. The keyboard counts too:
// a described control that gets the focus writes its text.
class HoverHelp : public QObject {
    Q_OBJECT

public:
    // The texts go through setHelpLine. Every described control inside mainWindow is watched;
    // the polled ones are found on the four pages of the parameter form.
    HoverHelp(AppState& state, QWidget* mainWindow, QWidget* strip,
              const std::array<QWidget*, 4>& pages, std::function<int()> currentGroup,
              std::function<void(const QString&)> setHelpLine);

    // One tick of the timer for the page shown (1 to 4), the pointer at pos (global).
    void tick(int currentPage, const QPoint& pos);

    // The text of the strip button under the pointer at height y for a group, buttons of
    // height h stacked from the top; empty below the last button.
    static QString stripText(int group, int y, int h);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* w);
    void focusChanged(QWidget* now);

    AppState& m_state;
    QWidget* m_strip;
    QWidget* m_form;
    QVector<QWidget*> m_polled[5]; // by page 1 to 4, found once
    std::function<int()> m_currentGroup;
    std::function<void(const QString&)> m_setHelpLine;
};

} // namespace grelavo
