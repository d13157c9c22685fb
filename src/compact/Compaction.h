#pragma once

#include "CompactError.h"

#include <QString>
#include <functional>
#include <optional>

namespace pelvane {

class DatabaseEngine;
class FileOperations;

// One compaction run of the database file in the program folder: the database is compacted
// into <name>.CPT, renamed <name>.OLD, and the copy compacted back under the database's own
// name; the work files are then deleted. The file name is matched without regard to case.
//
// A failed run never leaves the folder without its database: a failure before the rename
// leaves the database untouched, a failure after it puts <name>.OLD back, and a run that
// finds <name>.OLD and no database (an earlier run cut short) puts it back first.
class Compaction {
public:
    enum class Outcome { Compacted, Failed };
    using Messages = std::function<void(const QString& text)>;

    static QString databaseName();  // "Grelavo.mdb"
    static QString connectString(); // the source's password, as the engine is given it

    Compaction(QString folder, DatabaseEngine& engine, FileOperations& files, Messages messages);

    // Runs the whole sequence. The messages are "Erreur." (no database) and
    // "compactage terminée"; any other failure ends the run without a message.
    Outcome CompactDatabaseFile();

    // Why the last run failed.
    const std::optional<CompactError>& error() const { return m_error; }

private:
    void locateDatabase();
    void removeAll(const QString& name);
    void firstCompaction();
    void secondCompaction();
    void discard(const QString& path);
    bool exists(const QString& path) const;

    QString m_folder;
    DatabaseEngine& m_engine;
    FileOperations& m_files;
    Messages m_messages;

    QString m_database;  // the database path, under its own spelling
    QString m_compacted; // <database>.CPT
    QString m_backup;    // <database>.OLD
    QString m_connect;   // empty until the engine asks for the password
    std::optional<CompactError> m_error;
};

} // namespace pelvane
