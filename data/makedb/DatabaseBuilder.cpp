#include "DatabaseBuilder.h"

#include "SourceTable.h"
#include "TrialGenerator.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseFile.h"
#include "core/db/Statement.h"
#include "core/db/Transaction.h"

#include <QFile>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace grelavo::makedb {

namespace {

// One prepared INSERT, run once per row.
class Inserter {
public:
    Inserter(Connection& db, const QString& sql) : m_statement(db, sql) {}
    void row(const QVariantList& values) {
        int position = 1;
        for (const QVariant& v : values)
            m_statement.bind(position++, v);
        m_statement.step();
        m_statement.reset();
    }

private:
    Statement m_statement;
};

// One row per item of a table, its values given by toRow.
template <typename Items, typename ToRow>
void insertAll(Connection& db, const QString& table, const Items& items, ToRow toRow) {
    std::optional<Inserter> ins;
    for (const auto& item : items) {
        const QVariantList values = toRow(item);
        if (!ins) {
            QStringList marks;
            for (int i = 0; i < values.size(); ++i)
                marks << QStringLiteral("?");
            ins.emplace(db, QStringLiteral("INSERT INTO \"%1\" VALUES (%2)")
                                .arg(table, marks.join(QStringLiteral(", "))));
        }
        ins->row(values);
    }
}

const QString Blank = QStringLiteral(" - ");

void writeLookups(Connection& db, const Sources& s) {
    insertAll(db, QStringLiteral("ListeDesPériodesApplication"), s.periods, [](const Period& p) {
        return QVariantList{p.id, p.name};
    });
    insertAll(db, QStringLiteral("ListeDesHerbicides"), s.herbicides, [](const Herbicide& h) {
        return QVariantList{h.id, h.name};
    });
    insertAll(db, QStringLiteral("ListeDesCultures"), s.crops, [](const Crop& c) {
        return QVariantList{c.id, c.name};
    });
    insertAll(db, QStringLiteral("ListeDesVariétés"), s.varieties, [](const Variety& v) {
        return QVariantList{v.id, v.name, v.cropId};
    });
    insertAll(db, QStringLiteral("ListeDesAntécédents"), s.previousCrops,
              [](const WeightedName& a) {
                  return QVariantList{a.id, a.name};
              });
    insertAll(db, QStringLiteral("ListeDesProvinces"), s.provinces, [](const WeightedName& p) {
        return QVariantList{p.id, p.name};
    });
    insertAll(db, QStringLiteral("ListedesClastext"), s.textures, [](const SoilTexture& t) {
        return QVariantList{t.id, t.name};
    });
    insertAll(db, QStringLiteral("ListeDesTypesMH"), s.categories, [](const WeedCategory& c) {
        return QVariantList{c.id, c.name};
    });
    insertAll(db, QStringLiteral("ListedesMauvaisesHerbes"), s.weeds, [](const Weed& w) {
        return QVariantList{w.id, w.french, w.latin, w.english, w.categoryId};
    });
}

void writeExperiments(Connection& db, const Dataset& d) {
    insertAll(db, QStringLiteral("tbldesSites"), d.sites, [](const SiteRow& r) {
        return QVariantList{r.id, r.provinceId, r.textureId, r.organicMatter, r.pH};
    });
    insertAll(db, QStringLiteral("tbldesTraitements"), d.treatments, [](const TreatmentRow& r) {
        return QVariantList{r.id, r.siteId};
    });
    insertAll(db, QStringLiteral("tblPériodesApplication"), d.applications,
              [](const ApplicationRow& r) {
                  return QVariantList{r.id, r.treatmentId, r.periodId};
              });
    insertAll(db, QStringLiteral("tblDétailsHerbicides"), d.products, [](const ProductRow& r) {
        return QVariantList{r.applicationId, r.herbicideId, r.formulationId, r.rate};
    });
    insertAll(db, QStringLiteral("tblCultureEXP"), d.crops, [](const CropRow& r) {
        return QVariantList{r.id,       r.treatmentId,  r.cropId, r.varietyId, r.previousCropId,
                            r.sowingKg, r.sowingGrains, r.depth,  r.spacing};
    });
    insertAll(db, QStringLiteral("tblStadeCultureH"), d.stages, [](const StageRow& r) {
        return QVariantList{r.id, r.applicationId, r.cropId, r.height, r.leaves};
    });
    insertAll(db, QStringLiteral("tblMHEval"), d.ratings, [](const RatingRow& r) {
        return QVariantList{r.id, r.treatmentId, r.weedId,
                            r.visual ? QVariant(*r.visual) : QVariant()};
    });
}

// What the file is: its one row of tblÉdition.
void writeEdition(Connection& db, const Edition& e) {
    Inserter(db, QStringLiteral("INSERT INTO \"tblÉdition\" VALUES (?, ?, ?, ?)"))
        .row({e.name, e.date, e.source, e.synthetic ? 1 : 0});
}

// The prepared rows of the results table: labels come from the weed and category lists.
int writeResultRows(Connection& db, const Sources& s) {
    Inserter ins(db, QStringLiteral("INSERT INTO \"tblResults\" VALUES (?, ?, ?, "
                                    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString indent = QStringLiteral("     ");
    for (const ResultRowLayout& row : s.resultRows) {
        QVariant label, id;
        switch (row.kind) {
        case ResultRowLayout::Kind::Category:
            label = s.category(row.id).name;
            id = row.id;
            break;
        case ResultRowLayout::Kind::Weed:
            label = indent + s.weed(row.id).french;
            id = row.id;
            break;
        case ResultRowLayout::Kind::Blank:
            break;
        case ResultRowLayout::Kind::Heading:
            label = row.heading;
            break;
        case ResultRowLayout::Kind::Free:
            label = indent + QStringLiteral("--------");
            break;
        }
        ins.row({row.noId, label, id, Blank, Blank, Blank, Blank, Blank, Blank, Blank, Blank, Blank,
                 Blank});
    }
    return s.resultRows.size();
}

} // namespace

BuildSummary DatabaseBuilder::build(const QString& path, double scale, const Sources& sources) {
    const Dataset data = TrialGenerator(sources, scale).generate();

    const QString partial = path + QStringLiteral(".tmp");
    QFile::remove(partial);
    BuildSummary summary;
    {
        Connection db(partial, DatabaseFile::password(), Connection::Mode::Create);
        db.executeScript(sources.schemaSql);
        Transaction tx(db);
        writeEdition(db, sources.edition);
        writeLookups(db, sources);
        writeExperiments(db, data);
        summary.resultRows = writeResultRows(db, sources);
        tx.commit();
        // Statistics for the query planner: the report's joins are long.
        db.executeScript(QStringLiteral("ANALYZE;"));
    }
    QFile::remove(path);
    if (!QFile::rename(partial, path))
        throw SourceError(QStringLiteral("cannot move %1 to %2").arg(partial, path));

    summary.sites = data.sites.size();
    summary.treatments = data.treatments.size();
    summary.applications = data.applications.size();
    summary.products = data.products.size();
    summary.crops = data.crops.size();
    summary.stages = data.stages.size();
    summary.ratings = data.ratings.size();
    summary.weeds = sources.weeds.size();
    summary.herbicides = sources.herbicides.size();
    return summary;
}

BuildSummary DatabaseBuilder::build(const QString& path, double scale) {
    return build(path, scale, Sources::load());
}

} // namespace grelavo::makedb
