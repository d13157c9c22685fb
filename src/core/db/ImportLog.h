#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace grelavo {

class Connection;

// How many experiment rows of each kind: a set of exchange files, or what an import added.
struct ExperimentCounts {
    int sites = 0, treatments = 0, crops = 0, applications = 0, stages = 0, products = 0,
        ratings = 0;
    int total() const {
        return sites + treatments + crops + applications + stages + products + ratings;
    }
    bool operator==(const ExperimentCounts& o) const {
        return sites == o.sites && treatments == o.treatments && crops == o.crops &&
               applications == o.applications && stages == o.stages && products == o.products &&
               ratings == o.ratings;
    }
};

// One import of experiments into a database file, as tblImportations keeps it.
struct ImportRecord {
    QString dateTime;       // ISO 8601, local time to the second
    QStringList files;      // the names of the files read (without their folder)
    ExperimentCounts added; // rows added of each kind
    QStringList addedNames; // names added to the lists, "list : name"

    bool operator==(const ImportRecord& o) const {
        return dateTime == o.dateTime && files == o.files && added == o.added &&
               addedNames == o.addedNames;
    }
};

// A key the files gave a site, treatment or application, and the row it became.
struct ImportedKey {
    QString kind; // "site", "traitement" or "application"
    QString key;
    qlonglong id = 0;
};

// The imports a file has received, oldest first (tblImportations), and the keys of the rows they
// added (tblClésImportées). A file made before these tables existed has had no import.
class ImportLog {
public:
    static QString tableName();     // "tblImportations"
    static QString keysTableName(); // "tblClésImportées"

    // Throws DbError.
    static QVector<ImportRecord> read(Connection& db);
    static QVector<ImportedKey> keys(Connection& db);

    // Creates the tables when the file has none.
    static void ensureTables(Connection& db);
    // Adds one record and the keys of its rows, inside the caller's transaction.
    static void add(Connection& db, const ImportRecord& record, const QVector<ImportedKey>& keys);
    // Empties both tables (a new database made from another keeps none of its imports).
    static void clear(Connection& db);
};

} // namespace grelavo
