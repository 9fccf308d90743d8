#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/files.h"
#include "record/state.h"

namespace kal2map {

// The map file's bytes, map_format::kLineCount lines each ended by CR LF. Of more than
// kMaxPoints points the first kMaxPoints are written.
std::string BuildMap(const State& state);

}  // namespace kal2map
