#include "FixtureReports.h"
#include "ParamForm.h"
#include "UserInput.h"
#include "core/report/ReportEngine.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>

using namespace grelavo;

class TestChecks : public QObject {
    Q_OBJECT

private:
    // A form on the fixture, its pages shown and hidden as the main window would.
    struct Form : ParamForm {
        Form() {
            // The main window's part: each group's command shows its first page.
            connect(&form, &frmParam::mandatoryPageWanted, [this] { form.showPage(0); });
            connect(&form, &frmParam::optionalPagesWanted, [this] { form.showPage(1); });
            form.Fill_cbbApp();
            form.Fill_Culture();
            form.Fill_Site();
            form.Fill_MauvHerb();
        }
        // One page shown, the others hidden, as the pages lie one over the other.
        void showPage(int page) {
            form.hidePages();
            form.showPage(page);
        }
        // Atrazine alone at Prélevée on all corn, with the rate given.
        void mandatory(const QString& rate) const {
            choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
            choose(QStringLiteral("cbbNombHerb"), QStringLiteral("1"));
            choose(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atrazine"));
            type(QStringLiteral("txtTaux(0)"), rate);
            choose(QStringLiteral("cbbCult"), QStringLiteral("Maïs (tous)"));
        }
        // Runs the checks: the messages they show, the page shown and the control with the
        // focus; "passed" when nothing is missing.
        QString checked() {
            dialogs.messages.clear();
            const frmParam::Needed needed = form.GoTAllNeeded();
            if (needed.parameters)
                return dialogs.messages.isEmpty() ? QStringLiteral("passed")
                                                  : dialogs.messages.last().text;
            // The problem given back is the one said.
            if (dialogs.messages.isEmpty() || needed.problem != dialogs.messages.last().text)
                return QStringLiteral("problem not given back: ") + needed.problem;
            QStringList out;
            for (const RecordingDialogs::Shown& shown : dialogs.messages)
                out << shown.text;
            for (int i = 0; i < frmParam::Pages; ++i)
                if (form.sstParam(i)->isVisible())
                    out << QStringLiteral("%1.%2").arg(i).arg(form.sstParam(i)->currentIndex());
            QWidget* focus = QApplication::focusWidget();
            while (focus && focus->objectName().isEmpty())
                focus = focus->parentWidget();
            return out.join(QStringLiteral(" | ")) + " | " + (focus ? focus->objectName() : "");
        }
    };

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }

    void mandatoryParametersComeFirst() {
        Form f;
        QCOMPARE(f.checked(), QStringLiteral("Pour lancer la requête, certaines informations sont "
                                             "nécessaires\rVeuillez entrer la période "
                                             "d'application. | 0.0 | cbbApp"));
        f.choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("2"));
        QCOMPARE(f.checked(), QStringLiteral("Vous devez d'abord entrer un herbicide. | 0.0 | "
                                             "cbbHerbApp(0)"));
        f.choose(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atrazine"));
        QCOMPARE(f.checked(), QStringLiteral("Vous devez d'abord entrer un taux d'application. | "
                                             "0.0 | txtTaux(0)"));
        f.type(QStringLiteral("txtTaux(0)"), QStringLiteral("0,5"));
        QCOMPARE(f.checked(), QStringLiteral("Vous devez d'abord entrer un herbicide. | 0.0 | "
                                             "cbbHerbApp(1)"));
        f.choose(QStringLiteral("cbbHerbApp(1)"), QStringLiteral("dicamba"));
        QCOMPARE(f.checked(), QStringLiteral("Vous devez d'abord entrer un taux d'application. | "
                                             "0.0 | txtTaux(1)"));
        f.type(QStringLiteral("txtTaux(1)"), QStringLiteral("1"));
        f.type(QStringLiteral("cbbCult"), QString());
        QCOMPARE(f.checked(),
                 QStringLiteral("Vous devez d'abord choisir une culture. | 0.0 | cbbCult"));
    }

    // A rate takes either decimal separator whatever the user's format and is shown back in
    // that format once left; a range bound that could be a thousands separator is refused.
    void numbersTakeEitherDecimalSeparator() {
        Form f;
        f.mandatory(QString());
        f.showPage(0);
        UserInput::typeInto(f.get<QLineEdit>(QStringLiteral("txtTaux(0)")), QStringLiteral("1.5"));
        UserInput::key(Qt::Key_Tab);
        QCOMPARE(f.get<QLineEdit>(QStringLiteral("txtTaux(0)"))->text(), QStringLiteral("1,5"));
        QCOMPARE(f.checked(), QStringLiteral("passed"));
        QCOMPARE(f.form.readParameters().EnteredRate[0], QStringLiteral("1,5"));
        QLocale::setDefault(QLocale(QLocale::English));
        QCOMPARE(f.checked(), QStringLiteral("passed")); // "1,5" is 1.5 in English too
        f.type(QStringLiteral("txtCultSemisDe"), QStringLiteral("70,000"));
        f.type(QStringLiteral("txtCultSemisA"), QStringLiteral("80000"));
        QCOMPARE(f.checked(),
                 QStringLiteral("La valeur entrée n'est pas numérique. | 1.0 | txtCultSemisDe"));
        f.type(QStringLiteral("txtCultSemisDe"), QStringLiteral("70000"));
        QCOMPARE(f.checked(), QStringLiteral("passed"));
    }

    // Letters in a rate box keep the focus there, with the message, at each attempt to leave.
    void aRateOfLettersCannotBeLeft() {
        Form f;
        f.mandatory(QString());
        f.showPage(0);
        auto* rate = f.get<QLineEdit>(QStringLiteral("txtTaux(0)"));
        UserInput::typeInto(rate, QStringLiteral("1,x"));
        for (int attempt = 1; attempt <= 2; ++attempt) {
            UserInput::key(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), rate);
            QTRY_COMPARE(f.dialogs.messages.size(), attempt);
            QCOMPARE(f.dialogs.messages.last().text,
                     QStringLiteral("La valeur entrée n'est pas numérique."));
        }
        UserInput::clickInto(f.get(QStringLiteral("cbbCult")));
        QCOMPARE(QApplication::focusWidget(), rate);
        QTRY_COMPARE(f.dialogs.messages.size(), 3);
        // The report's own check names the box once, not twice.
        QCOMPARE(f.checked(),
                 QStringLiteral("La valeur entrée n'est pas numérique. | 0.0 | txtTaux(0)"));
        QTest::qWait(20);
        QCOMPARE(f.dialogs.messages.size(), 1);
        // A number no rate can be: said, and the focus stays.
        UserInput::typeInto(rate, QStringLiteral("0"));
        UserInput::key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), rate);
        QTRY_COMPARE(f.dialogs.messages.size(), 2);
        QVERIFY(f.dialogs.messages.last().text.startsWith(
            QStringLiteral("Le taux doit être plus grand que 0")));
        UserInput::typeInto(rate, QString());
        UserInput::key(Qt::Key_Backspace);
        UserInput::key(Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != rate);
        QTest::qWait(20);
        QCOMPARE(f.dialogs.messages.size(), 2);
    }

    // What a list box shows is what the report uses: text pasted that is no item is named by
    // the checks on its page; an item's name pasted chooses that item.
    void listBoxesHoldTheirItemsOrAreNamed() {
        Form f;
        f.mandatory(QStringLiteral("1"));
        const QString notInList =
            QStringLiteral("La valeur «\u00a0%1\u00a0» n'est pas dans la liste «\u00a0%2\u00a0»."
                           "\rChoisissez un élément de la liste. | %3 | %4");
        f.showPage(2);
        UserInput::pasteInto(f.get(QStringLiteral("cbbSiteProv")), QStringLiteral("Ontari"));
        QCOMPARE(f.checked(), notInList.arg("Ontari", "Province", "2.0", "cbbSiteProv"));
        UserInput::pasteInto(f.get(QStringLiteral("cbbSiteProv")), QStringLiteral("québec"));
        QCOMPARE(f.get(QStringLiteral("cbbSiteProv"))->currentText(), QStringLiteral("Québec"));
        f.showPage(3);
        UserInput::pasteInto(f.get(QStringLiteral("cbbMauvHerb(1)")), QStringLiteral("zz"));
        QCOMPARE(f.checked(), notInList.arg("zz", "Mauvaise herbe 2", "3.0", "cbbMauvHerb(1)"));
        f.type(QStringLiteral("cbbMauvHerb(1)"), QString());
        f.showPage(0);
        UserInput::pasteInto(f.get(QStringLiteral("cbbCult")), QStringLiteral("Maïs sucr"));
        QCOMPARE(f.checked(), notInList.arg("Maïs sucr", "Culture", "0.0", "cbbCult"));
        f.choose(QStringLiteral("cbbCult"), QStringLiteral("Maïs (tous)"));
        QCOMPARE(f.checked(), QStringLiteral("passed"));

        // Part of a name is no choice, for the report nor for the rate picker.
        UserInput::pasteInto(f.get(QStringLiteral("cbbHerbApp(0)")), QStringLiteral("atraz"));
        QCOMPARE(f.checked(), notInList.arg("atraz", "Herbicide 1", "0.0", "cbbHerbApp(0)"));
        int pickers = 0;
        connect(&f.form, &frmParam::ratePickerWanted, [&pickers] { ++pickers; });
        UserInput::clickInto(f.get<QPushButton>(QStringLiteral("cmdTaux")));
        QCOMPARE(pickers, 0);
        QVERIFY(f.dialogs.messages.last().text.startsWith(
            QStringLiteral("La valeur «\u00a0atraz\u00a0»")));

        // Another herbicide pasted over atrazine is chosen: the page and the statements agree.
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("2"));
        f.choose(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atrazine"));
        UserInput::pasteInto(f.get(QStringLiteral("cbbHerbApp(0)")), QStringLiteral("dicamba"));
        QCOMPARE(f.state.SelectedHerbicideName[0], QStringLiteral("dicamba"));
        const ParameterSet p = f.form.readParameters();
        QCOMPARE(p.cbbHerbApp[0].itemData, std::optional<qint32>(p.SelectedHerbicideId[0]));
        QCOMPARE(p.cbbHerbApp[0].text, QStringLiteral("dicamba"));
    }

    void rangesAreCheckedOnTheirPages() {
        Form f;
        f.mandatory(QStringLiteral("1"));
        f.type(QStringLiteral("txtCultSemisDe"), QStringLiteral("15"));
        QCOMPARE(f.checked(), QStringLiteral("Il manque la seconde valeur associée à la "
                                             "première. | 1.0 | txtCultSemisA"));
        f.type(QStringLiteral("txtCultSemisA"), QStringLiteral("20"));
        f.get<QRadioButton>(QStringLiteral("optHaut"))->setChecked(true);
        f.type(QStringLiteral("txtCultHautA"), QStringLiteral("30"));
        QCOMPARE(f.checked(), QStringLiteral("Il manque la première valeur associée à la "
                                             "seconde. | 1.1 | txtCultHautDe"));
        f.type(QStringLiteral("txtCultHautA"), QString());
        f.choose(QStringLiteral("cbbCultProfDe"), QStringLiteral("10"));
        f.choose(QStringLiteral("cbbCultProfA"), QStringLiteral("2"));
        QCOMPARE(f.checked(), QStringLiteral("La seconde valeur est plus petite que la première. "
                                             "| 1.0 | cbbCultProfA"));
        f.choose(QStringLiteral("cbbCultProfDe"), QStringLiteral("2"));
        f.choose(QStringLiteral("cbbCultProfA"), QStringLiteral("10")); // numbers, not texts
        f.choose(QStringLiteral("cbbSiteMatOrgDe"), QStringLiteral("5"));
        f.choose(QStringLiteral("cbbSiteMatOrgA"), QStringLiteral("5"));
        f.type(QStringLiteral("cbbSitepHDe"), QStringLiteral("6) Or (1=1")); // pasted
        f.type(QStringLiteral("cbbSitepHA"), QStringLiteral("7"));
        QCOMPARE(f.checked(),
                 QStringLiteral("La valeur entrée n'est pas numérique. | 2.0 | cbbSitepHDe"));
        // A bound typed with the other separator is the list's item once the box is left.
        f.showPage(2);
        UserInput::typeInto(f.get(QStringLiteral("cbbSitepHDe")), QString());
        UserInput::pasteInto(f.get(QStringLiteral("cbbSitepHDe")), QStringLiteral("6.5"));
        UserInput::key(Qt::Key_Tab);
        QCOMPARE(f.get(QStringLiteral("cbbSitepHDe"))->currentText(), QStringLiteral("6,5"));
        QCOMPARE(f.get(QStringLiteral("cbbSitepHDe"))->currentIndex(), 40);
    }

    // Every control reaches its own field, each given a value no other field has, so that a
    // field read from the wrong box or two bounds swapped show.
    // A screen reader names every box where the focus lands (an editable combo box's line), each
    // once; a box with a label is also labelled by it.
    void everyBoxIsNamedForAScreenReader() {
        Form f;
        QStringList names;
        for (QWidget* w : f.form.findChildren<QWidget*>()) {
            auto* edit = qobject_cast<QLineEdit*>(w);
            if (!qobject_cast<QComboBox*>(w) && !qobject_cast<QAbstractButton*>(w) &&
                (!edit || qobject_cast<QComboBox*>(edit->parentWidget())))
                continue;
            if (qobject_cast<QTabBar*>(w->parentWidget()))
                continue;
            auto* combo = qobject_cast<QComboBox*>(w);
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(
                combo && combo->lineEdit() ? combo->lineEdit() : w);
            const QString name = a->text(QAccessible::Name);
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
        for (const char* expected :
             {"Type d'application", "Culture", "Nombre d'herbicides", "Herbicide 2", "Taux 2",
              "Formulation de l'herbicide 2", "Concentration 2", "Variété", "Province",
              "Profondeur (cm), de", "Profondeur (cm), à", "pH, de", "Mauvaise herbe 5",
              "Écart entre les rangs", "Sélectionner les taux"})
            QVERIFY2(names.contains(QString::fromUtf8(expected)), expected);
        const std::pair<const char*, const char*> labelled[] = {
            {"cbbNombHerb", "Nombre d'herbicides\u00a0:"},
            {"cbbCult", "Culture\u00a0:"},
            {"cbbSiteProv", "Province"},
            {"cbbCultProfDe", "Profondeur (cm)"}};
        for (const auto& [box, label] : labelled) {
            QStringList labels;
            const auto relations =
                QAccessible::queryAccessibleInterface(f.form.findChild<QWidget*>(box))
                    ->relations(QAccessible::Label);
            for (const auto& relation : relations)
                labels << relation.first->text(QAccessible::Name);
            QVERIFY2(labels.contains(QString::fromUtf8(label)), qPrintable(labels.join('/')));
        }
    }

    void theFormReadsEveryControlIntoItsOwnField() {
        Form f;
        f.choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("2"));
        f.choose(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atrazine"));
        f.choose(QStringLiteral("cbbHerbApp(1)"), QStringLiteral("dicamba"));
        f.type(QStringLiteral("txtTaux(0)"), QStringLiteral("0,5"));
        f.type(QStringLiteral("txtTaux(1)"), QStringLiteral("0,3"));
        f.choose(QStringLiteral("cbbCult"), QStringLiteral("Maïs grain"));
        f.choose(QStringLiteral("cbbCultVar"), QStringLiteral("Hybride B"));
        f.choose(QStringLiteral("cbbCultAnte"), QStringLiteral("blé"));
        f.get<QRadioButton>(QStringLiteral("optSe"))->setChecked(true);
        f.type(QStringLiteral("txtCultSemisDe"), QStringLiteral("70000"));
        f.type(QStringLiteral("txtCultSemisA"), QStringLiteral("80000"));
        f.choose(QStringLiteral("cbbCultProfDe"), QStringLiteral("2"));
        f.choose(QStringLiteral("cbbCultProfA"), QStringLiteral("9"));
        f.choose(QStringLiteral("cbbCultEcart"), QStringLiteral("70 - 80"));
        f.type(QStringLiteral("txtCultFeuilDe"), QStringLiteral("3"));
        f.type(QStringLiteral("txtCultFeuilA"), QStringLiteral("6"));
        f.choose(QStringLiteral("cbbSiteProv"), QStringLiteral("Ontario"));
        f.choose(QStringLiteral("cbbSiteClaTex"), QStringLiteral("argile"));
        f.choose(QStringLiteral("cbbSiteMatOrgDe"), QStringLiteral("4"));
        f.choose(QStringLiteral("cbbSiteMatOrgA"), QStringLiteral("11"));
        f.choose(QStringLiteral("cbbSitepHDe"), QStringLiteral("6,1"));
        f.choose(QStringLiteral("cbbSitepHA"), QStringLiteral("7,2"));
        const char* weeds[] = {"sétaire verte", "souchet comestible", "", "prêle des champs",
                               "chénopode blanc"};
        for (int i = 0; i < 5; ++i)
            if (*weeds[i])
                f.choose(QStringLiteral("cbbMauvHerb(%1)").arg(i), QString::fromUtf8(weeds[i]));
        QCOMPARE(f.checked(), QStringLiteral("passed"));

        const ParameterSet p = f.form.readParameters();
        auto choice = [](const Choice& c) {
            return c.text + '=' + (c.itemData ? QString::number(*c.itemData) : QString("~"));
        };
        QCOMPARE(choice(p.cbbApp), QStringLiteral("Prélevée=1"));
        QCOMPARE(p.SelectedApplicationType, qint16(1));
        QCOMPARE(choice(p.cbbHerbApp[0]) + ' ' + choice(p.cbbHerbApp[1]) + ' ' +
                     choice(p.cbbHerbApp[2]) + ' ' + choice(p.cbbHerbApp[3]),
                 QStringLiteral("atrazine=10 dicamba=11 =~ =~"));
        QCOMPARE(p.SelectedHerbicideId, (std::array<qint16, 4>{10, 11, 0, 0}));
        QCOMPARE(p.txtTaux, (std::array<QString, 4>{"0,5", "0,3", "", ""}));
        QCOMPARE(p.EnteredRate[0] + ' ' + p.EnteredRate[1], QStringLiteral("0,5 0,3"));
        QCOMPARE(choice(p.cbbCult), QStringLiteral("Maïs grain=149"));
        QCOMPARE(choice(p.cbbCultVar), QStringLiteral("Hybride B=2"));
        QCOMPARE(choice(p.cbbCultAnte), QStringLiteral("blé=2"));
        QVERIFY(!p.optKg);
        QCOMPARE(p.txtCultSemisDe + ' ' + p.txtCultSemisA, QStringLiteral("70000 80000"));
        QCOMPARE(p.cbbCultProfDe + ' ' + p.cbbCultProfA, QStringLiteral("2 9"));
        QCOMPARE(choice(p.cbbCultEcart), QStringLiteral("70 - 80=1"));
        QVERIFY(!p.optHaut);
        QCOMPARE(p.txtCultFeuilDe + ' ' + p.txtCultFeuilA, QStringLiteral("3 6"));
        QCOMPARE(p.txtCultHautDe + p.txtCultHautA, QString());
        QCOMPARE(choice(p.cbbSiteProv), QStringLiteral("Ontario=2"));
        QCOMPARE(choice(p.cbbSiteClaTex), QStringLiteral("argile=2"));
        QCOMPARE(p.cbbSiteMatOrgDe + ' ' + p.cbbSiteMatOrgA, QStringLiteral("4 11"));
        QCOMPARE(p.cbbSitepHDe + ' ' + p.cbbSitepHA, QStringLiteral("6,1 7,2"));
        QStringList extra;
        for (const Choice& weed : p.cbbMauvHerb)
            extra << choice(weed);
        QCOMPARE(extra, QStringList({"sétaire verte=34", "souchet comestible=200", "=~",
                                     "prêle des champs=201", "chénopode blanc=15"}));

        // Heights instead of leaves: the height boxes are read, the leaf boxes no longer.
        f.get<QRadioButton>(QStringLiteral("optHaut"))->setChecked(true);
        f.type(QStringLiteral("txtCultHautDe"), QStringLiteral("12"));
        f.type(QStringLiteral("txtCultHautA"), QStringLiteral("25"));
        const ParameterSet heights = f.form.readParameters();
        QVERIFY(heights.optHaut);
        QCOMPARE(heights.txtCultHautDe + ' ' + heights.txtCultHautA, QStringLiteral("12 25"));
        QCOMPARE(heights.txtCultFeuilDe + heights.txtCultFeuilA, QString());
    }

    void theFormReadsOutTheParameterSetTheEngineUses() {
        Form f;
        f.mandatory(QStringLiteral("1"));
        QCOMPARE(f.checked(), QStringLiteral("passed"));
        const ParameterSet p = f.form.readParameters();
        QCOMPARE(p.cbbApp.itemData, std::optional<qint32>(1));
        QCOMPARE(p.cbbHerbApp[0].itemData, std::optional<qint32>(10));
        QVERIFY(p.isAllCorn() && p.optKg && !p.optHaut);
        QVERIFY(!p.cbbSiteProv.isEntered() && !p.cbbMauvHerb[0].isEntered());
        ReportEngine engine(f.de);
        QVERIFY(engine.SetQuery(p));
        QCOMPARE(engine.TotalCases(), 7); // the known report of the fixture
        QCOMPARE(ReportEngine::Set_ParamList(p), ReportEngine::Set_ParamList(atrazine("1")));
    }
};

QTEST_MAIN(TestChecks)
#include "TestChecks.moc"
