// What a screen reader is told about the window Pc: the controls it is shown,
// in reading order, with their names and roles, which of them the progress
// overlay hides, and which one lies under a point. Every label and picture
// is drawn by the window itself, so this is the only way a reader learns of
// them.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "ui/hit_test.h"
#include "ui/layout.h"

namespace varnello::ui {

enum class AccessibleRole {
  kStaticText,  // a result (name: its caption, value: its text) or the heading
  kPushButton,  // the start label
  kLink,        // the two links to the home page
  kGraphic,     // the progress overlay, named after the words it shows
  kWebView,     // the announcement strip: the browser's own object
};

struct AccessibleItem {
  ControlId control;  // Frame1 stands for the overlay, gonggao for the strip
  AccessibleRole role;
  std::u16string_view name;
  bool has_value;  // results: the text they show; links: the page they open
};

// Reading order: the heading, the operating system, the overlay over the
// panel (hidden but present while the panel shows), the panel row by row
// and left to right, the start label, the credit link, the banner and the
// announcement strip. Child id k (from 1) is item k - 1; the strip comes
// last, so that a window without a browser simply has one child fewer.
constexpr int kAccessibleCount = 15;
extern const std::array<AccessibleItem, kAccessibleCount> kAccessibleItems;

// MSAA's id of the object itself.
constexpr int kSelf = 0;

const AccessibleItem& ItemOf(int child);  // child in [1, kAccessibleCount]

// The child standing for a control, or kSelf for a control not shown to
// readers (pictures that carry no meaning, the captions that name the
// results, the controls beyond the client area, neida).
int ChildIdOf(ControlId control);

// Whether the progress overlay covers the control (wholly or all but a
// sliver) at these visibilities.
bool CoveredByOverlay(ControlId control, const Visibility& visible);

// Whether the child is out of sight: the overlay while hidden, the results
// it covers while shown, a hidden control.
bool ChildHidden(int child, const Visibility& visible);

// The child's rectangle in client pixels at `dpi`; the strip is the part of
// the browser its frame lets show.
PixelRect ChildRect(int child, int dpi);

// The child under a client point, as the window's own hit-testing finds the
// control there; kSelf where no visible child takes the point.
int ChildAt(int x, int y, int dpi, const Visibility& visible);

// What a result says: its caption as drawn, without access-key markers. The
// whole text, also what the label's height cuts off.
std::u16string ShownText(std::u16string_view caption);

}  // namespace varnello::ui
