#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf.h"
#include "ui/commands.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/text_layout.h"

namespace varnello::ui {
namespace {

struct Expected {
  const char* name;
  PixelRect pixels;  // at 96 DPI, as designed
};

// The design in pixels, front to back; written out independently of the
// twips in the table so that a typo in either shows.
const std::vector<Expected> kDesign = {
    {"Frame2", {16, 72, 453, 20}},    {"gonggao", {-2, -2, 472, 57}}, {"Frame1", {24, 144, 417, 153}},
    {"Image8", {-24, -8, 443, 171}},  {"Windows", {128, 120, 273, 17}}, {"jiance", {376, 320, 81, 17}},
    {"Image12", {376, 312, 82, 29}},  {"I1", {32, 120, 16, 16}},        {"neicun", {64, 264, 185, 17}},
    {"BIOS", {296, 168, 145, 17}},    {"Label2", {264, 168, 41, 17}},   {"Label5", {56, 120, 65, 17}},
    {"neida", {64, 288, 169, 17}},    {"neitiao", {168, 264, 49, 17}},  {"Label13", {32, 264, 41, 17}},
    {"wangka", {296, 264, 153, 25}},  {"Label14", {264, 264, 33, 17}},  {"shengka", {296, 232, 153, 25}},
    {"Label12", {264, 232, 33, 17}},  {"xianka", {296, 200, 153, 25}},  {"Label11", {264, 200, 33, 17}},
    {"yp", {64, 232, 193, 25}},       {"Label10", {32, 232, 41, 17}},   {"cpuz", {64, 200, 185, 33}},
    {"Label9", {32, 200, 41, 17}},    {"zhuban", {64, 168, 185, 33}},   {"Label4", {32, 168, 41, 17}},
    {"update", {416, 352, 49, 17}},   {"Label7", {552, 424, 81, 17}},   {"Image10", {552, 416, 88, 28}},
    {"Label6", {448, 424, 81, 17}},   {"chucun", {480, 408, 73, 17}},   {"Image9", {440, 472, 127, 26}},
    {"Image7", {320, 408, 88, 28}},   {"Image6", {536, 288, 88, 24}},   {"Image5", {112, 8, 280, 68}},
    {"Image2", {16, 136, 443, 171}},  {"Image1", {0, 0, 475, 369}},
};

TEST(Layout, EveryControlInItsDesignedPlaceAndOrder) {
  ASSERT_EQ(kDesign.size(), kControls.size());
  for (std::size_t i = 0; i < kDesign.size(); ++i) {
    SCOPED_TRACE(kDesign[i].name);
    EXPECT_STREQ(kControls[i].name, kDesign[i].name);
    PixelRect p = ToPixels(kControls[i].twips, 96);
    EXPECT_EQ(p.left, kDesign[i].pixels.left);
    EXPECT_EQ(p.top, kDesign[i].pixels.top);
    EXPECT_EQ(p.width, kDesign[i].pixels.width);
    EXPECT_EQ(p.height, kDesign[i].pixels.height);
  }
  EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 96), 477);
  EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 96), 373);
}

// At each density the art is drawn for, every picture is exactly as large
// as its control there, so that nothing is scaled; in between, the next
// larger drawing is taken, and above the largest, the largest.
TEST(Layout, ArtForEachDensityFitsItsControls) {
  for (int dpi : kArtDpis) {
    SCOPED_TRACE(dpi);
    EXPECT_EQ(ArtDpiFor(dpi), dpi);
    for (const auto& c : kControls) {
      if (c.kind != ControlKind::kPicture) continue;
      SCOPED_TRACE(c.name);
      const PictureSpec* p = FindPicture(c.picture);
      PixelRect r = ToPixels(c.twips, dpi);
      EXPECT_EQ(r.width, ArtPixels(p->width, dpi));
      EXPECT_EQ(r.height, ArtPixels(p->height, dpi));
    }
  }
  EXPECT_EQ(ArtDpiFor(72), 96);
  EXPECT_EQ(ArtDpiFor(97), 120);
  EXPECT_EQ(ArtDpiFor(132), 144);
  EXPECT_EQ(ArtDpiFor(168), 192);
  EXPECT_EQ(ArtDpiFor(288), 192);
  // Icons and cursors by the size the system asks for.
  EXPECT_EQ(ArtDpiForSize(32, 32), 96);
  EXPECT_EQ(ArtDpiForSize(33, 32), 120);
  EXPECT_EQ(ArtDpiForSize(24, 16), 144);
  EXPECT_EQ(ArtDpiForSize(64, 32), 192);
}

std::string NameAt(int x, int y, bool frame1 = false, int dpi = 96) {
  Visibility v = InitialVisibility();
  v[kFrame1] = frame1;
  Hit h = HitTest(x, y, dpi, v);
  return h.kind == HitKind::kForm ? "Pc" : kControls[static_cast<std::size_t>(h.control)].name;
}

TEST(HitTest, FrontmostControlTakesTheEvent) {
  EXPECT_EQ(NameAt(380, 325), "jiance");
  EXPECT_EQ(NameAt(380, 314), "Image12");  // the button face around the label
  EXPECT_EQ(NameAt(457, 325), "Image12");
  EXPECT_EQ(NameAt(200, 40), "Image5");
  EXPECT_EQ(NameAt(200, 74), "Frame2");    // the strip lies over the banner's lowest rows
  EXPECT_EQ(NameAt(70, 170), "zhuban");
  EXPECT_EQ(NameAt(70, 170, true), "Frame1");
  EXPECT_EQ(NameAt(445, 210, true), "xianka");  // beyond the frame's right edge
  EXPECT_EQ(NameAt(70, 290), "Image2");    // neida is hidden
  EXPECT_EQ(NameAt(5, 5), "Image1");
  EXPECT_EQ(NameAt(420, 356), "update");
}

// At every density, the bare strips begin where the background picture
// drawn for it ends, and the start label's click rectangle lies where its
// text and the button face drawn for it put it.
TEST(HitTest, AlignedWithTheArtAtEveryDensity) {
  for (int dpi : kArtDpis) {
    SCOPED_TRACE(dpi);
    const int art_w = ArtPixels(475, dpi), art_h = ArtPixels(369, dpi);
    const int client_w = TwipsToPixels(kClientWidthTwips, dpi), client_h = TwipsToPixels(kClientHeightTwips, dpi);
    for (int y = 0; y < client_h; y += 7) {
      EXPECT_EQ(NameAt(art_w, y, false, dpi), "Pc");
      EXPECT_EQ(NameAt(client_w - 1, y, false, dpi), "Pc");
    }
    for (int x = 0; x < client_w; x += 7) EXPECT_EQ(NameAt(x, art_h, false, dpi), "Pc");
    EXPECT_EQ(NameAt(art_w - 1, 200, false, dpi), "Image1");
    EXPECT_EQ(NameAt(20, art_h - 1, false, dpi), "Image1");

    // The face's top-left corner at 376, 312 and the label 8 rows below it, at 100 %.
    const int face_x = ArtPixels(376, dpi), face_y = ArtPixels(312, dpi), label_y = ArtPixels(320, dpi);
    EXPECT_EQ(NameAt(face_x, label_y - 1, false, dpi), "Image12");
    EXPECT_EQ(NameAt(face_x, label_y, false, dpi), "jiance");
    EXPECT_EQ(NameAt(face_x + ArtPixels(81, dpi) - 1, label_y, false, dpi), "jiance");
    EXPECT_EQ(NameAt(face_x, face_y, false, dpi), "Image12");
    EXPECT_EQ(NameAt(face_x, face_y - 1, false, dpi), "Image1");
  }
}

// --- Text ------------------------------------------------------------------

// Every character 6 pixels wide, Chinese ones 12, as in 9-point 宋体.
int Advance(std::u16string_view c) {
  char32_t code = c.size() == 2 ? 0x10000 : c[0];
  return IsCjk(code) ? 12 : 6;
}

std::vector<std::string> Wrap(const std::u16string& text, int width, std::size_t max_lines = 100) {
  std::vector<std::string> out;
  for (const TextLine& l : WrapLines(text, width, max_lines, Advance))
    out.push_back(ToUtf8(std::u16string_view(text).substr(l.begin, l.end - l.begin)));
  return out;
}

using Lines = std::vector<std::string>;

TEST(WrapLines, BetweenWordsAndBetweenChineseCharacters) {
  EXPECT_EQ(Wrap(u"Realtek High Definition Audio", 100), (Lines{"Realtek High", "Definition Audio"}));
  EXPECT_EQ(Wrap(u"英特尔酷睿处理器", 50), (Lines{"英特尔酷", "睿处理器"}));
  EXPECT_EQ(Wrap(u"Intel英特尔", 48), (Lines{"Intel英", "特尔"}));
  EXPECT_EQ(Wrap(u"Intel英特尔", 40), (Lines{"Intel", "英特尔"}));
  EXPECT_EQ(Wrap(u"465.76 GB 型号:WDC WD5000AAKS", 110), (Lines{"465.76 GB 型号:WDC", "WD5000AAKS"}));
  EXPECT_EQ(Wrap(u"fits", 24), (Lines{"fits"}));
}

TEST(WrapLines, LeadingBlanksStayTrailingBlanksHang) {
  EXPECT_EQ(Wrap(u"  开始检测", 81), (Lines{"  开始检测"}));
  EXPECT_EQ(Wrap(u"   Intel   Pentium", 60), (Lines{"   Intel", "Pentium"}));
}

TEST(WrapLines, WordsWiderThanTheLineBreakBetweenCharacters) {
  EXPECT_EQ(Wrap(u"ABCDEFGHIJ", 24), (Lines{"ABCD", "EFGH", "IJ"}));
  EXPECT_EQ(Wrap(u"go ABCDEFGHIJ", 24), (Lines{"go", "ABCD", "EFGH", "IJ"}));
  EXPECT_EQ(Wrap(u"W", 3), (Lines{"W"}));  // at least one character a line
  EXPECT_EQ(Wrap(u"\U0001F600\U0001F600", 6), (Lines{"\U0001F600", "\U0001F600"}));
}

TEST(WrapLines, LineBreaksAndTheLineLimit) {
  EXPECT_EQ(Wrap(u"a\r\nb\nc\rd", 100), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(Wrap(u"a\n", 100), (Lines{"a", ""}));
  EXPECT_EQ(Wrap(u"one two three four", 30, 2), (Lines{"one", "two"}));
  EXPECT_EQ(Wrap(u"", 100), (Lines{""}));
  EXPECT_TRUE(WrapLines(u"abc", 100, 0, Advance).empty());
}

TEST(WrapLines, HugeTextsCostOnlyWhatIsShown) {
  int measured = 0;
  auto counting = [&](std::u16string_view c) {
    ++measured;
    return Advance(c);
  };
  std::u16string huge(4 << 20, u'x');
  auto lines = WrapLines(huge, 185, 2, counting);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].end, 60u);
  EXPECT_LT(measured, 1000);
}

TEST(AccessKeys, AmpersandMarksTheNextCharacter) {
  auto parse = [](const std::u16string& s) {
    AccessKeyText t = ParseAccessKeys(s);
    return ToUtf8(t.shown) + "|" + std::to_string(t.underline);
  };
  EXPECT_EQ(parse(u"AT&T"), "ATT|2");
  EXPECT_EQ(parse(u"R&&D"), "R&D|-1");
  EXPECT_EQ(parse(u"&&&x"), "&x|1");
  EXPECT_EQ(parse(u"a&b&c"), "abc|1");  // the first marker counts
  EXPECT_EQ(parse(u"end&"), "end|-1");
  EXPECT_EQ(parse(u"&"), "|-1");
  EXPECT_EQ(parse(u"声卡&"), "声卡|-1");
}

TEST(Commands, IconPathIsTheDirectoryAndIconIcoAsTheyStand) {
  EXPECT_EQ(ToUtf8(AppPathOf(u"C:\\Program Files\\Varnello\\Varnello v1.0.exe")), "C:\\Program Files\\Varnello");
  EXPECT_EQ(ToUtf8(IconPathOf(AppPathOf(u"C:\\Program Files\\Varnello\\Varnello v1.0.exe"))),
            "C:\\Program Files\\Varnello\\icon.ico");
  // In a drive's root the directory keeps its backslash, and the path gets two.
  EXPECT_EQ(ToUtf8(AppPathOf(u"D:\\Varnello v1.0.exe")), "D:\\");
  EXPECT_EQ(ToUtf8(IconPathOf(AppPathOf(u"D:\\Varnello v1.0.exe"))), "D:\\\\icon.ico");
  EXPECT_EQ(ToUtf8(IconPathOf(AppPathOf(u"\\\\server\\share\\v.exe"))), "\\\\server\\share\\icon.ico");
}

}  // namespace
}  // namespace varnello::ui
