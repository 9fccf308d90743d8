// Windows only: helpers shared by the Win32 sources of the platform layer.
#pragma once

#include <string_view>
#include <system_error>

namespace kal2map::win32 {

// GetLastError as an error code of the system category.
std::error_code LastError();

// Writes all of `data` to `handle` (a HANDLE), in chunks the API accepts. A write that makes no
// progress, as on a closed pipe, is an error rather than a loop.
std::error_code WriteAll(void* handle, std::string_view data);

}  // namespace kal2map::win32
