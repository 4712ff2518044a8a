// Conversions between the program's UTF-16 texts and UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnello {

// One character of UTF-16 text: its length in units (2 for a surrogate
// pair, otherwise 1) and its code point; an unpaired surrogate is one unit
// and stands for itself.
struct Utf16Char {
  std::size_t length;
  char32_t code;
};

// The character that starts at text[i]; i < text.size().
Utf16Char StepUtf16(std::u16string_view text, std::size_t i);

// Unpaired surrogates become U+FFFD; everything else, NUL included, is kept.
std::string ToUtf8(std::u16string_view text);

// Malformed sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

// A JSON string literal of the text, UTF-8.
std::string JsonQuote(std::u16string_view text);

}  // namespace varnello
