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
