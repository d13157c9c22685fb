#include "WeedDropDown.h"

#include "frmListView.h"
#include "gui/shared/AppState.h"
#include "render/Twips.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
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

// The i of "cbbMauvHerb(i)", or -1.
int indexInName(const QComboBox* box) {
    static const QRegularExpression name(QStringLiteral("^cbbMauvHerb\\((\\d)\\)$"));
    const QRegularExpressionMatch match = name.match(box->objectName());
    const int i = match.hasMatch() ? match.captured(1).toInt() : -1;
    return i < WeedDropDown::Boxes ? i : -1;
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
    connect(m_window, &frmListView::weedChosen, this, &WeedDropDown::chooseWeed);
    m_window->installEventFilter(this);
}

WeedDropDown::~WeedDropDown() {
    for (const QPointer<QComboBox>& box : m_boxes)
        if (box)
            box->removeEventFilter(this);
}

void WeedDropDown::SetDropDownHook(QComboBox* box, bool on) {
    if (!box)
        return;
    if (on) {
        const int i = indexInName(box);
        if (i < 0 || m_boxes[i] == box)
            return;
        if (m_boxes[i])
            SetDropDownHook(m_boxes[i], false);
        m_boxes[i] = box;
        box->installEventFilter(this);
        return;
    }
    const int i = boxIndex(box);
    if (i < 0)
        return;
    box->removeEventFilter(this);
    m_boxes[i] = nullptr;
    if (i == m_served && m_window)
        m_window->hide();
}

void WeedDropDown::SetDropDownHook(bool on, const std::array<QComboBox*, Boxes>& boxes) {
    for (QComboBox* box : boxes)
        SetDropDownHook(box, on);
}

int WeedDropDown::boxIndex(QObject* watched) const {
    for (int i = 0; i < Boxes; ++i)
        if (m_boxes[i] && m_boxes[i] == watched)
            return i;
    return -1;
}

QComboBox* WeedDropDown::servedBox() const {
    return m_boxes[m_served].data();
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
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            return onPress(index, mouse->position().toPoint());
        break;
    }
    case QEvent::MouseButtonDblClick: {
        // The second press of a double click has already come as a press and toggled the list;
        // the box must not open its own list on the double click either.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            return true;
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
                            m_hiddenByFocusLoss.elapsed() < kSamePressMs && m_served == index;
    m_hiddenByFocusLoss.invalidate();
    if (m_window->isVisible() || justClosed) {
        m_window->hide();
        return true;
    }
    m_state.HoverWeedIndex = static_cast<qint16>(index);
    m_served = index;
    openBelow(index);
    return true;
}

void WeedDropDown::openBelow(int index) {
    QComboBox* box = m_boxes[index];
    m_window->setGeometry(placeBelow(box, index == Boxes - 1 ? kLastBoxHeight : kHeight));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    QTreeWidget* list = m_window->ListViewMH();
    // The weed the box holds is shown chosen, the first weed of the list as much as any other.
    if (box->currentIndex() >= 0)
        if (QTreeWidgetItem* item = itemOfWeed(list, box->itemData(box->currentIndex()).toInt())) {
            list->setCurrentItem(item, frmListView::French);
            list->scrollToItem(item);
        }
    list->setFocus(Qt::PopupFocusReason);
}

// Directly below the box, left-aligned with it; above the box when the screen ends below it,
// and moved left when it would pass the screen's right edge.
QRect WeedDropDown::placeBelow(const QComboBox* box, int heightTwips) const {
    QRect place(box->mapToGlobal(QPoint(0, box->height())),
                QSize(Twips::toPixels(kWidth), Twips::toPixels(heightTwips)));
    const QScreen* screen = box->screen();
    if (!screen)
        return place;
    const QRect available = screen->availableGeometry();
    if (place.bottom() > available.bottom()) {
        const int above = box->mapToGlobal(QPoint(0, 0)).y() - place.height();
        place.moveTop(above >= available.top() ? above : available.bottom() - place.height() + 1);
    }
    if (place.right() > available.right())
        place.moveRight(available.right());
    if (place.left() < available.left())
        place.moveLeft(available.left());
    return place;
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
