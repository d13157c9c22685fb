#pragma once

// Parts of the export shared by its files (ExperimentExport.cpp): the set made from the
// database's rows (ExportRows.cpp) and its writing into a folder (ExportFolder.cpp).

#include "ExperimentExport.h"

#include <QDir>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace grelavo {

class Connection;

namespace exportset {

// A file of the set that could not be written: its name and the cause in French.
struct WriteFailed {
    QString name;
    QString why;
};

// Which rows are written: all of them, or only the imported ones (under their keys).
struct Selection {
    bool all = true;
    QHash<qlonglong, QString> sites, treatments, applications; // id → key, when not all

    bool keeps(const QHash<qlonglong, QString>& ids, const QVariant& id) const {
        return all || ids.contains(id.toLongLong());
    }
    std::function<bool(const QVariant&)> keeping(const QHash<qlonglong, QString>& ids) const {
        return [this, &ids](const QVariant& id) { return keeps(ids, id); };
    }
};

// Makes each file of the set in turn, from one reading of the database (the caller's
// transaction): into 'writing' when given, its bytes never all kept, otherwise in memory. Throws
// DbError, ExchangeError, or WriteFailed for a file that cannot be written.
QVector<ExperimentExport::Output> makeSet(Connection& db, const Selection& only, bool withEdition,
                                          const QDir* writing);

// Writes a set into 'folder' as ExperimentExport::writeFolder() says, its files made in the
// folder of the write by 'fill', which gives their names. What 'fill' throws, other than
// WriteFailed, is thrown on once the folder of the write is removed.
QString writeSet(const QString& folder, bool replace,
                 const std::function<QStringList(const QDir& writing)>& fill);

} // namespace exportset
} // namespace grelavo
