#include "frmDetails.h"

#include "core/report/DoseAnalysis.h"
#include "core/text/CsvWriter.h"
#include "gui/shared/DialogService.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace grelavo {

namespace {

// What one cell of the table holds: a text, or a number shown in the user's format.
struct Value {
    QString text;
    std::optional<double> number;
};

Value number(const std::optional<double>& v) {
    return {QString(), v};
}

// At most three decimals, trailing zeros left out: 0.75, 70, 6.5.
QString numberText(double v, const QLocale& locale) {
    QString s = locale.toString(v, 'f', 3);
    const QString point = locale.decimalPoint();
    if (s.contains(point)) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(point))
            s.chop(point.size());
    }
    return s;
}

QLocale numberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// A number as the file writes them (decimal commas where the file has semicolons), a text as
// shown.
QString csvText(const QTableWidgetItem* item, const CsvWriter& file) {
    const QVariant n = item->data(Qt::UserRole);
    return n.isValid() ? file.figure(numberText(n.toDouble(), QLocale::c())) : item->text();
}

// A row imported under a key is shown by it; any other by its number.
Value keyOr(const QString& key, qint64 id) {
    return key.isEmpty() ? Value{QString(), double(id)} : Value{key, {}};
}

// Numbers sort as numbers (a cell without one first), texts as the user's language sorts them.
class SortedItem : public QTableWidgetItem {
public:
    explicit SortedItem(const Value& v, const QLocale& locale)
        : QTableWidgetItem(v.number ? numberText(*v.number, locale) : v.text) {
        if (v.number) {
            setData(Qt::UserRole, *v.number);
            setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(Qt::UserRole);
        const QVariant b = other.data(Qt::UserRole);
        if (a.isValid() || b.isValid())
            return !a.isValid() ? b.isValid() : b.isValid() && a.toDouble() < b.toDouble();
        return QString::localeAwareCompare(text(), other.text()) < 0;
    }
};

// The trials behind the cell and the share of its ratings that reach each control threshold.
QString evidenceLine(const CellDetail& cell, const QLocale& locale) {
    const CellEvidence e = DoseAnalysis::evidenceOf(cell);
    return QStringLiteral(
               "%1 essai%2 — destruction d'au moins %3 %\u00a0: %4 — d'au moins %5 %\u00a0: %6 "
               "(intervalles de confiance à 95 %)")
        .arg(e.trials)
        .arg(e.trials > 1 ? QStringLiteral("s") : QString())
        .arg(DoseAnalysis::Threshold)
        .arg(DoseAnalysis::shareText(e.control80, locale))
        .arg(DoseAnalysis::SecondThreshold)
        .arg(DoseAnalysis::shareText(e.control90, locale));
}

} // namespace

frmDetails::frmDetails(DialogService& dialogs, const QString& title, const QString& rates,
                       const CellDetail& cell, const QVector<DetailRow>& rows,
                       const ReportAbout& about, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_title(title), m_about(about) {
    setObjectName(QStringLiteral("frmDetails"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Évaluations - ") + title);

    m_heading = new QLabel(title + QLatin1Char('\n') + rates, this);
    m_heading->setObjectName(QStringLiteral("lblTitre"));
    m_heading->setWordWrap(true);
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("lstEvaluations"));
    m_table->setAccessibleName(QStringLiteral("Évaluations de la case"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    fill(rows);

    const QLocale locale = numberLocale();
    const QString summary = QStringLiteral("%1 évaluation%2 — moyenne\u00a0: %3 (valeur "
                                           "exacte\u00a0: %4) — écart type\u00a0: %5 — "
                                           "la plus basse\u00a0: %6 — la plus haute\u00a0: %7")
                                .arg(cell.count())
                                .arg(cell.count() > 1 ? QStringLiteral("s") : QString())
                                .arg(cell.reportedMean())
                                .arg(locale.toString(cell.mean(), 'f', 2),
                                     locale.toString(cell.standardDeviation(), 'f', 2))
                                .arg(cell.lowest())
                                .arg(cell.highest()) +
                            QLatin1Char('\n') + evidenceLine(cell, locale);
    m_summary = new QLabel(summary, this);
    m_summary->setObjectName(QStringLiteral("lblResume"));
    m_summary->setAccessibleName(QStringLiteral("Résumé des évaluations"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* save = new QPushButton(QStringLiteral("Enregistrer en CSV…"), this);
    save->setObjectName(QStringLiteral("cmdEnregistrer"));
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &frmDetails::saveAsCsv);
    auto* close = new QPushButton(QStringLiteral("Fermer"), this);
    close->setObjectName(QStringLiteral("cmdFermer"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_summary);
    layout->addLayout(buttons);
    resize(1000, 480);
    m_table->setFocus();
}

void frmDetails::fill(const QVector<DetailRow>& rows) {
    int products = 1;
    for (const DetailRow& r : rows)
        products = std::max(products, int(r.products.size()));
    QStringList headings{QStringLiteral("Mauvaise herbe"),
                         QStringLiteral("Évaluation (%)"),
                         QStringLiteral("Traitement"),
                         QStringLiteral("Essai (site)"),
                         QStringLiteral("Province"),
                         QStringLiteral("Classe texturale"),
                         QStringLiteral("pH"),
                         QStringLiteral("Matière organique (%)"),
                         QStringLiteral("Culture"),
                         QStringLiteral("Variété"),
                         QStringLiteral("Hauteur (cm)"),
                         QStringLiteral("Feuilles"),
                         QStringLiteral("Période")};
    for (int i = 1; i <= products; ++i)
        headings << QStringLiteral("Herbicide %1").arg(i)
                 << QStringLiteral("Dose %1 (kg i.a./ha)").arg(i)
                 << QStringLiteral("Dose %1 (% du taux entré)").arg(i);
    m_table->setColumnCount(headings.size());
    m_table->setHorizontalHeaderLabels(headings);
    m_table->setRowCount(rows.size());
    const QLocale locale = numberLocale();
    for (int row = 0; row < rows.size(); ++row) {
        const DetailRow& d = rows.at(row);
        QVector<Value> values{{d.rating.weed, {}},
                              number(d.rating.visual),
                              keyOr(d.treatmentKey, d.rating.treatmentId),
                              keyOr(d.siteKey, d.rating.siteId),
                              {d.province, {}},
                              {d.texture, {}},
                              number(d.pH),
                              number(d.organicMatter),
                              {d.crop, {}},
                              {d.variety, {}},
                              number(d.height),
                              number(d.leaves),
                              {d.period, {}}};
        for (int i = 0; i < products; ++i) {
            const DetailRow::Product p = d.products.value(i);
            values << Value{p.herbicide, {}} << number(p.rate) << number(p.percentOfEntered);
        }
        for (int k = 0; k < values.size(); ++k)
            m_table->setItem(row, k, new SortedItem(values.at(k), locale));
    }
    m_table->resizeColumnsToContents();
    // In the cell's order until a heading is clicked.
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
}

QStringList frmDetails::headings() const {
    QStringList out;
    for (int k = 0; k < m_table->columnCount(); ++k)
        out << m_table->horizontalHeaderItem(k)->text();
    return out;
}

QByteArray frmDetails::csv() const {
    CsvWriter w = CsvWriter::forPeople(QLocale());
    // What the report shows, then which of its cells these ratings are behind.
    w.addAbout(m_about.lines() << QStringLiteral("Évaluations de la case\u00a0: ") + m_title);
    w.addRow(headings());
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QStringList fields;
        for (int k = 0; k < m_table->columnCount(); ++k)
            fields << csvText(m_table->item(row, k), w);
        w.addRow(fields);
    }
    return w.bytes();
}

void frmDetails::saveAsCsv() {
    QString name = QStringLiteral("Grelavo - évaluations - %1.csv").arg(m_title);
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    const QString path =
        m_dialogs.saveFileName(this, QStringLiteral("Enregistrer les évaluations en CSV"), name,
                               QStringLiteral("Fichiers CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = csv();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        m_dialogs.fileNotWritten(this, path);
}

} // namespace grelavo
