#include "TrialGenerator.h"

#include "DetMath.h"
#include "Random.h"

#include <algorithm>
#include <cmath>

namespace grelavo::makedb {

namespace {

double roundTo(double value, double step) {
    return detmath::round(value / step) * step;
}

// Rounds to one decimal, written as a quotient so that 6.3 comes out as the double nearest 6.3.
double roundTenth(double value) {
    return detmath::round(value * 10.0) / 10.0;
}

// The identifier of the next row appended to 'rows': 1, 2, 3...
template <typename T> int nextId(const QVector<T>& rows) {
    return static_cast<int>(rows.size()) + 1;
}

template <typename T> std::vector<double> weightsOf(const QVector<T>& list) {
    std::vector<double> w;
    for (const T& item : list)
        w.push_back(item.weight);
    return w;
}

} // namespace

struct TrialGenerator::Trial {
    bool guaranteed = false;
    int siteId = 0;
    double organicMatter = 0, clay = 0;
    double siteEffect = 0, trialEffect = 0;
    QMap<int, double> weedEffect; // the site's populations
    QVector<int> weeds;           // rated in this trial
    int cropId = 0, varietyId = 0, previousCropId = 0;
    double sowingKg = 0, sowingGrains = 0, depth = 0, spacing = 0;
    int mixture = 0, periodId = 0;
    const DoseSeries* series = nullptr;
    QMap<int, double> baseRate; // by herbicide; the label rate when absent
    QMap<int, int> formulation; // by herbicide, drawn on first use
    QMap<int, QPair<double, double>>
        stage; // by period: crop height (cm), leaves; drawn on first use
};

TrialGenerator::TrialGenerator(const Sources& sources, double scale)
    : m_sources(sources), m_model(sources) {
    m_siteCount = std::max(
        1, static_cast<int>(detmath::round(sources.parameter(QStringLiteral("sites")) * scale)));
    for (int m = 0; m < sources.mixtures.size(); ++m)
        for (int p : sources.mixtures[m].guaranteedPeriods)
            m_guaranteed.append({m, p});
}

double TrialGenerator::roundRate(double rate) {
    if (rate <= 0)
        return 0;
    double scale = 1;
    while (rate * scale < 100)
        scale *= 10;
    while (rate * scale >= 1000)
        scale /= 10;
    return detmath::round(rate * scale) / scale;
}

Dataset TrialGenerator::generate() {
    Dataset out;
    for (int i = 0; i < m_siteCount; ++i)
        makeSite(i, out);
    return out;
}

void TrialGenerator::makeSite(int index, Dataset& out) {
    const Sources& s = m_sources;
    Random rng(static_cast<std::uint64_t>(s.parameter(QStringLiteral("random_seed"))),
               static_cast<std::uint64_t>(index) + 1);
    m_rng = &rng;

    SiteRow site;
    site.id = nextId(out.sites);
    site.provinceId = s.provinces[rng.weighted(weightsOf(s.provinces))].id;
    const SoilTexture& texture = s.textures[rng.weighted(weightsOf(s.textures))];
    site.textureId = texture.id;
    const double om = detmath::exp(detmath::log(s.parameter(QStringLiteral("mo_mediane"))) +
                                   s.parameter(QStringLiteral("mo_et_log")) * rng.normal());
    site.organicMatter = roundTenth(std::clamp(om, s.parameter(QStringLiteral("mo_min")),
                                               s.parameter(QStringLiteral("mo_max"))));
    site.pH = roundTenth(std::clamp(rng.normal(6.4, 0.6), s.parameter(QStringLiteral("ph_min")),
                                    s.parameter(QStringLiteral("ph_max"))));
    out.sites.append(site);

    Trial base;
    base.siteId = site.id;
    base.organicMatter = site.organicMatter;
    base.clay = texture.clay;
    base.siteEffect = rng.normal(0, s.parameter(QStringLiteral("et_site")));
    // The flora, most abundant first; every trial rates the first few.
    std::vector<double> frequencies;
    for (const Weed& w : s.weeds)
        frequencies.push_back(w.frequency);
    const std::vector<int> order = rng.weightedOrder(frequencies);
    const int floraSize = std::min(static_cast<int>(s.parameter(QStringLiteral("flore_par_site"))),
                                   static_cast<int>(order.size()));
    for (int i = 0; i < floraSize; ++i) {
        const int weedId = s.weeds[order[i]].id;
        base.weeds.append(weedId);
        base.weedEffect.insert(weedId, rng.normal(0, s.parameter(QStringLiteral("et_site_mh"))));
    }

    QVector<int> guaranteedHere;
    if (index < m_guaranteed.size())
        guaranteedHere.append(index);
    if (index == m_siteCount - 1)
        for (int g = m_siteCount; g < m_guaranteed.size(); ++g)
            guaranteedHere.append(g);
    const int trials = std::max<int>(
        guaranteedHere.size(),
        rng.uniformInt(static_cast<int>(s.parameter(QStringLiteral("essais_par_site_min"))),
                       static_cast<int>(s.parameter(QStringLiteral("essais_par_site_max")))));
    for (int t = 0; t < trials; ++t) {
        Trial trial = base;
        if (t < guaranteedHere.size()) {
            trial.guaranteed = true;
            trial.mixture = m_guaranteed[guaranteedHere[t]].first;
            trial.periodId = m_guaranteed[guaranteedHere[t]].second;
        }
        makeTrial(trial, out);
    }
    m_rng = nullptr;
}

void TrialGenerator::makeTrial(Trial& trial, Dataset& out) {
    const Crop* crop = nullptr;
    const QVector<int> candidates = chooseCropAndMixture(trial, crop);
    sowCrop(trial, *crop);
    for (const Plan& plan : planTreatments(trial, candidates))
        addTreatment(trial, plan, out);
}

QVector<int> TrialGenerator::chooseCropAndMixture(Trial& trial, const Crop*& crop) {
    const Sources& s = m_sources;
    Random& rng = *m_rng;

    QVector<const Crop*> crops;
    for (const Crop& c : s.crops) {
        const bool corn = Sources::cornCrops().contains(c.id);
        const bool studied = std::any_of(s.mixtures.begin(), s.mixtures.end(),
                                         [&](const Mixture& m) { return m.crops.contains(c.id); });
        if (trial.guaranteed ? corn : studied)
            crops.append(&c);
    }
    std::vector<double> cropWeights;
    for (const Crop* c : crops)
        cropWeights.push_back(c->weight);
    crop = crops[rng.weighted(cropWeights)];
    trial.cropId = crop->id;

    QVector<int> candidates;
    std::vector<double> weights;
    for (int m = 0; m < s.mixtures.size(); ++m)
        if (s.mixtures[m].crops.contains(crop->id)) {
            candidates.append(m);
            weights.push_back(s.mixtures[m].weight);
        }
    if (!trial.guaranteed) {
        trial.mixture = candidates[rng.weighted(weights)];
        const QVector<int>& periods = s.mixtures[trial.mixture].periods;
        trial.periodId = periods[rng.uniformInt(0, periods.size() - 1)];
        trial.series = &s.doseSeries[rng.weighted(weightsOf(s.doseSeries))];
    } else {
        trial.series = &*std::find_if(s.doseSeries.begin(), s.doseSeries.end(),
                                      [](const DoseSeries& d) { return d.forGuaranteedTrials; });
    }
    const Mixture& mixture = s.mixtures[trial.mixture];
    const double secondaryRate = s.parameter(QStringLiteral("prob_dose_secondaire"));
    for (int id : mixture.herbicideIds) {
        const Herbicide& h = s.herbicide(id);
        double rate = h.labelRate();
        if (!trial.guaranteed && h.rates.size() > 1 && rng.chance(secondaryRate))
            rate = h.rates[rng.uniformInt(1, h.rates.size() - 1)];
        trial.baseRate.insert(id, rate);
    }
    return candidates;
}

void TrialGenerator::sowCrop(Trial& trial, const Crop& crop) {
    const Sources& s = m_sources;
    Random& rng = *m_rng;

    QVector<int> varieties;
    for (const Variety& v : s.varieties)
        if (v.cropId == crop.id)
            varieties.append(v.id);
    trial.varietyId = varieties[rng.uniformInt(0, varieties.size() - 1)];
    trial.previousCropId = s.previousCrops[rng.weighted(weightsOf(s.previousCrops))].id;
    trial.sowingGrains = roundTo(rng.uniform(crop.grainsMin, crop.grainsMax), 500);
    const double grainsPerKg = rng.uniform(crop.grainsPerKgMin, crop.grainsPerKgMax);
    trial.sowingKg =
        roundTenth(std::clamp(trial.sowingGrains / grainsPerKg, crop.kgMin, crop.kgMax));
    trial.depth = roundTo(rng.uniform(crop.depthMin, crop.depthMax), 0.5);
    trial.spacing = crop.spacings[rng.uniformInt(0, crop.spacings.size() - 1)];
    trial.trialEffect = rng.normal(0, s.parameter(QStringLiteral("et_essai")));

    const int rated =
        rng.uniformInt(static_cast<int>(s.parameter(QStringLiteral("mh_par_essai_min"))),
                       static_cast<int>(s.parameter(QStringLiteral("mh_par_essai_max"))));
    trial.weeds = trial.weeds.mid(0, std::min<int>(rated, trial.weeds.size()));
}

QVector<TrialGenerator::Plan> TrialGenerator::planTreatments(const Trial& trial,
                                                             const QVector<int>& candidates) {
    const Sources& s = m_sources;
    Random& rng = *m_rng;
    const Mixture& mixture = s.mixtures[trial.mixture];
    const QVector<double>& fractions = trial.series->fractions;
    QVector<Plan> plans;
    if (rng.chance(s.parameter(QStringLiteral("prob_temoin"))))
        plans.append(QVector<PlannedApplication>());
    for (double f : fractions)
        plans.append(QVector<PlannedApplication>{{trial.mixture, trial.periodId, f}});

    const int comparisons =
        rng.uniformInt(0, static_cast<int>(s.parameter(QStringLiteral("comparaisons_max"))));
    QVector<int> others;
    std::vector<double> otherWeights;
    for (int m : candidates)
        if (m != trial.mixture && s.mixtures[m].periods.contains(trial.periodId)) {
            others.append(m);
            otherWeights.push_back(s.mixtures[m].weight);
        }
    for (int c = 0; c < comparisons && !others.isEmpty(); ++c) {
        const int m = others[rng.weighted(otherWeights)];
        plans.append(QVector<PlannedApplication>{
            {m, trial.periodId, fractions[rng.uniformInt(0, fractions.size() - 1)]}});
    }

    const bool soil = s.period(trial.periodId).soil;
    if (mixture.herbicideIds.size() == 1 && !soil &&
        rng.chance(s.parameter(QStringLiteral("prob_fractionnement")))) {
        // The same product twice at the same period, each half of the season's total or less.
        QVector<double> low;
        for (double f : fractions)
            if (f <= 0.67)
                low.append(f);
        const double f = low.isEmpty() ? 0.5 : low[rng.uniformInt(0, low.size() - 1)];
        plans.append(QVector<PlannedApplication>{{trial.mixture, trial.periodId, f},
                                                 {trial.mixture, trial.periodId, f}});
    }
    if (soil && rng.chance(s.parameter(QStringLiteral("prob_sequentiel")))) {
        // A soil application followed by a post-emergence one.
        QVector<int> post;
        std::vector<double> postWeights;
        for (int m : candidates)
            if (std::any_of(s.mixtures[m].periods.begin(), s.mixtures[m].periods.end(),
                            [&](int p) { return !s.period(p).soil; })) {
                post.append(m);
                postWeights.push_back(s.mixtures[m].weight);
            }
        if (!post.isEmpty()) {
            const int m = post[rng.weighted(postWeights)];
            QVector<int> periods;
            for (int p : s.mixtures[m].periods)
                if (!s.period(p).soil)
                    periods.append(p);
            const int p = periods[rng.uniformInt(0, periods.size() - 1)];
            const double first = fractions[rng.uniformInt(0, fractions.size() - 1)];
            const double second = rng.chance(0.5) ? 0.5 : 1.0;
            plans.append(QVector<PlannedApplication>{{trial.mixture, trial.periodId, first},
                                                     {m, p, second}});
        }
    }
    return plans;
}

QPair<double, double> TrialGenerator::cropStage(Trial& trial, int periodId, int applicationId,
                                                Dataset& out) {
    const Sources& s = m_sources;
    Random& rng = *m_rng;
    const Period& period = s.period(periodId);
    if (!trial.stage.contains(periodId)) {
        const double leaves = roundTo(rng.uniform(period.leavesMin, period.leavesMax), 0.5);
        const double t = period.leavesMax > period.leavesMin
                             ? (leaves - period.leavesMin) / (period.leavesMax - period.leavesMin)
                             : 0.5;
        const double span = period.heightMax - period.heightMin;
        const double height = std::clamp(period.heightMin + t * span + rng.normal(0, 0.1 * span),
                                         period.heightMin, period.heightMax);
        trial.stage.insert(periodId, {detmath::round(height), leaves});
    }
    const auto stage = trial.stage.value(periodId);
    int stageRows = 1;
    if (!trial.guaranteed) {
        const double u = rng.uniform();
        const double none = s.parameter(QStringLiteral("prob_sans_stade"));
        if (u < none)
            stageRows = 0;
        else if (u < none + s.parameter(QStringLiteral("prob_deux_stades")))
            stageRows = 2;
    }
    for (int k = 0; k < stageRows; ++k) {
        // A second note, taken a few days later, shows a slightly older crop.
        const double later = period.soil ? 0.0 : k;
        out.stages.append({nextId(out.stages), applicationId, trial.cropId,
                           stage.first + 3.0 * later, stage.second + 0.5 * later});
    }
    return stage;
}

// Formulations and crop stages of the trial are drawn on their first use.
void TrialGenerator::addTreatment(Trial& trial, const Plan& plan, Dataset& out) {
    const Sources& s = m_sources;
    Random& rng = *m_rng;

    TreatmentRow treatment{nextId(out.treatments), trial.siteId};
    out.treatments.append(treatment);
    out.crops.append({nextId(out.crops), treatment.id, trial.cropId, trial.varietyId,
                      trial.previousCropId, trial.sowingKg, trial.sowingGrains, trial.depth,
                      trial.spacing});
    const double treatmentEffect = rng.normal(0, s.parameter(QStringLiteral("et_traitement")));

    struct Applied {
        const Herbicide* herbicide;
        double rate;
        ApplicationConditions conditions;
    };
    QVector<Applied> applied;
    for (const PlannedApplication& a : plan) {
        const ApplicationRow application{nextId(out.applications), treatment.id, a.periodId};
        out.applications.append(application);
        const Period& period = s.period(a.periodId);

        const auto stage = cropStage(trial, a.periodId, application.id, out);

        ApplicationConditions conditions;
        conditions.soilTiming = period.soil;
        conditions.cropLeaves = stage.second;
        conditions.organicMatter = trial.organicMatter;
        conditions.clay = trial.clay;
        for (int id : s.mixtures[a.mixture].herbicideIds) {
            const Herbicide& h = s.herbicide(id);
            if (!trial.formulation.contains(id))
                trial.formulation.insert(
                    id, h.formulations[rng.uniformInt(0, h.formulations.size() - 1)]);
            const double rate = roundRate(trial.baseRate.value(id, h.labelRate()) * a.fraction);
            out.products.append({application.id, id, trial.formulation.value(id), rate});
            applied.append({&h, rate, conditions});
        }
    }

    const double missing = s.parameter(QStringLiteral("prob_non_notee"));
    const double ratingSd = s.parameter(QStringLiteral("et_notation"));
    for (int weedId : trial.weeds) {
        const Weed& weed = s.weed(weedId);
        const double shift =
            trial.siteEffect + trial.trialEffect + trial.weedEffect.value(weedId) + treatmentEffect;
        std::vector<double> efficacies;
        for (const Applied& a : applied)
            efficacies.push_back(m_model.efficacy(*a.herbicide, a.rate, weed, a.conditions, shift));
        const double control = DoseModel::colby(efficacies);
        RatingRow rating{nextId(out.ratings), treatment.id, weedId, std::nullopt};
        if (!rng.chance(missing))
            rating.visual = DoseModel::visualRating(100.0 * control + rng.normal(0, ratingSd));
        out.ratings.append(rating);
    }
}

} // namespace grelavo::makedb
