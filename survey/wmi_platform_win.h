// The survey's platform on Windows: WMI through its scripting objects
// ("winmgmts:" monikers) and the Windows Script Host shell object, all
// reached late-bound through IDispatch.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "base/com_win.h"
#include "survey/survey_platform.h"

namespace varnello {

class WmiPlatform final : public SurveyPlatform {
 public:
  // Turns a name (a moniker, or a ProgID) into a scripting object.
  using Binder = std::function<Result<ComPtr<IDispatch>>(std::wstring_view name)>;
  // What answers for the management service where a moniker cannot be
  // bound (the service disabled or missing, a broken repository, Windows
  // PE, a guest): null leaves the failure as it is.
  using Fallback = std::function<std::unique_ptr<ServiceConnection>()>;

  // Monikers bound with CoGetObject, objects created from their ProgID,
  // the system's own sources where binding fails.
  WmiPlatform();
  WmiPlatform(Binder bind_moniker, Binder create_object, Fallback fallback = nullptr);

  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view prog_id) override;
  Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view moniker) override;
  NumberFormat Format() const override;

 private:
  Binder bind_moniker_;
  Binder create_object_;
  Fallback fallback_;
};

// A connection to the system's own sources (native_sources_win.h).
std::unique_ptr<ServiceConnection> NativeSourcesConnection();

Result<ComPtr<IDispatch>> BindMoniker(std::wstring_view moniker);
Result<ComPtr<IDispatch>> CreateFromProgId(std::wstring_view prog_id);

// A property value as the survey keeps it: strings as text, VT_NULL as null,
// VT_EMPTY as unset, integers as whole numbers (unsigned 64-bit ones beyond
// the signed range as reals), floating, currency and decimal types as reals,
// dates as their text. Arrays, objects, errors and non-finite reals fail.
Result<SurveyValue> ToSurveyValue(const VARIANT& value);

// The decimal separator of the user's regional settings.
NumberFormat UserNumberFormat();

}  // namespace varnello
