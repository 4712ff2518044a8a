#include "survey/smbios.h"

#include <algorithm>

namespace varnello {
namespace {

constexpr std::size_t kHeaderSize = 8;  // RawSMBIOSData up to its table
constexpr std::uint8_t kBios = 0, kBoard = 2, kMemoryDevice = 17, kEndOfTable = 127;

// One structure: its formatted area and its string set.
struct Structure {
  const std::uint8_t* formatted;
  std::size_t length;
  std::vector<std::string> strings;

  std::optional<std::uint8_t> Byte(std::size_t at) const {
    if (at >= length) return std::nullopt;
    return formatted[at];
  }
  std::optional<std::uint16_t> Word(std::size_t at) const {
    if (at + 2 > length) return std::nullopt;
    return static_cast<std::uint16_t>(formatted[at] | formatted[at + 1] << 8);
  }
  std::optional<std::uint32_t> Dword(std::size_t at) const {
    if (at + 4 > length) return std::nullopt;
    return static_cast<std::uint32_t>(*Word(at)) | static_cast<std::uint32_t>(*Word(at + 2)) << 16;
  }
  SmbiosText Text(std::size_t at) const {
    auto number = Byte(at);
    if (!number || *number == 0 || *number > strings.size()) return std::nullopt;
    return strings[*number - 1];
  }
};

}  // namespace

std::optional<std::optional<std::uint64_t>> ModuleSize(std::uint16_t size, std::optional<std::uint32_t> extended) {
  constexpr std::uint64_t kKilo = 1024, kMega = 1024 * 1024;
  if (size == 0) return std::nullopt;
  if (size == 0xFFFF) return std::optional<std::uint64_t>();
  if (size == 0x7FFF) {
    if (!extended) return std::optional<std::uint64_t>();
    return std::optional<std::uint64_t>((*extended & 0x7FFFFFFFu) * kMega);
  }
  if (size & 0x8000) return std::optional<std::uint64_t>((size & 0x7FFFu) * kKilo);
  return std::optional<std::uint64_t>(size * kMega);
}

SmbiosFacts ReadSmbios(const std::uint8_t* raw, std::size_t size) {
  SmbiosFacts facts;
  if (!raw || size < kHeaderSize) return facts;
  std::size_t declared = raw[4] | raw[5] << 8 | raw[6] << 16 | static_cast<std::size_t>(raw[7]) << 24;
  const std::uint8_t* table = raw + kHeaderSize;
  const std::size_t end = std::min(declared, size - kHeaderSize);

  std::size_t at = 0;
  while (at + 4 <= end) {
    Structure s{table + at, table[at + 1], {}};
    if (s.length < 4 || s.length > end - at) break;
    // The string set: texts ending in NUL, closed by one more NUL (two NULs
    // for a structure without texts).
    std::size_t next = at + s.length;
    bool closed = false;
    if (next + 1 < end && table[next] == 0 && table[next + 1] == 0) {
      next += 2;
      closed = true;
    } else {
      while (next < end) {
        const auto* text = table + next;
        const auto* nul = std::find(text, table + end, 0);
        if (nul == table + end) break;
        if (nul == text) {
          ++next;
          closed = true;
          break;
        }
        s.strings.emplace_back(text, nul);
        next = static_cast<std::size_t>(nul - table) + 1;
      }
    }
    const std::uint8_t type = table[at];
    if (type == kEndOfTable) break;
    if (type == kBios) {
      if (!facts.bios_version) facts.bios_version = s.Text(0x05);
    } else if (type == kBoard) {
      facts.boards.push_back({s.Text(0x04), s.Text(0x05)});
    } else if (type == kMemoryDevice) {
      if (auto field = s.Word(0x0C)) {
        if (auto bytes = ModuleSize(*field, s.Dword(0x1C))) facts.modules.push_back(*bytes);
      }
    }
    if (!closed) break;  // the set runs off the table's end
    at = next;
  }
  return facts;
}

}  // namespace varnello
