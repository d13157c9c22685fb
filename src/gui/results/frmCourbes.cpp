#include "frmCourbes.h"

#include "render/Twips.h"
#include "shared/DialogService.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <functional>

namespace grelavo {

namespace {

constexpr int kNoIdRole = Qt::UserRole;

// The picture drawn at the view's size, whatever that is.
class PlotView : public QWidget {
public:
    PlotView(const DoseResponsePlot& plot, std::function<void()> resized)
        : m_plot(plot), m_resized(std::move(resized)) {
        setMinimumSize(480, 320);
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
        QPalette white = palette();
        white.setColor(QPalette::Base, Qt::white);
        setPalette(white);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.scale(1.0 / Twips::PerPixel, 1.0 / Twips::PerPixel);
        m_plot.paint(painter);
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        m_resized();
    }

private:
    const DoseResponsePlot& m_plot;
    std::function<void()> m_resized;
};

// What a screen reader says of the picture: each series, its means and counts.
QString describe(const DoseResponsePlot& plot) {
    QStringList lines;
    for (const DoseResponsePlot::Series& s : plot.series) {
        QStringList means;
        for (const DoseResponsePlot::Mean& m : s.means)
            means << QStringLiteral("%1 % : %2 (n = %3)")
                         .arg(DoseResponsePlot::fractionPercents().at(m.fraction))
                         .arg(m.value)
                         .arg(m.count);
        lines << s.name + QStringLiteral(" — ") + means.join(QStringLiteral(" ; "));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

frmCourbes::frmCourbes(DialogService& dialogs, ReportDetails details, QVector<ResultsRow> rows,
                       ReportStamp stamp, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_details(std::move(details)), m_rows(std::move(rows)),
      m_stamp(std::move(stamp)) {
    setObjectName(QStringLiteral("frmCourbes"));
    setWindowTitle(QStringLiteral("Courbes dose-réponse"));

    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("lstCourbes"));
    m_list->setAccessibleName(QStringLiteral("Mauvaises herbes et catégories montrées"));
    m_list->setMaximumWidth(260);
    m_view = new PlotView(m_shown, [this] { redraw(); });
    m_view->setObjectName(QStringLiteral("picCourbes"));
    m_view->setAccessibleName(QStringLiteral("Courbes dose-réponse"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const auto button = [&](const char* name, const char* caption, auto slot) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    button("cmdCopier", "&Copier", [this] { CopyToClipboard(); });
    button("cmdImprimer", "&Imprimer…", [this] { Set_Print(); });
    button("cmdEnregistrer", "&Enregistrer…", [this] { saveAs(); });
    button("cmdFermer", "&Fermer", [this] { reject(); });

    auto* columns = new QHBoxLayout;
    columns->addWidget(m_list);
    columns->addWidget(m_view, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);

    fillList();
    connect(m_list, &QListWidget::itemChanged, this, [this] { redraw(); });
    resize(1000, 560);
    m_list->setFocus();
}

void frmCourbes::fillList() {
    int weeds = 0;
    for (const PlotRow& row : DoseResponsePlot::rowsWithRatings(m_details, m_rows)) {
        auto* item = new QListWidgetItem;
        item->setData(kNoIdRole, row.noId);
        if (row.kind == PlotRow::Kind::Weed) {
            item->setText(QStringLiteral("    ") + row.label);
            item->setCheckState(weeds++ < FirstWeedsChecked ? Qt::Checked : Qt::Unchecked);
        } else {
            item->setText(row.label);
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            if (row.kind == PlotRow::Kind::Category)
                item->setCheckState(Qt::Checked);
            else
                item->setFlags(Qt::ItemIsEnabled); // a heading: nothing to draw
        }
        m_list->addItem(item);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    redraw();
}

QVector<qint64> frmCourbes::chosen() const {
    QVector<qint64> ids;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem* item = m_list->item(i);
        if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked)
            ids << item->data(kNoIdRole).toLongLong();
    }
    return ids;
}

bool frmCourbes::synthetic() const {
    return m_stamp.edition.known && m_stamp.edition.synthetic;
}

void frmCourbes::redraw() {
    const QSizeF twips(Twips::fromPixels(m_view->width()), Twips::fromPixels(m_view->height()));
    m_shown = DoseResponsePlot::lay(m_details, m_rows, chosen(), twips, synthetic());
    m_view->setAccessibleDescription(describe(m_shown));
    m_view->update();
}

DoseResponsePlot frmCourbes::picture() const {
    return DoseResponsePlot::lay(
        m_details, m_rows, chosen(),
        QSizeF(DoseResponsePlot::DefaultWidth, DoseResponsePlot::DefaultHeight), synthetic());
}

QString frmCourbes::documentTitle() const {
    return QStringLiteral("Grelavo - courbes dose-réponse %1")
        .arg(m_stamp.reportDate.toString(Qt::ISODate));
}

void frmCourbes::CopyToClipboard() {
    const DoseResponsePlot plot = picture();
    auto* data = new QMimeData;
    data->setImageData(plot.image());
    data->setText(describe(plot));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

void frmCourbes::Set_Print() {
    const DoseResponsePlot plot = picture();
    m_dialogs.print(this, documentTitle(), [&plot](QPrinter& printer) { plot.printOn(printer); });
}

void frmCourbes::saveAs() {
    const QString path = m_dialogs.saveFileName(
        this, QStringLiteral("Enregistrer les courbes dose-réponse"),
        documentTitle() + QStringLiteral(".png"),
        QStringLiteral("Image PNG (*.png);;Image SVG (*.svg);;Document PDF (*.pdf)"));
    if (path.isEmpty() || writePicture(path))
        return;
    m_dialogs.fileNotWritten(this, path);
}

bool frmCourbes::writePicture(const QString& path) const {
    QString kind = QFileInfo(path).suffix().toLower();
    QString target = path;
    if (kind != QLatin1String("svg") && kind != QLatin1String("pdf") &&
        kind != QLatin1String("png")) {
        kind = QStringLiteral("png");
        target += QStringLiteral(".png");
    }
    // Written beside the file, then put in its place: a failed write leaves the file as it was.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const DoseResponsePlot plot = picture();
    bool written = false;
    if (kind == QLatin1String("png")) {
        written = plot.image(2).save(&file, "PNG");
    } else if (kind == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(QSize(Twips::toPixels(int(plot.size.width())),
                          Twips::toPixels(int(plot.size.height()))));
        svg.setViewBox(QRectF(QPointF(0, 0), plot.size)); // drawn in twips
        svg.setTitle(documentTitle());
        svg.setDescription(describe(plot));
        QPainter painter;
        written = painter.begin(&svg);
        if (written) {
            plot.paint(painter);
            written = painter.end();
        }
    } else {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setResolution(1200);
        pdf.setTitle(documentTitle());
        pdf.setCreator(QStringLiteral("Grelavo"));
        written = plot.printOn(pdf);
    }
    return written && file.commit();
}

} // namespace grelavo
