#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "control/window.h"
#include "platform/files.h"
#include "record/state.h"

namespace kal2map {

// A calibration file that could not be read, a map that could not be written, or a folder that
// could not be listed.
struct FileFailure {
  std::filesystem::path path;
  std::error_code error;
};

// Something a user should check in a map that was written all the same. `text` is German,
// UTF-8, and names no file: the path says which.
struct FileWarning {
  std::filesystem::path kal;
  std::string text;
};

struct RunReport {
  std::size_t found = 0;    // calibration files listed
  std::size_t written = 0;  // maps written
  std::vector<FileFailure> failures;
  std::vector<FileWarning> warnings;  // in the order the files were converted; a run's own
                                      // warning names no calibration file
  std::size_t kmz_tiles = 0;          // tiles in the KMZ files written
  bool stopped = false;               // the window asked to stop before every file was converted
  bool ok() const { return failures.empty(); }
};

// One calibration file and the map it becomes.
struct Job {
  std::filesystem::path kal;
  std::filesystem::path map;
};

// Everything a run will convert, found before the first map is written, so that the total is
// known from the start and no map written on the way can be listed as input.
struct Plan {
  // A folder or file the user named, and the part of `jobs` that came from it.
  struct Root {
    std::filesystem::path path;
    bool is_folder = true;
    std::size_t first_job = 0;
    std::size_t job_count = 0;
    std::size_t found = 0;  // calibration files seen below it, refused and repeated ones included
  };
  std::vector<Root> roots;
  std::vector<Job> jobs;
  // Folders that could not be listed, and calibration files whose map another one of the run
  // already makes: the second would silently replace a map just reported as created.
  std::vector<FileFailure> failures;
  std::size_t found = 0;  // calibration files seen once each, those that failed here included
  // A file as the run tells files apart: by what the file system knows it as, `id`, whatever
  // name reached it; a map, which may not exist yet, by its folder's `id` and its own `name`.
  // Where the file system tells nothing, by the absolute, normal path alone. Names compare as
  // the file system tells them apart: on Windows "a.map" and "A.map" are one.
  struct FileKey {
    std::optional<FileIdentity> id;
    std::filesystem::path name;
  };
  struct KeyLess {
    bool operator()(const FileKey& a, const FileKey& b) const {
      return a.id != b.id ? a.id < b.id : FileNameLess{}(a.name, b.name);
    }
    bool operator()(const std::pair<FileKey, FileKey>& a,
                    const std::pair<FileKey, FileKey>& b) const {
      return (*this)(a.first, b.first) ||
             (!(*this)(b.first, a.first) && (*this)(a.second, b.second));
    }
  };
  std::set<std::pair<FileKey, FileKey>, KeyLess> planned_jobs;  // calibration file, map
  std::set<FileKey, KeyLess> taken_maps;
};

// Adds the calibration files of `folder` in name order, then with `recursive` those of each
// subfolder in name order, depth first. Links, junctions, mount points and hidden folders are
// not entered. A folder that cannot be listed is a failure; the others are still planned.
void PlanFolder(Plan& plan, const std::filesystem::path& folder, bool recursive);

// Adds one calibration file; its map goes beside it. A calibration file the plan already
// holds for the same map, through any root or name (a link, a bind mount, a subst drive, a
// short name, a network path), is left where it was first planned and is no failure.
void PlanFile(Plan& plan, const std::filesystem::path& kal_path);

// Converts the plan's jobs in order, their maps replaced in batches (see FileReplacer), and
// leaves the outcome in the message line: once each map is in place the message line names it;
// a root without calibration files and a run without any map written say so. Stops before
// the next file once the window asks to.
RunReport ConvertPlan(State& state, Window& window, const Plan& plan);

// Converts every calibration file of WorkFolder, then leaves the outcome in the message line:
// the last map written, or why there is none. Failures are collected, not fatal.
RunReport ConvertAll(State& state, Window& window);

// Failures of a run that no system call reports.
enum class BatchError {
  kMapNameTaken = 1,  // another calibration file of the same run already wrote this map
};
std::error_code MakeError(BatchError e);

}  // namespace kal2map
