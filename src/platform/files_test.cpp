#include "platform/files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#endif

#include "platform/text.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::Listing;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> Names(const std::vector<std::filesystem::path>& paths) {
  std::vector<std::string> names;
  for (const auto& p : paths) names.push_back(p.string());
  return names;
}

bool AnyName(NativeName) { return true; }

std::error_code Replace(const std::filesystem::path& path, std::string_view contents) {
  return ReplaceFileContents(path, contents);
}

TEST(ListFolder, OrdinaryFilesTheCallerWantsAndRealSubfolders) {
  TempDir dir;
  for (const char* name : {"b.kal", "A.KAL", ".kal", "z.map", "skipped.txt"}) {
    WriteFile(dir / name, "");
  }
  for (const char* name : {"folder.kal", "sub", ".git"})
    std::filesystem::create_directory(dir / name);
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((dir / "pipe.kal").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "b.kal", dir / "link.kal");
  std::filesystem::create_symlink(dir / "gone", dir / "dangling.kal");
  std::filesystem::create_directory_symlink(dir / "sub", dir / "loop");
#endif
  const auto wanted = [](NativeName name) {
    return name.find('.') != NativeName::npos &&
           name.substr(name.size() - 4) != NativeName(std::filesystem::path(".txt").native());
  };
  std::error_code ec;
  const FolderListing listing = ListFolder(dir.path(), wanted, ec);
  EXPECT_FALSE(ec);
#ifdef _WIN32
  EXPECT_EQ(Names(listing.files), (std::vector<std::string>{".kal", "A.KAL", "b.kal", "z.map"}));
  EXPECT_EQ(Names(listing.folders), (std::vector<std::string>{".git", "folder.kal", "sub"}));
#else
  // A dangling link stays in the list so that its failure is reported, not hidden. A link to
  // a folder is no subfolder: following it could loop.
  EXPECT_EQ(Names(listing.files), (std::vector<std::string>{".kal", "A.KAL", "b.kal",
                                                            "dangling.kal", "link.kal", "z.map"}));
  EXPECT_EQ(Names(listing.folders), (std::vector<std::string>{"folder.kal", "sub"}));
#endif
}

TEST(ListFolder, MissingFolderIsAnError) {
  TempDir dir;
  std::error_code ec;
  const FolderListing listing = ListFolder(dir / "missing", AnyName, ec);
  EXPECT_TRUE(listing.files.empty());
  EXPECT_TRUE(ec);
}

TEST(ReplaceFileContents, ReplacesWholeAndLeavesNoTemporaryFile) {
  TempDir dir;
  WriteFile(dir / "a.map", std::string(100000, 'x'));
  EXPECT_FALSE(Replace(dir / "a.map", "new\r\n"));
  EXPECT_EQ(ReadFile(dir / "a.map"), "new\r\n");
  EXPECT_FALSE(Replace(dir / "b.map", ""));
  EXPECT_EQ(Listing(dir.path()), "a.map b.map");
}

TEST(ReplaceFileContents, FailuresKeepTheOldFile) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder.map");
  EXPECT_TRUE(Replace(dir / "folder.map", "x"));
  EXPECT_TRUE(Replace(dir / "missing" / "a.map", "x"));

  WriteFile(dir / "ro.map", "old");
  std::filesystem::permissions(
      dir / "ro.map", std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  std::error_code ec = Replace(dir / "ro.map", "new");
  EXPECT_EQ(ec, MakeError(FileError::kWriteProtected));
  EXPECT_EQ(ErrorText(ec), "Datei ist schreibgeschützt");
  EXPECT_EQ(ReadFile(dir / "ro.map"), "old");
  EXPECT_EQ(Listing(dir.path()), "folder.map ro.map");
}

#ifndef _WIN32
TEST(ReplaceFileContents, NamesOfTheLongestLengthAllowed) {
  TempDir dir;
  const std::string name = std::string(251, 'k') + ".map";
  EXPECT_FALSE(Replace(dir / name, "new"));
  EXPECT_FALSE(Replace(dir / name, "newer"));
  EXPECT_EQ(ReadFile(dir / name), "newer");
  EXPECT_EQ(Listing(dir.path()), name);
}

TEST(ReplaceFileContents, KeepsTheOldFilesPermissions) {
  TempDir dir;
  WriteFile(dir / "a.map", "old");
  ::chmod((dir / "a.map").c_str(), 0640);
  EXPECT_FALSE(Replace(dir / "a.map", "new"));
  struct stat st;
  ASSERT_EQ(::stat((dir / "a.map").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(InputFile, APipeIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.kal").c_str(), 0600), 0);
  InputFile file;
  EXPECT_EQ(file.Open(dir / "pipe.kal"), MakeError(FileError::kNotRegularFile));
}

// One full flush commits the others' sizes only where one journal serves the whole file system
// (ext4, XFS); FUSE, NFS, CIFS, SMB2, btrfs, overlays and tmpfs promise nothing of the kind. A
// real FUSE mount (bindfs) of a folder on ext4 is told apart too.
TEST(FlushMethod, WriteOutOnlyWhereOneJournalCommitsEveryFile) {
  for (std::uint64_t type : {0xEF53u, 0x58465342u}) {
    EXPECT_EQ(FlushMethodForType(type), FlushMethod::kWriteOutThenOne) << type;
  }
  for (std::uint64_t type : {0x65735546u, 0x6969u, 0xFF534D42u, 0xFE534D42u, 0x9123683Eu,
                             0x794C7630u, 0x01021994u, 0u}) {
    EXPECT_EQ(FlushMethodForType(type), FlushMethod::kEachFile) << type;
  }
  TempDir dir, fuse;
  const std::string mount = "bindfs '" + dir.path().string() + "' '" + fuse.path().string() + "'";
  if (std::system((mount + " 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "no bindfs mount here";
  EXPECT_EQ(FlushMethodFor(fuse.path()), FlushMethod::kEachFile);
  EXPECT_EQ(std::system(("fusermount -u '" + fuse.path().string() + "'").c_str()), 0);
}

TEST(ErrorText, SpeaksGerman) {
  EXPECT_EQ(ErrorText({EACCES, std::generic_category()}), "Zugriff verweigert");
  EXPECT_EQ(ErrorText({ENOSPC, std::generic_category()}),
            "Kein Speicherplatz mehr auf dem Datenträger");
}
#endif

}  // namespace
}  // namespace kal2map
