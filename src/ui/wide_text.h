// Conversions between the core's UTF-8 texts and the UTF-16 the Win32 API takes.
#pragma once

#include <string>
#include <string_view>

namespace kal2map::ui {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace kal2map::ui
