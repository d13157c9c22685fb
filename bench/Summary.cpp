// The summary's Markdown tables: the times per scale and their growth, each step over its lower
// bound, peak memory, the workloads, and the targets met or missed.

#include "Summary.h"
#include "SummaryText.h"

#include <cmath>
#include <map>
#include <ostream>
#include <set>

namespace grelavo::bench {

namespace {

struct Target {
    double atOne;   // ms at scale 1 (0: none)
    double atLarge; // ms at scale 'large' (0: none)
    double large = 100;
};

// The plain time targets: a report within 20 ms on the shipped database and 300 ms at scale
// 100; a list step (cascade or rate picker) within 10 ms and 200 ms; the import within 2 s and
// 10 s, the export within 5 s at scale 100.
const Target* targetOf(const std::string& group) {
    static const Target report{20, 300};
    static const Target list{10, 200};
    static const Target import{2000, 10000};
    static const Target exportTarget{0, 5000};
    if (group == "report")
        return &report;
    if (group == "list" || group == "rates")
        return &list;
    if (group == "import")
        return &import;
    if (group == "export")
        return &exportTarget;
    return nullptr;
}

// Peak memory targets at scale 100 (MB).
double peakTarget(const std::string& group) {
    if (group == "import")
        return 300;
    if (group == "export")
        return 150;
    return 0;
}

// The largest ratio to its bound a step may show at scale 100, and the largest growth exponent
// from scale 10 to 100 (0: none).
struct BoundTarget {
    double ratio = 0;
    double exponent = 0;
};
BoundTarget boundTargetOf(const std::string& group) {
    if (group == "report")
        return {1.5, 0};
    if (group == "details")
        return {1.15, 0};
    if (group == "list" || group == "rates")
        return {1.5, 1.05};
    return {};
}

const char* groupTitle(const std::string& group) {
    static const std::map<std::string, const char*> titles = {{"open", "open the file"},
                                                              {"open-bound", "bare open"},
                                                              {"first", "first report"},
                                                              {"report", "report"},
                                                              {"details", "report with details"},
                                                              {"best", "hand-written statement"},
                                                              {"evaluator", "reference evaluator"},
                                                              {"list", "cascading list step"},
                                                              {"list-bound", "hand-written list"},
                                                              {"rates", "rate picker"},
                                                              {"rates-bound", "hand-written rates"},
                                                              {"import", "import"},
                                                              {"export", "export"},
                                                              {"export-bound", "CSV dump"},
                                                              {"analysis", "analysis"}};
    const auto it = titles.find(group);
    return it == titles.end() ? group.c_str() : it->second;
}

std::string mark(bool met) {
    return met ? "✓ met" : "✗ missed";
}

// Writes the summary's sections, in the order they are printed. Every table has one row per
// distinct step, in the order the steps were registered, and one column per scale.
class SummaryWriter {
public:
    SummaryWriter(std::ostream& out, const SummaryReporter& reporter,
                  const std::vector<std::string>& labels, const std::vector<double>& scales,
                  const std::vector<StepKey>& steps, const Medians& baseline)
        : m_out(out), m_reporter(reporter), m_labels(labels), m_scales(scales), m_steps(steps),
          m_rows(distinctSteps(steps)), m_baseline(baseline) {}

    void wallClockTimes();
    void cpuTimes();
    void boundRatios();
    void peakMemory();
    void evaluatorRatios();
    void workloads(const std::vector<ScaleFacts>& facts);
    void failedSteps();
    void targets();

private:
    static std::vector<StepKey> distinctSteps(const std::vector<StepKey>& steps);
    double time(const std::string& group, const std::string& name, size_t s) const {
        StepKey key{group, name, {}, static_cast<int>(s)};
        return m_reporter.medianMs(benchmarkName(key, m_labels[s]));
    }
    // The CPU time of the step's own process (a child's, for the steps run in one).
    double cpuTime(const std::string& group, const std::string& name, size_t s) const {
        StepKey key{group, name, {}, static_cast<int>(s)};
        const std::string benchmark = benchmarkName(key, m_labels[s]);
        const double child = m_reporter.counter(benchmark, "cpu_ms");
        return child >= 0 ? child : m_reporter.medianCpuMs(benchmark);
    }
    double peak(const std::string& group, const std::string& name, size_t s) const {
        StepKey key{group, name, {}, static_cast<int>(s)};
        return m_reporter.counter(benchmarkName(key, m_labels[s]), "peak_mb");
    }
    // The index of a scale, or -1 when it did not run.
    int scaleIndex(double scale) const {
        for (size_t s = 0; s < m_scales.size(); ++s)
            if (m_scales[s] == scale)
                return static_cast<int>(s);
        return -1;
    }
    // The growth exponent of a step's wall-clock (or CPU) time between two scales; NaN when
    // either is missing.
    double exponent(const std::string& group, const std::string& name, double from, double to,
                    bool cpu = false) const {
        const int a = scaleIndex(from), b = scaleIndex(to);
        if (a < 0 || b < 0)
            return std::nan("");
        const auto at = [&](int s) {
            return cpu ? cpuTime(group, name, size_t(s)) : time(group, name, size_t(s));
        };
        const double before = at(a), after = at(b);
        if (before <= 0 || after <= 0)
            return std::nan("");
        return std::log(after / before) / std::log(to / from);
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
    std::string growth(const std::string& group, const std::string& name) const;
    void target(const std::string& what, bool met, const std::string& figures) {
        m_targets.push_back("- " + mark(met) + ": " + what + " (" + figures + ")");
    }

    std::ostream& m_out;
    const SummaryReporter& m_reporter;
    const std::vector<std::string>& m_labels;
    const std::vector<double>& m_scales;
    const std::vector<StepKey>& m_steps; // every step at every scale
    const std::vector<StepKey> m_rows;   // the distinct steps
    const Medians& m_baseline;
    std::vector<std::string> m_missed;  // the plain time targets missed
    std::vector<std::string> m_targets; // the bound, growth and memory targets, met or missed
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
    m_out << " growth exponent | target |\n";
    scaleRule(2);
    for (const StepKey& row : m_rows)
        if (ran(row))
            wallClockRow(row);
    m_out << "\nTargets are for scale 1 / scale 100; ✗ marks a missed one. The growth exponent "
             "between two scales is log(t2/t1) / log(scale2/scale1): 1 is linear in the data, "
             "above 1 faster than the data.\n";
}

// A step's times, each marked when it misses the target of its scale, its growth and its
// targets.
void SummaryWriter::wallClockRow(const StepKey& row) {
    m_out << "| " << groupTitle(row.group) << ": " << row.description << " |";
    const Target* target = targetOf(row.group);
    for (size_t s = 0; s < m_labels.size(); ++s) {
        const double t = time(row.group, row.name, s);
        m_out << " " << ms(t);
        double limit = 0;
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
    m_out << " " << growth(row.group, row.name) << " |";
    if (target)
        m_out << " " << (target->atOne > 0 ? ms(target->atOne) : "–") << " / "
              << ms(target->atLarge) << " |\n";
    else
        m_out << " – |\n";
}

// The exponents from each scale to the next: "1→10 0.98, 10→100 1.02".
std::string SummaryWriter::growth(const std::string& group, const std::string& name) const {
    std::string out;
    for (size_t s = 1; s < m_scales.size(); ++s) {
        const double e = exponent(group, name, m_scales[s - 1], m_scales[s]);
        if (std::isnan(e))
            continue;
        if (!out.empty())
            out += ", ";
        out += m_labels[s - 1] + "→" + m_labels[s] + " " +
               format("%.2f", std::fabs(e) < 0.005 ? 0.0 : e);
    }
    return out.empty() ? "–" : out;
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
        for (size_t s = 0; s < m_labels.size(); ++s)
            m_out << " " << ms(cpuTime(row.group, row.name, s)) << " |";
        m_out << "\n";
    }
    m_out << "\nCPU time leaves out the waits for the disk (the commits' fsync) and is less "
             "disturbed by other programs; far below the wall-clock time, it shows a step that "
             "waits. The import, the export and the dump run in processes of their own: theirs "
             "is that process's user and system time.\n";
}

// Each step over its lower bound at every scale, both growth exponents, and the targets on the
// ratio at scale 100 and on the growth from 10 to 100.
void SummaryWriter::boundRatios() {
    m_out << "\n## Each step over its lower bound (time ratio, same run)\n\n";
    scaleHeader("step / bound");
    m_out << " step growth | bound growth | CPU growth 10→100, step / bound | target |\n";
    scaleRule(4);
    const int large = scaleIndex(100);
    for (const StepKey& row : m_rows) {
        if (row.boundGroup.empty() || !ran(row))
            continue;
        m_out << "| " << groupTitle(row.group) << " " << row.name << " / "
              << groupTitle(row.boundGroup) << " |";
        for (size_t s = 0; s < m_labels.size(); ++s) {
            const double t = time(row.group, row.name, s);
            const double bound = time(row.boundGroup, row.boundName, s);
            const double cpu = cpuTime(row.group, row.name, s);
            const double cpuBound = cpuTime(row.boundGroup, row.boundName, s);
            m_out << " " << (t > 0 && bound > 0 ? format("%.2f", t / bound) : "–");
            if (cpu > 0 && cpuBound > 0)
                m_out << " (" << format("%.2f", cpu / cpuBound) << ")";
            m_out << " |";
        }
        const BoundTarget wanted = boundTargetOf(row.group);
        m_out << " " << growth(row.group, row.name) << " | "
              << growth(row.boundGroup, row.boundName) << " | ";
        const double cpuStep = exponent(row.group, row.name, 10, 100, true);
        const double cpuBound = exponent(row.boundGroup, row.boundName, 10, 100, true);
        m_out << (std::isnan(cpuStep) ? "–" : format("%.2f", cpuStep)) << " / "
              << (std::isnan(cpuBound) ? "–" : format("%.2f", cpuBound)) << " | ";
        if (wanted.ratio > 0)
            m_out << "≤ " << format("%.2f", wanted.ratio) << "×";
        if (wanted.exponent > 0)
            m_out << ", n^" << format("%.2f", wanted.exponent);
        m_out << (wanted.ratio > 0 ? "" : "–") << " |\n";

        const std::string what = std::string(groupTitle(row.group)) + " " + row.name;
        if (wanted.ratio > 0 && large >= 0) {
            const double t = time(row.group, row.name, size_t(large));
            const double bound = time(row.boundGroup, row.boundName, size_t(large));
            if (t > 0 && bound > 0)
                target(what + " ≤ " + format("%.2f", wanted.ratio) + "× " +
                           groupTitle(row.boundGroup) + " at scale 100",
                       t / bound <= wanted.ratio,
                       ms(t) + " / " + ms(bound) + " ms = " + format("%.2f", t / bound));
        }
        if (wanted.exponent > 0) {
            const double e = exponent(row.group, row.name, 10, 100);
            if (!std::isnan(e))
                target(what + " grows at most n^" + format("%.2f", wanted.exponent) +
                           " from scale 10 to 100",
                       e <= wanted.exponent,
                       "n^" + format("%.2f", e) + ", its bound n^" +
                           format("%.2f", exponent(row.boundGroup, row.boundName, 10, 100)) +
                           "; CPU time n^" +
                           format("%.2f", exponent(row.group, row.name, 10, 100, true)) +
                           ", its bound n^" +
                           format("%.2f", exponent(row.boundGroup, row.boundName, 10, 100, true)));
        }
    }
    m_out << "\nWall-clock ratios, the CPU-time ratio in brackets (the waits for the disk and "
             "for other programs left out). Bounds: a report against "
             "one hand-written statement giving every cell's figures; "
             "the report with details against the plain report; a list step or the rate picker "
             "against one hand-written statement giving the same list (no stored query "
             "rewritten, so no commit); the export against a plain CSV dump of the same tables; "
             "opening against the bare keyed open and a read of the schema.\n";
}

void SummaryWriter::peakMemory() {
    bool any = false;
    for (const StepKey& row : m_rows)
        for (size_t s = 0; s < m_labels.size(); ++s)
            any = any || peak(row.group, row.name, s) > 0;
    if (!any)
        return;
    m_out << "\n## Peak resident memory of the processes (MB)\n\n";
    scaleHeader("step");
    m_out << " target |\n";
    scaleRule(1);
    const int large = scaleIndex(100);
    for (const StepKey& row : m_rows) {
        bool measured = false;
        for (size_t s = 0; s < m_labels.size(); ++s)
            measured = measured || peak(row.group, row.name, s) > 0;
        if (!measured)
            continue;
        m_out << "| " << groupTitle(row.group) << ": " << row.description << " |";
        for (size_t s = 0; s < m_labels.size(); ++s) {
            const double mb = peak(row.group, row.name, s);
            m_out << " " << (mb > 0 ? format("%.0f", mb) : "–") << " |";
        }
        const double wanted = peakTarget(row.group);
        m_out << " " << (wanted > 0 ? "≤ " + format("%.0f", wanted) : "–") << " |\n";
        if (wanted > 0 && large >= 0 && peak(row.group, row.name, size_t(large)) > 0) {
            const double mb = peak(row.group, row.name, size_t(large));
            target(std::string(groupTitle(row.group)) + " peak memory ≤ " + format("%.0f", wanted) +
                       " MB at scale 100",
                   mb <= wanted, format("%.0f", mb) + " MB");
        }
    }
    m_out << "\nThe largest resident size of the program's own process (getrusage's maxrss, "
             "read by a small go-between process that started it).\n";
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
                m_out << " " << format("%.1f", sql / reference) << " |";
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
            const std::string key = row.group + "/" + row.name;
            const auto it = f.rows.find(key);
            m_out << " " << (it == f.rows.end() ? std::string("–") : std::to_string(it->second));
            const auto agree = f.agreement.find(key);
            if (agree != f.agreement.end() && !agree->second)
                m_out << (row.group == "report" ? " (differs from the evaluator)"
                                                : " (differs from its bound)");
            const auto best = f.agreement.find("best/" + row.name);
            if (row.group == "report" && best != f.agreement.end() && !best->second)
                m_out << " (hand-written statement differs)";
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

// The targets met or missed: the first report, the ratios, growth and memory gathered above,
// the plain times, and no step slower at scale 1 than in the baseline.
void SummaryWriter::targets() {
    const int one = scaleIndex(1), large = scaleIndex(100);
    if (one >= 0 && large >= 0) {
        const double first1 = time("first", "report", size_t(one));
        const double first100 = time("first", "report", size_t(large));
        const double report100 = time("report", "single", size_t(large));
        if (first1 > 0 && first100 > 0 && report100 > 0) {
            const double limit = 1.5 * first1 + report100;
            target("open, check and first report at scale 100 ≤ 1.5× scale 1 + the report's own "
                   "time",
                   first100 <= limit,
                   ms(first100) + " ms against 1.5 × " + ms(first1) + " + " + ms(report100) +
                       " = " + ms(limit) + " ms");
        }
    }
    if (one >= 0 && !m_baseline.empty()) {
        int slower = 0, compared = 0;
        std::string worst;
        for (const StepKey& row : m_rows) {
            StepKey key{row.group, row.name, {}, one};
            const std::string name = benchmarkName(key, m_labels[size_t(one)]);
            const auto before = m_baseline.find(name);
            const double now = m_reporter.medianMs(name);
            if (before == m_baseline.end() || now <= 0 ||
                row.group.find("-bound") != std::string::npos)
                continue;
            ++compared;
            // Ten per cent allowed for the noise of a shared machine.
            if (now > 1.1 * before->second) {
                ++slower;
                worst += (worst.empty() ? "" : "; ") + name + " " + ms(now) + " ms against " +
                         ms(before->second);
            }
        }
        target("no step slower at scale 1 than in the baseline (10 % allowed)", slower == 0,
               std::to_string(compared) + " steps compared" +
                   (slower ? ", " + std::to_string(slower) + " slower: " + worst : ""));
    }
    if (!m_missed.empty()) {
        m_out << "\n## Plain time targets missed\n\n";
        for (const std::string& m : m_missed)
            m_out << "- " << m << "\n";
    }
    if (m_targets.empty())
        return;
    m_out << "\n## Targets at a national database's size\n\n";
    for (const std::string& t : m_targets)
        m_out << t << "\n";
    if (m_baseline.empty())
        m_out << "- no baseline: scale 1 not compared with an earlier run (see --grelavo_baseline)"
              << "\n";
}

} // namespace

void printSummary(std::ostream& out, const SummaryReporter& reporter,
                  const std::vector<std::string>& labels, const std::vector<double>& scales,
                  const std::vector<StepKey>& steps, const std::vector<ScaleFacts>& facts,
                  const Medians& baseline) {
    SummaryWriter summary(out, reporter, labels, scales, steps, baseline);
    summary.wallClockTimes();
    summary.cpuTimes();
    summary.boundRatios();
    summary.peakMemory();
    summary.evaluatorRatios();
    summary.workloads(facts);
    summary.failedSteps();
    summary.targets();
    out.flush();
}

} // namespace grelavo::bench
