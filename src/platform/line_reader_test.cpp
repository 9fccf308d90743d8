#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "test_util.h"

namespace kal2map {
namespace {

using test::TempDir;
using test::WriteFile;

std::vector<std::string> SplitInMemory(const std::string& text) {
  std::vector<std::string> lines;
  LineSplitter splitter(text);
  for (std::string_view line; splitter.Next(line);) lines.emplace_back(line);
  return lines;
}

std::vector<std::string> ReadFromFile(const std::filesystem::path& path, const std::string& text) {
  WriteFile(path, text);
  LineReader reader;
  EXPECT_FALSE(reader.Open(path));
  std::vector<std::string> lines;
  for (std::string_view line; reader.Next(line);) lines.emplace_back(line);
  EXPECT_FALSE(reader.error());
  return lines;
}

// Text of every kind of line end and of lines longer than a block, with a CR LF pair exactly
// across the first block border.
std::string RandomLines(std::mt19937& random) {
  std::string text;
  const std::size_t size = 60000 + random() % 300000;
  while (text.size() < size) {
    switch (random() % 8) {
      case 0:
        text += "\r\n";
        break;
      case 1:
        text += '\r';
        break;
      case 2:
        text += '\n';
        break;
      case 3:
        text.append(random() % 100000, 'x');
        break;
      default:
        text.append(random() % 40, static_cast<char>('a' + random() % 26));
        break;
    }
  }
  text[65535] = '\r';
  text[65536] = '\n';
  return text;
}

TEST(Lines, EveryKindOfLineEnd) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  TempDir dir;
  for (const auto& [text, lines] : cases) {
    EXPECT_EQ(SplitInMemory(text), lines);
    EXPECT_EQ(ReadFromFile(dir / "f.kal", text), lines);
  }
}

// Block borders fall inside CR LF pairs and inside lines longer than a block.
TEST(Lines, FileReaderAgreesWithTheSplitterAcrossBlocks) {
  std::mt19937 random(7);
  TempDir dir;
  for (int round = 0; round < 20; ++round) {
    const std::string text = RandomLines(random);
    EXPECT_EQ(ReadFromFile(dir / "f.kal", text), SplitInMemory(text)) << round;
  }
}

// A CR as the very last byte has no LF after it to pair with.
TEST(Lines, CarriageReturnAtTheEnd) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"\r", {""}},           {"a\r", {"a"}},         {"a\r\r", {"a", ""}},
      {"a\nb\r", {"a", "b"}}, {"a\r\n\r", {"a", ""}},
  };
  TempDir dir;
  for (const auto& [text, lines] : cases) {
    EXPECT_EQ(SplitInMemory(text), lines);
    EXPECT_EQ(ReadFromFile(dir / "f.kal", text), lines);
  }
}

TEST(Lines, RestStartsAtTheNextLine) {
  LineSplitter splitter("a\r\nb\nc");
  std::string_view line;
  EXPECT_EQ(splitter.rest(), "a\r\nb\nc");
  ASSERT_TRUE(splitter.Next(line));
  EXPECT_EQ(splitter.rest(), "b\nc");
  ASSERT_TRUE(splitter.Next(line));
  ASSERT_TRUE(splitter.Next(line));
  EXPECT_EQ(splitter.rest(), "");
}

TEST(Lines, LineAroundAPosition) {
  const std::string text = "ab\r\ncd\nef\rgh";
  const std::pair<std::size_t, std::string> cases[] = {
      {0, "ab"}, {1, "ab"}, {4, "cd"}, {5, "cd"}, {7, "ef"}, {10, "gh"}, {11, "gh"},
  };
  for (const auto& [pos, line] : cases) EXPECT_EQ(LineAround(text, pos), line) << pos;
}

// Runs end only at line ends, so splitting each run gives the lines of the whole file; block
// borders fall inside lines, inside CR LF pairs, and inside lines longer than a block.
TEST(Lines, RunsHoldWholeLines) {
  std::mt19937 random(11);
  TempDir dir;
  for (int round = 0; round < 20; ++round) {
    const std::string text = RandomLines(random);
    WriteFile(dir / "f.kal", text);
    LineReader reader;
    ASSERT_FALSE(reader.Open(dir / "f.kal"));
    std::vector<std::string> lines;
    bool ended = true;  // every run but the last ends with a line end
    for (std::string_view run; reader.NextLines(run);) {
      EXPECT_TRUE(ended) << round;
      ended = run.back() == '\r' || run.back() == '\n';
      LineSplitter splitter(run);
      for (std::string_view line; splitter.Next(line);) lines.emplace_back(line);
    }
    EXPECT_FALSE(reader.error());
    EXPECT_EQ(lines, SplitInMemory(text)) << round;
  }
}

TEST(Lines, OpeningSomethingThatIsNotAFileFails) {
  TempDir dir;
  LineReader reader;
  EXPECT_TRUE(reader.Open(dir.path()));
  LineReader missing;
  EXPECT_TRUE(missing.Open(dir / "missing.kal"));
}

}  // namespace
}  // namespace kal2map
