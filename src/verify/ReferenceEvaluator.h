#pragma once

#include "core/report/ParameterSet.h"
#include "core/report/ResultsTable.h"

#include <QLocale>
#include <QString>
#include <QVector>
#include <array>
#include <memory>
#include <optional>

namespace grelavo {

class Connection;

// What a report leaves behind: tblResults in NoId order, the total of cases and whether no dose
// fraction found anything.
struct ReferenceReport {
    QVector<ResultsRow> rows;
    qint32 TotalCases = 0;
    bool NoDataFound = true;
};

// The reference evaluator: computes the table a report writes without any SQL beyond reading
// the experiment tables once. It applies the report engine's rules directly to rows held in
// memory (see ReferenceEvaluator.cpp), so that the engine's chain of stored queries can be
// checked against it, and it gives the lower bound of the report's running time.
class ReferenceEvaluator {
public:
    // Reads the experiment tables, the weed list and tblResults. Throws DbError.
    explicit ReferenceEvaluator(Connection& connection, const QLocale& locale = QLocale());
    ~ReferenceEvaluator();
    ReferenceEvaluator(const ReferenceEvaluator&) = delete;
    ReferenceEvaluator& operator=(const ReferenceEvaluator&) = delete;

    // The report of a parameter set; nothing when the engine refuses the set (no herbicide, a
    // rate or range bound that is not a number under the locale, a crop not from the list).
    std::optional<ReferenceReport> evaluate(const ParameterSet& parameters) const;

private:
    struct Tables;
    struct Request;
    struct Figures;

    std::optional<Request> readRequest(const ParameterSet& p) const;
    QVector<ResultsRow> resetResults() const;
    static QVector<qint64> addExtraWeeds(const ParameterSet& p, QVector<ResultsRow>& rows);
    QVector<qint64> matchingTreatments(const Request& request, int fraction) const;
    bool mixtureMatches(qint64 dateHerbId, const Request& request, int fraction) const;
    bool treatmentMatches(qint64 traitementId, qint64 dateHerbId, const Request& request) const;
    Figures aggregate(const QVector<qint64>& treatments, const QVector<qint64>& weeds) const;
    static void writeCells(const Figures& figures, int fraction, QVector<ResultsRow>& rows);

    std::unique_ptr<const Tables> m_tables;
    QLocale m_locale;
};

} // namespace grelavo
