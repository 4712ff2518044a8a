#include "ui/strip.h"

#include "ui/address.h"

namespace varnello::ui {

int PageZoomPercent(int window_dpi, int system_dpi) {
  if (window_dpi <= 0 || system_dpi <= 0) return 100;
  const long long percent = (200LL * window_dpi + system_dpi) / (2LL * system_dpi);  // rounded
  return static_cast<int>(percent < 10 ? 10 : percent > 1000 ? 1000 : percent);
}

void StripState::PointAt(std::u16string_view page) {
  page_ = std::u16string(page);
  shown_ = false;
  failed_ = false;
}

bool StripState::BeforeNavigate(std::u16string_view url, bool top_level) {
  if (!OnHostOf(url, page_)) return false;
  if (top_level) {
    shown_ = false;  // white until the new page has loaded
    failed_ = false;
  }
  return true;
}

void StripState::NavigateError(bool top_level) {
  if (!top_level) return;  // a frame of the page: the page itself stands
  failed_ = true;
  shown_ = false;
}

bool StripState::NavigateComplete(std::u16string_view url, bool top_level) {
  if (!top_level || OnHostOf(url, page_)) return false;
  failed_ = true;
  shown_ = false;
  return true;
}

void StripState::DocumentComplete(std::u16string_view url, bool top_level) {
  if (!top_level) return;
  shown_ = !failed_ && OnHostOf(url, page_);
}

}  // namespace varnello::ui
