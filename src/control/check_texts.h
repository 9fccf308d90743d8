// The calibration check's warnings and the fit's failures as the user reads them (German, UTF-8).
#pragma once

#include <string>

#include "georef/check.h"
#include "georef/fit.h"

namespace kal2map {

// E.g. "Punkt 4 liegt außerhalb des Bildes (6000 x 4000 Pixel)".
std::string WarningText(const CalibrationWarning& warning);

// E.g. "die Punkte liegen auf einer Linie"; empty for kNone.
std::string FitFailureText(FitFailure failure);

}  // namespace kal2map
