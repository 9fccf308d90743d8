// Lines end at CR LF, at a lone CR and at a lone LF; the end is not part of the line, and a
// last line without an end counts as well.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "platform/files.h"

namespace kal2map {

// Splits text that is already in memory.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text) : rest_(text) {}
  bool Next(std::string_view& line);

 private:
  std::string_view rest_;
};

// Reads a file in large blocks and hands out its lines without copying them. A line stays
// valid until the next call to Next. Memory grows only to hold the longest line.
class LineReader {
 public:
  std::error_code Open(const std::filesystem::path& path);
  // False at the end of the file or after a read error.
  bool Next(std::string_view& line);
  std::error_code error() const { return error_; }

 private:
  void Fill();

  InputFile file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0;    // first byte not yet handed out
  std::size_t end_ = 0;      // end of the bytes read
  std::size_t scanned_ = 0;  // bytes after begin_ known to hold no line end
  bool eof_ = false;
  bool skip_lf_ = false;  // the last block ended with CR; an LF starting the next belongs to it
  std::error_code error_;
};

}  // namespace kal2map
