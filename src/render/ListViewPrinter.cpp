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
    const QColor foreColor = s.foreColor();
    m_bodyTop = m_headDrawn ? m_y0 + 2 * bodyRowHeight() : m_y0;
    m_bodyFirst = FirstRow;
    m_bodyLast = FirstRow - 1;
    double top = m_bodyTop;
    const double right = rightEnd();
    // A row past the end of the list is not drawn.
    for (long i = FirstRow; i <= LastRow && i >= 1 && i <= itemCount(); ++i) {
        m_bodyLast = i;
        const ReportList::Item& item = m_list->items.at(i - 1);
        for (int k = 0; k < columnCount(); ++k) {
            const QString text = k == 0 ? item.text : item.subItems.value(k - 1);
            s.setBold(isBoldRow(i));
            s.drawText(cellRect({i, k}).adjusted(kInset, 2 * kPixel, -kInset, 0), text,
                       ReportList::qtAlignment(m_list->columns.at(k).alignment));
            s.setBold(false);
            s.setForeColor(foreColor);
        }
        const double bottom = cellRect({i, 0}).bottom();
        const bool last = i == itemCount();
        if (DrawCellLines)
            rule(s, CellLines, m_x0, bottom, right, bottom);
        if (last) {
            rule(s, CellLines, m_x0, bottom, right, bottom); // whatever DrawCellLines says
            s.setFontSize(kFootnotePoints);
            const double y = bottom + 2 * kPixel;
            s.drawText(QRectF(QPointF(m_x0, y), QPointF(right, y + bodyRowHeight())), kFootnote,
                       Qt::AlignLeft);
        }
        top = bottom;
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

QRectF ListViewPrinter::cellRect(const CellIndex& cell) const {
    if (cell.item < m_bodyFirst || cell.item > m_bodyLast || cell.column < 0 ||
        cell.column >= columnCount())
        return {};
    const double top = m_bodyTop + double(cell.item - m_bodyFirst) * bodyRowHeight();
    return {QPointF(columnLeft(cell.column), top),
            QPointF(columnLeft(cell.column + 1), top + bodyRowHeight())};
}

std::optional<ListViewPrinter::CellIndex> ListViewPrinter::cellAt(const QPointF& point) const {
    if (m_bodyLast < m_bodyFirst || point.y() < m_bodyTop)
        return std::nullopt;
    const long item = m_bodyFirst + long(std::floor((point.y() - m_bodyTop) / bodyRowHeight()));
    if (item > m_bodyLast)
        return std::nullopt;
    for (int k = 0; k < columnCount(); ++k)
        if (point.x() >= columnLeft(k) && point.x() < columnLeft(k + 1))
            return CellIndex{item, k};
    return std::nullopt;
}

} // namespace grelavo
