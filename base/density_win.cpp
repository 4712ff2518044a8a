#include "base/density_win.h"

#include "base/dyn_calls_win.h"
#include "base/win_handles_win.h"

namespace varnello::base {
namespace {

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

int SystemDpi() {
  const int dpi = GetDeviceCaps(ScreenDc().get(), LOGPIXELSX);
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

int DpiOfWindow(HWND hwnd) {
  if (!hwnd) return SystemDpi();
  if (auto of_window = Dyn().GetDpiForWindow.get()) {
    if (UINT dpi = of_window(hwnd)) return static_cast<int>(dpi);
  } else if (auto of_monitor = Dyn().GetDpiForMonitor.get()) {
    UINT x = 0, y = 0;
    HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    if (monitor && SUCCEEDED(of_monitor(monitor, kEffectiveDpi, &x, &y)) && x > 0) return static_cast<int>(x);
  }
  return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
  auto for_dpi = Dyn().GetSystemMetricsForDpi.get();
  return for_dpi ? for_dpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD ex_style, int dpi) {
  if (auto adjust = Dyn().AdjustWindowRectExForDpi.get())
    adjust(&rect, style, FALSE, ex_style, static_cast<UINT>(dpi));
  else
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
}

}  // namespace varnello::base
