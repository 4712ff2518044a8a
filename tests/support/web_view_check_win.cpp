// Points the announcement view at an address with the system's real browser
// control, handles messages for a bounded time, and prints what came of it
// as one JSON line: whether the view could be made, whether it showed the
// page at any time and at the end, whether the browser's window is visible,
// and the titles of any other windows that appeared on the display (a
// dialog of the engine's, of this process or of one it started).
//
// usage: web_view_check ADDRESS SECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/utf.h"
#include "ui/web_view_win.h"

namespace {

HWND g_main = nullptr;

BOOL CALLBACK NoteForeign(HWND hwnd, LPARAM out) {
  if (hwnd == g_main || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(hwnd, title, 256);
  auto* titles = reinterpret_cast<std::vector<std::u16string>*>(out);
  std::u16string t(title, title + wcslen(title));
  for (const auto& seen : *titles)
    if (seen == t) return TRUE;
  titles->push_back(t);
  return TRUE;
}

BOOL CALLBACK AnyVisibleChild(HWND hwnd, LPARAM out) {
  if (IsWindowVisible(hwnd)) *reinterpret_cast<bool*>(out) = true;
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const DWORD seconds = static_cast<DWORD>(_wtoi(argv[2]));
  if (FAILED(OleInitialize(nullptr))) return 3;
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"WebViewCheck";
  RegisterClassW(&wc);
  g_main = CreateWindowW(L"WebViewCheck", L"web view check", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                         520, 200, nullptr, nullptr, wc.hInstance, nullptr);
  HWND frame = CreateWindowW(L"WebViewCheck", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 16, 72, 453, 20, g_main,
                             nullptr, wc.hInstance, nullptr);
  RECT rect{-2, -2, 470, 55};
  std::vector<std::u16string> foreign;
  bool shown_once = false;
  {
    auto view = varnello::ui::WebView::Create(frame, rect, 96);
    if (view) view->Navigate(argv[1]);
    const DWORD until = GetTickCount() + seconds * 1000;
    while (GetTickCount() < until) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
      EnumWindows(NoteForeign, reinterpret_cast<LPARAM>(&foreign));
      if (view && view->PageShown()) shown_once = true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    bool browser_visible = false;
    EnumChildWindows(frame, AnyVisibleChild, reinterpret_cast<LPARAM>(&browser_visible));
    std::string out = std::string("{\"view\": ") + (view ? "true" : "false") +
                      ", \"shown\": " + (view && view->PageShown() ? "true" : "false") +
                      ", \"shown_once\": " + (shown_once ? "true" : "false") +
                      ", \"browser_window_visible\": " + (browser_visible ? "true" : "false") + ", \"dialogs\": [";
    for (std::size_t i = 0; i < foreign.size(); ++i) out += (i ? ", " : "") + varnello::JsonQuote(foreign[i]);
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
  }
  DestroyWindow(g_main);
  OleUninitialize();
  return 0;
}
