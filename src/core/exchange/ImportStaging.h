#pragma once

#include "ExperimentImport.h"
#include "ImportPlan.h"

#include <memory>

namespace grelavo {

class Connection;

// The rows an import's check finds sound, kept apart from the database until they are written,
// so that the files are read and checked once: a file of their own in the system's temporary
// folder, readable by its owner only and taken out of the folder as soon as it is made (nothing
// is left there, whatever ends the run). It is written and read back through a buffer: the
// memory does not grow with the rows.
//
// The check sends each row to rows() with its references resolved (its names as row numbers,
// its keys as the index of the row they name); copyInto() then adds them all to the database by
// one statement per kind of row (reading the staged rows as a table), numbered as the same rows
// added one by one would have been.
class ImportStaging {
public:
    // Makes the staging file; throws ImportReadFailed (in words) when it cannot be made.
    explicit ImportStaging(Connection& db);
    ~ImportStaging();
    ImportStaging(const ImportStaging&) = delete;
    ImportStaging& operator=(const ImportStaging&) = delete;

    // Where the check sends the rows it finds sound, in the order of the files (the rows of a
    // kind together). Throws ImportReadFailed when the staging file cannot be written.
    ImportPlan::Rows& rows();
    // The rows are all sent: the last of them are written to the staging file. Throws
    // ImportReadFailed.
    void finishRows();

    // Adds 'names' and the staged rows to the database, with the keys of the sites, treatments
    // and applications recorded under the import 'importId', inside the caller's transaction.
    // 'progress' hears of the rows added out of 'total'. Throws DbError (a staging file that
    // cannot be read back included).
    void copyInto(const QVector<ImportPlan::Name>& names, qlonglong importId,
                  const ExperimentImport::Progress& progress, qint64 total);

    class File; // the staging file (public for its reader)

private:
    class Sink;
    class Tables;
    Connection& m_db;
    std::unique_ptr<File> m_file;
    std::unique_ptr<Sink> m_sink;
};

} // namespace grelavo
