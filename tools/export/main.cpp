// grelavo-export: writes the experiments of a Grelavo database into a folder, as the CSV files of
// the exchange format (docs/exchange-format.md).

#include "db/Connection.h"
#include "db/DatabaseCheck.h"
#include "db/DatabaseFile.h"
#include "db/DbError.h"
#include "exchange/ExperimentExport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

using namespace grelavo;

namespace {

enum ExitStatus { Done = 0, Failed = 1 };

void write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int fail(const QString& message) {
    write(stderr, QStringLiteral("grelavo-export : %1\n").arg(message));
    return Failed;
}

QString helpText() {
    QStringList names;
    for (const ExchangeFile& f : ExperimentExport::files())
        names << f.name;
    names << ExperimentExport::editionFile().name;
    return QStringLiteral(
               "Usage : grelavo-export --db FICHIER --output DOSSIER [--remplacer]\n"
               "\n"
               "Écrit les essais de la base de données FICHIER dans DOSSIER, en fichiers CSV\n"
               "(UTF-8 avec BOM, virgules, point décimal) : %1 (l'édition de la base,\n"
               "dont la mention de données synthétiques, que l'import reporte).\n"
               "Les listes (mauvaises herbes, herbicides, cultures...) y sont écrites par leur "
               "nom.\n"
               "\n"
               "Options :\n"
               "  --db FICHIER      la base de données Grelavo à lire (elle n'est pas modifiée)\n"
               "  --output DOSSIER  le dossier où écrire les fichiers (créé s'il n'existe pas)\n"
               "  --remplacer       écrase les fichiers d'échange déjà présents dans DOSSIER ;\n"
               "                    sans cette option, rien n'est écrit s'il en existe un\n"
               "  -h, --help        affiche cette aide\n"
               "\n"
               "Code de sortie : 0 fichiers écrits, 1 échec (la cause est écrite sur une ligne).\n")
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
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            options->help = true;
        } else if (a == QLatin1String("--remplacer")) {
            options->replace = true;
        } else if (a == QLatin1String("--db") || a == QLatin1String("--output")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return QStringLiteral("l'option %1 demande une valeur").arg(a);
            (a == QLatin1String("--db") ? options->database : options->output) = arguments[++i];
        } else {
            return QStringLiteral("option inconnue « %1 » (voir --help)").arg(a);
        }
    }
    if (options->help)
        return QString();
    if (options->database.isEmpty())
        return QStringLiteral("indiquez la base de données avec --db FICHIER");
    if (options->output.isEmpty())
        return QStringLiteral("indiquez le dossier des fichiers avec --output DOSSIER");
    return QString();
}

// The experiment tables every exchange reads; a file without them is not a Grelavo database.
QString missingTable(Connection& db) {
    const QStringList tables = db.tableNames();
    for (const char* name :
         {"tbldesSites", "tbldesTraitements", "tblCultureEXP", "tblPériodesApplication",
          "tblStadeCultureH", "tblDétailsHerbicides", "tblMHEval"}) {
        if (!tables.contains(QString::fromUtf8(name), Qt::CaseInsensitive))
            return QString::fromUtf8(name);
    }
    return QString();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    Options options;
    const QString refusal = parse(QCoreApplication::arguments().mid(1), &options);
    if (!refusal.isEmpty())
        return fail(refusal);
    if (options.help) {
        write(stdout, helpText());
        return Done;
    }
    if (!QFileInfo(options.database).isFile())
        return fail(QStringLiteral("base de données introuvable : %1").arg(options.database));

    QVector<ExperimentExport::Output> files;
    try {
        Connection db(options.database, DatabaseFile::password());
        const QString missing = missingTable(db);
        if (!missing.isEmpty())
            return fail(QStringLiteral("%1 n'est pas une base de données Grelavo (table %2 "
                                       "absente)")
                            .arg(options.database, missing));
        files = ExperimentExport::readWithEdition(db);
    } catch (const DbError& e) {
        return fail(
            QStringLiteral("%1 : %2").arg(options.database, DatabaseCheck::causeInWords(e)));
    } catch (const ExchangeError& e) {
        return fail(QStringLiteral("%1 : %2").arg(options.database, e.message()));
    }

    const QString refused = ExperimentExport::refusedEntry(options.output);
    if (!refused.isEmpty())
        return fail(refused);
    // Files already there are named with the option that replaces them.
    const QStringList existing = ExperimentExport::existingFiles(options.output);
    if (!options.replace && !existing.isEmpty())
        return fail(QStringLiteral("%1 existe déjà ; ajoutez --remplacer pour l'écraser")
                        .arg(existing.first()));
    const QString failure = ExperimentExport::writeFolder(files, options.output, true);
    if (!failure.isEmpty())
        return fail(failure);
    return Done;
}
