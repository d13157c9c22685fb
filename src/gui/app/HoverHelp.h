#pragma once

#include <QObject>
#include <QPoint>
#include <QVector>
#include <functional>

class QWidget;

namespace grelavo {

struct AppState;

// The help line of the status bar: what lies under the pointer. The hover timer polls the
// parameter form's combo boxes and the rate button (tick); mouse moves over the other windows
// and controls write their texts at once.
class HoverHelp : public QObject {
    Q_OBJECT

public:
    static QString generalPrompt();

    // The texts go through setHelpLine; mainWindow, paramForm and resultsWindow are watched.
    HoverHelp(AppState& state, QWidget* mainWindow, QWidget* paramForm, QWidget* resultsWindow,
              std::function<int()> currentGroup, std::function<void(const QString&)> setHelpLine);

    // One tick of the timer for the page shown (1 to 4), the pointer at pos (global).
    void tick(int currentPage, const QPoint& pos);

    // The text of the strip button under the pointer at height y for a group, buttons of
    // height h stacked from the top; empty below the last button.
    static QString stripText(int group, int y, int h);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* w, const QString& text);
    void poll(int page, const QString& names, const QString& text);

    struct Polled {
        QWidget* control;
        QString text;
        int weedIndex; // the extra-weed box it is, or -1
    };

    AppState& m_state;
    QWidget* m_param;
    QVector<Polled> m_polled[5]; // by page 1 to 4, looked up once
    std::function<int()> m_currentGroup;
    std::function<void(const QString&)> m_setHelpLine;
};

} // namespace grelavo
