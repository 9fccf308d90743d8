// File system operations whose implementation differs between Windows and POSIX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace kal2map {

// Failures the program detects itself, beside those the system reports.
enum class FileError {
  kWriteProtected = 1,  // an existing file the user has marked read-only
  kNotRegularFile,      // a folder, pipe or device where a file was expected
};
const std::error_category& FileErrorCategory();
std::error_code MakeError(FileError e);

// Whether `path` names an ordinary file (following links).
bool IsRegularFile(const std::filesystem::path& path);

// Folder of the running program's executable.
std::filesystem::path ProgramFolder();

using NativeName = std::basic_string_view<std::filesystem::path::value_type>;

// Orders file names as the file system tells them apart: on Windows names that differ only in
// letter case are one name (as NTFS folds them, not as the user's locale would); on POSIX the
// bytes decide. Negative, zero or positive, like strcmp.
int CompareFileNames(NativeName a, NativeName b);

struct FileNameLess {
  bool operator()(const std::filesystem::path& a, const std::filesystem::path& b) const {
    return CompareFileNames(a.native(), b.native()) < 0;
  }
};

enum class PathKind { kNone, kFolder, kFile, kOther };

// What `path` names, following links: kOther for pipes and devices, kNone with the reason in
// `ec` when there is nothing there or it cannot be looked at.
PathKind KindOfPath(const std::filesystem::path& path, std::error_code& ec);

// What a conversion may visit in one folder, each list sorted by code unit.
struct FolderListing {
  // Ordinary files whose names `wanted` accepts. Pipes and devices are left out, and so are
  // hidden and system files on Windows. A name whose type cannot be determined is kept, so
  // that its failure gets reported rather than hidden.
  std::vector<std::filesystem::path> files;
  // Subfolders that are really below `folder`: no links or junctions, so that no walk can
  // loop, and none that the system hides (hidden or system on Windows, a leading "." on POSIX).
  std::vector<std::filesystem::path> folders;
};

// Lists `folder`. `wanted` sees each file name before a link is followed, so that links among
// thousands of other files cost nothing.
FolderListing ListFolder(const std::filesystem::path& folder,
                         const std::function<bool(NativeName)>& wanted, std::error_code& ec);

// The folders of one run in which files were replaced. A rename reaches the disk on POSIX only
// once its folder is flushed; flushing each folder once at the end of a run, rather than once
// per file, keeps a run over thousands of maps fast. On Windows the move itself writes through
// and nothing is noted.
class ChangedFolders {
 public:
  ChangedFolders() = default;
  ChangedFolders(const ChangedFolders&) = delete;
  ChangedFolders& operator=(const ChangedFolders&) = delete;
  // Flushes what a run left unflushed, e.g. when an exception ended it; failures go unreported.
  ~ChangedFolders();

  void Note(const std::filesystem::path& folder);
  // Flushes every folder noted since the last call once; returns those that failed, with why.
  std::vector<std::pair<std::filesystem::path, std::error_code>> Flush();

 private:
  std::set<std::filesystem::path> folders_;
};

// Replaces the file at `path` with `contents` so that it is either the old file or the whole
// new one: the bytes go to a temporary file in the same folder, which is moved over the old
// file only when complete and removed on any failure. A write-protected file is not replaced.
// When an old file is replaced, the new bytes reach the disk before the move, so that a power
// cut cannot leave an empty file in its place; its folder is noted in `changed` and has to be
// flushed to make the move itself last. A new file is neither flushed nor noted: a power cut
// can lose nothing that was there before.
std::error_code ReplaceFileContents(const std::filesystem::path& path, std::string_view contents,
                                    ChangedFolders& changed);

// A file open for sequential reading; opening a pipe or device fails instead of blocking.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  std::error_code Open(const std::filesystem::path& path);
  // Reads up to `size` bytes; returns how many, 0 at the end of the file, -1 on error.
  std::int64_t Read(char* buffer, std::size_t size, std::error_code& ec);
  // Reads up to `size` bytes at `offset`; for random access, not to be mixed with Read.
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::error_code& ec);

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace kal2map
