// What the window tests share: the one window of the test program, with
// the shell's Shell_NotifyIcon functions and the message filter replaced by
// recorders; the message pump; input through the system's queue; what a
// screen reader reads; and the child processes some tests run.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/com_win.h"
#include "survey/survey_platform.h"
#include "ui/pc_win.h"

namespace varnello {

// --- The recording shell and message filter ----------------------------------

struct NotifyCall {
  DWORD message;
  bool wide;
  UINT flags, id, callback;
  std::uintptr_t window, icon;
  std::string tip, info, title;  // UTF-8
  DWORD size;
};
extern std::vector<NotifyCall> g_notify;
BOOL WINAPI RecordA(DWORD message, PNOTIFYICONDATAA d);
BOOL WINAPI RecordW(DWORD message, PNOTIFYICONDATAW d);

struct FilterCall {
  HWND window;
  UINT message;
  DWORD action;
};
extern std::vector<FilterCall> g_filter;
BOOL WINAPI RecordWindowFilter(HWND window, UINT message, DWORD action, void*);
BOOL WINAPI RecordProcessFilter(UINT message, DWORD action);

// What they were handed while the one window was made and loaded.
extern std::vector<NotifyCall> g_load_notify;
extern std::vector<FilterCall> g_load_filter;

// --- The one window ----------------------------------------------------------

void Pump();

// Runs `work` on a thread of its own, as the shell would, handling this
// thread's messages until it is done.
void FromAnotherThread(std::function<void()> work);

// A management service that is not there: every survey step fails at once.
// With `throws`, binding a moniker throws as an exhausted heap would.
class NoService final : public SurveyPlatform {
 public:
  explicit NoService(bool throws) : throws_(throws) {}
  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view) override { return ComError(E_FAIL); }
  Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view) override {
    if (throws_) throw std::bad_alloc();
    return ComError(E_FAIL);
  }
  NumberFormat Format() const override { return {}; }

 private:
  bool throws_;
};

extern int g_started;  // home page commands started
extern int g_surveys;  // surveys run
// What the window's surveys run against; unset, a service that answers nothing.
extern std::function<std::unique_ptr<SurveyPlatform>()> g_platform;

// One window for the whole test program, as in the program itself.
ui::Pc* Window();

// The one window as each test finds it: every result empty, no overlay, the
// start label dark grey, hidden, its surveys against a service that answers nothing.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  ui::Pc* pc = nullptr;
  HWND hwnd = nullptr;
};

// The middle of a control at the window's density.
POINT CentreOf(const ui::Pc& pc, int control);

// Presses and releases the left button at each client point in turn,
// through the system's input queue as a user's hand would (two at one place
// in quick succession make a double-click); then, handles them.
void QueueClicks(HWND hwnd, std::vector<POINT> points);
void ClickThroughInput(HWND hwnd, std::vector<POINT> points);
// Which cursor the window sets with the pointer at a client point.
HCURSOR CursorAt(HWND hwnd, int x, int y);

// --- What a screen reader reads ------------------------------------------------

VARIANT ChildVar(long id);
std::string Utf8(BSTR b);
ComPtr<IAccessible> ClientObject(HWND hwnd);

// One child as a reader finds it.
struct Node {
  long child = 0;  // CHILDID_SELF for a child that is an object of its own
  bool object = false;
  long role = 0, state = 0;
  std::string name, value, action;
  RECT at{};
};

Node Read(IAccessible* object, long child);
// The children, through oleacc's AccessibleChildren as readers walk a tree.
std::vector<Node> Walk(IAccessible* object);

// Events the window raises for its client area, in order.
struct Event {
  DWORD event;
  LONG child;
};
extern std::vector<Event> g_events;

class EventHook {
 public:
  explicit EventHook(HWND watched);
  EventHook(const EventHook&) = delete;
  EventHook& operator=(const EventHook&) = delete;
  ~EventHook();
  bool ok() const { return hook_ != nullptr; }

 private:
  HWINEVENTHOOK hook_;
};

std::ptrdiff_t IndexOf(DWORD event, LONG child, std::size_t from = 0);

// --- Child processes -------------------------------------------------------------

// How a child ended, and the trail it left: one line per call of the shell,
// and what else it noted.
struct Ending {
  DWORD exit_code;
  std::vector<std::string> trail;
};

// Runs this test program again as the child `how` and waits for it, this
// thread's windows staying responsive.
Ending RunChild(const std::string& how);
// The trail in short: which call of the shell, or what else happened.
std::vector<std::string> Steps(const Ending& e);
// The child's side, in window_children_win.cpp.
int Child(const std::string& how, const char* trail_path);

}  // namespace varnello
