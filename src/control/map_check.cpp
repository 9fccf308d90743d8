#include "control/map_check.h"

#include <cmath>

#include "control/check_texts.h"
#include "georef/check.h"
#include "georef/fit.h"
#include "georef/sheet.h"
#include "mapfile/map_reader.h"
#include "platform/text.h"
#include "util/text.h"

namespace kal2map {
namespace {

// Why the image gives no size, or the size.
std::optional<ImageExtent> ImageExtentFor(const State& state,
                                          const std::optional<std::filesystem::path>& image,
                                          std::string& why) {
  const std::string name = Utf8FromAnsi(state.BitmapName);
  if (!image) {
    why = ImageNotFoundText(state);
    return std::nullopt;
  }
  std::error_code ec;
  const ImageInfo info = ReadImageFileSize(*image, ec);
  switch (info.status) {
    case ImageSizeStatus::kOk:
      return ImageExtent{info.size.width, info.size.height};
    case ImageSizeStatus::kReadError:
      why = "Bild " + PathText(*image) + " nicht lesbar" + (ec ? ": " + ErrorText(ec) : "");
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

// The border and scale in the plane the sheet was drawn in, where that is not degrees and holds
// every corner; `border` keeps the fit in degrees otherwise.
void InTheSheetsPlane(std::span<const GeoPoint> points, ImageExtent extent, MapBorder& border,
                      std::optional<Projection>& projection) {
  const std::optional<SheetModel> sheet = FitSheet(points);
  if (!sheet || sheet->projection.kind == ProjectionKind::kLatLon) return;
  const double w = static_cast<double>(extent.width), h = static_cast<double>(extent.height);
  const std::array<std::array<double, 2>, 4> pixels = {{{0, 0}, {w, 0}, {w, h}, {0, h}}};
  MapBorder in_plane = border;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const std::optional<LonLat> corner = sheet->LonLatAt(pixels[i][0], pixels[i][1]);
    if (!corner) return;
    in_plane.corners[i] = {corner->lon, corner->lat};
  }
  const std::optional<double> metres = MetresPerPixelAt(*sheet, w / 2, h / 2);
  if (!metres || !std::isfinite(*metres)) return;
  in_plane.metres_per_pixel = *metres;
  border = in_plane;
  projection = sheet->projection;
}

}  // namespace

std::string ImageNotFoundText(const State& state) {
  return state.BitmapName.empty() ? "die map-Datei nennt kein Bild"
                                  : "Bild " + Utf8FromAnsi(state.BitmapName) + " nicht gefunden";
}

MapExtras CompleteAndCheck(const State& state, std::string_view map,
                           const std::filesystem::path& map_path, ImageFinder& finder) {
  MapExtras extras;
  extras.points = UsablePoints(map);
  const std::vector<GeoPoint>& points = extras.points;
  const bool wants_image =
      state.CompleteMaps || state.MakeKmz || state.FrameMaps || !state.OverviewPath.empty();
  if (wants_image && points.size() >= 2) {
    extras.image = finder.Find(map_path.parent_path(), state.BitmapName);
  }
  std::optional<ImageExtent> extent;
  if (state.CompleteMaps && points.size() >= 2) {
    std::string why;
    extent = ImageExtentFor(state, extras.image, why);
    if (extent) {
      const GeoFit fit = FitGeoPoints(points);
      if (fit.ok()) {
        MapBorder border;
        border.width = extent->width;
        border.height = extent->height;
        const auto corners =
            Border(fit, static_cast<double>(extent->width), static_cast<double>(extent->height));
        for (std::size_t i = 0; i < corners.size(); ++i) {
          border.corners[i] = {corners[i].lon, corners[i].lat};
        }
        border.metres_per_pixel = MetresPerPixel(fit, static_cast<double>(extent->width),
                                                 static_cast<double>(extent->height));
        InTheSheetsPlane(points, *extent, border, extras.projection);
        extras.border = border;
      } else {
        why = FitFailureText(fit.failure);
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
