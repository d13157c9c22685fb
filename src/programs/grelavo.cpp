#include "app/EditionOffer.h"
#include "app/QtDialogService.h"
#include "app/frmMDI.h"
#include "db/DatabaseLocation.h"
#include "shared/FrenchQt.h"

#include <QApplication>

int main(int argc, char* argv[]) {
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
