// The window and the icon operations inside a real Wine session, with the
// shell's Shell_NotifyIcon functions replaced by recorders.
#include <gtest/gtest.h>

#include <windows.h>
#include <downloadmgr.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <oleacc.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "base/density_win.h"
#include "base/dyn_calls_win.h"
#include "base/utf.h"
#include "tests/support/fake_survey.h"
#include "tray/message_filter_win.h"
#include "tray/tray_win.h"
#include "ui/accessible_tree.h"
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

int g_started = 0;  // home page commands started
int g_surveys = 0;  // surveys run
// What the window's surveys run against; unset, a service that answers nothing.
std::function<std::unique_ptr<SurveyPlatform>()> g_platform;

struct FilterCall {
  HWND window;
  UINT message;
  DWORD action;
};
std::vector<FilterCall> g_filter;
BOOL WINAPI RecordWindowFilter(HWND window, UINT message, DWORD action, void*) {
  g_filter.push_back({window, message, action});
  return TRUE;
}
BOOL WINAPI RecordProcessFilter(UINT message, DWORD action) {
  g_filter.push_back({nullptr, message, action});
  return TRUE;
}

// One window for the whole test program, as in the program itself.
ui::Pc* Window() {
  static ui::Pc* pc = [] {
    tray::SetShellForTesting(RecordA, RecordW);
    base::Dyn().ChangeWindowMessageFilterEx.Set(RecordWindowFilter);
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

// Run as administrator, the window lets the shell's broadcast through its
// message filter: per window where the system can, per process on Vista.
TEST(TrayOperations, TaskbarCreatedPassesTheMessageFilter) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
  ASSERT_EQ(g_filter.size(), 1u);
  EXPECT_EQ(g_filter[0].window, pc->hwnd());
  EXPECT_EQ(g_filter[0].message, taskbar_created);
  EXPECT_EQ(g_filter[0].action, 1u) << "MSGFLT_ALLOW";

  base::DynCalls& dyn = base::Dyn();
  dyn.ChangeWindowMessageFilterEx.Set(nullptr);  // Vista
  dyn.ChangeWindowMessageFilter.Set(RecordProcessFilter);
  tray::AllowMessage(pc->hwnd(), taskbar_created);
  ASSERT_EQ(g_filter.size(), 2u);
  EXPECT_EQ(g_filter[1].window, nullptr);
  EXPECT_EQ(g_filter[1].message, taskbar_created);
  EXPECT_EQ(g_filter[1].action, 1u) << "MSGFLT_ADD";
  dyn.ChangeWindowMessageFilter.Set(nullptr);  // XP
  tray::AllowMessage(pc->hwnd(), taskbar_created);
  EXPECT_EQ(g_filter.size(), 2u) << "no filter, nothing to change";
  dyn.ChangeWindowMessageFilterEx.Set(RecordWindowFilter);
  dyn.ChangeWindowMessageFilter.Reset();
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
  MemoryDc dc(CreateCompatibleDC(screen));
  Bitmap canvas(CreateCompatibleBitmap(screen, 480, 180));
  ReleaseDC(nullptr, screen);
  Selected selected(dc.get(), canvas.get());
  Brush magenta(CreateSolidBrush(RGB(255, 0, 255)));
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

// The system picture object's reading of a picture resource: its bitmap
// drawn on a screen-compatible canvas of the picture's size.
struct SystemPicture {
  ComPtr<IPicture> picture;
  HBITMAP bitmap = nullptr;
};

SystemPicture ReadBySystem(const std::uint8_t* data, DWORD size) {
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(copy), data, size);
  GlobalUnlock(copy);
  ComPtr<IStream> stream;
  SystemPicture read;
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, stream.Receive()))) return read;
  if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, read.picture.ReceiveVoid())))
    return read;
  OLE_HANDLE handle = 0;
  if (SUCCEEDED(read.picture->get_Handle(&handle))) read.bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
  return read;
}

// The program reads its GIFs and bitmaps itself, without OLE: the pixels
// the window draws must be the system picture object's, and GIF data cut
// short anywhere must be refused, not overrun.
TEST(Pictures, ReadAsTheSystemReadsThem) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  ui::PictureSet pictures;
  ASSERT_TRUE(pictures.Load(instance).ok());
  struct Case {
    int id;
    ui::Picture picture;
    bool gif;
  };
  for (const Case& c : {Case{IDP_BACKGROUND, ui::Picture::kBackground, true},
                        Case{IDP_DARK_BUTTON, ui::Picture::kDarkButton, true},
                        Case{IDP_DARK_BUTTON_LOW, ui::Picture::kDarkButtonLow, true},
                        Case{IDP_BANNER, ui::Picture::kBanner, false},
                        Case{IDP_START_BUTTON, ui::Picture::kStartButton, false},
                        Case{IDP_PANEL, ui::Picture::kPanel, false},
                        Case{IDP_WHITE_BOX, ui::Picture::kWhiteBox, false}}) {
    SCOPED_TRACE(c.id);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(c.id), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, found)));
    const DWORD size = SizeofResource(instance, found);
    const SystemPicture system = ReadBySystem(data, size);
    ASSERT_NE(system.bitmap, nullptr);
    BITMAP info{};
    GetObjectW(system.bitmap, sizeof info, &info);
    const int width = info.bmWidth, height = info.bmHeight;

    HDC screen = GetDC(nullptr);
    MemoryDc theirs(CreateCompatibleDC(screen)), ours(CreateCompatibleDC(screen));
    Bitmap canvas(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(nullptr, screen);
    Selected system_selected(theirs.get(), system.bitmap);
    Selected canvas_selected(ours.get(), canvas.get());
    pictures.Draw(ours.get(), c.picture, {0, 0, width, height});
    int differing = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) differing += GetPixel(ours.get(), x, y) != GetPixel(theirs.get(), x, y);
    EXPECT_EQ(differing, 0);

    if (c.gif) {
      auto decoded = ui::DecodeGif(data, size);
      ASSERT_TRUE(decoded.has_value());
      EXPECT_EQ(decoded->width, width);
      for (DWORD cut = 0; cut + 1 < size; cut += cut < 64 ? 1 : 97)
        EXPECT_FALSE(ui::DecodeGif(data, cut).has_value()) << "cut at " << cut;
    }
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

// --- Screen readers ----------------------------------------------------------

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

// One child as a reader finds it.
struct Node {
  long child = 0;  // CHILDID_SELF for a child that is an object of its own
  bool object = false;
  long role = 0, state = 0;
  std::string name, value, action;
  RECT at{};
};

Node Read(IAccessible* object, long child) {
  Node n;
  n.child = child;
  VARIANT id = ChildVar(child);
  BSTR text = nullptr;
  if (object->get_accName(id, &text) == S_OK) n.name = Utf8(text);
  SysFreeString(std::exchange(text, nullptr));
  if (object->get_accValue(id, &text) == S_OK) n.value = Utf8(text);
  SysFreeString(std::exchange(text, nullptr));
  if (object->get_accDefaultAction(id, &text) == S_OK) n.action = Utf8(text);
  SysFreeString(text);
  VARIANT v;
  VariantInit(&v);
  if (object->get_accRole(id, &v) == S_OK && v.vt == VT_I4) n.role = v.lVal;
  VariantClear(&v);
  if (object->get_accState(id, &v) == S_OK && v.vt == VT_I4) n.state = v.lVal;
  VariantClear(&v);
  long l = 0, t = 0, w = 0, h = 0;
  if (object->accLocation(&l, &t, &w, &h, id) == S_OK) n.at = RECT{l, t, l + w, t + h};
  return n;
}

// The children, through oleacc's AccessibleChildren as readers walk a tree.
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

const std::vector<std::string> kReadingOrder = {"硬件信息↓", "系统", "检测中……", "主板", "BIOS", "CPU", "显卡",
                                                "硬盘",       "声卡", "内存",     "网卡", "开始检测",
                                                "Tessmor出品", "Varnello"};

// Events the window raises for its client area, in order.
struct Event {
  DWORD event;
  LONG child;
};
std::vector<Event> g_events;
HWND g_watched = nullptr;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  if (hwnd == g_watched && object == OBJID_CLIENT) g_events.push_back({event, child});
}

class EventHook {
 public:
  explicit EventHook(HWND watched)
      : hook_(SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_VALUECHANGE, nullptr, RecordEvent, 0, 0,
                              WINEVENT_OUTOFCONTEXT)) {
    g_watched = watched;
    g_events.clear();
  }
  EventHook(const EventHook&) = delete;
  EventHook& operator=(const EventHook&) = delete;
  ~EventHook() {
    if (hook_) UnhookWinEvent(hook_);
  }
  bool ok() const { return hook_ != nullptr; }

 private:
  HWINEVENTHOOK hook_;
};

std::ptrdiff_t IndexOf(DWORD event, LONG child, std::size_t from = 0) {
  for (std::size_t i = from; i < g_events.size(); ++i)
    if (g_events[i].event == event && g_events[i].child == child) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

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

// --- The announcement strip, driven by a stand-in for the browser ---------

// Raises the browser control's navigation events on the host, with itself
// or a frame as pDisp, the way the control does.
class FakeBrowser final : public IDispatch {
 public:
  void Connect(IDispatch* host) { host_ = host; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // Each returns whether the host let the navigation go on.
  bool BeforeNavigate(const wchar_t* url, IDispatch* who = nullptr) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Url u(url);
    Raise(DISPID_BEFORENAVIGATE2, {ByRef(&cancel), Plain(VT_BYREF | VT_VARIANT), Plain(VT_BYREF | VT_VARIANT),
                                   Plain(VT_BYREF | VT_VARIANT), Plain(VT_BYREF | VT_VARIANT), u.arg, Who(who)});
    return cancel == VARIANT_FALSE;
  }
  bool NavigateError(const wchar_t* url, LONG status, IDispatch* who = nullptr) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Url u(url);
    VARIANT code;
    VariantInit(&code);
    code.vt = VT_I4;
    code.lVal = status;
    VARIANT code_ref = Plain(VT_BYREF | VT_VARIANT);
    code_ref.pvarVal = &code;
    Raise(DISPID_NAVIGATEERROR, {ByRef(&cancel), code_ref, Plain(VT_BYREF | VT_VARIANT), u.arg, Who(who)});
    return cancel == VARIANT_FALSE;
  }
  void Complete(const wchar_t* url, IDispatch* who = nullptr) {
    Url u(url);
    Raise(DISPID_NAVIGATECOMPLETE2, {u.arg, Who(who)});
    Raise(DISPID_DOCUMENTCOMPLETE, {u.arg, Who(who)});
  }

 private:
  struct Url {
    explicit Url(const wchar_t* text) : bstr(SysAllocString(text)) {
      VariantInit(&value);
      value.vt = VT_BSTR;
      value.bstrVal = bstr;
      arg = Plain(VT_BYREF | VT_VARIANT);
      arg.pvarVal = &value;
    }
    ~Url() { SysFreeString(bstr); }
    BSTR bstr;
    VARIANT value, arg;
  };
  static VARIANT Plain(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
  }
  static VARIANT ByRef(VARIANT_BOOL* b) {
    VARIANT v = Plain(VT_BYREF | VT_BOOL);
    v.pboolVal = b;
    return v;
  }
  VARIANT Who(IDispatch* who) {
    VARIANT v = Plain(VT_DISPATCH);
    v.pdispVal = who ? who : this;
    return v;
  }
  void Raise(DISPID id, std::vector<VARIANT> args) {
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    ASSERT_NE(host_, nullptr);
    EXPECT_EQ(host_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK) << id;
  }
  IDispatch* host_ = nullptr;
};

// A browser on the stack, its host pointed at the announcement page.
struct Strip {
  FakeBrowser browser;
  FakeBrowser frame;
  std::vector<bool> shown;  // what the host reported, in order
  std::vector<int> zooms;   // the optical zooms it set, in per cent
  int stops = 0;
  ComPtr<IUnknown> host;
  ComPtr<IDispatch> events;

  explicit Strip(const wchar_t* page) {
    host = ui::MakeWebHostForTesting(
        nullptr, page, static_cast<IDispatch*>(&browser), [this](bool s) { shown.push_back(s); },
        [this] { ++stops; }, [this](int percent) { zooms.push_back(percent); });
    auto d = host.As<IDispatch>(IID_IDispatch);
    if (d) events = std::move(d).value();
    browser.Connect(events.get());
    frame.Connect(events.get());
  }
  bool Shown() const { return !shown.empty() && shown.back(); }
};

constexpr wchar_t kPage[] = L"http://notice.tessmor.com/vip/hardware/gonggao.html";

TEST(AnnouncementStrip, WhiteWhileLoadingAndAfterAFailureThePageOnceLoaded) {
  for (LONG failure : {404L, static_cast<LONG>(INET_E_RESOURCE_NOT_FOUND), static_cast<LONG>(INET_E_CONNECTION_TIMEOUT)}) {
    SCOPED_TRACE(failure);
    Strip strip(kPage);
    ASSERT_TRUE(strip.events);
    EXPECT_FALSE(strip.Shown()) << "white before anything has loaded";
    EXPECT_TRUE(strip.browser.BeforeNavigate(kPage));
    EXPECT_FALSE(strip.Shown());
    EXPECT_FALSE(strip.browser.NavigateError(kPage, failure)) << "the browser's error page is refused";
    strip.browser.Complete(kPage);  // the browser completes whatever it has
    EXPECT_FALSE(strip.Shown());
  }
  Strip strip(kPage);
  EXPECT_TRUE(strip.browser.BeforeNavigate(kPage));
  // A frame of the page that fails leaves the page as it is.
  EXPECT_TRUE(strip.browser.BeforeNavigate(L"http://notice.tessmor.com/box.html", &strip.frame));
  strip.browser.NavigateError(L"http://notice.tessmor.com/box.html", 404, &strip.frame);
  strip.browser.Complete(kPage);
  EXPECT_TRUE(strip.Shown());
}

TEST(AnnouncementStrip, NeverLeavesTheHost) {
  Strip strip(kPage);
  strip.browser.BeforeNavigate(kPage);
  strip.browser.Complete(kPage);
  ASSERT_TRUE(strip.Shown());
  // Links, scripts and refreshes anywhere else, in the page or a frame.
  for (const wchar_t* elsewhere : {L"http://www.tessmor.com/", L"https://notice.tessmor.com.example.net/",
                                   L"http://notice.tessmor.com@example.net/", L"javascript:top.location='x'",
                                   L"file:///C:/windows/win.ini"}) {
    EXPECT_FALSE(strip.browser.BeforeNavigate(elsewhere)) << ToUtf8(std::u16string(elsewhere, elsewhere + wcslen(elsewhere)));
    EXPECT_FALSE(strip.browser.BeforeNavigate(elsewhere, &strip.frame));
  }
  EXPECT_TRUE(strip.Shown()) << "a cancelled navigation leaves the page";
  EXPECT_EQ(strip.stops, 0);
  // The server redirects elsewhere: seen only when the browser reports it
  // under way, it is stopped and never shown.
  EXPECT_TRUE(strip.browser.BeforeNavigate(L"http://notice.tessmor.com/moved"));
  strip.browser.Complete(L"http://elsewhere.example.net/");
  EXPECT_EQ(strip.stops, 1);
  EXPECT_FALSE(strip.Shown());
}

// Told that its host is aware of densities, the browser scales the page by
// the system's; the zoom makes up what the window's differs from it, once
// the document is there and after each change of density.
TEST(AnnouncementStrip, ThePageAtTheWindowsDensityWithoutScrollbars) {
  Strip strip(kPage);
  auto ui_handler = strip.host.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  ASSERT_TRUE(ui_handler.ok());
  DOCHOSTUIINFO info{};
  info.cbSize = sizeof info;
  ASSERT_EQ((*ui_handler)->GetHostInfo(&info), S_OK);
  EXPECT_TRUE(info.dwFlags & DOCHOSTUIFLAG_DPI_AWARE);
  EXPECT_TRUE(info.dwFlags & DOCHOSTUIFLAG_SCROLL_NO);

  ui::SetWebHostDpiForTesting(strip.host.get(), 144, 96);  // on a monitor denser than the system
  strip.browser.BeforeNavigate(kPage);
  EXPECT_EQ(strip.zooms, std::vector<int>{}) << "nothing to zoom while loading";
  strip.browser.Complete(kPage);
  EXPECT_EQ(strip.zooms, std::vector<int>{150});
  ui::SetWebHostDpiForTesting(strip.host.get(), 120, 120);  // moved to one of the system's density
  EXPECT_EQ(strip.zooms, (std::vector<int>{150, 100})) << "the system's scale is the browser's own";
}

std::vector<std::vector<long>> g_features;
HRESULT WINAPI RecordFeature(int feature, DWORD flags, BOOL enable) {
  g_features.push_back({feature, static_cast<long>(flags), enable});
  return S_OK;
}

TEST(AnnouncementStrip, NavigatingMakesNoSound) {
  g_features.clear();
  base::Dyn().CoInternetSetFeatureEnabled.Set(RecordFeature);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  const RECT r{0, 0, 100, 20};
  // With or without a browser control to show.
  (void)ui::WebView::Create(parent, r, base::kDefaultDpi);
  base::Dyn().CoInternetSetFeatureEnabled.Reset();
  DestroyWindow(parent);
  EXPECT_EQ(g_features, (std::vector<std::vector<long>>{
                            {FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS, TRUE}}));
}

// The browser's active object as documented: it offers each key to its
// host's IDocHostUIHandler::TranslateAccelerator, and takes the key when
// the host did.
class FakeActiveObject final : public IOleInPlaceActiveObject {
 public:
  explicit FakeActiveObject(IDocHostUIHandler* host) : host_(host) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IOleInPlaceActiveObject ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    ++offered;
    return host_->TranslateAccelerator(message, nullptr, 0) == S_OK ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  int offered = 0;

 private:
  IDocHostUIHandler* host_;
};

TEST(AnnouncementStrip, BrowserKeysAreSwallowedNoneReachTheWindow) {
  ComPtr<IUnknown> host = ui::MakeWebHostForTesting(nullptr, kPage);
  auto ui_handler = host.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  auto frame = host.As<IOleInPlaceFrame>(IID_IOleInPlaceFrame);
  ASSERT_TRUE(ui_handler.ok() && frame.ok());
  auto key = [](UINT message, WPARAM vk) {
    MSG m{};
    m.message = message;
    m.wParam = vk;
    return m;
  };
  // F5 refreshes, Backspace and Alt+Left go back, Alt+Home goes home.
  for (MSG m : {key(WM_KEYDOWN, VK_F5), key(WM_KEYDOWN, VK_BACK), key(WM_SYSKEYDOWN, VK_LEFT),
                key(WM_SYSKEYDOWN, VK_HOME), key(WM_KEYDOWN, VK_BROWSER_REFRESH)}) {
    EXPECT_EQ((*ui_handler)->TranslateAccelerator(&m, nullptr, 0), S_OK) << "key " << m.wParam;
    EXPECT_EQ((*frame)->TranslateAccelerator(&m, 0), S_FALSE) << "the window takes no key of the page";
  }
  MSG letter = key(WM_KEYDOWN, 'A');
  EXPECT_EQ((*ui_handler)->TranslateAccelerator(&letter, nullptr, 0), S_FALSE) << "typing stays the page's";

  // The message loop offers the browser the keys aimed inside it, and only
  // those, so that the filter above runs at all.
  FakeActiveObject active(ui_handler->get());
  HWND browser = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  HWND page = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 100, 20, browser, nullptr, nullptr, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  auto to = [&](HWND window, UINT message, WPARAM vk) {
    MSG m = key(message, vk);
    m.hwnd = window;
    return ui::ForwardKeyToBrowser(&active, browser, m);
  };
  EXPECT_TRUE(to(page, WM_KEYDOWN, VK_F5)) << "taken: the loop dispatches it no further";
  EXPECT_FALSE(to(page, WM_KEYDOWN, 'A'));
  EXPECT_EQ(active.offered, 2);
  EXPECT_FALSE(to(other, WM_KEYDOWN, VK_F5));
  EXPECT_FALSE(to(page, WM_LBUTTONDOWN, 0));
  EXPECT_EQ(active.offered, 2) << "nothing else is offered";
  for (HWND w : {page, browser, other}) DestroyWindow(w);
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

// A screen reader in a process of its own, as readers are: walks the window
// of the test process, presses the start label and listens for the events.
int Reader(HWND window) {
  EventHook hook(window);
  ComPtr<IAccessible> object = ClientObject(window);
  std::fprintf(g_trail, "hook %d object %d\n", hook.ok() ? 1 : 0, object ? 1 : 0);
  std::fflush(g_trail);
  if (!object) return 6;
  auto print = [](const char* when, const std::vector<Node>& nodes) {
    for (const Node& n : nodes)
      std::fprintf(g_trail, "%s %ld %ld %ld %s|%s\n", when, n.child, n.role, n.state, n.name.c_str(), n.value.c_str());
  };
  print("before", Walk(object.get()));
  VARIANT start = ChildVar(ui::ChildIdOf(ui::kJiance));
  std::fprintf(g_trail, "action %08lx\n", static_cast<unsigned long>(object->accDoDefaultAction(start)));
  std::fflush(g_trail);
  const LONG overlay = ui::ChildIdOf(ui::kFrame1);
  for (int i = 0; i < 100 && IndexOf(EVENT_OBJECT_HIDE, overlay) < 0; ++i) Pump();
  for (const Event& e : g_events) std::fprintf(g_trail, "event %lx %ld\n", e.event, e.child);
  print("after", Walk(object.get()));
  return 0;
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
  BSTR text = nullptr;
  note("name", object->get_accName(ChildVar(2), &text));
  SysFreeString(std::exchange(text, nullptr));
  note("value", object->get_accValue(ChildVar(2), &text));
  SysFreeString(text);
  long l, t, w, h;
  note("location", object->accLocation(&l, &t, &w, &h, ChildVar(2)));
  VARIANT found;
  VariantInit(&found);
  note("hittest", object->accHitTest(300, 300, &found));
  VariantClear(&found);
  note("action", object->accDoDefaultAction(ChildVar(ui::ChildIdOf(ui::kJiance))));
  note("navigate", object->accNavigate(NAVDIR_FIRSTCHILD, ChildVar(CHILDID_SELF), &found));
  VariantClear(&found);
  IDispatch* parent = nullptr;
  note("parent", object->get_accParent(&parent));
  if (parent) parent->Release();
  object.Reset();
  std::fprintf(g_trail, "released\n");
  return 0;
}

int Child(const std::string& how, const char* trail_path) {
  g_trail = std::fopen(trail_path, "w");
  if (!g_trail) return 4;
  tray::SetShellForTesting(TrailA, TrailW);
  if (how.rfind("reader-", 0) == 0)
    return Reader(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(how.substr(7)))));
  if (how == "gone") return Gone();
  // "linkfail": the home page command cannot be started.
  // "linkthrow", "surveythrow": a C++ exception in the handler or the survey.
  ui::Pc::StartFn start = [how](std::wstring_view, int) -> Status {
    if (how == "linkfail") return ComError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    if (how == "linkthrow") throw std::bad_alloc();
    std::fprintf(g_trail, "start\n");
    std::fflush(g_trail);
    return {};
  };
  ui::Pc::PlatformFn platform = [how] {
    return std::unique_ptr<SurveyPlatform>(std::make_unique<NoService>(how == "surveythrow"));
  };
  // "late", "early", "hidden": the load handler finishes after the first paint.
  const bool deferred = how == "late" || how == "early" || how == "hidden";
  auto pc = ui::Pc::Create(GetModuleHandleW(nullptr), how == "hidden" ? SW_HIDE : SW_SHOW, start, platform,
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
  if (how == "noreader") {  // the readers' bridge cannot be loaded: a reader asks all the same
    SetTimer(nullptr, 0, 200, AnswerMessageBox);
    SendMessageW(hwnd, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
  }
  if (how == "linkfail" || how == "linkthrow" || how == "surveythrow") {
    SetTimer(nullptr, 0, 200, AnswerMessageBox);
    // The credit link, or the start label.
    const LPARAM at = how == "surveythrow" ? MAKELPARAM(385, 325) : MAKELPARAM(420, 356);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
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

// Presses and releases the left button at each client point in turn,
// through the system's input queue as a user's hand would: two at one place
// in quick succession make a double-click.
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

// The middle of a control at the window's density.
POINT CentreOf(const ui::Pc& pc, int control) {
  const ui::PixelRect r = ui::ToPixels(ui::kControls[static_cast<std::size_t>(control)].twips, pc.dpi());
  return POINT{r.left + r.width / 2, r.top + r.height / 2};
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

// The one window in front, for input through the system's queue; hidden
// again afterwards, its surveys against a service that answers nothing.
class Clicks : public ::testing::Test {
 protected:
  void SetUp() override {
    pc = Window();
    ASSERT_NE(pc, nullptr);
    hwnd = pc->hwnd();
    g_platform = nullptr;
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    Pump();
  }
  void TearDown() override {
    g_platform = nullptr;
    if (hwnd) ShowWindow(hwnd, SW_HIDE);
  }
  ui::Pc* pc = nullptr;
  HWND hwnd = nullptr;
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
    const char* control;
    POINT at;
    int* count;
  };
  for (const Case& c : {Case{"update", {420, 356}, &g_started}, Case{"Image5", {200, 40}, &g_started},
                        Case{"jiance", {385, 325}, &g_surveys}}) {
    SCOPED_TRACE(c.control);
    int before = *c.count;
    ClickThroughInput(hwnd, {c.at, c.at});
    EXPECT_EQ(*c.count - before, 1) << "a double-click";
    before = *c.count;
    // The second once the first has been handled: input that comes while
    // a survey runs is dropped.
    ClickThroughInput(hwnd, {c.at});
    ClickThroughInput(hwnd, {POINT{c.at.x + apart, c.at.y}});
    EXPECT_EQ(*c.count - before, 2) << "two clicks";
  }
}

// A system library the program loads on first call, missing or refused:
// its first call ends the program like an error, never with the loader's
// unhandled exception. Run where Wine refuses oleacc (the test
// library_failure), as no other test here is.
TEST(LibraryFailure, TheReadersBridgeMissingIsShownThenEnds) {
  Ending e = RunChild("noreader");
  EXPECT_EQ(e.exit_code, 1u);
  ASSERT_GE(e.trail.size(), 5u);
  const std::string& message = e.trail[e.trail.size() - 2];
  EXPECT_EQ(message.rfind("message ", 0), 0u) << message;
  EXPECT_NE(message.find("0x8007"), std::string::npos) << message;
  EXPECT_EQ(e.trail.back().substr(0, 7), "2 16 1 ") << "the icon goes with the program";
}

// A C++ exception, in a handler or in the survey, is caught at the window
// procedure and ends the program like an error: named, then the end.
TEST(Ending, AnExceptionIsShownThenEnds) {
  for (const char* how : {"linkthrow", "surveythrow"}) {
    SCOPED_TRACE(how);
    Ending e = RunChild(how);
    EXPECT_EQ(e.exit_code, 1u);
    ASSERT_GE(e.trail.size(), 5u);
    const std::string& message = e.trail[e.trail.size() - 2];
    EXPECT_EQ(message.rfind("message ", 0), 0u);
    EXPECT_NE(message.find("0x8007000E"), std::string::npos) << message;
    EXPECT_EQ(e.trail.back().substr(0, 7), "2 16 1 ") << "the icon goes with the program";
  }
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

// --- Screen readers, in this process and in another -------------------------

RECT OnScreen(HWND hwnd, const ui::PixelRect& r) {
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  return RECT{origin.x + r.left, origin.y + r.top, origin.x + r.left + r.width, origin.y + r.top + r.height};
}

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

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

TEST(ScreenReader, ReadsTheWindowAndStartsASurveyLikeAClick) {
  std::vector<Node> during;
  ComPtr<IAccessible> object;
  ui::Pc* pc = FreshWindow([&] { during = Walk(object.get()); });
  ASSERT_NE(pc, nullptr);
  HWND hwnd = pc->hwnd();
  object = ClientObject(hwnd);
  ASSERT_TRUE(object) << "WM_GETOBJECT answered with the window's own object";

  std::vector<Node> before = Walk(object.get());
  const bool strip = pc->web_view() != nullptr;
  ASSERT_EQ(before.size(), kReadingOrder.size() + (strip ? 1 : 0));
  // The announcement strip last: the browser's own object, not ours.
  if (strip) {
    EXPECT_TRUE(before.back().object);
  }
  for (std::size_t i = 0; i < kReadingOrder.size(); ++i) {
    const Node& n = before[i];
    SCOPED_TRACE(kReadingOrder[i]);
    EXPECT_EQ(n.name, kReadingOrder[i]);
    EXPECT_EQ(n.child, static_cast<long>(i + 1));
    const ui::ControlId control = ui::ItemOf(n.child).control;
    // Where the window draws it, on screen.
    EXPECT_TRUE(Same(n.at, OnScreen(hwnd, ui::ChildRect(n.child, pc->dpi()))));
    if (control == ui::kFrame1) {
      EXPECT_EQ(n.role, ROLE_SYSTEM_GRAPHIC);
      EXPECT_EQ(n.state & kInvisible, kInvisible) << "no overlay before the survey";
    } else {
      EXPECT_EQ(n.state & kInvisible, 0);
    }
    if (i >= 1 && i <= 10 && control != ui::kFrame1) {
      EXPECT_EQ(n.role, ROLE_SYSTEM_STATICTEXT);
      EXPECT_EQ(n.value, "");
      EXPECT_EQ(n.state & STATE_SYSTEM_READONLY, STATE_SYSTEM_READONLY);
    }
  }
  EXPECT_EQ(before[0].role, ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(before[11].role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(before[11].action, "按下");
  for (std::size_t link : {12u, 13u}) {
    EXPECT_EQ(before[link].role, ROLE_SYSTEM_LINK);
    EXPECT_EQ(before[link].action, "跳转");
    EXPECT_EQ(before[link].value.rfind("http://", 0), 0u) << before[link].value;
    EXPECT_EQ(before[link].state & STATE_SYSTEM_LINKED, STATE_SYSTEM_LINKED);
  }

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
    const bool covered = control != ui::kWindows && control != ui::kFrame1 &&
                         std::find(ui::kResultLabels.begin(), ui::kResultLabels.end(), control) !=
                             ui::kResultLabels.end();
    EXPECT_EQ((n.state & kInvisible) != 0, covered);
  }

  std::vector<Node> after = Walk(object.get());
  ASSERT_EQ(after.size(), before.size());
  for (const Node& n : after) {
    if (n.object) continue;
    const ui::ControlId control = ui::ItemOf(n.child).control;
    SCOPED_TRACE(n.name);
    EXPECT_EQ((n.state & kInvisible) != 0, control == ui::kFrame1);
    if (std::find(ui::kResultLabels.begin(), ui::kResultLabels.end(), control) != ui::kResultLabels.end()) {
      EXPECT_EQ(n.value, ToUtf8(pc->Caption(control)));
    }
  }
  EXPECT_EQ(after[5].value, "Intel(R) Core(TM)2 Duo CPU     E7500  @ 2.93GHz");
  EXPECT_EQ(after[9].value, "2048 MB / 1条");

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

// The name of what oleacc finds at a client point.
std::string NameAtPoint(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  IAccessible* found = nullptr;
  VARIANT child;
  VariantInit(&child);
  if (FAILED(AccessibleObjectFromPoint(p, &found, &child)) || !found) return "(nothing)";
  BSTR name = nullptr;
  found->get_accName(child, &name);
  std::string text = Utf8(name);
  SysFreeString(name);
  VariantClear(&child);
  found->Release();
  return text;
}

// Points where the window's own hit-testing is known: the hand cursor shows
// over exactly the three controls that act.
TEST(ScreenReader, HitTestingAgreesWithTheWindow) {
  ui::Pc* pc = FreshWindow();
  ASSERT_NE(pc, nullptr);
  HWND hwnd = pc->hwnd();
  ComPtr<IAccessible> object = ClientObject(hwnd);
  ASSERT_TRUE(object);
  auto at = [&](int x, int y) -> long {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    VARIANT found;
    VariantInit(&found);
    if (object->accHitTest(p.x, p.y, &found) != S_OK) return -1;
    const long child = found.vt == VT_I4 ? found.lVal : found.vt == VT_DISPATCH ? 1000 : -2;
    VariantClear(&found);
    return child;
  };
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  struct Probe {
    int x, y;
    long child;
  };
  for (const Probe& p : std::vector<Probe>{{380, 325, ui::ChildIdOf(ui::kJiance)},
                                           {420, 356, ui::ChildIdOf(ui::kUpdate)},
                                           {200, 40, ui::ChildIdOf(ui::kImage5)},
                                           {380, 314, CHILDID_SELF},  // the button face
                                           {70, 170, ui::ChildIdOf(ui::kZhuban)},
                                           {40, 170, CHILDID_SELF},  // its caption
                                           {476, 100, CHILDID_SELF}}) {
    SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
    const bool acts = p.child == ui::ChildIdOf(ui::kJiance) || p.child == ui::ChildIdOf(ui::kUpdate) ||
                      p.child == ui::ChildIdOf(ui::kImage5);
    EXPECT_EQ(CursorAt(hwnd, p.x, p.y) != arrow, acts);
    EXPECT_EQ(at(p.x, p.y), p.child);
  }
  EXPECT_EQ(at(-5, 10), -1) << "outside the client area";
  EXPECT_EQ(NameAtPoint(hwnd, 380, 325), "开始检测") << "oleacc's search by point, as readers follow the mouse";

  // Every point of the client area at this density: inside what it finds.
  ASSERT_TRUE(pc->SetFrame1Visible(true).ok());
  EXPECT_EQ(NameAtPoint(hwnd, 100, 200), "检测中……");
  RECT client;
  GetClientRect(hwnd, &client);
  for (int y = 0; y < client.bottom; y += 3) {
    for (int x = 0; x < client.right; x += 3) {
      const long child = at(x, y);
      ASSERT_GE(child, 0) << x << "," << y;
      if (child == CHILDID_SELF || child == 1000) continue;
      const Node n = Read(object.get(), child);
      POINT p{x, y};
      ClientToScreen(hwnd, &p);
      ASSERT_TRUE(PtInRect(&n.at, p)) << x << "," << y << " child " << child;
      ASSERT_EQ(n.state & kInvisible, 0) << x << "," << y << " child " << child;
    }
  }
  EXPECT_TRUE(pc->SetFrame1Visible(false).ok());
  ShowWindow(hwnd, SW_HIDE);
}

TEST(ScreenReader, AReaderInAnotherProcess) {
  ui::Pc* pc = FreshWindow();
  ASSERT_NE(pc, nullptr);
  Ending e = RunChild("reader-" + std::to_string(reinterpret_cast<std::uintptr_t>(pc->hwnd())));
  ASSERT_EQ(e.exit_code, 0u);
  ASSERT_FALSE(e.trail.empty());
  EXPECT_EQ(e.trail[0], "hook 1 object 1");
  std::vector<std::string> names;
  std::string action, cpuz;
  int shows = 0, hides = 0, values = 0;
  for (const std::string& line : e.trail) {
    if (line.rfind("before ", 0) == 0) {
      const std::size_t from = line.find_first_not_of("0123456789 -", 7);
      names.push_back(line.substr(from, line.find('|') - from));
    }
    if (line.rfind("action ", 0) == 0) action = line.substr(7);
    if (line.rfind("after 6 ", 0) == 0) cpuz = line.substr(line.find('|') + 1);
    const std::string overlay = " " + std::to_string(ui::ChildIdOf(ui::kFrame1));
    if (line == "event 8002" + overlay) ++shows;
    if (line == "event 8003" + overlay) ++hides;
    if (line.rfind("event 800e ", 0) == 0) ++values;
  }
  ASSERT_GE(names.size(), kReadingOrder.size());
  for (std::size_t i = 0; i < kReadingOrder.size(); ++i) EXPECT_EQ(names[i], kReadingOrder[i]);
  EXPECT_EQ(action, "00000000");
  EXPECT_EQ(cpuz, ToUtf8(pc->Caption(ui::kCpuz)));
  EXPECT_EQ(cpuz, "Intel(R) Core(TM)2 Duo CPU     E7500  @ 2.93GHz");
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(hides, 1);
  EXPECT_EQ(values, 9);
  ShowWindow(pc->hwnd(), SW_HIDE);
}

TEST(ScreenReader, AnObjectHeldPastItsWindowAnswersDisconnected) {
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
  using Fn = int(WINAPI*)(int, UINT);
  auto get = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
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
TEST(Window, DensityOfTheWindowsMonitorWhereNoneIsKeptPerWindow) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
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
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(on_xp, GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(nullptr, screen);
}

// A move to a monitor of 144 DPI and back: asked first for its size there
// (Windows 10 and later), then told with a suggested rectangle that is a
// pixel off either way, the window keeps the suggested corner but makes its
// client area the design's exactly, and takes the icons and hand cursor
// drawn for the density.
TEST(Window, DensityChangeKeepsTheClientAreaExact) {
  ui::Pc* pc = Window();
  ASSERT_NE(pc, nullptr);
  HWND hwnd = pc->hwnd();
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  const int before = pc->dpi();
  for (int dpi : {144, before}) {
    SCOPED_TRACE(dpi);
    SIZE size{0, 0};
    ASSERT_TRUE(SendMessageW(hwnd, 0x02E4 /* WM_GETDPISCALEDSIZE */, static_cast<WPARAM>(dpi),
                             reinterpret_cast<LPARAM>(&size)));
    EXPECT_GT(size.cx, ui::TwipsToPixels(ui::kClientWidthTwips, dpi));
    EXPECT_GT(size.cy, ui::TwipsToPixels(ui::kClientHeightTwips, dpi));

    RECT suggested{40, 30, 40 + size.cx + 1, 30 + size.cy - 1};
    SendMessageW(hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
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

int main(int argc, char** argv) {
  OleInitialize(nullptr);
  if (argc == 4 && std::string(argv[1]) == "--child") return varnello::Child(argv[2], argv[3]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
