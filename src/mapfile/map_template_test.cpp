#include "mapfile/map_template.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kal2map {
namespace {

// Lengths of the runs of blanks in `text`, in order.
std::vector<int> BlankRuns(const std::string& text) {
  std::vector<int> runs;
  int run = 0;
  for (char c : text + "x") {
    if (c == ' ') {
      ++run;
    } else if (run > 0) {
      runs.push_back(run);
      run = 0;
    }
  }
  return runs;
}

TEST(MapTemplate, PointLinesAreNumberedAndSized) {
  State state;
  FillTemplate(state);
  for (int slot = 10; slot <= 39; ++slot) {
    const std::string& line = state.Template[slot];
    char number[8];
    std::snprintf(number, sizeof number, "Point%02d", slot - 9);
    EXPECT_EQ(line.rfind(number, 0), 0u) << slot;
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 16) << slot;
    if (slot <= 11) {
      EXPECT_EQ(line.size(), 98u) << slot;
      EXPECT_EQ(line.substr(line.size() - 2), ",N");
    } else {
      EXPECT_EQ(line.size(), 95u) << slot;
      EXPECT_EQ(line.back(), ',');
    }
  }
  EXPECT_EQ(state.Template[12],
            "Point03,xy,     ,     ,in, deg,    ,        ,,    ,        ,, grid,   ,           ,"
            "           ,");
}

TEST(MapTemplate, FixedTextsKeepEveryBlank) {
  State state;
  FillTemplate(state);
  const auto& t = state.Template;
  EXPECT_EQ(BlankRuns(t[5]), (std::vector<int>{1, 1, 3, 3, 1}));
  EXPECT_EQ(BlankRuns(t[41]), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 5, 1, 1, 1, 1}));
  EXPECT_EQ(BlankRuns(t[42]), (std::vector<int>{1, 1, 1, 6, 1, 1, 1, 1}));
  EXPECT_EQ(BlankRuns(t[43]), (std::vector<int>{1, 1, 1, 1, 4, 1, 1, 1, 1}));
  for (int slot : {41, 42, 43}) EXPECT_EQ(t[slot].substr(t[slot].size() - 6), "exist2");
  EXPECT_EQ(t[40], "Projection Setup,,,,,,,,,,");
  EXPECT_TRUE(t[0].empty());
  EXPECT_TRUE(t[44].empty());
  EXPECT_TRUE(state.PointPieces[0].empty());

  const auto& p = state.PointPieces;
  EXPECT_EQ(p[3], ", ");
  EXPECT_EQ(p[5], p[3]);
  EXPECT_EQ(p[7], p[3]);
  EXPECT_EQ(BlankRuns(p[8]), (std::vector<int>{1, 3, 11, 11}));
  std::vector<std::size_t> sizes;
  for (int i = 1; i <= 8; ++i) sizes.push_back(p[i].size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{5, 5, 2, 10, 2, 4, 2, 38}));
}

TEST(MapTemplate, FillingTwiceGivesTheSameState) {
  State once, twice;
  FillTemplate(once);
  FillTemplate(twice);
  twice.Template[10] = "changed";
  FillTemplate(twice);
  EXPECT_EQ(once.Template, twice.Template);
  EXPECT_EQ(once.PointPieces, twice.PointPieces);
}

}  // namespace
}  // namespace kal2map
