#include "FixtureDatabase.h"
#include "db/Connection.h"
#include "db/DE.h"
#include "db/Recordset.h"
#include "report/ReportEngine.h"

#include "FixtureReports.h"

#include <QtTest>
#include <sqlite3.h>

using namespace grelavo;

namespace {

int countCommits(void* counter) {
    ++*static_cast<int*>(counter);
    return 0;
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT

private:
    // NoId, then the cells of the rows asked for, "~" for NULL.
    static QStringList cells(DE& de, const QString& noIds) {
        Recordset rs;
        rs.open(de.Connection2(), QStringLiteral("SELECT * FROM tblResults WHERE NoId IN (%1) "
                                                 "ORDER BY NoId")
                                      .arg(noIds));
        QStringList out;
        for (; !rs.eof(); rs.moveNext()) {
            QStringList row{rs.field(QStringLiteral("NoId")).toString()};
            for (int c = 1; c <= 10; ++c) {
                const QVariant v = rs.field(QString::number(c));
                row << (v.isNull() ? QStringLiteral("~") : v.toString().trimmed());
            }
            out << row.join(QLatin1Char('|'));
        }
        return out;
    }

private slots:
    void aggregatesEachFractionIntoItsCells() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        ReportEngine engine(de, QLocale(QLocale::French, QLocale::Canada));
        QVERIFY(engine.SetQuery(atrazine(QStringLiteral("1"))));
        // 50 %: applications 3, 6 and 7 (treatments 3 and 6, each rating counted once);
        // 100 %: application 1 only (4 is another period, 8 is soya). 60 to 80 %: nothing.
        QCOMPARE(cells(de, QStringLiteral("1, 2, 3, 8, 9")),
                 QStringList({"1|57|2|-|-|-|-|-|-|87|2", "2|57|2|-|-|-|-|-|-|90|1",
                              "3|~|0|-|-|-|-|-|-|85|1", "8|57|2|-|-|-|-|-|-|80|1",
                              "9|65|1|-|-|-|-|-|-|80|1"}));
        QCOMPARE(engine.TotalCases(), 7);
        QVERIFY(!engine.NoDataFound());
        QVERIFY(!engine.FractionEmpty(0) && engine.FractionEmpty(1) && !engine.FractionEmpty(4));
        // Rows the reset never touches keep their cells.
        QCOMPARE(cells(de, QStringLiteral("7")).first(),
                 QStringLiteral("7|kept|-|-|-|-|-|-|-|-|kept"));
    }

    void reportRunTwiceGivesTheSameTable() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        ReportEngine engine(de);
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbMauvHerb[0] = {QStringLiteral("souchet comestible"), 200};
        QVERIFY(engine.SetQuery(p));
        const QStringList first = cells(de, QStringLiteral("SELECT NoId FROM tblResults"));
        QVERIFY(engine.SetQuery(p));
        QCOMPARE(cells(de, QStringLiteral("SELECT NoId FROM tblResults")), first);
        QCOMPARE(engine.TotalCases(), 7);
    }

    void extraWeedsGetOneFreeRowEach() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        ReportEngine engine(de);
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbMauvHerb[0] = {QStringLiteral("pied-de-coq"), 16}; // already a standard row
        p.cbbMauvHerb[1] = {QStringLiteral("souchet comestible"), 200};
        p.cbbMauvHerb[3] = {QStringLiteral("souchet comestible"), 200}; // repeated
        p.cbbMauvHerb[4] = {QStringLiteral("prêle des champs"), 201};
        QVERIFY(engine.SetQuery(p));
        Recordset rs;
        rs.open(de.Connection2(), QStringLiteral("SELECT NoId, Results, ResultsId, [1], [2] FROM "
                                                 "tblResults WHERE NoId > 30 ORDER BY NoId"));
        QStringList rows;
        for (; !rs.eof(); rs.moveNext())
            rows << QStringList({rs.field("NoId").toString(), rs.field("Results").toString(),
                                 rs.field("ResultsId").toString(), rs.field("1").toString(),
                                 rs.field("2").toString()})
                        .join(QLatin1Char('|'));
        // Treatment 3 rated the sedge at 50; the horsetail was never rated.
        QCOMPARE(rows, QStringList({"31|     souchet comestible|200|50|1",
                                    "32|     prêle des champs|201| - | - ",
                                    "33|     --------|| - | - "}));
    }

    void emptyFractionsAndUnmatchedReportsFindNoData() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        ReportEngine engine(de);
        ParameterSet p = atrazine(QStringLiteral("7"));
        QVERIFY(engine.SetQuery(p));
        QVERIFY(engine.NoDataFound());
        QCOMPARE(engine.TotalCases(), 0);
        QCOMPARE(cells(de, QStringLiteral("1, 2")),
                 QStringList({"1|-|-|-|-|-|-|-|-|-|-", "2|-|-|-|-|-|-|-|-|-|-"}));
        // A variety filter that no matching treatment has: no data either.
        p = atrazine(QStringLiteral("1"));
        p.cbbCultVar = {QStringLiteral("Sucré C"), 3};
        QVERIFY(engine.SetQuery(p));
        QVERIFY(engine.NoDataFound());
    }

    void ratingOnAWindowEdgeAndOverlappingWindows() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        Connection& db = de.Connection2();
        // A lone application at exactly 0.45 (the low edge of 50 % of 1 at +/- 5).
        db.executeScript(QStringLiteral(
            "INSERT INTO tbldesTraitements VALUES (8, 1);"
            "INSERT INTO tblPériodesApplication VALUES (9, 8, 1);"
            "INSERT INTO tblDétailsHerbicides VALUES (9, 10, 1, 0.45);"
            "INSERT INTO tblCultureEXP VALUES (8, 8, 149, 1, 1, 20, 75000, 5, 76);"
            "INSERT INTO tblStadeCultureH VALUES (9, 9, 149, 10, 3);"
            "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (8, 15, 0);"));
        ReportEngine engine(de);
        QVERIFY(engine.SetQuery(atrazine(QStringLiteral("1"))));
        QCOMPARE(cells(de, QStringLiteral("9")).first(), QStringLiteral("9|32|2|-|-|-|-|-|-|80|1"));
        // At +/- 10 the 50 % and 60 % windows overlap: 0.5 falls in both and counts in both.
        QVERIFY(engine.SetQuery(atrazine(QStringLiteral("1"), 10)));
        const QStringList row = cells(de, QStringLiteral("2")).first().split(QLatin1Char('|'));
        QCOMPARE(row.mid(1, 4), QStringList({"57", "2", "57", "2"}));
        QCOMPARE(engine.TotalCases(), 5 + 4 + 3);
    }

    void hooksSeeProgressAndAReportCostsAFewCommits() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        int commits = 0;
        sqlite3_commit_hook(de.Connection2().handle(), &countCommits, &commits);
        QStringList calls;
        ReportHooks hooks;
        hooks.started = [&](const QString& status) {
            calls << QStringLiteral("started");
            QVERIFY(status.startsWith(QStringLiteral("Entrez les paramètres obligatoires")));
        };
        hooks.progressed = [&](int value) {
            QVERIFY(!de.Connection2().inTransaction()); // events never run inside one
            calls << QString::number(value);
        };
        hooks.letEventsRun = [&] { calls << QStringLiteral("events"); };
        hooks.pause = [&] { calls << QStringLiteral("pause"); };
        hooks.finished = [&] { calls << QStringLiteral("finished"); };
        ReportEngine engine(de);
        QVERIFY(engine.SetQuery(atrazine(QStringLiteral("1")), hooks));
        QCOMPARE(calls, QStringList({"started", "20", "events", "40", "events", "60", "events",
                                     "80", "events", "100", "events", "pause", "finished"}));
        QCOMPARE(commits, 5);
    }

    void totalCasesIsNotCappedAtSixteenBits() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        de.Connection2().executeScript(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
            "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) SELECT 1, 15, 80 FROM n;"));
        ReportEngine engine(de);
        QVERIFY(engine.SetQuery(atrazine(QStringLiteral("1"))));
        QCOMPARE(engine.TotalCases(), 4 + 40003);
    }
};

QTEST_GUILESS_MAIN(TestReportEngine)
#include "TestReportEngine.moc"
