#include "BarLayout.h"

namespace grelavo {

BarLayout::Bar BarLayout::ArrangeBar(int g, bool resetStrip, int W, int Ht, int stripTop,
                                     int stripHeight, int stripButtonWidth, int upWidth,
                                     int downWidth) {
    Bar bar;
    // The group buttons up to the selected one at the top, the others at the bottom.
    const int topButtons = g + 1;
    const int bottomButtons = 3 - topButtons;
    for (int i = 0; i < 3; ++i) {
        const int top = i < topButtons ? i * H : Ht - (3 - i) * H;
        bar.groupButtons[i] = QRect(0, top, W, H);
    }
    const int lastTopBottom = topButtons * H;
    bar.up = QPoint(W - upWidth - 30, lastTopBottom);
    bar.down = QPoint(W - downWidth - 30, Ht - (bottomButtons + 1) * H);
    bar.BarTopLimit = lastTopBottom;
    bar.BarBottomLimit = bottomButtons > 0 ? bar.groupButtons[topButtons].top() : Ht;
    bar.stripLeft = (W - stripButtonWidth) / 2;

    bar.stripTop = stripTop;
    if (stripHeight > Ht - 3 * H) {
        if (resetStrip)
            bar.stripTop = bar.BarTopLimit;
        if (bar.stripTop >= bar.BarTopLimit) {
            bar.stripTop = bar.BarTopLimit;
            bar.upVisible = false;
        } else {
            bar.upVisible = true;
        }
        if (bar.stripTop + stripHeight <= bar.BarBottomLimit) {
            bar.stripTop = bar.BarBottomLimit - stripHeight;
            bar.downVisible = false;
        } else {
            bar.downVisible = true;
        }
    } else {
        bar.stripTop = bar.BarTopLimit;
    }
    return bar;
}

BarLayout::Scroll BarLayout::cmdDown_Click(int top, int height, int h, int barBottomLimit) {
    Scroll s{top, true, true};
    if (s.top + height >= barBottomLimit) {
        s.top -= h / 2;
    } else {
        s.top = barBottomLimit - height;
        s.downVisible = false;
    }
    if (s.top + height < barBottomLimit) {
        s.top = barBottomLimit - height;
        s.downVisible = false;
    }
    return s;
}

BarLayout::Scroll BarLayout::cmdUp_Click(int top, int h, int barTopLimit) {
    Scroll s{top, true, true};
    if (s.top > barTopLimit) {
        s.top = barTopLimit;
        s.upVisible = false;
    } else {
        s.top += h / 2;
    }
    if (s.top > barTopLimit) {
        s.top = barTopLimit;
        s.upVisible = false;
    }
    return s;
}

const std::array<QRect, 4>& BarLayout::statusLabelDesign() {
    static const std::array<QRect, 4> design = {QRect(60, 75, 2160, 285), QRect(3960, 0, 2175, 510),
                                                QRect(7560, -45, 1455, 504),
                                                QRect(0, 0, 2295, 510)};
    return design;
}

std::array<QRect, 4> BarLayout::Set_StatusBar(int Wf, int scaleTop) {
    std::array<QRect, 4> l = statusLabelDesign();
    l[3].moveLeft(-30);
    l[0].moveLeft((l[3].width() - l[0].width()) / 2);
    l[0].moveTop((l[3].height() - l[0].height()) / 2 - 30);
    l[2].moveLeft(Wf - l[2].width());
    l[1].moveLeft(l[3].width() - 30);
    l[1].setWidth(Wf - l[2].width() - l[3].width());
    for (int i = 1; i <= 3; ++i)
        l[i].moveTop(scaleTop - 30);
    return l;
}

} // namespace grelavo
