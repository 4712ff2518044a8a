#include "survey/native_rows.h"

#include <array>
#include <limits>
#include <string_view>

namespace varnello {
namespace {

constexpr std::array<std::pair<std::u16string_view, NativeClass>, 10> kClasses{{
    {u"Win32_OperatingSystem", NativeClass::kOperatingSystem},
    {u"Win32_BaseBoard", NativeClass::kBaseBoard},
    {u"Win32_BIOS", NativeClass::kBios},
    {u"Win32_Processor", NativeClass::kProcessor},
    {u"Win32_VideoController", NativeClass::kVideoController},
    {u"Win32_SoundDevice", NativeClass::kSoundDevice},
    {u"Win32_NetworkAdapter", NativeClass::kNetworkAdapter},
    {u"Win32_PhysicalMemory", NativeClass::kPhysicalMemory},
    {u"Win32_ComputerSystem", NativeClass::kComputerSystem},
    {u"Win32_DiskDrive", NativeClass::kDiskDrive},
}};

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

Result<NativeClass> ClassNamed(std::u16string_view name) {
  for (const auto& [class_name, listing] : kClasses) {
    if (SameName(name, class_name)) return listing;
  }
  return Error{hr::kInvalidClass};
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// "select * from <class>": the words apart, the star standing alone or not.
Result<NativeClass> ClassOfQuery(std::u16string_view query) {
  auto skip_blanks = [&] {
    std::size_t n = 0;
    while (n < query.size() && IsBlank(query[n])) ++n;
    query.remove_prefix(n);
    return n;
  };
  auto word = [&](std::u16string_view expected) {
    if (query.size() < expected.size() || !SameName(query.substr(0, expected.size()), expected)) return false;
    query.remove_prefix(expected.size());
    return true;
  };
  skip_blanks();
  if (!word(u"select")) return Error{hr::kInvalidQuery};
  skip_blanks();
  if (!word(u"*")) return Error{hr::kInvalidQuery};
  skip_blanks();
  if (!word(u"from") || skip_blanks() == 0) return Error{hr::kInvalidQuery};
  std::size_t length = 0;
  while (length < query.size() && !IsBlank(query[length])) ++length;
  std::u16string_view name = query.substr(0, length);
  query.remove_prefix(length);
  skip_blanks();
  if (name.empty() || !query.empty()) return Error{hr::kInvalidQuery};
  return ClassNamed(name);
}

class Row final : public SurveyRow {
 public:
  explicit Row(NativeRow properties) : properties_(std::move(properties)) {}
  Result<SurveyValue> Get(std::u16string_view name) override {
    for (const auto& [property, value] : properties_) {
      if (SameName(property, name)) return value;
    }
    return Error{hr::kUnknownName};
  }

 private:
  NativeRow properties_;
};

class Rows final : public RowCollection, public RowEnumerator {
 public:
  explicit Rows(std::vector<NativeRow> rows) : rows_(std::move(rows)) {}
  Result<std::unique_ptr<RowEnumerator>> Enumerate() override {
    return std::unique_ptr<RowEnumerator>(std::make_unique<Rows>(rows_));
  }
  Result<std::unique_ptr<SurveyRow>> Next() override {
    if (next_ == rows_.size()) return std::unique_ptr<SurveyRow>();
    return std::unique_ptr<SurveyRow>(std::make_unique<Row>(rows_[next_++]));
  }

 private:
  std::vector<NativeRow> rows_;
  std::size_t next_ = 0;
};

class Connection final : public ServiceConnection {
 public:
  explicit Connection(std::shared_ptr<NativeSources> sources) : sources_(std::move(sources)) {}
  Result<std::unique_ptr<RowCollection>> ExecQuery(std::u16string_view query, std::optional<std::int32_t>) override {
    return Listing(ClassOfQuery(query));
  }
  Result<std::unique_ptr<RowCollection>> InstancesOf(std::u16string_view class_name) override {
    return Listing(ClassNamed(class_name));
  }

 private:
  Result<std::unique_ptr<RowCollection>> Listing(Result<NativeClass> listing) {
    if (!listing) return listing.error();
    return std::unique_ptr<RowCollection>(std::make_unique<Rows>(sources_->Rows(*listing)));
  }

  std::shared_ptr<NativeSources> sources_;
};

}  // namespace

std::unique_ptr<ServiceConnection> MakeNativeConnection(std::shared_ptr<NativeSources> sources) {
  return std::make_unique<Connection>(std::move(sources));
}

SurveyValue TextOrNull(std::optional<std::u16string> text) {
  return text ? SurveyValue::Text(std::move(*text)) : SurveyValue::Null();
}

SurveyValue BytesValue(std::optional<std::uint64_t> bytes) {
  if (!bytes) return SurveyValue::Null();
  std::string digits = std::to_string(*bytes);
  return SurveyValue::Text(std::u16string(digits.begin(), digits.end()));
}

std::optional<std::u16string> FirmwareText(const SmbiosText& text) {
  if (!text) return std::nullopt;
  std::u16string wide;
  for (unsigned char c : *text) wide.push_back(c);
  return wide;
}

std::u16string SystemCaption(std::u16string name, bool xp, bool xp_home) {
  constexpr std::u16string_view kMaker = u"Microsoft ";
  if (xp) name += xp_home ? u" Home Edition" : u" Professional";
  if (std::u16string_view(name).substr(0, kMaker.size()) != kMaker) name.insert(0, kMaker);
  return name;
}

std::vector<NativeRow> BoardRows(const SmbiosFacts& facts) {
  std::vector<NativeRow> rows;
  for (const SmbiosBoard& board : facts.boards) {
    rows.push_back({{u"Manufacturer", TextOrNull(FirmwareText(board.manufacturer))},
                    {u"Product", TextOrNull(FirmwareText(board.product))}});
  }
  return rows;
}

std::vector<NativeRow> MemoryRows(const SmbiosFacts& facts, std::uint64_t installed) {
  std::vector<NativeRow> rows;
  for (const auto& bytes : facts.modules) rows.push_back({{u"Capacity", BytesValue(bytes)}});
  if (rows.empty()) rows.push_back({{u"Capacity", BytesValue(installed)}});
  return rows;
}

std::optional<std::uint64_t> DiskBytes(std::int64_t cylinders, std::uint32_t tracks_per_cylinder,
                                       std::uint32_t sectors_per_track, std::uint32_t bytes_per_sector) {
  if (cylinders <= 0 || tracks_per_cylinder == 0 || sectors_per_track == 0 || bytes_per_sector == 0)
    return std::nullopt;
  std::uint64_t bytes = static_cast<std::uint64_t>(cylinders);
  for (std::uint64_t factor : {std::uint64_t{tracks_per_cylinder}, std::uint64_t{sectors_per_track},
                               std::uint64_t{bytes_per_sector}}) {
    if (bytes > std::numeric_limits<std::uint64_t>::max() / factor) return std::nullopt;
    bytes *= factor;
  }
  return bytes;
}

}  // namespace varnello
