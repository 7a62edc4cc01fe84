// Any value of the platform's kinds through the conversion functions and Format. The first byte
// chooses the kind; a number's bytes follow it, a text runs to the first NUL byte; what follows
// is the Format pattern. Every function either gives a result or raises one of the errors the
// platform raises for a value it cannot take (5, 6, 13, 94). Texts written by the conversions
// read back as what they were written from:
// - a Double's text (CStr) reads as a number whose text is the same;
// - money's text reads as the same money;
// - a date's ISO text reads as a date whose text is the same.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/currency.h"
#include "core/date.h"
#include "core/error_numbers.h"
#include "core/format.h"
#include "core/variant.h"
#include "fuzz/fuzz_check.h"

namespace {

using qts::Variant;
using qts::fuzz::Broken;
using qts::fuzz::Check;
using qts::fuzz::CurrentException;

template <class T>
T Take(std::string_view& bytes) {
  T value{};
  const size_t n = std::min(sizeof(T), bytes.size());
  std::memcpy(&value, bytes.data(), n);
  bytes.remove_prefix(n);
  return value;
}

// Runs `f`, letting through only the errors a conversion may raise.
template <class F>
void Converting(F&& f, std::string_view what, std::string_view input) {
  try {
    f();
  } catch (const qts::Error& e) {
    const int32_t n = e.Number();
    if (n == qts::kErrInvalidCall || n == qts::kErrOverflow || n == qts::kErrTypeMismatch ||
        n == qts::kErrInvalidUseOfNull) {
      return;
    }
    Broken(std::string(what) + " raised an unexpected error", CurrentException(), input);
  } catch (...) {
    Broken(std::string(what) + " raised something other than an Error", CurrentException(), input);
  }
}

void CheckDoubleText(double d, std::string_view input) {
  if (!std::isfinite(d)) return;
  const std::string text = qts::FormatDouble(d);
  std::optional<double> back;
  Converting([&] { back = qts::ParseNumber(text); }, "ParseNumber of a Double's text", input);
  // Fifteen digits round the largest Doubles up past the range ("1.79769313486232E+308"), and
  // that text overflows, as on the platform.
  if (!back && std::fabs(d) > 1.79769313486231e308) return;
  Check(back.has_value(), "a Double's text does not read as a number", text, input);
  Check(qts::FormatDouble(*back) == text, "a Double's text reads as another number",
        text + " -> " + qts::FormatDouble(*back), input);
}

void CheckCurrencyText(qts::Currency c, std::string_view input) {
  const std::string text = c.ToString();
  std::optional<qts::Currency> back = qts::Currency::Parse(text);
  Check(back == c, "money's text reads as other money", text, input);
  qts::Currency converted;
  Converting([&] { converted = qts::CCur(Variant(text)); }, "CCur of money's text", input);
  Check(converted == c, "CCur of money's text gives other money", text, input);
}

void CheckDateText(qts::Date date, std::string_view input) {
  if (!(date.Serial() >= qts::Date::kMinSerial && date.Serial() <= qts::Date::kMaxSerial)) return;
  const std::string text = date.ToIso();
  std::optional<qts::Date> back = qts::Date::ParseIso(text);
  Check(back.has_value(), "a date's text does not read as a date", text, input);
  Check(back->ToIso() == text, "a date's text reads as another date", text + " -> " + back->ToIso(),
        input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = qts::fuzz::InputText(data, size);
  if (input.empty()) return 0;
  std::string_view rest = input.substr(1);
  Variant value;
  switch (static_cast<uint8_t>(input[0]) % 9) {
    case 0: {
      const size_t end = rest.find('\0');
      const std::string_view text = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      value = Variant(text);
      Converting([&] { (void)qts::ParseNumber(text); }, "ParseNumber", input);
      std::optional<qts::Currency> money;
      Converting([&] { money = qts::Currency::Parse(text); }, "Currency::Parse", input);
      if (money) CheckCurrencyText(*money, input);
      if (std::optional<qts::Date> d = qts::Date::ParseIso(text)) CheckDateText(*d, input);
      break;
    }
    case 1: {
      const double d = Take<double>(rest);
      value = Variant(d);
      CheckDoubleText(d, input);
      break;
    }
    case 2: {
      const qts::Currency c = qts::Currency::FromScaled(Take<int64_t>(rest));
      value = Variant(c);
      CheckCurrencyText(c, input);
      break;
    }
    case 3: {
      // A serial within the platform's range (a Date outside it is never made).
      const double d = Take<double>(rest);
      const double span = qts::Date::kMaxSerial - qts::Date::kMinSerial;
      const double serial =
          std::isfinite(d) ? qts::Date::kMinSerial + std::fmod(std::fabs(d), span) : 0.0;
      value = Variant(qts::Date(serial));
      CheckDateText(qts::Date(serial), input);
      break;
    }
    case 4:
      value = Variant(Take<int32_t>(rest));
      break;
    case 5:
      value = Variant(Take<int16_t>(rest));
      break;
    case 6:
      value = Variant((Take<uint8_t>(rest) & 1) != 0);
      break;
    case 7:
      value = Variant::Null();
      break;
    default:
      break;  // Empty
  }

  Converting([&] { (void)qts::CBool(value); }, "CBool", input);
  Converting([&] { (void)qts::CInt(value); }, "CInt", input);
  Converting([&] { (void)qts::CLng(value); }, "CLng", input);
  Converting([&] { (void)qts::CDbl(value); }, "CDbl", input);
  Converting([&] { (void)qts::CCur(value); }, "CCur", input);
  Converting([&] { (void)qts::CDate(value); }, "CDate", input);
  Converting([&] { (void)qts::CStr(value); }, "CStr", input);
  Converting([&] { (void)qts::IsTrue(value); }, "IsTrue", input);
  Converting([&] { (void)qts::Format(value, rest); }, "Format", input);
  return 0;
}
