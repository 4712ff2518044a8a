#include "survey/display_log.h"

#include "base/utf.h"

namespace varnello {

std::string CaptionLine(ResultLabel label, std::u16string_view text) {
  return std::string("SetCaption\t") + LabelName(label) + "\t" + ToUtf8(text);
}

std::string ProgressLine(bool visible) {
  return std::string("SetProgressVisible\t") + (visible ? "true" : "false");
}

std::string NoticeLine(std::u16string_view text, std::u16string_view title, std::int32_t icon_kind) {
  return "ShowNotice\t" + ToUtf8(text) + "\t" + ToUtf8(title) + "\t" + std::to_string(icon_kind);
}

std::string LabelsJson(const LabelTexts& texts) {
  std::string out = "{";
  for (int i = 0; i < kResultLabelCount; ++i) {
    if (i) out += ", ";
    out += JsonQuote(FromUtf8(LabelName(static_cast<ResultLabel>(i))));
    out += ": ";
    out += JsonQuote(texts[static_cast<std::size_t>(i)]);
  }
  return out + "}";
}

}  // namespace varnello
