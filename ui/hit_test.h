// Which control a point of the client area belongs to.
#pragma once

#include <array>

#include "ui/layout.h"

namespace varnello::ui {

enum class HitKind {
  kChildWindow,  // a frame: the child window takes the event itself
  kControl,      // a label or picture of the window
  kForm,         // nothing lies there: the window's own surface
};

struct Hit {
  HitKind kind;
  int control;  // index into kControls; -1 for kForm
};

using Visibility = std::array<bool, kControlCount>;

// The controls' visibility as the window is created.
Visibility InitialVisibility();

// The frontmost visible control under the point (client pixels at `dpi`).
// The frames lie above every label and picture; controls inside a frame are
// the frame's own affair.
Hit HitTest(int x, int y, int dpi, const Visibility& visible);

}  // namespace varnello::ui
