#include "Sources.h"

#include "core/report/ReportStatements.h"

#include "SourceTable.h"

#include <QDate>
#include <QFile>
#include <QSet>
#include <algorithm>

namespace grelavo::makedb {

namespace {

// Columns of herbicides.tsv holding the efficacy class on each weed category.
const QVector<QPair<QString, int>>& categoryColumns() {
    static const QVector<QPair<QString, int>> columns = {
        {QStringLiteral("GA"), 1}, {QStringLiteral("DA"), 2}, {QStringLiteral("DV"), 3},
        {QStringLiteral("GV"), 4}, {QStringLiteral("PR"), 5}, {QStringLiteral("DB"), 6},
        {QStringLiteral("CY"), 7}};
    return columns;
}

[[noreturn]] void fail(const QString& message) {
    throw SourceError(message);
}

template <typename T, typename Key>
const T& findBy(const QVector<T>& list, Key key, Key T::*member, const char* what) {
    for (const T& item : list)
        if (item.*member == key)
            return item;
    fail(QStringLiteral("unknown %1: %2").arg(QLatin1String(what)).arg(key));
}

template <typename T> void checkUniqueIds(const QVector<T>& list, const char* what) {
    QSet<int> seen;
    for (const T& item : list) {
        if (item.id <= 0)
            fail(QStringLiteral("%1 %2: identifiers are positive")
                     .arg(QLatin1String(what))
                     .arg(item.id));
        if (seen.contains(item.id))
            fail(QStringLiteral("%1 %2 appears twice").arg(QLatin1String(what)).arg(item.id));
        seen.insert(item.id);
    }
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1: cannot be read").arg(path));
    return QString::fromUtf8(file.readAll());
}

Edition readEdition(const SourceTable& t) {
    if (t.rowCount() != 1)
        fail(QStringLiteral("%1: one edition, on one row").arg(t.name()));
    Edition edition;
    edition.name = t.required(0, QStringLiteral("nom"));
    edition.date = t.required(0, QStringLiteral("date"));
    if (!QDate::fromString(edition.date, Qt::ISODate).isValid())
        t.fail(0, QStringLiteral("the date is written YYYY-MM-DD"));
    edition.source = t.required(0, QStringLiteral("source"));
    const int synthetic = t.integer(0, QStringLiteral("synthetique"));
    if (synthetic != 0 && synthetic != 1)
        t.fail(0, QStringLiteral("synthetique is 0 or 1"));
    edition.synthetic = synthetic == 1;
    return edition;
}

QVector<Period> readPeriods(const SourceTable& t) {
    QVector<Period> periods;
    for (int r = 0; r < t.rowCount(); ++r) {
        Period p;
        p.id = t.integer(r, QStringLiteral("TypeApplicationId"));
        p.name = t.required(r, QStringLiteral("TypeApplication"));
        p.soil = t.integer(r, QStringLiteral("sol")) != 0;
        p.leavesMin = t.number(r, QStringLiteral("feuilles_min"));
        p.leavesMax = t.number(r, QStringLiteral("feuilles_max"));
        p.heightMin = t.number(r, QStringLiteral("hauteur_min"));
        p.heightMax = t.number(r, QStringLiteral("hauteur_max"));
        if (p.leavesMax < p.leavesMin || p.heightMax < p.heightMin)
            t.fail(r, QStringLiteral("a minimum exceeds its maximum"));
        periods.append(p);
    }
    return periods;
}

QVector<Crop> readCrops(const SourceTable& t) {
    QVector<Crop> crops;
    for (int r = 0; r < t.rowCount(); ++r) {
        Crop c;
        c.id = t.integer(r, QStringLiteral("CultureId"));
        c.name = t.required(r, QStringLiteral("Nom Français"));
        c.weight = t.number(r, QStringLiteral("poids"));
        c.grainsMin = t.number(r, QStringLiteral("grains_min"));
        c.grainsMax = t.number(r, QStringLiteral("grains_max"));
        c.grainsPerKgMin = t.number(r, QStringLiteral("grains_kg_min"));
        c.grainsPerKgMax = t.number(r, QStringLiteral("grains_kg_max"));
        c.kgMin = t.number(r, QStringLiteral("kg_min"));
        c.kgMax = t.number(r, QStringLiteral("kg_max"));
        c.depthMin = t.number(r, QStringLiteral("prof_min"));
        c.depthMax = t.number(r, QStringLiteral("prof_max"));
        c.spacings = t.integers(r, QStringLiteral("ecarts"));
        if (c.spacings.isEmpty() || c.grainsPerKgMin <= 0 || c.kgMax < c.kgMin)
            t.fail(r, QStringLiteral("incomplete sowing description"));
        crops.append(c);
    }
    return crops;
}

QVector<Variety> readVarieties(const SourceTable& t) {
    QVector<Variety> varieties;
    for (int r = 0; r < t.rowCount(); ++r)
        varieties.append({t.integer(r, QStringLiteral("VariétéId")),
                          t.required(r, QStringLiteral("Variété")),
                          t.integer(r, QStringLiteral("CultureId"))});
    return varieties;
}

// Previous crops and provinces: an id, a name and a weight.
QVector<WeightedName> readWeightedNames(const SourceTable& t, const QString& idColumn,
                                        const QString& nameColumn) {
    QVector<WeightedName> list;
    for (int r = 0; r < t.rowCount(); ++r)
        list.append({t.integer(r, idColumn), t.required(r, nameColumn),
                     t.number(r, QStringLiteral("poids"))});
    return list;
}

QVector<SoilTexture> readTextures(const SourceTable& t) {
    QVector<SoilTexture> textures;
    for (int r = 0; r < t.rowCount(); ++r)
        textures.append({t.integer(r, QStringLiteral("ClasseTexturaleId")),
                         t.required(r, QStringLiteral("ClasseTexturale")),
                         t.number(r, QStringLiteral("argile")),
                         t.number(r, QStringLiteral("poids"))});
    return textures;
}

QVector<WeedCategory> readCategories(const SourceTable& t) {
    QVector<WeedCategory> categories;
    for (int r = 0; r < t.rowCount(); ++r)
        categories.append(
            {t.integer(r, QStringLiteral("TypeMHId")), t.required(r, QStringLiteral("TypeMH"))});
    return categories;
}

QVector<Weed> readWeeds(const SourceTable& t) {
    QVector<Weed> weeds;
    for (int r = 0; r < t.rowCount(); ++r) {
        Weed w;
        w.id = t.integer(r, QStringLiteral("MHId"));
        w.french = t.required(r, QStringLiteral("Nom-Francais"));
        w.latin = t.required(r, QStringLiteral("Nom-Latin"));
        w.english = t.required(r, QStringLiteral("Nom-Anglais"));
        w.categoryId = t.integer(r, QStringLiteral("TypeMHId"));
        w.frequency = t.number(r, QStringLiteral("frequence"));
        w.susceptibility = t.number(r, QStringLiteral("sensibilite"));
        if (w.frequency <= 0 || w.frequency > 1 || w.susceptibility <= 0)
            t.fail(r, QStringLiteral("frequence is in (0, 1], sensibilite is positive"));
        weeds.append(w);
    }
    return weeds;
}

QVector<EfficacyClass> readEfficacyClasses(const SourceTable& t) {
    QVector<EfficacyClass> classes;
    for (int r = 0; r < t.rowCount(); ++r) {
        const QString code = t.required(r, QStringLiteral("classe"));
        if (code.size() != 1)
            t.fail(r, QStringLiteral("a class is one letter"));
        EfficacyClass c{code[0], t.number(r, QStringLiteral("emax")),
                        t.number(r, QStringLiteral("de50")), t.number(r, QStringLiteral("pente"))};
        if (c.emax <= 0 || c.emax > 100 || c.ed50 <= 0 || c.slope <= 0)
            t.fail(r, QStringLiteral("emax in (0, 100], de50 and pente positive"));
        classes.append(c);
    }
    return classes;
}

// The efficacy class that a row gives in 'column': one letter among the classes read.
QChar classCode(const SourceTable& t, int r, const QString& column,
                const QVector<EfficacyClass>& classes) {
    const QString code = t.required(r, column);
    if (code.size() != 1)
        t.fail(r, QStringLiteral("%1: a class is one letter").arg(column));
    if (std::none_of(classes.begin(), classes.end(),
                     [&](const EfficacyClass& c) { return c.code == code[0]; }))
        t.fail(r, QStringLiteral("%1: unknown efficacy class %2").arg(column, code));
    return code[0];
}

QVector<Herbicide> readHerbicides(const SourceTable& t, const QVector<EfficacyClass>& classes) {
    QVector<Herbicide> herbicides;
    for (int r = 0; r < t.rowCount(); ++r) {
        Herbicide h;
        h.id = t.integer(r, QStringLiteral("HerbicideId"));
        h.name = t.required(r, QStringLiteral("Herbicide"));
        h.rates = t.numbers(r, QStringLiteral("taux"));
        h.periods = t.integers(r, QStringLiteral("periodes"));
        h.formulations = t.integers(r, QStringLiteral("formulations"));
        const QString activity = t.required(r, QStringLiteral("activite"));
        h.soilActive = activity.contains(QLatin1String("sol"));
        h.foliarActive = activity.contains(QLatin1String("foliaire"));
        if (!h.soilActive && !h.foliarActive)
            t.fail(r, QStringLiteral("activite is sol, foliaire or sol+foliaire"));
        if (h.rates.isEmpty() || *std::min_element(h.rates.begin(), h.rates.end()) <= 0)
            t.fail(r, QStringLiteral("taux needs positive rates"));
        if (h.periods.isEmpty() || h.formulations.isEmpty())
            t.fail(r, QStringLiteral("periodes and formulations are needed"));
        for (const auto& column : categoryColumns())
            h.categoryClass.insert(column.second, classCode(t, r, column.first, classes));
        herbicides.append(h);
    }
    return herbicides;
}

// Each row gives one herbicide its class on one weed, instead of that of the weed's category.
void readEfficacyExceptions(const SourceTable& t, Sources& s) {
    for (int r = 0; r < t.rowCount(); ++r) {
        const QString weedName = t.required(r, QStringLiteral("mauvaise herbe"));
        const auto weed = std::find_if(s.weeds.begin(), s.weeds.end(),
                                       [&](const Weed& w) { return w.french == weedName; });
        if (weed == s.weeds.end())
            t.fail(r, QStringLiteral("unknown weed %1").arg(weedName));
        const QString herbicideName = t.required(r, QStringLiteral("herbicide"));
        auto herbicide = std::find_if(s.herbicides.begin(), s.herbicides.end(),
                                      [&](const Herbicide& h) { return h.name == herbicideName; });
        if (herbicide == s.herbicides.end())
            t.fail(r, QStringLiteral("unknown herbicide %1").arg(herbicideName));
        if (herbicide->weedClass.contains(weed->id))
            t.fail(r, QStringLiteral("second exception for the same pair"));
        herbicide->weedClass.insert(weed->id,
                                    classCode(t, r, QStringLiteral("classe"), s.efficacyClasses));
    }
}

// The products of a mixture row, "a+b+...", by their ids: known, distinct, at most four.
QVector<int> mixtureProducts(const SourceTable& t, int r, const QVector<Herbicide>& herbicides) {
    QVector<int> ids;
    for (const QString& name : t.required(r, QStringLiteral("produits")).split(QLatin1Char('+'))) {
        const auto h = std::find_if(herbicides.begin(), herbicides.end(),
                                    [&](const Herbicide& x) { return x.name == name.trimmed(); });
        if (h == herbicides.end())
            t.fail(r, QStringLiteral("unknown herbicide %1").arg(name));
        if (ids.contains(h->id))
            t.fail(r, QStringLiteral("%1 twice in one mixture").arg(name));
        ids.append(h->id);
    }
    if (ids.size() > 4)
        t.fail(r, QStringLiteral("a mixture has at most four products"));
    return ids;
}

Mixture readMixture(const SourceTable& t, int r, const Sources& s) {
    Mixture m;
    m.herbicideIds = mixtureProducts(t, r, s.herbicides);
    m.periods = t.integers(r, QStringLiteral("periodes"));
    const QString crops = t.required(r, QStringLiteral("cultures"));
    m.crops = crops == QStringLiteral("maïs") ? Sources::cornCrops()
                                              : t.integers(r, QStringLiteral("cultures"));
    m.weight = t.number(r, QStringLiteral("poids"));
    m.guaranteedPeriods = t.integers(r, QStringLiteral("essais_garantis"));
    if (m.periods.isEmpty() || m.crops.isEmpty() || m.weight <= 0)
        t.fail(r, QStringLiteral("periodes, cultures and a positive poids are needed"));
    for (int p : m.periods)
        for (int id : m.herbicideIds)
            if (!s.herbicide(id).usedAt(p))
                t.fail(
                    r,
                    QStringLiteral("%1 is not used at period %2").arg(s.herbicide(id).name).arg(p));
    for (int p : m.guaranteedPeriods)
        if (!m.periods.contains(p) || !m.crops.contains(149))
            t.fail(r, QStringLiteral("a guaranteed trial needs one of its periods and corn"));
    return m;
}

QVector<Mixture> readMixtures(const SourceTable& t, const Sources& s) {
    QVector<Mixture> mixtures;
    for (int r = 0; r < t.rowCount(); ++r)
        mixtures.append(readMixture(t, r, s));
    return mixtures;
}

QVector<DoseSeries> readDoseSeries(const SourceTable& t) {
    QVector<DoseSeries> series;
    for (int r = 0; r < t.rowCount(); ++r) {
        DoseSeries d;
        d.name = t.required(r, QStringLiteral("serie"));
        d.weight = t.number(r, QStringLiteral("poids"));
        d.fractions = t.numbers(r, QStringLiteral("fractions"));
        d.forGuaranteedTrials = t.integer(r, QStringLiteral("essais_garantis")) != 0;
        for (double f : d.fractions)
            if (f <= 0 || f > 2)
                t.fail(r, QStringLiteral("fractions lie in (0, 2]"));
        if (d.fractions.isEmpty())
            t.fail(r, QStringLiteral("no fraction"));
        series.append(d);
    }
    return series;
}

ResultRowLayout::Kind resultRowKind(const SourceTable& t, int r) {
    const QString kind = t.required(r, QStringLiteral("genre"));
    if (kind == QStringLiteral("catégorie"))
        return ResultRowLayout::Kind::Category;
    if (kind == QStringLiteral("mauvaise herbe"))
        return ResultRowLayout::Kind::Weed;
    if (kind == QStringLiteral("vide"))
        return ResultRowLayout::Kind::Blank;
    if (kind == QStringLiteral("titre"))
        return ResultRowLayout::Kind::Heading;
    if (kind == QStringLiteral("libre"))
        return ResultRowLayout::Kind::Free;
    t.fail(r, QStringLiteral("unknown genre %1").arg(kind));
}

QVector<ResultRowLayout> readResultRows(const SourceTable& t) {
    QVector<ResultRowLayout> rows;
    for (int r = 0; r < t.rowCount(); ++r) {
        ResultRowLayout row;
        row.noId = t.integer(r, QStringLiteral("NoId"));
        row.kind = resultRowKind(t, r);
        if (row.kind == ResultRowLayout::Kind::Category || row.kind == ResultRowLayout::Kind::Weed)
            row.id = t.integer(r, QStringLiteral("id"));
        if (row.kind == ResultRowLayout::Kind::Heading)
            row.heading = t.required(r, QStringLiteral("id"));
        if (row.noId != r + 1)
            t.fail(r, QStringLiteral("rows are numbered 1, 2, 3... in order"));
        rows.append(row);
    }
    return rows;
}

QMap<QString, double> readParameters(const SourceTable& t) {
    QMap<QString, double> parameters;
    for (int r = 0; r < t.rowCount(); ++r)
        parameters.insert(t.required(r, QStringLiteral("parametre")),
                          t.number(r, QStringLiteral("valeur")));
    return parameters;
}

// Identifiers are positive and unique in each list; the crops and periods that rows refer to
// exist, and every crop has a variety.
void checkIdentifiers(const Sources& s) {
    checkUniqueIds(s.periods, "period");
    checkUniqueIds(s.crops, "crop");
    checkUniqueIds(s.varieties, "variety");
    checkUniqueIds(s.previousCrops, "previous crop");
    checkUniqueIds(s.provinces, "province");
    checkUniqueIds(s.textures, "soil texture");
    checkUniqueIds(s.categories, "weed category");
    checkUniqueIds(s.weeds, "weed");
    checkUniqueIds(s.herbicides, "herbicide");

    for (int id : Sources::cornCrops())
        s.crop(id);
    for (const Variety& v : s.varieties)
        s.crop(v.cropId);
    for (const Crop& c : s.crops)
        if (std::none_of(s.varieties.begin(), s.varieties.end(),
                         [&](const Variety& v) { return v.cropId == c.id; }))
            fail(QStringLiteral("crop %1 has no variety").arg(c.id));
    for (const Herbicide& h : s.herbicides)
        for (int p : h.periods)
            s.period(p);
    for (const Mixture& m : s.mixtures)
        for (int c : m.crops)
            s.crop(c);
}

// Weeds have distinct French names and known categories; every category has its column of
// efficacy classes.
void checkWeeds(const Sources& s) {
    QSet<QString> frenchNames;
    for (const Weed& w : s.weeds) {
        s.category(w.categoryId);
        if (frenchNames.contains(w.french))
            fail(QStringLiteral("two weeds are called %1").arg(w.french));
        frenchNames.insert(w.french);
        if (!Sources::standardWeeds().contains(w.id) && w.id <= 7)
            fail(QStringLiteral("weed %1: ids 1 to 7 are the categories' in the results table")
                     .arg(w.id));
    }
    for (int id : Sources::standardWeeds())
        s.weed(id);
    for (const WeedCategory& c : s.categories)
        if (std::none_of(categoryColumns().begin(), categoryColumns().end(),
                         [&](const QPair<QString, int>& col) { return col.second == c.id; }))
            fail(QStringLiteral("weed category %1 has no column in herbicides.tsv").arg(c.id));
}

// The results table: each weed row lies in the group of its own category, and the standard
// list appears in its order.
void checkResultsTable(const Sources& s) {
    int group = 0;
    QVector<int> weedRows;
    for (const ResultRowLayout& row : s.resultRows) {
        switch (row.kind) {
        case ResultRowLayout::Kind::Category:
            s.category(row.id);
            group = row.id;
            break;
        case ResultRowLayout::Kind::Weed:
            if (s.weed(row.id).categoryId != group)
                fail(QStringLiteral("results row %1: weed %2 is not of category %3")
                         .arg(row.noId)
                         .arg(row.id)
                         .arg(group));
            weedRows.append(row.id);
            break;
        default:
            group = 0;
            break;
        }
    }
    if (weedRows != Sources::standardWeeds())
        fail(QStringLiteral("the weed rows of the results table are not the standard list"));
}

// The generator's dose series and parameters.
void checkModel(const Sources& s) {
    if (std::none_of(s.doseSeries.begin(), s.doseSeries.end(),
                     [](const DoseSeries& d) { return d.forGuaranteedTrials; }))
        fail(QStringLiteral("no dose series for the guaranteed trials"));
    for (const char* key : {"random_seed", "sites", "essais_par_site_min", "essais_par_site_max",
                            "mh_par_essai_min", "mh_par_essai_max", "flore_par_site"})
        s.parameter(QLatin1String(key));
    if (s.parameter(QStringLiteral("mh_par_essai_max")) >
        s.parameter(QStringLiteral("flore_par_site")))
        fail(QStringLiteral("a trial cannot rate more weeds than its site has"));
}

} // namespace

const QVector<int>& Sources::cornCrops() {
    return ReportStatements::allCornCrops();
}

const QVector<int>& Sources::standardWeeds() {
    return ReportStatements::standardWeeds();
}

// The sources are read in this order, each file as it is needed: a list read later may refer to
// one read before it.
Sources Sources::load(const QString& folder) {
    const auto table = [&folder](const char* file) {
        return SourceTable::read(folder + QLatin1Char('/') + QLatin1String(file));
    };
    Sources s;
    s.schemaSql = readText(folder + QStringLiteral("/schema.sql"));
    s.edition = readEdition(table("edition.tsv"));
    s.periods = readPeriods(table("lists/periodes.tsv"));
    s.crops = readCrops(table("lists/cultures.tsv"));
    s.varieties = readVarieties(table("lists/varietes.tsv"));
    s.previousCrops =
        readWeightedNames(table("lists/antecedents.tsv"), QStringLiteral("AntécédentID"),
                          QStringLiteral("Nom Français"));
    s.provinces = readWeightedNames(table("lists/provinces.tsv"), QStringLiteral("ProvinceID"),
                                    QStringLiteral("Province"));
    s.textures = readTextures(table("lists/classes_texturales.tsv"));
    s.categories = readCategories(table("lists/types_mh.tsv"));
    s.weeds = readWeeds(table("lists/mauvaises_herbes.tsv"));
    s.efficacyClasses = readEfficacyClasses(table("model/classes_efficacite.tsv"));
    s.herbicides = readHerbicides(table("lists/herbicides.tsv"), s.efficacyClasses);
    readEfficacyExceptions(table("model/efficacite_exceptions.tsv"), s);
    s.mixtures = readMixtures(table("model/melanges.tsv"), s);
    s.doseSeries = readDoseSeries(table("model/series_doses.tsv"));
    s.resultRows = readResultRows(table("lists/tableau_resultats.tsv"));
    s.parameters = readParameters(table("model/parametres.tsv"));
    s.check();
    return s;
}

void Sources::check() const {
    checkIdentifiers(*this);
    checkWeeds(*this);
    checkResultsTable(*this);
    checkModel(*this);
}

const Period& Sources::period(int id) const {
    return findBy(periods, id, &Period::id, "period");
}
const Crop& Sources::crop(int id) const {
    return findBy(crops, id, &Crop::id, "crop");
}
const Weed& Sources::weed(int id) const {
    return findBy(weeds, id, &Weed::id, "weed");
}
const WeedCategory& Sources::category(int id) const {
    return findBy(categories, id, &WeedCategory::id, "weed category");
}
const Herbicide& Sources::herbicide(int id) const {
    return findBy(herbicides, id, &Herbicide::id, "herbicide");
}
const Herbicide& Sources::herbicideByName(const QString& name) const {
    for (const Herbicide& h : herbicides)
        if (h.name == name)
            return h;
    fail(QStringLiteral("unknown herbicide %1").arg(name));
}
const EfficacyClass& Sources::efficacyClass(QChar code) const {
    for (const EfficacyClass& c : efficacyClasses)
        if (c.code == code)
            return c;
    fail(QStringLiteral("unknown efficacy class %1").arg(code));
}
double Sources::parameter(const QString& key) const {
    const auto it = parameters.find(key);
    if (it == parameters.end())
        fail(QStringLiteral("missing parameter %1 in model/parametres.tsv").arg(key));
    return it.value();
}

} // namespace grelavo::makedb
