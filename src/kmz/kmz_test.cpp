#include "kmz/kmz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <regex>

#include "kmz/zip.h"

namespace kal2map {
namespace {

constexpr int kBackground = 200;

// A grey scan with black single-pixel marks, decoded from the top as a codec would.
class Scan : public ImageRows {
 public:
  Scan(std::uint32_t w, std::uint32_t h) : w_(w), h_(h) {}
  std::uint32_t width() const override { return w_; }
  std::uint32_t height() const override { return h_; }
  bool Marked(std::uint32_t x, std::uint32_t y) const {
    return x % (w_ / 6) == 7 && y % (h_ / 5) == 3 && x > 7 && y > 3;
  }
  std::error_code NextRow(std::uint8_t* rgb) override {
    if (y_ >= h_) return std::make_error_code(std::errc::io_error);
    for (std::uint32_t x = 0; x < w_; ++x)
      std::memset(rgb + 3 * x, Marked(x, y_) ? 0 : kBackground, 3);
    return ++y_, std::error_code{};
  }

 private:
  std::uint32_t w_, h_, y_ = 0;
};

// A sheet in a UTM zone around (lat, lon), `metres` a pixel, turned by `degrees`.
SheetModel Sheet(double lat, double lon, double metres, double degrees, double w, double h) {
  const Projection utm = *UtmZone(lat, lon);
  const Planar centre = *Forward(utm, lat, lon);
  const double a = degrees * kRad;
  std::vector<GeoPoint> points;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {w, 0}, {w, h}, {0, h}, {w / 2, h / 3}}) {
    const double dx = (x - w / 2) * metres, dy = (y - h / 2) * metres;
    const LonLat at = *Inverse(utm, centre.x + dx * std::cos(a) + dy * std::sin(a),
                               centre.y + dx * std::sin(a) - dy * std::cos(a));
    points.push_back({static_cast<int>(points.size()) + 1, x, y, at.lon, at.lat});
  }
  return *FitSheet(points).sheet;
}

// Stands in for the JPEG codec: the tile's size and its pixels' grey (the scan has no colour).
std::error_code RawEncoder(const std::uint8_t* rgb, std::uint32_t w, std::uint32_t h, int,
                           std::string& out) {
  out = std::to_string(w) + " " + std::to_string(h) + "\n";
  for (std::size_t i = 0; i < std::size_t{w} * h; ++i) out += static_cast<char>(rgb[3 * i]);
  return {};
}

// The archive's entries in order, their checksums verified.
std::vector<std::pair<std::string, std::string>> Unzip(const std::string& zip) {
  auto at = [&](std::size_t i, int bytes) {
    std::uint32_t v = 0;
    for (int b = bytes - 1; b >= 0; --b) v = v << 8 | static_cast<unsigned char>(zip[i + b]);
    return v;
  };
  std::vector<std::pair<std::string, std::string>> entries;
  for (std::size_t i = 0; at(i, 4) == 0x04034B50;) {
    const std::size_t name = at(i + 26, 2), size = at(i + 18, 4);
    entries.emplace_back(zip.substr(i + 30, name), zip.substr(i + 30 + name, size));
    EXPECT_EQ(Crc32(entries.back().second), at(i + 14, 4)) << entries.back().first;
    i += 30 + name + size;
  }
  EXPECT_EQ(at(zip.size() - 22, 4), 0x06054B50u);
  EXPECT_EQ(at(zip.size() - 12, 2), entries.size());
  return entries;
}

struct Drawn {
  int row = 0, column = 0, width = 0, height = 0;
  LatLonBox box;
  std::string grey;
};

// The tiles as a reader finds them: named and placed by doc.kml, drawn in files/.
std::vector<Drawn> Tiles(const std::string& kmz) {
  const auto entries = Unzip(kmz);
  EXPECT_EQ(entries.at(0).first, "doc.kml");
  const std::map<std::string, std::string> files(entries.begin(), entries.end());
  const std::regex overlay(
      "<href>(files/tile_(\\d+)_(\\d+).jpg)</href></Icon>\\s*<LatLonBox><north>([^<]+)</"
      "north><south>"
      "([^<]+)</south><east>([^<]+)</east><west>([^<]+)</west>");
  std::vector<Drawn> tiles;
  for (std::sregex_iterator m(entries[0].second.begin(), entries[0].second.end(), overlay), end;
       m != end; ++m) {
    Drawn& t = tiles.emplace_back();
    t.row = std::stoi((*m)[2]);
    t.column = std::stoi((*m)[3]);
    t.box = {std::stod((*m)[4]), std::stod((*m)[5]), std::stod((*m)[6]), std::stod((*m)[7])};
    const std::string& raw = files.at((*m)[1]);
    std::sscanf(raw.c_str(), "%d %d", &t.width, &t.height);
    t.grey = raw.substr(raw.find('\n') + 1);
  }
  return tiles;
}

TEST(Kmz, PlacesTheScanInAdjoiningTilesWithinBudgetAndWindow) {
  struct Case {
    const char* name;
    double lat, lon, degrees;
    int max_tiles;
    std::size_t window_bytes;
    bool reduced;
    double pixels;  // how far, in scan pixels, a mark may land from its place
  } cases[] = {
      {"turned", 47.3, 8.5, 1.5, 100, kWindowBytes, false, 0.1},
      {"budget", 47.3, 8.5, 1.5, 4, kWindowBytes, true, 1},
      {"window", -33.9, 151.2, -4, 100, 1 << 20, false, 3},
      {"antimeridian", -16.8, 179.95, 2, 100, kWindowBytes, false, 0.1},
      {"on its side", 60.2, 24.9, 90, 100, 3 << 20, false, 1.5},
      {"upside down", 60.2, 24.9, 180, 100, kWindowBytes, false, 0.1},
  };
  const std::uint32_t w = 3000, h = 2000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SheetModel sheet = Sheet(c.lat, c.lon, 10, c.degrees, w, h);
    Scan scan(w, h);
    KmzOptions options;
    options.max_tiles = c.max_tiles;
    options.window_bytes = c.window_bytes;
    const KmzResult kmz = MakeKmz(sheet, scan, "Blatt & <Nord>", options, RawEncoder);
    ASSERT_FALSE(kmz.error) << kmz.error.message();
    EXPECT_EQ(kmz.reduced, c.reduced);
    const std::vector<Drawn> tiles = Tiles(kmz.bytes);
    ASSERT_EQ(tiles.size(), static_cast<std::size_t>(kmz.tiles));
    EXPECT_LE(kmz.tiles, c.max_tiles);
    std::map<std::pair<int, int>, LatLonBox> grid;
    for (const Drawn& t : tiles) {
      grid[{t.row, t.column}] = t.box;
      EXPECT_TRUE(t.box.west >= -180 && t.box.west < t.box.east && t.box.east <= 180);
      EXPECT_TRUE(std::ranges::any_of(t.grey, [](char v) { return v != '\xFF'; }))
          << "blank tile " << t.row << " " << t.column;
    }
    int split = 0;
    for (const auto& [place, box] : grid) {
      const auto [row, column] = place;
      if (const auto east = grid.find({row, column + 1}); east != grid.end()) {
        split += box.east == 180 && east->second.west == -180;
        if (box.east != 180) {
          EXPECT_EQ(box.east, east->second.west);
        }
      }
      if (const auto south = grid.find({row + 1, column}); south != grid.end()) {
        EXPECT_EQ(box.south, south->second.north);
      }
    }
    EXPECT_EQ(split > 0, c.lon == 179.95);
    // The dark pixels, placed by their tiles' boxes, back in the scan: centred on the marks.
    std::map<std::pair<long, long>, std::array<double, 3>> marks;  // weight, x and y sums
    for (const Drawn& t : tiles) {
      for (int i = 0; i < t.width * t.height; ++i) {
        const int dark = kBackground - static_cast<unsigned char>(t.grey[i]);
        if (dark <= 0) continue;
        const double x = (i % t.width + 0.5) / t.width, y = (i / t.width + 0.5) / t.height;
        const LatLonBox& b = t.box;
        const auto at =
            *sheet.PixelAt(b.north - y * (b.north - b.south), b.west + x * (b.east - b.west));
        auto& sums =
            marks[{std::lround((at[0] - 7.5) / (w / 6)), std::lround((at[1] - 3.5) / (h / 5))}];
        sums = {sums[0] + dark, sums[1] + dark * at[0], sums[2] + dark * at[1]};
      }
    }
    EXPECT_EQ(marks.size(), 5u * 4u);
    for (const auto& [mark, sums] : marks) {
      EXPECT_LT(std::hypot(sums[1] / sums[0] - mark.first * (w / 6) - 7.5,
                           sums[2] / sums[0] - mark.second * (h / 5) - 3.5),
                c.pixels)
          << mark.first << " " << mark.second;
    }
  }
}

TEST(Kmz, HoldsNoMoreScanRowsThanTheWindowAllows) {
  for (const double degrees : {0.0, 4.0, 90.0, 180.0}) {
    for (const std::size_t budget : {std::size_t{1} << 18, kWindowBytes}) {
      const SheetModel sheet = Sheet(47.3, 8.5, 10, degrees, 1500, 1000);
      Scan scan(1500, 1000);
      WarpStats stats;
      const auto sink = [](const Tile&, const std::uint8_t*, const std::uint8_t*) {
        return std::error_code{};
      };
      ASSERT_FALSE(WarpTiles(sheet, *PlanTiles(sheet, 1500, 1000), scan, sink, &stats, budget));
      EXPECT_LE(stats.window_bytes, budget) << degrees;
      EXPECT_EQ(stats.decode_scale == 1, budget == kWindowBytes) << degrees;
    }
  }
}

TEST(Kmz, ShrinksTilesBeyondTheReceiversLimitOrFails) {
  const SheetModel sheet = Sheet(47.3, 8.5, 10, 0, 900, 700);
  for (const auto& [bytes_per_quality, qualities, fails] : {std::tuple{10'000, "85", false},
                                                            {40'000, "85 70", false},
                                                            {400'000, "85 70 55 40 25 10", true}}) {
    Scan scan(900, 700);
    std::string tried;
    const KmzResult kmz =
        MakeKmz(sheet, scan, "x", {}, [&](auto, auto, auto, int q, std::string& out) {
          tried += (tried.empty() ? "" : " ") + std::to_string(q);
          out.assign(static_cast<std::size_t>(q) * bytes_per_quality, 'j');
          return std::error_code{};
        });
    EXPECT_EQ(tried, qualities);
    EXPECT_EQ(kmz.error, fails ? MakeError(KmzError::kTileTooLarge) : std::error_code{});
  }
}

TEST(Kmz, ChecksumsAsZipReadersComputeThem) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
}

}  // namespace
}  // namespace kal2map
