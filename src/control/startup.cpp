#include "control/startup.h"

#include "platform/text.h"

namespace kal2map {

void Main(State& state, Window& window, const std::filesystem::path& program_folder) {
  InitState(state, program_folder);
  window.Open();
  window.SetMessageLine(PathText(state.AppFolder));
}

}  // namespace kal2map
