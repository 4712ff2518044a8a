#include "ui/accessible_tree.h"

#include "ui/text_layout.h"

namespace varnello::ui {
namespace {

using R = AccessibleRole;

bool Meet(const TwipsRect& a, const TwipsRect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

}  // namespace

const std::array<AccessibleItem, kAccessibleCount> kAccessibleItems = {{
    {kLabel5, R::kStaticText, u"硬件信息↓", false},
    {kWindows, R::kStaticText, u"系统", true},
    {kFrame1, R::kGraphic, u"检测中……", false},
    {kZhuban, R::kStaticText, u"主板", true},
    {kBIOS, R::kStaticText, u"BIOS", true},
    {kCpuz, R::kStaticText, u"CPU", true},
    {kXianka, R::kStaticText, u"显卡", true},
    {kYp, R::kStaticText, u"硬盘", true},
    {kShengka, R::kStaticText, u"声卡", true},
    {kNeicun, R::kStaticText, u"内存", true},
    {kWangka, R::kStaticText, u"网卡", true},
    {kJiance, R::kPushButton, u"开始检测", false},
    {kUpdate, R::kLink, u"Tessmor出品", true},
    {kImage5, R::kLink, u"Varnello", true},
    {kGonggao, R::kWebView, {}, false},
}};

const AccessibleItem& ItemOf(int child) { return kAccessibleItems[static_cast<std::size_t>(child - 1)]; }

int ChildIdOf(ControlId control) {
  for (int k = 0; k < kAccessibleCount; ++k)
    if (kAccessibleItems[static_cast<std::size_t>(k)].control == control) return k + 1;
  return kSelf;
}

bool CoveredByOverlay(ControlId control, const Visibility& visible) {
  if (control == kFrame1 || !visible[kFrame1]) return false;
  const ControlSpec& c = kControls[static_cast<std::size_t>(control)];
  return c.container == -1 && c.kind != ControlKind::kFrame && Meet(c.twips, kControls[kFrame1].twips);
}

bool ChildHidden(int child, const Visibility& visible) {
  const ControlId control = ItemOf(child).control;
  if (control == kGonggao) return !visible[kFrame2];
  return !visible[static_cast<std::size_t>(control)] || CoveredByOverlay(control, visible);
}

PixelRect ChildRect(int child, int dpi) {
  const ControlId control = ItemOf(child).control;
  return ToPixels(kControls[control == kGonggao ? kFrame2 : control].twips, dpi);
}

int ChildAt(int x, int y, int dpi, const Visibility& visible) {
  const Hit hit = HitTest(x, y, dpi, visible);
  if (hit.kind == HitKind::kForm) return kSelf;
  const ControlId control = hit.control == kFrame2 ? kGonggao : static_cast<ControlId>(hit.control);
  const int child = ChildIdOf(control);
  return child != kSelf && !ChildHidden(child, visible) ? child : kSelf;
}

std::u16string ShownText(std::u16string_view caption) { return ParseAccessKeys(caption).shown; }

}  // namespace varnello::ui
