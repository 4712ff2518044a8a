// The window's life outside its handlers: made with its classes and child
// windows, placed and drawn for its density, and ended, at once, on an
// error that nothing handles.
#include "ui/pc_win.h"

#include <cwchar>
#include <new>
#include <utility>
#include <vector>

#include "base/density_win.h"
#include "base/system_library_win.h"
#include "tray/message_filter_win.h"
#include "tray/tray_win.h"
#include "ui/launch_win.h"
#include "ui/resource_ids.h"

namespace varnello::ui {
namespace {

constexpr wchar_t kWindowClass[] = L"VarnelloPc";
constexpr wchar_t kFrameClass[] = L"VarnelloFrame";

Pc* g_pc = nullptr;  // the program's one window, for what reaches it without one

// The window's two icons: the system metric of their size, and their size
// in the 100 per cent drawing.
struct WindowIcon {
  int which, metric, size96;
};
constexpr WindowIcon kWindowIcons[] = {{ICON_BIG, SM_CXICON, 32}, {ICON_SMALL, SM_CXSMICON, 16}};

RECT WindowRectFor(int dpi, DWORD style, DWORD ex_style) {
  RECT r{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
  base::AdjustWindowRectForDpi(r, style, ex_style, dpi);
  return r;
}

// A window rectangle of the same size, centred on the primary screen.
RECT CentredOnScreen(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  return RECT{x, y, x + w, y + h};
}

}  // namespace

Pc::Pc(HINSTANCE instance, StartFn start, PlatformFn platform)
    : instance_(instance),
      start_(start ? std::move(start) : StartFn(StartInWindowsFolder)),
      platform_(std::move(platform)) {
  for (int i = 0; i < kControlCount; ++i) captions_[static_cast<std::size_t>(i)] = std::u16string(kControls[static_cast<std::size_t>(i)].caption);
  visible_ = InitialVisibility();
  jiance_colour_ = *kControls[kJiance].colour;
}

Result<Pc*> Pc::Create(HINSTANCE instance, int show, StartFn start, PlatformFn platform, LoadTiming timing) {
  WNDCLASSEXW frame_class{};
  frame_class.cbSize = sizeof frame_class;
  frame_class.lpfnWndProc = FrameProc;
  frame_class.hInstance = instance;
  frame_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  frame_class.lpszClassName = kFrameClass;
  RegisterClassExW(&frame_class);

  std::unique_ptr<Pc> owner(new Pc(instance, std::move(start), std::move(platform)));
  Pc* pc = owner.get();
  pc->big_icon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  pc->small_icon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0)));
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  // The second press of a double-click comes as its own message: it raises
  // DblClick, not another Click.
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = pc->big_icon_.get();
  window_class.hIconSm = pc->small_icon_.get();
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&window_class)) return ComError(HRESULT_FROM_WIN32(GetLastError()));

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const std::wstring title = Wide(pc->Text(IDS_TITLE));
  // Centred on the screen, made at once at its size for the system's
  // density, which is nearly always the window's own too.
  const int system_dpi = base::DpiOfWindow(nullptr);
  const RECT centred = CentredOnScreen(WindowRectFor(system_dpi, style, 0));
  HWND hwnd = CreateWindowExW(0, kWindowClass, title.c_str(), style, centred.left, centred.top,
                              centred.right - centred.left, centred.bottom - centred.top, nullptr, nullptr,
                              instance, pc);
  if (!hwnd) return ComError(HRESULT_FROM_WIN32(GetLastError()));
  // Placed again where the window's density or its frame turned out other
  // than expected.
  RECT client{};
  GetClientRect(hwnd, &client);
  if (pc->dpi_ != system_dpi || client.right != TwipsToPixels(kClientWidthTwips, pc->dpi_) ||
      client.bottom != TwipsToPixels(kClientHeightTwips, pc->dpi_)) {
    const RECT own = CentredOnScreen(WindowRectFor(pc->dpi_, style, 0));
    pc->PlaceWindow(own.left, own.top);
  }

  owner.release();  // the window now holds it, for the life of the program
  g_pc = pc;
  base::SetLibraryFailureHandler(LibraryFailed);
  try {
    pc->Check(pc->Form_Load());
    if (timing == LoadTiming::kBeforeShowing) pc->EnsureStarted();
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    // A timer, unlike a posted message, lets the program count as idle with
    // the window painted before the rest of the load handler runs. A window
    // that starts hidden is never painted, so nothing is waited for.
    if (!pc->loaded_ && (!IsWindowVisible(hwnd) || !SetTimer(hwnd, kLoadTimer, USER_TIMER_MINIMUM, nullptr)))
      pc->EnsureStarted();
  } catch (...) {
    pc->Fail();
  }
  return pc;
}

bool Pc::OnCreate() {
  dpi_ = base::DpiOfWindow(hwnd_);
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  // Run as administrator, the window sits above Explorer, whose broadcast
  // would otherwise be dropped.
  if (taskbar_created_) tray::AllowMessage(hwnd_, taskbar_created_);
  if (!pictures_.Load(instance_, dpi_)) return false;
  LoadDensityArt();
  menu_.Reset(LoadMenuW(instance_, MAKEINTRESOURCEW(IDM_SYSPOPUP)));

  frame2_ = CreateWindowExW(0, kFrameClass, L"Frame2", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1, 1, hwnd_,
                            nullptr, instance_, nullptr);
  // The overlay's window bears the name readers know it by; its caption is
  // never drawn.
  const std::wstring overlay = Wide(ItemOf(ChildIdOf(kFrame1)).name);
  frame1_ = CreateWindowExW(0, kFrameClass, overlay.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1, 1, hwnd_,
                            nullptr, instance_, nullptr);
  if (!frame1_ || !frame2_) return false;
  SetWindowLongPtrW(frame1_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(frame2_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ApplyDpi();
  return true;
}

void Pc::ApplyDpi() {
  painter_.SetDpi(dpi_);
  for (auto [frame, id] : {std::pair{frame1_, kFrame1}, std::pair{frame2_, kFrame2}}) {
    PixelRect r = RectOf(id);
    SetWindowPos(frame, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (gonggao_) {
    gonggao_->SetRect(ToRect(RectOf(kGonggao)));
    gonggao_->SetDpi(dpi_);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void Pc::LoadDensityArt() {
  const int cursor = base::SystemMetricForDpi(SM_CXCURSOR, dpi_);
  Cursor hand(static_cast<HCURSOR>(
      LoadImageW(instance_, MAKEINTRESOURCEW(ScaledResource(IDC_HAND_POINT, ArtDpiForSize(cursor, 32))),
                 IMAGE_CURSOR, cursor, cursor, 0)));
  if (hand) {
    if (hand_ && GetCursor() == hand_.get()) SetCursor(hand.get());
    hand_ = std::move(hand);
  }
  // Setting a window's icons costs the first paint as much as its largest
  // picture. Where the class's icons are already the same drawing at the
  // same size, the window shows just the same until its own are set with
  // the rest of the load, after that paint.
  window_icons_pending_ = !loaded_ && ClassIconsServe();
  if (!window_icons_pending_) SetWindowIcons();
}

bool Pc::ClassIconsServe() const {
  for (const WindowIcon& w : kWindowIcons) {
    const int side = base::SystemMetricForDpi(w.metric, dpi_);
    if (side != GetSystemMetrics(w.metric) || ArtDpiForSize(side, w.size96) != kDesignDpi) return false;
  }
  return true;
}

void Pc::SetWindowIcons() {
  window_icons_pending_ = false;
  for (const WindowIcon& w : kWindowIcons) {
    const int side = base::SystemMetricForDpi(w.metric, dpi_);
    Icon icon(static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(ScaledResource(IDI_PROGRAM, ArtDpiForSize(side, w.size96))),
                   IMAGE_ICON, side, side, 0)));
    if (!icon) continue;  // the class's icon stays
    SendMessageW(hwnd_, WM_SETICON, static_cast<WPARAM>(w.which), reinterpret_cast<LPARAM>(icon.get()));
    (w.which == ICON_BIG ? window_big_icon_ : window_small_icon_) = std::move(icon);
  }
}

void Pc::PlaceWindow(int x, int y) {
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const DWORD ex_style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  const int want_w = TwipsToPixels(kClientWidthTwips, dpi_), want_h = TwipsToPixels(kClientHeightTwips, dpi_);
  const RECT r = WindowRectFor(dpi_, style, ex_style);
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  // Where the frame is not what the system said it would be (a system
  // without per-monitor frames, a theme of its own), the difference is
  // made good once.
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right != want_w || client.bottom != want_h) {
    w += want_w - client.right;
    h += want_h - client.bottom;
    SetWindowPos(hwnd_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The new density's art and fonts; the window keeps the top-left corner
// the system suggests, and its client area stays the design's exactly
// rather than the suggested rectangle's rounding.
void Pc::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  // Should the art not load, the window keeps what it had, scaled.
  (void)pictures_.Load(instance_, dpi_);
  LoadDensityArt();
  PlaceWindow(suggested.left, suggested.top);
  ApplyDpi();
}

// The size the window will have at the new density, so that the system
// suggests it in WM_DPICHANGED.
bool Pc::OnGetDpiScaledSize(int dpi, SIZE& size) const {
  if (dpi <= 0) return false;
  const RECT r = WindowRectFor(dpi, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                               static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  size.cx = r.right - r.left;
  size.cy = r.bottom - r.top;
  return true;
}

RECT Pc::ClientOnScreen() const {
  RECT r;
  GetClientRect(hwnd_, &r);
  MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::u16string Pc::Text(UINT id) const {
  const wchar_t* text = nullptr;
  int n = LoadStringW(instance_, id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(n)) : u"";
}

void Pc::End(UINT exit_code) { ExitProcess(exit_code); }

void Pc::Fail() noexcept {
  HRESULT code = E_UNEXPECTED;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    code = E_OUTOFMEMORY;
  } catch (...) {
  }
  try {
    Check(ComError(code));
  } catch (...) {
  }
  tray::DeleteTrayIcon();  // not even the message could be shown
  End(1);
}

void Pc::LibraryFailed(HRESULT error) {
  if (g_pc) g_pc->Check(ComError(error));
}

void Pc::Check(Status status) {
  if (status) return;
  const HRESULT code = static_cast<HRESULT>(status.error().code);
  wchar_t* system_text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&system_text), 0, nullptr);
  const LocalMemory system_text_owner(system_text);
  std::wstring reason = system_text ? system_text : L"";
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
  const std::wstring format = Wide(Text(IDS_ERROR_FORMAT));
  std::vector<wchar_t> message(format.size() + reason.size() + 32);
  std::swprintf(message.data(), message.size(), format.c_str(), static_cast<unsigned long>(code), reason.c_str());
  MessageBoxW(hwnd_, message.data(), Wide(Text(IDS_TITLE)).c_str(), MB_OK | MB_ICONERROR);
  tray::DeleteTrayIcon();  // no icon left behind in the notification area
  End(1);
}

}  // namespace varnello::ui
