// The console reporter that keeps every benchmark's medians, and the medians file.

#include "Summary.h"
#include "SummaryText.h"

#include <algorithm>
#include <fstream>
#include <ostream>

namespace grelavo::bench {

namespace {

double toMs(double value, benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kNanosecond:
        return value / 1e6;
    case benchmark::kMicrosecond:
        return value / 1e3;
    case benchmark::kMillisecond:
        return value;
    case benchmark::kSecond:
        return value * 1e3;
    }
    return value;
}

double median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

std::string benchmarkName(const StepKey& key, const std::string& scaleLabel) {
    return key.group + "/" + key.name + "/scale:" + scaleLabel;
}

void SummaryReporter::ReportRuns(const std::vector<Run>& reports) {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        const std::string name = run.run_name.function_name;
        if (run.error_occurred) {
            m_errors[name] = run.error_message;
            continue;
        }
        Times& times = m_times[name];
        const double wall = toMs(run.GetAdjustedRealTime(), run.time_unit);
        const double cpu = toMs(run.GetAdjustedCPUTime(), run.time_unit);
        if (run.run_type == Run::RT_Aggregate) {
            if (run.aggregate_name == "median") {
                times.wallMedian = wall;
                times.cpuMedian = cpu;
                for (const auto& [counter, value] : run.counters)
                    times.counterMedians[counter] = value.value;
            }
        } else {
            times.wall.push_back(wall);
            times.cpu.push_back(cpu);
            for (const auto& [counter, value] : run.counters)
                times.counters[counter].push_back(value.value);
        }
    }
}

double SummaryReporter::medianMs(const std::string& name) const {
    const auto it = m_times.find(name);
    if (m_errors.count(name) || it == m_times.end())
        return -1;
    return it->second.wallMedian >= 0 ? it->second.wallMedian : median(it->second.wall);
}

double SummaryReporter::medianCpuMs(const std::string& name) const {
    const auto it = m_times.find(name);
    if (m_errors.count(name) || it == m_times.end())
        return -1;
    return it->second.cpuMedian >= 0 ? it->second.cpuMedian : median(it->second.cpu);
}

double SummaryReporter::counter(const std::string& name, const std::string& counter) const {
    const auto it = m_times.find(name);
    if (m_errors.count(name) || it == m_times.end())
        return -1;
    const auto aggregated = it->second.counterMedians.find(counter);
    if (aggregated != it->second.counterMedians.end())
        return aggregated->second;
    const auto values = it->second.counters.find(counter);
    return values == it->second.counters.end() ? -1 : median(values->second);
}

void SummaryReporter::writeMedians(std::ostream& out) const {
    for (const auto& [name, times] : m_times)
        if (const double t = medianMs(name); t >= 0)
            out << name << '\t' << format("%.6g", t) << '\n';
}

Medians readMedians(const std::string& path) {
    Medians medians;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        try {
            medians[line.substr(0, tab)] = std::stod(line.substr(tab + 1));
        } catch (const std::exception&) {
        }
    }
    return medians;
}

std::string SummaryReporter::error(const std::string& name) const {
    const auto it = m_errors.find(name);
    return it == m_errors.end() ? std::string() : it->second;
}

} // namespace grelavo::bench
