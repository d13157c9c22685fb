#include "Sources.h"

#include "report/ReportStatements.h"

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

} // namespace

const QVector<int>& Sources::cornCrops() {
    return ReportStatements::allCornCrops();
}

const QVector<int>& Sources::standardWeeds() {
    return ReportStatements::standardWeeds();
}

Sources Sources::load(const QString& folder) {
    Sources s;
    const auto table = [&](const QString& file) {
        return SourceTable::read(folder + QLatin1Char('/') + file);
    };
    s.schemaSql = readText(folder + QStringLiteral("/schema.sql"));
    {
        const SourceTable t = table(QStringLiteral("edition.tsv"));
        if (t.rowCount() != 1)
            fail(QStringLiteral("%1: one edition, on one row").arg(t.name()));
        s.edition.name = t.required(0, QStringLiteral("nom"));
        s.edition.date = t.required(0, QStringLiteral("date"));
        if (!QDate::fromString(s.edition.date, Qt::ISODate).isValid())
            t.fail(0, QStringLiteral("the date is written YYYY-MM-DD"));
        s.edition.source = t.required(0, QStringLiteral("source"));
        const int synthetic = t.integer(0, QStringLiteral("synthetique"));
        if (synthetic != 0 && synthetic != 1)
            t.fail(0, QStringLiteral("synthetique is 0 or 1"));
        s.edition.synthetic = synthetic == 1;
    }

    {
        const SourceTable t = table(QStringLiteral("lists/periodes.tsv"));
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
            s.periods.append(p);
        }
    }
    {
        const SourceTable t = table(QStringLiteral("lists/cultures.tsv"));
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
            s.crops.append(c);
        }
    }
    {
        const SourceTable t = table(QStringLiteral("lists/varietes.tsv"));
        for (int r = 0; r < t.rowCount(); ++r)
            s.varieties.append({t.integer(r, QStringLiteral("VariétéId")),
                                t.required(r, QStringLiteral("Variété")),
                                t.integer(r, QStringLiteral("CultureId"))});
    }
    const auto weightedNames = [&](const QString& file, const QString& idColumn,
                                   const QString& nameColumn) {
        QVector<WeightedName> list;
        const SourceTable t = table(file);
        for (int r = 0; r < t.rowCount(); ++r)
            list.append({t.integer(r, idColumn), t.required(r, nameColumn),
                         t.number(r, QStringLiteral("poids"))});
        return list;
    };
    s.previousCrops = weightedNames(QStringLiteral("lists/antecedents.tsv"),
                                    QStringLiteral("AntécédentID"), QStringLiteral("Nom Français"));
    s.provinces = weightedNames(QStringLiteral("lists/provinces.tsv"), QStringLiteral("ProvinceID"),
                                QStringLiteral("Province"));
    {
        const SourceTable t = table(QStringLiteral("lists/classes_texturales.tsv"));
        for (int r = 0; r < t.rowCount(); ++r)
            s.textures.append({t.integer(r, QStringLiteral("ClasseTexturaleId")),
                               t.required(r, QStringLiteral("ClasseTexturale")),
                               t.number(r, QStringLiteral("argile")),
                               t.number(r, QStringLiteral("poids"))});
    }
    {
        const SourceTable t = table(QStringLiteral("lists/types_mh.tsv"));
        for (int r = 0; r < t.rowCount(); ++r)
            s.categories.append({t.integer(r, QStringLiteral("TypeMHId")),
                                 t.required(r, QStringLiteral("TypeMH"))});
    }
    {
        const SourceTable t = table(QStringLiteral("lists/mauvaises_herbes.tsv"));
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
            s.weeds.append(w);
        }
    }
    {
        const SourceTable t = table(QStringLiteral("model/classes_efficacite.tsv"));
        for (int r = 0; r < t.rowCount(); ++r) {
            const QString code = t.required(r, QStringLiteral("classe"));
            if (code.size() != 1)
                t.fail(r, QStringLiteral("a class is one letter"));
            EfficacyClass c{code[0], t.number(r, QStringLiteral("emax")),
                            t.number(r, QStringLiteral("de50")),
                            t.number(r, QStringLiteral("pente"))};
            if (c.emax <= 0 || c.emax > 100 || c.ed50 <= 0 || c.slope <= 0)
                t.fail(r, QStringLiteral("emax in (0, 100], de50 and pente positive"));
            s.efficacyClasses.append(c);
        }
    }
    const auto classCode = [&](const SourceTable& t, int r, const QString& column) {
        const QString code = t.required(r, column);
        if (code.size() != 1)
            t.fail(r, QStringLiteral("%1: a class is one letter").arg(column));
        if (std::none_of(s.efficacyClasses.begin(), s.efficacyClasses.end(),
                         [&](const EfficacyClass& c) { return c.code == code[0]; }))
            t.fail(r, QStringLiteral("%1: unknown efficacy class %2").arg(column, code));
        return code[0];
    };
    {
        const SourceTable t = table(QStringLiteral("lists/herbicides.tsv"));
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
                h.categoryClass.insert(column.second, classCode(t, r, column.first));
            s.herbicides.append(h);
        }
    }
    {
        const SourceTable t = table(QStringLiteral("model/efficacite_exceptions.tsv"));
        for (int r = 0; r < t.rowCount(); ++r) {
            const QString weedName = t.required(r, QStringLiteral("mauvaise herbe"));
            const auto weed = std::find_if(s.weeds.begin(), s.weeds.end(),
                                           [&](const Weed& w) { return w.french == weedName; });
            if (weed == s.weeds.end())
                t.fail(r, QStringLiteral("unknown weed %1").arg(weedName));
            const QString herbicideName = t.required(r, QStringLiteral("herbicide"));
            auto herbicide =
                std::find_if(s.herbicides.begin(), s.herbicides.end(),
                             [&](const Herbicide& h) { return h.name == herbicideName; });
            if (herbicide == s.herbicides.end())
                t.fail(r, QStringLiteral("unknown herbicide %1").arg(herbicideName));
            if (herbicide->weedClass.contains(weed->id))
                t.fail(r, QStringLiteral("second exception for the same pair"));
            herbicide->weedClass.insert(weed->id, classCode(t, r, QStringLiteral("classe")));
        }
    }
    {
        const SourceTable t = table(QStringLiteral("model/melanges.tsv"));
        for (int r = 0; r < t.rowCount(); ++r) {
            Mixture m;
            for (const QString& name :
                 t.required(r, QStringLiteral("produits")).split(QLatin1Char('+'))) {
                const auto h =
                    std::find_if(s.herbicides.begin(), s.herbicides.end(),
                                 [&](const Herbicide& x) { return x.name == name.trimmed(); });
                if (h == s.herbicides.end())
                    t.fail(r, QStringLiteral("unknown herbicide %1").arg(name));
                if (m.herbicideIds.contains(h->id))
                    t.fail(r, QStringLiteral("%1 twice in one mixture").arg(name));
                m.herbicideIds.append(h->id);
            }
            if (m.herbicideIds.size() > 4)
                t.fail(r, QStringLiteral("a mixture has at most four products"));
            m.periods = t.integers(r, QStringLiteral("periodes"));
            const QString crops = t.required(r, QStringLiteral("cultures"));
            m.crops = crops == QStringLiteral("maïs") ? cornCrops()
                                                      : t.integers(r, QStringLiteral("cultures"));
            m.weight = t.number(r, QStringLiteral("poids"));
            m.guaranteedPeriods = t.integers(r, QStringLiteral("essais_garantis"));
            if (m.periods.isEmpty() || m.crops.isEmpty() || m.weight <= 0)
                t.fail(r, QStringLiteral("periodes, cultures and a positive poids are needed"));
            for (int p : m.periods)
                for (int id : m.herbicideIds)
                    if (!s.herbicide(id).usedAt(p))
                        t.fail(r, QStringLiteral("%1 is not used at period %2")
                                      .arg(s.herbicide(id).name)
                                      .arg(p));
            for (int p : m.guaranteedPeriods)
                if (!m.periods.contains(p) || !m.crops.contains(149))
                    t.fail(r,
                           QStringLiteral("a guaranteed trial needs one of its periods and corn"));
            s.mixtures.append(m);
        }
    }
    {
        const SourceTable t = table(QStringLiteral("model/series_doses.tsv"));
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
            s.doseSeries.append(d);
        }
    }
    {
        const SourceTable t = table(QStringLiteral("lists/tableau_resultats.tsv"));
        for (int r = 0; r < t.rowCount(); ++r) {
            ResultRowLayout row;
            row.noId = t.integer(r, QStringLiteral("NoId"));
            const QString kind = t.required(r, QStringLiteral("genre"));
            if (kind == QStringLiteral("catégorie"))
                row.kind = ResultRowLayout::Kind::Category;
            else if (kind == QStringLiteral("mauvaise herbe"))
                row.kind = ResultRowLayout::Kind::Weed;
            else if (kind == QStringLiteral("vide"))
                row.kind = ResultRowLayout::Kind::Blank;
            else if (kind == QStringLiteral("titre"))
                row.kind = ResultRowLayout::Kind::Heading;
            else if (kind == QStringLiteral("libre"))
                row.kind = ResultRowLayout::Kind::Free;
            else
                t.fail(r, QStringLiteral("unknown genre %1").arg(kind));
            if (row.kind == ResultRowLayout::Kind::Category ||
                row.kind == ResultRowLayout::Kind::Weed)
                row.id = t.integer(r, QStringLiteral("id"));
            if (row.kind == ResultRowLayout::Kind::Heading)
                row.heading = t.required(r, QStringLiteral("id"));
            if (row.noId != r + 1)
                t.fail(r, QStringLiteral("rows are numbered 1, 2, 3... in order"));
            s.resultRows.append(row);
        }
    }
    {
        const SourceTable t = table(QStringLiteral("model/parametres.tsv"));
        for (int r = 0; r < t.rowCount(); ++r)
            s.parameters.insert(t.required(r, QStringLiteral("parametre")),
                                t.number(r, QStringLiteral("valeur")));
    }
    s.check();
    return s;
}

void Sources::check() const {
    checkUniqueIds(periods, "period");
    checkUniqueIds(crops, "crop");
    checkUniqueIds(varieties, "variety");
    checkUniqueIds(previousCrops, "previous crop");
    checkUniqueIds(provinces, "province");
    checkUniqueIds(textures, "soil texture");
    checkUniqueIds(categories, "weed category");
    checkUniqueIds(weeds, "weed");
    checkUniqueIds(herbicides, "herbicide");

    for (int id : cornCrops())
        crop(id);
    for (const Variety& v : varieties)
        crop(v.cropId);
    for (const Crop& c : crops)
        if (std::none_of(varieties.begin(), varieties.end(),
                         [&](const Variety& v) { return v.cropId == c.id; }))
            fail(QStringLiteral("crop %1 has no variety").arg(c.id));
    for (const Herbicide& h : herbicides)
        for (int p : h.periods)
            period(p);
    for (const Mixture& m : mixtures)
        for (int c : m.crops)
            crop(c);

    QSet<QString> frenchNames;
    for (const Weed& w : weeds) {
        category(w.categoryId);
        if (frenchNames.contains(w.french))
            fail(QStringLiteral("two weeds are called %1").arg(w.french));
        frenchNames.insert(w.french);
        if (!standardWeeds().contains(w.id) && w.id <= 7)
            fail(QStringLiteral("weed %1: ids 1 to 7 are the categories' in the results table")
                     .arg(w.id));
    }
    for (int id : standardWeeds())
        weed(id);
    for (const WeedCategory& c : categories)
        if (std::none_of(categoryColumns().begin(), categoryColumns().end(),
                         [&](const QPair<QString, int>& col) { return col.second == c.id; }))
            fail(QStringLiteral("weed category %1 has no column in herbicides.tsv").arg(c.id));

    // The results table: each weed row lies in the group of its own category, and the standard
    // list appears in its order.
    int group = 0;
    QVector<int> weedRows;
    for (const ResultRowLayout& row : resultRows) {
        switch (row.kind) {
        case ResultRowLayout::Kind::Category:
            category(row.id);
            group = row.id;
            break;
        case ResultRowLayout::Kind::Weed:
            if (weed(row.id).categoryId != group)
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
    if (weedRows != standardWeeds())
        fail(QStringLiteral("the weed rows of the results table are not the standard list"));

    if (std::none_of(doseSeries.begin(), doseSeries.end(),
                     [](const DoseSeries& d) { return d.forGuaranteedTrials; }))
        fail(QStringLiteral("no dose series for the guaranteed trials"));
    for (const char* key : {"random_seed", "sites", "essais_par_site_min", "essais_par_site_max",
                            "mh_par_essai_min", "mh_par_essai_max", "flore_par_site"})
        parameter(QLatin1String(key));
    if (parameter(QStringLiteral("mh_par_essai_max")) > parameter(QStringLiteral("flore_par_site")))
        fail(QStringLiteral("a trial cannot rate more weeds than its site has"));
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
