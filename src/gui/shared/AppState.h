#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace grelavo {

// The values the windows share, held once for the whole program and handed to the windows
// that read them.
struct AppState {
    bool NeedFill_cbbApp = true;
    bool NeedFill_Culture = true;
    bool NeedFill_Site = true;
    bool NeedFill_MauvHerb = true;
    bool ResultsShown = false;
    bool ParameterMissing = false;
    bool NoDataFound = false;
    qint16 RateInterval = 5;
    qint32 TotalCases = 0;
    QStringList ParamSummaryLines;
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
