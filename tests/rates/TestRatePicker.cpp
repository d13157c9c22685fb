#include "StartedProgram.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DatabaseFile.h"
#include "core/report/ReportEngine.h"
#include "gui/params/frmParam.h"
#include "gui/rates/frmChoixTaux.h"
#include "gui/shared/AppState.h"
#include "render/ReportList.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>

using namespace grelavo;

class TestRatePicker : public QObject {
    Q_OBJECT

private:
    // The parameter form and the picker opened over it for a mixture at a period.
    struct Picker {
        DE de;
        AppState state;
        RecordingDialogs dialogs;
        frmParam form{state, de, dialogs};
        std::unique_ptr<frmChoixTaux> window;

        explicit Picker(const QString& folder) : de(folder) {}

        // The herbicides by their ids: the fixture's 10 to 12, the shipped database's 1 and 3.
        void open(int period, const QVector<int>& herbicides) {
            static const QMap<int, QString> names{{1, "atrazine"},
                                                  {3, "S-métolachlore"},
                                                  {10, "atrazine"},
                                                  {11, "dicamba"},
                                                  {12, "nicosulfuron"}};
            frmChoixTaux::Mixture mixture;
            mixture.applicationType = qint16(period);
            mixture.count = qint16(herbicides.size());
            for (int k = 0; k < herbicides.size(); ++k) {
                mixture.ids[k] = qint16(herbicides[k]);
                mixture.names[k] = names.value(herbicides[k]);
            }
            window = std::make_unique<frmChoixTaux>(de, dialogs, mixture, form.rates(),
                                                    state.RateInterval);
            window->show();
            QApplication::setActiveWindow(window.get());
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
        }
        QTableWidget* grid() const {
            return window->findChild<QTableWidget*>(QStringLiteral("mfgHerbicides"));
        }
        QLineEdit* pickerRate(int i) const {
            return window->findChild<QLineEdit*>(QStringLiteral("txtTaux%1").arg(i + 1));
        }
        QLineEdit* formRate(int i) const {
            return form.findChild<QLineEdit*>(QStringLiteral("txtTaux(%1)").arg(i));
        }
        // The grid's headings, then its rows, each with its cells joined by '|'.
        QStringList table() const {
            QStringList out(grid()->rowCount() + 1);
            for (int c = 0; c < grid()->columnCount(); ++c) {
                const QString sep = c ? QStringLiteral("|") : QString();
                out[0] += sep + grid()->horizontalHeaderItem(c)->text().trimmed();
                for (int r = 0; r < grid()->rowCount(); ++r)
                    out[r + 1] += sep + (grid()->item(r, c) ? grid()->item(r, c)->text() : "");
            }
            return out;
        }
        void click(int row, int column) const {
            QTableWidgetItem* cell = grid()->item(row, column);
            QVERIFY(cell);
            QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                              grid()->visualItemRect(cell).center());
        }
        QString helpAfterMoveOver(const char* name) const {
            auto* area = window->findChild<QWidget*>(QLatin1String(name));
            if (!area)
                area = window.get();
            if (area == grid())
                area = grid()->viewport();
            const QPoint at(2, area->height() - 2);
            QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(area, &move);
            return window->findChild<QLabel*>(QStringLiteral("lblLabel"))->text();
        }
    };

    // Beside the fixture's one pair and one triple at Prélevée: the pair again at the same rates
    // and at two other rate pairs, the triple again at its own rates; atrazine alone at 1234,5678
    // at Postlevée.
    static void addApplications(const FixtureDatabase& fixture) {
        Connection(fixture.path(), DatabaseFile::password()).executeScript(QStringLiteral(R"(
            INSERT INTO tblPériodesApplication VALUES
                (9, 1, 1), (10, 2, 1), (11, 3, 1), (12, 4, 1), (13, 5, 2);
            INSERT INTO tblDétailsHerbicides VALUES (9, 10, 1, 0.5), (9, 11, 1, 0.3),
                (10, 10, 1, 1.0), (10, 11, 1, 0.15), (11, 10, 1, 0.5), (11, 11, 1, 0.15),
                (12, 10, 1, 0.5), (12, 11, 1, 0.3), (12, 12, 1, 0.02), (13, 10, 1, 1234.5678);)"));
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    // Each column is its own herbicide's rate, sorted by the first herbicide's; no such mixture
    // at the period gives the header row alone, without names.
    void gridListsEachCombinationOnceInRateOrder() {
        FixtureDatabase fixture;
        addApplications(fixture);
        const std::tuple<int, QVector<int>, QStringList> cases[] = {
            {1, {10, 11}, {"atrazine|dicamba", "0,5|0,15", "0,5|0,3", "1|0,15"}},
            {1, {11, 10}, {"dicamba|atrazine", "0,15|0,5", "0,15|1", "0,3|0,5"}},
            {1, {10, 11, 12}, {"atrazine|dicamba|nicosulfuron", "0,5|0,3|0,02"}},
            {2, {10, 11, 12}, {"||"}}};
        for (const auto& [period, herbicides, expected] : cases) {
            Picker p(fixture.folder());
            p.open(period, herbicides);
            QCOMPARE(p.table(), expected);
            QVERIFY(p.grid()->horizontalHeader()->isVisible());
        }
    }

    // The clicked cell is light yellow until another is clicked.
    void clickedAndTypedRatesGoBackInTheUsersFormat() {
        FixtureDatabase fixture;
        addApplications(fixture);
        Picker p(fixture.folder());
        p.formRate(0)->setText(QStringLiteral("2"));
        p.formRate(3)->setText(QStringLiteral("7,5"));
        p.open(1, {10, 11});
        QCOMPARE(p.pickerRate(0)->text(), "2");
        const QColor yellow(0xFF, 0xFF, 0xC0);
        p.click(0, 0);
        QCOMPARE(p.pickerRate(0)->text(), "0,5");
        QCOMPARE(p.pickerRate(1)->text(), "");
        QCOMPARE(p.grid()->item(0, 0)->background().color(), yellow);
        p.click(0, 1);
        QCOMPARE(p.pickerRate(1)->text(), "0,15");
        QCOMPARE(p.grid()->item(0, 0)->background().color(),
                 p.grid()->palette().color(QPalette::Base));
        QCOMPARE(p.grid()->item(0, 1)->background().color(), yellow);
        UserInput::typeInto(p.pickerRate(2), QStringLiteral("0.25"));
        QVERIFY(p.window->close());
        QVERIFY(!p.window->isVisible());
        // Beyond the mixture, a rate goes back as it came.
        QCOMPARE(p.window->rates(), (frmChoixTaux::Rates{"0,5", "0,15", "0,25", "7,5"}));
    }

    // English rates, whole (no thousands separator, no rounding), go back with a point: the
    // report reads them in the user's format.
    void englishRatesGoBackWholeWithAPoint() {
        FixtureDatabase fixture;
        addApplications(fixture);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::Canada));
        Picker english(fixture.folder());
        english.open(2, {10});
        QCOMPARE(english.table(), QStringList({"atrazine", "1", "1234.5678"}));
        english.click(1, 0);
        QTest::mouseClick(english.window->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QCOMPARE(english.window->rates()[0], "1234.5678");
    }

    // The main window's parameter form opens the picker on the mixture chosen in it.
    void parameterFormOpensThePickerOnItsMixture() {
        StartedProgram s;
        for (const auto& [name, text] : {std::pair{"cbbApp", "Prélevée"},
                                         {"cbbNombHerb", "2"},
                                         {"cbbHerbApp(0)", "atrazine"},
                                         {"cbbHerbApp(1)", "dicamba"}})
            s.get(name)->setCurrentIndex(s.get(name)->findText(QString::fromUtf8(text)));
        frmMDI& window = *s.window;
        frmParam* form = window.param();
        whenModalShows([](QWidget* modal) {
            auto* grid = modal->findChild<QTableWidget*>(QStringLiteral("mfgHerbicides"));
            for (int c = 0; c < 2; ++c)
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualItemRect(grid->item(0, c)).center());
            modal->findChild<QComboBox*>(QStringLiteral("cbbIntervalle"))->setCurrentIndex(1);
            modal->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        });
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("cmdTaux")), Qt::LeftButton);
        QCOMPARE(form->findChild<QLineEdit*>(QStringLiteral("txtTaux(0)"))->text(), "0,5");
        QCOMPARE(form->findChild<QLineEdit*>(QStringLiteral("txtTaux(1)"))->text(), "0,3");
        // The tolerance chosen there is the next report's: its headings, and windows of ± 2
        // points around each dose fraction (atrazine at 0,5: 50 % is 0,24 to 0,26).
        const ParameterSet parameters = form->readParameters();
        QCOMPARE(parameters.RateInterval, qint16(2));
        QCOMPARE(ReportList::resultsColumns(window.state().RateInterval).last().text,
                 QStringLiteral("100 ± 2"));
        const auto statements = ReportEngine(window.de()).statementsFor(parameters, 0);
        QVERIFY(statements);
        QVERIFY2(
            statements->herbicide[0].contains("Between 0.239999994635582 and 0.259999990463257)"),
            qPrintable(statements->herbicide[0]));
    }

    void onlyChoosingAnItemChangesTheTolerance() {
        FixtureDatabase fixture;
        Picker p(fixture.folder());
        p.state.RateInterval = 3;
        p.open(1, {10});
        auto* box = p.window->findChild<QComboBox*>(QStringLiteral("cbbIntervalle"));
        QCOMPARE(box->count(), 5);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(box->itemText(i), QString::number(i + 1));
        QCOMPARE(box->currentText(), "3");

        // A key leading outside the list is refused; text pasted that is no item chooses
        // nothing, and the window does not close while the box shows it.
        UserInput::typeInto(box, QStringLiteral("8"));
        QCOMPARE(box->currentText(), "3");
        UserInput::pasteInto(box, QStringLiteral("9"));
        QCOMPARE(box->currentText(), "9");
        QCOMPARE(p.window->rateInterval(), qint16(3));
        UserInput::clickInto(p.window->findChild<QPushButton*>(QStringLiteral("Command1")));
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.dialogs.messages.size(), 1);
        QCOMPARE(p.dialogs.messages.last().text,
                 QStringLiteral(
                     "La tolérance «\u00a09\u00a0» n'est pas dans la liste (1 à 5).\rLe rapport "
                     "utilise ± 3."));
        QCOMPARE(box->currentText(), "3");

        // Type-ahead that lands on an item chooses it.
        UserInput::typeInto(box, QStringLiteral("4"));
        QCOMPARE(box->currentText(), "4");
        QCOMPARE(p.window->rateInterval(), qint16(4));

        box->showPopup();
        QAbstractItemView* list = box->view();
        QTRY_VERIFY(list->isVisible());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(box->currentText(), "2");
        QCOMPARE(p.window->rateInterval(), qint16(2));
    }

    void helpLineNamesTheAreaUnderThePointer() {
        FixtureDatabase fixture;
        Picker p(fixture.folder());
        p.open(1, {10});
        const QString interval =
            QStringLiteral("Les taux d'applications entrés seront évalués ± cette valeur");
        QCOMPARE(p.helpAfterMoveOver("fraIntervalle"), interval);
        // A move over a label inside the frame is the frame's.
        QCOMPARE(p.helpAfterMoveOver("lblPourcentage"), interval);
        QCOMPARE(p.helpAfterMoveOver("fraTaux"),
                 QStringLiteral("Entrez au clavier le taux que vous désirez"));
        QCOMPARE(p.helpAfterMoveOver("mfgHerbicides"),
                 QStringLiteral("'Cliquez' sur la case correspondant au taux que vous désirez"));
        QCOMPARE(p.helpAfterMoveOver("frmChoixTaux"), QString());
    }

#ifdef GRELAVO_SHIPPED_DATABASE
    // On the shipped database the grid holds what a plain distinct query finds, in rate order.
    void shippedDatabaseListsTheDistinctRatesInOrder() {
        QTemporaryDir folder;
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE),
                            folder.filePath(QStringLiteral("Grelavo.mdb"))));
        Picker p(folder.path());
        p.open(2, {1, 3});
        Recordset expected;
        expected.open(p.de.Connection2(), QStringLiteral(R"(
            SELECT DISTINCT a.HerbTauxH AS r1, b.HerbTauxH AS r2
            FROM tblPériodesApplication p
            JOIN tblDétailsHerbicides a ON a.DateHerbId = p.DateHerbId AND a.HerbicideId = 1
            JOIN tblDétailsHerbicides b ON b.DateHerbId = p.DateHerbId AND b.HerbicideId = 3
            WHERE p.TypeApplicationId = 2
              AND (SELECT count(*) FROM tblDétailsHerbicides t
                   WHERE t.DateHerbId = p.DateHerbId) = 2
            ORDER BY r1, r2)"));
        QVERIFY(expected.recordCount() > 1);
        QStringList rows{QStringLiteral("atrazine|S-métolachlore")};
        for (expected.moveFirst(); !expected.eof(); expected.moveNext())
            rows << QLocale().toString(expected.field("r1").toDouble()) + '|' +
                        QLocale().toString(expected.field("r2").toDouble());
        QCOMPARE(p.table(), rows);
    }
#endif
};

QTEST_MAIN(TestRatePicker)
#include "TestRatePicker.moc"
