// What the survey may do to the window: write a result label, show or hide
// the progress picture, and show a notice balloon.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/result.h"

namespace varnello {

// The nine result labels, in the order in which a survey first writes them.
enum class ResultLabel { Windows, zhuban, BIOS, cpuz, xianka, shengka, wangka, neicun, yp };

constexpr int kResultLabelCount = 9;

// The label's name as the window knows it ("Windows", "zhuban", ...).
const char* LabelName(ResultLabel label);

// Icon kind of every notice the survey shows: the information icon.
constexpr std::int32_t kNoticeInfo = 1;

class SurveyDisplay {
 public:
  virtual ~SurveyDisplay() = default;
  // Afterwards the label shows exactly `text`.
  virtual Status SetCaption(ResultLabel label, std::u16string_view text) = 0;
  virtual Status SetProgressVisible(bool visible) = 0;
  // Shows a balloon at the notification-area icon; returns at once.
  virtual Status ShowNotice(std::u16string_view text, std::u16string_view title,
                            std::int32_t icon_kind) = 0;
};

}  // namespace varnello
