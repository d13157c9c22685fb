#include "NavigationBar.h"

#include "BarLayout.h"
#include "gui/shared/HoverText.h"
#include "render/Twips.h"

#include <QIcon>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

namespace grelavo {

namespace {

const int kListBarWidth = 2250; // the navigation bar, twips
const int kStripButtonHeight = 900;
const int kScrollButtonSize = 300;

struct StripButton {
    const char* caption;
    NavigationBar::Group group;
    const char* icon;
};

using G = NavigationBar::Group;

// The ten buttons of the strip in the order of their numbers: caption, group, icon.
const StripButton kStrip[NavigationBar::StripButtons] = {
    {"Tout effacer", G::Mandatory, "effacer"},
    {"Aide", G::Mandatory, "aide"},
    {"Culture", G::Optional, "culture"},
    {"Site", G::Optional, "site"},
    {"Mauv. herb.", G::Optional, "mauvaises-herbes"},
    {"Tout effacer", G::Optional, "effacer"},
    {"Aide", G::Optional, "aide"},
    {"Copier", G::Report, "copier"},
    {"Imprimer", G::Report, "imprimer"},
    {"Aide", G::Report, "aide"}};

void placeInBar(QWidget* w, const QRect& twips) {
    w->setGeometry(Twips::toPixels(twips));
}

} // namespace

NavigationBar::NavigationBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picListBar"));
    setFixedWidth(Twips::toPixels(kListBarWidth));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Dark);

    HoverText::describe(this, HoverText::generalPrompt());
    const char* names[3] = {"cmdObligatoire", "cmdOptionnel", "cmdRapport"};
    const char* captions[3] = {"Paramètres obligatoires", "Paramètres optionnels", "Rapports"};
    const char* help[3] = {
        "Appuyez ici pour entrer les paramètres nécessaires à la production d'un rapport",
        "Appuyez ici pour entrer des paramètres optionnels",
        "Appuyez ici pour produire les rapports"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(captions[i]), this);
        button->setObjectName(QLatin1String(names[i]));
        HoverText::describe(button, QString::fromUtf8(help[i]));
        QFont font = button->font();
        font.setPointSizeF(8.5);
        button->setFont(font);
        connect(button, &QPushButton::clicked, this,
                [this, i] { emit groupClicked(static_cast<Group>(i)); });
        m_groupButtons[i] = button;
    }

    m_stripClip = new QWidget(this);
    m_stripClip->setObjectName(QStringLiteral("ListBarClip"));
    m_listBar = new QWidget(m_stripClip);
    m_listBar->setObjectName(QStringLiteral("ListBar"));
    for (int i = 0; i < StripButtons; ++i) {
        auto* button = new QToolButton(m_listBar);
        button->setObjectName(QStringLiteral("ListBar(%1)").arg(i + 1));
        button->setText(QString::fromUtf8(kStrip[i].caption));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIconSize(QSize(32, 32));
        connect(button, &QToolButton::clicked, this,
                [this, i] { emit commandClicked(static_cast<Command>(i + 1)); });
        m_stripButtons[i] = button;
    }
    m_stripClip->raise();

    m_cmdUp = new QToolButton(this);
    m_cmdUp->setObjectName(QStringLiteral("cmdUp"));
    m_cmdUp->setIcon(QIcon(QStringLiteral(":/icons/haut.svg")));
    m_cmdDown = new QToolButton(this);
    m_cmdDown->setObjectName(QStringLiteral("cmdDown"));
    m_cmdDown->setIcon(QIcon(QStringLiteral(":/icons/bas.svg")));
    for (QToolButton* b : {m_cmdUp, m_cmdDown}) {
        b->resize(Twips::toPixels(kScrollButtonSize), Twips::toPixels(kScrollButtonSize));
        b->hide();
        b->raise();
    }
    connect(m_cmdUp, &QToolButton::clicked, this, &NavigationBar::scrollUp);
    connect(m_cmdDown, &QToolButton::clicked, this, &NavigationBar::scrollDown);
}

void NavigationBar::setButtonImages() {
    for (int i = 0; i < StripButtons; ++i)
        m_stripButtons[i]->setIcon(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kStrip[i].icon))));
}

int NavigationBar::stripHeight() const {
    int visible = 0;
    for (const StripButton& b : kStrip)
        visible += b.group == m_group ? 1 : 0;
    return visible * kStripButtonHeight;
}

void NavigationBar::layOutStrip() {
    int top = 0;
    for (int i = 0; i < StripButtons; ++i) {
        const bool visible = kStrip[i].group == m_group;
        m_stripButtons[i]->setVisible(visible);
        if (visible) {
            placeInBar(m_stripButtons[i], QRect(0, top, BarLayout::StripWidth, kStripButtonHeight));
            top += kStripButtonHeight;
        }
    }
    m_listBar->resize(Twips::toPixels(BarLayout::StripWidth), Twips::toPixels(top));
}

int NavigationBar::stripTop() const {
    return m_listBar->property("topTwips").toInt();
}

void NavigationBar::placeStrip(int top) {
    m_listBar->move(m_listBar->x(), Twips::toPixels(top) - m_stripClip->y());
    m_listBar->setProperty("topTwips", top);
}

void NavigationBar::arrange(Group g, bool resetStrip) {
    m_listBar->hide();
    m_group = g; // the strip shows the buttons of group g
    layOutStrip();
    const int index = static_cast<int>(g);
    const BarLayout::Bar bar = BarLayout::ArrangeBar(
        index, resetStrip, Twips::fromPixels(width()), Twips::fromPixels(height()), stripTop(),
        stripHeight(), BarLayout::StripWidth, kScrollButtonSize, kScrollButtonSize);
    for (int i = 0; i < 3; ++i)
        placeInBar(m_groupButtons[i], bar.groupButtons[i]);
    m_cmdUp->move(Twips::toPixels(bar.up.x()), Twips::toPixels(bar.up.y()));
    m_cmdDown->move(Twips::toPixels(bar.down.x()), Twips::toPixels(bar.down.y()));
    m_topLimit = bar.BarTopLimit;
    m_bottomLimit = bar.BarBottomLimit;
    // The strip shows between the group buttons only, scrolled or not.
    const int clipTop = m_groupButtons[index]->geometry().bottom() + 1;
    const int clipBottom = index < 2 ? m_groupButtons[index + 1]->y() : height();
    m_stripClip->setGeometry(0, clipTop, width(), std::max(0, clipBottom - clipTop));
    m_listBar->move(Twips::toPixels(bar.stripLeft), m_listBar->y());
    placeStrip(bar.stripTop);
    m_cmdUp->setVisible(bar.upVisible);
    m_cmdDown->setVisible(bar.downVisible);
    m_listBar->show();
    m_cmdUp->raise();
    m_cmdDown->raise();
    emit arranged();
}

void NavigationBar::scrollDown() {
    const BarLayout::Scroll s =
        BarLayout::cmdDown_Click(stripTop(), stripHeight(), kStripButtonHeight, m_bottomLimit);
    placeStrip(s.top);
    m_cmdDown->setVisible(s.downVisible);
    m_cmdUp->setVisible(s.upVisible);
}

void NavigationBar::scrollUp() {
    const BarLayout::Scroll s = BarLayout::cmdUp_Click(stripTop(), kStripButtonHeight, m_topLimit);
    placeStrip(s.top);
    m_cmdUp->setVisible(s.upVisible);
    m_cmdDown->setVisible(s.downVisible);
}

void NavigationBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrange(m_group, true);
}

} // namespace grelavo
