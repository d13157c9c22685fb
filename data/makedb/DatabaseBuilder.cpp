#include "DatabaseBuilder.h"

#include "SourceTable.h"
#include "TrialGenerator.h"
#include "db/Connection.h"
#include "db/DatabaseFile.h"
#include "db/Statement.h"
#include "db/Transaction.h"

#include <QFile>
#include <QVariant>
#include <initializer_list>

namespace grelavo::makedb {

namespace {

// One prepared INSERT, run once per row.
class Inserter {
public:
    Inserter(Connection& db, const QString& sql) : m_statement(db, sql) {}
    void row(std::initializer_list<QVariant> values) {
        int position = 1;
        for (const QVariant& v : values)
            m_statement.bind(position++, v);
        m_statement.step();
        m_statement.reset();
    }

private:
    Statement m_statement;
};

const QString Blank = QStringLiteral(" - ");

void writeLookups(Connection& db, const Sources& s) {
    {
        Inserter ins(db,
                     QStringLiteral("INSERT INTO \"ListeDesPériodesApplication\" VALUES (?, ?)"));
        for (const Period& p : s.periods)
            ins.row({p.id, p.name});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"ListeDesHerbicides\" VALUES (?, ?)"));
        for (const Herbicide& h : s.herbicides)
            ins.row({h.id, h.name});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"ListeDesCultures\" VALUES (?, ?)"));
        for (const Crop& c : s.crops)
            ins.row({c.id, c.name});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"ListeDesVariétés\" VALUES (?, ?, ?)"));
        for (const Variety& v : s.varieties)
            ins.row({v.id, v.name, v.cropId});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"ListeDesAntécédents\" VALUES (?, ?)"));
        for (const WeightedName& a : s.previousCrops)
            ins.row({a.id, a.name});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"ListeDesProvinces\" VALUES (?, ?)"));
        for (const WeightedName& p : s.provinces)
            ins.row({p.id, p.name});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"ListedesClastext\" VALUES (?, ?)"));
        for (const SoilTexture& t : s.textures)
            ins.row({t.id, t.name});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"ListeDesTypesMH\" VALUES (?, ?)"));
        for (const WeedCategory& c : s.categories)
            ins.row({c.id, c.name});
    }
    {
        Inserter ins(
            db, QStringLiteral("INSERT INTO \"ListedesMauvaisesHerbes\" VALUES (?, ?, ?, ?, ?)"));
        for (const Weed& w : s.weeds)
            ins.row({w.id, w.french, w.latin, w.english, w.categoryId});
    }
}

void writeExperiments(Connection& db, const Dataset& d) {
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"tbldesSites\" VALUES (?, ?, ?, ?, ?)"));
        for (const SiteRow& r : d.sites)
            ins.row({r.id, r.provinceId, r.textureId, r.organicMatter, r.pH});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"tbldesTraitements\" VALUES (?, ?)"));
        for (const TreatmentRow& r : d.treatments)
            ins.row({r.id, r.siteId});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"tblPériodesApplication\" VALUES (?, ?, ?)"));
        for (const ApplicationRow& r : d.applications)
            ins.row({r.id, r.treatmentId, r.periodId});
    }
    {
        Inserter ins(db,
                     QStringLiteral("INSERT INTO \"tblDétailsHerbicides\" VALUES (?, ?, ?, ?)"));
        for (const ProductRow& r : d.products)
            ins.row({r.applicationId, r.herbicideId, r.formulationId, r.rate});
    }
    {
        Inserter ins(
            db, QStringLiteral("INSERT INTO \"tblCultureEXP\" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const CropRow& r : d.crops)
            ins.row({r.id, r.treatmentId, r.cropId, r.varietyId, r.previousCropId, r.sowingKg,
                     r.sowingGrains, r.depth, r.spacing});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"tblStadeCultureH\" VALUES (?, ?, ?, ?, ?)"));
        for (const StageRow& r : d.stages)
            ins.row({r.id, r.applicationId, r.cropId, r.height, r.leaves});
    }
    {
        Inserter ins(db, QStringLiteral("INSERT INTO \"tblMHEval\" VALUES (?, ?, ?, ?)"));
        for (const RatingRow& r : d.ratings)
            ins.row({r.id, r.treatmentId, r.weedId, r.visual ? QVariant(*r.visual) : QVariant()});
    }
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
