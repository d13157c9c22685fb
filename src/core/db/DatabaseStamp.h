#pragma once

#include <QString>

namespace grelavo {

// What Grelavo remembers of a database file it found whole: its size, its modification time and
// its identity (device and inode), in a small hidden file beside it (.<file>.controle). While they
// still describe the file, nothing outside Grelavo has written it since, and reading every page
// again at start-up would find what it found then.
class DatabaseStamp {
public:
    // The stamp file of 'database'.
    static QString pathFor(const QString& database);
    // Whether the stamp can be read and still describes the file.
    static bool current(const QString& database);
    // Whether a write was cut short: a journal (rollback or write-ahead) with something in it
    // lies beside the file.
    static bool interruptedWrite(const QString& database);
    // Describes the file as it is now; false when the stamp cannot be written (it is then
    // missing, and the next start reads every page).
    static bool write(const QString& database);
    static void remove(const QString& database);
};

} // namespace grelavo
