#include "survey/wmi_platform_win.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "survey/native_sources_win.h"

namespace varnello {
namespace {

Result<ComPtr<IDispatch>> DispatchOf(const VARIANT& v) {
  IUnknown* unknown = v.vt == VT_DISPATCH ? v.pdispVal : v.vt == VT_UNKNOWN ? v.punkVal : nullptr;
  if (!unknown) return ComError(DISP_E_TYPEMISMATCH);
  ComPtr<IDispatch> object;
  HRESULT hr = unknown->QueryInterface(IID_IDispatch, object.ReceiveVoid());
  if (FAILED(hr)) return ComError(hr);
  return object;
}

Result<ComPtr<IDispatch>> ObjectResult(Result<Variant> result) {
  if (!result) return result.error();
  return DispatchOf(result->get());
}

class DispatchRow final : public SurveyRow {
 public:
  explicit DispatchRow(ComPtr<IDispatch> row) : row_(std::move(row)) {}
  Result<SurveyValue> Get(std::u16string_view name) override {
    auto value = CallByName(row_.get(), Wide(name));
    if (!value) return value.error();
    return ToSurveyValue(value->get());
  }

 private:
  ComPtr<IDispatch> row_;
};

class DispatchEnumerator final : public RowEnumerator {
 public:
  explicit DispatchEnumerator(ComPtr<IEnumVARIANT> e) : enum_(std::move(e)) {}
  Result<std::unique_ptr<SurveyRow>> Next() override {
    Variant item;
    ULONG fetched = 0;
    HRESULT hr = enum_->Next(1, item.Receive(), &fetched);
    if (FAILED(hr)) return ComError(hr);
    if (hr == S_FALSE || fetched == 0) return std::unique_ptr<SurveyRow>();
    auto row = DispatchOf(item.get());
    if (!row) return row.error();
    return std::unique_ptr<SurveyRow>(std::make_unique<DispatchRow>(std::move(row).value()));
  }

 private:
  ComPtr<IEnumVARIANT> enum_;
};

class DispatchCollection final : public RowCollection {
 public:
  explicit DispatchCollection(ComPtr<IDispatch> rows) : rows_(std::move(rows)) {}
  Result<std::unique_ptr<RowEnumerator>> Enumerate() override {
    auto e = NewEnum(rows_.get());
    if (!e) return e.error();
    return std::unique_ptr<RowEnumerator>(std::make_unique<DispatchEnumerator>(std::move(e).value()));
  }

 private:
  ComPtr<IDispatch> rows_;
};

Result<std::unique_ptr<RowCollection>> CollectionResult(Result<Variant> result) {
  auto rows = ObjectResult(std::move(result));
  if (!rows) return rows.error();
  return std::unique_ptr<RowCollection>(std::make_unique<DispatchCollection>(std::move(rows).value()));
}

class DispatchConnection final : public ServiceConnection {
 public:
  explicit DispatchConnection(ComPtr<IDispatch> service) : service_(std::move(service)) {}

  Result<std::unique_ptr<RowCollection>> ExecQuery(std::u16string_view query,
                                                    std::optional<std::int32_t> flags) override {
    std::vector<Variant> args;
    args.emplace_back(Wide(query));
    if (flags) {
      args.push_back(Variant::Missing());  // the query language: WQL by default
      args.push_back(Variant::Int(*flags));
    }
    return CollectionResult(CallByName(service_.get(), L"ExecQuery", std::move(args)));
  }

  Result<std::unique_ptr<RowCollection>> InstancesOf(std::u16string_view class_name) override {
    std::vector<Variant> args;
    args.emplace_back(Wide(class_name));
    return CollectionResult(CallByName(service_.get(), L"InstancesOf", std::move(args)));
  }

 private:
  ComPtr<IDispatch> service_;
};

class DispatchShell final : public ShellObject {
 public:
  explicit DispatchShell(ComPtr<IDispatch> shell) : shell_(std::move(shell)) {}
  Status Run(std::u16string_view command, std::int32_t window_style,
             std::optional<bool> wait) override {
    std::vector<Variant> args;
    args.emplace_back(Wide(command));
    args.push_back(Variant::Int(window_style));
    if (wait) args.push_back(Variant::Bool(*wait));
    auto result = CallByName(shell_.get(), L"run", std::move(args));
    if (!result) return result.error();
    return {};
  }

 private:
  ComPtr<IDispatch> shell_;
};

Result<SurveyValue> RealValue(double x) {
  if (!std::isfinite(x)) return ComError(DISP_E_OVERFLOW);
  return SurveyValue::Real(x);
}

}  // namespace

Result<ComPtr<IDispatch>> BindMoniker(std::wstring_view moniker) {
  std::wstring name(moniker);
  ComPtr<IDispatch> object;
  HRESULT hr = CoGetObject(name.c_str(), nullptr, IID_IDispatch, object.ReceiveVoid());
  if (FAILED(hr)) return ComError(hr);
  return object;
}

Result<ComPtr<IDispatch>> CreateFromProgId(std::wstring_view prog_id) {
  std::wstring name(prog_id);
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(name.c_str(), &clsid);
  if (FAILED(hr)) return ComError(hr);
  ComPtr<IDispatch> object;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                        object.ReceiveVoid());
  if (FAILED(hr)) return ComError(hr);
  return object;
}

std::unique_ptr<ServiceConnection> NativeSourcesConnection() { return MakeNativeConnection(WindowsSources()); }

WmiPlatform::WmiPlatform() : WmiPlatform(BindMoniker, CreateFromProgId, NativeSourcesConnection) {}

WmiPlatform::WmiPlatform(Binder bind_moniker, Binder create_object, Fallback fallback)
    : bind_moniker_(std::move(bind_moniker)),
      create_object_(std::move(create_object)),
      fallback_(std::move(fallback)) {}

Result<std::unique_ptr<ShellObject>> WmiPlatform::CreateObject(std::u16string_view prog_id) {
  auto shell = create_object_(Wide(prog_id));
  if (!shell) return shell.error();
  return std::unique_ptr<ShellObject>(std::make_unique<DispatchShell>(std::move(shell).value()));
}

Result<std::unique_ptr<ServiceConnection>> WmiPlatform::GetObject(std::u16string_view moniker) {
  auto service = bind_moniker_(Wide(moniker));
  if (!service && fallback_) return fallback_();
  if (!service) return service.error();
  return std::unique_ptr<ServiceConnection>(std::make_unique<DispatchConnection>(std::move(service).value()));
}

NumberFormat WmiPlatform::Format() const { return UserNumberFormat(); }

Result<SurveyValue> ToSurveyValue(const VARIANT& value) {
  if (value.vt & VT_BYREF) {
    if (value.vt & VT_ARRAY) return ComError(DISP_E_TYPEMISMATCH);
    Variant direct;
    HRESULT hr = VariantCopyInd(direct.Receive(), const_cast<VARIANT*>(&value));
    if (FAILED(hr)) return ComError(hr);
    return ToSurveyValue(direct.get());
  }
  if (value.vt & VT_ARRAY) return ComError(DISP_E_TYPEMISMATCH);
  switch (value.vt) {
    case VT_EMPTY: return SurveyValue();
    case VT_NULL: return SurveyValue::Null();
    case VT_BSTR:
      return SurveyValue::Text(value.bstrVal ? std::u16string(reinterpret_cast<const char16_t*>(value.bstrVal),
                                                              SysStringLen(value.bstrVal))
                                             : std::u16string());
    case VT_BOOL: return SurveyValue::Whole(value.boolVal ? -1 : 0);
    case VT_I1: return SurveyValue::Whole(value.cVal);
    case VT_UI1: return SurveyValue::Whole(value.bVal);
    case VT_I2: return SurveyValue::Whole(value.iVal);
    case VT_UI2: return SurveyValue::Whole(value.uiVal);
    case VT_I4: return SurveyValue::Whole(value.lVal);
    case VT_UI4: return SurveyValue::Whole(value.ulVal);
    case VT_INT: return SurveyValue::Whole(value.intVal);
    case VT_UINT: return SurveyValue::Whole(value.uintVal);
    case VT_I8: return SurveyValue::Whole(value.llVal);
    case VT_UI8:
      if (value.ullVal > static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max()))
        return SurveyValue::Real(static_cast<double>(value.ullVal));
      return SurveyValue::Whole(static_cast<std::int64_t>(value.ullVal));
    case VT_R4: return RealValue(value.fltVal);
    case VT_R8: return RealValue(value.dblVal);
    case VT_CY:
    case VT_DECIMAL: {
      Variant real;
      HRESULT hr = VariantChangeType(real.Receive(), const_cast<VARIANT*>(&value), 0, VT_R8);
      if (FAILED(hr)) return ComError(hr);
      return RealValue(real.get().dblVal);
    }
    case VT_DATE: {
      Variant text;
      HRESULT hr = VariantChangeTypeEx(text.Receive(), const_cast<VARIANT*>(&value), LOCALE_USER_DEFAULT, 0, VT_BSTR);
      if (FAILED(hr)) return ComError(hr);
      return ToSurveyValue(text.get());
    }
    case VT_ERROR: return ComError(FAILED(value.scode) ? value.scode : DISP_E_TYPEMISMATCH);
    default: return ComError(DISP_E_TYPEMISMATCH);
  }
}

NumberFormat UserNumberFormat() {
  wchar_t separator[8] = {};
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  if (n <= 1) return NumberFormat{};
  return NumberFormat{U16(std::wstring_view(separator, static_cast<std::size_t>(n - 1)))};
}

}  // namespace varnello
