#include "cli/progress.h"

#include <gtest/gtest.h>

#include <utility>

namespace kal2map {
namespace {

TEST(ProgressPacer, QuietInTheFirstSecondThenAtMostTenTimesASecond) {
  const std::pair<int, bool> calls[] = {// milliseconds since the run began, and whether due
                                        {0, false},    {999, false},  {1000, false}, {1001, true},
                                        {1002, false}, {1100, false}, {1101, true},  {1150, false},
                                        {9000, true},  {9001, false}};
  const ProgressPacer::Clock::time_point start{};
  ProgressPacer pacer(start);
  for (const auto& [ms, due] : calls) {
    EXPECT_EQ(pacer.Due(start + std::chrono::milliseconds(ms)), due) << ms;
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
      // The last column stays free: some terminals wrap when it is written.
      {1234, 5000, "./a/b/blatt.map", 31, "1234 von 5000: ./a/b/blatt.map"},
      {1234, 5000, "./a/b/blatt.map", 30, "1234 von 5000: …/b/blatt.map"},
      {1, 2, std::string(200, 'x') + "/k.map", 0, "1 von 2: …/k.map"},
      // Cut between characters, never inside one; wide ones take two columns, accents none.
      {1, 2, "Łódź/Ölmühle.map", 20, "1 von 2: …mühle.map"},
      {1, 2, "東京/地.map", 19, "1 von 2: …/地.map"},
      {1, 2, "xe\xCC\x81.map", 15, "1 von 2: ….map"},
      // Names may hold anything but '/' and NUL; none of it may steer the terminal.
      {1, 2, "a\nb\rc\x1B[2J\x7F.map", 80, "1 von 2: a?b?c?[2J?.map"},
      {1, 2,
       "\xC2\x9B"
       "31m\xFF\xC3.map\xE2\x82",
       80, "1 von 2: ?31m??.map??"},
      {12, 34, "a.map", 6, "12 vo"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TerminalProgressLine(c.done, c.total, c.path, c.columns), c.text) << c.path;
  }
}

}  // namespace
}  // namespace kal2map
