#include "platform/win32.h"

#include <windows.h>

#include <algorithm>

namespace kal2map::win32 {

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

}  // namespace kal2map::win32
