#include "QuotedStatements.h"
#include "core/db/DE.h"
#include "core/report/ListStatements.h"
#include "core/report/NumberText.h"
#include "core/report/ReportEngine.h"
#include "core/report/ReportStatements.h"

#include "FixtureReports.h"

#include <QtTest>

using namespace grelavo;

class TestReportStatements : public QObject {
    Q_OBJECT

private:
    DE m_de{QString()}; // statements are built without opening the database

    ReportEngine::Statements statements(const ParameterSet& p, int fraction,
                                        const QLocale& locale = QLocale(QLocale::French,
                                                                        QLocale::Canada)) {
        ReportEngine engine(m_de, locale);
        const auto s = engine.statementsFor(p, fraction);
        if (!s)
            qWarning() << engine.refusal();
        return s.value_or(ReportEngine::Statements{});
    }

    static void setRange(QString& low, QString& high, const char* from, const char* to) {
        low = QString::fromUtf8(from);
        high = QString::fromUtf8(to);
    }

    // Atrazine at 1,5 with every optional site and crop parameter, leaves for the crop's stage.
    static ParameterSet everyOption() {
        ParameterSet p = atrazine(QStringLiteral("1,5"));
        p.cbbCult = {QStringLiteral("Maïs grain"), 149};
        p.cbbSiteClaTex = {QStringLiteral("loam"), 4};
        setRange(p.cbbSiteMatOrgDe, p.cbbSiteMatOrgA, "3", "10");
        setRange(p.cbbSitepHDe, p.cbbSitepHA, "6,5", "7");
        p.cbbSiteProv = {QStringLiteral("Québec"), 1};
        p.cbbCultVar = {QStringLiteral("Hybride A"), 7};
        p.cbbCultAnte = {QStringLiteral("soya"), 2};
        p.optKg = p.optHaut = false;
        setRange(p.txtCultSemisDe, p.txtCultSemisA, "70000", "80000");
        setRange(p.txtCultFeuilDe, p.txtCultFeuilA, "2", "4,5");
        p.txtCultHautDe = QStringLiteral("ignored while leaves are chosen");
        setRange(p.cbbCultProfDe, p.cbbCultProfA, "2", "10");
        p.cbbCultEcart = {QStringLiteral("100 et +"), 4};
        return p;
    }

private slots:
    void boundsCarryTheSinglePrecisionFactor() {
        const auto f0 = statements(atrazine(QStringLiteral("1")), 0);
        QCOMPARE(f0.herbicide[0],
                 QStringLiteral("SELECT * FROM tblDétailsHerbicides WHERE "
                                "(((tblDétailsHerbicides.HerbicideId)=10) AND "
                                "((tblDétailsHerbicides.HerbTauxH) Between 0.449999988079071 and "
                                "0.550000011920929));"));
        QVERIFY(statements(atrazine(QStringLiteral("1")), 4)
                    .herbicide[0]
                    .endsWith(QStringLiteral("Between 0.949999988079071 and 1.04999995231628));")));
        // A rate typed with a comma under French settings reaches the statement with a point.
        QVERIFY(statements(atrazine(QStringLiteral("1,5")), 4)
                    .herbicide[0]
                    .contains(QStringLiteral("Between 1.42499998211861 and 1.57499992847443")));
        QCOMPARE(
            statements(atrazine(QStringLiteral("1.5")), 4, QLocale(QLocale::English)).herbicide[0],
            statements(atrazine(QStringLiteral("1,5")), 4).herbicide[0]);
    }

    void writesNumbersPlainly() {
        QCOMPARE(NumberText::forStatement(0.00001), QStringLiteral("0.00001"));
        QCOMPARE(NumberText::forStatement(1234567.5), QStringLiteral("1234567.5"));
        QCOMPARE(NumberText::forStatement(-2.5), QStringLiteral("-2.5"));
        QCOMPARE(NumberText::forStatement(9), QStringLiteral("9"));
        QCOMPARE(NumberText::forStatement(0), QStringLiteral("0"));
        const QLocale english(QLocale::English);
        QCOMPARE(NumberText::parse(QStringLiteral(" 2.5 "), english), std::optional<double>(2.5));
        QVERIFY(!NumberText::parse(QStringLiteral("1,500"), english));
        QVERIFY(!NumberText::parse(QStringLiteral("abc"), english));
        QVERIFY(!NumberText::parse(QString(), english));
    }

    void mixtureStatementsFollowTheHerbicideRows() {
        ParameterSet p = atrazine(QStringLiteral("1"));
        for (int i = 1; i < 4; ++i) {
            p.cbbHerbApp[i] = {QStringLiteral("h%1").arg(i), 20 + i};
            p.SelectedHerbicideId[i] = static_cast<qint16>(20 + i);
            p.EnteredRate[i] = QStringLiteral("2");
        }
        p.cbbFormApp[1] = {QStringLiteral("CE"), 3};
        p.cbbFormApp[2] = {QStringLiteral("typed"), std::nullopt}; // not an item: no condition
        const auto s = statements(p, 0);
        QCOMPARE(s.detailsHerbicides, quoted::kDetailsHerbicides4);
        QVERIFY(s.herbicide[1].contains(QStringLiteral(
            "=21) AND ((tblDétailsHerbicides.FormulationId)=3) AND ((tblDétailsHerbicides")));
        QVERIFY(!s.herbicide[2].contains(QStringLiteral("FormulationId")));
        QCOMPARE(s.detailsApplication, quoted::detailsApplication(1));
        QCOMPARE(ReportStatements::detailsHerbicides(1), quoted::kDetailsHerbicides1);
        QCOMPARE(ReportStatements::detailsHerbicides(2), quoted::kDetailsHerbicides2);
        QCOMPARE(ReportStatements::detailsHerbicides(3), quoted::kDetailsHerbicides3);
        p.cbbHerbApp[3] = {};
        QCOMPARE(statements(p, 0).herbicide[3], QString());
        QCOMPARE(statements(p, 0).detailsHerbicides, quoted::kDetailsHerbicides3);
    }

    void optionalParametersGiveConditionsInTheirOrder() {
        QCOMPARE(statements(atrazine(QStringLiteral("1,5")), 0).detailsTraitements,
                 quoted::detailsTraitementsWithoutStage({quoted::kAllCorn}));
        QCOMPARE(statements(everyOption(), 2).detailsTraitements,
                 quoted::detailsTraitements(
                     {"((tblCultureEXP.CultureId) = 149)", "((tbldesSites.ClasseTexturaleId) = 4)",
                      "((tbldesSites.MatièreOrganique) Between 3 And 10)",
                      "((tbldesSites.pH) Between 6.5 And 7)", "((tbldesSites.ProvinceID) = 1)",
                      "((tblCultureEXP.VariétéId) = 7)", "((tblCultureEXP.AntécédentID) = 2)",
                      "((tblCultureEXP.TauxSemisSe) Between 70000 And 80000)",
                      "((tblStadeCultureH.NoFeuilMoyenneCultH) Between 2 And 4.5)",
                      "((tblStadeCultureH.CultureId) = 149)",
                      "((tblCultureEXP.ProfPlantEXP) Between 2 And 10)",
                      "((tblCultureEXP.EcartPLantEXP) >= 100)"}));
    }

    void optionalParametersGiveSummaryLinesInTheirOrder() {
        QCOMPARE(
            ReportEngine::Set_ParamList(atrazine(QStringLiteral("1,5"))),
            QStringList({"Type d'application = Prélevée",
                         "Herbicide 1 = atrazine, Taux = 1,5 kg/ha", "Culture = Maïs (tous)"}));
        QCOMPARE(
            ReportEngine::Set_ParamList(everyOption()).mid(2),
            QStringList({"culture = Maïs grain, variété = Hybride A",
                         "Culture\u00a0: entre 2 et 4,5 feuilles", "Antécédent cultural = soya",
                         "Profondeur du semis\u00a0: entre 2 et 10 cm",
                         "Taux de semis\u00a0: entre 70000 et 80000 grains/ha",
                         "Écart entre les rangs\u00a0: 100 et + cm", "Province = Québec",
                         "Classe texturale = loam", "pH\u00a0: entre 6,5 et 7",
                         "Matière organique\u00a0: entre 3 et 10 %"}));
    }

    // Heights chosen while leaves are still entered: the heights count; with no height typed,
    // no stage range is left and no stage rows are joined.
    void chosenHeightsOverrideTheLeavesEntered() {
        ParameterSet p = everyOption();
        p.optHaut = p.optKg = true;
        setRange(p.txtCultHautDe, p.txtCultHautA, "10", "30");
        p.cbbCult = {QStringLiteral("Maïs (tous)"), ParameterSet::AllCornItemData};
        const QString s = statements(p, 0).detailsTraitements;
        QVERIFY(s.contains(QStringLiteral("((tblStadeCultureH.HautMoyenneCultH) Between 10 And "
                                          "30) And ") +
                           quoted::kAllCornStage));
        QCOMPARE(s.section(QStringLiteral(" WHERE "), 0, 0),
                 quoted::detailsTraitements({}).section(QStringLiteral(" WHERE "), 0, 0));
        const QStringList lines = ReportEngine::Set_ParamList(p);
        QCOMPARE(lines.at(3), QStringLiteral("Hauteur de la culture\u00a0: entre 10 et 30 cm"));
        QCOMPARE(lines.at(6), QStringLiteral("Taux de semis\u00a0: entre 70000 et 80000 kg/ha"));
        p.txtCultHautDe.clear();
        QVERIFY(!statements(p, 0).detailsTraitements.contains(QStringLiteral("tblStadeCultureH")));
    }

    void rowSpacingItemsGiveTheirConditions() {
        QCOMPARE(ReportStatements::rowSpacingCondition(0),
                 std::optional<QString>("((tblCultureEXP.EcartPLantEXP) Between 60 And 70)"));
        QCOMPARE(ReportStatements::rowSpacingCondition(3),
                 std::optional<QString>("((tblCultureEXP.EcartPLantEXP) > 90)"));
        QVERIFY(!ReportStatements::rowSpacingCondition(5));
    }

    void textsThatAreNotNumbersNeverReachAStatement() {
        ReportEngine engine(m_de, QLocale(QLocale::French, QLocale::Canada));
        QVERIFY(!engine.statementsFor(atrazine(QStringLiteral("1.5.0")), 0));
        QVERIFY(engine.refusal().contains(QStringLiteral("1.5.0")));
        // A rate takes either decimal separator: 1.5 under fr_CA is 1,5.
        const auto point = engine.statementsFor(atrazine(QStringLiteral("1.5")), 4);
        QVERIFY(point);
        QCOMPARE(point->herbicide[0],
                 engine.statementsFor(atrazine(QStringLiteral("1,5")), 4)->herbicide[0]);
        ParameterSet pasted = atrazine(QStringLiteral("1"));
        pasted.cbbSitepHDe = QStringLiteral("6) Or (1=1");
        pasted.cbbSitepHA = QStringLiteral("7");
        QVERIFY(!engine.statementsFor(pasted, 0));
        QVERIFY(!engine.SetQuery(pasted)); // refused before the database is reached
        QVERIFY(!m_de.isConnected());
        ParameterSet gap = atrazine(QStringLiteral("1"));
        gap.cbbHerbApp[2] = {QStringLiteral("dicamba"), 11};
        gap.EnteredRate[2] = QStringLiteral("1");
        QVERIFY(!engine.statementsFor(gap, 0));
        ParameterSet typedCrop = atrazine(QStringLiteral("1"));
        typedCrop.cbbCult = {QStringLiteral("Maïs grai"), std::nullopt};
        QVERIFY(!engine.statementsFor(typedCrop, 0));
    }

    void resetAndWeedListAreTheFixedTexts() {
        QCOMPARE(ReportStatements::resetResults().first(), quoted::kResetCells);
        QVERIFY(ReportStatements::perWeed({200, 201})
                    .endsWith(QStringLiteral("(ListedesMauvaisesHerbes.MHId)=43 Or "
                                             "(ListedesMauvaisesHerbes.MHId)=200 Or "
                                             "(ListedesMauvaisesHerbes.MHId)=201));")));
    }

    // The steps that narrow the mixture are held to the plain statements by the rows they give
    // (TestLists); the herbicide list and the distinct rates keep their texts.
    void listStatementsKeepTheirTexts() {
        QCOMPARE(ListStatements::herbicideList(), quoted::kHerbicideList);
        QCOMPARE(ListStatements::distinctRates(2),
                 QStringLiteral("SELECT DétailsApplication.Taux1, DétailsApplication.Taux2 FROM "
                                "DétailsApplication GROUP BY DétailsApplication.Taux1, "
                                "DétailsApplication.Taux2 ORDER BY DétailsApplication.Taux1, "
                                "DétailsApplication.Taux2;"));
    }
};

QTEST_GUILESS_MAIN(TestReportStatements)
#include "TestReportStatements.moc"
