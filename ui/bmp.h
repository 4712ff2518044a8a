// Where the parts of a bitmap file lie, checked against the file's size, so
// that the window can make its bitmaps from its own resources without the
// system's picture object (and without OLE) before its first paint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace varnello::ui {

struct BmpParts {
  std::size_t info = 0;  // offset of the BITMAPINFO: its header, masks and colours
  std::size_t bits = 0;  // offset of the pixel rows
  int width = 0, height = 0;  // height as stored: negative for top-down rows
};

// None where the data is no uncompressed bitmap file (1, 4, 8, 16, 24 or 32
// bits a pixel) whose header, colour table and rows all lie inside it.
std::optional<BmpParts> ParseBmp(const std::uint8_t* data, std::size_t size);

}  // namespace varnello::ui
