// The list steps and their lower bounds, run and read.

#include "ListRuns.h"

#include "LowerBounds.h"

#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DataAccess.h"
#include "core/db/Statement.h"
#include "core/report/ListSteps.h"

#include <benchmark/benchmark.h>

namespace grelavo::bench {

QStringList herbicideTexts(const ListCase& c) {
    QStringList texts(ParameterSet::HerbicideRows);
    for (int i = 0; i < c.chosen.size() && i < texts.size(); ++i)
        texts[i] = QString::fromUtf8(c.chosen[i].name);
    return texts;
}

namespace {

QVector<int> idsOf(const ListCase& c) {
    QVector<int> ids;
    for (const Herbicide& h : c.chosen)
        ids << h.id;
    return ids;
}

} // namespace

long long runListStep(DE& de, const ListCase& c, const QStringList& texts) {
    ListSteps steps(de);
    switch (c.kind) {
    case ListCase::Kind::CascadeCount:
        return steps.afterCount(c.herbicideCount, c.period).size();
    case ListCase::Kind::CascadeHerbicide:
        return steps
            .afterHerbicide(int(c.chosen.size()) - 1, c.herbicideCount, c.period, idsOf(c), texts)
            .size();
    case ListCase::Kind::RatePicker:
        break;
    }
    const QVector<QVector<QVariant>> combinations = steps.rateCombinations(c.period, idsOf(c));
    benchmark::DoNotOptimize(combinations.data());
    return combinations.size();
}

QStringList listedRows(DE& de, const ListCase& c) {
    QStringList out;
    ListSteps steps(de);
    if (c.kind == ListCase::Kind::RatePicker) {
        for (const QVector<QVariant>& rates : steps.rateCombinations(c.period, idsOf(c))) {
            QStringList fields;
            for (const QVariant& v : rates)
                fields << v.toString();
            out << fields.join(QLatin1Char('|'));
        }
        return out;
    }
    const QVector<ListRow> rows =
        c.kind == ListCase::Kind::CascadeCount
            ? steps.afterCount(c.herbicideCount, c.period)
            : steps.afterHerbicide(int(c.chosen.size()) - 1, c.herbicideCount, c.period, idsOf(c),
                                   herbicideTexts(c));
    for (const ListRow& row : rows)
        out << QString::number(row.id) + QLatin1Char('|') + row.text;
    return out;
}

QStringList boundRows(Connection& connection, const ListCase& c) {
    QStringList out;
    const QStringList chosen = herbicideTexts(c).mid(0, c.chosen.size());
    Statement rows(connection, listStatement(c));
    while (rows.step()) {
        QStringList fields;
        for (int i = 0; i < rows.columnCount(); ++i)
            fields << rows.value(i).toString();
        if (c.kind != ListCase::Kind::RatePicker && chosen.contains(fields.value(1)))
            continue;
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

long long runBound(Connection& connection, const QString& statement) {
    Statement rows(connection, statement);
    long long n = 0;
    while (rows.step())
        ++n;
    return n;
}

} // namespace grelavo::bench
