#pragma once

#include <filesystem>

#include "control/window.h"
#include "record/state.h"

namespace kal2map {

// Prepares the state record, opens the window and shows the program's folder in its message
// line, so the user sees which files a conversion will touch.
void Main(State& state, Window& window, const std::filesystem::path& program_folder);

}  // namespace kal2map
