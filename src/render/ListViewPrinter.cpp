#include "ListViewPrinter.h"

#include "ReportList.h"
#include "TwipsSurface.h"

#include <cmath>

namespace grelavo {

namespace {

constexpr double kPixel = ListViewPrinter::PixelTwips;
constexpr double kInset = 3 * kPixel; // the cell's text stays 3 pixels from its edges
constexpr double kFootnotePoints = 9;
const QString kCaption = QStringLiteral("Fraction de dose pour chaque herbicide (%)");
const QString kFootnote =
    QStringLiteral("  *La valeur entre ( ) indique le nombre de cas trouvés.");

bool isBoldRow(long i) {
    return i == 1 || i == 8 || i == 14 || i == 23 || i == 26 || i == 30;
}

QColor colourOf(quint32 bgr) {
    return QColor(bgr & 0xff, (bgr >> 8) & 0xff, (bgr >> 16) & 0xff);
}

} // namespace

void ListViewPrinter::SetLine(int kind, double width, const QColor& colour) {
    if (kind < 1 || kind > 3)
        return;
    double w = 1;
    if (width >= 1)
        w = std::abs(std::trunc(width));
    m_lines[kind - 1] = {w, colour};
}

double ListViewPrinter::lineWidth(int kind) const {
    return m_lines.at(kind - 1).width;
}

QColor ListViewPrinter::lineColour(int kind) const {
    return m_lines.at(kind - 1).colour;
}

int ListViewPrinter::columnCount() const {
    return m_list ? m_list->columns.size() : 0;
}

int ListViewPrinter::itemCount() const {
    return m_list ? m_list->items.size() : 0;
}

double ListViewPrinter::columnLeft(int k) const {
    double x = m_x0;
    for (int c = 0; c < k && c < columnCount(); ++c)
        x += m_list->columns.at(c).width;
    return x;
}

void ListViewPrinter::SetRows() {
    FirstRow = m_nextFirstRow;
    LastRow = FirstRow + RowsPerPage - 1;
    m_nextFirstRow = LastRow + 1 > itemCount() ? 1 : LastRow + 1;
}

void ListViewPrinter::setUp(TwipsSurface& s) {
    if (m_list)
        s.setForeColor(colourOf(m_list->foreColor));
    m_x0 = TableLeft;
    m_y0 = TableTop;
    if (DrawOuterFrame) {
        m_x0 += OuterFrameGap * kPixel;
        m_y0 += OuterFrameGap * kPixel;
    }
}

void ListViewPrinter::rule(TwipsSurface& s, int kind, double x1, double y1, double x2, double y2) {
    const LineStyle& style = m_lines.at(kind - 1);
    s.line({x1, y1}, {x2, y2}, style.width * kPixel, style.colour);
}

void ListViewPrinter::PrintHead(TwipsSurface& s) {
    setUp(s);
    if (columnCount() == 0)
        return;
    const double h = RowHeight;
    const double w1 = m_list->columns.at(0).width;
    const double w2 = columnCount() > 1 ? m_list->columns.at(1).width : 0;
    const double top = m_y0 + 2 * kPixel;
    s.drawText(QRectF(QPointF(m_x0 + w1 + kInset, top),
                      QPointF(m_x0 + w1 + 5 * w2 - kInset, m_y0 + 2 * h)),
               kCaption, Qt::AlignHCenter);
    for (int k = 0; k < columnCount(); ++k)
        s.drawText(QRectF(QPointF(columnLeft(k) + kInset, top + h),
                          QPointF(columnLeft(k + 1) - kInset, m_y0 + 2 * h)),
                   m_list->columns.at(k).text, Qt::AlignHCenter);
    if (DrawCellLines) {
        rule(s, CellLines, m_x0, m_y0, rightEnd(), m_y0);
        rule(s, CellLines, m_x0 + w1, m_y0 + h + 2 * kPixel, rightEnd(), m_y0 + h + 2 * kPixel);
        rule(s, CellLines, m_x0, m_y0 + 2 * h, rightEnd(), m_y0 + 2 * h);
    }
    m_headDrawn = true;
}

void ListViewPrinter::PrintBody(TwipsSurface& s) {
    setUp(s);
    const double r = RowHeight + 15;
    const QColor foreColor = s.foreColor();
    double top = m_headDrawn ? m_y0 + 2 * r : m_y0;
    const double right = rightEnd();
    // A row past the end of the list is not drawn.
    for (long i = FirstRow; i <= LastRow && i >= 1 && i <= itemCount(); ++i) {
        const ReportList::Item& item = m_list->items.at(i - 1);
        for (int k = 0; k < columnCount(); ++k) {
            const QString text = k == 0 ? item.text : item.subItems.value(k - 1);
            s.setBold(isBoldRow(i));
            s.drawText(QRectF(QPointF(columnLeft(k) + kInset, top + 2 * kPixel),
                              QPointF(columnLeft(k + 1) - kInset, top + r)),
                       text, ReportList::qtAlignment(m_list->columns.at(k).alignment));
            s.setBold(false);
            s.setForeColor(foreColor);
        }
        const bool last = i == itemCount();
        if (DrawCellLines)
            rule(s, CellLines, m_x0, top + r, right, top + r);
        if (last) {
            rule(s, CellLines, m_x0, top + r, right, top + r); // whatever DrawCellLines says
            s.setFontSize(kFootnotePoints);
            const double y = top + r + 2 * kPixel;
            s.drawText(QRectF(QPointF(m_x0, y), QPointF(right, y + r)), kFootnote, Qt::AlignLeft);
        }
        top += r;
        if (last) {
            AllPrinted = true;
            break;
        }
    }
    if (DrawCellLines && !m_headDrawn)
        rule(s, CellLines, m_x0, m_y0, right, m_y0);
    if (DrawTableBorder)
        for (int k = 0; k <= columnCount(); ++k)
            rule(s, TableBorder, columnLeft(k), m_y0, columnLeft(k), top);
    if (DrawOuterFrame) {
        const LineStyle& style = m_lines.at(OuterFrame - 1);
        const double gap = OuterFrameGap * kPixel;
        s.box({m_x0 - gap, m_y0 - gap}, {right + gap, top + gap}, style.width * kPixel,
              style.colour);
    }
    m_headDrawn = false;
}

} // namespace grelavo
