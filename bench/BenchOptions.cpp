// The bench's command line read: its own flags, and Google Benchmark's with the bench's defaults.

#include "BenchOptions.h"

#include <QDir>
#include <QStringList>

#include <iostream>
#include <unistd.h>

namespace grelavo::bench {

namespace {

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

} // namespace

int readOptions(int argc, char* argv[], Options& options) {
    options.dataFolder = QDir(QDir::tempPath()).filePath(QStringLiteral("grelavo-bench"));
    std::vector<std::string>& args = options.benchmarkArgs;
    args = {argv[0]};
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
    return -1;
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

} // namespace grelavo::bench
