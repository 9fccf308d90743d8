#include "control/check_texts.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

TEST(CheckTexts, EachKindAndFailureInTheUsersWords) {
  using enum CheckKind;
  const struct {
    CheckKind kind;
    int point, other;
    double pixels;
    std::string text;
  } warnings[] = {
      {kTooFewPoints, 0, 0, 0,
       "Weniger als zwei brauchbare Punkte: kein Programm kann die Karte einordnen"},
      {kSamePixel, 9, 2, 0,
       "Punkt 2 und Punkt 9 liegen auf demselben Pixel, haben aber verschiedene Koordinaten"},
      {kMisfit, 3, 0, 293.6,
       "Punkt 3 liegt 294 Pixel neben der Lage, die die übrigen Punkte ergeben (Tippfehler?)"},
      {kMisfit, 3, 1, 186.2,
       "Punkt 1 oder Punkt 3 liegt etwa 186 Pixel neben der Lage, die die übrigen Punkte ergeben "
       "(Tippfehler?)"},
      {kOutsideImage, 4, 0, 0, "Punkt 4 liegt außerhalb des Bildes (6000 x 4000 Pixel)"},
      {kNoProjection, 0, 0, 851,
       "Die Punkte passen zu keiner bekannten Kartenprojektion (Abweichungen bis 851 Pixel); "
       "bitte alle Punkte prüfen"},
  };
  for (const auto& k : warnings) {
    EXPECT_EQ(WarningText({k.kind, k.point, k.other, k.pixels, {6000, 4000}}), k.text);
  }
  const std::pair<FitFailure, std::string> failures[] = {
      {FitFailure::kNone, ""},
      {FitFailure::kTooFewPoints, "weniger als zwei brauchbare Punkte"},
      {FitFailure::kNotANumber, "ein Punkt hat keine gültige Zahl"},
      {FitFailure::kSharedXOrY, "zwei Punkte haben dieselbe x- oder y-Position"},
      {FitFailure::kOnOneLine, "die Punkte liegen auf einer Linie"},
      {FitFailure::kNoArea, "die Koordinaten der Punkte spannen keine Fläche auf"},
  };
  for (const auto& [failure, text] : failures) EXPECT_EQ(FitFailureText(failure), text);
}

}  // namespace
}  // namespace kal2map
