#include "FixtureDatabase.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DataAccess.h"
#include "core/db/Recordset.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace grelavo;

namespace {
const QString kHerbicides = QStringLiteral(
    "SELECT HerbicideId AS tblId, Herbicide AS tblField FROM ListeDesHerbicides ORDER BY "
    "Herbicide;");
} // namespace

class TestDataAccess : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FixtureDatabase> m_fixture;
    std::unique_ptr<DE> m_de;
    std::unique_ptr<DataAccess> m_data;

    static QStringList texts(const QVector<ListRow>& rows) {
        QStringList out;
        for (const ListRow& row : rows)
            out << row.text;
        return out;
    }

    // NoId|Results|ResultsId of the rows of tblResults asked for, "~" standing for NULL.
    QStringList resultsRows(const QString& where) {
        Recordset rs;
        rs.open(m_de->Connection2(), QStringLiteral("SELECT NoId || '|' || Results || '|' || "
                                                    "ifnull(ResultsId, '~') AS r FROM tblResults "
                                                    "WHERE %1 ORDER BY NoId")
                                         .arg(where));
        QStringList out;
        for (; !rs.eof(); rs.moveNext())
            out << rs.field(QStringLiteral("r")).toString();
        return out;
    }

private slots:
    void init() {
        m_fixture = std::make_unique<FixtureDatabase>();
        m_de = std::make_unique<DE>(m_fixture->folder());
        m_data = std::make_unique<DataAccess>(*m_de);
    }
    void cleanup() {
        m_data.reset();
        m_de.reset();
        m_fixture.reset();
    }

    void fillListKeepsTheStatementsOrderAndKeys() {
        const QVector<ListRow> rows = m_data->FillList(kHerbicides);
        QCOMPARE(texts(rows), QStringList({"atrazine", "Bromoxynil", "dicamba", "éthalfluraline",
                                           "nicosulfuron"}));
        QCOMPARE(rows.at(1).id, 13);
    }

    // No row, or a statement that cannot run, gives an empty list and leaves things usable.
    void fillListGivesNothingForNoRowOrAFailingStatement() {
        QVERIFY(m_data
                    ->FillList(QStringLiteral("SELECT HerbicideId AS tblId, Herbicide AS tblField "
                                              "FROM ListeDesHerbicides WHERE HerbicideId = 0"))
                    .isEmpty());
        QVERIFY(m_data->FillList(QStringLiteral("SELECT nothing FROM nowhere")).isEmpty());
        QVERIFY(m_data->FillList(QStringLiteral("SELECT HerbicideId FROM ListeDesHerbicides"))
                    .isEmpty());
        QCOMPARE(m_data->FillList(kHerbicides).size(), 5);
    }

    void herbicideListLeavesOutThoseAlreadyChosen() {
        const QStringList boxes = {"dicamba", "atrazine", "nicosulfuron", "Bromoxynil"};
        QCOMPARE(texts(m_data->FillHerbicideList(0, kHerbicides, boxes)),
                 QStringList({"atrazine", "Bromoxynil", "éthalfluraline", "nicosulfuron"}));
        QCOMPARE(texts(m_data->FillHerbicideList(1, kHerbicides, boxes)),
                 QStringList({"Bromoxynil", "éthalfluraline", "nicosulfuron"}));
        QCOMPARE(texts(m_data->FillHerbicideList(2, kHerbicides, boxes)),
                 QStringList({"Bromoxynil", "éthalfluraline"}));
        QCOMPARE(m_data->FillHerbicideList(9, kHerbicides, boxes).size(), 5);
        // Names are compared exactly: case counts.
        QCOMPARE(m_data->FillHerbicideList(0, kHerbicides, {"DICAMBA"}).size(), 5);
        QCOMPARE(m_data->FillHerbicideList(2, kHerbicides, {"dicamba"}).size(), 4);
    }

    void redefineStoredQueryReportsWhetherTheNewStatementIsInPlace() {
        const QString before = m_de->Connection2().viewStatement(QStringLiteral("Herbicide3"));
        QVERIFY(!m_data->RedefineStoredQuery(QStringLiteral("SELECT * FROM nowhere;"),
                                             QStringLiteral("Herbicide3")));
        QVERIFY(!m_data->RedefineStoredQuery(QStringLiteral("SELECT 1;"),
                                             QStringLiteral("NoSuchQuery")));
        QCOMPARE(m_de->Connection2().viewStatement(QStringLiteral("Herbicide3")), before);
        QVERIFY(m_de->Connection2().viewName(QStringLiteral("NoSuchQuery")).isEmpty());
        QVERIFY(m_data->RedefineStoredQuery(
            QStringLiteral("SELECT * FROM tblDétailsHerbicides WHERE HerbicideId = 12;"),
            QStringLiteral("Herbicide3")));
        Recordset rs;
        rs.open(m_de->Connection2(), QStringLiteral("SELECT * FROM Herbicide3"));
        QCOMPARE(rs.recordCount(), 1);
    }

    void resultRowsFillFreeRowsInOrder() {
        // A fixed row that looks free is never taken.
        m_de->Connection2().execute(
            QStringLiteral("UPDATE tblResults SET Results = '     --------' WHERE NoId = 29"));
        QVERIFY(m_data->AddResultRow(QStringLiteral("souchet comestible"), 200));
        QVERIFY(m_data->AddResultRow(QStringLiteral("prêle des champs"), 201));
        QCOMPARE(resultsRows(QStringLiteral("NoId > 28")),
                 QStringList({"29|     --------|~", "30|Sélection de l'utilisateur|~",
                              "31|     souchet comestible|200", "32|     prêle des champs|201",
                              "33|     --------|~"}));
        QVERIFY(m_data->AddResultRow(QStringLiteral("x"), 1));
        QVERIFY(!m_data->AddResultRow(QStringLiteral("y"), 2));
        QCOMPARE(resultsRows(QStringLiteral("NoId IN (29, 33)")),
                 QStringList({"29|     --------|~", "33|     x|1"}));
    }

    void resultRowsAreFoundByTheirIndentedLabel() {
        QVERIFY(!m_data->IsInResults(QStringLiteral("souchet comestible")));
        QVERIFY(m_data->AddResultRow(QStringLiteral("souchet comestible"), 200));
        QVERIFY(m_data->IsInResults(QStringLiteral("souchet comestible")));   // free row
        QVERIFY(m_data->IsInResults(QStringLiteral("pied-de-coq")));          // fixed row
        QVERIFY(!m_data->IsInResults(QStringLiteral("Pied-de-coq")));         // exact comparison
        QVERIFY(!m_data->IsInResults(QStringLiteral("Graminées annuelles"))); // no indent there
    }

    void dropWorkTablesRemovesOnlyTheTwoTemporaryTables() {
        Connection& db = m_de->Connection2();
        const QStringList before = db.tableNames();
        m_data->DropWorkTables(); // neither exists: nothing happens
        QCOMPARE(db.tableNames(), before);
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResults FROM tblMHEval;"));
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResults_Cat FROM tblMHEval;"));
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResultsOld FROM tblMHEval;"));
        m_data->DropWorkTables();
        QStringList expected = QStringList(before) << QStringLiteral("tblQueryResultsOld");
        expected.sort();
        QCOMPARE(db.tableNames(), expected);
        // The next aggregation can create them again.
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResults FROM tblMHEval;"));
    }

    void decimalSeparatorsChangeOnlyAfterADigit() {
        const std::pair<QString, QString> toPoint[] = {
            {"Between 1,5 And 2,5 (x, y) ,3", "Between 1.5 And 2.5 (x, y) ,3"},
            {",5", ",5"},
            {"1,2,3", "1.2.3"},
            {"", ""}};
        for (auto [text, expected] : toPoint) {
            DataAccess::CommaToPoint(text);
            QCOMPARE(text, expected);
        }
        QString rate = QStringLiteral("0.45");
        QCOMPARE(DataAccess::PointToComma(rate), QStringLiteral("0,45"));
        QCOMPARE(rate, QStringLiteral("0,45"));
        QString text = QStringLiteral("a. .5 12.");
        QCOMPARE(DataAccess::PointToComma(text), QStringLiteral("a. .5 12,"));
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
