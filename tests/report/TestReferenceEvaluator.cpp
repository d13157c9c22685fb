// The reference evaluator on the fixture experiments, figures worked out by hand: the cases its
// agreement with the report engine cannot settle on its own.

#include "FixtureDatabase.h"
#include "verify/ReferenceEvaluator.h"

#include "FixtureReports.h"

using namespace grelavo;

namespace {

// The ten cells of a row, "~" for NULL, blanks trimmed.
QString cells(const ReferenceReport& report, qint64 noId) {
    QStringList out;
    for (const std::optional<QString>& cell : report.rows.value(noId - 1).cells)
        out << (cell ? cell->trimmed() : QStringLiteral("~"));
    return out.join(QLatin1Char('|'));
}

} // namespace

class TestReferenceEvaluator : public QObject {
    Q_OBJECT

private:
    // Evaluates on the fixture database, after the given changes to it.
    static std::optional<ReferenceReport> report(const ParameterSet& p,
                                                 const QString& changes = QString()) {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        if (!changes.isEmpty())
            db.executeScript(changes);
        return ReferenceEvaluator(db, QLocale(QLocale::French, QLocale::Canada)).evaluate(p);
    }

private slots:
    // 1,1 x 0.75 is 0.82500000000000007 in double; the statement writes it 0.825, so a product
    // at 0.825 lies in the 80 % window as well as in the 70 % one.
    void windowBoundsAreTakenAsWritten() {
        const QString onWrittenBound = QStringLiteral(
            "INSERT INTO tbldesTraitements VALUES (9, 1);"
            "INSERT INTO tblPériodesApplication VALUES (10, 9, 1);"
            "INSERT INTO tblDétailsHerbicides VALUES (10, 10, 1, 0.825);"
            "INSERT INTO tblCultureEXP VALUES (9, 9, 149, 1, 1, 20, 75000, 5, 76);"
            "INSERT INTO tblStadeCultureH VALUES (10, 10, 149, 10, 3);"
            "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (9, 15, 40);");
        QCOMPARE(cells(*report(atrazine(QStringLiteral("1,1")), onWrittenBound), 9),
                 QStringLiteral("65|1|-|-|40|1|40|1|-|-"));
    }

    // Weed 2 shares ResultsId 2 with its category's row: the weed's pair is written first, then
    // the category's where category 2 has ratings.
    void weedSharingItsIdWithACategory() {
        const QString weedTwo = QStringLiteral(
            "INSERT INTO ListedesMauvaisesHerbes VALUES (2, 'ivraie', NULL, NULL, 1);"
            "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (1, 2, 30), (4, 2, 30);");
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbMauvHerb[0] = {QStringLiteral("ivraie"), 2};
        std::optional<ReferenceReport> r = report(p, weedTwo);
        QCOMPARE(cells(*r, 8).section(QLatin1Char('|'), 8), QStringLiteral("80|1"));
        QCOMPARE(cells(*r, 31).section(QLatin1Char('|'), 8), QStringLiteral("80|1"));
        QCOMPARE(cells(*r, 1).section(QLatin1Char('|'), 8), QStringLiteral("68|3"));
        p.cbbApp = {QStringLiteral("Postlevée"), 2}; // treatment 4 only: no category 2 rating
        p.SelectedApplicationType = 2;
        r = report(p, weedTwo);
        QCOMPARE(cells(*r, 8).section(QLatin1Char('|'), 8), QStringLiteral("30|1"));
        QCOMPARE(cells(*r, 31).section(QLatin1Char('|'), 8), QStringLiteral("30|1"));
        QCOMPARE(cells(*r, 1).section(QLatin1Char('|'), 8), QStringLiteral("52|2"));
        QCOMPARE(r->TotalCases, 2);
    }

    void refusedSets() {
        QVERIFY(report(atrazine(QStringLiteral("1"))));
        QVERIFY(report(atrazine(QStringLiteral("1.5")))); // either separator in a rate
        QVERIFY(!report(atrazine(QStringLiteral("1,5,0"))));
        QVERIFY(!report(atrazine(QStringLiteral("1 000"))));
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.txtCultSemisA = QStringLiteral("30"); // the upper bound alone asks for a range
        QVERIFY(!report(p));
        p = atrazine(QStringLiteral("1"));
        p.cbbCult = {QStringLiteral("Maïs grain"), std::nullopt};
        QVERIFY(!report(p));
        p = atrazine(QStringLiteral("1"));
        p.cbbHerbApp[2] = {QStringLiteral("dicamba"), 11}; // herbicide rows follow each other
        p.SelectedHerbicideId[2] = 11;
        p.EnteredRate[2] = QStringLiteral("1");
        QVERIFY(!report(p));
        p.cbbHerbApp[0].text.clear();
        p.cbbHerbApp[2].text.clear();
        QVERIFY(!report(p));
    }
};

QTEST_GUILESS_MAIN(TestReferenceEvaluator)
#include "TestReferenceEvaluator.moc"
