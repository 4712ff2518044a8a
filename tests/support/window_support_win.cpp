#include "tests/support/window_support_win.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "base/dyn_calls_win.h"
#include "base/utf.h"
#include "tray/tray_win.h"

namespace varnello {

std::vector<NotifyCall> g_notify;

static std::string Text(const char* s, std::size_t max) {
  const int n = static_cast<int>(strnlen(s, max));
  std::wstring w(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, s, n, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s, n, w.data(), static_cast<int>(w.size()));
  return ToUtf8(std::u16string(w.begin(), w.end()));
}

static std::string Text(const wchar_t* s, std::size_t max) { return ToUtf8(std::u16string(s, s + wcsnlen(s, max))); }

template <class Record>
static BOOL Note(DWORD message, const Record* d) {
  g_notify.push_back({message, sizeof d->szTip[0] == 2, d->uFlags, d->uID, d->uCallbackMessage,
                      reinterpret_cast<std::uintptr_t>(d->hWnd), reinterpret_cast<std::uintptr_t>(d->hIcon),
                      Text(d->szTip, 128), Text(d->szInfo, 256), Text(d->szInfoTitle, 64), d->cbSize});
  return TRUE;
}

BOOL WINAPI RecordA(DWORD message, PNOTIFYICONDATAA d) { return Note(message, d); }
BOOL WINAPI RecordW(DWORD message, PNOTIFYICONDATAW d) { return Note(message, d); }

void Pump() {
  MSG m;
  for (int round = 0; round < 5; ++round) {
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    Sleep(20);
  }
}

static DWORD WINAPI RunJob(void* p) {
  std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(p));
  (*job)();
  return 0;
}

void FromAnotherThread(std::function<void()> work) {
  auto* job = new std::function<void()>(std::move(work));
  HANDLE thread = CreateThread(nullptr, 0, RunJob, job, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_ALLINPUT) != WAIT_OBJECT_0) Pump();
  CloseHandle(thread);
  Pump();
}

int g_started = 0;
int g_surveys = 0;
std::function<std::unique_ptr<SurveyPlatform>()> g_platform;

std::vector<FilterCall> g_filter;
BOOL WINAPI RecordWindowFilter(HWND window, UINT message, DWORD action, void*) {
  g_filter.push_back({window, message, action});
  return TRUE;
}
BOOL WINAPI RecordProcessFilter(UINT message, DWORD action) {
  g_filter.push_back({nullptr, message, action});
  return TRUE;
}

std::vector<NotifyCall> g_load_notify;
std::vector<FilterCall> g_load_filter;

ui::Pc* Window() {
  static ui::Pc* pc = [] {
    tray::SetShellForTesting(RecordA, RecordW);
    base::Dyn().ChangeWindowMessageFilterEx.Set(RecordWindowFilter);
    g_notify.clear();
    g_filter.clear();
    auto made = ui::Pc::Create(
        GetModuleHandleW(nullptr), SW_HIDE,
        [](std::wstring_view, int) -> Status {
          ++g_started;
          return {};
        },
        []() -> std::unique_ptr<SurveyPlatform> {
          ++g_surveys;
          if (g_platform) return g_platform();
          return std::make_unique<NoService>(false);
        });
    g_load_notify = g_notify;
    g_load_filter = g_filter;
    return made ? *made : nullptr;
  }();
  return pc;
}

void WindowTest::SetUp() {
  pc = Window();
  ASSERT_NE(pc, nullptr);
  hwnd = pc->hwnd();
  g_platform = nullptr;
  for (ui::ControlId id : ui::kResultLabels) ASSERT_TRUE(pc->SetCaption(id, u"").ok());
  ASSERT_TRUE(pc->SetFrame1Visible(false).ok());
  pc->SetJianceColour(0x404040);
  ShowWindow(hwnd, SW_HIDE);
  Pump();
}

void WindowTest::TearDown() {
  g_platform = nullptr;
  if (hwnd) ShowWindow(hwnd, SW_HIDE);
}

POINT CentreOf(const ui::Pc& pc, int control) {
  const ui::PixelRect r = ui::ToPixels(ui::kControls[static_cast<std::size_t>(control)].twips, pc.dpi());
  return POINT{r.left + r.width / 2, r.top + r.height / 2};
}

void QueueClicks(HWND hwnd, std::vector<POINT> points) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  std::vector<INPUT> inputs;
  for (POINT p : points) {
    ClientToScreen(hwnd, &p);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(p.x, 65536, width) + 1;
    move.mi.dy = MulDiv(p.y, 65536, height) + 1;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT down = move, up = move;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    inputs.insert(inputs.end(), {move, down, up});
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void ClickThroughInput(HWND hwnd, std::vector<POINT> points) {
  QueueClicks(hwnd, std::move(points));
  Pump();
}

VARIANT ChildVar(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::string Utf8(BSTR b) { return b ? ToUtf8(std::u16string(b, b + SysStringLen(b))) : std::string(); }

ComPtr<IAccessible> ClientObject(HWND hwnd) {
  ComPtr<IAccessible> object;
  AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), ui::kIidAccessible, object.ReceiveVoid());
  return object;
}

Node Read(IAccessible* object, long child) {
  Node n;
  n.child = child;
  const VARIANT id = ChildVar(child);
  Bstr text;
  if (object->get_accName(id, text.Receive()) == S_OK) n.name = Utf8(text.get());
  if (object->get_accValue(id, text.Receive()) == S_OK) n.value = Utf8(text.get());
  if (object->get_accDefaultAction(id, text.Receive()) == S_OK) n.action = Utf8(text.get());
  Variant v;
  if (object->get_accRole(id, v.Receive()) == S_OK && v.get().vt == VT_I4) n.role = v.get().lVal;
  if (object->get_accState(id, v.Receive()) == S_OK && v.get().vt == VT_I4) n.state = v.get().lVal;
  long l = 0, t = 0, w = 0, h = 0;
  if (object->accLocation(&l, &t, &w, &h, id) == S_OK) n.at = RECT{l, t, l + w, t + h};
  return n;
}

std::vector<Node> Walk(IAccessible* object) {
  std::vector<Node> nodes;
  long count = 0;
  if (object->get_accChildCount(&count) != S_OK || count <= 0) return nodes;
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  long got = 0;
  if (FAILED(AccessibleChildren(object, 0, count, children.data(), &got))) return nodes;
  for (long i = 0; i < got; ++i) {
    VARIANT& c = children[static_cast<std::size_t>(i)];
    if (c.vt == VT_I4) nodes.push_back(Read(object, c.lVal));
    if (c.vt == VT_DISPATCH && c.pdispVal) {
      ComPtr<IAccessible> inner;
      if (SUCCEEDED(c.pdispVal->QueryInterface(ui::kIidAccessible, inner.ReceiveVoid()))) {
        nodes.push_back(Read(inner.get(), CHILDID_SELF));
        nodes.back().object = true;
      }
    }
    VariantClear(&c);
  }
  return nodes;
}

std::vector<Event> g_events;
static HWND g_watched = nullptr;

static void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  if (hwnd == g_watched && object == OBJID_CLIENT) g_events.push_back({event, child});
}

std::ptrdiff_t IndexOf(DWORD event, LONG child, std::size_t from) {
  for (std::size_t i = from; i < g_events.size(); ++i)
    if (g_events[i].event == event && g_events[i].child == child) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

EventHook::EventHook(HWND watched)
    : hook_(SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_VALUECHANGE, nullptr, RecordEvent, 0, 0,
                            WINEVENT_OUTOFCONTEXT)) {
  g_watched = watched;
  g_events.clear();
}

EventHook::~EventHook() {
  if (hook_) UnhookWinEvent(hook_);
}

Ending RunChild(const std::string& how) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring trail = std::wstring(temp) + L"varnello-trail-" + std::wstring(how.begin(), how.end()) + L".txt";
  std::wstring line = L"\"" + std::wstring(self) + L"\" --child " + std::wstring(how.begin(), how.end()) + L" \"" +
                      trail + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  Ending ending{999, {}};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ending;
  // This thread's window stays responsive: a reader in the child calls it.
  const DWORD until = GetTickCount() + 60000;
  while (GetTickCount() < until &&
         MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  }
  GetExitCodeProcess(pi.hProcess, &ending.exit_code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (FILE* f = _wfopen(trail.c_str(), L"r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, f)) ending.trail.emplace_back(buf, strcspn(buf, "\n"));
    std::fclose(f);
    _wremove(trail.c_str());
  }
  return ending;
}

std::vector<std::string> Steps(const Ending& e) {
  std::vector<std::string> steps;
  for (const std::string& l : e.trail) {
    if (l.rfind("0 7 1 ", 0) == 0) steps.push_back("add");
    else if (l.rfind("1 16 1 ", 0) == 0) steps.push_back("balloon");
    else if (l.rfind("2 ", 0) == 0) steps.push_back("delete");
    else steps.push_back(l.substr(0, l.find(' ')));
  }
  return steps;
}

HCURSOR CursorAt(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  SetCursorPos(p.x, p.y);
  SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

}  // namespace varnello
