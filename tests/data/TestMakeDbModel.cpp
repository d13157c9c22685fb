// The pieces of the database builder: deterministic arithmetic, the random generator, the text
// sources and their checks, and the dose-response model.

#include "DetMath.h"
#include "DoseModel.h"
#include "Random.h"
#include "SourceTable.h"
#include "Sources.h"
#include "TrialGenerator.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace grelavo::makedb;

namespace {

// Copies the built-in sources into 'dir', replacing 'from' by 'to' in 'file'.
void copySourcesWithEdit(const QString& dir, const QString& file, const QString& from,
                         const QString& to) {
    QDirIterator it(QStringLiteral(":/data"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = dir + source.mid(QStringLiteral(":/data").size());
        QDir().mkpath(QFileInfo(target).path());
        QFile in(source), out(target);
        QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        QString text = QString::fromUtf8(in.readAll());
        if (target == dir + QLatin1Char('/') + file) {
            QVERIFY2(text.contains(from), qPrintable(from));
            text.replace(from, to);
        }
        out.write(text.toUtf8());
    }
}

} // namespace

class TestMakeDbModel : public QObject {
    Q_OBJECT

private slots:
    void detMathAgreesWithTheLibrary() {
        for (double x = -30; x <= 30; x += 0.37) {
            const double y = std::exp(x);
            QVERIFY2(std::abs(detmath::exp(x) - y) <= 4e-15 * y, qPrintable(QString::number(x)));
            QVERIFY2(std::abs(detmath::log(y) - std::log(y)) <=
                         4e-15 * std::max(1.0, std::abs(std::log(y))),
                     qPrintable(QString::number(y)));
        }
        QVERIFY(std::isinf(detmath::log(0.0)) && std::isnan(detmath::log(-1.0)));
        QVERIFY(detmath::exp(-800) == 0.0 && std::isinf(detmath::exp(800)));
        QVERIFY(detmath::round(2.5) == 3.0 && detmath::round(-2.5) == -3.0);
    }

    void generatorsMatchTheirReferenceOutputs() {
        QCOMPARE(SplitMix64(0).next(), 0xE220A8397B1DCDAFULL);
        Random x = Random::fromState(1, 2, 3, 4);
        for (quint64 e : {11520ULL, 0ULL, 1509978240ULL, 1215971899390074240ULL})
            QCOMPARE(x.nextU64(), e);
        // A stream is set by its random seed and its key.
        Random a(42, 7), b(42, 7), c(42, 8), d(43, 7);
        const quint64 first = a.nextU64();
        QCOMPARE(b.nextU64(), first);
        QVERIFY(c.nextU64() != first && d.nextU64() != first);
    }

    void distributionsHaveTheirShape() {
        Random r(2024, 1);
        const int n = 20000;
        int counts[5] = {}, picked[3] = {};
        double sum = 0, sumSquares = 0;
        for (int i = 0; i < n; ++i) {
            const int k = r.uniformInt(3, 7);
            QVERIFY(k >= 3 && k <= 7);
            ++counts[k - 3];
            const double z = r.normal();
            sum += z;
            sumSquares += z * z;
            ++picked[r.weighted({1.0, 0.0, 3.0})];
        }
        for (int c : counts)
            QVERIFY(std::abs(c - n / 5) < n / 50);
        QVERIFY(std::abs(sum / n) < 0.03 && std::abs(sumSquares / n - 1.0) < 0.05);
        QCOMPARE(picked[1], 0);
        QVERIFY(std::abs(picked[2] / double(picked[0]) - 3.0) < 0.3);
    }

    void sourceTableReadsColumnsByName() {
        SourceTable t(
            QStringLiteral("t.tsv"),
            "# comment\n\nid\tname\tlist\n1\tun\t1,2,3\n2\tdeux\r\n# more\n3\ttrois\t-\n");
        QCOMPARE(t.rowCount(), 3);
        QCOMPARE(t.text(1, QStringLiteral("name")), QStringLiteral("deux"));
        QCOMPARE(t.integers(0, QStringLiteral("list")), (QVector<int>{1, 2, 3}));
        QVERIFY(t.integers(1, QStringLiteral("list")).isEmpty()); // missing trailing field
        QVERIFY(t.integers(2, QStringLiteral("list")).isEmpty());
        QVERIFY_THROWS_EXCEPTION(SourceError, t.integer(0, QStringLiteral("name")));
        try {
            t.required(1, QStringLiteral("list"));
            QFAIL("an empty required field was accepted");
        } catch (const SourceError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(QStringLiteral("t.tsv:5:")), e.what());
        }
        QVERIFY_THROWS_EXCEPTION(SourceError, SourceTable(QStringLiteral("x"), "a\tb\n1\t2\t3\n"));
    }

    void sourcesRejectInconsistentEdits() {
        QTemporaryDir clean;
        copySourcesWithEdit(clean.path(), QString(), QString(), QString());
        Sources::load(clean.path());
        // A weed row outside its category's group; a mixture at a period one product is not
        // used at; an edition dated on no calendar day, or neither synthetic nor real.
        const QStringList edits[] = {
            {"lists/tableau_resultats.tsv", "9\tmauvaise herbe\t133", "9\tmauvaise herbe\t47"},
            {"model/melanges.tsv", "EPTC\t1\tmaïs", "EPTC\t1,4\tmaïs"},
            {"edition.tsv", "\t2026-12-07\t", "\t2026-12-32\t"},
            {"edition.tsv", "\tgrelavo-makedb\t1", "\tgrelavo-makedb\t2"}};
        for (const QStringList& edit : edits) {
            QTemporaryDir dir;
            copySourcesWithEdit(dir.path(), edit[0], edit[1], edit[2]);
            QVERIFY_THROWS_EXCEPTION(SourceError, Sources::load(dir.path()));
        }
    }

    void doseResponseRisesToItsMaximum() {
        QCOMPARE(DoseModel::logLogistic(0.3, 0.9, 0.3, 2.0), 0.45); // half of emax at the ED50
        QCOMPARE(DoseModel::logLogistic(0.0, 0.9, 0.3, 2.0), 0.0);
        double previous = 0;
        for (double d = 0.05; d < 2; d += 0.05) {
            const double e = DoseModel::logLogistic(d, 0.95, 0.4, 1.8);
            QVERIFY(e > previous && e < 0.95);
            previous = e;
        }
    }

    // Independent action: each product controls what the others left.
    void colbyCombinesIndependentEffects() {
        QCOMPARE(DoseModel::colby({}), 0.0);
        QVERIFY(std::abs(DoseModel::colby({0.2, 0.5, 0.1}) - (1 - 0.8 * 0.5 * 0.9)) < 1e-15);
        QCOMPARE(DoseModel::colby({0.3, 1.0}), 1.0);
    }

    void visualRatingsAreWholeStepsOfFive() {
        QCOMPARE(DoseModel::visualRating(87.4), 85);
        QCOMPARE(DoseModel::visualRating(87.5), 90);
        QVERIFY(DoseModel::visualRating(-12) == 0 && DoseModel::visualRating(104) == 100);
    }

    void ratesKeepThreeSignificantFigures() {
        QCOMPARE(TrialGenerator::roundRate(1.5 * 0.75), 1.13);
        QCOMPARE(TrialGenerator::roundRate(0.0125 * 0.67), 0.00838);
    }

    // More product, lighter soil, an earlier stage or a more susceptible population: more
    // control; an exception for a weed overrides its category's class.
    void conditionsShiftTheCurve() {
        const Sources s = Sources::load();
        const DoseModel model(s);
        const Herbicide& soilOnly = s.herbicideByName(QStringLiteral("S-métolachlore"));
        const Herbicide& foliar = s.herbicideByName(QStringLiteral("nicosulfuron"));
        const Weed& grass = s.weed(16);
        ApplicationConditions light, heavy, early, late;
        light.soilTiming = heavy.soilTiming = true;
        light.organicMatter = 3;
        light.clay = 15;
        heavy.organicMatter = 10;
        heavy.clay = 50;
        early.cropLeaves = 2;
        late.cropLeaves = 8;
        const double base = model.efficacy(foliar, 0.025, grass, early, 0);
        QVERIFY(model.efficacy(soilOnly, 1.6, grass, light, 0) >
                model.efficacy(soilOnly, 1.6, grass, heavy, 0));
        QVERIFY(base > model.efficacy(foliar, 0.025, grass, late, 0));
        QVERIFY(base > model.efficacy(foliar, 0.0125, grass, early, 0));
        QVERIFY(base > model.efficacy(foliar, 0.025, grass, early, 0.5));
        // A soil-only product applied after emergence barely touches the weeds already there.
        QVERIFY(model.conditionFactor(soilOnly, early) > 2 * model.conditionFactor(foliar, early));
        const Herbicide& clopyralid = s.herbicideByName(QStringLiteral("clopyralide"));
        QVERIFY(model.efficacy(clopyralid, 0.2, s.weed(121), early, 0) >
                model.efficacy(clopyralid, 0.2, s.weed(47), early, 0) + 0.5);
    }
};

QTEST_GUILESS_MAIN(TestMakeDbModel)
#include "TestMakeDbModel.moc"
