#include "ReportOutcome.h"

#include "ReportEngine.h"
#include "core/db/DE.h"

namespace grelavo {

ReportOutcome ReportOutcome::run(DE& de, const ParameterSet& parameters, const ReportHooks& hooks,
                                 bool gatherDetails, const QLocale& locale) {
    ReportOutcome outcome;
    outcome.parameters = parameters;
    ReportEngine engine(de, locale);
    engine.setGatherDetails(gatherDetails);
    if (!engine.SetQuery(parameters, hooks)) {
        outcome.status = engine.failure().isEmpty() ? Status::Refused : Status::Failed;
        outcome.reason = engine.failure().isEmpty() ? engine.refusal() : engine.failure();
        return outcome;
    }
    outcome.status = engine.NoDataFound() ? Status::NoData : Status::Shown;
    outcome.totalCases = engine.TotalCases();
    outcome.summaryLines = ReportEngine::Set_ParamList(parameters);
    outcome.rows = ResultsTable::read(de.Connection2());
    outcome.detailsGathered = gatherDetails;
    outcome.details = engine.details();
    return outcome;
}

} // namespace grelavo
