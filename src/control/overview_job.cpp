#include "control/overview_job.h"

#include "platform/files.h"
#include "util/text.h"

namespace kal2map {
namespace {

std::filesystem::path Absolute(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return (ec ? path : full).lexically_normal();
}

// The projection named in the map's own projection line.
std::string DeclaredProjection(std::string_view map) {
  constexpr std::string_view kLine = "\r\nMap Projection,";
  const std::size_t at = map.find(kLine);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + kLine.size();
  return Utf8FromAnsi(map.substr(start, map.find_first_of(",\r", start) - start));
}

}  // namespace

OverviewSheet OverviewEntry(const State& state, const Job& job, std::string_view map,
                            std::size_t points, const SheetFit& fit, const SheetImage& image,
                            const SheetFrame& framed, const std::vector<std::string>& warnings) {
  OverviewSheet entry;
  entry.kal = Absolute(job.kal);
  entry.map = Absolute(job.map);
  if (image.path) entry.image = Absolute(*image.path);
  entry.image_name = Utf8FromAnsi(state.BitmapName);
  entry.frame = framed.frame.has_value();
  entry.projection = DeclaredProjection(map);
  entry.points = static_cast<int>(points);
  entry.warnings = warnings;
  if (!fit.sheet || framed.width == 0 || framed.height == 0) return entry;
  const double w = static_cast<double>(framed.width), h = static_cast<double>(framed.height);
  entry.metres_per_pixel = MetresPerPixelAt(*fit.sheet, w / 2, h / 2);
  const std::vector<std::array<double, 2>> outline{{0, 0}, {w, 0}, {w, h}, {0, h}};
  entry.ring = RingOf(*fit.sheet, framed.frame ? framed.frame->outline : outline);
  return entry;
}

void WriteOverview(const State& state, const std::vector<OverviewSheet>& sheets,
                   RunReport& report) {
  const std::filesystem::path path = Absolute(state.OverviewPath);
  const std::error_code ec =
      ReplaceFileContents(path, OverviewDocument(sheets, path.parent_path()));
  if (ec) report.failures.push_back({state.OverviewPath, ec});
}

}  // namespace kal2map
