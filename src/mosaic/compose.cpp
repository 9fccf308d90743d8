#include "mosaic/compose.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "image/image.h"
#include "kmz/warp.h"
#include "platform/text.h"

namespace kal2map {
namespace {

constexpr int kPyramidSide = 256;

std::uint64_t Key(int level, std::int64_t column, std::int64_t row) {
  return std::uint64_t(level) << 48 | std::uint64_t(column) << 24 | std::uint64_t(row);
}
int LevelOf(std::uint64_t key) { return static_cast<int>(key >> 48); }
int ColumnOf(std::uint64_t key) { return static_cast<int>(key >> 24 & 0xFFFFFF); }
int RowOf(std::uint64_t key) { return static_cast<int>(key & 0xFFFFFF); }
std::uint64_t ParentOf(std::uint64_t key) {
  return Key(LevelOf(key) - 1, ColumnOf(key) / 2, RowOf(key) / 2);
}

// A tile in the making: white until drawn; on the top level, the rank of the sheet each pixel
// shows, so that the order sheets are drawn in does not decide which one is seen.
struct Pending {
  int width = 0, height = 0;
  std::uint32_t waiting = 0;  // sheets, or tiles of the level above, still to come
  bool shown = false;         // a sheet shows in it; a tile that stays white is not written
  std::vector<std::uint8_t> rgb;
  std::vector<std::uint16_t> rank;

  std::size_t Bytes() const { return rgb.size() + rank.size() * 2; }
};

constexpr std::size_t kHead = 16;  // width, height, waiting, shown

std::vector<std::uint8_t> Serialise(const Pending& p) {
  std::vector<std::uint8_t> bytes(kHead + p.Bytes());
  const std::uint32_t head[4] = {static_cast<std::uint32_t>(p.width),
                                 static_cast<std::uint32_t>(p.height), p.waiting, p.shown};
  std::memcpy(bytes.data(), head, kHead);
  std::memcpy(bytes.data() + kHead, p.rgb.data(), p.rgb.size());
  if (!p.rank.empty())
    std::memcpy(bytes.data() + kHead + p.rgb.size(), p.rank.data(), p.rank.size() * 2);
  return bytes;
}

Pending Deserialise(const std::vector<std::uint8_t>& bytes, bool ranked) {
  Pending p;
  std::uint32_t head[4];
  std::memcpy(head, bytes.data(), kHead);
  p.width = static_cast<int>(head[0]);
  p.height = static_cast<int>(head[1]);
  p.waiting = head[2];
  p.shown = head[3] != 0;
  const std::size_t pixels = std::size_t{head[0]} * head[1];
  p.rgb.assign(bytes.begin() + kHead,
               bytes.begin() + kHead + static_cast<std::ptrdiff_t>(pixels * 3));
  if (ranked) {
    p.rank.resize(pixels);
    std::memcpy(p.rank.data(), bytes.data() + kHead + pixels * 3, pixels * 2);
  }
  return p;
}

// The tiles in the making, the least recently used moved to the spill when they pass the
// memory given them.
class PendingTiles {
 public:
  PendingTiles(TileSpill& spill, std::size_t memory, int top)
      : spill_(spill), memory_(memory), top_(top) {}

  // The tile at `key`, brought back from the spill, or new and white with `waiting` to come.
  std::error_code Get(std::uint64_t key, int width, int height, std::uint32_t waiting,
                      Pending*& out) {
    auto held = held_.find(key);
    if (held == held_.end()) {
      Pending p;
      if (spilled_.erase(key)) {
        std::vector<std::uint8_t> bytes;
        if (const std::error_code ec = spill_.Take(key, bytes)) return ec;
        p = Deserialise(bytes, LevelOf(key) == top_);
      } else {
        p.width = width;
        p.height = height;
        p.waiting = waiting;
        p.rgb.assign(std::size_t{3} * width * height, 255);
        if (LevelOf(key) == top_) p.rank.assign(std::size_t{1} * width * height, 0);
      }
      bytes_ += p.Bytes();
      used_.push_front(key);
      held = held_.emplace(key, Entry{std::move(p), used_.begin()}).first;
    } else {
      used_.splice(used_.begin(), used_, held->second.used);
    }
    while (bytes_ > memory_ && used_.size() > 1) {
      const std::uint64_t oldest = used_.back();
      auto entry = held_.find(oldest);
      if (const std::error_code ec = spill_.Put(oldest, Serialise(entry->second.tile))) return ec;
      spilled_.insert(oldest);
      bytes_ -= entry->second.tile.Bytes();
      used_.pop_back();
      held_.erase(entry);
    }
    out = &held->second.tile;
    return {};
  }

  // Takes the finished tile at `key` out of the store.
  Pending Remove(std::uint64_t key) {
    auto entry = held_.find(key);
    Pending p = std::move(entry->second.tile);
    bytes_ -= p.Bytes();
    used_.erase(entry->second.used);
    held_.erase(entry);
    return p;
  }

 private:
  struct Entry {
    Pending tile;
    std::list<std::uint64_t>::iterator used;
  };
  TileSpill& spill_;
  std::size_t memory_;
  int top_;
  std::unordered_map<std::uint64_t, Entry> held_;
  std::list<std::uint64_t> used_;  // the most recently used first
  std::unordered_set<std::uint64_t> spilled_;
  std::size_t bytes_ = 0;
};

// How many sheets, or tiles of the level above, each tile waits for, as a sorted table.
class Waiting {
 public:
  void Add(std::uint64_t key) { keys_.push_back(key); }
  void Seal() {
    std::ranges::sort(keys_);
    for (std::size_t i = 0; i < keys_.size();) {
      std::size_t j = i;
      while (j < keys_.size() && keys_[j] == keys_[i]) ++j;
      counts_.emplace_back(keys_[i], static_cast<std::uint32_t>(j - i));
      i = j;
    }
    keys_ = {};
  }
  std::uint32_t Of(std::uint64_t key) const {
    const auto it =
        std::ranges::lower_bound(counts_, key, {}, &std::pair<std::uint64_t, std::uint32_t>::first);
    return it != counts_.end() && it->first == key ? it->second : 0;
  }
  // The distinct keys, in order.
  const std::vector<std::pair<std::uint64_t, std::uint32_t>>& Counts() const { return counts_; }

 private:
  std::vector<std::uint64_t> keys_;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> counts_;
};

class Composer {
 public:
  Composer(std::span<const SheetPart> parts, Levels levels, const TileEmit& emit, TileSpill& spill,
           const MosaicMemory& memory, const MosaicObserver& observer, MosaicSummary& summary)
      : parts_(parts),
        levels_(levels),
        emit_(emit),
        memory_(memory),
        observer_(observer),
        summary_(summary),
        pending_(spill, memory.tiles, levels.top) {
    for (const SheetPart& part : parts) {
      for (const Tile& t : part.tiles()) waiting_.Add(Key(levels.top, t.column, t.row));
    }
    waiting_.Seal();
    // Each level waits for its tiles' children; the tiles a level has are the parents of
    // the tiles of the level above.
    // Reserved, so that `above` stays where the level before was put.
    lower_.reserve(static_cast<std::size_t>(levels.top - levels.lowest));
    const Waiting* above = &waiting_;
    for (int level = levels.top - 1; level >= levels.lowest; --level) {
      Waiting& below = lower_.emplace_back();
      for (const auto& [key, count] : above->Counts()) below.Add(ParentOf(key));
      below.Seal();
      above = &below;
    }
    totals_.assign(static_cast<std::size_t>(levels.top - levels.lowest + 1), 0);
    done_ = written_ = totals_;
    totals_[0] = waiting_.Counts().size();
    for (std::size_t i = 0; i < lower_.size(); ++i) totals_[i + 1] = lower_[i].Counts().size();
  }

  std::error_code Run() {
    for (std::size_t i = 0; i < parts_.size(); ++i) {
      if (observer_ && !observer_({i + 1, parts_.size(), -1, 0})) {
        return MakeError(MosaicError::kStopped);
      }
      if (const std::error_code ec = Draw(parts_[i], i + 1)) return ec;
    }
    return {};
  }

 private:
  std::uint32_t WaitingFor(std::uint64_t key) const {
    const int level = LevelOf(key);
    return level == levels_.top ? waiting_.Of(key)
                                : lower_[static_cast<std::size_t>(levels_.top - 1 - level)].Of(key);
  }

  std::error_code Draw(const SheetPart& part, std::size_t number) {
    const MosaicSheet& sheet = *part.sheet;
    TilePlan plan = part.plan;
    plan.tiles = part.tiles();
    std::vector<bool> drawn(plan.tiles.size());
    std::error_code ec;
    std::unique_ptr<ImageRows> rows = OpenImageRows(sheet.image, ec);
    bool shown = false;
    std::error_code fatal;  // of the spill or the output, or a stop: the mosaic cannot go on
    std::size_t drawn_tiles = 0;
    if (rows) {
      const auto paint = [&](const Tile& tile, const std::uint8_t* rgb,
                             const std::uint8_t* covered) -> std::error_code {
        drawn[static_cast<std::size_t>(&tile - plan.tiles.data())] = true;
        const std::uint64_t key = Key(levels_.top, tile.column, tile.row);
        Pending* p = nullptr;
        if ((fatal = pending_.Get(key, tile.width, tile.height, WaitingFor(key), p))) return fatal;
        const std::size_t pixels = std::size_t{1} * tile.width * tile.height;
        for (std::size_t i = 0; i < pixels; ++i) {
          if (covered[i] && part.rank > p->rank[i]) {
            p->rank[i] = part.rank;
            std::memcpy(&p->rgb[i * 3], rgb + i * 3, 3);
            shown = p->shown = true;
          }
        }
        if ((fatal = Done(key))) return fatal;
        // A sheet of thousands of tiles takes seconds: a stop should not wait for its end.
        if (observer_ && !observer_({number, parts_.size(), -1, ++drawn_tiles})) {
          fatal = MakeError(MosaicError::kStopped);
        }
        return fatal;
      };
      ec = WarpTiles(sheet.sheet, plan, *rows, paint, nullptr, memory_.window);
      if (fatal) return fatal;
    }
    if (ec) {
      summary_.warnings.push_back(sheet.name + ": Bild " + PathText(sheet.image) + ": " +
                                  ErrorText(ec));
    }
    if (shown || (!ec && rows)) ++summary_.sheets;
    // Its tiles wait for it no longer.
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      if (drawn[i]) continue;
      const Tile& tile = plan.tiles[i];
      const std::uint64_t key = Key(levels_.top, tile.column, tile.row);
      Pending* p = nullptr;
      if (const std::error_code e = pending_.Get(key, tile.width, tile.height, WaitingFor(key), p))
        return e;
      if (const std::error_code e = Done(key)) return e;
    }
    return {};
  }

  // One sheet or child less for the tile at `key`, which is held; finished when none is left.
  std::error_code Done(std::uint64_t key) {
    Pending* p = nullptr;
    if (const std::error_code ec = pending_.Get(key, 0, 0, 0, p)) return ec;
    if (--p->waiting > 0) return {};
    const Pending tile = pending_.Remove(key);
    const int level = LevelOf(key);
    const std::size_t index = static_cast<std::size_t>(levels_.top - level);
    if (tile.shown) {
      if (const std::error_code ec =
              emit_(level, ColumnOf(key), RowOf(key), tile.width, tile.height, tile.rgb.data())) {
        return ec;
      }
      ++summary_.tiles;
      ++written_[index];
    }
    if (++done_[index] == totals_[index] && observer_ &&
        !observer_({0, parts_.size(), level, written_[index]})) {
      return MakeError(MosaicError::kStopped);
    }
    if (level == levels_.lowest) return {};
    const std::uint64_t parent = ParentOf(key);
    Pending* q = nullptr;
    if (const std::error_code ec =
            pending_.Get(parent, kPyramidSide, kPyramidSide, WaitingFor(parent), q)) {
      return ec;
    }
    q->shown = q->shown || tile.shown;
    const int half = kPyramidSide / 2;
    const int left = (ColumnOf(key) % 2) * half, top = (RowOf(key) % 2) * half;
    for (int y = 0; y < half && 2 * y < tile.height; ++y) {
      for (int x = 0; x < half && 2 * x < tile.width; ++x) {
        std::uint8_t* out = &q->rgb[(std::size_t{1} * (top + y) * kPyramidSide + left + x) * 3];
        for (int c = 0; c < 3; ++c) {
          unsigned sum = 0;
          for (int dy = 0; dy < 2; ++dy) {
            for (int dx = 0; dx < 2; ++dx) {
              sum += tile.rgb[(std::size_t{1} * (2 * y + dy) * tile.width + 2 * x + dx) * 3 + c];
            }
          }
          out[c] = static_cast<std::uint8_t>((sum + 2) / 4);
        }
      }
    }
    return Done(parent);
  }

  std::span<const SheetPart> parts_;
  Levels levels_;
  const TileEmit& emit_;
  MosaicMemory memory_;
  const MosaicObserver& observer_;
  MosaicSummary& summary_;
  PendingTiles pending_;
  Waiting waiting_;
  std::vector<Waiting> lower_;  // top - 1 down to lowest
  // Tiles of each level, top first; those finished, and those of them written.
  std::vector<std::size_t> totals_, done_, written_;
};

}  // namespace

std::error_code Compose(std::span<const SheetPart> parts, Levels levels, const TileEmit& emit,
                        TileSpill& spill, const MosaicMemory& memory,
                        const MosaicObserver& observer, MosaicSummary& summary) {
  Composer composer(parts, levels, emit, spill, memory, observer, summary);
  return composer.Run();
}

}  // namespace kal2map
