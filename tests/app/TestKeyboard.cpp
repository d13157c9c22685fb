// The road of a report without a mouse: keys go to the window that has the focus, as the window
// system sends them.

#include "StartedProgram.h"
#include "gui/app/frmStart.h"
#include "gui/params/frmParam.h"
#include "gui/results/frmResults.h"
#include "gui/shared/HoverText.h"

#include <QMenu>
#include <QTabWidget>
#include <QToolButton>

using namespace grelavo;
using UserInput::focusedName;
using UserInput::tabTo;

class TestKeyboard : public QObject {
    Q_OBJECT

private:
    // The program past its start window, left by Enter.
    struct Started : StartedProgram {
        Started() : StartedProgram(QString(), Qt::Key_Return) {}
        void addHelpFile() const {
            QFile help(fixture->folder() + QStringLiteral("/Aide.chm"));
            QVERIFY(help.open(QIODevice::WriteOnly));
        }
    };

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }

    // Enter and Space continue like the picture's button; another key does not.
    void startWindowContinuesOnEnterAndSpace() {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            frmStart start;
            start.show();
            QVERIFY(QTest::qWaitForWindowActive(&start));
            UserInput::key(Qt::Key_A);
            QVERIFY(start.isVisible());
            UserInput::key(key);
            QVERIFY2(!start.isVisible(), qPrintable(QString::number(key)));
            QCOMPARE(start.result(), int(QDialog::Accepted));
        }
    }

    // The whole report by keys: the boxes typed into as the focus reaches them, Ctrl+R, then the
    // report copied and printed. Until the report is shown, Ctrl+C and Ctrl+P belong to the
    // text boxes.
    void aWholeReportWithKeysOnly() {
        Started s;
        QTRY_COMPARE(focusedName(), QStringLiteral("cbbApp")); // ready to type
        UserInput::type(QStringLiteral("pré"));
        QCOMPARE(s.get("cbbApp")->currentText(), QStringLiteral("Prélevée"));
        QVERIFY(tabTo(QStringLiteral("cbbCult")));
        UserInput::type(QStringLiteral("maïs ("));
        QVERIFY(tabTo(QStringLiteral("cbbNombHerb")));
        UserInput::type(QStringLiteral("1"));
        QVERIFY(tabTo(QStringLiteral("cbbHerbApp(0)")));
        UserInput::type(QStringLiteral("atr"));
        QVERIFY(tabTo(QStringLiteral("txtTaux(0)")));
        UserInput::type(QStringLiteral("1"));
        QCOMPARE(s.get("cbbCult")->currentText(), QStringLiteral("Maïs (tous)"));
        QCOMPARE(s.get("cbbHerbApp(0)")->currentText(), QStringLiteral("atrazine"));
        QVERIFY(s.dialogs.messages.isEmpty());

        auto* copy = s.get<QAction>(QStringLiteral("mnuCopier"));
        QGuiApplication::clipboard()->clear();
        UserInput::key(Qt::Key_A, Qt::ControlModifier);
        UserInput::key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("1"));
        QVERIFY(QGuiApplication::clipboard()->image().isNull());
        UserInput::key(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(s.dialogs.printDialogs, 0);
        QVERIFY(!copy->isEnabled() && !s.get<QAction>(QStringLiteral("mnuImprimer"))->isEnabled());

        UserInput::key(Qt::Key_R, Qt::ControlModifier);
        QVERIFY(s.dialogs.messages.isEmpty());
        QVERIFY(s.window->state().ResultsShown && s.window->results()->hasPicture());
        QCOMPARE(s.window->results()->report().totalCases, 7);
        QVERIFY(copy->isEnabled());
        QGuiApplication::clipboard()->clear();
        UserInput::key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->image(), s.window->results()->pageImage());
        UserInput::key(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(s.dialogs.printDialogs, 1);
        // Back on the form, the report commands go out again.
        UserInput::menuKeys(Qt::Key_P, Qt::Key_O);
        QCOMPARE(s.window->CurrentGroup(), 0);
        QVERIFY(!copy->isEnabled());
    }

    // The menus mirror the navigation bar: each group and each strip command by access keys.
    // F1 opens the help at the topic of the group shown, as its strip's help button does.
    void menusReachEveryGroupAndStripCommand() {
        Started s;
        UserInput::key(Qt::Key_F1);
        QCOMPARE(s.said().title, QStringLiteral("Fichier d'aide introuvable"));
        s.addHelpFile();
        UserInput::key(Qt::Key_F1);
        UserInput::menuKeys(Qt::Key_P, Qt::Key_P); // Paramètres > Paramètres optionnels
        QCOMPARE(s.window->CurrentGroup(), 1);
        QCOMPARE(s.window->CurrentPage(), 2);
        UserInput::key(Qt::Key_F1);
        UserInput::menuKeys(Qt::Key_P, Qt::Key_S); // Site
        QCOMPARE(s.window->CurrentPage(), 3);
        UserInput::menuKeys(Qt::Key_P, Qt::Key_M); // Mauvaises herbes: its lists filled
        QCOMPARE(s.window->CurrentPage(), 4);
        QCOMPARE(s.get(QStringLiteral("cbbMauvHerb(0)"))->count(), 5);
        UserInput::menuKeys(Qt::Key_P, Qt::Key_O); // Paramètres obligatoires
        QCOMPARE(s.window->CurrentGroup(), 0);
        QCOMPARE(s.window->CurrentPage(), 1);
        // An optional page from the mandatory group brings the optional group forward.
        UserInput::menuKeys(Qt::Key_P, Qt::Key_C);
        QCOMPARE(s.window->CurrentGroup(), 1);
        QCOMPARE(s.window->CurrentPage(), 2);
        QVERIFY(s.get<QToolButton>(QStringLiteral("ListBar(3)"))->isVisibleTo(s.window.get()));

        // Clearing: each entry its own pages, their lists kept.
        QComboBox *cbbApp = s.get(QStringLiteral("cbbApp")), *prov = s.get("cbbSiteProv");
        cbbApp->setCurrentIndex(0);
        UserInput::menuKeys(Qt::Key_P, Qt::Key_S);
        prov->setCurrentIndex(1);
        UserInput::menuKeys(Qt::Key_P, Qt::Key_F); // Effacer les pages optionnelles
        QVERIFY(prov->currentText().isEmpty() && prov->count() == 2);
        QVERIFY(!cbbApp->currentText().isEmpty());
        UserInput::menuKeys(Qt::Key_P, Qt::Key_E); // Effacer la page (obligatoire)
        QCOMPARE(s.window->CurrentGroup(), 0);
        QVERIFY(cbbApp->currentText().isEmpty() && cbbApp->count() == 2);

        // The report by its menu, then the help of its group and the information entries.
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        UserInput::menuKeys(Qt::Key_R, Qt::Key_P);
        QVERIFY(s.window->state().ResultsShown);
        UserInput::key(Qt::Key_F1);
        UserInput::menuKeys(Qt::Key_R, Qt::Key_N);
        UserInput::menuKeys(Qt::Key_P, Qt::Key_I);
        QCOMPARE(s.dialogs.helpTopics, QVector<int>({2000, 3000, 4000, 4000, 2000}));
    }

    // Tab goes round the form and the navigation bar, the help line saying what each control
    // reached is for, as the pointer over it would; a group button pressed by Space brings its
    // group forward.
    void tabReachesTheNavigationBarAndBack() {
        Started s;
        QTRY_COMPARE(focusedName(), QStringLiteral("cbbApp"));
        QStringList reached;
        QHash<QString, QString> help;
        for (int i = 0; i < 80; ++i) {
            UserInput::key(Qt::Key_Tab);
            reached << focusedName();
            help.insert(reached.last(), s.status(1));
            if (reached.last() == QLatin1String("cbbApp"))
                break;
        }
        QCOMPARE(reached.last(), QStringLiteral("cbbApp")); // round the whole window
        for (const char* name :
             {"cmdObligatoire", "cmdOptionnel", "cmdRapport", "ListBar(1)", "ListBar(2)"})
            QVERIFY2(reached.contains(QLatin1String(name)), name);
        QVERIFY(!reached.contains(QStringLiteral("ListBar(3)"))); // hidden with its group
        QVERIFY(s.dialogs.messages.isEmpty()); // the disabled herbicide boxes were passed by
        QCOMPARE(help.value("cbbCult"), HoverText::of(s.get("cbbCult")).replace('\r', '\n'));
        QCOMPARE(help.value("cmdRapport"),
                 QStringLiteral("Appuyez ici pour produire les rapports"));
        QCOMPARE(help.value("ListBar(2)"), QStringLiteral("Appuyez ici pour obtenir les "
                                                          "informations sur les paramètres "
                                                          "obligatoires"));
        QVERIFY(help.value("cbbApp").startsWith(QStringLiteral("Entrez au clavier ou sélectionnez "
                                                               "dans la liste le type "
                                                               "d'application")));

        QVERIFY(tabTo(QStringLiteral("cmdOptionnel")));
        UserInput::key(Qt::Key_Space);
        QCOMPARE(s.window->CurrentGroup(), 1);
        QVERIFY(tabTo(QStringLiteral("ListBar(4)")));
        UserInput::key(Qt::Key_Space);
        QCOMPARE(s.window->CurrentPage(), 3);
        // Shift+Tab goes the other way round, into the page shown.
        QVERIFY(tabTo(QStringLiteral("cmdObligatoire")));
        QTabWidget* site = s.window->param()->sstParam(2);
        for (int i = 0; i < 80 && !site->isAncestorOf(QApplication::focusWidget()); ++i)
            UserInput::key(Qt::Key_Backtab);
        QVERIFY(site->isAncestorOf(QApplication::focusWidget()));
    }
};

QTEST_MAIN(TestKeyboard)
#include "TestKeyboard.moc"
