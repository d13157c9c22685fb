#include "core/report/InputCheck.h"

#include <QTest>

using namespace grelavo;

// The checks on their own, without a window: the entries are written "name=text", a list box's
// text that is no item as "name=!text", a disabled row's box as "name-".
class TestInputCheck : public QObject {
    Q_OBJECT

    static InputCheck::Entries entries(const QString& written) {
        // One herbicide at one rate on all corn, the other rows disabled: a complete entry.
        InputCheck::Entries e;
        const QStringList base = {"cbbApp=Prélevée", "cbbNombHerb=1", "cbbHerbApp(0)=atrazine",
                                  "txtTaux(0)=1", "cbbCult=Maïs (tous)"};
        for (const QString& item : base + written.split(';', Qt::SkipEmptyParts)) {
            const int eq = item.indexOf('=');
            if (eq < 0) {
                e[item.chopped(1)].enabled = false;
                continue;
            }
            QString text = item.mid(eq + 1);
            const bool inList = !text.startsWith('!');
            e[item.left(eq)] = {inList ? text : text.mid(1), true, inList};
        }
        for (int i = 1; i < 4; ++i)
            for (const char* name : {"cbbHerbApp", "txtTaux"}) {
                const QString control = QStringLiteral("%1(%2)").arg(name).arg(i);
                if (!e.contains(control))
                    e[control].enabled = false;
            }
        return e;
    }

private slots:
    void firstProblemInTheUsersOrder_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("control"); // empty: no problem
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("message");
        const QString missingHerbicide = "Vous devez d'abord entrer un herbicide.";
        const QString notNumeric = "La valeur entrée n'est pas numérique.";
        QTest::newRow("complete") << ""
                                  << "fr_CA"
                                  << "" << 0 << "";
        QTest::newRow("no period") << "cbbApp="
                                   << "fr_CA"
                                   << "cbbApp" << 0
                                   << "Pour lancer la requête, certaines informations sont "
                                      "nécessaires\rVeuillez entrer la période d'application.";
        QTest::newRow("empty rows: the last first") << "cbbHerbApp(2)=;cbbHerbApp(3)="
                                                    << "fr_CA"
                                                    << "cbbHerbApp(3)" << 0 << missingHerbicide;
        QTest::newRow("a disabled row is not missing") << "cbbHerbApp(3)-"
                                                       << "fr_CA"
                                                       << "" << 0 << "";
        QTest::newRow("rate before crop")
            << "txtTaux(0)=;cbbCult="
            << "fr_CA"
            << "txtTaux(0)" << 0 << "Vous devez d'abord entrer un taux d'application.";
        QTest::newRow("pasted province") << "cbbSiteProv=!Manitoba"
                                         << "fr_CA"
                                         << "cbbSiteProv" << 3
                                         << "La valeur «\u00a0Manitoba\u00a0» n'est pas dans la "
                                            "liste «\u00a0Province\u00a0».\rChoisissez un "
                                            "élément de la liste.";
        QTest::newRow("a weed that is no item before a rate that is no number")
            << "cbbMauvHerb(2)=!zz;txtTaux(0)=abc"
            << "fr_CA"
            << "cbbMauvHerb(2)" << 4
            << "La valeur «\u00a0zz\u00a0» n'est pas dans la liste «\u00a0Mauvaise herbe "
               "3\u00a0».\rChoisissez un "
               "élément de la liste.";
        QTest::newRow("rate with a point in French") << "txtTaux(0)=1.5"
                                                     << "fr_CA"
                                                     << "" << 0 << "";
        QTest::newRow("rate with letters") << "txtTaux(0)=1,5 kg"
                                           << "fr_CA"
                                           << "txtTaux(0)" << 0 << notNumeric;
        const QString unusable = "Le taux doit être plus grand que 0 et d'au plus 100 kg de "
                                 "matière active par hectare.";
        QTest::newRow("rate of zero") << "txtTaux(0)=0"
                                      << "fr_CA"
                                      << "txtTaux(0)" << 0 << unusable;
        QTest::newRow("negative rate, second row") << "txtTaux(1)=-0,5"
                                                   << "fr_CA"
                                                   << "txtTaux(1)" << 0 << unusable;
        QTest::newRow("rate in grams") << "txtTaux(0)=600"
                                       << "fr_CA"
                                       << "txtTaux(0)" << 0 << unusable;
        QTest::newRow("highest usable rate") << "txtTaux(0)=100"
                                             << "fr_CA"
                                             << "" << 0 << "";
        QTest::newRow("pH bound with thousands in English") << "cbbSitepHDe=70,000;cbbSitepHA=80"
                                                            << "en_US"
                                                            << "cbbSitepHDe" << 3 << notNumeric;
        QTest::newRow("numbers before ranges") << "txtCultSemisA=5;cbbSitepHA=x"
                                               << "fr_CA"
                                               << "cbbSitepHA" << 3 << notNumeric;
        QTest::newRow("range without its first bound")
            << "txtCultSemisA=5"
            << "fr_CA"
            << "txtCultSemisDe" << 1 << "Il manque la première valeur associée à la seconde.";
        QTest::newRow("range without its second bound")
            << "txtCultFeuilDe=2"
            << "fr_CA"
            << "txtCultFeuilA" << 2 << "Il manque la seconde valeur associée à la première.";
        QTest::newRow("upside-down range, either separator")
            << "cbbSiteMatOrgDe=3,5;cbbSiteMatOrgA=2.5"
            << "fr_CA"
            << "cbbSiteMatOrgA" << 3 << "La seconde valeur est plus petite que la première.";
        QTest::newRow("equal bounds") << "cbbSitepHDe=6,5;cbbSitepHA=6.5"
                                      << "fr_CA"
                                      << "" << 0 << "";
    }

    void firstProblemInTheUsersOrder() {
        QFETCH(QString, written);
        QFETCH(QString, locale);
        QFETCH(QString, control);
        QFETCH(int, page);
        QFETCH(QString, message);
        const auto problem = InputCheck::firstProblem(entries(written), QLocale(locale));
        QCOMPARE(problem.has_value(), !control.isEmpty());
        if (!problem)
            return;
        QCOMPARE(problem->control, control);
        QCOMPARE(problem->page, page);
        QCOMPARE(problem->message, message);
        QCOMPARE(problem->missing,
                 message.startsWith("Vous devez") || message.startsWith("Pour lancer"));
    }

    void listBoxesAreNamedForTheUser() {
        QCOMPARE(InputCheck::fieldName("cbbHerbApp(1)"), QStringLiteral("Herbicide 2"));
        QCOMPARE(InputCheck::fieldName("cbbFormApp(3)"),
                 QStringLiteral("Formulation de l'herbicide 4"));
        QCOMPARE(InputCheck::fieldName("cbbCultEcart"), QStringLiteral("Écart entre les rangs"));
    }
};

QTEST_GUILESS_MAIN(TestInputCheck)
#include "TestInputCheck.moc"
