#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/bmp.h"

namespace varnello::ui {
namespace {

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::vector<std::uint8_t>& b, std::size_t at, int v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A whole bitmap file: header, colour table of `colours` entries, rows.
std::vector<std::uint8_t> File(int width, int height, int depth, std::uint32_t colours = 0) {
  const std::uint32_t table = (depth <= 8 ? (colours ? colours : 1u << depth) : colours) * 4;
  const std::uint32_t row = (static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(depth) + 31) / 32 * 4;
  const std::uint32_t rows = static_cast<std::uint32_t>(height < 0 ? -height : height);
  const std::uint32_t bits = 14 + 40 + table;
  std::vector<std::uint8_t> b(bits + row * rows, 0x5A);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 6, 0);
  Put32(b, 10, bits);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, depth);
  Put32(b, 30, 0);
  Put32(b, 34, row * rows);
  for (std::size_t at = 38; at < 54; ++at) b[at] = 0;
  Put32(b, 46, colours);
  return b;
}

TEST(Bmp, RefusesDataCutShortAnywhere) {
  for (auto file : {File(82, 29, 24), File(127, 26, 8), File(5, 3, 1), File(2, 2, 32)}) {
    ASSERT_TRUE(ParseBmp(file.data(), file.size()).has_value());
    for (std::size_t cut = 0; cut < file.size(); ++cut)
      EXPECT_FALSE(ParseBmp(file.data(), cut).has_value()) << "cut at " << cut << " of " << file.size();
  }
  EXPECT_FALSE(ParseBmp(nullptr, 0).has_value());
}

TEST(Bmp, RefusesHeadersThatDoNotFitOrAreNotUncompressed) {
  const auto good = File(4, 4, 24);
  auto with = [&](std::size_t at, std::uint32_t value, int width = 4) {
    auto b = good;
    if (width == 2)
      Put16(b, at, static_cast<int>(value));
    else
      Put32(b, at, value);
    return ParseBmp(b.data(), b.size()).has_value();
  };
  EXPECT_FALSE(with(0, 0x4D42 ^ 0x0101, 2)) << "not a bitmap file";
  EXPECT_FALSE(with(10, 40)) << "rows over the header";
  EXPECT_FALSE(with(14, 12)) << "the old core header";
  EXPECT_FALSE(with(14, 0xFFFFFFF0u)) << "a header larger than the file";
  EXPECT_FALSE(with(18, 0x80000000u)) << "negative width";
  EXPECT_FALSE(with(18, 0x7FFFFFFFu)) << "rows far beyond the end";
  EXPECT_FALSE(with(22, 0x80000000u)) << "a height with no positive form";
  EXPECT_FALSE(with(28, 7, 2)) << "seven bits a pixel";
  EXPECT_FALSE(with(30, 1)) << "run-length encoded";
  EXPECT_TRUE(with(34, 0)) << "the image size may be left out";

  auto indexed = File(4, 4, 8);
  Put32(indexed, 46, 257);
  EXPECT_FALSE(ParseBmp(indexed.data(), indexed.size()).has_value()) << "more colours than 8 bits index";

  // Masks after the header must lie before the rows.
  auto masked = File(4, 4, 32);
  Put32(masked, 30, 3);
  EXPECT_FALSE(ParseBmp(masked.data(), masked.size()).has_value());
  Put32(masked, 10, 54 + 12);
  masked.insert(masked.begin() + 54, 12, 0);
  EXPECT_TRUE(ParseBmp(masked.data(), masked.size()).has_value());
}

}  // namespace
}  // namespace varnello::ui
