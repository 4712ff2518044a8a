// Feeds arbitrary firmware tables to the SMBIOS reader and the rows made
// from it. Half the inputs get a header whose length fits the bytes, so
// that the structures themselves are explored rather than the header.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "survey/native_rows.h"
#include "survey/smbios.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> raw(data, data + size);
  if (size >= 8 && (raw[0] & 1)) {
    const std::size_t length = size - 8;
    for (int i = 0; i < 4; ++i) raw[4 + i] = static_cast<std::uint8_t>(length >> 8 * i);
  }
  const varnello::SmbiosFacts facts = varnello::ReadSmbios(raw.data(), raw.size());
  auto within = [&](const varnello::SmbiosText& text) {
    if (text && text->size() >= size) std::abort();
  };
  for (const auto& board : facts.boards) {
    within(board.manufacturer);
    within(board.product);
  }
  if (facts.bios_version) within(*facts.bios_version);
  for (const auto& module : facts.modules) {
    if (module && *module > 0x7FFFFFFFull * 1024 * 1024) std::abort();
  }
  (void)varnello::BoardRows(facts);
  (void)varnello::MemoryRows(facts, 0);
  return 0;
}
