// What only Windows has: file attributes, sharing modes, UTF-16 names, consoles and devices.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/text.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::ReadFile;
using test::SetAttributes;
using test::TempDir;
using test::U8;
using test::WriteFile;

const char kKal[] = "Bitmap = a.png\r\n[Calibration Point1]\r\nLatitude = 52.5\r\n";

bool AnyName(NativeName) { return true; }

std::error_code Replace(const std::filesystem::path& path, std::string_view contents) {
  return ReplaceFileContents(path, contents);
}

TEST(ListFolderWin32, AttributesDecideWhatIsListed) {
  const struct {
    const char* name;
    DWORD attributes;
    bool listed;
  } cases[] = {
      {"plain.kal", FILE_ATTRIBUTE_NORMAL, true},
      {"archive.kal", FILE_ATTRIBUTE_ARCHIVE, true},
      {"readonly.kal", FILE_ATTRIBUTE_READONLY, true},
      {"hidden.kal", FILE_ATTRIBUTE_HIDDEN, false},
      {"system.kal", FILE_ATTRIBUTE_SYSTEM, false},
      {"both.kal", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, false},
  };
  TempDir dir;
  std::vector<std::filesystem::path> expected;
  for (const auto& c : cases) {
    WriteFile(dir / c.name, kKal);
    SetAttributes(dir / c.name, c.attributes);
    if (c.listed) expected.emplace_back(c.name);
  }
  for (const char* name : {"shown", "hidden", "system"})
    std::filesystem::create_directory(dir / name);
  SetAttributes(dir / "hidden", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(dir / "system", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM);
  std::sort(expected.begin(), expected.end());
  std::error_code ec;
  const FolderListing listing = ListFolder(dir.path(), AnyName, ec);
  EXPECT_EQ(listing.files, expected);
  EXPECT_EQ(listing.folders, std::vector<std::filesystem::path>{"shown"});
  EXPECT_FALSE(ec);
}

TEST(ListFolderWin32, TheFilterSeesLongNamesOnly) {
  TempDir dir;
  // Its short name may be KARTE~1.KAL; only the long name counts.
  WriteFile(dir / "Karte.kalibriert", kKal);
  std::error_code ec;
  const auto ends_in_kal = [](NativeName name) {
    return name.ends_with(L".KAL") || name.ends_with(L".kal");
  };
  EXPECT_TRUE(ListFolder(dir.path(), ends_in_kal, ec).files.empty());
}

TEST(ListFolderWin32, OrdinalOrderAndNamesInAnyScript) {
  TempDir dir;
  for (const char* name : {"Κάρτα.kal", "Карта.kal", "b.kal", "Z.kal", "ä.kal", "日本.kal"}) {
    WriteFile(dir / U8(name), "");
  }
  std::error_code ec;
  // Code unit order: upper case ASCII, lower case ASCII, Latin-1, Greek, Cyrillic, CJK.
  EXPECT_EQ(ListFolder(dir.path(), AnyName, ec).files,
            (std::vector<std::filesystem::path>{U8("Z.kal"), U8("b.kal"), U8("ä.kal"),
                                                U8("Κάρτα.kal"), U8("Карта.kal"), U8("日本.kal")}));
  EXPECT_FALSE(ec);
}

TEST(ListFolderWin32, AnEmptyFolderIsNoErrorAMissingOneIs) {
  TempDir dir;
  std::error_code ec = std::make_error_code(std::errc::io_error);
  EXPECT_TRUE(ListFolder(dir.path(), AnyName, ec).files.empty());
  EXPECT_FALSE(ec);
  EXPECT_TRUE(ListFolder(dir / "missing", AnyName, ec).files.empty());
  EXPECT_EQ(ec, std::error_code(ERROR_PATH_NOT_FOUND, std::system_category()));
}

TEST(ReplaceFileContentsWin32, AMapHeldOpenByAnotherProgramStaysWhole) {
  TempDir dir;
  WriteFile(dir / "a.map", "old");
  // A viewer that opened the map without allowing it to be deleted or renamed over.
  HANDLE viewer = ::CreateFileW((dir / "a.map").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  std::error_code ec = Replace(dir / "a.map", "new");
  ::CloseHandle(viewer);
  EXPECT_TRUE(ec);
  EXPECT_EQ(ec.category(), std::system_category());
  EXPECT_EQ(ReadFile(dir / "a.map"), "old");
  EXPECT_EQ(test::Listing(dir.path()), "a.map");

  // Once the viewer lets go, the same call succeeds and keeps no temporary file.
  EXPECT_FALSE(Replace(dir / "a.map", "new"));
  EXPECT_EQ(ReadFile(dir / "a.map"), "new");
  EXPECT_EQ(test::Listing(dir.path()), "a.map");
}

TEST(ReplaceFileContentsWin32, NamesUpToTheLongestAllowed) {
  TempDir dir;
  for (std::size_t length : {1, 200, 240, 251}) {
    const std::filesystem::path map = dir / (std::wstring(length, L'x') + L".map");
    EXPECT_FALSE(Replace(map, "new")) << length;
    EXPECT_EQ(ReadFile(map), "new") << length;
    std::filesystem::remove(map);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(InputFileWin32, ReadsWhileAnotherProgramWritesAndRefusesNonFiles) {
  TempDir dir;
  WriteFile(dir / "a.kal", "Bitmap = a.png\r\n");
  HANDLE writer = ::CreateFileW((dir / "a.kal").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  {
    InputFile file;
    ASSERT_FALSE(file.Open(dir / "a.kal"));
    char buffer[64];
    std::error_code ec;
    EXPECT_EQ(file.Read(buffer, sizeof buffer, ec), 16);
    EXPECT_EQ(file.Read(buffer, sizeof buffer, ec), 0);
    EXPECT_FALSE(ec);
  }
  ::CloseHandle(writer);

  for (const std::filesystem::path& path : {dir.path(), std::filesystem::path(L"NUL")}) {
    InputFile file;
    EXPECT_EQ(file.Open(path), MakeError(FileError::kNotRegularFile)) << path;
  }
  InputFile missing;
  EXPECT_EQ(missing.Open(dir / "missing.kal").value(), ERROR_FILE_NOT_FOUND);
}

TEST(ProgramFolderWin32, HoldsTheRunningProgram) {
  const std::filesystem::path folder = ProgramFolder();
  EXPECT_TRUE(folder.is_absolute()) << folder;
  wchar_t name[32768];
  const DWORD n = ::GetModuleFileNameW(nullptr, name, 32768);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(folder / std::filesystem::path(name).filename(), std::filesystem::path(name));
  EXPECT_TRUE(std::filesystem::is_regular_file(folder / std::filesystem::path(name).filename()));
}

TEST(TextWin32, PathsBecomeUtf8) {
  const std::pair<std::wstring, std::string> cases[] = {
      {L"C:\\Karten\\Stra\u00dfe.map", "C:\\Karten\\Straße.map"},
      {L"\u041a\u0430\u0440\u0442\u044b\\\u039a\u03ac\u03c1\u03c4\u03b1.map", "Карты\\Κάρτα.map"},
      {L"\U0001F5FA.kal", "\xF0\x9F\x97\xBA.kal"},
      // NTFS allows unpaired surrogates; they show as U+FFFD instead of failing.
      {std::wstring(L"a") + wchar_t(0xD800) + L".kal", "a\xEF\xBF\xBD.kal"},
      {L"", ""},
  };
  for (const auto& [wide, utf8] : cases) EXPECT_EQ(PathText(wide), utf8);
}

TEST(TextWin32, ErrorTextsAreSentencesWithoutAFullStop) {
  const std::error_code cases[] = {
      {ERROR_ACCESS_DENIED, std::system_category()},
      {ERROR_DISK_FULL, std::system_category()},
      {ERROR_SHARING_VIOLATION, std::system_category()},
      {ERROR_PATH_NOT_FOUND, std::system_category()},
      {0x7fff1234, std::system_category()},  // no text for it anywhere
  };
  for (const auto& ec : cases) {
    const std::string text = ErrorText(ec);
    ASSERT_FALSE(text.empty()) << ec.value();
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_NE(text.back(), ' ') << text;
  }
  EXPECT_EQ(ErrorText(std::make_error_code(std::errc::not_enough_memory)),
            "Nicht genügend Arbeitsspeicher");
  EXPECT_EQ(ErrorText(std::make_error_code(std::errc::no_such_file_or_directory)),
            "Datei oder Verzeichnis nicht gefunden");
  EXPECT_EQ(ErrorText(MakeError(FileError::kNotRegularFile)), "Keine gewöhnliche Datei");
}

// Redirected output is the same bytes as on other systems: UTF-8 and a bare LF.
TEST(TextWin32, PrintLineWritesUtf8LinesToFiles) {
  TempDir dir;
  std::FILE* file = ::_wfopen((dir / "out.txt").c_str(), L"w");  // text mode on purpose
  ASSERT_NE(file, nullptr);
  std::fputs("vorher\n", file);
  PrintLine(file, "Карты\\Κάρτα.map wurde erstellt.");
  PrintLine(file, "");
  std::fclose(file);
  EXPECT_EQ(ReadFile(dir / "out.txt"), "vorher\r\nКарты\\Κάρτα.map wurde erstellt.\n\n");
}

}  // namespace
}  // namespace kal2map
