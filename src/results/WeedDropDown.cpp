#include "WeedDropDown.h"

#include "app/AppState.h"
#include "app/Twips.h"
#include "frmListView.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTreeWidget>

namespace grelavo {

namespace {

constexpr int kWidth = 6950;
constexpr int kHeight = 2050;
constexpr int kLastBoxHeight = 1550;
// A press that reaches the box this soon after the list hid on losing the focus is the press
// that took the focus away: it closes the list, as a second press does.
constexpr int kSamePressMs = 300;

bool opensOwnList(const QComboBox* box, const QKeyEvent* key) {
    const bool alt = key->modifiers() & Qt::AltModifier;
    return key->key() == Qt::Key_F4 ||
           (alt && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up)) ||
           (!box->isEditable() && (key->key() == Qt::Key_Space || key->key() == Qt::Key_Select));
}

QTreeWidgetItem* itemOfWeed(QTreeWidget* list, int weedId) {
    const QString id = QString::number(weedId);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(frmListView::Id) == id)
            return list->topLevelItem(i);
    return nullptr;
}

} // namespace

WeedDropDown::WeedDropDown(AppState& state, DE& de, QWidget* form)
    : QObject(form), m_state(state), m_window(new frmListView(de, form)) {
    m_window->hide();
    connect(m_window, &frmListView::weedClicked, this, &WeedDropDown::chooseWeed);
    m_window->installEventFilter(this);
}

WeedDropDown::~WeedDropDown() {
    for (const QPointer<QComboBox>& box : m_boxes)
        if (box)
            box->removeEventFilter(this);
}

void WeedDropDown::SetDropDownHook(bool on, const std::array<QComboBox*, Boxes>& boxes) {
    for (int i = 0; i < Boxes; ++i) {
        if (m_boxes[i])
            m_boxes[i]->removeEventFilter(this);
        m_boxes[i] = on ? boxes[i] : nullptr;
        if (m_boxes[i])
            m_boxes[i]->installEventFilter(this);
    }
}

int WeedDropDown::boxIndex(QObject* watched) const {
    for (int i = 0; i < Boxes; ++i)
        if (m_boxes[i] && m_boxes[i] == watched)
            return i;
    return -1;
}

QComboBox* WeedDropDown::servedBox() const {
    const int i = m_state.HoverWeedIndex;
    return i >= 0 && i < Boxes ? m_boxes[i].data() : nullptr;
}

bool WeedDropDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        // Seen before the window hides itself on losing the focus.
        if (event->type() == QEvent::WindowDeactivate && m_window->isVisible())
            m_hiddenByFocusLoss.start();
        return false;
    }
    const int index = boxIndex(watched);
    if (index < 0)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            return onPress(index, mouse->position().toPoint());
        break;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (opensOwnList(m_boxes[index], key))
            return true;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            m_window->hide();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool WeedDropDown::onPress(int index, const QPoint& pos) {
    QComboBox* box = m_boxes[index];
    // In an editable box the text field takes its own clicks; what reaches the box is its
    // drop-down button and frame.
    if (box->isEditable() && box->lineEdit() && box->lineEdit()->geometry().contains(pos)) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = true;
        const QRect arrow = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxArrow, box);
        if (!arrow.contains(pos))
            return false;
    }
    const bool justClosed = m_hiddenByFocusLoss.isValid() &&
                            m_hiddenByFocusLoss.elapsed() < kSamePressMs &&
                            m_state.HoverWeedIndex == index;
    m_hiddenByFocusLoss.invalidate();
    if (m_window->isVisible() || justClosed) {
        m_window->hide();
        return true;
    }
    m_state.HoverWeedIndex = static_cast<qint16>(index);
    openBelow(index);
    return true;
}

void WeedDropDown::openBelow(int index) {
    QComboBox* box = m_boxes[index];
    const QPoint topLeft = box->mapToGlobal(QPoint(0, box->height()));
    const int height = index == Boxes - 1 ? kLastBoxHeight : kHeight;
    m_window->setGeometry(topLeft.x(), topLeft.y(), Twips::toPixels(kWidth),
                          Twips::toPixels(height));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    QTreeWidget* list = m_window->ListViewMH();
    if (box->currentIndex() > 0)
        if (QTreeWidgetItem* item = itemOfWeed(list, box->itemData(box->currentIndex()).toInt())) {
            list->setCurrentItem(item);
            list->scrollToItem(item);
        }
    list->setFocus(Qt::PopupFocusReason);
}

void WeedDropDown::chooseWeed(bool chosen, int weedId) {
    if (chosen)
        SelectWeedInCombo(weedId);
    m_window->hide();
    if (QComboBox* box = servedBox()) {
        box->activateWindow();
        box->setFocus(Qt::OtherFocusReason);
    }
}

void WeedDropDown::SelectWeedInCombo(int weedId) {
    QComboBox* box = servedBox();
    if (!box)
        return;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i).toInt() == weedId)
            box->setCurrentIndex(i);
}

} // namespace grelavo
