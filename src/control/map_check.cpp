#include "control/map_check.h"

#include <cmath>

#include "control/check_texts.h"
#include "georef/check.h"
#include "platform/text.h"
#include "util/text.h"

namespace kal2map {
namespace {

// Why the image gives no size, or the size.
std::optional<ImageExtent> ImageExtentFor(const State& state, const SheetImage& image,
                                          std::string& why) {
  const std::string name = Utf8FromAnsi(state.BitmapName);
  if (!image.path) {
    why = image.missing;
    return std::nullopt;
  }
  std::error_code ec;
  const ImageInfo info = ReadImageFileSize(*image.path, ec);
  switch (info.status) {
    case ImageSizeStatus::kOk:
      return ImageExtent{info.size.width, info.size.height};
    case ImageSizeStatus::kReadError:
      why = "Bild " + PathText(*image.path) + " nicht lesbar" + (ec ? ": " + ErrorText(ec) : "");
      break;
    case ImageSizeStatus::kUnknownFormat:
      why = "Bildformat von " + name + " wird nicht gelesen (nur PNG, JPEG, BMP, GIF, TIFF)";
      break;
    case ImageSizeStatus::kBadHeader:
      why = "der Kopf der " + std::string(ImageFormatName(info.format)) + "-Datei " + name +
            " ergibt keine Bildgröße";
      break;
  }
  return std::nullopt;
}

// The border and scale of the image `extent` as the sheet places it, in the plane it was drawn
// in; empty where a corner or the scale has no place.
std::optional<MapBorder> BorderOf(const SheetModel& sheet, ImageExtent extent) {
  const double w = static_cast<double>(extent.width), h = static_cast<double>(extent.height);
  const std::optional<std::array<LonLat, 4>> corners = CornersOf(sheet, w, h);
  const std::optional<double> metres = MetresPerPixelAt(sheet, w / 2, h / 2);
  if (!corners || !metres || !std::isfinite(*metres)) return std::nullopt;
  MapBorder border;
  border.width = extent.width;
  border.height = extent.height;
  for (std::size_t i = 0; i < corners->size(); ++i) {
    border.corners[i] = {(*corners)[i].lon, (*corners)[i].lat};
  }
  border.metres_per_pixel = *metres;
  return border;
}

}  // namespace

SheetImage FindSheetImage(const State& state, const std::filesystem::path& map_path,
                          ImageFinder& finder) {
  SheetImage image;
  image.path = finder.Find(map_path.parent_path(), state.BitmapName);
  if (!image.path) {
    image.missing = state.BitmapName.empty()
                        ? "die map-Datei nennt kein Bild"
                        : "Bild " + Utf8FromAnsi(state.BitmapName) + " nicht gefunden";
  }
  return image;
}

MapExtras CompleteAndCheck(const State& state, std::span<const GeoPoint> points,
                           const SheetFit& fit, const SheetImage& image,
                           const std::filesystem::path& map_path) {
  MapExtras extras;
  std::optional<ImageExtent> extent;
  if (state.CompleteMaps && points.size() >= 2) {
    std::string why;
    extent = ImageExtentFor(state, image, why);
    if (extent && !fit.sheet) why = FitFailureText(fit.failure);
    if (extent && fit.sheet) {
      extras.border = BorderOf(*fit.sheet, *extent);
      if (!extras.border) why = "der Rand des Bildes l\xC3\xA4sst sich nicht verorten";
      if (extras.border && fit.sheet->projection.kind != ProjectionKind::kLatLon) {
        extras.projection = fit.sheet->projection;
      }
    }
    if (!why.empty()) {
      extras.warnings.push_back(PathText(map_path.filename()) +
                                " ohne Kartenrand und Bildgröße: " + why);
    }
  }
  for (const CalibrationWarning& warning : CheckCalibration(points, extent)) {
    extras.warnings.push_back(WarningText(warning));
  }
  return extras;
}

}  // namespace kal2map
