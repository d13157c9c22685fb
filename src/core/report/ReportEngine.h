#pragma once

#include "ParameterSet.h"
#include "ReportDetails.h"
#include "ReportStatements.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

namespace grelavo {

class DE;
class DataAccess;

// Where a report lets its caller act: the main window shows the progress bar and the status
// line, lets window events run and makes the final one-second pause. The engine never waits.
struct ReportHooks {
    std::function<void()> started;             // progress bar shown at 0
    std::function<void(int value)> progressed; // 20, 40 ... 100
    std::function<void()> letEventsRun;        // after each dose fraction
    std::function<void()> pause;               // the one-second pause at the end
    std::function<void()> finished;            // progress bar hidden
};

// The report: selects the experiments matching a parameter set through the chain of stored
// queries, for five dose fractions of the entered rates, and aggregates their ratings into
// tblResults. Knows nothing of windows: it reads a ParameterSet.
class ReportEngine {
public:
    static constexpr int Fractions = 5;

    explicit ReportEngine(DE& de, const QLocale& locale = QLocale());

    // Runs a whole report; true when it ran to its end. Refuses (returns false, runs nothing,
    // refusal() says why) when a rate or range bound that the report uses is not a number, or
    // the crop is not a list item. Stops at the first statement that fails (returns false,
    // failure() gives the cause in words): the results table is then not a report.
    bool SetQuery(const ParameterSet& parameters, const ReportHooks& hooks = {});
    const QString& refusal() const { return m_refusal; }
    const QString& failure() const { return m_failure; }

    // tblResults back to its empty state: " - " in every cell but the untouched rows, every
    // free row free again.
    void ResetResults();

    // The lines that summarise the parameters of a report, in display order.
    static QStringList Set_ParamList(const ParameterSet& parameters);

    // The ratings behind each cell of the last report, when gathered (off by default: it reads
    // every counted rating once more).
    void setGatherDetails(bool gather) { m_gatherDetails = gather; }
    const ReportDetails& details() const { return m_details; }

    bool NoDataFound() const { return m_noDataFound; }
    qint32 TotalCases() const { return m_totalCases; }
    bool FractionEmpty(int k) const { return m_fractionEmpty.at(k); }

    // The centre of dose fraction k (0.5, 0.6, 0.7, 0.8, 1.0) and its window factors, rounded
    // to single precision as the rates' windows are.
    static double fractionCentre(int k);
    static float LowFactor(int k, int rateInterval);
    static float HighFactor(int k, int rateInterval);

    // The statements a parameter set gives, built without touching the database; empty when
    // the set is refused (see refusal()).
    struct Statements {
        std::array<QString, 4> herbicide;              // per row; empty for a row not in use
        QVector<ReportStatements::RateWindow> windows; // of the rows in use, in their order
        QString detailsHerbicides;
        QString detailsApplication;
        QString detailsTraitements;
    };
    std::optional<Statements> statementsFor(const ParameterSet& parameters, int fraction);
    // The conditions on the crop, site and stage that a treatment must meet, as the WHERE
    // clause of DétailsTraitements joins them; nothing when the set is refused (refusal()).
    std::optional<QStringList> treatmentConditions(const ParameterSet& p);

private:
    struct FractionFigures;
    void runFractions(const ParameterSet& p, const std::array<Statements, Fractions>& fractions,
                      const ReportHooks& hooks);
    void gatherApplications(const ParameterSet& p,
                            const std::array<Statements, Fractions>& fractions);
    FractionFigures readFigures(int k);
    // The fraction's figures as the grouping statements give them.
    FractionFigures groupedFigures();
    void writeReport(const ParameterSet& p, const std::array<Statements, Fractions>& fractions,
                     const std::array<FractionFigures, Fractions>& figures);
    std::optional<QString> bound(const QString& text, const char* what);
    QVector<int> addExtraWeeds(const ParameterSet& p);
    void run(const QString& statement);

    DE& m_de;
    QLocale m_locale;
    QString m_refusal;
    QString m_failure;
    bool m_noDataFound = false;
    qint32 m_totalCases = 0;
    std::array<bool, Fractions> m_fractionEmpty{};
    bool m_gatherDetails = false;
    ReportDetails m_details;
};

} // namespace grelavo
