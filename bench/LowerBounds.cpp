#include "LowerBounds.h"

#include "core/db/Statement.h"
#include "core/report/NumberText.h"
#include "core/report/ReportEngine.h"
#include "core/report/ReportStatements.h"
#include "verify/ReferenceEvaluator.h"

#include <QLocale>
#include <QStringList>
#include <cmath>
#include <stdexcept>

namespace grelavo::bench {

namespace {

// A bound as a statement carries it: 15 significant digits.
QString number(double v) {
    return QString::number(v, 'g', 15);
}

double parsed(const QString& text) {
    const std::optional<double> v = NumberText::parse(text, QLocale::c());
    if (!v)
        throw std::runtime_error("not a number: " + text.toStdString());
    return *v;
}

QString between(const QString& column, const QString& low, const QString& high) {
    return QStringLiteral(" AND %1 BETWEEN %2 AND %3")
        .arg(column, number(parsed(low)), number(parsed(high)));
}

QString idList(const QVector<int>& ids) {
    QStringList out;
    for (int id : ids)
        out << QString::number(id);
    return out.join(QLatin1Char(','));
}

// The applications of the period whose mixture has exactly n products.
QString periodAndSize(const QString& application, int period, int n) {
    return QStringLiteral("%1.TypeApplicationId = %2 AND (SELECT count(*) FROM "
                          "tblDétailsHerbicides c WHERE c.DateHerbId = %1.DateHerbId) = %3")
        .arg(application)
        .arg(period)
        .arg(n);
}

struct EnteredHerbicide {
    int id;
    double rate;
};

// The herbicides entered, refused when the parameters ask for what the bound does not write.
QVector<EnteredHerbicide> enteredHerbicides(const ParameterSet& p) {
    if (p.cbbCultVar.isEntered() || p.cbbCultAnte.isEntered() || !p.cbbCultProfDe.isEmpty() ||
        p.cbbCultEcart.isEntered() || p.cbbSiteClaTex.isEntered())
        throw std::runtime_error("a condition the lower bound does not write");
    for (const Choice& weed : p.cbbMauvHerb)
        if (weed.isEntered())
            throw std::runtime_error("extra weeds are not written in the lower bound");

    QVector<EnteredHerbicide> herbicides;
    for (int i = 0; i < ParameterSet::HerbicideRows && p.cbbHerbApp[i].isEntered(); ++i) {
        if (p.cbbFormApp[i].isEntered())
            throw std::runtime_error("formulations are not written in the lower bound");
        const std::optional<double> rate = NumberText::parseRate(p.EnteredRate[i], QLocale::c());
        if (!rate)
            throw std::runtime_error("rate not a number");
        herbicides.push_back({p.SelectedHerbicideId[i], *rate});
    }
    if (herbicides.isEmpty())
        throw std::runtime_error("no herbicide");
    return herbicides;
}

// The rate windows of every fraction, one row each (k, lo0, hi0, lo1...), and their columns.
QStringList fractionWindows(const QVector<EnteredHerbicide>& herbicides, const ParameterSet& p,
                            QStringList& columns) {
    QStringList windows;
    columns = {QStringLiteral("k")};
    for (int i = 0; i < herbicides.size(); ++i)
        columns << QStringLiteral("lo%1").arg(i) << QStringLiteral("hi%1").arg(i);
    for (int k = 0; k < ReportEngine::Fractions; ++k) {
        QStringList row{QString::number(k)};
        for (const EnteredHerbicide& h : herbicides) {
            row << number(h.rate * ReportEngine::LowFactor(k, p.RateInterval));
            row << number(h.rate * ReportEngine::HighFactor(k, p.RateInterval));
        }
        windows << QLatin1Char('(') + row.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    return windows;
}

// The conditions on the site (t the treatment, s its site).
QString siteConditions(const ParameterSet& p) {
    QString site;
    if (p.cbbSiteProv.isEntered() && p.cbbSiteProv.itemData)
        site += QStringLiteral(" AND s.ProvinceID = %1").arg(*p.cbbSiteProv.itemData);
    if (!p.cbbSitepHDe.isEmpty())
        site += between(QStringLiteral("s.pH"), p.cbbSitepHDe, p.cbbSitepHA);
    if (!p.cbbSiteMatOrgDe.isEmpty())
        site += between(QStringLiteral("s.MatièreOrganique"), p.cbbSiteMatOrgDe, p.cbbSiteMatOrgA);
    return site;
}

// The conditions on the crop (r its row of tblCultureEXP).
QString cropConditions(const ParameterSet& p, const QVector<int>& crops) {
    QString crop = QStringLiteral(" AND r.CultureId IN (%1)").arg(idList(crops));
    if (!p.txtCultSemisA.isEmpty())
        crop += between(p.optKg ? QStringLiteral("r.TauxSemisKg") : QStringLiteral("r.TauxSemisSe"),
                        p.txtCultSemisDe, p.txtCultSemisA);
    return crop;
}

// The condition on the crop's stage at the application (d0 its first product).
QString stageCondition(const ParameterSet& p, const QVector<int>& crops) {
    QString stage;
    const QString stageLow = p.optHaut ? p.txtCultHautDe : p.txtCultFeuilDe;
    const QString stageHigh = p.optHaut ? p.txtCultHautA : p.txtCultFeuilA;
    if (!stageLow.isEmpty())
        stage = QStringLiteral(" AND EXISTS (SELECT 1 FROM tblStadeCultureH g WHERE g.DateHerbId = "
                               "d0.DateHerbId AND g.CultureId IN (%1)%2)")
                    .arg(idList(crops), between(p.optHaut ? QStringLiteral("g.HautMoyenneCultH")
                                                          : QStringLiteral("g.NoFeuilMoyenneCultH"),
                                                stageLow, stageHigh));
    return stage;
}

} // namespace

long long ReportFigures::totalCases() const {
    long long total = 0;
    for (const auto& fraction : perCategory)
        for (const auto& [category, group] : fraction)
            total += group.rated;
    return total;
}

QString reportStatement(const ParameterSet& p) {
    const QVector<EnteredHerbicide> herbicides = enteredHerbicides(p);
    const int n = int(herbicides.size());
    QStringList windowColumns;
    const QStringList windows = fractionWindows(herbicides, p, windowColumns);
    QString others;
    for (int i = 1; i < n; ++i)
        others += QStringLiteral(" AND EXISTS (SELECT 1 FROM tblDétailsHerbicides d%1 WHERE "
                                 "d%1.DateHerbId = d0.DateHerbId AND d%1.HerbicideId = %2 AND "
                                 "d%1.HerbTauxH BETWEEN f.lo%1 AND f.hi%1)")
                      .arg(i)
                      .arg(herbicides[i].id);

    const QString site = siteConditions(p);
    const QVector<int> crops = p.isAllCorn() ? ReportStatements::allCornCrops()
                                             : QVector<int>{p.cbbCult.itemData.value_or(-1)};
    const QString crop = cropConditions(p, crops);
    const QString stage = stageCondition(p, crops);

    // The matching treatments of each fraction (each once), then their ratings by weed.
    return QStringLiteral(
               "WITH f(%1) AS (VALUES %2), m AS (SELECT DISTINCT f.k AS k, a.TraitementId AS t "
               "FROM f CROSS JOIN tblDétailsHerbicides d0 ON d0.HerbicideId = %3 AND "
               "d0.HerbTauxH BETWEEN f.lo0 AND f.hi0 CROSS JOIN tblPériodesApplication a ON "
               "a.DateHerbId = d0.DateHerbId WHERE %4%5 AND EXISTS (SELECT 1 FROM "
               "tbldesTraitements t JOIN tbldesSites s ON s.SiteExpId = t.SiteExpId WHERE "
               "t.TraitementId = a.TraitementId%6) AND EXISTS (SELECT 1 FROM tblCultureEXP r "
               "WHERE r.TraitementId = a.TraitementId%7)%8) "
               "SELECT m.k, e.MHId, w.TypeMHId, sum(e.Visuel), count(e.Visuel) FROM m CROSS JOIN "
               "tblMHEval e ON e.TraitementId = m.t JOIN ListedesMauvaisesHerbes w ON w.MHId = "
               "e.MHId GROUP BY m.k, e.MHId")
        .arg(windowColumns.join(QLatin1Char(',')), windows.join(QLatin1Char(',')))
        .arg(herbicides[0].id)
        .arg(periodAndSize(QStringLiteral("a"), p.SelectedApplicationType, n), others, site, crop,
             stage);
}

ReportFigures readReportFigures(Connection& db, const QString& statement) {
    ReportFigures figures;
    const QVector<int>& weeds = ReportStatements::standardWeeds();
    const QVector<int>& categories = ReportStatements::reportedCategories();
    Statement rows(db, statement);
    while (rows.step()) {
        const int k = rows.value(0).toInt();
        if (k < 0 || k >= 5)
            continue;
        const int weed = rows.value(1).toInt();
        const QVariant category = rows.value(2);
        const double sum = rows.value(3).toDouble();
        const long long rated = rows.value(4).toLongLong();
        if (weeds.contains(weed))
            figures.perWeed[k][weed] = {sum, rated};
        if (!category.isNull() && categories.contains(category.toInt())) {
            ReportFigures::Group& g = figures.perCategory[k][category.toInt()];
            g.sum += sum;
            g.rated += rated;
        }
    }
    return figures;
}

std::string compareWithTable(const ReportFigures& figures, const ReferenceReport& table) {
    if (figures.totalCases() != table.TotalCases)
        return "total of cases " + std::to_string(figures.totalCases()) + " against " +
               std::to_string(table.TotalCases);
    // The weeds' pairs, then the categories', into every row of their id, as the table has them.
    for (const ResultsRow& row : table.rows) {
        if (!row.ResultsId)
            continue;
        const int id = int(*row.ResultsId);
        for (int k = 0; k < 5; ++k) {
            const ReportFigures::Group* g = nullptr;
            if (const auto it = figures.perCategory[k].find(id); it != figures.perCategory[k].end())
                g = &it->second;
            else if (const auto w = figures.perWeed[k].find(id); w != figures.perWeed[k].end())
                g = &w->second;
            if (!g)
                continue;
            const std::optional<QString> mean =
                g->rated ? std::optional<QString>(QString::number(
                               static_cast<long long>(std::trunc(g->sum / double(g->rated)))))
                         : std::nullopt;
            if (row.cells[2 * k] != mean || row.cells[2 * k + 1] != QString::number(g->rated))
                return "row " + std::to_string(row.NoId) + ", fraction " + std::to_string(k);
        }
    }
    return {};
}

QString listStatement(const ListCase& c) {
    QString holding;
    QStringList rates;
    QString joins;
    for (int k = 0; k < c.chosen.size(); ++k) {
        if (c.kind == ListCase::Kind::RatePicker) {
            joins += QStringLiteral(" CROSS JOIN tblDétailsHerbicides h%1 ON h%1.DateHerbId = "
                                    "a.DateHerbId AND h%1.HerbicideId = %2")
                         .arg(k)
                         .arg(c.chosen[k].id);
            rates << QStringLiteral("h%1.HerbTauxH AS Taux%2").arg(k).arg(k + 1);
        } else {
            holding += QStringLiteral(" AND EXISTS (SELECT 1 FROM tblDétailsHerbicides h%1 WHERE "
                                      "h%1.DateHerbId = a.DateHerbId AND h%1.HerbicideId = %2)")
                           .arg(k)
                           .arg(c.chosen[k].id);
        }
    }
    const QString where = periodAndSize(QStringLiteral("a"), c.period, c.herbicideCount);
    if (c.kind == ListCase::Kind::RatePicker) {
        QStringList order;
        for (int k = 1; k <= c.chosen.size(); ++k)
            order << QString::number(k);
        return QStringLiteral("SELECT DISTINCT %1 FROM tblPériodesApplication a%2 WHERE %3 ORDER "
                              "BY %4")
            .arg(rates.join(QStringLiteral(", ")), joins, where, order.join(QStringLiteral(", ")));
    }
    return QStringLiteral(
               "SELECT d.HerbicideId AS tblId, l.Herbicide AS tblField FROM "
               "tblPériodesApplication a CROSS JOIN tblDétailsHerbicides d ON d.DateHerbId = "
               "a.DateHerbId JOIN ListeDesHerbicides l ON l.HerbicideId = d.HerbicideId WHERE "
               "%1%2 GROUP BY d.HerbicideId, l.Herbicide ORDER BY l.Herbicide")
        .arg(where, holding);
}

} // namespace grelavo::bench
