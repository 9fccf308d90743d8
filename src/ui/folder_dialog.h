// The system's folder dialog: the common item dialog where it exists (Windows Vista and later),
// the older folder browser otherwise. The calling thread must have initialised COM.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>

namespace kal2map::ui {

// The folder the user picked; none when the dialog was cancelled or could not be shown.
// `start` is where the dialog opens, if it exists.
std::optional<std::filesystem::path> PickFolder(HWND owner, const std::filesystem::path& start);

}  // namespace kal2map::ui
