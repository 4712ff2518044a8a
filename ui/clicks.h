// Clicks on the window's own controls, raised as the controls it imitates
// raise them: Click when the left button is pressed and released over the
// same control; on the second press of a double-click, DblClick, after which
// the release raises nothing. Controls are indices into kControls; -1 is a
// place that takes no clicks.
#pragma once

namespace varnello::ui {

enum class ClickEvent { kNone, kClick, kDblClick };

class ClickTracker {
 public:
  // A plain press of the left button.
  void Press(int control);
  // The second press of a double-click. DblClick when the first click was
  // on this same control; otherwise it starts a click like any press.
  ClickEvent DoublePress(int control);
  // The release of the left button over `control`.
  ClickEvent Release(int control);
  // The press is lost (the mouse capture went elsewhere).
  void Cancel() { pressed_ = -1; }

  int pressed() const { return pressed_; }

 private:
  int pressed_ = -1;       // control under the held button
  int last_clicked_ = -1;  // control of the click just completed
};

}  // namespace varnello::ui
