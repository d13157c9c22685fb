#include "ReportAbout.h"

#include "ParameterSet.h"
#include "ReportEngine.h"

namespace grelavo {

ReportAbout ReportAbout::of(const ParameterSet& parameters, const ReportStamp& stamp) {
    return {ReportEngine::Set_ParamList(parameters), parameters.RateInterval, stamp};
}

QString ReportAbout::syntheticWarning() {
    return QStringLiteral("DONNÉES SYNTHÉTIQUES DE DÉMONSTRATION — ne pas utiliser pour une "
                          "décision");
}

QString ReportAbout::toleranceLine() const {
    return QStringLiteral("Tolérance\u00a0: ± %1 % des taux entrés").arg(rateInterval);
}

QStringList ReportAbout::colophonLines() const {
    const QString report = QStringLiteral("Rapport du %1, produit par Grelavo %2")
                               .arg(stamp.reportDate.toString(Qt::ISODate), stamp.programVersion);
    const DatabaseEdition& e = stamp.edition;
    QString edition =
        QStringLiteral("Base de données\u00a0: édition inconnue (le fichier ne dit pas "
                       "d'où viennent ses données)");
    if (e.known && e.synthetic)
        edition =
            QStringLiteral("Données de démonstration synthétiques — édition du %1").arg(e.date);
    else if (e.known)
        edition = QStringLiteral("Base de données\u00a0: %1, édition du %2, source\u00a0: %3")
                      .arg(e.name, e.date, e.source);
    QStringList out{report, edition};
    if (!e.imports.isEmpty())
        out << QStringLiteral("Essais importés\u00a0: %1").arg(e.importsInWords());
    return out;
}

QStringList ReportAbout::lines() const {
    QStringList out;
    if (synthetic())
        out << syntheticWarning();
    out << QStringLiteral("Paramètres de recherche\u00a0:") << parameters << toleranceLine();
    return out + colophonLines();
}

} // namespace grelavo
