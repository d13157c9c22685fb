// The main window's menus: Fichier, Paramètres, Rapport and Aide, and the report windows they
// open.

#include "core/db/DE.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseEdition.h"
#include "core/db/DatabaseLocation.h"
#include "core/db/DbError.h"
#include "core/report/DoseAnalysis.h"
#include "core/report/ReportEngine.h"
#include "frmAPropos.h"
#include "frmMDI.h"
#include "gui/results/frmAnalyse.h"
#include "gui/results/frmCourbes.h"
#include "gui/results/frmResults.h"
#include "gui/shared/DialogService.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace grelavo {

namespace {

// An entry of the menu, by its object name, caption and keys.
template <typename Slot>
QAction* addEntry(QMenu* menu, QObject* receiver, const char* name, const char* caption, Slot slot,
                  const QKeySequence& keys = QKeySequence()) {
    QAction* action = menu->addAction(QString::fromUtf8(caption), receiver, slot);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    return action;
}

} // namespace

void frmMDI::buildMenus() {
    buildFileMenu();
    // The navigation bar's groups and their strip commands, for the keyboard.
    buildParameterMenu();
    buildReportMenu();
    buildHelpMenu();
}

void frmMDI::buildFileMenu() {
    QMenu* mnuFichier = menuBar()->addMenu(QStringLiteral("&Fichier"));
    mnuFichier->setObjectName(QStringLiteral("mnuFichier"));
    QAction* savePdf = mnuFichier->addAction(QStringLiteral("Enregistrer le rapport en &PDF…"),
                                             this, [this] { m_results->saveAsPdf(); });
    savePdf->setObjectName(QStringLiteral("mnuEnregistrerPdf"));
    QAction* saveCsv = mnuFichier->addAction(QStringLiteral("Enregistrer le tableau en &CSV…"),
                                             this, [this] { m_results->saveAsCsv(); });
    saveCsv->setObjectName(QStringLiteral("mnuEnregistrerCsv"));
    mnuFichier->addSeparator();
    mnuFichier->addAction(QStringLiteral("&Exporter les essais…"), this, &frmMDI::exportExperiments)
        ->setObjectName(QStringLiteral("mnuExporter"));
    mnuFichier->addAction(QStringLiteral("&Importer des essais…"), this, &frmMDI::importExperiments)
        ->setObjectName(QStringLiteral("mnuImporter"));
    // Only a report shown can be saved.
    connect(mnuFichier, &QMenu::aboutToShow, this, [this, savePdf, saveCsv] {
        const bool shown = m_results && m_results->hasPicture();
        savePdf->setEnabled(shown);
        saveCsv->setEnabled(shown);
    });
    mnuFichier->addSeparator();
    QAction* quit = mnuFichier->addAction(QStringLiteral("&Quitter"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("mnuQuitter"));
}

void frmMDI::buildParameterMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Paramètres"));
    menu->setObjectName(QStringLiteral("mnuParametres"));
    const auto command = [this](Group g, Command c) { return [this, g, c] { menuCommand(g, c); }; };
    addEntry(menu, this, "mnuObligatoire", "Paramètres &obligatoires",
             [this] { cmdObligatoire_Click(); });
    addEntry(menu, this, "mnuEffacerObligatoire", "&Effacer la page",
             command(Group::Mandatory, Command::ClearMandatory));
    addEntry(menu, this, "mnuInfoObligatoire", "&Informations sur les paramètres obligatoires",
             command(Group::Mandatory, Command::MandatoryHelp));
    menu->addSeparator();
    addEntry(menu, this, "mnuOptionnel", "Paramètres o&ptionnels",
             [this] { cmdOptionnel_Click(); });
    addEntry(menu, this, "mnuCulture", "&Culture", command(Group::Optional, Command::Crop));
    addEntry(menu, this, "mnuSite", "&Site", command(Group::Optional, Command::Site));
    addEntry(menu, this, "mnuMauvHerb", "&Mauvaises herbes",
             command(Group::Optional, Command::Weeds));
    addEntry(menu, this, "mnuEffacerOptionnel", "E&ffacer les pages optionnelles",
             command(Group::Optional, Command::ClearOptional));
    addEntry(menu, this, "mnuInfoOptionnel", "I&nformations sur les paramètres optionnels",
             command(Group::Optional, Command::OptionalHelp));
}

void frmMDI::buildReportMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Rapport"));
    menu->setObjectName(QStringLiteral("mnuRapport"));
    addEntry(
        menu, this, "mnuRapports", "&Produire le rapport", [this] { cmdRapport_Click(); },
        QKeySequence(Qt::CTRL | Qt::Key_R));
    // Only while the report is shown: on the form, Ctrl+C stays the text boxes' own.
    m_mnuCopier = addEntry(
        menu, this, "mnuCopier", "&Copier", [this] { stripCommand(Command::Copy); },
        QKeySequence(Qt::CTRL | Qt::Key_C));
    m_mnuImprimer = addEntry(
        menu, this, "mnuImprimer", "&Imprimer…", [this] { stripCommand(Command::Print); },
        QKeySequence(Qt::CTRL | Qt::Key_P));
    m_mnuCourbes = addEntry(menu, this, "mnuCourbes", "Courbes &dose-réponse…",
                            [this] { openDoseResponse(); });
    m_mnuAnalyse =
        addEntry(menu, this, "mnuAnalyse", "&Analyse dose-réponse…", [this] { openAnalysis(); });
    addEntry(menu, this, "mnuInfoRapport", "I&nformations sur le rapport",
             [this] { stripCommand(Command::ReportHelp); });
    enableReportCommands();
}

void frmMDI::buildHelpMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Aide"));
    menu->setObjectName(QStringLiteral("mnuAide"));
    addEntry(
        menu, this, "mnuAidePage", "&Aide sur cette page", [this] { openCurrentHelpTopic(); },
        QKeySequence(Qt::Key_F1));
    addEntry(menu, this, "mnuFichAide", "Fichier d'A&ide", [this] { openHelpTopic(1000); });
    addEntry(menu, this, "mnuAbout", "À &propos", [this] { showAbout(); });
}

void frmMDI::showAbout() {
    frmAPropos::Facts facts;
    facts.contact = frmAPropos::builtContact();
    facts.helpFile = DatabaseLocation::shippedFile(m_programFolder, QStringLiteral("Aide.chm"));
    // The edition of the open database; unknown when the file cannot say.
    try {
        facts.edition = DatabaseEdition::read(m_de->Connection2());
    } catch (const DbError&) {
    }
    frmAPropos box(m_dialogs, facts, this);
    box.exec();
}

void frmMDI::menuCommand(Group g, Command command) {
    if (!m_param)
        return;
    if (m_bar->group() != g) {
        if (g == Group::Mandatory)
            cmdObligatoire_Click();
        else
            cmdOptionnel_Click();
    }
    stripCommand(command);
}

void frmMDI::enableReportCommands() {
    if (!m_mnuCopier)
        return;
    const bool shown = m_bar->group() == Group::Report && m_state.ResultsShown;
    m_mnuCopier->setEnabled(shown);
    m_mnuImprimer->setEnabled(shown);
    m_mnuCourbes->setEnabled(shown);
    m_mnuAnalyse->setEnabled(shown);
}

void frmMDI::openDoseResponse() {
    if (!m_state.ResultsShown)
        return;
    const ReportOutcome& report = m_results->report();
    frmCourbes window(m_dialogs, report.details, report.rows, m_results->page().about(), this);
    window.exec();
}

void frmMDI::openAnalysis() {
    if (!m_state.ResultsShown)
        return;
    const ReportOutcome& report = m_results->report();
    DoseAnalysis analysis;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor); // fitting the curves takes a moment
    try {
        ReportEngine engine(*m_de);
        analysis = DoseAnalysis::run(m_de->Connection2(), engine, report.parameters, report.details,
                                     report.rows, QLocale());
    } catch (const DbError& e) {
        QGuiApplication::restoreOverrideCursor();
        m_dialogs.message(this,
                          QStringLiteral("L'analyse dose-réponse n'a pas pu être faite\u00a0: %1.")
                              .arg(DatabaseCheck::causeInWords(e)),
                          QStringLiteral("Attention"), DialogService::Icon::Critical);
        return;
    }
    QGuiApplication::restoreOverrideCursor();
    frmAnalyse window(m_dialogs, std::move(analysis), m_results->page().about(), this);
    window.exec();
}

} // namespace grelavo
