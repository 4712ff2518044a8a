// Sends one command to a running Varnello test build and waits for it to be
// handled: probe_client [--desktop NAME] dump OUT.json | caption NAME TEXT |
// frame1 0|1. Arguments are taken as UTF-8. Exits 0 when the program handled
// it. A program inside `explorer /desktop=NAME` is found on that desktop.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
constexpr ULONG_PTR kProbeMagic = 0x56524E4C;
}

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
  if (argc <= first) {
    std::fprintf(stderr, "usage: probe_client [--desktop NAME] COMMAND [ARGS...]\n");
    return 2;
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
  COPYDATASTRUCT data{kProbeMagic, static_cast<DWORD>(command.size()), command.data()};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 60000,
                           &result))
    return 1;
  return result ? 0 : 1;
}
