#pragma once

#include "ListViewPrinter.h"
#include "ReportList.h"
#include "core/report/ReportAbout.h"

#include <QImage>
#include <QStringList>
#include <optional>

class QPainter;
class QPagedPaintDevice;

namespace grelavo {

class TwipsSurface;

// The report page: the title block, the search parameters in two columns and the results
// table, then in the bottom margin the date of the report, the program's version and the
// database's edition; while the data are synthetic, a red warning above the title and a pale
// diagonal band across the table. One routine draws it in twips onto any painter; the screen
// and the clipboard get it as an image at 15 twips a pixel, the printer and PDF files as vectors.
class ReportPage {
public:
    // The page's geometry, twips.
    const double PageWidth = 8.5 * 1440 * 0.81;
    const double PageHeight = 11 * 1440;
    double TopMargin = 0;
    double LeftMargin = 0;
    double HeaderBlockHeight = 0;
    double BottomMargin = 0;
    double DoseColumnWidth = 0;

    ReportPage();
    ReportPage(const ReportPage&) = delete;
    ReportPage& operator=(const ReportPage&) = delete;

    // What the page shows: the number of ratings, the tolerance (± % of the entered rates), the
    // parameter summary lines and the table model (kept by the page).
    void setContent(qint32 totalCases, int rateInterval, const QStringList& paramSummaryLines,
                    ReportList list);
    // What the page says of itself; until set, today, this program and an unknown edition.
    void setStamp(const ReportStamp& stamp) { m_about.stamp = stamp; }
    const ReportStamp& stamp() const { return m_about.stamp; }
    // What the page shows, for the outputs made from it.
    const ReportAbout& about() const { return m_about; }
    const ReportList& list() const { return m_list; }

    // The band across the table of a page made from synthetic data.
    static QString syntheticBand();
    // The title block's three lines: the title on two, then the total of ratings.
    QStringList headingLines() const;
    // The search parameters, one a line, as the page lists them.
    const QStringList& parameterLines() const { return m_about.parameters; }
    ListViewPrinter& tablePrinter() { return m_table; }

    // A dose cell of the results table: the row of tblResults (NoId) and the dose fraction, 0
    // for 50 % of the entered rates to 4 for 100 %.
    struct Cell {
        qint64 noId = 0;
        int fraction = 0;
        bool operator==(const Cell& o) const { return noId == o.noId && fraction == o.fraction; }
        bool operator!=(const Cell& o) const { return !(*this == o); }
    };
    // The dose cell at a point of the page (twips) as the last DrawReport laid the table out;
    // none elsewhere (the labels' column, the heading, the margins).
    std::optional<Cell> cellAt(const QPointF& twips) const;
    // The rectangle of a dose cell on the page, twips, as last drawn; empty when not drawn.
    QRectF cellRect(const Cell& cell) const;

    // Draws the page on a painter whose unit is the twip; returns the page's height fitted to
    // its content (the end of the table and the bottom margin).
    double DrawReport(QPainter& painter);
    // The same, on a surface the caller keeps (to read what was drawn).
    double DrawReport(TwipsSurface& s);
    // The page's height fitted to its content, measured without drawing anywhere to be seen.
    double fittedHeight();
    // The page as an image, 15 twips a pixel, on white; for a screen that shows several device
    // pixels to a pixel, an image of as many more pixels that says so (its devicePixelRatio), of
    // the same size on that screen.
    QImage renderImage(qreal devicePixelRatio = 1.0);
    // The page on one sheet of a printer or PDF writer, as vectors: centred across the paper,
    // from the top of the printable area; made smaller only when it would not fit there. False
    // when the device cannot be painted on.
    bool printOn(QPagedPaintDevice& device);
    // The name of a print job or file of this page: "Grelavo - rapport 2026-12-07".
    QString documentTitle() const;
    // The page, as printed, into a one-page A4 PDF file titled documentTitle(); the file is
    // replaced only once the whole page is written. False when it cannot be.
    bool writePdf(const QString& path);

private:
    void SetPageGeometry();
    void printCentred(TwipsSurface& s, const QString& text);
    void printParameters(TwipsSurface& s);
    void printSyntheticWarning(TwipsSurface& s);
    void printColophon(TwipsSurface& s, double tableEnd);
    void drawSyntheticBand(TwipsSurface& s, double tableTop, double tableEnd);

    ListViewPrinter m_table;
    ReportList m_list;
    qint32 m_totalCases = 0;
    ReportAbout m_about{{}, 5, ReportStamp::withoutEdition()};
};

} // namespace grelavo
