// grelavo-import: adds the experiments of exchange files (docs/exchange-format.md) to a Grelavo
// database, all or nothing, or makes a new database holding only them.

#include "CommandLine.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DatabaseLocation.h"
#include "core/exchange/ExperimentImport.h"

#include <QCoreApplication>
#include <QDir>

using namespace grelavo;

namespace {

using cli::Done;
using cli::fail;
using cli::Refused;
using cli::write;

const QString kHelp = QStringLiteral(
    "Usage\u00a0: grelavo-import [--db FICHIER] [--new] [--dry-run] [--add-names]\n"
    "                       [--accepter-inhabituels] FICHIERS...\n"
    "\n"
    "Ajoute à la base de données FICHIER les essais des fichiers d'échange CSV donnés\n"
    "(sites.csv, traitements.csv, cultures.csv, applications.csv, stades.csv,\n"
    "produits.csv, evaluations.csv\u00a0; un dossier vaut les fichiers d'échange qu'il\n"
    "contient).\n"
    "Si edition.csv (écrit par grelavo-export) dit les essais synthétiques, la base est\n"
    "marquée comme contenant des données synthétiques.\n"
    "Tout est vérifié avant d'écrire\u00a0: tout est ajouté, ou rien. Une copie de la base est\n"
    "gardée à côté d'elle avant l'ajout (FICHIER.avant-import-AAAAMMJJ-HHMMSS).\n"
    "Les fichiers peuvent être en UTF-8 ou Windows-1252, séparés par des virgules ou des\n"
    "points-virgules, avec le point ou la virgule décimale.\n"
    "\n"
    "Options\u00a0:\n"
    "  --db FICHIER   la base de données où ajouter les essais\u00a0; par défaut celle\n"
    "                 qu'utilisent Grelavo et grelavo-rapport\n"
    "  --new          crée FICHIER (qui ne doit pas exister, --db est alors demandé) avec la\n"
    "                 structure et les listes\n"
    "                 de la base livrée avec Grelavo, sans ses essais de démonstration\n"
    "  --dry-run      vérifie et compte sans rien écrire\n"
    "  --add-names    ajoute les herbicides, mauvaises herbes et variétés qui manquent\n"
    "                 (sinon ils sont refusés)\u00a0; périodes, cultures, provinces,\n"
    "                 classes de sol et antécédents ne sont jamais ajoutés\n"
    "  --accepter-inhabituels\n"
    "                 accepte les doses hors de la plage plausible (plus de 20 kg i.a./ha, ou\n"
    "                 plus de dix fois la plus forte ou moins du dixième de la plus faible dose\n"
    "                 de la base pour l'herbicide)\u00a0; le résumé les énumère\n"
    "  -h, --help     affiche cette aide\n"
    "\n"
    "Code de sortie\u00a0: 0 essais ajoutés (ou rien à redire avec --dry-run), 2 fichiers\n"
    "refusés (rien n'est écrit\u00a0; un problème par ligne, avec fichier, ligne et colonne),\n"
    "1 autre échec.\n");

struct Options {
    QString database;
    QStringList files;
    ImportOptions import;
    bool help = false;
};

// Reads the arguments; empty when they are accepted, otherwise the reason in French.
QString parse(const QStringList& arguments, Options* options) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption made(QStringLiteral("new"), QString());
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption addNames(QStringLiteral("add-names"), QString());
    const QCommandLineOption unusual(QStringLiteral("accepter-inhabituels"), QString());
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("FICHIER"));
    QString failure;
    if (!cli::parse(parser, {help, made, dryRun, addNames, unusual, db}, arguments, &failure))
        return failure;
    options->help = parser.isSet(help);
    options->import.newDatabase = parser.isSet(made);
    options->import.dryRun = parser.isSet(dryRun);
    options->import.addNames = parser.isSet(addNames);
    options->import.acceptUnusual = parser.isSet(unusual);
    options->database = parser.value(db);
    options->files = parser.positionalArguments();
    if (options->help)
        return QString();
    if (options->files.isEmpty())
        return QStringLiteral("indiquez les fichiers d'échange à importer");
    if (options->database.isEmpty() && options->import.newDatabase)
        return QStringLiteral("indiquez avec --db FICHIER la base de données à créer");
    if (options->database.isEmpty())
        options->database = cli::defaultDatabase(&failure);
    return failure;
}

QString counted(const ExperimentCounts& c) {
    return QStringLiteral("%1 sites, %2 traitements, %3 cultures, %4 applications, %5 stades, "
                          "%6 produits, %7 évaluations")
        .arg(c.sites)
        .arg(c.treatments)
        .arg(c.crops)
        .arg(c.applications)
        .arg(c.stages)
        .arg(c.products)
        .arg(c.ratings);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("grelavo-import"));
    Options options;
    const QString refusal = parse(QCoreApplication::arguments(), &options);
    if (!refusal.isEmpty())
        return fail(refusal);
    if (options.help) {
        write(stdout, kHelp);
        return Done;
    }
    if (options.import.newDatabase)
        options.import.model = DatabaseLocation::shippedFile(QCoreApplication::applicationDirPath(),
                                                             DatabaseFile::fileName());

    const ImportOutcome outcome =
        ExperimentImport::run(options.database, options.files, options.import);
    switch (outcome.status) {
    case ImportOutcome::Status::Failed:
        return fail(outcome.failure);
    case ImportOutcome::Status::Refused:
        for (const ImportProblem& p : outcome.problems)
            write(stderr, p.text() + QLatin1Char('\n'));
        fail(QStringLiteral("fichiers refusés, rien n'a été écrit dans %1")
                 .arg(QDir::toNativeSeparators(options.database)));
        return Refused;
    case ImportOutcome::Status::Done:
        break;
    }
    QString report =
        options.import.dryRun
            ? QStringLiteral(
                  "Vérification faite, rien à redire\u00a0; seraient ajoutés\u00a0: %1.\n")
                  .arg(counted(outcome.counts))
            : QStringLiteral("Ajoutés à %1\u00a0: %2.\n")
                  .arg(QDir::toNativeSeparators(options.database), counted(outcome.counts));
    for (const QString& value : outcome.acceptedUnusual)
        report +=
            QStringLiteral("Valeur inhabituelle acceptée (--accepter-inhabituels)\u00a0: %1\n")
                .arg(value);
    if (!outcome.addedNames.isEmpty())
        report += QStringLiteral("Noms %1 aux listes\u00a0: %2.\n")
                      .arg(options.import.dryRun ? QStringLiteral("qui seraient ajoutés")
                                                 : QStringLiteral("ajoutés"),
                           outcome.addedNames.join(QStringLiteral("\u00a0; ")));
    if (!outcome.backup.isEmpty())
        report += QStringLiteral("Copie de la base avant l'ajout\u00a0: %1\n")
                      .arg(QDir::toNativeSeparators(outcome.backup));
    write(stdout, report);
    if (!outcome.commitError.isEmpty())
        write(stderr,
              QStringLiteral("grelavo-import\u00a0: l'import est fait (les essais sont dans la "
                             "base), mais l'écriture finale sur le disque a signalé une "
                             "erreur\u00a0: %1\u00a0; vérifiez le disque.\n")
                  .arg(outcome.commitError));
    return Done;
}
