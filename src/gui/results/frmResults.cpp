#include "frmResults.h"

#include "core/db/DE.h"
#include "core/db/DbError.h"
#include "core/report/DetailContext.h"
#include "frmDetails.h"
#include "gui/shared/DialogService.h"
#include "gui/shared/HoverText.h"
#include "render/ReportExport.h"
#include "render/Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPrinter>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

namespace grelavo {

namespace {

constexpr int kRestPosition = -200; // the page rests 200 twips from the window's edges
constexpr int kResultCells = 10;    // a weed's or category's row: mean and count of each fraction

// A rectangle of the page, twips, on its picture: 15 twips a pixel.
QRect pictureRect(const QRectF& twips) {
    const auto px = [](double t) { return int(std::lround(t / Twips::PerPixel)); };
    return {QPoint(px(twips.left()), px(twips.top())),
            QPoint(px(twips.right()) - 1, px(twips.bottom()) - 1)};
}

} // namespace

frmResults::frmResults(DE& de, DialogService& dialogs, QWidget* parent)
    : QWidget(parent), m_de(de), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmResults"));
    HoverText::describe(this, QString()); // the page speaks of its cells itself
    setAutoFillBackground(true);
    setMouseTracking(true);

    m_lstView = new QTreeWidget(this);
    m_lstView->setObjectName(QStringLiteral("lstView"));
    m_lstView->setRootIsDecorated(false);
    m_lstView->setSortingEnabled(false);
    m_lstView->hide();

    m_picture2 = new QLabel(this);
    m_picture2->setAccessibleName(QStringLiteral("Page du rapport"));
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setFocusPolicy(Qt::StrongFocus);
    m_picture2->setMouseTracking(true);
    m_picture2->installEventFilter(this);

    // The frame over the cell the keyboard selected; the pointer goes through it to the page.
    m_selection = new QFrame(m_picture2);
    m_selection->setObjectName(QStringLiteral("shpSelection"));
    m_selection->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_selection->setLineWidth(2);
    QPalette selectionColour = m_selection->palette();
    selectionColour.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
    m_selection->setPalette(selectionColour);
    m_selection->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_selection->hide();

    m_vscroll = new QScrollBar(Qt::Vertical, this);
    m_vscroll->setObjectName(QStringLiteral("VScroll1"));
    m_hscroll = new QScrollBar(Qt::Horizontal, this);
    m_hscroll->setObjectName(QStringLiteral("HScroll1"));
    for (QScrollBar* bar : {m_vscroll, m_hscroll})
        connect(bar, &QScrollBar::valueChanged, this, &frmResults::placePicture);

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    m_frame1->setFixedSize(extent, extent);

    // The page as the window loads: full size and blank.
    m_pictureHeight = m_page.PageHeight;
    m_image = QImage(Twips::toPixels(std::lround(m_page.PageWidth)),
                     Twips::toPixels(std::lround(m_page.PageHeight)), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    showImage();
    SetScrollBars();
}

int frmResults::twipsWidth() const {
    return Twips::fromPixels(width());
}

int frmResults::twipsHeight() const {
    return Twips::fromPixels(height());
}

void frmResults::fillListView() {
    const ReportList& list = m_page.list();
    m_lstView->clear();
    m_lstView->setColumnCount(list.columns.size());
    QStringList headings;
    for (const ReportList::Column& column : list.columns)
        headings << column.text;
    m_lstView->setHeaderLabels(headings);
    for (int k = 0; k < list.columns.size(); ++k) {
        const ReportList::Column& column = list.columns.at(k);
        m_lstView->setColumnWidth(k, Twips::toPixels(column.width));
        m_lstView->headerItem()->setTextAlignment(k, ReportList::qtAlignment(column.alignment));
    }
    QList<QTreeWidgetItem*> items;
    for (const ReportList::Item& item : list.items) {
        auto* row = new QTreeWidgetItem(QStringList{item.text} + item.subItems);
        for (int k = 0; k < list.columns.size(); ++k)
            row->setTextAlignment(k, ReportList::qtAlignment(list.columns.at(k).alignment));
        items << row;
    }
    m_lstView->addTopLevelItems(items);
}

void frmResults::AfficheResultats() {
    const qint16 interval = m_report.parameters.RateInterval;
    m_page.setContent(m_report.totalCases, interval, m_report.summaryLines,
                      ReportList::fromRows(m_report.rows, interval));
    try {
        m_page.setStamp(ReportStamp::take(m_de.Connection2()));
    } catch (const DbError&) {
        // The page still says when and by what it was made, and that its edition is unknown.
        m_page.setStamp(ReportStamp::withoutEdition());
    }
    fillListView();
}

void frmResults::Set_Preview(const ReportOutcome& report) {
    m_report = report;
    AfficheResultats();
    clearPicture();
    DrawReport();
    // The page's size has changed: the bars follow it at once, not only at the next resize.
    SetScrollBars();
    m_picture2->setFocus();
}

void frmResults::DrawReport() {
    m_image = m_page.renderImage();
    m_pictureHeight = Twips::fromPixels(m_image.height());
    m_drawn = true;
    showImage();
}

void frmResults::showImage() {
    // A screen reader reads the page as text: it is only a picture otherwise.
    m_picture2->setAccessibleDescription(m_drawn ? ReportExport::plainText(m_page) : QString());
    // Drawn again for a screen of several device pixels to a pixel, sharp at that density;
    // the page image itself stays at one pixel for 15 twips.
    const qreal ratio = devicePixelRatioF();
    QPixmap shown;
    if (ratio == 1.0) {
        shown = QPixmap::fromImage(m_image);
    } else if (m_drawn) {
        shown = QPixmap::fromImage(m_page.renderImage(ratio));
    } else {
        shown = QPixmap(m_image.size() * ratio);
        shown.setDevicePixelRatio(ratio);
        shown.fill(Qt::white);
    }
    m_picture2->setPixmap(shown);
    m_picture2->resize(m_image.size());
    placePicture();
}

void frmResults::clearPicture() {
    m_image.fill(Qt::white);
    m_drawn = false;
    showImage();
    // What was selected, and the details opened, belong to the page cleared.
    select(std::nullopt);
    if (m_detailsWindow)
        m_detailsWindow->close();
}

frmDetails* frmResults::detailsWindow() const {
    return m_detailsWindow;
}

const ReportList::Item* frmResults::itemOf(qint64 noId) const {
    for (const ReportList::Item& item : m_page.list().items)
        if (item.noId == noId)
            return &item;
    return nullptr;
}

// A weed's or a category's figure at one dose fraction, on the page shown.
bool frmResults::isCell(const ReportPage::Cell& cell) const {
    const ReportList::Item* item = itemOf(cell.noId);
    return m_drawn && item && item->values.size() == kResultCells && cell.fraction >= 0 &&
           cell.fraction < kResultCells / 2;
}

// "sétaire verte, 70 % des taux : 76 (3) — double-cliquez pour voir les évaluations"
QString frmResults::cellText(const ReportPage::Cell& cell, bool byKeyboard) const {
    if (!isCell(cell))
        return {};
    const ReportList::Item& item = *itemOf(cell.noId);
    const QString head = QStringLiteral("%1, %2 % des taux\u00a0: ")
                             .arg(item.text.trimmed())
                             .arg(DetailContext::fractionPercents().at(cell.fraction));
    const QString mean = item.values.at(2 * cell.fraction);
    const QString count = item.values.at(2 * cell.fraction + 1);
    if (m_report.details.cell(cell.noId, cell.fraction))
        return head + QStringLiteral("%1 (%2) — %3 pour voir les évaluations")
                          .arg(mean, count,
                               byKeyboard ? QStringLiteral("appuyez sur Entrée")
                                          : QStringLiteral("double-cliquez"));
    if (count.isEmpty() || count == QLatin1String("0"))
        return head + QStringLiteral("aucune évaluation à cette fraction de dose");
    return head + QStringLiteral("%1 (%2) — les évaluations de ce rapport n'ont pas été relevées")
                      .arg(mean, count);
}

void frmResults::writeHelp(const QString& text) {
    if (m_helpLine)
        m_helpLine(text);
}

bool frmResults::openCellDetails(const ReportPage::Cell& cell) {
    const CellDetail* detail = m_report.details.cell(cell.noId, cell.fraction);
    if (!detail || !isCell(cell)) {
        writeHelp(cellText(cell, false));
        return false;
    }
    QVector<DetailRow> rows;
    try {
        DetailContext context(m_de.Connection2(), m_report.parameters, QLocale());
        rows = context.rows(*detail);
    } catch (const DbError& e) {
        m_dialogs.message(
            this,
            QStringLiteral("Les évaluations de cette case n'ont pas pu être lues\u00a0: %1.")
                .arg(e.message()),
            QStringLiteral("Attention"), DialogService::Icon::Critical);
        return false;
    }
    const QString title = QStringLiteral("%1 à %2 % des taux entrés")
                              .arg(itemOf(cell.noId)->text.trimmed())
                              .arg(DetailContext::fractionPercents().at(cell.fraction));
    QStringList entered;
    const ParameterSet& p = m_report.parameters;
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i)
        if (p.cbbHerbApp[i].isEntered())
            entered
                << QStringLiteral("%1 %2 kg i.a./ha").arg(p.cbbHerbApp[i].text, p.EnteredRate[i]);
    const QString rates =
        QStringLiteral("Taux entrés\u00a0: ") + entered.join(QStringLiteral(", "));
    if (m_detailsWindow)
        m_detailsWindow->close();
    m_detailsWindow = new frmDetails(m_dialogs, title, rates, *detail, rows, m_page.about(), this);
    m_detailsWindow->show();
    m_detailsWindow->activateWindow();
    return true;
}

void frmResults::select(const std::optional<ReportPage::Cell>& cell) {
    m_selected = cell && isCell(*cell) ? cell : std::nullopt;
    if (!m_selected) {
        m_selection->hide();
        return;
    }
    const QRectF rect = m_page.cellRect(*m_selected);
    m_selection->setGeometry(pictureRect(rect));
    m_selection->show();
    m_selection->raise();
    scrollIntoView(rect);
    const QString text = cellText(*m_selected, true);
    m_selection->setAccessibleName(text);
    writeHelp(text);
}

// By rows of weeds and categories (blank lines and headings skipped) and by dose fractions; the
// first cell when none is selected.
void frmResults::moveSelection(int rows, int fractions) {
    QVector<qint64> cells;
    for (const ReportList::Item& item : m_page.list().items)
        if (isCell({item.noId, 0}))
            cells << item.noId;
    if (cells.isEmpty())
        return;
    if (!m_selected) {
        select(ReportPage::Cell{cells.first(), 0});
        return;
    }
    const int at = std::max(0, int(cells.indexOf(m_selected->noId)));
    const int row = std::clamp(at + rows, 0, int(cells.size()) - 1);
    select(ReportPage::Cell{cells.at(row),
                            std::clamp(m_selected->fraction + fractions, 0, kResultCells / 2 - 1)});
}

// The page moves under the bars until the rectangle (twips of the page) is in sight.
void frmResults::scrollIntoView(const QRectF& twips) {
    constexpr int margin = -kRestPosition;
    const int bar = Twips::fromPixels(style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    const auto follow = [margin](QScrollBar* scroll, double low, double high, int shown) {
        if (!scroll->isVisible())
            return;
        const int v = scroll->value();
        if (low - margin < v)
            scroll->setValue(int(std::floor(low)) - margin);
        else if (high + margin > v + shown)
            scroll->setValue(int(std::ceil(high)) + margin - shown);
    };
    follow(m_vscroll, twips.top(), twips.bottom(),
           twipsHeight() - (m_hscroll->isVisible() ? bar : 0));
    follow(m_hscroll, twips.left(), twips.right(),
           twipsWidth() - (m_vscroll->isVisible() ? bar : 0));
}

bool frmResults::pictureKey(int key) {
    switch (key) {
    case Qt::Key_Up:
        moveSelection(-1, 0);
        return true;
    case Qt::Key_Down:
        moveSelection(1, 0);
        return true;
    case Qt::Key_Left:
        moveSelection(0, -1);
        return true;
    case Qt::Key_Right:
        moveSelection(0, 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selected)
            openCellDetails(*m_selected);
        else
            moveSelection(0, 0);
        return true;
    default:
        return false;
    }
}

void frmResults::CopyToClipboard() {
    if (!m_drawn)
        return;
    // A picture for a drawing, a table for a spreadsheet or a word processor.
    auto* data = new QMimeData;
    data->setImageData(m_image);
    data->setHtml(ReportExport::html(m_page));
    data->setText(ReportExport::plainText(m_page));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

void frmResults::Set_Print() {
    if (!m_drawn)
        return;
    // A cancelled dialog prints nothing and says nothing.
    m_dialogs.print(this, m_page.documentTitle(),
                    [this](QPrinter& printer) { m_page.printOn(printer); });
}

void frmResults::saveAsPdf() {
    if (!m_drawn)
        return;
    const QString path = m_dialogs.saveFileName(
        this, QStringLiteral("Enregistrer le rapport en PDF"),
        m_page.documentTitle() + QStringLiteral(".pdf"), QStringLiteral("Fichiers PDF (*.pdf)"));
    if (!path.isEmpty() && !m_page.writePdf(path))
        cannotWrite(path);
}

void frmResults::saveAsCsv() {
    if (!m_drawn)
        return;
    const QString path = m_dialogs.saveFileName(
        this, QStringLiteral("Enregistrer le tableau en CSV"),
        m_page.documentTitle() + QStringLiteral(".csv"), QStringLiteral("Fichiers CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = ReportExport::csv(m_page, &m_report.details);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        cannotWrite(path);
}

void frmResults::cannotWrite(const QString& path) {
    m_dialogs.fileNotWritten(this, path);
}

void frmResults::SetScrollBars() {
    const int W = twipsWidth();
    const int H = twipsHeight();
    const int pictureWidth = Twips::fromPixels(m_picture2->width());
    const int pictureHeight = std::lround(m_pictureHeight);
    const int barWidth = Twips::fromPixels(style()->pixelMetric(QStyle::PM_ScrollBarExtent));

    m_vscroll->setGeometry(Twips::toPixels(
        QRect(W - barWidth, Twips::fromPixels(y()) + 50, barWidth, H - barWidth + 10)));
    m_vscroll->setRange(kRestPosition, pictureHeight - H + 500);
    m_vscroll->setValue(kRestPosition);
    m_vscroll->setSingleStep(H / 10);
    m_vscroll->setPageStep(H);
    m_vscroll->setVisible(pictureHeight > H);

    m_hscroll->setGeometry(Twips::toPixels(QRect(0, H - barWidth, W - barWidth + 10, barWidth)));
    m_hscroll->setRange(kRestPosition, pictureWidth - W + 500);
    m_hscroll->setValue(kRestPosition);
    m_hscroll->setSingleStep(W / 10);
    m_hscroll->setPageStep(W);
    m_hscroll->setVisible(pictureWidth > W);

    placePicture();
    m_vscroll->raise();
    m_hscroll->raise();
    m_frame1->raise();
}

void frmResults::placePicture() {
    m_picture2->move(Twips::toPixels(-m_hscroll->value()), Twips::toPixels(-m_vscroll->value()));
}

void frmResults::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SetScrollBars();
    m_frame1->move(width() - m_frame1->width(), height() - m_frame1->height());
}

void frmResults::mouseMoveEvent(QMouseEvent* event) {
    if (m_helpLine)
        m_helpLine(QString());
    QWidget::mouseMoveEvent(event);
}

bool frmResults::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_picture2)
        return QWidget::eventFilter(watched, event);
    const auto cellUnder = [this](const QMouseEvent* e) -> std::optional<ReportPage::Cell> {
        if (!m_drawn)
            return std::nullopt;
        const auto cell = m_page.cellAt(e->position() * Twips::PerPixel);
        return cell && isCell(*cell) ? cell : std::nullopt;
    };
    switch (event->type()) {
    case QEvent::MouseMove: {
        // The cell under the pointer; elsewhere on the page, nothing.
        const auto cell = cellUnder(static_cast<QMouseEvent*>(event));
        writeHelp(cell ? cellText(*cell, false) : QString());
        return true;
    }
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            if (const auto cell = cellUnder(static_cast<QMouseEvent*>(event)))
                select(cell);
        break;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (const auto cell = cellUnder(static_cast<QMouseEvent*>(event))) {
                select(cell);
                openCellDetails(*cell);
                return true;
            }
        }
        break;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && pictureKey(key->key()))
            return true;
        break;
    }
    case QEvent::Wheel:
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void frmResults::wheelEvent(QWheelEvent* event) {
    QScrollBar* bar = m_vscroll->isVisible() ? m_vscroll : m_hscroll;
    if (bar->isVisible())
        QApplication::sendEvent(bar, event);
    event->accept();
}

} // namespace grelavo
