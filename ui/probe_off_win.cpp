#include "ui/probe_win.h"

namespace varnello::ui {

bool HandleProbeMessage(Pc&, const COPYDATASTRUCT&) { return false; }

std::function<Status(std::wstring_view, int)> ProbeStartFunction() { return {}; }

std::function<std::unique_ptr<SurveyPlatform>()> ProbePlatformFunction() { return {}; }

}  // namespace varnello::ui
