// The announcement strip: the system's WebBrowser control hosted in a window
// through its OLE interfaces. The host keeps the page to itself: no ActiveX
// controls, no Java, no file downloads, no pop-up windows, no context menu,
// no browser keys. It shows the page only once it has loaded from the host
// it was pointed at, and white while loading or after a failure; it never
// navigates off that host.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <oleidl.h>

#include <functional>
#include <memory>
#include <string_view>

#include "survey/com_win.h"

namespace varnello::ui {

// What the host answers for the browser's download-control ambient property.
DWORD WebViewDownloadControl();

class WebHost;

class WebView {
 public:
  // Creates the control in `parent` over `rect` (parent client pixels);
  // nullptr where the system has no browser control.
  static std::unique_ptr<WebView> Create(HWND parent, const RECT& rect);
  ~WebView();
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // Starts loading the page and returns; the control shows it by itself.
  void Navigate(std::wstring_view address);
  void SetRect(const RECT& rect);

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
  DWORD events_cookie_ = 0;
};

// Makes a host object without a browser, for tests. With `browser`, the
// host takes events whose pDisp is that object for the top-level ones, and
// reports through `show` whether the page is shown, and through `stop` that
// it stops the browser.
ComPtr<IUnknown> MakeWebHostForTesting(HWND parent, std::wstring_view page = {}, IUnknown* browser = nullptr,
                                       std::function<void(bool)> show = {}, std::function<void()> stop = {});

}  // namespace varnello::ui
