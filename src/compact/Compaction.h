#pragma once

#include "CompactError.h"
#include "DatabaseEngine.h"

#include <QString>
#include <functional>
#include <optional>

namespace pelvane {

class FileOperations;

// One compaction run of the database file in the program folder. The database is compacted into
// <name>.CPT, that copy compacted again into <name>.NEW, and <name>.NEW, once checked and written
// to the disk, takes the database's name in one rename; <name>.OLD, a second name of the
// uncompacted database, covers the swap. File names are matched without regard to case.
//
// The database is never lost, wherever a run stops: the database's own name only ever holds the
// database or a copy that was checked against it, and a run starts by recovering from whatever an
// earlier run left (see recover()). A file that is not a Grelavo database, or whose owner this
// run could not keep, is refused with a message and left alone, as is everything beside it. A
// database reached through a symbolic link is compacted where the link leads, its work files
// beside it; the link stays as it is.
class Compaction {
public:
    enum class Outcome { Compacted, Failed };
    using Messages = std::function<void(const QString& text)>;
    // Told each step the run has just finished, by name: "restored" (an earlier run's copy put
    // back), "recovered", "first-compaction", "copy-checked", "second-compaction", "new-ready",
    // "backed-up", "swapped", "copy-removed", "cleaned".
    using Checkpoints = std::function<void(const char* step)>;

    static QString databaseName();  // "Grelavo.mdb"
    static QString connectString(); // the database's password, as the engine is given it

    Compaction(QString folder, DatabaseEngine& engine, FileOperations& files, Messages messages,
               Checkpoints checkpoints = {});

    // Runs the whole sequence. The messages are "Erreur." (no database), "compactage terminée"
    // (the run has finished: the compacted database is in place and the work files are gone)
    // and the reason a file is refused; any other failure ends the run without a message, its
    // cause then said by failureInWords().
    Outcome CompactDatabaseFile();

    // Why the last run failed.
    const std::optional<CompactError>& error() const { return m_error; }
    // The same said to the user in French, naming the file; empty when the run did not fail or
    // its refusal was already said.
    QString failureInWords() const;

private:
    void locateDatabase();
    void recover();
    std::optional<DatabaseSummary> inspect(const QString& path, QString* problem = nullptr);
    QString chooseDatabase(std::optional<DatabaseSummary>& database);
    bool compactedCopyHolds(const DatabaseSummary& summary);
    void requireOwnerKept(const QString& path) const;
    void verify(const QString& copy);
    void removeWorkFiles();
    void discardWorkFiles();
    void removeWithJournal(const QString& path);
    QStringList workFiles(const QString& suffix) const;
    void checkpoint(const char* step) const;

    QString m_programFolder;
    DatabaseEngine& m_engine;
    FileOperations& m_files;
    Messages m_messages;
    Checkpoints m_checkpoints;

    QString m_named;             // the database path as found, before links are followed
    QString m_database;          // the database path, under its own spelling, links followed
    QString m_folder;            // the folder that holds it, and its work files
    QString m_compacted;         // <database>.CPT, the first compaction
    QString m_fresh;             // <database>.NEW, the second compaction
    QString m_backup;            // <database>.OLD, the uncompacted database during the swap
    DatabaseSummary m_source;    // what the database holds, which every copy must hold
    bool m_databaseSafe = false; // the database is whole under its name: work files may go
    std::optional<CompactError> m_error;
};

} // namespace pelvane
