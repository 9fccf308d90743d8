#include "control/check_texts.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

TEST(CheckTexts, NumbersAndPointsInTheUsersWords) {
  using enum CheckKind;
  const std::pair<CalibrationWarning, std::string> warnings[] = {
      {{kMisfit, 3, 0, 293.6, {}},
       "Punkt 3 liegt 294 Pixel neben der Lage, die die übrigen Punkte ergeben (Tippfehler?)"},
      {{kMisfit, 3, 1, 186.2, {}},
       "Punkt 1 oder Punkt 3 liegt etwa 186 Pixel neben der Lage, die die übrigen Punkte ergeben "
       "(Tippfehler?)"},
      {{kNoProjection, 0, 0, 851, {}},
       "Die Punkte passen zu keiner bekannten Kartenprojektion (Abweichungen bis 851 Pixel); "
       "bitte alle Punkte prüfen"},
  };
  for (const auto& [warning, text] : warnings) EXPECT_EQ(WarningText(warning), text);
}

}  // namespace
}  // namespace kal2map
