// grelavo-export: writes the experiments of a Grelavo database into a folder, as the CSV files of
// the exchange format (docs/exchange-format.md).

#include "CommandLine.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DbError.h"
#include "core/db/Lists.h"
#include "core/exchange/ExperimentExport.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace grelavo;

namespace {

using cli::Done;
using cli::fail;
using cli::write;

QString helpText() {
    QStringList names;
    for (const ExchangeFile& f : ExperimentExport::files())
        names << f.name;
    names << ExperimentExport::editionFile().name;
    return QStringLiteral(
               "Usage\u00a0: grelavo-export [--db FICHIER] --output DOSSIER [--remplacer]\n"
               "\n"
               "Écrit les essais de la base de données FICHIER dans DOSSIER, en fichiers CSV\n"
               "(UTF-8 avec BOM, virgules, point décimal)\u00a0: %1 (l'édition de la base,\n"
               "dont la mention de données synthétiques, que l'import reporte).\n"
               "Les listes (mauvaises herbes, herbicides, cultures…) y sont écrites par leur nom.\n"
               "\n"
               "Options\u00a0:\n"
               "  --db FICHIER      la base de données Grelavo à lire (non modifiée)\u00a0;\n"
               "                    par défaut celle qu'utilisent Grelavo et grelavo-rapport\n"
               "  --output DOSSIER  le dossier où écrire les fichiers (créé s'il n'existe pas)\n"
               "  --remplacer       écrase les fichiers d'échange présents dans DOSSIER\u00a0;\n"
               "                    sans cette option, rien n'est écrit s'il en existe un\n"
               "  -h, --help        affiche cette aide\n"
               "\n"
               "Code de sortie\u00a0: 0 fichiers écrits, 1 échec (la cause en une ligne).\n")
        .arg(names.join(QStringLiteral(", ")));
}

struct Options {
    QString database;
    QString output;
    bool replace = false;
    bool help = false;
};

// Reads the arguments; empty when they are accepted, otherwise the reason in French.
QString parse(const QStringList& arguments, Options* options) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption replace(QStringLiteral("remplacer"), QString());
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("FICHIER"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("DOSSIER"));
    QString failure;
    if (!cli::parse(parser, {help, replace, db, output}, arguments, &failure))
        return failure;
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("argument inattendu «\u00a0%1\u00a0» (voir --help)")
            .arg(parser.positionalArguments().first());
    options->help = parser.isSet(help);
    options->replace = parser.isSet(replace);
    options->database = parser.value(db);
    options->output = parser.value(output);
    if (options->help)
        return QString();
    if (options->output.isEmpty())
        return QStringLiteral("indiquez le dossier des fichiers avec --output DOSSIER");
    if (options->database.isEmpty())
        options->database = cli::defaultDatabase(&failure);
    return failure;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("grelavo-export"));
    Options options;
    const QString refusal = parse(QCoreApplication::arguments(), &options);
    if (!refusal.isEmpty())
        return fail(refusal);
    if (options.help) {
        write(stdout, helpText());
        return Done;
    }
    if (!QFileInfo(options.database).isFile())
        return fail(QStringLiteral("base de données introuvable\u00a0: %1").arg(options.database));

    try {
        Connection db(options.database, DatabaseFile::password());
        // The experiment tables every exchange reads: a file without them is not a Grelavo
        // database.
        const QString missing = missingExperimentTable(db);
        if (!missing.isEmpty())
            return fail(QStringLiteral("%1 n'est pas une base de données Grelavo (table %2 "
                                       "absente)")
                            .arg(options.database, missing));
        const QString refused = ExperimentExport::refusedEntry(options.output);
        if (!refused.isEmpty())
            return fail(refused);
        // Files already there are named with the option that replaces them.
        const QStringList existing = ExperimentExport::existingFiles(options.output);
        if (!options.replace && !existing.isEmpty())
            return fail(QStringLiteral("%1 existe déjà\u00a0; ajoutez --remplacer pour l'écraser")
                            .arg(existing.first()));
        // Each file written as it is read: the memory does not grow with the database.
        const QString failure = ExperimentExport::exportFolder(db, options.output, true);
        if (!failure.isEmpty())
            return fail(failure);
    } catch (const DbError& e) {
        return fail(
            QStringLiteral("%1\u00a0: %2").arg(options.database, DatabaseCheck::causeInWords(e)));
    } catch (const ExchangeError& e) {
        return fail(QStringLiteral("%1\u00a0: %2").arg(options.database, e.message()));
    }
    return Done;
}
