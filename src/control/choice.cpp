#include "control/choice.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "control/kal_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kal2map {
namespace {

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool SameFailure(const FileFailure& a, const FileFailure& b) {
  return a.error == b.error && a.path.lexically_normal() == b.path.lexically_normal();
}

}  // namespace

Choice ChoosePaths(const std::vector<std::filesystem::path>& paths) {
  Choice choice;
  for (const auto& given : paths) {
    std::error_code ec;
    // An empty argument would otherwise become the current folder.
    const std::filesystem::path full =
        given.empty() ? given : std::filesystem::absolute(given, ec).lexically_normal();
    // Asked through the platform layer, which reaches paths of any length.
    const PathKind kind = given.empty() ? PathKind::kNone : KindOfPath(full, ec);
    if (kind == PathKind::kFolder) {
      choice.taken.push_back({WithTrailingSeparator(full), true});
    } else if (kind == PathKind::kFile && HasKalExtension(full)) {
      choice.taken.push_back({full, false});
    } else {
      choice.refused.push_back(given);
    }
  }
  return choice;
}

std::string ChoiceText(const std::vector<ChosenPath>& taken) {
  if (taken.size() == 1) return PathText(taken.front().path);
  const auto folders = static_cast<std::size_t>(
      std::count_if(taken.begin(), taken.end(), [](const ChosenPath& c) { return c.is_folder; }));
  const std::size_t files = taken.size() - folders;
  std::string text;
  if (folders > 0) text = Count(folders, "Ordner", "Ordner");
  if (folders > 0 && files > 0) text += " und ";
  if (files > 0) text += Count(files, "kal-Datei", "kal-Dateien");
  return text + " gew\xC3\xA4hlt.";
}

Plan PlanChoice(const std::vector<ChosenPath>& taken, bool recursive) {
  Plan plan;
  std::set<std::filesystem::path> planned;  // calibration files met so far, normalised
  for (const ChosenPath& chosen : taken) {
    Plan part;
    if (chosen.is_folder) {
      PlanFolder(part, chosen.path, recursive);
    } else {
      PlanFile(part, chosen.path);
    }
    Plan::Root root = part.roots.front();
    root.first_job = plan.jobs.size();
    std::size_t again = 0;  // calibration files an earlier path already counted
    for (Job& job : part.jobs) {
      if (!planned.insert(job.kal.lexically_normal()).second) {
        ++again;
      } else if (!plan.taken_maps.insert(job.map.lexically_normal()).second) {
        plan.failures.push_back({job.kal, MakeError(BatchError::kMapNameTaken)});
      } else {
        plan.jobs.push_back(std::move(job));
      }
    }
    for (FileFailure& failure : part.failures) {
      const bool known = std::any_of(plan.failures.begin(), plan.failures.end(),
                                     [&](const FileFailure& f) { return SameFailure(f, failure); });
      const bool file = failure.error == MakeError(BatchError::kMapNameTaken);
      if (file && !planned.insert(failure.path.lexically_normal()).second) {
        ++again;
      } else if (!known) {
        plan.failures.push_back(std::move(failure));
      }
    }
    root.job_count = plan.jobs.size() - root.first_job;
    plan.found += part.found - again;
    plan.roots.push_back(std::move(root));
  }
  return plan;
}

}  // namespace kal2map
