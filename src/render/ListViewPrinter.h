#pragma once

#include <QColor>
#include <QRectF>
#include <array>
#include <optional>

namespace grelavo {

class TwipsSurface;
struct ReportList;

// Draws a list (its column headings and its items) as the report's table onto a surface: a
// header of two lines, the caption "Fraction de dose pour chaque herbicide (%)" over five dose
// columns and the column headings; rows 1, 8, 14, 23, 26 and 30 (the weed categories and the
// user's selection) in bold; the footnote after the list's last item. The geometry is in
// twips; a "pixel" below is a screen pixel, 15 twips, whatever the surface.
class ListViewPrinter {
public:
    static constexpr int PixelTwips = 15;

    long FirstRow = 0;
    long LastRow = 0;
    long RowHeight = 250; // twips; header rows are RowHeight high, body rows RowHeight + 15
    bool AllPrinted = false;
    int RowsPerPage = 10;
    bool DrawCellLines = true;
    bool DrawTableBorder = true;
    long OuterFrameGap = 5; // pixels
    bool DrawOuterFrame = true;
    long TableLeft = 0; // twips
    long TableTop = 0;  // twips

    enum LineKind { TableBorder = 1, CellLines = 2, OuterFrame = 3 };

    void ListViewName(const ReportList* list) { m_list = list; }
    // The width (pixels, below 1 counted as 1, otherwise its whole part) and colour of one kind
    // of line; other kinds are ignored.
    void SetLine(int kind, double width, const QColor& colour);
    double lineWidth(int kind) const; // pixels
    QColor lineColour(int kind) const;

    // Chooses the rows of the next PrintBody: RowsPerPage rows after the last ones, back to
    // the first row once the list is done.
    void SetRows();
    // The caption and the column headings, in the surface's current font.
    void PrintHead(TwipsSurface& s);
    // Rows FirstRow to LastRow in the surface's current font, and the footnote after the last
    // item. Leaves the surface's current position at the end of the last line drawn.
    void PrintBody(TwipsSurface& s);

    // A body cell: item i (from 1) of the list, column k (from 0).
    struct CellIndex {
        long item = 0;
        int column = 0;
        bool operator==(const CellIndex& o) const { return item == o.item && column == o.column; }
    };
    // Where the last PrintBody drew a cell, twips: from its left column edge to the next, from
    // the line above its row to the line below; empty for a cell it did not draw.
    QRectF cellRect(const CellIndex& cell) const;
    // The cell the last PrintBody drew at a point (twips); none outside its rows and columns.
    std::optional<CellIndex> cellAt(const QPointF& point) const;

private:
    struct LineStyle {
        double width = 1;
        QColor colour = Qt::black;
    };

    void setUp(TwipsSurface& s);
    double columnLeft(int k) const; // k from 0; k == column count gives the right end
    double rightEnd() const { return columnLeft(columnCount()); }
    int columnCount() const;
    int itemCount() const;
    double bodyRowHeight() const { return RowHeight + 15; }
    void rule(TwipsSurface& s, int kind, double x1, double y1, double x2, double y2);

    const ReportList* m_list = nullptr;
    std::array<LineStyle, 3> m_lines{};
    long m_nextFirstRow = 1;
    bool m_headDrawn = false;
    double m_x0 = 0;
    double m_y0 = 0;
    // The rows the last PrintBody drew and the top of the first.
    long m_bodyFirst = 1;
    long m_bodyLast = 0;
    double m_bodyTop = 0;
};

} // namespace grelavo
