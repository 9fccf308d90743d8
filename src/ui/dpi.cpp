#include "ui/dpi.h"

namespace kal2map::ui {
namespace {

template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

int DpiForWindow(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    UINT dpi = get_dpi(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

SIZE OuterSizeForClient(int width, int height, DWORD style, DWORD ex_style, int dpi) {
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, width, height};
  if (adjust == nullptr || !adjust(&rect, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
    rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return {rect.right - rect.left, rect.bottom - rect.top};
}

LOGFONTW MessageFont(int dpi) {
  using ParametersFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  static const auto parameters_for_dpi = User32Function<ParametersFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (parameters_for_dpi != nullptr && parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics),
                                                          &metrics, 0, static_cast<UINT>(dpi))) {
    return metrics.lfMessageFont;
  }
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    // Reported for the system DPI; rescale for the window's own.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
    return metrics.lfMessageFont;
  }
  LOGFONTW fallback{};
  fallback.lfHeight = -MulDiv(9, dpi, 72);
  lstrcpynW(fallback.lfFaceName, L"Segoe UI", LF_FACESIZE);
  return fallback;
}

}  // namespace kal2map::ui
