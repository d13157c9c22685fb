#include "frmMDI.h"

#include "HoverHelp.h"
#include "MdiPage.h"
#include "PointerTracker.h"
#include "db/DE.h"
#include "db/DataAccess.h"
#include "db/DatabaseCheck.h"
#include "db/DatabaseEdition.h"
#include "db/DatabaseFile.h"
#include "db/DatabaseLocation.h"
#include "db/DbError.h"
#include "exchange/ExperimentExport.h"
#include "exchange/ExperimentImport.h"
#include "frmAPropos.h"
#include "frmProblemes.h"
#include "frmStart.h"
#include "params/frmParam.h"
#include "rates/frmChoixTaux.h"
#include "render/Twips.h"
#include "report/DoseAnalysis.h"
#include "report/ReportEngine.h"
#include "results/frmAnalyse.h"
#include "results/frmCourbes.h"
#include "results/frmResults.h"
#include "shared/DialogService.h"
#include "shared/HoverText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace grelavo {

namespace {

const int kListBarWidth = 2250; // the navigation bar, twips
const int kStripButtonHeight = 900;
const int kScrollButtonSize = 300;
const int kStatusBarHeight = 540;
// Below this the window is not made smaller (pixels): the group buttons and a strip button fit
// in the bar, and a corner of the form's page shows beside it.
const QSize kMinimumWindow(640, 400);

struct StripButton {
    const char* caption;
    int group;
    const char* icon;
};

// The ten buttons of the strip by index 1 to 10: caption, group, icon.
const StripButton kStrip[frmMDI::StripButtons] = {{"Tout effacer", 0, "effacer"},
                                                  {"Aide", 0, "aide"},
                                                  {"Culture", 1, "culture"},
                                                  {"Site", 1, "site"},
                                                  {"Mauv. herb.", 1, "mauvaises-herbes"},
                                                  {"Tout effacer", 1, "effacer"},
                                                  {"Aide", 1, "aide"},
                                                  {"Copier", 2, "copier"},
                                                  {"Imprimer", 2, "imprimer"},
                                                  {"Aide", 2, "aide"}};

const QString kDatabaseMissing = QStringLiteral(
    "La base de données est impossible à trouver ou inutilisable.\rCette erreur est critique.  "
    "Vous devez désinstaller\rpuis réinstaller l'application à partir du CD-Rom.");
const QString kNoData =
    QStringLiteral("Votre requête ne retourne aucune donnée.\rVous pouvez essayer de nouveau en "
                   "diminuant\rle nombre de paramètres ou en changeant les doses.");
const QString kHelpMissing = QStringLiteral(
    "Le fichier d'aide est introuvable.\rPour pouvoir l'utiliser, vous devez désinstaller\rpuis "
    "réinstaller l'application à partir du CD-Rom.");

const QString kExportTitle = QStringLiteral("Exportation des essais");
const QString kImportTitle = QStringLiteral("Importation des essais");

// "3 lignes", "1 ligne"
QString countOf(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n > 1 ? many : one));
}

QString countsInWords(const ExperimentCounts& c) {
    return QStringList{countOf(c.sites, "site", "sites"),
                       countOf(c.treatments, "traitement", "traitements"),
                       countOf(c.crops, "culture", "cultures"),
                       countOf(c.applications, "application", "applications"),
                       countOf(c.stages, "stade", "stades"),
                       countOf(c.products, "produit", "produits"),
                       countOf(c.ratings, "évaluation", "évaluations")}
        .join(QStringLiteral(", "));
}

void place(QWidget* w, const QRect& twips) {
    w->setGeometry(Twips::toPixels(twips));
}

int twipsOf(int pixels) {
    return Twips::fromPixels(pixels);
}

} // namespace

frmMDI::frmMDI(const QString& databaseFolder, DialogService& dialogs, QWidget* parent)
    : QMainWindow(parent), m_folder(databaseFolder), m_programFolder(databaseFolder),
      m_dialogs(dialogs), m_de(std::make_unique<DE>(databaseFolder)),
      m_programEnd([] { QApplication::quit(); }) {
    setObjectName(QStringLiteral("frmMDI"));
    setWindowTitle(QStringLiteral("Grelavo"));
    // Every statement shows the hourglass until it completes.
    m_de->setStatementNotices([] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); },
                              [] { QGuiApplication::restoreOverrideCursor(); });

    auto* central = new QWidget;
    auto* rows = new QVBoxLayout(central);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(0);
    buildNavigationBar();
    columns->addWidget(m_picListBar);
    m_mdiArea = new QMdiArea;
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    HoverText::describe(m_mdiArea, HoverText::generalPrompt());
    m_mdiArea->setBackground(QColor(0x80, 0x80, 0x80));
    columns->addWidget(m_mdiArea, 1);
    rows->addLayout(columns, 1);
    buildStatusBar();
    rows->addWidget(m_picStatusBar);
    setCentralWidget(central);
    buildMenus();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(10);
}

frmMDI::~frmMDI() = default;

void frmMDI::buildNavigationBar() {
    m_picListBar = new QWidget;
    m_picListBar->setObjectName(QStringLiteral("picListBar"));
    m_picListBar->setFixedWidth(Twips::toPixels(kListBarWidth));
    m_picListBar->setAutoFillBackground(true);
    m_picListBar->setBackgroundRole(QPalette::Dark);
    m_picListBar->installEventFilter(this);

    HoverText::describe(m_picListBar, HoverText::generalPrompt());
    const char* names[3] = {"cmdObligatoire", "cmdOptionnel", "cmdRapport"};
    const char* captions[3] = {"Paramètres obligatoires", "Paramètres optionnels", "Rapports"};
    const char* help[3] = {
        "Appuyez ici pour entrer les paramètres nécessaires à la production d'un rapport",
        "Appuyez ici pour entrer des paramètres optionnels",
        "Appuyez ici pour produire les rapports"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(captions[i]), m_picListBar);
        button->setObjectName(QLatin1String(names[i]));
        HoverText::describe(button, QString::fromUtf8(help[i]));
        QFont font = button->font();
        font.setPointSizeF(8.5);
        button->setFont(font);
        m_groupButtons[i] = button;
    }
    connect(m_groupButtons[0], &QPushButton::clicked, this, &frmMDI::cmdObligatoire_Click);
    connect(m_groupButtons[1], &QPushButton::clicked, this, &frmMDI::cmdOptionnel_Click);
    connect(m_groupButtons[2], &QPushButton::clicked, this, &frmMDI::cmdRapport_Click);

    m_stripClip = new QWidget(m_picListBar);
    m_stripClip->setObjectName(QStringLiteral("ListBarClip"));
    m_listBar = new QWidget(m_stripClip);
    m_listBar->setObjectName(QStringLiteral("ListBar"));
    for (int i = 0; i < StripButtons; ++i) {
        auto* button = new QToolButton(m_listBar);
        button->setObjectName(QStringLiteral("ListBar(%1)").arg(i + 1));
        button->setText(QString::fromUtf8(kStrip[i].caption));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIconSize(QSize(32, 32));
        connect(button, &QToolButton::clicked, this, [this, i] { ListBar_ButtonClick(i + 1); });
        m_stripButtons[i] = button;
    }
    m_stripClip->raise();

    m_cmdUp = new QToolButton(m_picListBar);
    m_cmdUp->setObjectName(QStringLiteral("cmdUp"));
    m_cmdUp->setIcon(QIcon(QStringLiteral(":/icons/haut.svg")));
    m_cmdDown = new QToolButton(m_picListBar);
    m_cmdDown->setObjectName(QStringLiteral("cmdDown"));
    m_cmdDown->setIcon(QIcon(QStringLiteral(":/icons/bas.svg")));
    for (QToolButton* b : {m_cmdUp, m_cmdDown}) {
        b->resize(Twips::toPixels(kScrollButtonSize), Twips::toPixels(kScrollButtonSize));
        b->hide();
        b->raise();
    }
    connect(m_cmdUp, &QToolButton::clicked, this, &frmMDI::cmdUp_Click);
    connect(m_cmdDown, &QToolButton::clicked, this, &frmMDI::cmdDown_Click);
}

void frmMDI::buildStatusBar() {
    m_picStatusBar = new QWidget;
    m_picStatusBar->setObjectName(QStringLiteral("picStatusBar"));
    HoverText::describe(m_picStatusBar, HoverText::generalPrompt());
    m_picStatusBar->setFixedHeight(Twips::toPixels(kStatusBarHeight));
    const double sizes[4] = {9, 9, 8.25, 9.75};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(m_picStatusBar);
        label->setObjectName(QStringLiteral("StatusLabel(%1)").arg(i));
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSizeF(sizes[i]);
        label->setFont(font);
        label->setWordWrap(i == 1);
        m_statusLabels[i] = label;
    }
    m_statusLabels[3]->lower();
    m_statusLabels[3]->setFrameShape(QFrame::Panel);
    m_statusLabels[3]->setFrameShadow(QFrame::Sunken);
    m_statusLabels[0]->setAlignment(Qt::AlignCenter);
    m_statusLabels[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_statusLabels[2]->setContentsMargins(0, 0, 4, 0);
    m_progressBar = new QProgressBar(m_picStatusBar);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->hide();
}

void frmMDI::buildMenus() {
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

    // The navigation bar's groups and their strip commands, for the keyboard.
    const auto add = [this](QMenu* menu, const char* name, const char* caption, auto slot,
                            const QKeySequence& keys = QKeySequence()) {
        QAction* action = menu->addAction(QString::fromUtf8(caption), this, slot);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        return action;
    };
    QMenu* mnuParametres = menuBar()->addMenu(QStringLiteral("&Paramètres"));
    mnuParametres->setObjectName(QStringLiteral("mnuParametres"));
    add(mnuParametres, "mnuObligatoire", "Paramètres &obligatoires",
        [this] { cmdObligatoire_Click(); });
    add(mnuParametres, "mnuEffacerObligatoire", "&Effacer la page", [this] { menuCommand(0, 1); });
    add(mnuParametres, "mnuInfoObligatoire", "&Informations sur les paramètres obligatoires",
        [this] { menuCommand(0, 2); });
    mnuParametres->addSeparator();
    add(mnuParametres, "mnuOptionnel", "Paramètres o&ptionnels", [this] { cmdOptionnel_Click(); });
    add(mnuParametres, "mnuCulture", "&Culture", [this] { menuCommand(1, 3); });
    add(mnuParametres, "mnuSite", "&Site", [this] { menuCommand(1, 4); });
    add(mnuParametres, "mnuMauvHerb", "&Mauvaises herbes", [this] { menuCommand(1, 5); });
    add(mnuParametres, "mnuEffacerOptionnel", "E&ffacer les pages optionnelles",
        [this] { menuCommand(1, 6); });
    add(mnuParametres, "mnuInfoOptionnel", "I&nformations sur les paramètres optionnels",
        [this] { menuCommand(1, 7); });

    QMenu* mnuRapport = menuBar()->addMenu(QStringLiteral("&Rapport"));
    mnuRapport->setObjectName(QStringLiteral("mnuRapport"));
    add(
        mnuRapport, "mnuRapports", "&Produire le rapport", [this] { cmdRapport_Click(); },
        QKeySequence(Qt::CTRL | Qt::Key_R));
    // Only while the report is shown: on the form, Ctrl+C stays the text boxes' own.
    m_mnuCopier = add(
        mnuRapport, "mnuCopier", "&Copier", [this] { ListBar_ButtonClick(8); },
        QKeySequence(Qt::CTRL | Qt::Key_C));
    m_mnuImprimer = add(
        mnuRapport, "mnuImprimer", "&Imprimer…", [this] { ListBar_ButtonClick(9); },
        QKeySequence(Qt::CTRL | Qt::Key_P));
    m_mnuCourbes =
        add(mnuRapport, "mnuCourbes", "Courbes &dose-réponse…", [this] { openDoseResponse(); });
    m_mnuAnalyse =
        add(mnuRapport, "mnuAnalyse", "&Analyse dose-réponse…", [this] { openAnalysis(); });
    add(mnuRapport, "mnuInfoRapport", "I&nformations sur le rapport",
        [this] { ListBar_ButtonClick(10); });
    enableReportCommands();

    QMenu* mnuAide = menuBar()->addMenu(QStringLiteral("&Aide"));
    mnuAide->setObjectName(QStringLiteral("mnuAide"));
    add(
        mnuAide, "mnuAidePage", "&Aide sur cette page", [this] { openCurrentHelpTopic(); },
        QKeySequence(Qt::Key_F1));
    QAction* help = mnuAide->addAction(QStringLiteral("Fichier d'A&ide"), this,
                                       [this] { openHelpTopic(1000); });
    help->setObjectName(QStringLiteral("mnuFichAide"));
    QAction* about = mnuAide->addAction(QStringLiteral("À &propos"), this, [this] {
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
    });
    about->setObjectName(QStringLiteral("mnuAbout"));
}

void frmMDI::menuCommand(int g, int index) {
    if (!m_param)
        return;
    if (m_currentGroup != g) {
        if (g == 0)
            cmdObligatoire_Click();
        else
            cmdOptionnel_Click();
    }
    ListBar_ButtonClick(index);
}

void frmMDI::enableReportCommands() {
    if (!m_mnuCopier)
        return;
    const bool shown = m_currentGroup == 2 && m_state.ResultsShown;
    m_mnuCopier->setEnabled(shown);
    m_mnuImprimer->setEnabled(shown);
    m_mnuCourbes->setEnabled(shown);
    m_mnuAnalyse->setEnabled(shown);
}

bool frmMDI::FileExists(const QString& name) const {
    return !DatabaseFile::findInFolder(m_folder, name).isEmpty();
}

bool frmMDI::Form_Load() {
    if (!FileExists(DatabaseFile::fileName())) {
        m_dialogs.message(this, kDatabaseMissing, QStringLiteral("Erreur critique"),
                          DialogService::Icon::Critical);
        return false;
    }
    // A file that is there but cannot serve would give empty lists and reports that fail:
    // the program says why and ends instead.
    const QString problem = DatabaseCheck::problem(*m_de);
    if (!problem.isEmpty()) {
        m_de->close();
        m_dialogs.message(this, problem, QStringLiteral("Erreur critique"),
                          DialogService::Icon::Critical);
        return false;
    }
    // Sized for the screen's room (without its panels); smaller, the pages scroll.
    const QRect available = screen()->availableGeometry();
    const QSize designed(qRound(available.width() * 0.85), qRound(available.height() * 0.77));
    setMinimumSize(kMinimumWindow.boundedTo(designed));
    resize(designed);
    move(available.center() - rect().center());

    m_param = new frmParam(m_state, *m_de, m_dialogs);
    connect(m_param, &frmParam::mandatoryPageWanted, this, &frmMDI::cmdObligatoire_Click);
    connect(m_param, &frmParam::optionalPagesWanted, this, &frmMDI::cmdOptionnel_Click);
    connect(m_param, &frmParam::ratePickerWanted, this, [this] {
        frmChoixTaux picker(m_state, *m_de, m_dialogs, m_param->rates(), this);
        picker.exec();
        m_param->setRates(picker.rates()); // however the window was closed
    });
    m_results = new frmResults(m_state, *m_de, m_dialogs);
    m_results->setHelpLine([this](const QString& text) { m_statusLabels[1]->setText(text); });
    // The form scrolls only where the area is narrower than its widest page needs.
    auto* scroller = new PageScroller(m_param, QSize());
    scroller->setObjectName(QStringLiteral("frmParamScroller"));
    for (QWidget* child : {static_cast<QWidget*>(scroller), static_cast<QWidget*>(m_results)}) {
        QMdiSubWindow* sub =
            m_mdiArea->addSubWindow(new OpenSubWindow(child), Qt::FramelessWindowHint);
        sub->hide();
    }
    QCoreApplication::processEvents();
    m_state.reset();
    SetButtonImages();
    m_state.NoDataFound = false;
    setDateLabel();
    auto* hover = new HoverHelp(
        m_state, this, m_listBar,
        {m_param->sstParam(0), m_param->sstParam(1), m_param->sstParam(2), m_param->sstParam(3)},
        [this] { return m_currentGroup; },
        [this](const QString& text) {
            const QString shown = QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
            if (m_statusLabels[1]->text() !=
                shown) // the tick writes the same text 100 times a second
                m_statusLabels[1]->setText(shown);
        });
    auto* pointer = new PointerTracker(this);
    connect(m_timer, &QTimer::timeout, this, [this, hover, pointer] {
        if (const std::optional<QPoint> pos = pointer->pos())
            hover->tick(CurrentPage(), *pos);
    });
    QCoreApplication::processEvents();

    hide();
    {
        frmStart start;
        start.exec();
    }
    show();
    cmdObligatoire_Click();
    // Ready for the keyboard: the first box of the page.
    QWidget* page = m_param->sstParam(0)->currentWidget();
    for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w))
            break;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible()) {
            w->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}

void frmMDI::SetButtonImages() {
    for (int i = 0; i < StripButtons; ++i)
        m_stripButtons[i]->setIcon(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kStrip[i].icon))));
}

QString frmMDI::statusDate(const QDate& day, const QLocale& locale) {
    // The day's name in the program's language; the date in the user's own order of numbers,
    // or in ISO order where that order would spell the month in another language.
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (format.contains(QStringLiteral("MMM")))
        format = QStringLiteral("yyyy-MM-dd");
    return QLocale(QLocale::French, QLocale::Canada).toString(day, QStringLiteral("dddd")) +
           QStringLiteral(",\n") + day.toString(format);
}

void frmMDI::setDateLabel() {
    QFont font = m_statusLabels[2]->font();
    font.setPointSizeF(8.6);
    m_statusLabels[2]->setFont(font);
    m_statusLabels[2]->setText(statusDate(QDate::currentDate(), QLocale()));
}

void frmMDI::showChild(QWidget* child, bool visible) {
    QWidget* sub = child->parentWidget();
    while (!qobject_cast<QMdiSubWindow*>(sub))
        sub = sub->parentWidget();
    if (visible) {
        sub->showMaximized();
        child->show();
    } else {
        sub->hide();
    }
}

void frmMDI::HideSSTAB() {
    m_param->hidePages();
}

void frmMDI::Show_sstParam(int i) {
    m_param->showPage(i);
}

int frmMDI::CurrentPage() const {
    for (int k = 0; m_param && k < frmParam::Pages; ++k)
        if (m_param->sstParam(k)->isVisibleTo(m_param))
            return k + 1;
    return 0;
}

void frmMDI::enterParameterGroup(int group) {
    m_timer->start();
    m_currentGroup = group;
    if (m_state.ResultsShown) {
        m_results->clearPicture();
        m_state.ResultsShown = false;
        showChild(m_results, false);
    }
}

void frmMDI::cmdObligatoire_Click() {
    enterParameterGroup(0);
    HideSSTAB();
    Show_sstParam(0);
    if (m_state.NeedFill_cbbApp) {
        m_param->Fill_cbbApp();
        m_state.NeedFill_cbbApp = false;
    }
    showChild(m_param, true);
    ArrangeBar(0, true);
    m_statusLabels[0]->setText(QStringLiteral("Paramètres obligatoires"));
    m_statusLabels[1]->setText(
        QStringLiteral("Cette page renferme les éléments obligatoires à la création d'un rapport"));
}

void frmMDI::cmdOptionnel_Click() {
    enterParameterGroup(1);
    if (m_state.NeedFill_Culture) {
        m_param->Fill_Culture();
        m_state.NeedFill_Culture = false;
    }
    HideSSTAB();
    Show_sstParam(1);
    showChild(m_param, true);
    ArrangeBar(1, true);
    m_statusLabels[0]->setText(QStringLiteral("Paramètres optionnels"));
}

void frmMDI::cmdRapport_Click() {
    // The report lets window events run: a second request meanwhile is ignored.
    if (m_reportRunning)
        return;
    m_reportRunning = true;
    m_timer->stop();
    m_currentGroup = 2;
    m_statusLabels[0]->setText(QStringLiteral("Gestion des rapports"));
    m_param->GoTAllNeeded();
    if (!m_state.ParameterMissing)
        runReport(m_param->readParameters());
    m_reportRunning = false;
}

void frmMDI::runReport(const ParameterSet& parameters) {
    ReportHooks hooks;
    hooks.started = [this] {
        m_progressBar->setValue(0);
        m_progressBar->show();
        m_statusLabels[1]->setText(HoverText::generalPrompt());
    };
    hooks.progressed = [this](int value) { m_progressBar->setValue(value); };
    hooks.letEventsRun = [] { QCoreApplication::processEvents(); };
    hooks.pause = [] { DataAccess::Pause(1); };
    hooks.finished = [this] { m_progressBar->hide(); };
    ReportEngine engine(*m_de);
    engine.setGatherDetails(true);
    if (!engine.SetQuery(parameters, hooks)) {
        // Refused (what the checks let through but the engine cannot read) or failed in the
        // database: said, never shown as a result, and back to the parameters.
        const QString cause = engine.failure().isEmpty()
                                  ? QStringLiteral("Le rapport n'a pas pu être produit\u00a0: %1.")
                                        .arg(engine.refusal())
                                  : QStringLiteral("Le rapport n'a pas pu être produit\u00a0: %1."
                                                   "\rAucun résultat n'est affiché.")
                                        .arg(engine.failure());
        m_dialogs.message(this, cause, QStringLiteral("Attention"), DialogService::Icon::Critical);
        cmdObligatoire_Click();
        return;
    }
    QCoreApplication::processEvents();
    m_state.NoDataFound = engine.NoDataFound();
    m_state.TotalCases = engine.TotalCases();
    if (m_state.NoDataFound) {
        m_dialogs.message(this, kNoData, QStringLiteral("Aucun résultat"),
                          DialogService::Icon::Warning);
        cmdObligatoire_Click();
        Show_sstParam(0);
        m_state.ResultsShown = false;
        return;
    }
    m_state.ParamSummaryLines = ReportEngine::Set_ParamList(parameters);
    m_reportDetails = engine.details();
    m_reportParameters = parameters;
    try {
        m_reportRows = ResultsTable::read(m_de->Connection2());
    } catch (const DbError&) {
        m_reportRows.clear(); // the window then has nothing to draw; the table says what it can
    }
    m_results->setDetails(engine.details(), parameters);
    m_results->Set_Preview();
    m_state.ResultsShown = true;
    showChild(m_param, false);
    showChild(m_results, true);
    ArrangeBar(2, true);
}

void frmMDI::openDoseResponse() {
    if (!m_state.ResultsShown)
        return;
    frmCourbes window(m_dialogs, m_reportDetails, m_reportRows, m_results->page().about(), this);
    window.exec();
}

void frmMDI::openAnalysis() {
    if (!m_state.ResultsShown)
        return;
    DoseAnalysis analysis;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor); // fitting the curves takes a moment
    try {
        ReportEngine engine(*m_de);
        analysis = DoseAnalysis::run(m_de->Connection2(), engine, m_reportParameters,
                                     m_reportDetails, m_reportRows, QLocale());
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

void frmMDI::ListBar_ButtonClick(int index) {
    switch (index) {
    case 1:
        m_param->EmptyControls(QStringLiteral("Obligatoire"));
        break;
    case 2:
        openHelpTopic(2000);
        break;
    case 7:
        openHelpTopic(3000);
        break;
    case 10:
        openHelpTopic(4000);
        break;
    case 3:
        HideSSTAB();
        Show_sstParam(1);
        if (m_state.NeedFill_Culture) {
            m_param->Fill_Culture();
            m_state.NeedFill_Culture = false;
        }
        break;
    case 4:
        HideSSTAB();
        Show_sstParam(2);
        if (m_state.NeedFill_Site)
            m_param->Fill_Site();
        break;
    case 5:
        HideSSTAB();
        Show_sstParam(3);
        if (m_state.NeedFill_MauvHerb)
            m_param->Fill_MauvHerb();
        break;
    case 6:
        m_param->EmptyControls(QStringLiteral("Optionnel"));
        break;
    case 8:
        m_results->CopyToClipboard();
        break;
    case 9:
        m_results->Set_Print();
        break;
    default:
        break;
    }
}

void frmMDI::openCurrentHelpTopic() {
    const int topics[3] = {2000, 3000, 4000};
    openHelpTopic(topics[std::clamp(m_currentGroup, 0, 2)]);
}

void frmMDI::openHelpTopic(int contextId) {
    const QString file = DatabaseLocation::shippedFile(m_programFolder, QStringLiteral("Aide.chm"));
    if (file.isEmpty()) {
        m_dialogs.message(this, kHelpMissing, QStringLiteral("Fichier d'aide introuvable"),
                          DialogService::Icon::Critical);
        return;
    }
    m_dialogs.openHelpTopic(file, contextId);
}

int frmMDI::stripHeight() const {
    int visible = 0;
    for (int i = 0; i < StripButtons; ++i)
        visible += kStrip[i].group == m_currentGroup ? 1 : 0;
    return visible * kStripButtonHeight;
}

void frmMDI::layOutStrip() {
    int top = 0;
    for (int i = 0; i < StripButtons; ++i) {
        const bool visible = kStrip[i].group == m_currentGroup;
        m_stripButtons[i]->setVisible(visible);
        if (visible) {
            place(m_stripButtons[i], QRect(0, top, BarLayout::StripWidth, kStripButtonHeight));
            top += kStripButtonHeight;
        }
    }
    m_listBar->resize(Twips::toPixels(BarLayout::StripWidth), Twips::toPixels(top));
}

void frmMDI::placeStrip(int top) {
    m_listBar->move(m_listBar->x(), Twips::toPixels(top) - m_stripClip->y());
    m_listBar->setProperty("topTwips", top);
}

void frmMDI::ArrangeBar(int g, bool resetStrip) {
    m_listBar->hide();
    m_currentGroup = g; // the strip shows the buttons of group g
    layOutStrip();
    const int W = twipsOf(m_picListBar->width());
    const int Ht = twipsOf(m_picListBar->height());
    const BarLayout::Bar bar = BarLayout::ArrangeBar(
        g, resetStrip, W, Ht, m_listBar->property("topTwips").toInt(), stripHeight(),
        BarLayout::StripWidth, kScrollButtonSize, kScrollButtonSize);
    for (int i = 0; i < 3; ++i)
        place(m_groupButtons[i], bar.groupButtons[i]);
    m_cmdUp->move(Twips::toPixels(bar.up.x()), Twips::toPixels(bar.up.y()));
    m_cmdDown->move(Twips::toPixels(bar.down.x()), Twips::toPixels(bar.down.y()));
    m_barTopLimit = bar.BarTopLimit;
    m_barBottomLimit = bar.BarBottomLimit;
    // The strip shows between the group buttons only, scrolled or not.
    const int clipTop = m_groupButtons[g]->geometry().bottom() + 1;
    const int clipBottom = g < 2 ? m_groupButtons[g + 1]->y() : m_picListBar->height();
    m_stripClip->setGeometry(0, clipTop, m_picListBar->width(), std::max(0, clipBottom - clipTop));
    m_listBar->move(Twips::toPixels(bar.stripLeft), m_listBar->y());
    placeStrip(bar.stripTop);
    m_cmdUp->setVisible(bar.upVisible);
    m_cmdDown->setVisible(bar.downVisible);
    m_listBar->show();
    m_cmdUp->raise();
    m_cmdDown->raise();
    enableReportCommands();
}

void frmMDI::cmdDown_Click() {
    const BarLayout::Scroll s =
        BarLayout::cmdDown_Click(m_listBar->property("topTwips").toInt(), stripHeight(),
                                 kStripButtonHeight, m_barBottomLimit);
    placeStrip(s.top);
    m_cmdDown->setVisible(s.downVisible);
    m_cmdUp->setVisible(s.upVisible);
}

void frmMDI::cmdUp_Click() {
    const BarLayout::Scroll s = BarLayout::cmdUp_Click(m_listBar->property("topTwips").toInt(),
                                                       kStripButtonHeight, m_barTopLimit);
    placeStrip(s.top);
    m_cmdUp->setVisible(s.upVisible);
    m_cmdDown->setVisible(s.downVisible);
}

void frmMDI::Set_StatusBar() {
    const std::array<QRect, 4> labels = BarLayout::Set_StatusBar(twipsOf(width()));
    for (int i = 0; i < 4; ++i)
        place(m_statusLabels[i], labels[i]);
    m_progressBar->setGeometry(m_statusLabels[1]->geometry());
}

void frmMDI::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Set_StatusBar();
}

bool frmMDI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_picListBar && event->type() == QEvent::Resize)
        ArrangeBar(m_currentGroup, true);
    return QMainWindow::eventFilter(watched, event);
}

void frmMDI::closeEvent(QCloseEvent* event) {
    if (FileExists(DatabaseFile::fileName()) &&
        m_dialogs.message(this, QStringLiteral("Voulez-vous vraiment quitter l'application\u00a0?"),
                          QStringLiteral("Attention"), DialogService::Icon::Question,
                          DialogService::Buttons::YesNo) == DialogService::Answer::No) {
        event->ignore();
        return;
    }
    unloadWindows();
    event->accept();
    m_programEnd();
}

void frmMDI::unloadWindows() {
    m_timer->stop();
    hide();
    if (m_param)
        m_param->Form_Unload();
    if (m_results)
        m_results->hide();
    m_de->close(); // when the form was never made
}

void frmMDI::exportExperiments() {
    if (m_reportRunning)
        return;
    const QString folder =
        m_dialogs.folderName(this, QStringLiteral("Exporter les essais dans le dossier"));
    if (folder.isEmpty())
        return;
    QVector<ExperimentExport::Output> outputs;
    try {
        outputs = ExperimentExport::readWithEdition(m_de->Connection2());
    } catch (const DbError& e) {
        m_dialogs.message(this,
                          QStringLiteral("Les essais n'ont pas été exportés\u00a0: %1.")
                              .arg(DatabaseCheck::causeInWords(e)),
                          kExportTitle, DialogService::Icon::Critical);
        return;
    } catch (const ExchangeError& e) {
        m_dialogs.message(
            this, QStringLiteral("Les essais n'ont pas été exportés\u00a0: %1.").arg(e.message()),
            kExportTitle, DialogService::Icon::Critical);
        return;
    }
    QStringList existing = ExperimentExport::existingFiles(folder);
    if (!existing.isEmpty()) {
        for (QString& path : existing)
            path = QFileInfo(path).fileName();
        if (m_dialogs.message(
                this,
                QStringLiteral("Le dossier %1 contient déjà des fichiers "
                               "d'échange (%2).\rVoulez-vous les remplacer\u00a0?")
                    .arg(QDir::toNativeSeparators(folder), existing.join(QStringLiteral(", "))),
                kExportTitle, DialogService::Icon::Question,
                DialogService::Buttons::YesNo) != DialogService::Answer::Yes)
            return;
    }
    const QString failure = ExperimentExport::writeFolder(outputs, folder, true);
    if (!failure.isEmpty()) {
        m_dialogs.message(
            this, QStringLiteral("Les essais n'ont pas été exportés\u00a0: %1.").arg(failure),
            kExportTitle, DialogService::Icon::Critical);
        return;
    }
    QStringList lines{QStringLiteral("Les essais ont été exportés dans %1\u00a0:")
                          .arg(QDir::toNativeSeparators(folder))};
    for (const ExperimentExport::Output& f : outputs)
        lines << QStringLiteral("%1\u00a0: %2").arg(f.name, countOf(f.rows, "ligne", "lignes"));
    m_dialogs.message(this, lines.join(QLatin1Char('\r')), kExportTitle,
                      DialogService::Icon::Information);
}

ImportOutcome frmMDI::runImport(const QStringList& files, bool addNames, bool dryRun) {
    QProgressDialog progress(dryRun ? QStringLiteral("Vérification des fichiers…")
                                    : QStringLiteral("Importation des essais…"),
                             QString(), 0, 0, this);
    progress.setObjectName(QStringLiteral("frmProgression"));
    progress.setWindowTitle(kImportTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setCancelButton(nullptr); // the import cannot stop half-way
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setValue(0);
    ImportOptions options;
    options.addNames = addNames;
    options.dryRun = dryRun;
    // The import holds the file to itself: the window's connection lets it go, and the next
    // read opens it again.
    const QString database = m_de->filePath();
    m_de->close();
    const ImportOutcome outcome =
        ExperimentImport::run(database, files, options, [&progress](qint64 done, qint64 total) {
            // Rows, scaled to what the window counts in.
            const double scale = total > 1000000 ? 1000000.0 / static_cast<double>(total) : 1.0;
            progress.setMaximum(static_cast<int>(static_cast<double>(total) * scale));
            progress.setValue(static_cast<int>(static_cast<double>(done) * scale));
        });
    progress.close();
    return outcome;
}

void frmMDI::importExperiments() {
    if (m_reportRunning) // the report reads the file the import would hold
        return;
    const QStringList files = m_dialogs.openFileNames(this, QStringLiteral("Importer des essais"),
                                                      QStringLiteral("Fichiers d'échange (*.csv)"));
    if (files.isEmpty())
        return;
    ImportOutcome outcome = runImport(files, false, false);
    if (outcome.status == ImportOutcome::Status::Refused) {
        // Refused only for names missing from the lists: a check that adds them finds nothing
        // else, and the user may have them added.
        const ImportOutcome withNames = runImport(files, true, true);
        if (withNames.status == ImportOutcome::Status::Done && !withNames.addedNames.isEmpty() &&
            m_dialogs.message(
                this,
                QStringLiteral("Les fichiers nomment des entrées absentes des listes de la base "
                               "de données\u00a0:\r%1\rVoulez-vous les ajouter à leurs listes et "
                               "importer les essais\u00a0?")
                    .arg(QStringLiteral("   ") +
                         withNames.addedNames.join(QStringLiteral("\r   "))),
                kImportTitle, DialogService::Icon::Question,
                DialogService::Buttons::YesNo) == DialogService::Answer::Yes)
            outcome = runImport(files, true, false);
    }
    switch (outcome.status) {
    case ImportOutcome::Status::Failed:
        m_dialogs.message(
            this,
            QStringLiteral("Les essais n'ont pas été importés\u00a0: la base de données "
                           "n'a pas été modifiée.\r%1")
                .arg(outcome.failure),
            kImportTitle, DialogService::Icon::Critical);
        break;
    case ImportOutcome::Status::Refused: {
        QStringList lines;
        for (const ImportProblem& p : outcome.problems)
            lines << p.text();
        frmProblemes problems(lines, outcome.problemCount, this);
        m_dialogs.showDialog(problems);
        break;
    }
    case ImportOutcome::Status::Done:
        showImported(outcome);
        break;
    }
}

void frmMDI::showImported(const ImportOutcome& outcome) {
    // The lists of the form now hold the names added, the reports the new experiments: the lists
    // are read again with the entries kept, and a report shown is made again from them.
    const bool reportShown = m_state.ResultsShown;
    QStringList cleared;
    if (m_param)
        cleared = m_param->ReloadLists();
    QStringList lines{QStringLiteral("Les essais ont été importés\u00a0: %1.")
                          .arg(countsInWords(outcome.counts))};
    if (!outcome.addedNames.isEmpty())
        lines << QStringLiteral("Noms ajoutés aux listes\u00a0: %1.")
                     .arg(outcome.addedNames.join(QStringLiteral("\u00a0; ")));
    if (!outcome.backup.isEmpty())
        lines << QStringLiteral("La base de données telle qu'elle était avant l'importation est "
                                "gardée dans %1.")
                     .arg(QDir::toNativeSeparators(outcome.backup));
    m_dialogs.message(this, lines.join(QLatin1Char('\r')), kImportTitle,
                      DialogService::Icon::Information);
    if (!cleared.isEmpty())
        m_dialogs.message(this,
                          QStringLiteral("Ces entrées ne sont plus dans leurs listes et ont été "
                                         "effacées\u00a0:\r   %1")
                              .arg(cleared.join(QStringLiteral("\r   "))),
                          kImportTitle, DialogService::Icon::Warning);
    if (!m_param)
        return;
    if (reportShown)
        cmdRapport_Click(); // the same entries, the new experiments
    else if (m_currentGroup == 2)
        cmdObligatoire_Click();
}

} // namespace grelavo
