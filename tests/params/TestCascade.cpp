#include "ParamForm.h"
#include "UserInput.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

using namespace grelavo;

class TestCascade : public QObject {
    Q_OBJECT

private:
    struct Form : ParamForm {
        int mandatoryPageShown = 0;
        int ratePickerOpened = 0;

        Form() {
            QObject::connect(&form, &grelavo::frmParam::mandatoryPageWanted,
                             [this] { ++mandatoryPageShown; });
            QObject::connect(&form, &grelavo::frmParam::ratePickerWanted,
                             [this] { ++ratePickerOpened; });
            form.sstParam(0)->setVisible(true);
            form.Fill_cbbApp();
        }
        QComboBox* herb(int i) const { return get(QStringLiteral("cbbHerbApp(%1)").arg(i)); }
        QLineEdit* rate(int i) const {
            return get<QLineEdit>(QStringLiteral("txtTaux(%1)").arg(i));
        }
        QVector<bool> rowsEnabled() const {
            QVector<bool> out;
            for (int i = 0; i < 4; ++i)
                out << herb(i)->isEnabled();
            return out;
        }
        QGroupBox* section() const { return form.findChild<QGroupBox*>("fraHerbApp"); }
        // Prélevée, then three herbicides: atrazine, dicamba and nicosulfuron.
        void chooseThreeHerbicides() {
            choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
            choose(QStringLiteral("cbbNombHerb"), QStringLiteral("3"));
            choose(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atrazine"));
            choose(QStringLiteral("cbbHerbApp(1)"), QStringLiteral("dicamba"));
            choose(QStringLiteral("cbbHerbApp(2)"), QStringLiteral("nicosulfuron"));
        }
    };

private slots:
    void sectionFollowsPeriodThenCount() {
        Form f;
        auto* count = f.get(QStringLiteral("cbbNombHerb"));
        auto* cmdTaux = f.form.findChild<QPushButton*>(QStringLiteral("cmdTaux"));
        QVERIFY(!f.section()->isEnabled() && !count->isEnabled() && !cmdTaux->isEnabled());
        const QColor inactive = QApplication::palette().color(QPalette::Window);
        QCOMPARE(f.herb(0)->palette().color(QPalette::Base), inactive); // filling chose nothing
        QCOMPARE(f.items(f.get(QStringLiteral("cbbApp"))),
                 QStringList({"Postlevée", "Prélevée"})); // sorted
        f.choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
        QCOMPARE(f.state.SelectedApplicationType, qint16(1));
        QVERIFY(f.section()->isEnabled() && count->isEnabled() && cmdTaux->isEnabled());
        QVERIFY(count->currentText().isEmpty());
        QCOMPARE(f.rowsEnabled(), QVector<bool>({false, false, false, false}));
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("3"));
        QCOMPARE(f.state.HerbicideCount, qint16(3));
        QCOMPARE(f.rowsEnabled(), QVector<bool>({true, true, true, false}));
    }

    // A herbicide chosen is offered in no later row.
    void eachChoiceNarrowsTheNextList() {
        Form f;
        f.choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("3"));
        QCOMPARE(f.items(f.herb(0)), QStringList({"atrazine", "dicamba", "nicosulfuron"}));
        QVERIFY(f.herb(1)->count() == 0);
        f.choose(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atrazine"));
        QCOMPARE(f.items(f.herb(1)), QStringList({"dicamba", "nicosulfuron"}));
        f.choose(QStringLiteral("cbbHerbApp(1)"), QStringLiteral("dicamba"));
        QCOMPARE(f.items(f.herb(2)), QStringList({"nicosulfuron"}));
        f.choose(QStringLiteral("cbbHerbApp(2)"), QStringLiteral("nicosulfuron"));
        QCOMPARE(f.state.SelectedHerbicideId, (std::array<qint16, 4>{10, 11, 12, 0}));
    }

    // A new first herbicide empties the rates and every later row; only row 1 is refilled.
    void aNewFirstHerbicideEmptiesTheRatesAndTheLaterRows() {
        Form f;
        f.chooseThreeHerbicides();
        for (int i = 0; i < 3; ++i)
            f.rate(i)->setText(QStringLiteral("0,5"));
        f.herb(0)->setCurrentIndex(f.herb(0)->findText(QStringLiteral("dicamba")));
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.rate(i)->text().isEmpty());
        QVERIFY(f.herb(1)->currentText().isEmpty() && f.herb(2)->currentText().isEmpty());
        QCOMPARE(f.items(f.herb(1)), QStringList({"atrazine", "nicosulfuron"}));
        QCOMPARE(f.herb(2)->count(), 0);
        // The rate kept for the report is the last one typed, even once the box is emptied.
        QCOMPARE(f.state.EnteredRate[0], QStringLiteral("0,5"));
    }

    void emptyingAHerbicideClearsTheRowsAfterIt() {
        Form f;
        f.chooseThreeHerbicides();
        QCOMPARE(f.herb(2)->count(), 1);
        f.herb(1)->setEditText(QString());
        QCOMPARE(f.herb(2)->count(), 0);
    }

    void emptyingThePeriodPutsTheSectionBackToItsEmptyState() {
        Form f;
        f.chooseThreeHerbicides();
        f.get(QStringLiteral("cbbApp"))->setEditText(QString());
        QVERIFY(!f.section()->isEnabled() && !f.get(QStringLiteral("cbbNombHerb"))->isEnabled());
        QCOMPARE(f.rowsEnabled(), QVector<bool>({false, false, false, false}));
        QCOMPARE(f.herb(0)->count(), 0);
    }

    // A herbicide box clicked while an earlier one is empty: out of order, and the focus goes to
    // the first empty box. A formulation before its herbicide is refused too.
    void enteringBoxesOutOfOrderSaysSo() {
        Form f;
        f.choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("3"));
        UserInput::clickInto(f.herb(1));
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(f.dialogs.messages[0].text,
                 QStringLiteral("Vous devez entrer les herbicides dans l'ordre."));
        QCOMPARE(f.dialogs.messages[0].title, QStringLiteral("Attention"));
        QTRY_COMPARE(UserInput::focusedName(), QStringLiteral("cbbHerbApp(0)"));
        UserInput::clickInto(f.get(QStringLiteral("cbbFormApp(1)")));
        QCOMPARE(f.dialogs.messages.last().text,
                 QStringLiteral("Vous devez d'abord entrer un herbicide."));
    }

    // An empty list with every box before it entered says why, naming the period: no trial of
    // that many herbicides, a herbicide typed that is not in its list; never "out of order".
    void anEmptyListSaysWhy() {
        Form f;
        f.choose(QStringLiteral("cbbApp"), QStringLiteral("Postlevée"));
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("2")); // none at that period
        QCOMPARE(f.herb(0)->count(), 0);
        UserInput::clickInto(f.herb(0));
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(f.dialogs.messages[0].text,
                 QStringLiteral("Aucun essai de la base n'associe 2 herbicides en Postlevée."));
        QCOMPARE(f.dialogs.messages[0].title, QStringLiteral("Attention"));
        QVERIFY(f.herb(0)->hasFocus()); // the box stays where the user put it

        Form g;
        g.choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
        g.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("3"));
        QVERIFY(QTest::qWaitForWindowActive(&g.form));
        UserInput::pasteInto(g.herb(0),
                             QStringLiteral("xyz")); // the type-ahead lets no such text in
        QCOMPARE(g.herb(0)->currentText(), QStringLiteral("xyz"));
        UserInput::clickInto(g.herb(1));
        QCOMPARE(g.dialogs.messages.size(), 1);
        const QString text = g.dialogs.messages[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("L'herbicide 1 (xyz) n'est pas dans sa liste")),
                 qPrintable(text));
    }

    // The database changed under the form: the lists are read again and every entry is kept,
    // each herbicide's choice filling the next list; a name gone from its list is cleared and
    // named, and what it opened with it.
    void readingTheListsAgainKeepsTheEntries() {
        Form f;
        f.chooseThreeHerbicides();
        f.choose(QStringLiteral("cbbCult"), QStringLiteral("Maïs grain"));
        f.choose(QStringLiteral("cbbCultVar"), QStringLiteral("Hybride B"));
        for (int i = 0; i < 3; ++i)
            f.rate(i)->setText(QStringLiteral("0,%1").arg(i + 5));
        f.form.Fill_Site();
        f.choose(QStringLiteral("cbbSiteProv"), QStringLiteral("Ontario"));
        f.type(QStringLiteral("cbbSitepHDe"), QStringLiteral("6,5"));
        f.type(QStringLiteral("cbbSiteClaTex"), QStringLiteral("argile lourde")); // not in its list

        QCOMPARE(f.form.ReloadLists(), QStringList());
        QCOMPARE(f.get(QStringLiteral("cbbApp"))->currentText(), QStringLiteral("Prélevée"));
        QCOMPARE(f.get(QStringLiteral("cbbNombHerb"))->currentText(), QStringLiteral("3"));
        QCOMPARE(f.rowsEnabled(), QVector<bool>({true, true, true, false}));
        const QStringList herbicides{"atrazine", "dicamba", "nicosulfuron"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f.herb(i)->currentText(), herbicides[i]);
            QCOMPARE(f.rate(i)->text(), QStringLiteral("0,%1").arg(i + 5));
        }
        QCOMPARE(f.items(f.herb(2)), QStringList({"nicosulfuron"}));
        QCOMPARE(f.state.SelectedHerbicideId, (std::array<qint16, 4>{10, 11, 12, 0}));
        QCOMPARE(f.get(QStringLiteral("cbbCult"))->currentText(), QStringLiteral("Maïs grain"));
        QCOMPARE(f.get(QStringLiteral("cbbCultVar"))->currentText(), QStringLiteral("Hybride B"));
        QCOMPARE(f.get(QStringLiteral("cbbSiteProv"))->currentText(), QStringLiteral("Ontario"));
        QCOMPARE(f.get(QStringLiteral("cbbSitepHDe"))->currentText(), QStringLiteral("6,5"));
        QCOMPARE(f.get(QStringLiteral("cbbSiteClaTex"))->currentText(),
                 QStringLiteral("argile lourde"));
        QVERIFY(f.dialogs.messages.isEmpty());

        // Dicamba renamed: box 2 is cleared, and box 3, whose list it opened, with it.
        f.de.Connection2().executeScript(QStringLiteral(
            R"(UPDATE "ListeDesHerbicides" SET "Herbicide" = 'dicamba-sodium' WHERE "HerbicideId" = 11;
               UPDATE "ListeDesVariétés" SET "Variété" = 'Hybride B2' WHERE "VariétéId" = 2;)"));
        QCOMPARE(f.form.ReloadLists(),
                 QStringList({"Herbicide 2\u00a0: dicamba", "Herbicide 3\u00a0: nicosulfuron",
                              "Variété\u00a0: Hybride B"}));
        QCOMPARE(f.herb(0)->currentText(), QStringLiteral("atrazine"));
        QVERIFY(f.herb(1)->currentText().isEmpty() && f.herb(2)->currentText().isEmpty());
        QCOMPARE(f.items(f.herb(1)), QStringList({"dicamba-sodium", "nicosulfuron"}));
        QCOMPARE(f.get(QStringLiteral("cbbCultVar"))->currentText(), QString());
        QCOMPARE(f.get(QStringLiteral("cbbSiteProv"))->currentText(), QStringLiteral("Ontario"));
    }

    void cropChoosesItsVarieties() {
        Form f;
        auto* crops = f.get(QStringLiteral("cbbCult"));
        auto* varieties = f.get(QStringLiteral("cbbCultVar"));
        QCOMPARE(crops->currentText(), QStringLiteral("Maïs grain")); // the third item
        QCOMPARE(f.items(varieties), QStringList({"Hybride A", "Hybride B"}));
        QCOMPARE(f.items(crops).last(), QStringLiteral("Maïs (tous)"));
        QVERIFY(!f.items(crops).contains(QStringLiteral("Maïs")));
        f.choose(QStringLiteral("cbbCult"), QStringLiteral("Maïs (tous)"));
        QVERIFY(!varieties->isEnabled() && varieties->count() == 0);
        f.choose(QStringLiteral("cbbCult"), QStringLiteral("Maïs fourrager"));
        QVERIFY(varieties->isEnabled() && varieties->count() == 0);
        // The variety box without a crop sends the user back to the crop.
        crops->setEditText(QString());
        QCOMPARE(varieties->count(), 0);
        varieties->setFocus(Qt::MouseFocusReason);
        QCOMPARE(f.dialogs.messages.last().text,
                 QStringLiteral("Vous devez d'abord choisir une culture."));
        QCOMPARE(f.mandatoryPageShown, 1);
        QVERIFY(crops->hasFocus());
    }

    void optionPairsClearWhatTheOtherChoiceHeld() {
        Form f;
        f.form.Fill_Culture();
        auto edit = [&](const char* name) { return f.form.findChild<QLineEdit*>(name); };
        auto option = [&](const char* name) { return f.form.findChild<QRadioButton*>(name); };
        QVERIFY(option("optFeuil")->isChecked() && option("optKg")->isChecked());
        QVERIFY(!edit("txtCultHautDe")->isEnabled() && edit("txtCultFeuilDe")->isEnabled());
        edit("txtCultFeuilDe")->setText(QStringLiteral("3"));
        option("optHaut")->setChecked(true);
        QVERIFY(edit("txtCultFeuilDe")->text().isEmpty() && !edit("txtCultFeuilDe")->isEnabled());
        QVERIFY(edit("txtCultHautDe")->isEnabled());
        edit("txtCultHautDe")->setText(QStringLiteral("10"));
        option("optFeuil")->setChecked(true);
        QVERIFY(edit("txtCultHautDe")->text().isEmpty());
        edit("txtCultSemisDe")->setText(QStringLiteral("15"));
        edit("txtCultSemisA")->setText(QStringLiteral("20"));
        option("optSe")->setChecked(true);
        QVERIFY(edit("txtCultSemisDe")->text().isEmpty() &&
                edit("txtCultSemisA")->text().isEmpty());
    }

    void ratePickerNeedsEveryHerbicide() {
        Form f;
        auto* cmdTaux = f.form.findChild<QPushButton*>(QStringLiteral("cmdTaux"));
        f.choose(QStringLiteral("cbbApp"), QStringLiteral("Prélevée"));
        QTest::mouseClick(cmdTaux, Qt::LeftButton); // no count: nothing
        QVERIFY(f.dialogs.messages.isEmpty());
        f.choose(QStringLiteral("cbbNombHerb"), QStringLiteral("2"));
        f.choose(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atrazine"));
        QTest::mouseClick(cmdTaux, Qt::LeftButton);
        QCOMPARE(f.dialogs.messages.last().text,
                 QStringLiteral("Vous devez d'abord entrer tous vos herbicides."));
        QCOMPARE(f.ratePickerOpened, 0);
        f.choose(QStringLiteral("cbbHerbApp(1)"), QStringLiteral("dicamba"));
        QTest::mouseClick(cmdTaux, Qt::LeftButton);
        QCOMPARE(f.ratePickerOpened, 1);
        // A pasted count that is not 1 to 4 counts as no count.
        auto* count = f.get(QStringLiteral("cbbNombHerb"));
        count->setEditText(QStringLiteral("7"));
        QTest::mouseClick(cmdTaux, Qt::LeftButton);
        QCOMPARE(f.ratePickerOpened, 1);
    }
};

QTEST_MAIN(TestCascade)
#include "TestCascade.moc"
