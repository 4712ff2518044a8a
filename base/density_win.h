// Screen densities, in dots per inch, as each Windows version can tell them.
#pragma once

#include <windows.h>

namespace varnello::base {

constexpr int kDefaultDpi = 96;

// The density a window is shown at: its own (Windows 10 1607 and later),
// else its monitor's (8.1 and later, for a per-monitor aware program),
// else the system's, the one density of XP to 8. Without a window, the
// system's.
int DpiOfWindow(HWND hwnd);

// A system metric at a density; before Windows 10 there is only the
// system's own.
int SystemMetricForDpi(int index, int dpi);

// The window rectangle around a client rectangle at a density.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD ex_style, int dpi);

}  // namespace varnello::base
