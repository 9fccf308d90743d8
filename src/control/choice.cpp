#include "control/choice.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "control/kal_names.h"
#include "control/run_texts.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kal2map {
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
  if (folders > 0) text = CountText(folders, "Ordner", "Ordner");
  if (folders > 0 && files > 0) text += " und ";
  if (files > 0) text += CountText(files, "kal-Datei", "kal-Dateien");
  return text + " gew\xC3\xA4hlt.";
}

Plan PlanChoice(const std::vector<ChosenPath>& taken, bool recursive) {
  Plan plan;
  for (const ChosenPath& chosen : taken) {
    if (chosen.is_folder) {
      PlanFolder(plan, chosen.path, recursive);
    } else {
      PlanFile(plan, chosen.path);
    }
  }
  return plan;
}

}  // namespace kal2map
