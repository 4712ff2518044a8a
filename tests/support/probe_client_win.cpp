// Sends one command to a running Varnello test build and waits for it to be
// handled; exits 0 when the program handled it. A program inside
// `explorer /desktop=NAME` is found on that desktop.
//   probe_client [--desktop NAME] dump OUT.json | caption NAME TEXT | frame1 0|1 | dpi DPI
//   ... syscommand minimize  chooses that command of the window's system
//       menu, as a user would, whatever Wine draws where
//   ... tray  prints where the notification area's window is: left top right bottom
// Arguments are ASCII: Wine without a system locale passes no other
// command lines through intact.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/probe_win.h"

int main(int argc, char** argv) {
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "--desktop") {
    HDESK desktop = OpenDesktopA(argv[2], 0, FALSE, GENERIC_ALL);
    if (!desktop || !SetThreadDesktop(desktop)) {
      std::fprintf(stderr, "probe_client: no desktop %s\n", argv[2]);
      return 1;
    }
    first = 3;
  }
  if (argc <= first) return 2;
  const std::string what = argv[first];
  if (what == "tray") {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT r;
    if (!tray || !IsWindowVisible(tray) || !GetWindowRect(tray, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  HWND window = nullptr;
  for (int tries = 0; tries < 40 && !window; ++tries) {
    window = FindWindowW(L"VarnelloPc", nullptr);
    if (!window) Sleep(50);
  }
  if (!window) {
    std::fprintf(stderr, "probe_client: no Varnello window\n");
    return 1;
  }
  if (what == "syscommand") return PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0) ? 0 : 2;
  std::string command = what;
  for (int i = first + 1; i < argc; ++i) command += std::string("\t") + argv[i];
  COPYDATASTRUCT data{varnello::ui::kProbeMagic, static_cast<DWORD>(command.size()), command.data()};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 60000,
                           &result))
    return 1;
  return result ? 0 : 1;
}
