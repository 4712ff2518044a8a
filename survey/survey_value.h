// A value read from the management service or held by the survey, and the
// rules by which such values are summed, divided, rounded and turned into the
// texts of the result labels.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "base/result.h"

namespace varnello {

// The user's regional number settings that the rules depend on.
struct NumberFormat {
  std::u16string decimal_separator = u".";
};

class SurveyValue {
 public:
  enum class Kind { kUnset, kNull, kText, kWhole, kReal };

  SurveyValue() = default;  // unset
  static SurveyValue Null();
  static SurveyValue Text(std::u16string text);
  static SurveyValue Whole(std::int64_t number);
  static SurveyValue Real(double number);

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool is_unset() const { return kind() == Kind::kUnset; }
  bool is_null() const { return kind() == Kind::kNull; }

  // Accessors for the kind the value holds; calling the wrong one throws
  // std::bad_variant_access.
  const std::u16string& text() const { return std::get<std::u16string>(data_); }
  std::int64_t whole() const { return std::get<std::int64_t>(data_); }
  double real() const { return std::get<double>(data_); }

  friend bool operator==(const SurveyValue& a, const SurveyValue& b) { return a.data_ == b.data_; }
  friend bool operator!=(const SurveyValue& a, const SurveyValue& b) { return !(a == b); }

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  struct UnsetTag {
    friend bool operator==(UnsetTag, UnsetTag) { return true; }
  };
  template <std::size_t kind, class... Args>
  explicit SurveyValue(std::in_place_index_t<kind> k, Args&&... args) : data_(k, std::forward<Args>(args)...) {}
  // Order matches Kind.
  std::variant<UnsetTag, NullTag, std::u16string, std::int64_t, double> data_;
};

// Reads a text as a decimal number with the given decimal separator: blanks
// around it, an optional sign, digits with an optional fraction and an
// optional exponent. Anything else spells no number and fails, as does a
// number too large for a double; one too small becomes zero.
Result<double> ParseDecimal(std::u16string_view text, const NumberFormat& format);

// Number of a value: unset is the whole number 0, numbers are themselves, a
// text is the real it spells, null stays null.
Result<SurveyValue> NumberOf(const SurveyValue& value, const NumberFormat& format);

// Null if either side is null. Whole + whole (or unset) stays whole, any text
// or real makes the result real. A whole sum beyond 64 bits becomes real; a
// real result beyond the range of a double fails.
Result<SurveyValue> Sum(const SurveyValue& a, const SurveyValue& b, const NumberFormat& format);

// Null if either side is null, otherwise the real quotient. Division by zero
// and results beyond the range of a double fail.
Result<SurveyValue> Quotient(const SurveyValue& a, const SurveyValue& b, const NumberFormat& format);

// The largest whole number not above the value; null stays null.
Result<SurveyValue> WholePart(const SurveyValue& value, const NumberFormat& format);

// value × 100 rounded to the nearest whole (exact halves to even), / 100.
Result<SurveyValue> RoundTwoDecimals(const SurveyValue& value, const NumberFormat& format);

// Text of a value for joining: unset and null are empty, a text is itself,
// numbers in their shortest form of at most 15 significant digits.
std::u16string TextOf(const SurveyValue& value, const NumberFormat& format);

// Text of a value put straight into a label: null fails, otherwise TextOf.
Result<std::u16string> CaptionText(const SurveyValue& value, const NumberFormat& format);

// One piece of a joined text: a literal or a value.
class JoinPart {
 public:
  JoinPart(std::u16string_view literal) : literal_(literal) {}  // NOLINT: implicit by design
  JoinPart(const char16_t* literal) : literal_(literal) {}      // NOLINT: implicit by design
  JoinPart(const SurveyValue& value) : value_(&value) {}         // NOLINT: implicit by design

  std::u16string Text(const NumberFormat& format) const;

 private:
  std::u16string_view literal_;
  const SurveyValue* value_ = nullptr;
};

std::u16string Join(std::initializer_list<JoinPart> parts, const NumberFormat& format);

// "<total / 1048576> MB / <count>条".
Result<std::u16string> MemoryText(const SurveyValue& total, const SurveyValue& count,
                                  const NumberFormat& format);

// A drive's size in MB below one gigabyte and in GB from there on, rounded to
// two decimals.
Result<std::u16string> DiskSizeText(const SurveyValue& size, const NumberFormat& format);

}  // namespace varnello
