#include "FixtureDatabase.h"
#include "QuotedStatements.h"
#include "db/Connection.h"
#include "db/JetDialect.h"
#include "db/Recordset.h"

#include <QtTest>

using namespace grelavo;

using namespace quoted;

class TestJetDialect : public QObject {
    Q_OBJECT

private:
    // Rows of a statement, each written as its fields joined by "|" (NULL written as "~").
    static QStringList rows(Connection& db, const QString& statement) {
        Recordset rs;
        rs.open(db, statement);
        QStringList out;
        for (; !rs.eof(); rs.moveNext()) {
            QStringList fields;
            for (const QString& name : rs.fieldNames()) {
                const QVariant v = rs.field(name);
                fields << (v.isNull() ? QStringLiteral("~") : v.toString());
            }
            out << fields.join(QLatin1Char('|'));
        }
        return out;
    }

    // The report chain for atrazine at 0.5 kg/ha +/- 10 %, period 1.
    static void defineSingleAtrazineChain(Connection& db) {
        db.redefineView(QStringLiteral("Herbicide1"),
                        herbicideWindow(10, QStringLiteral("0.45"), QStringLiteral("0.55")));
        db.redefineView(QStringLiteral("DétailsHerbicides"), kDetailsHerbicides1);
        db.redefineView(QStringLiteral("DétailsApplication"), detailsApplication(1));
    }

private slots:
    void translatesSelectIntoToATableCreation() {
        QCOMPARE(JetDialect::translate(
                     QStringLiteral("SELECT a, Fix(Avg([b])) AS m INTO tblX FROM t GROUP BY a;")),
                 QStringLiteral("CREATE TABLE tblX AS SELECT a, Fix(Avg([b])) AS m FROM t "
                                "GROUP BY a"));
        // INTO inside a sub-query or after FROM is not the target.
        const QString insert = QStringLiteral("SELECT a FROM t WHERE a In (SELECT b FROM u)");
        QCOMPARE(JetDialect::translate(insert), insert);
        QCOMPARE(JetDialect::translate(QStringLiteral("  drop table tblQueryResults ; ")),
                 QStringLiteral("drop table tblQueryResults"));
    }

    void translatesJoinedUpdateToCorrelatedSubqueries() {
        QCOMPARE(JetDialect::translate(
                     cellUpdate(QStringLiteral("tblQueryResults"), QStringLiteral("MHId"), 2)),
                 QStringLiteral(
                     "UPDATE tblResults SET [5] = (SELECT [tblQueryResults].[Moyenne] FROM "
                     "tblQueryResults WHERE (tblQueryResults.MHId = tblResults.ResultsId) LIMIT "
                     "1), [6] = (SELECT [tblQueryResults].[CompteDeVisuel] FROM tblQueryResults "
                     "WHERE (tblQueryResults.MHId = tblResults.ResultsId) LIMIT 1) WHERE EXISTS "
                     "(SELECT 1 FROM tblQueryResults WHERE (tblQueryResults.MHId = "
                     "tblResults.ResultsId))"));
        // The target may be either side of the join; a WHERE clause narrows both.
        QCOMPARE(JetDialect::translate(QStringLiteral(
                     "UPDATE a INNER JOIN b ON a.k = b.k SET a.x = b!y WHERE b.z > 1")),
                 QStringLiteral("UPDATE a SET x = (SELECT b.y FROM b WHERE (a.k = b.k) AND "
                                "(b.z > 1) LIMIT 1) WHERE EXISTS (SELECT 1 FROM b WHERE (a.k = "
                                "b.k) AND (b.z > 1))"));
    }

    void dropsQualifiersFromUpdateTargets() {
        QCOMPARE(JetDialect::translate(
                     QStringLiteral("UPDATE tblResults SET tblResults.ResultsID = NULL WHERE "
                                    "(((tblResults.NoId)>30));")),
                 QStringLiteral("UPDATE tblResults SET ResultsID = NULL WHERE "
                                "(((tblResults.NoId)>30))"));
        // Commas and semicolons inside a text stay as they are.
        QCOMPARE(JetDialect::translate(QStringLiteral("UPDATE t SET t.[1] = ' a, b; ', t.c = "
                                                      "'it''s' WHERE x = 1;")),
                 QStringLiteral("UPDATE t SET [1] = ' a, b; ', c = 'it''s' WHERE x = 1"));
    }

    void namesQualifiedResultColumnsAfterTheirColumn() {
        QCOMPARE(JetDialect::translate(QStringLiteral(
                     "SELECT DISTINCT t.a, u.[b-c], t.d AS e, Count(*) FROM t, u WHERE t.x IN "
                     "(SELECT v.y FROM v)")),
                 QStringLiteral("SELECT DISTINCT t.a AS a, u.[b-c] AS [b-c], t.d AS e, Count(*) "
                                "FROM t, u WHERE t.x IN (SELECT v.y FROM v)"));
        // Inside nested joins SQLite alone would call the column "DateHerbId:1".
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        db.redefineView(QStringLiteral("DétailsApplication"),
                        QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM "
                                       "(tblDétailsHerbicides AS h2 INNER JOIN "
                                       "(tblDétailsHerbicides AS h1 INNER JOIN "
                                       "tblPériodesApplication ON h1.DateHerbId = "
                                       "tblPériodesApplication.DateHerbId) ON h2.DateHerbId = "
                                       "tblPériodesApplication.DateHerbId);"));
        Recordset rs;
        rs.open(db, QStringLiteral("SELECT * FROM DétailsApplication"));
        QCOMPARE(rs.fieldNames(), QStringList({"DateHerbId"}));
        db.execute(QStringLiteral("SELECT tblMHEval.MHId, ListedesMauvaisesHerbes.[Nom-Francais] "
                                  "INTO tblQueryResults FROM ListedesMauvaisesHerbes INNER JOIN "
                                  "(tbldesTraitements INNER JOIN tblMHEval ON "
                                  "tbldesTraitements.TraitementId = tblMHEval.TraitementId) ON "
                                  "ListedesMauvaisesHerbes.MHId = tblMHEval.MHId;"));
        rs.openTable(db, QStringLiteral("tblQueryResults"));
        QCOMPARE(rs.fieldNames(), QStringList({"MHId", "Nom-Francais"}));
    }

    void leavesWhatItDoesNotKnowForTheEngineToJudge() {
        const QString odd = QStringLiteral("UPDATE a INNER JOIN b ON a.k = b.k SET c.x = 1");
        QCOMPARE(JetDialect::translate(odd), odd);
        QCOMPARE(JetDialect::translate(QStringLiteral("SELECT [a]![b] + 1 FROM a")),
                 QStringLiteral("SELECT [a].[b] + 1 FROM a"));
        QCOMPARE(JetDialect::translate(QStringLiteral("SELECT 'x!y' FROM a WHERE a <> 1")),
                 QStringLiteral("SELECT 'x!y' FROM a WHERE a <> 1"));
    }

    void choiceListStatementsGiveTheExpectedRows() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        QCOMPARE(rows(db, QStringLiteral("SELECT TypeApplication AS tblField, TypeApplicationId "
                                         "AS tblId FROM ListeDesPériodesApplication")),
                 QStringList({"Prélevée|1", "Postlevée|2"}));
        QCOMPARE(rows(db, QStringLiteral("SELECT ListeDesCultures.CultureId AS tblId, "
                                         "ListeDesCultures.[Nom Français] AS tblField FROM "
                                         "ListeDesCultures WHERE ((Not "
                                         "(ListeDesCultures.CultureId)=147)) ORDER BY "
                                         "ListeDesCultures.[Nom Français];")),
                 QStringList({"301|Épinard", "240|Maïs fourrager", "149|Maïs grain",
                              "242|Maïs sucré", "300|Soya"}));
        const QString varieties = QStringLiteral(
            "SELECT ListeDesVariétés.VariétéId AS tblId, ListeDesVariétés.Variété AS tblField "
            "FROM ListeDesVariétés INNER JOIN tblCultureEXP ON ListeDesVariétés.VariétéId = "
            "tblCultureEXP.VariétéId GROUP BY ListeDesVariétés.VariétéId, "
            "ListeDesVariétés.Variété, tblCultureEXP.CultureId HAVING "
            "(((tblCultureEXP.CultureId)=%1));");
        QCOMPARE(rows(db, varieties.arg(149)), QStringList({"1|Hybride A", "2|Hybride B"}));
        QCOMPARE(rows(db, varieties.arg(240)), QStringList());
        QCOMPARE(rows(db, QStringLiteral("SELECT ListeDesAntécédents.AntécédentID AS tblId, "
                                         "ListeDesAntécédents.[Nom Français] AS tblField FROM "
                                         "ListeDesAntécédents ORDER BY "
                                         "ListeDesAntécédents.[Nom Français];")),
                 QStringList({"3|Avoine", "2|blé", "1|soya"}));
        QCOMPARE(rows(db, QStringLiteral("SELECT ListeDesProvinces.ProvinceID AS tblId, "
                                         "ListeDesProvinces.Province AS tblField FROM "
                                         "ListeDesProvinces;")),
                 QStringList({"1|Québec", "2|Ontario"}));
        QCOMPARE(rows(db, QStringLiteral("SELECT ListedesClastext.ClasseTexturaleId AS tblId, "
                                         "ListedesClastext.ClasseTexturale AS tblField FROM "
                                         "ListedesClastext;"))
                     .size(),
                 2);
        QCOMPARE(rows(db, QStringLiteral("SELECT ListedesMauvaisesHerbes.MHId AS tblId, "
                                         "ListedesMauvaisesHerbes.[Nom-Francais] AS tblField "
                                         "FROM ListedesMauvaisesHerbes;"))
                     .first(),
                 QStringLiteral("15|chénopode blanc"));
        QCOMPARE(rows(db, QStringLiteral("SELECT ListedesMauvaisesHerbes.[Nom-Francais], "
                                         "ListedesMauvaisesHerbes.[Nom-Latin], "
                                         "ListedesMauvaisesHerbes.[Nom-Anglais], "
                                         "ListedesMauvaisesHerbes.MHId FROM "
                                         "ListedesMauvaisesHerbes;"))
                     .last(),
                 QStringLiteral("prêle des champs|Equisetum arvense|field horsetail|201"));
    }

    void herbicideCascadeNarrowsToTheChosenMixtures() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        auto countStep = [&](int count, int period) {
            return kCountHead + kCountIn +
                   QStringLiteral("%1)) AND ((tblPériodesApplication.TypeApplicationId)=%2));")
                       .arg(count)
                       .arg(period);
        };
        db.redefineView(QStringLiteral("DétailsApplication"), countStep(1, 1));
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsApplication")),
                 QStringList({"1", "3", "6", "7", "8"}));
        QCOMPARE(rows(db, kHerbicideList), QStringList({"10|atrazine"}));
        db.redefineView(QStringLiteral("DétailsApplication"), countStep(2, 1));
        QCOMPARE(rows(db, kHerbicideList), QStringList({"10|atrazine", "11|dicamba"}));
        db.redefineView(QStringLiteral("DétailsApplication"), countStep(4, 1));
        QCOMPARE(rows(db, kHerbicideList), QStringList());

        db.redefineView(QStringLiteral("DétailsApplication"),
                        kHerbicideStepHead[0] + kCountIn +
                            QStringLiteral("3)) AND ((tblPériodesApplication.TypeApplicationId)=1) "
                                           "AND ((tblDétailsHerbicides.HerbicideId)=10));"));
        QCOMPARE(rows(db, kHerbicideList),
                 QStringList({"10|atrazine", "11|dicamba", "12|nicosulfuron"}));

        db.redefineView(QStringLiteral("DétailsApplication"),
                        kHerbicideStepHead[1] + kCountIn +
                            QStringLiteral("3)) AND ((tblPériodesApplication.TypeApplicationId)=1) "
                                           "AND ((tblDétailsHerbicides.HerbicideId)=10) AND "
                                           "((tblDétailsHerbicides_1.HerbicideId)=11));"));
        QCOMPARE(rows(db, QStringLiteral("SELECT DISTINCT DateHerbId FROM DétailsApplication")),
                 QStringList({"5"}));

        db.redefineView(QStringLiteral("DétailsApplication"),
                        kHerbicideStepHead[2] + kCountIn +
                            QStringLiteral("3)) AND ((tblPériodesApplication.TypeApplicationId)=1) "
                                           "AND ((tblDétailsHerbicides.HerbicideId)=10) AND "
                                           "((tblDétailsHerbicides_1.HerbicideId)=11) AND "
                                           "((tblDétailsHerbicides_2.HerbicideId)=12));"));
        QCOMPARE(rows(db, kHerbicideList),
                 QStringList({"10|atrazine", "11|dicamba", "12|nicosulfuron"}));
    }

    void mixtureViewsSelectExactlyTheEnteredHerbicides() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        db.redefineView(QStringLiteral("Herbicide1"),
                        herbicideWindow(10, QStringLiteral("0.449999988079071"),
                                        QStringLiteral("0.550000011920929")));
        QCOMPARE(rows(db, QStringLiteral("SELECT DateHerbId FROM Herbicide1")),
                 QStringList({"2", "3", "5", "6", "7"}));
        db.redefineView(QStringLiteral("DétailsHerbicides"), kDetailsHerbicides1);
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsHerbicides")),
                 QStringList({"3", "6", "7"}));
        // A formulation narrows its own herbicide only.
        db.redefineView(QStringLiteral("Herbicide1"),
                        herbicideWindow(10, QStringLiteral("0.45"), QStringLiteral("0.55"), 1));
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsHerbicides")),
                 QStringList({"6", "7"}));

        db.redefineView(QStringLiteral("Herbicide1"),
                        herbicideWindow(10, QStringLiteral("0.45"), QStringLiteral("0.55")));
        db.redefineView(QStringLiteral("Herbicide2"),
                        herbicideWindow(11, QStringLiteral("0.27"), QStringLiteral("0.33")));
        db.redefineView(QStringLiteral("DétailsHerbicides"), kDetailsHerbicides2);
        // Application 5 holds a third product: its row count is 3, not 2.
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsHerbicides")), QStringList({"2"}));
        db.redefineView(QStringLiteral("Herbicide3"),
                        herbicideWindow(12, QStringLiteral("0.018"), QStringLiteral("0.022")));
        db.redefineView(QStringLiteral("DétailsHerbicides"), kDetailsHerbicides3);
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsHerbicides")), QStringList({"5"}));
        db.redefineView(QStringLiteral("Herbicide4"),
                        herbicideWindow(13, QStringLiteral("0"), QStringLiteral("9")));
        db.redefineView(QStringLiteral("DétailsHerbicides"), kDetailsHerbicides4);
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsHerbicides")), QStringList());

        db.redefineView(QStringLiteral("Herbicide1"),
                        herbicideWindow(10, QStringLiteral("0.45"), QStringLiteral("0.55")));
        db.redefineView(QStringLiteral("DétailsHerbicides"), kDetailsHerbicides1);
        db.redefineView(QStringLiteral("DétailsApplication"), detailsApplication(1));
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsApplication")),
                 QStringList({"3|3|1", "6|6|1", "7|6|1"}));
        db.redefineView(QStringLiteral("DétailsApplication"), detailsApplication(2));
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM DétailsApplication")), QStringList());
    }

    void treatmentConditionsFilterOnCropSiteAndStage() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        defineSingleAtrazineChain(db);
        auto treatments = [&](const QStringList& conditions) {
            db.redefineView(QStringLiteral("DétailsTraitements"), detailsTraitements(conditions));
            return rows(db, QStringLiteral("SELECT * FROM DétailsTraitements"));
        };
        QCOMPARE(treatments({kAllCorn}), QStringList({"3|3", "6|6", "7|6"}));
        QCOMPARE(treatments({"((tblCultureEXP.CultureId) = 149)"}), QStringList({"6|6", "7|6"}));
        QCOMPARE(treatments({"((tblCultureEXP.CultureId) = 300)"}), QStringList());
        QCOMPARE(treatments({kAllCorn, "((tbldesSites.ClasseTexturaleId) = 1)"}), QStringList());
        QCOMPARE(
            treatments({kAllCorn, "((tbldesSites.MatièreOrganique) Between 7 And 9)",
                        "((tbldesSites.pH) Between 7 And 7.5)", "((tbldesSites.ProvinceID) = 2)"}),
            QStringList({"3|3", "6|6", "7|6"}));
        QCOMPARE(treatments({kAllCorn, "((tblCultureEXP.VariétéId) = 1)",
                             "((tblCultureEXP.AntécédentID) = 1)"}),
                 QStringList({"6|6", "7|6"}));
        QCOMPARE(treatments({kAllCorn, "((tblCultureEXP.TauxSemisKg) Between 18 And 20)"}),
                 QStringList({"3|3"}));
        QCOMPARE(treatments({kAllCorn, "((tblCultureEXP.TauxSemisSe) Between 75000 And 80000)"}),
                 QStringList({"6|6", "7|6"}));
        QCOMPARE(treatments({kAllCorn, "((tblStadeCultureH.NoFeuilMoyenneCultH) Between 2 And 3)",
                             kAllCornStage}),
                 QStringList({"3|3", "6|6"}));
        QCOMPARE(treatments({kAllCorn, "((tblStadeCultureH.HautMoyenneCultH) Between 10 And 30)",
                             "((tblStadeCultureH.CultureId) = 149)"}),
                 QStringList({"7|6"}));
        QCOMPARE(treatments({kAllCorn, "((tblCultureEXP.ProfPlantEXP) Between 5 And 6)",
                             "((tblCultureEXP.EcartPLantEXP) > 90)"}),
                 QStringList({"3|3"}));
        QCOMPARE(treatments({kAllCorn, "((tblCultureEXP.EcartPLantEXP) Between 70 And 80)"}),
                 QStringList({"6|6", "7|6"}));
    }

    void aggregationFillsTheResultsCells() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        defineSingleAtrazineChain(db);
        db.redefineView(QStringLiteral("DétailsTraitements"), detailsTraitements({kAllCorn}));

        db.execute(perWeed());
        // Treatment 6 comes out twice (two matching applications), so its ratings count twice.
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM tblQueryResults")),
                 QStringList(
                     {"15|chénopode blanc|65|2", "16|pied-de-coq|56|3", "34|sétaire verte|~|0"}));
        db.execute(kPerCategory);
        QCOMPARE(rows(db, QStringLiteral("SELECT * FROM tblQueryResults_Cat")),
                 QStringList({"1|56|3", "2|60|3"}));
        QCOMPARE(rows(db, QStringLiteral("SELECT Sum(tblQueryResults_cat.CompteDeVisuel) AS "
                                         "CompteCas FROM tblQueryResults_cat;")),
                 QStringList({"6"}));

        db.execute(cellUpdate(QStringLiteral("tblQueryResults"), QStringLiteral("MHId"), 2));
        db.execute(
            cellUpdate(QStringLiteral("tblQueryResults_Cat"), QStringLiteral("TypeMHId"), 2));
        QCOMPARE(rows(db, QStringLiteral("SELECT NoId, [5], [6], [4], [7] FROM tblResults WHERE "
                                         "NoId IN (1, 2, 3, 4, 8, 9) ORDER BY NoId")),
                 QStringList({"1|56|3| - | - ", "2|56|3| - | - ", "3|~|0| - | - ",
                              "4| - | - | - | - ", "8|60|3| - | - ", "9|65|2| - | - "}));
        QCOMPARE(rows(db, QStringLiteral("SELECT typeof([5]) FROM tblResults WHERE NoId = 2")),
                 QStringList({"text"}));

        // An extra weed appended to the list gets its own row.
        db.execute(QStringLiteral("drop table tblQueryResults"));
        db.execute(perWeed(QStringLiteral(" Or (tblMHEval.MHId)=200")));
        QCOMPARE(rows(db, QStringLiteral("SELECT MHId, Moyenne, CompteDeVisuel FROM "
                                         "tblQueryResults WHERE MHId = 200")),
                 QStringList({"200|50|1"}));
    }

    void resetStatementsRestoreTheEmptyTable() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        db.execute(QStringLiteral("UPDATE tblResults SET [3] = '12', Results = '     x', "
                                  "ResultsId = 5 WHERE NoId IN (2, 7, 31)"));
        db.execute(kResetCells);
        db.execute(QStringLiteral("UPDATE tblResults SET tblResults.Results = '     --------' "
                                  "WHERE (((tblResults.NoId)>30));"));
        db.execute(QStringLiteral("UPDATE tblResults SET tblResults.ResultsID = NULL WHERE "
                                  "(((tblResults.NoId)>30));"));
        QCOMPARE(rows(db, QStringLiteral("SELECT NoId, Results, ResultsId, [1], [3], [10] FROM "
                                         "tblResults WHERE NoId IN (2, 7, 30, 31) ORDER BY NoId")),
                 QStringList({"2|     x|5| - | - | - ", "7|     x|5|kept|12|kept",
                              "30|Sélection de l'utilisateur|~|kept| - |kept",
                              "31|     --------|~| - | - | - "}));
    }

    void ratePickerStatementsListDistinctCombinations() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        db.redefineView(QStringLiteral("DétailsApplication"),
                        kRatesHead[0] + kCountIn +
                            QStringLiteral("1)) AND ((tblPériodesApplication.TypeApplicationId)=1) "
                                           "AND ((tblDétailsHerbicides.HerbicideId)=10));"));
        QCOMPARE(rows(db, QStringLiteral("SELECT DétailsApplication.Taux1 FROM DétailsApplication "
                                         "GROUP BY DétailsApplication.Taux1 ORDER BY "
                                         "DétailsApplication.Taux1;")),
                 QStringList({"0.5", "1"}));

        db.redefineView(QStringLiteral("DétailsApplication"),
                        kRatesHead[2] + kCountIn +
                            QStringLiteral("3)) AND ((tblPériodesApplication.TypeApplicationId)=1) "
                                           "AND ((tblDétailsHerbicides.HerbicideId)=10) AND "
                                           "((tblDétailsHerbicides_1.HerbicideId)=11) AND "
                                           "((tblDétailsHerbicides_2.HerbicideId)=12));"));
        QCOMPARE(
            rows(db, QStringLiteral("SELECT DétailsApplication.Taux1, DétailsApplication.Taux2, "
                                    "DétailsApplication.Taux3 FROM DétailsApplication GROUP BY "
                                    "DétailsApplication.Taux1, DétailsApplication.Taux2, "
                                    "DétailsApplication.Taux3 ORDER BY DétailsApplication.Taux1, "
                                    "DétailsApplication.Taux2, DétailsApplication.Taux3;")),
            QStringList({"0.5|0.3|0.02"}));

        db.redefineView(QStringLiteral("DétailsApplication"),
                        kRatesHead[3] + kCountIn +
                            QStringLiteral("4)) AND ((tblPériodesApplication.TypeApplicationId)=1) "
                                           "AND ((tblDétailsHerbicides.HerbicideId)=10) AND "
                                           "((tblDétailsHerbicides_1.HerbicideId)=11) AND "
                                           "((tblDétailsHerbicides_2.HerbicideId)=12) AND "
                                           "((tblDétailsHerbicides_3.HerbicideId)=13));"));
        QCOMPARE(rows(db, QStringLiteral("SELECT DétailsApplication.Taux4 FROM "
                                         "DétailsApplication GROUP BY DétailsApplication.Taux4;")),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestJetDialect)
#include "TestJetDialect.moc"
