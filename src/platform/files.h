// File system operations whose implementation differs between Windows and POSIX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <system_error>
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

// What the file system knows a file or folder by, whatever name reached it (a link, a bind
// mount, a subst drive, a short name, a network path): device and inode on POSIX, volume serial
// number and file index on Windows.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// Follows links; nothing when `path` cannot be looked at.
std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path);

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

// How the replaced files of a batch reach the disk. kWriteOutThenOne: each file's bytes are
// written out without emptying the disk's cache, and one full flush of the batch's last file
// empties it and commits the file system's journal, which holds the other files' sizes too.
// That costs what our own files cost, but only where the journal is one for the whole file
// system; elsewhere (FUSE, network file systems, btrfs's per-file log, overlays) kEachFile: a
// full flush of each file.
enum class FlushMethod { kEachFile, kWriteOutThenOne };

// The method for files in `folder`; kEachFile when its file system cannot be told.
FlushMethod FlushMethodFor(const std::filesystem::path& folder);

#ifndef _WIN32
// The method for a file system of the type statfs names it by (f_type).
FlushMethod FlushMethodForType(std::uint64_t file_system_type);
#endif

// Replaces files so that each is either its old self or the whole new one, even after a power
// cut: the bytes go to a temporary file in the same folder, which is moved over the old file
// only when complete and removed on any failure. A write-protected file is not replaced.
//
// Waiting for the disk once per file would make converting a folder again several times as slow
// as converting it the first time, so files are replaced in batches of one folder: Add writes a
// temporary file, Commit makes the whole batch durable (see FlushMethod), moves each file into
// place and then flushes the folder, which makes the moves themselves last. A batch of new files
// only is not flushed: a power cut can lose nothing that was there before. Only the batch's own
// files are waited for, never other programs' data on the same disk.
class FileReplacer {
 public:
  // Bounds the temporary files that exist at once, and the work a failed flush takes back.
  static constexpr std::size_t kBatchSize = 256;

  FileReplacer() = default;
  FileReplacer(const FileReplacer&) = delete;
  FileReplacer& operator=(const FileReplacer&) = delete;
  // Abandons a batch that was never committed, e.g. when an exception ended the run.
  ~FileReplacer();

  // Whether `files` files in the folder of `path` may join the pending batch; if not, Commit
  // first.
  bool Fits(const std::filesystem::path& path, std::size_t files = 1) const;
  // Whether the pending batch replaces an old file and so waits for a flush. A batch of new
  // files may as well be committed after each, as if it were not batched.
  bool NeedsFlush() const;
  // Writes `contents` to a temporary file for `path`, to be moved over it by Commit. On failure
  // nothing is left behind and the batch goes on without it.
  std::error_code Add(const std::filesystem::path& path, std::string_view contents);

  struct Outcome {
    std::vector<std::error_code> files;  // one for each Add that succeeded, in order
    std::filesystem::path folder;        // the batch's folder, as messages name it
    std::error_code folder_error;        // moved, but the folder could not be flushed; said once
  };
  // A failed flush moves no file of the batch: each keeps its old contents and fails.
  Outcome Commit();
  // Removes the temporary files of the pending batch; no file is replaced.
  void Abandon();

 private:
  struct Pending {
    std::filesystem::path target, temp;
    bool replacing = false;     // an old file is there, which a power cut must not take
    std::intptr_t handle = -1;  // kept open for the batch's flush, where it writes the file out
  };
  // What differs between systems: writing a temporary file (`file.temp` is set once it
  // exists), flushing the batch's files (which closes the handles kept for it), moving one,
  // removing one, flushing the folder, closing the handles kept when the flush never comes.
  std::error_code WriteTemporary(Pending& file, std::string_view contents);
  std::error_code FlushBatch(bool replacing);
  std::error_code MoveIntoPlace(const Pending& file);
  void RemoveTemporary(const Pending& file);
  std::error_code FlushFolder(const std::filesystem::path& folder);
  void ReleaseHandles();

  std::vector<Pending> pending_;
  std::filesystem::path failed_folder_;
};

// Replaces one file as a batch of its own (see FileReplacer).
std::error_code ReplaceFileContents(const std::filesystem::path& path, std::string_view contents);

// For files that another writer (SQLite) builds in place of a string.
//
// A name beside `path`, in its folder, that no listing of "*.kal" matches and no other run uses.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& path);
// Whether a file may be replaced at `path`: nothing there, or an ordinary file the user has not
// write-protected (FileError::kWriteProtected).
std::error_code CheckReplaceable(const std::filesystem::path& path);
// Moves `temp`, a complete file in the folder of `target` that nothing holds open, over
// `target` so that a power cut leaves the old file or the whole new one: the file is flushed,
// moved, then the folder is flushed. A replaced file keeps its permissions. Fails without
// moving when `target` may not be replaced (CheckReplaceable); `temp` is then left to the caller.
std::error_code ReplaceWithFinished(const std::filesystem::path& target,
                                    const std::filesystem::path& temp);

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
