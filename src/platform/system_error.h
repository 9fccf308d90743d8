// Error numbers that a library reports from the system on our behalf.
#pragma once

#include <system_error>

namespace kal2map {

// The system's error `number` (errno on POSIX, GetLastError on Windows) in the category the
// platform's own failures have, so that ErrorText puts it in the same words.
inline std::error_code SystemErrorCode(int number) {
#ifdef _WIN32
  return {number, std::system_category()};
#else
  return {number, std::generic_category()};
#endif
}

}  // namespace kal2map
