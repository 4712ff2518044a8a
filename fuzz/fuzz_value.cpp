// Feeds arbitrary property texts to the number reading and the size texts.
// Besides memory errors it checks that a number read back from its own text
// differs from it by no more than fifteen significant digits allow.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "survey/survey_value.h"

using varnello::NumberFormat;
using varnello::SurveyValue;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const NumberFormat kFormats[] = {NumberFormat{u"."}, NumberFormat{u","},
                                          NumberFormat{u""}, NumberFormat{u"::"}};
  const NumberFormat& format = kFormats[data[0] % 4];
  std::u16string text;
  for (std::size_t i = 1; i + 1 < size; i += 2)
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  // Short inputs are mostly digits, so that the number grammar gets explored.
  if (size < 64 && (data[0] & 0x80))
    for (auto& c : text) c = u"0123456789.,e-+ E:"[c % 18];

  auto parsed = varnello::ParseDecimal(text, format);
  if (parsed) {
    if (!std::isfinite(*parsed)) std::abort();
    const SurveyValue real = SurveyValue::Real(*parsed);
    auto again = varnello::ParseDecimal(varnello::TextOf(real, format), format);
    if (!again) std::abort();
    if (std::fabs(*again - *parsed) > std::fabs(*parsed) * 1e-14) std::abort();
  }
  const SurveyValue value = SurveyValue::Text(text);
  (void)varnello::DiskSizeText(value, format);
  (void)varnello::MemoryText(value, SurveyValue::Whole(1), format);
  auto sum = varnello::Sum(SurveyValue::Whole(0), value, format);
  if (sum) (void)varnello::MemoryText(*sum, SurveyValue::Whole(1), format);
  return 0;
}
