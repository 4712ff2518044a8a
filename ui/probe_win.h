// A test probe inside the program: tests send it commands with WM_COPYDATA
// to read what the window shows and to set it up. Only the test build of the
// program answers; the shipped one ignores such messages.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

#include "base/result.h"
#include "survey/survey_platform.h"

namespace varnello::ui {

class Pc;

// Identifies probe messages among WM_COPYDATA.
constexpr ULONG_PTR kProbeMagic = 0x56524E4C;  // "VRNL"

// What answers the probe's messages, for Pc::SetProbe: empty in the shipped
// program.
std::function<bool(Pc& pc, const COPYDATASTRUCT& data)> ProbeHandler();

// How the program starts the home page command: in the test build it only
// records the command line for the probe to report; empty otherwise.
std::function<Status(std::wstring_view command_line, int window_style)> ProbeStartFunction();

// Where the survey's platform comes from: in the test build, where
// VARNELLO_PROBE_SURVEY_PAUSE_MS is set, the management service with a pause
// before each connection, so that a photograph can catch what the window
// shows during a survey; empty (the service as it is) otherwise.
std::function<std::unique_ptr<SurveyPlatform>()> ProbePlatformFunction();

}  // namespace varnello::ui
