#include "ui/form_layout.h"

namespace kal2map::ui {
namespace {

constexpr Font kDefault{};
constexpr Font kArialSmall{825, false};
constexpr Font kArialBold{975, true};

constexpr std::array<ControlLayout, kControlCount> kControls = {{
    {"Command_Ende", Kind::kPushButton, "Ende", {3600, 3480, 1095, 495}, kDefault},
    {"Command_konv", Kind::kPushButton, "Konvertieren", {240, 3480, 1335, 495}, kDefault},
    {"Label1", Kind::kLabel, "Label1", {120, 120, 4935, 2055}, kArialSmall},
    {"message_Label", Kind::kLabel, "message", {960, 4080, 3285, 240}, kArialBold},
    {"Label2", Kind::kLabel, "Bitmap-Endung \xC3\xA4ndern:", {240, 2280, 2415, 255}, kArialBold},
    {"Frame1", Kind::kFrame, "", {3000, 2280, 1815, 1095}, kDefault},
    {"Option1(0)", Kind::kOption, "<nicht \xC3\xA4ndern>", {240, 120, 1455, 195}, kDefault},
    {"Option1(1)", Kind::kOption, ".jpg", {240, 360, 1095, 195}, kDefault},
    {"Option1(2)", Kind::kOption, ".png", {240, 600, 1095, 195}, kDefault},
    {"Option1(3)", Kind::kOption, ".bmp", {240, 840, 1095, 195}, kDefault},
    {"Label3",
     Kind::kLabel,
     "(falls gew\xC3\xBC"
     "ncht, kann in der map-Datei die Bitmap-Endung  ausgetauscht werden.)",
     {240, 2640, 2655, 615},
     kArialSmall},
}};

// Rounds half away from zero, as MulDiv does.
int Scale(long long value, long long numerator, long long denominator) {
  long long product = value * numerator;
  long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : -((-product + half) / denominator));
}

}  // namespace

const std::array<ControlLayout, kControlCount>& Controls() { return kControls; }

Rect ClientRect(Control control) {
  Rect rect = kControls[control].rect;
  if (kControls[control].kind == Kind::kOption) {
    rect.left += kControls[Frame1].rect.left;
    rect.top += kControls[Frame1].rect.top;
  }
  return rect;
}

int TwipsToPixels(int twips, int dpi) { return Scale(twips, dpi, kTwipsPerInch); }

int PixelsToTwips(int pixels, int dpi) { return Scale(pixels, kTwipsPerInch, dpi); }

Rect TwipsToPixels(const Rect& twips, int dpi) {
  const int left = TwipsToPixels(twips.left, dpi);
  const int top = TwipsToPixels(twips.top, dpi);
  return {left, top, TwipsToPixels(twips.left + twips.width, dpi) - left,
          TwipsToPixels(twips.top + twips.height, dpi) - top};
}

int FontHeight(const Font& font, int dpi) {
  if (font.centipoints == 0) return 0;
  return -Scale(font.centipoints, dpi, kCentipointsPerInch);
}

std::optional<int> Label1WidthForOuterWidth(int outer_width) {
  if (outer_width > kLabel1ResizeAbove) return outer_width - kLabel1OuterWidthInset;
  return std::nullopt;
}

}  // namespace kal2map::ui
