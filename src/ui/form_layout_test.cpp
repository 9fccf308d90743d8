#include "ui/form_layout.h"

#include <gtest/gtest.h>

namespace kal2map::ui {
namespace {

constexpr int kDpis[] = {96, 120, 144, 168, 192};

TEST(FormLayout, TwipsRoundToTheNearestPixel) {
  struct Case {
    int twips, dpi, pixels;
  };
  const Case cases[] = {
      {5190, 96, 346},  {4725, 96, 315},  {7, 96, 0},       {8, 96, 1},     {0, 144, 0},
      {5190, 120, 433}, {4725, 144, 473}, {1440, 192, 192}, {195, 168, 23}, {-15, 96, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
  // 15 twips per pixel at 96 DPI: a window's outer width converts back without loss.
  for (int pixels : {300, 333, 346, 520}) EXPECT_EQ(PixelsToTwips(pixels, 96), pixels * 15);
}

TEST(FormLayout, ScaledControlsKeepTheirNeighboursEdges) {
  // Option buttons stacked at 240-twip steps with 195-twip heights never overlap, at any DPI,
  // and a rectangle's right edge is where its twips end.
  for (int dpi : kDpis) {
    for (int i = 0; i + 1 < kOptionCount; ++i) {
      const Rect upper = TwipsToPixels(ClientRect(Control(Option1 + i)), dpi);
      const Rect lower = TwipsToPixels(ClientRect(Control(Option1 + i + 1)), dpi);
      EXPECT_LE(upper.top + upper.height, lower.top) << dpi;
    }
    for (int i = 0; i < kControlCount; ++i) {
      const Rect twips = ClientRect(Control(i));
      const Rect pixels = TwipsToPixels(twips, dpi);
      EXPECT_EQ(pixels.left + pixels.width, TwipsToPixels(twips.left + twips.width, dpi));
      EXPECT_EQ(pixels.top + pixels.height, TwipsToPixels(twips.top + twips.height, dpi));
    }
  }
}

TEST(FormLayout, EveryControlLiesInsideTheClientAreaAndOptionsInsideTheirFrame) {
  const Rect frame = ClientRect(Frame1);
  for (int i = 0; i < kControlCount; ++i) {
    const Rect r = ClientRect(Control(i));
    const auto name = Controls()[i].name;
    EXPECT_GE(r.left, 0) << name;
    EXPECT_LE(r.left + r.width, kClientWidth) << name;
    EXPECT_LE(r.top + r.height, kClientHeight) << name;
    if (Controls()[i].kind == Kind::kOption) {
      EXPECT_GT(r.left, frame.left) << name;
      EXPECT_LT(r.top + r.height, frame.top + frame.height) << name;
      EXPECT_LT(r.left + r.width, frame.left + frame.width) << name;
    }
  }
}

TEST(FormLayout, MessageLineFitsInBothPlaces) {
  const Rect message = ClientRect(message_Label);
  const Rect instructions = ClientRect(Label1);
  const Rect buttons = ClientRect(Command_konv);
  // Choice hidden: between the instructions and the buttons.
  EXPECT_GE(kMessageTopChoiceHidden, instructions.top + instructions.height);
  EXPECT_LE(kMessageTopChoiceHidden + message.height, buttons.top);
  EXPECT_EQ(kMessageTopChoiceHidden, ClientRect(Label2).top);
  // Choice shown: below the buttons, inside the window.
  EXPECT_EQ(kMessageTopChoiceShown, message.top);
  EXPECT_GE(kMessageTopChoiceShown, buttons.top + buttons.height);
  EXPECT_LE(kMessageTopChoiceShown + message.height, kClientHeight);
}

TEST(FormLayout, InstructionsFollowTheOuterWidthOnlyAbove5000Twips) {
  const std::pair<int, std::optional<int>> cases[] = {
      {5001, 4651}, {5430, 5080}, {7800, 7450}, {5000, std::nullopt}, {2400, std::nullopt},
  };
  for (const auto& [outer, width] : cases) EXPECT_EQ(Label1WidthForOuterWidth(outer), width);
}

TEST(FormLayout, FontHeightsScaleWithTheDpi) {
  const Font small{825, false}, bold{975, true}, system{};
  const std::tuple<Font, int, int> cases[] = {
      {small, 96, -11}, {bold, 96, -13}, {small, 144, -17}, {bold, 192, -26}, {system, 96, 0},
  };
  for (const auto& [font, dpi, height] : cases) {
    EXPECT_EQ(FontHeight(font, dpi), height) << font.centipoints << " at " << dpi;
  }
}

}  // namespace
}  // namespace kal2map::ui
