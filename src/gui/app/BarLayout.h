#pragma once

#include <QRect>
#include <array>

namespace grelavo {

// The layout of the navigation bar and of the status bar, in twips, as pure functions: the
// main window applies what they compute, so the geometry is tested without a screen.
class BarLayout {
public:
    static constexpr int H = 450;           // height of a group button
    static constexpr int StripWidth = 1205; // the button strip

    struct Bar {
        std::array<QRect, 3> groupButtons; // cmdObligatoire, cmdOptionnel, cmdRapport
        QPoint up, down;                   // top-left corners of cmdUp and cmdDown
        bool upVisible = false, downVisible = false;
        int BarTopLimit = 0, BarBottomLimit = 0;
        int stripLeft = 0, stripTop = 0;
    };
    // Lays out the bar of width W and height Ht for group g (0 to 2). stripTop is where the
    // strip stands now, stripHeight the height of its visible buttons.
    static Bar ArrangeBar(int g, bool resetStrip, int W, int Ht, int stripTop, int stripHeight,
                          int stripButtonWidth, int upWidth, int downWidth);

    struct Scroll {
        int top = 0;
        bool upVisible = false, downVisible = false;
    };
    // The scroll buttons: half a button height h per click, never past the limits.
    static Scroll cmdDown_Click(int top, int height, int h, int barBottomLimit);
    static Scroll cmdUp_Click(int top, int h, int barTopLimit);

    // StatusLabel(0..3) for a main window of outer width Wf; scaleTop is the status bar's top.
    static std::array<QRect, 4> Set_StatusBar(int Wf, int scaleTop = 0);
    static const std::array<QRect, 4>& statusLabelDesign();
};

} // namespace grelavo
