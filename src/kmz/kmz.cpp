#include "kmz/kmz.h"

#include <algorithm>

#include "kmz/kml.h"
#include "kmz/zip.h"
#include "platform/error_category.h"

namespace kal2map {
namespace {

// A tile too large at one quality is tried again this much lower, down to the least.
constexpr int kQualityStep = 15;
constexpr int kLeastQuality = 10;

std::string ErrorText(int code) {
  switch (static_cast<KmzError>(code)) {
    case KmzError::kNoPlace:
      return "Der Rand des Bildes lässt sich nicht verorten";
    case KmzError::kTileTooLarge:
      return "Eine Kachel bleibt auch in geringster JPEG-Qualität über 3 MB";
    case KmzError::kArchiveTooLarge:
      return "Die KMZ-Datei würde größer als 4 GB";
  }
  return "Unbekannter Fehler";
}

}  // namespace

std::error_code MakeError(KmzError e) {
  static const TextCategory category("kal2map-kmz", ErrorText);
  return {static_cast<int>(e), category};
}

std::error_code EncodeCustomMapTile(const JpegEncoder& encode, const std::uint8_t* rgb, int width,
                                    int height, int quality, std::string& jpeg) {
  for (quality = std::clamp(quality, 1, 100);;
       quality = std::max(kLeastQuality, quality - kQualityStep)) {
    jpeg.clear();
    const std::error_code ec = encode(rgb, static_cast<std::uint32_t>(width),
                                      static_cast<std::uint32_t>(height), quality, jpeg);
    if (ec) return ec;
    if (jpeg.size() < kMaxTileBytes) return {};
    if (quality <= kLeastQuality) return MakeError(KmzError::kTileTooLarge);
  }
}

KmzResult MakeKmz(const SheetModel& sheet, ImageRows& source, std::string_view sheet_name,
                  const KmzOptions& options, const JpegEncoder& encode) {
  KmzResult result;
  const std::optional<TilePlan> plan =
      PlanTiles(sheet, source.width(), source.height(), options.max_tiles, options.clip);
  if (!plan) {
    result.error = MakeError(KmzError::kNoPlace);
    return result;
  }
  ZipWriter zip;
  // Readers take the first entry for the document.
  if (!zip.Add("doc.kml", KmlDocument(sheet_name, plan->tiles, options.draw_order))) {
    result.error = MakeError(KmzError::kArchiveTooLarge);
    return result;
  }
  std::string jpeg;
  auto add_tile = [&](const Tile& tile, const std::uint8_t* rgb,
                      const std::uint8_t*) -> std::error_code {
    if (const std::error_code ec =
            EncodeCustomMapTile(encode, rgb, tile.width, tile.height, options.quality, jpeg)) {
      return ec;
    }
    if (!zip.Add(TileFileName(tile), jpeg)) return MakeError(KmzError::kArchiveTooLarge);
    return {};
  };
  result.error = WarpTiles(sheet, *plan, source, add_tile, nullptr, options.window_bytes);
  if (result.error) return result;
  result.bytes = std::move(zip).Finish();
  result.tiles = static_cast<int>(plan->tiles.size());
  result.reduced = plan->reduced;
  return result;
}

}  // namespace kal2map
