// Errors as values. Every operation that can fail returns a Result carrying
// either its value or an Error with the HRESULT-style code of the failure, so
// a failure can always be told apart from any value, null included.
#pragma once

#include <cstdint>
#include <utility>
#include <variant>

namespace varnello {

// HRESULT codes used by the portable code. They have the numeric values of
// the Windows constants of the same meaning, so codes coming from COM and
// codes made here read the same in a log.
namespace hr {
constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);          // E_FAIL
constexpr std::int32_t kPointer = static_cast<std::int32_t>(0x80004003);       // E_POINTER
constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);  // DISP_E_TYPEMISMATCH
constexpr std::int32_t kUnknownName = static_cast<std::int32_t>(0x80020006);   // DISP_E_UNKNOWNNAME
constexpr std::int32_t kOverflow = static_cast<std::int32_t>(0x8002000A);      // DISP_E_OVERFLOW
constexpr std::int32_t kDivByZero = static_cast<std::int32_t>(0x80020012);     // DISP_E_DIVBYZERO
constexpr std::int32_t kInvalidUseOfNull = static_cast<std::int32_t>(0x800A005E);  // script error 94
constexpr std::int32_t kObjectRequired = static_cast<std::int32_t>(0x800A01A8);    // script error 424
constexpr std::int32_t kInvalidClass = static_cast<std::int32_t>(0x80041010);      // WBEM_E_INVALID_CLASS
constexpr std::int32_t kInvalidQuery = static_cast<std::int32_t>(0x80041017);      // WBEM_E_INVALID_QUERY
}  // namespace hr

struct Error {
  std::int32_t code = hr::kFail;
};

inline bool operator==(Error a, Error b) { return a.code == b.code; }

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(Error error) : state_(std::in_place_index<1>, error) {}        // NOLINT: implicit by design

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  Error error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : failed_(true), error_(error) {}  // NOLINT: implicit by design

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  Error error() const { return error_; }

 private:
  bool failed_ = false;
  Error error_{};
};

using Status = Result<void>;

}  // namespace varnello
