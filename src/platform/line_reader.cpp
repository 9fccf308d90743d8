#include "platform/line_reader.h"

#include <cstring>

namespace kal2map {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

std::size_t FindLineEnd(std::string_view text) { return text.find_first_of("\r\n"); }

}  // namespace

bool LineSplitter::Next(std::string_view& line) {
  if (rest_.empty()) return false;
  std::size_t end = FindLineEnd(rest_);
  if (end == std::string_view::npos) {
    line = rest_;
    rest_ = {};
    return true;
  }
  line = rest_.substr(0, end);
  bool crlf = rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n';
  rest_.remove_prefix(end + (crlf ? 2 : 1));
  return true;
}

std::error_code LineReader::Open(const std::filesystem::path& path) {
  capacity_ = kBlockSize;
  buffer_ = std::make_unique<char[]>(capacity_);
  return file_.Open(path);
}

bool LineReader::Next(std::string_view& line) {
  for (;;) {
    std::string_view window(buffer_.get() + begin_, end_ - begin_);
    std::size_t end = FindLineEnd(window.substr(scanned_));
    if (end != std::string_view::npos) {
      end += scanned_;
      line = window.substr(0, end);
      const bool cr = window[end] == '\r';
      begin_ += end + 1;
      scanned_ = 0;
      if (cr) {
        if (begin_ < end_) {
          if (buffer_[begin_] == '\n') ++begin_;
        } else {
          skip_lf_ = true;
        }
      }
      return true;
    }
    scanned_ = window.size();
    if (eof_) {
      if (window.empty()) return false;
      line = window;
      begin_ = end_;
      scanned_ = 0;
      return true;
    }
    Fill();
  }
}

void LineReader::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (capacity_ - end_ < kBlockSize) {
    std::size_t capacity = capacity_ * 2;
    auto bigger = std::make_unique<char[]>(capacity);
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
