#include "HoverHelp.h"

#include "gui/shared/AppState.h"
#include "gui/shared/HoverText.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QWidget>

namespace grelavo {

namespace {

const char* const kStripHelp[10] = {
    "Appuyez ici pour effacer toutes les données relatives à cette page",
    "Appuyez ici pour obtenir les informations sur les paramètres obligatoires",
    "Appuyez ici pour entrer les Informations relatives à la culture et aux antécédents culturaux",
    "Appuyez ici pour entrer les Informations relatives au site (région, type de sol…)",
    "Appuyez ici pour entrer des mauvaises herbes qui ne figurent pas dans la liste prédéfinie",
    "Appuyez ici pour effacer toutes les données relatives aux paramètres optionnels",
    "Appuyez ici pour obtenir les informations sur les paramètres optionnels",
    "Appuyez ici pour copier le rapport",
    "Appuyez ici pour imprimer le rapport",
    "Appuyez ici pour obtenir les informations relatives au rapport"};
const int kGroupFirst[3] = {1, 3, 8};
const int kGroupLast[3] = {2, 7, 10};

} // namespace

HoverHelp::HoverHelp(AppState& state, QWidget* mainWindow, QWidget* strip,
                     const std::array<QWidget*, 4>& pages, std::function<int()> currentGroup,
                     std::function<void(const QString&)> setHelpLine)
    : QObject(mainWindow), m_state(state), m_strip(strip), m_form(pages[0]->window()),
      m_currentGroup(std::move(currentGroup)), m_setHelpLine(std::move(setHelpLine)) {
    const QList<QToolButton*> buttons = strip->findChildren<QToolButton*>();
    for (int i = 0; i < buttons.size() && i < 10; ++i) {
        watch(buttons[i]); // by the pointer's height
        HoverText::describe(buttons[i], QString::fromUtf8(kStripHelp[i])); // by the focus
    }
    for (QWidget* w : mainWindow->findChildren<QWidget*>())
        if (HoverText::isDescribed(w) && !HoverText::isPolled(w))
            watch(w);
    for (int page = 1; page <= 4; ++page)
        for (QWidget* w : pages[page - 1]->findChildren<QWidget*>())
            if (HoverText::isPolled(w))
                m_polled[page].push_back(w);
    connect(qApp, &QApplication::focusChanged, this,
            [this, mainWindow](QWidget* old, QWidget* now) {
                // Moved inside the main window: not the window coming forward again.
                if (old && now && mainWindow->isAncestorOf(old) && mainWindow->isAncestorOf(now))
                    focusChanged(now);
            });
}

// The control that has the focus, or the box whose line edit has it.
void HoverHelp::focusChanged(QWidget* now) {
    QWidget* w = now;
    if (!HoverText::isDescribed(w) && qobject_cast<QComboBox*>(w->parentWidget()))
        w = w->parentWidget();
    if (HoverText::isDescribed(w))
        m_setHelpLine(HoverText::of(w));
}

void HoverHelp::watch(QWidget* w) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
}

bool HoverHelp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove)
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (auto* button = qobject_cast<QToolButton*>(w); button && button->parentWidget() == m_strip) {
        const QPoint inStrip =
            button->mapToParent(static_cast<QMouseEvent*>(event)->position().toPoint());
        const QString text = stripText(m_currentGroup(), inStrip.y(), button->height());
        if (!text.isEmpty())
            m_setHelpLine(text);
        return static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
    }
    m_setHelpLine(HoverText::of(w));
    // Taken here, so that the container under the control does not write its own text too; a
    // move with a button down (a drag, a text selection) still reaches the control.
    return static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
}

QString HoverHelp::stripText(int group, int y, int h) {
    if (group < 0 || group > 2 || h <= 0)
        return QString();
    int sum = 0;
    for (int b = kGroupFirst[group]; b <= kGroupLast[group]; ++b) {
        sum += h;
        if (sum > y)
            return QString::fromUtf8(kStripHelp[b - 1]);
    }
    return QString();
}

// The boxes of the page were found once; a tick only compares rectangles.
void HoverHelp::tick(int currentPage, const QPoint& pos) {
    if (currentPage < 1 || currentPage > 4)
        return;
    // A window in front of the form (the weed list, a message) hides the controls under it.
    if (const QWidget* front = QApplication::topLevelAt(pos); front && front != m_form)
        return;
    for (QWidget* box : m_polled[currentPage]) {
        if (!box->isVisible() || !box->rect().contains(box->mapFromGlobal(pos)))
            continue;
        m_setHelpLine(HoverText::of(box));
        if (const int weed = HoverText::weedIndex(box); weed >= 0)
            m_state.HoverWeedIndex = static_cast<qint16>(weed);
    }
}

} // namespace grelavo
