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

// An option the parser takes but the help leaves out is one nobody finds.
TEST(ParseOptions, HelpNamesEveryOptionTaken) {
  const std::string help = HelpText();
  for (const char* word :
       {"-r", "--recursive", "--complete", "--ext", "-h", "--help", "--version"}) {
    EXPECT_NE(ParseOptions({word, ".png"}).action, Action::kUsageError) << word;
    EXPECT_NE(help.find(std::string(word) + (word[1] == '-' ? "" : ",")), std::string::npos)
        << word;
  }
  EXPECT_NE(help.find("\n  --  "), std::string::npos);
}
}  // namespace
}  // namespace kal2map
