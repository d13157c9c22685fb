// The benchmarks of one scale, registered with Google Benchmark: the steps of the programs and
// their lower bounds, each run on the scale's prepared database.

#include "StepRegistration.h"

#include "ChildRun.h"
#include "ListRuns.h"
#include "LowerBounds.h"
#include "ScalePreparation.h"

#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseFile.h"
#include "core/db/Statement.h"
#include "core/report/DoseAnalysis.h"
#include "core/report/ReportEngine.h"
#include "core/report/ResultsTable.h"
#include "verify/ReferenceEvaluator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace grelavo::bench {

namespace {

QString sibling(const char* program) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(program));
}

// A step timed in a process of its own (the import, the export, the dump): each iteration's
// time is the child's, its peak memory and CPU time counters.
void timeChild(benchmark::State& state, const QString& program, const QStringList& arguments,
               const std::function<void()>& between = {}) {
    double peak = 0;
    double cpu = 0;
    while (state.KeepRunning()) {
        const ChildResult r = runMeasured(program, arguments);
        if (!r.ok) {
            state.SkipWithError(r.error.c_str());
            return;
        }
        state.SetIterationTime(r.wallMs / 1e3);
        peak = std::max(peak, r.peakMegabytes);
        cpu = r.cpuMs;
        if (between) {
            state.PauseTiming();
            between();
            state.ResumeTiming();
        }
    }
    state.counters["peak_mb"] = peak;
    state.counters["cpu_ms"] = cpu;
}

// The scale's experiments written as exchange files, once per scale, for the import.
QString exportedFiles(ScaleDatabase& db) {
    static std::map<QString, std::unique_ptr<QTemporaryDir>> written;
    std::unique_ptr<QTemporaryDir>& work = written[db.filePath()];
    if (work)
        return work->filePath(QStringLiteral("essais"));
    work = std::make_unique<QTemporaryDir>();
    const QString files = work->filePath(QStringLiteral("essais"));
    db.de().close(); // the export opens the file itself
    const ChildResult r =
        runMeasured(sibling("grelavo-export"),
                    {QStringLiteral("--db"), db.filePath(), QStringLiteral("--output"), files});
    if (!r.ok) {
        work.reset();
        throw std::runtime_error("cannot export the experiments: " + r.error);
    }
    return files;
}

// The dose-response analysis (its evidence read, every weed and category fitted) of 200
// reports drawn from the database; the reports themselves run before the timing. Each fit is
// timed alone too, and the slowest is the figure to watch (50 ms).
void timeAnalysis(benchmark::State& state, ScaleDatabase& db) {
    struct Prepared {
        ParameterSet parameters;
        ReportDetails details;
        QVector<ResultsRow> table;
    };
    ReportEngine engine(db.de(), QLocale::c());
    engine.setGatherDetails(true);
    QVector<Prepared> reports;
    for (const ParameterSet& p : randomReports(db.de().Connection2(), 200, 20261208))
        if (engine.SetQuery(p))
            reports.append({p, engine.details(), ResultsTable::read(db.de().Connection2())});
    double worstReport = 0;
    double worstFit = 0;
    int rows = 0;
    int curves = 0;
    while (state.KeepRunning()) {
        rows = curves = 0;
        for (const Prepared& r : reports) {
            QElapsedTimer clock;
            clock.start();
            const DoseAnalysis a = DoseAnalysis::run(db.de().Connection2(), engine, r.parameters,
                                                     r.details, r.table, QLocale::c());
            worstReport = std::max(worstReport, clock.nsecsElapsed() / 1e6);
            rows += int(a.rows.size());
            // Each row's fit once more, alone, to find the slowest.
            state.PauseTiming();
            for (AnalysisRow row : a.rows) {
                curves += row.curve.ok();
                clock.restart();
                DoseAnalysis::fitRow(row);
                worstFit = std::max(worstFit, clock.nsecsElapsed() / 1e6);
            }
            state.ResumeTiming();
        }
    }
    state.counters["reports"] = static_cast<double>(reports.size());
    state.counters["rows"] = rows;
    state.counters["curves"] = curves;
    state.counters["worst_report_ms"] = worstReport;
    state.counters["worst_fit_ms"] = worstFit;
}

// The benchmarks of one scale, registered in the order they run.
class Registrar {
public:
    Registrar(size_t s, std::vector<StepKey>& steps)
        : m_s(s), m_steps(steps), m_label(g_scales[s].database->label().toStdString()) {}

    void opening();
    void reports();
    void lists();
    void exchange();
    void analysis();

private:
    template <typename Body> benchmark::internal::Benchmark* registered(StepKey key, Body body) {
        key.scaleIndex = static_cast<int>(m_s);
        m_steps.push_back(key);
        return benchmark::RegisterBenchmark(
                   benchmarkName(key, m_label).c_str(),
                   [s = m_s, body](benchmark::State& state) { guarded(state, s, body); })
            ->Unit(benchmark::kMillisecond);
    }
    template <typename Body> void add(const StepKey& key, Body body) {
        registered(key, body)->UseRealTime();
    }
    // The import and the export run for seconds at scale 100: three runs of one each, timed by
    // the go-between.
    template <typename Body> void addChild(const StepKey& key, Body body) {
        registered(key, body)->UseManualTime()->Iterations(1)->Repetitions(3);
    }

    size_t m_s;
    std::vector<StepKey>& m_steps;
    std::string m_label;
};

void Registrar::opening() {
    add({"open", "connection", "DE opens Grelavo.mdb (key derivation, first read)", 0, "open-bound",
         "connection"},
        [](benchmark::State& state, ScaleDatabase& db) {
            // The scale's own connection holds the file exclusively, as the program does: it
            // is closed first (the next step opens it again).
            db.de().close();
            for (auto _ : state) {
                DE de(db.folder());
                benchmark::DoNotOptimize(&de.Connection2());
            }
        });
    add({"open-bound", "connection", "the file opened with the key, its schema read"},
        [](benchmark::State& state, ScaleDatabase& db) {
            db.de().close();
            for (auto _ : state) {
                Connection connection(db.filePath(), DatabaseFile::password());
                Statement schema(connection, QStringLiteral("SELECT count(*) FROM sqlite_master"));
                benchmark::DoNotOptimize(schema.step());
            }
        });
    add({"first", "report", "open, start-up check and a first report (single)"},
        [](benchmark::State& state, ScaleDatabase& db) {
            db.de().close();
            const ParameterSet& p = g_reports.front().parameters;
            for (auto _ : state) {
                DE de(db.folder());
                const QString problem = DatabaseCheck::problem(de);
                if (!problem.isEmpty()) {
                    state.SkipWithError(problem.toUtf8().constData());
                    break;
                }
                ReportEngine engine(de, QLocale::c());
                if (!engine.SetQuery(p)) {
                    state.SkipWithError("the report was refused");
                    break;
                }
            }
        });
}

void Registrar::reports() {
    for (int i = 0; i < g_reports.size(); ++i) {
        const ReportCase& c = g_reports[i];
        for (const bool details : {false, true})
            add({details ? "details" : "report", c.name,
                 std::string(c.name) + (details ? " with the ratings behind each cell" : "") +
                     " (" + c.description + ")",
                 0, details ? "report" : "best", c.name},
                [i, details](benchmark::State& state, ScaleDatabase& db) {
                    ReportEngine engine(db.de(), QLocale::c());
                    engine.setGatherDetails(details);
                    const ParameterSet& p = g_reports[i].parameters;
                    for (auto _ : state) {
                        if (!engine.SetQuery(p)) {
                            state.SkipWithError("the report was refused");
                            break;
                        }
                    }
                    state.counters["cases"] = engine.TotalCases();
                });
        add({"best", c.name, c.name}, [i](benchmark::State& state, ScaleDatabase& db) {
            const QString statement = reportStatement(g_reports[i].parameters);
            Connection& connection = db.de().Connection2();
            for (auto _ : state)
                benchmark::DoNotOptimize(readReportFigures(connection, statement));
        });
        add({"evaluator", c.name, c.name}, [i](benchmark::State& state, ScaleDatabase& db) {
            const ReferenceEvaluator& evaluator = db.evaluator();
            const ParameterSet& p = g_reports[i].parameters;
            for (auto _ : state) {
                std::optional<ReferenceReport> report = evaluator.evaluate(p);
                benchmark::DoNotOptimize(report);
            }
        });
    }
}

void Registrar::lists() {
    for (int i = 0; i < g_lists.size(); ++i) {
        const ListCase& c = g_lists[i];
        const std::string group = c.kind == ListCase::Kind::RatePicker ? "rates" : "list";
        add({group, c.name, std::string(c.name) + " (" + c.description + ")", 0, group + "-bound",
             c.name},
            [i](benchmark::State& state, ScaleDatabase& db) {
                const ListCase& lc = g_lists[i];
                const QStringList texts = herbicideTexts(lc);
                long long n = 0;
                for (auto _ : state)
                    n = runListStep(db.de(), lc, texts);
                state.counters["rows"] = static_cast<double>(n);
            });
        add({group + "-bound", c.name, c.name}, [i](benchmark::State& state, ScaleDatabase& db) {
            const QString statement = listStatement(g_lists[i]);
            Connection& connection = db.de().Connection2();
            for (auto _ : state)
                benchmark::DoNotOptimize(runBound(connection, statement));
        });
    }
}

void Registrar::exchange() {
    // The scale's experiments read into a new database, as grelavo-import --new does it (the
    // model is the database shipped beside the program); the exchange files are written first,
    // outside the timing.
    addChild({"import", "new database", "grelavo-import --new of the exported experiments"},
             [](benchmark::State& state, ScaleDatabase& db) {
                 const QString files = exportedFiles(db);
                 QTemporaryDir work;
                 const QString target = work.filePath(QStringLiteral("nouvelle.mdb"));
                 timeChild(state, sibling("grelavo-import"),
                           {QStringLiteral("--db"), target, QStringLiteral("--new"), files},
                           [&] { QFile::remove(target); });
             });
    addChild({"export", "files", "grelavo-export of every experiment", 0, "export-bound", "files"},
             [](benchmark::State& state, ScaleDatabase& db) {
                 QTemporaryDir work;
                 db.de().close();
                 timeChild(state, sibling("grelavo-export"),
                           {QStringLiteral("--db"), db.filePath(), QStringLiteral("--output"),
                            work.path(), QStringLiteral("--remplacer")});
             });
    addChild({"export-bound", "files", "plain CSV dump of the same tables"},
             [](benchmark::State& state, ScaleDatabase& db) {
                 QTemporaryDir work;
                 db.de().close();
                 const QStringList dump = dumpArguments(db.filePath(), work.path());
                 timeChild(state, dump.first(), dump.mid(1));
             });
}

// Up to scale 10, once: tens of seconds a run, once is enough for the counters.
void Registrar::analysis() {
    if (g_scales[m_s].database->scale() <= 10)
        registered(
            {"analysis", "random200", "analysis of 200 random reports (evidence and every fit)"},
            timeAnalysis)
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(1);
}

} // namespace

void registerScale(size_t s, std::vector<StepKey>& steps) {
    Registrar scale(s, steps);
    scale.opening();
    scale.reports();
    scale.lists();
    scale.exchange();
    scale.analysis();
}

} // namespace grelavo::bench
