// Start-up cost of a program with a window, against a minimal Win32 window
// program: the time from process creation to its first idle moment after
// painting (WaitForInputIdle), and the peak working set by then, as medians
// of interleaved runs and their ratio.
//
// usage: startup_bench PROGRAM.exe MINIMAL.exe [RUNS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
  double seconds;
  double peak_mb;
};

bool Measure(const std::wstring& exe, Sample* out) {
  std::wstring line = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  const DWORD waited = WaitForInputIdle(pi.hProcess, 60000);
  QueryPerformanceCounter(&t1);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // Under Wine the cleanup of an ended process (its windows, its icon, its
  // COM servers) goes on after it has gone and would be charged to
  // whatever starts next.
  Sleep(3000);
  out->seconds = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
  out->peak_mb = static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
  return waited == 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::wstring Wide(const char* s) { return std::wstring(s, s + std::char_traits<char>::length(s)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_bench PROGRAM.exe MINIMAL.exe [RUNS]\n");
    return 2;
  }
  const std::wstring program = Wide(argv[1]), minimal = Wide(argv[2]);
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 9;
  Sample warm;
  Measure(program, &warm);  // the first start of anything pays for loading Wine's DLLs
  Measure(minimal, &warm);
  std::vector<double> pt, pm, mt, mm;
  for (int i = 0; i < runs; ++i) {
    Sample a, b;
    if (!Measure(program, &a) || !Measure(minimal, &b)) {
      std::fprintf(stderr, "startup_bench: a program did not become idle\n");
      return 1;
    }
    pt.push_back(a.seconds);
    pm.push_back(a.peak_mb);
    mt.push_back(b.seconds);
    mm.push_back(b.peak_mb);
  }
  std::printf("runs: %d, interleaved\n", runs);
  std::printf("program: first paint %.1f ms, peak working set %.1f MB\n", Median(pt) * 1e3, Median(pm));
  std::printf("minimal: first paint %.1f ms, peak working set %.1f MB\n", Median(mt) * 1e3, Median(mm));
  std::printf("ratio program / minimal: time %.2f, memory %.2f\n", Median(pt) / Median(mt), Median(pm) / Median(mm));
  return 0;
}
