#pragma once

#include "ImportLog.h"

#include <QString>
#include <QVector>

namespace grelavo {

class Connection;

// What a database file says of itself: the one row of tblÉdition, its name, the date of the
// edition, where its experiments come from and whether they are synthetic. A file without that
// table, or without its row, has an unknown edition: nothing tells where its data come from.
// Beside the edition, the experiments imported into the file since (tblImportations), whether
// the edition is known or not.
struct DatabaseEdition {
    bool known = false;
    QString name;
    QString date; // as stored: an ISO 8601 date
    QString source;
    bool synthetic = false;
    QVector<ImportRecord> imports; // oldest first

    // The imports in a few words: "2 importations (5 traitements, 40 évaluations), la
    // dernière le 2026-12-07"; empty when there were none.
    QString importsInWords() const;

    static QString tableName(); // "tblÉdition"

    // The edition of the connection's file and its imports. Throws DbError when the file cannot
    // be read.
    static DatabaseEdition read(Connection& db);
    // Marks the file's experiments as synthetic, inside the caller's transaction (an import of
    // synthetic trials): its edition row says so, made (with the table) when the file has none.
    // Throws DbError.
    static void markSynthetic(Connection& db);
};

} // namespace grelavo
