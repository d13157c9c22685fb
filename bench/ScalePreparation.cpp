// The preparation of a scale: its workload counted, every report checked against the reference
// evaluator and its hand-written statement, every list step against its hand-written list.

#include "ScalePreparation.h"

#include "ListRuns.h"
#include "LowerBounds.h"

#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/Statement.h"
#include "core/report/ReportEngine.h"
#include "core/report/ResultsTable.h"
#include "verify/ReferenceEvaluator.h"

#include <QFileInfo>
#include <QLocale>
#include <QTextStream>
#include <optional>

namespace grelavo::bench {

std::vector<Scale> g_scales;
QVector<ReportCase> g_reports;
QVector<ListCase> g_lists;

namespace {

long long countRows(Connection& connection, const char* table) {
    Statement count(connection, QStringLiteral("SELECT count(*) FROM ") + QString::fromUtf8(table));
    return count.step() ? count.value(0).toLongLong() : 0;
}

// Each report run by the engine, its table compared with the evaluator's, its figures with the
// hand-written statement's.
void checkReports(ScaleDatabase& db, ScaleFacts& facts, QTextStream& err) {
    DE& de = db.de();
    Connection& connection = de.Connection2();
    ReferenceEvaluator& evaluator = db.evaluator();
    ReportEngine engine(de, QLocale::c());
    for (const ReportCase& c : g_reports) {
        if (!engine.SetQuery(c.parameters))
            throw std::runtime_error(std::string("report refused: ") +
                                     engine.refusal().toStdString());
        const std::optional<ReferenceReport> reference = evaluator.evaluate(c.parameters);
        const QVector<ResultsRow> table = ResultsTable::read(connection);
        const bool agree =
            reference && reference->rows == table && reference->TotalCases == engine.TotalCases();
        facts.rows[std::string("report/") + c.name] = engine.TotalCases();
        facts.agreement[std::string("report/") + c.name] = agree;
        if (!agree)
            err << "grelavo-bench: scale " << db.label() << ", report " << c.name
                << ": the engine's table differs from the evaluator's\n";
        if (reference) {
            const std::string differs = compareWithTable(
                readReportFigures(connection, reportStatement(c.parameters)), *reference);
            facts.agreement[std::string("best/") + c.name] = differs.empty();
            if (!differs.empty())
                err << "grelavo-bench: scale " << db.label() << ", report " << c.name
                    << ": the hand-written statement differs from the evaluator ("
                    << QString::fromStdString(differs) << ")\n";
        }
    }
}

// Each list step's rows compared with its hand-written statement's.
void checkLists(ScaleDatabase& db, ScaleFacts& facts, QTextStream& err) {
    DE& de = db.de();
    for (const ListCase& c : g_lists) {
        const QStringList listed = listedRows(de, c);
        const bool picker = c.kind == ListCase::Kind::RatePicker;
        const std::string key = (picker ? "rates/" : "list/") + std::string(c.name);
        facts.rows[key] = listed.size();
        const bool same = listed == boundRows(de.Connection2(), c);
        facts.agreement[key] = same;
        if (!same)
            err << "grelavo-bench: scale " << db.label() << ", " << c.name
                << ": the list differs from its hand-written statement's\n";
    }
}

} // namespace

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
        Connection& connection = db.de().Connection2();
        ScaleFacts& facts = scale.facts;
        facts.treatments = countRows(connection, "tbldesTraitements");
        facts.applications = countRows(connection, "tblPériodesApplication");
        facts.ratings = countRows(connection, "tblMHEval");
        facts.fileMegabytes = QFileInfo(db.filePath()).size() / 1e6;
        checkReports(db, facts, err);
        checkLists(db, facts, err);
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

} // namespace grelavo::bench
