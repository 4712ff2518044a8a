#include "ui/pc_win.h"

#include <windowsx.h>

#include <utility>

#include "base/dyn_calls_win.h"
#include "base/system_library_win.h"
#include "survey/run_survey.h"
#include "survey/wmi_platform_win.h"
#include "tray/tray_decode.h"
#include "tray/tray_win.h"
#include "ui/commands.h"
#include "ui/launch_win.h"
#include "ui/ole_win.h"
#include "ui/resource_ids.h"

namespace varnello::ui {
namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kDarkGrey = 0x404040;

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
  if (LRESULT result; HandleKeyboard(message, wparam, lparam, result)) return result;
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

// --- Drawing -----------------------------------------------------------------

void Pc::OnPaint() {
  Painting paint(hwnd_);
  const HDC dc = paint.dc();
  const RECT& area = paint.area();
  RECT client;
  GetClientRect(hwnd_, &client);
  MemoryDc canvas(CreateCompatibleDC(dc));
  Bitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
  {
    Selected selected(canvas.get(), bitmap.get());
    FillRect(canvas.get(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    painter_.PaintControls(canvas.get(), pictures_, captions_, visible_, jiance_colour_);
    PaintFocus(canvas.get());
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, canvas.get(), area.left,
           area.top, SRCCOPY);
  }
}

void Pc::OnFramePaint(HWND frame) {
  Painting paint(frame);
  const HDC dc = paint.dc();
  RECT client;
  GetClientRect(frame, &client);
  if (frame == frame1_) {
    // Image8 starts above and left of the frame's corner and covers it all.
    pictures_.Draw(dc, kControls[kImage8].picture, RectOf(kImage8));
  } else {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
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
  return probe_ && probe_(*this, data) ? TRUE : FALSE;
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
  const std::wstring module = base::ProgramPath();
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

bool Pc::TranslateKey(MSG& message) { return gonggao_ && gonggao_->TranslateKey(message); }

}  // namespace varnello::ui
