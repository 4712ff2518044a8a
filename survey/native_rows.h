// A connection that answers the survey's listings from the system's own
// sources (the registry, the device lists, the firmware's tables) where the
// management service cannot be bound. The sources are behind NativeSources;
// what is worked out from what they read is here, portable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "survey/smbios.h"
#include "survey/survey_platform.h"

namespace varnello {

// The listings a native connection answers, by their class names.
enum class NativeClass {
  kOperatingSystem,  // Win32_OperatingSystem
  kBaseBoard,        // Win32_BaseBoard
  kBios,             // Win32_BIOS
  kProcessor,        // Win32_Processor
  kVideoController,  // Win32_VideoController
  kSoundDevice,      // Win32_SoundDevice
  kNetworkAdapter,   // Win32_NetworkAdapter
  kPhysicalMemory,   // Win32_PhysicalMemory
  kComputerSystem,   // Win32_ComputerSystem
  kDiskDrive,        // Win32_DiskDrive
};

// A row's properties by name, as the management service would give them.
using NativeRow = std::vector<std::pair<std::u16string, SurveyValue>>;

class NativeSources {
 public:
  virtual ~NativeSources() = default;
  virtual std::vector<NativeRow> Rows(NativeClass listing) = 0;
};

// Answers InstancesOf a class and ExecQuery "select * from <class>" (names
// and keywords regardless of case, any spacing); other queries fail as
// invalid queries, other classes as invalid classes. Properties are matched
// regardless of case; one a row lacks fails to read.
std::unique_ptr<ServiceConnection> MakeNativeConnection(std::shared_ptr<NativeSources> sources);

// Text, or null where the source has no value.
SurveyValue TextOrNull(std::optional<std::u16string> text);
// A whole number of bytes as the service gives 64-bit numbers: its text.
SurveyValue BytesValue(std::optional<std::uint64_t> bytes);
// A firmware text, one byte a character.
std::optional<std::u16string> FirmwareText(const SmbiosText& text);

// The system's name as the service's caption has it: "Microsoft " in front
// when missing; on XP (the registry's name, which lacks the edition) with
// " Home Edition" or " Professional" after it.
std::u16string SystemCaption(std::u16string name, bool xp, bool xp_home);

std::vector<NativeRow> BoardRows(const SmbiosFacts& facts);
// A row a populated module; without any, one row of the memory the system
// reports as installed.
std::vector<NativeRow> MemoryRows(const SmbiosFacts& facts, std::uint64_t installed);
// A disk's size as the service computes it, from whole cylinders; nullopt
// where a figure is not positive or the product overflows.
std::optional<std::uint64_t> DiskBytes(std::int64_t cylinders, std::uint32_t tracks_per_cylinder,
                                       std::uint32_t sectors_per_track, std::uint32_t bytes_per_sector);

}  // namespace varnello
