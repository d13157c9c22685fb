#include "ExperimentImport.h"

#include "ExchangeFolder.h"
#include "ExchangeLists.h"
#include "ExperimentExport.h"
#include "ImportPlan.h"
#include "db/Connection.h"
#include "db/DatabaseCheck.h"
#include "db/DatabaseEdition.h"
#include "db/DatabaseFile.h"
#include "db/DbError.h"
#include "db/Statement.h"
#include "db/Transaction.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace grelavo {

namespace {

const char* const kExperimentTables[] = {
    "tblMHEval",     "tblDétailsHerbicides", "tblStadeCultureH", "tblPériodesApplication",
    "tblCultureEXP", "tbldesTraitements",    "tbldesSites"};

ImportOutcome failed(const QString& why) {
    ImportOutcome outcome;
    outcome.status = ImportOutcome::Status::Failed;
    outcome.failure = why;
    return outcome;
}

QString shown(const QString& path) {
    return QStringLiteral("« %1 »").arg(QDir::toNativeSeparators(path));
}

QString missingTable(Connection& db) {
    const QStringList tables = db.tableNames();
    for (const char* name : kExperimentTables) {
        if (!tables.contains(QString::fromUtf8(name), Qt::CaseInsensitive))
            return QString::fromUtf8(name);
    }
    return QString();
}

// A copy of the whole database in a new file keyed as it is, written by the connection that
// holds it: nothing else opens the file meanwhile (closing another descriptor of a file would
// drop the locks SQLite holds on it).
// The connection opens attached files as it opened its own, without creating them: the copy
// starts as an empty file, which SQLite reads as an empty database.
void copyDatabase(Connection& db, const QString& to) {
    QFile empty(to);
    if (!empty.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw DbError(SQLITE_CANTOPEN,
                      QStringLiteral("cannot create %1: %2").arg(to, empty.errorString()));
    empty.close();
    try {
        Statement attach(db, QStringLiteral("ATTACH DATABASE ? AS \"copie\" KEY ?"));
        attach.bind(1, to);
        attach.bind(2, DatabaseFile::password());
        attach.step();
    } catch (...) {
        QFile::remove(to);
        throw;
    }
    try {
        Statement(db, QStringLiteral("SELECT sqlcipher_export('copie')")).step();
    } catch (...) {
        db.executeScript(QStringLiteral("DETACH DATABASE \"copie\""));
        QFile::remove(to);
        throw;
    }
    db.executeScript(QStringLiteral("DETACH DATABASE \"copie\""));
}

// Where the copy kept before an import goes: beside the file, named after it and the time.
QString backupPath(const QString& database) {
    const QString stem = database + QStringLiteral(".avant-import-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1").arg(n);
    return path;
}

class Writer {
public:
    Writer(Connection& db, const ExperimentImport::Progress& progress, qint64 total)
        : m_db(db), m_progress(progress), m_total(total) {}

    // Inserts one row and gives its number.
    qlonglong insert(Statement& statement, const QVariantList& values) {
        statement.reset();
        for (int i = 0; i < values.size(); ++i)
            statement.bind(i + 1, values[i]);
        statement.step();
        if (++m_done % 2000 == 0 && m_progress)
            m_progress(m_done, m_total);
        return sqlite3_last_insert_rowid(m_db.handle());
    }

private:
    Connection& m_db;
    const ExperimentImport::Progress& m_progress;
    qint64 m_total;
    qint64 m_done = 0;
};

QVariant idOf(const QVector<qlonglong>& ids, int index) {
    return index < 0 ? QVariant() : QVariant(ids.at(index));
}

// Adds the plan's rows and the log of the import, inside the caller's transaction.
void write(Connection& db, const ImportPlan& plan, const ExperimentImport::Progress& progress) {
    const ExperimentCounts counts = plan.counts();
    Writer w(db, progress, counts.total() + plan.names.size());
    QVector<ImportedKey> keys;
    for (const ImportPlan::Name& n : plan.names) {
        const bool variety = n.table == lists::varieties.tableName();
        Statement add(db, QStringLiteral("INSERT INTO %1 (%2, %3%4) VALUES (?, ?%5)")
                              .arg(Connection::quoteIdentifier(n.table),
                                   Connection::quoteIdentifier(n.idColumn),
                                   Connection::quoteIdentifier(n.nameColumn),
                                   variety ? QStringLiteral(", \"CultureId\"") : QString(),
                                   variety ? QStringLiteral(", ?") : QString()));
        QVariantList values{n.id, n.name};
        if (variety)
            values << n.crop;
        w.insert(add, values);
    }
    Statement site(db, QStringLiteral(R"(INSERT INTO "tbldesSites" ("ProvinceID",
        "ClasseTexturaleId", "MatièreOrganique", "pH") VALUES (?, ?, ?, ?))"));
    QVector<qlonglong> sites;
    for (const ImportPlan::Site& s : plan.sites) {
        sites << w.insert(site, {s.province, s.texture, s.organicMatter, s.pH});
        keys.append({QStringLiteral("site"), s.key, sites.last()});
    }
    Statement treatment(db, QStringLiteral(R"(INSERT INTO "tbldesTraitements" ("SiteExpId")
        VALUES (?))"));
    QVector<qlonglong> treatments;
    for (const ImportPlan::Treatment& t : plan.treatments) {
        treatments << w.insert(treatment, {idOf(sites, t.site)});
        keys.append({QStringLiteral("traitement"), t.key, treatments.last()});
    }
    Statement crop(db, QStringLiteral(R"(INSERT INTO "tblCultureEXP" ("TraitementId",
        "CultureId", "VariétéId", "AntécédentID", "TauxSemisKg", "TauxSemisSe", "ProfPlantEXP",
        "EcartPLantEXP") VALUES (?, ?, ?, ?, ?, ?, ?, ?))"));
    for (const ImportPlan::Crop& c : plan.crops)
        w.insert(crop, {treatments.at(c.treatment), c.crop, c.variety, c.previousCrop, c.sowingKg,
                        c.sowingGrains, c.depth, c.spacing});
    Statement application(db, QStringLiteral(R"(INSERT INTO "tblPériodesApplication"
        ("TraitementId", "TypeApplicationId") VALUES (?, ?))"));
    QVector<qlonglong> applications;
    for (const ImportPlan::Application& a : plan.applications) {
        applications << w.insert(application, {treatments.at(a.treatment), a.period});
        keys.append({QStringLiteral("application"), a.key, applications.last()});
    }
    Statement stage(db, QStringLiteral(R"(INSERT INTO "tblStadeCultureH" ("DateHerbId",
        "CultureId", "HautMoyenneCultH", "NoFeuilMoyenneCultH") VALUES (?, ?, ?, ?))"));
    for (const ImportPlan::Stage& s : plan.stages)
        w.insert(stage, {applications.at(s.application), s.crop, s.height, s.leaves});
    Statement product(db, QStringLiteral(R"(INSERT INTO "tblDétailsHerbicides" ("DateHerbId",
        "HerbicideId", "FormulationId", "HerbTauxH") VALUES (?, ?, ?, ?))"));
    for (const ImportPlan::Product& p : plan.products)
        w.insert(product, {applications.at(p.application), p.herbicide, p.formulation, p.rate});
    Statement rating(db, QStringLiteral(R"(INSERT INTO "tblMHEval" ("TraitementId", "MHId",
        "Visuel") VALUES (?, ?, ?))"));
    for (const ImportPlan::Rating& r : plan.ratings)
        w.insert(rating, {treatments.at(r.treatment), r.weed, r.visual});

    ImportLog::ensureTables(db);
    ImportLog::add(
        db,
        {QDateTime::currentDateTime().toString(Qt::ISODate), plan.files, counts, plan.addedNames()},
        keys);
}

// Checks the files against the connection's lists; writes them unless refused or a dry run.
// 'backup', when not empty, is where the copy of the file is made before the first write.
ImportOutcome importInto(Connection& db, const QVector<ImportFile>& files,
                         const ImportOptions& options, const ExperimentImport::Progress& progress,
                         const QString& backup) {
    ImportOutcome outcome;
    const ImportPlan plan = ImportPlan::check(db, files, options, &outcome.problems);
    if (!outcome.problems.isEmpty()) {
        outcome.status = ImportOutcome::Status::Refused;
        return outcome;
    }
    outcome.counts = plan.counts();
    outcome.addedNames = plan.addedNames();
    outcome.status = ImportOutcome::Status::Done;
    if (options.dryRun)
        return outcome;
    if (!backup.isEmpty()) {
        copyDatabase(db, backup);
        outcome.backup = backup;
    }
    Transaction transaction(db);
    write(db, plan, progress);
    transaction.commit();
    if (progress)
        progress(outcome.counts.total(), outcome.counts.total());
    return outcome;
}

// Leaves the structure, the lists and the prepared rows of a copy of the model: no experiment,
// no import, and an edition of its own that says it holds imported trials only.
void emptyModelCopy(Connection& db) {
    Transaction transaction(db);
    for (const char* table : kExperimentTables)
        db.executeScript(QStringLiteral("DELETE FROM %1")
                             .arg(Connection::quoteIdentifier(QString::fromUtf8(table))));
    ImportLog::clear(db);
    const QString edition = Connection::quoteIdentifier(DatabaseEdition::tableName());
    db.executeScript(QStringLiteral("DELETE FROM %1").arg(edition));
    Statement row(db, QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, 0)").arg(edition));
    row.bind(1, QStringLiteral("Essais importés"));
    row.bind(2, QDate::currentDate().toString(Qt::ISODate));
    row.bind(3, QStringLiteral("grelavo-import"));
    row.step();
    transaction.commit();
    db.executeScript(QStringLiteral("VACUUM"));
}

QString causeOf(const QString& path, const DbError& e) {
    return QStringLiteral("La base de données %1 n'a pas pu être utilisée : %2. Rien n'a été "
                          "importé.")
        .arg(shown(path), DatabaseCheck::causeInWords(e));
}

ImportOutcome intoNewDatabase(const QString& database, const QVector<ImportFile>& files,
                              const ImportOptions& options,
                              const ExperimentImport::Progress& progress) {
    if (QFileInfo::exists(database))
        return failed(QStringLiteral("Le fichier %1 existe déjà : une nouvelle base de données "
                                     "ne le remplace pas.")
                          .arg(shown(database)));
    if (options.model.isEmpty() || !QFileInfo(options.model).isFile())
        return failed(QStringLiteral("La base de données modèle %1 est introuvable : elle donne "
                                     "sa structure et ses listes à la nouvelle base.")
                          .arg(shown(options.model)));
    // Made under a name of its own, beside the file it becomes, renamed only once complete.
    const QString temporary =
        database + QStringLiteral(".en-cours-%1").arg(QCoreApplication::applicationPid());
    try {
        // The model is only read (it may be a read-only shipped file); the copy is one
        // statement, so one consistent reading of it.
        try {
            Connection model(options.model, DatabaseFile::password());
            const QString missing = missingTable(model);
            if (!missing.isEmpty())
                return failed(QStringLiteral("%1 n'est pas une base de données Grelavo (table "
                                             "%2 absente).")
                                  .arg(shown(options.model), missing));
            copyDatabase(model, temporary);
        } catch (const DbError& e) {
            return failed(causeOf(options.model, e));
        }
        ImportOutcome outcome;
        {
            Connection db(temporary, DatabaseFile::password(), Connection::Mode::ReadWrite,
                          Connection::Access::Exclusive);
            emptyModelCopy(db);
            outcome = importInto(db, files, options, progress, QString());
        }
        if (outcome.status == ImportOutcome::Status::Done && !options.dryRun &&
            !QFile::rename(temporary, database)) {
            QFile::remove(temporary);
            return failed(QStringLiteral("La nouvelle base de données %1 n'a pas pu être "
                                         "enregistrée sous ce nom.")
                              .arg(shown(database)));
        }
        QFile::remove(temporary);
        return outcome;
    } catch (const DbError& e) {
        QFile::remove(temporary);
        return failed(causeOf(database, e));
    }
}

} // namespace

ImportOutcome ExperimentImport::run(const QString& database, const QStringList& files,
                                    const ImportOptions& options, const Progress& progress) {
    if (progress)
        progress(0, 0);
    QVector<ImportProblem> problems;
    QString failure;
    const QVector<ImportFile> read = readFiles(files, &problems, &failure);
    if (!failure.isEmpty())
        return failed(failure);
    if (!problems.isEmpty()) {
        ImportOutcome outcome;
        outcome.status = ImportOutcome::Status::Refused;
        outcome.problems = problems;
        return outcome;
    }
    if (options.newDatabase)
        return intoNewDatabase(database, read, options, progress);
    if (!QFileInfo(database).isFile())
        return failed(
            QStringLiteral("La base de données %1 est introuvable.").arg(shown(database)));
    try {
        Connection db(database, DatabaseFile::password(), Connection::Mode::ReadWrite,
                      Connection::Access::Exclusive);
        const QString missing = missingTable(db);
        if (!missing.isEmpty())
            return failed(QStringLiteral("%1 n'est pas une base de données Grelavo (table %2 "
                                         "absente).")
                              .arg(shown(database), missing));
        return importInto(db, read, options, progress,
                          options.keepCopy ? backupPath(database) : QString());
    } catch (const DbError& e) {
        return failed(causeOf(database, e));
    }
}

} // namespace grelavo
