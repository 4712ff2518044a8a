// One line per survey display call, tab-separated, as the console survey
// prints them and the tests record them:
//   ShowNotice<TAB>text<TAB>title<TAB>kind
//   SetProgressVisible<TAB>true|false
//   SetCaption<TAB>label<TAB>text
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "survey/survey_display.h"

namespace varnello {

std::string CaptionLine(ResultLabel label, std::u16string_view text);
std::string ProgressLine(bool visible);
std::string NoticeLine(std::u16string_view text, std::u16string_view title, std::int32_t icon_kind);

using LabelTexts = std::array<std::u16string, kResultLabelCount>;
// The labels' texts as one JSON object {"Windows": "...", ...}, in label
// order, UTF-8.
std::string LabelsJson(const LabelTexts& texts);

}  // namespace varnello
