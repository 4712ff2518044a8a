#include "survey/run_survey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf.h"
#include "tests/support/fake_survey.h"

namespace varnello {
namespace {

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

int CaptionWrites(const RecordingDisplay& d, ResultLabel label) {
  int n = 0;
  std::string prefix = std::string("SetCaption\t") + LabelName(label) + "\t";
  for (const auto& c : d.calls) n += c.rfind(prefix, 0) == 0;
  return n;
}

// The texts a one-row survey leaves in the labels.
const std::vector<std::pair<ResultLabel, std::string>> kOneRowTexts = {
    {ResultLabel::Windows, "系统：Microsoft Windows XP Professional"},
    {ResultLabel::zhuban, "ASUSTeK Computer INC.型号:P5KPL-AM"},
    {ResultLabel::BIOS, "版本:A_M_I_ - 8000906"},
    {ResultLabel::cpuz, "Intel(R) Core(TM)2 Duo CPU     E7500  @ 2.93GHz"},
    {ResultLabel::xianka, "NVIDIA GeForce 9500 GT"},
    {ResultLabel::shengka, "Realtek High Definition Audio"},
    {ResultLabel::wangka, "Realtek RTL8168C(P)/8111C(P) PCI-E Gigabit Ethernet NIC"},
    {ResultLabel::neicun, "2048 MB / 1条"},
    {ResultLabel::yp, "465.76 GB 型号:WDC WD5000AAKS-00A7B0"},
};

// A display whose labels show what a first, successful run wrote.
RecordingDisplay AfterFirstRun() {
  RecordingDisplay display;
  FakeService first = OneRowService();
  EXPECT_TRUE(RunSurvey(display, first).ok());
  display.calls.clear();
  return display;
}

const std::vector<std::string> kNoticesAndFrame = {
    "ShowNotice\t检测中请稍等……\t提示\t1", "SetProgressVisible\ttrue",
    "SetProgressVisible\tfalse", "ShowNotice\t检测完毕\t提示\t1"};

std::vector<std::string> NoticesAndFrame(const RecordingDisplay& d) {
  std::vector<std::string> out;
  for (const auto& c : d.calls)
    if (c.rfind("SetCaption\t", 0) != 0) out.push_back(c);
  return out;
}

TEST(RunSurvey, OneRowPerListingGivesExactlyThisSequence) {
  FakeService service = OneRowService();
  RecordingDisplay display;
  ASSERT_TRUE(RunSurvey(display, service).ok());

  std::vector<std::string> expected = {"ShowNotice\t检测中请稍等……\t提示\t1", "SetProgressVisible\ttrue"};
  for (const auto& [label, text] : kOneRowTexts)
    expected.push_back(std::string("SetCaption\t") + LabelName(label) + "\t" + text);
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
}

TEST(RunSurvey, EnumeratesEachCollectionOnceAndKeepsNothing) {
  FakeService service = OneRowService();
  RecordingDisplay display;
  ASSERT_TRUE(RunSurvey(display, service).ok());
  for (const auto& [key, listing] : service.listings) {
    SCOPED_TRACE(ToUtf8(key));
    EXPECT_EQ(listing.enumerations, 1);
  }
  EXPECT_EQ(*service.live, 0) << "objects of the run outlived it";
}

// --- What a label shows when something fails ---------------------------

struct ListingLabel {
  std::u16string key;
  ResultLabel label;
};

const std::vector<ListingLabel> kDirectListings = {
    {kOs, ResultLabel::Windows},   {kBoard, ResultLabel::zhuban}, {kBios, ResultLabel::BIOS},
    {kCpu, ResultLabel::cpuz},     {kVideo, ResultLabel::xianka}, {kSound, ResultLabel::shengka},
    {kDrive, ResultLabel::yp},
};

// Runs a second survey in which one listing is broken by `breakIt`; every
// label but the one of that listing must show a fresh one-row text.
template <class Break>
void ExpectOnlyThatLabelKeepsItsText(Break breakIt) {
  for (const auto& [key, label] : kDirectListings) {
    SCOPED_TRACE(ToUtf8(key));
    RecordingDisplay display = AfterFirstRun();
    FakeService service = OneRowService();
    // Make every text of the second run differ from the first.
    service.Listing(kOs).rows = {FakeRow().Set(u"Caption", u"Windows 2")};
    service.Listing(kBoard).rows = {FakeRow().Set(u"Manufacturer", u"B2").Set(u"product", u"P2")};
    service.Listing(kBios).rows = {FakeRow().Set(u"Version", u"V2")};
    service.Listing(kCpu).rows = {FakeRow().Set(u"Name", u"CPU 2")};
    service.Listing(kVideo).rows = {FakeRow().Set(u"Description", u"GPU 2")};
    service.Listing(kSound).rows = {FakeRow().Set(u"ProductName", u"Sound 2")};
    service.Listing(kDrive).rows = {FakeRow().Set(u"Size", u"0").Set(u"Model", u"Disk 2")};
    breakIt(service.Listing(key));
    ASSERT_TRUE(RunSurvey(display, service).ok());

    EXPECT_EQ(CaptionWrites(display, label), 0);
    for (const auto& [other, first_text] : kOneRowTexts) {
      if (other == label || other == ResultLabel::wangka || other == ResultLabel::neicun) continue;
      EXPECT_NE(Shown(display, other), first_text) << LabelName(other);
    }
    EXPECT_EQ(display.captions[label], FromUtf8(kOneRowTexts[static_cast<int>(label)].second));
    EXPECT_EQ(NoticesAndFrame(display), kNoticesAndFrame);
  }
}

// A query that fails, that finds no rows, or whose rows cannot be opened.
TEST(RunSurveyFailures, AListingWithoutRowsLeavesItsLabelAsItWas) {
  ExpectOnlyThatLabelKeepsItsText([](testing::FakeListing& l) { l.fail_obtain = true; });
  ExpectOnlyThatLabelKeepsItsText([](testing::FakeListing& l) { l.rows.clear(); });
  ExpectOnlyThatLabelKeepsItsText([](testing::FakeListing& l) { l.fail_enumerate = true; });
  ExpectOnlyThatLabelKeepsItsText([](testing::FakeListing& l) { l.fail_fetch_at = 0; });
}

TEST(RunSurveyFailures, FailedOrEmptyAdapterListingEmptiesTheAdapterLabel) {
  for (bool fail : {true, false}) {
    RecordingDisplay display = AfterFirstRun();
    FakeService service = OneRowService();
    if (fail)
      service.Listing(kAdapter).fail_obtain = true;
    else
      service.Listing(kAdapter).rows.clear();
    ASSERT_TRUE(RunSurvey(display, service).ok());
    EXPECT_EQ(CaptionWrites(display, ResultLabel::wangka), 1);
    EXPECT_EQ(Shown(display, ResultLabel::wangka), "");
  }
}

TEST(RunSurveyFailures, MemoryLabelWhenTheModuleListingFailsOrIsEmpty) {
  struct Case {
    void (*breakIt)(testing::FakeListing&);
    const char* shown;
  };
  const Case cases[] = {
      {[](testing::FakeListing& l) { l.fail_obtain = true; }, "0 MB / 1条"},
      {[](testing::FakeListing& l) { l.fail_enumerate = true; }, "0 MB / 1条"},
      {[](testing::FakeListing& l) { l.rows.clear(); }, "0 MB / 条"},
      {[](testing::FakeListing& l) { l.rows = {FakeRow(), FakeRow()}; }, "0 MB / 2条"},
  };
  for (const auto& c : cases) {
    RecordingDisplay display;
    FakeService service = OneRowService();
    c.breakIt(service.Listing(kMemory));
    ASSERT_TRUE(RunSurvey(display, service).ok());
    EXPECT_EQ(Shown(display, ResultLabel::neicun), c.shown);
  }
}

TEST(RunSurveyFailures, MemoryLabelWrittenOnceWhenTheSecondConnectionOrItsListingFails) {
  for (int variant = 0; variant < 3; ++variant) {
    RecordingDisplay display;
    FakeService service = OneRowService();
    service.Listing(kMemory).rows = {FakeRow().Set(u"capacity", u"4294967296"),
                                     FakeRow().Set(u"capacity", u"4294967296")};
    if (variant == 0) service.failing_monikers.insert(uR"(winmgmts:\\)");
    if (variant == 1) service.Listing(kSystem).fail_obtain = true;
    if (variant == 2) service.Listing(kSystem).rows = {FakeRow()};
    ASSERT_TRUE(RunSurvey(display, service).ok());
    EXPECT_EQ(CaptionWrites(display, ResultLabel::neicun), 1);
    EXPECT_EQ(Shown(display, ResultLabel::neicun), "8192 MB / 2条");
  }
}

TEST(RunSurveyFailures, NullShownPropertyLeavesItsLabelAsItWas) {
  RecordingDisplay display = AfterFirstRun();
  FakeService service = OneRowService();
  service.Listing(kCpu).rows = {FakeRow().Set(u"Name", SurveyValue::Null())};
  service.Listing(kVideo).rows = {FakeRow().Set(u"Description", SurveyValue::Null())};
  service.Listing(kSound).rows = {FakeRow().Set(u"ProductName", SurveyValue::Null())};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  for (auto label : {ResultLabel::cpuz, ResultLabel::xianka, ResultLabel::shengka}) {
    EXPECT_EQ(CaptionWrites(display, label), 0) << LabelName(label);
    EXPECT_EQ(display.captions[label], FromUtf8(kOneRowTexts[static_cast<int>(label)].second));
  }
}

TEST(RunSurveyFailures, NullJoinedPropertyContributesNothing) {
  RecordingDisplay display;
  FakeService service = OneRowService();
  service.Listing(kOs).rows = {FakeRow().Set(u"Caption", SurveyValue::Null())};
  service.Listing(kBios).rows = {FakeRow().Set(u"Version", SurveyValue::Null())};
  service.Listing(kBoard).rows = {
      FakeRow().Set(u"Manufacturer", SurveyValue::Null()).Set(u"product", SurveyValue::Null())};
  service.Listing(kDrive).rows = {
      FakeRow().Set(u"Size", u"8011120640").Set(u"Model", SurveyValue::Null())};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(Shown(display, ResultLabel::Windows), "系统：");
  EXPECT_EQ(Shown(display, ResultLabel::BIOS), "版本:");
  EXPECT_EQ(Shown(display, ResultLabel::zhuban), "型号:");
  EXPECT_EQ(Shown(display, ResultLabel::yp), "7.46 GB 型号:");
}

TEST(RunSurveyFailures, MissingPropertyAbandonsTheWholeJoinedStep) {
  RecordingDisplay display = AfterFirstRun();
  FakeService service = OneRowService();
  service.Listing(kBoard).rows = {FakeRow().Set(u"Manufacturer", u"Only maker")};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(CaptionWrites(display, ResultLabel::zhuban), 0);
}

TEST(RunSurveyFailures, NullNameOfMatchingAdapterLeavesTheLabelAsItWas) {
  RecordingDisplay display = AfterFirstRun();
  FakeService service = OneRowService();
  service.Listing(kAdapter).rows = {
      FakeRow().Set(u"Name", SurveyValue::Null()).Set(u"NetConnectionID", u"本地连接 2")};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(CaptionWrites(display, ResultLabel::wangka), 0);
  EXPECT_EQ(Shown(display, ResultLabel::wangka), kOneRowTexts[6].second);
}

TEST(RunSurveyFailures, WithoutShellObjectOrWithFailingCommandsTheQueriesStillRun) {
  FakeService no_shell = OneRowService();
  no_shell.fail_create_object = true;
  RecordingDisplay display;
  ASSERT_TRUE(RunSurvey(display, no_shell).ok());
  EXPECT_EQ(display.CaptionCalls().size(), 9u);
  for (const auto& call : no_shell.calls) EXPECT_NE(call.rfind("Run ", 0), 0u) << call;

  FakeService failing = OneRowService();
  failing.failing_commands = {u"%comspec% /c regsvr32 /s scrrun.dll",
                              u"%comspec% /c sc config winmgmt start= auto"};
  RecordingDisplay display2;
  ASSERT_TRUE(RunSurvey(display2, failing).ok());
  EXPECT_EQ(display2.CaptionCalls().size(), 9u);
  EXPECT_EQ(failing.calls[3], "Run %comspec% /c net start winmgmt style=0 wait=none");
}

TEST(RunSurveyFailures, MainConnectionFailsEveryQueryOnIt) {
  RecordingDisplay display = AfterFirstRun();
  FakeService service = OneRowService();
  service.failing_monikers.insert(FromUtf8(kMain));
  ASSERT_TRUE(RunSurvey(display, service).ok());
  // The operating system comes through a connection of its own.
  EXPECT_EQ(display.CaptionCalls(),
            (std::vector<std::string>{"SetCaption\tWindows\t系统：Microsoft Windows XP Professional",
                                      "SetCaption\twangka\t", "SetCaption\tneicun\t0 MB / 1条"}));
}

TEST(RunSurveyFailures, UnreachableServiceStillShowsNoticesAndFrame) {
  RecordingDisplay display = AfterFirstRun();
  FakeService service = OneRowService();
  service.failing_monikers = {FromUtf8(kMain), u"winmgmts:{impersonationLevel=impersonate}",
                              uR"(winmgmts:\\)"};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(NoticesAndFrame(display), kNoticesAndFrame);
  EXPECT_EQ(display.CaptionCalls(),
            (std::vector<std::string>{"SetCaption\twangka\t", "SetCaption\tneicun\t0 MB / 1条"}));
  for (auto label : {ResultLabel::Windows, ResultLabel::zhuban, ResultLabel::BIOS, ResultLabel::cpuz,
                     ResultLabel::xianka, ResultLabel::shengka, ResultLabel::yp})
    EXPECT_EQ(display.captions[label], FromUtf8(kOneRowTexts[static_cast<int>(label)].second));
  EXPECT_EQ(*service.live, 0);
}

TEST(RunSurveyFailures, FailedAdvanceEndsTheLoop) {
  RecordingDisplay display;
  FakeService service = OneRowService();
  service.Listing(kVideo).rows = {FakeRow().Set(u"Description", u"A"),
                                  FakeRow().Set(u"Description", u"B")};
  service.Listing(kVideo).fail_fetch_at = 1;
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(CaptionWrites(display, ResultLabel::xianka), 1);
  EXPECT_EQ(Shown(display, ResultLabel::xianka), "A");
  EXPECT_EQ(Shown(display, ResultLabel::shengka), "Realtek High Definition Audio");
}

// --- The display itself failing ------------------------------------------

TEST(RunSurveyDisplayFailures, StartNoticeOrFrameFailureStopsTheRunAndIsReturned) {
  for (const char* failing : {"ShowNotice\t检测中", "SetProgressVisible\ttrue"}) {
    FakeService service = OneRowService();
    RecordingDisplay display;
    display.fail_if = [&](const std::string& line) { return line.rfind(failing, 0) == 0; };
    Status s = RunSurvey(display, service);
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(service.calls.empty());
    EXPECT_EQ(display.CaptionCalls().size(), 0u);
  }
}

TEST(RunSurveyDisplayFailures, LaterDisplayFailuresAreSkipped) {
  FakeService service = OneRowService();
  RecordingDisplay display;
  display.fail_if = [](const std::string& line) {
    return line.rfind("SetCaption\tBIOS", 0) == 0 || line == "SetProgressVisible\tfalse" ||
           line.rfind("ShowNotice\t检测完毕", 0) == 0;
  };
  EXPECT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(display.calls.size(), 13u);
  EXPECT_EQ(Shown(display, ResultLabel::BIOS), "");
  EXPECT_EQ(Shown(display, ResultLabel::yp), "465.76 GB 型号:WDC WD5000AAKS-00A7B0");
}

// --- Several rows, odd rows ----------------------------------------------

TEST(RunSurveyRows, LastRowWinsAfterEarlierRowsWereShown) {
  RecordingDisplay display;
  FakeService service = OneRowService();
  service.Listing(kVideo).rows = {FakeRow().Set(u"Description", u"A"),
                                  FakeRow().Set(u"Description", u"B")};
  service.Listing(kCpu).rows = {FakeRow().Set(u"Name", u"   Intel(R) Pentium(R) 4 CPU 3.00GHz")};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  std::vector<std::string> video;
  for (const auto& c : display.calls)
    if (c.rfind("SetCaption\txianka", 0) == 0) video.push_back(c);
  EXPECT_EQ(video, (std::vector<std::string>{"SetCaption\txianka\tA", "SetCaption\txianka\tB"}));
  EXPECT_EQ(Shown(display, ResultLabel::cpuz), "   Intel(R) Pentium(R) 4 CPU 3.00GHz");
}

TEST(RunSurveyRows, AdapterIsTheLastWhoseConnectionIsLocal) {
  struct Case {
    std::vector<FakeRow> rows;
    const char* shown;
  };
  const std::vector<Case> cases = {
      {{FakeRow().Set(u"Name", u"A").Set(u"NetConnectionID", u"本地连接"),
        FakeRow().Set(u"Name", u"B").Set(u"NetConnectionID", u"本地连接 2"),
        FakeRow().Set(u"Name", u"C").Set(u"NetConnectionID", u"无线网络连接")},
       "B"},
      {{FakeRow().Set(u"Name", u"A").Set(u"NetConnectionID", u"Local Area Connection")}, ""},
      {{FakeRow().Set(u"Name", u"A").Set(u"NetConnectionID", u"本地")}, ""},
      {{FakeRow().Set(u"Name", u"A").Set(u"NetConnectionID", SurveyValue::Null())}, ""},
      // No such property at all: the failed test counts as a match.
      {{FakeRow().Set(u"Name", u"A").Set(u"NetConnectionID", u"本地连接"), FakeRow().Set(u"Name", u"B")},
       "B"},
      {{FakeRow().Set(u"Name", u"1394 Net Adapter"), FakeRow().Set(u"Name", u"eth0")}, "eth0"},
  };
  for (const auto& c : cases) {
    RecordingDisplay display;
    FakeService service = OneRowService();
    service.Listing(kAdapter).rows = c.rows;
    ASSERT_TRUE(RunSurvey(display, service).ok());
    EXPECT_EQ(Shown(display, ResultLabel::wangka), c.shown);
    EXPECT_EQ(CaptionWrites(display, ResultLabel::wangka), 1);
  }
}

TEST(RunSurveyRows, DriveWithNullSizeListedLast) {
  RecordingDisplay display;
  FakeService service = OneRowService();
  service.Listing(kDrive).rows = {FakeRow().Set(u"Size", u"500105249280").Set(u"Model", u"WDC"),
                                  FakeRow().Set(u"Size", SurveyValue::Null()).Set(u"Model", u"USB")};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(Shown(display, ResultLabel::yp), " GB 型号:USB");
}

TEST(RunSurveyRows, DriveWhoseSizeCannotBeReadKeepsThePreviousSizeText) {
  RecordingDisplay display;
  FakeService service = OneRowService();
  service.Listing(kDrive).rows = {FakeRow().Set(u"Size", u"500105249280").Set(u"Model", u"WDC"),
                                  FakeRow().Set(u"Model", u"Card reader")};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(Shown(display, ResultLabel::yp), "465.76 GB 型号:Card reader");
}

TEST(RunSurveyRows, OddPropertyTextsNeverStopTheRun) {
  const std::u16string odd[] = {
      u"", std::u16string(1 << 20, u'x'), std::u16string(u"a\0b", 3), u"\xD800", u" 1 ",
      u"1e400", u"-0", u"0x10", u"99999999999999999999999"};
  for (const auto& text : odd) {
    SCOPED_TRACE(ToUtf8(text.substr(0, 20)));
    RecordingDisplay display;
    FakeService service;
    for (auto& [key, listing] : OneRowService().listings) {
      FakeRow row;
      for (const auto* name : {u"Caption", u"Manufacturer", u"product", u"Version", u"Name",
                               u"Description", u"ProductName", u"NetConnectionID", u"capacity",
                               u"Size", u"Model"})
        row.Set(name, text);
      service.Listing(key).rows = {row};
    }
    ASSERT_TRUE(RunSurvey(display, service).ok());
    EXPECT_EQ(display.calls.back(), "ShowNotice\t检测完毕\t提示\t1");
    EXPECT_EQ(Shown(display, ResultLabel::cpuz), ToUtf8(text));
  }
}

TEST(RunSurveyRows, CommaRegionShowsCommaSizes) {
  RecordingDisplay display;
  FakeService service = OneRowService();
  service.format = NumberFormat{u","};
  service.Listing(kMemory).rows = {FakeRow().Set(u"capacity", u"536871912")};
  ASSERT_TRUE(RunSurvey(display, service).ok());
  EXPECT_EQ(Shown(display, ResultLabel::yp), "465,76 GB 型号:WDC WD5000AAKS-00A7B0");
  EXPECT_EQ(Shown(display, ResultLabel::neicun), "512,000953674316 MB / 1条");
}

}  // namespace
}  // namespace varnello
