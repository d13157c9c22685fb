#include "DoseAnalysis.h"

#include "NumberText.h"
#include "ReportEngine.h"
#include "core/text/CsvWriter.h"

#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace grelavo {

namespace {

const QVector<int> kFractionPercents = {50, 60, 70, 80, 100};

QJsonValue number(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QJsonObject shareJson(const ProportionEstimate& p) {
    return QJsonObject{{QStringLiteral("reaching"), p.successes},
                       {QStringLiteral("share"), number(p.share)},
                       {QStringLiteral("lower"), number(p.lower)},
                       {QStringLiteral("upper"), number(p.upper)}};
}

QJsonObject notEstimable(NotEstimable reason) {
    return QJsonObject{{QStringLiteral("estimable"), false},
                       {QStringLiteral("reason"), reasonWords(reason)},
                       {QStringLiteral("reasonCode"), reasonCode(reason)}};
}

// A number for the CSV: a decimal point, six significant digits; empty when there is none.
} // namespace

CellEvidence DoseAnalysis::evidenceOf(const CellDetail& cell) {
    CellEvidence c;
    c.fraction = cell.fraction;
    c.ratings = cell.count();
    c.trials = cell.trials();
    c.control80 = wilsonInterval(cell.reaching(DoseAnalysis::Threshold), cell.count());
    c.control90 = wilsonInterval(cell.reaching(DoseAnalysis::SecondThreshold), cell.count());
    return c;
}

void DoseAnalysis::fitRow(AnalysisRow& row) {
    row.doses.clear();
    double highest = 0;
    for (const DoseObservation& o : row.observations)
        highest = std::max(highest, o.dose);
    FitSettings settings;
    settings.requireTrials = true;
    settings.requireRising = true; // more product, more control
    // Doses within 1 % of the entered rates are one dose when doses are counted.
    settings.doseResolution = highest > 0 ? 0.01 / highest : 0;
    row.curve = fitLogLogistic(row.observations, settings);
    if (!row.curve.ok())
        return;
    EffectiveDoseSettings ed;
    ed.absolute = true;
    ed.robust = true;
    ed.logScale = true;
    for (int level : DoseAnalysis::levels()) {
        EffectiveDose dose = effectiveDose(row.curve, level, ed);
        // An interval reaching far beyond the doses tried says the trials cannot place the
        // dose: ten times the highest dose, or a tenth of the lowest.
        if (dose.ok() &&
            (dose.upper > 10 * row.curve.highestDose || dose.lower < row.curve.lowestDose / 10))
            dose = EffectiveDose{double(level), NotEstimable::UnboundedInterval};
        row.doses << DoseForLevel{level, dose};
    }
}

const QVector<int>& DoseAnalysis::levels() {
    static const QVector<int> levels = {50, 80, 90};
    return levels;
}

double AnalysisRow::bandSe(double fraction) const {
    return curve.ok() ? curve.valueSe(fraction, true) : std::nan("");
}

double AnalysisRow::bandT() const {
    return trials > 1 ? studentQuantile(0.975, trials - 1) : std::nan("");
}

DoseAnalysis DoseAnalysis::compute(const ReportDetails& details, const QVector<ResultsRow>& table,
                                   const DoseEvidence& evidence, QVector<AnalysisProduct> products,
                                   int tolerance) {
    DoseAnalysis a;
    a.products = std::move(products);
    a.tolerance = tolerance;
    a.treatments = evidence.treatments;
    a.untreated = evidence.untreated;
    a.outOfProportion = evidence.outOfProportion;
    a.repeated = evidence.repeated;
    a.otherApplications = evidence.otherApplications;
    for (const ResultsRow& r : table) {
        const QString label = r.Results.value_or(QString());
        if (!r.ResultsId || label.trimmed().isEmpty())
            continue;
        AnalysisRow row;
        row.noId = r.NoId;
        row.label = label.trimmed();
        // Weeds stand indented under their category, as the page shows them.
        row.category = !label.startsWith(QLatin1Char(' '));
        const qint64 id = *r.ResultsId;
        for (int k = 0; k < kFractionPercents.size(); ++k)
            if (const CellDetail* cell = details.cell(r.NoId, k))
                row.cells << evidenceOf(*cell);
        // The row's ratings from the trials that tried the mixture on it: a trial that rated
        // the weed in its untreated check only tells nothing of the dose's effect, and would
        // count as a trial it is not.
        QSet<qint64> treatedTrials;
        for (const EvidenceRating& e : evidence.ratings)
            if ((row.category ? e.category : e.weedId) == id && e.fraction > 0)
                treatedTrials.insert(e.siteId);
        QHash<qint64, int> clusterOf;
        for (const EvidenceRating& e : evidence.ratings) {
            if ((row.category ? e.category : e.weedId) != id || !treatedTrials.contains(e.siteId))
                continue;
            const int cluster = int(clusterOf.size());
            const auto it = clusterOf.constFind(e.siteId);
            row.observations << DoseObservation{
                e.fraction, double(e.visual),
                it == clusterOf.constEnd() ? clusterOf.insert(e.siteId, cluster).value() : *it};
        }
        if (row.cells.isEmpty() && row.observations.isEmpty())
            continue;
        row.trials = int(clusterOf.size());
        fitRow(row);
        a.rows << row;
    }
    return a;
}

DoseAnalysis DoseAnalysis::run(Connection& db, ReportEngine& engine, const ParameterSet& p,
                               const ReportDetails& details, const QVector<ResultsRow>& table,
                               const QLocale& locale) {
    const std::optional<QStringList> conditions = engine.treatmentConditions(p);
    ParameterSet withoutStage = p;
    withoutStage.txtCultHautDe.clear();
    withoutStage.txtCultFeuilDe.clear();
    const std::optional<QStringList> checkConditions = engine.treatmentConditions(withoutStage);
    if (!conditions || !checkConditions)
        return DoseAnalysis();
    const DoseEvidence evidence =
        DoseEvidence::gather(db, p, *conditions, *checkConditions, locale);
    QVector<AnalysisProduct> products;
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i)
        if (p.cbbHerbApp[i].isEntered())
            products << AnalysisProduct{
                p.SelectedHerbicideId[i], p.cbbHerbApp[i].text,
                NumberText::parseRate(p.EnteredRate[i], locale).value_or(std::nan(""))};
    return compute(details, table, evidence, products, p.RateInterval);
}

const AnalysisRow* DoseAnalysis::row(qint64 noId) const {
    for (const AnalysisRow& r : rows)
        if (r.noId == noId)
            return &r;
    return nullptr;
}

QJsonObject DoseAnalysis::toJson() const {
    QJsonArray productsJson;
    for (const AnalysisProduct& p : products)
        productsJson.append(QJsonObject{{QStringLiteral("herbicideId"), p.herbicideId},
                                        {QStringLiteral("herbicide"), p.herbicide},
                                        {QStringLiteral("enteredKgHa"), number(p.enteredKgHa)}});
    QJsonArray rowsJson;
    for (const AnalysisRow& r : rows) {
        QJsonArray cells;
        for (const CellEvidence& c : r.cells)
            cells.append(QJsonObject{
                {QStringLiteral("fraction"), c.fraction},
                {QStringLiteral("percent"), kFractionPercents[c.fraction]},
                {QStringLiteral("ratings"), c.ratings},
                {QStringLiteral("trials"), c.trials},
                {QStringLiteral("controlShare"),
                 QJsonObject{{QString::number(Threshold), shareJson(c.control80)},
                             {QString::number(SecondThreshold), shareJson(c.control90)}}}});
        QJsonObject curve;
        if (r.curve.ok()) {
            QJsonObject parameters;
            for (const FitParameter& f : r.curve.parameters)
                parameters.insert(f.name,
                                  QJsonObject{{QStringLiteral("estimate"), number(f.estimate)},
                                              {QStringLiteral("se"), number(f.se)},
                                              {QStringLiteral("seRobust"), number(f.seRobust)}});
            QJsonArray eds;
            for (const DoseForLevel& d : r.doses) {
                if (!d.dose.ok()) {
                    QJsonObject o = notEstimable(d.dose.reason);
                    o.insert(QStringLiteral("level"), d.level);
                    eds.append(o);
                    continue;
                }
                QJsonArray rates;
                for (const AnalysisProduct& p : products)
                    rates.append(QJsonObject{
                        {QStringLiteral("herbicide"), p.herbicide},
                        {QStringLiteral("rate"), number(d.dose.dose * p.enteredKgHa)},
                        {QStringLiteral("lower"), number(d.dose.lower * p.enteredKgHa)},
                        {QStringLiteral("upper"), number(d.dose.upper * p.enteredKgHa)}});
                eds.append(QJsonObject{{QStringLiteral("level"), d.level},
                                       {QStringLiteral("fraction"), number(d.dose.dose)},
                                       {QStringLiteral("lower"), number(d.dose.lower)},
                                       {QStringLiteral("upper"), number(d.dose.upper)},
                                       {QStringLiteral("ratesKgHa"), rates}});
            }
            curve = QJsonObject{{QStringLiteral("model"), modelName(r.curve.model)},
                                {QStringLiteral("parameters"), parameters},
                                {QStringLiteral("df"), r.curve.df},
                                {QStringLiteral("intervalDf"), r.trials - 1},
                                {QStringLiteral("residualSe"), number(r.curve.residualSe)},
                                {QStringLiteral("logLik"), number(r.curve.logLik)},
                                {QStringLiteral("aic"), number(r.curve.aic)},
                                {QStringLiteral("ed"), eds}};
        } else {
            curve = notEstimable(r.curve.reason);
        }
        curve.insert(QStringLiteral("trials"), r.trials);
        curve.insert(QStringLiteral("observations"), int(r.observations.size()));
        curve.insert(QStringLiteral("doses"), r.curve.distinctDoses);
        rowsJson.append(QJsonObject{{QStringLiteral("noId"), r.noId},
                                    {QStringLiteral("label"), r.label},
                                    {QStringLiteral("kind"), r.category ? QStringLiteral("category")
                                                                        : QStringLiteral("weed")},
                                    {QStringLiteral("cells"), cells},
                                    {QStringLiteral("curve"), curve}});
    }
    return QJsonObject{{QStringLiteral("threshold"), Threshold},
                       {QStringLiteral("tolerance"), tolerance},
                       {QStringLiteral("products"), productsJson},
                       {QStringLiteral("evidence"),
                        QJsonObject{{QStringLiteral("treatments"), treatments},
                                    {QStringLiteral("untreated"), untreated},
                                    {QStringLiteral("outOfProportion"), outOfProportion},
                                    {QStringLiteral("repeated"), repeated},
                                    {QStringLiteral("otherApplications"), otherApplications}}},
                       {QStringLiteral("rows"), rowsJson}};
}

QByteArray DoseAnalysis::csv(const QStringList& about, const QLocale& locale) const {
    CsvWriter w = CsvWriter::forPeople(locale);
    w.addAbout(about);
    const auto csvNumber = [&w](double v) { return w.number(v, 6, 'g'); };
    QStringList head{QStringLiteral("Mauvaise herbe ou catégorie"),
                     QStringLiteral("Type"),
                     QStringLiteral("Évaluations"),
                     QStringLiteral("Essais"),
                     QStringLiteral("Modèle"),
                     QStringLiteral("Écart type résiduel"),
                     QStringLiteral("Degrés de liberté"),
                     QStringLiteral("Degrés de liberté des intervalles (essais - 1)"),
                     QStringLiteral("Log-vraisemblance"),
                     QStringLiteral("AIC"),
                     QStringLiteral("Destruction visée (%)"),
                     QStringLiteral("Dose (fraction des taux entrés)"),
                     QStringLiteral("Borne inférieure 95 %"),
                     QStringLiteral("Borne supérieure 95 %")};
    for (const AnalysisProduct& p : products)
        head << QStringLiteral("%1 (kg i.a./ha)").arg(p.herbicide)
             << QStringLiteral("%1 borne inférieure").arg(p.herbicide)
             << QStringLiteral("%1 borne supérieure").arg(p.herbicide);
    head << QStringLiteral("Non estimable");
    w.addRow(head);
    for (const AnalysisRow& r : rows) {
        const QStringList lead{
            r.label, r.category ? QStringLiteral("catégorie") : QStringLiteral("mauvaise herbe"),
            QString::number(r.observations.size()), QString::number(r.trials)};
        if (!r.curve.ok()) {
            QStringList line = lead;
            while (line.size() < head.size() - 1)
                line << QString();
            w.addRow(line << reasonWords(r.curve.reason));
            continue;
        }
        const QStringList fitFields{modelName(r.curve.model),    csvNumber(r.curve.residualSe),
                                    QString::number(r.curve.df), QString::number(r.trials - 1),
                                    csvNumber(r.curve.logLik),   csvNumber(r.curve.aic)};
        for (const DoseForLevel& d : r.doses) {
            QStringList line = lead + fitFields;
            // A dose not estimable is no figure at all, only its reason.
            const double shown = d.dose.ok() ? 1 : std::nan("");
            line << QString::number(d.level) << csvNumber(shown * d.dose.dose)
                 << csvNumber(shown * d.dose.lower) << csvNumber(shown * d.dose.upper);
            for (const AnalysisProduct& p : products)
                line << csvNumber(shown * d.dose.dose * p.enteredKgHa)
                     << csvNumber(shown * d.dose.lower * p.enteredKgHa)
                     << csvNumber(shown * d.dose.upper * p.enteredKgHa);
            w.addRow(line << (d.dose.ok() ? QString() : reasonWords(d.dose.reason)));
        }
    }
    w.addRow({});
    w.addRow({QStringLiteral("Mauvaise herbe ou catégorie"), QStringLiteral("Paramètre"),
              QStringLiteral("Estimation"), QStringLiteral("Erreur type"),
              QStringLiteral("Erreur type robuste (essais)")});
    for (const AnalysisRow& r : rows)
        for (const FitParameter& f : r.curve.ok() ? r.curve.parameters : QVector<FitParameter>())
            w.addRow(
                {r.label, f.name, csvNumber(f.estimate), csvNumber(f.se), csvNumber(f.seRobust)});
    w.addRow({});
    w.addRow({QStringLiteral("Mauvaise herbe ou catégorie"),
              QStringLiteral("Dose (% des taux entrés)"), QStringLiteral("Évaluations"),
              QStringLiteral("Essais"), QStringLiteral("Part ≥ 80 %"),
              QStringLiteral("Borne inférieure"), QStringLiteral("Borne supérieure"),
              QStringLiteral("Part ≥ 90 %"), QStringLiteral("Borne inférieure"),
              QStringLiteral("Borne supérieure")});
    for (const AnalysisRow& r : rows)
        for (const CellEvidence& c : r.cells)
            w.addRow({r.label, QString::number(kFractionPercents[c.fraction]),
                      QString::number(c.ratings), QString::number(c.trials),
                      csvNumber(c.control80.share), csvNumber(c.control80.lower),
                      csvNumber(c.control80.upper), csvNumber(c.control90.share),
                      csvNumber(c.control90.lower), csvNumber(c.control90.upper)});
    return w.bytes();
}

QString DoseAnalysis::fractionText(const DoseForLevel& d, const QLocale& shown) {
    QLocale locale = shown;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    if (!d.dose.ok())
        return QStringLiteral("non estimable\u00a0: %1").arg(reasonWords(d.dose.reason));
    return QStringLiteral("%1 (%2–%3)")
        .arg(locale.toString(d.dose.dose, 'f', 2), locale.toString(d.dose.lower, 'f', 2),
             locale.toString(d.dose.upper, 'f', 2));
}

QString DoseAnalysis::shareText(const ProportionEstimate& p, const QLocale& locale) {
    if (p.total == 0)
        return QStringLiteral("aucune évaluation");
    return QStringLiteral("%1 sur %2\u00a0: %3 % (%4–%5 %)")
        .arg(p.successes)
        .arg(p.total)
        .arg(locale.toString(100 * p.share, 'f', 0), locale.toString(100 * p.lower, 'f', 0),
             locale.toString(100 * p.upper, 'f', 0));
}

} // namespace grelavo
