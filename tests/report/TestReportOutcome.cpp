#include "FixtureDatabase.h"
#include "FixtureReports.h"
#include "core/db/DE.h"
#include "core/db/DbError.h"
#include "core/report/ReportEngine.h"
#include "core/report/ReportOutcome.h"

using namespace grelavo;

class TestReportOutcome : public QObject {
    Q_OBJECT

private slots:
    // What each way a report can end gives: the figures only with a report run to its end, the
    // reason only without one.
    void eachEndGivesWhatItHas() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        const ParameterSet p = atrazine(QStringLiteral("1"));

        const ReportOutcome shown = ReportOutcome::run(de, p, {}, true, QLocale::c());
        QVERIFY(shown.shown());
        QCOMPARE(shown.totalCases, 7); // the known report of the fixture
        QCOMPARE(shown.summaryLines, ReportEngine::Set_ParamList(p));
        QCOMPARE(shown.rows, ResultsTable::read(de.Connection2()));
        QCOMPARE(shown.parameters.txtTaux[0], QStringLiteral("1"));
        QVERIFY(shown.reason.isEmpty());
        QVERIFY(shown.detailsGathered && !shown.details.cells().isEmpty());
        const ReportOutcome withoutDetails = ReportOutcome::run(de, p, {}, false, QLocale::c());
        QVERIFY(!withoutDetails.detailsGathered && withoutDetails.details.cells().isEmpty());
        QCOMPARE(withoutDetails.rows, shown.rows);

        // No application near 40 kg/ha: the table as the engine left it, nothing counted.
        const ReportOutcome none =
            ReportOutcome::run(de, atrazine(QStringLiteral("40")), {}, true, QLocale::c());
        QVERIFY(none.noDataFound() && !none.shown());
        QCOMPARE(none.totalCases, 0);
        QCOMPARE(none.rows, ResultsTable::read(de.Connection2()));

        const ReportOutcome refused =
            ReportOutcome::run(de, atrazine(QStringLiteral("un")), {}, true, QLocale::c());
        QCOMPARE(refused.status, ReportOutcome::Status::Refused);
        QVERIFY(!refused.reason.isEmpty());
        QVERIFY(refused.rows.isEmpty() && refused.summaryLines.isEmpty());
        QCOMPARE(refused.totalCases, 0);
    }

    // A results table that cannot be read once the report has run is said (thrown), never a
    // report with an empty table.
    void anUnreadableTableIsNeverAnEmptyReport() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        ReportHooks hooks;
        hooks.finished = [&de] {
            de.Connection2().executeScript(
                QStringLiteral("ALTER TABLE tblResults RENAME TO tblResultsGone;"));
        };
        QVERIFY_THROWS_EXCEPTION(DbError, ReportOutcome::run(de, atrazine(QStringLiteral("1")),
                                                             hooks, true, QLocale::c()));
    }
};

QTEST_GUILESS_MAIN(TestReportOutcome)
#include "TestReportOutcome.moc"
