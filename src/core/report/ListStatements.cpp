#include "ListStatements.h"

#include "core/db/Lists.h"

#include <QStringList>

namespace grelavo {

namespace {

const QString kApplications = QStringLiteral("tblPériodesApplication");

QString alias(int k) {
    return k == 0 ? QStringLiteral("tblDétailsHerbicides")
                  : QStringLiteral("tblDétailsHerbicides_%1").arg(k);
}

// The applications at the period whose mixture has exactly `count` products. Each application of
// the period is counted through the key of tblDétailsHerbicides, in key order: one pass over the
// period's applications, where grouping the whole product table (once per joined alias) grew
// faster than the data.
QString periodAndCount(int count, int applicationType) {
    return QStringLiteral("((tblPériodesApplication.TypeApplicationId)=%1) AND ((SELECT Count(*) "
                          "FROM tblDétailsHerbicides AS Tmp WHERE Tmp.DateHerbId = "
                          "tblPériodesApplication.DateHerbId)=%2)")
        .arg(applicationType)
        .arg(count);
}

// Applications holding the herbicides ids[0] to ids[last], each looked up by the key.
QString holding(const QVector<int>& ids, int last) {
    QString s;
    for (int k = 0; k <= last; ++k)
        s += QStringLiteral(" AND EXISTS (SELECT * FROM tblDétailsHerbicides AS %1 WHERE "
                            "%1.DateHerbId = tblPériodesApplication.DateHerbId AND "
                            "%1.HerbicideId = %2)")
                 .arg(alias(k))
                 .arg(ids[k]);
    return s;
}

} // namespace

QString ListStatements::herbicideList() {
    return QStringLiteral(
        "SELECT tblDétailsHerbicides.HerbicideId AS tblId, ListeDesHerbicides.Herbicide AS "
        "tblField FROM ListeDesHerbicides INNER JOIN (tblDétailsHerbicides INNER JOIN "
        "DétailsApplication ON tblDétailsHerbicides.DateHerbId = DétailsApplication.DateHerbId) "
        "ON ListeDesHerbicides.HerbicideId = tblDétailsHerbicides.HerbicideId GROUP BY "
        "tblDétailsHerbicides.HerbicideId, ListeDesHerbicides.Herbicide ORDER BY "
        "ListeDesHerbicides.Herbicide;");
}

QString ListStatements::countStep(int count, int applicationType) {
    return QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM tblPériodesApplication "
                          "WHERE ") +
           periodAndCount(count, applicationType) + QLatin1Char(';');
}

QString ListStatements::herbicideStep(int r, int count, int applicationType,
                                      const QVector<int>& ids) {
    return QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM tblPériodesApplication "
                          "WHERE ") +
           periodAndCount(count, applicationType) + holding(ids, r) + QLatin1Char(';');
}

QString ListStatements::periods() {
    return QStringLiteral("SELECT TypeApplication AS tblField, TypeApplicationId AS tblId FROM "
                          "ListeDesPériodesApplication");
}

QString ListStatements::crops() {
    return QStringLiteral("SELECT ListeDesCultures.CultureId AS tblId, ListeDesCultures.[Nom "
                          "Français] AS tblField FROM ListeDesCultures WHERE ((Not "
                          "(ListeDesCultures.CultureId)=%1)) ORDER BY ListeDesCultures.[Nom "
                          "Français];")
        .arg(lists::kAllCornCrop);
}

QString ListStatements::previousCrops() {
    return QStringLiteral(
        "SELECT ListeDesAntécédents.AntécédentID AS tblId, ListeDesAntécédents.[Nom "
        "Français] AS tblField FROM ListeDesAntécédents ORDER BY "
        "ListeDesAntécédents.[Nom Français];");
}

QString ListStatements::provinces() {
    return QStringLiteral(
        "SELECT ListeDesProvinces.ProvinceID AS tblId, ListeDesProvinces.Province "
        "AS tblField FROM ListeDesProvinces;");
}

QString ListStatements::textures() {
    return QStringLiteral("SELECT ListedesClastext.ClasseTexturaleId AS tblId, "
                          "ListedesClastext.ClasseTexturale AS tblField FROM ListedesClastext;");
}

QString ListStatements::weeds() {
    return QStringLiteral("SELECT ListedesMauvaisesHerbes.MHId AS tblId, "
                          "ListedesMauvaisesHerbes.[Nom-Francais] AS tblField FROM "
                          "ListedesMauvaisesHerbes;");
}

QString ListStatements::weedNames() {
    return QStringLiteral(
        "SELECT ListedesMauvaisesHerbes.[Nom-Francais], ListedesMauvaisesHerbes.[Nom-Latin], "
        "ListedesMauvaisesHerbes.[Nom-Anglais], ListedesMauvaisesHerbes.MHId FROM "
        "ListedesMauvaisesHerbes;");
}

QString ListStatements::varieties(int cropId) {
    return QStringLiteral(
               "SELECT ListeDesVariétés.VariétéId AS tblId, ListeDesVariétés.Variété AS tblField "
               "FROM ListeDesVariétés INNER JOIN tblCultureEXP ON ListeDesVariétés.VariétéId = "
               "tblCultureEXP.VariétéId GROUP BY ListeDesVariétés.VariétéId, "
               "ListeDesVariétés.Variété, tblCultureEXP.CultureId HAVING "
               "(((tblCultureEXP.CultureId)=%1));")
        .arg(cropId);
}

QString ListStatements::rates(int applicationType, const QVector<int>& ids) {
    // The period's applications first, in key order, each joined to the row of every chosen
    // herbicide by the key (CROSS JOIN keeps that order): no pass over the whole product table.
    const int n = int(ids.size());
    QStringList columns;
    QString from = kApplications;
    for (int k = 0; k < n; ++k) {
        columns << QStringLiteral("%1.HerbTauxH AS Taux%2").arg(alias(k)).arg(k + 1);
        from += QStringLiteral(" CROSS JOIN tblDétailsHerbicides AS %1 ON %1.DateHerbId = "
                               "tblPériodesApplication.DateHerbId AND %1.HerbicideId = %2")
                    .arg(alias(k))
                    .arg(ids[k]);
    }
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM ") + from + QStringLiteral(" WHERE ") +
           periodAndCount(n, applicationType) + QLatin1Char(';');
}

QString ListStatements::distinctRates(int n) {
    QStringList columns;
    for (int k = 1; k <= n; ++k)
        columns << QStringLiteral("DétailsApplication.Taux%1").arg(k);
    const QString list = columns.join(QStringLiteral(", "));
    return QStringLiteral("SELECT %1 FROM DétailsApplication GROUP BY %1 ORDER BY %1;").arg(list);
}

} // namespace grelavo
