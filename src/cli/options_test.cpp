#include "cli/options.h"

#include <gtest/gtest.h>

#include <sstream>

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

// Whether the manual page has an item (".TP", then the item's words) that names `word`.
bool HasItem(const std::string& manual, const std::string& word) {
  std::istringstream lines(manual);
  std::string previous;
  for (std::string line; std::getline(lines, line); previous = line) {
    if (previous != ".TP") continue;
    std::istringstream tokens(line);
    for (std::string token; tokens >> token;) {
      if (token == word) return true;
    }
  }
  return false;
}

// The options --help lists are the ones the parser takes, and the manual page describes each.
TEST(ParseOptions, HelpAndManualPageNameEveryOption) {
  std::vector<std::string> words;  // from the lines "  -r, --recursive  ..."
  std::istringstream help(HelpText());
  for (std::string line; std::getline(help, line);) {
    if (line.rfind("  -", 0) != 0) continue;
    std::istringstream tokens(line);
    for (std::string word; tokens >> word && word[0] == '-';) {
      if (word.back() == ',') word.pop_back();
      words.push_back(word);
    }
  }
  EXPECT_EQ(words, (std::vector<std::string>{"-r", "--recursive", "--complete", "--ext", "-h",
                                             "--help", "--version", "--"}));
  const std::string manual = test::ReadFile(KAL2MAP_MANUAL_PAGE);
  for (const std::string& word : words) {
    EXPECT_NE(ParseOptions({word, ".png"}).action, Action::kUsageError) << word;
    std::string roff;  // a minus sign is written "\-" in roff
    for (char c : word) roff += c == '-' ? "\\-" : std::string(1, c);
    EXPECT_TRUE(HasItem(manual, roff)) << word;
  }
}

}  // namespace
}  // namespace kal2map
