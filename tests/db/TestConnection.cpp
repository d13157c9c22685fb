#include "FixtureDatabase.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DbError.h"
#include "core/db/Recordset.h"
#include "core/db/Statement.h"
#include "core/db/Transaction.h"

#include <QtTest>
#include <memory>
#include <sqlite3.h>

using namespace grelavo;

class TestConnection : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FixtureDatabase> m_fixture;
    std::unique_ptr<Connection> m_db;

    // A plain connection to the case's fixture, opened on first use.
    Connection& db() {
        if (!m_db)
            m_db = std::make_unique<Connection>(m_fixture->path(), DatabaseFile::password());
        return *m_db;
    }

    static int errorNumberOpening(const QString& path, const QString& key) {
        try {
            Connection c(path, key);
        } catch (const DbError& e) {
            return e.number();
        }
        return 0;
    }

    // Rows of a statement, each written as its fields joined by "|".
    static QStringList rows(Connection& db, const QString& sql) { return statementRows(db, sql); }

private slots:
    void init() { m_fixture = std::make_unique<FixtureDatabase>(); }
    void cleanup() {
        m_db.reset();
        m_fixture.reset();
    }

    void opensOnlyWithTheKey() {
        const FixtureDatabase& fixture = *m_fixture;
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

    void connectionOpensOnFirstUseAndClosesWhenAsked() {
        DE de(m_fixture->folder());
        QVERIFY(!de.isConnected());
        de.Connection2();
        QVERIFY(de.isConnected());
        de.close();
        QVERIFY(!de.isConnected());
    }

    void findsTheFileWithoutRegardToCase() {
        QVERIFY(
            QFile::rename(m_fixture->path(), m_fixture->folder() + QStringLiteral("/grelavo.MDB")));
        DE de(m_fixture->folder());
        Recordset herbicides;
        herbicides.open(de.Connection2(), QStringLiteral("Select * from listedesherbicides"));
        QCOMPARE(herbicides.recordCount(), 5);
        QCOMPARE(herbicides.fieldNames(), QStringList({"HerbicideId", "Herbicide"}));
    }

    void missingFileFailsWithoutCreatingOne() {
        QTemporaryDir empty;
        DE de(empty.path());
        QVERIFY_THROWS_EXCEPTION(DbError, de.Connection2());
        QVERIFY(QDir(empty.path()).entryList(QDir::Files).isEmpty());
    }

    void noticesSurroundEveryStatement() {
        DE de(m_fixture->folder());
        QString events; // "(" before a statement, ")" after it
        de.setStatementNotices([&] { events += QLatin1Char('('); },
                               [&] { events += QLatin1Char(')'); });
        Connection& db = de.Connection2();
        db.execute(QStringLiteral("UPDATE tblResults SET tblResults.[1] = 'x' WHERE NoId = 1;"));
        QCOMPARE(events, QStringLiteral("()"));
        Recordset results;
        results.openTable(db, QStringLiteral("tblResults"));
        results.setField(QStringLiteral("results"), QStringLiteral("y"));
        results.update();
        db.redefineView(QStringLiteral("Herbicide1"),
                        QStringLiteral("SELECT * FROM tblDétailsHerbicides;"));
        QCOMPARE(events, QStringLiteral("()").repeated(4));
        // A failing statement still gives its after-notice.
        QVERIFY_THROWS_EXCEPTION(DbError, db.execute(QStringLiteral("UPDATE nowhere SET a = 1")));
        QVERIFY_THROWS_EXCEPTION(DbError, results.open(db, QStringLiteral("SELECT nothing")));
        QCOMPARE(events, QStringLiteral("()").repeated(6));
    }

    void recordsetsReadFieldsInAnyCase() {
        Connection& db = this->db();
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
        QVERIFY(rs.recordCount() == 0 && rs.eof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.field(QStringLiteral("nowhere")));
    }

    void tableRecordsetsSaveRowsInPlace() {
        Connection& db = this->db();
        Recordset rs;
        // Rows of a statement are not a table: they cannot be changed.
        rs.open(db, QStringLiteral("SELECT NoId, Results FROM tblResults"));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 rs.setField(QStringLiteral("Results"), QStringLiteral("z")));

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
        QCOMPARE(
            rows(db, QStringLiteral("SELECT NoId, Results FROM tblResults WHERE ResultsId = 42")),
            QStringList({"31|     x"}));
    }

    void redefinedViewIsCheckedThenSeenByLaterStatements() {
        Connection& db = this->db();
        const QString statement = QStringLiteral(
            "SELECT * FROM tblDétailsHerbicides WHERE (((tblDétailsHerbicides.HerbicideId)=11));");
        db.redefineView(QStringLiteral("herbicide1"), statement);
        QCOMPARE(rows(db, QStringLiteral("SELECT DateHerbId FROM Herbicide1")),
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
        Connection other(m_fixture->path(), DatabaseFile::password());
        QCOMPARE(rows(other, QStringLiteral("SELECT DateHerbId FROM DétailsHerbicides")),
                 QStringList({"2", "5"}));
        // A statement the engine cannot run keeps the old one; a missing view is never created.
        for (const char* rejected :
             {"SELEC * FRM", "SELECT * FROM noSuchTable;", "SELECT NoSuchColumn FROM tblMHEval;"})
            QVERIFY_THROWS_EXCEPTION(DbError, db.redefineView(QStringLiteral("Herbicide1"),
                                                              QString::fromUtf8(rejected)));
        QCOMPARE(db.viewStatement(QStringLiteral("Herbicide1")), statement.chopped(1));
        QVERIFY(!db.inTransaction());
        QVERIFY_THROWS_EXCEPTION(
            DbError, db.redefineView(QStringLiteral("Herbicide5"), QStringLiteral("SELECT 1;")));
        QVERIFY(db.viewName(QStringLiteral("Herbicide5")).isEmpty());
    }

    void transactionRollsBackUnlessCommittedAndNests() {
        Connection& db = this->db();
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
        QCOMPARE(rows(db, QStringLiteral("SELECT [2] || [3] FROM tblResults WHERE NoId = 1")),
                 QStringList({"a - "}));
    }

    void listsTablesWithoutViews() {
        const QStringList tables = db().tableNames();
        QVERIFY(tables.contains(QStringLiteral("tblResults")) &&
                !tables.contains(QStringLiteral("Herbicide1")) &&
                !tables.contains(QStringLiteral("tblQueryResults")));
        db().execute(QStringLiteral("SELECT MHId INTO tblQueryResults FROM tblMHEval;"));
        QVERIFY(db().tableNames().contains(QStringLiteral("tblQueryResults")));
    }

    void textsSortInFrenchOrder() {
        Connection& db = this->db();
        QCOMPARE(
            rows(db, QStringLiteral("SELECT Herbicide FROM ListeDesHerbicides "
                                    "ORDER BY Herbicide")),
            QStringList({"atrazine", "Bromoxynil", "dicamba", "éthalfluraline", "nicosulfuron"}));
        QCOMPARE(
            rows(db, QStringLiteral("SELECT [Nom Français] FROM ListeDesCultures "
                                    "ORDER BY [Nom Français]")),
            QStringList({"Épinard", "Maïs", "Maïs fourrager", "Maïs grain", "Maïs sucré", "Soya"}));
    }

    void textsGroupWithoutRegardToCase() {
        Connection& db = this->db();
        db.execute(QStringLiteral("INSERT INTO ListeDesHerbicides VALUES (20, 'ATRAZINE')"));
        QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM (SELECT Herbicide FROM "
                                         "ListeDesHerbicides GROUP BY Herbicide)")),
                 QStringList({"5"}));
    }

    void fixTruncatesTowardZero() {
        Connection& db = this->db();
        QCOMPARE(rows(db, QStringLiteral("SELECT Fix(87.9), Fix(-87.9), typeof(Fix(-87.9)), "
                                         "Fix(NULL) IS NULL, Fix(12), Fix('4.5'), "
                                         "typeof(Fix('4.5'))")),
                 QStringList({"87|-87|integer|1|12|4|integer"}));
        // Written into a text cell, a truncated mean reads "87", never "87.0".
        db.execute(QStringLiteral("UPDATE tblResults SET [1] = Fix(87.9) WHERE NoId = 1"));
        QCOMPARE(rows(db, QStringLiteral("SELECT [1] FROM tblResults WHERE NoId = 1")),
                 QStringList({"87"}));
        QVERIFY_THROWS_EXCEPTION(DbError, rows(db, QStringLiteral("SELECT Fix('abc')")));
    }

    void statementsReadEachColumnAsStored() {
        Statement row(db(), QStringLiteral("SELECT 42, -7.9, '12 kg', NULL, x'00ff', 'été', ''"));
        QVERIFY(row.step());
        using Type = Statement::Type;
        QCOMPARE(QVector<Type>({row.type(0), row.type(1), row.type(2), row.type(3), row.type(4),
                                row.type(5)}),
                 QVector<Type>(
                     {Type::Integer, Type::Real, Type::Text, Type::Null, Type::Blob, Type::Text}));
        QVERIFY(row.isNull(3) && !row.isNull(0));
        // As SQLite converts: a real truncated, a text's leading number, a null as 0.
        QCOMPARE(row.integer(0), qint64(42));
        QCOMPARE(row.integer(1), qint64(-7));
        QCOMPARE(row.integer(2), qint64(12));
        QCOMPARE(row.integer(3), qint64(0));
        QCOMPARE(row.real(0), 42.0);
        QCOMPARE(row.real(1), -7.9);
        QCOMPARE(row.text(5), QStringLiteral("été"));
        QVERIFY(row.text(3).isNull());
        QVERIFY(row.text(6).isEmpty());
        // The typed reads leave the values as value() gives them.
        QCOMPARE(row.value(0), QVariant(qlonglong(42)));
        QCOMPARE(row.value(5), QVariant(QStringLiteral("été")));
        QCOMPARE(row.value(4), QVariant(QByteArray("\x00\xff", 2)));
        QVERIFY(!row.step());
    }

    void firstTakesTheFirstValueOfEachGroup() {
        Connection& db = this->db();
        QCOMPARE(rows(db, QStringLiteral("SELECT First(v) FROM (SELECT 1 AS g, 'b' AS v UNION ALL "
                                         "SELECT 1, 'a' UNION ALL SELECT 2, 3.5) GROUP BY g "
                                         "ORDER BY g")),
                 QStringList({"b", "3.5"}));
        QCOMPARE(
            rows(db, QStringLiteral("SELECT First(MHId) IS NULL FROM tblMHEval WHERE MHId = 999")),
            QStringList({"1"}));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "TestConnection.moc"
