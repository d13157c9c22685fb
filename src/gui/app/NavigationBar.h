#pragma once

#include <QWidget>
#include <array>

class QPushButton;
class QToolButton;

namespace grelavo {

// The navigation bar on the left of the main window (picListBar): the three group buttons
// (cmdObligatoire, cmdOptionnel, cmdRapport) and, under the group shown, its part of the
// button strip (ListBar(1) to ListBar(10)), scrolled by cmdUp and cmdDown when it does not fit.
// It lays itself out (BarLayout) and says what was clicked; the main window decides what that
// does.
class NavigationBar : public QWidget {
    Q_OBJECT

public:
    enum class Group { Mandatory = 0, Optional = 1, Report = 2 };
    // The strip's buttons, numbered as their object names are (ListBar(1) ...).
    enum class Command {
        ClearMandatory = 1,
        MandatoryHelp,
        Crop,
        Site,
        Weeds,
        ClearOptional,
        OptionalHelp,
        Copy,
        Print,
        ReportHelp,
    };
    static constexpr int StripButtons = 10;

    explicit NavigationBar(QWidget* parent = nullptr);

    // The group the main window is in; set before its strip is laid out when a command
    // changes group.
    Group group() const { return m_group; }
    void setGroup(Group g) { m_group = g; }
    // Lays out the bar for group g, its strip showing that group's buttons, back at the top
    // when resetStrip is set.
    void arrange(Group g, bool resetStrip);
    // The strip moved by half a button, never past the limits (twips).
    void scrollUp();
    void scrollDown();
    int topLimit() const { return m_topLimit; }
    int bottomLimit() const { return m_bottomLimit; }
    // The strip itself (ListBar), whose buttons the hover help speaks of.
    QWidget* strip() const { return m_listBar; }
    // The strip's icons, from the program's resources.
    void setButtonImages();

signals:
    void groupClicked(NavigationBar::Group group);
    void commandClicked(NavigationBar::Command command);
    // After every layout: the group shown may have changed.
    void arranged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOutStrip();
    int stripHeight() const;
    void placeStrip(int top);
    int stripTop() const;

    Group m_group = Group::Mandatory;
    int m_topLimit = 0;
    int m_bottomLimit = 0;
    std::array<QPushButton*, 3> m_groupButtons{};
    QWidget* m_stripClip = nullptr; // between the group buttons: the strip never covers them
    QWidget* m_listBar = nullptr;
    std::array<QToolButton*, StripButtons> m_stripButtons{};
    QToolButton* m_cmdUp = nullptr;
    QToolButton* m_cmdDown = nullptr;
};

} // namespace grelavo
