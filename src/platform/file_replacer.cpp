// The order of a batched replacement, the same on every system: every temporary file written,
// one flush, the moves, the folder. Each step's system calls live in files_posix.cpp and
// files_win32.cpp.
#include <algorithm>

#include "platform/files.h"

namespace kal2map {

FileReplacer::~FileReplacer() { Abandon(); }

bool FileReplacer::Fits(const std::filesystem::path& path, std::size_t files) const {
  return pending_.empty() || (pending_.size() + files <= kBatchSize &&
                              pending_.front().target.parent_path() == path.parent_path());
}

std::error_code FileReplacer::Add(const std::filesystem::path& path, std::string_view contents) {
  Pending file{path, {}, false};
  const std::error_code ec = WriteTemporary(file, contents);
  if (ec && !file.temp.empty()) RemoveTemporary(file);
  if (!ec) pending_.push_back(std::move(file));
  return ec;
}

bool FileReplacer::NeedsFlush() const {
  return std::any_of(pending_.begin(), pending_.end(),
                     [](const Pending& p) { return p.replacing; });
}

FileReplacer::Outcome FileReplacer::Commit() {
  Outcome outcome;
  if (pending_.empty()) return outcome;
  const std::filesystem::path folder = pending_.front().target.parent_path();
  outcome.folder = folder.empty() ? std::filesystem::path("./") : folder / "";
  const std::error_code flushed = FlushBatch(NeedsFlush());
  bool moved_over = false;
  for (const Pending& file : pending_) {
    std::error_code ec = flushed ? flushed : MoveIntoPlace(file);
    if (ec) {
      RemoveTemporary(file);
    } else {
      moved_over = moved_over || file.replacing;
    }
    outcome.files.push_back(ec);
  }
  pending_.clear();
  if (moved_over) {
    // Named once, not once for each of the folder's batches.
    const std::error_code ec = FlushFolder(outcome.folder);
    if (ec && outcome.folder != failed_folder_) outcome.folder_error = ec;
    if (ec) failed_folder_ = outcome.folder;
  }
  return outcome;
}

void FileReplacer::Abandon() {
  ReleaseHandles();
  for (const Pending& file : pending_) RemoveTemporary(file);
  pending_.clear();
}

std::error_code ReplaceFileContents(const std::filesystem::path& path, std::string_view contents) {
  FileReplacer replacer;
  if (std::error_code ec = replacer.Add(path, contents)) return ec;
  const FileReplacer::Outcome outcome = replacer.Commit();
  return outcome.files.front() ? outcome.files.front() : outcome.folder_error;
}

}  // namespace kal2map
