// How much the survey costs over the bare service: times whole surveys
// (without the preparation commands) against the same ten listings made
// directly through IWbemServices, reading the same properties and
// formatting nothing, and against the survey from the system's own sources
// (as where WMI cannot be bound), interleaved in one process; then times
// each of the three preparation commands on its own.
//
// usage: survey_bench [ROUNDS]
#include <wbemidl.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/com_win.h"
#include "survey/run_survey.h"
#include "survey/wmi_platform_win.h"

namespace {

using namespace varnello;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

class NullDisplay final : public SurveyDisplay {
 public:
  Status SetCaption(ResultLabel, std::u16string_view) override { return {}; }
  Status SetProgressVisible(bool) override { return {}; }
  Status ShowNotice(std::u16string_view, std::u16string_view, std::int32_t) override { return {}; }
};

// The survey's platform without the shell object, so that no preparation
// command runs; WMI's connections or the native ones.
class NoShellPlatform final : public SurveyPlatform {
 public:
  explicit NoShellPlatform(bool native) : native_(native) {}
  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view) override {
    return Error{hr::kFail};
  }
  Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view moniker) override {
    if (native_) return NativeSourcesConnection();
    return wmi_.GetObject(moniker);
  }
  NumberFormat Format() const override { return wmi_.Format(); }

 private:
  bool native_;
  WmiPlatform wmi_;
};

struct Listing {
  const wchar_t* query;
  long flags;
  std::vector<const wchar_t*> properties;
};

const std::vector<Listing> kListings = {
    {L"select * from Win32_OperatingSystem", 0, {L"Caption"}},
    {L"select * from win32_baseboard", 0, {L"Manufacturer", L"Product"}},
    {L"Select * from Win32_BIOS", 0, {L"Version"}},
    {L"select * from win32_processor", 0, {L"Name"}},
    {L"select * from win32_videocontroller", 48, {L"Description"}},
    {L"Select * from Win32_SoundDevice", 0, {L"ProductName"}},
    {L"Select * from Win32_NetworkAdapter", 48, {L"NetConnectionID", L"Name"}},
    {L"Select * from Win32_PhysicalMemory", 48, {L"Capacity"}},
    {L"select * from win32_computersystem", 0, {}},
    {L"select * from win32_diskdrive", 0, {L"Size", L"Model"}},
};

// The ten listings straight through IWbemServices: connect, query, read.
bool RawListings(int* rows_read) {
  ComPtr<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.ReceiveVoid())))
    return false;
  Bstr ns(L"root\\cimv2");
  ComPtr<IWbemServices> services;
  if (FAILED(locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.Receive())))
    return false;
  CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  Bstr wql(L"WQL");
  for (const Listing& listing : kListings) {
    Bstr query(listing.query);
    ComPtr<IEnumWbemClassObject> rows;
    if (FAILED(services->ExecQuery(wql.get(), query.get(), listing.flags, nullptr, rows.Receive()))) continue;
    for (;;) {
      ComPtr<IWbemClassObject> row;
      ULONG returned = 0;
      if (rows->Next(static_cast<long>(WBEM_INFINITE), 1, row.Receive(), &returned) != S_OK || !returned) break;
      ++*rows_read;
      for (const wchar_t* property : listing.properties) {
        Variant value;
        row->Get(property, 0, value.Receive(), nullptr, nullptr);
      }
    }
  }
  return true;
}

double TimeCommand(IDispatch* shell, const wchar_t* command, bool wait) {
  std::vector<Variant> args;
  args.emplace_back(command);
  args.push_back(Variant::Int(0));
  if (wait) args.push_back(Variant::Bool(true));
  double start = Now();
  auto result = CallByName(shell, L"run", std::move(args));
  double elapsed = Now() - start;
  return result ? elapsed : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  ComApartment com;

  // One of each before measuring: the first connection loads the provider.
  NullDisplay display;
  NoShellPlatform platform(false), native_platform(true);
  int rows = 0;
  (void)RunSurvey(display, platform);
  (void)RunSurvey(display, native_platform);
  if (!RawListings(&rows)) {
    std::fprintf(stderr, "survey_bench: IWbemServices unavailable\n");
    return 1;
  }

  std::vector<double> survey, raw, native;
  for (int i = 0; i < rounds; ++i) {
    double t0 = Now();
    (void)RunSurvey(display, platform);
    double t1 = Now();
    rows = 0;
    RawListings(&rows);
    double t2 = Now();
    (void)RunSurvey(display, native_platform);
    double t3 = Now();
    survey.push_back(t1 - t0);
    raw.push_back(t2 - t1);
    native.push_back(t3 - t2);
  }
  const double s = Median(survey), r = Median(raw), n = Median(native);
  std::printf("rounds: %d, rows per raw pass: %d\n", rounds, rows);
  std::printf("survey without preparation: median %.2f ms (min %.2f)\n", s * 1e3,
              *std::min_element(survey.begin(), survey.end()) * 1e3);
  std::printf("raw IWbemServices listings: median %.2f ms (min %.2f)\n", r * 1e3,
              *std::min_element(raw.begin(), raw.end()) * 1e3);
  std::printf("ratio survey / raw: %.2f\n", s / r);
  std::printf("survey from the system's own sources: median %.2f ms (min %.2f)\n", n * 1e3,
              *std::min_element(native.begin(), native.end()) * 1e3);
  std::printf("ratio own sources / survey: %.2f\n", n / s);

  auto shell = CreateFromProgId(L"wscript.shell");
  if (!shell) {
    std::printf("preparation commands: no shell object\n");
    return 0;
  }
  std::printf("preparation commands (one run each):\n");
  std::printf("  regsvr32 /s scrrun.dll, awaited:      %.1f ms\n",
              TimeCommand(shell->get(), L"%comspec% /c regsvr32 /s scrrun.dll", true) * 1e3);
  std::printf("  sc config winmgmt start= auto, awaited: %.1f ms\n",
              TimeCommand(shell->get(), L"%comspec% /c sc config winmgmt start= auto", true) * 1e3);
  std::printf("  net start winmgmt, started only:      %.1f ms\n",
              TimeCommand(shell->get(), L"%comspec% /c net start winmgmt", false) * 1e3);
  std::printf("  net start winmgmt, if awaited:        %.1f ms\n",
              TimeCommand(shell->get(), L"%comspec% /c net start winmgmt", true) * 1e3);
  return 0;
}
