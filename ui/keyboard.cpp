#include "ui/keyboard.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace varnello::ui {
namespace {

constexpr std::u16string_view kSystemCaption = u"系统：";

// Each result with the label that names it, row by row, left to right.
constexpr std::array<std::pair<ControlId, ControlId>, 8> kNamedResults = {{
    {kLabel4, kZhuban}, {kLabel2, kBIOS}, {kLabel9, kCpuz}, {kLabel11, kXianka},
    {kLabel10, kYp}, {kLabel12, kShengka}, {kLabel13, kNeicun}, {kLabel14, kWangka},
}};

}  // namespace

ControlId NextFocus(ControlId current, bool backwards) {
  std::size_t at = 0;
  while (at < kFocusOrder.size() && kFocusOrder[at] != current) ++at;
  if (at == kFocusOrder.size()) return kFocusOrder.front();
  const std::size_t n = kFocusOrder.size();
  return kFocusOrder[(at + (backwards ? n - 1 : 1)) % n];
}

bool Focusable(ControlId control) {
  return std::find(kFocusOrder.begin(), kFocusOrder.end(), control) != kFocusOrder.end();
}

KeyAction KeyTracker::Down(int key, bool repeat, bool shift, bool control, ControlId focus) {
  if (key == vk::kTab && !control) return shift ? KeyAction::kFocusPrevious : KeyAction::kFocusNext;
  if (repeat) return KeyAction::kNone;
  if (key == vk::kReturn) return KeyAction::kActivate;
  if (key == vk::kSpace) {
    space_on_ = focus;
    return KeyAction::kNone;
  }
  if (key == vk::kF5) return KeyAction::kSurvey;
  if (control && (key == vk::kC || key == vk::kInsert)) return KeyAction::kCopy;
  return KeyAction::kNone;
}

KeyAction KeyTracker::Up(int key, ControlId focus) {
  if (key != vk::kSpace) return KeyAction::kNone;
  const bool same = space_on_ == focus;
  space_on_.reset();
  return same ? KeyAction::kActivate : KeyAction::kNone;
}

bool ShowsFocus(bool active, bool cues_hidden, bool cues_always) { return active && (cues_always || !cues_hidden); }

std::u16string ResultsText(const Captions& captions) {
  std::u16string text = captions[kWindows].empty() ? std::u16string(kSystemCaption) : captions[kWindows];
  text += u"\r\n";
  for (const auto& [name, result] : kNamedResults) {
    std::u16string_view caption = kControls[name].caption;
    caption.remove_prefix(std::min(caption.find_first_not_of(u' '), caption.size()));
    text.append(caption).append(captions[result]).append(u"\r\n");
  }
  return text;
}

}  // namespace varnello::ui
