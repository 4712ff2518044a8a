// The yardstick for start-up: the least a Win32 program with a window does,
// one window with a caption and a painted text.
#include <windows.h>

namespace {
LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    TextOutW(dc, 10, 10, L"minimal", 7);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSW c{};
  c.lpfnWndProc = Proc;
  c.hInstance = instance;
  c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  c.lpszClassName = L"Minimal";
  RegisterClassW(&c);
  HWND hwnd = CreateWindowW(L"Minimal", L"Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 477, 373,
                            nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
