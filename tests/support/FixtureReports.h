#pragma once

#include "core/report/ParameterSet.h"

// The usual report on the fixture experiments: atrazine (10) alone at the given rate, period 1,
// all corn.
inline grelavo::ParameterSet atrazine(const QString& rate, qint16 tolerance = 5) {
    grelavo::ParameterSet p;
    p.cbbApp = {QStringLiteral("Prélevée"), 1};
    p.SelectedApplicationType = 1;
    p.cbbHerbApp[0] = {QStringLiteral("atrazine"), 10};
    p.SelectedHerbicideId[0] = 10;
    p.txtTaux[0] = p.EnteredRate[0] = rate;
    p.cbbCult = {QStringLiteral("Maïs (tous)"), grelavo::ParameterSet::AllCornItemData};
    p.RateInterval = tolerance;
    return p;
}
