// The dose-response analysis window on a report of the shipped demonstration database: its table
// against the analysis, the picture of the chosen row, its files, and the way to it from the menu.

#include "FixtureReports.h"
#include "PopplerText.h"
#include "StartedProgram.h"
#include "core/db/DE.h"
#include "core/report/ReportEngine.h"
#include "gui/results/frmAnalyse.h"
#include "render/FittedCurvePlot.h"
#include "render/ReportPage.h"

#include <QAction>
#include <QClipboard>
#include <QTableWidget>
#include <QTreeWidget>

using namespace grelavo;
using CurvePlot = FittedCurvePlot;

namespace {

const QDate kAnalysisDay(2027, 2, 3);
// The window writes its numbers in French whatever the system's format (the tests run in C's).
const QLocale kFrench(QLocale::French, QLocale::Canada);

// Atrazine at 1 kg/ha before emergence (Prélevée) on all corn, on a copy of the shipped
// database (whose keys are not the fixture's), and its analysis.
ParameterSet shippedAtrazine() {
    ParameterSet p = atrazine(QStringLiteral("1"));
    p.cbbApp = {QStringLiteral("Prélevée"), 2};
    p.SelectedApplicationType = 2;
    p.cbbHerbApp[0] = {QStringLiteral("atrazine"), 1};
    p.SelectedHerbicideId[0] = 1;
    return p;
}

struct ShippedReport {
    QTemporaryDir folder;
    std::unique_ptr<DE> de;
    ParameterSet parameters = shippedAtrazine();
    DoseAnalysis analysis;
    ReportAbout shows;

    ShippedReport() {
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE),
                            folder.filePath(QStringLiteral("Grelavo.mdb"))));
        de = std::make_unique<DE>(folder.path());
        ReportEngine engine(*de, QLocale::c());
        engine.setGatherDetails(true);
        QVERIFY(engine.SetQuery(parameters));
        const QVector<ResultsRow> rows = ResultsTable::read(de->Connection2());
        analysis = DoseAnalysis::run(de->Connection2(), engine, parameters, engine.details(), rows,
                                     QLocale::c());
        shows = ReportAbout::of(parameters, ReportStamp::take(de->Connection2(), kAnalysisDay));
    }
};

// The texts of a line of the table, and of the list under the picture.
QStringList lineTexts(const QTableWidget* table, int row) {
    QStringList texts;
    for (int k = 0; k < table->columnCount(); ++k)
        texts << table->item(row, k)->text();
    return texts;
}
QStringList lineTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int k = 0; k < item->columnCount(); ++k)
        texts << item->text(k);
    return texts;
}

} // namespace

class TestDoseAnalysisWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ShippedReport> m_report;

    struct Window {
        RecordingDialogs dialogs;
        frmAnalyse window;
        QTableWidget* table;
        explicit Window(const ShippedReport& r)
            : window(dialogs, r.analysis, r.shows),
              table(window.findChild<QTableWidget*>(QStringLiteral("lvwAnalyse"))) {
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
        }
        void click(const char* button) {
            QTest::mouseClick(window.findChild<QPushButton*>(QLatin1String(button)),
                              Qt::LeftButton);
        }
        // A click on a line of the table, where the window system sends it.
        void clickLine(int row) {
            QWidget* viewport = table->viewport();
            const QPoint at =
                viewport->mapTo(&window, table->visualItemRect(table->item(row, 0)).center());
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        }
        QString shownTitle() const { return window.shown().title.text; }
    };

    int firstRow(const std::function<bool(const AnalysisRow&)>& test) const {
        const QVector<AnalysisRow>& rows = m_report->analysis.rows;
        return int(std::find_if(rows.cbegin(), rows.cend(), test) - rows.cbegin());
    }

private slots:
    void initTestCase() {
        m_report = std::make_unique<ShippedReport>();
        // What the checks below need the report to hold.
        const int rows = int(m_report->analysis.rows.size());
        QVERIFY(rows > 10);
        QVERIFY(firstRow([](const AnalysisRow& r) { return !r.curve.ok(); }) < rows);
        QVERIFY(firstRow([](const AnalysisRow& r) { return r.doses.value(1).dose.ok(); }) < rows);
    }

    // One line per row of the analysis, in its order, with the analysis' own figures: the doses
    // as it writes them (decimal commas) and in kg a.i./ha, or why there are none.
    void linesAreTheAnalysisRows() {
        Window w(*m_report);
        const QVector<AnalysisRow>& rows = m_report->analysis.rows;
        QCOMPARE(w.table->rowCount(), rows.size());
        int commas = 0;
        for (int i = 0; i < rows.size(); ++i) {
            const AnalysisRow& r = rows[i];
            const QStringList texts = lineTexts(w.table, i);
            QCOMPARE(texts[0].trimmed(), r.label);
            QCOMPARE(texts[0].startsWith(' '), !r.category);
            QCOMPARE(texts[1], QString::number(r.observations.size()));
            QCOMPARE(texts[2], QString::number(r.trials));
            QCOMPARE(texts[3], r.curve.ok() ? modelName(r.curve.model) : QStringLiteral("—"));
            for (int k = 0; k < 3; ++k) {
                if (!r.curve.ok()) {
                    QCOMPARE(texts[4 + k], "non estimable\u00a0: " + reasonWords(r.curve.reason));
                    continue;
                }
                const DoseForLevel& d = r.doses[k];
                QCOMPARE(d.level, DoseAnalysis::levels()[k]);
                const QStringList lines = texts[4 + k].split('\n');
                QCOMPARE(lines[0], DoseAnalysis::fractionText(d, kFrench));
                // At 1 kg/ha entered, the kilograms are the fraction.
                const QString kg = "atrazine " + lines[0].section(' ', 0, 0) + " kg i.a./ha";
                QCOMPARE(lines.mid(1), d.dose.ok() ? QStringList{kg} : QStringList());
                commas += d.dose.ok() && lines[0].contains(',');
            }
        }
        QVERIFY(commas > 0);
    }

    // The arrow keys and clicks choose the line whose picture and cells are shown; a line
    // without a curve shows its ratings and why.
    void keysAndClicksChooseTheRowPictured() {
        Window w(*m_report);
        const QVector<AnalysisRow>& rows = m_report->analysis.rows;
        QCOMPARE(QApplication::focusWidget(), w.table);
        QCOMPARE(w.shownTitle(), CurvePlot::rowName(rows[0]));
        QCOMPARE(w.shownTitle(), QStringLiteral("Graminées annuelles (catégorie)"));
        UserInput::key(Qt::Key_Down);
        QCOMPARE(w.shownTitle(), CurvePlot::rowName(rows[1]));
        auto* cells = w.window.findChild<QTreeWidget*>(QStringLiteral("lvwPreuves"));
        QCOMPARE(cells->topLevelItemCount(), rows[1].cells.size());
        for (int i = 0; i < rows[1].cells.size(); ++i) {
            const CellEvidence& c = rows[1].cells[i];
            const QStringList texts = lineTexts(cells->topLevelItem(i));
            QCOMPARE(texts.mid(1, 2),
                     (QStringList{QString::number(c.ratings), QString::number(c.trials)}));
            QVERIFY(texts[3].startsWith(
                QStringLiteral("%1 sur %2\u00a0: ").arg(c.control80.successes).arg(c.ratings)));
        }
        UserInput::key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(w.shownTitle(), CurvePlot::rowName(rows.last()));
        UserInput::key(Qt::Key_Home, Qt::ControlModifier);
        w.clickLine(3);
        QCOMPARE(w.shownTitle(), CurvePlot::rowName(rows[3]));

        const int flat = firstRow([](const AnalysisRow& r) { return !r.curve.ok(); });
        for (int i = 3; i < flat; ++i)
            UserInput::key(Qt::Key_Down);
        const CurvePlot& shown = w.window.shown();
        QCOMPARE(w.shownTitle(), CurvePlot::rowName(rows[flat]));
        QVERIFY(shown.subtitle.text.endsWith(reasonWords(rows[flat].curve.reason)));
        QCOMPARE(shown.points.size(), rows[flat].observations.size());
        QVERIFY(shown.curve.isEmpty() && shown.bandUpper.isEmpty() && !shown.hasEd80);
    }

    // Every rating at its dose, equal ones apart; the curve over the observed doses only, inside
    // its band; the threshold at 80 % and the dose that reaches it; the block under the picture.
    void pictureIsTheRowsRatingsAndCurve() {
        const ShippedReport& r = *m_report;
        int curves = 0, marked = 0;
        for (const AnalysisRow& row : r.analysis.rows) {
            const CurvePlot p = CurvePlot::lay(r.analysis, row, r.shows, kFrench);
            QCOMPARE(p.title.text, CurvePlot::rowName(row));
            QVERIFY(p.subtitle.text.startsWith(QStringLiteral("atrazine 1 kg i.a./ha — ")));
            QCOMPARE(p.points.size(), row.observations.size());
            const double jitter = p.xFor(2 * CurvePlot::MostJitter) - p.xFor(0);
            for (int i = 0; i < p.points.size(); ++i) {
                const QPointF at = p.points[i].at;
                const DoseObservation& o = row.observations[i];
                QCOMPARE(at.y(), p.yFor(o.response));
                QVERIFY(at.x() >= p.xFor(0) - 0.01 &&
                        qAbs(at.x() - p.xFor(o.dose * 100)) <= jitter);
                QVERIFY(o.dose * 100 < p.highestPercent);
                for (int j = 0; j < i; ++j)
                    QVERIFY(row.observations[j].dose != o.dose ||
                            row.observations[j].response != o.response ||
                            qAbs(p.points[j].at.x() - at.x()) > 1);
            }
            QCOMPARE(p.threshold,
                     QLineF(p.plotArea.left(), p.yFor(80), p.plotArea.right(), p.yFor(80)));
            QVERIFY(p.thresholdLabel.text.contains(QStringLiteral("80 %")));
            QCOMPARE(p.warning.text, ReportAbout::syntheticWarning());
            QStringList about;
            for (const CurvePlot::Text& t : p.about)
                about << t.text;
            // The parameters, the tolerance and the colophon.
            QCOMPARE(about.size(), r.shows.parameters.size() + 1 + r.shows.colophonLines().size());
            QVERIFY(about.contains(r.shows.colophonLines().first()) &&
                    about.contains("- " + r.shows.parameters[1]) &&
                    about.contains("- Tolérance\u00a0: ± 5 % des taux entrés"));
            if (!row.curve.ok()) {
                QVERIFY(p.curve.isEmpty() && p.bandUpper.isEmpty() && !p.hasEd80);
                continue;
            }
            ++curves;
            QCOMPARE(p.curve.first(), QPointF(p.xFor(row.curve.lowestDose * 100),
                                              p.yFor(row.curve.value(row.curve.lowestDose))));
            QCOMPARE(p.curve.last().x(), p.xFor(row.curve.highestDose * 100));
            QCOMPARE(p.bandUpper.size(), p.curve.size());
            QCOMPARE(p.bandLower.size(), p.curve.size());
            bool wide = false;
            for (int i = 0; i < p.curve.size(); ++i) {
                const double y = p.curve[i].y();
                QCOMPARE(p.bandUpper[i].x(), p.curve[i].x());
                QCOMPARE(p.bandLower[i].x(), p.curve[i].x());
                QVERIFY(p.yFor(100) - 0.01 <= p.bandUpper[i].y() && p.bandUpper[i].y() <= y);
                QVERIFY(y <= p.bandLower[i].y() && p.bandLower[i].y() <= p.yFor(0) + 0.01);
                wide = wide || p.bandLower[i].y() - p.bandUpper[i].y() > 30;
            }
            QVERIFY(wide);
            const EffectiveDose& ed80 = row.doses[1].dose;
            QCOMPARE(p.hasEd80, ed80.ok());
            if (!p.hasEd80)
                continue;
            ++marked;
            QCOMPARE(p.ed80, QPointF(p.xFor(ed80.dose * 100), p.yFor(80)));
            QVERIFY(p.ed80Interval.x1() < p.ed80.x() && p.ed80.x() < p.ed80Interval.x2());
            QVERIFY(p.ed80Label.text.startsWith(QStringLiteral("ED80\u00a0: ")));
        }
        QVERIFY(curves > 0 && marked > 0);
        const CurvePlot real =
            CurvePlot::lay(r.analysis, r.analysis.rows[0], ReportAbout(), kFrench);
        QVERIFY(real.warning.text.isEmpty());
    }

    // Copier gives the picture and its text, Imprimer prints it, Enregistrer writes it as a PDF
    // or the analysis as CSV as the name ends; Escape closes the window.
    void copyPrintAndSaveThenEscape() {
        Window w(*m_report);
        QGuiApplication::clipboard()->clear();
        w.click("cmdCopier");
        QCOMPARE(QGuiApplication::clipboard()->image(), w.window.picture().image());
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            QStringLiteral("Graminées annuelles (catégorie)\natrazine 1 kg i.a./ha — modèle")));

        QTemporaryDir dir;
        w.dialogs.printFile = dir.filePath(QStringLiteral("printed.pdf"));
        w.click("cmdImprimer");
        QCOMPARE(w.dialogs.printJobName,
                 QStringLiteral("Grelavo - analyse dose-réponse 2027-02-03"));
        QVERIFY(popplerText("pdfinfo", {w.dialogs.printFile})
                    .contains(QRegularExpression("Pages:\\s+1\\n")));

        for (const char* name : {"a.pdf", "a.csv", "b"}) {
            w.dialogs.saveAnswer = dir.filePath(QLatin1String(name));
            w.click("cmdEnregistrer");
        }
        QCOMPARE(w.dialogs.saveQuestions.last()[1],
                 QStringLiteral("Grelavo - analyse dose-réponse 2027-02-03.pdf"));
        const QString pdf = popplerText("pdftotext", {dir.filePath("a.pdf"), "-"});
        for (const char* text : {"Graminées annuelles (catégorie)", "atrazine 1 kg i.a./ha",
                                 "Rapport du 2027-02-03", "DONNÉES SYNTHÉTIQUES"})
            QVERIFY2(pdf.contains(QString::fromUtf8(text)), text);
        QCOMPARE(fileBytes(dir.filePath("a.csv")), m_report->analysis.csv(m_report->shows.lines()));
        QVERIFY(fileBytes(dir.filePath("b.pdf")).startsWith("%PDF-"));
        QVERIFY(w.dialogs.messages.isEmpty());

        UserInput::key(Qt::Key_Escape);
        QVERIFY(!w.window.isVisible());
        QCOMPARE(w.window.result(), int(QDialog::Rejected));
    }

    // In the program: the entry waits for a report, then opens the window on it.
    void menuEntryFollowsTheReport() {
        StartedProgram s;
        auto* entry = s.get<QAction>(QStringLiteral("mnuAnalyse"));
        QVERIFY(!entry->isEnabled());
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        UserInput::key(Qt::Key_R, Qt::ControlModifier);
        QVERIFY(entry->isEnabled());
        QString opened;
        int lines = 0;
        whenModalShows([&](QWidget* modal) {
            opened = modal->objectName();
            lines = modal->findChild<QTableWidget*>(QStringLiteral("lvwAnalyse"))->rowCount();
            QVERIFY(QTest::qWaitForWindowActive(modal));
            UserInput::key(Qt::Key_Escape);
        });
        UserInput::menuKeys(Qt::Key_R, Qt::Key_A);
        QCOMPARE(opened, QStringLiteral("frmAnalyse"));
        QVERIFY(lines > 0);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestDoseAnalysisWindow)
#include "TestDoseAnalysisWindow.moc"
