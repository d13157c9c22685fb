#include "Lists.h"

#include "core/db/Connection.h"
#include "core/db/Statement.h"
#include "core/text/NameText.h"

#include <QStringList>

namespace grelavo {

QString missingExperimentTable(Connection& db) {
    const QStringList tables = db.tableNames();
    for (const char* name : lists::kExperimentTables)
        if (!tables.contains(QString::fromUtf8(name), Qt::CaseInsensitive))
            return QString::fromUtf8(name);
    return QString();
}

QVector<ListItem> items(Connection& db, const ListDescription& list) {
    // Only the fixed identifiers of the description reach the statement.
    Statement rows(db, QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY 1")
                           .arg(Connection::quoteIdentifier(list.idName()),
                                Connection::quoteIdentifier(list.nameName()),
                                Connection::quoteIdentifier(list.tableName())));
    QVector<ListItem> out;
    while (rows.step())
        out.append({rows.value(0).toLongLong(), rows.value(1).toString()});
    return out;
}

QVector<ListItem> reportCrops(Connection& db) {
    QVector<ListItem> out{{lists::kAllCornItemData, lists::allCornName()}};
    for (const ListItem& crop : items(db, lists::crops))
        if (crop.id != lists::kAllCornCrop)
            out << crop;
    return out;
}

ListChoice lookUp(const QVector<ListItem>& candidates, const ListDescription& list,
                  const QString& text) {
    const QString many = QString::fromUtf8(list.many);
    if (text.trimmed().isEmpty())
        return {std::nullopt, {}, QStringLiteral("aucun nom donné dans la liste des %1").arg(many)};
    bool isNumber = false;
    const qint64 id = text.trimmed().toLongLong(&isNumber);
    if (isNumber) {
        for (const ListItem& item : candidates)
            if (item.id == id)
                return {item.id, item.name, {}};
        return {
            std::nullopt,
            {},
            QStringLiteral("l'identifiant %1 n'est pas dans la liste des %2").arg(id).arg(many)};
    }

    // The exact writing first (case and marks aside), then without accents.
    QVector<ListItem> found;
    for (const ListItem& item : candidates)
        if (NameText::folded(item.name) == NameText::folded(text))
            found << item;
    if (found.isEmpty())
        for (const ListItem& item : candidates)
            if (NameText::plain(item.name) == NameText::plain(text))
                found << item;
    if (found.size() == 1)
        return {found.first().id, found.first().name, {}};
    if (found.isEmpty()) {
        QStringList names;
        for (const ListItem& item : candidates)
            names << item.name;
        return {std::nullopt, {}, NameText::notInList(text, many, NameText::closest(text, names))};
    }
    QStringList shown;
    for (const ListItem& item : found)
        shown << QStringLiteral("%1 %2").arg(item.id).arg(NameText::quoted(item.name));
    return {std::nullopt,
            {},
            QStringLiteral("%1 désigne plusieurs %2 de la liste\u00a0: %3\u00a0; donnez le numéro")
                .arg(NameText::quoted(text), many, shown.join(QStringLiteral(", ")))};
}

ListChoice lookUp(Connection& db, const ListDescription& list, const QString& text) {
    return lookUp(items(db, list), list, text);
}

} // namespace grelavo
