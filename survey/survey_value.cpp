#include "survey/survey_value.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <system_error>

namespace varnello {
namespace {

constexpr std::int64_t kExponentCap = 1000000000;  // far beyond any double

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string_view SeparatorOf(const NumberFormat& format) {
  // A region without a separator of its own falls back to the full stop.
  return format.decimal_separator.empty() ? std::u16string_view(u".")
                                          : std::u16string_view(format.decimal_separator);
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

bool IsZero(const SurveyValue& v) {
  switch (v.kind()) {
    case SurveyValue::Kind::kWhole:
      return v.whole() == 0;
    case SurveyValue::Kind::kReal:
      return v.real() == 0.0;
    default:
      return false;
  }
}

double AsDouble(const SurveyValue& number) {
  return number.kind() == SurveyValue::Kind::kWhole ? static_cast<double>(number.whole())
                                                    : number.real();
}

Result<SurveyValue> FiniteReal(double x) {
  if (!std::isfinite(x)) return Error{hr::kOverflow};
  return SurveyValue::Real(x);
}

// Shortest form of a finite, non-zero double with at most 15 significant
// digits: positional where the decimal exponent lies in [-4, 14], else
// mantissa and exponent.
std::u16string RealText(double x, std::u16string_view separator) {
  if (std::isnan(x)) return u"-1.#IND";
  if (std::isinf(x)) return x > 0 ? u"1.#INF" : u"-1.#INF";
  if (x == 0.0) return u"0";  // -0 as well

  char buf[40];
  auto end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14).ptr;
  std::string_view sci(buf, static_cast<std::size_t>(end - buf));  // [-]d.dddddddddddddde[+-]dd
  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  std::size_t e_pos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e_pos))
    if (c != '.') digits.push_back(c);
  int exponent = std::atoi(std::string(sci.substr(e_pos + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::u16string out = negative ? u"-" : u"";
  if (exponent < -4 || exponent >= 15) {
    out += static_cast<char16_t>(digits[0]);
    if (digits.size() > 1) {
      out += separator;
      out += Ascii(std::string_view(digits).substr(1));
    }
    std::string exp = std::to_string(std::abs(exponent));
    if (exp.size() < 2) exp.insert(0, "0");
    out += exponent < 0 ? u"E-" : u"E+";
    out += Ascii(exp);
  } else if (exponent >= 0) {
    std::size_t int_len = static_cast<std::size_t>(exponent) + 1;
    std::string int_part = digits.substr(0, std::min(int_len, digits.size()));
    int_part.append(int_len - int_part.size(), '0');
    out += Ascii(int_part);
    if (digits.size() > int_len) {
      out += separator;
      out += Ascii(std::string_view(digits).substr(int_len));
    }
  } else {
    out += u"0";
    out += separator;
    out += Ascii(std::string(static_cast<std::size_t>(-exponent - 1), '0'));
    out += Ascii(digits);
  }
  return out;
}

}  // namespace

SurveyValue SurveyValue::Null() { return SurveyValue(std::in_place_index<1>); }

SurveyValue SurveyValue::Text(std::u16string text) { return SurveyValue(std::in_place_index<2>, std::move(text)); }

SurveyValue SurveyValue::Whole(std::int64_t number) { return SurveyValue(std::in_place_index<3>, number); }

SurveyValue SurveyValue::Real(double number) { return SurveyValue(std::in_place_index<4>, number); }

Result<double> ParseDecimal(std::u16string_view text, const NumberFormat& format) {
  const std::u16string_view separator = SeparatorOf(format);
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == u' ') ++i;

  std::string ascii;  // what from_chars reads: [-]digits[.digits][e[-]digits]
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') ascii.push_back('-');
    ++i;
  }
  bool any_digit = false;
  bool seen_nonzero = false;
  std::int64_t magnitude = 0;  // decimal position of the leading non-zero digit
  for (; i < n && IsDigit(text[i]); ++i) {
    any_digit = true;
    if (text[i] != u'0') seen_nonzero = true;
    if (seen_nonzero) {
      ascii.push_back(static_cast<char>(text[i]));
      ++magnitude;
    }
  }
  if (text.substr(i, separator.size()) == separator) {
    i += separator.size();
    ascii.push_back('.');
    for (; i < n && IsDigit(text[i]); ++i) {
      any_digit = true;
      if (text[i] != u'0') seen_nonzero = true;
      if (!seen_nonzero) --magnitude;
      ascii.push_back(static_cast<char>(text[i]));
    }
  }
  if (!any_digit) return Error{hr::kTypeMismatch};

  std::int64_t exponent = 0;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
      exp_negative = text[i] == u'-';
      ++i;
    }
    if (i >= n || !IsDigit(text[i])) return Error{hr::kTypeMismatch};
    for (; i < n && IsDigit(text[i]); ++i)
      if (exponent < kExponentCap) exponent = exponent * 10 + (text[i] - u'0');
    if (exp_negative) exponent = -exponent;
  }
  while (i < n && text[i] == u' ') ++i;
  if (i != n) return Error{hr::kTypeMismatch};

  const bool negative = !ascii.empty() && ascii[0] == '-';
  if (!seen_nonzero) return negative ? -0.0 : 0.0;
  if (ascii.back() == '.') ascii.push_back('0');
  if (ascii[negative ? 1 : 0] == '.') ascii.insert(negative ? 1 : 0, "0");
  ascii += 'e';
  ascii += std::to_string(exponent);

  double value = 0;
  auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (magnitude + exponent > 0) return Error{hr::kOverflow};
    return negative ? -0.0 : 0.0;  // below the smallest double
  }
  if (ec != std::errc() || ptr != ascii.data() + ascii.size()) return Error{hr::kTypeMismatch};
  return value;
}

Result<SurveyValue> NumberOf(const SurveyValue& value, const NumberFormat& format) {
  switch (value.kind()) {
    case SurveyValue::Kind::kUnset:
      return SurveyValue::Whole(0);
    case SurveyValue::Kind::kText: {
      auto parsed = ParseDecimal(value.text(), format);
      if (!parsed) return parsed.error();
      return SurveyValue::Real(*parsed);
    }
    case SurveyValue::Kind::kNull:
      return SurveyValue::Null();
    case SurveyValue::Kind::kWhole:
      return SurveyValue::Whole(value.whole());
    case SurveyValue::Kind::kReal:
      return SurveyValue::Real(value.real());
  }
  return SurveyValue();
}

Result<SurveyValue> Sum(const SurveyValue& a, const SurveyValue& b, const NumberFormat& format) {
  if (a.is_null() || b.is_null()) return SurveyValue::Null();
  auto x = NumberOf(a, format);
  if (!x) return x.error();
  auto y = NumberOf(b, format);
  if (!y) return y.error();
  if (x->kind() == SurveyValue::Kind::kWhole && y->kind() == SurveyValue::Kind::kWhole) {
    const std::int64_t l = x->whole(), r = y->whole();
    const bool overflows = (r > 0 && l > std::numeric_limits<std::int64_t>::max() - r) ||
                           (r < 0 && l < std::numeric_limits<std::int64_t>::min() - r);
    if (!overflows) return SurveyValue::Whole(l + r);
  }
  return FiniteReal(AsDouble(*x) + AsDouble(*y));
}

Result<SurveyValue> Quotient(const SurveyValue& a, const SurveyValue& b, const NumberFormat& format) {
  if (a.is_null() || b.is_null()) return SurveyValue::Null();
  auto x = NumberOf(a, format);
  if (!x) return x.error();
  auto y = NumberOf(b, format);
  if (!y) return y.error();
  if (IsZero(*y)) return Error{hr::kDivByZero};
  return FiniteReal(AsDouble(*x) / AsDouble(*y));
}

Result<SurveyValue> WholePart(const SurveyValue& value, const NumberFormat& format) {
  if (value.is_null()) return SurveyValue::Null();
  auto x = NumberOf(value, format);
  if (!x) return x.error();
  if (x->kind() == SurveyValue::Kind::kWhole) return *x;
  return SurveyValue::Real(std::floor(x->real()));
}

Result<SurveyValue> RoundTwoDecimals(const SurveyValue& value, const NumberFormat& format) {
  if (value.is_null()) return SurveyValue::Null();
  auto x = NumberOf(value, format);
  if (!x) return x.error();
  if (x->kind() == SurveyValue::Kind::kWhole) return *x;
  const double hundredfold = x->real() * 100.0;
  if (!std::isfinite(hundredfold)) return Error{hr::kOverflow};
  // The default rounding mode takes exact halves to the even neighbour.
  return SurveyValue::Real(std::nearbyint(hundredfold) / 100.0);
}

std::u16string TextOf(const SurveyValue& value, const NumberFormat& format) {
  switch (value.kind()) {
    case SurveyValue::Kind::kUnset:
    case SurveyValue::Kind::kNull:
      return {};
    case SurveyValue::Kind::kText:
      return value.text();
    case SurveyValue::Kind::kWhole:
      return Ascii(std::to_string(value.whole()));
    case SurveyValue::Kind::kReal:
      return RealText(value.real(), SeparatorOf(format));
  }
  return {};
}

Result<std::u16string> CaptionText(const SurveyValue& value, const NumberFormat& format) {
  if (value.is_null()) return Error{hr::kInvalidUseOfNull};
  return TextOf(value, format);
}

std::u16string JoinPart::Text(const NumberFormat& format) const {
  return value_ ? TextOf(*value_, format) : std::u16string(literal_);
}

std::u16string Join(std::initializer_list<JoinPart> parts, const NumberFormat& format) {
  std::u16string out;
  for (const JoinPart& part : parts) out += part.Text(format);
  return out;
}

Result<std::u16string> MemoryText(const SurveyValue& total, const SurveyValue& count,
                                  const NumberFormat& format) {
  auto megabytes = Quotient(total, SurveyValue::Whole(1048576), format);
  if (!megabytes) return megabytes.error();
  return Join({*megabytes, u" MB", u" / ", count, u"条"}, format);
}

Result<std::u16string> DiskSizeText(const SurveyValue& size, const NumberFormat& format) {
  auto gigabytes = Quotient(size, SurveyValue::Real(1073741824.0), format);
  if (!gigabytes) return gigabytes.error();
  auto whole_gigabytes = WholePart(*gigabytes, format);
  if (!whole_gigabytes) return whole_gigabytes.error();
  if (IsZero(*whole_gigabytes)) {
    auto megabytes = Quotient(size, SurveyValue::Whole(1048576), format);
    if (!megabytes) return megabytes.error();
    auto rounded = RoundTwoDecimals(*megabytes, format);
    if (!rounded) return rounded.error();
    return Join({*rounded, u" MB"}, format);
  }
  auto rounded = RoundTwoDecimals(*gigabytes, format);
  if (!rounded) return rounded.error();
  return Join({*rounded, u" GB"}, format);
}

}  // namespace varnello
