// Sends one command to a running Varnello test build and waits for it to be
// handled: probe_client [--desktop NAME] dump OUT.json | caption NAME TEXT |
// frame1 0|1. Arguments are taken as UTF-8. "syscommand minimize" chooses
// that command of the window's system menu, as a user would, in any build
// and whatever Wine draws where. "tray" prints where the
// notification area's window is on screen: left top right bottom. Exits 0 when the program handled
// it. A program inside `explorer /desktop=NAME` is found on that desktop.
// An argument "hex:<hex digits>" stands for the UTF-8 bytes it spells: Wine
// without a system locale passes only ASCII command lines through intact.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr ULONG_PTR kProbeMagic = 0x56524E4C;
}

namespace {
std::string Unhex(const std::string& arg) {
  if (arg.rfind("hex:", 0) != 0) return arg;
  std::string out;
  for (std::size_t i = 4; i + 1 < arg.size(); i += 2) out += static_cast<char>(std::stoi(arg.substr(i, 2), nullptr, 16));
  return out;
}

std::string Utf8(const wchar_t* s) {
  int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s, -1, out.data(), n, nullptr, nullptr);
  return out;
}
}  // namespace

int main() {
  // The arguments as Unicode: the ANSI ones would have lost what the code
  // page cannot hold.
  int argc = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Unhex(Utf8(wide[i])));
  LocalFree(wide);
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "--desktop") {
    HDESK desktop = OpenDesktopA(argv[2], 0, FALSE, GENERIC_ALL);
    if (!desktop || !SetThreadDesktop(desktop)) {
      std::fprintf(stderr, "probe_client: no desktop %s\n", argv[2]);
      return 1;
    }
    first = 3;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: probe_client [--desktop NAME] COMMAND [ARGS...]\n");
    return 2;
  }
  if (args[first] == "tray") {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT r;
    if (!tray || !IsWindowVisible(tray) || !GetWindowRect(tray, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  std::string command = argv[first];
  for (int i = first + 1; i < argc; ++i) command += std::string("\t") + argv[i];
  HWND window = nullptr;
  for (int tries = 0; tries < 40 && !window; ++tries) {
    window = FindWindowW(L"VarnelloPc", nullptr);
    if (!window) Sleep(50);
  }
  if (!window) {
    std::fprintf(stderr, "probe_client: no Varnello window\n");
    return 1;
  }
  if (args[first] == "syscommand" && argc == first + 2) {
    const std::string which = args[first + 1];
    return which == "minimize" && PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0) ? 0 : 2;
  }
  COPYDATASTRUCT data{kProbeMagic, static_cast<DWORD>(command.size()), command.data()};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 60000,
                           &result))
    return 1;
  return result ? 0 : 1;
}
