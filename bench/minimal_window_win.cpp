// The yardstick for start-up: the least a Win32 program with a window of
// Varnello's kind does, one window of the same client size with a caption
// and one label in 宋体, the font every label of Varnello uses.
#include <windows.h>

namespace {

HFONT g_font = nullptr;

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HGDIOBJ old = SelectObject(dc, g_font);
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 376, 320, L"  开始检测", 6);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  g_font = CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
  WNDCLASSW c{};
  c.lpfnWndProc = Proc;
  c.hInstance = instance;
  c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  c.lpszClassName = L"Minimal";
  RegisterClassW(&c);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r{0, 0, MulDiv(477, dpi, 96), MulDiv(373, dpi, 96)};
  AdjustWindowRect(&r, style, FALSE);
  HWND hwnd = CreateWindowW(L"Minimal", L"Minimal", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                            r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  DeleteObject(g_font);
  return 0;
}
