#include "ReportStatements.h"

#include "core/db/JetDialect.h"
#include "core/db/Lists.h"

namespace grelavo {

namespace {

QString cornCondition(const QString& column) {
    QStringList terms;
    for (int crop : ReportStatements::allCornCrops())
        terms << QStringLiteral("(%1)=%2").arg(column).arg(crop);
    return QStringLiteral("(") + terms.join(QStringLiteral(" Or ")) + QStringLiteral(")");
}

QString idList(const QString& column, const QVector<int>& ids) {
    QStringList terms;
    for (int id : ids)
        terms << QStringLiteral("(%1)=%2").arg(column).arg(id);
    return terms.join(QStringLiteral(" Or "));
}

// The ratings of the matched treatments, each once, read from the temporary table the
// fraction filled (NotesRetenues).
const QString kMatchingRatings = QStringLiteral(
    "FROM ListedesMauvaisesHerbes INNER JOIN NotesRetenues ON ListedesMauvaisesHerbes.MHId = "
    "NotesRetenues.MHId ");

} // namespace

const QVector<int>& ReportStatements::standardWeeds() {
    static const QVector<int> weeds = {16,  34,  15, 103, 100, 133, 24, 94, 38, 47,
                                       122, 121, 92, 152, 45,  46,  12, 52, 43};
    return weeds;
}

const QVector<int>& ReportStatements::allCornCrops() {
    // The all-corn crop itself, then grain, silage and sweet corn.
    static const QVector<int> crops = {int(lists::kAllCornCrop), 149, 240, 242};
    return crops;
}

const QVector<int>& ReportStatements::reportedCategories() {
    static const QVector<int> categories = {1, 2, 3, 4, 7};
    return categories;
}

QString ReportStatements::herbicideWindow(int herbicideId, std::optional<int> formulationId,
                                          const QString& low, const QString& high) {
    QString s = QStringLiteral("SELECT * FROM tblDétailsHerbicides WHERE "
                               "(((tblDétailsHerbicides.HerbicideId)=%1)")
                    .arg(herbicideId);
    if (formulationId)
        s += QStringLiteral(" AND ((tblDétailsHerbicides.FormulationId)=%1)").arg(*formulationId);
    return s + QStringLiteral(" AND ((tblDétailsHerbicides.HerbTauxH) Between ") + low +
           QStringLiteral(" and ") + high + QStringLiteral("));");
}

QString ReportStatements::detailsHerbicides(int n) {
    static const QString head =
        QStringLiteral("SELECT First(tblDétailsHerbicides.DateHerbId) AS DateHerbId FROM ");
    static const QString core =
        QStringLiteral("Herbicide1 INNER JOIN tblDétailsHerbicides ON Herbicide1.DateHerbId = "
                       "tblDétailsHerbicides.DateHerbId");
    static const QString with2 = QStringLiteral(
        " INNER JOIN Herbicide2 ON tblDétailsHerbicides.DateHerbId = Herbicide2.DateHerbId");
    QString from;
    switch (n) {
    case 1:
        from = core;
        break;
    case 2:
        from = QStringLiteral("Herbicide2 INNER JOIN (") + core +
               QStringLiteral(") ON Herbicide2.DateHerbId = tblDétailsHerbicides.DateHerbId");
        break;
    case 3:
        from = QStringLiteral("Herbicide3 INNER JOIN ((") + core + QStringLiteral(")") + with2 +
               QStringLiteral(") ON Herbicide3.DateHerbId = tblDétailsHerbicides.DateHerbId");
        break;
    default:
        from = QStringLiteral("Herbicide4 INNER JOIN (Herbicide3 INNER JOIN ((") + core +
               QStringLiteral(")") + with2 +
               QStringLiteral(") ON Herbicide3.DateHerbId = tblDétailsHerbicides.DateHerbId) ON "
                              "Herbicide4.DateHerbId = tblDétailsHerbicides.DateHerbId");
    }
    return head + from +
           QStringLiteral(" GROUP BY tblDétailsHerbicides.DateHerbId HAVING "
                          "(((Count(tblDétailsHerbicides.DateHerbId))=%1));")
               .arg(n);
}

QString ReportStatements::detailsApplication(int applicationType) {
    return QStringLiteral(
               "SELECT tblPériodesApplication.DateHerbId, tblPériodesApplication.TraitementId, "
               "tblPériodesApplication.TypeApplicationId FROM tblPériodesApplication INNER JOIN "
               "DétailsHerbicides ON tblPériodesApplication.DateHerbId = "
               "DétailsHerbicides.DateHerbId WHERE (((tblPériodesApplication.TypeApplicationId)="
               "%1));")
        .arg(applicationType);
}

QString ReportStatements::detailsTraitements(const QStringList& conditions, bool withStage) {
    static const QString applications = QStringLiteral(
        "tbldesTraitements INNER JOIN DétailsApplication ON tbldesTraitements.TraitementId = "
        "DétailsApplication.TraitementId");
    const QString treated = withStage
                                ? QStringLiteral("(tblStadeCultureH INNER JOIN (") + applications +
                                      QStringLiteral(") ON tblStadeCultureH.DateHerbId = "
                                                     "DétailsApplication.DateHerbId)")
                                : QStringLiteral("(") + applications + QStringLiteral(")");
    return QStringLiteral("SELECT  DétailsApplication.DateHerbId, tbldesTraitements.TraitementId "
                          "FROM (tbldesSites INNER JOIN ") +
           treated +
           QStringLiteral(" ON tbldesSites.SiteExpId = tbldesTraitements.SiteExpId) INNER JOIN "
                          "tblCultureEXP ON tbldesTraitements.TraitementId = "
                          "tblCultureEXP.TraitementId WHERE (") +
           conditions.join(QStringLiteral(" And ")) + QStringLiteral(");");
}

QString ReportStatements::cropCondition(bool allCorn, int cropId) {
    return allCorn ? cornCondition(QStringLiteral("tblCultureEXP.CultureId"))
                   : idCondition(QStringLiteral("tblCultureEXP.CultureId"), cropId);
}

QString ReportStatements::stageCropCondition(bool allCorn, int cropId) {
    return allCorn ? cornCondition(QStringLiteral("tblStadeCultureH.CultureId"))
                   : idCondition(QStringLiteral("tblStadeCultureH.CultureId"), cropId);
}

QString ReportStatements::idCondition(const QString& column, int id) {
    return QStringLiteral("((%1) = %2)").arg(column).arg(id);
}

QString ReportStatements::rangeCondition(const QString& column, const QString& low,
                                         const QString& high) {
    return QStringLiteral("((%1) Between %2 And %3)").arg(column, low, high);
}

std::optional<QString> ReportStatements::rowSpacingCondition(int itemData) {
    const QString column = QStringLiteral("tblCultureEXP.EcartPLantEXP");
    switch (itemData) {
    case 0:
    case 1:
    case 2:
        return rangeCondition(column, QString::number(60 + 10 * itemData),
                              QString::number(70 + 10 * itemData));
    case 3:
        return QStringLiteral("((%1) > 90)").arg(column);
    case 4: // "100 et +": at least 100 cm
        return QStringLiteral("((%1) >= 100)").arg(column);
    default:
        return std::nullopt;
    }
}

QStringList ReportStatements::createMatched() {
    // No declared type on the rates' and ratings' columns: each value is kept, and compared, as
    // the file holds it.
    return {QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ApplicationsRetenues (DateHerbId "
                           "INTEGER PRIMARY KEY, TraitementId, SiteExpId, Taux1, Taux2, Taux3, "
                           "Taux4)"),
            QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS TraitementsRetenus (TraitementId "
                           "INTEGER PRIMARY KEY, DateHerbId INTEGER, SiteExpId INTEGER)"),
            QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS NotesRetenues (MHEvalId INTEGER "
                           "PRIMARY KEY, MHId, TypeMHId, Visuel, TraitementId, DateHerbId, "
                           "SiteExpId)")};
}

QString ReportStatements::clearApplications() {
    return QStringLiteral("DELETE FROM temp.ApplicationsRetenues");
}

QStringList ReportStatements::clearMatched() {
    return {QStringLiteral("DELETE FROM temp.TraitementsRetenus"),
            QStringLiteral("DELETE FROM temp.NotesRetenues")};
}

namespace {

// "(rate1 Between low and high) And ...", the rates named by 'column' (%1: the herbicide's
// position from 1), the bounds as the Herbicide statements write them.
QString inWindows(const QVector<ReportStatements::RateWindow>& windows, const QString& column) {
    QStringList terms;
    for (int i = 0; i < windows.size(); ++i)
        terms << QStringLiteral("(%1 Between %2 and %3)")
                     .arg(column.arg(i + 1), windows[i].low, windows[i].high);
    return QStringLiteral("(") + terms.join(QStringLiteral(" And ")) + QStringLiteral(")");
}

} // namespace

QString ReportStatements::rowsInWindow(int herbicideId, const RateWindow& window, int atMost) {
    return QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM tblDétailsHerbicides WHERE "
                          "HerbicideId = %1 AND HerbTauxH Between %2 and %3 LIMIT %4)")
        .arg(herbicideId)
        .arg(window.low, window.high)
        .arg(atMost);
}

QString ReportStatements::fillApplications(const QStringList& herbicides, int leader,
                                           int applicationType, const FractionWindows& windows) {
    const int n = int(herbicides.size());
    const QString lead = QStringLiteral("h%1").arg(leader + 1);
    QStringList expressions, rates, selected, joins, inSomeFraction;
    for (int i = 1; i <= n; ++i) {
        expressions << QStringLiteral("\"Herbicide%1\" AS (").arg(i) +
                           JetDialect::translate(herbicides[i - 1]) + QLatin1Char(')');
        rates << QStringLiteral("Taux%1").arg(i);
        selected << QStringLiteral("h%1.HerbTauxH").arg(i);
        if (i != leader + 1)
            joins << QStringLiteral(" CROSS JOIN \"Herbicide%1\" AS h%1 ON h%1.DateHerbId = "
                                    "%2.DateHerbId")
                         .arg(i)
                         .arg(lead);
    }
    for (const QVector<RateWindow>& fraction : windows)
        inSomeFraction << inWindows(fraction, QStringLiteral("h%1.HerbTauxH"));
    // The leading herbicide's rows in its windows come first, each application once (a product
    // is one row of its application), then the other herbicides' rows of the same application;
    // the period is read before the mixture's size, which is counted as DétailsHerbicides counts
    // it: every product of the application.
    return QStringLiteral("WITH ") + expressions.join(QStringLiteral(", ")) +
           QStringLiteral(" INSERT INTO temp.ApplicationsRetenues (DateHerbId, TraitementId, "
                          "SiteExpId, ") +
           rates.join(QStringLiteral(", ")) +
           QStringLiteral(") SELECT a.DateHerbId, a.TraitementId, t.SiteExpId, ") +
           selected.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM \"Herbicide%1\" AS %2").arg(leader + 1).arg(lead) +
           joins.join(QString()) +
           QStringLiteral(" CROSS JOIN tblPériodesApplication AS a ON a.DateHerbId = "
                          "%1.DateHerbId LEFT JOIN tbldesTraitements AS t ON t.TraitementId = "
                          "a.TraitementId WHERE a.TypeApplicationId = %2 AND (SELECT "
                          "Count(c.DateHerbId) FROM tblDétailsHerbicides AS c WHERE c.DateHerbId "
                          "= a.DateHerbId) = %3 AND (")
               .arg(lead)
               .arg(applicationType)
               .arg(n) +
           inSomeFraction.join(QStringLiteral(" Or ")) + QStringLiteral(")");
}

QString ReportStatements::keepTreatedApplications(const QString& detailsTraitements,
                                                  int applicationType) {
    return QStringLiteral("WITH \"DétailsApplication\" AS (SELECT DateHerbId, TraitementId, %1 AS "
                          "TypeApplicationId FROM temp.ApplicationsRetenues), "
                          "\"DétailsTraitements\" AS (")
               .arg(applicationType) +
           JetDialect::translate(detailsTraitements) +
           // Asked of each application in turn: the stored query is then read from the
           // application, whichever order its joins are written in.
           QStringLiteral(") DELETE FROM temp.ApplicationsRetenues WHERE NOT EXISTS (SELECT 1 "
                          "FROM \"DétailsTraitements\" AS d WHERE d.DateHerbId = "
                          "ApplicationsRetenues.DateHerbId)");
}

QString ReportStatements::fillMatched(const QVector<RateWindow>& windows) {
    // The treatment's first application in the windows, as DétailsTraitements grouped by
    // treatment gives it.
    return QStringLiteral("INSERT INTO temp.TraitementsRetenus SELECT TraitementId, "
                          "min(DateHerbId), SiteExpId FROM temp.ApplicationsRetenues WHERE ") +
           inWindows(windows, QStringLiteral("Taux%1")) + QStringLiteral(" GROUP BY TraitementId");
}

QString ReportStatements::fillRatings() {
    // The matched treatments lead, each once: every rating of theirs is read once, through the
    // index on the ratings' treatment, without reading any other rating.
    return QStringLiteral(
        "INSERT INTO temp.NotesRetenues SELECT e.MHEvalId, e.MHId, m.TypeMHId, e.Visuel, "
        "e.TraitementId, r.DateHerbId, r.SiteExpId FROM temp.TraitementsRetenus AS r CROSS JOIN "
        "tblMHEval AS "
        "e ON e.TraitementId = r.TraitementId INNER JOIN ListedesMauvaisesHerbes AS m ON m.MHId "
        "= e.MHId");
}

QString ReportStatements::fractionWeeds() {
    return QStringLiteral("SELECT MHId, Fix(Avg(Visuel)) AS Moyenne, Count(Visuel) AS "
                          "CompteDeVisuel FROM temp.NotesRetenues GROUP BY MHId");
}

QString ReportStatements::fractionCategories() {
    return QStringLiteral("SELECT TypeMHId, Fix(Avg(Visuel)) AS Moyenne, Count(Visuel) AS "
                          "CompteDeVisuel FROM temp.NotesRetenues GROUP BY TypeMHId HAVING ") +
           idList(QStringLiteral("TypeMHId"), reportedCategories());
}

QString ReportStatements::fractionRatings(bool context) {
    return context ? QStringLiteral("SELECT MHId, TypeMHId, Visuel, MHEvalId, TraitementId, "
                                    "DateHerbId, SiteExpId FROM temp.NotesRetenues ORDER BY "
                                    "MHEvalId")
                   : QStringLiteral("SELECT MHId, TypeMHId, Visuel FROM temp.NotesRetenues");
}

QString ReportStatements::perWeed(const QVector<int>& extraWeeds) {
    return QStringLiteral("SELECT ListedesMauvaisesHerbes.MHId, "
                          "ListedesMauvaisesHerbes.[Nom-Francais], Fix(Avg([Visuel])) AS "
                          "Moyenne, Count(NotesRetenues.Visuel) AS CompteDeVisuel INTO "
                          "tblQueryResults ") +
           kMatchingRatings +
           QStringLiteral("GROUP BY ListedesMauvaisesHerbes.MHId, "
                          "ListedesMauvaisesHerbes.[Nom-Francais] HAVING ((") +
           idList(QStringLiteral("ListedesMauvaisesHerbes.MHId"), standardWeeds() + extraWeeds) +
           QStringLiteral("));");
}

QString ReportStatements::perCategory() {
    return QStringLiteral("SELECT ListedesMauvaisesHerbes.TypeMHId, Fix(Avg([Visuel])) AS "
                          "Moyenne, Count(NotesRetenues.Visuel) AS CompteDeVisuel INTO "
                          "tblQueryResults_Cat ") +
           kMatchingRatings +
           QStringLiteral("GROUP BY ListedesMauvaisesHerbes.TypeMHId HAVING ((") +
           idList(QStringLiteral("ListedesMauvaisesHerbes.TypeMHId"), reportedCategories()) +
           QStringLiteral("));");
}

QString ReportStatements::cellUpdate(int fraction) {
    return QStringLiteral("UPDATE tblResults SET \"%1\" = ?, \"%2\" = ? WHERE ResultsId = ?")
        .arg(2 * fraction + 1)
        .arg(2 * fraction + 2);
}

QStringList ReportStatements::resetResults() {
    QStringList cells;
    for (int c = 1; c <= 10; ++c)
        cells << QStringLiteral("tblResults.[%1] = ' - '").arg(c);
    return {QStringLiteral("UPDATE tblResults SET ") + cells.join(QStringLiteral(", ")) +
                QStringLiteral(" WHERE ((Not ((tblResults.NoId)=7 Or (tblResults.NoId)=13 Or "
                               "(tblResults.NoId)=22 Or (tblResults.NoId)=25 Or "
                               "(tblResults.NoId)=29 Or (tblResults.NoId)=30)));"),
            QStringLiteral("UPDATE tblResults SET tblResults.Results = '     --------' WHERE "
                           "(((tblResults.NoId)>30));"),
            QStringLiteral("UPDATE tblResults SET tblResults.ResultsID = NULL WHERE "
                           "(((tblResults.NoId)>30));")};
}

} // namespace grelavo
