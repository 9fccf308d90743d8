// German texts for errno values, on every system: the C library's own follow the locale, which
// is English on most servers and in the Windows C runtime.
#pragma once

namespace kal2map {

// The text for `code`, or nullptr when there is none.
const char* GermanErrnoText(int code);

}  // namespace kal2map
