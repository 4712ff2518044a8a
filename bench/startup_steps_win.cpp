// Where the program's start-up goes: each step of it taken in turn in a
// fresh process, with the time it takes and the working set it adds, as
// medians (lowest-highest) over several processes. The window with the
// pictures of the first screen and its first paint come before the first
// idle moment; OLE, the announcement view, the page, the icon and the
// balloon come in one block after it; the progress picture is decoded at
// the first survey and the pictures outside the client area never.
//
// usage: startup_steps [RUNS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tray/tray_win.h"
#include "ui/commands.h"
#include "ui/pc_win.h"
#include "ui/pictures_win.h"
#include "ui/web_view_win.h"

namespace varnello {
namespace {

double WorkingSetMb() {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
}

double NowMs() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1e3 / static_cast<double>(f.QuadPart);
}

// One pass, in a process of its own: one line per step, "name<TAB>ms<TAB>MB".
int Once(const wchar_t* out_path) {
  FILE* out = _wfopen(out_path, L"w");
  if (!out) return 1;
  double t = NowMs(), m = WorkingSetMb();
  auto step = [&](const char* name) {
    const double t1 = NowMs(), m1 = WorkingSetMb();
    std::fprintf(out, "%s\t%.2f\t%.2f\n", name, t1 - t, m1 - m);
    t = NowMs();
    m = WorkingSetMb();
  };
  const HINSTANCE instance = GetModuleHandleW(nullptr);

  // The load timer is never handled here: no message is dispatched.
  auto pc = ui::Pc::Create(instance, SW_SHOWNORMAL, {}, {}, ui::Pc::LoadTiming::kAfterFirstPaint);
  if (!pc) return 2;
  const HWND hwnd = (*pc)->hwnd();
  GdiFlush();
  step("1 window, first screen's pictures, first paint");
  OleInitialize(nullptr);
  step("2 OLE initialisation");
  RECT strip{16, 72, 488, 129};
  auto view = ui::WebView::Create(hwnd, strip, (*pc)->dpi());
  step("3 web view");
  if (view) view->Navigate(std::wstring(L"http://") + L"127.0.0.1:9/vip/hardware/gonggao.html");
  step("4 Navigate");
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::u16string app = ui::AppPathOf(std::u16string(module, module + wcslen(module)));
  const std::u16string icon = ui::IconPathOf(app);
  tray::AddTrayIcon(hwnd, std::wstring(icon.begin(), icon.end()), u"Varnello v1.0");
  step("5 icon");
  tray::ShowBalloon(hwnd, u"欢迎使用Varnello", u"提示", 1);
  step("6 welcome balloon");

  ui::PictureSet pictures;
  if (!pictures.Load(instance)) return 3;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 640, 480);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, canvas);
  step("  (a picture set and a canvas of its own)");
  pictures.Draw(dc, ui::Picture::kProgress, {0, 0, 443, 171});
  step("7 progress picture (first survey)");
  pictures.Draw(dc, ui::Picture::kDarkButton, {0, 0, 88, 28});
  pictures.Draw(dc, ui::Picture::kDarkButtonLow, {0, 0, 88, 24});
  pictures.Draw(dc, ui::Picture::kWhiteBox, {0, 0, 127, 26});
  step("8 pictures outside the client area");
  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
  tray::DeleteTrayIcon();
  std::fclose(out);
  ExitProcess(0);
}

struct Spread {
  double median, low, high;
};

Spread Of(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.front(), v.back()};
}

}  // namespace
}  // namespace varnello

int wmain(int argc, wchar_t** argv) {
  using namespace varnello;
  if (argc == 3 && std::wstring(argv[1]) == L"--once") return Once(argv[2]);
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 9;
  wchar_t self[MAX_PATH], temp[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"varnello-steps.txt";
  std::map<std::string, std::pair<std::vector<double>, std::vector<double>>> steps;
  for (int i = 0; i <= runs; ++i) {  // the first run only loads Wine's DLLs from disk
    std::wstring line = L"\"" + std::wstring(self) + L"\" --once \"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Sleep(2000);  // Wine's cleanup after the process, as in startup_bench
    FILE* f = _wfopen(path.c_str(), L"r");
    if (!f) return 1;
    char name[128];
    double ms, mb;
    while (i > 0 && std::fscanf(f, "%127[^\t]\t%lf\t%lf\n", name, &ms, &mb) == 3) {
      steps[name].first.push_back(ms);
      steps[name].second.push_back(mb);
    }
    std::fclose(f);
  }
  std::printf("steps of start-up, %d processes; medians (lowest-highest)\n", runs);
  for (const auto& [name, columns] : steps) {
    const Spread t = Of(columns.first), m = Of(columns.second);
    std::printf("%-48s %6.1f ms (%.1f-%.1f)  %+5.1f MB (%.1f-%.1f)\n", name.c_str(), t.median, t.low, t.high,
                m.median, m.low, m.high);
  }
  _wremove(path.c_str());
  return 0;
}
