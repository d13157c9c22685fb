#include "frmAnalyse.h"

#include "gui/shared/DialogService.h"
#include "render/DoseResponsePlot.h"
#include "render/Twips.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

namespace grelavo {

namespace {

// A picture drawn in twips at the view's size, whatever that is.
class PictureView : public QWidget {
public:
    PictureView(std::function<void(QPainter&)> paint, std::function<void()> resized)
        : m_paint(std::move(paint)), m_resized(std::move(resized)) {
        setMinimumSize(560, 360);
        setAutoFillBackground(true);
        QPalette white = palette();
        white.setColor(QPalette::Window, Qt::white);
        setPalette(white);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.scale(1.0 / Twips::PerPixel, 1.0 / Twips::PerPixel);
        m_paint(painter);
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        m_resized();
    }

private:
    std::function<void(QPainter&)> m_paint;
    std::function<void()> m_resized;
};

// Numbers as the window, its picture and its copies write them: French, with decimal commas,
// whatever the system's format.
QLocale shownLocale() {
    QLocale locale(QLocale::French, QLocale::Canada);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// "atrazine 0,62 kg i.a./ha, dicamba 0,37 kg i.a./ha": a dose fraction of the entered rates in each
// product's kilograms of active ingredient, as the CSV file writes them.
QString ratesText(const DoseAnalysis& analysis, double fraction, const QLocale& locale) {
    QStringList rates;
    for (const AnalysisProduct& p : analysis.products) {
        const double kg = fraction * p.enteredKgHa;
        rates << QStringLiteral("%1 %2 kg i.a./ha")
                     .arg(p.herbicide, locale.toString(kg, 'f', kg < 0.1 ? 3 : 2));
    }
    return rates.join(QStringLiteral(", "));
}

// A dose of the row as the table and the copied text write it: the fraction with its interval,
// then the rates; or why there is none.
QString doseText(const DoseAnalysis& analysis, const AnalysisRow& row, int level,
                 const QLocale& locale, const QString& between) {
    DoseForLevel dose{level, {}};
    dose.dose.reason = row.curve.reason;
    for (const DoseForLevel& d : row.doses)
        if (d.level == level)
            dose = d;
    const QString fraction = DoseAnalysis::fractionText(dose, locale);
    return dose.dose.ok() ? fraction + between + ratesText(analysis, dose.dose.dose, locale)
                          : fraction;
}

const QVector<int>& fractionPercents() {
    return DoseResponsePlot::fractionPercents();
}

// What the figures are, and are not.
QLabel* introduction() {
    auto* note = new QLabel(QStringLiteral(
        "Estimations tirées des essais de la base de données, pas une "
        "recommandation. ED50, ED80, ED90\u00a0: la dose, en fraction des taux entrés "
        "(et en kg i.a./ha), qui donne 50, 80 ou 90 % de destruction selon la "
        "courbe ajustée, avec son intervalle de confiance à 95 %, les essais "
        "comme unités."));
    note->setObjectName(QStringLiteral("lblAnalyse"));
    note->setWordWrap(true);
    return note;
}

// The evidence of the mixture: the treatments used and those left out.
QLabel* evidenceSummary(const DoseAnalysis& analysis, const QLocale& locale) {
    auto* evidence = new QLabel(
        QStringLiteral(
            "%1\u00a0: %2 traitements du mélange en proportion et %3 témoins non traités\u00a0; "
            "écartés\u00a0: %4 traitements aux taux hors proportion, %5 où le mélange est "
            "appliqué deux fois, %6 qui reçoivent aussi d'autres applications.")
            .arg(FittedCurvePlot::mixtureText(analysis, locale))
            .arg(analysis.treatments)
            .arg(analysis.untreated)
            .arg(analysis.outOfProportion)
            .arg(analysis.repeated)
            .arg(analysis.otherApplications));
    evidence->setObjectName(QStringLiteral("lblEvidence"));
    evidence->setWordWrap(true);
    return evidence;
}

// A row for each weed and category: ratings, trials, model, ED50, ED80, ED90.
QTableWidget* analysisTable() {
    auto* table = new QTableWidget(0, 7);
    table->setObjectName(QStringLiteral("lvwAnalyse"));
    table->setAccessibleName(QStringLiteral("Analyse par mauvaise herbe et catégorie"));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);
    table->setShowGrid(false);
    table->setWordWrap(true); // a reason too long for its column goes on
    table->verticalHeader()->hide();
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setHorizontalHeaderLabels({QStringLiteral("Mauvaise herbe ou catégorie"),
                                      QStringLiteral("Évaluations"), QStringLiteral("Essais"),
                                      QStringLiteral("Modèle"), QStringLiteral("ED50"),
                                      QStringLiteral("ED80"), QStringLiteral("ED90")});
    return table;
}

// The report's cells behind the chosen row: a line for each of the five cells a row may have,
// and the heading.
QTreeWidget* evidenceList(int lineSpacing) {
    auto* list = new QTreeWidget;
    list->setObjectName(QStringLiteral("lvwPreuves"));
    list->setAccessibleName(QStringLiteral("Ce sur quoi reposent les cases du rapport"));
    list->setRootIsDecorated(false);
    list->setFocusPolicy(Qt::NoFocus);
    list->setHeaderLabels(
        {QStringLiteral("Case du rapport"), QStringLiteral("Évaluations"), QStringLiteral("Essais"),
         QStringLiteral("Destruction ≥ %1 %").arg(DoseAnalysis::Threshold),
         QStringLiteral("Destruction ≥ %1 %").arg(DoseAnalysis::SecondThreshold)});
    list->setFixedHeight(lineSpacing * 8);
    return list;
}

} // namespace

frmAnalyse::frmAnalyse(DialogService& dialogs, DoseAnalysis analysis, ReportAbout shows,
                       QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_analysis(std::move(analysis)),
      m_shows(std::move(shows)) {
    setObjectName(QStringLiteral("frmAnalyse"));
    setWindowTitle(QStringLiteral("Analyse dose-réponse"));
    const QLocale locale = shownLocale();

    auto* note = introduction();
    auto* evidence = evidenceSummary(m_analysis, locale);

    m_table = analysisTable();

    m_view = new PictureView([this](QPainter& painter) { m_shown.paint(painter); },
                             [this] { showChosen(); });
    m_view->setObjectName(QStringLiteral("picAnalyse"));
    m_view->setAccessibleName(QStringLiteral("Courbe dose-réponse ajustée"));

    m_evidence = evidenceList(fontMetrics().lineSpacing());

    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(m_view, 1);
    lowerLayout->addWidget(m_evidence);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(m_table);
    splitter->addWidget(lower);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 560});

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const auto button = [&](const char* name, const char* caption, auto slot) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false); // Enter in the table never presses one
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button("cmdCopier", "&Copier", [this] { CopyToClipboard(); });
    button("cmdImprimer", "&Imprimer…", [this] { Set_Print(); });
    button("cmdEnregistrer", "&Enregistrer…", [this] { saveAs(); });
    button("cmdFermer", "&Fermer", [this] { reject(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(evidence);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    fillTable();
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous) {
        if (row != previous)
            showChosen();
    });
    resize(1040, 900);
    m_table->setFocus();
}

void frmAnalyse::fillTable() {
    const QLocale locale = shownLocale();
    m_table->setRowCount(int(m_analysis.rows.size()));
    for (int i = 0; i < m_analysis.rows.size(); ++i) {
        const AnalysisRow& row = m_analysis.rows[i];
        QStringList texts{row.category ? row.label : QStringLiteral("    ") + row.label,
                          QString::number(row.observations.size()), QString::number(row.trials),
                          row.curve.ok() ? modelName(row.curve.model) : QStringLiteral("—")};
        for (const int level : DoseAnalysis::levels())
            texts << doseText(m_analysis, row, level, locale, QStringLiteral("\n"));
        for (int k = 0; k < texts.size(); ++k) {
            auto* item = new QTableWidgetItem(texts[k]);
            item->setTextAlignment(k >= 1 && k <= 3 ? Qt::AlignCenter
                                                    : Qt::AlignLeft | Qt::AlignVCenter);
            if (k == 0 && row.category) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            m_table->setItem(i, k, item);
        }
    }
    // The names and counts as wide as they are, the doses sharing what is left; each line as
    // high as its texts, wrapped in their columns.
    QHeaderView* header = m_table->horizontalHeader();
    for (int k = 0; k < m_table->columnCount(); ++k)
        header->setSectionResizeMode(k,
                                     k < 4 ? QHeaderView::ResizeToContents : QHeaderView::Stretch);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (m_table->rowCount() > 0)
        m_table->setCurrentCell(0, 0);
    showChosen();
}

const AnalysisRow* frmAnalyse::chosen() const {
    const int i = m_table->currentRow();
    return i >= 0 && i < m_analysis.rows.size() ? &m_analysis.rows.at(i) : nullptr;
}

void frmAnalyse::showChosen() {
    const AnalysisRow* row = chosen();
    m_evidence->clear();
    if (!row) {
        m_shown = FittedCurvePlot();
        m_view->update();
        return;
    }
    const QSizeF twips(Twips::fromPixels(m_view->width()), Twips::fromPixels(m_view->height()));
    const QLocale locale = shownLocale();
    m_shown = FittedCurvePlot::lay(m_analysis, *row, m_shows, locale, twips);
    for (const CellEvidence& c : row->cells) {
        auto* item = new QTreeWidgetItem(
            {QStringLiteral("%1 % des taux").arg(fractionPercents().at(c.fraction)),
             QString::number(c.ratings), QString::number(c.trials),
             DoseAnalysis::shareText(c.control80, locale),
             DoseAnalysis::shareText(c.control90, locale)});
        for (int k = 1; k <= 2; ++k)
            item->setTextAlignment(k, Qt::AlignCenter);
        m_evidence->addTopLevelItem(item);
    }
    for (int k = 0; k < m_evidence->columnCount(); ++k)
        m_evidence->resizeColumnToContents(k);
    m_view->setAccessibleDescription(describe(*row));
    m_view->update();
}

QString frmAnalyse::describe(const AnalysisRow& row) const {
    const QLocale locale = shownLocale();
    QStringList lines{FittedCurvePlot::rowName(row),
                      FittedCurvePlot::mixtureText(m_analysis, locale) + QStringLiteral(" — ") +
                          FittedCurvePlot::fitText(row)};
    if (row.curve.ok())
        for (const int level : DoseAnalysis::levels())
            lines << QStringLiteral("ED%1\u00a0: %2")
                         .arg(level)
                         .arg(doseText(m_analysis, row, level, locale, QStringLiteral(" — ")));
    for (const CellEvidence& c : row.cells)
        lines << QStringLiteral(
                     "%1 % des taux\u00a0: %2 évaluations de %3 essais\u00a0; ≥ %4 %\u00a0: %5")
                     .arg(fractionPercents().at(c.fraction))
                     .arg(c.ratings)
                     .arg(c.trials)
                     .arg(DoseAnalysis::Threshold)
                     .arg(DoseAnalysis::shareText(c.control80, locale));
    return lines.join(QLatin1Char('\n'));
}

FittedCurvePlot frmAnalyse::picture() const {
    const AnalysisRow* row = chosen();
    return row ? FittedCurvePlot::lay(m_analysis, *row, m_shows, shownLocale()) : FittedCurvePlot();
}

QString frmAnalyse::documentTitle() const {
    return QStringLiteral("Grelavo - analyse dose-réponse %1")
        .arg(m_shows.stamp.reportDate.toString(Qt::ISODate));
}

void frmAnalyse::CopyToClipboard() {
    const AnalysisRow* row = chosen();
    if (!row)
        return;
    auto* data = new QMimeData;
    data->setImageData(picture().image());
    data->setText(describe(*row) + QLatin1Char('\n') + about().join(QLatin1Char('\n')));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

void frmAnalyse::Set_Print() {
    if (!chosen())
        return;
    const FittedCurvePlot plot = picture();
    m_dialogs.print(this, documentTitle(), [&plot](QPrinter& printer) { plot.printOn(printer); });
}

void frmAnalyse::saveAs() {
    const QString path = m_dialogs.saveFileName(
        this, QStringLiteral("Enregistrer l'analyse dose-réponse"),
        documentTitle() + QStringLiteral(".pdf"),
        QStringLiteral("Document PDF de la courbe (*.pdf);;Tableau CSV de l'analyse (*.csv)"));
    if (path.isEmpty() || writeFile(path))
        return;
    m_dialogs.fileNotWritten(this, path);
}

bool frmAnalyse::writeFile(const QString& path) const {
    const bool csv =
        QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    const bool pdf =
        QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    // Written beside the file, then put in its place: a failed write leaves the file as it was.
    QSaveFile file(csv || pdf ? path : path + QStringLiteral(".pdf"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool written = false;
    if (csv) {
        const QByteArray bytes = m_analysis.csv(about());
        written = file.write(bytes) == bytes.size();
    } else {
        if (!chosen())
            return false;
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setResolution(1200);
        writer.setTitle(documentTitle());
        writer.setCreator(QStringLiteral("Grelavo"));
        written = picture().printOn(writer);
    }
    return written && file.commit();
}

} // namespace grelavo
