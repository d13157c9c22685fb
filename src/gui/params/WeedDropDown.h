#pragma once

#include "frmListView.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <array>

class QComboBox;
class QWidget;

namespace grelavo {

struct AppState;
class DE;

// The five extra-weed boxes open the weed list instead of their own list: a press on a box's
// drop-down button opens frmListView below the box, a second press closes it, choosing a weed
// selects it in the box. The boxes are watched by an event filter, removed by SetDropDownHook
// with false when the parameter form closes, or at the latest when this object goes.
class WeedDropDown : public QObject {
    Q_OBJECT

public:
    static constexpr int Boxes = 5;

    // The weed list window is created now, hidden, as a window of the form.
    WeedDropDown(AppState& state, DE& de, QWidget* form);
    ~WeedDropDown() override;

    // Watches the box cbbMauvHerb(i) named by its objectName (on = true), or gives it its own
    // behaviour back (on = false; the list closes if it serves that box).
    void SetDropDownHook(QComboBox* box, bool on);
    // The same for the five boxes at once, in their order.
    void SetDropDownHook(bool on, const std::array<QComboBox*, Boxes>& boxes);

    frmListView* listWindow() const { return m_window; }

    // Selects in the served box every item whose data is the weed id: the last match wins.
    // The served box is the one the list was last opened from.
    void SelectWeedInCombo(int weedId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int boxIndex(QObject* watched) const;
    QComboBox* servedBox() const;
    bool onPress(int index, const QPoint& pos);
    void openBelow(int index);
    QRect placeBelow(const QComboBox* box, int heightTwips) const;
    void chooseWeed(bool chosen, int weedId);

    AppState& m_state;
    QPointer<frmListView> m_window;
    std::array<QPointer<QComboBox>, Boxes> m_boxes;
    // Fixed when the list opens: the pointer crossing another box while the list is open must
    // not send the chosen weed there.
    int m_served = 0;
    // When the list hid because the press on its box took the focus away.
    QElapsedTimer m_hiddenByFocusLoss;
};

} // namespace grelavo
