#pragma once

#include "ParameterSet.h"
#include "ReportDetails.h"

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QStringList>
#include <QVector>
#include <optional>

namespace grelavo {

class Connection;

// A rating behind a cell with what an agronomist asks of it: the treatment's site and crop, the
// matching application's period, crop stage and mixture, each product's rate as a percentage of
// the rate entered for its herbicide. The products come in the order the herbicides were entered,
// any other after them; a treatment or site added by an import carries the key it was imported
// with.
struct DetailRow {
    DetailRating rating;
    QString province, texture, crop, variety, period;
    QString treatmentKey, siteKey; // empty for rows that were not imported
    std::optional<double> pH, organicMatter, height, leaves;
    struct Product {
        qint64 herbicideId = 0;
        QString herbicide;
        std::optional<double> rate;             // kg a.i./ha
        std::optional<double> percentOfEntered; // when a rate was entered for this herbicide
    };
    QVector<Product> products;
};

class DetailContext {
public:
    // The entered rates are read from 'parameters' as typed, in 'locale'.
    DetailContext(Connection& db, const ParameterSet& parameters, const QLocale& locale);

    // Each rating of the cell with its context, in the cell's order. Throws DbError.
    QVector<DetailRow> rows(const CellDetail& cell);

    // Every cell of a report as CSV (UTF-8 with a byte order mark, commas, decimal points):
    // one line per rating, with the row's label and the dose fraction of its cell first.
    QByteArray csv(const ReportDetails& details, const QVector<ResultsRow>& table);

    static const QVector<int>& fractionPercents(); // 50, 60, 70, 80, 100

private:
    struct Treatment {
        QString province, texture, crop, variety;
        std::optional<double> pH, organicMatter;
    };
    struct Application {
        QString period;
        std::optional<double> height, leaves;
        QVector<DetailRow::Product> products;
    };
    const Treatment& treatment(qint64 id);
    const Application& application(qint64 id);
    // The keys of the sites and treatments the file received by import, read once.
    void readImportedKeys();

    Connection& m_db;
    QHash<qint64, double> m_entered; // herbicide id → entered rate
    QHash<qint64, int> m_position;   // herbicide id → its row in the form
    std::optional<QHash<qint64, QString>> m_treatmentKeys;
    QHash<qint64, QString> m_siteKeys;
    QHash<qint64, Treatment> m_treatments;
    QHash<qint64, Application> m_applications;
};

} // namespace grelavo
