// Text shown to the user is UTF-8 in the core; the platform turns paths and system errors into it.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace kal2map {

// A path for display, as UTF-8 (on POSIX the name's bytes as they are).
std::string PathText(const std::filesystem::path& path);

// The reason behind `ec` in German words, without a final full stop.
std::string ErrorText(const std::error_code& ec);

// Writes `utf8` and a line end to `stream` (on a Windows console in its own characters).
void PrintLine(std::FILE* stream, std::string_view utf8);

}  // namespace kal2map
