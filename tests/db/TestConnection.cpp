#include "FixtureDatabase.h"
#include "db/Connection.h"
#include "db/DE.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/Statement.h"
#include "db/Transaction.h"

#include <QtTest>
#include <sqlite3.h>

using namespace grelavo;

class TestConnection : public QObject {
    Q_OBJECT

private:
    static int errorNumberOpening(const QString& path, const QString& key) {
        try {
            Connection c(path, key);
        } catch (const DbError& e) {
            return e.number();
        }
        return 0;
    }

    static QStringList column(Connection& db, const QString& sql) {
        Recordset rs;
        rs.open(db, sql);
        QStringList values;
        for (; !rs.eof(); rs.moveNext())
            values << rs.field(rs.fieldNames().first()).toString();
        return values;
    }

private slots:
    void opensOnlyWithTheKey() {
        FixtureDatabase fixture;
        QCOMPARE(errorNumberOpening(fixture.path(), QString()), DbError::WrongPassword);
        QCOMPARE(errorNumberOpening(fixture.path(), QStringLiteral("wkhtqelmzaw")),
                 DbError::WrongPassword);
        QCOMPARE(errorNumberOpening(fixture.path(), DatabaseFile::password()), 0);
        // Other failures keep their own number.
        QCOMPARE(errorNumberOpening(fixture.folder() + QStringLiteral("/absent.mdb"),
                                    DatabaseFile::password()),
                 SQLITE_CANTOPEN);
        // The file on disk is not readable as plain SQLite.
        QFile file(fixture.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.read(16).startsWith("SQLite format 3"));
    }

    void connectionOpensOnFirstUseAndFindsTheFileWithoutRegardToCase() {
        FixtureDatabase fixture;
        QVERIFY(QFile::rename(fixture.path(), fixture.folder() + QStringLiteral("/grelavo.MDB")));
        DE de(fixture.folder());
        QVERIFY(!de.isConnected());
        de.General();
        QVERIFY(de.isConnected());
        QCOMPARE(de.rsGeneral.recordCount(), 5);
        QCOMPARE(de.rsGeneral.fieldNames(), QStringList({"HerbicideId", "Herbicide"}));
        de.close();
        QVERIFY(!de.isConnected());
    }

    void missingFileFailsWithoutCreatingOne() {
        QTemporaryDir empty;
        DE de(empty.path());
        QVERIFY_THROWS_EXCEPTION(DbError, de.Connection2());
        QVERIFY(QDir(empty.path()).entryList(QDir::Files).isEmpty());
    }

    void noticesSurroundEveryStatement() {
        FixtureDatabase fixture;
        DE de(fixture.folder());
        QStringList events;
        int depth = 0;
        de.setStatementNotices(
            [&] {
                events << QStringLiteral("before");
                ++depth;
            },
            [&] {
                events << QStringLiteral("after");
                --depth;
            });
        Connection& db = de.Connection2();
        db.execute(QStringLiteral("UPDATE tblResults SET tblResults.[1] = 'x' WHERE NoId = 1;"));
        QCOMPARE(events, QStringList({"before", "after"}));
        de.tblResults();
        de.rstblResults.setField(QStringLiteral("results"), QStringLiteral("y"));
        de.rstblResults.update();
        db.redefineView(QStringLiteral("Herbicide1"),
                        QStringLiteral("SELECT * FROM tblDétailsHerbicides;"));
        QCOMPARE(events.size(), 8);
        // A failing statement still gives its after-notice.
        QVERIFY_THROWS_EXCEPTION(DbError, db.execute(QStringLiteral("UPDATE nowhere SET a = 1")));
        QVERIFY_THROWS_EXCEPTION(DbError, de.rsGeneral.open(db, QStringLiteral("SELECT nothing")));
        QCOMPARE(events.size(), 12);
        QCOMPARE(depth, 0);
        QCOMPARE(events.count(QStringLiteral("before")), 6);
    }

    void recordsetsHoldExactCountsAndReadFieldsInAnyCase() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        Recordset rs;
        rs.open(db, QStringLiteral("SELECT MHId, [Nom-Francais] FROM ListedesMauvaisesHerbes "
                                   "WHERE MHId > 100;"));
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.field(QStringLiteral("nom-francais")).toString(),
                 QStringLiteral("souchet comestible"));
        QCOMPARE(rs.field(QStringLiteral("MHID")).toInt(), 200);
        rs.moveNext();
        rs.moveNext();
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.field(QStringLiteral("MHId")));
        rs.open(db, QStringLiteral("SELECT * FROM tblMHEval WHERE MHId = 999"));
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.field(QStringLiteral("nowhere")));
    }

    void tableRecordsetSavesTheCurrentRowInPlace() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        Recordset rs;
        rs.openTable(db, QStringLiteral("tblResults"));
        QCOMPARE(rs.recordCount(), 33);
        QCOMPARE(rs.field(QStringLiteral("NoId")).toInt(), 1);
        while (rs.field(QStringLiteral("NoId")).toInt() != 31)
            rs.moveNext();
        rs.setField(QStringLiteral("Results"), QStringLiteral("     x"));
        rs.setField(QStringLiteral("ResultsId"), 42);
        rs.update();
        rs.requery();
        QCOMPARE(rs.recordCount(), 33);
        Recordset check;
        check.open(db, QStringLiteral("SELECT NoId, Results, ResultsId FROM tblResults "
                                      "WHERE ResultsId = 42"));
        QCOMPARE(check.recordCount(), 1);
        QCOMPARE(check.field(QStringLiteral("NoId")).toInt(), 31);
        QCOMPARE(check.field(QStringLiteral("Results")).toString(), QStringLiteral("     x"));
        // Rows of a statement are not a table: they cannot be changed.
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 check.setField(QStringLiteral("Results"), QStringLiteral("z")));
    }

    void redefinedViewIsWhatLaterStatementsSee() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        const QString statement = QStringLiteral(
            "SELECT * FROM tblDétailsHerbicides WHERE (((tblDétailsHerbicides.HerbicideId)=11));");
        db.redefineView(QStringLiteral("herbicide1"), statement);
        QCOMPARE(column(db, QStringLiteral("SELECT DateHerbId FROM Herbicide1")),
                 QStringList({"2", "5"}));
        QCOMPARE(db.viewName(QStringLiteral("HERBICIDE1")), QStringLiteral("Herbicide1"));
        QCOMPARE(db.viewStatement(QStringLiteral("Herbicide1")), statement.chopped(1));
        // A later view that names it sees the new rows; a new connection sees them too.
        db.redefineView(QStringLiteral("DétailsHerbicides"),
                        QStringLiteral("SELECT First(tblDétailsHerbicides.DateHerbId) AS "
                                       "DateHerbId FROM Herbicide1 INNER JOIN "
                                       "tblDétailsHerbicides ON Herbicide1.DateHerbId = "
                                       "tblDétailsHerbicides.DateHerbId GROUP BY "
                                       "tblDétailsHerbicides.DateHerbId;"));
        Connection other(fixture.path(), DatabaseFile::password());
        QCOMPARE(column(other, QStringLiteral("SELECT DateHerbId FROM DétailsHerbicides")),
                 QStringList({"2", "5"}));
    }

    void rejectedRedefinitionKeepsTheOldStatement() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        const QString before = db.viewStatement(QStringLiteral("Herbicide2"));
        QVERIFY(!before.isEmpty());
        QVERIFY_THROWS_EXCEPTION(
            DbError, db.redefineView(QStringLiteral("Herbicide2"), QStringLiteral("SELEC * FRM")));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 db.redefineView(QStringLiteral("Herbicide2"),
                                                 QStringLiteral("SELECT * FROM noSuchTable;")));
        QVERIFY_THROWS_EXCEPTION(
            DbError, db.redefineView(QStringLiteral("Herbicide2"),
                                     QStringLiteral("SELECT NoSuchColumn FROM tblMHEval;")));
        QCOMPARE(db.viewStatement(QStringLiteral("Herbicide2")), before);
        QVERIFY(!db.inTransaction());
    }

    void missingViewIsNeverCreated() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        QVERIFY_THROWS_EXCEPTION(
            DbError, db.redefineView(QStringLiteral("Herbicide5"), QStringLiteral("SELECT 1;")));
        QVERIFY(db.viewName(QStringLiteral("Herbicide5")).isEmpty());
    }

    void transactionRollsBackUnlessCommittedAndNests() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        {
            Transaction outer(db);
            db.execute(QStringLiteral("UPDATE tblResults SET [2] = 'a' WHERE NoId = 1"));
            {
                Transaction inner(db);
                db.execute(QStringLiteral("UPDATE tblResults SET [3] = 'b' WHERE NoId = 1"));
            }
            QVERIFY(db.inTransaction());
            outer.commit();
        }
        QVERIFY(!db.inTransaction());
        QCOMPARE(column(db, QStringLiteral("SELECT [2] || [3] FROM tblResults WHERE NoId = 1")),
                 QStringList({"a - "}));
    }

    void listsTablesWithoutViews() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        const QStringList tables = db.tableNames();
        QVERIFY(tables.contains(QStringLiteral("tblResults")));
        QVERIFY(!tables.contains(QStringLiteral("Herbicide1")));
        QVERIFY(!tables.contains(QStringLiteral("tblQueryResults")));
        db.execute(QStringLiteral("SELECT MHId INTO tblQueryResults FROM tblMHEval;"));
        QVERIFY(db.tableNames().contains(QStringLiteral("tblQueryResults")));
    }

    void textsSortAndGroupInFrenchOrder() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        QCOMPARE(
            column(db, QStringLiteral("SELECT Herbicide FROM ListeDesHerbicides "
                                      "ORDER BY Herbicide")),
            QStringList({"atrazine", "Bromoxynil", "dicamba", "éthalfluraline", "nicosulfuron"}));
        QCOMPARE(
            column(db, QStringLiteral("SELECT [Nom Français] FROM ListeDesCultures "
                                      "ORDER BY [Nom Français]")),
            QStringList({"Épinard", "Maïs", "Maïs fourrager", "Maïs grain", "Maïs sucré", "Soya"}));
        db.execute(QStringLiteral("INSERT INTO ListeDesHerbicides VALUES (20, 'ATRAZINE')"));
        QCOMPARE(column(db, QStringLiteral("SELECT count(*) FROM (SELECT Herbicide FROM "
                                           "ListeDesHerbicides GROUP BY Herbicide)")),
                 QStringList({"5"}));
    }

    void fixTruncatesTowardZeroToAnInteger() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        Recordset rs;
        rs.open(db, QStringLiteral("SELECT Fix(87.9) AS a, Fix(-87.9) AS b, Fix(NULL) AS c, "
                                   "Fix(12) AS d, Fix('4.5') AS e, typeof(Fix(87.9)) AS t"));
        QCOMPARE(rs.field(QStringLiteral("a")), QVariant(qlonglong(87)));
        QCOMPARE(rs.field(QStringLiteral("b")), QVariant(qlonglong(-87)));
        QVERIFY(rs.field(QStringLiteral("c")).isNull());
        QCOMPARE(rs.field(QStringLiteral("d")), QVariant(qlonglong(12)));
        QCOMPARE(rs.field(QStringLiteral("e")), QVariant(qlonglong(4)));
        QCOMPARE(rs.field(QStringLiteral("t")).toString(), QStringLiteral("integer"));
        // Written into a text cell, a truncated mean reads "87", never "87.0".
        db.execute(QStringLiteral("UPDATE tblResults SET [1] = Fix(87.9) WHERE NoId = 1"));
        QCOMPARE(column(db, QStringLiteral("SELECT [1] FROM tblResults WHERE NoId = 1")),
                 QStringList({"87"}));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.open(db, QStringLiteral("SELECT Fix('abc')")));
    }

    void firstTakesTheFirstValueOfEachGroup() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        QCOMPARE(column(db, QStringLiteral("SELECT First(v) FROM (SELECT 1 AS g, 'b' AS v "
                                           "UNION ALL SELECT 1, 'a' UNION ALL SELECT 2, 3.5) "
                                           "GROUP BY g ORDER BY g")),
                 QStringList({"b", "3.5"}));
        QCOMPARE(column(db, QStringLiteral("SELECT First(MHId) IS NULL FROM tblMHEval "
                                           "WHERE MHId = 999")),
                 QStringList({"1"}));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "TestConnection.moc"
