#pragma once

#include "core/db/Lists.h"

#include <QString>
#include <array>
#include <optional>

namespace grelavo {

// What a combo box of the parameter form holds: its text and, when an item of its list is
// selected, that item's data (the database key). A parameter is entered when its text is not
// empty.
struct Choice {
    QString text;
    std::optional<qint32> itemData;

    bool isEntered() const { return !text.isEmpty(); }
};

// Everything a report is computed from, read out of the parameter form's controls (member names
// are the controls' names) and the values kept beside them. Numbers are texts as the user typed
// them, in the user's number format.
struct ParameterSet {
    static constexpr int HerbicideRows = lists::kMixtureProducts;
    static constexpr int ExtraWeeds = 5;
    // The last item of the crop list, standing for every corn crop, and its item data.
    static inline const QString AllCornName = lists::allCornName();
    static constexpr int AllCornItemData = lists::kAllCornItemData;

    // Mandatory page.
    Choice cbbApp;
    Choice cbbCult;
    std::array<Choice, HerbicideRows> cbbHerbApp;
    std::array<Choice, HerbicideRows> cbbFormApp;
    std::array<QString, HerbicideRows> txtTaux;
    // The rates as last typed (kept on every change that leaves a text): what the report uses.
    std::array<QString, HerbicideRows> EnteredRate;
    qint16 SelectedApplicationType = 0;
    std::array<qint16, HerbicideRows> SelectedHerbicideId{};
    qint16 RateInterval = 5;

    // Crop details and crop stage.
    Choice cbbCultVar;
    Choice cbbCultAnte;
    bool optKg = true; // seeding rate in kg/ha, otherwise in grains/ha
    QString txtCultSemisDe, txtCultSemisA;
    QString cbbCultProfDe, cbbCultProfA;
    Choice cbbCultEcart;
    bool optHaut = false; // crop stage as a height, otherwise as a number of leaves
    QString txtCultHautDe, txtCultHautA;
    QString txtCultFeuilDe, txtCultFeuilA;

    // Site.
    Choice cbbSiteProv;
    Choice cbbSiteClaTex;
    QString cbbSiteMatOrgDe, cbbSiteMatOrgA;
    QString cbbSitepHDe, cbbSitepHA;

    // Extra weeds.
    std::array<Choice, ExtraWeeds> cbbMauvHerb;

    bool isAllCorn() const { return cbbCult.text == AllCornName; }
    // A crop-stage range is entered: heights when optHaut is set, else leaves; its lower bound
    // decides. Only then are applications without a crop-stage row left out.
    bool stageRangeEntered() const {
        return optHaut ? !txtCultHautDe.isEmpty() : !txtCultFeuilDe.isEmpty();
    }
};

} // namespace grelavo
