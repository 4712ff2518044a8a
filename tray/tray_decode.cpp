#include "tray/tray_decode.h"

namespace varnello::tray {

TrayAction DecodeIconMessage(float x, float twips_per_pixel) {
  const float message = x / twips_per_pixel;
  if (message == static_cast<float>(kLeftButtonDown)) return TrayAction::kRestore;
  if (message == static_cast<float>(kRightButtonDown)) return TrayAction::kPopupMenu;
  return TrayAction::kNone;
}

bool IsIconNotification(bool sent_from_elsewhere, int message_x, int message_y, int pointer_x,
                        int pointer_y) {
  return sent_from_elsewhere || message_x != pointer_x || message_y != pointer_y;
}

// A whole number, as the screen reports it, so that a position scaled by it
// divides back to exactly the message number at every density.
float TwipsPerPixel(int dpi) {
  if (dpi <= 0) return 15.0f;
  int tpp = 1440 / dpi;
  return static_cast<float>(tpp > 0 ? tpp : 1);
}

}  // namespace varnello::tray
