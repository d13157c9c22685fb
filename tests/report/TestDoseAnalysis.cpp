// The evidence behind the dose-response analysis and the analysis of whole reports.

#include "FixtureDatabase.h"
#include "FixtureReports.h"
#include "core/db/DE.h"
#include "core/report/DoseAnalysis.h"
#include "core/report/DoseEvidence.h"
#include "core/report/ReportEngine.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace grelavo;

namespace {

// Atrazine (10) at 1 kg/ha with dicamba (11) at 0.6 kg/ha before emergence, all corn.
ParameterSet atrazineWithDicamba() {
    ParameterSet p = atrazine(QStringLiteral("1"));
    p.cbbHerbApp[1] = {QStringLiteral("dicamba"), 11};
    p.SelectedHerbicideId[1] = 11;
    p.txtTaux[1] = p.EnteredRate[1] = QStringLiteral("0,6");
    return p;
}

DoseEvidence gather(DE& de, const ParameterSet& p) {
    ReportEngine engine(de, QLocale(QLocale::French, QLocale::Canada));
    ParameterSet checks = p;
    checks.txtCultHautDe.clear();
    checks.txtCultFeuilDe.clear();
    return DoseEvidence::gather(de.Connection2(), p, *engine.treatmentConditions(p),
                                *engine.treatmentConditions(checks),
                                QLocale(QLocale::French, QLocale::Canada));
}

// "treatment@fraction" of each rating of a weed, in rating order.
QStringList doses(const DoseEvidence& e, qint64 weed) {
    QStringList out;
    for (const EvidenceRating& r : e.ratings)
        if (r.weedId == weed)
            out << QStringLiteral("%1@%2").arg(r.treatmentId).arg(r.fraction);
    return out;
}

} // namespace

class TestDoseAnalysis : public QObject {
    Q_OBJECT

private slots:
    // Treatments of the fixture's site 1 (treatment 2: atrazine 0.5 + dicamba 0.3, in
    // proportion at half the entered rates) and new ones: the same mixture at a quarter and
    // one and a half times the rates, out of proportion, applied twice, at the other period,
    // untreated checks at site 1 and at site 2 (which has no treatment of the mixture).
    void takesEveryDoseOfTheMixtureInProportion() {
        FixtureDatabase fixture;
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral(
                "INSERT INTO tbldesTraitements VALUES (20, 1), (21, 1), (22, 1), (23, 1), "
                "(24, 1), (25, 2), (26, 1), (27, 1);"
                "INSERT INTO tblPériodesApplication VALUES (20, 20, 1), (21, 21, 1), (22, 22, 1),"
                " (23, 23, 1), (24, 23, 1), (26, 26, 2), (27, 27, 1), (28, 27, 2);"
                "INSERT INTO tblDétailsHerbicides VALUES (20, 10, 1, 0.25), (20, 11, 1, 0.15), "
                "(21, 10, 1, 1.5), (21, 11, 1, 0.9), (22, 10, 1, 1.0), (22, 11, 1, 0.3), "
                "(23, 10, 1, 0.5), (23, 11, 1, 0.3), (24, 10, 1, 0.5), (24, 11, 1, 0.3), "
                "(26, 10, 1, 0.5), (26, 11, 1, 0.3), (27, 10, 1, 0.75), (27, 11, 1, 0.45), "
                "(28, 12, 1, 0.02);"
                "INSERT INTO tblCultureEXP (TraitementId, CultureId) VALUES (20, 149), (21, 149), "
                "(22, 149), (23, 149), (24, 149), (25, 149), (26, 149), (27, 149);"
                "INSERT INTO tblStadeCultureH (DateHerbId, CultureId, HautMoyenneCultH, "
                "NoFeuilMoyenneCultH) VALUES (20, 149, 10, 3), (21, 149, 30, 6);"
                "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (20, 16, 30), "
                "(21, 16, 98), (22, 16, 80), (23, 16, 85), (24, 16, 0), (25, 16, 5), "
                "(26, 16, 70), (27, 16, 90), (21, 15, NULL);"));
        DE de(fixture.folder());
        ParameterSet p = atrazineWithDicamba();
        DoseEvidence e = gather(de, p);
        QCOMPARE(doses(e, 16), (QStringList{"2@0.5", "20@0.25", "21@1.5", "24@0"}));
        QCOMPARE(e.treatments, 3);
        QCOMPARE(e.untreated, 1);
        QCOMPARE(e.outOfProportion, 1);
        QCOMPARE(e.repeated, 1);
        QCOMPARE(e.otherApplications, 1); // treatment 27, nicosulfuron after it
        for (const EvidenceRating& r : e.ratings)
            QCOMPARE(r.siteId, 1);

        // A formulation chosen: only the treatment in that formulation; its site's check stays.
        p.cbbFormApp[1] = {QStringLiteral("2"), 2};
        QCOMPARE(doses(gather(de, p), 16), (QStringList{"2@0.5", "24@0"}));

        // A stage range: applications without a stage row are left out, the checks are not.
        p.cbbFormApp[1] = {};
        p.txtCultFeuilDe = QStringLiteral("4");
        p.txtCultFeuilA = QStringLiteral("7");
        QCOMPARE(doses(gather(de, p), 16), (QStringList{"2@0.5", "21@1.5", "24@0"}));

        // A rate that is no number gives no evidence rather than a wrong dose.
        p.EnteredRate[1] = QStringLiteral("x");
        QVERIFY(gather(de, p).ratings.isEmpty());
    }

    // A trial that rated a weed in its untreated check only is not one of the weed's trials.
    void aTrialCountsWhenItTriedTheMixture() {
        DoseEvidence evidence;
        int id = 0;
        for (qint64 site : {1, 2, 3, 4})
            for (double fraction : {0.0, 0.5, 1.0, 1.5})
                if (site < 4 || fraction == 0)
                    evidence.ratings
                        << EvidenceRating{++id, id, site, 16, 1, int(60 * fraction), fraction};
        ResultsRow weed;
        weed.NoId = 2;
        weed.Results = QStringLiteral("     pied-de-coq");
        weed.ResultsId = 16;
        const DoseAnalysis a = DoseAnalysis::compute({}, {weed}, evidence, {}, 5);
        QCOMPARE(a.rows.size(), 1);
        QCOMPARE(a.rows[0].trials, 3);
        QCOMPARE(a.rows[0].observations.size(), 12);
    }

    // Whole reports on the demonstration database: what each cell rests on, the curves and
    // their doses, and the JSON and CSV that carry them.
    void analysesWholeReports_data() {
        QTest::addColumn<QStringList>("herbicides"); // "id:name:rate"
        QTest::addColumn<int>("period");
        QTest::newRow("atrazine") << QStringList{"1:atrazine:1"} << 2;
        QTest::newRow("mixture") << QStringList{"1:atrazine:1", "3:S-métolachlore:1.6"} << 2;
    }

    void analysesWholeReports() {
#ifndef GRELAVO_SHIPPED_DATABASE
        QSKIP("no demonstration database in this build");
#else
        QFETCH(QStringList, herbicides);
        QFETCH(int, period);
        QTemporaryDir dir;
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE),
                            dir.filePath(DatabaseFile::fileName())));
        DE de(dir.path());
        ParameterSet p;
        p.cbbApp = {QStringLiteral("période"), period};
        p.SelectedApplicationType = qint16(period);
        for (int i = 0; i < herbicides.size(); ++i) {
            const QStringList h = herbicides[i].split(QLatin1Char(':'));
            p.cbbHerbApp[i] = {h[1], h[0].toInt()};
            p.SelectedHerbicideId[i] = qint16(h[0].toInt());
            p.txtTaux[i] = p.EnteredRate[i] = h[2];
        }
        p.cbbCult = {ParameterSet::AllCornName, ParameterSet::AllCornItemData};
        ReportEngine engine(de, QLocale::c());
        engine.setGatherDetails(true);
        QVERIFY(engine.SetQuery(p));
        const QVector<ResultsRow> table = ResultsTable::read(de.Connection2());
        const DoseAnalysis a =
            DoseAnalysis::run(de.Connection2(), engine, p, engine.details(), table, QLocale::c());
        QVERIFY(!a.rows.isEmpty());

        int estimable = 0;
        for (const AnalysisRow& row : a.rows) {
            // Trials counted by the database itself.
            for (const CellEvidence& c : row.cells) {
                const CellDetail* cell = engine.details().cell(row.noId, c.fraction);
                QStringList ids;
                for (const DetailRating& r : cell->ratings)
                    ids << QString::number(r.ratingId);
                const QStringList sites = statementRows(
                    de.Connection2(),
                    QStringLiteral("SELECT count(DISTINCT t.SiteExpId) FROM tblMHEval e JOIN "
                                   "tbldesTraitements t ON t.TraitementId = e.TraitementId WHERE "
                                   "e.MHEvalId IN (%1)")
                        .arg(ids.join(QLatin1Char(','))));
                QCOMPARE(c.trials, sites.first().toInt());
                QCOMPARE(c.control80.total, cell->count());
                QVERIFY(c.control80.lower <= c.control80.share &&
                        c.control80.share <= c.control80.upper);
                QVERIFY(c.control90.successes <= c.control80.successes);
            }
            if (!row.curve.ok()) {
                QVERIFY(row.doses.isEmpty());
                continue;
            }
            ++estimable;
            QCOMPARE(row.curve.trials, row.trials);
            double previous = 0;
            for (const DoseForLevel& d : row.doses) {
                if (!d.dose.ok())
                    continue;
                // Never beyond the doses tried; the interval holds the estimate and stays
                // positive; more control needs more product.
                QVERIFY(d.dose.dose >= row.curve.lowestDose &&
                        d.dose.dose <= row.curve.highestDose);
                QVERIFY(0 < d.dose.lower && d.dose.lower < d.dose.dose &&
                        d.dose.dose < d.dose.upper);
                // An interval that cannot place the dose among those tried is not given.
                QVERIFY(d.dose.lower >= row.curve.lowestDose / 10 &&
                        d.dose.upper <= 10 * row.curve.highestDose);
                QVERIFY(std::abs(row.curve.value(d.dose.dose) - d.level) < 1e-6);
                QVERIFY(d.dose.dose > previous);
                previous = d.dose.dose;
            }
        }
        QVERIFY2(estimable > 0, "no curve could be fitted on the demonstration data");

        // The JSON and the CSV say what the value holds.
        const QJsonArray rows = a.toJson().value(QStringLiteral("rows")).toArray();
        QCOMPARE(rows.size(), a.rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject curve = rows[i][QStringLiteral("curve")].toObject();
            QCOMPARE(curve.value(QStringLiteral("estimable")).toBool(true), a.rows[i].curve.ok());
            QCOMPARE(curve.value(QStringLiteral("trials")).toInt(), a.rows[i].trials);
            const QJsonArray ed = curve.value(QStringLiteral("ed")).toArray();
            for (int j = 0; j < ed.size(); ++j) {
                const DoseForLevel& d = a.rows[i].doses[j];
                QCOMPARE(ed[j][QStringLiteral("level")].toInt(), d.level);
                if (d.dose.ok())
                    QCOMPARE(
                        ed[j][QStringLiteral("ratesKgHa")][0][QStringLiteral("rate")].toDouble(),
                        d.dose.dose * a.products[0].enteredKgHa);
                else
                    QCOMPARE(ed[j][QStringLiteral("reasonCode")].toString(),
                             reasonCode(d.dose.reason));
            }
        }
        // Under a French locale, semicolons and decimal commas; the block first.
        const QByteArray bytes = a.csv({QStringLiteral("Essai")}, QLocale(QLocale::French));
        QVERIFY2(bytes.startsWith("\xEF\xBB\xBF#;Essai\r\n\r\n"), bytes.left(40).constData());
        const QString csv = QString::fromUtf8(bytes);
        for (const AnalysisRow& row : a.rows)
            QCOMPARE(csv.count(QLatin1Char('\n') + row.label + QLatin1Char(';')),
                     (row.curve.ok() ? 3 + row.curve.parameters.size() : 1) + row.cells.size());
        QVERIFY(!csv.contains(QRegularExpression(QStringLiteral("[0-9]\\.[0-9]"))));
        QVERIFY(csv.contains(QRegularExpression(QStringLiteral("[0-9],[0-9]"))));
#endif
    }
};

QTEST_GUILESS_MAIN(TestDoseAnalysis)
#include "TestDoseAnalysis.moc"
