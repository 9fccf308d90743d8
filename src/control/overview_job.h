// The run's overview: one entry per converted sheet, written as GeoJSON at the run's end.
#pragma once

#include <string_view>
#include <system_error>
#include <vector>

#include "control/batch.h"
#include "control/frame_job.h"
#include "control/map_check.h"
#include "overview/overview.h"
#include "record/state.h"

namespace kal2map {

// The entry of the sheet converted by `job` into `map` from `points` usable points, with its
// warnings so far.
OverviewSheet OverviewEntry(const State& state, const Job& job, std::string_view map,
                            std::size_t points, const SheetFit& fit, const SheetImage& image,
                            const SheetFrame& framed, const std::vector<std::string>& warnings);

// Writes the overview to state.OverviewPath, replacing an old one only once the new one is
// whole; a file that cannot be written is a failure of the run.
void WriteOverview(const State& state, const std::vector<OverviewSheet>& sheets, RunReport& report);

}  // namespace kal2map
