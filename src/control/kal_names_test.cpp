#include "control/kal_names.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

TEST(MapNameFor, KeepsTheNameBeforeTheFirstKal) {
  const std::pair<const char*, const char*> cases[] = {
      {"Karte.kal", "Karte.map"},
      {"KARTE.KAL", "KARTE.map"},
      {"a.kal.kal", "a.map"},
      {"Stadt.kalender.kal", "Stadt.map"},
      {".kal", ".kal.map"},
      {"Karte.KaL", "Karte.map"},
      {"x", "x.map"},
      {"Über.kal", "Über.map"},
  };
  for (const auto& [name, map] : cases) {
    EXPECT_EQ(MapNameFor(std::filesystem::u8path(name)), std::filesystem::u8path(map)) << name;
  }
}

TEST(HasKalExtension, AsciiLettersInAnyCase) {
  EXPECT_TRUE(HasKalExtension("dir/a.KaL"));
  EXPECT_TRUE(HasKalExtension(".kal"));
  EXPECT_FALSE(HasKalExtension("a.kal.txt"));
  EXPECT_FALSE(HasKalExtension("kal"));
}

}  // namespace
}  // namespace kal2map
