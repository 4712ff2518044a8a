#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "base/utf.h"
#include "ui/address.h"
#include "ui/clicks.h"
#include "ui/commands.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/strip.h"

namespace varnello::ui {
namespace {

constexpr int kNothing = -1;

TEST(Clicks, PressAndReleaseOverTheSameControl) {
  ClickTracker t;
  t.Press(kUpdate);
  EXPECT_EQ(t.Release(kUpdate), ClickEvent::kClick);
  t.Press(kUpdate);
  EXPECT_EQ(t.Release(kImage5), ClickEvent::kNone) << "released elsewhere";
  EXPECT_EQ(t.Release(kUpdate), ClickEvent::kNone) << "a release without a press";
  t.Press(kNothing);
  EXPECT_EQ(t.Release(kNothing), ClickEvent::kNone);
  t.Press(kJiance);
  t.Cancel();
  EXPECT_EQ(t.Release(kJiance), ClickEvent::kNone) << "the press was lost";
}

TEST(Clicks, DoubleClickIsOneClickThenDblClick) {
  ClickTracker t;
  t.Press(kJiance);
  EXPECT_EQ(t.Release(kJiance), ClickEvent::kClick);
  EXPECT_EQ(t.DoublePress(kJiance), ClickEvent::kDblClick);
  EXPECT_EQ(t.Release(kJiance), ClickEvent::kNone) << "the second release raises nothing";
  // A third press comes from the system as a plain press: a click again.
  t.Press(kJiance);
  EXPECT_EQ(t.Release(kJiance), ClickEvent::kClick);
}

TEST(Clicks, SecondPressOnAnotherControlIsAPressOfItsOwn) {
  ClickTracker t;
  t.Press(kImage5);
  EXPECT_EQ(t.Release(kImage5), ClickEvent::kClick);
  EXPECT_EQ(t.DoublePress(kUpdate), ClickEvent::kNone);
  EXPECT_EQ(t.Release(kUpdate), ClickEvent::kClick);
  // A double-click whose first click did not complete is a plain click.
  t.Press(kUpdate);
  EXPECT_EQ(t.Release(kNothing), ClickEvent::kNone);
  EXPECT_EQ(t.DoublePress(kUpdate), ClickEvent::kNone);
  EXPECT_EQ(t.Release(kUpdate), ClickEvent::kClick);
}

TEST(Address, OnlyTheSameHostOverHttp) {
  const std::u16string page = u"http://notice.tessmor.com/vip/hardware/gonggao.html";
  EXPECT_TRUE(OnHostOf(page, page));
  EXPECT_TRUE(OnHostOf(u"HTTP://Notice.Tessmor.COM/other.html?x=1#y", page));
  EXPECT_TRUE(OnHostOf(u"https://notice.tessmor.com:8443/", page));
  EXPECT_TRUE(OnHostOf(u"http://notice.tessmor.com", page));
  EXPECT_TRUE(OnHostOf(u"http://notice.tessmor.com?q", page));

  EXPECT_FALSE(OnHostOf(u"http://www.tessmor.com/", page));
  EXPECT_FALSE(OnHostOf(u"http://notice.tessmor.com.example.net/", page));
  EXPECT_FALSE(OnHostOf(u"http://notice.tessmor.com@example.net/", page)) << "user name trick";
  EXPECT_FALSE(OnHostOf(u"http://x:y@notice.tessmor.com/", page)) << "credentials";
  EXPECT_FALSE(OnHostOf(u"http://example.net/notice.tessmor.com", page));
  EXPECT_FALSE(OnHostOf(u"http:\\\\example.net\\notice.tessmor.com", page)) << "backslashes are slashes";
  EXPECT_FALSE(OnHostOf(u"http://notice%2etessmor.com/", page));
  EXPECT_FALSE(OnHostOf(u"http://notice.tessmor.com:99999/", page));
  EXPECT_FALSE(OnHostOf(u"http://notice.tessmor.com:/", page));
  EXPECT_FALSE(OnHostOf(u"http:/notice.tessmor.com/", page));
  for (const char16_t* other : {u"javascript:location='http://notice.tessmor.com/'", u"about:blank",
                                u"file:///C:/windows/win.ini", u"res://ieframe.dll/dnserror.htm",
                                u"ftp://notice.tessmor.com/", u"notice.tessmor.com/", u""})
    EXPECT_FALSE(OnHostOf(other, page)) << "scheme of " << std::string(other, other + std::char_traits<char16_t>::length(other));
  EXPECT_FALSE(OnHostOf(page, u"about:blank")) << "a page without a host allows nothing";
}

TEST(Address, ServerAndPort) {
  auto s = ServerOf(u"http://127.0.0.1:8080/x");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->host, u"127.0.0.1");
  EXPECT_EQ(s->port, 8080);
  EXPECT_EQ(ServerOf(u"https://a.b/")->port, 443);
  EXPECT_EQ(ServerOf(u"http://a.b/")->port, 80);
}

constexpr char16_t kPage[] = u"http://notice.tessmor.com/vip/hardware/gonggao.html";

TEST(Strip, WhiteUntilThePageHasLoadedThenThePage) {
  StripState s;
  s.PointAt(kPage);
  EXPECT_FALSE(s.page_shown());
  EXPECT_TRUE(s.BeforeNavigate(kPage, true));
  EXPECT_FALSE(s.NavigateComplete(kPage, true));
  EXPECT_FALSE(s.page_shown()) << "still loading";
  // A frame of the page on the host loads and fails without effect.
  EXPECT_TRUE(s.BeforeNavigate(u"http://notice.tessmor.com/frame.html", false));
  s.NavigateError(false);
  s.DocumentComplete(u"http://notice.tessmor.com/frame.html", false);
  EXPECT_FALSE(s.page_shown());
  s.DocumentComplete(kPage, true);
  EXPECT_TRUE(s.page_shown());
  // A link on the host: white again while it loads.
  EXPECT_TRUE(s.BeforeNavigate(u"http://notice.tessmor.com/next.html", true));
  EXPECT_FALSE(s.page_shown());
  s.DocumentComplete(u"http://notice.tessmor.com/next.html", true);
  EXPECT_TRUE(s.page_shown());
}

// The browser already scales by the system's density: the zoom covers only
// a window at another one, never the system's scale a second time.
TEST(Strip, PageZoomIsTheWindowsDensityOverTheSystems) {
  for (int dpi : {96, 120, 144, 192}) EXPECT_EQ(PageZoomPercent(dpi, dpi), 100) << dpi;
  EXPECT_EQ(PageZoomPercent(144, 96), 150);
  EXPECT_EQ(PageZoomPercent(96, 144), 67);
  EXPECT_EQ(PageZoomPercent(120, 144), 83);
  EXPECT_EQ(PageZoomPercent(192, 120), 160);
  EXPECT_EQ(PageZoomPercent(0, 96), 100);
  EXPECT_EQ(PageZoomPercent(9600, 96), 1000);
  EXPECT_EQ(PageZoomPercent(1, 96), 10);
}

TEST(Strip, AFailedLoadStaysWhite) {
  StripState s;
  s.PointAt(kPage);
  ASSERT_TRUE(s.BeforeNavigate(kPage, true));
  s.NavigateError(true);  // 404, no network, name not found, time-out
  // The browser may still complete its error document, under any address.
  s.NavigateComplete(u"res://ieframe.dll/http_404.htm", true);
  s.DocumentComplete(kPage, true);
  EXPECT_FALSE(s.page_shown());
  s.DocumentComplete(u"res://ieframe.dll/http_404.htm", true);
  EXPECT_FALSE(s.page_shown());
  // Pointed at the page again, it may load this time.
  s.PointAt(kPage);
  ASSERT_TRUE(s.BeforeNavigate(kPage, true));
  s.DocumentComplete(kPage, true);
  EXPECT_TRUE(s.page_shown());
}

TEST(Strip, NeverLeavesTheHost) {
  StripState s;
  s.PointAt(kPage);
  ASSERT_TRUE(s.BeforeNavigate(kPage, true));
  s.DocumentComplete(kPage, true);
  ASSERT_TRUE(s.page_shown());
  // Links, scripts and refreshes elsewhere are cancelled and change nothing.
  EXPECT_FALSE(s.BeforeNavigate(u"http://www.tessmor.com/", true));
  EXPECT_FALSE(s.BeforeNavigate(u"javascript:void(0)", true));
  EXPECT_FALSE(s.BeforeNavigate(u"http://ads.example.net/frame", false));
  EXPECT_TRUE(s.page_shown());
  // A server's redirect elsewhere shows up only once it is under way: stop
  // it, and white.
  ASSERT_TRUE(s.BeforeNavigate(u"http://notice.tessmor.com/moved", true));
  EXPECT_TRUE(s.NavigateComplete(u"http://elsewhere.example.net/", true));
  s.DocumentComplete(u"http://elsewhere.example.net/", true);
  EXPECT_FALSE(s.page_shown());
  EXPECT_FALSE(s.BeforeNavigate(u"http://elsewhere.example.net/next", true));
  EXPECT_FALSE(s.page_shown());
}

TEST(Commands, TheHomePageProgramComesFromTheWindowsFolder) {
  EXPECT_EQ(ProgramIn(u"C:\\Windows", HomePageCommand()), u"C:\\Windows\\Explorer.exe");
  EXPECT_EQ(ProgramIn(u"D:\\", u"  notepad.exe  x"), u"D:\\notepad.exe");
  EXPECT_EQ(ProgramIn(u"C:\\Windows", u"   "), u"");
}

}  // namespace
}  // namespace varnello::ui

namespace varnello::ui {
namespace {

// Tab in reading order, wrapping; Enter on its first key-down, Space on its
// key-up over the control it went down on; F5 anywhere; Ctrl+C, Ctrl+Insert.
TEST(Keyboard, KeysActAsAPushButtonDoes) {
  EXPECT_EQ((std::vector<ControlId>{NextFocus(kJiance, false), NextFocus(kUpdate, false), NextFocus(kImage5, false),
                                    NextFocus(kJiance, true)}),
            (std::vector<ControlId>{kUpdate, kImage5, kJiance, kImage5}));
  KeyTracker keys;
  auto down = [&](int key, bool repeat, ControlId at = kUpdate, bool ctrl = false) {
    return keys.Down(key, repeat, false, ctrl, at);
  };
  EXPECT_EQ(down(vk::kTab, true), KeyAction::kFocusNext);
  EXPECT_EQ(keys.Down(vk::kTab, false, true, false, kUpdate), KeyAction::kFocusPrevious);
  EXPECT_EQ(down(vk::kReturn, false), KeyAction::kActivate);
  EXPECT_EQ(down(vk::kReturn, true), KeyAction::kNone);
  EXPECT_EQ(down(vk::kSpace, false), KeyAction::kNone);
  EXPECT_EQ(down(vk::kSpace, true), KeyAction::kNone);
  EXPECT_EQ(keys.Up(vk::kSpace, kUpdate), KeyAction::kActivate);
  EXPECT_EQ(keys.Up(vk::kSpace, kUpdate), KeyAction::kNone);
  down(vk::kSpace, false);
  EXPECT_EQ(keys.Up(vk::kSpace, kImage5), KeyAction::kNone);
  down(vk::kSpace, false);
  keys.Cancel();
  EXPECT_EQ(keys.Up(vk::kSpace, kUpdate), KeyAction::kNone);
  EXPECT_EQ(down(vk::kF5, false, kImage5), KeyAction::kSurvey);
  EXPECT_EQ(down(vk::kF5, true, kImage5), KeyAction::kNone);
  EXPECT_EQ(down(vk::kC, false, kJiance, true), KeyAction::kCopy);
  EXPECT_EQ(down(vk::kInsert, false, kJiance, true), KeyAction::kCopy);
  EXPECT_EQ(down(vk::kC, false, kJiance), KeyAction::kNone);
}

TEST(Keyboard, ResultsAsAPersonWouldTypeThem) {
  Captions captions;
  EXPECT_EQ(ToUtf8(ResultsText(captions)),
            "系统：\r\n主板:\r\nBIOS:\r\nCPU:\r\n显卡:\r\n硬盘:\r\n声卡:\r\n内存:\r\n网卡:\r\n");
  for (auto [id, text] : {std::pair{kWindows, u"系统：Microsoft Windows 10 Pro"}, {kZhuban, u"ASUSTeK型号:PRIME"},
                          {kCpuz, u"  Intel(R) Core(TM) i5"}, {kNeicun, u"16384 MB / 2条"}, {kWangka, u"Realtek"}})
    captions[id] = text;
  EXPECT_EQ(ToUtf8(ResultsText(captions)),
            "系统：Microsoft Windows 10 Pro\r\n主板:ASUSTeK型号:PRIME\r\nBIOS:\r\nCPU:  Intel(R) Core(TM) i5\r\n"
            "显卡:\r\n硬盘:\r\n声卡:\r\n内存:16384 MB / 2条\r\n网卡:Realtek\r\n");
}

}  // namespace
}  // namespace varnello::ui
