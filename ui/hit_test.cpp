#include "ui/hit_test.h"

namespace varnello::ui {

Visibility InitialVisibility() {
  Visibility v{};
  for (int i = 0; i < kControlCount; ++i) v[static_cast<std::size_t>(i)] = kControls[static_cast<std::size_t>(i)].visible;
  return v;
}

Hit HitTest(int x, int y, int dpi, const Visibility& visible) {
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < kControlCount; ++i) {
      const ControlSpec& c = kControls[static_cast<std::size_t>(i)];
      if (c.container != -1 || !visible[static_cast<std::size_t>(i)]) continue;
      const bool child_window = c.kind == ControlKind::kFrame || c.kind == ControlKind::kWebView;
      if (child_window != (pass == 0)) continue;
      if (ToPixels(c.twips, dpi).Contains(x, y))
        return {child_window ? HitKind::kChildWindow : HitKind::kControl, i};
    }
  }
  return {HitKind::kForm, -1};
}

}  // namespace varnello::ui
