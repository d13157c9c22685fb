#include "DetailContext.h"

#include "NumberText.h"
#include "core/db/ImportLog.h"
#include "core/db/Statement.h"
#include "core/text/CsvWriter.h"

#include <algorithm>

namespace grelavo {

namespace {

std::optional<double> number(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toDouble();
}

QString text(const std::optional<double>& v) {
    return v ? CsvWriter::plainNumber(*v) : QString();
}

} // namespace

DetailContext::DetailContext(Connection& db, const ParameterSet& parameters, const QLocale& locale)
    : m_db(db) {
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i) {
        if (!parameters.cbbHerbApp[i].isEntered())
            continue;
        if (!m_position.contains(parameters.SelectedHerbicideId[i]))
            m_position.insert(parameters.SelectedHerbicideId[i], i);
        if (const auto rate = NumberText::parseRate(parameters.EnteredRate[i], locale);
            rate && *rate > 0)
            m_entered.insert(parameters.SelectedHerbicideId[i], *rate);
    }
}

const QVector<int>& DetailContext::fractionPercents() {
    static const QVector<int> percents{50, 60, 70, 80, 100};
    return percents;
}

const DetailContext::Treatment& DetailContext::treatment(qint64 id) {
    const auto found = m_treatments.constFind(id);
    if (found != m_treatments.constEnd())
        return *found;
    Statement row(m_db, QStringLiteral(R"(SELECT p."Province", x."ClasseTexturale", s."pH",
        s."MatièreOrganique", cu."Nom Français", v."Variété"
        FROM "tbldesTraitements" t
        LEFT JOIN "tbldesSites" s ON s."SiteExpId" = t."SiteExpId"
        LEFT JOIN "ListeDesProvinces" p ON p."ProvinceID" = s."ProvinceID"
        LEFT JOIN "ListedesClastext" x ON x."ClasseTexturaleId" = s."ClasseTexturaleId"
        LEFT JOIN "tblCultureEXP" c ON c."TraitementId" = t."TraitementId"
        LEFT JOIN "ListeDesCultures" cu ON cu."CultureId" = c."CultureId"
        LEFT JOIN "ListeDesVariétés" v ON v."VariétéId" = c."VariétéId"
        WHERE t."TraitementId" = ? ORDER BY c."CultureEXPId" LIMIT 1)"));
    row.bind(1, id);
    Treatment t;
    if (row.step())
        t = {row.value(0).toString(), row.value(1).toString(), row.value(4).toString(),
             row.value(5).toString(), number(row.value(2)),    number(row.value(3))};
    return *m_treatments.insert(id, t);
}

const DetailContext::Application& DetailContext::application(qint64 id) {
    const auto found = m_applications.constFind(id);
    if (found != m_applications.constEnd())
        return *found;
    Application a;
    Statement row(m_db, QStringLiteral(R"(SELECT p."TypeApplication", st."HautMoyenneCultH",
        st."NoFeuilMoyenneCultH" FROM "tblPériodesApplication" a
        LEFT JOIN "ListeDesPériodesApplication" p ON p."TypeApplicationId" = a."TypeApplicationId"
        LEFT JOIN "tblStadeCultureH" st ON st."DateHerbId" = a."DateHerbId"
        WHERE a."DateHerbId" = ? ORDER BY st."StadeCultureId" LIMIT 1)"));
    row.bind(1, id);
    if (row.step()) {
        a.period = row.value(0).toString();
        a.height = number(row.value(1));
        a.leaves = number(row.value(2));
    }
    Statement products(m_db, QStringLiteral(R"(SELECT d."HerbicideId", h."Herbicide",
        d."HerbTauxH" FROM "tblDétailsHerbicides" d
        LEFT JOIN "ListeDesHerbicides" h ON h."HerbicideId" = d."HerbicideId"
        WHERE d."DateHerbId" = ? ORDER BY d."HerbicideId")"));
    products.bind(1, id);
    while (products.step()) {
        DetailRow::Product p{products.value(0).toLongLong(), products.value(1).toString(),
                             number(products.value(2)), std::nullopt};
        const auto entered = m_entered.constFind(p.herbicideId);
        if (p.rate && entered != m_entered.constEnd())
            p.percentOfEntered = 100.0 * *p.rate / *entered;
        a.products << p;
    }
    // As the form lists them: "Herbicide 2" is the form's herbicide 2.
    const auto rank = [this](const DetailRow::Product& p) {
        return m_position.value(p.herbicideId, ParameterSet::HerbicideRows);
    };
    std::stable_sort(a.products.begin(), a.products.end(),
                     [&rank](const DetailRow::Product& x, const DetailRow::Product& y) {
                         return rank(x) < rank(y);
                     });
    return *m_applications.insert(id, a);
}

void DetailContext::readImportedKeys() {
    m_treatmentKeys.emplace();
    for (const ImportedKey& k : ImportLog::keys(m_db)) {
        if (k.kind == QLatin1String("traitement"))
            m_treatmentKeys->insert(k.id, k.key);
        else if (k.kind == QLatin1String("site"))
            m_siteKeys.insert(k.id, k.key);
    }
}

QVector<DetailRow> DetailContext::rows(const CellDetail& cell) {
    if (!m_treatmentKeys)
        readImportedKeys();
    QVector<DetailRow> out;
    for (const DetailRating& r : cell.ratings) {
        const Treatment& t = treatment(r.treatmentId);
        const Application& a = application(r.applicationId);
        out.append({r, t.province, t.texture, t.crop, t.variety, a.period,
                    m_treatmentKeys->value(r.treatmentId), m_siteKeys.value(r.siteId), t.pH,
                    t.organicMatter, a.height, a.leaves, a.products});
    }
    return out;
}

QByteArray DetailContext::csv(const ReportDetails& details, const QVector<ResultsRow>& table) {
    CsvWriter w(CsvWriter::Cells::Formulas);
    QStringList headings{QStringLiteral("ligne"),
                         QStringLiteral("no_id"),
                         QStringLiteral("fraction_pct"),
                         QStringLiteral("mauvaise_herbe"),
                         QStringLiteral("visuel_pct"),
                         QStringLiteral("traitement_id"),
                         QStringLiteral("essai_site_id"),
                         QStringLiteral("province"),
                         QStringLiteral("classe_texturale"),
                         QStringLiteral("ph"),
                         QStringLiteral("matiere_organique_pct"),
                         QStringLiteral("culture"),
                         QStringLiteral("variete"),
                         QStringLiteral("periode"),
                         QStringLiteral("hauteur_cm"),
                         QStringLiteral("feuilles")};
    for (int i = 1; i <= ParameterSet::HerbicideRows; ++i)
        headings << QStringLiteral("herbicide_%1").arg(i)
                 << QStringLiteral("dose_kg_ma_ha_%1").arg(i)
                 << QStringLiteral("dose_pct_entree_%1").arg(i);
    w.addRow(headings);
    QHash<qint64, QString> labels;
    for (const ResultsRow& row : table)
        labels.insert(row.NoId, row.Results.value_or(QString()).trimmed());
    for (const CellDetail& cell : details.cells()) {
        for (const DetailRow& d : rows(cell)) {
            QStringList fields{labels.value(cell.noId),
                               QString::number(cell.noId),
                               QString::number(fractionPercents().at(cell.fraction)),
                               d.rating.weed,
                               QString::number(d.rating.visual),
                               QString::number(d.rating.treatmentId),
                               QString::number(d.rating.siteId),
                               d.province,
                               d.texture,
                               text(d.pH),
                               text(d.organicMatter),
                               d.crop,
                               d.variety,
                               d.period,
                               text(d.height),
                               text(d.leaves)};
            for (int i = 0; i < ParameterSet::HerbicideRows; ++i) {
                const DetailRow::Product p = d.products.value(i);
                fields << p.herbicide << text(p.rate) << text(p.percentOfEntered);
            }
            w.addRow(fields);
        }
    }
    return w.bytes();
}

} // namespace grelavo
