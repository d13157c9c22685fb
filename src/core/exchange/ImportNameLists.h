#pragma once

// Parts of the check of exchange files before an import (ImportCheck.cpp): the lookup lists
// of the database, as the files name their rows.

#include "ExchangeLists.h"
#include "ImportPlan.h"
#include "core/db/Connection.h"
#include "core/db/Lists.h"
#include "core/db/Statement.h"
#include "core/text/NameText.h"

#include <QHash>
#include <QMap>
#include <QVector>
#include <algorithm>
#include <optional>

namespace grelavo {
namespace importcheck {

using NameText::editDistance;
using NameText::folded;
using NameText::loose;
using NameText::ofName;
using NameText::plain;
using NameText::quoted;

// A lookup list of the database: its names (and for weeds their Latin names) by row number.
class NameList {
public:
    // 'fixed': a list that an import never adds to.
    NameList(Connection& db, const ExchangeList& list, bool fixed,
             const QString& otherNameColumn = QString())
        : m_list(list), m_fixed(fixed) {
        QString sql = QStringLiteral("SELECT %1, %2")
                          .arg(Connection::quoteIdentifier(list.idName()),
                               Connection::quoteIdentifier(list.nameName()));
        if (!otherNameColumn.isEmpty())
            sql += QStringLiteral(", ") + Connection::quoteIdentifier(otherNameColumn);
        Statement rows(db, sql + QStringLiteral(" FROM ") +
                               Connection::quoteIdentifier(list.tableName()));
        while (rows.step()) {
            const qlonglong id = rows.value(0).toLongLong();
            m_largest = std::max(m_largest, id);
            for (int c = 1; c < rows.columnCount(); ++c) {
                const QString name = rows.value(c).toString();
                if (name.trimmed().isEmpty())
                    continue;
                m_ids.insert(folded(name), id);
                if (c == 1) {
                    m_names << name;
                    m_byId.insert(id, name);
                }
            }
        }
    }

    QString list() const { return QString::fromUtf8(m_list.many); }
    bool fixed() const { return m_fixed; }
    QString nameOf(qlonglong id) const { return m_byId.value(id); }
    // The name of the list that 'name' writes another way (case, accents, apostrophes, hyphens,
    // blanks), or empty.
    QString lookalike(const QString& name) const {
        const QString target = loose(name);
        for (const QString& n : m_names) {
            if (loose(n) == target)
                return n;
        }
        return QString();
    }
    std::optional<qlonglong> find(const QString& name) const {
        // The same few names come back on most rows: each text is folded once.
        const auto seen = m_seen.constFind(name);
        if (seen != m_seen.constEnd())
            return *seen;
        const auto it = m_ids.constFind(folded(name));
        if (it == m_ids.constEnd())
            return std::nullopt;
        m_seen.insert(name, *it);
        return *it;
    }
    // Up to three names of the list nearest to 'name', the nearest first.
    QStringList closest(const QString& name) const { return NameText::closest(name, m_names); }
    // A name to add: it gets the next row number and is found from now on.
    ImportPlan::Name add(const QString& name, const QVariant& crop = QVariant()) {
        const qlonglong id = ++m_largest;
        m_ids.insert(folded(name), id);
        m_names << name.trimmed();
        m_byId.insert(id, name.trimmed());
        return {list(), m_list.tableName(), m_list.idName(), m_list.nameName(), id, name.trimmed(),
                crop};
    }

private:
    const ExchangeList& m_list;
    bool m_fixed;
    QHash<QString, qlonglong> m_ids;
    mutable QHash<QString, qlonglong> m_seen; // texts found, as written
    QHash<qlonglong, QString> m_byId;
    QStringList m_names;
    qlonglong m_largest = 0;
};

// The varieties, each of its crop: a name is looked up among those of the row's crop.
class VarietyList {
public:
    explicit VarietyList(Connection& db) {
        Statement rows(db, QStringLiteral("SELECT %1, %2, \"CultureId\" FROM %3")
                               .arg(Connection::quoteIdentifier(lists::varieties.idName()),
                                    Connection::quoteIdentifier(lists::varieties.nameName()),
                                    Connection::quoteIdentifier(lists::varieties.tableName())));
        while (rows.step()) {
            const qlonglong id = rows.value(0).toLongLong();
            m_largest = std::max(m_largest, id);
            append({id, rows.value(1).toString(), rows.value(2)});
        }
    }

    // The varieties of 'crop' (of any crop when it is null) called 'name'.
    QVector<qlonglong> find(const QString& name, const QVariant& crop) const {
        QVector<qlonglong> ids;
        auto key = m_folded.constFind(name);
        if (key == m_folded.constEnd())
            key = m_folded.insert(name, folded(name));
        for (const int i : m_byName.value(*key)) {
            if (sameCrop(m_rows.at(i), crop))
                ids << m_rows.at(i).id;
        }
        return ids;
    }
    // The variety of 'crop' (of any crop when null) that 'name' writes another way, or empty.
    QString lookalike(const QString& name, const QVariant& crop) const {
        for (const Entry& e : m_rows) {
            if (loose(e.name) == loose(name) && sameCrop(e, crop))
                return e.name;
        }
        return QString();
    }
    // Up to three varieties nearest to 'name', each with its crop's number.
    QVector<QPair<QString, QVariant>> closest(const QString& name) const {
        const QString target = plain(name);
        const int limit = std::max(2, int(target.size()) / 3);
        QMap<int, QVector<QPair<QString, QVariant>>> byDistance;
        for (const Entry& e : m_rows) {
            const QString candidate = plain(e.name);
            const int d = editDistance(target, candidate);
            if (d <= limit || candidate.contains(target))
                byDistance[d].append({e.name, e.crop});
        }
        QVector<QPair<QString, QVariant>> out;
        for (const auto& entries : byDistance) {
            for (const auto& e : entries) {
                if (out.size() < 3)
                    out << e;
            }
        }
        return out;
    }
    ImportPlan::Name add(const QString& name, const QVariant& crop) {
        append({++m_largest, name.trimmed(), crop});
        const ExchangeList& l = lists::varieties;
        return {QString::fromUtf8(l.many),
                l.tableName(),
                l.idName(),
                l.nameName(),
                m_largest,
                name.trimmed(),
                crop};
    }

private:
    struct Entry {
        qlonglong id;
        QString name;
        QVariant crop;
    };
    static bool sameCrop(const Entry& e, const QVariant& crop) {
        return crop.isNull() || (!e.crop.isNull() && e.crop.toLongLong() == crop.toLongLong());
    }
    void append(const Entry& e) {
        m_byName[folded(e.name)] << int(m_rows.size());
        m_rows.append(e);
    }
    QVector<Entry> m_rows;
    QHash<QString, QVector<int>> m_byName;    // by folded name, the indexes in m_rows
    mutable QHash<QString, QString> m_folded; // the names looked up, folded
    qlonglong m_largest = 0;
};

} // namespace importcheck
} // namespace grelavo
