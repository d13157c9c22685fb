#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace grelavo::bench {

// What one timed step is, for the summary: its group, its name and the scale it ran at.
struct StepKey {
    std::string group; // "report", "evaluator", "list", "rates", "open"
    std::string name;
    std::string description;
    int scaleIndex = 0;
};

// What the preparation of a scale found, printed beside the times.
struct ScaleFacts {
    std::string label;
    long long treatments = 0, applications = 0, ratings = 0;
    double fileMegabytes = 0;
    std::map<std::string, long long> rows; // step name -> cases or list rows
    std::map<std::string, bool> agreement; // report name -> engine table == evaluator table
};

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

private:
    struct Times {
        std::vector<double> wall, cpu; // per repetition
        double wallMedian = -1, cpuMedian = -1;
    };
    std::map<std::string, Times> m_times;
    std::map<std::string, std::string> m_errors;
};

// The Markdown tables: times per scale against the targets, growth, report/evaluator ratios
// and the size of each workload.
void printSummary(std::ostream& out, const SummaryReporter& reporter,
                  const std::vector<std::string>& scaleLabels, const std::vector<double>& scales,
                  const std::vector<StepKey>& steps, const std::vector<ScaleFacts>& facts);

std::string benchmarkName(const StepKey& key, const std::string& scaleLabel);

} // namespace grelavo::bench
