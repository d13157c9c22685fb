// The lookup lists: an item found by number or by name however it is written; the crops a
// report is asked for. The cascading list steps and the rate picker: their statements find the
// same applications, lists and rates as the plain statements written out below.

#include "FixtureDatabase.h"
#include "core/db/Lists.h"
#include "core/report/ListStatements.h"
#include "core/report/ParameterSet.h"

#include <QFile>
#include <QTemporaryDir>

using namespace grelavo;

namespace {

// The plain statements: every product table alias joined, the applications of the mixture's
// size found by grouping the whole product table.
namespace plain {

const QString kCountIn =
    QStringLiteral("WHERE (((tblPériodesApplication.DateHerbId) In (SELECT [DateHerbId] FROM "
                   "[tbldétailsherbicides] As Tmp GROUP BY [DateHerbId] HAVING Count(*)=");

QString alias(int k) {
    return k ? QStringLiteral("tblDétailsHerbicides_%1").arg(k)
             : QStringLiteral("tblDétailsHerbicides");
}

QString tail(int count, int period, const QVector<int>& ids, int last) {
    QString s = QStringLiteral("%1)) AND ((tblPériodesApplication.TypeApplicationId)=%2")
                    .arg(count)
                    .arg(period);
    for (int k = 0; k <= last; ++k)
        s += QStringLiteral(") AND ((%1.HerbicideId)=%2").arg(alias(k)).arg(ids[k]);
    return s + QStringLiteral("));");
}

QString step(int last, int count, int period, const QVector<int>& ids) {
    QString from = QStringLiteral("tblPériodesApplication");
    for (int k = 0; k <= last; ++k)
        from = QStringLiteral("(%1 INNER JOIN tblDétailsHerbicides AS %2 ON "
                              "tblPériodesApplication.DateHerbId = %2.DateHerbId)")
                   .arg(from, alias(k));
    return QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM %1 ").arg(from) +
           kCountIn + tail(count, period, ids, last);
}

QString rates(int period, const QVector<int>& ids) {
    const int n = int(ids.size());
    QStringList columns;
    QString from = QStringLiteral("tblPériodesApplication");
    for (int k = 0; k < n; ++k) {
        columns << QStringLiteral("%1.HerbTauxH AS Taux%2").arg(alias(k)).arg(k + 1);
        from = QStringLiteral("(%1 INNER JOIN tblDétailsHerbicides AS %2 ON "
                              "tblPériodesApplication.DateHerbId = %2.DateHerbId)")
                   .arg(from, alias(k));
    }
    return QStringLiteral("SELECT %1 FROM %2 ").arg(columns.join(QStringLiteral(", ")), from) +
           kCountIn + tail(n, period, ids, n - 1);
}

} // namespace plain

// Compares, on one database, every list step and rate statement a user can reach with its
// plain statement: the applications kept, the next herbicide list and the rate combinations.
class StepComparison {
public:
    explicit StepComparison(Connection& db) : m_db(db) {}

    // Walks every period, mixture size and herbicide chosen from the lists; returns how many
    // steps were compared (QVERIFY fails on the first difference).
    int walk() {
        int compared = 0;
        for (const QString& period : statementRows(
                 m_db, QStringLiteral("SELECT TypeApplicationId FROM ListeDesPériodesApplication")))
            for (int count = 1; count <= 4; ++count) {
                const QStringList next = listAfter(ListStatements::countStep(count, period.toInt()),
                                                   plain::step(-1, count, period.toInt(), {}));
                if (QTest::currentTestFailed())
                    return compared;
                ++compared;
                compared += choose(period.toInt(), count, {}, next);
            }
        return compared;
    }

private:
    int choose(int period, int count, const QVector<int>& chosen, const QStringList& offered) {
        int compared = 0;
        for (const QString& herbicide : offered) {
            QVector<int> ids = chosen;
            ids << herbicide.section(QLatin1Char('|'), 0, 0).toInt();
            if (chosen.contains(ids.last()))
                continue;
            const int r = int(chosen.size());
            if (ids.size() == count) {
                sameRates(period, ids);
                if (QTest::currentTestFailed())
                    return compared;
                ++compared;
                continue;
            }
            const QStringList next = listAfter(ListStatements::herbicideStep(r, count, period, ids),
                                               plain::step(r, count, period, ids));
            if (QTest::currentTestFailed())
                return compared;
            compared += 1 + choose(period, count, ids, next);
        }
        return compared;
    }

    QStringList rowsOf(const QString& view, const QString& read) {
        m_db.redefineView(QStringLiteral("DétailsApplication"), view);
        return statementRows(m_db, read);
    }

    // The applications kept (in key order) and the herbicide list after a step.
    QStringList listAfter(const QString& statement, const QString& expected) {
        const QString kept =
            QStringLiteral("SELECT DateHerbId FROM DétailsApplication ORDER BY DateHerbId");
        QStringList applications = rowsOf(statement, kept);
        const QStringList list = statementRows(m_db, ListStatements::herbicideList());
        QStringList plainApplications = rowsOf(expected, kept);
        const QStringList plainList = statementRows(m_db, ListStatements::herbicideList());
        [&] {
            QCOMPARE(applications, plainApplications);
            QCOMPARE(list, plainList);
        }();
        return list;
    }

    // The rows of the rates statement (as a multiset) and the distinct combinations, in order.
    void sameRates(int period, const QVector<int>& ids) {
        const int n = int(ids.size());
        QStringList rows = rowsOf(ListStatements::rates(period, ids),
                                  QStringLiteral("SELECT * FROM DétailsApplication"));
        const QStringList distinct = statementRows(m_db, ListStatements::distinctRates(n));
        QStringList plainRows =
            rowsOf(plain::rates(period, ids), QStringLiteral("SELECT * FROM DétailsApplication"));
        const QStringList plainDistinct = statementRows(m_db, ListStatements::distinctRates(n));
        rows.sort();
        plainRows.sort();
        [&] {
            QVERIFY(!rows.isEmpty()); // every mixture offered has been applied
            QCOMPARE(rows, plainRows);
            QCOMPARE(distinct, plainDistinct);
        }();
    }

    Connection& m_db;
};

// "id" when found, otherwise the refusal.
QString found(const QVector<ListItem>& items, const QString& text) {
    const ListChoice c = lookUp(items, lists::weeds, text);
    return c.id ? QString::number(*c.id) : c.refusal;
}

} // namespace

class TestLists : public QObject {
    Q_OBJECT

private slots:
    // The crop standing for all corn is offered only as "Maïs (tous)".
    void reportCropsOfferAllCornOnce() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        const QVector<ListItem> crops = reportCrops(db);
        QCOMPARE(crops.first(),
                 (ListItem{ParameterSet::AllCornItemData, ParameterSet::AllCornName}));
        QCOMPARE(crops.size(), items(db, lists::crops).size());
        QCOMPARE(*lookUp(db, lists::crops, QStringLiteral("MAIS")).id, lists::kAllCornCrop);
    }

    void namesFindTheirItemOrSayWhyNot() {
        const QVector<ListItem> weeds{{16, QStringLiteral("pied-de-coq")},
                                      {34, QStringLiteral("sétaire verte")},
                                      {35, QStringLiteral("Sétaire verte")},
                                      {36, QStringLiteral("setaire verte")},
                                      {40, QStringLiteral("prêle l’herbe")}};
        QCOMPARE(found(weeds, QStringLiteral(" PIED‑DE‑COQ ")), QStringLiteral("16"));
        QCOMPARE(found(weeds, QStringLiteral("PRELE L'HERBE")), QStringLiteral("40"));
        // Accents count first: the name without them is one item, with them, in any case, two.
        QCOMPARE(found(weeds, QStringLiteral("setaire verte")), QStringLiteral("36"));
        QCOMPARE(found(weeds, QStringLiteral("SÉTAIRE VERTE")),
                 QStringLiteral("«\u00a0SÉTAIRE VERTE\u00a0» désigne plusieurs mauvaises herbes "
                                "de la liste\u00a0: 34 «\u00a0sétaire verte\u00a0», 35 "
                                "«\u00a0Sétaire verte\u00a0»\u00a0; donnez le numéro"));
        QCOMPARE(found(weeds, QStringLiteral(" ")),
                 QStringLiteral("aucun nom donné dans la liste des mauvaises herbes"));
        QCOMPARE(found(weeds, QStringLiteral("17")),
                 QStringLiteral("l'identifiant 17 n'est pas dans la liste des mauvaises herbes"));
    }

    // Every step reachable from the lists, on the fixture (with mixtures added that differ from
    // a kept one only by their size, their period or one product, and one without a period) and on
    // the shipped database.
    void listStepsAndRatesKeepTheirRows() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        db.executeScript(QStringLiteral(R"(
            INSERT INTO tblPériodesApplication VALUES
                (9, 1, 1), (10, 2, 1), (11, 3, 2), (12, 4, 1), (13, 5, 1), (14, 1, NULL);
            INSERT INTO tblDétailsHerbicides VALUES (9, 10, 1, 0.5), (9, 11, 1, 0.3),
                (10, 10, 1, 1.0), (10, 11, 1, 0.15), (10, 12, 1, 0.02), (11, 10, 1, 0.5),
                (11, 11, 1, 0.15), (12, 10, 1, 0.5), (12, 13, 1, 0.3), (13, 10, 1, 0.5),
                (13, 11, 1, 0.3), (14, 10, 1, 0.5);)"));
        const int fixtureSteps = StepComparison(db).walk();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(fixtureSteps > 10);
#ifdef GRELAVO_SHIPPED_DATABASE
        QTemporaryDir folder;
        const QString copy = folder.filePath(DatabaseFile::fileName());
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        Connection shipped(copy, DatabaseFile::password());
        QVERIFY(StepComparison(shipped).walk() > fixtureSteps);
#endif
    }
};

QTEST_GUILESS_MAIN(TestLists)
#include "TestLists.moc"
