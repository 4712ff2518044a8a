// The window and the icon operations inside a real Wine session, with the
// shell's Shell_NotifyIcon functions replaced by recorders.
#include <gtest/gtest.h>

#include <windows.h>
#include <downloadmgr.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <functional>
#include <memory>
#include <vector>

#include "survey/utf.h"
#include "tray/tray_win.h"
#include "ui/gif.h"
#include "ui/pc_win.h"
#include "ui/pictures_win.h"
#include "ui/resource_ids.h"
#include "ui/web_view_win.h"

namespace varnello {
namespace {

struct NotifyCall {
  DWORD message;
  bool wide;
  UINT flags, id, callback;
  std::uintptr_t window, icon;
  std::string tip, info, title;  // UTF-8
  DWORD size;
};
std::vector<NotifyCall> g_notify;

std::string FromAnsi(const char* s, std::size_t max) {
  std::size_t n = strnlen(s, max);
  int wn = MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wn), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), w.data(), wn);
  return ToUtf8(std::u16string(w.begin(), w.end()));
}

std::string FromWide(const wchar_t* s, std::size_t max) {
  return ToUtf8(std::u16string(s, s + wcsnlen(s, max)));
}

BOOL WINAPI RecordA(DWORD message, PNOTIFYICONDATAA d) {
  g_notify.push_back({message, false, d->uFlags, d->uID, d->uCallbackMessage,
                      reinterpret_cast<std::uintptr_t>(d->hWnd), reinterpret_cast<std::uintptr_t>(d->hIcon),
                      FromAnsi(d->szTip, 128), FromAnsi(d->szInfo, 256), FromAnsi(d->szInfoTitle, 64), d->cbSize});
  return TRUE;
}

BOOL WINAPI RecordW(DWORD message, PNOTIFYICONDATAW d) {
  g_notify.push_back({message, true, d->uFlags, d->uID, d->uCallbackMessage,
                      reinterpret_cast<std::uintptr_t>(d->hWnd), reinterpret_cast<std::uintptr_t>(d->hIcon),
                      FromWide(d->szTip, 128), FromWide(d->szInfo, 256), FromWide(d->szInfoTitle, 64), d->cbSize});
  return TRUE;
}

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

// Runs `work` on a thread of its own, as the shell would, handling this
// thread's messages until it is done.
DWORD WINAPI RunJob(void* p) {
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

// One window for the whole test program, as in the program itself.
ui::Pc* Window() {
  static ui::Pc* pc = [] {
    tray::SetShellForTesting(RecordA, RecordW);
    auto made = ui::Pc::Create(GetModuleHandleW(nullptr), SW_HIDE,
                               [](std::wstring_view, int) -> Status { return {}; });
    return made ? *made : nullptr;
  }();
  return pc;
}

bool AnsiHoldsChinese() { return GetACP() == 936; }

TEST(TrayOperations, LoadAddsTheIconThenGreets) {
  g_notify.clear();
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  ASSERT_EQ(g_notify.size(), 2u);
  const NotifyCall& add = g_notify[0];
  const NotifyCall& hello = g_notify[1];
  EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(add.flags, 7u);
  EXPECT_EQ(add.id, 1u);
  EXPECT_EQ(add.callback, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(add.window, reinterpret_cast<std::uintptr_t>(pc->hwnd()));
  EXPECT_EQ(add.tip, "Varnello v1.0");
  EXPECT_FALSE(add.wide);  // the tip is ASCII: the ANSI record in every code page
  EXPECT_EQ(add.size, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
  EXPECT_NE(add.icon, 0u) << "icon.ico lies beside the test";

  EXPECT_EQ(hello.message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(hello.flags, 16u);
  EXPECT_EQ(hello.info, "欢迎使用Varnello");
  EXPECT_EQ(hello.title, "提示");
  EXPECT_EQ(hello.tip, "Varnello v1.0");  // left as the add set it
  EXPECT_EQ(hello.icon, add.icon);
  // Chinese goes through the ANSI record where the code page holds it, and
  // through the wide one where it would be garbled.
  EXPECT_EQ(hello.wide, !AnsiHoldsChinese()) << "code page " << GetACP();
  EXPECT_EQ(hello.size, hello.wide ? static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE)
                                   : static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
}

TEST(TrayOperations, TaskbarCreatedAddsTheIconAgain) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  g_notify.clear();
  SendMessageW(pc->hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_EQ(g_notify.size(), 1u);
  EXPECT_EQ(g_notify[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_notify[0].flags, 7u);
  EXPECT_EQ(g_notify[0].tip, "Varnello v1.0");
  EXPECT_NE(g_notify[0].icon, 0u);
  EXPECT_EQ(g_notify[0].window, reinterpret_cast<std::uintptr_t>(pc->hwnd()));
}

TEST(IconNotifications, SentPressRestoresAPointerMoveDoesNot) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  HWND hwnd = pc->hwnd();
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
  FromAnotherThread([hwnd] { SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, WM_LBUTTONDOWN); });
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_FALSE(IsIconic(hwnd));

  // Releases, double-clicks and moves over the icon do nothing.
  ShowWindow(hwnd, SW_HIDE);
  for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MBUTTONDOWN}) {
    FromAnotherThread([hwnd, message] { SendMessageW(hwnd, WM_MOUSEMOVE, 0, message); });
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

TEST(IconNotifications, RightPressOpensThePopupMenuEvenWhenHidden) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  HWND hwnd = pc->hwnd();
  ShowWindow(hwnd, SW_HIDE);
  g_menu_seen = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseMenu);
  FromAnotherThread([hwnd] { SendNotifyMessageW(hwnd, WM_MOUSEMOVE, MK_RBUTTON, WM_RBUTTONDOWN); });
  for (int i = 0; i < 20 && !g_menu_seen; ++i) Pump();
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_menu_seen);
  EXPECT_FALSE(IsWindowVisible(hwnd)) << "closing the menu chose nothing";
}

TEST(Window, ProgressFrameAndCaptions) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  EXPECT_FALSE(pc->Frame1Visible()) << "the load handler hides the progress frame";
  for (ui::ControlId id : ui::kResultLabels) EXPECT_TRUE(pc->Caption(id).empty());
  ASSERT_TRUE(pc->SetFrame1Visible(true).ok());
  EXPECT_TRUE(pc->Frame1Visible());
  ASSERT_TRUE(pc->SetFrame1Visible(false).ok());
  ASSERT_TRUE(pc->SetCaption(ui::kCpuz, u"Intel").ok());
  EXPECT_EQ(pc->Caption(ui::kCpuz), u"Intel");
  EXPECT_EQ(pc->JianceColour(), 0x404040u);

  RECT client;
  GetClientRect(pc->hwnd(), &client);
  EXPECT_EQ(client.right, ui::TwipsToPixels(ui::kClientWidthTwips, pc->dpi()));
  EXPECT_EQ(client.bottom, ui::TwipsToPixels(ui::kClientHeightTwips, pc->dpi()));
  EXPECT_EQ(GetMenu(pc->hwnd()), nullptr) << "no menu bar";
  const LONG style = GetWindowLongW(pc->hwnd(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  wchar_t title[64];
  GetWindowTextW(pc->hwnd(), title, 64);
  EXPECT_STREQ(title, L"Varnello v1.0");
}

// Pictures are decoded when first drawn where they can be seen, so a
// picture that does not decode no longer stops the window at start: each
// must draw, and one off the canvas draws nothing.
TEST(Pictures, EachDrawsWhereSeenAndNothingOffTheCanvas) {
  ui::PictureSet pictures;
  ASSERT_TRUE(pictures.Load(GetModuleHandleW(nullptr)).ok());
  HDC screen = GetDC(nullptr);
  ui::MemoryDc dc(CreateCompatibleDC(screen));
  ui::Bitmap canvas(CreateCompatibleBitmap(screen, 480, 180));
  ReleaseDC(nullptr, screen);
  ui::Selected selected(dc.get(), canvas.get());
  ui::Brush magenta(CreateSolidBrush(RGB(255, 0, 255)));
  auto painted = [&](const ui::PixelRect& r) {
    int n = 0;
    for (int y = r.top; y < r.top + r.height; ++y)
      for (int x = r.left; x < r.left + r.width; ++x) n += GetPixel(dc.get(), x, y) != RGB(255, 0, 255);
    return n;
  };
  const RECT all{0, 0, 480, 180};
  for (const ui::PictureSpec& art : ui::kPictures) {
    FillRect(dc.get(), &all, magenta.get());
    pictures.Draw(dc.get(), art.picture, {480, 0, art.width, art.height});
    EXPECT_EQ(painted({0, 0, 480, 180}), 0) << art.file;
    const ui::PixelRect at{2, 2, art.width, art.height};
    pictures.Draw(dc.get(), art.picture, at);
    EXPECT_GT(painted(at), art.width * art.height / 4) << art.file;
  }
}

// The program reads its GIFs itself: the pixels must be the system picture
// object's, and data cut short anywhere must be refused, not overrun.
TEST(Pictures, GifsReadAsTheSystemReadsThem) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (int id : {IDP_BACKGROUND, IDP_DARK_BUTTON, IDP_DARK_BUTTON_LOW}) {
    SCOPED_TRACE(id);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, found)));
    const DWORD size = SizeofResource(instance, found);
    auto ours = ui::DecodeGif(data, size);
    ASSERT_TRUE(ours.has_value());

    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(copy), data, size);
    GlobalUnlock(copy);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(copy, TRUE, stream.Receive()), S_OK);
    ComPtr<IPicture> picture;
    ASSERT_EQ(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.ReceiveVoid()), S_OK);
    OLE_HANDLE handle = 0;
    ASSERT_EQ(picture->get_Handle(&handle), S_OK);
    ui::MemoryDc dc(CreateCompatibleDC(nullptr));
    ui::Selected selected(dc.get(), reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
    int differing = 0;
    for (int y = 0; y < ours->height; ++y)
      for (int x = 0; x < ours->width; ++x) {
        const std::uint32_t p = ours->pixels[static_cast<std::size_t>(y * ours->width + x)];
        differing += GetPixel(dc.get(), x, y) != RGB(p >> 16, (p >> 8) & 0xFF, p & 0xFF);
      }
    EXPECT_EQ(differing, 0);

    for (DWORD cut = 0; cut + 1 < size; cut += cut < 64 ? 1 : 97)
      EXPECT_FALSE(ui::DecodeGif(data, cut).has_value()) << "cut at " << cut;
  }
}

// --- The web view's host ------------------------------------------------------

HRESULT Invoke(IDispatch* d, DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr) {
  DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  return d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result, nullptr, nullptr);
}

VARIANT ByRefBool(VARIANT_BOOL* b) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_BOOL;
  v.pboolVal = b;
  return v;
}

VARIANT Plain(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  return v;
}

TEST(WebHost, KeepsThePageToItself) {
  ComPtr<IUnknown> host = ui::MakeWebHostForTesting(nullptr);
  auto dispatch = host.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(dispatch.ok());

  VARIANT control;
  VariantInit(&control);
  ASSERT_EQ(Invoke(dispatch->get(), DISPID_AMBIENT_DLCONTROL, {}, &control), S_OK);
  ASSERT_EQ(control.vt, VT_I4);
  const DWORD flags = static_cast<DWORD>(control.lVal);
  EXPECT_TRUE(flags & DLCTL_NO_RUNACTIVEXCTLS);
  EXPECT_TRUE(flags & DLCTL_NO_DLACTIVEXCTLS);
  EXPECT_TRUE(flags & DLCTL_NO_JAVA);
  EXPECT_TRUE(flags & DLCTL_DLIMAGES) << "the page's own pictures still load";

  VARIANT_BOOL cancel = VARIANT_FALSE;
  // NewWindow2(ppDisp, Cancel), arguments last to first.
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_NEWWINDOW2, {ByRefBool(&cancel), Plain(VT_BYREF | VT_DISPATCH)}), S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  cancel = VARIANT_FALSE;
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_NEWWINDOW3,
                   {Plain(VT_BSTR), Plain(VT_BSTR), Plain(VT_I4), ByRefBool(&cancel), Plain(VT_BYREF | VT_DISPATCH)}),
            S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);

  // FileDownload(ActiveDocument, Cancel): a file is refused, the page is not.
  VARIANT active = Plain(VT_BOOL);
  active.boolVal = VARIANT_FALSE;
  cancel = VARIANT_FALSE;
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_FILEDOWNLOAD, {ByRefBool(&cancel), active}), S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  active.boolVal = VARIANT_TRUE;
  cancel = VARIANT_FALSE;
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_FILEDOWNLOAD, {ByRefBool(&cancel), active}), S_OK);
  EXPECT_EQ(cancel, VARIANT_FALSE);

  // Downloads are taken over by the host and dropped.
  auto services = host.As<IServiceProvider>(IID_IServiceProvider);
  ASSERT_TRUE(services.ok());
  const IID download_manager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};
  IDownloadManager* manager = nullptr;
  ASSERT_EQ((*services)->QueryService(download_manager, download_manager, reinterpret_cast<void**>(&manager)), S_OK);
  EXPECT_EQ(manager->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0), S_OK);
  manager->Release();

  auto ui_handler = host.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  ASSERT_TRUE(ui_handler.ok());
  POINT p{0, 0};
  EXPECT_EQ((*ui_handler)->ShowContextMenu(0, &p, nullptr, nullptr), S_OK) << "no context menu";
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  (*ui_handler)->GetExternal(&external);
  EXPECT_EQ(external, nullptr);
}

// --- The ways the program ends, each in a process of its own ---------------

// The child's record of what it handed the shell, one line a call, written
// as it happens: the process ends inside the handler.
FILE* g_trail = nullptr;

BOOL WINAPI TrailA(DWORD message, PNOTIFYICONDATAA d) {
  std::fprintf(g_trail, "%lu %u %u %p\n", message, d->uFlags, d->uID, static_cast<void*>(d->hWnd));
  std::fflush(g_trail);
  return TRUE;
}

BOOL WINAPI TrailW(DWORD message, PNOTIFYICONDATAW d) {
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

int Child(const std::string& how, const char* trail_path) {
  g_trail = std::fopen(trail_path, "w");
  if (!g_trail) return 4;
  tray::SetShellForTesting(TrailA, TrailW);
  // "linkfail": the home page command cannot be started.
  ui::Pc::StartFn start = [how](std::wstring_view, int) -> Status {
    if (how == "linkfail") return ComError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    std::fprintf(g_trail, "start\n");
    std::fflush(g_trail);
    return {};
  };
  // "late", "early", "hidden": the load handler finishes after the first paint.
  const bool deferred = how == "late" || how == "early" || how == "hidden";
  auto pc = ui::Pc::Create(GetModuleHandleW(nullptr), how == "hidden" ? SW_HIDE : SW_SHOW, start,
                           deferred ? ui::Pc::LoadTiming::kAfterFirstPaint : ui::Pc::LoadTiming::kBeforeShowing);
  if (!pc) return 5;
  HWND hwnd = (*pc)->hwnd();
  std::fprintf(g_trail, "window %p\n", static_cast<void*>(hwnd));
  std::fflush(g_trail);
  if (how == "close") PostMessageW(hwnd, WM_CLOSE, 0, 0);
  if (how == "late" || how == "hidden") {
    Pump();
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  if (how == "early") {  // queued before the window has handled anything
    const LPARAM update = MAKELPARAM(420, 356);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, update);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, update);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  if (how == "endsession") PostMessageW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  if (how == "linkfail") {
    SetTimer(nullptr, 0, 200, AnswerMessageBox);
    const LPARAM update = MAKELPARAM(420, 356);  // the credit link
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, update);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, update);
  }
  if (how == "menu") {
    SetTimer(nullptr, 0, 200, ChooseLastCommand);
    FromAnotherThread([hwnd] { SendNotifyMessageW(hwnd, WM_MOUSEMOVE, MK_RBUTTON, WM_RBUTTONDOWN); });
  }
  const DWORD until = GetTickCount() + 10000;
  while (GetTickCount() < until) Pump();
  return 3;  // still running: the program did not end
}

struct Ending {
  DWORD exit_code;
  std::vector<std::string> trail;
};

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
  WaitForSingleObject(pi.hProcess, 60000);
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

// The process ends at once, the icon deleted on the way: the delete names
// the window and uID 1, and carries the balloon's flags left in the record.
void ExpectEndedWithDelete(const std::string& how) {
  SCOPED_TRACE(how);
  Ending e = RunChild(how);
  EXPECT_EQ(e.exit_code, 0u);
  ASSERT_GE(e.trail.size(), 4u);
  EXPECT_EQ(e.trail[0].substr(0, 5), "0 7 1");   // add
  EXPECT_EQ(e.trail[1].substr(0, 6), "1 16 1");  // welcome balloon
  const std::string window = e.trail[2].substr(7);
  EXPECT_EQ(e.trail.back(), "2 16 1 " + window);
  int deletes = 0;
  for (const auto& l : e.trail) deletes += l.rfind("2 ", 0) == 0;
  EXPECT_EQ(deletes, 1) << "no unload handler runs after the end";
}

TEST(Ending, CloseRequestDeletesTheIconAndEnds) { ExpectEndedWithDelete("close"); }

TEST(Ending, LogOffDeletesTheIconAndEnds) { ExpectEndedWithDelete("endsession"); }

TEST(Ending, MenuExitDeletesTheIconAndEnds) { ExpectEndedWithDelete("menu"); }

TEST(Ending, AnErrorNoHandlerDealsWithIsShownThenEnds) {
  Ending e = RunChild("linkfail");
  EXPECT_EQ(e.exit_code, 1u);
  ASSERT_GE(e.trail.size(), 5u);
  const std::string& message = e.trail[e.trail.size() - 2];
  EXPECT_EQ(message.rfind("message ", 0), 0u);
  EXPECT_NE(message.find("0x80070002"), std::string::npos) << message;
  EXPECT_EQ(e.trail.back().substr(0, 7), "2 16 1 ") << "the icon goes with the program";
}

// The trail in short: which call of the shell, or what else happened.
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

// Which cursor the window sets with the pointer at a client point.
HCURSOR CursorAt(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  SetCursorPos(p.x, p.y);
  SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

TEST(Window, HandCursorOverTheLinksAndTheStartLabelOnly) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  HWND hwnd = pc->hwnd();
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  Pump();
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  const HCURSOR hand = CursorAt(hwnd, 380, 325);  // jiance
  EXPECT_NE(hand, arrow);
  EXPECT_EQ(CursorAt(hwnd, 420, 356), hand);  // update
  EXPECT_EQ(CursorAt(hwnd, 200, 40), hand);   // Image5
  EXPECT_EQ(CursorAt(hwnd, 380, 314), arrow);  // the button face around jiance
  EXPECT_EQ(CursorAt(hwnd, 70, 170), arrow);   // a result label
  EXPECT_EQ(CursorAt(hwnd, 476, 100), arrow);  // the bare edge
  ShowWindow(hwnd, SW_HIDE);
}

}  // namespace
}  // namespace varnello

int main(int argc, char** argv) {
  OleInitialize(nullptr);
  if (argc == 4 && std::string(argv[1]) == "--child") return varnello::Child(argv[2], argv[3]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
