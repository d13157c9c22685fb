#include "ExperimentExport.h"

#include "ExportSet.h"
#include "core/db/Connection.h"
#include "core/db/ImportLog.h"
#include "core/db/Transaction.h"
#include "core/text/CsvWriter.h"

namespace grelavo {

using exportset::makeSet;
using exportset::Selection;
using exportset::writeSet;

const QVector<ExchangeFile>& ExperimentExport::files() {
    static const QVector<ExchangeFile> all{
        {QStringLiteral("sites.csv"),
         {QStringLiteral("site"), QStringLiteral("province"), QStringLiteral("classe_texturale"),
          QStringLiteral("matiere_organique_pct"), QStringLiteral("ph")}},
        {QStringLiteral("traitements.csv"), {QStringLiteral("traitement"), QStringLiteral("site")}},
        {QStringLiteral("cultures.csv"),
         {QStringLiteral("traitement"), QStringLiteral("culture"), QStringLiteral("variete"),
          QStringLiteral("antecedent"), QStringLiteral("semis_kg_ha"),
          QStringLiteral("semis_grains_ha"), QStringLiteral("profondeur_cm"),
          QStringLiteral("ecartement_cm")}},
        {QStringLiteral("applications.csv"),
         {QStringLiteral("application"), QStringLiteral("traitement"), QStringLiteral("periode")}},
        {QStringLiteral("stades.csv"),
         {QStringLiteral("application"), QStringLiteral("culture"), QStringLiteral("hauteur_cm"),
          QStringLiteral("feuilles")}},
        {QStringLiteral("produits.csv"),
         {QStringLiteral("application"), QStringLiteral("herbicide"), QStringLiteral("formulation"),
          QStringLiteral("dose_kg_ma_ha")}},
        {QStringLiteral("evaluations.csv"),
         {QStringLiteral("traitement"), QStringLiteral("mauvaise_herbe"),
          QStringLiteral("visuel_pct")}},
    };
    return all;
}

const ExchangeFile& ExperimentExport::editionFile() {
    static const ExchangeFile edition{
        QStringLiteral("edition.csv"),
        {QStringLiteral("nom"), QStringLiteral("date"), QStringLiteral("synthetique")}};
    return edition;
}

QString ExperimentExport::number(double value) {
    return CsvWriter::plainNumber(value);
}

QVector<ExperimentExport::Output> ExperimentExport::read(Connection& db) {
    Transaction snapshot(db);
    const QVector<Output> out = makeSet(db, Selection(), false, nullptr);
    snapshot.commit();
    return out;
}

QVector<ExperimentExport::Output> ExperimentExport::readWithEdition(Connection& db) {
    Transaction snapshot(db);
    const QVector<Output> out = makeSet(db, Selection(), true, nullptr);
    snapshot.commit();
    return out;
}

QVector<ExperimentExport::Output> ExperimentExport::readImported(Connection& db) {
    Transaction snapshot(db);
    Selection only;
    only.all = false;
    for (const ImportedKey& k : ImportLog::keys(db)) {
        auto& ids = k.kind == QLatin1String("site")         ? only.sites
                    : k.kind == QLatin1String("traitement") ? only.treatments
                                                            : only.applications;
        ids.insert(k.id, k.key);
    }
    const QVector<Output> out = makeSet(db, only, false, nullptr);
    snapshot.commit();
    return out;
}

QString ExperimentExport::exportFolder(Connection& db, const QString& folder, bool replace,
                                       QVector<Output>* written) {
    Transaction snapshot(db);
    QVector<Output> outputs;
    const QString failure = writeSet(folder, replace, [&](const QDir& writing) {
        outputs = makeSet(db, Selection(), true, &writing);
        QStringList names;
        for (const Output& f : outputs)
            names << f.name;
        return names;
    });
    snapshot.commit();
    if (written)
        *written = outputs;
    return failure;
}

} // namespace grelavo
