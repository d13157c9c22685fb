#include "Compaction.h"

#include "FileOperations.h"
#include "core/db/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelvane {

namespace {

const QString Compacted = QStringLiteral(".CPT");
const QString Fresh = QStringLiteral(".NEW");
const QString Backup = QStringLiteral(".OLD");
const QString Journal = QStringLiteral("-journal"); // the engine's rollback journal of a file

// The file a chain of symbolic links leads to, whether it exists or not.
QString followLinks(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops)
        info = QFileInfo(info.symLinkTarget());
    return info.absoluteFilePath();
}

bool present(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

CompactError refusal(const QString& path, const QString& cause) {
    return CompactError{
        CompactError::Refused,
        QStringLiteral(
            "Le fichier «\u00a0%1\u00a0» n'a pas été compacté\u00a0: %2. Rien n'a été modifié.")
            .arg(QDir::toNativeSeparators(path), cause)};
}

QString userName(uid_t user) {
    const passwd* entry = ::getpwuid(user);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(user);
}

QString groupName(gid_t group) {
    const struct group* entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

} // namespace

QString Compaction::failureInWords() const {
    if (!m_error || m_error->number == CompactError::Refused)
        return QString();
    const QString named = QDir::toNativeSeparators(m_named.isEmpty() ? m_database : m_named);
    QString cause;
    switch (m_error->number) {
    case CompactError::FileNotFound:
        cause =
            QFileInfo(m_named).isSymLink()
                ? QStringLiteral(
                      "«\u00a0%1\u00a0» est un lien vers «\u00a0%2\u00a0», qui n'existe pas")
                      .arg(named, QDir::toNativeSeparators(QFileInfo(m_named).symLinkTarget()))
                : QStringLiteral("la base de données «\u00a0%1\u00a0» est introuvable").arg(named);
        break;
    case CompactError::PasswordNeeded:
        cause =
            QStringLiteral("«\u00a0%1\u00a0» n'est pas une base de données Grelavo, ou sa clé est "
                           "différente")
                .arg(named);
        break;
    case CompactError::FileExists:
        cause = QStringLiteral("un fichier de travail existe déjà à côté de «\u00a0%1\u00a0»")
                    .arg(named);
        break;
    case CompactError::InUse:
        cause = QStringLiteral(
                    "«\u00a0%1\u00a0» est utilisée par un autre programme (Grelavo est peut-être "
                    "ouvert)")
                    .arg(named);
        break;
    case CompactError::DamagedCopy:
        cause =
            QStringLiteral(
                "«\u00a0%1\u00a0» ou sa copie compactée est endommagée\u00a0; la base de données "
                "est gardée telle quelle")
                .arg(named);
        break;
    case CompactError::FileOperation:
        cause = QStringLiteral(
                    "un fichier à côté de «\u00a0%1\u00a0» n'a pas pu être écrit, renommé ou "
                    "supprimé\u00a0: %2")
                    .arg(named, grelavo::systemErrorInWords(m_error->systemError));
        break;
    default:
        cause =
            QStringLiteral("le moteur de base de données a échoué sur «\u00a0%1\u00a0»").arg(named);
        break;
    }
    return QStringLiteral("Le compactage ne s'est pas fait jusqu'au bout\u00a0: %1.").arg(cause);
}

QString Compaction::databaseName() {
    return QStringLiteral("Grelavo.mdb");
}

QString Compaction::connectString() {
    return QStringLiteral(";pwd=wkhtqelmzav");
}

Compaction::Compaction(QString folder, DatabaseEngine& engine, FileOperations& files,
                       Messages messages, Checkpoints checkpoints)
    : m_programFolder(std::move(folder)), m_engine(engine), m_files(files),
      m_messages(std::move(messages)), m_checkpoints(std::move(checkpoints)) {}

Compaction::Outcome Compaction::CompactDatabaseFile() {
    m_error.reset();
    m_databaseSafe = false;
    try {
        locateDatabase();
        recover();
        checkpoint("recovered");
        m_engine.compactDatabase(m_database, m_compacted, connectString());
        checkpoint("first-compaction");
        verify(m_compacted);
        checkpoint("copy-checked");
        m_engine.compactDatabase(m_compacted, m_fresh, connectString());
        checkpoint("second-compaction");
        verify(m_fresh);
        m_files.keepAttributes(m_database, m_fresh);
        m_files.sync(m_fresh);
        checkpoint("new-ready");
        m_files.backup(m_database, m_backup);
        checkpoint("backed-up");
        m_files.rename(m_fresh, m_database);
        m_files.sync(m_folder);
        checkpoint("swapped");
        removeWithJournal(m_compacted);
        checkpoint("copy-removed");
        removeWithJournal(m_backup);
        m_files.sync(m_folder);
        checkpoint("cleaned");
        m_messages(QStringLiteral("compactage terminée"));
        return Outcome::Compacted;
    } catch (const CompactError& e) {
        if (e.number == CompactError::Refused)
            m_messages(e.message);
        if (m_databaseSafe)
            discardWorkFiles();
        m_error = e;
        return Outcome::Failed;
    }
}

void Compaction::locateDatabase() {
    const QDir dir(m_programFolder);
    QString path = dir.filePath(databaseName());
    const QStringList databases = m_files.find(m_programFolder, databaseName());
    if (!databases.isEmpty()) {
        path = databases.first();
    } else {
        // Left by an earlier run as one of its work files only: the database takes that
        // file's spelling.
        for (const QString& suffix : {Backup, Compacted, Fresh}) {
            const QStringList left = m_files.find(m_programFolder, databaseName() + suffix);
            if (!left.isEmpty()) {
                path = left.first().chopped(suffix.size());
                break;
            }
        }
    }
    // A link is followed: its target is replaced in its own folder, so that the swap is one
    // rename and the link keeps leading to the database.
    m_named = path;
    m_database = followLinks(path);
    m_folder = QFileInfo(m_database).absolutePath();
    m_compacted = m_database + Compacted;
    m_fresh = m_database + Fresh;
    m_backup = m_database + Backup;
}

// Recovery from whatever an earlier run left. A file is whole when it opens with the password,
// passes the integrity check and holds tables. The database stands when it is whole, unless it
// is the remains of a swap cut short (by an earlier version, which compacted straight under the
// database's name): it lacks tables, views or rows of a whole <name>.OLD, and a whole <name>.CPT
// holds just what that backup holds; the backup is then put back. A database that is missing or
// not whole is replaced by the first whole file of <name>.OLD, <name>.CPT and <name>.NEW. With
// no whole file at all nothing is touched: "Erreur." when there is no database, otherwise the
// database is refused. Once the database is whole under its own name, the other work files are
// removed.
void Compaction::recover() {
    std::optional<DatabaseSummary> database;
    QString problem;
    database = inspect(m_database, &problem);
    const QString chosen = chooseDatabase(database);
    if (chosen.isEmpty()) {
        if (!present(m_database)) {
            m_messages(QStringLiteral("Erreur."));
            throw CompactError{CompactError::FileNotFound,
                               QStringLiteral("%1: file not found").arg(m_database)};
        }
        throw refusal(m_database, problem);
    }
    requireOwnerKept(chosen);
    m_source = *database;
    if (chosen != m_database) {
        // A journal left without its database would be played into the file put back.
        if (present(m_database + Journal))
            m_files.remove(m_database + Journal);
        m_files.rename(chosen, m_database);
        m_files.sync(m_folder);
        checkpoint("restored");
    }
    m_databaseSafe = true;
    removeWorkFiles();
}

QString Compaction::chooseDatabase(std::optional<DatabaseSummary>& database) {
    if (database) {
        for (const QString& backup : workFiles(Backup)) {
            const auto whole = inspect(backup);
            if (!whole)
                continue;
            if (database->lacksAnythingOf(*whole) && compactedCopyHolds(*whole)) {
                database = whole;
                return backup;
            }
            break;
        }
        return m_database;
    }
    for (const QString& suffix : {Backup, Compacted, Fresh}) {
        for (const QString& copy : workFiles(suffix)) {
            if ((database = inspect(copy)))
                return copy;
        }
    }
    return QString();
}

bool Compaction::compactedCopyHolds(const DatabaseSummary& summary) {
    for (const QString& copy : workFiles(Compacted)) {
        const auto whole = inspect(copy);
        if (whole && *whole == summary)
            return true;
    }
    return false;
}

// What 'path' holds when it is whole; otherwise why not, in 'problem'. A file that is busy or
// cannot be read is no sign of a run cut short: that failure ends the run.
std::optional<DatabaseSummary> Compaction::inspect(const QString& path, QString* problem) {
    QString why;
    std::optional<DatabaseSummary> summary;
    const QFileInfo info(path);
    if (!info.isFile()) {
        why = QStringLiteral("ce n'est pas un fichier (dossier, ou lien symbolique qui ne mène "
                             "à aucun fichier)");
    } else if (info.size() == 0) {
        why = QStringLiteral("il est vide (0 octet)");
    } else {
        try {
            summary = m_engine.checkDatabase(path, connectString());
            if (!summary->hasTables()) {
                summary.reset();
                why = QStringLiteral("il ne contient aucune table, ce n'est pas une base de "
                                     "données Grelavo");
            }
        } catch (const CompactError& e) {
            if (e.number == CompactError::PasswordNeeded)
                why = QStringLiteral("ce n'est pas une base de données Grelavo, ou elle n'a pas "
                                     "le mot de passe de Grelavo");
            else if (e.number == CompactError::DamagedCopy)
                why = QStringLiteral("il est endommagé (%1)").arg(e.message);
            else
                throw;
        }
    }
    if (problem)
        *problem = why;
    return summary;
}

void Compaction::requireOwnerKept(const QString& path) const {
    if (m_files.canKeepOwner(path))
        return;
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    throw refusal(
        path, QStringLiteral(
                  "il appartient à l'utilisateur «\u00a0%1\u00a0» et au groupe «\u00a0%2\u00a0», "
                  "que Pelvane, lancé par «\u00a0%3\u00a0», ne pourrait pas rendre à "
                  "la copie compactée")
                  .arg(userName(status.st_uid), groupName(status.st_gid), userName(::geteuid())));
}

// A copy is only swapped in when it opens, passes the integrity check and holds what the
// database holds.
void Compaction::verify(const QString& copy) {
    if (m_engine.checkDatabase(copy, connectString()) != m_source)
        throw CompactError{CompactError::DamagedCopy,
                           QStringLiteral("%1 does not hold what %2 holds").arg(copy, m_database)};
}

void Compaction::removeWorkFiles() {
    for (const QString& suffix : {Compacted, Fresh, Backup}) {
        for (const QString& path : workFiles(suffix))
            removeWithJournal(path);
        for (const QString& journal :
             m_files.find(m_folder, QFileInfo(m_database).fileName() + suffix + Journal))
            m_files.remove(journal);
    }
}

// After a failure: the database is whole, the copies are of no more use. One that cannot be
// removed now is removed by the next run.
void Compaction::discardWorkFiles() {
    for (const QString& suffix : {Compacted, Fresh, Backup}) {
        for (const QString& path : workFiles(suffix)) {
            try {
                removeWithJournal(path);
            } catch (const CompactError&) {
            }
        }
    }
}

// The journal goes after its file: a journal left alone is removed by the next run, while a copy
// cut short and left without its journal could pass for a whole one.
void Compaction::removeWithJournal(const QString& path) {
    if (present(path))
        m_files.remove(path);
    if (present(path + Journal))
        m_files.remove(path + Journal);
}

QStringList Compaction::workFiles(const QString& suffix) const {
    return m_files.find(m_folder, QFileInfo(m_database).fileName() + suffix);
}

void Compaction::checkpoint(const char* step) const {
    if (m_checkpoints)
        m_checkpoints(step);
}

} // namespace pelvane
