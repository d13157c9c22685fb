#include "Summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <set>

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

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// Three significant figures, never an exponent.
std::string ms(double value) {
    if (value < 0)
        return "–";
    if (value >= 100)
        return format("%.0f", value);
    if (value >= 10)
        return format("%.1f", value);
    if (value >= 1)
        return format("%.2f", value);
    return format("%.3f", value);
}

struct Target {
    double atOne;     // ms at scale 1
    double atHundred; // ms at scale 100
};

// The targets: a report within 20 ms on the shipped database and 300 ms at scale 100; a list
// step (cascade or rate picker) within 10 ms and 200 ms.
const Target* targetOf(const std::string& group) {
    static const Target report{20, 300};
    static const Target list{10, 200};
    if (group == "report")
        return &report;
    if (group == "list" || group == "rates")
        return &list;
    return nullptr;
}

const char* groupTitle(const std::string& group) {
    if (group == "open")
        return "open the file (key derivation, schema)";
    if (group == "report")
        return "report";
    if (group == "evaluator")
        return "reference evaluator";
    if (group == "list")
        return "cascading list step";
    if (group == "rates")
        return "rate picker";
    return group.c_str();
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
            }
        } else {
            times.wall.push_back(wall);
            times.cpu.push_back(cpu);
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

std::string SummaryReporter::error(const std::string& name) const {
    const auto it = m_errors.find(name);
    return it == m_errors.end() ? std::string() : it->second;
}

void printSummary(std::ostream& out, const SummaryReporter& reporter,
                  const std::vector<std::string>& labels, const std::vector<double>& scales,
                  const std::vector<StepKey>& steps, const std::vector<ScaleFacts>& facts) {
    // The distinct steps in the order they were registered.
    std::vector<StepKey> rows;
    std::set<std::string> seen;
    for (const StepKey& key : steps)
        if (seen.insert(key.group + "/" + key.name).second)
            rows.push_back(key);
    auto time = [&](const std::string& group, const std::string& name, size_t s) {
        StepKey key{group, name, {}, static_cast<int>(s)};
        return reporter.medianMs(benchmarkName(key, labels[s]));
    };
    auto scaleHeader = [&](const char* first) {
        out << "| " << first << " |";
        for (const std::string& label : labels)
            out << " scale " << label << " |";
    };
    auto scaleRule = [&](int extra) {
        out << "|---|";
        for (size_t s = 0; s < labels.size(); ++s)
            out << "---:|";
        for (int i = 0; i < extra; ++i)
            out << "---|";
        out << "\n";
    };

    out << "\n## Median wall-clock time per step (ms)\n\n";
    scaleHeader("step");
    std::string dataSteps;
    for (size_t s = 1; s < scales.size(); ++s)
        dataSteps += (s > 1 ? ", ×" : "×") + format("%g", scales[s] / scales[s - 1]);
    out << " growth (data " << (dataSteps.empty() ? std::string("–") : dataSteps)
        << ") | target |\n";
    scaleRule(2);
    std::vector<std::string> missed;
    auto ran = [&](const StepKey& row) {
        for (size_t s = 0; s < labels.size(); ++s)
            if (time(row.group, row.name, s) >= 0)
                return true;
        return false;
    };
    for (const StepKey& row : rows) {
        if (!ran(row))
            continue;
        out << "| " << groupTitle(row.group) << ": " << row.description << " |";
        const Target* target = targetOf(row.group);
        for (size_t s = 0; s < labels.size(); ++s) {
            const double t = time(row.group, row.name, s);
            out << " " << ms(t);
            double limit = -1;
            if (target && scales[s] == 1)
                limit = target->atOne;
            if (target && scales[s] == 100)
                limit = target->atHundred;
            if (limit > 0 && t > limit) {
                out << " ✗";
                missed.push_back(std::string(groupTitle(row.group)) + " " + row.name +
                                 " at scale " + labels[s] + ": " + ms(t) + " ms > " + ms(limit) +
                                 " ms");
            }
            out << " |";
        }
        // Growth from each scale to the next, and its exponent against the growth of the data
        // over the last step (the one nearest to how the cost grows with large files).
        std::string growth;
        double exponent = 0;
        bool measured = labels.size() > 1;
        for (size_t s = 1; s < labels.size() && measured; ++s) {
            const double before = time(row.group, row.name, s - 1);
            const double after = time(row.group, row.name, s);
            if (before <= 0 || after <= 0) {
                measured = false;
                break;
            }
            growth += (s > 1 ? " → ×" : "×") + format("%.1f", after / before);
            exponent = std::log(after / before) / std::log(scales[s] / scales[s - 1]);
            if (std::fabs(exponent) < 0.005)
                exponent = 0; // no "-0.00"
        }
        if (measured)
            out << " " << growth << " (n^" << format("%.2f", exponent) << ") |";
        else
            out << " – |";
        if (target)
            out << " " << ms(target->atOne) << " / " << ms(target->atHundred) << " |\n";
        else
            out << " – |\n";
    }
    out << "\nTargets are for scale 1 / scale 100; ✗ marks a missed one. Growth is the time at "
           "each scale over the time at the one before; n^e is the exponent of the last step "
           "against the size of the data (1 = linear, above 1 = faster than the data).\n";

    out << "\n## Median CPU time per step (ms)\n\n";
    scaleHeader("step");
    out << "\n";
    scaleRule(0);
    for (const StepKey& row : rows) {
        if (!ran(row))
            continue;
        out << "| " << groupTitle(row.group) << ": " << row.name << " |";
        for (size_t s = 0; s < labels.size(); ++s) {
            StepKey key{row.group, row.name, {}, static_cast<int>(s)};
            out << " " << ms(reporter.medianCpuMs(benchmarkName(key, labels[s]))) << " |";
        }
        out << "\n";
    }
    out << "\nCPU time leaves out the waits for the disk (the commits' fsync) and is less "
           "disturbed by other programs; far below the wall-clock time, it shows a step that "
           "waits.\n";

    bool anyRatio = false;
    for (const StepKey& row : rows)
        for (size_t s = 0; s < labels.size(); ++s)
            anyRatio = anyRatio || (row.group == "report" && time("report", row.name, s) > 0 &&
                                    time("evaluator", row.name, s) > 0);
    if (anyRatio) {
        out << "\n## Report over reference evaluator (time ratio)\n\n";
        scaleHeader("report");
        out << "\n";
        scaleRule(0);
        for (const StepKey& row : rows) {
            if (row.group != "report" || !ran(row))
                continue;
            out << "| " << row.description << " |";
            for (size_t s = 0; s < labels.size(); ++s) {
                const double sql = time("report", row.name, s);
                const double reference = time("evaluator", row.name, s);
                if (sql > 0 && reference > 0)
                    out << " " << format("%.0f", sql / reference) << " |";
                else
                    out << " – |";
            }
            out << "\n";
        }
    }

    out << "\n## Workloads\n\n";
    scaleHeader("what");
    out << "\n";
    scaleRule(0);
    auto factRow = [&](const char* title, auto value) {
        out << "| " << title << " |";
        for (const ScaleFacts& f : facts)
            out << " " << value(f) << " |";
        out << "\n";
    };
    factRow("file size (MB)", [](const ScaleFacts& f) { return format("%.1f", f.fileMegabytes); });
    factRow("treatments", [](const ScaleFacts& f) { return std::to_string(f.treatments); });
    factRow("applications", [](const ScaleFacts& f) { return std::to_string(f.applications); });
    factRow("weed ratings", [](const ScaleFacts& f) { return std::to_string(f.ratings); });
    for (const StepKey& row : rows) {
        if (row.group != "report" && row.group != "list" && row.group != "rates")
            continue;
        const std::string what = row.group == "report" ? "ratings counted, "
                                 : row.group == "list" ? "herbicides listed, "
                                                       : "rate combinations, ";
        out << "| " << what << row.name << " |";
        for (const ScaleFacts& f : facts) {
            const auto it = f.rows.find(row.group + "/" + row.name);
            out << " " << (it == f.rows.end() ? std::string("–") : std::to_string(it->second));
            if (row.group == "report") {
                const auto agree = f.agreement.find(row.name);
                if (agree != f.agreement.end() && !agree->second)
                    out << " (differs from the evaluator)";
            }
            out << " |";
        }
        out << "\n";
    }

    bool failed = false;
    for (const StepKey& key : steps) {
        const std::string name = benchmarkName(key, labels[key.scaleIndex]);
        const std::string e = reporter.error(name);
        if (!e.empty()) {
            if (!failed)
                out << "\n## Failed steps\n\n";
            failed = true;
            out << "- " << name << ": " << e << "\n";
        }
    }
    if (!missed.empty()) {
        out << "\n## Missed targets\n\n";
        for (const std::string& m : missed)
            out << "- " << m << "\n";
    }
    out.flush();
}

} // namespace grelavo::bench
