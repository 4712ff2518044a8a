// What a screen reader is shown of the window, checked against the layout.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/utf.h"
#include "ui/accessible_tree.h"

namespace varnello::ui {
namespace {

const ControlSpec& Design(ControlId id) { return kControls[static_cast<std::size_t>(id)]; }

bool IsResult(ControlId id) {
  for (ControlId r : kResultLabels)
    if (r == id) return true;
  return false;
}

// The caption label just left of a result on its row, as the eye reads it.
std::u16string CaptionBeside(ControlId result) {
  const TwipsRect& r = Design(result).twips;
  int best = -1;
  for (int i = 0; i < kControlCount; ++i) {
    const ControlSpec& c = kControls[static_cast<std::size_t>(i)];
    if (c.kind != ControlKind::kLabel || c.caption.empty() || c.twips.top != r.top || c.twips.left >= r.left) continue;
    if (best < 0 || c.twips.left > kControls[static_cast<std::size_t>(best)].twips.left) best = i;
  }
  return best < 0 ? u"" : std::u16string(kControls[static_cast<std::size_t>(best)].caption);
}

std::u16string Trimmed(std::u16string s) {
  while (!s.empty() && (s.back() == u':' || s.back() == u' ')) s.pop_back();
  while (!s.empty() && s.front() == u' ') s.erase(s.begin());
  return s;
}

TEST(AccessibleTree, ResultsInReadingOrderNamedByTheirCaptions) {
  std::set<ControlId> results;
  const TwipsRect* previous = nullptr;
  for (int child = 1; child <= kAccessibleCount; ++child) {
    const AccessibleItem& item = ItemOf(child);
    EXPECT_EQ(ChildIdOf(item.control), child);
    if (!IsResult(item.control)) continue;
    SCOPED_TRACE(Design(item.control).name);
    results.insert(item.control);
    EXPECT_EQ(item.role, AccessibleRole::kStaticText);
    EXPECT_TRUE(item.has_value);
    if (item.control == kWindows) {
      EXPECT_EQ(ToUtf8(item.name), "系统");  // no caption of its own
      continue;
    }
    EXPECT_EQ(ToUtf8(item.name), ToUtf8(Trimmed(CaptionBeside(item.control))));
    // The panel row by row, left to right.
    const TwipsRect& here = Design(item.control).twips;
    if (previous) {
      EXPECT_TRUE(here.top > previous->top || (here.top == previous->top && here.left > previous->left));
    }
    previous = &here;
  }
  EXPECT_EQ(results.size(), kResultLabels.size());
  EXPECT_LT(ChildIdOf(kLabel5), ChildIdOf(kWindows));
  EXPECT_LT(ChildIdOf(kWindows), ChildIdOf(kZhuban));
  EXPECT_LT(ChildIdOf(kWangka), ChildIdOf(kJiance));
  EXPECT_LT(ChildIdOf(kJiance), ChildIdOf(kUpdate));
  EXPECT_LT(ChildIdOf(kUpdate), ChildIdOf(kImage5));
  EXPECT_EQ(ChildIdOf(kGonggao), kAccessibleCount) << "the strip last: without a browser it is left off";
}

TEST(AccessibleTree, OnlyWhatCarriesMeaningIsShown) {
  const int client_w = kClientWidthTwips, client_h = kClientHeightTwips;
  for (int i = 0; i < kControlCount; ++i) {
    const ControlSpec& c = kControls[static_cast<std::size_t>(i)];
    SCOPED_TRACE(c.name);
    const int child = ChildIdOf(static_cast<ControlId>(i));
    const bool outside = c.twips.left >= client_w || c.twips.top >= client_h;
    if (outside || !c.visible || (c.kind == ControlKind::kPicture && i != kImage5) ||
        (c.kind == ControlKind::kLabel && !IsResult(static_cast<ControlId>(i)) && c.caption.empty())) {
      EXPECT_EQ(child, kSelf);
    }
  }
  EXPECT_EQ(ChildIdOf(kLabel4), kSelf) << "captions name the results; they are not read twice";
  EXPECT_EQ(ItemOf(ChildIdOf(kImage5)).role, AccessibleRole::kLink);
}

TEST(AccessibleTree, TheOverlayHidesThePanelAndShowsItself) {
  Visibility v = InitialVisibility();
  v[kFrame1] = false;
  const int overlay = ChildIdOf(kFrame1);
  EXPECT_TRUE(ChildHidden(overlay, v));
  for (int child = 1; child <= kAccessibleCount; ++child) {
    if (child != overlay) {
      EXPECT_FALSE(ChildHidden(child, v)) << child;
    }
  }

  v[kFrame1] = true;
  EXPECT_FALSE(ChildHidden(overlay, v));
  std::set<ControlId> hidden;
  for (int child = 1; child <= kAccessibleCount; ++child) {
    if (ChildHidden(child, v)) hidden.insert(ItemOf(child).control);
  }
  // Every result but the operating system's; the sliver of xianka, shengka
  // and wangka beyond the overlay does not make them readable.
  EXPECT_EQ(hidden, (std::set<ControlId>{kZhuban, kBIOS, kCpuz, kXianka, kYp, kShengka, kNeicun, kWangka}));
}

// Every pixel on and beside a control's edge, and a grid between them.
std::set<int> Probes(int extent, int dpi, bool vertical) {
  std::set<int> at;
  for (int p = 0; p < extent; p += 5) at.insert(p);
  for (const ControlSpec& c : kControls) {
    const PixelRect r = ToPixels(c.twips, dpi);
    const int from = vertical ? r.top : r.left, size = vertical ? r.height : r.width;
    for (int p : {from - 1, from, from + size - 1, from + size})
      if (p >= 0 && p < extent) at.insert(p);
  }
  return at;
}

// At every density a window may get: the child under a point is the one the
// window's own hit-testing finds there, the point lies inside that child's
// rectangle, and the child is shown.
TEST(AccessibleTree, HitTestingAgreesWithTheWindowAndTheLayout) {
  for (int dpi : {96, 120, 144, 192}) {
    for (bool overlay : {false, true}) {
      SCOPED_TRACE(std::to_string(dpi) + (overlay ? " overlay" : ""));
      Visibility v = InitialVisibility();
      v[kFrame1] = overlay;
      std::set<int> reached;
      const int w = TwipsToPixels(kClientWidthTwips, dpi), h = TwipsToPixels(kClientHeightTwips, dpi);
      const std::set<int> xs = Probes(w, dpi, false), ys = Probes(h, dpi, true);
      for (int y : ys) {
        for (int x : xs) {
          const int child = ChildAt(x, y, dpi, v);
          const Hit hit = HitTest(x, y, dpi, v);
          if (child == kSelf) {
            if (hit.kind != HitKind::kForm) {
              const int owner = ChildIdOf(hit.control == kFrame2 ? kGonggao : static_cast<ControlId>(hit.control));
              ASSERT_TRUE(owner == kSelf || ChildHidden(owner, v)) << x << "," << y;
            }
            continue;
          }
          reached.insert(child);
          ASSERT_TRUE(ChildRect(child, dpi).Contains(x, y)) << x << "," << y;
          ASSERT_FALSE(ChildHidden(child, v)) << x << "," << y;
          const ControlId control = ItemOf(child).control;
          ASSERT_EQ(hit.control, control == kGonggao ? kFrame2 : control) << x << "," << y;
        }
      }
      for (int child = 1; child <= kAccessibleCount; ++child)
        EXPECT_EQ(reached.count(child) == 1, !ChildHidden(child, v)) << "child " << child;
    }
  }
}

TEST(AccessibleTree, AResultSaysItsWholeTextWithoutAccessKeyMarkers) {
  EXPECT_EQ(ToUtf8(ShownText(u"A&&B &C")), "A&B C");
  const std::u16string long_text(200, u'字');
  EXPECT_EQ(ShownText(long_text), long_text) << "what the label cuts off is still read";
}

}  // namespace
}  // namespace varnello::ui
