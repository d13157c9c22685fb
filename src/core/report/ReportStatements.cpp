#include "ReportStatements.h"

#include "core/db/Connection.h"
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
    // No declared type on the ratings' columns: each value is kept as the file holds it.
    return {QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS TraitementsRetenus (TraitementId "
                           "INTEGER PRIMARY KEY, DateHerbId INTEGER, SiteExpId INTEGER)"),
            QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS NotesRetenues (MHEvalId INTEGER "
                           "PRIMARY KEY, MHId, TypeMHId, Visuel, TraitementId, DateHerbId)")};
}

QStringList ReportStatements::clearMatched() {
    return {QStringLiteral("DELETE FROM temp.TraitementsRetenus"),
            QStringLiteral("DELETE FROM temp.NotesRetenues")};
}

QString ReportStatements::fillMatched(const QVector<QPair<QString, QString>>& storedQueries) {
    QStringList expressions;
    for (const auto& [name, statement] : storedQueries)
        expressions << Connection::quoteIdentifier(name) + QStringLiteral(" AS (") +
                           JetDialect::translate(statement) + QLatin1Char(')');
    return QStringLiteral("WITH ") + expressions.join(QStringLiteral(", ")) +
           QStringLiteral(" INSERT INTO temp.TraitementsRetenus SELECT g.TraitementId, "
                          "g.DateHerbId, t.SiteExpId FROM (SELECT TraitementId, min(DateHerbId) "
                          "AS DateHerbId FROM \"DétailsTraitements\" GROUP BY TraitementId) AS "
                          "g LEFT JOIN tbldesTraitements AS t ON t.TraitementId = "
                          "g.TraitementId");
}

QString ReportStatements::fillRatings() {
    // The matched treatments lead, each once: every rating of theirs is read once, through the
    // index on the ratings' treatment, without reading any other rating.
    return QStringLiteral(
        "INSERT INTO temp.NotesRetenues SELECT e.MHEvalId, e.MHId, m.TypeMHId, e.Visuel, "
        "e.TraitementId, r.DateHerbId FROM temp.TraitementsRetenus AS r CROSS JOIN tblMHEval AS "
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
