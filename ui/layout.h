// The window Pc as data: every control with its place in twips, its caption
// or picture, colour, font and cursor, in drawing order from front to back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnello::ui {

// 1/1440 inch; the design is made for 15 twips per pixel (96 pixels per inch).
constexpr int kTwipsPerInch = 1440;
constexpr int kDesignDpi = 96;

// The client area of Pc.
constexpr int kClientWidthTwips = 7155;
constexpr int kClientHeightTwips = 5595;

enum class ControlKind { kLabel, kPicture, kFrame, kWebView };

enum class Picture { kNone, kBackground, kProgress, kBanner, kStartButton, kMonitor, kPanel,
                     kDarkButton, kDarkButtonLow, kWhiteBox };

enum class FontStyle { kRegular, kBold, kUnderline };

// Indices into kControls of the controls other code reaches by name.
enum ControlId : int {
  kFrame2, kGonggao, kFrame1, kImage8, kWindows, kJiance, kImage12, kI1, kNeicun, kBIOS, kLabel2,
  kLabel5, kNeida, kNeitiao, kLabel13, kWangka, kLabel14, kShengka, kLabel12, kXianka, kLabel11,
  kYp, kLabel10, kCpuz, kLabel9, kZhuban, kLabel4, kUpdate, kLabel7, kImage10, kLabel6, kChucun,
  kImage9, kImage7, kImage6, kImage5, kImage2, kImage1, kControlCount
};

struct TwipsRect {
  int left, top, width, height;
};

// 0x00BBGGRR.
using Colour = std::uint32_t;

struct ControlSpec {
  const char* name;
  ControlKind kind;
  int container;  // index of the frame that holds it, or -1 for Pc itself
  TwipsRect twips;
  std::u16string_view caption;  // labels
  Picture picture;              // pictures
  std::optional<Colour> colour;  // text colour of labels, background of frames; none: system colour
  FontStyle font;
  bool hand_cursor;
  bool visible;
};

// Child windows (frames and the web view) first, then labels and pictures
// from the frontmost to the backmost.
extern const std::array<ControlSpec, kControlCount> kControls;

// What each label shows now, by control.
using Captions = std::array<std::u16string, kControlCount>;

// The nine result labels in survey order.
extern const std::array<ControlId, 9> kResultLabels;

// Whether a control has a Click handler: the start label and the two links.
bool HasClick(int control);

// Twips to device pixels at `dpi`, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

struct PixelRect {
  int left, top, width, height;
  bool Contains(int x, int y) const { return x >= left && y >= top && x < left + width && y < top + height; }
};

PixelRect ToPixels(const TwipsRect& r, int dpi);

// The densities the art is drawn for: 100, 125, 150 and 200 per cent.
constexpr std::array<int, 4> kArtDpis = {96, 120, 144, 192};

// The drawing that serves `dpi`: the one made for the nearest density at or
// above it, so that pictures are only ever scaled down. Above 200 per cent
// nothing larger exists, and the 200 per cent drawing is scaled up.
int ArtDpiFor(int dpi);

// The drawing that serves an image of `pixels` whose 100 per cent drawing
// is `pixels96` across (icons and cursors, whose sizes the system sets).
int ArtDpiForSize(int pixels, int pixels96);

// A length of the 100 per cent drawing in the drawing made for `art_dpi`.
int ArtPixels(int pixels96, int art_dpi);

// Where a picture's pixels come from and how large it is at 96 DPI.
struct PictureSpec {
  Picture picture;
  int width, height;
  const char* file;  // in assets/
};
extern const std::array<PictureSpec, 9> kPictures;
const PictureSpec* FindPicture(Picture picture);

}  // namespace varnello::ui
