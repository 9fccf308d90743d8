#include "control/startup.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace kal2map {
namespace {

TEST(Main, OpensTheWindowThenShowsTheProgramFolder) {
  test::RecordingWindow window;
  State state;
  Main(state, window, "/maps");
  EXPECT_EQ(window.events,
            (std::vector<std::string>{"open", (std::filesystem::path("/maps") / "").string()}));
}

}  // namespace
}  // namespace kal2map
