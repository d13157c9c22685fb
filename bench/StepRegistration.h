#pragma once

#include "Summary.h"

#include <cstddef>
#include <vector>

namespace grelavo::bench {

// Registers every benchmark of scale s (g_scales[s]) with Google Benchmark, in the order they
// run: opening, the reports with their bounds, the list steps with theirs, the import and the
// export, and the analysis up to scale 10. Each step's key is appended to steps.
void registerScale(size_t s, std::vector<StepKey>& steps);

} // namespace grelavo::bench
