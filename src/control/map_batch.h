// The maps of a run, and the KMZ files beside them, on their way to the disk, a batch at a time
// (see FileReplacer), and what the run says about each job: a map is named, counted and its
// warnings passed on only once it is in place, and every job is reported in the order of the
// run. A job's KMZ joins its map's batch, so one flush makes both last, and a failed flush
// replaces neither.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "control/batch.h"
#include "control/kmz_job.h"
#include "control/window.h"
#include "platform/files.h"

namespace kal2map {

class MapBatch {
 public:
  MapBatch(Window& window, RunReport& report, std::size_t total);

  // Writes `map`, and `kmz` when there is one, for the batch, committing the pending one first
  // when they cannot join it. When the map fails nothing is held and the error is the job's; a
  // KMZ that fails is a failure of its own, and the map is held all the same.
  std::error_code Write(const std::filesystem::path& kal, const std::filesystem::path& map,
                        std::string_view contents, std::vector<std::string> warnings,
                        std::optional<KmzFile> kmz = std::nullopt);
  // A job that failed before its map could be written; `map` is what the progress names.
  void Fail(const std::filesystem::path& map, FileFailure failure);
  // Moves the held maps into place and reports every held job.
  void Commit();

 private:
  struct Held {
    std::filesystem::path kal, map;
    FileFailure failure;  // set when the job failed
    std::vector<std::string> warnings;
    bool added = false;         // its map waits in the replacer
    std::filesystem::path kmz;  // its KMZ, when one waits in the replacer after the map
    std::size_t kmz_tiles = 0;
    FileFailure kmz_failure;  // set when its KMZ failed
  };
  void Report(Held& held);

  Window& window_;
  RunReport& report_;
  std::size_t total_;
  std::size_t done_ = 0;
  FileReplacer replacer_;
  std::vector<Held> held_;
};

}  // namespace kal2map
