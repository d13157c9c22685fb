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
    bool edited = false;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = source.mid(QStringLiteral(":/data/").size());
        QDir().mkpath(QFileInfo(dir + QLatin1Char('/') + relative).path());
        QFile in(source);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(in.readAll());
        if (relative == file) {
            QVERIFY2(text.contains(from), qPrintable(from));
            text.replace(from, to);
            edited = true;
        }
        QFile out(dir + QLatin1Char('/') + relative);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
    }
    QVERIFY(edited);
}

} // namespace

class TestMakeDbModel : public QObject {
    Q_OBJECT

private slots:
    void detMathAgreesWithTheLibrary() {
        for (double x = -30; x <= 30; x += 0.37)
            QVERIFY2(std::abs(detmath::exp(x) - std::exp(x)) <= 4e-15 * std::exp(x),
                     qPrintable(QString::number(x)));
        for (double x : {1e-300, 1e-9, 0.003, 0.5, 0.70710678, 1.0, 1.4142, 2.0, 12.5, 3e8, 1e300})
            QVERIFY2(std::abs(detmath::log(x) - std::log(x)) <=
                         4e-15 * std::max(1.0, std::abs(std::log(x))),
                     qPrintable(QString::number(x)));
        QCOMPARE(detmath::log(1.0), 0.0);
        QVERIFY(std::isinf(detmath::log(0.0)) && detmath::log(0.0) < 0);
        QVERIFY(std::isnan(detmath::log(-1.0)));
        QCOMPARE(detmath::exp(-800), 0.0);
        QVERIFY(std::isinf(detmath::exp(800)));
        QVERIFY(std::abs(detmath::pow(0.4, 2.5) - std::pow(0.4, 2.5)) < 1e-15);
        QCOMPARE(detmath::round(2.5), 3.0);
        QCOMPARE(detmath::round(-2.5), -3.0);
        QCOMPARE(detmath::round(2.4999), 2.0);
    }

    void generatorsMatchTheirReferenceOutputs() {
        SplitMix64 zero(0);
        QCOMPARE(zero.next(), 0xE220A8397B1DCDAFULL);
        QCOMPARE(zero.next(), 0x6E789E6AA1B965F4ULL);
        SplitMix64 other(1234567);
        QCOMPARE(other.next(), 6457827717110365317ULL);
        Random x = Random::fromState(1, 2, 3, 4);
        const quint64 expected[] = {11520ULL, 0ULL, 1509978240ULL, 1215971899390074240ULL};
        for (quint64 e : expected)
            QCOMPARE(x.nextU64(), e);
    }

    void streamsAreReproducibleAndIndependent() {
        Random a(42, 7), b(42, 7), c(42, 8), d(43, 7);
        bool differsByKey = false, differsByState = false;
        for (int i = 0; i < 50; ++i) {
            const auto va = a.nextU64();
            QCOMPARE(va, b.nextU64());
            differsByKey |= va != c.nextU64();
            differsByState |= va != d.nextU64();
        }
        QVERIFY(differsByKey);
        QVERIFY(differsByState);
    }

    void distributionsHaveTheirShape() {
        Random r(2024, 1);
        const int n = 40000;
        double sum = 0, sumSquares = 0;
        int counts[5] = {};
        for (int i = 0; i < n; ++i) {
            const double u = r.uniform();
            QVERIFY(u >= 0 && u < 1);
            const int k = r.uniformInt(3, 7);
            QVERIFY(k >= 3 && k <= 7);
            ++counts[k - 3];
            const double z = r.normal();
            sum += z;
            sumSquares += z * z;
        }
        for (int c : counts)
            QVERIFY(std::abs(c - n / 5) < n / 50);
        const double mean = sum / n;
        QVERIFY(std::abs(mean) < 0.03);
        QVERIFY(std::abs(sumSquares / n - mean * mean - 1.0) < 0.04);

        int picked[3] = {};
        for (int i = 0; i < n; ++i)
            ++picked[r.weighted({1.0, 0.0, 3.0})];
        QCOMPARE(picked[1], 0);
        QVERIFY(std::abs(picked[2] / double(picked[0]) - 3.0) < 0.25);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, r.weighted({0.0, 0.0}));

        // Heavier items come first more often; a zero weight always comes last.
        int heavyFirst = 0;
        for (int i = 0; i < 2000; ++i) {
            const std::vector<int> order = r.weightedOrder({1.0, 9.0, 0.0});
            QCOMPARE(order.size(), size_t(3));
            QCOMPARE(order[2], 2);
            heavyFirst += order[0] == 1;
        }
        QVERIFY(heavyFirst > 1700 && heavyFirst < 1900); // expected 1800
    }

    void sourceTableReadsColumnsByName() {
        const QByteArray text =
            "# comment\n\nid\tname\tlist\n1\tun\t1,2,3\n2\tdeux\r\n# more\n3\ttrois\t-\n";
        SourceTable t(QStringLiteral("t.tsv"), text);
        QCOMPARE(t.rowCount(), 3);
        QCOMPARE(t.integer(0, QStringLiteral("id")), 1);
        QCOMPARE(t.text(1, QStringLiteral("name")), QStringLiteral("deux"));
        QCOMPARE(t.integers(0, QStringLiteral("list")), (QVector<int>{1, 2, 3}));
        QVERIFY(t.integers(1, QStringLiteral("list")).isEmpty()); // missing trailing field
        QVERIFY(t.integers(2, QStringLiteral("list")).isEmpty());
        QVERIFY_THROWS_EXCEPTION(SourceError, t.text(0, QStringLiteral("nope")));
        QVERIFY_THROWS_EXCEPTION(SourceError, t.integer(0, QStringLiteral("name")));
        try {
            t.required(1, QStringLiteral("list"));
            QFAIL("an empty required field was accepted");
        } catch (const SourceError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(QStringLiteral("t.tsv:5:")), e.what());
        }
        QVERIFY_THROWS_EXCEPTION(SourceError, SourceTable(QStringLiteral("x"), "a\tb\n1\t2\t3\n"));
    }

    void sourcesRejectInconsistentEdits_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("weed row outside its category group") << "lists/tableau_resultats.tsv"
                                                             << "9\tmauvaise herbe\t133"
                                                             << "9\tmauvaise herbe\t47";
        QTest::newRow("standard weed missing from the results table")
            << "lists/tableau_resultats.tsv"
            << "28\tmauvaise herbe\t43"
            << "28\tvide\t";
        QTest::newRow("weed id shared with a category") << "lists/mauvaises_herbes.tsv"
                                                        << "\n8\tpanic d'automne"
                                                        << "\n3\tpanic d'automne";
        QTest::newRow("two weeds with one French name") << "lists/mauvaises_herbes.tsv"
                                                        << "panic millet"
                                                        << "panic capillaire";
        QTest::newRow("mixture at a period one product is not used at") << "model/melanges.tsv"
                                                                        << "EPTC\t1\tmaïs"
                                                                        << "EPTC\t1,4\tmaïs";
        QTest::newRow("unknown herbicide in an exception") << "model/efficacite_exceptions.tsv"
                                                           << "EPTC\tsouchet"
                                                           << "EPTX\tsouchet";
        QTest::newRow("unknown efficacy class") << "lists/herbicides.tsv"
                                                << "sol\tB\tM\tN\tM\tN\tN\tB"
                                                << "sol\tB\tM\tN\tM\tN\tN\tZ";
        QTest::newRow("missing model parameter") << "model/parametres.tsv"
                                                 << "\nsites\t"
                                                 << "\nsitez\t";
    }

    void sourcesRejectInconsistentEdits() {
        QFETCH(QString, file);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QTemporaryDir dir;
        copySourcesWithEdit(dir.path(), file, from, to);
        QVERIFY_THROWS_EXCEPTION(SourceError, Sources::load(dir.path()));
        // The untouched copy loads.
        QTemporaryDir clean;
        copySourcesWithEdit(clean.path(), file, from, from);
        Sources::load(clean.path());
    }

    void logLogisticCurveAndColby() {
        QCOMPARE(DoseModel::logLogistic(0.3, 0.9, 0.3, 2.0), 0.45);
        QCOMPARE(DoseModel::logLogistic(0.0, 0.9, 0.3, 2.0), 0.0);
        double previous = 0;
        for (double d = 0.05; d < 2; d += 0.05) {
            const double e = DoseModel::logLogistic(d, 0.95, 0.4, 1.8);
            QVERIFY(e > previous && e < 0.95);
            previous = e;
        }
        QCOMPARE(DoseModel::colby({}), 0.0);
        QCOMPARE(DoseModel::colby({0.6}), 0.6);
        QVERIFY(std::abs(DoseModel::colby({0.5, 0.5}) - 0.75) < 1e-15);
        QVERIFY(std::abs(DoseModel::colby({0.2, 0.5, 0.1}) - (1 - 0.8 * 0.5 * 0.9)) < 1e-15);
        QCOMPARE(DoseModel::colby({0.3, 1.0}), 1.0);
    }

    void visualRatingsAreClippedMultiplesOfFive() {
        QCOMPARE(DoseModel::visualRating(87.4), 85);
        QCOMPARE(DoseModel::visualRating(87.5), 90);
        QCOMPARE(DoseModel::visualRating(2.4), 0);
        QCOMPARE(DoseModel::visualRating(-12), 0);
        QCOMPARE(DoseModel::visualRating(104), 100);
    }

    void conditionsShiftTheDoseNeeded() {
        const Sources s = Sources::load();
        const DoseModel model(s);
        const Herbicide& soilOnly = s.herbicideByName(QStringLiteral("S-métolachlore"));
        const Herbicide& foliar = s.herbicideByName(QStringLiteral("nicosulfuron"));
        ApplicationConditions pre;
        pre.soilTiming = true;
        pre.organicMatter = 3;
        pre.clay = 15;
        ApplicationConditions heavySoil = pre;
        heavySoil.organicMatter = 10;
        heavySoil.clay = 50;
        QVERIFY(model.conditionFactor(soilOnly, heavySoil) > model.conditionFactor(soilOnly, pre));
        ApplicationConditions sand = pre;
        sand.organicMatter = 1;
        sand.clay = 0;
        QVERIFY(model.conditionFactor(soilOnly, sand) >=
                s.parameter(QStringLiteral("sol_effet_min")));

        ApplicationConditions early, late;
        early.cropLeaves = 2;
        late.cropLeaves = 8;
        QCOMPARE(model.conditionFactor(foliar, early), 1.0);
        QVERIFY(model.conditionFactor(foliar, late) > 1.5);
        // A soil-only product applied after emergence barely touches the weeds already there.
        QVERIFY(model.conditionFactor(soilOnly, early) > 2 * model.conditionFactor(foliar, early));

        const Weed& grass = s.weed(16);
        QVERIFY(model.efficacy(soilOnly, 1.6, grass, pre, 0) >
                model.efficacy(soilOnly, 1.6, grass, heavySoil, 0));
        QVERIFY(model.efficacy(foliar, 0.025, grass, early, 0) >
                model.efficacy(foliar, 0.025, grass, late, 0));
        QVERIFY(model.efficacy(foliar, 0.025, grass, early, 0) >
                model.efficacy(foliar, 0.0125, grass, early, 0));
        // A positive random effect means a tougher population.
        QVERIFY(model.efficacy(foliar, 0.025, grass, early, 0.5) <
                model.efficacy(foliar, 0.025, grass, early, 0));
    }

    void weedExceptionsOverrideTheCategoryProfile() {
        const Sources s = Sources::load();
        const DoseModel model(s);
        const Herbicide& clopyralid = s.herbicideByName(QStringLiteral("clopyralide"));
        const Weed& lambsquarters = s.weed(47); // annual broadleaf, listed as an exception
        const Weed& ragweed = s.weed(121);
        const Weed& pigweed = s.weed(122);
        QCOMPARE(model.efficacyClass(clopyralid, lambsquarters).code, QChar('N'));
        QCOMPARE(model.efficacyClass(clopyralid, ragweed).code, QChar('E'));
        QCOMPARE(model.efficacyClass(s.herbicideByName(QStringLiteral("mésotrione")), pigweed).code,
                 s.herbicideByName(QStringLiteral("mésotrione")).categoryClass.value(2));
        ApplicationConditions post;
        post.cropLeaves = 4;
        QVERIFY(model.efficacy(clopyralid, 0.2, ragweed, post, 0) >
                model.efficacy(clopyralid, 0.2, lambsquarters, post, 0) + 0.5);
    }

    void ratesRoundToThreeSignificantDigits() {
        QCOMPARE(TrialGenerator::roundRate(0.025 * 0.33), 0.00825);
        QCOMPARE(TrialGenerator::roundRate(1.5 * 0.75), 1.13);
        QCOMPARE(TrialGenerator::roundRate(1.0 * 0.6), 0.6);
        QCOMPARE(TrialGenerator::roundRate(0.025 * 0.6), 0.015);
        QCOMPARE(TrialGenerator::roundRate(4.4 * 1.25), 5.5);
        QCOMPARE(TrialGenerator::roundRate(0.0125 * 0.67), 0.00838);
    }
};

QTEST_GUILESS_MAIN(TestMakeDbModel)
#include "TestMakeDbModel.moc"
