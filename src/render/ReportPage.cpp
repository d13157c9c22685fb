#include "ReportPage.h"

#include "Colours.h"
#include "TwipsSurface.h"
#include "render/Twips.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace grelavo {

namespace {

const QColor kBandColour(200, 0, 0, 40);
constexpr double kWarningTop = 300;  // twips: in the top margin, above the title
constexpr double kColophonGap = 360; // twips under the table: past its footnote

} // namespace

ReportPage::ReportPage() {
    SetPageGeometry();
}

void ReportPage::SetPageGeometry() {
    TopMargin = LeftMargin = 720;
    HeaderBlockHeight = BottomMargin = 1000;
    DoseColumnWidth = ReportList::DoseColumnWidth;
    m_table.ListViewName(&m_list);
    m_table.DrawCellLines = false;
    m_table.DrawTableBorder = false;
    m_table.DrawOuterFrame = false;
    m_table.OuterFrameGap = 2;
    m_table.TableLeft = 720;
    m_table.TableTop = 1720;
}

void ReportPage::setContent(qint32 totalCases, int rateInterval,
                            const QStringList& paramSummaryLines, ReportList list) {
    m_totalCases = totalCases;
    m_about.rateInterval = rateInterval;
    m_about.parameters = paramSummaryLines;
    m_list = std::move(list);
}

void ReportPage::printCentred(TwipsSurface& s, const QString& text) {
    s.currentX = s.scaleWidth() / 2 - s.textWidth(text) / 2;
    s.print(text);
}

void ReportPage::printParameters(TwipsSurface& s) {
    s.setFontSize(8);
    s.setBold(true);
    s.currentX = LeftMargin;
    s.currentY = TopMargin + HeaderBlockHeight;
    s.print(QStringLiteral("Paramètres de recherche"));

    s.setBold(false);
    const int n = m_about.parameters.size();
    const int half = (n + 1) / 2; // the left column takes the odd line
    const double y0 = s.currentY;
    for (int i = 0; i < half; ++i) {
        s.currentX = LeftMargin;
        s.print(QStringLiteral("  -") + m_about.parameters.at(i));
    }
    s.print(QString());
    s.print(QString());
    const double tableTop = s.currentY;
    s.currentY = y0;
    for (int i = half; i < n; ++i) {
        s.currentX = PageWidth / 2 * 1.05;
        s.print(QStringLiteral("-") + m_about.parameters.at(i));
    }
    s.currentY = tableTop;
}

QString ReportPage::syntheticBand() {
    return QStringLiteral("DONNÉES SYNTHÉTIQUES");
}

QStringList ReportPage::headingLines() const {
    return {QStringLiteral("Pourcentage de destruction des mauvaises herbes"),
            QStringLiteral("selon les fractions de doses entrées"),
            QStringLiteral("(%1 cas répertoriés au total)").arg(m_totalCases)};
}

// Above the title, in the top margin: nobody reads the figures without seeing it.
void ReportPage::printSyntheticWarning(TwipsSurface& s) {
    s.setFontSize(9);
    s.setBold(true);
    s.setForeColor(colours::WarningRed);
    s.currentY = kWarningTop;
    printCentred(s, ReportAbout::syntheticWarning());
    s.setForeColor(Qt::black);
}

// In the bottom margin, under the table's footnote: the page keeps its height.
void ReportPage::printColophon(TwipsSurface& s, double tableEnd) {
    s.setFontSize(7);
    s.setBold(false);
    s.currentY = tableEnd + kColophonGap;
    for (const QString& line : m_about.colophonLines()) {
        s.currentX = LeftMargin;
        s.print(line);
    }
}

// Pale and translucent, so that the figures it crosses stay readable; it stays on a copy
// of the page cut to the table alone. Drawn as shapes: text copied from the PDF is the page's
// own.
void ReportPage::drawSyntheticBand(TwipsSurface& s, double tableTop, double tableEnd) {
    constexpr double degrees = -30;
    constexpr double largest = 48;
    const double turn = qDegreesToRadians(std::abs(degrees));
    s.setFontSize(largest);
    s.setBold(true);
    const double across =
        s.textWidth(syntheticBand()) * std::cos(turn) + s.textHeight() * std::sin(turn);
    s.setFontSize(std::min(largest, largest * 0.8 * PageWidth / across));
    s.setForeColor(kBandColour);
    s.drawTurnedShape(QPointF(PageWidth / 2, (tableTop + tableEnd) / 2), degrees, syntheticBand());
    s.setForeColor(Qt::black);
    s.setBold(false);
}

double ReportPage::DrawReport(TwipsSurface& s) {
    const bool synthetic = m_about.synthetic();
    if (synthetic)
        printSyntheticWarning(s);
    s.setFontSize(12);
    s.setBold(true);
    s.currentY = TopMargin;
    const QStringList heading = headingLines();
    printCentred(s, heading[0]);
    printCentred(s, heading[1]);
    s.setFontSize(10);
    printCentred(s, heading[2]);

    printParameters(s);

    m_table.TableLeft = std::lround(s.scaleWidth() * 0.1092);
    m_table.TableTop = std::lround(s.currentY);
    m_table.RowsPerPage = m_list.items.size();
    m_table.SetRows();
    s.setFontSize(10);
    s.setBold(true);
    m_table.DrawCellLines = true;
    m_table.PrintHead(s);
    s.setFontSize(10);
    s.setBold(false);
    s.setForeColor(Qt::black);
    m_table.DrawCellLines = false;
    m_table.PrintBody(s);
    const double tableEnd = s.currentY;
    printColophon(s, tableEnd);
    if (synthetic)
        drawSyntheticBand(s, m_table.TableTop, tableEnd);
    s.currentY = tableEnd;
    return tableEnd + BottomMargin;
}

std::optional<ReportPage::Cell> ReportPage::cellAt(const QPointF& twips) const {
    const auto at = m_table.cellAt(twips);
    if (!at || at->column < 1 || at->column > 5 || at->item > m_list.items.size())
        return std::nullopt;
    const qint64 noId = m_list.items.at(at->item - 1).noId;
    if (noId == 0)
        return std::nullopt;
    return Cell{noId, at->column - 1};
}

QRectF ReportPage::cellRect(const Cell& cell) const {
    if (cell.noId == 0 || cell.fraction < 0 || cell.fraction > 4)
        return {};
    for (long i = 1; i <= m_list.items.size(); ++i)
        if (m_list.items.at(i - 1).noId == cell.noId)
            return m_table.cellRect({i, cell.fraction + 1});
    return {};
}

double ReportPage::DrawReport(QPainter& painter) {
    TwipsSurface s(painter, PageWidth);
    return DrawReport(s);
}

double ReportPage::fittedHeight() {
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    return DrawReport(painter);
}

QImage ReportPage::renderImage(qreal devicePixelRatio) {
    const double height = fittedHeight();
    const QSize size(Twips::toPixels(std::lround(PageWidth)), Twips::toPixels(std::lround(height)));
    QImage image(size * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::white);
    QPainter painter(&image); // in pixels of the screen's size: the ratio is the painter's
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(1.0 / Twips::PerPixel, 1.0 / Twips::PerPixel);
    DrawReport(painter);
    return image;
}

bool ReportPage::printOn(QPagedPaintDevice& device) {
    const double height = fittedHeight();
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // Device coordinates start at the printable area's top left.
    const int dpi = device.logicalDpiX();
    const QPageLayout layout = device.pageLayout();
    const QRectF paper = layout.fullRectPixels(dpi);
    const QRectF printable = layout.paintRectPixels(dpi);
    const double perTwip = dpi / 1440.0;
    const double scale = std::min(
        {1.0, printable.width() / (PageWidth * perTwip), printable.height() / (height * perTwip)});
    const double width = PageWidth * perTwip * scale;
    const double centred = (paper.width() - width) / 2 - (printable.left() - paper.left());
    painter.translate(std::clamp(centred, 0.0, std::max(0.0, printable.width() - width)), 0);
    painter.scale(perTwip * scale, perTwip * scale);
    DrawReport(painter);
    return painter.end();
}

QString ReportPage::documentTitle() const {
    return QStringLiteral("Grelavo - rapport %1")
        .arg(m_about.stamp.reportDate.toString(Qt::ISODate));
}

bool ReportPage::writePdf(const QString& path) {
    // Written beside the file, then put in its place: a failed write leaves the file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool painted = false;
    {
        // As the print dialog's PDF printer writes it: A4 at 1200 dots an inch.
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(1200);
        writer.setTitle(documentTitle());
        writer.setCreator(QStringLiteral("Grelavo"));
        painted = printOn(writer);
    }
    return painted && file.commit();
}

} // namespace grelavo
