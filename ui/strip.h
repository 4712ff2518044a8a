// What the announcement strip shows, driven by the browser's navigation
// events: plain white while a page loads and whenever it cannot be loaded,
// the page once it has loaded from the host of the announcement page. The
// strip never leaves that host.
#pragma once

#include <string>
#include <string_view>

namespace varnello::ui {

// The browser's optical zoom, in per cent, that shows the page at a
// window's density. Told that its host is aware of densities, the browser
// already scales pages by the system's; the zoom makes up only what the
// window's differs from that (a monitor of another density), so that the
// page is never scaled twice. Within the 10 to 1000 the browser takes.
int PageZoomPercent(int window_dpi, int system_dpi);

class StripState {
 public:
  // `page`: the address the strip is pointed at; its host is the only one
  // the strip may show.
  void PointAt(std::u16string_view page);

  // A navigation is about to start (a link, a script, a refresh, the
  // program itself). False: cancel it, it leads off the host.
  bool BeforeNavigate(std::u16string_view url, bool top_level);
  // The page or a frame could not be loaded (no network, name not found,
  // HTTP error status, time-out). The browser's own error page is refused.
  void NavigateError(bool top_level);
  // The browser has started showing `url`. True: stop it, it is off the
  // host (a server's redirect, which raises no BeforeNavigate).
  bool NavigateComplete(std::u16string_view url, bool top_level);
  // The document at `url` has loaded.
  void DocumentComplete(std::u16string_view url, bool top_level);

  // Whether the strip shows the browser's page; otherwise plain white.
  bool page_shown() const { return shown_; }

 private:
  std::u16string page_;
  bool shown_ = false;
  bool failed_ = false;
};

}  // namespace varnello::ui
