#pragma once

#include <QString>

namespace grelavo {

class Connection;

// What a database file says of itself: the one row of tblÉdition, its name, the date of the
// edition, where its experiments come from and whether they are synthetic. A file without that
// table, or without its row, has an unknown edition: nothing tells where its data come from.
struct DatabaseEdition {
    bool known = false;
    QString name;
    QString date; // as stored: an ISO 8601 date
    QString source;
    bool synthetic = false;

    static QString tableName(); // "tblÉdition"

    // The edition of the connection's file. Throws DbError when the file cannot be read.
    static DatabaseEdition read(Connection& db);
};

} // namespace grelavo
