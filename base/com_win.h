// Owners for COM pointers, BSTRs and VARIANTs, COM start-up, and late-bound
// calls through IDispatch, the way the scripting objects are meant to be used.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"

namespace varnello {

inline Error ComError(HRESULT hr) { return Error{static_cast<std::int32_t>(hr)}; }

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // For out-parameters: releases what it holds and hands out its slot.
  T** Receive() {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  template <class U>
  Result<ComPtr<U>> As(REFIID iid) const {
    ComPtr<U> out;
    if (!p_) return ComError(E_POINTER);
    HRESULT hr = p_->QueryInterface(iid, out.ReceiveVoid());
    if (FAILED(hr)) return ComError(hr);
    return out;
  }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text)
      : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      SysFreeString(s_);
      s_ = std::exchange(other.s_, nullptr);
    }
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }

  BSTR get() const { return s_; }
  // Hands the string over to a VARIANT or a caller that frees it.
  BSTR Release() { return std::exchange(s_, nullptr); }
  BSTR* Receive() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  std::wstring_view view() const { return s_ ? std::wstring_view(s_, SysStringLen(s_)) : std::wstring_view(); }

 private:
  BSTR s_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  explicit Variant(std::wstring_view text) : Variant() {
    v_.vt = VT_BSTR;
    v_.bstrVal = Bstr(text).Release();
  }
  static Variant Int(LONG value) {
    Variant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
  }
  static Variant Bool(bool value) {
    Variant v;
    v.v_.vt = VT_BOOL;
    v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }
  // An optional argument left out of a late-bound call.
  static Variant Missing() {
    Variant v;
    v.v_.vt = VT_ERROR;
    v.v_.scode = DISP_E_PARAMNOTFOUND;
    return v;
  }
  Variant(Variant&& other) noexcept : Variant() { std::swap(v_, other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      VariantClear(&v_);
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  const VARIANT& get() const { return v_; }
  VARIANT* Receive() {
    VariantClear(&v_);
    return &v_;
  }

 private:
  VARIANT v_;
};

// Starts COM on this thread as a single-threaded apartment for its lifetime.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  HRESULT status() const { return hr_; }

 private:
  HRESULT hr_;
};

// Calls a member of a scripting object by name, the arguments given in
// their natural order. Reads are made with DISPATCH_PROPERTYGET and
// DISPATCH_METHOD together, as a script engine does: some objects accept
// only one of the two.
Result<Variant> CallByName(IDispatch* object, std::wstring_view name, std::vector<Variant> args = {});

// The object's enumerator (_NewEnum).
Result<ComPtr<IEnumVARIANT>> NewEnum(IDispatch* object);

std::wstring Wide(std::u16string_view text);
std::u16string U16(std::wstring_view text);

// The text of a string argument, as events pass them: a BSTR, or a VARIANT*
// holding one; empty for anything else.
std::u16string TextOfArgument(const VARIANT& v);

}  // namespace varnello
