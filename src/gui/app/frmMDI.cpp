#include "frmMDI.h"

#include "BarLayout.h"
#include "HoverHelp.h"
#include "MdiPage.h"
#include "PointerTracker.h"
#include "core/db/DE.h"
#include "core/db/DataAccess.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DatabaseLocation.h"
#include "core/db/DbError.h"
#include "core/report/ReportEngine.h"
#include "core/report/ReportOutcome.h"
#include "frmStart.h"
#include "gui/params/frmParam.h"
#include "gui/rates/frmChoixTaux.h"
#include "gui/results/frmResults.h"
#include "gui/shared/DialogService.h"
#include "gui/shared/HoverText.h"
#include "render/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace grelavo {

namespace {

const int kStatusBarHeight = 540;
// Below this the window is not made smaller (pixels): the group buttons and a strip button fit
// in the bar, and a corner of the form's page shows beside it.
const QSize kMinimumWindow(640, 400);

const QString kDatabaseMissing = QStringLiteral(
    "La base de données est impossible à trouver ou inutilisable.\rCette erreur est critique.  "
    "Vous devez désinstaller\rpuis réinstaller l'application à partir du CD-Rom.");
const QString kNoData =
    QStringLiteral("Votre requête ne retourne aucune donnée.\rVous pouvez essayer de nouveau en "
                   "diminuant\rle nombre de paramètres ou en changeant les doses.");
const QString kHelpMissing = QStringLiteral(
    "Le fichier d'aide est introuvable.\rPour pouvoir l'utiliser, vous devez désinstaller\rpuis "
    "réinstaller l'application à partir du CD-Rom.");

void place(QWidget* w, const QRect& twips) {
    w->setGeometry(Twips::toPixels(twips));
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
    columns->addWidget(m_bar);
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
    buildExchange();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(10);
}

frmMDI::~frmMDI() = default;

void frmMDI::buildNavigationBar() {
    m_bar = new NavigationBar;
    connect(m_bar, &NavigationBar::groupClicked, this, [this](Group g) {
        switch (g) {
        case Group::Mandatory:
            cmdObligatoire_Click();
            break;
        case Group::Optional:
            cmdOptionnel_Click();
            break;
        case Group::Report:
            cmdRapport_Click();
            break;
        }
    });
    connect(m_bar, &NavigationBar::commandClicked, this, &frmMDI::stripCommand);
    connect(m_bar, &NavigationBar::arranged, this, &frmMDI::enableReportCommands);
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

void frmMDI::buildExchange() {
    ExperimentMenus::Hooks hooks;
    hooks.busy = [this] { return m_reportRunning; };
    hooks.reloadLists = [this] { return m_param ? m_param->ReloadLists() : QStringList(); };
    // A report shown is made again with the same entries from the new experiments.
    hooks.showAgain = [this] {
        if (!m_param)
            return;
        if (m_state.ResultsShown)
            cmdRapport_Click();
        else if (m_bar->group() == Group::Report)
            cmdObligatoire_Click();
    };
    m_exchange = std::make_unique<ExperimentMenus>(this, *m_de, m_dialogs, std::move(hooks));
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

    loadWindows();
    QCoreApplication::processEvents();
    m_state.reset();
    m_bar->setButtonImages();
    setDateLabel();
    startHoverHelp();
    QCoreApplication::processEvents();

    hide();
    {
        frmStart start;
        start.exec();
    }
    show();
    cmdObligatoire_Click();
    focusFirstBox();
    return true;
}

void frmMDI::loadWindows() {
    m_param = new frmParam(m_state, *m_de, m_dialogs);
    connect(m_param, &frmParam::mandatoryPageWanted, this, &frmMDI::cmdObligatoire_Click);
    connect(m_param, &frmParam::optionalPagesWanted, this, &frmMDI::cmdOptionnel_Click);
    connect(m_param, &frmParam::ratePickerWanted, this, [this] {
        frmChoixTaux::Mixture mixture;
        mixture.applicationType = m_state.SelectedApplicationType;
        mixture.count = m_state.HerbicideCount;
        mixture.ids = m_state.SelectedHerbicideId;
        mixture.names = m_state.SelectedHerbicideName;
        frmChoixTaux picker(*m_de, m_dialogs, mixture, m_param->rates(), m_state.RateInterval,
                            this);
        picker.exec();
        // However the window was closed.
        m_param->setRates(picker.rates());
        m_state.RateInterval = picker.rateInterval();
    });
    m_results = new frmResults(*m_de, m_dialogs);
    m_results->setHelpLine([this](const QString& text) { m_statusLabels[1]->setText(text); });
    // The form scrolls only where the area is narrower than its widest page needs.
    auto* scroller = new PageScroller(m_param, QSize());
    scroller->setObjectName(QStringLiteral("frmParamScroller"));
    for (QWidget* child : {static_cast<QWidget*>(scroller), static_cast<QWidget*>(m_results)}) {
        QMdiSubWindow* sub =
            m_mdiArea->addSubWindow(new OpenSubWindow(child), Qt::FramelessWindowHint);
        sub->hide();
    }
}

void frmMDI::startHoverHelp() {
    auto* hover = new HoverHelp(
        m_state, this, m_bar->strip(),
        {m_param->sstParam(0), m_param->sstParam(1), m_param->sstParam(2), m_param->sstParam(3)},
        [this] { return CurrentGroup(); },
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
}

// Ready for the keyboard: the first box of the page.
void frmMDI::focusFirstBox() {
    QWidget* page = m_param->sstParam(0)->currentWidget();
    for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w))
            break;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible()) {
            w->setFocus(Qt::TabFocusReason);
            break;
        }
    }
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

void frmMDI::enterParameterGroup(Group group) {
    m_timer->start();
    m_bar->setGroup(group);
    if (m_state.ResultsShown) {
        m_results->clearPicture();
        m_state.ResultsShown = false;
        showChild(m_results, false);
    }
}

void frmMDI::cmdObligatoire_Click() {
    enterParameterGroup(Group::Mandatory);
    HideSSTAB();
    Show_sstParam(0);
    if (m_state.NeedFill_cbbApp) {
        m_param->Fill_cbbApp();
        m_state.NeedFill_cbbApp = false;
    }
    showChild(m_param, true);
    m_bar->arrange(Group::Mandatory, true);
    m_statusLabels[0]->setText(QStringLiteral("Paramètres obligatoires"));
    m_statusLabels[1]->setText(
        QStringLiteral("Cette page renferme les éléments obligatoires à la création d'un rapport"));
}

void frmMDI::cmdOptionnel_Click() {
    enterParameterGroup(Group::Optional);
    if (m_state.NeedFill_Culture) {
        m_param->Fill_Culture();
        m_state.NeedFill_Culture = false;
    }
    HideSSTAB();
    Show_sstParam(1);
    showChild(m_param, true);
    m_bar->arrange(Group::Optional, true);
    m_statusLabels[0]->setText(QStringLiteral("Paramètres optionnels"));
}

void frmMDI::cmdRapport_Click() {
    // The report lets window events run: a second request meanwhile is ignored.
    if (m_reportRunning)
        return;
    m_reportRunning = true;
    m_timer->stop();
    m_bar->setGroup(Group::Report);
    m_statusLabels[0]->setText(QStringLiteral("Gestion des rapports"));
    // A problem found has been said, its control brought forward.
    const frmParam::Needed needed = m_param->GoTAllNeeded();
    if (needed.parameters)
        runReport(*needed.parameters);
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
    ReportOutcome report;
    try {
        report = ReportOutcome::run(*m_de, parameters, hooks, true);
    } catch (const DbError& e) {
        // The report ran but its table cannot be read: no result is shown rather than an empty
        // table.
        report.status = ReportOutcome::Status::Failed;
        report.reason = DatabaseCheck::causeInWords(e);
    }
    if (report.status != ReportOutcome::Status::Refused &&
        report.status != ReportOutcome::Status::Failed)
        QCoreApplication::processEvents();
    if (!report.shown())
        return reportNotShown(report);
    m_results->Set_Preview(report);
    m_state.ResultsShown = true;
    showChild(m_param, false);
    showChild(m_results, true);
    m_bar->arrange(Group::Report, true);
}

void frmMDI::reportNotShown(const ReportOutcome& report) {
    if (report.noDataFound()) {
        m_dialogs.message(this, kNoData, QStringLiteral("Aucun résultat"),
                          DialogService::Icon::Warning);
        cmdObligatoire_Click();
        Show_sstParam(0);
        m_state.ResultsShown = false;
        return;
    }
    // Refused (what the checks let through but the engine cannot read) or failed in the
    // database: said, never shown as a result, and back to the parameters.
    const QString cause =
        report.status == ReportOutcome::Status::Refused
            ? QStringLiteral("Le rapport n'a pas pu être produit\u00a0: %1.").arg(report.reason)
            : QStringLiteral("Le rapport n'a pas pu être produit\u00a0: %1."
                             "\rAucun résultat n'est affiché.")
                  .arg(report.reason);
    m_dialogs.message(this, cause, QStringLiteral("Attention"), DialogService::Icon::Critical);
    cmdObligatoire_Click();
}

void frmMDI::ListBar_ButtonClick(int index) {
    if (index >= 1 && index <= StripButtons)
        stripCommand(static_cast<Command>(index));
}

void frmMDI::stripCommand(Command command) {
    switch (command) {
    case Command::ClearMandatory:
        m_param->EmptyControls(QStringLiteral("Obligatoire"));
        break;
    case Command::MandatoryHelp:
        openHelpTopic(2000);
        break;
    case Command::OptionalHelp:
        openHelpTopic(3000);
        break;
    case Command::ReportHelp:
        openHelpTopic(4000);
        break;
    case Command::Crop:
        HideSSTAB();
        Show_sstParam(1);
        if (m_state.NeedFill_Culture) {
            m_param->Fill_Culture();
            m_state.NeedFill_Culture = false;
        }
        break;
    case Command::Site:
        HideSSTAB();
        Show_sstParam(2);
        if (m_state.NeedFill_Site)
            m_param->Fill_Site();
        break;
    case Command::Weeds:
        HideSSTAB();
        Show_sstParam(3);
        if (m_state.NeedFill_MauvHerb)
            m_param->Fill_MauvHerb();
        break;
    case Command::ClearOptional:
        m_param->EmptyControls(QStringLiteral("Optionnel"));
        break;
    case Command::Copy:
        m_results->CopyToClipboard();
        break;
    case Command::Print:
        m_results->Set_Print();
        break;
    }
}

void frmMDI::openCurrentHelpTopic() {
    const int topics[3] = {2000, 3000, 4000};
    openHelpTopic(topics[std::clamp(CurrentGroup(), 0, 2)]);
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

void frmMDI::Set_StatusBar() {
    const std::array<QRect, 4> labels = BarLayout::Set_StatusBar(Twips::fromPixels(width()));
    for (int i = 0; i < 4; ++i)
        place(m_statusLabels[i], labels[i]);
    m_progressBar->setGeometry(m_statusLabels[1]->geometry());
}

void frmMDI::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Set_StatusBar();
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

} // namespace grelavo
