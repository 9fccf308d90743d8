#include "control/batch.h"

#include <cerrno>
#include <new>
#include <set>

#include "calibration/kal_scan.h"
#include "control/kal_names.h"
#include "mapfile/map_writer.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kal2map {
namespace {

class BatchErrorCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "kal2map-batch"; }
  std::string message(int code) const override {
    switch (static_cast<BatchError>(code)) {
      case BatchError::kMapNameTaken:
        return "Gleichnamige map-Datei wurde schon aus einer anderen kal-Datei erstellt";
    }
    return "Unbekannter Fehler";
  }
};

std::string CreatedMessage(const std::filesystem::path& map) {
  return PathText(map) + " wurde erstellt.";
}

// Reads `state.KalPath` and writes `state.MapPath`, recording the outcome in `report`.
void ConvertCurrent(State& state, Window& window, RunReport& report, ChangedFolders& changed) {
  ++report.found;
  std::error_code ec;
  std::filesystem::path failed = state.KalPath;
  try {
    ec = ReadKal(state, state.KalPath);
    if (!ec) {
      failed = state.MapPath;
      ec = WriteMap(state, state.MapPath, changed);
    }
  } catch (const std::bad_alloc&) {
    ec = std::make_error_code(std::errc::not_enough_memory);
  }
  if (ec) {
    report.failures.push_back({failed, ec});
    return;
  }
  ++report.written;
  window.SetMessageLine(CreatedMessage(state.MapPath));
}

// Makes the run's replacements last. A folder that cannot be flushed is a failure like a file:
// its maps may not survive a power cut.
void FlushChangedFolders(ChangedFolders& changed, RunReport& report) {
  for (auto& [folder, ec] : changed.Flush()) report.failures.push_back({folder, ec});
}

void ReportOutcome(const State& state, Window& window, const RunReport& report) {
  if (report.written > 0) return;  // the message line already names the last map written
  if (report.found == 0) {
    window.SetMessageLine("Keine kal-Dateien in " + PathText(state.WorkFolder) + " gefunden.");
  } else {
    window.SetMessageLine("Keine map-Datei erstellt.");
  }
}

}  // namespace

std::error_code MakeError(BatchError e) {
  static const BatchErrorCategory category;
  return {static_cast<int>(e), category};
}

RunReport ConvertFolder(State& state, Window& window) {
  RunReport report;
  std::error_code ec;
  const auto names = ListFolder(state.WorkFolder, IsKalName, ec).files;
  if (ec) report.failures.push_back({state.WorkFolder, ec});
  std::filesystem::path last_written = state.MapPath;
  // "a.kal" and "a.kal.kal" (or "a.KAL" on POSIX, "A.kal.kal" on Windows) share one map name;
  // the second would silently replace the map of the first, which was just reported as created.
  std::set<std::filesystem::path, FileNameLess> map_names;
  ChangedFolders changed;
  for (const auto& name : names) {
    state.KalPath = state.WorkFolder / name;
    const std::filesystem::path map_name = MapNameFor(name);
    if (!map_names.insert(map_name).second) {
      ++report.found;
      report.failures.push_back({state.KalPath, MakeError(BatchError::kMapNameTaken)});
      continue;
    }
    state.MapPath = state.WorkFolder / map_name;
    std::size_t written = report.written;
    ConvertCurrent(state, window, report, changed);
    if (report.written > written) last_written = state.MapPath;
  }
  FlushChangedFolders(changed, report);
  state.MapPath = last_written;
  return report;
}

RunReport ConvertAll(State& state, Window& window) {
  RunReport report = ConvertFolder(state, window);
  ReportOutcome(state, window, report);
  return report;
}

RunReport ConvertFile(State& state, Window& window, const std::filesystem::path& kal_path) {
  RunReport report;
  const std::filesystem::path previous = state.MapPath;
  state.WorkFolder = WithTrailingSeparator(kal_path.parent_path());
  state.KalPath = kal_path;
  state.MapPath = kal_path.parent_path() / MapNameFor(kal_path.filename());
  ChangedFolders changed;
  ConvertCurrent(state, window, report, changed);
  FlushChangedFolders(changed, report);
  if (report.written == 0) state.MapPath = previous;
  ReportOutcome(state, window, report);
  return report;
}

}  // namespace kal2map
