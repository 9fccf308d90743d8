#include "record/map_format.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kal2map::map_format {
namespace {

// Lengths of the runs of blanks in `text`, in order.
std::vector<int> BlankRuns(std::string_view text) {
  std::vector<int> runs;
  int run = 0;
  for (char c : std::string(text) + "x") {
    if (c == ' ') {
      ++run;
    } else if (run > 0) {
      runs.push_back(run);
      run = 0;
    }
  }
  return runs;
}

TEST(MapFormat, EmptyPointLinesAreNumberedAndSized) {
  for (int n = 1; n <= kMaxPoints; ++n) {
    const std::string_view line = EmptyPointLine(n);
    char number[8];
    std::snprintf(number, sizeof number, "Point%02d", n);
    EXPECT_EQ(line.rfind(number, 0), 0u) << n;
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 16) << n;
    if (n <= 2) {
      EXPECT_EQ(line.size(), 98u) << n;
      EXPECT_EQ(line.substr(line.size() - 2), ",N");
    } else {
      EXPECT_EQ(line.size(), 95u) << n;
      EXPECT_EQ(line.back(), ',');
    }
  }
  EXPECT_EQ(EmptyPointLine(3),
            "Point03,xy,     ,     ,in, deg,    ,        ,,    ,        ,, grid,   ,           ,"
            "           ,");
}

TEST(MapFormat, FixedTextsKeepEveryBlank) {
  EXPECT_EQ(BlankRuns(kLinesAfterImage[1]), (std::vector<int>{1, 1, 3, 3, 1}));
  EXPECT_EQ(BlankRuns(kClosingLines[1]), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 5, 1, 1, 1, 1}));
  EXPECT_EQ(BlankRuns(kClosingLines[2]), (std::vector<int>{1, 1, 1, 6, 1, 1, 1, 1}));
  EXPECT_EQ(BlankRuns(kClosingLines[3]), (std::vector<int>{1, 1, 1, 1, 4, 1, 1, 1, 1}));
  for (int i : {1, 2, 3}) EXPECT_EQ(kClosingLines[i].substr(kClosingLines[i].size() - 6), "exist2");
  EXPECT_EQ(kClosingLines[0], "Projection Setup,,,,,,,,,,");
  EXPECT_EQ(BlankRuns(kEastTail), (std::vector<int>{1, 3, 11, 11}));
  EXPECT_EQ(kWestTail.substr(2), kEastTail.substr(2));
  // Lines before, between and after the points add up to the fixed line count.
  EXPECT_EQ(3 + kLinesAfterImage.size() + kMaxPoints + kClosingLines.size(), kLineCount);
  EXPECT_EQ(3 + kLinesAfterImage.size() + 1, kFirstPointLine);
}

}  // namespace
}  // namespace kal2map::map_format
