#include "app/QtDialogService.h"
#include "app/frmMDI.h"
#include "shared/FrenchQt.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Grelavo"));
    grelavo::installFrenchQtTexts(app);
    grelavo::QtDialogService dialogs;
    grelavo::frmMDI mainWindow(QCoreApplication::applicationDirPath(), dialogs);
    if (!mainWindow.Form_Load())
        return 0; // no database: the message has been shown, the program ends
    return app.exec();
}
