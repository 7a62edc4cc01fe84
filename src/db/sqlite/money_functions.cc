#include "db/sqlite/money_functions.h"

#include <sqlite3.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/decimal.h"
#include "core/error.h"
#include "db/sqlite/sqlite_error.h"

namespace qts::db {

namespace {

std::string_view TextOf(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  if (text == nullptr) return {};
  return {text, static_cast<size_t>(sqlite3_value_bytes(value))};
}

// An argument as a Decimal; false for NULL. `loose`: a REAL or TEXT is taken as the decimal it
// stands for. Raises qts::Error for anything that is no number.
bool ArgDecimal(sqlite3_value* value, bool loose, Decimal& out) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return false;
    case SQLITE_INTEGER:
      out = Decimal::FromCurrency(Currency::FromScaled(sqlite3_value_int64(value)));
      return true;
    case SQLITE_BLOB:
      if (sqlite3_value_bytes(value) == Decimal::kEncodedSize) {
        out = Decimal::Decode(static_cast<const uint8_t*>(sqlite3_value_blob(value)));
        return true;
      }
      break;
    case SQLITE_FLOAT:
      if (loose) {
        out = Decimal::FromDouble(sqlite3_value_double(value));
        return true;
      }
      throw Error(kErrOverflow, "SQLite",
                  "Overflow: money holds a real number (integer arithmetic on money overflowed)");
    case SQLITE_TEXT:
      if (loose) {
        if (std::optional<Decimal> d = Decimal::Parse(TextOf(value))) {
          out = *d;
          return true;
        }
      }
      break;
    default:
      break;
  }
  throw Error(kErrTypeMismatch, "SQLite", "Type mismatch: the value is no number");
}

void ResultWide(sqlite3_context* context, const Decimal& value) {
  const auto bytes = value.Encode();
  sqlite3_result_blob(context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void ResultNarrow(sqlite3_context* context, const Decimal& value) {
  sqlite3_result_int64(context, value.ToCurrency().Scaled());
}

// Runs `body` and turns the system's errors into SQL errors naming the function.
template <class Body>
void Guarded(sqlite3_context* context, const char* name, Body&& body) {
  try {
    body();
  } catch (const Error& e) {
    const std::string message = std::string(name) + ": " + e.Description();
    sqlite3_result_error(context, message.c_str(), -1);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

// The digits argument of a rounding or print: an integer (a whole REAL also counts).
bool ArgDigits(sqlite3_value* value, int& digits) {
  const int type = sqlite3_value_numeric_type(value);
  double n = 0;
  if (type == SQLITE_INTEGER) {
    n = static_cast<double>(sqlite3_value_int64(value));
  } else if (type == SQLITE_FLOAT &&
             sqlite3_value_double(value) ==
                 static_cast<double>(static_cast<int64_t>(sqlite3_value_double(value)))) {
    n = sqlite3_value_double(value);
  } else {
    throw Error(kErrInvalidCall, "SQLite", "the number of digits must be an integer");
  }
  digits = static_cast<int>(n < -100 ? -100 : n > 100 ? 100 : n);
  return true;
}

enum class Shape { kWide, kNarrow };

template <Shape shape, bool loose>
void Convert(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Guarded(context, shape == Shape::kWide ? "qts_dec" : "qts_cy", [&] {
    Decimal x;
    if (!ArgDecimal(argv[0], loose, x)) return sqlite3_result_null(context);
    if (shape == Shape::kWide) return ResultWide(context, x);
    ResultNarrow(context, x);
  });
}

enum class Op { kAdd, kSub, kMul, kDiv, kMod };

template <Op op>
void Binary(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  static constexpr const char* kNames[] = {"qts_add", "qts_sub", "qts_mul", "qts_div", "qts_mod"};
  Guarded(context, kNames[static_cast<int>(op)], [&] {
    Decimal a;
    Decimal b;
    if (!ArgDecimal(argv[0], false, a) || !ArgDecimal(argv[1], false, b)) {
      return sqlite3_result_null(context);
    }
    switch (op) {
      case Op::kAdd:
        return ResultWide(context, a + b);
      case Op::kSub:
        return ResultWide(context, a - b);
      case Op::kMul:
        return ResultWide(context, a * b);
      case Op::kDiv:
        if (b == Decimal()) return sqlite3_result_null(context);
        return ResultWide(context, a / b);
      case Op::kMod:
        if (b == Decimal()) return sqlite3_result_null(context);
        return ResultWide(context, a % b);
    }
  });
}

template <bool negate>
void Unary(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Guarded(context, negate ? "qts_neg" : "qts_abs", [&] {
    Decimal x;
    if (!ArgDecimal(argv[0], false, x)) return sqlite3_result_null(context);
    ResultWide(context, negate ? -x : x.Abs());
  });
}

template <Shape shape>
void RoundTo(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Guarded(context, shape == Shape::kWide ? "qts_round_dec" : "qts_round_cy", [&] {
    Decimal x;
    int digits = 0;
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || !ArgDecimal(argv[0], true, x)) {
      return sqlite3_result_null(context);
    }
    ArgDigits(argv[1], digits);
    if (shape == Shape::kWide) return ResultWide(context, x.Round(digits));
    ResultNarrow(context, x.Round(digits));
  });
}

void WholePart(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Guarded(context, "qts_int", [&] {
    Decimal x;
    if (!ArgDecimal(argv[0], false, x)) return sqlite3_result_null(context);
    sqlite3_result_int64(context, x.Truncated());
  });
}

void ToReal(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Guarded(context, "qts_real", [&] {
    Decimal x;
    if (!ArgDecimal(argv[0], false, x)) return sqlite3_result_null(context);
    sqlite3_result_double(context, x.ToDouble());
  });
}

void ToText(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Guarded(context, "qts_text", [&] {
    Decimal x;
    int places = 0;
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || !ArgDecimal(argv[0], false, x)) {
      return sqlite3_result_null(context);
    }
    ArgDigits(argv[1], places);
    const std::string text = x.ToString(places);
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  });
}

// qts_sum's running state. SQLite's aggregate memory (zeroed on first use) is aligned only to
// 8 bytes, too little for the 128-bit sum, so the state is copied out of it and back, never
// used in place.
struct SumState {
  Decimal::Int128 raw;
  bool any;
};
static_assert(std::is_trivially_copyable_v<SumState>);

SumState LoadSum(const void* memory) {
  SumState state;
  std::memcpy(&state, memory, sizeof state);
  return state;
}

void SumStep(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  Guarded(context, "qts_sum", [&] {
    Decimal x;
    if (!ArgDecimal(argv[0], false, x)) return;
    void* memory = sqlite3_aggregate_context(context, sizeof(SumState));
    if (memory == nullptr) return sqlite3_result_error_nomem(context);
    SumState state = LoadSum(memory);
    state.raw = (Decimal::FromRaw(state.raw) + x).Raw();
    state.any = true;
    std::memcpy(memory, &state, sizeof state);
  });
}

void SumFinal(sqlite3_context* context) {
  const void* memory = sqlite3_aggregate_context(context, 0);
  if (memory == nullptr) return sqlite3_result_null(context);
  const SumState state = LoadSum(memory);
  if (!state.any) return sqlite3_result_null(context);
  ResultWide(context, Decimal::FromRaw(state.raw));
}

struct Scalar {
  const char* name;
  int args;
  void (*function)(sqlite3_context*, int, sqlite3_value**);
};

}  // namespace

std::optional<Currency> MoneyValue(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return Currency::FromScaled(sqlite3_value_int64(value));
    case SQLITE_BLOB:
      if (sqlite3_value_bytes(value) != Decimal::kEncodedSize) return std::nullopt;
      break;
    case SQLITE_TEXT:
      if (!Decimal::Parse(TextOf(value))) {
        throw Error(kErrTypeMismatch, "SQLite", "Type mismatch: the text is no number");
      }
      return Decimal::Parse(TextOf(value))->ToCurrency();
    default:
      break;
  }
  Decimal x;
  ArgDecimal(value, false, x);  // a REAL raises the overflow error
  return x.ToCurrency();
}

void RegisterMoneyFunctions(sqlite3* db) {
  static constexpr Scalar kScalars[] = {
      {"qts_dec", 1, &Convert<Shape::kWide, true>},
      {"qts_cy", 1, &Convert<Shape::kNarrow, true>},
      {"qts_add", 2, &Binary<Op::kAdd>},
      {"qts_sub", 2, &Binary<Op::kSub>},
      {"qts_mul", 2, &Binary<Op::kMul>},
      {"qts_div", 2, &Binary<Op::kDiv>},
      {"qts_mod", 2, &Binary<Op::kMod>},
      {"qts_neg", 1, &Unary<true>},
      {"qts_abs", 1, &Unary<false>},
      {"qts_round_cy", 2, &RoundTo<Shape::kNarrow>},
      {"qts_round_dec", 2, &RoundTo<Shape::kWide>},
      {"qts_int", 1, &WholePart},
      {"qts_real", 1, &ToReal},
      {"qts_text", 2, &ToText},
  };
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  for (const Scalar& s : kScalars) {
    const int code = sqlite3_create_function_v2(db, s.name, s.args, kFlags, nullptr, s.function,
                                                nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) ThrowSqliteError(db, code, "SqliteConnection", s.name);
  }
  const int code = sqlite3_create_function_v2(db, "qts_sum", 1, kFlags, nullptr, nullptr, &SumStep,
                                              &SumFinal, nullptr);
  if (code != SQLITE_OK) ThrowSqliteError(db, code, "SqliteConnection", "qts_sum");
}

}  // namespace qts::db
