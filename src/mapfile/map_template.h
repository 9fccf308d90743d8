#pragma once

#include "control/state.h"

namespace kal2map {

// Sets Template slots 1..44 and PointPieces slots 1..8 to the fixed texts of a map file.
// Idempotent; must run before the first map is written.
void FillTemplate(State& state);

}  // namespace kal2map
