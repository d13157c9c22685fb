#include "DoseModel.h"

#include "DetMath.h"

#include <algorithm>

namespace grelavo::makedb {

DoseModel::DoseModel(const Sources& sources)
    : m_sources(sources), m_omRef(sources.parameter(QStringLiteral("mo_ref"))),
      m_omEffect(sources.parameter(QStringLiteral("mo_effet"))),
      m_clayRef(sources.parameter(QStringLiteral("argile_ref"))),
      m_clayEffect(sources.parameter(QStringLiteral("argile_effet"))),
      m_soilFloor(sources.parameter(QStringLiteral("sol_effet_min"))),
      m_stageRef(sources.parameter(QStringLiteral("stade_ref"))),
      m_stageEffect(sources.parameter(QStringLiteral("stade_effet"))) {}

double DoseModel::logLogistic(double relativeDose, double emax, double ed50, double slope) {
    if (relativeDose <= 0)
        return 0.0;
    // (ed50 / d)^slope = exp(slope (ln ed50 - ln d))
    const double z = slope * (detmath::log(ed50) - detmath::log(relativeDose));
    return emax / (1.0 + detmath::exp(z));
}

double DoseModel::colby(const std::vector<double>& efficacies) {
    double survival = 1.0;
    for (double e : efficacies)
        survival *= 1.0 - std::clamp(e, 0.0, 1.0);
    return 1.0 - survival;
}

int DoseModel::visualRating(double percent) {
    const double clipped = std::clamp(percent, 0.0, 100.0);
    return static_cast<int>(detmath::round(clipped / 5.0)) * 5;
}

const EfficacyClass& DoseModel::efficacyClass(const Herbicide& h, const Weed& w) const {
    const auto exception = h.weedClass.find(w.id);
    const QChar code =
        exception != h.weedClass.end() ? exception.value() : h.categoryClass.value(w.categoryId);
    return m_sources.efficacyClass(code);
}

double DoseModel::conditionFactor(const Herbicide& h, const ApplicationConditions& c) const {
    if (c.soilTiming) {
        const double soil = (1.0 + m_omEffect * (c.organicMatter - m_omRef)) *
                            (1.0 + m_clayEffect * (c.clay - m_clayRef));
        return std::max(m_soilFloor, soil) * (h.soilActive ? 1.0 : 2.0);
    }
    const double stage = 1.0 + m_stageEffect * std::max(0.0, c.cropLeaves - m_stageRef);
    return stage * (h.foliarActive ? 1.0 : 2.5);
}

double DoseModel::efficacy(const Herbicide& h, double rate, const Weed& w,
                           const ApplicationConditions& c, double logShift) const {
    const EfficacyClass& k = efficacyClass(h, w);
    const double ed50 = k.ed50 * w.susceptibility * conditionFactor(h, c) * detmath::exp(logShift);
    return logLogistic(rate / h.labelRate(), k.emax / 100.0, ed50, k.slope);
}

} // namespace grelavo::makedb
