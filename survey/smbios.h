// The parts of the firmware's SMBIOS table that the survey shows, read from
// the bytes Windows hands out (RawSMBIOSData: an 8-byte header whose last
// four bytes give the table's length, then the table). The bytes come from
// firmware, so every read is bounded and a malformed table ends the reading
// where it stops making sense, keeping what came before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnello {

// A text of the table; nullopt where the structure names none (string
// number 0) or one its string set does not hold.
using SmbiosText = std::optional<std::string>;

struct SmbiosBoard {  // type 2
  SmbiosText manufacturer, product;
};

struct SmbiosFacts {
  std::vector<SmbiosBoard> boards;
  std::optional<SmbiosText> bios_version;  // type 0; nullopt without one
  // Populated memory devices (type 17), in bytes; nullopt where the size is
  // unknown.
  std::vector<std::optional<std::uint64_t>> modules;
};

SmbiosFacts ReadSmbios(const std::uint8_t* raw, std::size_t size);

// A memory device's size field as bytes: 0 is an empty slot (nullopt
// outside), 0xFFFF unknown (inner nullopt), bit 15 counts kilobytes, 0x7FFF
// defers to the extended size in megabytes, absent before SMBIOS 2.7.
std::optional<std::optional<std::uint64_t>> ModuleSize(std::uint16_t size, std::optional<std::uint32_t> extended);

}  // namespace varnello
