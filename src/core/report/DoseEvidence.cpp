#include "DoseEvidence.h"

#include "NumberText.h"
#include "core/db/Statement.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <optional>

namespace grelavo {

namespace {

struct Entered {
    qint64 herbicideId = 0;
    std::optional<qint64> formulation;
    double rate = 0;
};

struct Product {
    qint64 herbicideId = 0;
    qint64 formulation = 0;
    double rate = 0;
};

struct Application {
    qint64 treatmentId = 0;
    qint64 siteId = 0;
    QVector<Product> products;
};

// Ids read from the database, never typed: written into statements in groups, so that a
// statement stays short at any size of the file.
constexpr int kIdsPerStatement = 500;

// A column read as QVariant's conversions read it, without a QVariant for the usual values:
// whole numbers for a key, numbers for a rate. Anything else (a file edited outside Grelavo)
// still goes through QVariant, which rounds a real where SQLite would truncate it.
qint64 key(const Statement& rows, int column) {
    return rows.type(column) == Statement::Type::Integer ? rows.integer(column)
                                                         : rows.value(column).toLongLong();
}

double number(const Statement& rows, int column) {
    const Statement::Type type = rows.type(column);
    return type == Statement::Type::Real || type == Statement::Type::Integer
               ? rows.real(column)
               : rows.value(column).toDouble();
}

QString idList(const QVector<qint64>& ids, int from) {
    QStringList out;
    for (int i = from; i < std::min<int>(from + kIdsPerStatement, ids.size()); ++i)
        out << QString::number(ids[i]);
    return out.join(QLatin1Char(','));
}

QString where(const QStringList& conditions) {
    return conditions.isEmpty() ? QString()
                                : QStringLiteral(" AND (") +
                                      conditions.join(QStringLiteral(" And ")) + QLatin1Char(')');
}

// The applications at the period, of a treatment whose crop, site and stage meet the conditions,
// that hold the first entered herbicide (the rest is checked on their products).
QString matchingApplications(int period, qint64 firstHerbicide, const QStringList& conditions,
                             bool withStage) {
    const QString applications = QStringLiteral(
        "(tbldesTraitements INNER JOIN tblPériodesApplication ON tbldesTraitements.TraitementId = "
        "tblPériodesApplication.TraitementId)");
    const QString treated = withStage
                                ? QStringLiteral("(tblStadeCultureH INNER JOIN ") + applications +
                                      QStringLiteral(" ON tblStadeCultureH.DateHerbId = "
                                                     "tblPériodesApplication.DateHerbId)")
                                : applications;
    return QStringLiteral(
               "SELECT tblPériodesApplication.DateHerbId FROM (tbldesSites INNER JOIN ") +
           treated +
           QStringLiteral(
               " ON tbldesSites.SiteExpId = tbldesTraitements.SiteExpId) INNER JOIN "
               "tblCultureEXP ON tbldesTraitements.TraitementId = "
               "tblCultureEXP.TraitementId WHERE tblPériodesApplication.TypeApplicationId"
               " = %1 AND tblPériodesApplication.DateHerbId IN (SELECT DateHerbId FROM "
               "tblDétailsHerbicides WHERE HerbicideId = %2)")
               .arg(period)
               .arg(firstHerbicide) +
           where(conditions);
}

// The products of an application are the entered mixture (each herbicide once, in its chosen
// formulation): the dose as a fraction of the entered rates, when the rates are in proportion.
struct Match {
    bool mixture = false;
    std::optional<double> fraction;
};

Match match(const Application& a, const QVector<Entered>& entered, double tolerance) {
    Match m;
    if (a.products.size() != entered.size())
        return m;
    double lowest = HUGE_VAL;
    double highest = -HUGE_VAL;
    for (const Entered& e : entered) {
        int found = 0;
        for (const Product& p : a.products) {
            if (p.herbicideId != e.herbicideId)
                continue;
            if (e.formulation && p.formulation != *e.formulation)
                return m;
            ++found;
            lowest = std::min(lowest, p.rate / e.rate);
            highest = std::max(highest, p.rate / e.rate);
        }
        if (found != 1)
            return m;
    }
    m.mixture = true;
    // A little room for the rates' rounding (three significant digits in the files).
    if (lowest > 0 && highest - lowest <= 2 * tolerance + 1e-9)
        m.fraction = (lowest + highest) / 2;
    return m;
}

// How many applications each treatment has, at any period.
QHash<qint64, int> applicationCounts(Connection& db, QVector<qint64> treatments) {
    std::sort(treatments.begin(), treatments.end());
    QHash<qint64, int> out;
    for (int from = 0; from < treatments.size(); from += kIdsPerStatement) {
        Statement rows(db, QStringLiteral("SELECT TraitementId, count(*) FROM "
                                          "tblPériodesApplication WHERE TraitementId IN (") +
                               idList(treatments, from) +
                               QStringLiteral(") GROUP BY TraitementId"));
        while (rows.step())
            out.insert(rows.value(0).toLongLong(), rows.value(1).toInt());
    }
    return out;
}

void readRatings(Connection& db, const QVector<qint64>& treatments,
                 const QHash<qint64, std::pair<qint64, double>>& doseOf,
                 QVector<EvidenceRating>& out) {
    for (int from = 0; from < treatments.size(); from += kIdsPerStatement) {
        Statement rows(db, QStringLiteral("SELECT e.MHEvalId, e.TraitementId, e.MHId, m.TypeMHId, "
                                          "e.Visuel FROM tblMHEval e INNER JOIN "
                                          "ListedesMauvaisesHerbes m ON m.MHId = e.MHId WHERE "
                                          "e.Visuel IS NOT NULL AND e.TraitementId IN (") +
                               idList(treatments, from) + QStringLiteral(")"));
        // The rating, the treatment and the weed are integer keys, each matched to one.
        while (rows.step()) {
            EvidenceRating r;
            r.ratingId = rows.integer(0);
            r.treatmentId = rows.integer(1);
            r.weedId = rows.integer(2);
            r.category = rows.isNull(3) ? -1 : key(rows, 3);
            r.visual = rows.type(4) == Statement::Type::Integer ? int(rows.integer(4))
                                                                : rows.value(4).toInt();
            const auto& [site, fraction] = doseOf.value(r.treatmentId);
            r.siteId = site;
            r.fraction = fraction;
            out << r;
        }
    }
}

// The mixture entered: each herbicide row's herbicide, formulation and rate; empty when a rate
// is not a number above 0 (no dose can be a fraction of it).
QVector<Entered> enteredMixture(const ParameterSet& p, const QLocale& locale) {
    QVector<Entered> entered;
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i) {
        if (!p.cbbHerbApp[i].isEntered())
            continue;
        const std::optional<double> rate = NumberText::parseRate(p.EnteredRate[i], locale);
        if (!rate || !(*rate > 0) || !std::isfinite(*rate))
            return {}; // no dose can be a fraction of it
        Entered e{p.SelectedHerbicideId[i], std::nullopt, *rate};
        if (p.cbbFormApp[i].isEntered() && p.cbbFormApp[i].itemData)
            e.formulation = *p.cbbFormApp[i].itemData;
        entered << e;
    }
    return entered;
}

// The applications that may be of the mixture, with their products, in the order of their ids.
struct Applications {
    QHash<qint64, Application> byId;
    QVector<qint64> order;
};

Applications readApplications(Connection& db, const ParameterSet& p,
                              const QVector<Entered>& entered, const QStringList& conditions) {
    Applications out;
    Statement rows(db,
                   QStringLiteral("SELECT a.DateHerbId, a.TraitementId, t.SiteExpId, "
                                  "h.HerbicideId, h.FormulationId, h.HerbTauxH FROM "
                                  "(tblPériodesApplication a INNER JOIN tbldesTraitements "
                                  "t ON t.TraitementId = a.TraitementId) INNER JOIN "
                                  "tblDétailsHerbicides h ON h.DateHerbId = a.DateHerbId "
                                  "WHERE a.DateHerbId IN (") +
                       matchingApplications(p.SelectedApplicationType, entered.first().herbicideId,
                                            conditions, p.stageRangeEntered()) +
                       QStringLiteral(") ORDER BY a.DateHerbId"));
    while (rows.step()) {
        const qint64 id = rows.integer(0); // the applications' own key
        if (!out.byId.contains(id))
            out.order << id;
        Application& a = out.byId[id];
        a.treatmentId = key(rows, 1);
        a.siteId = key(rows, 2);
        a.products << Product{key(rows, 3), key(rows, 4), number(rows, 5)};
    }
    return out;
}

// The untreated checks of the trials (sorted), each entered in doseOf at dose 0.
QVector<qint64> untreatedChecks(Connection& db, const QVector<qint64>& siteList,
                                const QStringList& checkConditions,
                                QHash<qint64, std::pair<qint64, double>>& doseOf) {
    QVector<qint64> checks;
    for (int from = 0; from < siteList.size(); from += kIdsPerStatement) {
        Statement rows(
            db,
            QStringLiteral(
                "SELECT DISTINCT tbldesTraitements.TraitementId, tbldesTraitements.SiteExpId FROM "
                "(tbldesSites INNER JOIN tbldesTraitements ON tbldesSites.SiteExpId = "
                "tbldesTraitements.SiteExpId) INNER JOIN tblCultureEXP ON "
                "tbldesTraitements.TraitementId = tblCultureEXP.TraitementId WHERE "
                "tbldesTraitements.SiteExpId IN (") +
                idList(siteList, from) +
                QStringLiteral(") AND NOT EXISTS (SELECT 1 FROM tblPériodesApplication x WHERE "
                               "x.TraitementId = tbldesTraitements.TraitementId)") +
                where(checkConditions));
        while (rows.step()) {
            const qint64 id = rows.value(0).toLongLong();
            checks << id;
            doseOf.insert(id, {rows.value(1).toLongLong(), 0.0});
        }
    }
    std::sort(checks.begin(), checks.end());
    return checks;
}

} // namespace

DoseEvidence DoseEvidence::gather(Connection& db, const ParameterSet& p,
                                  const QStringList& conditions, const QStringList& checkConditions,
                                  const QLocale& locale) {
    DoseEvidence evidence;
    const QVector<Entered> entered = enteredMixture(p, locale);
    if (entered.isEmpty())
        return evidence;

    Applications read = readApplications(db, p, entered, conditions);
    QHash<qint64, Application>& applications = read.byId;
    const QVector<qint64>& order = read.order;

    // One dose per treatment: its one application of the mixture.
    const double tolerance = p.RateInterval / 100.0;
    QHash<qint64, int> mixtureApplications;
    QHash<qint64, std::pair<qint64, double>> doseOf; // treatment → (site, fraction)
    QSet<qint64> outOfProportion;
    for (qint64 id : order) {
        const Application& a = applications[id];
        const Match m = match(a, entered, tolerance);
        if (!m.mixture)
            continue;
        ++mixtureApplications[a.treatmentId];
        if (m.fraction)
            doseOf.insert(a.treatmentId, {a.siteId, *m.fraction});
        else
            outOfProportion.insert(a.treatmentId);
    }
    const QHash<qint64, int> applied = applicationCounts(db, mixtureApplications.keys());
    QVector<qint64> treated;
    QSet<qint64> sites;
    for (auto it = mixtureApplications.cbegin(); it != mixtureApplications.cend(); ++it) {
        if (it.value() > 1) {
            ++evidence.repeated;
            doseOf.remove(it.key());
        } else if (applied.value(it.key()) > 1) {
            ++evidence.otherApplications;
            doseOf.remove(it.key());
        } else if (outOfProportion.contains(it.key())) {
            ++evidence.outOfProportion;
        } else {
            treated << it.key();
            sites.insert(doseOf.value(it.key()).first);
        }
    }
    std::sort(treated.begin(), treated.end());
    evidence.treatments = int(treated.size());

    // The untreated checks of those trials.
    QVector<qint64> siteList(sites.begin(), sites.end());
    std::sort(siteList.begin(), siteList.end());
    const QVector<qint64> checks = untreatedChecks(db, siteList, checkConditions, doseOf);
    evidence.untreated = int(checks.size());

    readRatings(db, treated + checks, doseOf, evidence.ratings);
    std::sort(
        evidence.ratings.begin(), evidence.ratings.end(),
        [](const EvidenceRating& a, const EvidenceRating& b) { return a.ratingId < b.ratingId; });
    return evidence;
}

} // namespace grelavo
