// Windows only: the core's texts are UTF-8, the wide Win32 API takes UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace kal2map {

// Unpaired surrogates, which NTFS names may hold, become U+FFFD instead of failing.
std::string ToUtf8(std::wstring_view utf16);
std::wstring ToWide(std::string_view utf8);

}  // namespace kal2map
