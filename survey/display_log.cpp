#include "survey/display_log.h"

#include "survey/utf.h"

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

}  // namespace varnello
