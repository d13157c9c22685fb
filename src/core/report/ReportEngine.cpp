#include "ReportEngine.h"

#include "InputCheck.h"
#include "NumberText.h"
#include "ReportStatements.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DataAccess.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DbError.h"
#include "core/db/Statement.h"
#include "core/db/Transaction.h"

#include <QLoggingCategory>
#include <QMap>
#include <QSet>
#include <cmath>
#include <optional>

namespace grelavo {

Q_LOGGING_CATEGORY(lcReport, "grelavo.report")

namespace {

void call(const std::function<void()>& f) {
    if (f)
        f();
}

// While it lives, statements prepared on the connection use only the file's own indexes.
class AutomaticIndexesOff {
public:
    explicit AutomaticIndexesOff(Connection& db) : m_db(db) {
        m_db.executeScript(QStringLiteral("PRAGMA automatic_index = 0"));
    }
    ~AutomaticIndexesOff() {
        try {
            m_db.executeScript(QStringLiteral("PRAGMA automatic_index = 1"));
        } catch (const DbError& e) {
            qCWarning(lcReport) << "automatic indexes left off:" << e.message();
        }
    }
    AutomaticIndexesOff(const AutomaticIndexesOff&) = delete;
    AutomaticIndexesOff& operator=(const AutomaticIndexesOff&) = delete;

private:
    Connection& m_db;
};

// A formulation is a condition only when an item of its list is chosen.
std::optional<int> formulationOf(const ParameterSet& p, int row) {
    return p.cbbFormApp[row].isEntered() ? p.cbbFormApp[row].itemData : std::nullopt;
}

} // namespace

ReportEngine::ReportEngine(DE& de, const QLocale& locale) : m_de(de), m_locale(locale) {}

double ReportEngine::fractionCentre(int k) {
    static const double centres[Fractions] = {0.5, 0.6, 0.7, 0.8, 1.0};
    return centres[k];
}

float ReportEngine::LowFactor(int k, int rateInterval) {
    return static_cast<float>(fractionCentre(k) - rateInterval / 100.0);
}

float ReportEngine::HighFactor(int k, int rateInterval) {
    return static_cast<float>(fractionCentre(k) + rateInterval / 100.0);
}

std::optional<QString> ReportEngine::bound(const QString& text, const char* what) {
    const std::optional<double> value = NumberText::parse(text, m_locale);
    if (!value) {
        m_refusal = QStringLiteral("%1: «\u00a0%2\u00a0» n'est pas un nombre")
                        .arg(QString::fromUtf8(what), text);
        return std::nullopt;
    }
    return NumberText::forStatement(*value);
}

std::optional<QStringList> ReportEngine::treatmentConditions(const ParameterSet& p) {
    const bool allCorn = p.isAllCorn();
    if (!allCorn && !p.cbbCult.itemData) {
        m_refusal = QStringLiteral("culture\u00a0: «\u00a0%1\u00a0» n'est pas dans la liste")
                        .arg(p.cbbCult.text);
        return std::nullopt;
    }
    const int crop = p.cbbCult.itemData.value_or(0);
    QStringList conditions{ReportStatements::cropCondition(allCorn, crop)};
    auto addId = [&](const Choice& choice, const char* column) {
        if (choice.isEntered() && choice.itemData)
            conditions << ReportStatements::idCondition(QString::fromUtf8(column),
                                                        *choice.itemData);
    };
    auto addRange = [&](const QString& low, const QString& high, const char* column,
                        const char* label) {
        const std::optional<QString> a = bound(low, label);
        const std::optional<QString> b = bound(high, label);
        if (!a || !b)
            return false;
        conditions << ReportStatements::rangeCondition(QString::fromUtf8(column), *a, *b);
        return true;
    };

    addId(p.cbbSiteClaTex, "tbldesSites.ClasseTexturaleId");
    if (!p.cbbSiteMatOrgDe.isEmpty() &&
        !addRange(p.cbbSiteMatOrgDe, p.cbbSiteMatOrgA, "tbldesSites.MatièreOrganique",
                  "matière organique"))
        return std::nullopt;
    if (!p.cbbSitepHDe.isEmpty() && !addRange(p.cbbSitepHDe, p.cbbSitepHA, "tbldesSites.pH", "pH"))
        return std::nullopt;
    addId(p.cbbSiteProv, "tbldesSites.ProvinceID");
    addId(p.cbbCultVar, "tblCultureEXP.VariétéId");
    addId(p.cbbCultAnte, "tblCultureEXP.AntécédentID");
    if (!p.txtCultSemisA.isEmpty() &&
        !addRange(p.txtCultSemisDe, p.txtCultSemisA,
                  p.optKg ? "tblCultureEXP.TauxSemisKg" : "tblCultureEXP.TauxSemisSe",
                  "taux de semis"))
        return std::nullopt;
    if (p.stageRangeEntered()) {
        const bool ok =
            p.optHaut ? addRange(p.txtCultHautDe, p.txtCultHautA,
                                 "tblStadeCultureH.HautMoyenneCultH", "hauteur")
                      : addRange(p.txtCultFeuilDe, p.txtCultFeuilA,
                                 "tblStadeCultureH.NoFeuilMoyenneCultH", "nombre de feuilles");
        if (!ok)
            return std::nullopt;
        conditions << ReportStatements::stageCropCondition(allCorn, crop);
    }
    if (!p.cbbCultProfDe.isEmpty() &&
        !addRange(p.cbbCultProfDe, p.cbbCultProfA, "tblCultureEXP.ProfPlantEXP", "profondeur"))
        return std::nullopt;
    if (p.cbbCultEcart.isEntered() && p.cbbCultEcart.itemData)
        if (const auto spacing = ReportStatements::rowSpacingCondition(*p.cbbCultEcart.itemData))
            conditions << *spacing;
    return conditions;
}

std::optional<ReportEngine::Statements> ReportEngine::statementsFor(const ParameterSet& p,
                                                                    int fraction) {
    m_refusal.clear();
    Statements s;
    const double low = LowFactor(fraction, p.RateInterval);
    const double high = HighFactor(fraction, p.RateInterval);
    int n = 0;
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i) {
        if (!p.cbbHerbApp[i].isEntered())
            continue;
        // The mixture statement names Herbicide1 to Herbicide n: a gap would bring in a stored
        // query left by an earlier report.
        if (n != i) {
            m_refusal = QStringLiteral("herbicide %1\u00a0: les herbicides se suivent").arg(i + 1);
            return std::nullopt;
        }
        const std::optional<double> rate = NumberText::parseRate(p.EnteredRate[i], m_locale);
        if (!rate) {
            m_refusal = QStringLiteral("taux %1: «\u00a0%2\u00a0» n'est pas un nombre")
                            .arg(i + 1)
                            .arg(p.EnteredRate[i]);
            return std::nullopt;
        }
        // A rate of 0 or less has no fraction; one beyond any herbicide's was typed in another
        // unit: either would only give an empty report.
        if (!InputCheck::isUsableRate(*rate)) {
            m_refusal = QStringLiteral("taux %1\u00a0: %2")
                            .arg(i + 1)
                            .arg(InputCheck::unusableRateMessage());
            return std::nullopt;
        }
        ReportStatements::RateWindow window{NumberText::forStatement(*rate * low),
                                            NumberText::forStatement(*rate * high)};
        DataAccess::CommaToPoint(window.low);
        DataAccess::CommaToPoint(window.high);
        s.herbicide[i] = ReportStatements::herbicideWindow(
            p.SelectedHerbicideId[i], formulationOf(p, i), window.low, window.high);
        s.windows << window;
        ++n;
    }
    if (n == 0) {
        m_refusal = QStringLiteral("aucun herbicide");
        return std::nullopt;
    }
    const std::optional<QStringList> conditions = treatmentConditions(p);
    if (!conditions)
        return std::nullopt;
    s.detailsHerbicides = ReportStatements::detailsHerbicides(n);
    s.detailsApplication = ReportStatements::detailsApplication(p.SelectedApplicationType);
    s.detailsTraitements = ReportStatements::detailsTraitements(*conditions, p.stageRangeEntered());
    DataAccess::CommaToPoint(s.detailsTraitements);
    return s;
}

void ReportEngine::run(const QString& statement) {
    m_de.Connection2().execute(statement);
}

void ReportEngine::ResetResults() {
    for (const QString& statement : ReportStatements::resetResults()) {
        try {
            run(statement);
        } catch (const DbError& e) {
            qCWarning(lcReport) << "reset step skipped:" << e.message();
        }
    }
}

// A fraction's figures as its statements read them: a weed's or a category's id, its mean as
// the report writes it (null when all its ratings are empty) and its count of ratings. The
// values keep the type the database gave them, so the cells hold the very text an update from
// the work tables would write.
struct ReportEngine::FractionFigures {
    struct Group {
        qint64 id = 0;
        QVariant mean;
        QVariant count;
    };
    QVector<Group> weeds; // every weed rated in the matched treatments
    QVector<Group> categories;
};

QVector<int> ReportEngine::addExtraWeeds(const ParameterSet& p) {
    DataAccess data(m_de, DataAccess::Failures::Thrown);
    QVector<int> extra;
    for (const Choice& weed : p.cbbMauvHerb) {
        if (!weed.isEntered() || !weed.itemData || data.IsInResults(weed.text))
            continue;
        extra << *weed.itemData;
        data.AddResultRow(weed.text, *weed.itemData);
    }
    return extra;
}

ReportEngine::FractionFigures ReportEngine::readFigures(int k) {
    // The fraction's ratings are read once: the ratings behind each cell, when gathered, and
    // each weed's and category's sum and count. Fix(Avg()) of whole numbers is the truncated
    // quotient of their exact sum (below 2^53, as SQLite's double sum of integers is exact):
    // the figures are then those the grouping statements give, which read them otherwise.
    struct Sums {
        qint64 sum = 0;
        qint64 count = 0;
    };
    QMap<qint64, Sums> weeds, categories;
    bool whole = true;
    using Type = Statement::Type;
    if (m_gatherDetails)
        m_details.startFraction(k);
    Statement rows(m_de.Connection2(), ReportStatements::fractionRatings(m_gatherDetails));
    // A column that is not a whole number (a file edited outside Grelavo) is read as before,
    // through QVariant's conversion; the figures are then those of the grouping statements.
    const auto id = [&rows](int column, Type type) {
        return type == Type::Integer ? rows.integer(column) : rows.value(column).toLongLong();
    };
    while (rows.step()) {
        const Type weedType = rows.type(0);
        const Type categoryType = rows.type(1);
        const Type visualType = rows.type(2);
        if (weedType != Type::Integer ||
            (categoryType != Type::Null && categoryType != Type::Integer) ||
            (visualType != Type::Null && visualType != Type::Integer)) {
            whole = false;
        }
        const qint64 weed = id(0, weedType);
        Sums& w = weeds[weed];
        const qint64 category = categoryType == Type::Null ? -1 : id(1, categoryType);
        Sums* c = categoryType != Type::Null &&
                          ReportStatements::reportedCategories().contains(int(category))
                      ? &categories[category]
                      : nullptr;
        if (visualType == Type::Null)
            continue;
        const qint64 v = id(2, visualType);
        w.sum += v;
        ++w.count;
        if (c) {
            c->sum += v;
            ++c->count;
        }
        // The ids of the ratings and of the matched treatments and applications are their
        // tables' integer keys; a site's is read as the other columns.
        if (m_gatherDetails)
            m_details.addRating(k,
                                {rows.integer(3), weed, QString(),
                                 visualType == Type::Integer ? int(v) : rows.value(2).toInt(),
                                 rows.integer(4), rows.integer(5), id(6, rows.type(6))},
                                category);
    }
    FractionFigures figures;
    constexpr qint64 exact = qint64(1) << 53;
    const auto groups = [&whole](const QMap<qint64, Sums>& sums,
                                 QVector<FractionFigures::Group>& out) {
        for (auto it = sums.cbegin(); it != sums.cend(); ++it) {
            if (it->sum >= exact || it->sum <= -exact)
                whole = false;
            const QVariant mean =
                it->count ? QVariant(qlonglong(std::trunc(double(it->sum) / double(it->count))))
                          : QVariant();
            out.append({it.key(), mean, QVariant(qlonglong(it->count))});
        }
    };
    groups(weeds, figures.weeds);
    groups(categories, figures.categories);
    return whole ? figures : groupedFigures();
}

ReportEngine::FractionFigures ReportEngine::groupedFigures() {
    FractionFigures figures;
    const auto read = [this](const QString& sql, QVector<FractionFigures::Group>& out) {
        Statement grouped(m_de.Connection2(), sql);
        while (grouped.step())
            out.append({grouped.value(0).toLongLong(), grouped.value(1), grouped.value(2)});
    };
    read(ReportStatements::fractionWeeds(), figures.weeds);
    read(ReportStatements::fractionCategories(), figures.categories);
    return figures;
}

bool ReportEngine::SetQuery(const ParameterSet& p, const ReportHooks& hooks) {
    m_failure.clear();
    std::array<Statements, Fractions> fractions;
    for (int k = 0; k < Fractions; ++k) {
        std::optional<Statements> s = statementsFor(p, k);
        if (!s)
            return false;
        fractions[k] = *s;
    }
    call(hooks.started);

    m_totalCases = 0;
    m_fractionEmpty.fill(true);
    m_noDataFound = true;
    m_details.clear();
    try {
        runFractions(p, fractions, hooks);
        if (m_gatherDetails)
            m_details.assign(ResultsTable::read(m_de.Connection2()));
    } catch (const DbError& e) {
        // A step that failed: the report stops and says why; nothing of it was written, the
        // file keeps the previous report.
        m_failure = DatabaseCheck::causeInWords(e);
        m_details.clear();
        qCWarning(lcReport) << "report stopped:" << e.message();
        m_totalCases = 0;
    }
    if (m_failure.isEmpty()) {
        for (bool empty : m_fractionEmpty)
            m_noDataFound = m_noDataFound && empty;
        call(hooks.pause);
    }
    call(hooks.finished);
    return m_failure.isEmpty();
}

void ReportEngine::gatherApplications(const ParameterSet& p,
                                      const std::array<Statements, Fractions>& fractions) {
    // Each herbicide's rows in a window that holds its every fraction's: from the lowest low
    // bound to the highest high bound, as the statements write them.
    const auto value = [](const QString& bound) { return bound.toDouble(); };
    QStringList herbicides;
    QVector<ReportStatements::RateWindow> hull;
    ReportStatements::FractionWindows windows;
    for (const Statements& s : fractions)
        windows << s.windows;
    for (int i = 0; i < fractions[0].windows.size(); ++i) {
        ReportStatements::RateWindow all = fractions[0].windows[i];
        for (const Statements& s : fractions) {
            if (value(s.windows[i].low) < value(all.low))
                all.low = s.windows[i].low;
            if (value(s.windows[i].high) > value(all.high))
                all.high = s.windows[i].high;
        }
        hull << all;
        herbicides << ReportStatements::herbicideWindow(p.SelectedHerbicideId[i],
                                                        formulationOf(p, i), all.low, all.high);
    }
    Connection& db = m_de.Connection2();
    // The mixture's statement starts from the herbicide with the fewest rows in its windows:
    // each of its rows is looked up in the others, and counting rows in an index is far
    // cheaper than that. A count stops at the fewest found so far.
    int leader = 0;
    int fewest = 20000;
    for (int i = 0; herbicides.size() > 1 && i < herbicides.size(); ++i) {
        Statement count(db,
                        ReportStatements::rowsInWindow(p.SelectedHerbicideId[i], hull[i], fewest));
        if (count.step() && count.value(0).toInt() < fewest) {
            fewest = count.value(0).toInt();
            leader = i;
        }
    }
    db.executeScript(ReportStatements::clearApplications());
    db.executeScript(
        ReportStatements::fillApplications(herbicides, leader, p.SelectedApplicationType, windows));
    db.executeScript(ReportStatements::keepTreatedApplications(fractions[0].detailsTraitements,
                                                               p.SelectedApplicationType));
}

void ReportEngine::runFractions(const ParameterSet& p,
                                const std::array<Statements, Fractions>& fractions,
                                const ReportHooks& hooks) {
    // The file is only read until every fraction is: the applications that match the report
    // whatever the rates, then for each fraction its matched treatments and their ratings go to
    // temporary tables, from which its figures (and the ratings behind them) are read. Nothing
    // is written to the file until then, and then in one transaction: a report that stops
    // leaves the file as it was.
    Connection& db = m_de.Connection2();
    for (const QString& statement : ReportStatements::createMatched())
        db.executeScript(statement);
    // The statements join the temporary tables on their keys. A file made before the ratings'
    // covering index has only the treatment's: the planner would rather build an index of every
    // rating, or of the file's treatments, than read the few rows matched. Indexes are left to
    // the planner again before the window's events run.
    std::optional<AutomaticIndexesOff> off(std::in_place, db);
    if (m_gatherDetails)
        m_details.readWeedNames(db);
    gatherApplications(p, fractions);
    std::array<FractionFigures, Fractions> figures;
    int progress = 0;
    for (int k = 0; k < Fractions; ++k) {
        if (!off)
            off.emplace(db);
        for (const QString& statement : ReportStatements::clearMatched())
            db.executeScript(statement);
        db.executeScript(ReportStatements::fillMatched(fractions[k].windows));
        db.executeScript(ReportStatements::fillRatings());
        figures[k] = readFigures(k);
        off.reset();
        progress += 20;
        if (hooks.progressed)
            hooks.progressed(progress);
        call(hooks.letEventsRun);
    }
    writeReport(p, fractions, figures);
}

void ReportEngine::writeReport(const ParameterSet& p,
                               const std::array<Statements, Fractions>& fractions,
                               const std::array<FractionFigures, Fractions>& figures) {
    Connection& db = m_de.Connection2();
    Transaction transaction(db);
    for (const QString& statement : ReportStatements::resetResults())
        run(statement);
    const QVector<int> extra = addExtraWeeds(p);
    QSet<qint64> weedList;
    for (int id : ReportStatements::standardWeeds() + extra)
        weedList.insert(id);

    // The stored queries as the last fraction left them.
    const Statements& last = fractions[Fractions - 1];
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i)
        if (!last.herbicide[i].isEmpty())
            db.redefineView(QStringLiteral("Herbicide%1").arg(i + 1), last.herbicide[i]);
    db.redefineView(QStringLiteral("DétailsHerbicides"), last.detailsHerbicides);
    db.redefineView(QStringLiteral("DétailsApplication"), last.detailsApplication);
    db.redefineView(QStringLiteral("DétailsTraitements"), last.detailsTraitements);
    // The work tables of the last fraction, whose ratings are still in place.
    DataAccess(m_de, DataAccess::Failures::Thrown).DropWorkTables();
    run(ReportStatements::perWeed(extra));
    run(ReportStatements::perCategory());

    qint64 total = 0;
    std::array<bool, Fractions> empty{};
    for (int k = 0; k < Fractions; ++k) {
        Statement update(db, ReportStatements::cellUpdate(k));
        const auto write = [&update](const FractionFigures::Group& g) {
            update.bind(1, g.mean);
            update.bind(2, g.count);
            update.bind(3, g.id);
            update.step();
            update.reset();
        };
        QSet<qint64> weeds, categories;
        // The weeds first: a category whose id is also a listed weed's takes the row.
        for (const FractionFigures::Group& g : figures[k].weeds) {
            if (!weedList.contains(g.id))
                continue;
            write(g);
            weeds.insert(g.id);
        }
        for (const FractionFigures::Group& g : figures[k].categories) {
            write(g);
            categories.insert(g.id);
            total += g.count.toLongLong();
        }
        empty[k] = weeds.isEmpty();
        if (m_gatherDetails)
            m_details.setGroups(k, weeds, categories);
    }
    transaction.commit();
    m_fractionEmpty = empty;
    m_totalCases = qint32(total);
}

QStringList ReportEngine::Set_ParamList(const ParameterSet& p) {
    QStringList lines;
    if (p.cbbApp.isEntered())
        lines << QStringLiteral("Type d'application = ") + p.cbbApp.text;
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i)
        if (p.cbbHerbApp[i].isEntered())
            lines << QStringLiteral("Herbicide %1 = %2, Taux = %3 kg/ha")
                         .arg(i + 1)
                         .arg(p.cbbHerbApp[i].text, p.txtTaux[i]);
    if (p.cbbCultVar.isEntered())
        lines << QStringLiteral("culture = ") + p.cbbCult.text + QStringLiteral(", variété = ") +
                     p.cbbCultVar.text;
    else if (p.isAllCorn())
        lines << QStringLiteral("Culture = ") + ParameterSet::AllCornName;
    else
        lines << QStringLiteral("Culture = ") + p.cbbCult.text;
    if (!p.txtCultHautDe.isEmpty() || !p.txtCultFeuilDe.isEmpty()) {
        if (p.optHaut)
            lines << QStringLiteral("Hauteur de la culture\u00a0: entre ") + p.txtCultHautDe +
                         QStringLiteral(" et ") + p.txtCultHautA + QStringLiteral(" cm");
        else
            lines << QStringLiteral("Culture\u00a0: entre ") + p.txtCultFeuilDe +
                         QStringLiteral(" et ") + p.txtCultFeuilA + QStringLiteral(" feuilles");
    }
    if (p.cbbCultAnte.isEntered())
        lines << QStringLiteral("Antécédent cultural = ") + p.cbbCultAnte.text;
    if (!p.cbbCultProfDe.isEmpty())
        lines << QStringLiteral("Profondeur du semis\u00a0: entre ") + p.cbbCultProfDe +
                     QStringLiteral(" et ") + p.cbbCultProfA + QStringLiteral(" cm");
    if (!p.txtCultSemisDe.isEmpty())
        lines << QStringLiteral("Taux de semis\u00a0: entre ") + p.txtCultSemisDe +
                     QStringLiteral(" et ") + p.txtCultSemisA +
                     (p.optKg ? QStringLiteral(" kg/ha") : QStringLiteral(" grains/ha"));
    if (p.cbbCultEcart.isEntered())
        lines << QStringLiteral("Écart entre les rangs\u00a0: ") + p.cbbCultEcart.text +
                     QStringLiteral(" cm");
    if (p.cbbSiteProv.isEntered())
        lines << QStringLiteral("Province = ") + p.cbbSiteProv.text;
    if (p.cbbSiteClaTex.isEntered())
        lines << QStringLiteral("Classe texturale = ") + p.cbbSiteClaTex.text;
    if (!p.cbbSitepHDe.isEmpty())
        lines << QStringLiteral("pH\u00a0: entre ") + p.cbbSitepHDe + QStringLiteral(" et ") +
                     p.cbbSitepHA;
    if (!p.cbbSiteMatOrgDe.isEmpty())
        lines << QStringLiteral("Matière organique\u00a0: entre ") + p.cbbSiteMatOrgDe +
                     QStringLiteral(" et ") + p.cbbSiteMatOrgA + QStringLiteral(" %");
    return lines;
}

} // namespace grelavo
