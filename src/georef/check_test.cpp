#include "georef/check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <sstream>

#ifndef KAL2MAP_TEST_DATA
#define KAL2MAP_TEST_DATA "tests/data"
#endif

namespace kal2map {
namespace {

// Simulated calibrations of real sheets, made by scripts/make-test-sheets.
struct Sheet {
  std::string name;
  ImageExtent image;
  double degrees = 0;  // across
  std::vector<GeoPoint> points;
};

const std::vector<Sheet>& Sheets() {
  static const std::vector<Sheet> sheets = [] {
    std::vector<Sheet> result;
    std::ifstream in(KAL2MAP_TEST_DATA "/sheets.txt");
    for (std::string line, word; std::getline(in, line);) {
      std::istringstream fields(line);
      if (line.starts_with("sheet ")) {
        Sheet& s = result.emplace_back();
        fields >> word >> s.name >> s.image.width >> s.image.height >> s.degrees;
      } else if (!line.empty() && line[0] != '#' && !result.empty()) {
        GeoPoint& p = result.back().points.emplace_back();
        p.number = static_cast<int>(result.back().points.size());
        fields >> p.x >> p.y >> p.lon >> p.lat;
      }
    }
    return result;
  }();
  return sheets;
}

// Without an image size the check measures against the points' extent.
double Diagonal(const Sheet& sheet, bool with_image) {
  if (with_image) return std::hypot(sheet.image.width, sheet.image.height);
  auto [x0, x1] = std::ranges::minmax(sheet.points, {}, &GeoPoint::x);
  auto [y0, y1] = std::ranges::minmax(sheet.points, {}, &GeoPoint::y);
  return std::hypot(x1.x - x0.x, y1.y - y0.y);
}

// A warning without its words: "misfit 3 294" is point 3, 294 pixels off.
std::string Brief(const CalibrationWarning& w) {
  std::string brief =
      std::array{"few", "same", "misfit", "outside", "none", "noplace"}[int(w.kind)];
  for (int n : {w.point, w.other}) brief += n ? " " + std::to_string(n) : "";
  return brief + (w.pixels > 0 ? " " + std::to_string(std::lround(w.pixels)) : "");
}

// Each sheet, and each part of four or five points of its 3 x 3 grid: a user may calibrate
// any of them, including three points on one edge, which cannot place a fourth.
TEST(CheckCalibration, RealSheetsDoNotWarn) {
  ASSERT_GT(Sheets().size(), 500u) << "no sheets.txt in " KAL2MAP_TEST_DATA;
  double largest = 0;
  for (const Sheet& sheet : Sheets()) {
    const unsigned all = (1u << sheet.points.size()) - 1;
    for (unsigned part = all; part > 0; --part) {
      if (part != all && (all != 511 || std::popcount(part) < 4 || std::popcount(part) > 5))
        continue;
      Sheet s = sheet;
      std::erase_if(s.points, [&](const GeoPoint& p) { return !(part >> (p.number - 1) & 1); });
      const SheetFit fit = FitSheet(s.points);
      for (bool with_image : {true, false}) {
        for (const CalibrationWarning& w :
             CheckCalibration(s.points, fit, with_image ? std::optional(s.image) : std::nullopt)) {
          ADD_FAILURE() << s.name << " part " << part << ": " << Brief(w);
        }
      }
      for (std::size_t i = 0; part == all && i < s.points.size(); ++i) {
        largest = std::max(largest, Misfit(s.points, fit, i).value_or(0) / Diagonal(s, true));
      }
    }
  }
  std::cout << "largest misfit of a real sheet: " << 100 * largest << " % of the diagonal\n";
}

// One point moved by just over 2 % of the diagonal (sheets up to half a degree across) or 5 %
// (up to 3 degrees): in x, in y, on the diagonals, in its latitude, in its longitude.
TEST(CheckCalibration, NamesAPointMovedByATypingError) {
  double smallest = 1;
  for (const Sheet& sheet : Sheets()) {
    const GeoFit fit = FitGeoPoints(sheet.points);
    const double det = std::abs(fit.lon.cu * fit.lat.cv - fit.lon.cv * fit.lat.cu);
    for (bool with_image : {true, false}) {
      const double move = (sheet.degrees <= 0.5 ? 0.0201 : 0.0501) * Diagonal(sheet, with_image);
      const double half = std::ceil(move / std::sqrt(2.0));
      const double moves[6][4] = {{std::ceil(move), 0, 0, 0},
                                  {0, -std::ceil(move), 0, 0},
                                  {half, half, 0, 0},
                                  {-half, half, 0, 0},
                                  {0, 0, 0, move * det / std::hypot(fit.lon.cu, fit.lon.cv)},
                                  {0, 0, -move * det / std::hypot(fit.lat.cu, fit.lat.cv), 0}};
      for (std::size_t index : {std::size_t{0}, sheet.points.size() - 1}) {  // corner, centre
        for (const auto& m : moves) {
          std::vector<GeoPoint> points = sheet.points;
          GeoPoint& p = points[index];
          p = {p.number, p.x + m[0], p.y + m[1], p.lon + m[2], p.lat + m[3]};
          auto warnings = CheckCalibration(points, FitSheet(points),
                                           with_image ? std::optional(sheet.image) : std::nullopt);
          std::erase_if(warnings, [](auto& w) { return w.kind != CheckKind::kMisfit; });
          const std::string where = sheet.name + " point " + std::to_string(p.number) +
                                    (with_image ? "" : " (no image size)");
          ASSERT_EQ(warnings.size(), 1u) << where;
          // With four points each is as far from the others' place; any may be named.
          if (points.size() > 4) {
            EXPECT_EQ(warnings[0].point, p.number) << where;
          }
          smallest = std::min(smallest, warnings[0].pixels / Diagonal(sheet, with_image));
        }
      }
    }
  }
  std::cout << "smallest misfit of a moved point: " << 100 * smallest << " % of the diagonal\n";
}

GeoPoint At(int number, double x, double y) {  // north up, 1 second per pixel
  return {number, x, y, 13 + x / 3600, 52 - y / 3600};
}

TEST(CheckCalibration, WarnsOncePerReasonAndPoint) {
  const ImageExtent image{6000, 4000};
  std::vector<GeoPoint> grid;
  for (int i = 0; i < 9; ++i) grid.push_back(At(i + 1, i % 3 * 3000, i / 3 * 2000));
  std::vector<GeoPoint> two_typos = grid, no_point = grid;
  two_typos[2].lat -= 0.1, two_typos[6].lat += 0.05;  // 52.0 typed as 51.9, 50.88 as 50.93
  no_point[4].lat = 514.44444;                        // 51.444444, its decimal point misplaced
  std::vector<GeoPoint> scrambled = grid;             // a wrong calibration as a whole
  for (std::size_t i = 0; i < scrambled.size(); ++i) {
    scrambled[i].lon += static_cast<double>(i * 37 % 11) * 0.05;
    scrambled[i].lat += static_cast<double>(i * 23 % 7) * 0.04;
  }
  const std::vector<GeoPoint> small = {At(1, 100, 100),
                                       At(2, 700, 100),
                                       At(3, 100, 500),
                                       {4, 730, 507, At(0, 700, 500).lon, At(0, 700, 500).lat}};
  // A south-east corner's longitude mistyped by 2.5 % (1:50,000 Gauss-Krüger), 5.5 % (1:250,000
  // UTM) of the diagonal. The north-west one, across a lever, is as far off but leaves no scan.
  // clang-format off
  const std::vector<GeoPoint> gk = {{1, 159, 3672, 10, 51}, {2, 3852, 3652, 10.345841, 51},
      {3, 148, 168, 10, 51.2}, {4, 3825, 148, 10.333333, 51.2}, {5, 1079, 2933, 10.083333, 51.042},
      {6, 1997, 2052, 10.166667, 51.092}, {7, 2912, 1171, 10.25, 51.142}};
  const std::vector<GeoPoint> utm = {{1, 223, 3795, 9, 47}, {2, 5012, 3692, 11.15195, 47},
      {3, 193, 295, 9, 48}, {4, 4891, 193, 11, 48}, {5, 1416, 3466, 9.5, 47.09},
      {6, 3757, 1665, 10.5, 47.59}};
  // clang-format on
  std::vector<GeoPoint> lever = {grid[0], grid[2], grid[6], grid[8]};
  lever[3].x += 100;
  const struct {
    std::vector<GeoPoint> points;
    std::optional<ImageExtent> image;
    std::vector<std::string> texts;
  } cases[] = {
      {{}, image, {"few"}},
      {{At(1, 10, 10)}, image, {"few"}},
      {{At(1, 0, 0), At(2, 6000, 4000), At(3, 6000, 0), At(4, 0, 4000)}, image, {}},  // edges
      {{At(1, 0, 0), At(2, 6001, 10), At(3, -1, 4000)}, image, {"outside 2", "outside 3"}},
      {{At(1, 0, 0), At(2, 6001, 10)}, std::nullopt, {}},
      {{At(1, 0, 0), At(2, 6001, 10)}, ImageExtent{0, 0}, {}},  // no size read
      {{At(2, 0, 0), At(5, 0, 0), At(7, 0, 0), {9, 0, 0, 14, 52}, At(8, 900, 900)},
       image,
       {"same 9 2", "noplace"}},
      {{At(2, 0, 0), {5, 0, 0, 14, 52}, {7, 0, 0, 13, 53}},
       image,
       {"same 5 2", "same 7 2", "noplace"}},
      {two_typos, std::nullopt, {"misfit 3 294", "misfit 7 180"}},
      {no_point, image, {"misfit 5 1666800"}},
      {scrambled, std::nullopt, {"none 710"}},
      {gk, ImageExtent{4000, 3820}, {"misfit 2 126"}},
      {utm, ImageExtent{5204, 3988}, {"misfit 2 294"}},
      // To an affine fit, 9 moved in x is 3 moved back: either may come first.
      {lever, std::nullopt, {"misfit 3 9 100"}},
      {small, std::nullopt, {"misfit 4 31"}},
  };
  for (const auto& k : cases) {
    std::vector<std::string> texts;
    for (const CalibrationWarning& w : CheckCalibration(k.points, FitSheet(k.points), k.image)) {
      texts.push_back(Brief(w));
    }
    EXPECT_EQ(texts, k.texts) << k.points.size() << " points";
  }
}

}  // namespace
}  // namespace kal2map
