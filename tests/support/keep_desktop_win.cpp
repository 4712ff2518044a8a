// Keeps an explorer desktop and its notification area open while the
// program under test comes and goes: Wine closes a desktop when the program
// it was started with ends, and hides an empty notification area. This one
// shows the system's application icon there until it is killed.
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"VarnelloKeepDesktop";
  RegisterClassW(&window_class);
  HWND window = CreateWindowW(L"VarnelloKeepDesktop", L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 7;
  icon.uFlags = NIF_ICON;
  icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  Shell_NotifyIconW(NIM_ADD, &icon);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
