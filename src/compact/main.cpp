#include "Compaction.h"
#include "FileOperations.h"
#include "Form1.h"
#include "MessageBox.h"
#include "SqlCipherEngine.h"
#include "core/db/DatabaseLocation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Test hook, deliberately left out of any help text: with the argument --print-messages the
// messages are written to standard output, one a line, instead of waiting in a message box for
// someone to press OK, so that a test can run the real program headless and read what it said.
const char* const PrintMessages = "--print-messages";

const char* const Help =
    "Usage\u00a0: pelvane [--help]\n"
    "\n"
    "Compacte la base de données de Grelavo\u00a0: la copie de travail de l'utilisateur\n"
    "(~/.local/share/Grelavo/Grelavo.mdb) une fois Grelavo installé, ou celle du dossier\n"
    "du programme dans un dossier de construction. Fermez Grelavo avant.\n"
    "\n"
    "Avec un écran, une fenêtre montre le compactage en cours et les messages s'affichent\n"
    "dans des boîtes de dialogue\u00a0; sans écran (terminal, ssh), les messages s'écrivent\n"
    "sur la sortie d'erreur, un par ligne.\n"
    "\n"
    "Options\u00a0:\n"
    "  -h, --help   affiche cette aide\n"
    "\n"
    "Code de sortie\u00a0: 0 base de données compactée, 1 option inconnue, aucune base de\n"
    "données, fichier refusé ou compactage impossible (la base de données reste entière).\n";

void printMessage(const QString& text) {
    QTextStream out(stdout);
    out << text << Qt::endl;
}

void printError(const QString& text) {
    QTextStream out(stderr);
    out << text << Qt::endl;
}

// Test hook, like the one above: with PELVANE_TEST_KILL_AT set to the name of a step of the run
// (see Compaction::Checkpoints), the program kills itself with SIGKILL as soon as that step is
// done, so that a test can check what the next run makes of the files it leaves.
void killAtChosenStep(const char* step) {
    static const QByteArray chosen = qgetenv("PELVANE_TEST_KILL_AT");
    if (chosen == step)
        std::raise(SIGKILL);
}

bool asked(int argc, char* argv[], const char* option) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

// Whether a window can be shown: a display, or a platform named for Qt (a test's "offscreen").
bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[]) {
    if (asked(argc, argv, "--help") || asked(argc, argv, "-h")) {
        std::fputs(Help, stdout);
        return 0;
    }
    const bool window = hasDisplay();
    // Without a display, no window and no message box: the messages go to the standard error.
    std::unique_ptr<QCoreApplication> app = window ? std::make_unique<QApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Pelvane"));
    const bool print = QCoreApplication::arguments().contains(QLatin1String(PrintMessages));
    const pelvane::Compaction::Messages say =
        print ? printMessage : (window ? pelvane::showMessageBox : printError);

    // Anything else given (Qt's own options are taken out) is refused before any file is touched.
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        if (argument != QLatin1String(PrintMessages)) {
            say(QStringLiteral("Option inconnue\u00a0: «\u00a0%1\u00a0» (voir pelvane --help). "
                               "Rien n'a été fait.")
                    .arg(argument));
            return 1;
        }
    }

    std::unique_ptr<pelvane::Form1> form;
    if (window) {
        form = std::make_unique<pelvane::Form1>();
        form->show();
        // The window is drawn once; no events run while the engine works.
        QCoreApplication::processEvents();
    }

    // The build folder's database, or the user's working copy of the installed one: the file
    // Grelavo itself uses.
    grelavo::DatabaseLocation location = grelavo::DatabaseLocation::ofThisProgram();
    const QString folder = location.prepare();
    if (folder.isEmpty()) {
        say(location.error());
        return 1;
    }

    pelvane::SqlCipherEngine engine;
    pelvane::FileOperations files;
    pelvane::Compaction compaction(folder, engine, files, say, killAtChosenStep);
    const auto outcome = compaction.CompactDatabaseFile();
    if (outcome == pelvane::Compaction::Outcome::Compacted)
        return 0;
    const QString cause = compaction.failureInWords();
    if (!cause.isEmpty())
        say(cause);
    return 1;
}
