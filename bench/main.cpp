// grelavo-bench: times the report engine, the cascading lists and the rate picker on the
// demonstration database at several scales, and the reference evaluator on the same reports.
//
//   grelavo-bench [--grelavo_data=DIR] [--grelavo_scales=1,10,100] [--grelavo_summary=FILE]
//                 [--grelavo_pragmas=SQL] [Google Benchmark flags]
//
// SQL (plain SQLite, e.g. "PRAGMA cache_size = -65536;") runs on each database connection once
// it is open, to try a connection setting without changing the engine layer.
//
// DIR/scale-S/Grelavo.mdb is the database at scale S; one that is missing or older than this
// program is built first, with the generator the program carries. Unless the flags say
// otherwise, every benchmark runs 5 repetitions of at least 0.2 s and only their aggregates are
// shown. At the end the program prints Markdown tables of the medians (and writes them to FILE
// when asked). Benchmarks are not tests: nothing here fails on a slow machine.

#include "ScaleDatabase.h"
#include "Summary.h"
#include "Workloads.h"

#include "db/Connection.h"
#include "db/DE.h"
#include "db/DataAccess.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/Statement.h"
#include "exchange/ExperimentExport.h"
#include "exchange/ExperimentImport.h"
#include "report/DoseAnalysis.h"
#include "report/ListSteps.h"
#include "report/ReportEngine.h"
#include "report/ResultsTable.h"
#include "verify/ReferenceEvaluator.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <QElapsedTimer>

#include <algorithm>
#include <fstream>
#include <iostream>
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
            facts.agreement[c.name] = agree;
            if (!agree)
                err << "grelavo-bench: scale " << db.label() << ", report " << c.name
                    << ": the engine's table differs from the evaluator's\n";
        }
        for (const ListCase& c : g_lists) {
            const long long n = runListStep(de, c, herbicideTexts(c));
            const char* group = c.kind == ListCase::Kind::RatePicker ? "rates/" : "list/";
            facts.rows[group + std::string(c.name)] = n;
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

void registerScale(size_t s, std::vector<StepKey>& steps) {
    const std::string label = g_scales[s].database->label().toStdString();
    auto add = [&](StepKey key, auto body) {
        key.scaleIndex = static_cast<int>(s);
        steps.push_back(key);
        benchmark::RegisterBenchmark(
            benchmarkName(key, label).c_str(),
            [s, body](benchmark::State& state) { guarded(state, s, body); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    };

    add({"open", "connection", "DE opens Grelavo.mdb (key derivation, first read)", 0},
        [](benchmark::State& state, ScaleDatabase& db) {
            // The scale's own connection holds the file exclusively, as the program does: it
            // is closed first (the next step opens it again).
            db.de().close();
            for (auto _ : state) {
                DE de(db.folder());
                benchmark::DoNotOptimize(&de.Connection2());
            }
        });

    // The export of the scale's experiments read back into a new database made from the scale's
    // file, as a user moving their trials would; up to scale 10 (beyond, one run takes minutes).
    if (g_scales[s].database->scale() <= 10)
        add({"import", "new database", "the export read into a new database (grelavo-import --new)",
             0},
            [](benchmark::State& state, ScaleDatabase& db) {
                QTemporaryDir work;
                const QString files = work.filePath(QStringLiteral("essais"));
                QDir().mkpath(files);
                for (const ExperimentExport::Output& f :
                     ExperimentExport::read(db.de().Connection2())) {
                    QFile out(QDir(files).filePath(f.name));
                    if (!out.open(QIODevice::WriteOnly) || out.write(f.bytes) != f.bytes.size())
                        throw std::runtime_error("cannot write the exchange files");
                }
                db.de().close(); // the model is read by the import's own connection
                ImportOptions options;
                options.newDatabase = true;
                options.model = db.filePath();
                const QString target = work.filePath(QStringLiteral("nouvelle.mdb"));
                qint64 ratings = 0;
                for (auto _ : state) {
                    const ImportOutcome o = ExperimentImport::run(target, {files}, options);
                    if (o.status != ImportOutcome::Status::Done) {
                        state.SkipWithError("the import did not go through");
                        break;
                    }
                    ratings = o.counts.ratings;
                    state.PauseTiming();
                    QFile::remove(target);
                    state.ResumeTiming();
                }
                state.counters["ratings"] = static_cast<double>(ratings);
            });

    for (int i = 0; i < g_reports.size(); ++i) {
        const ReportCase& c = g_reports[i];
        add({"report", c.name, std::string(c.name) + " (" + c.description + ")", 0},
            [i](benchmark::State& state, ScaleDatabase& db) {
                ReportEngine engine(db.de(), QLocale::c());
                const ParameterSet& p = g_reports[i].parameters;
                for (auto _ : state) {
                    if (!engine.SetQuery(p)) {
                        state.SkipWithError("the report was refused");
                        break;
                    }
                }
                state.counters["cases"] = engine.TotalCases();
            });
    }
    for (int i = 0; i < g_reports.size(); ++i) {
        const ReportCase& c = g_reports[i];
        add({"evaluator", c.name, c.name, 0}, [i](benchmark::State& state, ScaleDatabase& db) {
            const ReferenceEvaluator& evaluator = db.evaluator();
            const ParameterSet& p = g_reports[i].parameters;
            for (auto _ : state) {
                std::optional<ReferenceReport> report = evaluator.evaluate(p);
                benchmark::DoNotOptimize(report);
            }
        });
    }
    // The dose-response analysis (its evidence read, every weed and category fitted) of 200
    // reports drawn from the database; the reports themselves run before the timing. Up to
    // scale 10: each fit is timed alone too, and the slowest is the figure to watch (50 ms).
    if (g_scales[s].database->scale() <= 10)
        add({"analysis", "random200", "analysis of 200 random reports (evidence and every fit)", 0},
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
            });
    for (int i = 0; i < g_lists.size(); ++i) {
        const ListCase& c = g_lists[i];
        const bool picker = c.kind == ListCase::Kind::RatePicker;
        add({picker ? "rates" : "list", c.name, std::string(c.name) + " (" + c.description + ")",
             0},
            [i](benchmark::State& state, ScaleDatabase& db) {
                const ListCase& lc = g_lists[i];
                const QStringList texts = herbicideTexts(lc);
                long long n = 0;
                for (auto _ : state)
                    n = runListStep(db.de(), lc, texts);
                state.counters["rows"] = static_cast<double>(n);
            });
    }
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
        } else if (a.startsWith(QLatin1String("--grelavo_pragmas="))) {
            options.pragmas = a.section(QLatin1Char('='), 1);
        } else if (a == QLatin1String("--help")) {
            std::cout << "grelavo-bench [--grelavo_data=DIR] [--grelavo_scales=1,10,100] "
                         "[--grelavo_summary=FILE] [--grelavo_pragmas=SQL] [benchmark flags]\n"
                         "  DIR/scale-S/Grelavo.mdb is the database at scale S (built when "
                         "missing or older than this program).\n"
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
    printSummary(summary, reporter, labels, options.scales, steps, facts);
    std::cout << summary.str();
    if (!options.summaryFile.isEmpty()) {
        std::ofstream file(options.summaryFile.toLocal8Bit().constData());
        file << summary.str();
    }
    for (Scale& s : g_scales)
        s.database->release();
    return 0;
}
