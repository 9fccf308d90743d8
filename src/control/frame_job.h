// The printed frame of one converted sheet, for its complete map, its KMZ and the overview.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "control/map_check.h"
#include "frame/frame.h"
#include "georef/sheet.h"
#include "mapfile/border_lines.h"
#include "record/state.h"

namespace kal2map {

struct SheetFrame {
  std::optional<Frame> frame;          // the frame the scan confirms
  std::int64_t width = 0, height = 0;  // the image's size; 0 where it could not be opened
};

// Whether the run looks for frames at all: for framed maps, an overview or a mosaic.
bool WantsFrames(const State& state);

// The frame of the sheet placed by `fit`, found in its image (read once, without a window of
// rows), and the image's size.
SheetFrame FrameOfSheet(std::span<const GeoPoint> points, const SheetFit& fit,
                        const SheetImage& image);

// `border` with the frame's corners in place of the image's: their pixels, and where the
// sheet puts those pixels. Unchanged where the sheet does not reach a corner.
void FrameBorder(MapBorder& border, const Frame& frame, const SheetModel& sheet);

}  // namespace kal2map
