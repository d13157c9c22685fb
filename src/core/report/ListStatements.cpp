#include "ListStatements.h"

#include "db/Lists.h"

#include <QStringList>

namespace grelavo {

namespace {

const QString kCountIn =
    QStringLiteral("WHERE (((tblPériodesApplication.DateHerbId) In (SELECT [DateHerbId] FROM "
                   "[tbldétailsherbicides] As Tmp GROUP BY [DateHerbId] HAVING Count(*)=");

QString alias(int k) {
    return k == 0 ? QStringLiteral("tblDétailsHerbicides")
                  : QStringLiteral("tblDétailsHerbicides_%1").arg(k);
}

// ") AND ((alias.HerbicideId)=id" for each chosen herbicide.
QString herbicideConditions(const QVector<int>& ids, int last) {
    QString s;
    for (int k = 0; k <= last; ++k)
        s += QStringLiteral(") AND ((%1.HerbicideId)=%2").arg(alias(k)).arg(ids[k]);
    return s;
}

QString tail(int count, int applicationType) {
    return QStringLiteral("%1)) AND ((tblPériodesApplication.TypeApplicationId)=%2")
        .arg(count)
        .arg(applicationType);
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
    return QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM tblPériodesApplication ") +
           kCountIn + tail(count, applicationType) + QStringLiteral("));");
}

QString ListStatements::herbicideStep(int r, int count, int applicationType,
                                      const QVector<int>& ids) {
    static const QString heads[3] = {
        QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM tblPériodesApplication "
                       "INNER JOIN tblDétailsHerbicides ON tblPériodesApplication.DateHerbId = "
                       "tblDétailsHerbicides.DateHerbId "),
        QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM (tblPériodesApplication "
                       "INNER JOIN tblDétailsHerbicides ON tblPériodesApplication.DateHerbId = "
                       "tblDétailsHerbicides.DateHerbId) INNER JOIN tblDétailsHerbicides AS "
                       "tblDétailsHerbicides_1 ON tblPériodesApplication.DateHerbId = "
                       "tblDétailsHerbicides_1.DateHerbId "),
        QStringLiteral("SELECT tblPériodesApplication.DateHerbId FROM (tblDétailsHerbicides AS "
                       "tblDétailsHerbicides_2 INNER JOIN (tblDétailsHerbicides AS "
                       "tblDétailsHerbicides_1 INNER JOIN tblPériodesApplication ON "
                       "tblDétailsHerbicides_1.DateHerbId = tblPériodesApplication.DateHerbId) "
                       "ON tblDétailsHerbicides_2.DateHerbId = tblPériodesApplication.DateHerbId) "
                       "INNER JOIN tblDétailsHerbicides ON tblPériodesApplication.DateHerbId = "
                       "tblDétailsHerbicides.DateHerbId ")};
    return heads[r] + kCountIn + tail(count, applicationType) + herbicideConditions(ids, r) +
           QStringLiteral("));");
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
    const int n = ids.size();
    QStringList columns;
    for (int k = 0; k < n; ++k)
        columns << QStringLiteral("%1.HerbTauxH AS Taux%2").arg(alias(k)).arg(k + 1);
    const QString first =
        QStringLiteral("(tblPériodesApplication INNER JOIN tblDétailsHerbicides ON "
                       "tblPériodesApplication.DateHerbId = tblDétailsHerbicides.DateHerbId)");
    auto joinOn = [](int k) {
        return QStringLiteral(" INNER JOIN tblDétailsHerbicides AS %1 ON "
                              "tblPériodesApplication.DateHerbId = %1.DateHerbId")
            .arg(alias(k));
    };
    QString from;
    if (n == 1) {
        from = first + QLatin1Char(' ');
    } else if (n == 2) {
        from = first + joinOn(1) + QLatin1Char(' ');
    } else {
        // The last alias comes first, joined to the parenthesised others.
        QString inner = first + joinOn(1);
        if (n == 4)
            inner = QLatin1Char('(') + inner + QLatin1Char(')') + joinOn(2);
        from = QStringLiteral("tblDétailsHerbicides AS %1 INNER JOIN (").arg(alias(n - 1)) + inner +
               QStringLiteral(") ON %1.DateHerbId = tblPériodesApplication.DateHerbId ")
                   .arg(alias(n - 1));
    }
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM ") + from + kCountIn + tail(n, applicationType) +
           herbicideConditions(ids, n - 1) + QStringLiteral("));");
}

QString ListStatements::distinctRates(int n) {
    QStringList columns;
    for (int k = 1; k <= n; ++k)
        columns << QStringLiteral("DétailsApplication.Taux%1").arg(k);
    const QString list = columns.join(QStringLiteral(", "));
    return QStringLiteral("SELECT %1 FROM DétailsApplication GROUP BY %1 ORDER BY %1;").arg(list);
}

} // namespace grelavo
