#include "control/check_texts.h"

#include <algorithm>
#include <cstdio>

namespace kal2map {

namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

}  // namespace

std::string WarningText(const CalibrationWarning& warning) {
  const std::string point = "Punkt " + std::to_string(warning.point);
  switch (warning.kind) {
    case CheckKind::kTooFewPoints:
      return "Weniger als zwei brauchbare Punkte: kein Programm kann die Karte einordnen";
    case CheckKind::kSamePixel:
      return "Punkt " + std::to_string(warning.other) + " und " + point +
             " liegen auf demselben Pixel, haben aber verschiedene Koordinaten";
    case CheckKind::kMisfit: {
      // Of two points the data cannot tell apart, the lower number first, as the file has them.
      const std::string which =
          warning.other == 0
              ? point + " liegt "
              : "Punkt " + std::to_string(std::min(warning.point, warning.other)) + " oder Punkt " +
                    std::to_string(std::max(warning.point, warning.other)) + " liegt etwa ";
      return which + Number(warning.pixels) +
             " Pixel neben der Lage, die die \xC3\xBC"
             "brigen Punkte ergeben (Tippfehler?)";
    }
    case CheckKind::kOutsideImage:
      return point +
             " liegt au\xC3\x9F"
             "erhalb des Bildes (" +
             std::to_string(warning.image.width) + " x " + std::to_string(warning.image.height) +
             " Pixel)";
    case CheckKind::kNoProjection:
      return "Die Punkte passen zu keiner bekannten Kartenprojektion (Abweichungen bis " +
             Number(warning.pixels) + " Pixel); bitte alle Punkte pr\xC3\xBC" + "fen";
    case CheckKind::kNoPlace:
      return "Die Punkte ergeben keine Lage des Bildes: " + FitFailureText(warning.failure);
  }
  return {};
}

std::string FitFailureText(FitFailure failure) {
  switch (failure) {
    case FitFailure::kNone:
      break;
    case FitFailure::kTooFewPoints:
      return "weniger als zwei brauchbare Punkte";
    case FitFailure::kNotANumber:
      return "ein Punkt hat keine g\xC3\xBCltige Zahl";
    case FitFailure::kSharedXOrY:
      return "zwei Punkte haben dieselbe x- oder y-Position";
    case FitFailure::kOnOneLine:
      return "die Punkte liegen auf einer Linie";
    case FitFailure::kNoArea:
      return "die Koordinaten der Punkte spannen keine Fl\xC3\xA4"
             "che auf";
  }
  return {};
}

}  // namespace kal2map
