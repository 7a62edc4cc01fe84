#include "db/sqlite/qts_round.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <optional>

#include "core/rounding.h"
#include "db/sqlite/sqlite_error.h"

namespace qts::db {

namespace {

// Digits beyond these bounds change nothing more: no finite double has a digit below
// 10^-400 worth keeping, and every one rounds to 0 at 10^309.
constexpr int kMaxDigits = 400;
constexpr int kMinDigits = -309;

// `value` rounded to a multiple of 10^places, half away from zero; nullopt when the
// result does not fit int64.
std::optional<int64_t> RoundInteger(int64_t value, int places) {
  if (places >= 20) return 0;  // |value| < 9.3e18, below half of 10^20
  if (places == 19) {
    // Half of 10^19 is 5e18: smaller values round to 0, larger ones to +-10^19, past int64.
    constexpr int64_t kHalf = 5'000'000'000'000'000'000;
    if (value > -kHalf && value < kHalf) return 0;
    return std::nullopt;
  }
  int64_t unit = 1;
  for (int i = 0; i < places; ++i) unit *= 10;
  int64_t remainder = value % unit;  // same sign as value
  int64_t base = value - remainder;
  int64_t half = unit / 2;
  int64_t result = base;
  if (remainder >= half && remainder > 0) {
    if (__builtin_add_overflow(base, unit, &result)) return std::nullopt;
  } else if (remainder <= -half && remainder < 0) {
    if (__builtin_sub_overflow(base, unit, &result)) return std::nullopt;
  }
  return result;
}

double RoundReal(double value, int digits) {
  if (!std::isfinite(value)) return value;
  if (digits <= kMinDigits) return 0.0;
  double rounded = RoundDecimal(value, digits);
  // Past the double's range the scaling overflows; the value has no digits to drop there.
  return std::isfinite(rounded) ? rounded : value;
}

void QtsRound(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  int digits_type = sqlite3_value_numeric_type(argv[1]);
  int digits = 0;
  if (digits_type == SQLITE_INTEGER) {
    int64_t n = sqlite3_value_int64(argv[1]);
    digits = static_cast<int>(n < kMinDigits ? kMinDigits : n > kMaxDigits ? kMaxDigits : n);
  } else if (digits_type == SQLITE_FLOAT &&
             std::trunc(sqlite3_value_double(argv[1])) == sqlite3_value_double(argv[1])) {
    double n = sqlite3_value_double(argv[1]);
    digits = static_cast<int>(n < kMinDigits ? kMinDigits : n > kMaxDigits ? kMaxDigits : n);
  } else {
    sqlite3_result_error(context, "qts_round: the number of digits must be an integer", -1);
    return;
  }

  switch (sqlite3_value_numeric_type(argv[0])) {
    case SQLITE_INTEGER: {
      int64_t value = sqlite3_value_int64(argv[0]);
      if (digits >= 0) {
        sqlite3_result_int64(context, value);
        return;
      }
      if (std::optional<int64_t> rounded = RoundInteger(value, -digits)) {
        sqlite3_result_int64(context, *rounded);
      } else {
        // Rounds beyond the integer range; the server would overflow, a real is closer.
        sqlite3_result_double(context, RoundReal(static_cast<double>(value), digits));
      }
      return;
    }
    case SQLITE_FLOAT:
      sqlite3_result_double(context, RoundReal(sqlite3_value_double(argv[0]), digits));
      return;
    default:
      sqlite3_result_error(context, "qts_round: the value to round is not a number", -1);
      return;
  }
}

}  // namespace

void RegisterQtsRound(sqlite3* db) {
  int code = sqlite3_create_function_v2(db, "qts_round", 2,
                                        SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                        nullptr, &QtsRound, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) ThrowSqliteError(db, code, "SqliteConnection", "qts_round");
}

}  // namespace qts::db
