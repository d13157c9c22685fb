#include "ImportLog.h"

#include "Connection.h"
#include "Statement.h"

#include <sqlite3.h>

namespace grelavo {

namespace {

QStringList lines(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

bool hasTable(Connection& db, const QString& name) {
    return db.tableNames().contains(name, Qt::CaseInsensitive);
}

void bindAll(Statement& statement, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        statement.bind(i + 1, values[i]);
}

} // namespace

QString ImportLog::tableName() {
    return QStringLiteral("tblImportations");
}

QString ImportLog::keysTableName() {
    return QStringLiteral("tblClésImportées");
}

QVector<ImportRecord> ImportLog::read(Connection& db) {
    QVector<ImportRecord> records;
    if (!hasTable(db, tableName()))
        return records;
    Statement rows(db, QStringLiteral(R"(SELECT "DateImportation", "Fichiers", "Sites",
        "Traitements", "Cultures", "Applications", "Stades", "Produits", "Évaluations",
        "NomsAjoutés" FROM "tblImportations" ORDER BY "ImportationId")"));
    while (rows.step()) {
        ImportRecord r;
        r.dateTime = rows.value(0).toString();
        r.files = lines(rows.value(1).toString());
        ExperimentCounts& c = r.added;
        int* const counts[] = {&c.sites,  &c.treatments, &c.crops,  &c.applications,
                               &c.stages, &c.products,   &c.ratings};
        for (int i = 0; i < 7; ++i)
            *counts[i] = rows.value(2 + i).toInt();
        r.addedNames = lines(rows.value(9).toString());
        records << r;
    }
    return records;
}

QVector<ImportedKey> ImportLog::keys(Connection& db) {
    QVector<ImportedKey> keys;
    if (!hasTable(db, keysTableName()))
        return keys;
    Statement rows(db, QStringLiteral(R"(SELECT "Genre", "Clé", "Id" FROM "tblClésImportées"
        ORDER BY "ImportationId", rowid)"));
    while (rows.step())
        keys.append(
            {rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toLongLong()});
    return keys;
}

void ImportLog::ensureTables(Connection& db) {
    db.executeScript(QStringLiteral(R"(
        CREATE TABLE IF NOT EXISTS "tblImportations" (
            "ImportationId" INTEGER PRIMARY KEY, "DateImportation" TEXT NOT NULL,
            "Fichiers" TEXT NOT NULL, "Sites" INTEGER NOT NULL, "Traitements" INTEGER NOT NULL,
            "Cultures" INTEGER NOT NULL, "Applications" INTEGER NOT NULL,
            "Stades" INTEGER NOT NULL, "Produits" INTEGER NOT NULL,
            "Évaluations" INTEGER NOT NULL, "NomsAjoutés" TEXT NOT NULL DEFAULT '');
        CREATE TABLE IF NOT EXISTS "tblClésImportées" (
            "ImportationId" INTEGER NOT NULL REFERENCES "tblImportations"("ImportationId"),
            "Genre" TEXT NOT NULL CHECK ("Genre" IN ('site', 'traitement', 'application')),
            "Clé" TEXT NOT NULL, "Id" INTEGER NOT NULL, PRIMARY KEY ("Genre", "Clé"));)"));
}

void ImportLog::add(Connection& db, const ImportRecord& record, const QVector<ImportedKey>& keys) {
    Statement insert(db, QStringLiteral(R"(INSERT INTO "tblImportations" ("DateImportation",
        "Fichiers", "Sites", "Traitements", "Cultures", "Applications", "Stades", "Produits",
        "Évaluations", "NomsAjoutés") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"));
    const ExperimentCounts& c = record.added;
    bindAll(insert, {record.dateTime, record.files.join(QLatin1Char('\n')), c.sites, c.treatments,
                     c.crops, c.applications, c.stages, c.products, c.ratings,
                     record.addedNames.join(QLatin1Char('\n'))});
    insert.step();
    const qlonglong importId = sqlite3_last_insert_rowid(db.handle());
    Statement key(db, QStringLiteral(R"(INSERT INTO "tblClésImportées" ("ImportationId",
        "Genre", "Clé", "Id") VALUES (?, ?, ?, ?))"));
    for (const ImportedKey& k : keys) {
        key.reset();
        bindAll(key, {importId, k.kind, k.key, k.id});
        key.step();
    }
}

void ImportLog::clear(Connection& db) {
    for (const QString& table : {keysTableName(), tableName()}) {
        if (hasTable(db, table))
            db.executeScript(
                QStringLiteral("DELETE FROM %1").arg(Connection::quoteIdentifier(table)));
    }
}

} // namespace grelavo
