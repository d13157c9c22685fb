// Menu Fichier's exchange of experiments and what the program then says of its database: the
// menus driven by their access keys on the fixture database, the dialogs answered as a user
// would.

#include "StartedProgram.h"
#include "core/db/DE.h"
#include "core/db/ImportLog.h"
#include "gui/params/frmParam.h"
#include "gui/results/frmResults.h"

#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>

using namespace grelavo;

namespace {

// A menu of the menu bar opened by its access key, then one of its entries by its own. The
// window is made active first, as a click on it would, when a dialog has just closed.
void menuKeys(QWidget* window, Qt::Key menu, Qt::Key entry) {
    if (!window->isActiveWindow()) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    UserInput::menuKeys(menu, entry);
}

// Writes the exchange files given as name and lines into 'folder'; returns their paths.
QStringList writeSet(const QString& folder, const QVector<QPair<QString, QStringList>>& files) {
    QStringList paths;
    for (const auto& [name, lines] : files) {
        QFile f(QDir(folder).filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(f.fileName()));
        f.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        paths << f.fileName();
    }
    return paths;
}

// One new site; a treatment and its crop of Maïs grain, of a variety the fixture's list lacks;
// atrazine at 1 kg/ha before emergence, then mésotrione, a herbicide the list lacks too; one
// rating.
QStringList validSet(const QString& folder) {
    return writeSet(
        folder,
        {{"sites.csv",
          {"site,province,classe_texturale,matiere_organique_pct,ph", "N1,Québec,loam,4,6.8"}},
         {"traitements.csv", {"traitement,site", "NT1,N1"}},
         {"cultures.csv",
          {"traitement,culture,variete,antecedent,semis_kg_ha,semis_grains_ha,profondeur_cm,"
           "ecartement_cm",
           "NT1,Maïs grain,Hybride Z,soya,20,75000,5,76"}},
         {"applications.csv",
          {"application,traitement,periode", "NA1,NT1,Prélevée", "NA2,NT1,Prélevée"}},
         {"produits.csv",
          {"application,herbicide,formulation,dose_kg_ma_ha", "NA1,atrazine,1,1",
           "NA2,mésotrione,1,0.1"}},
         {"evaluations.csv", {"traitement,mauvaise_herbe,visuel_pct", "NT1,sétaire verte,70"}}});
}

} // namespace

class TestExperimentMenus : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Atrazine at 1 kg/ha before emergence on all corn, reported by Ctrl+R: the ratings counted.
    static int atrazineReport(StartedProgram& s) {
        menuKeys(s.window.get(), Qt::Key_P, Qt::Key_O); // Paramètres obligatoires
        s.chooseAtrazineOnAllCorn();
        s.typeInto(QStringLiteral("txtTaux(0)"), QStringLiteral("1"));
        UserInput::key(Qt::Key_R, Qt::ControlModifier);
        return s.window->state().ResultsShown ? s.window->results()->report().totalCases : -1;
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }

    // The seven files, their rows counted in the message; existing files replaced only when the
    // user says so.
    void exportWritesTheFilesAndAsksBeforeReplacing() {
        StartedProgram s;
        const QString folder = m_dir.filePath(QStringLiteral("sortie"));
        s.dialogs.folderAnswer = folder;
        menuKeys(s.window.get(), Qt::Key_F, Qt::Key_E);
        // The seven files and the database's edition (the fixture has none: its headings only).
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{"applications.csv", "cultures.csv", "edition.csv", "evaluations.csv",
                              "produits.csv", "sites.csv", "stades.csv", "traitements.csv"}));
        QCOMPARE(s.dialogs.messages.size(), 1);
        const RecordingDialogs::Shown done = s.dialogs.messages[0];
        QCOMPARE(done.icon, DialogService::Icon::Information);
        for (const char* line :
             {"sites.csv\u00a0: 2 lignes", "traitements.csv\u00a0: 7 lignes",
              "applications.csv\u00a0: 8 lignes", "evaluations.csv\u00a0: 13 lignes"})
            QVERIFY2(done.text.split(QLatin1Char('\r')).contains(QString::fromUtf8(line)),
                     qPrintable(done.text));

        const QString stages = QDir(folder).filePath(QStringLiteral("stades.csv"));
        const QByteArray exported = fileBytes(stages);
        QFile old(stages);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("ancien\n") == 7);
        old.close();
        s.dialogs.nextAnswer = DialogService::Answer::No;
        menuKeys(s.window.get(), Qt::Key_F, Qt::Key_E);
        QCOMPARE(s.dialogs.messages.size(), 2);
        QCOMPARE(s.dialogs.messages[1].buttons, DialogService::Buttons::YesNo);
        QVERIFY(s.dialogs.messages[1].text.contains(QStringLiteral("stades.csv")));
        QCOMPARE(fileBytes(stages), QByteArray("ancien\n"));
        s.dialogs.nextAnswer = DialogService::Answer::Yes;
        menuKeys(s.window.get(), Qt::Key_F, Qt::Key_E);
        QCOMPARE(fileBytes(stages), exported);
        QCOMPARE(s.dialogs.messages.last().icon, DialogService::Icon::Information);
    }

    // Refused for a name missing from its list only: the user is offered to add it; then the
    // lists show it and a report counts the new rating and says it was imported.
    void importAddsExperimentsThatListsAndReportsThenSee() {
        StartedProgram s;
        const int before = atrazineReport(s);
        QVERIFY(before > 0);
        s.dialogs.openAnswer = validSet(m_dir.path());
        menuKeys(s.window.get(), Qt::Key_F, Qt::Key_I);
        QCOMPARE(s.dialogs.openQuestions.size(), 1);
        QCOMPARE(s.dialogs.openQuestions[0][1], QStringLiteral("Fichiers d'échange (*.csv)"));
        QCOMPARE(s.dialogs.messages.size(), 2);
        QCOMPARE(s.dialogs.messages[0].buttons, DialogService::Buttons::YesNo);
        for (const char* name : {"mésotrione", "Hybride Z"})
            QVERIFY2(s.dialogs.messages[0].text.contains(QString::fromUtf8(name)),
                     qPrintable(s.dialogs.messages[0].text));
        const QString done = s.dialogs.messages[1].text;
        QCOMPARE(s.dialogs.messages[1].icon, DialogService::Icon::Information);
        for (const char* part : {"1 site, 1 traitement, 1 culture, 2 applications, 0 stade, "
                                 "2 produits, 1 évaluation",
                                 "mésotrione", "Hybride Z", "Grelavo.mdb.avant-import-"})
            QVERIFY2(done.contains(QString::fromUtf8(part)), qPrintable(done));
        QVERIFY(s.dialogs.dialogsShown.isEmpty());

        // The report shown is made again from the same entries, with the new rating; the form
        // keeps its entries and its lists hold the names added.
        QVERIFY(s.window->state().ResultsShown);
        QCOMPARE(s.window->CurrentGroup(), 2);
        QCOMPARE(s.window->results()->report().totalCases, before + 1);
        QCOMPARE(
            s.window->results()->page().about().colophonLines().last(),
            QStringLiteral("Essais importés\u00a0: 1 importation (1 traitement, 1 évaluation), "
                           "faite le %1")
                .arg(QDate::currentDate().toString(Qt::ISODate)));
        QCOMPARE(s.get(QStringLiteral("cbbApp"))->currentText(), QStringLiteral("Prélevée"));
        QCOMPARE(s.get(QStringLiteral("cbbNombHerb"))->currentText(), QStringLiteral("1"));
        QCOMPARE(s.get(QStringLiteral("cbbHerbApp(0)"))->currentText(), QStringLiteral("atrazine"));
        QCOMPARE(s.get<QLineEdit>(QStringLiteral("txtTaux(0)"))->text(), QStringLiteral("1"));
        QCOMPARE(s.get(QStringLiteral("cbbCult"))->currentText(), QStringLiteral("Maïs (tous)"));
        QVERIFY(s.get(QStringLiteral("cbbHerbApp(0)"))->findText(QStringLiteral("mésotrione")) >=
                0);
        QCOMPARE(atrazineReport(s), before + 1);
    }

    // Imported while the optional pages are shown: the user stays there, every entry in place,
    // and the lists read again (the variety added is offered).
    void importKeepsThePagesAndTheirEntries() {
        StartedProgram s;
        menuKeys(s.window.get(), Qt::Key_P, Qt::Key_O); // Paramètres obligatoires
        s.chooseAtrazineOnAllCorn();
        s.typeInto(QStringLiteral("txtTaux(0)"), QStringLiteral("0,5"));
        QComboBox* crop = s.get(QStringLiteral("cbbCult"));
        crop->setCurrentIndex(crop->findText(QStringLiteral("Maïs grain")));
        QComboBox* variety = s.get(QStringLiteral("cbbCultVar"));
        QVERIFY(variety->count() > 0 && variety->findText(QStringLiteral("Hybride Z")) < 0);
        const QString chosenVariety = variety->itemText(0);
        variety->setCurrentIndex(0);
        s.window->cmdOptionnel_Click();
        s.window->ListBar_ButtonClick(4); // the site page
        QComboBox* province = s.get(QStringLiteral("cbbSiteProv"));
        province->setCurrentIndex(province->findText(QStringLiteral("Québec")));
        s.typeInto(QStringLiteral("cbbSitepHDe"), QStringLiteral("6,5"));
        const int page = s.window->CurrentPage();

        s.dialogs.openAnswer = validSet(m_dir.path());
        menuKeys(s.window.get(), Qt::Key_F, Qt::Key_I);
        QCOMPARE(s.dialogs.messages.size(), 2); // the names to add, then what was imported
        QCOMPARE(s.window->CurrentGroup(), 1);
        QCOMPARE(s.window->CurrentPage(), page);
        QVERIFY(!s.window->state().ResultsShown);
        QCOMPARE(province->currentText(), QStringLiteral("Québec"));
        QCOMPARE(s.get(QStringLiteral("cbbSitepHDe"))->currentText(), QStringLiteral("6,5"));
        QCOMPARE(s.get(QStringLiteral("cbbApp"))->currentText(), QStringLiteral("Prélevée"));
        QCOMPARE(s.get(QStringLiteral("cbbHerbApp(0)"))->currentText(), QStringLiteral("atrazine"));
        QCOMPARE(s.get<QLineEdit>(QStringLiteral("txtTaux(0)"))->text(), QStringLiteral("0,5"));
        QCOMPARE(s.window->state().EnteredRate[0], QStringLiteral("0,5"));
        QCOMPARE(crop->currentText(), QStringLiteral("Maïs grain"));
        QCOMPARE(variety->currentText(), chosenVariety);
        QVERIFY(variety->findText(QStringLiteral("Hybride Z")) >= 0);
        // The entries are the ones a report reads.
        const ParameterSet read = s.window->param()->readParameters();
        QCOMPARE(read.cbbSiteProv.text, QStringLiteral("Québec"));
        QCOMPARE(read.cbbHerbApp[0].text, QStringLiteral("atrazine"));
    }

    // Problems in the files: listed where they are, copied as they are; the file is untouched.
    void refusedImportListsItsProblemsAndLeavesTheFileAsItWas() {
        StartedProgram s;
        s.dialogs.openAnswer =
            writeSet(m_dir.path(), {{"traitements.csv", {"traitement,site", "E1,"}},
                                    {"evaluations.csv",
                                     {"traitement,mauvaise_herbe,visuel_pct", "E9,sétaire verte,50",
                                      "E1,sétaire verte,150"}}});
        const QByteArray database = fileBytes(s.fixture->path());
        QStringList shown;
        s.dialogs.onDialog = [&shown](QDialog& dialog) {
            auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstProblemes"));
            QVERIFY(list);
            for (int i = 0; i < list->count(); ++i)
                shown << list->item(i)->text();
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdCopier")),
                              Qt::LeftButton);
            QCOMPARE(QGuiApplication::clipboard()->text(), shown.join('\n') + '\n');
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(1)).center());
            UserInput::key(Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QGuiApplication::clipboard()->text(), shown.value(1) + '\n');
        };
        menuKeys(s.window.get(), Qt::Key_F, Qt::Key_I);
        QCOMPARE(s.dialogs.dialogsShown, QStringList{"frmProblemes"});
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].startsWith(QStringLiteral("evaluations.csv, ligne 2, colonne "
                                                    "traitement\u00a0: ")),
                 qPrintable(shown[0]));
        QVERIFY2(shown[1].startsWith(QStringLiteral("evaluations.csv, ligne 3, colonne "
                                                    "visuel_pct\u00a0: ")),
                 qPrintable(shown[1]));
        QVERIFY(s.dialogs.messages.isEmpty());
        QCOMPARE(fileBytes(s.fixture->path()), database);
        QCOMPARE(QDir(s.fixture->folder()).entryList(QDir::Files),
                 QStringList{QStringLiteral("Grelavo.mdb")});

        // Past the problems listed, the window still says how many there are in all.
        QByteArray many("traitement,mauvaise_herbe,visuel_pct\n");
        for (int i = 0; i < 601; ++i)
            many += "E1,sétaire verte,101\n";
        s.dialogs.openAnswer =
            writeSet(m_dir.path(), {{"evaluations.csv", {QString::fromUtf8(many)}}});
        QString intro, last;
        s.dialogs.onDialog = [&intro, &last](QDialog& dialog) {
            intro = dialog.findChild<QLabel*>(QStringLiteral("lblProblemes"))->text();
            auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstProblemes"));
            last = list->item(list->count() - 1)->text();
        };
        menuKeys(s.window.get(), Qt::Key_F, Qt::Key_I);
        const QRegularExpression total(QStringLiteral("\u00a0: (\\d+) problèmes en tout$"));
        const QRegularExpressionMatch m = total.match(last);
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() > 601, qPrintable(last));
        QVERIFY2(intro.endsWith(QStringLiteral("(%1 problèmes).").arg(m.captured(1))),
                 qPrintable(intro));
    }

    // The About box names the open database's edition and its imports.
    void aboutBoxNamesTheEditionAndItsImports() {
        StartedProgram s;
        const auto aboutText = [&s] {
            QString text;
            whenModalShows([&text](QWidget* box) {
                text = box->findChild<QLabel*>(QStringLiteral("lblEdition"))->text();
                box->close();
            });
            menuKeys(s.window.get(), Qt::Key_A, Qt::Key_P);
            return text;
        };
        QCOMPARE(aboutText(),
                 QStringLiteral("Base de données\u00a0: édition inconnue (le fichier ne dit "
                                "pas d'où viennent ses données).\nAucun essai "
                                "importé."));
        Connection& db = s.window->de().Connection2();
        db.executeScript(QStringLiteral("INSERT INTO \"tblÉdition\" VALUES ('Démonstration', "
                                        "'2026-12-07', 'grelavo-makedb', 1);"));
        ImportLog::ensureTables(db);
        ImportLog::add(db, {"2026-12-07T14:35:22", {"traitements.csv"}, {0, 2, 0, 0, 0, 0, 3}, {}},
                       {});
        QCOMPARE(aboutText(),
                 QStringLiteral(
                     "Base de données\u00a0: «\u00a0Démonstration\u00a0», édition du 2026-12-07, "
                     "source\u00a0: grelavo-makedb.\nSes essais sont des données de "
                     "démonstration synthétiques, et non des résultats d'essais au "
                     "champ.\nEssais importés\u00a0: 1 importation (2 traitements, 3 "
                     "évaluations), faite le 2026-12-07."));
    }
};

QTEST_MAIN(TestExperimentMenus)
#include "TestExperimentMenus.moc"
