// The icon record's bytes and the decoding of the icon's notifications.
// Code page 936 comes from iconv here; on Windows the system converts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/utf.h"
#include "tests/support/cp936.h"
#include "tray/icon_record.h"
#include "tray/tray_decode.h"

namespace varnello::tray {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint64_t Get(const Bytes& b, std::size_t offset, std::size_t size) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < size; ++i) v |= static_cast<std::uint64_t>(b[offset + i]) << (8 * i);
  return v;
}

std::string Field(const Bytes& b, std::size_t offset, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(b.data() + offset), size);
}

// text, NUL, blanks to `size`.
std::string Filled(const std::string& text, std::size_t size) {
  std::string f = text;
  f += '\0';
  f.resize(size, ' ');
  return f;
}

const testing::Cp936 kGbk;

TEST(IconRecord, AddThenBalloon32) {
  IconRecord r;
  WriteAdd(r, 488, 0x10062, 0x2A0051, u"Varnello v1.0");
  Bytes add = EncodeAnsi(r, kAnsi32, kGbk).bytes;
  EXPECT_EQ(Get(add, 0, 4), 488u);
  EXPECT_EQ(Get(add, 4, 4), 0x10062u);
  EXPECT_EQ(Get(add, 8, 4), 1u);
  EXPECT_EQ(Get(add, 12, 4), 7u);
  EXPECT_EQ(Get(add, 16, 4), 512u);
  EXPECT_EQ(Get(add, 20, 4), 0x2A0051u);
  EXPECT_EQ(Field(add, 24, 128), Filled("Varnello v1.0", 128));
  EXPECT_EQ(Get(add, 152, 8), 0u);  // dwState, dwStateMask
  EXPECT_EQ(Field(add, 160, 256), Filled("", 256));
  EXPECT_EQ(Get(add, 416, 4), 0u);  // uTimeout
  EXPECT_EQ(Field(add, 420, 64), Filled("", 64));
  EXPECT_EQ(Get(add, 484, 4), 0u);

  WriteBalloon(r, 488, 0x10062, u"欢迎使用Varnello", u"提示", kNiifInfo);
  EncodedRecord balloon = EncodeAnsi(r, kAnsi32, kGbk);
  EXPECT_TRUE(balloon.exact);
  const Bytes& b = balloon.bytes;
  EXPECT_EQ(Get(b, 12, 4), 16u);
  EXPECT_EQ(Field(b, 160, 256), Filled("\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3Varnello", 256));
  EXPECT_EQ(Field(b, 420, 64), Filled("\xCC\xE1\xCA\xBE", 64));
  EXPECT_EQ(Get(b, 484, 4), 1u);
  EXPECT_EQ(Get(b, 416, 4), 0u);
  // What the add set stays: the icon, the tip and the callback message.
  EXPECT_EQ(Get(b, 16, 4), 512u);
  EXPECT_EQ(Get(b, 20, 4), 0x2A0051u);
  EXPECT_EQ(Field(b, 24, 128), Filled("Varnello v1.0", 128));
}

// Handles take the whole width of a pointer; the system's handles under
// Wine are too small to show it.
TEST(IconRecord, SixtyFourBitHandles) {
  IconRecord r;
  WriteAdd(r, 504, 0x1234567890ull, 0xABCDEF0123ull, u"tip");
  Bytes b = EncodeAnsi(r, kAnsi64, kGbk).bytes;
  EXPECT_EQ(Get(b, kAnsi64.hwnd, 8), 0x1234567890ull);
  EXPECT_EQ(Get(b, kAnsi64.icon, 8), 0xABCDEF0123ull);
  EXPECT_EQ(Get(EncodeWide(r, kWide64), kWide64.icon, 8), 0xABCDEF0123ull);
}

TEST(IconRecord, TextsFitTheirFieldsWithTheirNul) {
  IconRecord r;
  std::u16string tip(127, u'a'), info(255, u'b'), title(63, u'c');
  WriteAdd(r, 488, 1, 2, tip);
  WriteBalloon(r, 488, 1, info, title, 1);
  Bytes b = EncodeAnsi(r, kAnsi32, kGbk).bytes;
  EXPECT_EQ(Field(b, 24, 128), std::string(127, 'a') + '\0');
  EXPECT_EQ(Field(b, 160, 256), std::string(255, 'b') + '\0');
  EXPECT_EQ(Field(b, 420, 64), std::string(63, 'c') + '\0');

  // Longer texts are cut off, the NUL still last, never within a
  // two-byte character: 62 single bytes then 提 leave it no room.
  WriteAdd(r, 488, 1, 2, tip + u"z");
  WriteBalloon(r, 488, 1, u"", std::u16string(62, u'x') + u"提示", 1);
  b = EncodeAnsi(r, kAnsi32, kGbk).bytes;
  EXPECT_EQ(Field(b, 24, 128), std::string(127, 'a') + '\0');
  EXPECT_EQ(b[152], 0);  // dwState untouched by the long text
  EXPECT_EQ(Field(b, 420, 64), std::string(62, 'x') + '\0' + ' ');

  // Thirty-one Chinese characters fill 62 bytes; the 32nd does not fit.
  std::u16string chinese;
  for (int i = 0; i < 40; ++i) chinese += u'检';
  WriteBalloon(r, 488, 1, u"", chinese, 1);
  b = EncodeAnsi(r, kAnsi32, kGbk).bytes;
  std::string expected;
  for (int i = 0; i < 31; ++i) expected += "\xBC\xEC";
  EXPECT_EQ(Field(b, 420, 64), expected + '\0' + ' ');
}

TEST(IconRecord, TextsOutsideTheCodePageAreReportedInexact) {
  IconRecord r;
  WriteBalloon(r, 488, 1, u"Größe €", u"提示", 1);
  EXPECT_FALSE(EncodeAnsi(r, kAnsi32, kGbk).exact);  // ö and ß are not in GB2312's part of 936
  WriteBalloon(r, 488, 1, u"\xD800", u"提示", 1);
  EXPECT_FALSE(EncodeAnsi(r, kAnsi32, kGbk).exact);
  WriteBalloon(r, 488, 1, u"检测完毕", u"提示", 1);
  EXPECT_TRUE(EncodeAnsi(r, kAnsi32, kGbk).exact);
}

// The wide record's texts: NUL then blanks, and a surrogate pair never
// split where the field ends.
TEST(IconRecord, WideTextsFitTheirFieldsWithTheirNul) {
  IconRecord r;
  std::u16string emoji;
  for (int i = 0; i < 40; ++i) emoji += u"\U0001F600";
  WriteBalloon(r, 488, 1, u"欢迎使用Varnello", emoji, 1);
  Bytes b = EncodeWide(r, kWide32);
  EXPECT_EQ(Get(b, kWide32.info + 2 * 12, 2), 0u);   // the NUL after 12 characters
  EXPECT_EQ(Get(b, kWide32.info + 2 * 13, 2), u' ');  // then blanks
  EXPECT_EQ(Get(b, kWide32.info_title + 2 * 62, 2), 0u);  // 31 pairs, then the NUL
}

TEST(TrayDecode, PressesOfTheButtonsOnly) {
  for (int dpi : {96, 120, 144, 168, 192}) {
    SCOPED_TRACE(dpi);
    const float tpp = TwipsPerPixel(dpi);
    auto decode = [&](int message) { return DecodeIconMessage(static_cast<float>(message) * tpp, tpp); };
    EXPECT_EQ(decode(513), TrayAction::kRestore);
    EXPECT_EQ(decode(516), TrayAction::kPopupMenu);
    for (int other : {512, 514, 515, 517, 518, 519, 520, 521, 0, 1024})
      EXPECT_EQ(decode(other), TrayAction::kNone) << other;
  }
  EXPECT_EQ(TwipsPerPixel(96), 15.0f);
  EXPECT_EQ(TwipsPerPixel(120), 12.0f);
}

TEST(TrayDecode, RealPointerMovesAreNoNotifications) {
  // At 120 DPI the bare strip of the client area reaches columns 513 and
  // 516; the pointer's own position there must not count.
  EXPECT_FALSE(IsIconNotification(false, 513, 200, 513, 200));
  EXPECT_FALSE(IsIconNotification(false, 516, 0, 516, 0));
  // The shell's message: sent from its thread, or posted with the message
  // number where a position would be.
  EXPECT_TRUE(IsIconNotification(true, 513, 0, 513, 0));
  EXPECT_TRUE(IsIconNotification(false, 516, 0, 300, 180));
  EXPECT_TRUE(IsIconNotification(false, 513, 0, 513, 200)) << "the pointer in the column only";
}

}  // namespace
}  // namespace varnello::tray
