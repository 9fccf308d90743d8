// The run's seamless maps of all its sheets: MBTiles for phone apps, one KMZ for a Garmin.
#pragma once

#include <string>
#include <vector>

#include "control/batch.h"
#include "control/frame_job.h"
#include "control/map_check.h"
#include "control/window.h"
#include "mosaic/mosaic.h"
#include "record/state.h"

namespace kal2map {

// Whether the run makes a map of all its sheets.
bool WantsMosaic(const State& state);

// Adds the sheet converted by `job` to `sheets`, within its frame where `framed` confirms
// one; a sheet the mosaic cannot show gets a warning in `warnings` instead.
void AddMosaicSheet(const Job& job, const SheetFit& fit, const SheetImage& image,
                    const SheetFrame& framed, std::vector<MosaicSheet>& sheets,
                    std::vector<std::string>& warnings);

// Writes the mosaics the record asks for, each replacing an old file only once whole, and
// names them in the message line. A mosaic that cannot be written is a failure of the run;
// a stop leaves none behind.
void WriteMosaics(const State& state, const std::vector<MosaicSheet>& sheets, Window& window,
                  RunReport& report);

}  // namespace kal2map
