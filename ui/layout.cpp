#include "ui/layout.h"

#include <cmath>

namespace varnello::ui {
namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBlue = 0xFF0000;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kDarkGrey = 0x404040;
constexpr std::optional<Colour> kSystem = std::nullopt;

using K = ControlKind;
using P = Picture;
using F = FontStyle;

constexpr int kPc = -1;

ControlSpec Label(const char* name, TwipsRect r, std::u16string_view caption, std::optional<Colour> colour,
                  F font = F::kRegular, bool hand = false, bool visible = true) {
  return {name, K::kLabel, kPc, r, caption, P::kNone, colour, font, hand, visible};
}

ControlSpec Pic(const char* name, TwipsRect r, Picture picture, bool hand = false, int container = kPc) {
  return {name, K::kPicture, container, r, {}, picture, kSystem, F::kRegular, hand, true};
}

}  // namespace

const std::array<ControlSpec, kControlCount> kControls = {{
    {"Frame2", K::kFrame, kPc, {240, 1080, 6800, 300}, u"Frame2", P::kNone, kWhite, F::kRegular, false, true},
    {"gonggao", K::kWebView, kFrame2, {-25, -25, 7080, 855}, {}, P::kNone, kSystem, F::kRegular, false, true},
    {"Frame1", K::kFrame, kPc, {360, 2160, 6255, 2295}, u"Frame1", P::kNone, kSystem, F::kRegular, false, true},
    Pic("Image8", {-360, -120, 6645, 2565}, P::kProgress, false, kFrame1),
    Label("Windows", {1920, 1800, 4095, 255}, {}, kSystem),
    Label("jiance", {5640, 4800, 1215, 255}, u"  开始检测", kDarkGrey, F::kBold, true),
    Pic("Image12", {5640, 4680, 1230, 435}, P::kStartButton),
    Pic("I1", {480, 1800, 240, 240}, P::kMonitor),
    Label("neicun", {960, 3960, 2775, 255}, {}, kBlue),
    Label("BIOS", {4440, 2520, 2175, 255}, {}, kBlue),
    Label("Label2", {3960, 2520, 615, 255}, u"BIOS:", kSystem),
    Label("Label5", {840, 1800, 975, 255}, u"硬件信息↓", kRed),
    Label("neida", {960, 4320, 2535, 255}, {}, kBlue, F::kRegular, false, false),
    Label("neitiao", {2520, 3960, 735, 255}, {}, kBlue),
    Label("Label13", {480, 3960, 615, 255}, u"内存:", kSystem),
    Label("wangka", {4440, 3960, 2295, 375}, {}, kBlue),
    Label("Label14", {3960, 3960, 495, 255}, u"网卡:", kSystem),
    Label("shengka", {4440, 3480, 2295, 375}, {}, kBlue),
    Label("Label12", {3960, 3480, 495, 255}, u"声卡:", kSystem),
    Label("xianka", {4440, 3000, 2295, 375}, {}, kBlue),
    Label("Label11", {3960, 3000, 495, 255}, u"显卡:", kSystem),
    Label("yp", {960, 3480, 2895, 375}, {}, kBlue),
    Label("Label10", {480, 3480, 615, 255}, u"硬盘:", kSystem),
    Label("cpuz", {960, 3000, 2775, 495}, {}, kBlue),
    Label("Label9", {480, 3000, 615, 255}, u" CPU:", kSystem),
    Label("zhuban", {960, 2520, 2775, 495}, {}, kBlue),
    Label("Label4", {480, 2520, 615, 255}, u"主板:", kSystem),
    Label("update", {6240, 5280, 735, 255}, u"Tessmor出品", kBlue, F::kUnderline, true),
    // Never seen: these lie beyond the client area's right or bottom edge.
    Label("Label7", {8280, 6360, 1215, 255}, u"   关   于", kWhite, F::kBold, true),
    Pic("Image10", {8280, 6240, 1320, 420}, P::kDarkButton),
    Label("Label6", {6720, 6360, 1215, 255}, u"   病毒免疫", kWhite, F::kBold, true),
    Label("chucun", {7200, 6120, 1095, 255}, u"  储存信息", kWhite, F::kBold, true),
    Pic("Image9", {6600, 7080, 1905, 390}, P::kWhiteBox),
    Pic("Image7", {4800, 6120, 1320, 420}, P::kDarkButton),
    Pic("Image6", {8040, 4320, 1320, 360}, P::kDarkButtonLow),
    Pic("Image5", {1680, 120, 4200, 1020}, P::kBanner, true),
    Pic("Image2", {240, 2040, 6645, 2565}, P::kPanel),
    Pic("Image1", {0, 0, 7125, 5535}, P::kBackground),
}};

const std::array<ControlId, 9> kResultLabels = {kWindows, kZhuban, kBIOS, kCpuz, kXianka,
                                                kShengka, kWangka, kNeicun, kYp};

const std::array<PictureSpec, 9> kPictures = {{
    {P::kBackground, 475, 369, "p2_background.gif"},
    {P::kProgress, 443, 171, "p3_progress.jpg"},
    {P::kBanner, 280, 68, "p4_banner.bmp"},
    {P::kStartButton, 82, 29, "p5_button.bmp"},
    {P::kMonitor, 16, 16, "p6_monitor.ico"},
    {P::kPanel, 443, 171, "p7_panel.bmp"},
    {P::kDarkButton, 88, 28, "p8_button.gif"},
    {P::kDarkButtonLow, 88, 24, "p9_button.gif"},
    {P::kWhiteBox, 127, 26, "p10_box.bmp"},
}};

const PictureSpec* FindPicture(Picture picture) {
  for (const auto& p : kPictures)
    if (p.picture == picture) return &p;
  return nullptr;
}

bool HasClick(int control) { return control == kJiance || control == kImage5 || control == kUpdate; }

int ArtDpiFor(int dpi) {
  for (int art : kArtDpis)
    if (art >= dpi) return art;
  return kArtDpis.back();
}

int ArtDpiForSize(int pixels, int pixels96) {
  return ArtDpiFor((pixels * kDesignDpi + pixels96 - 1) / pixels96);
}

int ArtPixels(int pixels96, int art_dpi) {
  return static_cast<int>(std::floor(static_cast<double>(pixels96) * art_dpi / kDesignDpi + 0.5));
}

int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::floor(static_cast<double>(twips) * dpi / kTwipsPerInch + 0.5));
}

PixelRect ToPixels(const TwipsRect& r, int dpi) {
  // Edges are rounded, not sizes, so that neighbours stay flush.
  const int left = TwipsToPixels(r.left, dpi), top = TwipsToPixels(r.top, dpi);
  return {left, top, TwipsToPixels(r.left + r.width, dpi) - left, TwipsToPixels(r.top + r.height, dpi) - top};
}

}  // namespace varnello::ui
