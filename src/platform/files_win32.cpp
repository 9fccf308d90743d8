#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>

#include "platform/files.h"
#include "platform/win32.h"

namespace kal2map {
namespace {

using win32::ExtendedPath;
using win32::LastError;
using win32::WriteAll;

// A name in the target's folder that no listing of "*.kal" matches and no other run uses. It
// stays within the 255 characters a name may have, however long the target's name is.
std::wstring TemporaryWideName(std::wstring_view path) {
  static std::atomic<unsigned> counter{0};
  const std::wstring suffix =
      L"." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(counter++) + L".tmp";
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::size_t name_start = slash == std::wstring_view::npos ? 0 : slash + 1;
  std::wstring name = L"~" + std::wstring(path.substr(name_start));
  name.resize(std::min(name.size(), 255 - suffix.size()));
  if (!name.empty() && IS_HIGH_SURROGATE(name.back())) name.pop_back();
  return std::wstring(path.substr(0, name_start)) + name + suffix;
}

// NtFlushBuffersFileEx, which Windows 7 and Wine 8 lack: a program importing it would not
// start there, so it is looked up when first needed.
struct NtFlush {
  using Flush = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, IO_STATUS_BLOCK*);
  using ToError = ULONG(WINAPI*)(LONG);
  Flush flush = nullptr;
  ToError to_error = nullptr;
};

const NtFlush& TheNtFlush() {
  static const NtFlush nt = [] {
    NtFlush found;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return found;
    found.to_error = reinterpret_cast<NtFlush::ToError>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (found.to_error != nullptr) {
      found.flush = reinterpret_cast<NtFlush::Flush>(
          reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtFlushBuffersFileEx")));
    }
    return found;
  }();
  return nt;
}

// Writes the file's bytes to the disk without waiting for the disk to empty its cache, which
// the batch's one full flush then does for all; where that is not offered, a full flush.
std::error_code FlushData(HANDLE file) {
  constexpr ULONG kDataOnly = 0x1;  // FLUSH_FLAGS_FILE_DATA_ONLY
  const NtFlush& nt = TheNtFlush();
  if (nt.flush == nullptr) return ::FlushFileBuffers(file) ? std::error_code() : LastError();
  IO_STATUS_BLOCK status{};
  const LONG result = nt.flush(file, kDataOnly, nullptr, 0, &status);
  if (result >= 0) return {};
  return {static_cast<int>(nt.to_error(result)), std::system_category()};
}

// Whether a file may be replaced at `target` (in the extended form); `replacing` is set when
// there is one.
std::error_code Replaceable(const std::wstring& target, bool& replacing) {
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  replacing = attributes != INVALID_FILE_ATTRIBUTES;
  if (replacing) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {EISDIR, std::generic_category()};
    if (attributes & FILE_ATTRIBUTE_READONLY) return MakeError(FileError::kWriteProtected);
  } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return LastError();
  }
  return {};
}

}  // namespace

std::filesystem::path TemporaryNameFor(const std::filesystem::path& path) {
  return TemporaryWideName(path.native());
}

std::error_code CheckReplaceable(const std::filesystem::path& path) {
  bool replacing = false;
  return Replaceable(ExtendedPath(path), replacing);
}

std::error_code ReplaceWithFinished(const std::filesystem::path& target,
                                    const std::filesystem::path& temp) {
  const std::wstring to = ExtendedPath(target), from = ExtendedPath(temp);
  bool replacing = false;
  if (std::error_code ec = Replaceable(to, replacing)) return ec;
  HANDLE file = ::CreateFileW(from.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  // Otherwise the move may reach the disk before the bytes.
  std::error_code ec;
  if (!::FlushFileBuffers(file)) ec = LastError();
  if (!::CloseHandle(file) && !ec) ec = LastError();
  if (ec) return ec;
  // Written through, the move needs no flush of the folder afterwards.
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  return {};
}

int CompareFileNames(NativeName a, NativeName b) {
  // The file system folds case by its own table, which CompareStringOrdinal shares; the
  // user's locale plays no part.
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) -
         CSTR_EQUAL;
}

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
  // As KindOfPath: no access rights are needed, and a folder opens too.
  HANDLE file = ::CreateFileW(ExtendedPath(path.empty() ? L"." : path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  std::optional<FileIdentity> identity;
  if (::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info)) {
    identity = FileIdentity{info.dwVolumeSerialNumber,
                            (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  }
  ::CloseHandle(file);
  return identity;
}

FlushMethod FlushMethodFor(const std::filesystem::path&) {
  return TheNtFlush().flush != nullptr ? FlushMethod::kWriteOutThenOne : FlushMethod::kEachFile;
}

PathKind KindOfPath(const std::filesystem::path& path, std::error_code& ec) {
  ec.clear();
  // No access asked for: a file that another program holds open without sharing can still be
  // looked at. FILE_FLAG_BACKUP_SEMANTICS lets a folder open.
  HANDLE file = ::CreateFileW(ExtendedPath(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    ec = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
             ? std::make_error_code(std::errc::no_such_file_or_directory)
             : LastError();
    return PathKind::kNone;
  }
  PathKind kind = PathKind::kOther;  // a pipe or a device such as NUL
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(file) == FILE_TYPE_DISK) {
    if (::GetFileInformationByHandle(file, &info)) {
      kind = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::kFolder : PathKind::kFile;
    } else {
      ec = LastError();
      kind = PathKind::kNone;
    }
  }
  ::CloseHandle(file);
  return kind;
}

std::filesystem::path ProgramFolder() {
  // MAX_PATH is no limit for the module's name on systems with long paths enabled.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) break;
    if (n < buffer.size()) {
      buffer.resize(n);
      return std::filesystem::path(buffer).parent_path();
    }
    if (buffer.size() >= 32768) break;  // longer than any path Windows allows
    buffer.resize(buffer.size() * 2);
  }
  std::error_code ec;
  return std::filesystem::current_path(ec);
}

FolderListing ListFolder(const std::filesystem::path& folder,
                         const std::function<bool(NativeName)>& wanted, std::error_code& ec) {
  ec.clear();
  std::vector<std::wstring> files, folders;
  std::wstring pattern = ExtendedPath(folder.empty() ? std::filesystem::path(L".") : folder);
  if (!pattern.ends_with(L'\\')) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data;
  // FindExInfoBasic: only long names are looked at, so "LONGNA~1.KAL" never matches a name
  // such as "Karte.kalibriert".
  HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    if (::GetLastError() != ERROR_FILE_NOT_FOUND) ec = LastError();
    return {};
  }
  constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    const std::wstring_view name = data.cFileName;
    const DWORD attributes = data.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A reparse point is a junction, a link or a mount point: following one could loop.
      if (name != L"." && name != L".." &&
          (attributes & (kHidden | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
        folders.emplace_back(name);
      }
    } else if ((attributes & (kHidden | FILE_ATTRIBUTE_DEVICE)) == 0 && wanted(name)) {
      files.emplace_back(name);
    }
  } while (::FindNextFileW(find, &data));
  if (::GetLastError() != ERROR_NO_MORE_FILES) ec = LastError();
  ::FindClose(find);
  // Ordinal on the UTF-16 code units: the same order whatever the user's locale.
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  return {{files.begin(), files.end()}, {folders.begin(), folders.end()}};
}

std::error_code FileReplacer::WriteTemporary(Pending& pending, std::string_view contents) {
  const std::wstring target = ExtendedPath(pending.target);
  bool replacing = false;
  if (std::error_code ec = Replaceable(target, replacing)) return ec;

  const std::wstring temp = TemporaryWideName(target);
  HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  pending.temp = temp;
  pending.replacing = replacing;
  std::error_code ec = WriteAll(file, contents);
  // Otherwise the move may reach the disk before the bytes, and a power cut leaves an empty
  // file where the old one was.
  if (!ec && replacing) ec = FlushData(file);
  // Closing can report a delayed write failure, e.g. a full network drive.
  if (!::CloseHandle(file) && !ec) ec = LastError();
  return ec;
}

// The data-only flushes left the bytes in the disk's cache; one full flush of any file empties
// it, and commits the file system's log with the sizes of the files written before.
std::error_code FileReplacer::FlushBatch(bool replacing) {
  if (!replacing || TheNtFlush().flush == nullptr) return {};
  const auto last = std::find_if(pending_.rbegin(), pending_.rend(),
                                 [](const Pending& p) { return p.replacing; });
  HANDLE file = ::CreateFileW(last->temp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  std::error_code ec;
  if (!::FlushFileBuffers(file)) ec = LastError();
  if (!::CloseHandle(file) && !ec) ec = LastError();
  return ec;
}

void FileReplacer::ReleaseHandles() {}

std::error_code FileReplacer::MoveIntoPlace(const Pending& file) {
  if (::MoveFileExW(file.temp.c_str(), ExtendedPath(file.target).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  return LastError();
}

void FileReplacer::RemoveTemporary(const Pending& file) { ::DeleteFileW(file.temp.c_str()); }

// The move writes through, so there is no folder to flush afterwards.
std::error_code FileReplacer::FlushFolder(const std::filesystem::path&) { return {}; }

InputFile::~InputFile() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::error_code InputFile::Open(const std::filesystem::path& path) {
  // Sharing everything: a map program that holds the calibration open must not block us.
  // FILE_FLAG_BACKUP_SEMANTICS lets a folder open, so it is refused as a folder below rather
  // than with a misleading "access denied".
  HANDLE file =
      ::CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  std::error_code ec;
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ec = MakeError(FileError::kNotRegularFile);
  } else if (!::GetFileInformationByHandle(file, &info)) {
    ec = LastError();
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    ec = MakeError(FileError::kNotRegularFile);
  }
  if (ec) {
    ::CloseHandle(file);
    return ec;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return {};
}

std::int64_t InputFile::Read(char* buffer, std::size_t size, std::error_code& ec) {
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  DWORD n = 0;
  if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, chunk, &n, nullptr)) {
    if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
    ec = LastError();
    return -1;
  }
  return n;
}

std::int64_t InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                               std::error_code& ec) {
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, chunk, &n, &at)) {
    if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
    ec = LastError();
    return -1;
  }
  return n;
}

bool IsRegularFile(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace kal2map
