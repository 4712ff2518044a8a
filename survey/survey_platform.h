// The management service and the shell object, as the survey sees them. On
// Windows these are WMI's scripting objects and "wscript.shell" reached
// through COM; tests put a scripted fake in their place.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "survey/survey_value.h"

// <wingdi.h> defines GetObject as a macro; the method below keeps its name.
#ifdef GetObject
#undef GetObject
#endif

namespace varnello {

// One row of a listing.
class SurveyRow {
 public:
  virtual ~SurveyRow() = default;
  // The property of that name, matched regardless of case. Fails when the
  // row has no such property.
  virtual Result<SurveyValue> Get(std::u16string_view name) = 0;
};

// An open enumeration of a row collection.
class RowEnumerator {
 public:
  virtual ~RowEnumerator() = default;
  // The next row in the service's order, or nullptr at the end.
  virtual Result<std::unique_ptr<SurveyRow>> Next() = 0;
};

// The rows a query or class listing gave. Forward-only collections can be
// enumerated once only.
class RowCollection {
 public:
  virtual ~RowCollection() = default;
  virtual Result<std::unique_ptr<RowEnumerator>> Enumerate() = 0;
};

// A connection to a namespace of the management service.
class ServiceConnection {
 public:
  virtual ~ServiceConnection() = default;
  // The query language is always left out; `flags` is left out when empty.
  virtual Result<std::unique_ptr<RowCollection>> ExecQuery(std::u16string_view query,
                                                            std::optional<std::int32_t> flags) = 0;
  virtual Result<std::unique_ptr<RowCollection>> InstancesOf(std::u16string_view class_name) = 0;
};

// The scripting shell object.
class ShellObject {
 public:
  virtual ~ShellObject() = default;
  // Starts `command` ("%comspec%" in it is expanded) with the window style.
  // With `wait` true, returns once the command has ended; with `wait` left
  // out, as soon as it has started. The command's own exit code is ignored.
  virtual Status Run(std::u16string_view command, std::int32_t window_style,
                     std::optional<bool> wait) = 0;
};

class SurveyPlatform {
 public:
  virtual ~SurveyPlatform() = default;
  // Creates the object registered under `prog_id` ("wscript.shell").
  virtual Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view prog_id) = 0;
  // Binds a "winmgmts:" moniker to the management service.
  virtual Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view moniker) = 0;
  // The user's regional number settings.
  virtual NumberFormat Format() const = 0;
};

}  // namespace varnello
