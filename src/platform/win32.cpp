#include "platform/win32.h"

#include <windows.h>

#include <algorithm>

namespace kal2map::win32 {
namespace {

constexpr std::wstring_view kPrefix = LR"(\\?\)";
constexpr std::wstring_view kUncPrefix = LR"(\\?\UNC\)";

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view start) {
  return text.size() >= start.size() &&
         ::CompareStringOrdinal(text.data(), static_cast<int>(start.size()), start.data(),
                                static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

bool HasPrefix(std::wstring_view path) {
  // \??\ is the kernel's own form of \\?\; \\.\ names a device.
  return path.starts_with(kPrefix) || path.starts_with(LR"(\??\)") || path.starts_with(LR"(\\.\)");
}

}  // namespace

std::error_code LastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

std::error_code WriteAll(void* handle, std::string_view data) {
  while (!data.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, data.data(), chunk, &written, nullptr)) return LastError();
    if (written == 0) return {ERROR_WRITE_FAULT, std::system_category()};
    data.remove_prefix(written);
  }
  return {};
}

std::wstring ExtendedPath(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  if (HasPrefix(given)) return given;
  std::wstring full(given.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return given;
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n);  // too small: n is the size needed, with the terminating null
  }
  if (HasPrefix(full)) return full;
  if (full.starts_with(LR"(\\)")) return std::wstring(kUncPrefix) + full.substr(2);
  return std::wstring(kPrefix) + full;
}

std::wstring WithoutExtendedPrefix(std::wstring_view path) {
  if (StartsWithIgnoringCase(path, kUncPrefix)) {
    return LR"(\\)" + std::wstring(path.substr(kUncPrefix.size()));
  }
  // Only a drive: \\?\Volume{...}\ has no form without the prefix.
  if (path.starts_with(kPrefix) && path.size() >= kPrefix.size() + 2 &&
      path[kPrefix.size() + 1] == L':') {
    return std::wstring(path.substr(kPrefix.size()));
  }
  return std::wstring(path);
}

}  // namespace kal2map::win32
