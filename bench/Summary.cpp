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
    double atOne;   // ms at scale 1
    double atLarge; // ms at scale 'large'
    double large = 100;
};

// The targets: a report within 20 ms on the shipped database and 300 ms at scale 100; a list
// step (cascade or rate picker) within 10 ms and 200 ms; an import of the exported experiments
// into a new database within 2 s, and 20 s at scale 10.
const Target* targetOf(const std::string& group) {
    static const Target report{20, 300};
    static const Target list{10, 200};
    static const Target import{2000, 20000, 10};
    if (group == "report")
        return &report;
    if (group == "list" || group == "rates")
        return &list;
    if (group == "import")
        return &import;
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
    if (group == "import")
        return "import";
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

namespace {

// Writes the summary's sections, in the order they are printed. Every table has one row per
// distinct step, in the order the steps were registered, and one column per scale.
class SummaryWriter {
public:
    SummaryWriter(std::ostream& out, const SummaryReporter& reporter,
                  const std::vector<std::string>& labels, const std::vector<double>& scales,
                  const std::vector<StepKey>& steps)
        : m_out(out), m_reporter(reporter), m_labels(labels), m_scales(scales), m_steps(steps),
          m_rows(distinctSteps(steps)) {}

    void wallClockTimes();
    void cpuTimes();
    void evaluatorRatios();
    void workloads(const std::vector<ScaleFacts>& facts);
    void failedSteps();
    void missedTargets();

private:
    static std::vector<StepKey> distinctSteps(const std::vector<StepKey>& steps);
    double time(const std::string& group, const std::string& name, size_t s) const {
        StepKey key{group, name, {}, static_cast<int>(s)};
        return m_reporter.medianMs(benchmarkName(key, m_labels[s]));
    }
    // Whether the step ran at any scale.
    bool ran(const StepKey& row) const {
        for (size_t s = 0; s < m_labels.size(); ++s)
            if (time(row.group, row.name, s) >= 0)
                return true;
        return false;
    }
    void scaleHeader(const char* first) {
        m_out << "| " << first << " |";
        for (const std::string& label : m_labels)
            m_out << " scale " << label << " |";
    }
    void scaleRule(int extra) {
        m_out << "|---|";
        for (size_t s = 0; s < m_labels.size(); ++s)
            m_out << "---:|";
        for (int i = 0; i < extra; ++i)
            m_out << "---|";
        m_out << "\n";
    }
    void wallClockRow(const StepKey& row);
    void growth(const StepKey& row);

    std::ostream& m_out;
    const SummaryReporter& m_reporter;
    const std::vector<std::string>& m_labels;
    const std::vector<double>& m_scales;
    const std::vector<StepKey>& m_steps; // every step at every scale
    const std::vector<StepKey> m_rows;   // the distinct steps
    std::vector<std::string> m_missed;   // the targets the wall-clock times missed
};

// The distinct steps in the order they were registered.
std::vector<StepKey> SummaryWriter::distinctSteps(const std::vector<StepKey>& steps) {
    std::vector<StepKey> rows;
    std::set<std::string> seen;
    for (const StepKey& key : steps)
        if (seen.insert(key.group + "/" + key.name).second)
            rows.push_back(key);
    return rows;
}

void SummaryWriter::wallClockTimes() {
    m_out << "\n## Median wall-clock time per step (ms)\n\n";
    scaleHeader("step");
    std::string dataSteps;
    for (size_t s = 1; s < m_scales.size(); ++s)
        dataSteps += (s > 1 ? ", ×" : "×") + format("%g", m_scales[s] / m_scales[s - 1]);
    m_out << " growth (data " << (dataSteps.empty() ? std::string("–") : dataSteps)
          << ") | target |\n";
    scaleRule(2);
    for (const StepKey& row : m_rows)
        if (ran(row))
            wallClockRow(row);
    m_out << "\nTargets are for scale 1 / scale 100 (the import's for scale 1 / scale 10); ✗ marks "
             "a missed one. Growth is the time at "
             "each scale over the time at the one before; n^e is the exponent of the last step "
             "against the size of the data (1 = linear, above 1 = faster than the data).\n";
}

// A step's times, each marked when it misses the target of its scale, its growth and its
// targets.
void SummaryWriter::wallClockRow(const StepKey& row) {
    m_out << "| " << groupTitle(row.group) << ": " << row.description << " |";
    const Target* target = targetOf(row.group);
    for (size_t s = 0; s < m_labels.size(); ++s) {
        const double t = time(row.group, row.name, s);
        m_out << " " << ms(t);
        double limit = -1;
        if (target && m_scales[s] == 1)
            limit = target->atOne;
        if (target && m_scales[s] == target->large)
            limit = target->atLarge;
        if (limit > 0 && t > limit) {
            m_out << " ✗";
            m_missed.push_back(std::string(groupTitle(row.group)) + " " + row.name + " at scale " +
                               m_labels[s] + ": " + ms(t) + " ms > " + ms(limit) + " ms");
        }
        m_out << " |";
    }
    growth(row);
    if (target)
        m_out << " " << ms(target->atOne) << " / " << ms(target->atLarge) << " |\n";
    else
        m_out << " – |\n";
}

// Growth from each scale to the next, and its exponent against the growth of the data over the
// last step (the one nearest to how the cost grows with large files).
void SummaryWriter::growth(const StepKey& row) {
    std::string steps;
    double exponent = 0;
    bool measured = m_labels.size() > 1;
    for (size_t s = 1; s < m_labels.size() && measured; ++s) {
        const double before = time(row.group, row.name, s - 1);
        const double after = time(row.group, row.name, s);
        if (before <= 0 || after <= 0) {
            measured = false;
            break;
        }
        steps += (s > 1 ? " → ×" : "×") + format("%.1f", after / before);
        exponent = std::log(after / before) / std::log(m_scales[s] / m_scales[s - 1]);
        if (std::fabs(exponent) < 0.005)
            exponent = 0; // no "-0.00"
    }
    if (measured)
        m_out << " " << steps << " (n^" << format("%.2f", exponent) << ") |";
    else
        m_out << " – |";
}

void SummaryWriter::cpuTimes() {
    m_out << "\n## Median CPU time per step (ms)\n\n";
    scaleHeader("step");
    m_out << "\n";
    scaleRule(0);
    for (const StepKey& row : m_rows) {
        if (!ran(row))
            continue;
        m_out << "| " << groupTitle(row.group) << ": " << row.name << " |";
        for (size_t s = 0; s < m_labels.size(); ++s) {
            StepKey key{row.group, row.name, {}, static_cast<int>(s)};
            m_out << " " << ms(m_reporter.medianCpuMs(benchmarkName(key, m_labels[s]))) << " |";
        }
        m_out << "\n";
    }
    m_out << "\nCPU time leaves out the waits for the disk (the commits' fsync) and is less "
             "disturbed by other programs; far below the wall-clock time, it shows a step that "
             "waits.\n";
}

// Printed only when some report and its evaluator both ran at one scale.
void SummaryWriter::evaluatorRatios() {
    bool anyRatio = false;
    for (const StepKey& row : m_rows)
        for (size_t s = 0; s < m_labels.size(); ++s)
            anyRatio = anyRatio || (row.group == "report" && time("report", row.name, s) > 0 &&
                                    time("evaluator", row.name, s) > 0);
    if (!anyRatio)
        return;
    m_out << "\n## Report over reference evaluator (time ratio)\n\n";
    scaleHeader("report");
    m_out << "\n";
    scaleRule(0);
    for (const StepKey& row : m_rows) {
        if (row.group != "report" || !ran(row))
            continue;
        m_out << "| " << row.description << " |";
        for (size_t s = 0; s < m_labels.size(); ++s) {
            const double sql = time("report", row.name, s);
            const double reference = time("evaluator", row.name, s);
            if (sql > 0 && reference > 0)
                m_out << " " << format("%.0f", sql / reference) << " |";
            else
                m_out << " – |";
        }
        m_out << "\n";
    }
}

void SummaryWriter::workloads(const std::vector<ScaleFacts>& facts) {
    m_out << "\n## Workloads\n\n";
    scaleHeader("what");
    m_out << "\n";
    scaleRule(0);
    auto factRow = [&](const char* title, auto value) {
        m_out << "| " << title << " |";
        for (const ScaleFacts& f : facts)
            m_out << " " << value(f) << " |";
        m_out << "\n";
    };
    factRow("file size (MB)", [](const ScaleFacts& f) { return format("%.1f", f.fileMegabytes); });
    factRow("treatments", [](const ScaleFacts& f) { return std::to_string(f.treatments); });
    factRow("applications", [](const ScaleFacts& f) { return std::to_string(f.applications); });
    factRow("weed ratings", [](const ScaleFacts& f) { return std::to_string(f.ratings); });
    for (const StepKey& row : m_rows) {
        if (row.group != "report" && row.group != "list" && row.group != "rates")
            continue;
        const std::string what = row.group == "report" ? "ratings counted, "
                                 : row.group == "list" ? "herbicides listed, "
                                                       : "rate combinations, ";
        m_out << "| " << what << row.name << " |";
        for (const ScaleFacts& f : facts) {
            const auto it = f.rows.find(row.group + "/" + row.name);
            m_out << " " << (it == f.rows.end() ? std::string("–") : std::to_string(it->second));
            if (row.group == "report") {
                const auto agree = f.agreement.find(row.name);
                if (agree != f.agreement.end() && !agree->second)
                    m_out << " (differs from the evaluator)";
            }
            m_out << " |";
        }
        m_out << "\n";
    }
}

// Every run that failed, at each scale, with its error.
void SummaryWriter::failedSteps() {
    bool failed = false;
    for (const StepKey& key : m_steps) {
        const std::string name = benchmarkName(key, m_labels[key.scaleIndex]);
        const std::string e = m_reporter.error(name);
        if (!e.empty()) {
            if (!failed)
                m_out << "\n## Failed steps\n\n";
            failed = true;
            m_out << "- " << name << ": " << e << "\n";
        }
    }
}

void SummaryWriter::missedTargets() {
    if (m_missed.empty())
        return;
    m_out << "\n## Missed targets\n\n";
    for (const std::string& m : m_missed)
        m_out << "- " << m << "\n";
}

} // namespace

void printSummary(std::ostream& out, const SummaryReporter& reporter,
                  const std::vector<std::string>& labels, const std::vector<double>& scales,
                  const std::vector<StepKey>& steps, const std::vector<ScaleFacts>& facts) {
    SummaryWriter summary(out, reporter, labels, scales, steps);
    summary.wallClockTimes();
    summary.cpuTimes();
    summary.evaluatorRatios();
    summary.workloads(facts);
    summary.failedSteps();
    summary.missedTargets();
    out.flush();
}

} // namespace grelavo::bench
