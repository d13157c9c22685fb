#include "ExperimentImport.h"

#include "DurableFile.h"
#include "ExchangeFolder.h"
#include "ExchangeLists.h"
#include "ExperimentExport.h"
#include "ImportPlan.h"
#include "ImportStaging.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseEdition.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DatabaseStamp.h"
#include "core/db/DbError.h"
#include "core/db/Lists.h"
#include "core/db/Statement.h"
#include "core/db/SystemError.h"
#include "core/db/Transaction.h"
#include "core/text/NameText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <cerrno>
#include <optional>
#include <sqlite3.h>

namespace grelavo {

namespace {

ImportOutcome failed(const QString& why) {
    ImportOutcome outcome;
    outcome.status = ImportOutcome::Status::Failed;
    outcome.failure = why;
    return outcome;
}

// A copy of the database that could not be made, said in a whole message: nothing is imported.
struct CopyFailed {
    QString message;
};

// A copy of the whole database into 'to', an empty file, keyed as the database is, written by
// the connection that holds it: nothing else opens the file meanwhile (closing another descriptor
// of a file would drop the locks SQLite holds on it).
// The connection opens attached files as it opened its own, without creating them: the copy
// starts as an empty file, which SQLite reads as an empty database.
void exportInto(Connection& db, const QString& to) {
    const auto remove = [&] {
        QFile::remove(to);
        QFile::remove(to + QStringLiteral("-journal"));
    };
    try {
        Statement attach(db, QStringLiteral("ATTACH DATABASE ? AS \"copie\" KEY ?"));
        attach.bind(1, to);
        attach.bind(2, DatabaseFile::password());
        attach.step();
    } catch (...) {
        remove();
        throw;
    }
    try {
        Statement(db, QStringLiteral("SELECT sqlcipher_export('copie')")).step();
    } catch (...) {
        try {
            db.executeScript(QStringLiteral("DETACH DATABASE \"copie\""));
        } catch (const DbError&) {
            // Still attached: the file goes all the same, and the error that matters is thrown.
        }
        remove();
        throw;
    }
    db.executeScript(QStringLiteral("DETACH DATABASE \"copie\""));
}

// A copy of the whole database in a new file, 'to'.
void copyDatabase(Connection& db, const QString& to) {
    QFile empty(to);
    if (!empty.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const int error = errno;
        throw CopyFailed{
            QStringLiteral("Le fichier %1 n'a pas pu être créé\u00a0: %2. Rien n'a été "
                           "importé.")
                .arg(NameText::quotedPath(to), fileErrorInWords(empty.error(), error))};
    }
    empty.close();
    exportInto(db, to);
}

// The copy kept before an import is written under this name beside the database, followed by
// the process number; only a complete, checked copy is renamed to its final name.
QString unfinishedCopyPrefix(const QString& database) {
    return database + QStringLiteral(".copie-en-cours-");
}

// Removes what a run stopped while it wrote the copy left (the copy and its journal): the
// database is held, so no other run is writing one.
void removeUnfinishedCopies(const QString& database) {
    const QFileInfo prefix(unfinishedCopyPrefix(database));
    QDir folder = prefix.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.startsWith(prefix.fileName()))
            folder.remove(name);
    }
}

// The row count of every table of the connection's file, by table.
QMap<QString, qlonglong> tableRows(Connection& db) {
    QMap<QString, qlonglong> rows;
    for (const QString& table : db.tableNames()) {
        Statement count(
            db, QStringLiteral("SELECT count(*) FROM %1").arg(Connection::quoteIdentifier(table)));
        count.step();
        rows.insert(table, count.value(0).toLongLong());
    }
    return rows;
}

// The copy of the database kept before the first write, at 'to': written under a name of its
// own with the database's mode and owner, forced to the disk, opened again and compared with
// the database, and only then given its name. Throws DbError, leaving no copy.
void keepCopy(Connection& db, const QString& database, const QString& to) {
    const QString unfinished =
        unfinishedCopyPrefix(database) + QString::number(QCoreApplication::applicationPid());
    const QString folder = QFileInfo(database).absolutePath();
    const auto fail = [&](const QString& why) {
        QFile::remove(unfinished);
        QFile::remove(unfinished + QStringLiteral("-journal"));
        throw CopyFailed{QStringLiteral("La copie de la base de données %1 n'a pas pu être "
                                        "faite avant l'import\u00a0: %2. Rien n'a été importé.")
                             .arg(NameText::quotedPath(to), why)};
    };
    const QString refused = durable::createLike(unfinished, database);
    if (!refused.isEmpty())
        fail(refused);
    try {
        exportInto(db, unfinished);
    } catch (const DbError& e) {
        fail(DatabaseCheck::causeInWords(e));
    }
    if (!durable::syncFile(unfinished))
        fail(QStringLiteral("elle n'a pas pu être écrite sur le disque"));
    QString unlike;
    try {
        Connection copy(unfinished, DatabaseFile::password());
        if (tableRows(copy) != tableRows(db))
            unlike = QStringLiteral("elle ne contient pas ce que contient la base de données");
    } catch (const DbError& e) {
        unlike =
            QStringLiteral("elle ne se relit pas\u00a0: %1").arg(DatabaseCheck::causeInWords(e));
    }
    if (!unlike.isEmpty())
        fail(unlike);
    if (!durable::rename(unfinished, to))
        fail(QStringLiteral("elle n'a pas pu recevoir son nom\u00a0: %1")
                 .arg(systemErrorInWords(errno)));
    if (!durable::syncFolder(folder)) {
        QFile::remove(to);
        fail(QStringLiteral("son nom n'a pas pu être écrit sur le disque"));
    }
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

// Adds the rows the check staged, and the log of the import, inside the caller's transaction.
void write(Connection& db, ImportStaging& staging, const ImportPlan& checked,
           const ImportRecord& record, const ExperimentImport::Progress& progress) {
    ImportLog::ensureTables(db);
    ImportLog::add(db, record, {});
    const qlonglong importId = sqlite3_last_insert_rowid(db.handle());
    staging.copyInto(checked.names, importId, progress,
                     checked.counts().total() + checked.names.size());
}

// An import under way: what it will have done, and the record it writes, known before its
// commit so that a failed commit can be looked for in the file.
struct Attempt {
    ImportOutcome outcome;
    ImportRecord record;
    bool committing = false;
};

// Checks the files against the connection's lists; writes them unless refused or a dry run.
// 'backup', when not empty, is where the copy of the file 'database' is kept before the first
// write.
// 'attempt' is filled as the import goes, so that the caller knows, when this throws, whether the
// commit was reached.
// 'synthetic': the set's edition file says its trials are synthetic; the database is marked so.
ImportOutcome importInto(Connection& db, const QVector<ImportFile>& files,
                         const ImportOptions& options, const ExperimentImport::Progress& progress,
                         const QString& database, const QString& backup, bool synthetic,
                         Attempt* attempt) {
    ImportOutcome& outcome = attempt->outcome;
    // Checked once: the rows found sound are staged as they come (a dry run only counts them),
    // and written from there.
    std::optional<ImportStaging> staging;
    if (!options.dryRun)
        staging.emplace(db);
    const ImportPlan plan = ImportPlan::check(db, files, options, &outcome.problems,
                                              staging ? &staging->rows() : nullptr);
    if (!outcome.problems.isEmpty()) {
        outcome.status = ImportOutcome::Status::Refused;
        outcome.problemCount = plan.problemCount;
        return outcome;
    }
    outcome.counts = plan.counts();
    outcome.addedNames = plan.addedNames();
    outcome.acceptedUnusual = plan.unusual;
    outcome.status = ImportOutcome::Status::Done;
    if (options.dryRun)
        return outcome;
    staging->finishRows();
    if (!backup.isEmpty()) {
        keepCopy(db, database, backup);
        outcome.backup = backup;
    }
    attempt->record = {QDateTime::currentDateTime().toString(Qt::ISODate), plan.files,
                       outcome.counts, outcome.addedNames};
    Transaction transaction(db);
    write(db, *staging, plan, attempt->record, progress);
    if (synthetic)
        DatabaseEdition::markSynthetic(db);
    attempt->committing = true;
    transaction.commit();
    if (progress)
        progress(outcome.counts.total(), outcome.counts.total());
    return outcome;
}

// Leaves the structure, the lists and the prepared rows of a copy of the model: no experiment,
// no import, and an edition of its own that says it holds imported trials only.
void emptyModelCopy(Connection& db) {
    Transaction transaction(db);
    for (const char* table : lists::kExperimentTables)
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
    return QStringLiteral("La base de données %1 n'a pas pu être utilisée\u00a0: %2. Rien n'a été "
                          "importé.")
        .arg(NameText::quotedPath(path), DatabaseCheck::causeInWords(e));
}

// Whether the set's edition file (when it has one) says its trials are synthetic: the
// "synthetique" column of its row, 1 or 0 (empty for 0). Another value is a problem.
bool syntheticSet(const QVector<ImportFile>& files, QVector<ImportProblem>* problems) {
    const ExchangeFile& format = ExperimentExport::editionFile();
    bool synthetic = false;
    for (const ImportFile& f : files) {
        if (f.name != format.name)
            continue;
        int column = -1;
        for (int c = 0; c < f.format.headings.size(); ++c) {
            if (f.format.headings[c].compare(format.headings.last(), Qt::CaseInsensitive) == 0)
                column = c;
        }
        if (column < 0) {
            problems->append({f.name, 1, format.headings.last(),
                              QStringLiteral("colonne absente\u00a0: les colonnes sont %1")
                                  .arg(format.headings.join(QStringLiteral(", ")))});
            continue;
        }
        ImportFileRecords records(f);
        for (CsvRecord r; records.next(&r);) {
            const QString value = r.fields.value(column).trimmed();
            if (value == QLatin1String("1"))
                synthetic = true;
            else if (!value.isEmpty() && value != QLatin1String("0"))
                problems->append(
                    {f.name, r.line, format.headings.last(),
                     QStringLiteral("«\u00a0%1\u00a0»\u00a0: 1 (essais synthétiques) ou 0 attendu")
                         .arg(value)});
        }
    }
    return synthetic;
}

// Whether the file holds the import 'record': read by a connection of its own, which first puts
// back what an unfinished commit left (a hot journal).
bool committed(const QString& database, const ImportRecord& record) {
    try {
        Connection db(database, DatabaseFile::password());
        return ImportLog::read(db).contains(record);
    } catch (const DbError&) {
        return false;
    }
}

ImportOutcome intoNewDatabase(const QString& database, const QVector<ImportFile>& files,
                              const ImportOptions& options,
                              const ExperimentImport::Progress& progress, bool synthetic) {
    if (QFileInfo::exists(database))
        return failed(
            QStringLiteral("Le fichier %1 existe déjà\u00a0: une nouvelle base de données "
                           "ne le remplace pas.")
                .arg(NameText::quotedPath(database)));
    if (options.model.isEmpty() || !QFileInfo(options.model).isFile())
        return failed(
            QStringLiteral("La base de données modèle %1 est introuvable\u00a0: elle donne "
                           "sa structure et ses listes à la nouvelle base.")
                .arg(NameText::quotedPath(options.model)));
    // Made under a name of its own, beside the file it becomes, renamed only once complete.
    const QString temporary =
        database + QStringLiteral(".en-cours-%1").arg(QCoreApplication::applicationPid());
    try {
        // The model is only read (it may be a read-only shipped file); the copy is one
        // statement, so one consistent reading of it.
        try {
            Connection model(options.model, DatabaseFile::password());
            const QString missing = missingExperimentTable(model);
            if (!missing.isEmpty())
                return failed(QStringLiteral("%1 n'est pas une base de données Grelavo (table "
                                             "%2 absente).")
                                  .arg(NameText::quotedPath(options.model), missing));
            copyDatabase(model, temporary);
        } catch (const DbError& e) {
            return failed(causeOf(options.model, e));
        } catch (const CopyFailed& e) {
            return failed(e.message);
        }
        ImportOutcome outcome;
        {
            Connection db(temporary, DatabaseFile::password(), Connection::Mode::ReadWrite,
                          Connection::Access::Exclusive);
            emptyModelCopy(db);
            Attempt attempt;
            outcome =
                importInto(db, files, options, progress, QString(), QString(), synthetic, &attempt);
        }
        if (outcome.status == ImportOutcome::Status::Done && !options.dryRun &&
            !QFile::rename(temporary, database)) {
            QFile::remove(temporary);
            return failed(QStringLiteral("La nouvelle base de données %1 n'a pas pu être "
                                         "enregistrée sous ce nom.")
                              .arg(NameText::quotedPath(database)));
        }
        QFile::remove(temporary);
        return outcome;
    } catch (const DbError& e) {
        QFile::remove(temporary);
        return failed(causeOf(database, e));
    } catch (const ImportReadFailed& e) {
        QFile::remove(temporary);
        return failed(e.message);
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
    bool synthetic = false;
    try {
        synthetic = syntheticSet(read, &problems);
    } catch (const ImportReadFailed& e) {
        return failed(e.message);
    }
    if (!problems.isEmpty()) {
        ImportOutcome outcome;
        outcome.status = ImportOutcome::Status::Refused;
        outcome.problems = problems;
        return outcome;
    }
    if (options.newDatabase)
        return intoNewDatabase(database, read, options, progress, synthetic);
    if (!QFileInfo(database).isFile())
        return failed(QStringLiteral("La base de données %1 est introuvable.")
                          .arg(NameText::quotedPath(database)));
    // A file Grelavo found whole and no one else has written since is whole after the import's
    // own write: its stamp follows it (DatabaseCheck).
    const bool stamped =
        DatabaseStamp::current(database) && !DatabaseStamp::interruptedWrite(database);
    Attempt attempt;
    ImportOutcome outcome;
    try {
        Connection db(database, DatabaseFile::password(), Connection::Mode::ReadWrite,
                      Connection::Access::Exclusive);
        const QString missing = missingExperimentTable(db);
        if (!missing.isEmpty())
            return failed(QStringLiteral("%1 n'est pas une base de données Grelavo (table %2 "
                                         "absente).")
                              .arg(NameText::quotedPath(database), missing));
        if (!options.dryRun)
            removeUnfinishedCopies(database);
        outcome =
            importInto(db, read, options, progress, database,
                       options.keepCopy ? backupPath(database) : QString(), synthetic, &attempt);
    } catch (const DbError& e) {
        // The connection is closed: the file, opened again, says whether the commit took.
        if (attempt.committing && committed(database, attempt.record)) {
            ImportOutcome outcome = attempt.outcome;
            outcome.commitError = DatabaseCheck::causeInWords(e);
            return outcome;
        }
        return failed(causeOf(database, e));
    } catch (const CopyFailed& e) {
        return failed(e.message);
    } catch (const ImportReadFailed& e) {
        return failed(e.message);
    }
    if (stamped && outcome.status == ImportOutcome::Status::Done && !options.dryRun)
        DatabaseStamp::write(database);
    return outcome;
}

} // namespace grelavo
