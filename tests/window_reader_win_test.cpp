// What screen readers find in the window, and what they may do with it.
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/dyn_calls_win.h"
#include "base/utf.h"
#include "tests/support/fake_survey.h"
#include "tests/support/window_support_win.h"
#include "ui/accessible_tree.h"

namespace varnello {
namespace {

using ScreenReader = WindowTest;

const std::vector<std::string> kReadingOrder = {"硬件信息↓", "系统", "检测中……", "主板", "BIOS", "CPU", "显卡",
                                                "硬盘",       "声卡", "内存",     "网卡", "开始检测",
                                                "Tessmor出品", "Varnello"};

// A scripted survey that lets a test look at the window while the survey
// holds it: the first platform call comes with the overlay shown.
class WatchedService : public testing::FakeService {
 public:
  explicit WatchedService(std::function<void()> watch) : FakeService(testing::OneRowService()), watch_(std::move(watch)) {}
  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view prog_id) override {
    if (watch_) std::exchange(watch_, nullptr)();
    return FakeService::CreateObject(prog_id);
  }

 private:
  std::function<void()> watch_;
};

// Whether a reader's rectangle is the child's place at the window's density, on screen.
bool AtItsPlace(HWND hwnd, const RECT& at, long child, int dpi) {
  const ui::PixelRect r = ui::ChildRect(child, dpi);
  POINT o{r.left, r.top};
  ClientToScreen(hwnd, &o);
  const RECT place{o.x, o.y, o.x + r.width, o.y + r.height};
  return EqualRect(&at, &place) != FALSE;
}

bool IsResult(ui::ControlId c) {
  return std::find(ui::kResultLabels.begin(), ui::kResultLabels.end(), c) != ui::kResultLabels.end();
}

// The window with every result empty and surveys run against the scripted
// service; `watch` runs once inside the next survey, with the overlay shown.
ui::Pc* FreshWindow(std::function<void()> watch = {}) {
  ui::Pc* pc = Window();
  if (!pc) return nullptr;
  for (ui::ControlId id : ui::kResultLabels) {
    if (!pc->SetCaption(id, u"").ok()) return nullptr;
  }
  auto shared = std::make_shared<std::function<void()>>(std::move(watch));
  g_platform = [shared]() -> std::unique_ptr<SurveyPlatform> {
    return std::make_unique<WatchedService>(std::exchange(*shared, nullptr));
  };
  ShowWindow(pc->hwnd(), SW_SHOWNOACTIVATE);
  Pump();
  return pc;
}

constexpr long kInvisible = STATE_SYSTEM_INVISIBLE;

TEST_F(ScreenReader, ReadsTheWindowAndStartsASurveyLikeAClick) {
  std::vector<Node> during;
  ComPtr<IAccessible> object;
  ASSERT_EQ(FreshWindow([&] { during = Walk(object.get()); }), pc);
  object = ClientObject(hwnd);
  ASSERT_TRUE(object) << "WM_GETOBJECT answered with the window's own object";

  // The names in reading order, each where the window draws it; roles and
  // states as the portable tree gives them, in the system's terms.
  std::vector<Node> before = Walk(object.get());
  const bool strip = pc->web_view() != nullptr;
  ASSERT_EQ(before.size(), kReadingOrder.size() + (strip ? 1 : 0));
  if (strip) {
    EXPECT_TRUE(before.back().object) << "the strip last: the browser's own object";
  }
  for (std::size_t i = 0; i < kReadingOrder.size(); ++i) {
    SCOPED_TRACE(kReadingOrder[i]);
    EXPECT_EQ(before[i].name, kReadingOrder[i]);
    EXPECT_EQ(before[i].child, static_cast<long>(i + 1));
    EXPECT_TRUE(AtItsPlace(hwnd, before[i].at, before[i].child, pc->dpi()));
    EXPECT_EQ(before[i].state & kInvisible, i == 2 ? kInvisible : 0) << "only the overlay hidden";
  }
  // One of each kind: 系统, the overlay, 开始检测, Tessmor出品.
  EXPECT_EQ(before[1].role, ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(before[1].state & STATE_SYSTEM_READONLY, STATE_SYSTEM_READONLY);
  EXPECT_EQ(before[2].role, ROLE_SYSTEM_GRAPHIC);
  EXPECT_EQ(before[11].role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(before[11].action, "按下");
  EXPECT_EQ(before[12].role, ROLE_SYSTEM_LINK);
  EXPECT_EQ(before[12].action, "跳转");
  EXPECT_EQ(before[12].value.rfind("http://", 0), 0u) << before[12].value;
  EXPECT_EQ(before[12].state & STATE_SYSTEM_LINKED, STATE_SYSTEM_LINKED);

  // Pressed the way a reader does it: the call returns at once, and the
  // survey runs when the window next handles its messages.
  EventHook hook(hwnd);
  ASSERT_TRUE(hook.ok());
  ASSERT_EQ(object->accDoDefaultAction(ChildVar(ui::ChildIdOf(ui::kJiance))), S_OK);
  EXPECT_TRUE(pc->Caption(ui::kCpuz).empty()) << "the survey ran inside the reader's call";
  Pump();
  ASSERT_FALSE(pc->Caption(ui::kCpuz).empty()) << "the default action started no survey";

  // While the survey held the window: the overlay in place of the panel.
  ASSERT_EQ(during.size(), before.size());
  for (const Node& n : during) {
    if (n.object) continue;  // the strip: the browser's object, not one of ours
    SCOPED_TRACE(n.name);
    const ui::ControlId control = ui::ItemOf(n.child).control;
    EXPECT_EQ((n.state & kInvisible) != 0, control != ui::kWindows && IsResult(control));
  }

  std::vector<Node> after = Walk(object.get());
  ASSERT_EQ(after.size(), before.size());
  for (const Node& n : after) {
    if (n.object) continue;
    const ui::ControlId control = ui::ItemOf(n.child).control;
    SCOPED_TRACE(n.name);
    EXPECT_EQ((n.state & kInvisible) != 0, control == ui::kFrame1);
    if (IsResult(control)) {
      EXPECT_EQ(n.value, ToUtf8(pc->Caption(control)));
    }
  }

  // The events: the overlay shows, every result speaks its new text, the
  // overlay goes.
  const LONG overlay = ui::ChildIdOf(ui::kFrame1);
  const std::ptrdiff_t shown = IndexOf(EVENT_OBJECT_SHOW, overlay), hidden = IndexOf(EVENT_OBJECT_HIDE, overlay);
  ASSERT_GE(shown, 0);
  ASSERT_GT(hidden, shown);
  for (ui::ControlId id : ui::kResultLabels) {
    SCOPED_TRACE(ui::kControls[static_cast<std::size_t>(id)].name);
    const LONG child = ui::ChildIdOf(id);
    const std::ptrdiff_t name = IndexOf(EVENT_OBJECT_NAMECHANGE, child), value = IndexOf(EVENT_OBJECT_VALUECHANGE, child);
    EXPECT_GT(name, shown);
    EXPECT_GT(value, shown);
    EXPECT_LT(value, hidden);
    if (id != ui::kWindows) {
      EXPECT_GT(IndexOf(EVENT_OBJECT_STATECHANGE, child), shown);
      EXPECT_GT(IndexOf(EVENT_OBJECT_STATECHANGE, child, static_cast<std::size_t>(hidden)), hidden);
    }
  }

  // A text that does not change says nothing; an access-key marker is not read.
  g_events.clear();
  ASSERT_TRUE(pc->SetCaption(ui::kCpuz, std::u16string(pc->Caption(ui::kCpuz))).ok());
  ASSERT_TRUE(pc->SetCaption(ui::kBIOS, u"A&&B &C").ok());
  Pump();
  EXPECT_EQ(IndexOf(EVENT_OBJECT_VALUECHANGE, ui::ChildIdOf(ui::kCpuz)), -1);
  EXPECT_GE(IndexOf(EVENT_OBJECT_VALUECHANGE, ui::ChildIdOf(ui::kBIOS)), 0);
  EXPECT_EQ(Read(object.get(), ui::ChildIdOf(ui::kBIOS)).value, "A&B C");
  ShowWindow(hwnd, SW_HIDE);
}

// The focus among the three controls that act, moved by Tab and by a
// reader, each move told to readers.
TEST_F(ScreenReader, TheFocusMovesWithTabAndAtAReadersRequest) {
  ASSERT_EQ(FreshWindow(), pc);
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  SetFocus(hwnd);
  Pump();
  ComPtr<IAccessible> object = ClientObject(hwnd);
  ASSERT_TRUE(object);
  EventHook hook(hwnd);
  ASSERT_TRUE(hook.ok());
  // The focusable controls, the focused one marked; and the one accFocus names.
  auto focus = [&] {
    std::string seen;
    for (const Node& n : Walk(object.get()))
      if (!n.object && (n.state & STATE_SYSTEM_FOCUSABLE)) seen += n.name + (n.state & STATE_SYSTEM_FOCUSED ? "* " : " ");
    Variant child;
    object->get_accFocus(child.Receive());
    return seen + "/ " + (child.get().vt == VT_I4 ? Read(object.get(), child.get().lVal).name : "?");
  };
  EXPECT_EQ(focus(), "开始检测* Tessmor出品 Varnello / 开始检测");
  SendMessageW(hwnd, WM_KEYDOWN, VK_TAB, 1);
  Pump();
  EXPECT_EQ(focus(), "开始检测 Tessmor出品* Varnello / Tessmor出品");
  EXPECT_GE(IndexOf(EVENT_OBJECT_FOCUS, ui::ChildIdOf(ui::kUpdate)), 0);
  ASSERT_EQ(object->accSelect(SELFLAG_TAKEFOCUS, ChildVar(ui::ChildIdOf(ui::kImage5))), S_OK);
  Pump();
  EXPECT_EQ(focus(), "开始检测 Tessmor出品 Varnello* / Varnello");
  EXPECT_GE(IndexOf(EVENT_OBJECT_FOCUS, ui::ChildIdOf(ui::kImage5)), 0);
  EXPECT_EQ(object->accSelect(SELFLAG_TAKEFOCUS, ChildVar(ui::ChildIdOf(ui::kCpuz))), DISP_E_MEMBERNOTFOUND);
  object->accSelect(SELFLAG_TAKEFOCUS, ChildVar(ui::ChildIdOf(ui::kJiance)));
  ShowWindow(hwnd, SW_HIDE);
}

// The name of what oleacc finds at a client point.
std::string NameAtPoint(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  ComPtr<IAccessible> found;
  Variant child;
  if (FAILED(AccessibleObjectFromPoint(p, found.Receive(), child.Receive())) || !found) return "(nothing)";
  Bstr name;
  found->get_accName(child.get(), name.Receive());
  return Utf8(name.get());
}

// Points where the window's own hit-testing is known, and oleacc's search
// by point that readers use to follow the mouse.
TEST_F(ScreenReader, HitTestingAgreesWithTheWindow) {
  ASSERT_EQ(FreshWindow(), pc);
  ComPtr<IAccessible> object = ClientObject(hwnd);
  ASSERT_TRUE(object);
  auto at = [&](int x, int y) -> long {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    Variant found;
    if (object->accHitTest(p.x, p.y, found.Receive()) != S_OK) return -1;
    return found.get().vt == VT_I4 ? found.get().lVal : found.get().vt == VT_DISPATCH ? 1000 : -2;
  };
  // Through the object, in screen coordinates, at the system's density and
  // after a move to a denser monitor: a control and a result are children
  // where the window draws them; the button face is the client area itself.
  const int system = pc->dpi();
  for (int dpi : {144, system}) {
    SCOPED_TRACE(dpi);
    RECT place;
    GetWindowRect(hwnd, &place);
    SendMessageW(hwnd, base::kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&place));
    Pump();  // the window settles where the display puts it
    const ui::PixelRect face = ui::ToPixels(ui::kControls[ui::kImage12].twips, dpi);
    const ui::PixelRect label = ui::ToPixels(ui::kControls[ui::kJiance].twips, dpi);
    const POINT face_point{label.left + label.width / 2, (face.top + label.top) / 2};
    EXPECT_EQ(at(CentreOf(*pc, ui::kJiance).x, CentreOf(*pc, ui::kJiance).y), ui::ChildIdOf(ui::kJiance));
    EXPECT_EQ(at(CentreOf(*pc, ui::kZhuban).x, CentreOf(*pc, ui::kZhuban).y), ui::ChildIdOf(ui::kZhuban));
    EXPECT_EQ(at(face_point.x, face_point.y), CHILDID_SELF);
    const long jiance = ui::ChildIdOf(ui::kJiance);
    EXPECT_TRUE(AtItsPlace(hwnd, Read(object.get(), jiance).at, jiance, dpi));
  }
  EXPECT_EQ(at(-5, 10), -1) << "outside the client area";
  const POINT start = CentreOf(*pc, ui::kJiance);
  EXPECT_EQ(NameAtPoint(hwnd, start.x, start.y), "开始检测") << "oleacc's search by point, as readers follow the mouse";
  ASSERT_TRUE(pc->SetFrame1Visible(true).ok());
  const POINT result = CentreOf(*pc, ui::kZhuban);
  EXPECT_EQ(NameAtPoint(hwnd, result.x, result.y), "检测中……") << "the overlay over the results";
  EXPECT_TRUE(pc->SetFrame1Visible(false).ok());
  ShowWindow(hwnd, SW_HIDE);
}

TEST_F(ScreenReader, AnObjectHeldPastItsWindowAnswersDisconnected) {
  Ending e = RunChild("gone");
  EXPECT_EQ(e.exit_code, 0u) << "the calls after the window went must not crash";
  int gone = 0, alive = 0;
  for (const std::string& line : e.trail) {
    if (line.rfind("alive ", 0) == 0) alive += line.rfind("alive 00000000 ", 0) == 0;
    if (line.rfind("gone ", 0) != 0) continue;
    EXPECT_EQ(alive, 1) << "the object answered while the window was there";
    ++gone;
    const std::string hr = line.substr(line.rfind(' ') + 1);
    EXPECT_TRUE(hr == "800401fd" || hr == "80004005") << line;  // CO_E_OBJNOTCONNECTED, E_FAIL
  }
  EXPECT_EQ(gone, 8);
  ASSERT_FALSE(e.trail.empty());
  EXPECT_EQ(e.trail.back(), "released");
}

}  // namespace
}  // namespace varnello
