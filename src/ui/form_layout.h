// Geometry and fonts of the form `Quirel`, in twips (1/1440 inch) as designed. Nothing here
// knows about Win32, so the layout rules can be checked on any machine.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kal2map::ui {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kCentipointsPerInch = 72 * 100;

// Inner (client) area of the window.
inline constexpr int kClientWidth = 5190;
inline constexpr int kClientHeight = 4725;

// Tops of the message line: right under the instructions while the image-extension choice is
// hidden (the top of `Label2`), and below the choice while it is shown.
inline constexpr int kMessageTopChoiceHidden = 2280;
inline constexpr int kMessageTopChoiceShown = 4080;

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

enum class Kind { kPushButton, kLabel, kFrame, kOption };

// Point sizes in hundredths, so that 8.25 pt stays exact. 0 is the system's message font.
struct Font {
  int centipoints = 0;
  bool bold = false;
};

// The controls in tab order; the enumerator is the tab index. The option buttons are one
// group addressed as `Option1 + index`.
enum Control {
  Command_Ende,
  Command_konv,
  Label1,
  message_Label,
  Label2,
  Frame1,
  Option1,
  kOptionCount = 4,
  Label3 = Option1 + kOptionCount,
  kControlCount
};

struct ControlLayout {
  std::string_view name;
  Kind kind;
  std::string_view text;  // UTF-8, the text the control is created with
  Rect rect;              // relative to the client area; options relative to `Frame1`
  Font font;
};

const std::array<ControlLayout, kControlCount>& Controls();

// The designed position of `control` relative to the client area.
Rect ClientRect(Control control);

// Twips to pixels at `dpi`, rounded to the nearest pixel. Rectangles round their edges, so
// neighbouring controls neither gap nor overlap after scaling.
int TwipsToPixels(int twips, int dpi);
int PixelsToTwips(int pixels, int dpi);
Rect TwipsToPixels(const Rect& twips, int dpi);

// Font height in pixels for a LOGFONT (negative: character height); 0 for the system font.
int FontHeight(const Font& font, int dpi);

// Once the window's outer width exceeds kLabel1ResizeAbove twips, `Label1` follows it and
// stays kLabel1OuterWidthInset twips narrower; at that width or less it keeps its width.
inline constexpr int kLabel1ResizeAbove = 5000;
inline constexpr int kLabel1OuterWidthInset = 350;

// Width of `Label1` after the window's outer width became `outer_width` twips; none when the
// width is left as it was.
std::optional<int> Label1WidthForOuterWidth(int outer_width);

}  // namespace kal2map::ui
