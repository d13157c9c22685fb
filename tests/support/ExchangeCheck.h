#pragma once

#include "core/db/Connection.h"
#include "core/db/Statement.h"
#include "core/exchange/ExperimentExport.h"
#include "core/text/CsvReader.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <QVector>
#include <QtTest>
#include <functional>

// CSV text as the exchange files write it, the heading line first, read by the import's reader.
inline QVector<QStringList> parseCsv(const QByteArray& bytes) {
    grelavo::CsvReader::Table table;
    int line = 0;
    if (!grelavo::CsvReader::read(bytes, &table, &line).isEmpty())
        return {};
    QVector<QStringList> rows{table.headings};
    for (const grelavo::CsvRecord& r : table.rows)
        rows << r.fields;
    return rows;
}

// Every exchange file, its bytes given by name, starts with the byte order mark and its
// headings, and holds one row per row of its table in `db`, each as wide as the headings.
inline void checkExchangeFiles(grelavo::Connection& db,
                               const std::function<QByteArray(const QString&)>& bytesOf) {
    static const QHash<QString, QString> tables{
        {"sites.csv", "tbldesSites"},       {"traitements.csv", "tbldesTraitements"},
        {"cultures.csv", "tblCultureEXP"},  {"applications.csv", "tblPériodesApplication"},
        {"stades.csv", "tblStadeCultureH"}, {"produits.csv", "tblDétailsHerbicides"},
        {"evaluations.csv", "tblMHEval"}};
    QCOMPARE(grelavo::ExperimentExport::files().size(), tables.size());
    for (const grelavo::ExchangeFile& f : grelavo::ExperimentExport::files()) {
        const QByteArray bytes = bytesOf(f.name);
        QVERIFY2(bytes.startsWith("\xEF\xBB\xBF"), qPrintable(f.name));
        const QVector<QStringList> rows = parseCsv(bytes);
        QCOMPARE(rows.first(), f.headings);
        for (const QStringList& row : rows)
            QCOMPARE(row.size(), f.headings.size());
        grelavo::Statement count(db, "SELECT COUNT(*) FROM " +
                                         grelavo::Connection::quoteIdentifier(tables[f.name]));
        QVERIFY(count.step());
        QCOMPARE(qlonglong(rows.size() - 1), count.value(0).toLongLong());
    }
}
