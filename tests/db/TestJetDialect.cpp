#include "FixtureDatabase.h"
#include "QuotedStatements.h"
#include "core/db/Connection.h"
#include "core/db/JetDialect.h"
#include "core/db/Recordset.h"

#include <QtTest>
#include <memory>

using namespace grelavo;

using namespace quoted;

class TestJetDialect : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FixtureDatabase> m_fixture;
    std::unique_ptr<Connection> m_db;

    // Rows of a statement, each written as its fields joined by "|" (NULL written as "~").
    QStringList rows(const QString& statement) {
        return statementRows(*m_db, statement, QStringLiteral("~"));
    }

    // Redefines the stored query and gives its rows.
    QStringList view(const QString& name, const QString& statement) {
        m_db->redefineView(name, statement);
        return rows(QStringLiteral("SELECT * FROM ") + name);
    }

    // The list steps' condition: applications of 'count' products at period 1 holding 'ids'.
    static QString holding(int count, const QVector<int>& ids = {}) {
        QString s =
            kCountIn +
            QStringLiteral("%1)) AND ((tblPériodesApplication.TypeApplicationId)=1").arg(count);
        for (int k = 0; k < ids.size(); ++k)
            s += QStringLiteral(") AND ((tblDétailsHerbicides%1.HerbicideId)=%2")
                     .arg(k ? QStringLiteral("_%1").arg(k) : QString())
                     .arg(ids[k]);
        return s + QStringLiteral("));");
    }

    // The report chain for atrazine at 0.5 kg/ha +/- 10 %, period 1.
    void defineSingleAtrazineChain() {
        m_db->redefineView(QStringLiteral("Herbicide1"),
                           herbicideWindow(10, QStringLiteral("0.45"), QStringLiteral("0.55")));
        m_db->redefineView(QStringLiteral("DétailsHerbicides"), kDetailsHerbicides1);
        m_db->redefineView(QStringLiteral("DétailsApplication"), detailsApplication(1));
    }

private slots:
    void init() {
        m_fixture = std::make_unique<FixtureDatabase>();
        m_db = std::make_unique<Connection>(m_fixture->path(), DatabaseFile::password());
    }
    void cleanup() {
        m_db.reset();
        m_fixture.reset();
    }

    void translates_data() {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite"); // empty: sent as written

        QTest::newRow("select into")
            << "SELECT a, Fix(Avg([b])) AS m INTO tblX FROM t GROUP BY a;"
            << "CREATE TABLE tblX AS SELECT a, Fix(Avg([b])) AS m FROM t GROUP BY a";
        QTest::newRow("INTO in a sub-query or after FROM")
            << "SELECT (SELECT b INTO x FROM u) AS c FROM t INTO y"
            << "";
        QTest::newRow("closing semicolon") << "  drop table tblQueryResults ; "
                                           << "drop table tblQueryResults";
        QTest::newRow("joined update")
            << cellUpdate(QStringLiteral("tblQueryResults"), QStringLiteral("MHId"), 2)
            << "UPDATE tblResults SET [5] = (SELECT [tblQueryResults].[Moyenne] FROM "
               "tblQueryResults WHERE (tblQueryResults.MHId = tblResults.ResultsId) LIMIT 1), [6] "
               "= (SELECT [tblQueryResults].[CompteDeVisuel] FROM tblQueryResults WHERE "
               "(tblQueryResults.MHId = tblResults.ResultsId) LIMIT 1) WHERE EXISTS (SELECT 1 FROM "
               "tblQueryResults WHERE (tblQueryResults.MHId = tblResults.ResultsId))";
        // The target may be either side of the join; a WHERE clause narrows both.
        QTest::newRow("joined update, left target")
            << "UPDATE a INNER JOIN b ON a.k = b.k SET a.x = b!y WHERE b.z > 1"
            << "UPDATE a SET x = (SELECT b.y FROM b WHERE (a.k = b.k) AND (b.z > 1) LIMIT 1) "
               "WHERE EXISTS (SELECT 1 FROM b WHERE (a.k = b.k) AND (b.z > 1))";
        QTest::newRow("update target qualifier")
            << "UPDATE tblResults SET tblResults.ResultsID = NULL WHERE (((tblResults.NoId)>30));"
            << "UPDATE tblResults SET ResultsID = NULL WHERE (((tblResults.NoId)>30))";
        QTest::newRow("commas and semicolons in texts")
            << "UPDATE t SET t.[1] = ' a, b; ', t.c = 'it''s' WHERE x = 1;"
            << "UPDATE t SET [1] = ' a, b; ', c = 'it''s' WHERE x = 1";
        QTest::newRow("qualified result columns")
            << "SELECT DISTINCT t.a, u.[b-c], t.d AS e, Count(*) FROM t, u WHERE t.x IN (SELECT "
               "v.y FROM v)"
            << "SELECT DISTINCT t.a AS a, u.[b-c] AS [b-c], t.d AS e, Count(*) FROM t, u WHERE t.x "
               "IN (SELECT v.y FROM v)";
        // What it does not know is left for the engine to judge.
        QTest::newRow("update of a third table") << "UPDATE a INNER JOIN b ON a.k = b.k SET c.x = 1"
                                                 << "";
        QTest::newRow("bang") << "SELECT [a]![b] + 1 FROM a"
                              << "SELECT [a].[b] + 1 FROM a";
        QTest::newRow("bang in a text") << "SELECT 'x!y' FROM a WHERE a <> 1"
                                        << "";
    }

    void translates() {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(JetDialect::translate(jet), sqlite.isEmpty() ? jet : sqlite);
    }

    // Inside nested joins SQLite alone would call the column "DateHerbId:1".
    void qualifiedColumnsKeepTheirNameInsideNestedJoins() {
        m_db->redefineView(QStringLiteral("DétailsApplication"),
                           QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM "
                                          "(tblDétailsHerbicides AS h2 INNER JOIN "
                                          "(tblDétailsHerbicides AS h1 INNER JOIN "
                                          "tblPériodesApplication ON h1.DateHerbId = "
                                          "tblPériodesApplication.DateHerbId) ON h2.DateHerbId = "
                                          "tblPériodesApplication.DateHerbId);"));
        Recordset rs;
        rs.open(*m_db, QStringLiteral("SELECT * FROM DétailsApplication"));
        QCOMPARE(rs.fieldNames(), QStringList({"DateHerbId"}));
        m_db->execute(QStringLiteral(
            "SELECT tblMHEval.MHId, ListedesMauvaisesHerbes.[Nom-Francais] INTO tblQueryResults "
            "FROM ListedesMauvaisesHerbes INNER JOIN (tbldesTraitements INNER JOIN tblMHEval ON "
            "tbldesTraitements.TraitementId = tblMHEval.TraitementId) ON "
            "ListedesMauvaisesHerbes.MHId = tblMHEval.MHId;"));
        rs.openTable(*m_db, QStringLiteral("tblQueryResults"));
        QCOMPARE(rs.fieldNames(), QStringList({"MHId", "Nom-Francais"}));
    }

    // The crops and their varieties are read through the parameter form itself (TestCascade).
    void choiceListStatementsGiveTheExpectedRows() {
        const std::pair<QString, QStringList> lists[] = {
            {"SELECT TypeApplication AS tblField, TypeApplicationId AS tblId FROM "
             "ListeDesPériodesApplication",
             {"Prélevée|1", "Postlevée|2"}},
            {"SELECT ListeDesAntécédents.AntécédentID AS tblId, ListeDesAntécédents.[Nom "
             "Français] AS tblField FROM ListeDesAntécédents ORDER BY ListeDesAntécédents.[Nom "
             "Français];",
             {"3|Avoine", "2|blé", "1|soya"}},
            {"SELECT ListeDesProvinces.ProvinceID AS tblId, ListeDesProvinces.Province AS tblField "
             "FROM ListeDesProvinces;",
             {"1|Québec", "2|Ontario"}},
            {"SELECT ListedesClastext.ClasseTexturaleId AS tblId, ListedesClastext.ClasseTexturale "
             "AS tblField FROM ListedesClastext;",
             {"1|loam", "2|argile"}},
            {"SELECT ListedesMauvaisesHerbes.MHId AS tblId, ListedesMauvaisesHerbes.[Nom-Francais] "
             "AS tblField FROM ListedesMauvaisesHerbes;",
             {"15|chénopode blanc", "16|pied-de-coq", "34|sétaire verte", "200|souchet comestible",
              "201|prêle des champs"}}};
        for (const auto& [statement, expected] : lists)
            QCOMPARE(rows(statement), expected);
    }

    // The first two herbicide steps are read through the parameter form itself (TestCascade).
    void herbicideCascadeNarrowsToTheChosenMixtures() {
        const QString application = QStringLiteral("DétailsApplication");
        QCOMPARE(view(application, kCountHead + holding(1)),
                 QStringList({"1", "3", "6", "7", "8"}));
        QCOMPARE(rows(kHerbicideList), QStringList({"10|atrazine"}));
        view(application, kCountHead + holding(2));
        QCOMPARE(rows(kHerbicideList), QStringList({"10|atrazine", "11|dicamba"}));
        view(application, kCountHead + holding(4));
        QCOMPARE(rows(kHerbicideList), QStringList());
        QCOMPARE(view(application, kHerbicideStepHead[2] + holding(3, {10, 11, 12})),
                 QStringList({"5"}));
        QCOMPARE(rows(kHerbicideList),
                 QStringList({"10|atrazine", "11|dicamba", "12|nicosulfuron"}));
    }

    void mixtureViewsSelectExactlyTheEnteredHerbicides() {
        const QString details = QStringLiteral("DétailsHerbicides");
        auto window = [&](int r, int id, const char* low, const char* high, int formulation = 0) {
            m_db->redefineView(QStringLiteral("Herbicide%1").arg(r),
                               herbicideWindow(id, QString::fromLatin1(low),
                                               QString::fromLatin1(high), formulation));
        };
        window(1, 10, "0.449999988079071", "0.550000011920929");
        QCOMPARE(rows(QStringLiteral("SELECT DateHerbId FROM Herbicide1")),
                 QStringList({"2", "3", "5", "6", "7"}));
        QCOMPARE(view(details, kDetailsHerbicides1), QStringList({"3", "6", "7"}));
        // A formulation narrows its own herbicide only.
        window(1, 10, "0.45", "0.55", 1);
        QCOMPARE(rows(QStringLiteral("SELECT * FROM DétailsHerbicides")), QStringList({"6", "7"}));

        window(1, 10, "0.45", "0.55");
        window(2, 11, "0.27", "0.33");
        // Application 5 holds a third product: its row count is 3, not 2.
        QCOMPARE(view(details, kDetailsHerbicides2), QStringList({"2"}));
        window(3, 12, "0.018", "0.022");
        QCOMPARE(view(details, kDetailsHerbicides3), QStringList({"5"}));
        window(4, 13, "0", "9");
        QCOMPARE(view(details, kDetailsHerbicides4), QStringList());

        m_db->redefineView(details, kDetailsHerbicides1);
        QCOMPARE(view(QStringLiteral("DétailsApplication"), detailsApplication(1)),
                 QStringList({"3|3|1", "6|6|1", "7|6|1"}));
        QCOMPARE(view(QStringLiteral("DétailsApplication"), detailsApplication(2)), QStringList());
    }

    void treatmentConditionsFilterOnCropSiteAndStage_data() {
        QTest::addColumn<QStringList>("conditions");
        QTest::addColumn<QStringList>("treatments"); // the view's rows
        QTest::newRow("all corn") << QStringList{kAllCorn} << QStringList{"3|3", "6|6", "7|6"};
        QTest::newRow("one crop") << QStringList{"((tblCultureEXP.CultureId) = 149)"}
                                  << QStringList{"6|6", "7|6"};
        QTest::newRow("texture") << QStringList{kAllCorn, "((tbldesSites.ClasseTexturaleId) = 1)"}
                                 << QStringList();
        QTest::newRow("organic matter, pH, province")
            << QStringList{kAllCorn, "((tbldesSites.MatièreOrganique) Between 7 And 9)",
                           "((tbldesSites.pH) Between 7 And 7.5)", "((tbldesSites.ProvinceID) = 2)"}
            << QStringList{"3|3", "6|6", "7|6"};
        QTest::newRow("variety, previous crop, grains sown, spacing")
            << QStringList{kAllCorn, "((tblCultureEXP.VariétéId) = 1)",
                           "((tblCultureEXP.AntécédentID) = 1)",
                           "((tblCultureEXP.TauxSemisSe) Between 75000 And 80000)",
                           "((tblCultureEXP.EcartPLantEXP) Between 70 And 80)"}
            << QStringList{"6|6", "7|6"};
        QTest::newRow("kg sown, depth, wide spacing")
            << QStringList{kAllCorn, "((tblCultureEXP.TauxSemisKg) Between 18 And 20)",
                           "((tblCultureEXP.ProfPlantEXP) Between 5 And 6)",
                           "((tblCultureEXP.EcartPLantEXP) > 90)"}
            << QStringList{"3|3"};
        QTest::newRow("leaves")
            << QStringList{kAllCorn, "((tblStadeCultureH.NoFeuilMoyenneCultH) Between 2 And 3)",
                           kAllCornStage}
            << QStringList{"3|3", "6|6"};
        QTest::newRow("height")
            << QStringList{kAllCorn, "((tblStadeCultureH.HautMoyenneCultH) Between 10 And 30)",
                           "((tblStadeCultureH.CultureId) = 149)"}
            << QStringList{"7|6"};
    }

    // As the report sends them: the stage rows joined only for a stage range.
    void treatmentConditionsFilterOnCropSiteAndStage() {
        QFETCH(QStringList, conditions);
        QFETCH(QStringList, treatments);
        defineSingleAtrazineChain();
        const bool stage = conditions.join(QString()).contains(QLatin1String("tblStadeCultureH"));
        QCOMPARE(view(QStringLiteral("DétailsTraitements"),
                      stage ? detailsTraitements(conditions)
                            : detailsTraitementsWithoutStage(conditions)),
                 treatments);
    }

    void aggregationFillsTheResultsCells() {
        defineSingleAtrazineChain();
        m_db->redefineView(QStringLiteral("DétailsTraitements"),
                           detailsTraitementsWithoutStage({kAllCorn}));

        m_db->execute(perWeed());
        // Treatment 6 comes out twice (two matching applications), so its ratings count twice.
        QCOMPARE(rows(QStringLiteral("SELECT * FROM tblQueryResults")),
                 QStringList(
                     {"15|chénopode blanc|65|2", "16|pied-de-coq|56|3", "34|sétaire verte|~|0"}));
        m_db->execute(kPerCategory);
        QCOMPARE(rows(QStringLiteral("SELECT * FROM tblQueryResults_Cat")),
                 QStringList({"1|56|3", "2|60|3"}));
        QCOMPARE(rows(QStringLiteral("SELECT Sum(tblQueryResults_cat.CompteDeVisuel) AS "
                                     "CompteCas FROM tblQueryResults_cat;")),
                 QStringList({"6"}));

        m_db->execute(cellUpdate(QStringLiteral("tblQueryResults"), QStringLiteral("MHId"), 2));
        m_db->execute(
            cellUpdate(QStringLiteral("tblQueryResults_Cat"), QStringLiteral("TypeMHId"), 2));
        QCOMPARE(rows(QStringLiteral("SELECT NoId, [5], [6], [4], [7] FROM tblResults WHERE "
                                     "NoId IN (1, 2, 3, 4, 8, 9) ORDER BY NoId")),
                 QStringList({"1|56|3| - | - ", "2|56|3| - | - ", "3|~|0| - | - ",
                              "4| - | - | - | - ", "8|60|3| - | - ", "9|65|2| - | - "}));
        QCOMPARE(rows(QStringLiteral("SELECT typeof([5]) FROM tblResults WHERE NoId = 2")),
                 QStringList({"text"}));

        // An extra weed appended to the list gets its own row.
        m_db->execute(QStringLiteral("drop table tblQueryResults"));
        m_db->execute(perWeed(QStringLiteral(" Or (tblMHEval.MHId)=200")));
        QCOMPARE(rows(QStringLiteral("SELECT MHId, Moyenne, CompteDeVisuel FROM "
                                     "tblQueryResults WHERE MHId = 200")),
                 QStringList({"200|50|1"}));
    }

    void resetStatementsRestoreTheEmptyTable() {
        m_db->execute(QStringLiteral("UPDATE tblResults SET [3] = '12', Results = '     x', "
                                     "ResultsId = 5 WHERE NoId IN (2, 7, 31)"));
        m_db->execute(kResetCells);
        m_db->execute(QStringLiteral("UPDATE tblResults SET tblResults.Results = '     --------' "
                                     "WHERE (((tblResults.NoId)>30));"));
        m_db->execute(QStringLiteral("UPDATE tblResults SET tblResults.ResultsID = NULL WHERE "
                                     "(((tblResults.NoId)>30));"));
        QCOMPARE(rows(QStringLiteral("SELECT NoId, Results, ResultsId, [1], [3], [10] FROM "
                                     "tblResults WHERE NoId IN (2, 7, 30, 31) ORDER BY NoId")),
                 QStringList({"2|     x|5| - | - | - ", "7|     x|5|kept|12|kept",
                              "30|Sélection de l'utilisateur|~|kept| - |kept",
                              "31|     --------|~| - | - | - "}));
    }

    // The three-product grid is read through the picker itself (TestRatePicker).
    void ratePickerStatementsListDistinctCombinations() {
        const QString application = QStringLiteral("DétailsApplication");
        view(application, kRatesHead[0] + holding(1, {10}));
        QCOMPARE(rows(QStringLiteral("SELECT DétailsApplication.Taux1 FROM DétailsApplication "
                                     "GROUP BY DétailsApplication.Taux1 ORDER BY "
                                     "DétailsApplication.Taux1;")),
                 QStringList({"0.5", "1"}));
        QCOMPARE(view(application, kRatesHead[3] + holding(4, {10, 11, 12, 13})), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestJetDialect)
#include "TestJetDialect.moc"
