#pragma once

#include <QStringList>
#include <functional>

class QWidget;

namespace grelavo {

class DE;
class DialogService;
struct ImportOutcome;

// Menu Fichier's exchange of experiments: the experiments of the database written into a folder
// as exchange files, and exchange files added to the database, each said to the user. An import
// writes the file through its own connection: the window's is closed first.
class ExperimentMenus {
public:
    // What the main window does around an exchange.
    struct Hooks {
        // A report is running: the menus do nothing (it reads the file the import would hold).
        std::function<bool()> busy;
        // After an import: the form's lists read again; gives the entries cleared because their
        // names left the lists.
        std::function<QStringList()> reloadLists;
        // Once the import has been said: what was shown is made again from the new experiments.
        std::function<void()> showAgain;
    };

    ExperimentMenus(QWidget* window, DE& de, DialogService& dialogs, Hooks hooks);

    void exportExperiments();
    void importExperiments();

private:
    // The import run on the database file, with a progress window.
    ImportOutcome runImport(const QStringList& files, bool addNames, bool dryRun);
    void showImported(const ImportOutcome& outcome);

    QWidget* m_window;
    DE& m_de;
    DialogService& m_dialogs;
    Hooks m_hooks;
};

} // namespace grelavo
