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
  explicit LineSplitter(std::string_view text);
  bool Next(std::string_view& line);
  // The text from the start of the line Next would hand out next.
  std::string_view rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  // The first CR and the first LF at or after pos_ (text_.size() when there is none). Each is
  // searched for again only once passed, so that text with a single kind of line end is not
  // searched to its end for the other kind on every line.
  std::size_t next_cr_;
  std::size_t next_lf_;
};

// Position of the first CR or LF in `text` at or after `pos`; text.size() when there is none.
std::size_t FindLineEnd(std::string_view text, std::size_t pos);

// The line of `text` that holds the byte at `pos`, without its end. `text` starts at the start
// of a line, and the byte at `pos` is no CR or LF.
std::string_view LineAround(std::string_view text, std::size_t pos);

// Reads a file in large blocks and hands out its lines without copying them. Memory grows only
// to hold the longest line.
class LineReader {
 public:
  std::error_code Open(const std::filesystem::path& path);
  // The next run of whole lines, each with its end; only the file's last line may lack one. The
  // run stays valid until the next call. False at the end of the file or after a read error.
  bool NextLines(std::string_view& lines);
  // The next line; it stays valid until the next call.
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
  LineSplitter run_{{}};  // the run that Next hands out line by line
};

}  // namespace kal2map
