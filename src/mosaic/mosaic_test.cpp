#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>

#include "georef/projection.h"
#include "mosaic/plan.h"
#include "test_util.h"

namespace kal2map {
namespace {

// A sheet of `metres` per pixel, north up in its UTM zone, centred on (lat, lon).
SheetModel Sheet(double lat, double lon, double metres, double w, double h) {
  const Projection utm = *UtmZone(lat, lon);
  const Planar centre = *Forward(utm, lat, lon);
  std::vector<GeoPoint> points;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {w, 0}, {w, h}, {0, h}}) {
    const LonLat at =
        *Inverse(utm, centre.x + (x - w / 2) * metres, centre.y - (y - h / 2) * metres);
    points.push_back({static_cast<int>(points.size()) + 1, x, y, at.lon, at.lat});
  }
  return *FitSheet(points).sheet;
}

// A 24-bit BMP of one colour.
void WriteBmp(const std::filesystem::path& path, int w, int h, std::array<std::uint8_t, 3> rgb) {
  const int stride = (w * 3 + 3) / 4 * 4;
  std::string bmp(54 + std::size_t(stride) * h, '\0');
  auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put(2, static_cast<std::uint32_t>(bmp.size()), 4), put(10, 54, 4), put(14, 40, 4);
  put(18, w, 4), put(22, h, 4), put(26, 1, 2), put(28, 24, 2);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c)
        bmp[54 + std::size_t(y) * stride + x * 3 + c] = static_cast<char>(rgb[2 - c]);
    }
  }
  test::WriteFile(path, bmp);
}

struct MemorySpill : TileSpill {
  std::map<std::uint64_t, std::vector<std::uint8_t>> stored;
  std::size_t puts = 0;
  std::error_code Put(std::uint64_t key, std::span<const std::uint8_t> bytes) override {
    ++puts;
    stored[key].assign(bytes.begin(), bytes.end());
    return {};
  }
  std::error_code Take(std::uint64_t key, std::vector<std::uint8_t>& bytes) override {
    bytes = std::move(stored.at(key));
    stored.erase(key);
    return {};
  }
};

using Tiles = std::map<std::tuple<int, int, int>, std::vector<std::uint8_t>>;

TEST(Mosaic, TheFinerSheetThenTheLaterShowsWhateverTheMemory) {
  const std::filesystem::path folder = ::testing::TempDir() + "mosaic";
  std::filesystem::create_directories(folder);
  const std::array<std::uint8_t, 3> red{200, 0, 0}, blue{0, 0, 200};
  struct Case {
    double first_metres, second_metres;
    std::array<std::uint8_t, 3> shown;  // at the middle, where both lie
  } cases[] = {{20, 10, blue}, {10, 20, red}, {10, 10, blue}};
  for (const Case& c : cases) {
    std::vector<MosaicSheet> sheets;
    for (const auto& [metres, colour] : {std::pair{c.first_metres, red}, {c.second_metres, blue}}) {
      const int w = static_cast<int>(4000 / metres), h = static_cast<int>(3000 / metres);
      MosaicSheet s{"s" + std::to_string(sheets.size()),
                    Sheet(47.5, 11.5, metres, w, h),
                    folder / ("s" + std::to_string(sheets.size()) + ".bmp"),
                    std::uint32_t(w),
                    std::uint32_t(h),
                    {{0, 0}, {double(w), 0}, {double(w), double(h)}, {0, double(h)}}};
      WriteBmp(s.image, w, h, colour);
      sheets.push_back(std::move(s));
    }
    std::vector<std::string> warnings;
    const std::vector<Footprint> footprints = Footprints(sheets, warnings);
    MercatorMosaic mosaic;
    ASSERT_FALSE(PlanMercator(footprints, mosaic));
    EXPECT_EQ(mosaic.levels.top, 14);  // 12.9 m a pixel at zoom 13 there, 6.5 m at 14
    std::vector<Tiles> runs;
    for (const std::size_t memory : {std::size_t{1}, std::size_t{64} << 20}) {
      Tiles& tiles = runs.emplace_back();
      MemorySpill spill;
      MosaicSummary summary;
      const TileEmit emit = [&](int level, int column, int row, int w, int h,
                                const std::uint8_t* rgb) {
        EXPECT_TRUE(tiles
                        .emplace(std::tuple(level, column, row),
                                 std::vector<std::uint8_t>(rgb, rgb + 3 * w * h))
                        .second);
        return std::error_code{};
      };
      ASSERT_FALSE(Compose(mosaic.parts, mosaic.levels, emit, spill, {memory, std::size_t{8} << 20},
                           {}, summary));
      EXPECT_EQ(memory == 1, spill.puts > 0);
      EXPECT_TRUE(spill.stored.empty());
      EXPECT_EQ(summary.tiles, tiles.size());
    }
    EXPECT_EQ(runs[0], runs[1]);
    const Tiles& tiles = runs[0];
    for (int level = mosaic.levels.lowest; level <= mosaic.levels.top; ++level) {
      const auto count =
          std::ranges::count_if(tiles, [&](auto& t) { return std::get<0>(t.first) == level; });
      EXPECT_EQ(count == 1, level == mosaic.levels.lowest) << level;
      EXPECT_GE(count, 1) << level;
    }
    const TileGrid grid = MercatorGrid(mosaic.levels.top);
    const double x = grid.XAt(11.5), y = grid.YAt(47.5);
    const auto& tile = tiles.at({mosaic.levels.top, int(x / 256), int(y / 256)});
    const std::size_t at = 3 * (std::size_t(y) % 256 * 256 + std::size_t(x) % 256);
    EXPECT_EQ(std::vector<std::uint8_t>(tile.begin() + at, tile.begin() + at + 3),
              std::vector<std::uint8_t>(c.shown.begin(), c.shown.end()))
        << c.first_metres << " " << c.second_metres;
  }
}

}  // namespace
}  // namespace kal2map
