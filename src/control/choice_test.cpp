#include "control/choice.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(Choice, TakesFoldersAndCalibrationFilesOnly) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Karten" / "ordner.kal");
  WriteFile(dir / "Karten" / "a.KAL", "");
  WriteFile(dir / "notes.txt", "");
  const auto karten = dir / "Karten";
  struct Case {
    std::filesystem::path given;
    bool taken, is_folder;
    std::filesystem::path path;
  };
  const Case cases[] = {
      {karten, true, true, karten / ""},
      {karten / "", true, true, karten / ""},
      {karten / "." / ".." / "Karten", true, true, karten / ""},
      {karten / "ordner.kal", true, true, karten / "ordner.kal" / ""},
      {karten / "a.KAL", true, false, karten / "a.KAL"},
      {dir / "notes.txt", false, false, {}},
      {karten / "fehlt.kal", false, false, {}},
      {karten / "fehlt", false, false, {}},
      {"", false, false, {}},
  };
  for (const Case& c : cases) {
    const Choice choice = ChoosePaths({c.given});
    if (!c.taken) {
      EXPECT_TRUE(choice.taken.empty()) << c.given;
      EXPECT_EQ(choice.refused, std::vector<std::filesystem::path>{c.given});
      continue;
    }
    ASSERT_EQ(choice.taken.size(), 1u) << c.given;
    EXPECT_TRUE(choice.refused.empty());
    EXPECT_EQ(choice.taken[0].path, c.path) << c.given;
    EXPECT_EQ(choice.taken[0].is_folder, c.is_folder) << c.given;
  }
}

TEST(Choice, RelativePathsCountFromTheCurrentFolderAndKeepTheirOrder) {
  TempDir dir;
  std::filesystem::create_directory(dir / "b");
  WriteFile(dir / "a.kal", "");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const Choice choice = ChoosePaths({"b", "x.txt", "a.kal", "."});
  std::filesystem::current_path(previous);
  ASSERT_EQ(choice.taken.size(), 3u);
  EXPECT_EQ(choice.taken[0].path, std::filesystem::absolute(dir / "b" / ""));
  EXPECT_EQ(choice.taken[1].path, std::filesystem::absolute(dir / "a.kal"));
  EXPECT_EQ(choice.taken[2].path, std::filesystem::absolute(dir.path()) / "");
  EXPECT_EQ(choice.refused, std::vector<std::filesystem::path>{"x.txt"});
}

TEST(Choice, TextNamesOnePathOrCountsSeveral) {
  const ChosenPath folder{std::filesystem::path("/k") / "", true};
  const ChosenPath file{std::filesystem::path("/k") / "a.kal", false};
  struct Case {
    std::vector<ChosenPath> taken;
    std::string text;
  };
  const Case cases[] = {
      {{folder}, PathText(folder.path)},
      {{file}, PathText(file.path)},
      {{folder, folder}, "2 Ordner gew\xC3\xA4hlt."},
      {{file, file, file}, "3 kal-Dateien gew\xC3\xA4hlt."},
      {{file, folder}, "1 Ordner und 1 kal-Datei gew\xC3\xA4hlt."},
      {{folder, file, folder, file}, "2 Ordner und 2 kal-Dateien gew\xC3\xA4hlt."},
  };
  for (const Case& c : cases) EXPECT_EQ(ChoiceText(c.taken), c.text);
}

std::vector<std::string> Names(const Plan& plan, const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const Job& job : plan.jobs) {
    names.push_back(job.kal.lexically_relative(dir).generic_string());
  }
  return names;
}

TEST(Choice, AFileBroughtTwiceIsPlannedOnceWithoutFailure) {
  TempDir dir;
  for (const char* name : {"a.kal", "sub/b.kal", "sub/c.kal"}) {
    std::filesystem::create_directories((dir / name).parent_path());
    WriteFile(dir / name, "");
  }
  const ChosenPath top{dir / "", true};
  const ChosenPath sub{dir / "sub" / "", true};
  const ChosenPath a{dir / "a.kal", false};
  const ChosenPath c{dir / "sub" / "c.kal", false};
  struct Case {
    std::vector<ChosenPath> taken;
    bool recursive;
    std::vector<std::string> jobs;
  };
  const Case cases[] = {
      {{top, a}, false, {"a.kal"}},
      {{a, top}, false, {"a.kal"}},
      {{top, top}, false, {"a.kal"}},
      {{top, sub, c}, true, {"a.kal", "sub/b.kal", "sub/c.kal"}},
      {{sub, top}, true, {"sub/b.kal", "sub/c.kal", "a.kal"}},
      {{c, sub}, false, {"sub/c.kal", "sub/b.kal"}},
  };
  for (const Case& k : cases) {
    const Plan plan = PlanChoice(k.taken, k.recursive);
    EXPECT_EQ(Names(plan, dir.path()), k.jobs);
    EXPECT_TRUE(plan.failures.empty());
    EXPECT_EQ(plan.found, k.jobs.size());
    EXPECT_EQ(plan.roots.size(), k.taken.size());
  }
}

TEST(Choice, TwoFilesForOneMapStillFailOnceAndAnEmptyFolderStaysEmpty) {
  TempDir dir;
  std::filesystem::create_directory(dir / "leer");
  WriteFile(dir / "a.kal", "");
  WriteFile(dir / "a.kal.kal", "");
  const ChosenPath top{dir / "", true};
  const Plan plan = PlanChoice({top, {dir / "leer" / "", true}, top}, false);
  EXPECT_EQ(Names(plan, dir.path()), std::vector<std::string>{"a.kal"});
  ASSERT_EQ(plan.failures.size(), 1u);
  EXPECT_EQ(plan.failures[0].path, dir / "a.kal.kal");
  EXPECT_EQ(plan.found, 2u);
  ASSERT_EQ(plan.roots.size(), 3u);
  EXPECT_EQ(plan.roots[1].found, 0u);
  EXPECT_EQ(plan.roots[2].job_count, 0u);
}

}  // namespace
}  // namespace kal2map
