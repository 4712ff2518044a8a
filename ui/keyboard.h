// The window without a mouse: which controls take the keyboard focus and in
// what order, what each key does, and the results as a person would type
// them out for the clipboard. The keys reach the same handlers a click does.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "ui/layout.h"

namespace varnello::ui {

// The controls that act, in the order screen readers read them; Tab moves
// forward and wraps around.
constexpr std::array<ControlId, 3> kFocusOrder = {kJiance, kUpdate, kImage5};

ControlId NextFocus(ControlId current, bool backwards);
bool Focusable(ControlId control);

// Virtual-key codes the window reads (Windows' values).
namespace vk {
constexpr int kTab = 0x09, kReturn = 0x0D, kSpace = 0x20, kInsert = 0x2D, kC = 0x43, kF5 = 0x74;
}

enum class KeyAction { kNone, kFocusNext, kFocusPrevious, kActivate, kSurvey, kCopy };

// Enter acts on its first key-down, Space on its key-up after a key-down on
// the same control, as a push button does; F5 starts a survey wherever the
// focus is; Ctrl+C and Ctrl+Insert copy. Auto-repeated key-downs act on
// nothing but Tab.
class KeyTracker {
 public:
  KeyAction Down(int key, bool repeat, bool shift, bool control, ControlId focus);
  KeyAction Up(int key, ControlId focus);
  // The focus left the window, or moved: a Space held down acts on nothing.
  void Cancel() { space_on_.reset(); }

 private:
  std::optional<ControlId> space_on_;
};

// The focused control's rectangle is drawn while the window is active and
// keyboard cues are on: after the keyboard was used, or always where the
// user asked for them.
bool ShowsFocus(bool active, bool cues_hidden, bool cues_always);

// The nine results row by row as the window shows them, each line its
// caption without leading blanks and the result's text, every line ending
// in CR LF. The system line is that label's own text, which carries its
// caption.
std::u16string ResultsText(const Captions& captions);

}  // namespace varnello::ui
