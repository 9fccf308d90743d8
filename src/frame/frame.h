// The printed frame (neatline) of a topographic sheet: where the map ends and its white collar
// with legend and sheet name begins. Sheets are calibrated on the frame's corners because those
// carry printed coordinates, so the frame is found from the points, traced through the sheet's
// plane, and kept only where the scan shows a dark line along it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "georef/fit.h"
#include "georef/sheet.h"
#include "image/image.h"

namespace kal2map {

// A position in the scan, in pixels.
using ScanPoint = std::array<double, 2>;

// The points on the frame's corners, in the order of the image's corners: top left, top right,
// bottom right, bottom left.
using FrameCorners = std::array<GeoPoint, 4>;

// A corner must lie within this share of the image's width and height from its image corner.
inline constexpr double kCornerReach = 0.2;
// The frame must cover at least this share of the image.
inline constexpr double kLeastFrameShare = 0.5;
// Another point may lie this far outside the frame, in pixels.
inline constexpr double kPointSlack = 2;
// Corners whose latitudes (longitudes) differ by less than this are on one parallel
// (meridian): the precision people type.
inline constexpr double kSameDegree = 1e-4;
// A traced edge stays within this of the true curve, in pixels.
inline constexpr double kTraceTolerance = 0.5;

// The four points that may be the frame's corners of a `width` x `height` image: one near each
// image corner (the nearest to it where several are), spanning a convex quadrilateral over at
// least half the image. Empty otherwise.
std::optional<FrameCorners> FrameCornersOf(std::span<const GeoPoint> points, double width,
                                           double height);

// A frame traced through a sheet: its outline in the scan, clockwise from the top-left corner
// and not closed, the index of each corner in it, and the points on those corners.
struct Frame {
  std::vector<ScanPoint> outline;
  std::array<std::size_t, 4> corner_index{};
  FrameCorners corners;
};

// The frame through `corners`: an edge along a parallel or a meridian follows it through
// `sheet` within kTraceTolerance, any other edge is straight; each edge ends exactly on its
// corners' pixels. Empty where `sheet` does not reach an edge.
std::optional<Frame> TraceFrame(const SheetModel& sheet, const FrameCorners& corners);

// Whether every point lies inside `outline` or within kPointSlack of it.
bool HoldsPoints(const std::vector<ScanPoint>& outline, std::span<const GeoPoint> points);

// Whether the scan in `image` shows a dark line along `frame`: on each of its four edges at
// least 80 % of the length has a pixel, every channel below 100, within 3 pixels. Reads `image`
// once from the top and stops below the frame; a decoding error confirms nothing.
bool ShowsNeatline(ImageRows& image, const Frame& frame);

// The frame of the sheet whose usable points are `points`, placed by `sheet` and scanned in
// `image`, when the points give one and the scan confirms it.
std::optional<Frame> FindFrame(std::span<const GeoPoint> points, const SheetModel& sheet,
                               ImageRows& image);

}  // namespace kal2map
