#include "FixtureDatabase.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/JetDialect.h"
#include "core/db/Recordset.h"
#include "core/db/Statement.h"
#include "core/report/ReportEngine.h"

#include "FaultyVfs.h"
#include "FixtureReports.h"

using namespace grelavo;

class TestReportEngine : public QObject {
    Q_OBJECT

private:
    // The engine on the fixture database.
    struct Fixture {
        FixtureDatabase fixture;
        DE de{fixture.folder()};
        ReportEngine engine{de, QLocale(QLocale::French, QLocale::Canada)};

        // The rows asked for, their fields joined by "|", "~" for NULL; blanks trimmed unless
        // the whole text is asked for.
        QStringList rows(const QString& noIds, const QString& fields = QStringLiteral("*"),
                         bool trimmed = true) {
            Recordset rs;
            rs.open(de.Connection2(),
                    QStringLiteral("SELECT %1 FROM tblResults WHERE NoId IN (%2) ORDER BY NoId")
                        .arg(fields, noIds));
            QStringList out;
            for (; !rs.eof(); rs.moveNext()) {
                QStringList row;
                for (const QString& name : rs.fieldNames()) {
                    const QVariant v = rs.field(name);
                    row << (v.isNull() ? QStringLiteral("~")
                            : trimmed  ? v.toString().trimmed()
                                       : v.toString());
                }
                out << row.join(QLatin1Char('|'));
            }
            return out;
        }
        // A lone application at exactly 0.45 (the low edge of 50 % of 1 at +/- 5).
        void addApplicationOnTheLowEdge() {
            de.Connection2().executeScript(QStringLiteral(
                "INSERT INTO tbldesTraitements VALUES (8, 1);"
                "INSERT INTO tblPériodesApplication VALUES (9, 8, 1);"
                "INSERT INTO tblDétailsHerbicides VALUES (9, 10, 1, 0.45);"
                "INSERT INTO tblCultureEXP VALUES (8, 8, 149, 1, 1, 20, 75000, 5, 76);"
                "INSERT INTO tblStadeCultureH VALUES (9, 9, 149, 10, 3);"
                "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (8, 15, 0);"));
        }
        // NoId and the ten cells of the rows asked for.
        QStringList cells(const QString& noIds) {
            return rows(noIds, QStringLiteral("NoId, [1], [2], [3], [4], [5], [6], [7], [8], [9], "
                                              "[10]"));
        }
    };

    // Atrazine at 1 with four extra weeds: one already a standard row, one given twice.
    static ParameterSet withExtraWeeds() {
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbMauvHerb[0] = {QStringLiteral("pied-de-coq"), 16}; // already a standard row
        p.cbbMauvHerb[1] = {QStringLiteral("souchet comestible"), 200};
        p.cbbMauvHerb[3] = {QStringLiteral("souchet comestible"), 200}; // repeated
        p.cbbMauvHerb[4] = {QStringLiteral("prêle des champs"), 201};
        return p;
    }

private slots:
    void aggregatesEachFractionIntoItsCells() {
        Fixture f;
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1"))));
        // 50 %: applications 3, 6 and 7 (treatments 3 and 6, each rating counted once);
        // 100 %: application 1 only (4 is another period, 8 is soya). 60 to 80 %: nothing.
        QCOMPARE(f.cells(QStringLiteral("1, 2, 3, 8, 9")),
                 QStringList({"1|57|2|-|-|-|-|-|-|87|2", "2|57|2|-|-|-|-|-|-|90|1",
                              "3|~|0|-|-|-|-|-|-|85|1", "8|57|2|-|-|-|-|-|-|80|1",
                              "9|65|1|-|-|-|-|-|-|80|1"}));
        QCOMPARE(f.engine.TotalCases(), 7);
        QVERIFY(!f.engine.NoDataFound());
        QVERIFY(!f.engine.FractionEmpty(0) && f.engine.FractionEmpty(1) &&
                !f.engine.FractionEmpty(4));
        // Rows the reset never touches keep their cells.
        QCOMPARE(f.cells(QStringLiteral("7")).first(),
                 QStringLiteral("7|kept|-|-|-|-|-|-|-|-|kept"));

        // The file keeps the stored queries and the work tables of the last fraction.
        const auto last = f.engine.statementsFor(atrazine(QStringLiteral("1")), 4);
        QVERIFY(last);
        Connection& db = f.de.Connection2();
        QCOMPARE(db.viewStatement(QStringLiteral("Herbicide1")),
                 JetDialect::translate(last->herbicide[0]));
        QCOMPARE(db.viewStatement(QStringLiteral("DétailsTraitements")),
                 JetDialect::translate(last->detailsTraitements));
        for (const char* table : {"tblQueryResults", "tblQueryResults_Cat"}) {
            const QString key = QString::fromLatin1(table).endsWith(QLatin1String("Cat"))
                                    ? QStringLiteral("TypeMHId")
                                    : QStringLiteral("MHId");
            Statement rs(db, QStringLiteral(
                                 "SELECT count(*), total(r.\"9\" = CAST(q.Moyenne AS TEXT) "
                                 "AND r.\"10\" = CAST(q.CompteDeVisuel AS TEXT)) FROM %1 AS q LEFT "
                                 "JOIN tblResults AS r ON r.ResultsId = q.%2")
                                 .arg(QString::fromLatin1(table), key));
            QVERIFY(rs.step());
            QVERIFY(rs.value(0).toInt() > 0);
            QCOMPARE(rs.value(1).toInt(), rs.value(0).toInt());
        }
    }

    // A rating that is not a whole number: the figures are those SQLite's Avg gives (85.9 for
    // the green foxtail, (90 + 85.9) / 2 for its category), truncated as the report writes them.
    void aRatingThatIsNotAWholeNumberIsAveragedAsAStatementWould() {
        Fixture f;
        f.de.Connection2().executeScript(QStringLiteral(
            "UPDATE tblMHEval SET Visuel = 85.9 WHERE TraitementId = 1 AND MHId = 34;"));
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1"))));
        QCOMPARE(f.cells(QStringLiteral("1, 3")),
                 QStringList({"1|57|2|-|-|-|-|-|-|87|2", "3|~|0|-|-|-|-|-|-|85|1"}));
        QCOMPARE(f.engine.TotalCases(), 7);
    }

    // The ratings behind the cells go where the updates wrote the figures: a row takes its
    // weed's ratings, or its category's when a category has its id, every row of that id alike,
    // in the order of the ratings' ids; a row without ratings, or without an id, has no cell.
    void detailsGoToTheRowsOfTheirWeedOrCategory() {
        ReportDetails d;
        d.startFraction(0);
        d.startFraction(1);
        const auto add = [&d](int k, qint64 id, qint64 weed, qint64 category) {
            d.addRating(k, DetailRating{id, weed, QString(), 80, 1, 1, 1}, category);
        };
        add(0, 1, 16, 3);
        add(0, 2, 3, 5); // the weed 3, whose id is also category 3's
        add(0, 3, 34, -1);
        add(0, 4, 16, 3);
        add(1, 5, 34, 3);
        d.setGroups(0, {16, 3, 34, 99}, {3});
        d.setGroups(1, {34}, {3});
        const auto row = [](qint64 noId, std::optional<qint64> id) {
            return ResultsRow{noId, QString(), id, {}};
        };
        d.assign({row(1, 16), row(2, 3), row(3, 34), row(4, std::nullopt), row(5, 99), row(6, 16)});
        QStringList cells;
        for (const CellDetail& c : d.cells()) {
            QStringList ids;
            for (const DetailRating& r : c.ratings)
                ids << QString::number(r.ratingId);
            cells << QStringLiteral("%1/%2: %3").arg(c.noId).arg(c.fraction).arg(ids.join(' '));
        }
        QCOMPARE(cells,
                 QStringList({"1/0: 1 4", "2/0: 1 4", "2/1: 5", "3/0: 3", "3/1: 5", "6/0: 1 4"}));
        QCOMPARE(d.cell(2, 1)->count(), 1);
        QVERIFY(!d.cell(5, 0) && !d.cell(1, 1));
    }

    void extraWeedsGetOneFreeRowEach() {
        Fixture f;
        QVERIFY(f.engine.SetQuery(withExtraWeeds()));
        // Treatment 3 rated the sedge at 50; the horsetail was never rated.
        QCOMPARE(
            f.rows(QStringLiteral("31, 32, 33"),
                   QStringLiteral("NoId, Results, ResultsId, [1], [2]"), false),
            QStringList({"31|     souchet comestible|200|50|1",
                         "32|     prêle des champs|201| - | - ", "33|     --------|~| - | - "}));
    }

    void aRerunGivesTheSameTable() {
        Fixture f;
        const ParameterSet p = withExtraWeeds();
        QVERIFY(f.engine.SetQuery(p));
        const QString all = QStringLiteral("SELECT NoId FROM tblResults");
        const QStringList first = f.rows(all);
        QVERIFY(f.engine.SetQuery(p));
        QCOMPARE(f.rows(all), first);
        QCOMPARE(f.engine.TotalCases(), 7);
    }

    void emptyFractionsAndUnmatchedReportsFindNoData() {
        Fixture f;
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("7"))));
        QVERIFY(f.engine.NoDataFound());
        QCOMPARE(f.engine.TotalCases(), 0);
        QCOMPARE(f.cells(QStringLiteral("1, 2")),
                 QStringList({"1|-|-|-|-|-|-|-|-|-|-", "2|-|-|-|-|-|-|-|-|-|-"}));
        // A variety filter that no matching treatment has: no data either.
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbCultVar = {QStringLiteral("Sucré C"), 3};
        QVERIFY(f.engine.SetQuery(p));
        QVERIFY(f.engine.NoDataFound());
    }

    void ratingOnAWindowEdgeCounts() {
        Fixture f;
        f.addApplicationOnTheLowEdge();
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1"))));
        QCOMPARE(f.cells(QStringLiteral("9")).first(), QStringLiteral("9|32|2|-|-|-|-|-|-|80|1"));
        // At 0.9, between the 80 % and the 100 % windows (0.75-0.85, 0.95-1.05), it counts in
        // none, though it lies between the lowest and the highest bound of the report.
        f.de.Connection2().executeScript(QStringLiteral(
            "UPDATE tblDétailsHerbicides SET HerbTauxH = 0.9 WHERE DateHerbId = 9;"));
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1"))));
        QCOMPARE(f.cells(QStringLiteral("9")).first(), QStringLiteral("9|65|1|-|-|-|-|-|-|80|1"));
        QCOMPARE(f.engine.TotalCases(), 7);
    }

    // At +/- 10 the 50 % and 60 % windows overlap: 0.5 falls in both and counts in both.
    void overlappingWindowsCountARatingInEach() {
        Fixture f;
        f.addApplicationOnTheLowEdge();
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1"), 10)));
        QCOMPARE(f.cells(QStringLiteral("2")).first().section(QLatin1Char('|'), 1, 4),
                 QStringLiteral("57|2|57|2"));
        QCOMPARE(f.engine.TotalCases(), 5 + 4 + 3);
    }

    void applicationWithoutStageRowCountsUnlessAStageRangeIsEntered() {
        Fixture f;
        // Application 1 (atrazine at 1, treatment 1: three ratings) loses its crop-stage row.
        f.de.Connection2().executeScript(
            QStringLiteral("DELETE FROM tblStadeCultureH WHERE DateHerbId = 1;"));
        ParameterSet p = atrazine(QStringLiteral("1"));
        QVERIFY(f.engine.SetQuery(p));
        QCOMPARE(f.cells(QStringLiteral("2, 3, 9")),
                 QStringList({"2|57|2|-|-|-|-|-|-|90|1", "3|~|0|-|-|-|-|-|-|85|1",
                              "9|65|1|-|-|-|-|-|-|80|1"}));
        QCOMPARE(f.engine.TotalCases(), 7);

        // A leaf range that its treatment's crop would meet: without a stage row it is out.
        p.txtCultFeuilDe = QStringLiteral("1");
        p.txtCultFeuilA = QStringLiteral("10");
        QVERIFY(f.engine.SetQuery(p));
        QCOMPARE(f.cells(QStringLiteral("2, 3, 9")),
                 QStringList({"2|57|2|-|-|-|-|-|-|-|-", "3|~|0|-|-|-|-|-|-|-|-",
                              "9|65|1|-|-|-|-|-|-|-|-"}));
        QCOMPARE(f.engine.TotalCases(), 4);
        // Heights chosen while only leaves are typed: no stage range, the application counts.
        p.optHaut = true;
        QVERIFY(f.engine.SetQuery(p));
        QCOMPARE(f.engine.TotalCases(), 7);
    }

    void hooksSeeProgressOutsideTransactions() {
        Fixture f;
        QStringList calls;
        ReportHooks hooks;
        hooks.started = [&] { calls << QStringLiteral("started"); };
        hooks.progressed = [&](int value) {
            QVERIFY(!f.de.Connection2().inTransaction()); // events never run inside one
            calls << QString::number(value);
        };
        hooks.letEventsRun = [&] { calls << QStringLiteral("events"); };
        hooks.pause = [&] { calls << QStringLiteral("pause"); };
        hooks.finished = [&] { calls << QStringLiteral("finished"); };
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1")), hooks));
        QCOMPARE(calls, QStringList({"started", "20", "events", "40", "events", "60", "events",
                                     "80", "events", "100", "events", "pause", "finished"}));
    }

    // The fractions only read the file: a report syncs it as one small transaction does.
    void aReportWritesTheFileInOneTransaction() {
        FaultyVfs disk;
        Fixture f;
        FaultyVfs::failCall(0);
        f.de.Connection2().executeScript(
            QStringLiteral("UPDATE tblResults SET [1] = ' - ' WHERE NoId = 1"));
        const int oneTransaction = FaultyVfs::syncs();
        QVERIFY(oneTransaction > 0);
        FaultyVfs::failCall(0);
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1"))));
        QCOMPARE(FaultyVfs::syncs(), oneTransaction);
    }

    // A disk that fails or fills up at any read, write or sync of a report: the report either
    // stops with its cause in words and leaves the previous report in the file, or is the very
    // report a sound disk gives; and the file still gives that report afterwards.
    void aFailingDiskNeverGivesAWrongReport() {
        FaultyVfs disk;
        Fixture f;
        const ParameterSet p = atrazine(QStringLiteral("1"));
        const QString all = QStringLiteral("SELECT NoId FROM tblResults");
        QVERIFY(f.engine.SetQuery(p));
        const QStringList sound = f.rows(all);
        FaultyVfs::failCall(0);
        QVERIFY(f.engine.SetQuery(p));
        const int calls = FaultyVfs::calls();
        QVERIFY2(calls > 10, qPrintable(QString::number(calls)));
        int stopped = 0;
        for (int n = 1; n <= calls; ++n) {
            for (const bool full : {false, true}) {
                FaultyVfs::failCall(n, full);
                const bool done = f.engine.SetQuery(p);
                FaultyVfs::failCall(0);
                if (done) {
                    QCOMPARE(f.rows(all), sound);
                    QCOMPARE(f.engine.TotalCases(), 7);
                    continue;
                }
                ++stopped;
                QCOMPARE(f.rows(all), sound);
                QVERIFY(f.engine.refusal().isEmpty());
                QVERIFY2(f.engine.failure() == QStringLiteral("le disque est plein") ||
                             f.engine.failure() ==
                                 QStringLiteral("erreur de lecture ou d'écriture sur le disque"),
                         qPrintable(f.engine.failure()));
            }
        }
        QVERIFY2(stopped >= calls / 2, qPrintable(QString::number(stopped)));
        QVERIFY(f.engine.SetQuery(p));
        QCOMPARE(f.rows(all), sound);
    }

    void totalCasesIsNotCappedAtSixteenBits() {
        Fixture f;
        f.de.Connection2().executeScript(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
            "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) SELECT 1, 15, 80 FROM n;"));
        QVERIFY(f.engine.SetQuery(atrazine(QStringLiteral("1"))));
        QCOMPARE(f.engine.TotalCases(), 4 + 40003);
    }
};

QTEST_GUILESS_MAIN(TestReportEngine)
#include "TestReportEngine.moc"
