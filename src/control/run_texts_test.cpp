#include "control/run_texts.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

TEST(ProgressText, ShortensThePathFromTheLeftUntilItFits) {
  const std::string map = "C:\\Karten\\Nord\\blatt.map";
  const std::string dots = "\xE2\x80\xA6";
  struct Case {
    std::size_t width;  // bytes the line may take
    std::string line;
  };
  const Case cases[] = {
      {100, "12 von 5000: " + map},
      {13 + map.size(), "12 von 5000: " + map},
      // "C:" is shorter than "…": the first cut that helps drops a whole folder.
      {13 + map.size() - 1, "12 von 5000: " + dots + "\\Nord\\blatt.map"},
      {13 + 3 + 10, "12 von 5000: " + dots + "\\blatt.map"},
      {13 + 3 + 8, "12 von 5000: " + dots + "latt.map"},
      {13 + 3, "12 von 5000: " + dots},
      {5, "12 von 5000: " + dots},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        ProgressText(12, 5000, map, [&](std::string_view line) { return line.size() <= c.width; }),
        c.line)
        << c.width;
  }
  // A name is never cut inside a character: "ä" is two bytes, and half of one would fit.
  const std::string umlaut = "/k/\xC3\xA4\xC3\xA4.map";
  EXPECT_EQ(ProgressText(1, 1, umlaut, [](std::string_view line) { return line.size() <= 17; }),
            "1 von 1: " + dots + ".map");
}

}  // namespace
}  // namespace kal2map
