#pragma once

#include "ScaleDatabase.h"
#include "Summary.h"
#include "Workloads.h"

#include "core/db/DbError.h"

#include <benchmark/benchmark.h>

#include <QVector>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The scales of a run and their preparation: before the first benchmark of a scale, its
// database is opened and every report and list step run once and checked against the reference
// evaluator and the lower bounds; what it finds goes beside the times in the summary.
namespace grelavo::bench {

// What a scale's preparation found; the benchmarks of that scale run after it.
struct Scale {
    std::unique_ptr<ScaleDatabase> database;
    ScaleFacts facts;
    bool prepared = false;
    std::string failure;
};

// The run's scales and workloads, set by main before the benchmarks are registered.
extern std::vector<Scale> g_scales;
extern QVector<ReportCase> g_reports;
extern QVector<ListCase> g_lists;

// Opens the scale's database and evaluator (releasing those of the other scales), runs every
// report and list step once and checks each report against the evaluator. Throws on failure.
Scale& prepare(size_t index);

// Runs a benchmark's body on its scale's database, prepared first; a failure skips the
// benchmark with its message.
template <typename Body> void guarded(benchmark::State& state, size_t scaleIndex, Body body) {
    try {
        Scale& scale = prepare(scaleIndex);
        body(state, *scale.database);
    } catch (const DbError& e) {
        state.SkipWithError(e.message().toUtf8().constData());
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

} // namespace grelavo::bench
