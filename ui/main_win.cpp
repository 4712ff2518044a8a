// Varnello: the window Pc is the program; there is no other start routine.
#include <windows.h>

#include "ui/launch_win.h"
#include "ui/ole_win.h"
#include "ui/pc_win.h"
#include "ui/probe_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  varnello::ui::LimitSearchPaths();
  // The web view needs OLE on this thread, and the survey COM: started by
  // the window once it has first been painted, or at a screen reader's
  // first request. The program's own ends (退出程序, an error) leave at once
  // through ExitProcess; this owner ends OLE only where the message loop
  // itself ends.
  varnello::ui::OleOnDemand ole;
  auto pc = varnello::ui::Pc::Create(instance, show, varnello::ui::ProbeStartFunction(),
                                     varnello::ui::ProbePlatformFunction(),
                                     varnello::ui::Pc::LoadTiming::kAfterFirstPaint);
  if (!pc) return 1;
  (*pc)->SetProbe(varnello::ui::ProbeHandler());
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if ((*pc)->TranslateKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
