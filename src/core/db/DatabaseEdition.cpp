#include "DatabaseEdition.h"

#include "Connection.h"
#include "Statement.h"

namespace grelavo {

QString DatabaseEdition::tableName() {
    return QStringLiteral("tblÉdition");
}

DatabaseEdition DatabaseEdition::read(Connection& db) {
    DatabaseEdition edition;
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

} // namespace grelavo
