#include "ui/gif.h"

#include <array>
#include <cstring>

namespace varnello::ui {
namespace {

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Has(std::size_t n) const { return size_ - at_ >= n; }
  std::uint8_t Byte() { return Has(1) ? data_[at_++] : (failed_ = true, 0); }
  int Word() {
    const int low = Byte();
    return low | (Byte() << 8);
  }
  const std::uint8_t* Take(std::size_t n) {
    if (!Has(n)) {
      failed_ = true;
      return nullptr;
    }
    at_ += n;
    return data_ + at_ - n;
  }
  // Data sub-blocks up to the empty one; appended to `out` when given.
  void Blocks(std::vector<std::uint8_t>* out) {
    for (std::uint8_t n = Byte(); n && !failed_; n = Byte()) {
      const std::uint8_t* block = Take(n);
      if (block && out) out->insert(out->end(), block, block + n);
    }
  }
  bool failed() const { return failed_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_, at_ = 0;
  bool failed_ = false;
};

using Palette = std::array<std::uint32_t, 256>;

void ReadPalette(Reader& in, int count, Palette& palette) {
  for (int i = 0; i < count && !in.failed(); ++i) {
    const std::uint32_t r = in.Byte(), g = in.Byte(), b = in.Byte();
    palette[static_cast<std::size_t>(i)] = (r << 16) | (g << 8) | b;
  }
}

// Variable-length LZW codes, least significant bit first, into colour
// indices; false if the codes do not make `count` of them.
bool Lzw(const std::vector<std::uint8_t>& codes, int min_bits, std::size_t count, std::vector<std::uint8_t>& out) {
  if (min_bits < 2 || min_bits > 8) return false;
  const int clear = 1 << min_bits, end = clear + 1;
  std::array<std::uint16_t, 4096> prefix{};
  std::array<std::uint8_t, 4096> suffix{}, first{};
  for (int i = 0; i < clear; ++i) suffix[static_cast<std::size_t>(i)] = first[static_cast<std::size_t>(i)] =
      static_cast<std::uint8_t>(i);
  std::vector<std::uint8_t> stack;
  int bits = min_bits + 1, next = end + 1, previous = -1;
  std::uint32_t buffer = 0;
  int buffered = 0;
  std::size_t at = 0;
  out.clear();
  while (out.size() < count) {
    while (buffered < bits) {
      if (at == codes.size()) return false;
      buffer |= static_cast<std::uint32_t>(codes[at++]) << buffered;
      buffered += 8;
    }
    const int code = static_cast<int>(buffer & ((1u << bits) - 1));
    buffer >>= bits;
    buffered -= bits;
    if (code == clear) {
      bits = min_bits + 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code >= clear) return false;
      out.push_back(static_cast<std::uint8_t>(code));
      previous = code;
      continue;
    }
    if (code > next || (code == next && next >= 4096)) return false;
    int c = code == next ? previous : code;
    stack.clear();
    if (code == next) stack.push_back(first[static_cast<std::size_t>(previous)]);
    while (c >= clear) {
      stack.push_back(suffix[static_cast<std::size_t>(c)]);
      c = prefix[static_cast<std::size_t>(c)];
    }
    stack.push_back(static_cast<std::uint8_t>(c));
    if (next < 4096) {
      prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(previous);
      suffix[static_cast<std::size_t>(next)] = static_cast<std::uint8_t>(c);
      first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(previous)];
      ++next;
      if (next == (1 << bits) && bits < 12) ++bits;
    }
    out.insert(out.end(), stack.rbegin(), stack.rend());
    previous = code;
  }
  if (out.size() < count) return false;
  out.resize(count);
  return true;
}

}  // namespace

std::optional<GifImage> DecodeGif(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const std::uint8_t* signature = in.Take(6);
  if (!signature || (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0))
    return std::nullopt;
  in.Word();  // the logical screen; the image's own size is what is shown
  in.Word();
  const std::uint8_t screen = in.Byte();
  in.Byte();  // background colour
  in.Byte();  // aspect
  Palette global{};
  if (screen & 0x80) ReadPalette(in, 2 << (screen & 7), global);
  int transparent = -1;
  while (!in.failed()) {
    const std::uint8_t kind = in.Byte();
    if (kind == 0x21) {  // extension: only the graphic control one matters
      const std::uint8_t label = in.Byte();
      std::vector<std::uint8_t> body;
      in.Blocks(&body);
      if (label == 0xF9 && body.size() >= 4 && (body[0] & 1)) transparent = body[3];
      continue;
    }
    if (kind != 0x2C) return std::nullopt;  // the trailer, or no image at all
    in.Word();
    in.Word();
    GifImage image;
    image.width = in.Word();
    image.height = in.Word();
    const std::uint8_t flags = in.Byte();
    Palette palette = global;
    if (flags & 0x80) ReadPalette(in, 2 << (flags & 7), palette);
    const int min_bits = in.Byte();
    std::vector<std::uint8_t> codes;
    in.Blocks(&codes);
    if (in.failed() || image.width <= 0 || image.height <= 0) return std::nullopt;
    const std::size_t w = static_cast<std::size_t>(image.width), h = static_cast<std::size_t>(image.height);
    std::vector<std::uint8_t> indices;
    if (!Lzw(codes, min_bits, w * h, indices)) return std::nullopt;
    // Interlaced rows come in four passes: every 8th from 0, every 8th
    // from 4, every 4th from 2, every 2nd from 1.
    std::vector<std::size_t> rows;
    if (flags & 0x40) {
      for (auto [start, step] : {std::pair<std::size_t, std::size_t>{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (std::size_t y = start; y < h; y += step) rows.push_back(y);
    } else {
      for (std::size_t y = 0; y < h; ++y) rows.push_back(y);
    }
    image.pixels.resize(w * h);
    for (std::size_t r = 0; r < h; ++r)
      for (std::size_t x = 0; x < w; ++x) {
        const std::uint8_t index = indices[r * w + x];
        image.pixels[rows[r] * w + x] = index == transparent ? 0 : palette[index];
      }
    return image;
  }
  return std::nullopt;
}

}  // namespace varnello::ui
