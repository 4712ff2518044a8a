#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/utf.h"
#include "survey/native_rows.h"
#include "survey/run_survey.h"
#include "survey/smbios.h"
#include "tests/support/fake_survey.h"

namespace varnello {
namespace {

using testing::RecordingDisplay;

// A structure as the SMBIOS reference lays it out: type, length, handle,
// the rest of the formatted area, then the string set.
std::vector<std::uint8_t> Structure(std::uint8_t type, std::vector<std::uint8_t> rest,
                                    std::initializer_list<const char*> strings = {}) {
  std::vector<std::uint8_t> s = {type, static_cast<std::uint8_t>(4 + rest.size()), 0x34, 0x12};
  s.insert(s.end(), rest.begin(), rest.end());
  for (const char* text : strings) s.insert(s.end(), text, text + std::char_traits<char>::length(text) + 1);
  if (strings.size() == 0) s.push_back(0);
  s.push_back(0);
  return s;
}

// RawSMBIOSData: 2.7, the table's length, the table.
std::vector<std::uint8_t> Raw(std::initializer_list<std::vector<std::uint8_t>> structures,
                              std::optional<std::uint32_t> length = std::nullopt) {
  std::vector<std::uint8_t> table;
  for (const auto& s : structures) table.insert(table.end(), s.begin(), s.end());
  std::uint32_t n = length.value_or(static_cast<std::uint32_t>(table.size()));
  std::vector<std::uint8_t> raw = {0, 2, 7, 0, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                   static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
  raw.insert(raw.end(), table.begin(), table.end());
  return raw;
}

SmbiosFacts Read(const std::vector<std::uint8_t>& raw) { return ReadSmbios(raw.data(), raw.size()); }

// Type 17 up to its size (offset 0x0C), and with the extended size (0x1C).
std::vector<std::uint8_t> Module(std::uint16_t size, std::optional<std::uint32_t> extended = std::nullopt) {
  std::vector<std::uint8_t> rest(extended ? 0x20 - 4 : 0x15 - 4, 0);
  rest[0x0C - 4] = static_cast<std::uint8_t>(size);
  rest[0x0D - 4] = static_cast<std::uint8_t>(size >> 8);
  for (int i = 0; extended && i < 4; ++i) rest[0x1C - 4 + i] = static_cast<std::uint8_t>(*extended >> 8 * i);
  return Structure(17, rest);
}
const auto kBios = Structure(0, {1, 2, 0, 0xF0}, {"American Megatrends Inc.", "1.40"});
const auto kBoard = Structure(2, {1, 2, 3}, {"ASUSTeK COMPUTER INC.", "PRIME B450M-A"});
const auto kEnd = Structure(127, {});
constexpr std::uint64_t kMiB = 1024 * 1024;

TEST(Smbios, ReadsTheDocumentedLayout) {
  SmbiosFacts facts = Read(Raw({kBios, kBoard, Module(4096), Module(0), Module(0x8000 | 512), Module(0xFFFF),
                                Module(0x7FFF, 0x10000), Module(0x7FFF), kEnd, Structure(2, {1, 2}, {"late", "x"})}));
  EXPECT_EQ(facts.bios_version, SmbiosText("1.40"));
  ASSERT_EQ(facts.boards.size(), 1u);  // nothing after the end of the table
  EXPECT_EQ(facts.boards[0].manufacturer, SmbiosText("ASUSTeK COMPUTER INC."));
  EXPECT_EQ(facts.boards[0].product, SmbiosText("PRIME B450M-A"));
  // Empty slots are left out; unknown sizes, and 0x7FFF where the structure
  // is too short for the extended size, stay unknown.
  EXPECT_EQ(facts.modules, (std::vector<std::optional<std::uint64_t>>{4096 * kMiB, 512 * 1024, std::nullopt,
                                                                      65536 * kMiB, std::nullopt}));
}

TEST(Smbios, BoundedByWhatIsThere) {
  // String number 0 names no text, and one past the set names none either.
  SmbiosFacts none = Read(Raw({Structure(2, {0, 3}, {"only"})}));
  ASSERT_EQ(none.boards.size(), 1u);
  EXPECT_EQ(none.boards[0].manufacturer, std::nullopt);
  EXPECT_EQ(none.boards[0].product, std::nullopt);
  // A formatted area too short for a field: the field is absent.
  EXPECT_EQ(Read(Raw({Structure(0, {1}, {"vendor"})})).bios_version, std::make_optional(SmbiosText()));

  // A structure running off the end, a string set without its terminator, a
  // length field below 4: what came before stays.
  auto cut = [](std::vector<std::uint8_t> broken) {
    auto table = Raw({kBios, broken});
    table.resize(table.size() - 3);
    table[4] = static_cast<std::uint8_t>(table.size() - 8);
    return Read(table);
  };
  SmbiosFacts off_the_end = cut(Structure(2, {1, 2, 3, 4, 5}));
  EXPECT_EQ(off_the_end.bios_version, SmbiosText("1.40"));
  EXPECT_TRUE(off_the_end.boards.empty());
  SmbiosFacts unterminated = cut(Structure(2, {1, 2}, {"cut"}));
  ASSERT_EQ(unterminated.boards.size(), 1u);
  EXPECT_EQ(unterminated.boards[0].manufacturer, std::nullopt);
  auto tiny = Structure(2, {});
  tiny[1] = 2;
  EXPECT_TRUE(Read(Raw({kBios, tiny, kBoard})).boards.empty());

  // The header's length bounds the table both ways.
  auto both = Raw({kBios, kBoard});
  EXPECT_TRUE(Read(Raw({kBios, kBoard}, static_cast<std::uint32_t>(kBios.size()))).boards.empty());
  EXPECT_EQ(Read(Raw({kBios, kBoard}, 0xFFFFFFFF)).boards.size(), 1u);
  for (std::size_t size = 0; size < 8; ++size) EXPECT_FALSE(ReadSmbios(both.data(), size).bios_version);
}

// Serves one scripted row set per class, as Windows' sources would.
class ScriptedSources final : public NativeSources {
 public:
  std::vector<NativeRow> Rows(NativeClass listing) override {
    switch (listing) {
      case NativeClass::kOperatingSystem: return {{{u"Caption", SurveyValue::Text(u"Microsoft Windows 10 Pro")}}};
      case NativeClass::kBaseBoard: return BoardRows(Read(Raw({kBoard})));
      case NativeClass::kBios: return {{{u"Version", SurveyValue::Text(u"ALASKA - 1072009")}}};
      case NativeClass::kProcessor: return {{{u"Name", SurveyValue::Text(u"AMD Ryzen 5 3600 6-Core Processor")}}};
      case NativeClass::kVideoController: return {{{u"Description", SurveyValue::Text(u"NVIDIA GeForce GTX 1660")}}};
      case NativeClass::kSoundDevice: return {{{u"ProductName", SurveyValue::Text(u"Realtek(R) Audio")}}};
      case NativeClass::kNetworkAdapter:
        return {{{u"Name", SurveyValue::Text(u"Realtek PCIe GbE Family Controller")},
                 {u"NetConnectionID", SurveyValue::Text(u"以太网")}},
                {{u"Name", SurveyValue::Text(u"Intel(R) Wi-Fi 6 AX200 160MHz")},
                 {u"NetConnectionID", SurveyValue::Text(u"WLAN")}}};
      case NativeClass::kPhysicalMemory: return MemoryRows(Read(Raw({Module(8192), Module(8192)})), 0);
      case NativeClass::kComputerSystem: return {NativeRow{}};
      case NativeClass::kDiskDrive:
        return {{{u"Size", BytesValue(DiskBytes(60801, 255, 63, 512))},
                 {u"Model", SurveyValue::Text(u"Samsung SSD 860 EVO 500GB")}}};
    }
    return {};
  }
};

// Every moniker unbound, so every connection is the native one; no shell.
class NativeOnly final : public SurveyPlatform {
 public:
  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view) override { return Error{}; }
  Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view) override {
    return MakeNativeConnection(std::make_shared<ScriptedSources>());
  }
  NumberFormat Format() const override { return {}; }
};

TEST(NativeConnection, AnswersEveryListingOfTheSurvey) {
  RecordingDisplay display;
  NativeOnly platform;
  ASSERT_TRUE(RunSurvey(display, platform));
  const std::vector<std::string> expected = {
      "系统：Microsoft Windows 10 Pro",
      "ASUSTeK COMPUTER INC.型号:PRIME B450M-A",
      "版本:ALASKA - 1072009",
      "AMD Ryzen 5 3600 6-Core Processor",
      "NVIDIA GeForce GTX 1660",
      "Realtek(R) Audio",
      "Realtek PCIe GbE Family Controller",
      "16384 MB / 2条",
      "465.76 GB 型号:Samsung SSD 860 EVO 500GB",
  };
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(ToUtf8(display.Shown(static_cast<ResultLabel>(i))), expected[i]);
}

TEST(NativeConnection, QueriesClassesAndProperties) {
  auto connection = MakeNativeConnection(std::make_shared<ScriptedSources>());
  for (const char16_t* query : {u"SELECT * FROM WIN32_BIOS", u"  select\t*  from win32_bios ", u"select*from Win32_BIOS"})
    EXPECT_TRUE(connection->ExecQuery(query, 48)) << ToUtf8(query);
  for (const char16_t* query : {u"select Version from Win32_BIOS", u"select * from Win32_BIOS where Version = 1",
                                u"select * fromWin32_BIOS", u"select * from", u"delete * from Win32_BIOS"})
    EXPECT_EQ(connection->ExecQuery(query, std::nullopt).error().code, hr::kInvalidQuery) << ToUtf8(query);
  EXPECT_EQ(connection->ExecQuery(u"select * from Win32_Fan", std::nullopt).error().code, hr::kInvalidClass);
  EXPECT_EQ(connection->InstancesOf(u"Win32_Fan").error().code, hr::kInvalidClass);

  auto rows = connection->InstancesOf(u"WIN32_BIOS");
  ASSERT_TRUE(rows);
  auto each = (*rows)->Enumerate();
  ASSERT_TRUE(each);
  auto row = (*each)->Next();
  ASSERT_TRUE(row && *row);
  EXPECT_EQ((*row)->Get(u"version")->text(), u"ALASKA - 1072009");
  EXPECT_EQ((*row)->Get(u"Manufacturer").error().code, hr::kUnknownName);
  EXPECT_EQ(*(*each)->Next(), nullptr);
}

TEST(NativeRows, CaptionMemoryAndDiskFigures) {
  EXPECT_EQ(SystemCaption(u"Windows 7", false, false), u"Microsoft Windows 7");
  EXPECT_EQ(SystemCaption(u"Microsoft Windows 10 Pro", false, false), u"Microsoft Windows 10 Pro");
  EXPECT_EQ(SystemCaption(u"Microsoft Windows XP", true, false), u"Microsoft Windows XP Professional");
  EXPECT_EQ(SystemCaption(u"Microsoft Windows XP", true, true), u"Microsoft Windows XP Home Edition");

  // Without modules in the table, one row of what is installed.
  auto installed = MemoryRows(SmbiosFacts{}, 17179869184u);
  ASSERT_EQ(installed.size(), 1u);
  EXPECT_EQ(installed[0][0].second, SurveyValue::Text(u"17179869184"));
  SmbiosFacts unknown;
  unknown.modules = {std::nullopt};
  EXPECT_EQ(MemoryRows(unknown, 1)[0][0].second, SurveyValue::Null());

  // A 50 GiB virtual disk as Windows reports it: whole cylinders.
  EXPECT_EQ(DiskBytes(6527, 255, 63, 512), std::optional<std::uint64_t>(53686402560u));
  EXPECT_EQ(DiskBytes(0, 255, 63, 512), std::nullopt);
  EXPECT_EQ(DiskBytes(INT64_MAX, 255, 63, 512), std::nullopt);
}

}  // namespace
}  // namespace varnello
