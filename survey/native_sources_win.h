// The system's own sources of what the survey lists, for a system where the
// management service cannot be bound: the registry, SetupAPI's device lists,
// the firmware's SMBIOS table and the disks themselves. Nothing here needs
// administrator rights or writes anything.
#pragma once

#include <memory>

#include "survey/native_rows.h"

namespace varnello {

std::shared_ptr<NativeSources> WindowsSources();

}  // namespace varnello
