#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace pelvane {

// What a compaction must keep of a database: every schema entry (table, view, index, trigger)
// with its statement, and the number of rows of every table. Two files with the same summary
// hold the same tables, views and indexes with as many rows each.
struct DatabaseSummary {
    QMap<QString, QString> schema; // "type name" -> statement
    QMap<QString, qint64> rows;    // table name -> number of rows

    bool hasTables() const { return !rows.isEmpty(); }
    // Whether an entry of 'other' is missing here, or a table here has fewer rows than there.
    bool lacksAnythingOf(const DatabaseSummary& other) const {
        for (auto entry = other.schema.cbegin(); entry != other.schema.cend(); ++entry) {
            if (!schema.contains(entry.key()))
                return true;
        }
        for (auto table = other.rows.cbegin(); table != other.rows.cend(); ++table) {
            if (rows.value(table.key(), -1) < table.value())
                return true;
        }
        return false;
    }
    friend bool operator==(const DatabaseSummary& a, const DatabaseSummary& b) {
        return a.schema == b.schema && a.rows == b.rows;
    }
    friend bool operator!=(const DatabaseSummary& a, const DatabaseSummary& b) { return !(a == b); }
};

// The engine's compact operation and the check of its result. Failures throw CompactError.
class DatabaseEngine {
public:
    virtual ~DatabaseEngine() = default;

    // Copies the database 'source' into the new file 'destination', compactly, under the same
    // password, in one transaction: a copy cut short holds nothing once it is opened again.
    // 'connect' is the source's connect string (";pwd=...").
    virtual void compactDatabase(const QString& source, const QString& destination,
                                 const QString& connect) = 0;
    // Opens 'path' with the password of 'connect', runs the engine's integrity check and
    // describes what the file holds.
    virtual DatabaseSummary checkDatabase(const QString& path, const QString& connect) = 0;
};

} // namespace pelvane
