// grelavo-bench: times the steps of the programs on the demonstration database at several
// scales (opening, a first report, the reports with and without their details, the cascading
// lists, the rate picker, the command-line import and export), each beside its lower bound
// measured in the same run: the reference evaluator and a hand-written statement for a report,
// the plain report for its details, a hand-written statement for a list, a plain CSV dump for
// the export, the bare keyed open for opening.
//
//   grelavo-bench [--grelavo_data=DIR] [--grelavo_scales=1,10,100] [--grelavo_summary=FILE]
//                 [--grelavo_pragmas=SQL] [Google Benchmark flags]
//
// --grelavo_medians=FILE writes every median time (a line "name<TAB>ms" each); the file of an
// earlier run given as --grelavo_baseline=FILE is what the steps at scale 1 must not be slower
// than (10 % allowed), marked in the summary's targets.
//
// SQL (plain SQLite, e.g. "PRAGMA cache_size = -65536;") runs on each database connection once
// it is open, to try a connection setting without changing the engine layer.
//
// DIR/scale-S/Grelavo.mdb is the database at scale S; one that is missing or older than this
// program is built first, with the generator the program carries. Unless the flags say
// otherwise, every benchmark runs 5 repetitions of at least 0.2 s and only their aggregates are
// shown. At the end the program prints Markdown tables of the medians (and writes them to FILE
// when asked). Benchmarks are not tests: nothing here fails on a slow machine.

#include "ChildRun.h"
#include "LowerBounds.h"
#include "ScaleDatabase.h"
#include "Summary.h"
#include "Workloads.h"

#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DataAccess.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DbError.h"
#include "core/db/Recordset.h"
#include "core/db/Statement.h"
#include "core/report/DoseAnalysis.h"
#include "core/report/ListSteps.h"
#include "core/report/ReportEngine.h"
#include "core/report/ResultsTable.h"
#include "verify/ReferenceEvaluator.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <QElapsedTimer>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace grelavo;
using namespace grelavo::bench;

namespace {

struct Options {
    QString dataFolder;
    std::vector<double> scales{1, 10, 100};
    QString summaryFile;
    QString mediansFile;
    QString baselineFile;
    QString pragmas;
};

// What a scale's preparation found; the benchmarks of that scale run after it.
struct Scale {
    std::unique_ptr<ScaleDatabase> database;
    ScaleFacts facts;
    bool prepared = false;
    std::string failure;
};

std::vector<Scale> g_scales;
QVector<ReportCase> g_reports;
QVector<ListCase> g_lists;

long long countRows(Connection& connection, const char* table) {
    Statement count(connection, QStringLiteral("SELECT count(*) FROM ") + QString::fromUtf8(table));
    return count.step() ? count.value(0).toLongLong() : 0;
}

QStringList herbicideTexts(const ListCase& c) {
    QStringList texts(ParameterSet::HerbicideRows);
    for (int i = 0; i < c.chosen.size() && i < texts.size(); ++i)
        texts[i] = QString::fromUtf8(c.chosen[i].name);
    return texts;
}

QVector<int> idsOf(const ListCase& c) {
    QVector<int> ids;
    for (const Herbicide& h : c.chosen)
        ids << h.id;
    return ids;
}

// One list step as the windows run it (ListSteps): the next herbicide list, or the rate
// picker's combinations. Returns the number of rows listed.
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

// The rows a list step shows (id|name), or the rate picker's combinations (rate|rate...).
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

// The same from the list's lower bound, the chosen herbicides left out as the step does.
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

QString sibling(const char* program) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(program));
}

// Opens the scale's database and evaluator (releasing those of the other scales), runs every
// report and list step once and checks each report against the evaluator. Throws on failure.
Scale& prepare(size_t index) {
    Scale& scale = g_scales[index];
    if (scale.prepared) {
        if (!scale.failure.empty())
            throw std::runtime_error(scale.failure);
        return scale;
    }
    for (size_t i = 0; i < g_scales.size(); ++i)
        if (i != index)
            g_scales[i].database->release();
    scale.prepared = true;
    try {
        ScaleDatabase& db = *scale.database;
        QTextStream err(stderr);
        err << "grelavo-bench: preparing scale " << db.label() << " (" << db.filePath() << ")\n";
        err.flush();
        DE& de = db.de();
        Connection& connection = de.Connection2();
        ScaleFacts& facts = scale.facts;
        facts.treatments = countRows(connection, "tbldesTraitements");
        facts.applications = countRows(connection, "tblPériodesApplication");
        facts.ratings = countRows(connection, "tblMHEval");
        facts.fileMegabytes = QFileInfo(db.filePath()).size() / 1e6;
        ReferenceEvaluator& evaluator = db.evaluator();

        ReportEngine engine(de, QLocale::c());
        for (const ReportCase& c : g_reports) {
            if (!engine.SetQuery(c.parameters))
                throw std::runtime_error(std::string("report refused: ") +
                                         engine.refusal().toStdString());
            const std::optional<ReferenceReport> reference = evaluator.evaluate(c.parameters);
            const QVector<ResultsRow> table = ResultsTable::read(connection);
            const bool agree = reference && reference->rows == table &&
                               reference->TotalCases == engine.TotalCases();
            facts.rows[std::string("report/") + c.name] = engine.TotalCases();
            facts.agreement[std::string("report/") + c.name] = agree;
            if (!agree)
                err << "grelavo-bench: scale " << db.label() << ", report " << c.name
                    << ": the engine's table differs from the evaluator's\n";
            if (reference) {
                const std::string differs = compareWithTable(
                    readReportFigures(connection, reportStatement(c.parameters)), *reference);
                facts.agreement[std::string("best/") + c.name] = differs.empty();
                if (!differs.empty())
                    err << "grelavo-bench: scale " << db.label() << ", report " << c.name
                        << ": the hand-written statement differs from the evaluator ("
                        << QString::fromStdString(differs) << ")\n";
            }
        }
        for (const ListCase& c : g_lists) {
            const QStringList listed = listedRows(de, c);
            const bool picker = c.kind == ListCase::Kind::RatePicker;
            const std::string key = (picker ? "rates/" : "list/") + std::string(c.name);
            facts.rows[key] = listed.size();
            const bool same = listed == boundRows(connection, c);
            facts.agreement[key] = same;
            if (!same)
                err << "grelavo-bench: scale " << db.label() << ", " << c.name
                    << ": the list differs from its hand-written statement's\n";
        }
        err.flush();
    } catch (const DbError& e) {
        scale.failure = "database error: " + e.message().toStdString();
    } catch (const std::exception& e) {
        scale.failure = e.what();
    }
    if (!scale.failure.empty())
        throw std::runtime_error(scale.failure);
    return scale;
}

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

void registerScale(size_t s, std::vector<StepKey>& steps) {
    const std::string label = g_scales[s].database->label().toStdString();
    auto registered = [&](StepKey key, auto body) {
        key.scaleIndex = static_cast<int>(s);
        steps.push_back(key);
        return benchmark::RegisterBenchmark(
                   benchmarkName(key, label).c_str(),
                   [s, body](benchmark::State& state) { guarded(state, s, body); })
            ->Unit(benchmark::kMillisecond);
    };
    auto add = [&](const StepKey& key, auto body) { registered(key, body)->UseRealTime(); };
    // The import and the export run for seconds at scale 100: three runs of one each, timed by
    // the go-between.
    auto addChild = [&](const StepKey& key, auto body) {
        registered(key, body)->UseManualTime()->Iterations(1)->Repetitions(3);
    };

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

    // The dose-response analysis (its evidence read, every weed and category fitted) of 200
    // reports drawn from the database; the reports themselves run before the timing. Up to
    // scale 10, once: each fit is timed alone too, and the slowest is the figure to watch
    // (50 ms).
    if (g_scales[s].database->scale() <= 10)
        registered(
            {"analysis", "random200", "analysis of 200 random reports (evidence and every fit)"},
            [](benchmark::State& state, ScaleDatabase& db) {
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
                        reports.append(
                            {p, engine.details(), ResultsTable::read(db.de().Connection2())});
                double worstReport = 0;
                double worstFit = 0;
                int rows = 0;
                int curves = 0;
                for (auto _ : state) {
                    rows = curves = 0;
                    for (const Prepared& r : reports) {
                        QElapsedTimer clock;
                        clock.start();
                        const DoseAnalysis a =
                            DoseAnalysis::run(db.de().Connection2(), engine, r.parameters,
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
            })
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(1); // tens of seconds a run: once is enough for the counters
}

bool parseScales(const QString& text, std::vector<double>& scales) {
    scales.clear();
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        if (!ok || value <= 0 || value > 1000)
            return false;
        scales.push_back(value);
    }
    return !scales.empty();
}

bool hasFlag(const std::vector<std::string>& args, const std::string& flag) {
    for (const std::string& a : args)
        if (a == flag || a.rfind(flag + "=", 0) == 0)
            return true;
    return false;
}

// Colours as --benchmark_color asks, by default only on a terminal.
benchmark::ConsoleReporter::OutputOptions consoleOptions(const std::vector<std::string>& args) {
    bool colour = isatty(STDOUT_FILENO) != 0;
    const std::string flag = "--benchmark_color=";
    for (const std::string& a : args) {
        if (a.rfind(flag, 0) != 0)
            continue;
        const std::string value = a.substr(flag.size());
        if (value == "true" || value == "yes" || value == "1")
            colour = true;
        else if (value == "false" || value == "no" || value == "0")
            colour = false;
    }
    return colour ? benchmark::ConsoleReporter::OO_ColorTabular
                  : benchmark::ConsoleReporter::OO_Tabular;
}

} // namespace

int main(int argc, char* argv[]) {
    // The go-between of a measured child, and the dump: no application, nothing else loaded.
    if (const int status = measureMain(argc, argv); status >= 0)
        return status;
    if (const int status = dumpMain(argc, argv); status >= 0)
        return status;
    QCoreApplication app(argc, argv);

    Options options;
    options.dataFolder = QDir(QDir::tempPath()).filePath(QStringLiteral("grelavo-bench"));
    std::vector<std::string> args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a.startsWith(QLatin1String("--grelavo_data="))) {
            options.dataFolder = a.section(QLatin1Char('='), 1);
        } else if (a.startsWith(QLatin1String("--grelavo_scales="))) {
            if (!parseScales(a.section(QLatin1Char('='), 1), options.scales)) {
                std::cerr << "grelavo-bench: --grelavo_scales takes numbers above 0 and at most "
                             "1000, separated by commas\n";
                return 2;
            }
        } else if (a.startsWith(QLatin1String("--grelavo_summary="))) {
            options.summaryFile = a.section(QLatin1Char('='), 1);
        } else if (a.startsWith(QLatin1String("--grelavo_medians="))) {
            options.mediansFile = a.section(QLatin1Char('='), 1);
        } else if (a.startsWith(QLatin1String("--grelavo_baseline="))) {
            options.baselineFile = a.section(QLatin1Char('='), 1);
        } else if (a.startsWith(QLatin1String("--grelavo_pragmas="))) {
            options.pragmas = a.section(QLatin1Char('='), 1);
        } else if (a == QLatin1String("--help")) {
            std::cout << "grelavo-bench [--grelavo_data=DIR] [--grelavo_scales=1,10,100] "
                         "[--grelavo_summary=FILE] [--grelavo_medians=FILE] "
                         "[--grelavo_baseline=FILE] [--grelavo_pragmas=SQL] [benchmark flags]\n"
                         "  DIR/scale-S/Grelavo.mdb is the database at scale S (built when "
                         "missing or older than this program).\n"
                         "  --grelavo_medians writes the median times (name, tab, ms); an earlier "
                         "run's file given as --grelavo_baseline is what scale 1 must not be "
                         "slower than.\n"
                         "  SQL runs on each connection once it is open, e.g. "
                         "\"PRAGMA cache_size = -65536;\" (journal_mode persists in the file).\n\n";
            args.push_back(argv[i]);
        } else {
            args.push_back(argv[i]);
        }
    }
    // Medians of several repetitions unless the caller asks for something else.
    if (!hasFlag(args, "--benchmark_repetitions"))
        args.push_back("--benchmark_repetitions=5");
    if (!hasFlag(args, "--benchmark_min_time"))
        args.push_back("--benchmark_min_time=0.2");
    if (!hasFlag(args, "--benchmark_report_aggregates_only") &&
        !hasFlag(args, "--benchmark_display_aggregates_only"))
        args.push_back("--benchmark_display_aggregates_only=true");

    g_reports = reportCases();
    g_lists = listCases();
    std::vector<std::string> labels;
    for (double scale : options.scales) {
        const QString folder =
            QDir(options.dataFolder)
                .filePath(QStringLiteral("scale-") + QString::number(scale, 'g', 6));
        Scale entry;
        entry.database = std::make_unique<ScaleDatabase>(scale, folder);
        entry.database->setPragmas(options.pragmas);
        entry.facts.label = entry.database->label().toStdString();
        labels.push_back(entry.facts.label);
        g_scales.push_back(std::move(entry));
    }
    std::vector<StepKey> steps;
    for (size_t s = 0; s < g_scales.size(); ++s)
        registerScale(s, steps);

    std::vector<char*> argvOut;
    for (std::string& a : args)
        argvOut.push_back(a.data());
    int argcOut = static_cast<int>(argvOut.size());
    argvOut.push_back(nullptr);
    benchmark::Initialize(&argcOut, argvOut.data());
    if (benchmark::ReportUnrecognizedArguments(argcOut, argvOut.data()))
        return 2;

    SummaryReporter reporter(consoleOptions(args));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::vector<ScaleFacts> facts;
    for (const Scale& s : g_scales)
        facts.push_back(s.facts);
    std::ostringstream summary;
    if (!options.pragmas.isEmpty())
        summary << "\nConnection settings tried: " << options.pragmas.toStdString() << "\n";
    const Medians baseline = options.baselineFile.isEmpty()
                                 ? Medians()
                                 : readMedians(options.baselineFile.toLocal8Bit().toStdString());
    printSummary(summary, reporter, labels, options.scales, steps, facts, baseline);
    std::cout << summary.str();
    if (!options.summaryFile.isEmpty()) {
        std::ofstream file(options.summaryFile.toLocal8Bit().constData());
        file << summary.str();
    }
    if (!options.mediansFile.isEmpty()) {
        std::ofstream file(options.mediansFile.toLocal8Bit().constData());
        reporter.writeMedians(file);
    }
    for (Scale& s : g_scales)
        s.database->release();
    return 0;
}
