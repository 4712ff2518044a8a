// The first image of a GIF file, decoded to 32-bit pixels, so that the
// window's GIF pictures need not wait for the system's imaging codecs to
// load before the window can first be painted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace varnello::ui {

struct GifImage {
  int width = 0, height = 0;
  // Top row first, 0x00RRGGBB each (the byte order of a 32-bit DIB); a
  // transparent pixel is black, as the system's picture object leaves it.
  std::vector<std::uint32_t> pixels;
};

// None where the data is not a GIF whose first image can be read whole.
std::optional<GifImage> DecodeGif(const std::uint8_t* data, std::size_t size);

}  // namespace varnello::ui
