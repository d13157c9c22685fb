#include "FixtureDatabase.h"
#include "db/Connection.h"
#include "db/DE.h"
#include "db/DataAccess.h"
#include "db/Recordset.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

using namespace grelavo;

namespace {
const QString kHerbicides = QStringLiteral(
    "SELECT HerbicideId AS tblId, Herbicide AS tblField FROM ListeDesHerbicides ORDER BY "
    "Herbicide;");
} // namespace

class TestDataAccess : public QObject {
    Q_OBJECT

private:
    static QStringList texts(const QVector<ListRow>& rows) {
        QStringList out;
        for (const ListRow& row : rows)
            out << row.text;
        return out;
    }

    static QStringList resultsRows(DE& de, const QString& where) {
        Recordset rs;
        rs.open(de.Connection2(),
                QStringLiteral("SELECT NoId, Results, ResultsId FROM tblResults WHERE ") + where +
                    QStringLiteral(" ORDER BY NoId"));
        QStringList out;
        for (; !rs.eof(); rs.moveNext())
            out << QStringLiteral("%1|%2|%3")
                       .arg(rs.field("NoId").toString(), rs.field("Results").toString(),
                            rs.field("ResultsId").isNull() ? QStringLiteral("~")
                                                           : rs.field("ResultsId").toString());
        return out;
    }

private slots:
    void fillListKeepsTheStatementsOrderAndKeys() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        DataAccess data(de);
        const QVector<ListRow> rows = data.FillList(kHerbicides);
        QCOMPARE(texts(rows), QStringList({"atrazine", "Bromoxynil", "dicamba", "éthalfluraline",
                                           "nicosulfuron"}));
        QCOMPARE(rows.at(1).id, 13);
        QVERIFY(!de.rsGeneral.isOpen());
        // No row, or a statement that cannot run, gives an empty list and leaves things usable.
        QVERIFY(data.FillList(QStringLiteral("SELECT HerbicideId AS tblId, Herbicide AS tblField "
                                             "FROM ListeDesHerbicides WHERE HerbicideId = 0"))
                    .isEmpty());
        QVERIFY(data.FillList(QStringLiteral("SELECT nothing FROM nowhere")).isEmpty());
        QVERIFY(
            data.FillList(QStringLiteral("SELECT HerbicideId FROM ListeDesHerbicides")).isEmpty());
        QVERIFY(!de.rsGeneral.isOpen());
        QCOMPARE(data.FillList(kHerbicides).size(), 5);
    }

    void herbicideListLeavesOutThoseAlreadyChosen() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        DataAccess data(de);
        const QStringList boxes = {"dicamba", "atrazine", "nicosulfuron", "Bromoxynil"};
        QCOMPARE(texts(data.FillHerbicideList(0, kHerbicides, boxes)),
                 QStringList({"atrazine", "Bromoxynil", "éthalfluraline", "nicosulfuron"}));
        QCOMPARE(texts(data.FillHerbicideList(1, kHerbicides, boxes)),
                 QStringList({"Bromoxynil", "éthalfluraline", "nicosulfuron"}));
        QCOMPARE(texts(data.FillHerbicideList(2, kHerbicides, boxes)),
                 QStringList({"Bromoxynil", "éthalfluraline"}));
        QCOMPARE(data.FillHerbicideList(9, kHerbicides, boxes).size(), 5);
        // Names are compared exactly: case counts.
        QCOMPARE(data.FillHerbicideList(0, kHerbicides, {"DICAMBA"}).size(), 5);
        QCOMPARE(data.FillHerbicideList(2, kHerbicides, {"dicamba"}).size(), 4);
    }

    void redefineStoredQueryReportsWhetherTheNewStatementIsInPlace() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        DataAccess data(de);
        const QString before = de.Connection2().viewStatement(QStringLiteral("Herbicide3"));
        QVERIFY(!data.RedefineStoredQuery(QStringLiteral("SELECT * FROM nowhere;"),
                                          QStringLiteral("Herbicide3")));
        QVERIFY(
            !data.RedefineStoredQuery(QStringLiteral("SELECT 1;"), QStringLiteral("NoSuchQuery")));
        QCOMPARE(de.Connection2().viewStatement(QStringLiteral("Herbicide3")), before);
        QVERIFY(de.Connection2().viewName(QStringLiteral("NoSuchQuery")).isEmpty());
        QVERIFY(data.RedefineStoredQuery(
            QStringLiteral("SELECT * FROM tblDétailsHerbicides WHERE HerbicideId = 12;"),
            QStringLiteral("Herbicide3")));
        Recordset rs;
        rs.open(de.Connection2(), QStringLiteral("SELECT * FROM Herbicide3"));
        QCOMPARE(rs.recordCount(), 1);
    }

    void addResultRowFillsFreeRowsInOrderUntilNoneIsLeft() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        DataAccess data(de);
        QVERIFY(data.AddResultRow(QStringLiteral("souchet comestible"), 200));
        QVERIFY(data.AddResultRow(QStringLiteral("prêle des champs"), 201));
        QCOMPARE(resultsRows(de, QStringLiteral("NoId > 30")),
                 QStringList({"31|     souchet comestible|200", "32|     prêle des champs|201",
                              "33|     --------|~"}));
        QVERIFY(data.AddResultRow(QStringLiteral("x"), 1));
        QVERIFY(!data.AddResultRow(QStringLiteral("y"), 2));
        QCOMPARE(resultsRows(de, QStringLiteral("NoId > 30")).last(),
                 QStringLiteral("33|     x|1"));
        // Fixed rows are never taken, even when one looks free.
        QCOMPARE(resultsRows(de, QStringLiteral("NoId = 30")),
                 QStringList({"30|Sélection de l'utilisateur|~"}));
        QVERIFY(!de.rstblResults.isOpen());
    }

    void isInResultsMatchesTheIndentedLabelOnAnyRow() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        DataAccess data(de);
        QVERIFY(data.IsInResults(QStringLiteral("pied-de-coq")));          // fixed row
        QVERIFY(!data.IsInResults(QStringLiteral("Pied-de-coq")));         // exact comparison
        QVERIFY(!data.IsInResults(QStringLiteral("Graminées annuelles"))); // no indent there
        QVERIFY(!data.IsInResults(QStringLiteral("souchet comestible")));
        data.AddResultRow(QStringLiteral("souchet comestible"), 200);
        QVERIFY(data.IsInResults(QStringLiteral("souchet comestible"))); // free row
        QVERIFY(!de.rstblResults.isOpen());
    }

    void dropWorkTablesRemovesOnlyTheTwoTemporaryTables() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        DataAccess data(de);
        Connection& db = de.Connection2();
        const QStringList before = db.tableNames();
        data.DropWorkTables(); // neither exists: nothing happens
        QCOMPARE(db.tableNames(), before);
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResults FROM tblMHEval;"));
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResults_Cat FROM tblMHEval;"));
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResultsOld FROM tblMHEval;"));
        data.DropWorkTables();
        QStringList expected = QStringList(before) << QStringLiteral("tblQueryResultsOld");
        expected.sort();
        QCOMPARE(db.tableNames(), expected);
        // The next aggregation can create them again.
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResults FROM tblMHEval;"));
    }

    void decimalSeparatorsChangeOnlyAfterADigit() {
        QString between = QStringLiteral("Between 1,5 And 2,5 (x, y) ,3");
        DataAccess::CommaToPoint(between);
        QCOMPARE(between, QStringLiteral("Between 1.5 And 2.5 (x, y) ,3"));
        QString first = QStringLiteral(",5");
        DataAccess::CommaToPoint(first);
        QCOMPARE(first, QStringLiteral(",5"));
        QString list = QStringLiteral("1,2,3");
        DataAccess::CommaToPoint(list);
        QCOMPARE(list, QStringLiteral("1.2.3"));
        QString rate = QStringLiteral("0.45");
        QCOMPARE(DataAccess::PointToComma(rate), QStringLiteral("0,45"));
        QCOMPARE(rate, QStringLiteral("0,45"));
        QString text = QStringLiteral("a. .5 12.");
        QCOMPARE(DataAccess::PointToComma(text), QStringLiteral("a. .5 12,"));
        QString empty;
        DataAccess::CommaToPoint(empty);
        QVERIFY(empty.isEmpty());
    }

    void pauseLetsEventsRunForTheWholeWait() {
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);
        QElapsedTimer clock;
        clock.start();
        DataAccess::Pause(1);
        QVERIFY(clock.elapsed() >= 1000);
        QVERIFY(ticks >= 5);
    }
};

QTEST_GUILESS_MAIN(TestDataAccess)
#include "TestDataAccess.moc"
