// The window without a mouse: the keyboard focus among the controls that
// act, its rectangle, the keys, and the results copied to the clipboard.
#include <cstring>

#include "ui/keyboard.h"
#include "ui/pc_win.h"

namespace varnello::ui {
namespace {

// Posted when the announcement view took the focus: the window takes it
// back, once the view's own handling of the click is over.
constexpr UINT kTakeBackFocusMessage = WM_APP + 14;

bool Held(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool CuesAlways() {
  BOOL always = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0);
  return always != FALSE;
}

}  // namespace

bool Pc::HandleKeyboard(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_KEYDOWN:
      OnKeyDown(static_cast<int>(wparam), (lparam & (1 << 30)) != 0);
      return true;
    case WM_KEYUP:
      OnKeyUp(static_cast<int>(wparam));
      return true;
    case WM_SETFOCUS:
      OnSetFocus();
      return true;
    case WM_KILLFOCUS:
      OnKillFocus(reinterpret_cast<HWND>(wparam));
      return true;
    case WM_ACTIVATE:
      // The system's handling first: it gives the window the focus.
      result = DefWindowProcW(hwnd_, message, wparam, lparam);
      InvalidateFocus();
      return true;
    case WM_UPDATEUISTATE:
      OnUpdateUiState(wparam);
      result = DefWindowProcW(hwnd_, message, wparam, lparam);
      return true;
    case kAccessibleFocusMessage:
      MoveFocus(static_cast<ControlId>(wparam));
      return true;
    case kTakeBackFocusMessage:
      if (GetFocus() && IsChild(hwnd_, GetFocus())) SetFocus(hwnd_);
      return true;
    default:
      return false;
  }
}

void Pc::OnKeyDown(int key, bool repeat) {
  const KeyAction action = keys_.Down(key, repeat, Held(VK_SHIFT), Held(VK_CONTROL), focus_);
  if (action == KeyAction::kNone && !(key == VK_SPACE && !repeat)) return;
  EnsureStarted();
  // The keyboard is in use: the focus shows from now on. The window is its
  // own top level, so the system answers with WM_UPDATEUISTATE; where it
  // does not (Wine), the window changes the state itself.
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  if (focus_hidden_) OnUpdateUiState(MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
  switch (action) {
    case KeyAction::kFocusNext:
    case KeyAction::kFocusPrevious:
      MoveFocus(NextFocus(focus_, action == KeyAction::kFocusPrevious));
      break;
    case KeyAction::kActivate:
      Click(focus_);
      break;
    case KeyAction::kSurvey:
      Click(kJiance);
      break;
    case KeyAction::kCopy:
      CopyResults();
      break;
    case KeyAction::kNone:
      break;
  }
}

void Pc::OnUpdateUiState(WPARAM wparam) {
  if (!(HIWORD(wparam) & UISF_HIDEFOCUS)) return;
  if (LOWORD(wparam) == UIS_SET) focus_hidden_ = true;
  if (LOWORD(wparam) == UIS_CLEAR) focus_hidden_ = false;
  InvalidateControl(FocusRectControl());
}

void Pc::OnKeyUp(int key) {
  if (keys_.Up(key, focus_) == KeyAction::kActivate) Click(focus_);
}

void Pc::OnSetFocus() {
  InvalidateFocus();
  NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, OBJID_CLIENT, ChildIdOf(focus_));
}

// The announcement view never keeps the focus: F5, Enter and Ctrl+C always
// reach the window.
void Pc::OnKillFocus(HWND to) {
  keys_.Cancel();
  InvalidateFocus();
  if (to && IsChild(hwnd_, to)) PostMessageW(hwnd_, kTakeBackFocusMessage, 0, 0);
}

void Pc::MoveFocus(ControlId to) {
  keys_.Cancel();
  InvalidateControl(FocusRectControl());
  focus_ = to;
  InvalidateControl(FocusRectControl());
  if (GetFocus() != hwnd_) SetFocus(hwnd_);  // raises the event itself
  else NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, OBJID_CLIENT, ChildIdOf(focus_));
}

// Activation and the focus coming and going change the picture only where
// the rectangle shows at all: at start none of them costs a paint.
void Pc::InvalidateFocus() {
  if (!focus_hidden_ || CuesAlways()) InvalidateControl(FocusRectControl());
}

// The start label's rectangle goes round its button face.
ControlId Pc::FocusRectControl() const { return focus_ == kJiance ? kImage12 : focus_; }

void Pc::PaintFocus(HDC dc) {
  const bool active = GetActiveWindow() == hwnd_ && GetFocus() == hwnd_;
  if (!ShowsFocus(active, focus_hidden_, CuesAlways())) return;
  RECT r = ToRect(RectOf(FocusRectControl()));
  DrawFocusRect(dc, &r);
}

// Unicode text; the system makes the ANSI form for older programs.
void Pc::CopyResults() {
  const std::u16string text = ResultsText(captions_);
  const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
  GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) return;
  {
    GlobalLocked locked(memory.get());
    if (!locked.get()) return;
    std::memcpy(locked.get(), text.c_str(), bytes);
  }
  if (!OpenClipboard(hwnd_)) return;
  EmptyClipboard();
  if (SetClipboardData(CF_UNICODETEXT, memory.get())) memory.Release();  // the clipboard's now
  CloseClipboard();
}

}  // namespace varnello::ui
