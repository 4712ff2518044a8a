// The test program run again as a child, for what must happen in a process
// of its own: the program ending, a screen reader in another process.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "base/utf.h"
#include "tests/support/window_support_win.h"
#include "tray/tray_win.h"

namespace varnello {
namespace {

// The child's record of what it handed the shell, one line a call, written
// as it happens: the process ends inside the handler.
FILE* g_trail = nullptr;

template <class Record>
BOOL WINAPI Trail(DWORD message, Record* d) {
  std::fprintf(g_trail, "%lu %u %u %p\n", message, d->uFlags, d->uID, static_cast<void*>(d->hWnd));
  std::fflush(g_trail);
  return TRUE;
}

// Chooses the menu's last command with the keyboard once the menu shows.
void CALLBACK ChooseLastCommand(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND menu = FindWindowW(L"#32768", nullptr)) {
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  }
}

// Notes the text of the program's message box in the trail, then presses OK.
void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindWindowW(L"#32770", nullptr);
  if (!box) return;
  wchar_t text[512] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 512);
  for (wchar_t& c : text)
    if (c == L'\n' || c == L'\r') c = L' ';
  std::fprintf(g_trail, "message %s\n", ToUtf8(std::u16string(text, text + wcslen(text))).c_str());
  std::fflush(g_trail);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// Holds the window's object while the window goes, then calls it.
int Gone() {
  auto pc = ui::Pc::Create(GetModuleHandleW(nullptr), SW_HIDE, [](std::wstring_view, int) -> Status { return {}; });
  if (!pc) return 5;
  HWND hwnd = (*pc)->hwnd();
  ComPtr<IAccessible> object = ClientObject(hwnd);
  if (!object) return 6;
  long count = 0;
  std::fprintf(g_trail, "alive %08lx %ld\n", static_cast<unsigned long>(object->get_accChildCount(&count)), count);
  DestroyWindow(hwnd);
  Pump();
  auto note = [](const char* what, HRESULT hr) {
    std::fprintf(g_trail, "gone %s %08lx\n", what, static_cast<unsigned long>(hr));
    std::fflush(g_trail);
  };
  note("count", object->get_accChildCount(&count));
  Bstr text;
  note("name", object->get_accName(ChildVar(2), text.Receive()));
  note("value", object->get_accValue(ChildVar(2), text.Receive()));
  long l, t, w, h;
  note("location", object->accLocation(&l, &t, &w, &h, ChildVar(2)));
  Variant found;
  note("hittest", object->accHitTest(300, 300, found.Receive()));
  note("action", object->accDoDefaultAction(ChildVar(ui::ChildIdOf(ui::kJiance))));
  note("navigate", object->accNavigate(NAVDIR_FIRSTCHILD, ChildVar(CHILDID_SELF), found.Receive()));
  ComPtr<IDispatch> parent;
  note("parent", object->get_accParent(parent.Receive()));
  object.Reset();
  std::fprintf(g_trail, "released\n");
  return 0;
}

// A click on a control, posted as the window's own mouse messages.
void PostClick(const ui::Pc& pc, int control) {
  const POINT p = CentreOf(pc, control);
  PostMessageW(pc.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  PostMessageW(pc.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

void PostClose(const ui::Pc& pc) { PostMessageW(pc.hwnd(), WM_CLOSE, 0, 0); }

// A child process's scenario: how its window is made, and what it meets
// once made. The home page command and the survey behave by name:
// "linkfail", the command cannot be started; "surveythrow", a C++
// exception in the survey.
struct Scenario {
  const char* name;
  ui::Pc::LoadTiming timing;
  int show;
  void (*act)(const ui::Pc& pc);
};

constexpr auto kBefore = ui::Pc::LoadTiming::kBeforeShowing, kAfter = ui::Pc::LoadTiming::kAfterFirstPaint;
const Scenario kScenarios[] = {
    {"close", kBefore, SW_SHOW, PostClose},
    {"endsession", kBefore, SW_SHOW,
     [](const ui::Pc& pc) { PostMessageW(pc.hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF); }},
    {"menu", kBefore, SW_SHOW,
     [](const ui::Pc& pc) {
       SetTimer(nullptr, 0, 200, ChooseLastCommand);
       HWND hwnd = pc.hwnd();
       FromAnotherThread([hwnd] { SendNotifyMessageW(hwnd, WM_MOUSEMOVE, MK_RBUTTON, WM_RBUTTONDOWN); });
     }},
    // The load handler finishes after the first paint; "early" queues a
    // click and a close before the window has handled anything.
    {"late", kAfter, SW_SHOW,
     [](const ui::Pc& pc) {
       Pump();
       PostClose(pc);
     }},
    {"hidden", kAfter, SW_HIDE,
     [](const ui::Pc& pc) {
       Pump();
       PostClose(pc);
     }},
    {"early", kAfter, SW_SHOW,
     [](const ui::Pc& pc) {
       PostClick(pc, ui::kUpdate);
       PostClose(pc);
     }},
    // The readers' bridge cannot be loaded: a reader asks all the same.
    {"noreader", kBefore, SW_SHOW,
     [](const ui::Pc& pc) {
       SetTimer(nullptr, 0, 200, AnswerMessageBox);
       SendMessageW(pc.hwnd(), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
     }},
    {"linkfail", kBefore, SW_SHOW,
     [](const ui::Pc& pc) {
       SetTimer(nullptr, 0, 200, AnswerMessageBox);
       PostClick(pc, ui::kUpdate);
     }},
    {"surveythrow", kBefore, SW_SHOW,
     [](const ui::Pc& pc) {
       SetTimer(nullptr, 0, 200, AnswerMessageBox);
       PostClick(pc, ui::kJiance);
     }},
};

}  // namespace

int Child(const std::string& how, const char* trail_path) {
  g_trail = std::fopen(trail_path, "w");
  if (!g_trail) return 4;
  tray::SetShellForTesting(Trail<NOTIFYICONDATAA>, Trail<NOTIFYICONDATAW>);
  if (how == "gone") return Gone();
  const Scenario* scenario = nullptr;
  for (const Scenario& s : kScenarios)
    if (how == s.name) scenario = &s;
  if (!scenario) return 2;
  ui::Pc::StartFn start = [how](std::wstring_view, int) -> Status {
    if (how == "linkfail") return ComError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    std::fprintf(g_trail, "start\n");
    std::fflush(g_trail);
    return {};
  };
  ui::Pc::PlatformFn platform = [how] {
    return std::unique_ptr<SurveyPlatform>(std::make_unique<NoService>(how == "surveythrow"));
  };
  auto pc = ui::Pc::Create(GetModuleHandleW(nullptr), scenario->show, start, platform, scenario->timing);
  if (!pc) return 5;
  std::fprintf(g_trail, "window %p\n", static_cast<void*>((*pc)->hwnd()));
  std::fflush(g_trail);
  scenario->act(**pc);
  const DWORD until = GetTickCount() + 10000;
  while (GetTickCount() < until) Pump();
  return 3;  // still running: the program did not end
}

}  // namespace varnello

int main(int argc, char** argv) {
  OleInitialize(nullptr);
  if (argc == 4 && std::string(argv[1]) == "--child") return varnello::Child(argv[2], argv[3]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
