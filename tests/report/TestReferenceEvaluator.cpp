#include "FixtureDatabase.h"
#include "db/Connection.h"
#include "report/ReferenceEvaluator.h"

#include <QtTest>

using namespace grelavo;

namespace {

ParameterSet atrazine(const QString& rate, qint16 tolerance = 5) {
    ParameterSet p;
    p.cbbApp = {QStringLiteral("Prélevée"), 1};
    p.SelectedApplicationType = 1;
    p.cbbHerbApp[0] = {QStringLiteral("atrazine"), 10};
    p.SelectedHerbicideId[0] = 10;
    p.txtTaux[0] = p.EnteredRate[0] = rate;
    p.cbbCult = {QStringLiteral("Maïs (tous)"), ParameterSet::AllCornItemData};
    p.RateInterval = tolerance;
    return p;
}

// The ten cells of a row, "~" for NULL, blanks trimmed.
QString cells(const ReferenceReport& report, qint64 noId) {
    for (const ResultsRow& row : report.rows) {
        if (row.NoId != noId)
            continue;
        QStringList out;
        for (const std::optional<QString>& cell : row.cells)
            out << (cell ? cell->trimmed() : QStringLiteral("~"));
        return out.join(QLatin1Char('|'));
    }
    return QStringLiteral("no row %1").arg(noId);
}

const QString kEmpty = QStringLiteral("-|-|-|-|-|-|-|-|-|-");

} // namespace

class TestReferenceEvaluator : public QObject {
    Q_OBJECT

private:
    // Evaluates on the fixture database, after the given changes to it.
    static ReferenceReport report(const ParameterSet& p, const QString& changes = QString()) {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        if (!changes.isEmpty())
            db.executeScript(changes);
        const std::optional<ReferenceReport> r =
            ReferenceEvaluator(db, QLocale(QLocale::French, QLocale::Canada)).evaluate(p);
        if (!r)
            qFatal("the set was refused");
        return *r;
    }

private slots:
    // The figures TestReportEngine works out by hand for the engine.
    void oneHerbicideGivesTheEngineFigures() {
        const ReferenceReport r = report(atrazine(QStringLiteral("1")));
        // 50 %: treatments 3 and 6 (6 through two applications, its ratings counted once);
        // 100 %: treatment 1; sétaire verte rated only as NULL at 50 %.
        QCOMPARE(cells(r, 1), QStringLiteral("57|2|-|-|-|-|-|-|87|2"));
        QCOMPARE(cells(r, 2), QStringLiteral("57|2|-|-|-|-|-|-|90|1"));
        QCOMPARE(cells(r, 3), QStringLiteral("~|0|-|-|-|-|-|-|85|1"));
        QCOMPARE(cells(r, 8), QStringLiteral("57|2|-|-|-|-|-|-|80|1"));
        QCOMPARE(cells(r, 9), QStringLiteral("65|1|-|-|-|-|-|-|80|1"));
        QCOMPARE(cells(r, 7), QStringLiteral("kept|-|-|-|-|-|-|-|-|kept"));
        QCOMPARE(r.TotalCases, 7);
        QVERIFY(!r.NoDataFound);
        QCOMPARE(r.rows.size(), 33);
        QCOMPARE(r.rows[1].Results, QStringLiteral("     pied-de-coq"));
        QCOMPARE(r.rows[1].ResultsId, 16);
    }

    void windowEdgesAndOverlappingWindows() {
        const QString edge =
            QStringLiteral("INSERT INTO tbldesTraitements VALUES (8, 1);"
                           "INSERT INTO tblPériodesApplication VALUES (9, 8, 1);"
                           "INSERT INTO tblDétailsHerbicides VALUES (9, 10, 1, 0.45);"
                           "INSERT INTO tblCultureEXP VALUES (8, 8, 149, 1, 1, 20, 75000, 5, 76);"
                           "INSERT INTO tblStadeCultureH VALUES (9, 9, 149, 10, 3);"
                           "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (8, 15, 0);");
        // 0.45 lies just above the single-precision low bound 0.449999988.
        QCOMPARE(cells(report(atrazine(QStringLiteral("1")), edge), 9),
                 QStringLiteral("32|2|-|-|-|-|-|-|80|1"));
        // At +/- 10 the 50 % and 60 % windows overlap: 0.5 counts in both.
        const ReferenceReport wide = report(atrazine(QStringLiteral("1"), 10), edge);
        QCOMPARE(cells(wide, 2).section(QLatin1Char('|'), 0, 3), QStringLiteral("57|2|57|2"));
        QCOMPARE(wide.TotalCases, 5 + 4 + 3);

        // 1,1 x 0.75 is 0.82500000000000007 in double; the statement writes it 0.825, so a
        // product at 0.825 lies in the 80 % window as well as in the 70 % one.
        const QString onWrittenBound = QStringLiteral(
            "INSERT INTO tbldesTraitements VALUES (9, 1);"
            "INSERT INTO tblPériodesApplication VALUES (10, 9, 1);"
            "INSERT INTO tblDétailsHerbicides VALUES (10, 10, 1, 0.825);"
            "INSERT INTO tblCultureEXP VALUES (9, 9, 149, 1, 1, 20, 75000, 5, 76);"
            "INSERT INTO tblStadeCultureH VALUES (10, 10, 149, 10, 3);"
            "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (9, 15, 40);");
        QCOMPARE(cells(report(atrazine(QStringLiteral("1,1")), onWrittenBound), 9),
                 QStringLiteral("65|1|-|-|40|1|40|1|-|-"));
    }

    void mixturesAndFormulations() {
        ParameterSet p = atrazine(QStringLiteral("0,5"));
        p.cbbHerbApp[1] = {QStringLiteral("dicamba"), 11};
        p.SelectedHerbicideId[1] = 11;
        p.EnteredRate[1] = QStringLiteral("0,3");
        // Application 2 only: application 5 holds a third product.
        ReferenceReport r = report(p);
        QCOMPARE(cells(r, 2), QStringLiteral("-|-|-|-|-|-|-|-|70|1"));
        QCOMPARE(cells(r, 9), QStringLiteral("-|-|-|-|-|-|-|-|95|1"));
        QCOMPARE(r.TotalCases, 2);
        // A formulation text without an item adds no condition; another formulation excludes.
        p.cbbFormApp[0] = {QStringLiteral("liquide"), std::nullopt};
        QCOMPARE(cells(report(p), 2), QStringLiteral("-|-|-|-|-|-|-|-|70|1"));
        p.cbbFormApp[0] = {QStringLiteral("granulés"), 2};
        QVERIFY(report(p).NoDataFound);
    }

    void siteCropAndStageConditions() {
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbCultEcart = {QStringLiteral("90 et +"), 3}; // only treatment 3 (91 cm)
        ReferenceReport r = report(p);
        QCOMPARE(cells(r, 2), QStringLiteral("60|1|-|-|-|-|-|-|-|-"));
        QCOMPARE(cells(r, 3), QStringLiteral("~|0|-|-|-|-|-|-|-|-"));
        p.cbbCultEcart = {QStringLiteral("100 et +"), 4};
        QVERIFY(report(p).NoDataFound);

        p = atrazine(QStringLiteral("1"));
        p.cbbSitepHDe = p.cbbSitepHA = QStringLiteral("7,2"); // bounds included: site 2
        QCOMPARE(cells(report(p), 2), QStringLiteral("57|2|-|-|-|-|-|-|-|-"));

        // The stage row's crop counts only together with a stage range.
        const QString soyaStage =
            QStringLiteral("UPDATE tblStadeCultureH SET CultureId = 300 WHERE DateHerbId = 3;");
        p = atrazine(QStringLiteral("1"));
        QCOMPARE(cells(report(p, soyaStage), 2), QStringLiteral("57|2|-|-|-|-|-|-|90|1"));
        p.txtCultFeuilDe = QStringLiteral("2");
        p.txtCultFeuilA = QStringLiteral("3");
        // Treatment 3 is left out by its soya stage, treatment 6 keeps application 6 (2 leaves).
        QCOMPARE(cells(report(p, soyaStage), 2), QStringLiteral("55|1|-|-|-|-|-|-|90|1"));
        p.optHaut = true; // the leaf range is no longer read
        QCOMPARE(cells(report(p, soyaStage), 2), QStringLiteral("57|2|-|-|-|-|-|-|90|1"));
    }

    void extraWeedsAndRowsSharedWithACategory() {
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbMauvHerb[0] = {QStringLiteral("pied-de-coq"), 16}; // already a standard row
        p.cbbMauvHerb[1] = {QStringLiteral("souchet comestible"), 200};
        p.cbbMauvHerb[3] = {QStringLiteral("souchet comestible"), 200}; // repeated
        p.cbbMauvHerb[4] = {QStringLiteral("prêle des champs"), 201};
        ReferenceReport r = report(p);
        QCOMPARE(r.rows[30].Results, QStringLiteral("     souchet comestible"));
        QCOMPARE(cells(r, 31).left(4), QStringLiteral("50|1"));
        QCOMPARE(r.rows[31].ResultsId, 201);
        QCOMPARE(cells(r, 32), kEmpty);
        QCOMPARE(r.rows[32].Results, QStringLiteral("     --------"));
        QVERIFY(!r.rows[32].ResultsId);

        // Weed 2 shares ResultsId 2 with its category row: the weed's pair is written first,
        // then the category's where category 2 has ratings.
        const QString weedTwo = QStringLiteral(
            "INSERT INTO ListedesMauvaisesHerbes VALUES (2, 'ivraie', NULL, NULL, 1);"
            "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (1, 2, 30), (4, 2, 30);");
        p = atrazine(QStringLiteral("1"));
        p.cbbMauvHerb[0] = {QStringLiteral("ivraie"), 2};
        r = report(p, weedTwo);
        QCOMPARE(cells(r, 8).section(QLatin1Char('|'), 8), QStringLiteral("80|1"));
        QCOMPARE(cells(r, 31).section(QLatin1Char('|'), 8), QStringLiteral("80|1"));
        QCOMPARE(cells(r, 1).section(QLatin1Char('|'), 8), QStringLiteral("68|3"));
        p.cbbApp = {QStringLiteral("Postlevée"), 2}; // treatment 4 only: no category 2 rating
        p.SelectedApplicationType = 2;
        r = report(p, weedTwo);
        QCOMPARE(cells(r, 8).section(QLatin1Char('|'), 8), QStringLiteral("30|1"));
        QCOMPARE(cells(r, 31).section(QLatin1Char('|'), 8), QStringLiteral("30|1"));
        QCOMPARE(cells(r, 1).section(QLatin1Char('|'), 8), QStringLiteral("52|2"));
        QCOMPARE(r.TotalCases, 2);
    }

    void noDataAndRefusedSets() {
        ReferenceReport r = report(atrazine(QStringLiteral("7")));
        QVERIFY(r.NoDataFound);
        QCOMPARE(r.TotalCases, 0);
        QCOMPARE(cells(r, 1), kEmpty);
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbCultVar = {QStringLiteral("Sucré C"), 3};
        QVERIFY(report(p).NoDataFound);

        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        const ReferenceEvaluator evaluator(db, QLocale(QLocale::French, QLocale::Canada));
        QVERIFY(!evaluator.evaluate(atrazine(QStringLiteral("1.5")))); // a point under fr_CA
        QVERIFY(!evaluator.evaluate(atrazine(QStringLiteral("1 000"))));
        p = atrazine(QStringLiteral("1"));
        p.txtCultSemisA = QStringLiteral("30"); // the upper bound alone asks for a range
        QVERIFY(!evaluator.evaluate(p));
        p = atrazine(QStringLiteral("1"));
        p.cbbCult = {QStringLiteral("Maïs grain"), std::nullopt};
        QVERIFY(!evaluator.evaluate(p));
        p = atrazine(QStringLiteral("1"));
        p.cbbHerbApp[0].text.clear();
        QVERIFY(!evaluator.evaluate(p));
    }
};

QTEST_GUILESS_MAIN(TestReferenceEvaluator)
#include "TestReferenceEvaluator.moc"
