// Per-monitor DPI where the system offers it (Windows 10 1607 and later), the system DPI on
// older versions. The newer functions are looked up at run time so the program still starts
// on Windows 7.
#pragma once

#include <windows.h>

namespace kal2map::ui {

inline constexpr int kDefaultDpi = 96;

int DpiForWindow(HWND window);

// Outer size of a window with `style` whose client area is `width` x `height` pixels.
SIZE OuterSizeForClient(int width, int height, DWORD style, DWORD ex_style, int dpi);

// The system's message font, sized for `dpi`.
LOGFONTW MessageFont(int dpi);

}  // namespace kal2map::ui
