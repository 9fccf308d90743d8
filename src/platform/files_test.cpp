#include "platform/files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/text.h"
#include "test_util.h"

namespace kal2map {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Names(const std::vector<std::filesystem::path>& paths) {
  std::vector<std::string> names;
  for (const auto& p : paths) names.push_back(p.string());
  return names;
}

TEST(ListKalFiles, OrdinaryFilesEndingInKalInAnyCase) {
  TempDir dir;
  for (const char* name :
       {"b.kal", "A.KAL", "c.Kal", ".kal", "x.kal.bak", "y.kalx", "kal", "z.map"}) {
    WriteFile(dir / name, "");
  }
  std::filesystem::create_directory(dir / "folder.kal");
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((dir / "pipe.kal").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "b.kal", dir / "link.kal");
  std::filesystem::create_symlink(dir / "gone", dir / "dangling.kal");
#endif
  std::error_code ec;
  auto names = Names(ListKalFiles(dir.path(), ec));
  EXPECT_FALSE(ec);
#ifdef _WIN32
  EXPECT_EQ(names, (std::vector<std::string>{".kal", "A.KAL", "b.kal", "c.Kal"}));
#else
  // A dangling link stays in the list so that its failure is reported, not hidden.
  EXPECT_EQ(names, (std::vector<std::string>{".kal", "A.KAL", "b.kal", "c.Kal", "dangling.kal",
                                             "link.kal"}));
#endif
}

TEST(ListKalFiles, MissingFolderIsAnError) {
  TempDir dir;
  std::error_code ec;
  EXPECT_TRUE(ListKalFiles(dir / "missing", ec).empty());
  EXPECT_TRUE(ec);
}

TEST(ReplaceFileContents, ReplacesWholeAndLeavesNoTemporaryFile) {
  TempDir dir;
  WriteFile(dir / "a.map", std::string(100000, 'x'));
  EXPECT_FALSE(ReplaceFileContents(dir / "a.map", "new\r\n"));
  EXPECT_EQ(ReadFile(dir / "a.map"), "new\r\n");
  EXPECT_FALSE(ReplaceFileContents(dir / "b.map", ""));
  EXPECT_EQ(Listing(dir.path()), "a.map b.map");
}

TEST(ReplaceFileContents, FailuresKeepTheOldFile) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder.map");
  EXPECT_TRUE(ReplaceFileContents(dir / "folder.map", "x"));
  EXPECT_TRUE(ReplaceFileContents(dir / "missing" / "a.map", "x"));

  WriteFile(dir / "ro.map", "old");
  std::filesystem::permissions(
      dir / "ro.map", std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  std::error_code ec = ReplaceFileContents(dir / "ro.map", "new");
  EXPECT_EQ(ec, MakeError(FileError::kWriteProtected));
  EXPECT_EQ(ErrorText(ec), "Datei ist schreibgeschützt");
  EXPECT_EQ(ReadFile(dir / "ro.map"), "old");
  EXPECT_EQ(Listing(dir.path()), "folder.map ro.map");
}

#ifndef _WIN32
TEST(ReplaceFileContents, NamesOfTheLongestLengthAllowed) {
  TempDir dir;
  const std::string name = std::string(251, 'k') + ".map";
  EXPECT_FALSE(ReplaceFileContents(dir / name, "new"));
  EXPECT_FALSE(ReplaceFileContents(dir / name, "newer"));
  EXPECT_EQ(ReadFile(dir / name), "newer");
  EXPECT_EQ(Listing(dir.path()), name);
}

TEST(ReplaceFileContents, KeepsTheOldFilesPermissions) {
  TempDir dir;
  WriteFile(dir / "a.map", "old");
  ::chmod((dir / "a.map").c_str(), 0640);
  EXPECT_FALSE(ReplaceFileContents(dir / "a.map", "new"));
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

TEST(ErrorText, SpeaksGerman) {
  EXPECT_EQ(ErrorText({EACCES, std::generic_category()}), "Zugriff verweigert");
  EXPECT_EQ(ErrorText({ENOSPC, std::generic_category()}),
            "Kein Speicherplatz mehr auf dem Datenträger");
}
#endif

}  // namespace
}  // namespace kal2map
