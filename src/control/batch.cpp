#include "control/batch.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <set>

#include "calibration/kal_scan.h"
#include "control/frame_job.h"
#include "control/kal_names.h"
#include "control/kmz_job.h"
#include "control/map_batch.h"
#include "control/map_check.h"
#include "control/mosaic_job.h"
#include "control/overview_job.h"
#include "control/run_texts.h"
#include "mapfile/map_reader.h"
#include "mapfile/map_writer.h"
#include "platform/error_category.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kal2map {
namespace {

std::string BatchErrorText(int code) {
  switch (static_cast<BatchError>(code)) {
    case BatchError::kMapNameTaken:
      return "Gleichnamige map-Datei wurde schon aus einer anderen kal-Datei erstellt";
  }
  return "Unbekannter Fehler";
}

KmzOptions KmzOptionsOf(const State& state) {
  KmzOptions options;
  options.max_tiles = state.KmzTiles;
  options.draw_order = state.KmzOrder;
  return options;
}

// Converts `job` and hands its map, with its KMZ, to `batch`, which reports them. The sheet is
// fitted once; the border, the check, the frame, the KMZ and the overview all take that fit.
// With `overview`, adds the sheet's entry to it; with `mosaic`, the sheet.
void ConvertJob(State& state, const Job& job, ImageFinder& finder, MapBatch& batch,
                RunReport& report, std::vector<OverviewSheet>* overview,
                std::vector<MosaicSheet>* mosaic) {
  ++report.found;
  std::error_code ec;
  const std::filesystem::path* failed = &job.kal;
  try {
    ec = ReadKal(state, job.kal);
    if (!ec) {
      failed = &job.map;
      std::string map = BuildMap(state);
      const std::vector<GeoPoint> points = UsablePoints(map);
      const SheetFit fit = FitSheet(points);
      SheetImage image;
      if ((state.CompleteMaps || state.MakeKmz || WantsFrames(state)) && points.size() >= 2) {
        image = FindSheetImage(state, job.map, finder);
      }
      MapExtras extras = CompleteAndCheck(state, points, fit, image, job.map);
      const SheetFrame framed =
          WantsFrames(state) ? FrameOfSheet(points, fit, image) : SheetFrame{};
      const Frame* frame = state.FrameMaps && framed.frame ? &*framed.frame : nullptr;
      if (extras.projection) DeclareProjection(map, *extras.projection);
      if (extras.border && frame) FrameBorder(*extras.border, *frame, *fit.sheet);
      if (extras.border) map += BorderLines(*extras.border);
      std::optional<KmzFile> kmz;
      if (state.MakeKmz) {
        KmzOptions options = KmzOptionsOf(state);
        if (frame) options.clip = frame->outline;
        kmz = MakeKmzFile(fit, image, job.map, options, extras.warnings);
      }
      const std::size_t mosaic_sheets = mosaic ? mosaic->size() : 0;
      if (mosaic) AddMosaicSheet(job, fit, image, framed, *mosaic, extras.warnings);
      if (overview) {
        overview->push_back(
            OverviewEntry(state, job, map, points.size(), fit, image, framed, extras.warnings));
      }
      ec = batch.Write(job.kal, job.map, map, std::move(extras.warnings), std::move(kmz));
      if (ec && overview) overview->pop_back();
      if (ec && mosaic) mosaic->resize(mosaic_sheets);
    }
  } catch (const std::bad_alloc&) {
    ec = std::make_error_code(std::errc::not_enough_memory);
  }
  if (ec) batch.Fail(job.map, {*failed, ec});
}

// `path` absolute and normal, for files the file system cannot tell.
std::filesystem::path NormalPath(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return (ec ? path : full).lexically_normal();
}

Plan::FileKey KalKey(const std::filesystem::path& kal) {
  if (std::optional<FileIdentity> id = IdentifyFile(kal)) return {id, {}};
  return {std::nullopt, NormalPath(kal)};
}

Plan::FileKey MapKey(const std::filesystem::path& map, const std::optional<FileIdentity>& folder) {
  if (folder) return {folder, map.filename()};
  return {std::nullopt, NormalPath(map)};
}

// Adds one job, unless the run already converts this calibration file into this map (reached
// again through another root, which is no fault) or another one makes its map. `folder` is
// the identity of the map's folder.
void AddJob(Plan& plan, Plan::Root& root, const std::filesystem::path& kal,
            const std::filesystem::path& map, const std::optional<FileIdentity>& folder) {
  ++root.found;
  Plan::FileKey map_key = MapKey(map, folder);
  if (!plan.planned_jobs.emplace(KalKey(kal), map_key).second) return;
  ++plan.found;
  if (!plan.taken_maps.insert(std::move(map_key)).second) {
    plan.failures.push_back({kal, MakeError(BatchError::kMapNameTaken)});
    return;
  }
  plan.jobs.push_back({kal, map});
}

// A folder named twice that cannot be listed is one failure.
void AddFolderFailure(Plan& plan, const std::filesystem::path& folder, std::error_code ec) {
  const auto known = std::find_if(plan.failures.begin(), plan.failures.end(), [&](auto& f) {
    return f.error == ec && NormalPath(f.path) == NormalPath(folder);
  });
  if (known == plan.failures.end()) plan.failures.push_back({folder, ec});
}

// The calibration files of one folder; its subfolders go to `pending`, to be visited next.
void PlanOneFolder(Plan& plan, Plan::Root& root, const std::filesystem::path& folder,
                   std::vector<std::filesystem::path>* pending) {
  std::error_code ec;
  const FolderListing listing = ListFolder(folder, IsKalName, ec);
  if (ec) AddFolderFailure(plan, folder, ec);
  const std::optional<FileIdentity> identity =
      listing.files.empty() ? std::nullopt : IdentifyFile(folder);
  for (const auto& name : listing.files) {
    AddJob(plan, root, folder / name, folder / MapNameFor(name), identity);
  }
  if (pending == nullptr) return;
  // Reversed onto a stack, so that subfolders are visited in name order.
  for (auto it = listing.folders.rbegin(); it != listing.folders.rend(); ++it) {
    pending->push_back(WithTrailingSeparator(folder / *it));
  }
}

void ReportOutcome(Window& window, const RunReport& report) {
  if (report.stopped) {
    window.SetMessageLine("Abgebrochen: " + CountText(report.written, "map-Datei", "map-Dateien") +
                          " erstellt.");
    return;
  }
  if (report.written > 0) return;  // the message line already names the last map written
  if (report.found > 0) window.SetMessageLine("Keine map-Datei erstellt.");
}

}  // namespace

std::error_code MakeError(BatchError e) {
  static const TextCategory category("kal2map-batch", BatchErrorText);
  return {static_cast<int>(e), category};
}

void PlanFolder(Plan& plan, const std::filesystem::path& folder, bool recursive) {
  Plan::Root root{folder, true, plan.jobs.size(), 0, 0};
  // An explicit stack: a tree may be deeper than the call stack allows.
  std::vector<std::filesystem::path> pending{folder};
  while (!pending.empty()) {
    const std::filesystem::path next = std::move(pending.back());
    pending.pop_back();
    PlanOneFolder(plan, root, next, recursive ? &pending : nullptr);
  }
  root.job_count = plan.jobs.size() - root.first_job;
  plan.roots.push_back(std::move(root));
}

void PlanFile(Plan& plan, const std::filesystem::path& kal_path) {
  Plan::Root root{kal_path, false, plan.jobs.size(), 0, 0};
  AddJob(plan, root, kal_path, kal_path.parent_path() / MapNameFor(kal_path.filename()),
         IdentifyFile(kal_path.parent_path()));
  root.job_count = plan.jobs.size() - root.first_job;
  plan.roots.push_back(std::move(root));
}

RunReport ConvertPlan(State& state, Window& window, const Plan& plan) {
  RunReport report;
  report.found = plan.found - plan.jobs.size();  // those refused while planning
  report.failures = plan.failures;
  ImageFinder finder;
  std::vector<OverviewSheet> overview;
  std::vector<MosaicSheet> mosaic;
  MapBatch batch(window, report, plan.jobs.size());
  for (const Plan::Root& root : plan.roots) {
    if (root.is_folder && root.found == 0 && !report.stopped) {
      window.SetMessageLine("Keine kal-Dateien in " + PathText(root.path) + " gefunden.");
    }
    for (std::size_t i = root.first_job; i < root.first_job + root.job_count; ++i) {
      if (report.stopped || window.StopRequested()) {
        report.stopped = true;
        break;
      }
      ConvertJob(state, plan.jobs[i], finder, batch, report,
                 state.OverviewPath.empty() ? nullptr : &overview,
                 WantsMosaic(state) ? &mosaic : nullptr);
    }
    // Before the next root says anything, so that messages keep the order of the run.
    batch.Commit();
  }
  if (!state.OverviewPath.empty()) WriteOverview(state, overview, report);
  WriteMosaics(state, mosaic, window, report);
  if (std::string budget = KmzBudgetWarning(report.kmz_tiles); !budget.empty()) {
    report.warnings.push_back({{}, std::move(budget)});
  }
  ReportOutcome(window, report);
  return report;
}

RunReport ConvertAll(State& state, Window& window) {
  Plan plan;
  PlanFolder(plan, state.WorkFolder, false);
  return ConvertPlan(state, window, plan);
}

}  // namespace kal2map
