#include "StartedProgram.h"
#include "core/db/DE.h"
#include "gui/app/BarLayout.h"
#include "gui/app/HoverHelp.h"
#include "gui/app/frmAPropos.h"
#include "gui/params/frmParam.h"
#include "gui/results/frmResults.h"
#include "gui/shared/HoverText.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

using namespace grelavo;

class TestShell : public QObject {
    Q_OBJECT

private:
    struct Started : StartedProgram {
        QTabWidget* page(int i) { return window->param()->sstParam(i); }
    };

private slots:
    void missingDatabaseEndsAfterOneMessage() {
        QTemporaryDir empty;
        RecordingDialogs dialogs;
        frmMDI window(empty.path(), dialogs);
        window.setProgramEnd([] {});
        QVERIFY(!window.Form_Load());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Erreur critique"));
        QCOMPARE(dialogs.messages[0].text,
                 QStringLiteral("La base de données est impossible à trouver ou "
                                "inutilisable.\rCette erreur est critique.  Vous devez "
                                "désinstaller\rpuis réinstaller l'application à partir du "
                                "CD-Rom."));
        QVERIFY(!window.isVisible());
        window.close(); // no question: the database is missing
        QCOMPARE(dialogs.messages.size(), 1);
    }

    // A file that is there but cannot serve: one critical message naming it and its cause, the
    // program ends, and the file is left as it was.
    void unusableDatabaseEndsAfterOneMessageNamingIt() {
        QTemporaryDir folder;
        const QString path = folder.filePath(DatabaseFile::fileName());
        QFile(path).open(QIODevice::WriteOnly); // 0 bytes
        RecordingDialogs dialogs;
        {
            frmMDI window(folder.path(), dialogs);
            window.setProgramEnd([] {});
            QVERIFY(!window.Form_Load());
            QVERIFY(!window.isVisible());
        }
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Erreur critique"));
        QCOMPARE(dialogs.messages[0].text,
                 QStringLiteral("Le fichier %1 est vide\u00a0: ce n'est pas une base de données "
                                "Grelavo.")
                     .arg(path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void startWindowLeadsToTheMandatoryPage() {
        Started s;
        QVERIFY(s.window->isVisible());
        QCOMPARE(s.status(0), QStringLiteral("Paramètres obligatoires"));
        QCOMPARE(s.status(1), QStringLiteral("Cette page renferme les éléments "
                                             "obligatoires à la création d'un rapport"));
        QVERIFY(s.page(0)->isVisible() && !s.page(1)->isVisible());
        QVERIFY(s.window->Timer1()->isActive());
        QVERIFY(!s.window->state().NeedFill_cbbApp);
        QCOMPARE(s.status(2), frmMDI::statusDate(QDate::currentDate(), QLocale()));
        // The day's name in French whatever the locale, the date in the locale's numbers, in
        // ISO order where the locale would spell the month.
        const QDate day(2026, 12, 8);
        QCOMPARE(frmMDI::statusDate(day, QLocale(QLocale::French, QLocale::France)),
                 QStringLiteral("mardi,\n08/12/2026"));
        QCOMPARE(frmMDI::statusDate(day, QLocale(QLocale::French, QLocale::Canada)),
                 QStringLiteral("mardi,\n2026-12-08"));
        QCOMPARE(frmMDI::statusDate(day, QLocale(QLocale::English, QLocale::UnitedStates)),
                 QStringLiteral("mardi,\n12/8/26"));
        QCOMPARE(frmMDI::statusDate(day, QLocale::c()), QStringLiteral("mardi,\n2026-12-08"));
        QCOMPARE(s.get<QProgressBar>("ProgressBar1")->geometry(),
                 s.get<QLabel>("StatusLabel(1)")->geometry());
    }

    void pagesAndTheIntroductionAreCentredOverTheBackdrop() {
        Started s;
        frmParam* form = s.window->param();
        auto* backdrop = s.get<QLabel>("imageFormBack");
        form->resize(s.page(0)->size() * 1.5);
        QCOMPARE(backdrop->geometry(), form->rect());
        auto* intro = s.get<QLabel>("Label2");
        QVERIFY(intro->text().endsWith(
            QStringLiteral("réduites d’herbicides.\n\nVeuillez vous référer au fichier d’aide sous "
                           "la rubrique “À propos des Grelavo”.")));
        const QPoint centre = form->rect().center();
        for (QWidget* w :
             std::initializer_list<QWidget*>{s.page(0), intro, s.get<QWidget>("imaTextIntro")})
            QVERIFY((w->geometry().center() - centre).manhattanLength() <= 2);
        QCOMPARE(s.page(3)->geometry(), s.page(0)->geometry());  // one size for every page
        QVERIFY(s.page(0)->isAncestorOf(form->childAt(centre))); // the page covers the introduction
        // A form smaller than its page keeps the page's tabs in view.
        form->resize(s.page(0)->size() / 2);
        QCOMPARE(s.page(0)->pos(), QPoint(0, 0));
        QCOMPARE(backdrop->size(), form->size());
    }

    void closingTheStartWindowContinuesToo() {
        FixtureDatabase fixture;
        RecordingDialogs dialogs;
        frmMDI window(fixture.folder(), dialogs);
        whenModalShows([](QWidget* start) { start->close(); });
        QVERIFY(window.Form_Load());
        QVERIFY(window.isVisible());
        QCOMPARE(window.CurrentGroup(), 0);
    }

    void quitAsksOnlyWhileTheDatabaseIsThere() {
        Started s;
        s.get("cbbApp")->setCurrentIndex(1);
        s.dialogs.nextAnswer = DialogService::Answer::No;
        s.window->close();
        QCOMPARE(s.said().text,
                 QStringLiteral("Voulez-vous vraiment quitter l'application\u00a0?"));
        QCOMPARE(s.said().buttons, DialogService::Buttons::YesNo);
        QVERIFY(s.window->isVisible());
        QCOMPARE(s.get("cbbApp")->currentIndex(), 1);
        QCOMPARE(s.ends, 0);
        // With the database deleted, quitting asks nothing.
        const int asked = s.dialogs.messages.size();
        QVERIFY(QFile::remove(s.fixture->path()));
        s.window->close();
        QCOMPARE(s.dialogs.messages.size(), asked);
        QCOMPARE(s.ends, 1);
        QVERIFY(!s.window->param()->isVisible());
        QVERIFY(!s.window->de().isConnected());
    }

    void groupCommandsShowTheirPages() {
        Started s;
        s.window->cmdOptionnel_Click();
        QVERIFY(s.page(1)->isVisible() && !s.page(0)->isVisible());
        QCOMPARE(s.status(0), QStringLiteral("Paramètres optionnels"));
        QCOMPARE(s.get<QPushButton>("cmdOptionnel")->y(), 30); // H = 450 twips
        QCOMPARE(s.get<QPushButton>("cmdRapport")->geometry().bottom() + 1,
                 s.get<QWidget>("picListBar")->height());
        s.window->ListBar_ButtonClick(4); // Site
        QVERIFY(s.page(2)->isVisible() && !s.page(1)->isVisible());
        for (int button : {5, 4, 5, 3})
            s.window->ListBar_ButtonClick(button);
        QVERIFY(s.page(1)->isVisible());
        QCOMPARE(s.window->CurrentPage(), 2);
    }

    void eachPageFillsItsListsOnce() {
        Started s;
        int statements = 0;
        s.window->de().setStatementNotices([&] { ++statements; }, [] {});
        s.window->cmdOptionnel_Click();
        const int afterCrop = statements;
        QVERIFY(afterCrop > 0);
        s.window->ListBar_ButtonClick(4); // Site
        const int afterSite = statements;
        QVERIFY(afterSite > afterCrop);
        s.window->ListBar_ButtonClick(5);
        const int afterWeeds = statements;
        QVERIFY(afterWeeds >= afterSite + 5); // the five weed boxes
        for (int button : {4, 5, 3})
            s.window->ListBar_ButtonClick(button);
        QCOMPARE(statements, afterWeeds); // every page read once
        QCOMPARE(s.get("cbbMauvHerb(4)")->count(), 5);
        QCOMPARE(s.get("cbbSitepHDe")->count(), 66);
        QCOMPARE(s.get("cbbSitepHDe")->itemText(65), QStringLiteral("9"));
    }

    // A report that cannot be shown is said, never shown, and the shell is back on the mandatory
    // page with its title, its group and its hover help.
    void aReportThatCannotBeShownIsSaid_data() {
        QTest::addColumn<QString>("rate");   // of atrazine on all corn; none: nothing entered
        QTest::addColumn<QString>("script"); // run on the database first
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text"); // its beginning
        QTest::addColumn<QString>("end");
        QTest::newRow("nothing entered")
            << QString() << QString() << "Attention"
            << "Pour lancer la requête, certaines informations sont nécessaires" << QString();
        QTest::newRow("no experiment at the rate")
            << "7" << QString() << "Aucun résultat" << QString() << QString();
        QTest::newRow("refused rate") << "1,x" << QString() << "Attention"
                                      << "La valeur entrée n'est pas numérique." << QString();
        QTest::newRow("failing statements")
            << "1"
            << "DROP TABLE ListedesMauvaisesHerbes"
            << "Attention"
            << "Le rapport n'a pas pu être produit\u00a0: la base de données n'a pas la structure "
               "attendue"
            << "\rAucun résultat n'est affiché.";
    }
    void aReportThatCannotBeShownIsSaid() {
        QFETCH(QString, rate);
        QFETCH(QString, script);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, end);
        Started s;
        if (!rate.isEmpty())
            s.chooseAtrazineOnAllCorn(rate);
        if (!script.isEmpty())
            s.window->de().Connection2().executeScript(script);
        s.click(QStringLiteral("cmdRapport"));
        QCOMPARE(s.dialogs.messages.size(), 1);
        QCOMPARE(s.said().title, title);
        QCOMPARE(s.said().icon, title == QStringLiteral("Aucun résultat")
                                    ? DialogService::Icon::Warning
                                    : DialogService::Icon::Critical);
        QVERIFY2(s.said().text.startsWith(text) && s.said().text.endsWith(end),
                 qPrintable(s.said().text));
        QVERIFY(!s.window->state().ResultsShown);
        QVERIFY(!s.window->results()->hasPicture());
        QVERIFY(s.page(0)->isVisible());
        QCOMPARE(s.status(0), QStringLiteral("Paramètres obligatoires"));
        QCOMPARE(s.window->CurrentGroup(), 0);
        QVERIFY(s.window->Timer1()->isActive());
        QVERIFY(!s.get<QProgressBar>("ProgressBar1")->isVisible());
    }

    void reportCommandRunsOneReportAndShowsIt() {
        Started s;
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        // A click on the report button while the report runs is ignored: one report starts.
        int starts = 0;
        QString statusDuring;
        connect(s.get<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, [&](int v) {
            starts += v == 0;
            if (v == 20)
                statusDuring = s.status(1);
            if (v == 40 && starts == 1)
                s.click(QStringLiteral("cmdRapport"));
        });
        s.click(QStringLiteral("cmdRapport"));
        QCOMPARE(starts, 1);
        QCOMPARE(statusDuring, HoverText::generalPrompt());
        QVERIFY(s.window->state().ResultsShown);
        QCOMPARE(s.window->results()->report().totalCases, 7);
        QCOMPARE(s.window->results()->report().summaryLines.first(),
                 QStringLiteral("Type d'application = Prélevée"));
        QCOMPARE(s.status(0), QStringLiteral("Gestion des rapports"));
        QVERIFY(!s.window->Timer1()->isActive());
        QCOMPARE(s.window->CurrentGroup(), 2);
        QVERIFY(s.get<QToolButton>("ListBar(8)")->isVisibleTo(s.window.get()));
        QVERIFY(!s.get<QToolButton>("ListBar(1)")->isVisibleTo(s.window.get()));
        QVERIFY(!s.window->param()->isVisibleTo(s.window.get()));
        QVERIFY(s.window->results()->hasPicture()); // the page is drawn
        // Back to the parameters: the results window goes away and its drawing is cleared.
        s.window->cmdObligatoire_Click();
        QVERIFY(!s.window->state().ResultsShown);
        QVERIFY(!s.window->results()->hasPicture());
        QVERIFY(s.window->param()->isVisibleTo(s.window.get()));
    }

    void helpOpensItsTopicsOrSaysTheFileIsMissing() {
        Started s;
        s.window->ListBar_ButtonClick(2);
        QCOMPARE(s.said().title, QStringLiteral("Fichier d'aide introuvable"));
        QVERIFY(s.dialogs.helpTopics.isEmpty());
        QFile help(s.fixture->folder() + QStringLiteral("/aide.CHM"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.close();
        for (int button : {2, 7, 10})
            s.window->ListBar_ButtonClick(button);
        s.get<QAction>("mnuFichAide")->trigger();
        QCOMPARE(s.dialogs.helpTopics, QVector<int>({2000, 3000, 4000, 1000}));
        QCOMPARE(QFileInfo(s.dialogs.helpFile).fileName(), QStringLiteral("aide.CHM"));
    }

    void statusLabelsKeepTheirPlacesWhenTheWindowWidens() {
        const auto narrow = BarLayout::Set_StatusBar(9000), wide = BarLayout::Set_StatusBar(15000);
        QCOMPARE(narrow[2].right() + 1, 9000);
        QCOMPARE(wide[2].right() + 1, 15000); // the date at the right edge
        QCOMPARE(wide[1].width() - narrow[1].width(), 6000);
        QCOMPARE(wide[1].left(), narrow[1].left());
        QVERIFY(wide[0] == narrow[0] && wide[3] == narrow[3]);
        QCOMPARE(narrow[0].left(), (2295 - 2160) / 2);
    }

    void stripFitsOrScrollsWithinItsLimits() {
        const int H = BarLayout::H, Ht = 3 * H + 2000;
        const auto arrange = [](int g, bool reset, int Ht, int top, int height) {
            return BarLayout::ArrangeBar(g, reset, 1650, Ht, top, height, 1205, 300, 300);
        };
        // A tall bar: the five optional buttons fit; no scroll button.
        const BarLayout::Bar tall = arrange(1, true, 9000, 0, 5 * 900);
        QVERIFY(!tall.upVisible && !tall.downVisible);
        QCOMPARE(tall.stripTop, 2 * H);
        QCOMPARE(tall.BarBottomLimit, 9000 - H);
        // A short one: they do not fit in Ht - 3H.
        const BarLayout::Bar bar = arrange(1, true, Ht, 0, 4500);
        QVERIFY(!bar.upVisible && bar.downVisible);
        QCOMPARE(bar.stripTop, bar.BarTopLimit);
        BarLayout::Scroll s{bar.stripTop, false, true};
        for (int i = 0; i < 20 && s.downVisible; ++i)
            s = BarLayout::cmdDown_Click(s.top, 4500, 900, bar.BarBottomLimit);
        QCOMPARE(s.top + 4500, bar.BarBottomLimit);
        QVERIFY(s.upVisible && !s.downVisible);
        for (int i = 0; i < 20 && s.upVisible; ++i)
            s = BarLayout::cmdUp_Click(s.top, 900, bar.BarTopLimit);
        QCOMPARE(s.top, bar.BarTopLimit);
        QVERIFY(!s.upVisible && s.downVisible);
        // A resize keeps a scrolled strip only while it stays between the limits.
        const BarLayout::Bar kept = arrange(1, false, Ht, bar.BarTopLimit - 450, 4500);
        QCOMPARE(kept.stripTop, bar.BarTopLimit - 450);
        QVERIFY(kept.upVisible && kept.downVisible);
        // The report group: every group button at the top.
        const BarLayout::Bar report = arrange(2, true, Ht, 0, 2700);
        QCOMPARE(report.groupButtons[2].top(), 2 * H);
        QCOMPARE(report.BarBottomLimit, Ht);
        QCOMPARE(report.down.y(), Ht - H);
    }

    void aboutBoxAddressWritesToTheMakerAndCloses() {
        RecordingDialogs dialogs;
        frmAPropos::Facts facts;
        facts.contact = QStringLiteral("equipe@grelavo.test");
        frmAPropos box(dialogs, facts);
        box.show();
        // Shown once to the eye: the second label is its shadow, just behind it.
        const auto* shadow = box.findChild<QLabel*>(QStringLiteral("lblEmail2"));
        QCOMPARE(shadow->text(), box.lblEmail()->text());
        QCOMPARE(shadow->geometry().topLeft() - box.lblEmail()->geometry().topLeft(), QPoint(1, 1));
        QTest::mouseClick(box.lblEmail(), Qt::LeftButton);
        QCOMPARE(dialogs.urls, QVector<QUrl>({QUrl("mailto:equipe@grelavo.test?Subject=Grelavo")}));
        QVERIFY(!box.isVisible());
    }

    // Built without an address, the box says there is none and offers no mail to nobody; it
    // says where the help is and under which licence the program comes.
    void aboutBoxSaysOnlyWhatIsSo() {
        RecordingDialogs dialogs;
        frmAPropos::Facts facts;
        facts.helpFile = QStringLiteral("/usr/share/grelavo/Aide.chm");
        frmAPropos box(dialogs, facts);
        box.show();
        QStringList texts;
        for (const QLabel* l : box.findChildren<QLabel*>())
            texts << l->text();
        const QString all = texts.join(QLatin1Char('\n'));
        QVERIFY2(!all.contains(QLatin1Char('@')) && !all.contains(QStringLiteral("provisoire")) &&
                     !all.contains(QStringLiteral("confirmer")),
                 qPrintable(all));
        QVERIFY(all.contains(QStringLiteral("/usr/share/grelavo/Aide.chm")));
        QVERIFY(all.contains(QStringLiteral("Licence")));
        QVERIFY(box.lblEmail()->text().contains(QStringLiteral("Pas encore d'adresse")));
        QTest::mouseClick(box.lblEmail(), Qt::LeftButton);
        QVERIFY(dialogs.urls.isEmpty());
        QVERIFY(box.isVisible());
    }

    void aboutBoxCloseImageSinksWhilePressedThenCloses() {
        RecordingDialogs dialogs;
        frmAPropos box(dialogs, frmAPropos::Facts());
        box.show();
        PressImage* close = box.imaFermer();
        const QPoint rest = close->pos();
        QTest::mousePress(close, Qt::LeftButton);
        QCOMPARE(close->pos() - rest, QPoint(2, 2)); // 25 twips
        QTest::mouseRelease(close, Qt::LeftButton);
        QCOMPARE(close->pos(), rest);
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(TestShell)
#include "TestShell.moc"
