#include "ui/text_layout.h"

#include "base/utf.h"

namespace varnello::ui {
namespace {

bool IsBlank(char16_t c) { return c == u' '; }
bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// Length in UTF-16 units of the character at i, and its code point.
std::size_t CharLength(std::u16string_view text, std::size_t i, char32_t* code) {
  const Utf16Char c = StepUtf16(text, i);
  *code = c.code;
  return c.length;
}

class Wrapper {
 public:
  Wrapper(std::u16string_view text, int width, std::size_t max_lines, const MeasureFn& measure)
      : text_(text), width_(width), max_lines_(max_lines), measure_(measure) {}

  std::vector<TextLine> Run() {
    std::size_t pos = 0;
    while (lines_.size() < max_lines_) {
      std::size_t end = pos;
      while (end < text_.size() && !IsLineBreak(text_[end])) ++end;
      WrapParagraph(pos, end);
      if (end >= text_.size() || lines_.size() >= max_lines_) break;
      pos = end + ((text_[end] == u'\r' && end + 1 < text_.size() && text_[end + 1] == u'\n') ? 2 : 1);
      if (pos == text_.size()) {
        lines_.push_back({pos, pos});  // the empty line after a final line break
        break;
      }
    }
    if (lines_.size() > max_lines_) lines_.resize(max_lines_);
    return std::move(lines_);
  }

 private:
  // Width of [begin, end); anything wider than the line is reported as just
  // wider, so that a huge word is not measured to its end.
  int Width(std::size_t begin, std::size_t end) const {
    int w = 0;
    char32_t code;
    for (std::size_t i = begin; i < end && w <= width_;) {
      std::size_t n = CharLength(text_, i, &code);
      w += measure_(text_.substr(i, n));
      i += n;
    }
    return w;
  }

  // The end of the unbreakable piece that starts at i: one CJK character,
  // a run of blanks at the start of a paragraph, or a word.
  std::size_t WordEnd(std::size_t i, std::size_t end) const {
    char32_t code;
    std::size_t n = CharLength(text_, i, &code);
    if (IsCjk(code)) return i + n;
    if (IsBlank(text_[i])) {
      while (i < end && IsBlank(text_[i])) ++i;
      return i;
    }
    while (i < end) {
      n = CharLength(text_, i, &code);
      if (IsBlank(text_[i]) || IsCjk(code)) break;
      i += n;
    }
    return i;
  }

  void WrapParagraph(std::size_t begin, std::size_t end) {
    std::size_t line_begin = begin, line_end = begin, i = begin;
    int x = 0;
    bool empty = true;
    if (begin == end) {
      lines_.push_back({begin, end});
      return;
    }
    while (i < end) {
      std::size_t word_end = WordEnd(i, end);
      std::size_t blanks_end = word_end;
      while (blanks_end < end && IsBlank(text_[blanks_end])) ++blanks_end;
      const int word_width = Width(i, word_end);
      if (empty || x + word_width <= width_) {
        if (empty && word_width > width_) {
          // A word wider than the line: as many characters as fit, at least one.
          std::size_t cut = i;
          int w = 0;
          char32_t code;
          while (cut < word_end) {
            std::size_t n = CharLength(text_, cut, &code);
            int cw = measure_(text_.substr(cut, n));
            if (cut > i && w + cw > width_) break;
            w += cw;
            cut += n;
          }
          if (cut < word_end) {
            lines_.push_back({line_begin, cut});
            if (lines_.size() >= max_lines_) return;
            line_begin = line_end = i = cut;
            continue;
          }
        }
        x += word_width + Width(word_end, blanks_end);
        line_end = word_end;
        empty = false;
        i = blanks_end;
      } else {
        lines_.push_back({line_begin, line_end});
        if (lines_.size() >= max_lines_) return;
        line_begin = line_end = i;
        x = 0;
        empty = true;
      }
    }
    lines_.push_back({line_begin, line_end});
  }

  std::u16string_view text_;
  int width_;
  std::size_t max_lines_;
  const MeasureFn& measure_;
  std::vector<TextLine> lines_;
};

}  // namespace

bool IsCjk(char32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x2FFF) || (c >= 0x3000 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7AF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) ||
         (c >= 0x20000 && c <= 0x3FFFF);
}

AccessKeyText ParseAccessKeys(std::u16string_view caption) {
  AccessKeyText out;
  out.shown.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != u'&') {
      out.shown += caption[i];
      continue;
    }
    if (i + 1 >= caption.size()) break;  // a lone marker at the end
    if (caption[i + 1] == u'&') {
      out.shown += u'&';
      ++i;
      continue;
    }
    if (out.underline < 0) out.underline = static_cast<std::ptrdiff_t>(out.shown.size());
  }
  return out;
}

std::vector<TextLine> WrapLines(std::u16string_view text, int width, std::size_t max_lines,
                                const MeasureFn& measure) {
  if (max_lines == 0) return {};
  return Wrapper(text, width, max_lines, measure).Run();
}

}  // namespace varnello::ui
