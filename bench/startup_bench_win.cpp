// Start-up cost of a program with a window, against a baseline window
// program, started in turns: the time from process creation to its first
// idle moment after painting (WaitForInputIdle) and the working set at that
// moment, then the working set once it has settled. Medians of the runs with
// their spread, and the two ratios at the first idle moment.
//
// usage: startup_bench PROGRAM.exe BASELINE.exe [RUNS] [SETTLE_MS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
  double ms = 0;
  double idle_mb = 0;    // working set at the first idle moment
  double peak_mb = 0;    // peak working set by then
  double steady_mb = 0;  // working set after settling
  bool shown = false;    // a window of the program was on screen by then
};

BOOL CALLBACK FindShown(HWND hwnd, LPARAM param) {
  auto* pid = reinterpret_cast<DWORD*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != *pid || !IsWindowVisible(hwnd)) return TRUE;
  *pid = 0;
  return FALSE;
}

// Whether the first idle moment came after the window was shown, as it
// should: something that waits for messages earlier would end the wait
// before anything is on screen.
bool ShowsAWindow(DWORD pid) {
  EnumWindows(FindShown, reinterpret_cast<LPARAM>(&pid));
  return pid == 0;
}

double Megabytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

bool Measure(const std::wstring& exe, DWORD settle_ms, Sample* out) {
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
  out->ms = static_cast<double>(t1.QuadPart - t0.QuadPart) * 1e3 / static_cast<double>(f.QuadPart);
  out->shown = ShowsAWindow(pi.dwProcessId);
  out->idle_mb = Megabytes(memory.WorkingSetSize);
  out->peak_mb = Megabytes(memory.PeakWorkingSetSize);
  Sleep(settle_ms);
  GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory);
  out->steady_mb = Megabytes(memory.WorkingSetSize);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // Under Wine the cleanup of an ended process (its windows, its icon, its
  // COM servers) goes on after it has gone and would be charged to
  // whatever starts next.
  Sleep(3000);
  return waited == 0;
}

struct Spread {
  double median, low, high;
};

Spread Of(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  return {median, v.front(), v.back()};
}

template <typename Field>
std::vector<double> Column(const std::vector<Sample>& samples, Field field) {
  std::vector<double> v;
  for (const Sample& s : samples) v.push_back(s.*field);
  return v;
}

void PrintRow(const char* name, const std::vector<Sample>& s) {
  const Spread t = Of(Column(s, &Sample::ms)), m = Of(Column(s, &Sample::idle_mb)),
               p = Of(Column(s, &Sample::peak_mb)), q = Of(Column(s, &Sample::steady_mb));
  std::printf("%-8s first idle %6.1f ms (%.1f-%.1f); working set %5.1f MB (%.1f-%.1f), peak %.1f MB; "
              "settled %5.1f MB (%.1f-%.1f)\n",
              name, t.median, t.low, t.high, m.median, m.low, m.high, p.median, q.median, q.low, q.high);
  int hidden = 0;
  for (const Sample& one : s) hidden += !one.shown;
  if (hidden) std::printf("%-8s WARNING: no window on screen at the first idle moment in %d runs\n", name, hidden);
}

std::wstring Wide(const char* s) { return std::wstring(s, s + std::char_traits<char>::length(s)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_bench PROGRAM.exe BASELINE.exe [RUNS] [SETTLE_MS]\n");
    return 2;
  }
  const std::wstring program = Wide(argv[1]), baseline = Wide(argv[2]);
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 9;
  const DWORD settle = argc > 4 ? static_cast<DWORD>(std::max(0, std::atoi(argv[4]))) : 2500;
  Sample warm;
  Measure(program, 0, &warm);  // the first start of anything pays for loading Wine's DLLs
  Measure(baseline, 0, &warm);
  std::vector<Sample> ps, bs;
  for (int i = 0; i < runs; ++i) {
    // Taking turns at going first, so that neither always follows the other.
    Sample a, b;
    const bool ok = i % 2 ? Measure(baseline, settle, &b) && Measure(program, settle, &a)
                          : Measure(program, settle, &a) && Measure(baseline, settle, &b);
    if (!ok) {
      std::fprintf(stderr, "startup_bench: a program did not become idle\n");
      return 1;
    }
    ps.push_back(a);
    bs.push_back(b);
  }
  std::printf("runs: %d, interleaved; medians (lowest-highest); settled after %lu ms\n", runs,
              static_cast<unsigned long>(settle));
  PrintRow("program", ps);
  PrintRow("baseline", bs);
  const double time = Of(Column(ps, &Sample::ms)).median / Of(Column(bs, &Sample::ms)).median;
  const double memory = Of(Column(ps, &Sample::idle_mb)).median / Of(Column(bs, &Sample::idle_mb)).median;
  std::printf("ratio program / baseline at first idle: time %.2f, working set %.2f\n", time, memory);
  // Each run's two starts share the machine's load of the moment, so
  // their ratio is steadier than that of the medians on a busy machine.
  std::vector<double> paired;
  for (std::size_t i = 0; i < ps.size(); ++i) paired.push_back(ps[i].ms / bs[i].ms);
  const Spread r = Of(paired);
  std::printf("time ratio of each run's pair: median %.2f (%.2f-%.2f)\n", r.median, r.low, r.high);
  return 0;
}
