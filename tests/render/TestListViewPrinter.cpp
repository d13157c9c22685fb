// The table renderer on lists made up for each case, drawn onto an image in twips; the cases
// read the geometry the surface logged, not pixels.

#include "render/ListViewPrinter.h"
#include "render/ReportList.h"
#include "render/TwipsSurface.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace grelavo;

namespace {

constexpr double kPixel = 15;
const QString kFootnote =
    QStringLiteral("  *La valeur entre ( ) indique le nombre de cas trouvés.");

// n items "row 1" ... "row n" under a label column of 2730 twips and five dose columns.
ReportList listOf(int n, ReportList::Alignment doseAlignment = ReportList::Alignment::Centre) {
    ReportList list;
    list.columns = ReportList::resultsColumns(5);
    for (int c = 1; c < list.columns.size(); ++c)
        list.columns[c].alignment = doseAlignment;
    for (int i = 1; i <= n; ++i)
        list.items.push_back(
            {QStringLiteral("row %1").arg(i),
             {QStringLiteral("%1  (1)").arg(i), "  -  ", "  -  ", "  -  ", "  -  "}});
    return list;
}

// A surface over an image large enough for the tests' tables.
struct Canvas {
    QImage image{800, 1200, QImage::Format_RGB32};
    QPainter painter{&image};
    TwipsSurface surface{painter, 12000};
    Canvas() { painter.scale(1.0 / kPixel, 1.0 / kPixel); }
};

// A printer over a list, and a canvas for it.
struct Table : Canvas {
    ReportList list;
    ListViewPrinter printer;
    explicit Table(ReportList l) : list(std::move(l)) { printer.ListViewName(&list); }
};

// The whole body of 29 rows printed at 10 points.
struct PrintedBody : Table {
    PrintedBody() : Table(listOf(29)) {
        printer.RowsPerPage = 29;
        printer.SetRows();
        surface.setFontSize(10);
        printer.PrintBody(surface);
    }
};

// The first column's texts drawn, in order.
QStringList labelsDrawn(const TwipsSurface& s) {
    QStringList out;
    for (const TwipsSurface::Text& t : s.texts())
        if (t.text.startsWith(QLatin1String("row ")))
            out << t.text;
    return out;
}

const TwipsSurface::Text* find(const TwipsSurface& s, const QString& text) {
    for (const TwipsSurface::Text& t : s.texts())
        if (t.text == text)
            return &t;
    return nullptr;
}

} // namespace

class TestListViewPrinter : public QObject {
    Q_OBJECT

private slots:
    void pagesTenRowsAtATimeUntilAllPrinted() {
        Table t(listOf(25));
        ListViewPrinter& printer = t.printer;
        QList<QPair<long, long>> pages;
        QList<QStringList> drawn;
        QList<bool> done, footnote;
        for (int page = 0; page < 4; ++page) {
            printer.SetRows();
            pages << qMakePair(printer.FirstRow, printer.LastRow);
            Canvas c;
            printer.PrintBody(c.surface);
            drawn << labelsDrawn(c.surface);
            done << printer.AllPrinted;
            footnote << (find(c.surface, kFootnote) != nullptr);
        }
        QCOMPARE(pages, (QList<QPair<long, long>>{{1, 10}, {11, 20}, {21, 30}, {1, 10}}));
        QCOMPARE(drawn[1].first(), QStringLiteral("row 11"));
        QCOMPARE(drawn[2], (QStringList{"row 21", "row 22", "row 23", "row 24", "row 25"}));
        QCOMPARE(done, (QList<bool>{false, false, true, true})); // never set back
        QCOMPARE(footnote, (QList<bool>{false, false, true, false}));

        // No rows at all when the last row falls before the first.
        ListViewPrinter empty;
        empty.ListViewName(&t.list);
        empty.RowsPerPage = 0;
        empty.SetRows();
        QCOMPARE(empty.LastRow, empty.FirstRow - 1);
        empty.PrintBody(t.surface);
        QVERIFY(labelsDrawn(t.surface).isEmpty() && !find(t.surface, kFootnote));
        QVERIFY(!empty.AllPrinted);
    }

    // Rows 1, 8, 14, 23 and 26, where the results table has its categories.
    void theCategoryRowsAreBold() {
        const PrintedBody c;
        QStringList bold;
        for (const TwipsSurface::Text& t : c.surface.texts())
            if (t.font.bold() && t.text.startsWith(QLatin1String("row ")))
                bold << t.text;
        QCOMPARE(bold, (QStringList{"row 1", "row 8", "row 14", "row 23", "row 26"}));
        QVERIFY(!c.surface.bold());
    }

    // The footnote: 9 points, left-aligned, 2 pixels under the last row, which is ruled.
    void theFootnoteLiesUnderTheLastItem() {
        const PrintedBody c;
        const TwipsSurface::Text* note = find(c.surface, kFootnote);
        QVERIFY(note);
        QCOMPARE(note->font.pixelSize(), 180);
        QCOMPARE(note->alignment, Qt::Alignment(Qt::AlignLeft));
        const TwipsSurface::Text* last = find(c.surface, QStringLiteral("row 29"));
        QCOMPARE(note->rect.top(), last->rect.top() + 265);
        QCOMPARE(c.surface.fontSize(), 9.0); // the surface keeps the footnote's size
    }

    void resultsWindowSettingsRuleTheHeaderAndTheLastRowOnly() {
        Table c(listOf(4));
        ListViewPrinter& printer = c.printer;
        printer.DrawTableBorder = false;
        printer.DrawOuterFrame = false;
        printer.TableLeft = 1083;
        printer.TableTop = 3000;
        printer.RowsPerPage = 4;
        printer.SetRows();
        printer.PrintHead(c.surface);
        printer.DrawCellLines = false;
        printer.PrintBody(c.surface);

        const double right = 1083 + 2730 + 5 * 1000;
        const double bottom = 3000 + 2 * 265 + 4 * 265; // body rows start two rows down
        QCOMPARE(c.surface.lines().size(), 4);
        QCOMPARE(c.surface.lines()[0].line, QLineF(1083, 3000, right, 3000));
        QCOMPARE(c.surface.lines()[1].line, QLineF(1083 + 2730, 3280, right, 3280));
        QCOMPARE(c.surface.lines()[2].line, QLineF(1083, 3500, right, 3500));
        QCOMPARE(c.surface.lines()[3].line, QLineF(1083, bottom, right, bottom));
        // The page's height is read from where the last line ended.
        QCOMPARE(QPointF(c.surface.currentX, c.surface.currentY), QPointF(right, bottom));
    }

    void borderAndOuterFrameAroundTheMovedTableInWholePixels() {
        Table c(listOf(2)); // every line on, the frame 5 pixels out
        ListViewPrinter& printer = c.printer;
        printer.SetLine(ListViewPrinter::CellLines, 0.4, Qt::red);
        printer.SetLine(ListViewPrinter::OuterFrame, -3.5, Qt::black);
        printer.SetLine(ListViewPrinter::TableBorder, 2.7, Qt::blue);
        printer.SetLine(4, 9, Qt::green); // no such kind
        QCOMPARE(printer.lineWidth(ListViewPrinter::OuterFrame), 1.0);
        printer.TableLeft = 600;
        printer.TableTop = 900;
        printer.SetRows();
        printer.PrintBody(c.surface);
        const double gap = 5 * kPixel;
        const double x0 = 600 + gap, y0 = 900 + gap;
        const double right = x0 + 2730 + 5000, bottom = y0 + 2 * 265;
        const QVector<TwipsSurface::Line>& lines = c.surface.lines();
        // Two row rules and the bottom rule again, the top rule, 7 border lines, 4 sides.
        QCOMPARE(lines.size(), 3 + 1 + 7 + 4);
        QCOMPARE(lines[3].line, QLineF(x0, y0, right, y0));
        QCOMPARE(lines[4].line, QLineF(x0, y0, x0, bottom));
        QCOMPARE(lines[10].line, QLineF(right, y0, right, bottom));
        QCOMPARE(lines[11].line.p1(), QPointF(x0 - gap, y0 - gap));
        QCOMPARE(QPointF(c.surface.currentX, c.surface.currentY),
                 QPointF(right + gap, bottom + gap));
        // Widths are whole pixels, at least one: cell lines 1 pixel in red, the border 2 in blue.
        QCOMPARE(lines[0].width, kPixel);
        QCOMPARE(lines[0].colour, QColor(Qt::red));
        for (int k = 4; k < 11; ++k)
            QCOMPARE(std::make_pair(lines[k].width, lines[k].colour),
                     std::make_pair(2 * kPixel, QColor(Qt::blue)));
        // Without a header the first row starts at the table's top.
        QCOMPARE(find(c.surface, QStringLiteral("row 1"))->rect.top(), y0 + 2 * kPixel);
    }

    void headerCaptionSpansTheDoseColumnsLongTextIsCutCellsAlign() {
        Table c(listOf(1, ReportList::Alignment::Right));
        c.list.columns[2].width = 500; // too narrow for its heading
        ListViewPrinter& printer = c.printer;
        printer.DrawOuterFrame = false;
        printer.SetRows();
        c.surface.setFontSize(10);
        c.surface.setBold(true);
        printer.PrintHead(c.surface);
        printer.PrintBody(c.surface);
        const TwipsSurface::Text& caption = c.surface.texts().first();
        QCOMPARE(caption.rect, QRectF(QPointF(2730 + 45, 30), QPointF(2730 + 5000 - 45, 500)));
        QCOMPARE(caption.alignment, Qt::Alignment(Qt::AlignHCenter));
        const TwipsSurface::Text& cut = c.surface.texts().at(3);
        QVERIFY2(cut.text.endsWith(QChar(0x2026)), qPrintable(cut.text));
        QCOMPARE(cut.rect, QRectF(QPointF(3730 + 45, 280), QPointF(4230 - 45, 500)));
        // Right-aligned columns align their cells but not their headings.
        QCOMPARE(find(c.surface, QStringLiteral("50 ± 5"))->alignment,
                 Qt::Alignment(Qt::AlignHCenter));
        QCOMPARE(find(c.surface, QStringLiteral("1  (1)"))->alignment,
                 Qt::Alignment(Qt::AlignRight));
        QCOMPARE(find(c.surface, QStringLiteral("row 1"))->alignment, Qt::Alignment(Qt::AlignLeft));
    }
};

QTEST_MAIN(TestListViewPrinter)
#include "TestListViewPrinter.moc"
