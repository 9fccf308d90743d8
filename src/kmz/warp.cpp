#include "kmz/warp.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <vector>

#include "util/size.h"

namespace kal2map {
namespace {

// Along a row of output pixels the scan position is computed exactly every this many pixels
// and on a straight line between: over so few pixels a projection bends by a tiny fraction of
// a pixel, and projecting every pixel would cost a hundred times more.
constexpr int kExactEvery = 64;
// Points along each side of a tile through which its rows of the scan are found.
constexpr int kSideSamples = 32;
// Scan pixels beyond the rows found, for a side's bend between its samples.
constexpr double kBendMargin = 2;

// The scan's y positions a tile's pixels map to, in scan pixels.
struct Reach {
  double low = 0, high = 0;
};

Reach ScanReach(const SheetModel& sheet, const TileGrid& grid, const Tile& tile,
                std::uint32_t height) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  auto probe = [&](double x, double y) {
    if (const auto at = sheet.PixelAt(grid.LatAt(y), grid.LonAt(x))) {
      low = std::min(low, (*at)[1]);
      high = std::max(high, (*at)[1]);
    }
  };
  const double x0 = static_cast<double>(tile.x) + 0.5, y0 = static_cast<double>(tile.y) + 0.5;
  const double x1 = x0 + tile.width - 1, y1 = y0 + tile.height - 1;
  for (int i = 0; i <= kSideSamples; ++i) {
    const double t = static_cast<double>(i) / kSideSamples;
    probe(x0 + t * (x1 - x0), y0);
    probe(x0 + t * (x1 - x0), y1);
    probe(x0, y0 + t * (y1 - y0));
    probe(x1, y0 + t * (y1 - y0));
  }
  if (!(low <= high))
    return {0, static_cast<double>(height)};  // the sides have no place: the whole scan
  return {std::clamp(low - kBendMargin, 0.0, static_cast<double>(height)),
          std::clamp(high + kBendMargin, 0.0, static_cast<double>(height))};
}

// Decoded pixels across (or down) at `scale`.
std::uint64_t ScaledWidth(std::uint32_t width, int scale) {
  return (std::uint64_t{width} + scale - 1) / scale;
}

struct RowSpan {
  std::int64_t first = 0, last = 0;  // decoded rows, both held
};

// The decoded rows that bilinear sampling between `reach` reads at `scale`: pixel centres lie
// at half-integers, so a position reads the rows whose centres are either side of it.
RowSpan Rows(const Reach& reach, int scale, std::uint32_t decoded_height) {
  const std::int64_t last = std::int64_t{decoded_height} - 1;
  return {std::clamp<std::int64_t>(std::floor(reach.low / scale - 0.5), 0, last),
          std::clamp<std::int64_t>(std::floor(reach.high / scale + 0.5), 0, last)};
}

// Rows of the scan, `scale` x `scale` pixels averaged into one, decoded in turn into a ring
// that holds the rows from the first still wanted to the last decoded. The caller has checked
// that `rows` such rows fit the window's bytes and a row of the scan the budget, and so a
// size_t.
class RowWindow {
 public:
  RowWindow(ImageRows& source, int scale, std::size_t rows)
      : source_(source),
        scale_(scale),
        width_(static_cast<std::uint32_t>(ScaledWidth(source.width(), scale))),
        height_(static_cast<std::uint32_t>(ScaledWidth(source.height(), scale))),
        rows_(rows),
        ring_(rows * width_ * 3),
        line_(std::size_t{source.width()} * 3) {
    if (scale > 1) sums_.resize(std::size_t{width_} * 3);
  }

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }

  // Rows before `first` will not be asked for again.
  void Release(std::int64_t first) { first_ = std::max(first_, first); }

  // Decodes on through row `last`.
  std::error_code DecodeThrough(std::int64_t last) {
    last = std::min<std::int64_t>(last, std::int64_t{height_} - 1);
    while (next_ <= last) {
      if (next_ - first_ >= static_cast<std::int64_t>(rows_)) ++first_;  // never, as sized
      if (const std::error_code ec = DecodeRow(Slot(next_))) return ec;
      ++next_;
    }
    return {};
  }

  // Row `y`, or the nearest held row.
  const std::uint8_t* Row(std::int64_t y) const {
    return Slot(std::clamp(y, first_, std::max(first_, next_ - 1)));
  }

 private:
  std::size_t Offset(std::int64_t y) const {
    return static_cast<std::size_t>(y % static_cast<std::int64_t>(rows_)) * width_ * 3;
  }
  const std::uint8_t* Slot(std::int64_t y) const { return ring_.data() + Offset(y); }
  std::uint8_t* Slot(std::int64_t y) { return ring_.data() + Offset(y); }

  std::error_code DecodeRow(std::uint8_t* out) {
    if (scale_ == 1) return source_.NextRow(out);
    std::fill(sums_.begin(), sums_.end(), 0);
    const std::uint32_t width = source_.width();
    std::uint32_t count = 0;
    for (; count < static_cast<std::uint32_t>(scale_) && read_ < source_.height();
         ++count, ++read_) {
      if (const std::error_code ec = source_.NextRow(line_.data())) return ec;
      for (std::uint32_t x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) sums_[(x / scale_) * 3 + c] += line_[x * 3 + c];
      }
    }
    for (std::uint32_t x = 0; x < width_; ++x) {
      const std::uint64_t first = std::uint64_t{x} * scale_;
      const std::uint32_t n = count * static_cast<std::uint32_t>(
                                          std::min<std::uint64_t>(width, first + scale_) - first);
      for (int c = 0; c < 3; ++c) {
        out[x * 3 + c] = static_cast<std::uint8_t>((sums_[x * 3 + c] + n / 2) / n);
      }
    }
    return {};
  }

  ImageRows& source_;
  std::uint32_t scale_, width_, height_;
  std::size_t rows_;
  std::vector<std::uint8_t> ring_, line_;
  std::vector<std::uint32_t> sums_;
  std::int64_t first_ = 0, next_ = 0;  // rows held: first_ to next_ - 1
  std::uint32_t read_ = 0;             // scan rows decoded
};

// The rows the window must hold at `scale` to serve the tiles in `order`: from a tile's first
// row to the last row any tile before it needed.
std::size_t WindowRows(const std::vector<Reach>& reaches, const std::vector<std::size_t>& order,
                       int scale, std::uint32_t height) {
  const auto decoded_height = static_cast<std::uint32_t>(ScaledWidth(height, scale));
  std::int64_t reached = -1, most = 1;
  for (std::size_t i : order) {
    const RowSpan rows = Rows(reaches[i], scale, decoded_height);
    reached = std::max(reached, rows.last);
    most = std::max(most, reached - rows.first + 1);
  }
  return static_cast<std::size_t>(most);
}

// The stretches of the grid row through `y` that lie within `clip`, as [from, to) pairs of x.
std::vector<double> RowWithin(const std::vector<std::array<double, 2>>& clip, double y) {
  std::vector<double> crossings;
  for (std::size_t i = 0, j = clip.size() - 1; i < clip.size(); j = i++) {
    const auto &a = clip[i], &b = clip[j];
    if ((a[1] > y) != (b[1] > y))
      crossings.push_back(a[0] + (y - a[1]) / (b[1] - a[1]) * (b[0] - a[0]));
  }
  std::ranges::sort(crossings);
  return crossings;
}

void DrawTile(const SheetModel& sheet, const TilePlan& plan, const Tile& tile,
              const RowWindow& window, double scan_width, double scan_height, int scale,
              std::vector<std::uint8_t>& rgb, std::vector<std::uint8_t>& covered) {
  const TileGrid& grid = plan.grid;
  rgb.assign(std::size_t{3} * tile.width * tile.height, 255);
  covered.assign(std::size_t{1} * tile.width * tile.height, 0);
  const int last = tile.width - 1;
  std::vector<std::optional<std::array<double, 2>>> exact(last / kExactEvery + 2);
  auto column_of = [&](std::size_t node) {
    return std::min(static_cast<int>(node) * kExactEvery, last);
  };
  for (int j = 0; j < tile.height; ++j) {
    const double lat = grid.LatAt(static_cast<double>(tile.y + j) + 0.5);
    auto scan_at = [&](int i) {
      return sheet.PixelAt(lat, grid.LonAt(static_cast<double>(tile.x + i) + 0.5));
    };
    for (std::size_t node = 0; node < exact.size(); ++node) exact[node] = scan_at(column_of(node));
    std::uint8_t* out = rgb.data() + std::size_t{3} * tile.width * j;
    std::uint8_t* shown = covered.data() + std::size_t{1} * tile.width * j;
    double top_row = std::numeric_limits<double>::quiet_NaN();
    const std::uint8_t *top = nullptr, *bottom = nullptr;
    std::vector<double> within;
    if (!plan.clip.empty()) within = RowWithin(plan.clip, static_cast<double>(tile.y + j) + 0.5);
    std::size_t stretch = 0;
    for (int i = 0; i <= last; ++i, out += 3, ++shown) {
      if (!plan.clip.empty()) {
        const double x = static_cast<double>(tile.x + i) + 0.5;
        while (stretch < within.size() && within[stretch] <= x) ++stretch;
        if (stretch % 2 == 0) continue;  // outside the clip: stays white
      }
      const std::size_t node = static_cast<std::size_t>(i / kExactEvery);
      const int i0 = column_of(node), i1 = column_of(node + 1);
      std::optional<std::array<double, 2>> at;
      if (i == i0 || !exact[node] || !exact[node + 1]) {
        at = i == i0 ? exact[node] : scan_at(i);
      } else {
        const double t = static_cast<double>(i - i0) / (i1 - i0);
        const auto& a = *exact[node];
        const auto& b = *exact[node + 1];
        at = std::array<double, 2>{a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])};
      }
      if (!at ||
          !((*at)[0] >= 0 && (*at)[0] <= scan_width && (*at)[1] >= 0 && (*at)[1] <= scan_height)) {
        continue;
      }
      // Pixel centres of the decoded rows lie at half-integers of their own scale.
      const double fx = (*at)[0] / scale - 0.5, fy = (*at)[1] / scale - 0.5;
      const double x0 = std::floor(fx), y0 = std::floor(fy);
      const double tx = fx - x0, ty = fy - y0;
      const std::int64_t max_x = std::int64_t{window.width()} - 1;
      const std::int64_t xa = std::clamp<std::int64_t>(x0, 0, max_x);
      const std::int64_t xb = std::clamp<std::int64_t>(x0 + 1, 0, max_x);
      const std::int64_t ya = std::clamp<std::int64_t>(y0, 0, window.height() - 1);
      const std::int64_t yb = std::clamp<std::int64_t>(y0 + 1, 0, window.height() - 1);
      if (y0 != top_row) {
        // Rows change every few pixels at most; finding one in the ring costs a division.
        top_row = y0;
        top = window.Row(ya);
        bottom = window.Row(yb);
      }
      *shown = 1;
      for (int c = 0; c < 3; ++c) {
        const double upper = top[xa * 3 + c] + tx * (top[xb * 3 + c] - top[xa * 3 + c]);
        const double lower = bottom[xa * 3 + c] + tx * (bottom[xb * 3 + c] - bottom[xa * 3 + c]);
        out[c] = static_cast<std::uint8_t>(upper + ty * (lower - upper) + 0.5);
      }
    }
  }
}

}  // namespace

std::error_code WarpTiles(const SheetModel& sheet, const TilePlan& plan, ImageRows& source,
                          const TileSink& sink, WarpStats* stats, std::size_t window_bytes) {
  const std::uint32_t width = source.width(), height = source.height();
  std::vector<Reach> reaches;
  for (const Tile& tile : plan.tiles) reaches.push_back(ScanReach(sheet, plan.grid, tile, height));
  // Tiles in the order of the rows they start at: the window moves down only, and a sheet
  // scanned upside down or on its side is served as well as an upright one.
  std::vector<std::size_t> order(plan.tiles.size());
  std::iota(order.begin(), order.end(), 0);
  std::ranges::sort(order, {},
                    [&](std::size_t i) { return std::pair(reaches[i].low, reaches[i].high); });

  // Where tiles are coarser than two scan pixels, averaging while decoding loses nothing they
  // would show; where the window would not fit, it must.
  int scale = std::max(1, static_cast<int>(std::floor(plan.scale)));
  std::size_t rows = WindowRows(reaches, order, scale, height);
  // In 64 bits: on a 32-bit build the product could wrap below the window's size, and the
  // ring would then be written past its end.
  auto bytes = [&] { return SizeProduct({rows, ScaledWidth(width, scale), 3}); };
  while (bytes() > window_bytes && static_cast<std::uint32_t>(scale) < std::max(width, height)) {
    rows = WindowRows(reaches, order, ++scale, height);
  }
  if (bytes() > window_bytes || SizeProduct({width, 3}) > kMemoryBudget)
    return MakeError(ImageError::kTooLarge);
  if (stats) *stats = {scale, static_cast<std::size_t>(bytes())};

  RowWindow window(source, scale, rows);
  std::vector<std::uint8_t> rgb, covered;
  for (std::size_t i : order) {
    const RowSpan needed = Rows(reaches[i], scale, window.height());
    window.Release(needed.first);
    if (const std::error_code ec = window.DecodeThrough(needed.last)) return ec;
    DrawTile(sheet, plan, plan.tiles[i], window, width, height, scale, rgb, covered);
    if (const std::error_code ec = sink(plan.tiles[i], rgb.data(), covered.data())) return ec;
  }
  return {};
}

}  // namespace kal2map
