#include "record/state.h"

#include <gtest/gtest.h>

namespace kal2map {
namespace {

TEST(InitState, ProgramFolderEndsWithOneSeparator) {
  const std::filesystem::path sep = std::filesystem::path("/").make_preferred();
  const std::pair<std::filesystem::path, std::filesystem::path> cases[] = {
      {"/maps", "/maps" / std::filesystem::path("")},
      {"/maps/", "/maps/"},
      {"/", "/"},
  };
  for (const auto& [folder, expected] : cases) {
    State state;
    state.ShowExtChoice = true;
    state.BitmapExt = ".png";
    state.PointCount = 7;
    InitState(state, folder);
    EXPECT_EQ(state.AppFolder, expected);
    EXPECT_EQ(state.WorkFolder, state.AppFolder);
    EXPECT_FALSE(state.ShowExtChoice);
    EXPECT_TRUE(state.BitmapExt.empty());
    EXPECT_EQ(state.PointCount, 0);
  }
}
}  // namespace
}  // namespace kal2map
