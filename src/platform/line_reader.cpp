#include "platform/line_reader.h"

#include <algorithm>
#include <cstring>

namespace kal2map {
namespace {

// Large enough that a read costs little beside the copying, small enough to stay in the cache.
constexpr std::size_t kBlockSize = 64 * 1024;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Position of the first `c` in `text` at or after `from`, text.size() when there is none.
std::size_t FindFrom(std::string_view text, std::size_t from, char c) {
  if (from == text.size()) return from;  // also keeps a null data() away from memchr
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit == nullptr ? text.size() : static_cast<const char*>(hit) - text.data();
}

}  // namespace

LineSplitter::LineSplitter(std::string_view text)
    : text_(text), next_cr_(FindFrom(text, 0, '\r')), next_lf_(FindFrom(text, 0, '\n')) {}

bool LineSplitter::Next(std::string_view& line) {
  const std::size_t size = text_.size();
  if (pos_ == size) return false;
  if (next_cr_ < pos_) next_cr_ = FindFrom(text_, pos_, '\r');
  if (next_lf_ < pos_) next_lf_ = FindFrom(text_, pos_, '\n');
  const std::size_t end = std::min(next_cr_, next_lf_);
  line = text_.substr(pos_, end - pos_);
  if (end == size) {
    pos_ = size;
  } else {
    const bool crlf = end == next_cr_ && end + 1 == next_lf_ && next_lf_ < size;
    pos_ = end + (crlf ? 2 : 1);
  }
  return true;
}

std::size_t FindLineEnd(std::string_view text, std::size_t pos) {
  while (pos < text.size() && !IsLineEnd(text[pos])) ++pos;
  return pos;
}

std::string_view LineAround(std::string_view text, std::size_t pos) {
  std::size_t begin = pos;
  while (begin > 0 && !IsLineEnd(text[begin - 1])) --begin;
  return text.substr(begin, FindLineEnd(text, pos) - begin);
}

std::error_code LineReader::Open(const std::filesystem::path& path) {
  capacity_ = kBlockSize;
  buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
  return file_.Open(path);
}

bool LineReader::NextLines(std::string_view& lines) {
  for (;;) {
    const char* data = buffer_.get();
    // The run ends after the last line end read so far; only the bytes not yet looked at can
    // hold it.
    std::size_t last = end_;
    while (last > begin_ + scanned_ && !IsLineEnd(data[last - 1])) --last;
    if (last > begin_ + scanned_) {
      lines = std::string_view(data + begin_, last - begin_);
      if (last == end_ && data[last - 1] == '\r') skip_lf_ = true;
      begin_ = last;
      scanned_ = 0;
      return true;
    }
    scanned_ = end_ - begin_;
    if (eof_) {
      if (begin_ == end_) return false;
      lines = std::string_view(data + begin_, end_ - begin_);
      begin_ = end_;
      scanned_ = 0;
      return true;
    }
    Fill();
  }
}

bool LineReader::Next(std::string_view& line) {
  while (!run_.Next(line)) {
    std::string_view lines;
    if (!NextLines(lines)) return false;
    run_ = LineSplitter(lines);
  }
  return true;
}

void LineReader::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (capacity_ - end_ < kBlockSize) {
    std::size_t capacity = capacity_ * 2;
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    capacity_ = capacity;
  }
  std::int64_t n = file_.Read(buffer_.get() + end_, capacity_ - end_, error_);
  if (n <= 0) {
    eof_ = true;
    return;
  }
  if (skip_lf_) {
    skip_lf_ = false;
    if (buffer_[end_] == '\n') ++begin_;  // end_ == begin_ here: the CR was the last byte
  }
  end_ += static_cast<std::size_t>(n);
}

}  // namespace kal2map
