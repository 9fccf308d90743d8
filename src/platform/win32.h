// Windows only: helpers shared by the Win32 sources of the platform layer.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace kal2map::win32 {

// GetLastError as an error code of the system category.
std::error_code LastError();

// Writes all of `data` to `handle` (a HANDLE), in chunks the API accepts. A write that makes no
// progress, as on a closed pipe, is an error rather than a loop.
std::error_code WriteAll(void* handle, std::string_view data);

// `path` as the wide API takes it at any length: made absolute and normalised as the system
// would ("." and "..", "/" as a separator), since the prefix turns that off, then prefixed with
// \\?\ (\\?\UNC\ for network paths). A path that already has a \\?\ or \\.\ prefix is kept as
// it is, and so is one the system cannot make absolute, so that the call using it fails.
std::wstring ExtendedPath(const std::filesystem::path& path);

// `path` without the prefix ExtendedPath adds, as the user would type it.
std::wstring WithoutExtendedPrefix(std::wstring_view path);

}  // namespace kal2map::win32
