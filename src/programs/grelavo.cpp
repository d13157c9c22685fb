#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseLocation.h"
#include "gui/app/EditionOffer.h"
#include "gui/app/QtDialogService.h"
#include "gui/app/frmMDI.h"
#include "gui/shared/FrenchQt.h"

#include "ProgramVersion.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] =
    "Usage\u00a0: grelavo [--help] [--version] [--verifier] [options de Qt]\n"
    "\n"
    "Ouvre Grelavo, qui donne l'efficacité des doses réduites d'herbicides dans le maïs d'après\n"
    "les essais au champ de sa base de données. Voir aussi l'aide du programme (touche F1) et\n"
    "grelavo-rapport(1) pour le rapport en ligne de commande.\n"
    "\n"
    "Options\u00a0:\n"
    "  -h, --help      affiche cette aide et termine\n"
    "  -v, --version   affiche la version et termine\n"
    "  --verifier      lit toute la base de données à l'ouverture pour s'assurer qu'elle\n"
    "                  est intacte\u00a0; Grelavo le fait de lui-même quand le fichier a été\n"
    "                  modifié hors de Grelavo ou qu'une écriture a été interrompue\n"
    "Les options de Qt (-platform, -display…) sont aussi acceptées.\n"
    "\n"
    "Code de sortie\u00a0: 0 fin normale, 1 aucune base de données utilisable (un message\n"
    "le dit).\n";

} // namespace

int main(int argc, char* argv[]) {
    // Help and version work anywhere, a display or not.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("Grelavo %s\n", grelavo::ProgramVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--verifier") == 0)
            grelavo::DatabaseCheck::requireFullCheck();
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Grelavo"));
    grelavo::installFrenchQtTexts(app);
    grelavo::QtDialogService dialogs;
    // The build folder's database, or the user's working copy of the installed one.
    grelavo::DatabaseLocation location = grelavo::DatabaseLocation::ofThisProgram();
    const QString databaseFolder = location.prepare();
    if (databaseFolder.isEmpty()) {
        dialogs.message(nullptr, location.error(), QStringLiteral("Erreur critique"),
                        grelavo::DialogService::Icon::Critical,
                        grelavo::DialogService::Buttons::Ok);
        return 1;
    }
    if (location.kind() == grelavo::DatabaseLocation::Kind::WorkingCopy)
        grelavo::offerNewerEdition(location.workingCopy(), location.shippedFile(), dialogs);
    grelavo::frmMDI mainWindow(databaseFolder, dialogs);
    mainWindow.setProgramFolder(QCoreApplication::applicationDirPath());
    if (!mainWindow.Form_Load())
        return 0; // no database: the message has been shown, the program ends
    return app.exec();
}
