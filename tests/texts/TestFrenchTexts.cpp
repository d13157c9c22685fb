// Every text the user reads, in every window and menu reached as a user reaches them, checked
// for French typography: "…" rather than "...", a non-breaking space before ":" ";" "?" "!" and
// inside « », and no English word.

#include "FrenchText.h"
#include "ModalDriver.h"
#include "StartedProgram.h"
#include "gui/results/frmDetails.h"
#include "gui/results/frmResults.h"
#include "gui/shared/FrenchQt.h"
#include "gui/shared/HoverText.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabBar>
#include <QTableWidget>
#include <QTextDocument>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

namespace {

// A text as the user reads it: accelerator marks and markup gone.
QString readable(QString text) {
    if (Qt::mightBeRichText(text)) {
        QTextDocument document;
        document.setHtml(text);
        text = document.toPlainText();
    }
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

// What is wrong with a text's typography; empty when nothing is.
QStringList faults(const QString& text) {
    QStringList out;
    if (text.contains(QStringLiteral("...")))
        out << QStringLiteral("«\u00a0...\u00a0» au lieu de «\u00a0…\u00a0»");
    // A mark glued to the word before it; not a time (10:30), an address (http://) or a
    // separator shown as such ("« ; »").
    static const QRegularExpression glued(QStringLiteral("[^\\s\\x{00A0}\\x{202F}«\"'(]([:;?!])"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    auto it = glued.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const int at = int(m.capturedStart(1));
        const QString after = text.mid(at + 1, 2);
        if (m.captured(1) == QLatin1String(":") &&
            (after.startsWith(QLatin1Char('/')) ||
             (at > 0 && text.at(at - 1).isDigit() && !after.isEmpty() && after.at(0).isDigit())))
            continue;
        out << QStringLiteral("pas d'espace avant «\u00a0%1\u00a0»").arg(m.captured(1));
    }
    // A plain space there lets a line break leave the mark, or the quote, alone at a line's start.
    static const QRegularExpression breakable(QStringLiteral(" [:;?!»]|« "));
    auto plain = breakable.globalMatch(text);
    while (plain.hasNext())
        out << QStringLiteral("espace ordinaire dans « %1 » (insécable attendue)")
                   .arg(plain.next().captured(0));
    const QStringList english = englishWords(text);
    if (!english.isEmpty())
        out << QStringLiteral("mots anglais\u00a0: %1").arg(english.join(QStringLiteral(", ")));
    return out;
}

// The texts a window shows of itself (not the data it lists): titles, labels, buttons, tabs,
// headings, menus, tips.
QStringList textsOf(const QWidget* window) {
    QStringList texts{window->windowTitle()};
    QList<const QWidget*> widgets{window};
    for (const QWidget* w : window->findChildren<QWidget*>())
        widgets << w;
    for (const QWidget* w : widgets) {
        texts << w->toolTip() << w->statusTip() << w->accessibleName() << w->accessibleDescription()
              << grelavo::HoverText::of(w);
        if (const auto* label = qobject_cast<const QLabel*>(w))
            texts << label->text();
        if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            texts << button->text();
        if (const auto* group = qobject_cast<const QGroupBox*>(w))
            texts << group->title();
        if (const auto* tabs = qobject_cast<const QTabBar*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i) << tabs->tabToolTip(i);
        if (const auto* table = qobject_cast<const QTableWidget*>(w))
            for (int k = 0; k < table->columnCount(); ++k)
                if (const QTableWidgetItem* h = table->horizontalHeaderItem(k))
                    texts << h->text();
        if (const auto* tree = qobject_cast<const QTreeWidget*>(w))
            for (int k = 0; k < tree->columnCount(); ++k)
                texts << tree->headerItem()->text(k);
        if (const auto* line = qobject_cast<const QLineEdit*>(w))
            texts << line->placeholderText();
        for (const QAction* a : w->actions())
            texts << a->text() << a->toolTip() << a->statusTip();
    }
    return texts;
}

QStringList menuTexts(const QMenuBar* bar) {
    QStringList texts;
    QList<const QMenu*> menus;
    for (const QAction* a : bar->actions()) {
        texts << a->text();
        if (a->menu())
            menus << a->menu();
    }
    while (!menus.isEmpty()) {
        const QMenu* menu = menus.takeFirst();
        for (const QAction* a : menu->actions()) {
            texts << a->text() << a->statusTip();
            if (a->menu())
                menus << a->menu();
        }
    }
    return texts;
}

} // namespace

class TestFrenchTexts : public QObject {
    Q_OBJECT

    QStringList m_found; // "where : text : fault"

    void check(const QString& where, const QStringList& texts) {
        for (const QString& given : texts) {
            // Runs of blanks made one, but non-breaking spaces kept (simplified() would not).
            static const QRegularExpression blanks(QStringLiteral("[ \\t\\r\\n]+"));
            const QString text = readable(given).replace(blanks, QStringLiteral(" ")).trimmed();
            if (text.isEmpty())
                continue;
            for (const QString& fault : faults(text))
                m_found << QStringLiteral("%1\u00a0: «\u00a0%2\u00a0»\u00a0: %3")
                               .arg(where, text, fault);
        }
    }

    // Escape, as a user closes it; closed all the same when it never became active, so that a
    // slow machine fails the test rather than leaving it waiting.
    static void closeModal(QWidget* modal) {
        if (QTest::qWaitForWindowActive(modal, 20000))
            UserInput::key(Qt::Key_Escape);
        if (modal->isVisible()) {
            modal->close();
            QFAIL("the window did not close on Escape");
        }
    }

    // Opens a modal window by the access keys of its menu and entry, as a user does, and reads
    // its texts before Escape closes it.
    void readModal(StartedProgram& s, Qt::Key menu, Qt::Key entry, const QString& where) {
        bool seen = false;
        whenModalShows([&](QWidget* modal) {
            check(where, textsOf(modal));
            seen = true;
            closeModal(modal);
        });
        s.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        UserInput::menuKeys(menu, entry);
        QTRY_VERIFY(seen);
    }

private slots:
    // As the program does at its start: Qt's own texts (scroll buttons, standard buttons) in
    // French too.
    void initTestCase() { QVERIFY(grelavo::installFrenchQtTexts(*qApp)); }
    void init() { m_found.clear(); }

    // The checks themselves, on texts they must pass and texts they must catch.
    void checksCatchWhatTheyShould() {
        for (const char* good : {"Taux\u00a0: 1,5 kg i.a./ha", "Voulez-vous quitter\u00a0?",
                                 "Imprimer…", "«\u00a0;\u00a0» ou «\u00a0,\u00a0»", "10:30",
                                 "https://example.org", "Dicotylédones annuelles"})
            QVERIFY2(faults(QString::fromUtf8(good)).isEmpty(),
                     qPrintable(faults(QString::fromUtf8(good)).join("\u00a0; ")));
        for (const char* bad :
             {"Imprimer...", "Taux: 1", "Quitter?", "Taux : 1", "« 3 »", "Folder", "No such file"})
            QVERIFY2(!faults(QString::fromUtf8(bad)).isEmpty(), bad);
    }

    void everyWindowAndMenuReadsAsFrench() {
        StartedProgram s;
        check(QStringLiteral("menus"), menuTexts(s.window->menuBar()));
        check(QStringLiteral("ligne d'aide"), {grelavo::HoverText::generalPrompt()});
        // Each page of the form in turn, as the navigation bar shows them.
        check(QStringLiteral("page obligatoire"), textsOf(s.window.get()));
        for (const int button : {3, 4, 5}) {
            s.window->ListBar_ButtonClick(button);
            check(QStringLiteral("page %1").arg(button), textsOf(s.window.get()));
        }
        readModal(s, Qt::Key_A, Qt::Key_P, QStringLiteral("À propos"));

        s.window->cmdObligatoire_Click();
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        // The rate picker, from its button.
        bool picked = false;
        whenModalShows([&](QWidget* picker) {
            check(QStringLiteral("choix des taux"), textsOf(picker));
            picked = true;
            closeModal(picker);
        });
        s.click(QStringLiteral("cmdTaux"));
        QTRY_VERIFY(picked);
        s.get<QLineEdit>(QStringLiteral("txtTaux(0)"))->setText(QStringLiteral("1"));
        s.click(QStringLiteral("cmdRapport"));
        QVERIFY(s.window->state().ResultsShown);
        check(QStringLiteral("rapport"), textsOf(s.window.get()));
        // A cell's ratings, from the keyboard on the page: the frame onto the first cell, then
        // Enter.
        grelavo::frmResults* results = s.window->results();
        QVERIFY2(s.dialogs.messages.isEmpty(), qPrintable(s.dialogs.messages.value(0).text));
        s.window->activateWindow(); // back from the modal windows
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        UserInput::clickInto(results->findChild<QWidget*>(QStringLiteral("Picture2")));
        UserInput::key(Qt::Key_Down);
        UserInput::key(Qt::Key_Return);
        QTRY_VERIFY(results->detailsWindow());
        check(QStringLiteral("évaluations d'une cellule"), textsOf(results->detailsWindow()));
        UserInput::key(Qt::Key_Escape);
        QTRY_VERIFY(!results->detailsWindow());
        readModal(s, Qt::Key_R, Qt::Key_D, QStringLiteral("courbes"));
        readModal(s, Qt::Key_R, Qt::Key_A, QStringLiteral("analyse"));

        // A refused import, by the menu's access keys: the problems window and its lines, each
        // kind of problem once.
        QTemporaryDir dir;
        const auto write = [&dir](const char* name, const char* text) {
            QFile f(dir.filePath(QString::fromUtf8(name)));
            if (!f.open(QIODevice::WriteOnly) || f.write(text) < 0)
                qFatal("cannot write %s", name);
            return f.fileName();
        };
        s.dialogs.openAnswer = QStringList{
            write("sites.csv", "site,province\nP1,Qubec\nP2\n"),
            write("traitements.csv", "traitement,site\nE1,P1\nE2,P9\n"),
            write("applications.csv", "application,traitement,periode\nA1,E1,Prélevée\n"),
            write("produits.csv", "application,herbicide,formulation,dose_kg_ma_ha\n"
                                  "A1,atrazine,1,1250\nA1,atrazin,1,-1\n"),
            write("evaluations.csv", "traitement,mauvaise_herbe,visuel_pct\n"
                                     "E1,sétaire vert,150\nE3,pied-de-coq,x\n")};
        s.dialogs.onDialog = [this](QDialog& dialog) {
            QStringList texts = textsOf(&dialog);
            auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstProblemes"));
            QVERIFY(list && list->count() >= 8);
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
            check(QStringLiteral("problèmes d'import"), texts);
        };
        s.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        UserInput::menuKeys(Qt::Key_F, Qt::Key_I);
        QCOMPARE(s.dialogs.dialogsShown, QStringList{QStringLiteral("frmProblemes")});

        // The quit question, answered No.
        s.dialogs.nextAnswer = RecordingDialogs::Answer::No;
        s.window->close();
        QVERIFY(s.window->isVisible());

        // Every message the walk brought up.
        for (const RecordingDialogs::Shown& m : s.dialogs.messages)
            check(QStringLiteral("message «\u00a0%1\u00a0»").arg(m.title), {m.title, m.text});

        if (!m_found.isEmpty())
            QFAIL(qPrintable(QLatin1Char('\n') + m_found.join(QLatin1Char('\n'))));
    }

    // Qt's own file dialog, where the system has none of its own (the export asks for a
    // folder): its labels, buttons, headings and the kind of each entry.
    void fileDialogReadsAsFrench() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("essais")));
        QFile(dir.filePath(QStringLiteral("notes.txt"))).open(QIODevice::WriteOnly);
        QFileDialog dialog(nullptr, QStringLiteral("Exporter les essais"), dir.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.show();
        auto* view = dialog.findChild<QTreeView*>();
        QVERIFY(view);
        const QAbstractItemModel* model = view->model();
        QTRY_COMPARE(model->rowCount(view->rootIndex()), 2);
        QStringList texts = textsOf(&dialog);
        for (int c = 0; c < model->columnCount(); ++c) {
            texts << model->headerData(c, Qt::Horizontal).toString();
            for (int r = 0; r < 2; ++r)
                texts << model->index(r, c, view->rootIndex()).data().toString();
        }
        check(QStringLiteral("dialogue de fichiers"), texts);
        QVERIFY(texts.contains(QStringLiteral("Dossier")));
        if (!m_found.isEmpty())
            QFAIL(qPrintable(QLatin1Char('\n') + m_found.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestFrenchTexts)
#include "TestFrenchTexts.moc"
