#include "control/kal_names.h"

#include "util/text.h"

namespace kal2map {

namespace {

// Position of the first ".kal" in `name`, in any ASCII letter case; npos when there is none.
std::size_t FindKal(NativeName name) {
  constexpr char kKal[] = ".kal";
  for (std::size_t at = 0; at + 4 <= name.size(); ++at) {
    std::size_t i = 0;
    while (i < 4) {
      if (LowerAscii(name[at + i]) != kKal[i]) break;
      ++i;
    }
    if (i == 4) return at;
  }
  return NativeName::npos;
}

}  // namespace

bool IsKalName(NativeName name) {
  return name.size() >= 4 && FindKal(name.substr(name.size() - 4)) == 0;
}

bool HasKalExtension(const std::filesystem::path& path) {
  return IsKalName(path.filename().native());
}

std::filesystem::path MapNameFor(const std::filesystem::path& name) {
  const auto& text = name.native();
  const std::size_t p = FindKal(text);
  auto base = (p == NativeName::npos || p == 0) ? text : text.substr(0, p);
  return base + std::filesystem::path(".map").native();
}

}  // namespace kal2map
