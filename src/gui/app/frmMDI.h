#pragma once

#include "ExperimentMenus.h"
#include "NavigationBar.h"
#include "gui/shared/AppState.h"

#include <QDate>
#include <QLocale>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QProgressBar;
class QTimer;

namespace grelavo {

class DE;
class DialogService;
struct ParameterSet;
struct ReportOutcome;
class frmParam;
class frmResults;

// The main window: navigation bar on the left, the parameter form and the results window as
// MDI children, the status line at the bottom, the menus.
class frmMDI : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int StripButtons = NavigationBar::StripButtons;

    // The date of the status bar: the day's name in French, a line break, the date as the
    // user's locale writes it in numbers ("mardi,\n2026-12-08", "mardi,\n08/12/2026").
    static QString statusDate(const QDate& day, const QLocale& locale);

    // databaseFolder: the folder whose Grelavo.mdb the program opens (see DatabaseLocation), and
    // where the help file is looked for until setProgramFolder() says otherwise.
    frmMDI(const QString& databaseFolder, DialogService& dialogs, QWidget* parent = nullptr);
    ~frmMDI() override;

    // The folder of the program, whose shipped help file (beside it, or in ../share/grelavo) the
    // help commands open.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }

    // The start-up: checks the database, loads the windows, shows the start window modally.
    // False when the program must end at once (the database file is missing).
    bool Form_Load();

    void cmdObligatoire_Click();
    void cmdOptionnel_Click();
    void cmdRapport_Click();
    // A button of the strip by its number (ListBar(1) to ListBar(10)).
    void ListBar_ButtonClick(int index);
    void stripCommand(NavigationBar::Command command);
    void cmdUp_Click() { m_bar->scrollUp(); }
    void cmdDown_Click() { m_bar->scrollDown(); }
    void Set_StatusBar();
    void Show_sstParam(int i);
    void HideSSTAB();
    // Whether a file of that name is in the database folder (names matched without regard to case).
    bool FileExists(const QString& name) const;
    void openHelpTopic(int contextId);
    // The help topic of the group shown, as its strip's help button opens it (F1).
    void openCurrentHelpTopic();
    // Menu Fichier: the experiments of the database written into a folder as exchange files,
    // and exchange files added to the database.
    void exportExperiments() { m_exchange->exportExperiments(); }
    void importExperiments() { m_exchange->importExperiments(); }

    AppState& state() { return m_state; }
    DE& de() { return *m_de; }
    frmParam* param() const { return m_param; }
    frmResults* results() const { return m_results; }
    // The parameter page shown (1 mandatory, 2 crop, 3 site, 4 weeds), whoever brought it
    // forward: a command, a strip button or a check; 0 when none is.
    int CurrentPage() const;
    // 0 mandatory, 1 optional, 2 report.
    int CurrentGroup() const { return static_cast<int>(m_bar->group()); }
    int BarTopLimit() const { return m_bar->topLimit(); }
    int BarBottomLimit() const { return m_bar->bottomLimit(); }
    QTimer* Timer1() const { return m_timer; }

    // What ends the program once the main window has unloaded (the application's quit by
    // default; tests put their own).
    void setProgramEnd(std::function<void()> end) { m_programEnd = std::move(end); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    using Group = NavigationBar::Group;
    using Command = NavigationBar::Command;

    void buildNavigationBar();
    void buildStatusBar();
    void buildExchange();
    // The menus, in frmMDIMenus.cpp.
    void buildMenus();
    void buildFileMenu();
    void buildParameterMenu();
    void buildReportMenu();
    void buildHelpMenu();
    // A strip command from the menus: its group brought forward first when another one is shown.
    void menuCommand(Group g, Command command);
    void enableReportCommands();
    void showAbout();
    // Form_Load's parts: the form and the results window made, the hover help started, the first
    // box of the mandatory page given the focus.
    void loadWindows();
    void startHoverHelp();
    void focusFirstBox();
    void setDateLabel();
    void showChild(QWidget* child, bool visible);
    // Hover help on, the page and group current, the results window put away.
    void enterParameterGroup(Group group);
    void unloadWindows();
    void runReport(const ParameterSet& parameters);
    // A report that has nothing to show, said; back to the parameters.
    void reportNotShown(const ReportOutcome& report);
    // The dose-response window of the report shown.
    void openDoseResponse();
    // The dose-response analysis of the report shown, computed, then its window.
    void openAnalysis();

    QString m_folder;        // the database's
    QString m_programFolder; // the program's, for the help file
    DialogService& m_dialogs;
    AppState m_state;
    std::unique_ptr<DE> m_de;
    std::function<void()> m_programEnd;

    bool m_reportRunning = false;

    NavigationBar* m_bar = nullptr;
    std::unique_ptr<ExperimentMenus> m_exchange;
    QWidget* m_picStatusBar = nullptr;
    std::array<QLabel*, 4> m_statusLabels{};
    QProgressBar* m_progressBar = nullptr;
    QTimer* m_timer = nullptr;
    QMdiArea* m_mdiArea = nullptr;
    QAction* m_mnuCopier = nullptr;
    QAction* m_mnuImprimer = nullptr;
    QAction* m_mnuCourbes = nullptr;
    QAction* m_mnuAnalyse = nullptr;
    frmParam* m_param = nullptr;
    frmResults* m_results = nullptr;
};

} // namespace grelavo
