#include "cli/progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace kal2map {
namespace {

TEST(ProgressPacer, QuietInTheFirstSecondThenAtMostTenTimesASecond) {
  using std::chrono::milliseconds;
  struct Case {
    std::vector<int> calls_ms;  // since the start of the run
    std::vector<bool> due;
  };
  const Case cases[] = {
      {{0, 10, 500, 999, 1000}, {false, false, false, false, false}},
      {{1001, 1002, 1100, 1101, 1150, 1201, 1202}, {true, false, false, true, false, true, false}},
      {{30000, 30001, 30100}, {true, false, true}},  // a file that took long
  };
  const ProgressPacer::Clock::time_point start{};
  for (const Case& c : cases) {
    ProgressPacer pacer(start);
    for (std::size_t i = 0; i < c.calls_ms.size(); ++i) {
      EXPECT_EQ(pacer.Due(start + milliseconds(c.calls_ms[i])), c.due[i]) << c.calls_ms[i];
    }
  }
}

TEST(ProgressText, FitsOneLineAndShowsNoControlCharacters) {
  struct Case {
    std::size_t done, total;
    std::string path;
    std::size_t columns;
    std::string text;
  };
  const Case cases[] = {
      {1234, 5000, "./a/b/blatt.map", 80, "1234 von 5000: ./a/b/blatt.map"},
      {1234, 5000, "./a/b/blatt.map", 31, "1234 von 5000: ./a/b/blatt.map"},
      {1234, 5000, "./a/b/blatt.map", 30, "1234 von 5000: …a/b/blatt.map"},
      {1, 2, std::string(200, 'x') + "/k.map", 0, "1 von 2: …" + std::string(63, 'x') + "/k.map"},
      // Cut between characters, never inside one; wide characters take two columns.
      {1, 2, "Łódź/Ölmühle.map", 20, "1 von 2: …mühle.map"},
      {1, 2, "東京/地.map", 17, "1 von 2: …地.map"},
      {1, 2, "東京/地.map", 19, "1 von 2: …/地.map"},
      {1, 2, "東京/地.map", 20, "1 von 2: …京/地.map"},
      // A combining accent counts no column and does not start the shortened path.
      {1, 2, "xe\xCC\x81.map", 15, "1 von 2: ….map"},
      {1, 2, "xe\xCC\x81.map", 16, "1 von 2: xe\xCC\x81.map"},
      // Names may hold anything but '/' and NUL.
      {1, 2, "a\nb\rc\x1B[2J\x7F.map", 80, "1 von 2: a?b?c?[2J?.map"},
      {1, 2,
       "\xC2\x9B"
       "31m\xFF\xC3.map\xE2\x82",
       80, "1 von 2: ?31m??.map??"},
      {1, 2, "\xED\xA0\x80\xC0\xAF", 80, "1 von 2: ?????"},
      {12, 34, "a.map", 6, "12 vo"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressText(c.done, c.total, c.path, c.columns), c.text) << c.path;
  }
}

}  // namespace
}  // namespace kal2map
