// How a label's caption becomes lines: access-key ampersands, and wrapping at
// the label's width between words and between any two Chinese characters.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnello::ui {

struct AccessKeyText {
  std::u16string shown;      // the caption without its markers
  std::ptrdiff_t underline = -1;  // index into `shown` of the underlined character, or -1
};

// "&x" draws x underlined (the first such marker counts), "&&" draws one
// ampersand, and a lone "&" at the end is not drawn.
AccessKeyText ParseAccessKeys(std::u16string_view caption);

struct TextLine {
  std::size_t begin, end;  // [begin, end) of the shown text
};

// Advance width in pixels of one character (a code point: one UTF-16 unit,
// or a surrogate pair).
using MeasureFn = std::function<int(std::u16string_view character)>;

// Breaks `text` into lines no wider than `width`: at line breaks (CR, LF or
// CR LF), after a run of blanks, and before or after any CJK character; a
// word wider than the line is broken between characters. Blanks at a soft
// break are dropped. Stops after `max_lines` lines, so a huge text costs no
// more than the part that can be seen.
std::vector<TextLine> WrapLines(std::u16string_view text, int width, std::size_t max_lines,
                                const MeasureFn& measure);

// Whether a line may break before or after this character.
bool IsCjk(char32_t c);

}  // namespace varnello::ui
