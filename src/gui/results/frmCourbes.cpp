#include "frmCourbes.h"

#include "gui/shared/DialogService.h"
#include "render/Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSignalBlocker>
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
        setMinimumSize(frmCourbes::SmallestView);
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

} // namespace

frmCourbes::frmCourbes(DialogService& dialogs, ReportDetails details, QVector<ResultsRow> rows,
                       ReportAbout shows, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_details(std::move(details)), m_rows(std::move(rows)),
      m_shows(std::move(shows)) {
    setObjectName(QStringLiteral("frmCourbes"));
    setWindowTitle(QStringLiteral("Courbes dose-réponse"));

    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("lstCourbes"));
    m_list->setAccessibleName(QStringLiteral("Mauvaises herbes et catégories montrées"));
    m_list->setMaximumWidth(260);
    m_view = new PlotView(m_shown, [this] { redraw(); });
    m_view->setObjectName(QStringLiteral("picCourbes"));
    m_view->setAccessibleName(QStringLiteral("Courbes dose-réponse"));

    auto* checks = new QHBoxLayout;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const auto button = [this](QBoxLayout* row, const char* name, const char* caption, auto slot) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        row->addWidget(b);
        return b;
    };
    button(checks, "cmdToutCocher", "&Tout cocher", [this] { checkAll(true); });
    button(checks, "cmdToutDecocher", "Tout &décocher", [this] { checkAll(false); });
    button(buttons, "cmdCopier", "&Copier", [this] { CopyToClipboard(); });
    button(buttons, "cmdImprimer", "&Imprimer…", [this] { Set_Print(); });
    button(buttons, "cmdEnregistrer", "&Enregistrer…", [this] { saveAs(); });
    button(buttons, "cmdFermer", "&Fermer", [this] { reject(); });

    auto* side = new QVBoxLayout;
    side->addWidget(m_list, 1);
    side->addLayout(checks);
    auto* columns = new QHBoxLayout;
    columns->addLayout(side);
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
    const QVector<qint64> first = DoseResponsePlot::firstChoice(m_details, m_rows, FirstChecked);
    for (const PlotRow& row : DoseResponsePlot::rowsWithRatings(m_details, m_rows)) {
        auto* item = new QListWidgetItem;
        item->setData(kNoIdRole, row.noId);
        const Qt::CheckState state = first.contains(row.noId) ? Qt::Checked : Qt::Unchecked;
        if (row.kind == PlotRow::Kind::Weed) {
            item->setText(QStringLiteral("    ") + row.label);
            item->setCheckState(state);
        } else {
            item->setText(row.label);
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            if (row.kind == PlotRow::Kind::Category)
                item->setCheckState(state);
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

void frmCourbes::checkAll(bool checked) {
    {
        const QSignalBlocker quiet(m_list); // one redraw, not one per row
        for (int i = 0; i < m_list->count(); ++i) {
            QListWidgetItem* item = m_list->item(i);
            if (item->flags() & Qt::ItemIsUserCheckable)
                item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        }
    }
    redraw();
}

void frmCourbes::redraw() {
    const QSizeF twips(Twips::fromPixels(m_view->width()), Twips::fromPixels(m_view->height()));
    m_shown = DoseResponsePlot::lay(m_details, m_rows, chosen(), m_shows, twips);
    m_view->setAccessibleDescription(m_shown.description());
    m_view->update();
}

DoseResponsePlot frmCourbes::picture() const {
    return DoseResponsePlot::lay(m_details, m_rows, chosen(), m_shows);
}

QString frmCourbes::documentTitle() const {
    return DoseResponsePlot::documentTitle(m_shows.stamp.reportDate);
}

void frmCourbes::CopyToClipboard() {
    const DoseResponsePlot plot = picture();
    auto* data = new QMimeData;
    data->setImageData(plot.image());
    data->setText(plot.description() + QLatin1Char('\n') + plot.aboutText.join(QLatin1Char('\n')));
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
    // Any other name gets ".png".
    const std::optional<PictureFile::Kind> kind = PictureFile::kindOf(path);
    return picture().write(kind ? path : path + QStringLiteral(".png"),
                           kind.value_or(PictureFile::Kind::Png), documentTitle());
}

} // namespace grelavo
