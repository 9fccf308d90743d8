#include "mosaic/output.h"

#include "image/image.h"
#include "kmz/kml.h"
#include "kmz/kmz.h"
#include "kmz/zip.h"
#include "mbtiles/mbtiles.h"
#include "mbtiles/tile_scratch.h"
#include "mosaic/plan.h"
#include "platform/error_category.h"
#include "platform/text.h"

namespace kal2map {
namespace {

constexpr int kJpegQuality = 85;

std::string ErrorText(int code) {
  switch (static_cast<MosaicError>(code)) {
    case MosaicError::kNoSheet:
      return "Kein Blatt hat zugleich ein Bild und eine Lage";
    case MosaicError::kTooManyTiles:
      return "Die Karte aller Bl\xC3\xA4tter h\xC3\xA4tte in ihrer feinsten Zoomstufe \xC3\xBC"
             "ber zwei Millionen Kacheln";
    case MosaicError::kStopped:
      return "Abgebrochen";
  }
  return "Unbekannter Fehler";
}

class ScratchSpill : public TileSpill {
 public:
  std::error_code Put(std::uint64_t key, std::span<const std::uint8_t> bytes) override {
    return scratch_.Put(key, bytes);
  }
  std::error_code Take(std::uint64_t key, std::vector<std::uint8_t>& bytes) override {
    return scratch_.Take(key, bytes);
  }

 private:
  TileScratch scratch_;
};

// The sheets' names, as the file says what it holds.
std::string Description(std::span<const SheetPart> parts) {
  std::vector<std::string> names;
  for (const SheetPart& part : parts) names.push_back(part.sheet->name);
  std::ranges::sort(names);
  std::string text = names.size() == 1 ? "Blatt " : "Bl\xC3\xA4tter ";
  for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : "") + names[i];
  return text;
}

}  // namespace

std::error_code MakeError(MosaicError e) {
  static const TextCategory category("kal2map-mosaic", ErrorText);
  return {static_cast<int>(e), category};
}

std::error_code WriteMbtilesMosaic(std::span<const MosaicSheet> sheets,
                                   const std::filesystem::path& path,
                                   const MosaicObserver& observer, MosaicSummary& summary,
                                   const MosaicMemory& memory) {
  // First, so that a file that cannot be written says so at once, sheets or none.
  MbtilesWriter writer;
  if (const std::error_code ec = writer.Open(path)) return ec;
  const std::vector<Footprint> footprints = Footprints(sheets, summary.warnings);
  MercatorMosaic mosaic;
  if (const std::error_code ec = PlanMercator(footprints, mosaic)) return ec;
  summary.min_zoom = mosaic.levels.lowest;
  summary.max_zoom = mosaic.levels.top;
  std::string jpeg;
  const TileEmit emit = [&](int level, int column, int row, int width, int height,
                            const std::uint8_t* rgb) -> std::error_code {
    jpeg.clear();
    if (const std::error_code ec =
            EncodeBaselineJpeg(rgb, static_cast<std::uint32_t>(width),
                               static_cast<std::uint32_t>(height), kJpegQuality, jpeg)) {
      return ec;
    }
    const std::uint32_t rows = std::uint32_t{1} << level;
    return writer.AddTile(level, static_cast<std::uint32_t>(column),
                          rows - 1 - static_cast<std::uint32_t>(row), jpeg);
  };
  ScratchSpill spill;
  if (const std::error_code ec =
          Compose(mosaic.parts, mosaic.levels, emit, spill, memory, observer, summary)) {
    return ec;
  }
  if (summary.sheets == 0) return MakeError(MosaicError::kNoSheet);
  MbtilesMetadata metadata;
  metadata.name = PathText(path.stem());
  metadata.description = Description(mosaic.parts);
  metadata.west = mosaic.west;
  metadata.south = mosaic.south;
  metadata.east = mosaic.east;
  metadata.north = mosaic.north;
  metadata.center_lon = mosaic.center_lon;
  metadata.center_lat = (mosaic.south + mosaic.north) / 2;
  metadata.center_zoom = mosaic.levels.lowest;
  metadata.min_zoom = mosaic.levels.lowest;
  metadata.max_zoom = mosaic.levels.top;
  return writer.Finish(metadata);
}

std::error_code MakeMosaicKmz(std::span<const MosaicSheet> sheets, std::string_view name,
                              int max_tiles, const MosaicObserver& observer, std::string& bytes,
                              MosaicSummary& summary, const MosaicMemory& memory) {
  const std::vector<Footprint> footprints = Footprints(sheets, summary.warnings);
  LatLonMosaic mosaic;
  if (const std::error_code ec = PlanLatLon(footprints, max_tiles, mosaic)) return ec;
  summary.reduced = mosaic.reduced;
  ZipWriter zip;
  // Readers take the first entry for the document.
  if (!zip.Add("doc.kml", KmlDocument(name, mosaic.tiles, KmzOptions{}.draw_order))) {
    return MakeError(KmzError::kArchiveTooLarge);
  }
  std::string jpeg;
  const TileEmit emit = [&](int, int column, int row, int width, int height,
                            const std::uint8_t* rgb) -> std::error_code {
    if (const std::error_code ec =
            EncodeCustomMapTile(EncodeBaselineJpeg, rgb, width, height, kJpegQuality, jpeg)) {
      return ec;
    }
    Tile tile;
    tile.row = row;
    tile.column = column;
    if (!zip.Add(TileFileName(tile), jpeg)) return MakeError(KmzError::kArchiveTooLarge);
    return {};
  };
  ScratchSpill spill;
  if (const std::error_code ec =
          Compose(mosaic.parts, {0, 0}, emit, spill, memory, observer, summary)) {
    return ec;
  }
  if (summary.sheets == 0) return MakeError(MosaicError::kNoSheet);
  bytes = std::move(zip).Finish();
  return {};
}

}  // namespace kal2map
