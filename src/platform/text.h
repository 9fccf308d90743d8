// Text shown to the user is UTF-8 in the core; the platform turns paths and system errors into it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace kal2map {

// A path for display, as UTF-8 (on POSIX the name's bytes as they are).
std::string PathText(const std::filesystem::path& path);

// `path` as the UTF-8 file name that libraries such as SQLite take and turn back into the
// system's own: on POSIX the name's bytes, never a code page's. (On Windows a name with an
// unpaired surrogate, which UTF-8 cannot hold, would come back as another name.)
std::string LibraryFileName(const std::filesystem::path& path);

// The reason behind `ec` in German words, without a final full stop.
std::string ErrorText(const std::error_code& ec);

// Writes `utf8` and a line end to `stream` (on a Windows console in its own characters).
void PrintLine(std::FILE* stream, std::string_view utf8);

// Whether `stream` is a terminal (a console on Windows) that can rewrite its current line.
// False for files and pipes, and for a POSIX terminal that declares itself "dumb".
bool IsTerminal(std::FILE* stream);

// Width in columns of the terminal behind `stream`; 0 when unknown.
std::size_t TerminalColumns(std::FILE* stream);

// Replaces the current line of the terminal `stream` with `utf8` and leaves the cursor after
// it; an empty text clears the line. `utf8` must hold no line end and fit in one line, or the
// rest of a wrapped line stays behind.
void RewriteLine(std::FILE* stream, std::string_view utf8);

}  // namespace kal2map
