#include "Compaction.h"

#include "DatabaseEngine.h"
#include "FileOperations.h"

#include <QDir>
#include <QFileInfo>

namespace pelvane {

namespace {

const QString Compacted = QStringLiteral(".CPT");
const QString Backup = QStringLiteral(".OLD");

} // namespace

QString Compaction::databaseName() {
    return QStringLiteral("Grelavo.mdb");
}

QString Compaction::connectString() {
    return QStringLiteral(";pwd=wkhtqelmzav");
}

Compaction::Compaction(QString folder, DatabaseEngine& engine, FileOperations& files,
                       Messages messages)
    : m_folder(std::move(folder)), m_engine(engine), m_files(files),
      m_messages(std::move(messages)) {}

Compaction::Outcome Compaction::CompactDatabaseFile() {
    m_connect.clear();
    m_error.reset();
    try {
        locateDatabase();
        if (!exists(m_database))
            m_messages(QStringLiteral("Erreur.")); // the compaction below then fails
        removeAll(QFileInfo(m_compacted).fileName());
        firstCompaction();
        removeAll(QFileInfo(m_backup).fileName());
        m_files.rename(m_database, m_backup);
        secondCompaction();
        m_messages(QStringLiteral("compactage terminée"));
        m_files.remove(m_compacted);
        m_files.remove(m_backup);
        return Outcome::Compacted;
    } catch (const CompactError& e) {
        // A copy is only kept when it is all there is beside the backup (the backup could not
        // be put back): the next run then removes it.
        if (exists(m_database))
            discard(m_compacted);
        m_error = e;
        return Outcome::Failed;
    }
}

void Compaction::locateDatabase() {
    const QDir dir(m_folder);
    const QStringList databases = m_files.find(m_folder, databaseName());
    if (!databases.isEmpty()) {
        m_database = databases.first();
    } else {
        // A run cut short between the rename and the end of the second compaction.
        const QStringList backups = m_files.find(m_folder, databaseName() + Backup);
        if (backups.isEmpty()) {
            m_database = dir.filePath(databaseName());
        } else {
            m_database = backups.first().chopped(Backup.size());
            m_files.rename(backups.first(), m_database);
        }
    }
    m_compacted = m_database + Compacted;
    m_backup = m_database + Backup;
}

void Compaction::removeAll(const QString& name) {
    const QStringList stale = m_files.find(m_folder, name);
    for (const QString& path : stale)
        m_files.remove(path);
}

void Compaction::firstCompaction() {
    for (;;) {
        try {
            m_engine.compactDatabase(m_database, m_compacted, m_connect);
            break;
        } catch (const CompactError& e) {
            if (e.number != CompactError::FileExists)
                discard(m_compacted);
            // Asked for the password once: a database under another one fails the retry.
            if (e.number == CompactError::PasswordNeeded && m_connect.isEmpty()) {
                m_connect = connectString();
                continue;
            }
            throw;
        }
    }
    // The database is only swapped for a copy that opens and is whole.
    try {
        m_engine.checkDatabase(m_compacted, m_connect);
    } catch (const CompactError&) {
        discard(m_compacted);
        throw;
    }
}

void Compaction::secondCompaction() {
    try {
        m_engine.compactDatabase(m_compacted, m_database, m_connect);
        m_engine.checkDatabase(m_database, m_connect);
    } catch (const CompactError& e) {
        // Back to the database as it was; should this fail too, the next run puts it back.
        if (e.number != CompactError::FileExists)
            discard(m_database);
        m_files.rename(m_backup, m_database);
        discard(m_compacted);
        throw;
    }
}

void Compaction::discard(const QString& path) {
    if (!exists(path))
        return;
    try {
        m_files.remove(path);
    } catch (const CompactError&) {
        // A work file that stays is removed by the next run.
    }
}

bool Compaction::exists(const QString& path) const {
    return QFileInfo(path).isFile();
}

} // namespace pelvane
