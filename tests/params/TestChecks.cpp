#include "FixtureReports.h"
#include "ParamForm.h"
#include "report/ReportEngine.h"

#include <QRadioButton>

using namespace grelavo;

class TestChecks : public QObject {
    Q_OBJECT

private:
    // A form on the fixture, its pages shown and hidden as the main window would.
    struct Form : ParamForm {
        Form() {
            form.setHideAllPages([this] {
                for (int i = 0; i < frmParam::Pages; ++i)
                    form.sstParam(i)->setVisible(false);
            });
            form.setShowMandatoryPage([this] { form.sstParam(0)->setVisible(true); });
            form.setShowOptionalPages([this] { form.sstParam(1)->setVisible(true); });
            form.Fill_cbbApp();
            form.Fill_Culture();
            form.Fill_Site();
            form.Fill_MauvHerb();
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
            form.GoTAllNeeded();
            if (!state.ParameterMissing)
                return dialogs.messages.isEmpty() ? QStringLiteral("passed")
                                                  : dialogs.messages.last().text;
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

    void numbersFollowTheUsersFormat() {
        Form f;
        const QString notANumber =
            QStringLiteral("La valeur entrée n'est pas numérique. | 0.0 | txtTaux(0)");
        f.mandatory(QStringLiteral("0.5"));
        QCOMPARE(f.checked(), notANumber);
        f.type(QStringLiteral("txtTaux(0)"), QStringLiteral("0,5"));
        QCOMPARE(f.checked(), QStringLiteral("passed"));
        QLocale::setDefault(QLocale(QLocale::English));
        QCOMPARE(f.checked(), notANumber); // "0,5" is no number in English
        f.type(QStringLiteral("txtTaux(0)"), QStringLiteral("0.5"));
        QCOMPARE(f.checked(), QStringLiteral("passed"));
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
