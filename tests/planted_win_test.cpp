// Programs and libraries planted beside the program and in the current
// folder never run in its place: the survey's commands and the home page
// command find the system's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/com_win.h"
#include "survey/run_survey.h"
#include "survey/wmi_platform_win.h"
#include "ui/commands.h"
#include "ui/launch_win.h"

namespace varnello {
namespace {

const wchar_t* const kPlanted[] = {L"explorer.exe", L"regsvr32.exe", L"sc.exe", L"net.exe"};
const wchar_t kPlantedLibrary[] = L"varnello-marker.dll";

// The survey's three commands, as the survey runs them.
const wchar_t* const kCommands[] = {L"%comspec% /c regsvr32 /s scrrun.dll", L"%comspec% /c sc config winmgmt start= auto",
                                    L"%comspec% /c net start winmgmt"};

class QuietDisplay final : public SurveyDisplay {
 public:
  Status SetCaption(ResultLabel, std::u16string_view) override { return {}; }
  Status SetProgressVisible(bool) override { return {}; }
  Status ShowNotice(std::u16string_view, std::u16string_view, std::int32_t) override { return {}; }
};

// In the copy beside the planted programs, started from the planted folder:
// what the program does at start, a survey, and the home page command.
int Child(const wchar_t* report_path) {
  ui::LimitSearchPaths();
  FILE* report = _wfopen(report_path, L"w");
  if (!report) return 4;
  std::fprintf(report, "library %d\n", LoadLibraryW(kPlantedLibrary) != nullptr);
  if (FAILED(OleInitialize(nullptr))) return 5;
  QuietDisplay display;
  WmiPlatform platform;
  (void)RunSurvey(display, platform);
  // The same commands again, waited for, to see which program answered.
  if (auto shell = CreateFromProgId(L"wscript.shell")) {
    for (const wchar_t* command : kCommands) {
      std::vector<Variant> args;
      args.emplace_back(command);
      args.push_back(Variant::Int(0));
      args.push_back(Variant::Bool(true));
      auto code = CallByName(shell->get(), L"run", std::move(args));
      std::fprintf(report, "exit %ld\n", code && code->get().vt == VT_I4 ? static_cast<long>(code->get().lVal) : -1L);
    }
  }
  const Status home = ui::StartInWindowsFolder(Wide(ui::HomePageCommand()), ui::kMinimizedFocus);
  std::fprintf(report, "explorer %s\n", home ? "started" : "failed");
  std::fclose(report);
  OleUninitialize();
  return 0;
}

// An empty folder of that name in the temporary folder.
std::wstring TempFolder(const wchar_t* name) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory(folder);
  return folder.wstring();
}

std::vector<std::string> FilesIn(const std::wstring& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(PlantedPrograms, NeverRunTheSystemsOwnDo) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring here(self);
  here = here.substr(0, here.find_last_of(L'\\'));
  const std::wstring marker = here + L"\\marker.exe";
  ASSERT_NE(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "marker.exe beside the test";

  // A downloads folder with the program and the plants, and a current
  // folder holding plants too.
  const std::wstring app = TempFolder(L"varnello-planted-app"), current = TempFolder(L"varnello-planted-cwd"),
                     marks = TempFolder(L"varnello-planted-marks");
  const std::wstring program = app + L"\\planted_tests.exe";
  ASSERT_TRUE(CopyFileW(self, program.c_str(), FALSE));
  for (const wchar_t* name : kPlanted)
    for (const std::wstring& folder : {app, current})
      ASSERT_TRUE(CopyFileW(marker.c_str(), (folder + L"\\" + name).c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(marker.c_str(), (current + L"\\" + kPlantedLibrary).c_str(), FALSE));
  SetEnvironmentVariableW(L"VARNELLO_MARKER_DIR", marks.c_str());

  const std::wstring report = marks + L"-report.txt";
  std::wstring line = L"\"" + program + L"\" --child \"" + report + L"\"";
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

  EXPECT_EQ(FilesIn(marks), std::vector<std::string>{}) << "planted programs that ran";
  std::vector<std::string> lines;
  if (FILE* f = _wfopen(report.c_str(), L"r")) {
    char buf[128];
    while (std::fgets(buf, sizeof buf, f)) lines.emplace_back(buf, strcspn(buf, "\n"));
    std::fclose(f);
  }
  DeleteFileW(report.c_str());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "library 0") << "a library in the current folder was loaded";
  // The system's programs answered: regsvr32 succeeds; sc and net are
  // neither the plant (77) nor missing (9009). (Wine's sc knows no "config"
  // and fails; its net fails on a service already started.)
  EXPECT_EQ(lines[1], "exit 0");
  for (int i : {2, 3}) {
    EXPECT_NE(lines[i], "exit 77");
    EXPECT_NE(lines[i], "exit 9009");
    EXPECT_NE(lines[i], "exit -1");
  }
  EXPECT_EQ(lines[4], "explorer started");
}

}  // namespace
}  // namespace varnello

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--child") return varnello::Child(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
