// Programs and libraries planted beside the program and in the current
// folder never run in its place: the survey's commands and the home page
// command find the system's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/com_win.h"
#include "survey/run_survey.h"
#include "survey/wmi_platform_win.h"
#include "ui/commands.h"
#include "ui/launch_win.h"

namespace varnello {
namespace {

namespace fs = std::filesystem;

class QuietDisplay final : public SurveyDisplay {
 public:
  Status SetCaption(ResultLabel, std::u16string_view) override { return {}; }
  Status SetProgressVisible(bool) override { return {}; }
  Status ShowNotice(std::u16string_view, std::u16string_view, std::int32_t) override { return {}; }
};

// In the copy beside the planted programs, started from the planted folder:
// what the program does at start, a survey, the survey's commands again,
// waited for, to see which program answered, and the home page command.
int Child(const wchar_t* report_path) {
  ui::LimitSearchPaths();
  FILE* report = _wfopen(report_path, L"w");
  if (!report || FAILED(OleInitialize(nullptr))) return 4;
  std::fprintf(report, "library %d\n", LoadLibraryW(L"varnello-marker.dll") != nullptr);
  QuietDisplay display;
  WmiPlatform platform;
  (void)RunSurvey(display, platform);
  if (auto shell = CreateFromProgId(L"wscript.shell")) {
    for (const wchar_t* command : {L"%comspec% /c regsvr32 /s scrrun.dll", L"%comspec% /c sc config winmgmt start= auto",
                                   L"%comspec% /c net start winmgmt"}) {
      std::vector<Variant> args;
      args.emplace_back(command);
      args.push_back(Variant::Int(0));
      args.push_back(Variant::Bool(true));
      auto code = CallByName(shell->get(), L"run", std::move(args));
      std::fprintf(report, "exit %ld\n", code && code->get().vt == VT_I4 ? static_cast<long>(code->get().lVal) : -1L);
    }
  }
  const bool home = ui::StartInWindowsFolder(Wide(ui::HomePageCommand()), ui::kMinimizedFocus).ok();
  std::fprintf(report, "explorer %s\n", home ? "started" : "failed");
  std::fclose(report);
  OleUninitialize();
  return 0;
}

// An empty folder of that name in the temporary folder.
fs::path TempFolder(const wchar_t* name) {
  const fs::path folder = fs::temp_directory_path() / name;
  fs::remove_all(folder);
  fs::create_directory(folder);
  return folder;
}

TEST(PlantedPrograms, NeverRunTheSystemsOwnDo) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path marker = fs::path(self).parent_path() / L"marker.exe";
  ASSERT_TRUE(fs::exists(marker)) << "marker.exe beside the test";

  // A downloads folder with the program and the plants, and a current
  // folder holding plants too.
  const fs::path app = TempFolder(L"varnello-planted-app"), current = TempFolder(L"varnello-planted-cwd"),
                 marks = TempFolder(L"varnello-planted-marks");
  const fs::path program = app / L"planted_tests.exe", report = marks.wstring() + L"-report.txt";
  fs::copy_file(self, program);
  for (const wchar_t* name : {L"explorer.exe", L"regsvr32.exe", L"sc.exe", L"net.exe"})
    for (const fs::path& folder : {app, current}) fs::copy_file(marker, folder / name);
  fs::copy_file(marker, current / L"varnello-marker.dll");
  SetEnvironmentVariableW(L"VARNELLO_MARKER_DIR", marks.c_str());

  std::wstring line = L"\"" + program.wstring() + L"\" --child \"" + report.wstring() + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, current.c_str(), &si,
                             &pi));
  const bool ended = WaitForSingleObject(pi.hProcess, 180000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(pi.hProcess, 1);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_TRUE(ended) << "the child did not end in time";
  EXPECT_EQ(code, 0u);

  EXPECT_TRUE(fs::is_empty(marks)) << "a planted program ran";
  std::vector<std::string> lines;
  std::ifstream in(report);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  in.close();
  fs::remove(report);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "library 0") << "a library in the current folder was loaded";
  // The system's programs answered: regsvr32 succeeds; sc and net are
  // neither the plant (77) nor missing (9009). (Wine's sc knows no "config"
  // and fails; its net fails on a service already started.)
  EXPECT_EQ(lines[1], "exit 0");
  for (int i : {2, 3})
    for (const char* wrong : {"exit 77", "exit 9009", "exit -1"}) EXPECT_NE(lines[i], wrong);
  EXPECT_EQ(lines[4], "explorer started");
}

}  // namespace
}  // namespace varnello

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--child") return varnello::Child(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
