#include "platform/win32.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

TEST(ExtendedPath, AbsoluteNormalisedPrefixedAndShownWithoutThePrefix) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  const struct {
    std::wstring given, extended, shown;
  } cases[] = {
      {LR"(C:/Karten/./alt/..\a.kal)", LR"(\\?\C:\Karten\a.kal)", LR"(C:\Karten\a.kal)"},
      {L"../a.kal", LR"(\\?\)" + (cwd.parent_path() / L"a.kal").native(),
       (cwd.parent_path() / L"a.kal").native()},
      {LR"(\\server\share\alt\..\a.kal)", LR"(\\?\UNC\server\share\a.kal)",
       LR"(\\server\share\a.kal)"},
      // Already prefixed: "." and ".." are names then, and stay.
      {LR"(\\?\C:\Karten\..\a.kal)", LR"(\\?\C:\Karten\..\a.kal)", LR"(C:\Karten\..\a.kal)"},
      {LR"(\\?\UNC\server\share\a.kal)", LR"(\\?\UNC\server\share\a.kal)",
       LR"(\\server\share\a.kal)"},
      {L"NUL", LR"(\\.\NUL)", LR"(\\.\NUL)"},
  };
  for (const auto& c : cases) {
    const std::wstring extended = win32::ExtendedPath(c.given);
    EXPECT_EQ(extended, c.extended) << c.given;
    EXPECT_EQ(win32::WithoutExtendedPrefix(extended), c.shown) << c.given;
  }
}

}  // namespace
}  // namespace kal2map
