#include "ReferenceEvaluator.h"

#include "core/db/Connection.h"
#include "core/db/DbError.h"
#include "core/db/Statement.h"
#include "core/report/NumberText.h"
#include "core/report/ReportEngine.h"
#include "core/report/ReportStatements.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sqlite3.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The rules the evaluator applies, those of the report engine:
//
// For each dose fraction k, each entered herbicide i has the window [rate(i) x LowFactor(k),
// rate(i) x HighFactor(k)] (single-precision factors, products in double, bounds included and
// taken as the statement writes them, with 15 significant digits). An application matches when its
// mixture has exactly as many products as there are entered herbicides, each entered herbicide has
// a product of that herbicide (and of the chosen formulation, when one is chosen) inside its
// window, and it was made at the chosen period. A treatment matches when it has a site and a crop
// row, one of its matching applications has a crop-stage row if a stage range is entered (and
// only then), and the site, some crop row and, with a stage range, some stage row of that
// application satisfy every entered condition (each condition names one of these three tables;
// NULL never satisfies a condition).
//
// The ratings of the matching treatments, each rating counted once, give per weed of the
// reported list (the 19 standard weeds, then the extra weeds) and per category 1, 2, 3, 4 and 7
// the mean of the non-null ratings truncated toward zero and their number. The rows of
// tblResults whose ResultsId is the weed's id, then those whose ResultsId is the category's id,
// receive the pair in cells [2k+1] and [2k+2].

namespace grelavo {

namespace {

using Id = qint64;
using OptionalId = std::optional<Id>;
using OptionalReal = std::optional<double>;

const qint64 kUntouchedRows[] = {7, 13, 22, 25, 29, 30};
const qint64 kLastFixedRow = 30;
const QString kLabelIndent = QStringLiteral("     ");
const QString kFreeRowLabel = QStringLiteral("     --------");
const QString kNoValue = QStringLiteral(" - ");

// Reads a whole table with SELECT *, its columns found by name without regard to case.
class TableReader {
public:
    TableReader(Connection& connection, const QString& table)
        : m_statement(connection,
                      QStringLiteral("SELECT * FROM ") + Connection::quoteIdentifier(table)),
          m_table(table) {}

    int column(const QString& name) const {
        for (int c = 0; c < m_statement.columnCount(); ++c)
            if (m_statement.columnName(c).compare(name, Qt::CaseInsensitive) == 0)
                return c;
        throw DbError(SQLITE_ERROR, QStringLiteral("%1 has no column %2").arg(m_table, name));
    }
    bool next() { return m_statement.step(); }

    QVariant value(int column) const { return m_statement.value(column); }
    // A key as the engine compares it with an integer: an integer, or a real without fraction.
    OptionalId id(int column) const {
        const QVariant v = value(column);
        if (v.typeId() == QMetaType::LongLong)
            return v.toLongLong();
        if (v.typeId() == QMetaType::Double && std::trunc(v.toDouble()) == v.toDouble() &&
            std::fabs(v.toDouble()) < 9.2e18)
            return static_cast<Id>(v.toDouble());
        return std::nullopt;
    }
    // A measure; NULL and text (which no numeric condition admits) give nothing.
    OptionalReal real(int column) const {
        const QVariant v = value(column);
        if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double)
            return v.toDouble();
        return std::nullopt;
    }
    std::optional<QString> text(int column) const {
        const QVariant v = value(column);
        if (v.isNull())
            return std::nullopt;
        return v.toString();
    }

private:
    Statement m_statement;
    QString m_table;
};

// A number as a statement carries it: 15 significant digits. A window's bound is thus the
// product rounded that way (1.1 x 0.75 gives 0.825000000000000067, written 0.825).
double asWritten(double v) {
    return QString::number(v, 'g', 15).toDouble();
}

struct Range {
    double low = 0, high = 0;
    bool admits(const OptionalReal& v) const { return v && *v >= low && *v <= high; }
};

bool admitsId(const OptionalId& wanted, const OptionalId& v) {
    return !wanted || (v && *v == *wanted);
}

bool admitsRange(const std::optional<Range>& wanted, const OptionalReal& v) {
    return !wanted || wanted->admits(v);
}

bool isOneOf(const OptionalId& v, const std::vector<Id>& ids) {
    return v && std::find(ids.begin(), ids.end(), *v) != ids.end();
}

// Row-spacing classes 0 to 4: 60-70, 70-80, 80-90, above 90, 100 and more.
bool rowSpacingAdmits(int rowClass, const OptionalReal& spacing) {
    if (!spacing)
        return false;
    switch (rowClass) {
    case 0:
    case 1:
    case 2:
        return *spacing >= 60 + 10 * rowClass && *spacing <= 70 + 10 * rowClass;
    case 3:
        return *spacing > 90;
    default:
        return *spacing >= 100;
    }
}

// The number pair of one group of ratings. Ratings are whole percentages, so their sum is
// exact and the mean is the one the engine computes.
struct Group {
    int rated = 0; // non-null ratings
    double sum = 0;

    void add(const OptionalReal& visual) {
        if (visual) {
            ++rated;
            sum += *visual;
        }
    }
    std::optional<QString> meanText() const {
        if (rated == 0)
            return std::nullopt;
        return QString::number(static_cast<qint64>(std::trunc(sum / rated)));
    }
};

} // namespace

struct ReferenceEvaluator::Tables {
    struct Product {
        Id dateHerbId = 0;
        Id herbicideId = 0;
        OptionalId formulationId;
        OptionalReal rate;
    };
    struct Application {
        Id traitementId = 0;
        OptionalId period;
    };
    struct Site {
        OptionalId province, texture;
        OptionalReal organicMatter, pH;
    };
    struct Crop {
        OptionalId crop, variety, previousCrop;
        OptionalReal sowingKg, sowingGrains, depth, rowSpacing;
    };
    struct Stage {
        OptionalId crop;
        OptionalReal height, leaves;
    };
    struct Rating {
        Id weedId = 0;
        OptionalId category;
        OptionalReal visual;
    };

    std::unordered_map<Id, Application> applications;           // by DateHerbId
    std::unordered_map<Id, std::vector<Product>> mixtures;      // by DateHerbId
    std::unordered_map<Id, std::vector<Product>> ratedProducts; // by HerbicideId, by rate
    std::unordered_map<Id, std::vector<Stage>> stages;          // by DateHerbId
    std::unordered_map<Id, OptionalId> treatmentSites;          // SiteExpId by TraitementId
    std::unordered_map<Id, Site> sites;                         // by SiteExpId
    std::unordered_map<Id, std::vector<Crop>> crops;            // by TraitementId
    std::unordered_map<Id, std::vector<Rating>> ratings;        // by TraitementId
    QVector<ResultsRow> results;

    explicit Tables(Connection& db) {
        loadProducts(db);
        loadApplications(db);
        loadTreatmentsAndSites(db);
        loadCrops(db);
        loadStages(db);
        loadRatings(db);
        results = ResultsTable::read(db);
    }

    void loadProducts(Connection& db) {
        TableReader t(db, QStringLiteral("tblDétailsHerbicides"));
        const int date = t.column(QStringLiteral("DateHerbId")),
                  herbicide = t.column(QStringLiteral("HerbicideId")),
                  formulation = t.column(QStringLiteral("FormulationId")),
                  rate = t.column(QStringLiteral("HerbTauxH"));
        while (t.next()) {
            const OptionalId d = t.id(date), h = t.id(herbicide);
            if (!d || !h)
                continue; // joins on NULL keys find nothing
            const Product p{*d, *h, t.id(formulation), t.real(rate)};
            mixtures[*d].push_back(p);
            if (p.rate)
                ratedProducts[*h].push_back(p);
        }
        for (auto& [herbicideId, products] : ratedProducts)
            std::sort(products.begin(), products.end(),
                      [](const Product& a, const Product& b) { return *a.rate < *b.rate; });
    }

    void loadApplications(Connection& db) {
        TableReader t(db, QStringLiteral("tblPériodesApplication"));
        const int date = t.column(QStringLiteral("DateHerbId")),
                  treatment = t.column(QStringLiteral("TraitementId")),
                  period = t.column(QStringLiteral("TypeApplicationId"));
        while (t.next())
            if (const OptionalId d = t.id(date), tr = t.id(treatment); d && tr)
                applications[*d] = {*tr, t.id(period)};
    }

    void loadTreatmentsAndSites(Connection& db) {
        TableReader t(db, QStringLiteral("tbldesTraitements"));
        const int treatment = t.column(QStringLiteral("TraitementId")),
                  site = t.column(QStringLiteral("SiteExpId"));
        while (t.next())
            if (const OptionalId tr = t.id(treatment))
                treatmentSites[*tr] = t.id(site);

        TableReader s(db, QStringLiteral("tbldesSites"));
        const int id = s.column(QStringLiteral("SiteExpId")),
                  province = s.column(QStringLiteral("ProvinceID")),
                  texture = s.column(QStringLiteral("ClasseTexturaleId")),
                  organicMatter = s.column(QStringLiteral("MatièreOrganique")),
                  pH = s.column(QStringLiteral("pH"));
        while (s.next())
            if (const OptionalId key = s.id(id))
                sites[*key] = {s.id(province), s.id(texture), s.real(organicMatter), s.real(pH)};
    }

    void loadCrops(Connection& db) {
        TableReader t(db, QStringLiteral("tblCultureEXP"));
        const int treatment = t.column(QStringLiteral("TraitementId")),
                  crop = t.column(QStringLiteral("CultureId")),
                  variety = t.column(QStringLiteral("VariétéId")),
                  previous = t.column(QStringLiteral("AntécédentID")),
                  kg = t.column(QStringLiteral("TauxSemisKg")),
                  grains = t.column(QStringLiteral("TauxSemisSe")),
                  depth = t.column(QStringLiteral("ProfPlantEXP")),
                  spacing = t.column(QStringLiteral("EcartPLantEXP"));
        while (t.next())
            if (const OptionalId tr = t.id(treatment))
                crops[*tr].push_back({t.id(crop), t.id(variety), t.id(previous), t.real(kg),
                                      t.real(grains), t.real(depth), t.real(spacing)});
    }

    void loadStages(Connection& db) {
        TableReader t(db, QStringLiteral("tblStadeCultureH"));
        const int date = t.column(QStringLiteral("DateHerbId")),
                  crop = t.column(QStringLiteral("CultureId")),
                  height = t.column(QStringLiteral("HautMoyenneCultH")),
                  leaves = t.column(QStringLiteral("NoFeuilMoyenneCultH"));
        while (t.next())
            if (const OptionalId d = t.id(date))
                stages[*d].push_back({t.id(crop), t.real(height), t.real(leaves)});
    }

    // Ratings of weeds that are in the weed list (the aggregations join it), each with the
    // weed's category.
    void loadRatings(Connection& db) {
        std::unordered_map<Id, OptionalId> categories;
        TableReader w(db, QStringLiteral("ListedesMauvaisesHerbes"));
        const int weed = w.column(QStringLiteral("MHId")),
                  category = w.column(QStringLiteral("TypeMHId"));
        while (w.next())
            if (const OptionalId key = w.id(weed))
                categories[*key] = w.id(category);

        TableReader t(db, QStringLiteral("tblMHEval"));
        const int treatment = t.column(QStringLiteral("TraitementId")),
                  rated = t.column(QStringLiteral("MHId")),
                  visual = t.column(QStringLiteral("Visuel"));
        while (t.next()) {
            const OptionalId tr = t.id(treatment), mh = t.id(rated);
            if (!tr || !mh)
                continue;
            const auto listed = categories.find(*mh);
            if (listed != categories.end())
                ratings[*tr].push_back({*mh, listed->second, t.real(visual)});
        }
    }
};

// The parameter set as numbers, with the conditions on site, crop row and stage row.
struct ReferenceEvaluator::Request {
    struct Herbicide {
        Id herbicideId = 0;
        OptionalId formulationId;
        double rate = 0;
    };
    std::vector<Herbicide> herbicides;
    Id period = 0;
    int rateInterval = 0;

    std::vector<Id> crops; // the crop row's crop is one of them
    OptionalId texture, province, variety, previousCrop;
    std::optional<Range> organicMatter, pH, depth;
    bool sowingInKg = true;
    std::optional<Range> sowing;
    bool stageAsHeight = false;
    std::optional<Range> stage; // with it, the stage row's crop is one of `crops`
    std::optional<int> rowSpacingClass;

    // Herbicide h's rate window in fraction k, bounds as the statement writes them.
    Range window(const Herbicide& h, int fraction) const {
        return {asWritten(h.rate * ReportEngine::LowFactor(fraction, rateInterval)),
                asWritten(h.rate * ReportEngine::HighFactor(fraction, rateInterval))};
    }

    bool siteAdmits(const Tables::Site& s) const {
        return admitsId(texture, s.texture) && admitsRange(organicMatter, s.organicMatter) &&
               admitsRange(pH, s.pH) && admitsId(province, s.province);
    }
    bool cropAdmits(const Tables::Crop& c) const {
        return isOneOf(c.crop, crops) && admitsId(variety, c.variety) &&
               admitsId(previousCrop, c.previousCrop) &&
               admitsRange(sowing, sowingInKg ? c.sowingKg : c.sowingGrains) &&
               admitsRange(depth, c.depth) &&
               (!rowSpacingClass || rowSpacingAdmits(*rowSpacingClass, c.rowSpacing));
    }
    bool stageAdmits(const Tables::Stage& s) const {
        return stage->admits(stageAsHeight ? s.height : s.leaves) && isOneOf(s.crop, crops);
    }
};

// One fraction's pairs, by weed and by category.
struct ReferenceEvaluator::Figures {
    std::map<Id, Group> perWeed;
    std::map<Id, Group> perCategory;
};

ReferenceEvaluator::ReferenceEvaluator(Connection& connection, const QLocale& locale)
    : m_tables(std::make_unique<Tables>(connection)), m_locale(locale) {}

ReferenceEvaluator::~ReferenceEvaluator() = default;

std::optional<ReferenceEvaluator::Request>
ReferenceEvaluator::readRequest(const ParameterSet& p) const {
    Request r;
    bool refused = false;
    auto number = [&](const QString& text) {
        const std::optional<double> v = NumberText::parse(text, m_locale);
        refused = refused || !v;
        return v.value_or(0);
    };
    auto rate = [&](const QString& text) {
        const std::optional<double> v = NumberText::parseRate(text, m_locale);
        refused = refused || !v;
        return v.value_or(0);
    };
    auto range = [&](const QString& low, const QString& high) {
        return Range{asWritten(number(low)), asWritten(number(high))};
    };
    auto id = [](const Choice& c) { return c.isEntered() ? c.itemData : std::nullopt; };

    for (int i = 0; i < ParameterSet::HerbicideRows; ++i) {
        if (!p.cbbHerbApp[i].isEntered())
            continue;
        refused = refused || static_cast<int>(r.herbicides.size()) != i; // rows are filled in order
        r.herbicides.push_back(
            {p.SelectedHerbicideId[i], id(p.cbbFormApp[i]), rate(p.EnteredRate[i])});
    }
    r.period = p.SelectedApplicationType;
    r.rateInterval = p.RateInterval;

    if (p.isAllCorn())
        r.crops.assign(ReportStatements::allCornCrops().begin(),
                       ReportStatements::allCornCrops().end());
    else if (p.cbbCult.itemData)
        r.crops = {*p.cbbCult.itemData};
    r.texture = id(p.cbbSiteClaTex);
    r.province = id(p.cbbSiteProv);
    r.variety = id(p.cbbCultVar);
    r.previousCrop = id(p.cbbCultAnte);
    if (!p.cbbSiteMatOrgDe.isEmpty())
        r.organicMatter = range(p.cbbSiteMatOrgDe, p.cbbSiteMatOrgA);
    if (!p.cbbSitepHDe.isEmpty())
        r.pH = range(p.cbbSitepHDe, p.cbbSitepHA);
    r.sowingInKg = p.optKg;
    if (!p.txtCultSemisA.isEmpty())
        r.sowing = range(p.txtCultSemisDe, p.txtCultSemisA);
    r.stageAsHeight = p.optHaut;
    if (p.optHaut && !p.txtCultHautDe.isEmpty())
        r.stage = range(p.txtCultHautDe, p.txtCultHautA);
    else if (!p.optHaut && !p.txtCultFeuilDe.isEmpty())
        r.stage = range(p.txtCultFeuilDe, p.txtCultFeuilA);
    if (!p.cbbCultProfDe.isEmpty())
        r.depth = range(p.cbbCultProfDe, p.cbbCultProfA);
    if (const OptionalId spacing = id(p.cbbCultEcart); spacing && *spacing >= 0 && *spacing <= 4)
        r.rowSpacingClass = static_cast<int>(*spacing);

    if (refused || r.herbicides.empty() || r.crops.empty())
        return std::nullopt;
    return r;
}

std::optional<ReferenceReport> ReferenceEvaluator::evaluate(const ParameterSet& p) const {
    const std::optional<Request> request = readRequest(p);
    if (!request)
        return std::nullopt;
    ReferenceReport report;
    report.rows = resetResults();
    QVector<Id> weeds(ReportStatements::standardWeeds().begin(),
                      ReportStatements::standardWeeds().end());
    weeds += addExtraWeeds(p, report.rows);
    for (int k = 0; k < ReportEngine::Fractions; ++k) {
        const Figures figures = aggregate(matchingTreatments(*request, k), weeds);
        if (!figures.perWeed.empty())
            report.NoDataFound = false;
        writeCells(figures, k, report.rows);
        for (const auto& [category, group] : figures.perCategory)
            report.TotalCases += group.rated;
    }
    return report;
}

// Every cell " - " but those of the untouched rows; every row above 30 free.
QVector<ResultsRow> ReferenceEvaluator::resetResults() const {
    QVector<ResultsRow> rows = m_tables->results;
    for (ResultsRow& row : rows) {
        if (std::find(std::begin(kUntouchedRows), std::end(kUntouchedRows), row.NoId) ==
            std::end(kUntouchedRows))
            row.cells.fill(kNoValue);
        if (row.NoId > kLastFixedRow) {
            row.Results = kFreeRowLabel;
            row.ResultsId.reset();
        }
    }
    return rows;
}

// The extra weeds whose label no row carries yet, in the order of their boxes, each written into
// the first free row left (a weed without a free row is still reported).
QVector<Id> ReferenceEvaluator::addExtraWeeds(const ParameterSet& p, QVector<ResultsRow>& rows) {
    QVector<Id> extra;
    for (const Choice& weed : p.cbbMauvHerb) {
        if (!weed.isEntered() || !weed.itemData)
            continue;
        const QString label = kLabelIndent + weed.text;
        const auto labelled = [&](const ResultsRow& row) { return row.Results == label; };
        if (std::any_of(rows.begin(), rows.end(), labelled))
            continue;
        extra << *weed.itemData;
        const auto free = std::find_if(rows.begin(), rows.end(), [](const ResultsRow& row) {
            return row.NoId > kLastFixedRow && row.Results == kFreeRowLabel;
        });
        if (free != rows.end()) {
            free->Results = label;
            free->ResultsId = *weed.itemData;
        }
    }
    return extra;
}

// The treatments matching fraction k, each once. The candidates are the products of the first
// entered herbicide inside its window.
QVector<Id> ReferenceEvaluator::matchingTreatments(const Request& request, int fraction) const {
    const Request::Herbicide& first = request.herbicides.front();
    const auto products = m_tables->ratedProducts.find(first.herbicideId);
    if (products == m_tables->ratedProducts.end())
        return {};
    const Range window = request.window(first, fraction);
    const std::vector<Tables::Product>& byRate = products->second;
    auto p = std::lower_bound(byRate.begin(), byRate.end(), window.low,
                              [](const Tables::Product& a, double v) { return *a.rate < v; });

    std::unordered_set<Id> found;
    QVector<Id> treatments;
    for (; p != byRate.end() && *p->rate <= window.high; ++p) {
        if (!mixtureMatches(p->dateHerbId, request, fraction))
            continue;
        const auto application = m_tables->applications.find(p->dateHerbId);
        if (application == m_tables->applications.end() ||
            application->second.period != request.period)
            continue;
        const Id treatment = application->second.traitementId;
        if (!found.count(treatment) && treatmentMatches(treatment, p->dateHerbId, request)) {
            found.insert(treatment);
            treatments << treatment;
        }
    }
    return treatments;
}

// Exactly the entered herbicides: as many products as entered rows, and a product inside the
// window of each row.
bool ReferenceEvaluator::mixtureMatches(Id dateHerbId, const Request& request, int fraction) const {
    const std::vector<Tables::Product>& mixture = m_tables->mixtures.at(dateHerbId);
    if (mixture.size() != request.herbicides.size())
        return false;
    for (const Request::Herbicide& h : request.herbicides) {
        const Range window = request.window(h, fraction);
        const auto inWindow = [&](const Tables::Product& p) {
            return p.herbicideId == h.herbicideId && admitsId(h.formulationId, p.formulationId) &&
                   window.admits(p.rate);
        };
        if (std::none_of(mixture.begin(), mixture.end(), inWindow))
            return false;
    }
    return true;
}

// The treatment's site, one of its crop rows and, when a stage range is entered, one stage row of
// the application satisfy the conditions.
bool ReferenceEvaluator::treatmentMatches(Id traitementId, Id dateHerbId,
                                          const Request& request) const {
    const Tables& t = *m_tables;
    const auto siteId = t.treatmentSites.find(traitementId);
    if (siteId == t.treatmentSites.end() || !siteId->second)
        return false;
    const auto site = t.sites.find(*siteId->second);
    if (site == t.sites.end() || !request.siteAdmits(site->second))
        return false;
    const auto crops = t.crops.find(traitementId);
    if (crops == t.crops.end() ||
        std::none_of(crops->second.begin(), crops->second.end(),
                     [&](const Tables::Crop& c) { return request.cropAdmits(c); }))
        return false;
    if (!request.stage)
        return true; // no stage range: the application need not have a stage row
    const auto stages = t.stages.find(dateHerbId);
    return stages != t.stages.end() &&
           std::any_of(stages->second.begin(), stages->second.end(),
                       [&](const Tables::Stage& s) { return request.stageAdmits(s); });
}

ReferenceEvaluator::Figures ReferenceEvaluator::aggregate(const QVector<Id>& treatments,
                                                          const QVector<Id>& weeds) const {
    const std::unordered_set<Id> reportedWeeds(weeds.begin(), weeds.end());
    Figures figures;
    for (Id treatment : treatments) {
        const auto rated = m_tables->ratings.find(treatment);
        if (rated == m_tables->ratings.end())
            continue;
        for (const Tables::Rating& r : rated->second) {
            if (reportedWeeds.count(r.weedId))
                figures.perWeed[r.weedId].add(r.visual);
            if (r.category && ReportStatements::reportedCategories().contains(int(*r.category)))
                figures.perCategory[*r.category].add(r.visual);
        }
    }
    return figures;
}

// The per-weed pairs, then the per-category pairs, into every row whose ResultsId they match.
void ReferenceEvaluator::writeCells(const Figures& figures, int fraction,
                                    QVector<ResultsRow>& rows) {
    const auto write = [&](const std::map<Id, Group>& groups) {
        for (ResultsRow& row : rows) {
            if (!row.ResultsId)
                continue;
            const auto group = groups.find(*row.ResultsId);
            if (group == groups.end())
                continue;
            row.cells[2 * fraction] = group->second.meanText();
            row.cells[2 * fraction + 1] = QString::number(group->second.rated);
        }
    };
    write(figures.perWeed);
    write(figures.perCategory);
}

} // namespace grelavo
