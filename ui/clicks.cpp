#include "ui/clicks.h"

namespace varnello::ui {

void ClickTracker::Press(int control) {
  pressed_ = control;
  last_clicked_ = -1;
}

ClickEvent ClickTracker::DoublePress(int control) {
  if (control >= 0 && control == last_clicked_) {
    pressed_ = -1;
    last_clicked_ = -1;
    return ClickEvent::kDblClick;
  }
  Press(control);
  return ClickEvent::kNone;
}

ClickEvent ClickTracker::Release(int control) {
  const int pressed = pressed_;
  pressed_ = -1;
  last_clicked_ = -1;
  if (pressed < 0 || control != pressed) return ClickEvent::kNone;
  last_clicked_ = pressed;
  return ClickEvent::kClick;
}

}  // namespace varnello::ui
