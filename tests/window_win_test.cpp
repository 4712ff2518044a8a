// The window and the icon operations inside a real Wine session, with a
// recording shell: the load, the icon's notifications, clicks through the
// system's input queue, the cursor, and densities.
#include <windows.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/density_win.h"
#include "base/dyn_calls_win.h"
#include "base/win_handles_win.h"
#include "tests/support/window_support_win.h"
#include "tray/message_filter_win.h"
#include "ui/resource_ids.h"

namespace varnello {
namespace {

using TrayOperations = WindowTest;
using IconNotifications = WindowTest;
using Window = WindowTest;

bool AnsiHoldsChinese() { return GetACP() == 936; }

TEST_F(TrayOperations, LoadAddsTheIconThenGreets) {
  ASSERT_EQ(g_load_notify.size(), 2u);
  const NotifyCall& add = g_load_notify[0];
  const NotifyCall& hello = g_load_notify[1];
  EXPECT_EQ(std::tie(add.message, add.flags, add.id, add.callback, add.window, add.tip),
            std::make_tuple(static_cast<DWORD>(NIM_ADD), 7u, 1u, static_cast<UINT>(WM_MOUSEMOVE),
                            reinterpret_cast<std::uintptr_t>(hwnd), std::string("Varnello v1.0")));
  EXPECT_FALSE(add.wide);  // the tip is ASCII: the ANSI record in every code page
  EXPECT_EQ(add.size, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
  EXPECT_NE(add.icon, 0u) << "icon.ico lies beside the test";
  EXPECT_NE(add.icon, static_cast<std::uintptr_t>(GetClassLongPtrW(hwnd, GCLP_HICONSM))) << "not the stand-in";

  // The tip and the icon left as the add set them.
  EXPECT_EQ(std::tie(hello.message, hello.flags, hello.info, hello.title, hello.tip, hello.icon),
            std::make_tuple(static_cast<DWORD>(NIM_MODIFY), 16u, std::string("欢迎使用Varnello"), std::string("提示"),
                            add.tip, add.icon));
  // Chinese goes through the ANSI record where the code page holds it, and
  // through the wide one where it would be garbled.
  EXPECT_EQ(hello.wide, !AnsiHoldsChinese()) << "code page " << GetACP();
  EXPECT_EQ(hello.size, hello.wide ? static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE)
                                   : static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
}

TEST_F(TrayOperations, TaskbarCreatedAddsTheIconAgain) {
  g_notify.clear();
  SendMessageW(pc->hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_EQ(g_notify.size(), 1u);
  ASSERT_FALSE(g_load_notify.empty());
  const NotifyCall& again = g_notify[0];
  const NotifyCall& first = g_load_notify[0];
  EXPECT_EQ(std::tie(again.message, again.flags, again.tip, again.icon, again.window),
            std::tie(first.message, first.flags, first.tip, first.icon, first.window));
}

// Run as administrator, the window lets the shell's broadcast through its
// message filter: per window where the system can, per process on Vista.
TEST_F(TrayOperations, TaskbarCreatedPassesTheMessageFilter) {
  const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
  ASSERT_EQ(g_load_filter.size(), 1u);
  EXPECT_EQ(g_load_filter[0].window, pc->hwnd());
  EXPECT_EQ(g_load_filter[0].message, taskbar_created);
  EXPECT_EQ(g_load_filter[0].action, 1u) << "MSGFLT_ALLOW";

  g_filter.clear();
  base::DynCalls& dyn = base::Dyn();
  dyn.ChangeWindowMessageFilterEx.Set(nullptr);  // Vista
  dyn.ChangeWindowMessageFilter.Set(RecordProcessFilter);
  tray::AllowMessage(pc->hwnd(), taskbar_created);
  ASSERT_EQ(g_filter.size(), 1u);
  EXPECT_EQ(g_filter[0].window, nullptr);
  EXPECT_EQ(g_filter[0].message, taskbar_created);
  EXPECT_EQ(g_filter[0].action, 1u) << "MSGFLT_ADD";
  dyn.ChangeWindowMessageFilter.Set(nullptr);  // XP
  tray::AllowMessage(pc->hwnd(), taskbar_created);
  EXPECT_EQ(g_filter.size(), 1u) << "no filter, nothing to change";
  dyn.ChangeWindowMessageFilterEx.Set(RecordWindowFilter);
  dyn.ChangeWindowMessageFilter.Reset();
}

TEST_F(IconNotifications, SentPressRestoresAPointerMoveDoesNot) {
  ShowWindow(hwnd, SW_HIDE);
  ASSERT_FALSE(IsWindowVisible(hwnd));

  // The pointer itself at the column that spells 513, as it could be at a
  // higher density: a posted move whose position is the pointer's.
  POINT at{513, 5};
  ClientToScreen(hwnd, &at);
  SetCursorPos(at.x, at.y);
  POINT check;
  GetCursorPos(&check);
  if (check.x == at.x && check.y == at.y) {
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(513, 5));
    Pump();
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "a real pointer move was taken for the icon";
  }

  // The shell sends from its own thread: WM_LBUTTONDOWN in place of x.
  FromAnotherThread([hwnd = hwnd] { SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, WM_LBUTTONDOWN); });
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_FALSE(IsIconic(hwnd));

  // Releases, double-clicks and moves over the icon do nothing.
  ShowWindow(hwnd, SW_HIDE);
  for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MBUTTONDOWN}) {
    FromAnotherThread([hwnd = hwnd, message] { SendMessageW(hwnd, WM_MOUSEMOVE, 0, message); });
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "message " << message;
  }
}

// Closes the popup menu as soon as it shows, noting that it did.
bool g_menu_seen = false;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) {
  if (FindWindowW(L"#32768", nullptr)) {
    g_menu_seen = true;
    EndMenu();
  }
}

TEST_F(IconNotifications, RightPressOpensThePopupMenuEvenWhenHidden) {
  ShowWindow(hwnd, SW_HIDE);
  g_menu_seen = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseMenu);
  FromAnotherThread([hwnd = hwnd] { SendNotifyMessageW(hwnd, WM_MOUSEMOVE, MK_RBUTTON, WM_RBUTTONDOWN); });
  for (int i = 0; i < 20 && !g_menu_seen; ++i) Pump();
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_menu_seen);
  EXPECT_FALSE(IsWindowVisible(hwnd)) << "closing the menu chose nothing";
}

// A management service that takes its time, as the real one's first start
// does; while the first survey waits for it, the user clicks the start
// label and the credit link.
class SlowService final : public SurveyPlatform {
 public:
  SlowService(HWND hwnd, std::vector<POINT> clicks) : hwnd_(hwnd), clicks_(std::move(clicks)) {}
  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view) override { return ComError(E_FAIL); }
  Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view) override {
    if (clicks_.empty()) return ComError(E_FAIL);
    // Long enough that a click on the start label now is no double-click.
    Sleep(GetDoubleClickTime() + 100);
    QueueClicks(hwnd_, std::exchange(clicks_, {}));
    Sleep(100);
    return ComError(E_FAIL);
  }
  NumberFormat Format() const override { return {}; }

 private:
  HWND hwnd_;
  std::vector<POINT> clicks_;
};

// The one window in front, for input through the system's queue.
class Clicks : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    Pump();
  }
};

TEST_F(Clicks, WhatWasClickedDuringASurveyIsDropped) {
  const POINT jiance = CentreOf(*pc, ui::kJiance), link = CentreOf(*pc, ui::kUpdate);
  auto clicks = std::make_shared<std::vector<POINT>>(std::vector<POINT>{jiance, link});
  g_platform = [window = hwnd, clicks]() -> std::unique_ptr<SurveyPlatform> {
    return std::make_unique<SlowService>(window, std::exchange(*clicks, {}));
  };
  const int surveys = g_surveys, started = g_started;
  ClickThroughInput(hwnd, {jiance});
  Pump();
  EXPECT_EQ(g_surveys - surveys, 1) << "one survey for one click";
  EXPECT_EQ(g_started - started, 0) << "no home page opened afterwards";
}

TEST_F(Clicks, ADoubleClickIsOneClickTwoClicksAreTwo) {
  const int apart = GetSystemMetrics(SM_CXDOUBLECLK) + 20;  // beyond a double-click's reach
  struct Case {
    int control;
    int* count;
  };
  for (const Case& c : {Case{ui::kUpdate, &g_started}, Case{ui::kJiance, &g_surveys}}) {
    SCOPED_TRACE(ui::kControls[static_cast<std::size_t>(c.control)].name);
    const POINT at = CentreOf(*pc, c.control);
    int before = *c.count;
    ClickThroughInput(hwnd, {at, at});
    EXPECT_EQ(*c.count - before, 1) << "a double-click";
    before = *c.count;
    // The second once the first has been handled: input that comes while
    // a survey runs is dropped.
    ClickThroughInput(hwnd, {at});
    ClickThroughInput(hwnd, {POINT{at.x + apart, at.y}});
    EXPECT_EQ(*c.count - before, 2) << "two clicks";
  }
}

// Finishing the load handler after the first paint: the window is shown
// first, and the rest runs in order, by itself, or before a click or a
// close request that comes first; at once for a window that starts hidden.
TEST(Loading, AfterTheFirstPaintInOrderAndBeforeAnyHandler) {
  using V = std::vector<std::string>;
  Ending late = RunChild("late");
  EXPECT_EQ(late.exit_code, 0u);
  EXPECT_EQ(Steps(late), (V{"window", "add", "balloon", "delete"}));
  Ending early = RunChild("early");
  EXPECT_EQ(early.exit_code, 0u);
  EXPECT_EQ(Steps(early), (V{"window", "add", "balloon", "start", "delete"}));
  Ending hidden = RunChild("hidden");
  EXPECT_EQ(hidden.exit_code, 0u);
  EXPECT_EQ(Steps(hidden), (V{"add", "balloon", "window", "delete"}));
}

TEST_F(Window, HandCursorOverTheLinksAndTheStartLabelOnly) {
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  Pump();
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  auto over = [&](int control) {
    const POINT p = CentreOf(*pc, control);
    return CursorAt(hwnd, p.x, p.y);
  };
  const HCURSOR hand = over(ui::kJiance);
  EXPECT_NE(hand, arrow);
  EXPECT_EQ(over(ui::kUpdate), hand);
  EXPECT_EQ(over(ui::kImage5), hand);
  EXPECT_EQ(over(ui::kZhuban), arrow);  // a result label
  // The start button's face above its label, and the bare right edge.
  const ui::PixelRect face = ui::ToPixels(ui::kControls[ui::kImage12].twips, pc->dpi());
  const ui::PixelRect label = ui::ToPixels(ui::kControls[ui::kJiance].twips, pc->dpi());
  EXPECT_EQ(CursorAt(hwnd, label.left + label.width / 2, (face.top + label.top) / 2), arrow);
  EXPECT_EQ(CursorAt(hwnd, ui::TwipsToPixels(ui::kClientWidthTwips, pc->dpi()) - 4, 100), arrow);
  ShowWindow(hwnd, SW_HIDE);
}

// Width of an icon or cursor; a two-colour one has no colour bitmap.
int SideOf(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  BITMAP b{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof b, &b);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return b.bmWidth;
}

// The system's size for an icon or cursor at a density, where it says.
int MetricFor(int index, int dpi) {
  auto get = base::Dyn().GetSystemMetricsForDpi.get();
  return get ? get(index, static_cast<UINT>(dpi)) : 0;
}

HMONITOR g_asked_monitor = nullptr;
HRESULT WINAPI MonitorAt144(HMONITOR monitor, int kind, UINT* x, UINT* y) {
  g_asked_monitor = monitor;
  *x = *y = kind == 0 /* MDT_EFFECTIVE_DPI */ ? 144 : 96;
  return S_OK;
}

// Windows 8.1 to 10 1511 have no density per window but one per monitor;
// XP to 8 only the system's.
TEST_F(Window, DensityOfTheWindowsMonitorWhereNoneIsKeptPerWindow) {
  base::DynCalls& dyn = base::Dyn();
  dyn.GetDpiForWindow.Set(nullptr);
  dyn.GetDpiForMonitor.Set(MonitorAt144);
  const int on_monitor = base::DpiOfWindow(pc->hwnd());
  dyn.GetDpiForMonitor.Set(nullptr);
  const int on_xp = base::DpiOfWindow(pc->hwnd());
  dyn.GetDpiForWindow.Reset();
  dyn.GetDpiForMonitor.Reset();
  EXPECT_EQ(on_monitor, 144);
  EXPECT_EQ(g_asked_monitor, MonitorFromWindow(pc->hwnd(), MONITOR_DEFAULTTONEAREST));
  EXPECT_EQ(on_xp, GetDeviceCaps(ScreenDc().get(), LOGPIXELSX));
}

// A move to a monitor of 144 DPI and back: asked first for its size there
// (Windows 10 and later), then told with a suggested rectangle that is a
// pixel off either way, the window keeps the suggested corner but makes its
// client area the design's exactly, and takes the icons and hand cursor
// drawn for the density.
TEST_F(Window, DensityChangeKeepsTheClientAreaExact) {
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  const int before = pc->dpi();
  for (int dpi : {144, before}) {
    SCOPED_TRACE(dpi);
    SIZE size{0, 0};
    ASSERT_TRUE(SendMessageW(hwnd, base::kWmGetDpiScaledSize, static_cast<WPARAM>(dpi),
                             reinterpret_cast<LPARAM>(&size)));
    EXPECT_GT(size.cx, ui::TwipsToPixels(ui::kClientWidthTwips, dpi));
    EXPECT_GT(size.cy, ui::TwipsToPixels(ui::kClientHeightTwips, dpi));

    RECT suggested{40, 30, 40 + size.cx + 1, 30 + size.cy - 1};
    SendMessageW(hwnd, base::kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(pc->dpi(), dpi);
    RECT client, window;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(client.right, ui::TwipsToPixels(ui::kClientWidthTwips, dpi));
    EXPECT_EQ(client.bottom, ui::TwipsToPixels(ui::kClientHeightTwips, dpi));
    EXPECT_EQ(window.left, 40);
    EXPECT_EQ(window.top, 30);

    if (int big = MetricFor(SM_CXICON, dpi)) {
      EXPECT_EQ(SideOf(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0))), big);
      EXPECT_EQ(SideOf(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0))),
                MetricFor(SM_CXSMICON, dpi));
      const ui::PixelRect jiance = ui::ToPixels(ui::kControls[ui::kJiance].twips, dpi);
      EXPECT_EQ(SideOf(CursorAt(hwnd, jiance.left + 2, jiance.top + 2)), MetricFor(SM_CXCURSOR, dpi));
    }
  }
  ShowWindow(hwnd, SW_HIDE);
}

}  // namespace
}  // namespace varnello
