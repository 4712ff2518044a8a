// The window Pc: its controls drawn from the layout table, its two frames
// and the announcement view as child windows, its popup menu, and one named
// handler per event.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/result.h"
#include "base/win_handles_win.h"
#include "survey/survey_platform.h"
#include "ui/accessible_win.h"
#include "ui/clicks.h"
#include "ui/hit_test.h"
#include "ui/keyboard.h"
#include "ui/label_painter_win.h"
#include "ui/layout.h"
#include "ui/pictures_win.h"
#include "ui/web_view_win.h"

namespace varnello::ui {

class Pc final : public AccessibleWindow {
 public:
  // Starts a program by a command line with a window style; replaced in
  // tests so that clicking a link starts nothing.
  using StartFn = std::function<Status(std::wstring_view command_line, int window_style)>;
  // Makes the platform a survey runs against; replaced in tests.
  using PlatformFn = std::function<std::unique_ptr<SurveyPlatform>()>;

  // When the load handler's steps after hiding the progress frame (the
  // announcement page, the icon and the welcome balloon) run: before the
  // window is shown, or in one block once it has been painted and the
  // program has first become idle, so that the window appears as soon as
  // a bare one would.
  enum class LoadTiming { kBeforeShowing, kAfterFirstPaint };

  // Creates the window with all its controls, runs its load handler and
  // shows it. The window lives until the program ends.
  static Result<Pc*> Create(HINSTANCE instance, int show, StartFn start = {}, PlatformFn platform = {},
                            LoadTiming timing = LoadTiming::kBeforeShowing);

  // Runs the rest of the load handler now if it has not run yet. Every
  // handler of the user's actions calls it first, so none runs before the
  // window has been loaded.
  void EnsureStarted();

  HWND hwnd() const override { return hwnd_; }
  int dpi() const override { return dpi_; }

  // What other parts of the program may change.
  Status SetCaption(ControlId id, std::u16string_view text);
  Status SetFrame1Visible(bool visible);
  void SetJianceColour(Colour colour);

  const std::u16string& Caption(ControlId id) const override { return captions_[id]; }
  const Visibility& Visible() const override { return visible_; }
  const WebView* web_view() const override { return gonggao_.get(); }
  ControlId Focus() const override { return focus_; }
  bool Frame1Visible() const { return visible_[kFrame1]; }
  Colour JianceColour() const { return jiance_colour_; }
  // Screen rectangle of the client area.
  RECT ClientOnScreen() const;

  // Answers the test build's probe, which reaches the window as
  // WM_COPYDATA; the shipped program has none.
  using ProbeFn = std::function<bool(Pc& pc, const COPYDATASTRUCT& data)>;
  void SetProbe(ProbeFn probe) { probe_ = std::move(probe); }

  // A key message from the message loop, offered first to the announcement
  // view: true when the view took it, and it goes no further.
  bool TranslateKey(MSG& message);

 private:
  static constexpr UINT_PTR kLoadTimer = 1;  // the rest of the load, after the first paint

  Pc(HINSTANCE instance, StartFn start, PlatformFn platform);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  // Messages of the window.
  bool OnCreate();
  void OnPaint();
  void OnMouseMove(WPARAM wparam, LPARAM lparam);
  void OnLButtonDown(LPARAM lparam, bool second_press);
  void OnLButtonUp(LPARAM lparam);
  void Click(int control);
  bool OnSetCursor(WPARAM wparam, LPARAM lparam);
  void OnSize(WPARAM wparam);
  void OnTimer(WPARAM wparam);
  void OnDpiChanged(int dpi, const RECT& suggested);
  bool OnGetDpiScaledSize(int dpi, SIZE& size) const;
  LRESULT OnCopyData(const COPYDATASTRUCT& data);
  LRESULT OnGetObject(WPARAM wparam, LPARAM lparam);
  void OnAccessibleAction(WPARAM control);
  void OnFramePaint(HWND frame);

  // The keyboard (pc_keys_win.cpp): its messages, true where handled.
  bool HandleKeyboard(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void OnKeyDown(int key, bool repeat);
  void OnKeyUp(int key);
  void OnUpdateUiState(WPARAM wparam);
  void OnSetFocus();
  void OnKillFocus(HWND to);
  void MoveFocus(ControlId to);
  ControlId FocusRectControl() const;
  void InvalidateFocus();
  void PaintFocus(HDC dc);
  void CopyResults();

  // Events, named after the control and the event.
  Status Form_Load();
  void Form_LoadRest();
  void Form_Resize();
  void Form_MouseMove(int button, int shift, float x, float y, bool from_icon);
  void Form_QueryUnload();
  void Form_Unload();
  Status jiance_Click();
  void jiance_MouseMove();
  void Image1_MouseMove();
  Status Image5_Click();
  Status update_Click();
  void mShow_Click();
  void mExit_Click();

  void Restore();
  void PopupMenu();
  [[noreturn]] void End(UINT exit_code = 0);
  // An error that no handler deals with: say so, and end.
  void Check(Status status);
  // A C++ exception that reached the window procedure: like an error no
  // handler deals with. Never returns.
  [[noreturn]] void Fail() noexcept;
  // A system library that could not be loaded on first call: like an
  // error no handler deals with.
  static void LibraryFailed(HRESULT error);
  // The control that takes a click at a client point, or -1.
  int ClickableAt(LPARAM lparam) const;

  void ApplyDpi();
  // The hand cursor and the window's icons as drawn for the window's density.
  void LoadDensityArt();
  // Whether the class's icons are the window's density's, drawing and size.
  bool ClassIconsServe() const;
  void SetWindowIcons();
  // Sizes the window so that its client area is exactly the design's at
  // the window's density, its top-left corner at `x`, `y`.
  void PlaceWindow(int x, int y);
  PixelRect RectOf(int id) const { return ToPixels(kControls[static_cast<std::size_t>(id)].twips, dpi_); }
  void InvalidateControl(int id);
  std::u16string Text(UINT id) const;

  HINSTANCE instance_;
  StartFn start_;
  PlatformFn platform_;
  ProbeFn probe_;
  HWND hwnd_ = nullptr;
  HWND frame1_ = nullptr, frame2_ = nullptr;
  int dpi_ = kDesignDpi;
  UINT taskbar_created_ = 0;
  bool surveying_ = false;
  ClickTracker clicks_;
  KeyTracker keys_;
  ControlId focus_ = kJiance;  // kept while the window is hidden
  bool focus_hidden_ = true;   // until the keyboard is used
  bool loaded_ = false;  // the load handler has run to its end
  bool window_icons_pending_ = false;  // the class's stand in until then

  Captions captions_;
  Visibility visible_;
  Colour jiance_colour_;

  PictureSet pictures_;
  LabelPainter painter_;
  Cursor hand_;
  Icon big_icon_, small_icon_;            // the class's, at the system's density
  Icon window_big_icon_, window_small_icon_;  // the window's, at its own density
  Menu menu_;
  std::unique_ptr<WebView> gonggao_;
  ComPtr<PcAccessible> accessible_;  // made when a reader first asks
};

}  // namespace varnello::ui
