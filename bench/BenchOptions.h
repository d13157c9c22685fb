#pragma once

#include <benchmark/benchmark.h>

#include <QString>
#include <string>
#include <vector>

// The bench's command line: its own --grelavo_ flags, and the rest for Google Benchmark.
namespace grelavo::bench {

struct Options {
    QString dataFolder;
    std::vector<double> scales{1, 10, 100};
    QString summaryFile;
    QString mediansFile;
    QString baselineFile;
    QString pragmas;
    // Google Benchmark's arguments (the program's name first), with the bench's defaults added:
    // 5 repetitions of at least 0.2 s, only their aggregates shown.
    std::vector<std::string> benchmarkArgs;
};

// Reads the command line into options; -1 to go on, else the exit status (2 for a flag
// refused, with its message on the error stream). --help prints the bench's own flags and is
// passed on for Google Benchmark's.
int readOptions(int argc, char* argv[], Options& options);

// Colours as --benchmark_color asks, by default only on a terminal.
benchmark::ConsoleReporter::OutputOptions consoleOptions(const std::vector<std::string>& args);

} // namespace grelavo::bench
