#include "tests/support/fake_survey.h"

#include <algorithm>

#include "base/utf.h"
#include "survey/display_log.h"

namespace varnello::testing {
namespace {

constexpr Error kInjected{static_cast<std::int32_t>(0x80041001)};  // WBEM_E_FAILED
constexpr Error kInvalidClass{static_cast<std::int32_t>(0x80041010)};  // WBEM_E_INVALID_CLASS

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

// Counts itself in the service's tally of live objects.
class Counted {
 public:
  explicit Counted(std::shared_ptr<int> live) : live_(std::move(live)) { ++*live_; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
  ~Counted() { --*live_; }

 private:
  std::shared_ptr<int> live_;
};

class Row : public SurveyRow, Counted {
 public:
  Row(std::shared_ptr<int> live, const FakeRow& data) : Counted(std::move(live)), data_(data) {}
  Result<SurveyValue> Get(std::u16string_view name) override {
    for (const auto& [key, value] : data_.properties)
      if (SameName(key, name)) return value;
    return Error{static_cast<std::int32_t>(0x80020006)};  // unknown name
  }

 private:
  FakeRow data_;
};

class Enumerator : public RowEnumerator, Counted {
 public:
  Enumerator(std::shared_ptr<int> live, FakeListing& listing)
      : Counted(live), live_(std::move(live)), listing_(listing) {}
  Result<std::unique_ptr<SurveyRow>> Next() override {
    std::size_t k = next_++;
    if (listing_.fail_fetch_at && *listing_.fail_fetch_at == k) return kInjected;
    if (k >= listing_.rows.size()) return std::unique_ptr<SurveyRow>();
    return std::unique_ptr<SurveyRow>(std::make_unique<Row>(live_, listing_.rows[k]));
  }

 private:
  std::shared_ptr<int> live_;
  FakeListing& listing_;
  std::size_t next_ = 0;
};

class Collection : public RowCollection, Counted {
 public:
  Collection(std::shared_ptr<int> live, FakeListing& listing)
      : Counted(live), live_(std::move(live)), listing_(listing) {}
  Result<std::unique_ptr<RowEnumerator>> Enumerate() override {
    ++listing_.enumerations;
    if (listing_.fail_enumerate) return kInjected;
    return std::unique_ptr<RowEnumerator>(std::make_unique<Enumerator>(live_, listing_));
  }

 private:
  std::shared_ptr<int> live_;
  FakeListing& listing_;
};

class Connection : public ServiceConnection, Counted {
 public:
  Connection(FakeService& service, std::u16string moniker)
      : Counted(service.live), service_(service), moniker_(std::move(moniker)) {}

  Result<std::unique_ptr<RowCollection>> ExecQuery(std::u16string_view query,
                                                    std::optional<std::int32_t> flags) override {
    std::string call = "ExecQuery " + ToUtf8(moniker_) + " | " + ToUtf8(query) + " | flags=" +
                       (flags ? std::to_string(*flags) : "none");
    return service_.List(moniker_, call, std::u16string(query));
  }
  Result<std::unique_ptr<RowCollection>> InstancesOf(std::u16string_view class_name) override {
    std::string call = "InstancesOf " + ToUtf8(moniker_) + " | " + ToUtf8(class_name);
    return service_.List(moniker_, call, std::u16string(class_name));
  }

 private:
  FakeService& service_;
  std::u16string moniker_;
};

class Shell : public ShellObject, Counted {
 public:
  explicit Shell(FakeService& service) : Counted(service.live), service_(service) {}
  Status Run(std::u16string_view command, std::int32_t style, std::optional<bool> wait) override {
    return service_.RunCommand(command, style, wait);
  }

 private:
  FakeService& service_;
};

}  // namespace

Result<std::unique_ptr<ShellObject>> FakeService::CreateObject(std::u16string_view prog_id) {
  calls.push_back("CreateObject " + ToUtf8(prog_id));
  if (fail_create_object) return kInjected;
  return std::unique_ptr<ShellObject>(std::make_unique<Shell>(*this));
}

Result<std::unique_ptr<ServiceConnection>> FakeService::GetObject(std::u16string_view moniker) {
  calls.push_back("GetObject " + ToUtf8(moniker));
  if (failing_monikers.count(std::u16string(moniker))) return kInjected;
  return std::unique_ptr<ServiceConnection>(std::make_unique<Connection>(*this, std::u16string(moniker)));
}

Result<std::unique_ptr<RowCollection>> FakeService::List(const std::u16string& moniker,
                                                         const std::string& call,
                                                         const std::u16string& key) {
  calls.push_back(call);
  if (failing_monikers.count(moniker)) return kInjected;
  auto it = listings.find(key);
  if (it == listings.end()) return kInvalidClass;
  if (it->second.fail_obtain) return kInjected;
  return std::unique_ptr<RowCollection>(std::make_unique<Collection>(live, it->second));
}

Status FakeService::RunCommand(std::u16string_view command, std::int32_t style,
                               std::optional<bool> wait) {
  calls.push_back("Run " + ToUtf8(command) + " style=" + std::to_string(style) +
                  " wait=" + (wait ? (*wait ? "true" : "false") : "none"));
  if (failing_commands.count(std::u16string(command))) return kInjected;
  return {};
}

FakeService OneRowService() {
  FakeService s;
  s.Listing(u"Win32_OperatingSystem").rows = {FakeRow().Set(u"Caption", u"Microsoft Windows XP Professional")};
  s.Listing(u"select * from win32_baseboard").rows = {
      FakeRow().Set(u"Manufacturer", u"ASUSTeK Computer INC.").Set(u"Product", u"P5KPL-AM")};
  s.Listing(u"Select * from Win32_BIOS").rows = {FakeRow().Set(u"Version", u"A_M_I_ - 8000906")};
  s.Listing(u"select * from win32_processor").rows = {
      FakeRow().Set(u"Name", u"Intel(R) Core(TM)2 Duo CPU     E7500  @ 2.93GHz")};
  s.Listing(u"select * from win32_videocontroller").rows = {
      FakeRow().Set(u"Description", u"NVIDIA GeForce 9500 GT")};
  s.Listing(u"Select * from Win32_SoundDevice").rows = {
      FakeRow().Set(u"ProductName", u"Realtek High Definition Audio")};
  s.Listing(u"Select * from Win32_NetworkAdapter").rows = {
      FakeRow().Set(u"Name", u"Realtek RTL8168C(P)/8111C(P) PCI-E Gigabit Ethernet NIC")
          .Set(u"NetConnectionID", u"本地连接")};
  s.Listing(u"Select * from Win32_PhysicalMemory").rows = {FakeRow().Set(u"Capacity", u"2147483648")};
  s.Listing(u"win32_computersystem").rows = {FakeRow().Set(u"Name", u"PC-2010")};
  s.Listing(u"select * from win32_diskdrive").rows = {
      FakeRow().Set(u"Size", u"500105249280").Set(u"Model", u"WDC WD5000AAKS-00A7B0")};
  return s;
}

Status RecordingDisplay::SetCaption(ResultLabel label, std::u16string_view text) {
  std::string line = CaptionLine(label, text);
  calls.push_back(line);
  if (Fails(line)) return Error{hr::kFail};
  captions[label] = std::u16string(text);
  return {};
}

Status RecordingDisplay::SetProgressVisible(bool visible) {
  std::string line = ProgressLine(visible);
  calls.push_back(line);
  if (Fails(line)) return Error{hr::kFail};
  return {};
}

Status RecordingDisplay::ShowNotice(std::u16string_view text, std::u16string_view title,
                                    std::int32_t icon_kind) {
  std::string line = NoticeLine(text, title, icon_kind);
  calls.push_back(line);
  if (Fails(line)) return Error{hr::kFail};
  return {};
}

std::vector<std::string> RecordingDisplay::CaptionCalls() const {
  std::vector<std::string> out;
  for (const auto& c : calls)
    if (c.rfind("SetCaption\t", 0) == 0) out.push_back(c);
  return out;
}

std::u16string RecordingDisplay::Shown(ResultLabel label) const {
  auto it = captions.find(label);
  return it == captions.end() ? std::u16string() : it->second;
}

}  // namespace varnello::testing
