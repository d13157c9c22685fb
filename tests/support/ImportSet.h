#pragma once

#include "core/exchange/ExperimentImport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A small valid set on names both the fixture's lists and the shipped ones hold: one site, two
// treatments, their crops, applications, stages, products and ratings.
inline const char* const kSet[][2] = {
    {"sites.csv", "site,province,classe_texturale,matiere_organique_pct,ph\n"
                  "P1,québec,loam,3.2,6.8\n"},
    {"traitements.csv", "traitement,site\nE1,P1\nE2,P1\n"},
    {"cultures.csv", "traitement,culture,variete,antecedent,semis_kg_ha,semis_grains_ha,"
                     "profondeur_cm,ecartement_cm\n"
                     "E1,Maïs grain,,soya,20,75000,5,76\n"
                     "E2,Maïs grain,,blé,,,,\n"},
    {"applications.csv", "application,traitement,periode\nAP1,E1,Prélevée\nAP2,E2,Prélevée\n"},
    {"stades.csv", "application,culture,hauteur_cm,feuilles\nAP1,Maïs grain,10,3\n"},
    {"produits.csv", "application,herbicide,formulation,dose_kg_ma_ha\n"
                     "AP1,atrazine,1,0.5\nAP2,atrazine,1,1\nAP2,dicamba,2,0.3\n"},
    {"evaluations.csv", "traitement,mauvaise_herbe,visuel_pct\n"
                        "E1,sétaire verte,88\nE1,Chenopodium album,75\nE2,pied-de-coq,\n"},
};

// The set written into 'folder', with 'file' (if any) replaced by 'replacement'.
inline QStringList writeSet(const QString& folder, const QString& file = QString(),
                            const QByteArray& replacement = QByteArray()) {
    QStringList paths;
    for (const auto& f : kSet) {
        const QString name = QString::fromUtf8(f[0]);
        paths << QDir(folder).filePath(name);
        writeFile(paths.last(), name == file ? replacement : QByteArray(f[1]));
    }
    return paths;
}

// What an import said of each problem, one line each.
inline QStringList problemTexts(const grelavo::ImportOutcome& o) {
    QStringList out;
    for (const grelavo::ImportProblem& p : o.problems)
        out << p.text();
    return out;
}
