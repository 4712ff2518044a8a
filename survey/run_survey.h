// One hardware survey: prepares the management service, lists the operating
// system and eight kinds of hardware, and writes the nine result labels.
#pragma once

#include "base/result.h"
#include "survey/survey_display.h"
#include "survey/survey_platform.h"

namespace varnello {

// Runs the survey to its end. Failures after the progress picture is shown
// skip the step they happen in and nothing else; the result carries only a
// failure of the start notice or of showing the progress picture, which
// stop the run before it has done anything.
Status RunSurvey(SurveyDisplay& display, SurveyPlatform& platform);

}  // namespace varnello
