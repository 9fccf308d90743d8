// The texts the form shows beside its controls' own captions. UTF-8, like every user text in
// the core.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "control/batch.h"

namespace kal2map::ui {

inline constexpr std::string_view kCaption = "Tivara.kal  -->  Ozi.map   (by Vemto)";

// The system menu entry that shows and hides the image-extension choice.
inline constexpr std::string_view kExtChoiceMenuText = "Bitmap-Endung \xC3\xA4ndern...";

// The three steps for `Label1`, separated by two carriage returns each (no line feeds: the
// label breaks lines at CR alone).
std::string InstructionText();

// `BitmapExt` for the text of the option button that was switched on.
std::string ExtensionForOption(std::string_view option_text);

// At most this many failures are listed one by one, so the box still fits on the screen.
inline constexpr std::size_t kMaxListedFailures = 15;

// Text of the warning box after a run with failures: one line per file with the system's
// reason.
std::string FailureMessage(const RunReport& report);

}  // namespace kal2map::ui
