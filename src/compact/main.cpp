#include "Compaction.h"
#include "FileOperations.h"
#include "Form1.h"
#include "MessageBox.h"
#include "SqlCipherEngine.h"
#include "db/DatabaseLocation.h"

#include <QApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>

namespace {

// Test hook, deliberately left out of any help text: with the argument --print-messages the
// messages are written to standard output, one a line, instead of waiting in a message box for
// someone to press OK, so that a test can run the real program headless and read what it said.
// Pelvane otherwise takes no arguments.
const char* const PrintMessages = "--print-messages";

void printMessage(const QString& text) {
    QTextStream out(stdout);
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

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelvane"));
    const bool print = QApplication::arguments().contains(QLatin1String(PrintMessages));

    pelvane::Form1 form;
    form.show();
    // The window is drawn once; no events run while the engine works.
    QApplication::processEvents();

    // The build folder's database, or the user's working copy of the installed one: the file
    // Grelavo itself uses.
    grelavo::DatabaseLocation location = grelavo::DatabaseLocation::ofThisProgram();
    const QString folder = location.prepare();
    if (folder.isEmpty()) {
        (print ? printMessage : pelvane::showMessageBox)(location.error());
        return 1;
    }

    pelvane::SqlCipherEngine engine;
    pelvane::FileOperations files;
    pelvane::Compaction compaction(
        folder, engine, files, print ? printMessage : pelvane::showMessageBox, killAtChosenStep);
    const auto outcome = compaction.CompactDatabaseFile();
    return outcome == pelvane::Compaction::Outcome::Compacted ? 0 : 1;
}
