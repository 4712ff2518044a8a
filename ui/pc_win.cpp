#include "ui/pc_win.h"

#include <windowsx.h>

#include <cwchar>
#include <new>
#include <utility>
#include <vector>

#include "base/density_win.h"
#include "base/dyn_calls_win.h"
#include "base/system_library_win.h"
#include "survey/run_survey.h"
#include "survey/wmi_platform_win.h"
#include "tray/message_filter_win.h"
#include "tray/tray_decode.h"
#include "tray/tray_win.h"
#include "ui/commands.h"
#include "ui/launch_win.h"
#include "ui/ole_win.h"
#include "ui/probe_win.h"
#include "ui/resource_ids.h"
#include "ui/text_layout.h"

namespace varnello::ui {
namespace {

constexpr wchar_t kWindowClass[] = L"VarnelloPc";
constexpr wchar_t kFrameClass[] = L"VarnelloFrame";
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kDarkGrey = 0x404040;
constexpr int kFontPoints = 9;
constexpr UINT_PTR kLoadTimer = 1;

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

RECT ToRect(const PixelRect& p) { return RECT{p.left, p.top, p.left + p.width, p.top + p.height}; }

// A survey holds the window's thread, so what it changes is painted at once
// and pushed to the screen, rather than when the thread next handles
// messages.
void ShowNow(HWND window) {
  UpdateWindow(window);
  GdiFlush();
}

// While a survey runs the window's thread handles only sent messages (on
// Windows, COM's wait for the management service lets just those through),
// so the user's clicks and keys queue up. They were aimed at a window that
// was busy; run afterwards they would start another survey or open the home
// page out of nowhere. They are dropped; the messages sent meanwhile (the
// icon's, a reader's) are handled on the way.
void DiscardQueuedInput() {
  constexpr std::pair<UINT, UINT> kInput[] = {
      {WM_KEYFIRST, WM_KEYLAST}, {WM_MOUSEFIRST, WM_MOUSELAST}, {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
  MSG message;
  for (const auto& [first, last] : kInput)
    while (PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
    }
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The window's survey display: labels, the progress frame, and balloons.
class PcDisplay final : public SurveyDisplay {
 public:
  explicit PcDisplay(Pc& pc) : pc_(pc) {}
  Status SetCaption(ResultLabel label, std::u16string_view text) override {
    return pc_.SetCaption(kResultLabels[static_cast<std::size_t>(label)], text);
  }
  Status SetProgressVisible(bool visible) override { return pc_.SetFrame1Visible(visible); }
  Status ShowNotice(std::u16string_view text, std::u16string_view title, std::int32_t icon_kind) override {
    if (!IsWindow(pc_.hwnd())) return ComError(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE));
    tray::ShowBalloon(pc_.hwnd(), text, title, icon_kind);
    return {};
  }

 private:
  Pc& pc_;
};

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

LRESULT CALLBACK Pc::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* pc = static_cast<Pc*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    pc->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pc));
  }
  auto* pc = reinterpret_cast<Pc*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!pc) return DefWindowProcW(hwnd, message, wparam, lparam);
  // No exception unwinds through the system's code that called us.
  try {
    return pc->Handle(message, wparam, lparam);
  } catch (...) {
    pc->Fail();
  }
}

LRESULT Pc::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (taskbar_created_ && message == taskbar_created_) {
    if (loaded_) tray::ReAddTrayIcon();  // otherwise the load handler adds it
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(wparam, lparam);
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(lparam, false);
      return 0;
    case WM_LBUTTONDBLCLK:
      OnLButtonDown(lparam, true);
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp(lparam);
      return 0;
    case WM_CAPTURECHANGED:
      clicks_.Cancel();
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(wparam, lparam)) return TRUE;
      break;
    case WM_SIZE:
      OnSize(wparam);
      return 0;
    case WM_TIMER:
      OnTimer(wparam);
      return 0;
    case base::kWmDpiChanged:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case base::kWmGetDpiScaledSize:
      return OnGetDpiScaledSize(static_cast<int>(wparam), *reinterpret_cast<SIZE*>(lparam)) ? TRUE : FALSE;
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
      Form_QueryUnload();
      return 0;
    case WM_DESTROY:
      if (accessible_) std::exchange(accessible_, {})->Disconnect();
      Form_Unload();
      PostQuitMessage(0);
      return 0;
    case WM_COPYDATA:
      return OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lparam));
    case WM_GETOBJECT:
      return OnGetObject(wparam, lparam);
    case kAccessibleActionMessage:
      OnAccessibleAction(wparam);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
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
  const int pixels = -MulDiv(kFontPoints, dpi_, 72);
  auto make = [&](int weight, bool underline) {
    return Font(CreateFontW(pixels, 0, 0, 0, weight, FALSE, underline, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
  };
  fonts_[static_cast<int>(FontStyle::kRegular)] = make(FW_NORMAL, false);
  fonts_[static_cast<int>(FontStyle::kBold)] = make(FW_BOLD, false);
  fonts_[static_cast<int>(FontStyle::kUnderline)] = make(FW_NORMAL, true);
  advances_.clear();
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

HFONT Pc::FontFor(FontStyle style) const { return fonts_[static_cast<int>(style)].get(); }

// --- Drawing -----------------------------------------------------------------

void Pc::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client;
  GetClientRect(hwnd_, &client);
  MemoryDc canvas(CreateCompatibleDC(dc));
  Bitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
  {
    Selected selected(canvas.get(), bitmap.get());
    FillRect(canvas.get(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // Back to front: the last row of the table lies behind all others.
    for (int i = kControlCount - 1; i >= 0; --i) {
      const ControlSpec& c = kControls[static_cast<std::size_t>(i)];
      if (c.container != -1 || !visible_[static_cast<std::size_t>(i)]) continue;
      if (c.kind == ControlKind::kPicture) pictures_.Draw(canvas.get(), c.picture, RectOf(i));
      if (c.kind == ControlKind::kLabel) PaintLabel(canvas.get(), i);
    }
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, canvas.get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  }
  EndPaint(hwnd_, &ps);
}

int Pc::Advance(HDC dc, FontStyle style, std::u16string_view character) {
  // One UTF-16 unit or a surrogate pair in the low 32 bits, the style above.
  std::uint64_t code = character.empty() ? 0 : character[0];
  if (character.size() == 2) code = (code << 16) | character[1];
  const std::uint64_t key = (static_cast<std::uint64_t>(style) << 32) | code;
  auto it = advances_.find(key);
  if (it != advances_.end()) return it->second;
  SIZE size{};
  GetTextExtentPoint32W(dc, reinterpret_cast<LPCWSTR>(character.data()), static_cast<int>(character.size()), &size);
  advances_.emplace(key, size.cx);
  return size.cx;
}

// Only the text is drawn; it wraps at the label's width and is cut off at
// its height.
void Pc::PaintLabel(HDC dc, int id) {
  const ControlSpec& c = kControls[static_cast<std::size_t>(id)];
  const AccessKeyText text = ParseAccessKeys(captions_[static_cast<std::size_t>(id)]);
  if (text.shown.empty()) return;
  const PixelRect r = RectOf(id);
  Selected font(dc, FontFor(c.font));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int line_height = metrics.tmHeight > 0 ? metrics.tmHeight : 12;
  const Colour colour = id == kJiance ? jiance_colour_ : c.colour ? *c.colour : GetSysColor(COLOR_BTNTEXT);
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);

  const std::size_t max_lines = static_cast<std::size_t>((r.height + line_height - 1) / line_height);
  auto measure = [&](std::u16string_view ch) { return Advance(dc, c.font, ch); };
  const RECT clip = ToRect(r);
  const std::u16string_view shown(text.shown);
  int y = r.top;
  for (const TextLine& line : WrapLines(shown, r.width, max_lines, measure)) {
    std::u16string_view part = shown.substr(line.begin, line.end - line.begin);
    ExtTextOutW(dc, r.left, y, ETO_CLIPPED, &clip, reinterpret_cast<LPCWSTR>(part.data()),
                static_cast<UINT>(part.size()), nullptr);
    const auto u = text.underline;
    if (u >= 0 && static_cast<std::size_t>(u) >= line.begin && static_cast<std::size_t>(u) < line.end) {
      int x = r.left;
      for (std::size_t k = line.begin; k < static_cast<std::size_t>(u); ++k) x += measure(shown.substr(k, 1));
      const int w = measure(shown.substr(static_cast<std::size_t>(u), 1));
      RECT bar{x, y + metrics.tmAscent + 1, x + w, y + metrics.tmAscent + 2};
      IntersectRect(&bar, &bar, &clip);
      Brush brush(CreateSolidBrush(colour));
      FillRect(dc, &bar, brush.get());
    }
    y += line_height;
  }
}

void Pc::OnFramePaint(HWND frame) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(frame, &ps);
  RECT client;
  GetClientRect(frame, &client);
  if (frame == frame1_) {
    // Image8 starts above and left of the frame's corner and covers it all.
    pictures_.Draw(dc, kControls[kImage8].picture, RectOf(kImage8));
  } else {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  EndPaint(frame, &ps);
}

LRESULT CALLBACK Pc::FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* pc = reinterpret_cast<Pc*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (pc && message == WM_PAINT) {
    try {
      pc->OnFramePaint(hwnd);
    } catch (...) {
      pc->Fail();
    }
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void Pc::InvalidateControl(int id) {
  RECT r = ToRect(RectOf(id));
  InvalidateRect(hwnd_, &r, FALSE);
}

// --- What other parts change -----------------------------------------------

Status Pc::SetCaption(ControlId id, std::u16string_view text) {
  if (!IsWindow(hwnd_)) return ComError(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE));
  const bool changed = captions_[id] != text;
  captions_[id] = std::u16string(text);
  InvalidateControl(id);
  ShowNow(hwnd_);
  if (changed) NotifyCaptionChanged(hwnd_, id);
  return {};
}

Status Pc::SetFrame1Visible(bool visible) {
  if (!IsWindow(frame1_)) return ComError(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE));
  const bool changed = visible_[kFrame1] != visible;
  visible_[kFrame1] = visible;
  ShowWindow(frame1_, visible ? SW_SHOWNA : SW_HIDE);
  ShowNow(visible ? frame1_ : hwnd_);
  if (changed) NotifyOverlayChanged(hwnd_, visible, visible_);
  return {};
}

void Pc::SetJianceColour(Colour colour) {
  if (colour == jiance_colour_) return;
  jiance_colour_ = colour;
  InvalidateControl(kJiance);
}

// --- Mouse -------------------------------------------------------------------

void Pc::OnMouseMove(WPARAM wparam, LPARAM lparam) {
  const int button = (wparam & MK_LBUTTON ? 1 : 0) | (wparam & MK_RBUTTON ? 2 : 0) | (wparam & MK_MBUTTON ? 4 : 0);
  const int shift = (wparam & MK_SHIFT ? 1 : 0) | (wparam & MK_CONTROL ? 2 : 0);
  const int x = GET_X_LPARAM(lparam), y = GET_Y_LPARAM(lparam);

  // The icon's notifications come as this very message, sent by the shell
  // with a message number where the position should be.
  const bool sent = (InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) != 0;
  const DWORD pos = GetMessagePos();
  POINT pointer{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
  ScreenToClient(hwnd_, &pointer);
  if (tray::IsIconNotification(sent, x, y, pointer.x, pointer.y)) {
    EnsureStarted();
    const float tpp = tray::TwipsPerPixel(dpi_);
    Form_MouseMove(button, shift, static_cast<float>(LOWORD(lparam)) * tpp,
                   static_cast<float>(HIWORD(lparam)) * tpp, true);
    return;
  }

  const Hit hit = HitTest(x, y, dpi_, visible_);
  if (hit.kind == HitKind::kForm) {
    const float tpp = tray::TwipsPerPixel(dpi_);
    Form_MouseMove(button, shift, static_cast<float>(x) * tpp, static_cast<float>(y) * tpp, false);
  } else if (hit.control == kJiance) {
    jiance_MouseMove();
  } else if (hit.control == kImage1) {
    Image1_MouseMove();
  }
}

int Pc::ClickableAt(LPARAM lparam) const {
  const Hit hit = HitTest(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), dpi_, visible_);
  if (hit.kind != HitKind::kControl) return -1;
  return HasClick(hit.control) ? hit.control : -1;
}

// The second press of a double-click raises DblClick, which no control
// handles; the release after it raises nothing.
void Pc::OnLButtonDown(LPARAM lparam, bool second_press) {
  const int control = ClickableAt(lparam);
  if (second_press)
    clicks_.DoublePress(control);
  else
    clicks_.Press(control);
  if (clicks_.pressed() >= 0) SetCapture(hwnd_);
}

// A click: the left button pressed and released over the same control.
void Pc::OnLButtonUp(LPARAM lparam) {
  const bool held = clicks_.pressed() >= 0;
  const int control = ClickableAt(lparam);
  const ClickEvent event = clicks_.Release(control);
  if (held) ReleaseCapture();
  if (event == ClickEvent::kClick) Click(control);
}

// The Click event of a control that has one; the window is loaded first.
void Pc::Click(int control) {
  EnsureStarted();
  if (control == kJiance) Check(jiance_Click());
  if (control == kImage5) Check(Image5_Click());
  if (control == kUpdate) Check(update_Click());
}

bool Pc::OnSetCursor(WPARAM wparam, LPARAM lparam) {
  if (reinterpret_cast<HWND>(wparam) != hwnd_ || LOWORD(lparam) != HTCLIENT) return false;
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(hwnd_, &p);
  const Hit hit = HitTest(p.x, p.y, dpi_, visible_);
  const bool hand = hit.kind == HitKind::kControl && kControls[static_cast<std::size_t>(hit.control)].hand_cursor;
  SetCursor(hand && hand_ ? hand_.get() : LoadCursorW(nullptr, IDC_ARROW));
  return true;
}

void Pc::OnSize(WPARAM wparam) {
  (void)wparam;
  Form_Resize();
}

void Pc::OnTimer(WPARAM wparam) {
  if (wparam == kLoadTimer) EnsureStarted();
}

LRESULT Pc::OnCopyData(const COPYDATASTRUCT& data) {
  EnsureStarted();  // what the probe reads or sets is the loaded window
  return HandleProbeMessage(*this, data) ? TRUE : FALSE;
}

// Screen readers ask for the client area's accessible object; everything
// else is the system's.
LRESULT Pc::OnGetObject(WPARAM wparam, LPARAM lparam) {
  if (static_cast<LONG>(static_cast<DWORD>(lparam)) != OBJID_CLIENT)
    return DefWindowProcW(hwnd_, WM_GETOBJECT, wparam, lparam);
  if (!accessible_) accessible_ = PcAccessible::Create(*this);
  // The object goes to the reader through COM, which may not have been
  // needed before now.
  OleOnDemand::Ensure();
  return LresultFromObject(kIidAccessible, wparam, static_cast<IAccessible*>(accessible_.get()));
}

// A reader's default action, after its call has returned: the same handler
// as a click on the control.
void Pc::OnAccessibleAction(WPARAM control) { Click(static_cast<int>(control)); }

// --- Events ------------------------------------------------------------------

// Hides the progress frame, before the window is first shown; the other
// steps follow in Form_LoadRest, when Create or EnsureStarted calls it.
Status Pc::Form_Load() { return SetFrame1Visible(false); }

void Pc::EnsureStarted() {
  if (loaded_) return;
  loaded_ = true;
  KillTimer(hwnd_, kLoadTimer);
  // The announcement view and everything the user can start from here on
  // need OLE; the window so far has not.
  const HRESULT ole = OleOnDemand::Ensure();
  if (FAILED(ole)) Check(ComError(ole));
  if (window_icons_pending_) SetWindowIcons();
  Form_LoadRest();
}

// The announcement page (in a view made here, so that its cost too comes
// after the first paint), the icon, and the welcome balloon, in this order.
void Pc::Form_LoadRest() {
  // Without a browser control the strip stays white; the rest works.
  gonggao_ = WebView::Create(frame2_, ToRect(RectOf(kGonggao)), dpi_);
  if (gonggao_) gonggao_->Navigate(Wide(AnnouncementAddress()));
  const std::wstring module = ModulePath();
  const std::u16string app_path = AppPathOf(std::u16string(module.begin(), module.end()));
  tray::AddTrayIcon(hwnd_, Wide(IconPathOf(app_path)), Text(IDS_TIP), small_icon_.get());
  tray::ShowBalloon(hwnd_, Text(IDS_WELCOME), Text(IDS_NOTICE_TITLE), tray::kNiifInfo);
}

void Pc::Form_Resize() {
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_HIDE);  // the icon is the way back
}

void Pc::Form_MouseMove(int button, int shift, float x, float y, bool from_icon) {
  (void)button;
  (void)shift;
  (void)y;
  // The pointer over the window's bare edges is no notification, whatever
  // column it is in.
  if (!from_icon) return;
  switch (tray::DecodeIconMessage(x, tray::TwipsPerPixel(dpi_))) {
    case tray::TrayAction::kRestore:
      Restore();
      break;
    case tray::TrayAction::kPopupMenu:
      SetForegroundWindow(hwnd_);
      PopupMenu();
      break;
    case tray::TrayAction::kNone:
      break;
  }
}

void Pc::Form_QueryUnload() {
  EnsureStarted();
  tray::DeleteTrayIcon();
  End();
}

void Pc::Form_Unload() { tray::DeleteTrayIcon(); }

Status Pc::jiance_Click() {
  if (surveying_) return {};  // the run already holds the window
  surveying_ = true;
  PcDisplay display(*this);
  std::unique_ptr<SurveyPlatform> platform =
      platform_ ? platform_() : std::unique_ptr<SurveyPlatform>(std::make_unique<WmiPlatform>());
  Status status = RunSurvey(display, *platform);
  DiscardQueuedInput();
  surveying_ = false;
  return status;
}

void Pc::jiance_MouseMove() { SetJianceColour(kWhite); }

void Pc::Image1_MouseMove() { SetJianceColour(kDarkGrey); }

Status Pc::Image5_Click() { return start_(Wide(HomePageCommand()), kMinimizedFocus); }

Status Pc::update_Click() { return start_(Wide(HomePageCommand()), kMinimizedFocus); }

void Pc::mShow_Click() { Restore(); }

void Pc::mExit_Click() {
  tray::DeleteTrayIcon();
  End();
}

// Window state normal, then shown.
void Pc::Restore() {
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  ShowWindow(hwnd_, SW_SHOW);
}

void Pc::PopupMenu() {
  POINT at;
  GetCursorPos(&at);
  HMENU popup = GetSubMenu(menu_.get(), 0);
  const UINT command = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD, at.x, at.y, 0, hwnd_, nullptr));
  PostMessageW(hwnd_, WM_NULL, 0, 0);  // lets the menu close properly when the window was not in front
  if (command == IDM_SHOW) mShow_Click();
  if (command == IDM_EXIT) mExit_Click();
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

bool Pc::TranslateKey(MSG& message) { return gonggao_ && gonggao_->TranslateKey(message); }

void Pc::Check(Status status) {
  if (status) return;
  const HRESULT code = static_cast<HRESULT>(status.error().code);
  wchar_t* system_text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&system_text), 0, nullptr);
  std::wstring reason = system_text ? system_text : L"";
  if (system_text) LocalFree(system_text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
  const std::wstring format = Wide(Text(IDS_ERROR_FORMAT));
  std::vector<wchar_t> message(format.size() + reason.size() + 32);
  std::swprintf(message.data(), message.size(), format.c_str(), static_cast<unsigned long>(code), reason.c_str());
  MessageBoxW(hwnd_, message.data(), Wide(Text(IDS_TITLE)).c_str(), MB_OK | MB_ICONERROR);
  tray::DeleteTrayIcon();  // no icon left behind in the notification area
  End(1);
}

}  // namespace varnello::ui
