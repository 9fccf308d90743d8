#include "control/state.h"

#include <gtest/gtest.h>

#include "control/startup.h"
#include "control/window.h"

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
    EXPECT_EQ(state.Template[1], "OziExplorer Map Data File Version 2.2");
  }
}

TEST(Main, OpensTheWindowThenShowsTheProgramFolder) {
  struct Recorder : Window {
    void Open() override { events.push_back("open"); }
    void SetMessageLine(const std::string& text) override { events.push_back(text); }
    std::vector<std::string> events;
  } window;
  State state;
  Main(state, window, "/maps");
  EXPECT_EQ(window.events,
            (std::vector<std::string>{"open", (std::filesystem::path("/maps") / "").string()}));
}

}  // namespace
}  // namespace kal2map
