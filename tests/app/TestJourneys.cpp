// Whole journeys through the program on the shipped database, driven by key presses and clicks,
// each report checked against the reference evaluator.

#include "StartedProgram.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "gui/params/frmParam.h"
#include "gui/results/frmResults.h"
#include "verify/ReferenceEvaluator.h"

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
        frmMDI* window() const { return program->window.get(); }
        // Key presses into each box in turn; a combo box given an item then shows that item.
        void type(std::initializer_list<std::array<const char*, 3>> entries) const {
            for (const auto& [name, keys, item] : entries) {
                program->typeInto(QString::fromUtf8(name), QString::fromUtf8(keys));
                if (*item)
                    QCOMPARE(program->get(QString::fromUtf8(name))->currentText(),
                             QString::fromUtf8(item));
            }
        }
        // A click on the report button shows a report without a word; the engine's table must
        // be the evaluator's for what the form holds.
        void reportAgreesWithTheEvaluator() const {
            program->click(QStringLiteral("cmdRapport"));
            QVERIFY(program->dialogs.messages.isEmpty());
            QVERIFY(window()->state().ResultsShown && window()->results()->hasPicture());
            const std::optional<ReferenceReport> expected =
                evaluator->evaluate(window()->param()->readParameters());
            QVERIFY(expected && expected->TotalCases > 0);
            QCOMPARE(window()->results()->report().totalCases, expected->TotalCases);
            const QVector<ResultsRow> actual = ResultsTable::read(window()->de().Connection2());
            QCOMPARE(actual.size(), expected->rows.size());
            for (int i = 0; i < actual.size(); ++i)
                QVERIFY2(actual[i] == expected->rows[i], qPrintable(QString::number(i + 1)));
        }
    };

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }

    void oneHerbicideWithOptionalParameters() {
        Session s;
        s.type({{"cbbApp", "pré", "Prélevée"},
                {"cbbNombHerb", "1", ""},
                {"cbbHerbApp(0)", "atr", "atrazine"},
                {"txtTaux(0)", "1", ""},
                {"cbbCult", "maïs (", "Maïs (tous)"}});
        QTest::mouseClick(s.program->get<QPushButton>(QStringLiteral("cmdOptionnel")),
                          Qt::LeftButton);
        s.window()->ListBar_ButtonClick(4); // the site page
        s.type({{"cbbSiteProv", "qu", "Québec"}});
        s.reportAgreesWithTheEvaluator();
        QVERIFY(s.window()->results()->report().summaryLines.contains(
            QStringLiteral("Province = Québec")));
    }

    void threeHerbicidesTypedWithDecimalCommas() {
        Session s;
        s.type({{"cbbApp", "pré", "Prélevée"},
                {"cbbNombHerb", "3", ""},
                {"cbbHerbApp(0)", "atr", "atrazine"},
                {"cbbHerbApp(1)", "s-m", "S-métolachlore"},
                {"cbbHerbApp(2)", "més", "mésotrione"},
                {"txtTaux(0)", "1", ""},
                {"txtTaux(1)", "1,6", ""},
                {"txtTaux(2)", "0,1", ""},
                {"cbbCult", "maïs s", "Maïs sucré"}});
        s.reportAgreesWithTheEvaluator();
        QCOMPARE(s.window()->results()->report().summaryLines.at(2),
                 QStringLiteral("Herbicide 2 = S-métolachlore, Taux = 1,6 kg/ha"));
    }
};

QTEST_MAIN(TestJourneys)
#include "TestJourneys.moc"
