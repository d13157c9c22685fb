#include "DatabaseEdition.h"

#include "Connection.h"
#include "Statement.h"

#include <QDate>

namespace grelavo {

QString DatabaseEdition::tableName() {
    return QStringLiteral("tblÉdition");
}

DatabaseEdition DatabaseEdition::read(Connection& db) {
    DatabaseEdition edition;
    edition.imports = ImportLog::read(db);
    // Files made before the table existed have none: their edition is unknown, not an error.
    if (!db.tableNames().contains(tableName(), Qt::CaseInsensitive))
        return edition;
    Statement row(db, QStringLiteral("SELECT \"Nom\", \"DateÉdition\", \"Source\", "
                                     "\"Synthétique\" FROM %1 ORDER BY rowid LIMIT 1")
                          .arg(Connection::quoteIdentifier(tableName())));
    if (!row.step())
        return edition;
    edition.known = true;
    edition.name = row.value(0).toString();
    edition.date = row.value(1).toString();
    edition.source = row.value(2).toString();
    edition.synthetic = row.value(3).toLongLong() != 0;
    return edition;
}

void DatabaseEdition::markSynthetic(Connection& db) {
    const QString table = Connection::quoteIdentifier(tableName());
    db.executeScript(QStringLiteral(R"(CREATE TABLE IF NOT EXISTS %1 ("Nom" TEXT NOT NULL,
        "DateÉdition" TEXT NOT NULL, "Source" TEXT NOT NULL, "Synthétique" INTEGER NOT NULL
        CHECK ("Synthétique" IN (0, 1))))")
                         .arg(table));
    Statement rows(db, QStringLiteral("SELECT count(*) FROM %1").arg(table));
    rows.step();
    if (rows.value(0).toLongLong() > 0) {
        db.executeScript(QStringLiteral("UPDATE %1 SET \"Synthétique\" = 1").arg(table));
        return;
    }
    Statement row(db, QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, 1)").arg(table));
    row.bind(1, QStringLiteral("Essais importés"));
    row.bind(2, QDate::currentDate().toString(Qt::ISODate));
    row.bind(3, QStringLiteral("grelavo-import"));
    row.step();
}

QString DatabaseEdition::importsInWords() const {
    if (imports.isEmpty())
        return QString();
    int treatments = 0;
    int ratings = 0;
    for (const ImportRecord& r : imports) {
        treatments += r.added.treatments;
        ratings += r.added.ratings;
    }
    const auto count = [](int n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n > 1 ? many : one));
    };
    return QStringLiteral("%1 (%2, %3), %4 le %5")
        .arg(count(static_cast<int>(imports.size()), "importation", "importations"),
             count(treatments, "traitement", "traitements"),
             count(ratings, "évaluation", "évaluations"),
             imports.size() > 1 ? QStringLiteral("la dernière") : QStringLiteral("faite"),
             imports.last().dateTime.left(10));
}

} // namespace grelavo
