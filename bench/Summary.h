#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace grelavo::bench {

// What one timed step is, for the summary: its group, its name and the scale it ran at.
// A step measured against a lower bound names the bound's group and name (the bound is timed
// at the same scales, in the same run).
struct StepKey {
    std::string group; // "report", "details", "list", "rates", "open", "first", "import"...
    std::string name;
    std::string description;
    int scaleIndex = 0;
    std::string boundGroup = {};
    std::string boundName = {};
};

// What the preparation of a scale found, printed beside the times.
struct ScaleFacts {
    std::string label;
    long long treatments = 0, applications = 0, ratings = 0;
    double fileMegabytes = 0;
    std::map<std::string, long long> rows; // step name -> cases or list rows
    // "report/name" -> the engine's table is the evaluator's; "best/name" -> so are the
    // hand-written statement's figures; "list/name", "rates/name" -> the list is its bound's.
    std::map<std::string, bool> agreement;
};

// Median wall-clock times by benchmark name, as written to and read from a medians file (one
// "name<TAB>ms" line each): an earlier run's file is the baseline a scale-1 step must not be
// slower than.
using Medians = std::map<std::string, double>;
Medians readMedians(const std::string& path);

// The console reporter of Google Benchmark that also keeps the median real time of every
// benchmark, so that the program can print the summary tables at the end.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}
    void ReportRuns(const std::vector<Run>& reports) override;

    // The median wall-clock time in milliseconds; negative when the benchmark did not run or
    // failed.
    double medianMs(const std::string& benchmarkName) const;
    // The median CPU time of the main thread, likewise: less disturbed by other programs on a
    // busy machine, but blind to the time spent waiting for the disk.
    double medianCpuMs(const std::string& benchmarkName) const;
    std::string error(const std::string& benchmarkName) const;
    // A user counter's median (its value when the benchmark ran once); negative when absent.
    double counter(const std::string& benchmarkName, const std::string& counter) const;
    void writeMedians(std::ostream& out) const;

private:
    struct Times {
        std::vector<double> wall, cpu; // per repetition
        double wallMedian = -1, cpuMedian = -1;
        std::map<std::string, std::vector<double>> counters; // per repetition
        std::map<std::string, double> counterMedians;
    };
    std::map<std::string, Times> m_times;
    std::map<std::string, std::string> m_errors;
};

// The Markdown tables: times per scale, growth exponents, each step over its lower bound, peak
// memory, report/evaluator ratios, the size of each workload, and the targets met or missed
// (at scale 1 against the baseline, when there is one).
void printSummary(std::ostream& out, const SummaryReporter& reporter,
                  const std::vector<std::string>& scaleLabels, const std::vector<double>& scales,
                  const std::vector<StepKey>& steps, const std::vector<ScaleFacts>& facts,
                  const Medians& baseline);

std::string benchmarkName(const StepKey& key, const std::string& scaleLabel);

} // namespace grelavo::bench
