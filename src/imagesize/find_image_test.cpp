#include "imagesize/find_image.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace kal2map {
namespace {

using test::TempDir;
using test::U8;
using test::WriteFile;

TEST(ImageFinder, LooksWhereMapReadersLook) {
  TempDir dir;
  std::filesystem::create_directories(dir / "maps" / "img");
  std::filesystem::create_directories(dir / "other");
  WriteFile(dir / "maps" / "img" / "a.png", "");
  WriteFile(dir / "maps" / "b.png", "");
  WriteFile(dir / "other" / "c.png", "");
  WriteFile(dir / "maps" / "c.png", "");
  WriteFile(dir / "maps" / U8("Über Plan.JPG"), "");
  const std::filesystem::path maps = dir / "maps";
  const std::string other = (dir / "other" / "c.png").string();
  struct Case {
    std::string reference;
    std::filesystem::path found;  // empty: none
  };
  const Case cases[] = {
      {"img\\a.png", maps / "img" / "a.png"},  // relative to the map's folder
      {"img/a.png", maps / "img" / "a.png"},
      {other, dir / "other" / "c.png"},       // absolute, as written
      {"C:\\Karten\\b.png", maps / "b.png"},  // elsewhere: its name beside the map
      {"D:/x/img/b.png", maps / "b.png"},
      {"\xDC"
       "ber Plan.JPG",
       maps / U8("Über Plan.JPG")},  // Windows-1252 bytes
      {"missing.png", {}},
      {"img\\", {}},
      {"", {}},
#ifndef _WIN32
      // Calibration files come from Windows, where letter case does not matter.
      {"B.PNG", maps / "b.png"},
      {"\xFC"
       "ber plan.jpg",
       maps / U8("Über Plan.JPG")},
#endif
  };
  ImageFinder finder;
  for (const Case& c : cases) {
    const auto found = finder.Find(maps, c.reference);
    EXPECT_EQ(found.value_or(std::filesystem::path()), c.found) << c.reference;
  }
}

TEST(ReadImageFileSize, ReadsTheHeaderOfAFileAndReportsAMissingOne) {
  TempDir dir;
  // A GIF's logical screen: 640 x 480.
  WriteFile(dir / "a.gif", std::string("GIF89a\x80\x02\xe0\x01", 10) + std::string(20, '\0'));
  std::error_code ec;
  const ImageInfo info = ReadImageFileSize(dir / "a.gif", ec);
  EXPECT_FALSE(ec);
  EXPECT_EQ(info.status, ImageSizeStatus::kOk);
  EXPECT_EQ(info.size.width, 640);
  EXPECT_EQ(info.size.height, 480);
  EXPECT_EQ(ReadImageFileSize(dir / "none.gif", ec).status, ImageSizeStatus::kReadError);
  EXPECT_TRUE(ec);
}

}  // namespace
}  // namespace kal2map
