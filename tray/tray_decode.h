// What the notification-area icon's mouse notifications mean. The shell
// sends them as the window's own mouse-move message with the number of the
// mouse message in place of the pointer position; the window's mouse-move
// event reports that position in twips.
#pragma once

namespace varnello::tray {

enum class TrayAction { kNone, kRestore, kPopupMenu };

constexpr int kLeftButtonDown = 0x0201;   // WM_LBUTTONDOWN
constexpr int kRightButtonDown = 0x0204;  // WM_RBUTTONDOWN

// x: the event's horizontal position in twips; twips_per_pixel: the screen's.
TrayAction DecodeIconMessage(float x, float twips_per_pixel);

// Whether a mouse-move message came from the shell rather than from the
// pointer: it was sent from another thread or process, or the position it
// carries is not where the pointer was when it was posted.
bool IsIconNotification(bool sent_from_elsewhere, int message_x, int message_y, int pointer_x,
                        int pointer_y);

// Twips per pixel at `dpi` pixels per inch, whole: 15 at 96, 12 at 120.
float TwipsPerPixel(int dpi);

}  // namespace varnello::tray
