#include "survey/run_survey.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/utf.h"
#include "tests/support/fake_survey.h"

namespace varnello {
namespace {

using testing::FakeListing;
using testing::FakeRow;
using testing::FakeService;
using testing::OneRowService;
using testing::RecordingDisplay;

constexpr char kMain[] = R"(winmgmts:\\.\root\cimv2)";

const std::u16string kOs = u"Win32_OperatingSystem";
const std::u16string kBoard = u"select * from win32_baseboard";
const std::u16string kBios = u"Select * from Win32_BIOS";
const std::u16string kCpu = u"select * from win32_processor";
const std::u16string kVideo = u"select * from win32_videocontroller";
const std::u16string kSound = u"Select * from Win32_SoundDevice";
const std::u16string kAdapter = u"Select * from Win32_NetworkAdapter";
const std::u16string kMemory = u"Select * from Win32_PhysicalMemory";
const std::u16string kSystem = u"win32_computersystem";
const std::u16string kDrive = u"select * from win32_diskdrive";

std::string Shown(const RecordingDisplay& d, ResultLabel label) { return ToUtf8(d.Shown(label)); }

std::vector<std::string> CaptionsOf(const RecordingDisplay& d, ResultLabel label) {
  std::vector<std::string> out;
  const std::string prefix = std::string("SetCaption\t") + LabelName(label) + "\t";
  for (const auto& c : d.calls)
    if (c.rfind(prefix, 0) == 0) out.push_back(c.substr(prefix.size()));
  return out;
}

// The texts a one-row survey leaves in the labels, in the labels' order.
const std::vector<std::string> kOneRowTexts = {
    "系统：Microsoft Windows XP Professional",
    "ASUSTeK Computer INC.型号:P5KPL-AM",
    "版本:A_M_I_ - 8000906",
    "Intel(R) Core(TM)2 Duo CPU     E7500  @ 2.93GHz",
    "NVIDIA GeForce 9500 GT",
    "Realtek High Definition Audio",
    "Realtek RTL8168C(P)/8111C(P) PCI-E Gigabit Ethernet NIC",
    "2048 MB / 1条",
    "465.76 GB 型号:WDC WD5000AAKS-00A7B0",
};
const std::string& FirstText(ResultLabel label) { return kOneRowTexts[static_cast<std::size_t>(label)]; }

const std::vector<std::string> kNoticesAndFrame = {"ShowNotice\t检测中请稍等……\t提示\t1", "SetProgressVisible\ttrue",
                                                   "SetProgressVisible\tfalse", "ShowNotice\t检测完毕\t提示\t1"};

std::vector<std::string> NoticesAndFrame(const RecordingDisplay& d) {
  std::vector<std::string> out;
  for (const auto& c : d.calls)
    if (c.rfind("SetCaption\t", 0) != 0) out.push_back(c);
  return out;
}

// A second survey, on labels a first one-row survey filled, against a
// one-row service changed by `change`.
RecordingDisplay SecondRun(const std::function<void(FakeService&)>& change) {
  RecordingDisplay display;
  FakeService first = OneRowService();
  EXPECT_TRUE(RunSurvey(display, first).ok());
  display.calls.clear();
  FakeService service = OneRowService();
  change(service);
  EXPECT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(NoticesAndFrame(display), kNoticesAndFrame) << "whatever fails, the notices and the frame";
  EXPECT_EQ(*service.live, 0) << "objects of the run outlived it";
  return display;
}

TEST(RunSurvey, OneRowPerListingGivesExactlyThisSequence) {
  FakeService service = OneRowService();
  RecordingDisplay display;
  ASSERT_TRUE(RunSurvey(display, service).ok());

  std::vector<std::string> expected = {"ShowNotice\t检测中请稍等……\t提示\t1", "SetProgressVisible\ttrue"};
  for (std::size_t i = 0; i < kOneRowTexts.size(); ++i)
    expected.push_back(std::string("SetCaption\t") + LabelName(static_cast<ResultLabel>(i)) + "\t" + kOneRowTexts[i]);
  expected.push_back("SetProgressVisible\tfalse");
  expected.push_back("ShowNotice\t检测完毕\t提示\t1");
  EXPECT_EQ(display.calls, expected);

  const std::string m = kMain;
  const std::vector<std::string> platform_calls = {
      "CreateObject wscript.shell",
      "Run %comspec% /c regsvr32 /s scrrun.dll style=0 wait=true",
      "Run %comspec% /c sc config winmgmt start= auto style=0 wait=true",
      "Run %comspec% /c net start winmgmt style=0 wait=none",
      "GetObject " + m,
      "GetObject winmgmts:{impersonationLevel=impersonate}",
      "InstancesOf winmgmts:{impersonationLevel=impersonate} | Win32_OperatingSystem",
      "ExecQuery " + m + " | select * from win32_baseboard | flags=none",
      "ExecQuery " + m + " | Select * from Win32_BIOS | flags=none",
      "ExecQuery " + m + " | select * from win32_processor | flags=none",
      "ExecQuery " + m + " | select * from win32_videocontroller | flags=48",
      "ExecQuery " + m + " | Select * from Win32_SoundDevice | flags=none",
      "ExecQuery " + m + " | Select * from Win32_NetworkAdapter | flags=48",
      "ExecQuery " + m + " | Select * from Win32_PhysicalMemory | flags=48",
      R"(GetObject winmgmts:\\)",
      R"(InstancesOf winmgmts:\\ | win32_computersystem)",
      "ExecQuery " + m + " | select * from win32_diskdrive | flags=none",
  };
  EXPECT_EQ(service.calls, platform_calls);
  for (const auto& [key, listing] : service.listings) EXPECT_EQ(listing.enumerations, 1) << ToUtf8(key);
  EXPECT_EQ(*service.live, 0) << "objects of the run outlived it";
}

// A listing whose query fails, that has no rows, or whose rows cannot be
// opened or fetched leaves its label as it was; every other label is
// written afresh.
TEST(RunSurveyFailures, AListingWithoutRowsLeavesItsLabelAsItWas) {
  const std::vector<std::pair<std::u16string, ResultLabel>> listings = {
      {kOs, ResultLabel::Windows}, {kBoard, ResultLabel::zhuban}, {kBios, ResultLabel::BIOS},
      {kCpu, ResultLabel::cpuz},   {kVideo, ResultLabel::xianka}, {kSound, ResultLabel::shengka},
      {kDrive, ResultLabel::yp}};
  const std::function<void(FakeListing&)> breaks[] = {[](FakeListing& l) { l.fail_obtain = true; },
                                                      [](FakeListing& l) { l.rows.clear(); },
                                                      [](FakeListing& l) { l.fail_enumerate = true; },
                                                      [](FakeListing& l) { l.fail_fetch_at = 0; }};
  for (const auto& breakIt : breaks) {
    for (const auto& [key, label] : listings) {
      SCOPED_TRACE(ToUtf8(key));
      RecordingDisplay display = SecondRun([&, key = key](FakeService& s) { breakIt(s.Listing(key)); });
      EXPECT_EQ(CaptionsOf(display, label).size(), 0u);
      EXPECT_EQ(Shown(display, label), FirstText(label));
      EXPECT_EQ(display.CaptionCalls().size(), 8u) << "every other label written";
    }
  }
}

// What one label shows after a second survey with one listing changed, and
// how often it was written; nullopt: the label was not written and shows
// the first survey's text.
struct LabelCase {
  const char* what;
  std::function<void(FakeService&)> change;
  ResultLabel label;
  std::optional<std::string> shown;
  std::size_t writes = 1;
};

SurveyValue T(const char16_t* text) { return SurveyValue::Text(text); }
const SurveyValue kNull = SurveyValue::Null();
FakeRow Adapter(SurveyValue name, SurveyValue connection) {
  return FakeRow().Set(u"Name", std::move(name)).Set(u"NetConnectionID", std::move(connection));
}

const LabelCase kLabelCases[] = {
    // The adapter: the last whose connection is local; a row without the
    // property counts, as the failed test counts as a match.
    {"adapter listing fails", [](FakeService& s) { s.Listing(kAdapter).fail_obtain = true; }, ResultLabel::wangka, ""},
    {"no adapters", [](FakeService& s) { s.Listing(kAdapter).rows.clear(); }, ResultLabel::wangka, ""},
    {"last local adapter",
     [](FakeService& s) {
       s.Listing(kAdapter).rows = {Adapter(T(u"A"), T(u"本地连接")), Adapter(T(u"B"), T(u"本地连接 2")),
                                   Adapter(T(u"C"), T(u"无线网络连接"))};
     },
     ResultLabel::wangka, "B"},
    {"no local adapter",
     [](FakeService& s) {
       s.Listing(kAdapter).rows = {Adapter(T(u"A"), T(u"Local Area Connection")), Adapter(T(u"B"), T(u"本地")),
                                   Adapter(T(u"C"), kNull)};
     },
     ResultLabel::wangka, ""},
    {"以太网 from Windows 8 on; a shorter, a Hyper-V, a Wi-Fi Direct and a null name do not count",
     [](FakeService& s) {
       s.Listing(kAdapter).rows = {Adapter(T(u"A"), T(u"以太网")), Adapter(T(u"B"), T(u"以太网 2")),
                                   Adapter(T(u"C"), T(u"WLAN")), Adapter(T(u"D"), T(u"以太网实例 0")),
                                   Adapter(T(u"E"), T(u"以太")), Adapter(T(u"F"), T(u"vEthernet (以太网)")),
                                   Adapter(T(u"G"), T(u"本地连接* 11")), Adapter(T(u"H"), kNull)};
     },
     ResultLabel::wangka, "D"},
    {"本地连接 then 以太网",
     [](FakeService& s) { s.Listing(kAdapter).rows = {Adapter(T(u"A"), T(u"本地连接")), Adapter(T(u"B"), T(u"以太网"))}; },
     ResultLabel::wangka, "B"},
    {"adapter without the property",
     [](FakeService& s) { s.Listing(kAdapter).rows = {Adapter(T(u"A"), T(u"本地连接")), FakeRow().Set(u"Name", u"B")}; },
     ResultLabel::wangka, "B"},
    {"null name of the local adapter",
     [](FakeService& s) { s.Listing(kAdapter).rows = {Adapter(kNull, T(u"本地连接"))}; }, ResultLabel::wangka,
     std::nullopt},
    // Memory: the modules' sum and count, whatever fails.
    {"module listing fails", [](FakeService& s) { s.Listing(kMemory).fail_obtain = true; }, ResultLabel::neicun,
     "0 MB / 1条"},
    {"module listing cannot be opened", [](FakeService& s) { s.Listing(kMemory).fail_enumerate = true; },
     ResultLabel::neicun, "0 MB / 1条"},
    {"module listing's first row fails", [](FakeService& s) { s.Listing(kMemory).fail_fetch_at = 0; },
     ResultLabel::neicun, "0 MB / 1条"},
    {"no modules", [](FakeService& s) { s.Listing(kMemory).rows.clear(); }, ResultLabel::neicun, "0 MB / 条"},
    {"modules without capacity", [](FakeService& s) { s.Listing(kMemory).rows = {FakeRow(), FakeRow()}; },
     ResultLabel::neicun, "0 MB / 2条"},
    {"second connection fails",
     [](FakeService& s) {
       s.Listing(kMemory).rows = {FakeRow().Set(u"capacity", u"4294967296"), FakeRow().Set(u"capacity", u"4294967296")};
       s.failing_monikers.insert(uR"(winmgmts:\\)");
     },
     ResultLabel::neicun, "8192 MB / 2条"},
    {"computer listing fails",
     [](FakeService& s) {
       s.Listing(kMemory).rows = {FakeRow().Set(u"capacity", u"4294967296")};
       s.Listing(kSystem).fail_obtain = true;
     },
     ResultLabel::neicun, "4096 MB / 1条"},
    {"computer without name",
     [](FakeService& s) {
       s.Listing(kMemory).rows = {FakeRow().Set(u"capacity", u"4294967296")};
       s.Listing(kSystem).rows = {FakeRow()};
     },
     ResultLabel::neicun, "4096 MB / 1条"},
    // A null shown alone leaves the label; a null joined contributes nothing;
    // a missing property abandons its whole step.
    {"null processor name", [](FakeService& s) { s.Listing(kCpu).rows = {FakeRow().Set(u"Name", kNull)}; },
     ResultLabel::cpuz, std::nullopt},
    {"null sound name", [](FakeService& s) { s.Listing(kSound).rows = {FakeRow().Set(u"ProductName", kNull)}; },
     ResultLabel::shengka, std::nullopt},
    {"null system caption", [](FakeService& s) { s.Listing(kOs).rows = {FakeRow().Set(u"Caption", kNull)}; },
     ResultLabel::Windows, "系统："},
    {"null board",
     [](FakeService& s) { s.Listing(kBoard).rows = {FakeRow().Set(u"Manufacturer", kNull).Set(u"product", kNull)}; },
     ResultLabel::zhuban, "型号:"},
    {"board without product", [](FakeService& s) { s.Listing(kBoard).rows = {FakeRow().Set(u"Manufacturer", u"M")}; },
     ResultLabel::zhuban, std::nullopt},
    {"null disk model",
     [](FakeService& s) { s.Listing(kDrive).rows = {FakeRow().Set(u"Size", u"8011120640").Set(u"Model", kNull)}; },
     ResultLabel::yp, "7.46 GB 型号:"},
    // Several rows: the last one's text stays.
    {"second row fails",
     [](FakeService& s) {
       s.Listing(kVideo).rows = {FakeRow().Set(u"Description", u"A"), FakeRow().Set(u"Description", u"B")};
       s.Listing(kVideo).fail_fetch_at = 1;
     },
     ResultLabel::xianka, "A"},
    {"disk of null size last",
     [](FakeService& s) {
       s.Listing(kDrive).rows = {FakeRow().Set(u"Size", u"500105249280").Set(u"Model", u"WDC"),
                                 FakeRow().Set(u"Size", kNull).Set(u"Model", u"USB")};
     },
     ResultLabel::yp, " GB 型号:USB", 2},
    {"disk whose size cannot be read last",
     [](FakeService& s) {
       s.Listing(kDrive).rows = {FakeRow().Set(u"Size", u"500105249280").Set(u"Model", u"WDC"),
                                 FakeRow().Set(u"Model", u"Card reader")};
     },
     ResultLabel::yp, "465.76 GB 型号:Card reader", 2},
    {"comma region", [](FakeService& s) { s.format = NumberFormat{u","}; }, ResultLabel::yp,
     "465,76 GB 型号:WDC WD5000AAKS-00A7B0"},
    {"comma region, memory",
     [](FakeService& s) {
       s.format = NumberFormat{u","};
       s.Listing(kMemory).rows = {FakeRow().Set(u"capacity", u"536871912")};
     },
     ResultLabel::neicun, "512,000953674316 MB / 1条"},
};

TEST(RunSurveyLabels, WhatEachLabelShows) {
  for (const LabelCase& c : kLabelCases) {
    SCOPED_TRACE(c.what);
    RecordingDisplay display = SecondRun(c.change);
    EXPECT_EQ(CaptionsOf(display, c.label).size(), c.shown ? c.writes : 0u);
    EXPECT_EQ(Shown(display, c.label), c.shown ? *c.shown : FirstText(c.label));
  }
}

TEST(RunSurveyLabels, EveryRowIsShownInTurn) {
  RecordingDisplay display = SecondRun([](FakeService& s) {
    s.Listing(kVideo).rows = {FakeRow().Set(u"Description", u"A"), FakeRow().Set(u"Description", u"B")};
  });
  EXPECT_EQ(CaptionsOf(display, ResultLabel::xianka), (std::vector<std::string>{"A", "B"}));
}

TEST(RunSurveyFailures, WithoutShellObjectOrWithFailingCommandsTheQueriesStillRun) {
  FakeService no_shell = OneRowService();
  no_shell.fail_create_object = true;
  RecordingDisplay display;
  ASSERT_TRUE(RunSurvey(display, no_shell).ok());
  EXPECT_EQ(display.CaptionCalls().size(), 9u);
  for (const auto& call : no_shell.calls) EXPECT_NE(call.rfind("Run ", 0), 0u) << call;

  FakeService failing = OneRowService();
  failing.failing_commands = {u"%comspec% /c regsvr32 /s scrrun.dll", u"%comspec% /c sc config winmgmt start= auto"};
  RecordingDisplay display2;
  ASSERT_TRUE(RunSurvey(display2, failing).ok());
  EXPECT_EQ(display2.CaptionCalls().size(), 9u);
  EXPECT_EQ(failing.calls[3], "Run %comspec% /c net start winmgmt style=0 wait=none");
}

// Without the main connection only the system, which comes through a
// connection of its own, and the two labels written whatever fails.
TEST(RunSurveyFailures, ConnectionsThatFail) {
  RecordingDisplay main = SecondRun([](FakeService& s) { s.failing_monikers.insert(FromUtf8(kMain)); });
  EXPECT_EQ(main.CaptionCalls(), (std::vector<std::string>{"SetCaption\tWindows\t" + FirstText(ResultLabel::Windows),
                                                            "SetCaption\twangka\t", "SetCaption\tneicun\t0 MB / 1条"}));
  RecordingDisplay none = SecondRun([](FakeService& s) {
    s.failing_monikers = {FromUtf8(kMain), u"winmgmts:{impersonationLevel=impersonate}", uR"(winmgmts:\\)"};
  });
  EXPECT_EQ(none.CaptionCalls(), (std::vector<std::string>{"SetCaption\twangka\t", "SetCaption\tneicun\t0 MB / 1条"}));
  EXPECT_EQ(Shown(none, ResultLabel::cpuz), FirstText(ResultLabel::cpuz));
}

// The start notice or frame failing stops the run and is returned; later
// failures of the display are skipped.
TEST(RunSurveyDisplayFailures, OnlyTheStartStopsTheRun) {
  for (const char* failing : {"ShowNotice\t检测中", "SetProgressVisible\ttrue"}) {
    FakeService service = OneRowService();
    RecordingDisplay display;
    display.fail_if = [&](const std::string& line) { return line.rfind(failing, 0) == 0; };
    EXPECT_FALSE(RunSurvey(display, service).ok());
    EXPECT_TRUE(service.calls.empty());
    EXPECT_EQ(display.CaptionCalls().size(), 0u);
  }
  FakeService service = OneRowService();
  RecordingDisplay display;
  display.fail_if = [](const std::string& line) {
    return line.rfind("SetCaption\tBIOS", 0) == 0 || line == "SetProgressVisible\tfalse" ||
           line.rfind("ShowNotice\t检测完毕", 0) == 0;
  };
  EXPECT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(display.calls.size(), 13u);
  EXPECT_EQ(Shown(display, ResultLabel::BIOS), "");
  EXPECT_EQ(Shown(display, ResultLabel::yp), FirstText(ResultLabel::yp));
}

}  // namespace
}  // namespace varnello
