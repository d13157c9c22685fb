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

#include "BenchOptions.h"
#include "ChildRun.h"
#include "ScalePreparation.h"
#include "StepRegistration.h"
#include "Summary.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>

#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace grelavo::bench;

namespace {

// The workloads and one database per scale (built or opened on first use); returns the
// scales' labels.
std::vector<std::string> setUpScales(const Options& options) {
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
    return labels;
}

// The Markdown summary printed, and written to the files the options name.
void writeSummary(const Options& options, const SummaryReporter& reporter,
                  const std::vector<std::string>& labels, const std::vector<StepKey>& steps) {
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
    if (const int status = readOptions(argc, argv, options); status >= 0)
        return status;

    const std::vector<std::string> labels = setUpScales(options);
    std::vector<StepKey> steps;
    for (size_t s = 0; s < g_scales.size(); ++s)
        registerScale(s, steps);

    std::vector<char*> argvOut;
    for (std::string& a : options.benchmarkArgs)
        argvOut.push_back(a.data());
    int argcOut = static_cast<int>(argvOut.size());
    argvOut.push_back(nullptr);
    benchmark::Initialize(&argcOut, argvOut.data());
    if (benchmark::ReportUnrecognizedArguments(argcOut, argvOut.data()))
        return 2;

    SummaryReporter reporter(consoleOptions(options.benchmarkArgs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    writeSummary(options, reporter, labels, steps);
    for (Scale& s : g_scales)
        s.database->release();
    return 0;
}
