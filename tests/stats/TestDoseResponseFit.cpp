// Log-logistic dose-response fits against the figures R's drc package publishes for its ryegrass
// data set, and against data drawn from known curves, with and without trial effects.

#include "core/stats/DoseResponseFit.h"

#include <QFile>
#include <QtTest>
#include <cstdint>

using namespace grelavo;

namespace {

// Agreement to about five significant digits.
bool near(double actual, double expected, double relative = 5e-5) {
    return std::abs(actual - expected) <= relative * std::abs(expected);
}

#define VERIFY_NEAR(actual, expected, ...)                                                         \
    QVERIFY2(near(actual, expected, ##__VA_ARGS__),                                                \
             qPrintable(QStringLiteral("%1 = %2, expected %3")                                     \
                            .arg(QLatin1String(#actual))                                           \
                            .arg(actual, 0, 'g', 10)                                               \
                            .arg(expected, 0, 'g', 10)))

// tests/stats/ryegrass.csv: root length (rootl) against ferulic acid concentration (conc).
QVector<DoseObservation> ryegrass() {
    QFile file(QStringLiteral(GRELAVO_RYEGRASS_CSV));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", GRELAVO_RYEGRASS_CSV);
    QVector<DoseObservation> observations;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(','));
        bool ok = false;
        const double rootLength = fields.first().toDouble(&ok);
        if (ok && fields.size() == 2)
            observations.append({fields.at(1).toDouble(), rootLength, -1});
    }
    return observations;
}

FitSettings only(LogLogisticModel model) {
    FitSettings settings;
    settings.models = {model};
    return settings;
}

// A reproducible stream of normal deviates: splitmix64 and Box-Muller.
class Normals {
public:
    explicit Normals(std::uint64_t stream) : m_state(stream) {}
    double next() {
        const double u = uniform(), v = uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * 3.14159265358979323846 * v);
    }

private:
    double uniform() {
        m_state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (double(z >> 11) + 0.5) / 9007199254740992.0;
    }
    std::uint64_t m_state;
};

struct Truth {
    double b = -3, c = 0, d = 100, e = 1;
};

// Weed control at six doses around e, two plots per dose in each trial; each trial shifts all
// its ratings by its own amount (trialSd) on top of the plots' own noise.
QVector<DoseObservation> generated(std::uint64_t stream, const Truth& t, int trials, double trialSd,
                                   double noiseSd = 5) {
    Normals normals(stream);
    QVector<DoseObservation> observations;
    for (int trial = 0; trial < trials; ++trial) {
        const double shift = trialSd * normals.next();
        for (const double dose : {0.25, 0.5, 0.75, 1.0, 1.25, 1.5})
            for (int plot = 0; plot < 2; ++plot) {
                const double f = t.c + (t.d - t.c) / (1 + std::pow(dose / t.e, t.b));
                observations.append({dose, f + shift + noiseSd * normals.next(), trial});
            }
    }
    return observations;
}

} // namespace

class TestDoseResponseFit : public QObject {
    Q_OBJECT

private slots:
    // drm(rootl ~ conc, data = ryegrass, fct = LL.4()), its summary, logLik, AIC and
    // ED(..., c(10, 50, 90), interval = "delta").
    void reproducesDrcOnRyegrass() {
        const CurveFit fit = fitLogLogistic(ryegrass(), only(LogLogisticModel::LL4));
        QVERIFY(fit.ok());
        QCOMPARE(fit.observations, 24);
        QCOMPARE(fit.distinctDoses, 6);
        QCOMPARE(fit.parameters.size(), 4);
        const double estimates[] = {2.98222, 0.48141, 7.79296, 3.05795};
        const double ses[] = {0.46506, 0.21219, 0.18857, 0.18573};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(fit.parameters[i].name, QString(QLatin1Char("bcde"[i])));
            VERIFY_NEAR(fit.parameters[i].estimate, estimates[i]);
            VERIFY_NEAR(fit.parameters[i].se, ses[i], 1e-4);
            QVERIFY(std::isnan(fit.parameters[i].seRobust));
        }
        QCOMPARE(fit.df, 20);
        VERIFY_NEAR(fit.residualSe, 0.5196, 1e-4);
        VERIFY_NEAR(fit.logLik, -16.15514);
        VERIFY_NEAR(fit.aic, 42.31029);

        const double levels[] = {10, 50, 90};
        const double doses[] = {1.46371, 3.05795, 6.38864};
        const double doseSes[] = {0.18677, 0.18573, 0.84510};
        const double lowers[] = {1.07411, 2.67053, 4.62580};
        const double uppers[] = {1.85330, 3.44538, 8.15148};
        for (int i = 0; i < 3; ++i) {
            const EffectiveDose ed = effectiveDose(fit, levels[i]);
            QVERIFY(ed.ok());
            VERIFY_NEAR(ed.dose, doses[i]);
            VERIFY_NEAR(ed.se, doseSes[i], 1e-4);
            VERIFY_NEAR(ed.lower, lowers[i]);
            VERIFY_NEAR(ed.upper, uppers[i]);
        }
        // At dose 0 the curve is its upper limit, with that limit's standard error.
        VERIFY_NEAR(fit.value(0), 7.79296);
        VERIFY_NEAR(fit.valueSe(0, false), 0.18857, 1e-4);
    }

    // A relative level counts from the response at dose 0 whichever way the curve goes; an
    // absolute level is the response itself; log-scale intervals lie around the dose.
    void levelsCountFromTheResponseAtDoseZero() {
        const CurveFit falling = fitLogLogistic(ryegrass(), only(LogLogisticModel::LL4));
        const EffectiveDose absolute = effectiveDose(falling, 4.0, {true});
        QVERIFY(absolute.ok());
        VERIFY_NEAR(falling.value(absolute.dose), 4.0, 1e-9);
        EffectiveDoseSettings onLog;
        onLog.logScale = true;
        const EffectiveDose ed50 = effectiveDose(falling, 50, onLog);
        VERIFY_NEAR(ed50.lower * ed50.upper, ed50.dose * ed50.dose, 1e-9);
        QVERIFY(ed50.lower > 2.67053 && ed50.upper > 3.44538);

        Truth t;
        t.c = 10;
        t.d = 90;
        const CurveFit rising =
            fitLogLogistic(generated(7, t, 4, 0, 2), only(LogLogisticModel::LL4));
        QVERIFY(rising.ok());
        QVERIFY(rising.b < 0 && rising.c < rising.d);
        const EffectiveDose ed20 = effectiveDose(rising, 20);
        QVERIFY(ed20.ok());
        VERIFY_NEAR(rising.value(ed20.dose), rising.c + 0.2 * (rising.d - rising.c), 1e-9);
        const double ed10 = effectiveDose(falling, 10).dose;
        VERIFY_NEAR(falling.value(ed10), falling.d - 0.1 * (falling.d - falling.c), 1e-9);
    }

    void quantilesAndProportions() {
        VERIFY_NEAR(studentQuantile(0.975, 20), 2.085963447, 1e-9);
        VERIFY_NEAR(studentQuantile(0.975, 2), 4.302652730, 1e-9);
        VERIFY_NEAR(studentQuantile(0.975, 1), 12.70620474, 1e-9);
        VERIFY_NEAR(studentQuantile(0.975, 200), 1.971896, 1e-6);
        VERIFY_NEAR(studentQuantile(0.025, 20), -2.085963447, 1e-9);
        VERIFY_NEAR(normalQuantile(0.975), 1.959963985, 1e-9);
        VERIFY_NEAR(normalQuantile(0.001), -3.090232306, 1e-9);

        const ProportionEstimate eight = wilsonInterval(8, 10);
        QCOMPARE(eight.share, 0.8);
        VERIFY_NEAR(eight.lower, 0.490162, 1e-5);
        VERIFY_NEAR(eight.upper, 0.943319, 1e-5);
        const ProportionEstimate none = wilsonInterval(0, 7), all = wilsonInterval(7, 7);
        QCOMPARE(none.lower, 0.0);
        QVERIFY(none.upper > 0.3 && none.upper < 0.4);
        QCOMPARE(all.upper, 1.0);
        VERIFY_NEAR(all.lower, 1 - none.upper, 1e-12);
        QVERIFY(std::isnan(wilsonInterval(0, 0).share));
    }

    // Ratings of ten trials, each shifted by its own amount: ratings of one trial are not
    // independent, and only the trial-robust errors say so.
    void trialEffectsWidenRobustIntervals() {
        FitSettings settings = only(LogLogisticModel::LL2);
        settings.requireTrials = true;
        EffectiveDoseSettings robust;
        robust.robust = true;
        robust.logScale = true;

        const CurveFit shifted = fitLogLogistic(generated(1, {}, 10, 9), settings);
        QVERIFY(shifted.ok());
        QCOMPARE(shifted.trials, 10);
        const FitParameter& e = shifted.parameters.last();
        QVERIFY2(e.seRobust > 1.8 * e.se, qPrintable(QString::number(e.seRobust / e.se)));
        const EffectiveDose classical50 = effectiveDose(shifted, 50);
        const EffectiveDose robust50 = effectiveDose(shifted, 50, robust);
        QVERIFY(classical50.ok() && robust50.ok());
        QVERIFY(robust50.upper - robust50.lower > 1.8 * (classical50.upper - classical50.lower));
        QVERIFY(robust50.lower < 1 && robust50.upper > 1);
        VERIFY_NEAR(robust50.se, e.seRobust, 1e-9);
        // t with 9 degrees of freedom, on the log of the dose.
        VERIFY_NEAR(std::log(robust50.upper / robust50.dose),
                    studentQuantile(0.975, 9) * e.seRobust / e.estimate, 1e-9);

        const CurveFit independent = fitLogLogistic(generated(1, {}, 10, 0), settings);
        QVERIFY(independent.ok());
        const FitParameter& e0 = independent.parameters.last();
        QVERIFY2(e0.seRobust > 0.6 * e0.se && e0.seRobust < 1.6 * e0.se,
                 qPrintable(QString::number(e0.seRobust / e0.se)));
        QVERIFY(effectiveDose(independent, 50, robust).ok());
        QVERIFY(shifted.valueSe(0.8, true) > 1.8 * shifted.valueSe(0.8, false));
        QVERIFY(std::isnan(fitLogLogistic(ryegrass()).valueSe(0.8, true)));
    }

    void saysWhenItCannot() {
        QVector<DoseObservation> twoDoses;
        for (int i = 0; i < 12; ++i)
            twoDoses.append({i % 2 ? 1.0 : 2.0, 40.0 + i, -1});
        twoDoses.append({0, 5, -1});
        QCOMPARE(fitLogLogistic(twoDoses).reason, NotEstimable::TooFewDoses);
        QCOMPARE(effectiveDose(fitLogLogistic(twoDoses), 50).reason, NotEstimable::TooFewDoses);
        QVector<DoseObservation> close{{1, 10}, {1.0001, 12}, {2, 50}, {2, 55}};
        FitSettings coarse;
        coarse.doseResolution = 0.001;
        QCOMPARE(fitLogLogistic(close, coarse).distinctDoses, 2);
        QCOMPARE(fitLogLogistic(close).distinctDoses, 3);
        QCOMPARE(fitLogLogistic(ryegrass(), only(LogLogisticModel::LL4)).distinctDoses, 6);
        QVector<DoseObservation> fourDoses = ryegrass().mid(0, 15);
        QCOMPARE(fitLogLogistic(fourDoses, only(LogLogisticModel::LL4)).reason,
                 NotEstimable::TooFewDoses);

        FitSettings trials = only(LogLogisticModel::LL2);
        trials.requireTrials = true;
        QCOMPARE(fitLogLogistic(generated(3, {}, 2, 0), trials).reason, NotEstimable::TooFewTrials);
        QVERIFY(fitLogLogistic(generated(3, {}, 3, 0), trials).ok());

        QVector<DoseObservation> flat = generated(3, {}, 4, 0);
        for (DoseObservation& o : flat)
            o.response = 60;
        for (const FitSettings& settings : {FitSettings(), only(LogLogisticModel::LL4)})
            QCOMPARE(fitLogLogistic(flat, settings).reason, NotEstimable::NoDoseEffect);
        // Noise: no effect of the dose, save the one set in twenty that the 5 % test lets
        // through by chance.
        int given = 0;
        for (std::uint64_t stream = 1; stream <= 20; ++stream) {
            QVector<DoseObservation> noise = generated(stream, {}, 6, 0);
            Normals normals(stream + 100);
            for (DoseObservation& o : noise)
                o.response = 50 + 10 * normals.next();
            const EffectiveDose ed = effectiveDose(fitLogLogistic(noise), 50);
            given += ed.ok();
            QVERIFY2(ed.ok() || ed.reason == NotEstimable::NoDoseEffect ||
                         ed.reason == NotEstimable::LevelNotReached,
                     qPrintable(reasonCode(ed.reason)));
        }
        QVERIFY2(given <= 2, qPrintable(QString::number(given)));

        const CurveFit fit = fitLogLogistic(ryegrass(), only(LogLogisticModel::LL4));
        QCOMPARE(effectiveDose(fit, 99.9).reason, NotEstimable::LevelNotReached); // beyond 30
        EffectiveDoseSettings beyond;
        beyond.withinObserved = false;
        QVERIFY(effectiveDose(fit, 99.9, beyond).dose > 30);
        QCOMPARE(effectiveDose(fit, 0.3, {true}).reason, NotEstimable::LevelNotReached);
        QCOMPARE(effectiveDose(fit, 100).reason, NotEstimable::LevelNotReached);
        EffectiveDoseSettings robust;
        robust.robust = true; // no trials: no robust covariance
        QCOMPARE(effectiveDose(fit, 50, robust).reason, NotEstimable::UnboundedInterval);
        QCOMPARE(reasonCode(NotEstimable::UnboundedInterval), "unbounded-interval");
        QCOMPARE(reasonWords(NotEstimable::TooFewTrials), "trop peu d'essais");
    }

    // What trials as the unit, and the ends of the doses tried, cannot tell.
    void saysWhatFewTrialsAndTheDosesTriedCannotTell() {
        FitSettings trials = only(LogLogisticModel::LL4);
        trials.requireTrials = true;
        const Truth asymmetric{-3, 20, 80, 1};
        QCOMPARE(fitLogLogistic(generated(5, asymmetric, 4, 3), trials).reason,
                 NotEstimable::TooFewTrials); // four parameters need five trials
        QVERIFY(fitLogLogistic(generated(5, asymmetric, 5, 3), trials).ok());

        // Trials that agree: the sandwich may come out below the classical error; the
        // interval never does.
        const CurveFit fit = fitLogLogistic(generated(7, {}, 10, 0), only(LogLogisticModel::LL2));
        EffectiveDoseSettings classical{true}, robust{true, true};
        const EffectiveDose a = effectiveDose(fit, 50, classical),
                            r = effectiveDose(fit, 50, robust);
        QVERIFY(a.ok() && r.ok());
        QVERIFY(r.se >= a.se);
        QVERIFY(fit.valueSe(1, true) >= fit.valueSe(1, false));

        // Doses below the lowest tried and above the highest are not given, each said.
        EffectiveDose low = effectiveDose(fit, 1, classical); // 1.5 % already at 0.25
        QCOMPARE(low.reason, NotEstimable::ReachedBelowLowestDose);
        QVERIFY(std::isnan(low.dose));
        QCOMPARE(effectiveDose(fit, 99.9, classical).reason, NotEstimable::LevelNotReached);

        // Every dose tried at the top, the untreated at the bottom: nothing to fit a rise to.
        QVector<DoseObservation> plateau;
        for (int trial = 0; trial < 4; ++trial) {
            plateau.append({0, double(5 * (trial % 2)), trial});
            for (const double dose : {0.25, 0.5, 1.0})
                plateau.append({dose, 100.0 - 5 * ((trial + int(4 * dose)) % 2), trial});
        }
        QCOMPARE(fitLogLogistic(plateau).reason, NotEstimable::PlateauAtEveryDose);

        // Root length falls with the dose: no control curve where only a rise makes sense.
        FitSettings rising;
        rising.requireRising = true;
        QVERIFY(fitLogLogistic(ryegrass()).ok());
        QCOMPARE(fitLogLogistic(ryegrass(), rising).reason, NotEstimable::NoDoseEffect);
    }

    // LL.2 data: LL.2 gets b and e back, and the choice by AIC mostly keeps LL.2; data with
    // limits of 20 and 80 need LL.4.
    void choosesTheModelTheDataNeed() {
        int keptTwo = 0;
        for (std::uint64_t stream = 1; stream <= 20; ++stream) {
            const QVector<DoseObservation> data = generated(stream, {}, 4, 0);
            const CurveFit two = fitLogLogistic(data, only(LogLogisticModel::LL2));
            QVERIFY(two.ok());
            QVERIFY2(std::abs(two.b + 3) < 4 * two.parameters[0].se,
                     qPrintable(QString::number(two.b)));
            QVERIFY2(std::abs(two.e - 1) < 4 * two.parameters[1].se,
                     qPrintable(QString::number(two.e)));
            QVERIFY(std::abs(two.b + 3) < 0.5 && std::abs(two.e - 1) < 0.05);
            keptTwo += fitLogLogistic(data).model == LogLogisticModel::LL2;
        }
        QVERIFY2(keptTwo >= 14, qPrintable(QString::number(keptTwo)));

        Truth limits;
        limits.c = 20;
        limits.d = 80;
        limits.b = -6;
        for (std::uint64_t stream = 1; stream <= 10; ++stream) {
            const CurveFit fit = fitLogLogistic(generated(stream, limits, 4, 0, 3));
            QCOMPARE(fit.model, LogLogisticModel::LL4);
            QVERIFY(std::abs(fit.c - 20) < 8 && std::abs(fit.d - 80) < 8);
        }
    }

    // Two curves with one residual variance: each keeps its own estimates; the errors use the
    // pooled variance.
    void groupsShareTheResidualVariance() {
        const QVector<DoseObservation> first = ryegrass();
        QVector<DoseObservation> second = ryegrass();
        for (int i = 0; i < second.size(); ++i)
            second[i] = {second[i].dose * 2, second[i].response * 1.5 + (i % 3) * 0.4, -1};
        const FitSettings settings = only(LogLogisticModel::LL4);
        const CurveFit one = fitLogLogistic(first, settings),
                       two = fitLogLogistic(second, settings);
        QVERIFY(one.ok() && two.ok());
        const QVector<CurveFit> joint = fitLogLogisticGroups({first, second}, settings);
        QCOMPARE(joint.size(), 2);
        const double pooled = std::sqrt((one.rss + two.rss) / (24 + 24 - 4 - 4));
        const double logLik =
            -24 * (std::log(2 * 3.14159265358979323846) + std::log((one.rss + two.rss) / 48) + 1);
        for (int g = 0; g < 2; ++g) {
            const CurveFit& alone = g ? two : one;
            const CurveFit& together = joint[g];
            QVERIFY(together.ok());
            QCOMPARE(together.df, 40);
            VERIFY_NEAR(together.residualSe, pooled, 1e-12);
            VERIFY_NEAR(together.logLik, logLik, 1e-12);
            VERIFY_NEAR(together.aic, 2 * 9 - 2 * logLik, 1e-12);
            for (int i = 0; i < 4; ++i) {
                VERIFY_NEAR(together.parameters[i].estimate, alone.parameters[i].estimate, 1e-9);
                VERIFY_NEAR(together.parameters[i].se,
                            alone.parameters[i].se * pooled / alone.residualSe, 1e-9);
            }
        }

        // With a choice, one model for all: the one of lowest joint AIC.
        const QVector<CurveFit> chosen = fitLogLogisticGroups({first, second}, FitSettings());
        QCOMPARE(chosen[0].model, chosen[1].model);
        QCOMPARE(chosen[0].model, LogLogisticModel::LL4);
        const QVector<CurveFit> withFew = fitLogLogisticGroups({first, first.mid(0, 9)}, settings);
        QCOMPARE(withFew[1].reason, NotEstimable::TooFewDoses);
        QVERIFY(withFew[0].ok());
        VERIFY_NEAR(withFew[0].residualSe, one.residualSe, 1e-12);
    }
};

QTEST_GUILESS_MAIN(TestDoseResponseFit)
#include "TestDoseResponseFit.moc"
