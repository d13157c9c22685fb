#pragma once

#include <QString>
#include <QStringList>

// Statements of the report chain and the choice lists, written out in full as the program
// must send them, for the tests of the dialect and of the statement builders.
namespace quoted {

inline const QString kHerbicideList = QStringLiteral(
    "SELECT tblDétailsHerbicides.HerbicideId AS tblId, ListeDesHerbicides.Herbicide AS tblField "
    "FROM ListeDesHerbicides INNER JOIN (tblDétailsHerbicides INNER JOIN DétailsApplication ON "
    "tblDétailsHerbicides.DateHerbId = DétailsApplication.DateHerbId) ON "
    "ListeDesHerbicides.HerbicideId = tblDétailsHerbicides.HerbicideId GROUP BY "
    "tblDétailsHerbicides.HerbicideId, ListeDesHerbicides.Herbicide ORDER BY "
    "ListeDesHerbicides.Herbicide;");

inline const QString kCountIn =
    QStringLiteral("WHERE (((tblPériodesApplication.DateHerbId) In (SELECT [DateHerbId] FROM "
                   "[tbldétailsherbicides] As Tmp GROUP BY [DateHerbId] HAVING Count(*)=");

inline QString herbicideWindow(int id, const QString& low, const QString& high,
                               int formulation = 0) {
    QString s = QStringLiteral("SELECT * FROM tblDétailsHerbicides WHERE "
                               "(((tblDétailsHerbicides.HerbicideId)=%1)")
                    .arg(id);
    if (formulation)
        s += QStringLiteral(" AND ((tblDétailsHerbicides.FormulationId)=%1)").arg(formulation);
    return s + QStringLiteral(" AND ((tblDétailsHerbicides.HerbTauxH) Between %1 and %2));")
                   .arg(low, high);
}

inline const QString kDetailsHerbicides1 = QStringLiteral(
    "SELECT First(tblDétailsHerbicides.DateHerbId) AS DateHerbId FROM Herbicide1 INNER JOIN "
    "tblDétailsHerbicides ON Herbicide1.DateHerbId = tblDétailsHerbicides.DateHerbId GROUP BY "
    "tblDétailsHerbicides.DateHerbId HAVING (((Count(tblDétailsHerbicides.DateHerbId))=1));");
inline const QString kDetailsHerbicides2 = QStringLiteral(
    "SELECT First(tblDétailsHerbicides.DateHerbId) AS DateHerbId FROM Herbicide2 INNER JOIN "
    "(Herbicide1 INNER JOIN tblDétailsHerbicides ON Herbicide1.DateHerbId = "
    "tblDétailsHerbicides.DateHerbId) ON Herbicide2.DateHerbId = tblDétailsHerbicides.DateHerbId "
    "GROUP BY tblDétailsHerbicides.DateHerbId HAVING "
    "(((Count(tblDétailsHerbicides.DateHerbId))=2));");
inline const QString kDetailsHerbicides3 = QStringLiteral(
    "SELECT First(tblDétailsHerbicides.DateHerbId) AS DateHerbId FROM Herbicide3 INNER JOIN "
    "((Herbicide1 INNER JOIN tblDétailsHerbicides ON Herbicide1.DateHerbId = "
    "tblDétailsHerbicides.DateHerbId) INNER JOIN Herbicide2 ON tblDétailsHerbicides.DateHerbId = "
    "Herbicide2.DateHerbId) ON Herbicide3.DateHerbId = tblDétailsHerbicides.DateHerbId GROUP BY "
    "tblDétailsHerbicides.DateHerbId HAVING (((Count(tblDétailsHerbicides.DateHerbId))=3));");
inline const QString kDetailsHerbicides4 = QStringLiteral(
    "SELECT First(tblDétailsHerbicides.DateHerbId) AS DateHerbId FROM Herbicide4 INNER JOIN "
    "(Herbicide3 INNER JOIN ((Herbicide1 INNER JOIN tblDétailsHerbicides ON Herbicide1.DateHerbId "
    "= tblDétailsHerbicides.DateHerbId) INNER JOIN Herbicide2 ON tblDétailsHerbicides.DateHerbId = "
    "Herbicide2.DateHerbId) ON Herbicide3.DateHerbId = tblDétailsHerbicides.DateHerbId) ON "
    "Herbicide4.DateHerbId = tblDétailsHerbicides.DateHerbId GROUP BY "
    "tblDétailsHerbicides.DateHerbId HAVING (((Count(tblDétailsHerbicides.DateHerbId))=4));");

inline QString detailsApplication(int period) {
    return QStringLiteral(
               "SELECT tblPériodesApplication.DateHerbId, tblPériodesApplication.TraitementId, "
               "tblPériodesApplication.TypeApplicationId FROM tblPériodesApplication INNER JOIN "
               "DétailsHerbicides ON tblPériodesApplication.DateHerbId = "
               "DétailsHerbicides.DateHerbId WHERE (((tblPériodesApplication.TypeApplicationId)="
               "%1));")
        .arg(period);
}

inline const QString kAllCorn =
    QStringLiteral("((tblCultureEXP.CultureId)=147 Or (tblCultureEXP.CultureId)=149 Or "
                   "(tblCultureEXP.CultureId)=240 Or (tblCultureEXP.CultureId)=242)");
inline const QString kAllCornStage =
    QStringLiteral("((tblStadeCultureH.CultureId)=147 Or (tblStadeCultureH.CultureId)=149 Or "
                   "(tblStadeCultureH.CultureId)=240 Or (tblStadeCultureH.CultureId)=242)");

// With a crop-stage range among the conditions: the stage rows are joined.
inline QString detailsTraitements(const QStringList& conditions) {
    return QStringLiteral(
               "SELECT  DétailsApplication.DateHerbId, tbldesTraitements.TraitementId FROM "
               "(tbldesSites INNER JOIN (tblStadeCultureH INNER JOIN (tbldesTraitements INNER "
               "JOIN DétailsApplication ON tbldesTraitements.TraitementId = "
               "DétailsApplication.TraitementId) ON tblStadeCultureH.DateHerbId = "
               "DétailsApplication.DateHerbId) ON tbldesSites.SiteExpId = "
               "tbldesTraitements.SiteExpId) INNER JOIN tblCultureEXP ON "
               "tbldesTraitements.TraitementId = tblCultureEXP.TraitementId WHERE (") +
           conditions.join(QStringLiteral(" And ")) + QStringLiteral(");");
}

// Without a crop-stage range: the stage rows are not joined, so an application without one
// still counts.
inline QString detailsTraitementsWithoutStage(const QStringList& conditions) {
    return QStringLiteral(
               "SELECT  DétailsApplication.DateHerbId, tbldesTraitements.TraitementId FROM "
               "(tbldesSites INNER JOIN (tbldesTraitements INNER JOIN DétailsApplication ON "
               "tbldesTraitements.TraitementId = DétailsApplication.TraitementId) ON "
               "tbldesSites.SiteExpId = tbldesTraitements.SiteExpId) INNER JOIN tblCultureEXP ON "
               "tbldesTraitements.TraitementId = tblCultureEXP.TraitementId WHERE (") +
           conditions.join(QStringLiteral(" And ")) + QStringLiteral(");");
}

inline QString perWeed(const QString& extra = QString()) {
    return QStringLiteral(
               "SELECT tblMHEval.MHId, ListedesMauvaisesHerbes.[Nom-Francais], "
               "Fix(Avg([Visuel])) AS Moyenne, Count(tblMHEval.Visuel) AS CompteDeVisuel INTO "
               "tblQueryResults FROM ListedesMauvaisesHerbes INNER JOIN (DétailsTraitements "
               "INNER JOIN tblMHEval ON DétailsTraitements.TraitementId = tblMHEval.TraitementId) "
               "ON ListedesMauvaisesHerbes.MHId = tblMHEval.MHId GROUP BY tblMHEval.MHId, "
               "ListedesMauvaisesHerbes.[Nom-Francais] HAVING (((tblMHEval.MHId)=16 Or "
               "(tblMHEval.MHId)=34 Or (tblMHEval.MHId)=15 Or (tblMHEval.MHId)=103 Or "
               "(tblMHEval.MHId)=100 Or (tblMHEval.MHId)=133 Or (tblMHEval.MHId)=24 Or "
               "(tblMHEval.MHId)=94 Or (tblMHEval.MHId)=38 Or (tblMHEval.MHId)=47 Or "
               "(tblMHEval.MHId)=122 Or (tblMHEval.MHId)=121 Or (tblMHEval.MHId)=92 Or "
               "(tblMHEval.MHId)=152 Or (tblMHEval.MHId)=45 Or (tblMHEval.MHId)=46 Or "
               "(tblMHEval.MHId)=12 Or (tblMHEval.MHId)=52 Or (tblMHEval.MHId)=43") +
           extra + QStringLiteral("));");
}

inline const QString kPerCategory = QStringLiteral(
    "SELECT ListedesMauvaisesHerbes.TypeMHId, Fix(Avg([Visuel])) AS Moyenne, "
    "Count(tblMHEval.Visuel) AS CompteDeVisuel INTO tblQueryResults_Cat FROM "
    "ListedesMauvaisesHerbes INNER JOIN (DétailsTraitements INNER JOIN tblMHEval ON "
    "DétailsTraitements.TraitementId = tblMHEval.TraitementId) ON ListedesMauvaisesHerbes.MHId = "
    "tblMHEval.MHId GROUP BY ListedesMauvaisesHerbes.TypeMHId HAVING "
    "(((ListedesMauvaisesHerbes.TypeMHId)=1 Or (ListedesMauvaisesHerbes.TypeMHId)=2 Or "
    "(ListedesMauvaisesHerbes.TypeMHId)=3 Or (ListedesMauvaisesHerbes.TypeMHId)=4 Or "
    "(ListedesMauvaisesHerbes.TypeMHId)=7));");

inline QString cellUpdate(const QString& table, const QString& key, int k) {
    return QStringLiteral("UPDATE %1 INNER JOIN tblResults ON %1.%2 = tblResults.ResultsId SET "
                          "tblResults.[%3] = [%1]![Moyenne], tblResults.[%4] = "
                          "[%1]![CompteDeVisuel];")
        .arg(table, key)
        .arg(2 * k + 1)
        .arg(2 * k + 2);
}

inline const QString kResetCells = QStringLiteral(
    "UPDATE tblResults SET tblResults.[1] = ' - ', tblResults.[2] = ' - ', tblResults.[3] = ' - ', "
    "tblResults.[4] = ' - ', tblResults.[5] = ' - ', tblResults.[6] = ' - ', tblResults.[7] = ' - "
    "', tblResults.[8] = ' - ', tblResults.[9] = ' - ', tblResults.[10] = ' - ' WHERE ((Not "
    "((tblResults.NoId)=7 Or (tblResults.NoId)=13 Or (tblResults.NoId)=22 Or "
    "(tblResults.NoId)=25 Or (tblResults.NoId)=29 Or (tblResults.NoId)=30)));");

inline const QString kCountHead =
    QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM tblPériodesApplication ");

// The heads of the cascade statements for herbicide r = 0, 1, 2.
inline const QString kHerbicideStepHead[3] = {
    QStringLiteral(
        "SELECT tblPériodesApplication.DateHerbId FROM tblPériodesApplication INNER JOIN "
        "tblDétailsHerbicides ON tblPériodesApplication.DateHerbId = "
        "tblDétailsHerbicides.DateHerbId "),
    QStringLiteral(
        "SELECT tblPériodesApplication.DateHerbId FROM (tblPériodesApplication INNER JOIN "
        "tblDétailsHerbicides ON tblPériodesApplication.DateHerbId = "
        "tblDétailsHerbicides.DateHerbId) INNER JOIN tblDétailsHerbicides AS "
        "tblDétailsHerbicides_1 ON tblPériodesApplication.DateHerbId = "
        "tblDétailsHerbicides_1.DateHerbId "),
    QStringLiteral(
        "SELECT tblPériodesApplication.DateHerbId FROM (tblDétailsHerbicides AS "
        "tblDétailsHerbicides_2 INNER JOIN (tblDétailsHerbicides AS tblDétailsHerbicides_1 "
        "INNER JOIN tblPériodesApplication ON tblDétailsHerbicides_1.DateHerbId = "
        "tblPériodesApplication.DateHerbId) ON tblDétailsHerbicides_2.DateHerbId = "
        "tblPériodesApplication.DateHerbId) INNER JOIN tblDétailsHerbicides ON "
        "tblPériodesApplication.DateHerbId = tblDétailsHerbicides.DateHerbId ")};

// The heads of the rate picker's statements for 1, 3 and 4 herbicides (2 is not written out).
inline const QString kRatesHead[4] = {
    QStringLiteral(
        "SELECT tblDétailsHerbicides.HerbTauxH AS Taux1 FROM (tblPériodesApplication INNER "
        "JOIN tblDétailsHerbicides ON tblPériodesApplication.DateHerbId = "
        "tblDétailsHerbicides.DateHerbId) "),
    QString(),
    QStringLiteral(
        "SELECT tblDétailsHerbicides.HerbTauxH AS Taux1, tblDétailsHerbicides_1.HerbTauxH AS "
        "Taux2, tblDétailsHerbicides_2.HerbTauxH AS Taux3 FROM tblDétailsHerbicides AS "
        "tblDétailsHerbicides_2 INNER JOIN ((tblPériodesApplication INNER JOIN "
        "tblDétailsHerbicides ON tblPériodesApplication.DateHerbId = "
        "tblDétailsHerbicides.DateHerbId) INNER JOIN tblDétailsHerbicides AS "
        "tblDétailsHerbicides_1 ON tblPériodesApplication.DateHerbId = "
        "tblDétailsHerbicides_1.DateHerbId) ON tblDétailsHerbicides_2.DateHerbId = "
        "tblPériodesApplication.DateHerbId "),
    QStringLiteral(
        "SELECT tblDétailsHerbicides.HerbTauxH AS Taux1, tblDétailsHerbicides_1.HerbTauxH AS "
        "Taux2, tblDétailsHerbicides_2.HerbTauxH AS Taux3, tblDétailsHerbicides_3.HerbTauxH "
        "AS Taux4 FROM tblDétailsHerbicides AS tblDétailsHerbicides_3 INNER JOIN "
        "(((tblPériodesApplication INNER JOIN tblDétailsHerbicides ON "
        "tblPériodesApplication.DateHerbId = tblDétailsHerbicides.DateHerbId) INNER JOIN "
        "tblDétailsHerbicides AS tblDétailsHerbicides_1 ON tblPériodesApplication.DateHerbId "
        "= tblDétailsHerbicides_1.DateHerbId) INNER JOIN tblDétailsHerbicides AS "
        "tblDétailsHerbicides_2 ON tblPériodesApplication.DateHerbId = "
        "tblDétailsHerbicides_2.DateHerbId) ON tblDétailsHerbicides_3.DateHerbId = "
        "tblPériodesApplication.DateHerbId ")};

} // namespace quoted
