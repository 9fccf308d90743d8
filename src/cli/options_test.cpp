#include "cli/options.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

using Action = Options::Action;

TEST(ParseOptions, Words) {
  struct Case {
    std::vector<std::filesystem::path> args;
    Action action;
    std::string ext;
    std::size_t paths;
  };
  const Case cases[] = {
      {{}, Action::kConvert, "", 0},
      {{"a", "b.kal"}, Action::kConvert, "", 2},
      {{"--ext", ".png", "a"}, Action::kConvert, ".png", 1},
      {{"--ext=.JPEG2000"}, Action::kConvert, ".JPEG2000", 0},
      {{"--ext", ".0123456789"}, Action::kConvert, ".0123456789", 0},
      {{"--", "--ext"}, Action::kConvert, "", 1},
      {{"-"}, Action::kConvert, "", 1},
      {{"a", "--help"}, Action::kHelp, "", 1},
      {{"--version"}, Action::kVersion, "", 0},
      {{"-r", "a"}, Action::kConvert, "", 1},
      {{"--recursive"}, Action::kConvert, "", 0},
      {{"--ext"}, Action::kUsageError, "", 0},
      {{"--ext", "png"}, Action::kUsageError, "", 0},
      {{"--ext", "."}, Action::kUsageError, "", 0},
      {{"--ext", ".01234567890"}, Action::kUsageError, "", 0},
      {{"--ext", ".p-g"}, Action::kUsageError, "", 0},
      {{"--ext", ".png "}, Action::kUsageError, "", 0},
      {{"--ext", std::filesystem::u8path(".p\xC3\xA4g")}, Action::kUsageError, "", 0},
      {{"--verbose"}, Action::kUsageError, "", 0},
  };
  for (const Case& c : cases) {
    Options options = ParseOptions(c.args);
    std::string args;
    for (const auto& a : c.args) args += a.string() + " ";
    EXPECT_EQ(options.action, c.action) << args;
    if (options.action == Action::kUsageError) {
      EXPECT_FALSE(options.error.empty()) << args;
      continue;
    }
    EXPECT_EQ(options.ext, c.ext) << args;
    EXPECT_EQ(options.paths.size(), c.paths) << args;
  }
}
}  // namespace
}  // namespace kal2map
