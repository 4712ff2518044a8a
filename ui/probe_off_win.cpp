#include "ui/probe_win.h"

namespace varnello::ui {

std::function<bool(Pc&, const COPYDATASTRUCT&)> ProbeHandler() { return {}; }

std::function<Status(std::wstring_view, int)> ProbeStartFunction() { return {}; }

std::function<std::unique_ptr<SurveyPlatform>()> ProbePlatformFunction() { return {}; }

}  // namespace varnello::ui
