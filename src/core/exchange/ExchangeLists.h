#pragma once

#include "core/db/Lists.h"

namespace grelavo {

// A lookup list the exchange files name their entries from; the lists are described once, in
// db/Lists.h (lists::provinces, lists::crops...).
using ExchangeList = ListDescription;

} // namespace grelavo
