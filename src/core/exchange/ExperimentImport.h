#pragma once

#include "core/db/ImportLog.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace grelavo {

// Something wrong in the files, found before anything is written: where it is and what was
// expected, in French.
struct ImportProblem {
    QString file;    // the file's name; empty for the set as a whole
    int line = 0;    // the line in the file, from 1; 0 for the file as a whole
    QString column;  // the column's heading; empty for the whole line
    QString message; // what is wrong and what was expected

    // "evaluations.csv, ligne 12, colonne visuel_pct : ..." (the parts that are known).
    QString text() const;
};

struct ImportOptions {
    bool dryRun = false;      // check and count, write nothing
    bool addNames = false;    // add a name missing from a list instead of refusing it
    bool newDatabase = false; // make the database, which must not exist, from 'model'
    bool keepCopy = true;     // keep a copy of an existing database before the first write
    // Accept the values out of their usual range (rates), each listed in the outcome.
    bool acceptUnusual = false;
    // For newDatabase: the file whose structure, lists and prepared rows the new database takes
    // (the shipped database); none of its experiments, imports or edition is kept.
    QString model;
};

struct ImportOutcome {
    enum class Status {
        Done,    // the rows were added (or, in a dry run, nothing was found wrong)
        Refused, // the files hold problems: nothing was written
        Failed   // the database could not be read or written: nothing was changed
    };
    Status status = Status::Failed;
    QVector<ImportProblem> problems; // when Refused, in file then line order
    int problemCount = 0;            // when Refused: all found, the last line counting the rest
    QString failure;                 // when Failed: one French sentence naming the cause
    ExperimentCounts counts;         // rows added (in a dry run: that would be added)
    QStringList addedNames;          // "list : name" added (in a dry run: that would be added)
    QStringList acceptedUnusual;     // "file, ligne N, ..." values out of range accepted
    QString backup;                  // the copy of the database kept before the first write
    // When Done although the end of the commit reported an error (the database, read again,
    // holds the rows): the error in words. The rows are in; the disk may not be sound.
    QString commitError;
};

// Adds the experiments of exchange files (docs/exchange-format.md) to a database in one
// transaction, after checking every row: all of them are added, or nothing is written and the
// file is left byte for byte as it was. The database is held to itself from start to end; one
// that another program holds open is not touched (Failed).
class ExperimentImport {
public:
    // Called as the work goes on: rows done out of the total (both 0 before the files are read).
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // 'files' are paths of exchange files, known by their name (case ignored), or folders whose
    // exchange files are taken. A file of the set that is not given counts as empty.
    static ImportOutcome run(const QString& database, const QStringList& files,
                             const ImportOptions& options, const Progress& progress = {});
};

} // namespace grelavo
