#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/statfs.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "platform/files.h"

namespace kal2map {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

std::error_code WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// Keeps a replacing file open in `handle` for the batch's flush; where a file system would not
// make that flush last, the file is flushed whole at once instead.
std::error_code FlushLaterOrNow(int fd, std::intptr_t& handle) {
#ifdef __linux__
  struct statfs fs;
  if (::fstatfs(fd, &fs) == 0 &&
      FlushMethodForType(static_cast<std::uint64_t>(fs.f_type)) == FlushMethod::kWriteOutThenOne) {
    handle = fd;
    return {};
  }
#else
  (void)handle;
#endif
  return ::fsync(fd) == 0 ? std::error_code() : LastError();
}

// Whether the subfolder `name` of the open folder `dir_fd` is where another file system, or
// another view of one, is mounted. A bind mount keeps the device number, so Linux's own mark
// for the root of a mount is asked first; where the kernel has none (before 5.8), a device
// that differs from `parent`'s is the sign. Automounts are not triggered.
bool IsMountPoint(int dir_fd, const char* name, const struct stat* parent) {
#ifdef STATX_ATTR_MOUNT_ROOT
  struct statx stx;
  if (::statx(dir_fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &stx) == 0) {
    if (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
      return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    return parent != nullptr && makedev(stx.stx_dev_major, stx.stx_dev_minor) != parent->st_dev;
  }
#endif
  struct stat st;
  return parent != nullptr &&
         ::fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
         st.st_dev != parent->st_dev;
}

// Whether a file may be replaced at `path`; `mode` gets the permissions of the one there.
std::error_code Replaceable(const std::filesystem::path& path, std::optional<mode_t>& mode) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? std::error_code() : LastError();
  if (S_ISDIR(st.st_mode)) return {EISDIR, std::generic_category()};
  if (!S_ISREG(st.st_mode)) return MakeError(FileError::kNotRegularFile);
  // Root could write it, but the user marked it read-only: respect that for everyone.
  if ((st.st_mode & 0222) == 0) return MakeError(FileError::kWriteProtected);
  mode = st.st_mode & 07777;
  return {};
}

// A rename reaches the disk only once its folder is flushed.
std::error_code FlushFolderOf(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  std::error_code ec;
  // EINVAL: the file system cannot flush a folder, and there is no other way to do it.
  if (::fsync(fd) != 0 && errno != EINVAL) ec = LastError();
  ::close(fd);
  return ec;
}

}  // namespace

// A name in the target's folder that no listing of "*.kal" matches and no other run uses.
// Only the start of the target's name is used, so that a target whose name has the longest
// length the file system allows still gets a temporary name it accepts.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  static const std::string pid = std::to_string(::getpid());
  constexpr std::size_t kNamePart = 200;  // leaves room for the rest below NAME_MAX (255)
  std::string name = "." + path.filename().string().substr(0, kNamePart) + "." + pid + "." +
                     std::to_string(counter++) + ".tmp";
  return path.parent_path() / name;
}

int CompareFileNames(NativeName a, NativeName b) { return a.compare(b); }

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
  struct stat st;
  if (::stat(path.empty() ? "." : path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

FlushMethod FlushMethodForType(std::uint64_t file_system_type) {
  // Only journals that one fsync commits for the whole file system: ext3/ext4 (ext2 shares the
  // number, and loses more than a map in a power cut anyway) and XFS, whose log is written in
  // order. Everything else, named or not, gets the flush that promises it everywhere.
  constexpr std::uint64_t kExt4 = 0xEF53, kXfs = 0x58465342;
  return file_system_type == kExt4 || file_system_type == kXfs ? FlushMethod::kWriteOutThenOne
                                                               : FlushMethod::kEachFile;
}

FlushMethod FlushMethodFor(const std::filesystem::path& folder) {
#ifdef __linux__
  struct statfs fs;
  if (::statfs(folder.empty() ? "." : folder.c_str(), &fs) == 0) {
    return FlushMethodForType(static_cast<std::uint64_t>(fs.f_type));
  }
#else
  (void)folder;
#endif
  return FlushMethod::kEachFile;
}

PathKind KindOfPath(const std::filesystem::path& path, std::error_code& ec) {
  ec.clear();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    ec = LastError();
    return PathKind::kNone;
  }
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  return S_ISREG(st.st_mode) ? PathKind::kFile : PathKind::kOther;
}

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

FolderListing ListFolder(const std::filesystem::path& folder,
                         const std::function<bool(NativeName)>& wanted, std::error_code& ec) {
  ec.clear();
  FolderListing listing;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    ec = LastError();
    return listing;
  }
  struct stat self;
  const bool know_device = ::fstat(::dirfd(dir), &self) == 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) ec = LastError();
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
      // Some file systems do not tell the type; lstat does, without following a link.
      struct stat st;
      // A name that cannot be looked at counts as a link: stat below fails too and the name
      // is kept, so its failure gets reported.
      type = DT_LNK;
      if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) type = DT_DIR;
        if (S_ISREG(st.st_mode)) type = DT_REG;
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) type = DT_FIFO;
      }
    }
    if (type == DT_DIR) {
      // A mount point is not entered: a bind mount can show a folder inside itself.
      if (name.front() == '.' ||
          IsMountPoint(::dirfd(dir), entry->d_name, know_device ? &self : nullptr)) {
        continue;
      }
      listing.folders.emplace_back(name);
      continue;
    }
    if (!wanted(name)) continue;
    // The listing usually tells the type; only links cost a stat, which matters in folders of
    // thousands of sheets.
    if (type != DT_REG) {
      struct stat st;
      if (type != DT_LNK) continue;
      if (::stat((folder / name).c_str(), &st) == 0 && !S_ISREG(st.st_mode)) continue;
    }
    listing.files.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(listing.files.begin(), listing.files.end());
  std::sort(listing.folders.begin(), listing.folders.end());
  return listing;
}

std::error_code FileReplacer::WriteTemporary(Pending& file, std::string_view contents) {
  const std::filesystem::path& path = file.target;
  std::optional<mode_t> mode;  // none for a new file: the umask applies
  if (std::error_code ec = Replaceable(path, mode)) return ec;
  const bool keep_mode = mode.has_value();

  const std::filesystem::path temp = TemporaryNameFor(path);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  file.temp = temp;
  file.replacing = keep_mode;
  std::error_code ec = WriteAll(fd, contents);
  if (!ec && keep_mode && ::fchmod(fd, *mode) != 0) ec = LastError();
  // Unflushed, the rename may reach the disk before the bytes, and a power cut leaves an empty
  // file where the old one was.
  if (!ec && keep_mode) ec = FlushLaterOrNow(fd, file.handle);
  if (ec) file.handle = -1;
  if (file.handle < 0 && ::close(fd) != 0 && !ec) ec = LastError();
  return ec;
}

// Every file's bytes are sent off at once, so that the disk gets them together, then waited
// for; the last file is flushed whole: that commits the journal, which by then holds every
// file's size, and empties the disk's cache. Other programs' data is not waited for.
std::error_code FileReplacer::FlushBatch(bool) {
  std::error_code ec;
#ifdef __linux__
  for (const Pending& file : pending_) {
    if (file.handle >= 0 && !ec &&
        ::sync_file_range(static_cast<int>(file.handle), 0, 0, SYNC_FILE_RANGE_WRITE) != 0) {
      ec = LastError();
    }
  }
  const auto last = std::find_if(pending_.rbegin(), pending_.rend(),
                                 [](const Pending& p) { return p.handle >= 0; });
  for (Pending& file : pending_) {
    if (file.handle < 0) continue;
    const int fd = static_cast<int>(std::exchange(file.handle, -1));
    constexpr unsigned kWait =
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (!ec && (&file == &*last ? ::fsync(fd) : ::sync_file_range(fd, 0, 0, kWait)) != 0) {
      ec = LastError();
    }
    if (::close(fd) != 0 && !ec) ec = LastError();
  }
#endif
  return ec;
}

void FileReplacer::ReleaseHandles() {
  for (Pending& file : pending_) {
    if (file.handle >= 0) ::close(static_cast<int>(std::exchange(file.handle, -1)));
  }
}

std::error_code FileReplacer::MoveIntoPlace(const Pending& file) {
  return ::rename(file.temp.c_str(), file.target.c_str()) == 0 ? std::error_code() : LastError();
}

void FileReplacer::RemoveTemporary(const Pending& file) { ::unlink(file.temp.c_str()); }

std::error_code FileReplacer::FlushFolder(const std::filesystem::path& folder) {
  return FlushFolderOf(folder);
}

std::error_code CheckReplaceable(const std::filesystem::path& path) {
  std::optional<mode_t> mode;
  return Replaceable(path, mode);
}

std::error_code ReplaceWithFinished(const std::filesystem::path& target,
                                    const std::filesystem::path& temp) {
  std::optional<mode_t> mode;
  if (std::error_code ec = Replaceable(target, mode)) return ec;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return LastError();
  std::error_code ec;
  if (mode && ::fchmod(fd, *mode) != 0) ec = LastError();
  // Unflushed, the rename may reach the disk before the bytes.
  if (!ec && ::fsync(fd) != 0) ec = LastError();
  if (::close(fd) != 0 && !ec) ec = LastError();
  if (ec) return ec;
  if (::rename(temp.c_str(), target.c_str()) != 0) return LastError();
  return FlushFolderOf(target.parent_path());
}

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::error_code InputFile::Open(const std::filesystem::path& path) {
  // Non-blocking, so that opening a FIFO returns at once; the type check then turns it away.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return LastError();
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    std::error_code ec = LastError();
    ::close(fd);
    return ec;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return S_ISDIR(st.st_mode) ? std::error_code(EISDIR, std::generic_category())
                               : MakeError(FileError::kNotRegularFile);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  return {};
}

std::int64_t InputFile::Read(char* buffer, std::size_t size, std::error_code& ec) {
  for (;;) {
    ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    ec = LastError();
    return -1;
  }
}

std::int64_t InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                               std::error_code& ec) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
  for (;;) {
    ssize_t n = ::pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    ec = LastError();
    return -1;
  }
}

bool IsRegularFile(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace kal2map
