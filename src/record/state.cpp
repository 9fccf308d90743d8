#include "record/state.h"

namespace kal2map {

std::filesystem::path WithTrailingSeparator(const std::filesystem::path& folder) {
  if (folder.empty() || !folder.has_filename()) return folder;
  return folder / "";
}

void InitState(State& state, const std::filesystem::path& program_folder) {
  state.ShowExtChoice = false;
  state.CompleteMaps = false;
  state.FrameMaps = false;
  state.OverviewPath.clear();
  state.PointCount = 0;
  state.BitmapName.clear();
  state.BitmapExt.clear();
  state.AppFolder = WithTrailingSeparator(program_folder);
  state.WorkFolder = state.AppFolder;
}

}  // namespace kal2map
