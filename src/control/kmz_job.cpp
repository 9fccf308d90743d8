#include "control/kmz_job.h"

#include <new>
#include <stdexcept>

#include "image/image.h"
#include "platform/text.h"

namespace kal2map {
namespace {

// Why there is no KMZ, or the KMZ; may throw what allocation throws.
std::optional<KmzFile> Make(const SheetFit& fit, const SheetImage& image,
                            const std::filesystem::path& kmz_path, const KmzOptions& options,
                            std::string& why) {
  if (!fit.sheet) {
    why = "die Punkte ergeben keine Lage des Bildes";
    return std::nullopt;
  }
  if (!image.path) {
    why = image.missing;
    return std::nullopt;
  }
  std::error_code ec;
  const std::unique_ptr<ImageRows> rows = OpenImageRows(*image.path, ec);
  if (!rows) {
    why = "Bild " + PathText(*image.path) + ": " + ErrorText(ec);
    return std::nullopt;
  }
  KmzResult kmz =
      MakeKmz(*fit.sheet, *rows, PathText(kmz_path.stem()), options, EncodeBaselineJpeg);
  if (kmz.error) {
    why = "Bild " + PathText(*image.path) + ": " + ErrorText(kmz.error);
    return std::nullopt;
  }
  return KmzFile{kmz_path, std::move(kmz.bytes), static_cast<std::size_t>(kmz.tiles), kmz.reduced};
}

}  // namespace

std::optional<KmzFile> MakeKmzFile(const SheetFit& fit, const SheetImage& image,
                                   const std::filesystem::path& map_path, const KmzOptions& options,
                                   std::vector<std::string>& warnings) {
  std::filesystem::path kmz_path = map_path;
  kmz_path.replace_extension(".kmz");
  const std::string name = PathText(kmz_path.filename());
  std::string why;
  std::optional<KmzFile> kmz;
  try {
    kmz = Make(fit, image, kmz_path, options, why);
  } catch (const std::bad_alloc&) {
    why = ErrorText(std::make_error_code(std::errc::not_enough_memory));
  } catch (const std::length_error&) {
    why = ErrorText(std::make_error_code(std::errc::not_enough_memory));
  }
  if (!kmz) {
    warnings.push_back(name + " nicht erstellt: " + why);
  } else if (kmz->reduced) {
    warnings.push_back(name + " auf " + std::to_string(kmz->tiles) + " Kacheln verkleinert");
  }
  return kmz;
}

std::string KmzBudgetWarning(std::size_t tiles) {
  if (tiles <= kDeviceTiles) return {};
  return "Die KMZ-Dateien dieses Laufs haben zusammen " + std::to_string(tiles) +
         " Kacheln; die meisten Garmin-Ger\xC3\xA4te zeigen nur " + std::to_string(kDeviceTiles) +
         " (weniger mit --kmz-tiles)";
}

}  // namespace kal2map
