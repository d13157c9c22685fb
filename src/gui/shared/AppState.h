#pragma once

#include <QString>
#include <array>

namespace grelavo {

// The values the windows share, held once for the whole program and handed to the windows
// that read them: which lists are still to be filled, whether a report is shown, the ± tolerance,
// the mixture chosen on the form and the rates typed, the weed box under the pointer. What a
// report gives is not here: it travels as a value (ReportOutcome).
struct AppState {
    bool NeedFill_cbbApp = true;
    bool NeedFill_Culture = true;
    bool NeedFill_Site = true;
    bool NeedFill_MauvHerb = true;
    bool ResultsShown = false;
    qint16 RateInterval = 5;
    qint16 SelectedApplicationType = 0;
    qint16 HerbicideCount = 0;
    std::array<qint16, 4> SelectedHerbicideId{};
    std::array<QString, 4> SelectedHerbicideName;
    std::array<QString, 4> EnteredRate;
    qint16 HoverWeedIndex = 0;

    // What the main window's load sets.
    void reset() { *this = AppState(); }
};

} // namespace grelavo
