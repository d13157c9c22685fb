// Whole journeys through the program on the shipped database, driven by key presses and clicks,
// each report checked against the reference evaluator.

#include "StartedProgram.h"
#include "app/frmMDI.h"
#include "db/Connection.h"
#include "db/DE.h"
#include "db/DatabaseFile.h"
#include "params/frmParam.h"
#include "report/ReferenceEvaluator.h"
#include "results/frmResults.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace grelavo;

class TestJourneys : public QObject {
    Q_OBJECT

private:
    // A copy of the shipped database, the evaluator read from it, then the program on it.
    struct Session {
        QTemporaryDir folder;
        std::unique_ptr<ReferenceEvaluator> evaluator;
        std::unique_ptr<StartedProgram> program;

        Session() {
            const QString path = folder.filePath(DatabaseFile::fileName());
            QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE), path));
            QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            {
                Connection db(path, DatabaseFile::password());
                evaluator = std::make_unique<ReferenceEvaluator>(db);
            }
            program = std::make_unique<StartedProgram>(folder.path());
        }
        template <typename T = QComboBox> T* get(const QString& name) const {
            return program->get<T>(name);
        }
        void typeInto(const QString& name, const QString& keys) const {
            program->typeInto(name, keys);
        }
        void report() const { program->click(QStringLiteral("cmdRapport")); }
        frmMDI* window() const { return program->window.get(); }
        // The engine's table must be the evaluator's for what the form holds.
        void checkAgainstEvaluator() const {
            const std::optional<ReferenceReport> expected =
                evaluator->evaluate(window()->param()->readParameters());
            QVERIFY(expected);
            QCOMPARE(window()->state().TotalCases, expected->TotalCases);
            const QVector<ResultsRow> actual =
                ReferenceEvaluator::readResults(window()->de().Connection2());
            QCOMPARE(actual.size(), expected->rows.size());
            for (int i = 0; i < actual.size(); ++i)
                QVERIFY2(actual[i] == expected->rows[i], qPrintable(QString::number(i + 1)));
            QVERIFY(expected->TotalCases > 0);
        }
    };

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }

    void oneHerbicideWithOptionalParameters() {
        Session s;
        s.typeInto(QStringLiteral("cbbApp"), QStringLiteral("pré"));
        QCOMPARE(s.get(QStringLiteral("cbbApp"))->currentText(), QStringLiteral("Prélevée"));
        s.typeInto(QStringLiteral("cbbNombHerb"), QStringLiteral("1"));
        s.typeInto(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atr"));
        QCOMPARE(s.get(QStringLiteral("cbbHerbApp(0)"))->currentText(), QStringLiteral("atrazine"));
        s.typeInto(QStringLiteral("txtTaux(0)"), QStringLiteral("1"));
        s.typeInto(QStringLiteral("cbbCult"), QStringLiteral("maïs ("));
        QCOMPARE(s.get(QStringLiteral("cbbCult"))->currentText(), QStringLiteral("Maïs (tous)"));
        QTest::mouseClick(s.get<QPushButton>(QStringLiteral("cmdOptionnel")), Qt::LeftButton);
        s.window()->ListBar_ButtonClick(4); // the site page
        s.typeInto(QStringLiteral("cbbSiteProv"), QStringLiteral("qu"));
        QCOMPARE(s.get(QStringLiteral("cbbSiteProv"))->currentText(), QStringLiteral("Québec"));
        s.report();
        QVERIFY(s.program->dialogs.messages.isEmpty());
        QVERIFY(s.window()->state().ResultsShown);
        QVERIFY(s.window()->results()->hasPicture());
        QVERIFY(
            s.window()->state().ParamSummaryLines.contains(QStringLiteral("Province = Québec")));
        s.checkAgainstEvaluator();
    }

    void threeHerbicidesTypedWithDecimalCommas() {
        Session s;
        s.typeInto(QStringLiteral("cbbApp"), QStringLiteral("pré"));
        s.typeInto(QStringLiteral("cbbNombHerb"), QStringLiteral("3"));
        s.typeInto(QStringLiteral("cbbHerbApp(0)"), QStringLiteral("atr"));
        s.typeInto(QStringLiteral("cbbHerbApp(1)"), QStringLiteral("s-m"));
        s.typeInto(QStringLiteral("cbbHerbApp(2)"), QStringLiteral("més"));
        QCOMPARE(s.get(QStringLiteral("cbbHerbApp(2)"))->currentText(),
                 QStringLiteral("mésotrione"));
        s.typeInto(QStringLiteral("txtTaux(0)"), QStringLiteral("1"));
        s.typeInto(QStringLiteral("txtTaux(1)"), QStringLiteral("1,6"));
        s.typeInto(QStringLiteral("txtTaux(2)"), QStringLiteral("0,1"));
        s.typeInto(QStringLiteral("cbbCult"), QStringLiteral("maïs s"));
        QCOMPARE(s.get(QStringLiteral("cbbCult"))->currentText(), QStringLiteral("Maïs sucré"));
        s.report();
        QVERIFY(s.program->dialogs.messages.isEmpty());
        QVERIFY(s.window()->state().ResultsShown);
        QCOMPARE(s.window()->state().ParamSummaryLines.at(2),
                 QStringLiteral("Herbicide 2 = S-métolachlore, Taux = 1,6 kg/ha"));
        s.checkAgainstEvaluator();
    }
};

QTEST_MAIN(TestJourneys)
#include "TestJourneys.moc"
