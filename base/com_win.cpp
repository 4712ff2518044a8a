#include "base/com_win.h"

#include <algorithm>

namespace varnello {
namespace {

// Frees what an EXCEPINFO may hold once the call has filled it.
class ExceptionInfo {
 public:
  ExceptionInfo() { ZeroMemory(&info_, sizeof info_); }
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
  ~ExceptionInfo() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
  }
  EXCEPINFO* get() { return &info_; }
  HRESULT Code() {
    if (info_.pfnDeferredFillIn) info_.pfnDeferredFillIn(&info_);
    if (FAILED(info_.scode)) return info_.scode;
    return info_.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info_.wCode) : DISP_E_EXCEPTION;
  }

 private:
  EXCEPINFO info_;
};

Result<Variant> Invoke(IDispatch* object, DISPID id, std::vector<Variant>& args) {
  // IDispatch takes its arguments last to first.
  std::vector<VARIANTARG> reversed;
  reversed.reserve(args.size());
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->get());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                    static_cast<UINT>(reversed.size()), 0};
  Variant result;
  ExceptionInfo exception;
  UINT bad_argument = 0;
  HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              &params, result.Receive(), exception.get(), &bad_argument);
  if (hr == DISP_E_EXCEPTION) return ComError(exception.Code());
  if (FAILED(hr)) return ComError(hr);
  return result;
}

}  // namespace

Result<Variant> CallByName(IDispatch* object, std::wstring_view name, std::vector<Variant> args) {
  if (!object) return ComError(E_POINTER);
  std::wstring name_z(name);
  LPOLESTR names[] = {name_z.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return ComError(hr);
  return Invoke(object, id, args);
}

Result<ComPtr<IEnumVARIANT>> NewEnum(IDispatch* object) {
  if (!object) return ComError(E_POINTER);
  std::vector<Variant> none;
  auto result = Invoke(object, DISPID_NEWENUM, none);
  if (!result) return result.error();
  const VARIANT& v = result->get();
  IUnknown* unknown = nullptr;
  if (v.vt == VT_UNKNOWN) unknown = v.punkVal;
  if (v.vt == VT_DISPATCH) unknown = v.pdispVal;
  if (!unknown) return ComError(DISP_E_TYPEMISMATCH);
  ComPtr<IEnumVARIANT> enumerator;
  HRESULT hr = unknown->QueryInterface(IID_IEnumVARIANT, enumerator.ReceiveVoid());
  if (FAILED(hr)) return ComError(hr);
  return enumerator;
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::u16string U16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string TextOfArgument(const VARIANT& v) {
  const VARIANT* p = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
  if (!p || p->vt != VT_BSTR || !p->bstrVal) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(p->bstrVal), SysStringLen(p->bstrVal));
}

}  // namespace varnello
