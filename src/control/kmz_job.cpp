#include "control/kmz_job.h"

#include "control/map_check.h"
#include "georef/sheet.h"
#include "kmz/kmz.h"
#include "platform/files.h"
#include "platform/image.h"
#include "platform/text.h"

namespace kal2map {

void WriteKmz(const State& state, std::span<const GeoPoint> points,
              const std::optional<std::filesystem::path>& image,
              const std::filesystem::path& map_path, std::vector<std::string>& warnings,
              RunReport& report, std::span<const std::array<double, 2>> clip) {
  std::filesystem::path kmz_path = map_path;
  kmz_path.replace_extension(".kmz");
  const auto warn = [&](const std::string& why) {
    warnings.push_back(PathText(kmz_path.filename()) + " nicht erstellt: " + why);
  };
  const std::optional<SheetModel> sheet = FitSheetOrDegrees(points);
  if (!sheet) return warn("die Punkte ergeben keine Lage des Bildes");
  if (!image) {
    return warn(ImageNotFoundText(state));
  }
  std::error_code ec;
  const std::unique_ptr<ImageRows> rows = OpenImageRows(*image, ec);
  if (!rows) return warn("Bild " + PathText(*image) + ": " + ErrorText(ec));
  KmzOptions options;
  options.max_tiles = state.KmzTiles;
  options.draw_order = state.KmzOrder;
  options.clip.assign(clip.begin(), clip.end());
  const std::filesystem::path stem = map_path.stem();
  const KmzResult kmz = MakeKmz(*sheet, *rows, PathText(stem), options, EncodeBaselineJpeg);
  if (kmz.error) return warn("Bild " + PathText(*image) + ": " + ErrorText(kmz.error));
  if (kmz.tiles == 0) return warn("das Bild liegt nirgends in seiner Karte");
  ec = ReplaceFileContents(kmz_path, kmz.bytes);
  if (ec) {
    report.failures.push_back({kmz_path, ec});
    return;
  }
  report.kmz_tiles += static_cast<std::size_t>(kmz.tiles);
  if (kmz.reduced) {
    warnings.push_back(PathText(kmz_path.filename()) + " auf " + std::to_string(kmz.tiles) +
                       " Kacheln verkleinert");
  }
}

std::string KmzBudgetWarning(std::size_t tiles) {
  if (tiles <= kDeviceTiles) return {};
  return "Die KMZ-Dateien dieses Laufs haben zusammen " + std::to_string(tiles) +
         " Kacheln; die meisten Garmin-Ger\xC3\xA4te zeigen nur " + std::to_string(kDeviceTiles) +
         " (weniger mit --kmz-tiles)";
}

}  // namespace kal2map
