// The paths kal2map.exe is started with, as when items are dropped on its icon.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kal2map::ui {

// The arguments of a Windows command line after the program's own name. Blanks separate them
// and quotes group, but a backslash is always a backslash: the shell passes a drive root as
// "D:\", whose \" CommandLineToArgvW reads as an escaped quote, which swallows every
// argument after it. No path holds a quote, so nothing is lost by taking it literally.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);

}  // namespace kal2map::ui
