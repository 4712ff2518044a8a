// OLE on the window's thread, started the first time something needs it:
// the announcement view, a screen reader's request, a survey, a link. The
// window's first paint needs none of it, and starting it costs as much as
// a bare window takes to appear, so it waits until after that paint.
#pragma once

#include <ole2.h>

namespace varnello::ui {

class OleOnDemand {
 public:
  // Made in wWinMain, before the window: OLE ends with it, if started and
  // if the program gets that far rather than ending through ExitProcess.
  OleOnDemand() = default;
  OleOnDemand(const OleOnDemand&) = delete;
  OleOnDemand& operator=(const OleOnDemand&) = delete;
  ~OleOnDemand() {
    if (tried_ && SUCCEEDED(result_)) OleUninitialize();
    tried_ = false;
  }

  // Starts OLE on the calling thread if this has not yet; the result of
  // that one start after.
  static HRESULT Ensure() {
    if (!tried_) {
      result_ = OleInitialize(nullptr);
      tried_ = true;
    }
    return result_;
  }

 private:
  static inline bool tried_ = false;
  static inline HRESULT result_ = S_OK;
};

}  // namespace varnello::ui
