#include "cli/options.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace kal2map {
namespace {

using Action = Options::Action;

TEST(ParseOptions, Words) {
  struct Case {
    std::vector<std::filesystem::path> args;
    Action action;
    std::string ext;
    std::size_t paths;
    bool recursive = false;
    bool complete = false;
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
      {{"-r", "a"}, Action::kConvert, "", 1, true},
      {{"--recursive"}, Action::kConvert, "", 0, true},
      {{"--complete", "-r", "--ext=.png"}, Action::kConvert, ".png", 0, true, true},
      {{"--", "--complete", "-r"}, Action::kConvert, "", 2},
      {{"--complete=yes"}, Action::kUsageError, "", 0},
      {{"--ext"}, Action::kUsageError, "", 0},
      {{"--ext", "png"}, Action::kUsageError, "", 0},
      {{"--ext", "."}, Action::kUsageError, "", 0},
      {{"--ext", ".01234567890"}, Action::kUsageError, "", 0},
      {{"--ext", ".p-g"}, Action::kUsageError, "", 0},
      {{"--ext", ".png "}, Action::kUsageError, "", 0},
      {{"--ext", std::filesystem::u8path(".p\xC3\xA4g")}, Action::kUsageError, "", 0},
      {{"--verbose"}, Action::kUsageError, "", 0},
      {{"--kmz", "--kmz-tiles", "500", "--kmz-order", "0"}, Action::kConvert, "", 0},
      {{"--kmz-tiles", "0"}, Action::kUsageError, "", 0},
      {{"--kmz-tiles", "+5"}, Action::kUsageError, "", 0},
      {{"--kmz-order", "100"}, Action::kUsageError, "", 0},
      {{"--kmz-order"}, Action::kUsageError, "", 0},
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
    EXPECT_EQ(options.recursive, c.recursive) << args;
    EXPECT_EQ(options.complete, c.complete) << args;
  }
}

// Each option is taken by the parser and named by --help and the manual page (where a minus
// sign is written "\-").
TEST(ParseOptions, HelpAndManualPageNameEveryOption) {
  const std::string help = HelpText(), manual = test::ReadFile(KAL2MAP_MANUAL_PAGE);
  const auto names = [](const std::string& text, const std::string& word) {
    return text.find(" " + word + " ") != std::string::npos ||
           text.find(" " + word + ",") != std::string::npos ||
           text.find(" " + word + "\n") != std::string::npos;
  };
  for (const std::string word : {"-r", "--recursive", "--complete", "--kmz", "--frame",
                                 "--overview", "--mbtiles", "--kmz-all", "--ext", "-h", "--help", "--version", "--"}) {
    EXPECT_NE(ParseOptions({word, ".png"}).action, Action::kUsageError) << word;
    std::string roff;
    for (char c : word) roff += c == '-' ? "\\-" : std::string(1, c);
    EXPECT_TRUE(names(help, word) && names(manual, roff)) << word;
  }
}

}  // namespace
}  // namespace kal2map
