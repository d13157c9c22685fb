#pragma once

#include "db/Connection.h"
#include "db/Statement.h"
#include "exchange/ExperimentExport.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <QVector>
#include <QtTest>
#include <functional>

// Reads CSV text as the exchange files write it (UTF-8, optional byte order mark, commas,
// RFC 4180 quotes, CR LF or LF), independently of the writer under test.
inline QVector<QStringList> parseCsv(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QVector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            fieldStarted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            fieldStarted = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            row << field;
            rows << row;
            row.clear();
            field.clear();
            fieldStarted = false;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty()) {
        row << field;
        rows << row;
    }
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
