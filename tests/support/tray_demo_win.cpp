// The three icon operations on their own, stepped from outside: adds the
// icon, shows a Chinese balloon once the file "balloon" exists in FOLDER,
// deletes the icon once "delete" exists, and ends.
//   tray_demo FOLDER
#include <windows.h>

#include <string>

#include "tray/tray_win.h"

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void PumpUntil(const std::wstring& path) {
  const DWORD until = GetTickCount() + 120000;
  while (!Exists(path) && GetTickCount() < until) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(50);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int) {
  const std::wstring folder = command_line;
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"VarnelloTrayDemo";
  RegisterClassW(&window_class);
  HWND window = CreateWindowW(L"VarnelloTrayDemo", L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);

  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring icon = module;
  icon = icon.substr(0, icon.find_last_of(L'\\')) + L"\\icon.ico";

  varnello::tray::AddTrayIcon(window, icon, u"Varnello v1.0");
  PumpUntil(folder + L"\\balloon");
  varnello::tray::ShowBalloon(window, u"欢迎使用Varnello", u"提示", 1);
  PumpUntil(folder + L"\\delete");
  varnello::tray::DeleteTrayIcon();
  return 0;
}
