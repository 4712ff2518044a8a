// The announcement strip: the system's WebBrowser control hosted in a window
// through its OLE interfaces. The host keeps the page to itself: no ActiveX
// controls, no Java, no file downloads, no pop-up windows, no context menu,
// no browser keys. It shows the page only once it has loaded from the host
// it was pointed at, and white while loading or after a failure; it never
// navigates off that host. The page appears at the window's density, with
// no scrollbars, and navigating makes no sound.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <oleidl.h>

#include <functional>
#include <memory>
#include <string_view>

#include "base/com_win.h"

namespace varnello::ui {

// What the host answers for the browser's download-control ambient property.
DWORD WebViewDownloadControl();

class WebHost;

class WebView {
 public:
  // Creates the control in `parent` over `rect` (parent client pixels), for
  // a window at `dpi`; nullptr where the system has no browser control.
  static std::unique_ptr<WebView> Create(HWND parent, const RECT& rect, int dpi);
  ~WebView();
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // Starts loading the page and returns; the control shows it by itself.
  void Navigate(std::wstring_view address);
  void SetRect(const RECT& rect);
  // The window's new density: the page is shown at it.
  void SetDpi(int dpi);

  // A key message from the program's message loop, offered to the browser
  // first as its host must: true when the browser took it, and the loop
  // then neither translates nor dispatches it.
  bool TranslateKey(MSG& message);

  // The browser's own window, whose accessible object stands for the strip.
  HWND window() const;
  // Whether the strip shows the page (otherwise plain white).
  bool PageShown() const;

  // The host object, for tests of what it tells the browser.
  IUnknown* host() const;

 private:
  WebView() = default;
  ComPtr<WebHost> host_;
  ComPtr<IOleObject> object_;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<IOleInPlaceActiveObject> active_;
  DWORD events_cookie_ = 0;
};

// Offers a key message aimed at the browser's window or one inside it to
// the browser's active object, which passes it to the host's key filter
// before acting on it. True when it was taken.
bool ForwardKeyToBrowser(IOleInPlaceActiveObject* active, HWND browser_window, MSG& message);

// Makes a host object without a browser, for tests. With `browser`, the
// host takes events whose pDisp is that object for the top-level ones, and
// reports through `show` whether the page is shown, through `stop` that it
// stops the browser, and through `zoom` the optical zoom it sets.
ComPtr<IUnknown> MakeWebHostForTesting(HWND parent, std::wstring_view page = {}, IUnknown* browser = nullptr,
                                       std::function<void(bool)> show = {}, std::function<void()> stop = {},
                                       std::function<void(int)> zoom = {});
// Tells a host made by MakeWebHostForTesting the window's and the system's
// densities.
void SetWebHostDpiForTesting(IUnknown* host, int dpi, int system_dpi);

}  // namespace varnello::ui
