// What the window converts: the folders and calibration files a user chose by dropping them,
// naming them at start-up or through the folder dialog.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "control/batch.h"

namespace kal2map {

struct ChosenPath {
  std::filesystem::path path;  // as the user wrote it or absolute; a folder ends with a separator
  bool is_folder = true;
};

struct Choice {
  std::vector<ChosenPath> taken;               // in the order given
  std::vector<std::filesystem::path> refused;  // neither a folder nor a calibration file, as given
};

// Sorts `paths` into folders and calibration files, which are taken, and everything else,
// which is not. Relative paths count from the current folder.
Choice ChoosePaths(const std::vector<std::filesystem::path>& paths);

// The message line for `taken`: the one folder or file itself, or how many of each.
std::string ChoiceText(const std::vector<ChosenPath>& taken);

// Plans `taken` in order; both programs plan through here. A calibration file that an earlier
// path already brought, such as a file dropped together with its folder, is converted once, at
// its first place, and is no failure.
Plan PlanChoice(const std::vector<ChosenPath>& taken, bool recursive);

}  // namespace kal2map
