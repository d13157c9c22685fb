#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;

namespace grelavo {

// A drawing surface whose unit is the twip, over a painter whose transform maps twips to its
// device (an image at 15 twips a pixel, a printer at its own resolution). Like the picture box
// the page was designed for, it has a current position that printed text and drawn lines move,
// a current font and a foreground colour. Fonts are sized in twips (20 to a point) so that text
// is laid out alike on every device. Everything drawn is also logged, for the tests to read
// the geometry without looking at pixels.
class TwipsSurface {
public:
    static constexpr double PerPoint = 20;

    struct Text {
        QRectF rect;  // before any rotation
        QString text; // as drawn, after any ellipsis
        Qt::Alignment alignment;
        QFont font;
        QColor colour;
        double angle; // degrees, clockwise about the rectangle's centre
    };
    struct Line {
        QLineF line;
        double width; // twips
        QColor colour;
    };

    // scaleWidth: the width of the surface in twips, what centred text is centred on.
    TwipsSurface(QPainter& painter, double scaleWidth);

    double scaleWidth() const { return m_scaleWidth; }
    double currentX = 0;
    double currentY = 0;

    void setFontSize(double points);
    double fontSize() const { return m_points; }
    void setBold(bool bold);
    bool bold() const { return m_font.bold(); }
    const QFont& font() const { return m_font; }
    void setForeColor(const QColor& colour) { m_foreColor = colour; }
    const QColor& foreColor() const { return m_foreColor; }

    double textWidth(const QString& text) const;
    double textHeight() const; // one line of the current font

    // Draws the text with its top left at the current position, then moves to the start of
    // the next line (x 0, y one line lower).
    void print(const QString& text);
    // A line; the current position becomes its end.
    void line(const QPointF& from, const QPointF& to, double width, const QColor& colour);
    // A rectangle's outline; the current position becomes its second corner.
    void box(const QPointF& from, const QPointF& to, double width, const QColor& colour);
    // One line of text inside a rectangle, clipped to it, cut with an ellipsis when too long,
    // aligned left, right or centre at the rectangle's top. The current position is kept.
    void drawText(const QRectF& rect, const QString& text, Qt::Alignment horizontal);
    // One line of text centred on a point and turned by 'degrees' (clockwise), in the current
    // font and foreground colour, which may be translucent. The current position is kept.
    void drawTurned(const QPointF& centre, double degrees, const QString& text);
    // The same drawn as the letters' outlines, not as text: a mark across a page that text
    // copied from a PDF file or read by a screen reader does not hold.
    void drawTurnedShape(const QPointF& centre, double degrees, const QString& text);

    const QVector<Text>& texts() const { return m_texts; }
    const QVector<Line>& lines() const { return m_lines; }

private:
    void drawLine(const QLineF& line, double width, const QColor& colour);

    QPainter& m_painter;
    double m_scaleWidth;
    double m_points = 8;
    QFont m_font;
    QColor m_foreColor = Qt::black;
    QVector<Text> m_texts;
    QVector<Line> m_lines;
};

} // namespace grelavo
