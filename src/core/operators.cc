#include "core/operators.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/convert.h"
#include "core/error.h"

namespace qts {

namespace {

// Numeric ranks. Add/Sub order Double below Currency, Mul the other way round.
enum class Rank { kInteger, kLong, kDouble, kCurrency, kDate };

// An operand of an arithmetic operator after the platform's coercions: Empty and Boolean are
// Integers, text is a Double.
struct Operand {
  Rank rank;
  int64_t whole = 0;  // kInteger, kLong
  double real = 0;    // kDouble, kDate (serial)
  Currency money;     // kCurrency

  static Operand Whole(Rank rank, int64_t value) { return {rank, value, 0, Currency()}; }
  static Operand Real(Rank rank, double value) { return {rank, 0, value, Currency()}; }
  static Operand Money(Currency value) { return {Rank::kCurrency, 0, 0, value}; }
};

[[noreturn]] void TypeMismatch() { throw Error(kErrTypeMismatch); }

Operand ToOperand(const Variant& v) {
  switch (v.Type()) {
    case VarType::kEmpty:
      return Operand::Whole(Rank::kInteger, 0);
    case VarType::kBoolean:
      return Operand::Whole(Rank::kInteger, v.AsBool() ? -1 : 0);
    case VarType::kInteger:
      return Operand::Whole(Rank::kInteger, v.AsInteger());
    case VarType::kLong:
      return Operand::Whole(Rank::kLong, v.AsLong());
    case VarType::kDouble:
      return Operand::Real(Rank::kDouble, v.AsDouble());
    case VarType::kCurrency:
      return Operand::Money(v.AsCurrency());
    case VarType::kDate:
      return Operand::Real(Rank::kDate, v.AsDate().Serial());
    case VarType::kString:
      return Operand::Real(Rank::kDouble, CDbl(v));
    case VarType::kNull:
    case VarType::kObject:
      break;
  }
  TypeMismatch();
}

double AsReal(const Operand& o) {
  switch (o.rank) {
    case Rank::kInteger:
    case Rank::kLong:
      return static_cast<double>(o.whole);
    case Rank::kCurrency:
      return o.money.ToDouble();
    case Rank::kDouble:
    case Rank::kDate:
      break;
  }
  return o.real;
}

Currency AsMoney(const Operand& o) {
  switch (o.rank) {
    case Rank::kInteger:
    case Rank::kLong:
      return Currency::FromLong(o.whole);
    case Rank::kCurrency:
      return o.money;
    case Rank::kDouble:
    case Rank::kDate:
      break;
  }
  return Currency::FromDouble(o.real);
}

// A whole-number result in the narrowest of the types the operands allow: an Integer result
// that overflows becomes Long, a Long one Double.
Variant WholeResult(int64_t value, Rank rank) {
  if (rank == Rank::kInteger && value >= INT16_MIN && value <= INT16_MAX) {
    return Variant(static_cast<int16_t>(value));
  }
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant(static_cast<int32_t>(value));
  return Variant(static_cast<double>(value));
}

Variant RealResult(double value) {
  if (!std::isfinite(value)) throw Error(kErrOverflow);
  return Variant(value);
}

Variant DateResult(double serial) {
  if (!std::isfinite(serial) || serial < Date::kMinSerial || serial >= Date::kMaxSerial + 0.00001) {
    throw Error(kErrOverflow);
  }
  return Variant(Date(serial));
}

bool IsObject(const Variant& v) { return v.Type() == VarType::kObject; }

// Null or object on either side: the result Null, or error 13.
bool NullResult(const Variant& a, const Variant& b) {
  if (IsObject(a) || IsObject(b)) TypeMismatch();
  return a.IsNull() || b.IsNull();
}

enum class AddOp { kAdd, kSub };

Variant AddOrSub(const Operand& x, const Operand& y, AddOp op) {
  Rank rank = std::max(x.rank, y.rank);
  const int sign = op == AddOp::kAdd ? 1 : -1;
  switch (rank) {
    case Rank::kInteger:
    case Rank::kLong:
      return WholeResult(x.whole + sign * y.whole, rank);
    case Rank::kDouble:
      return RealResult(AsReal(x) + sign * AsReal(y));
    case Rank::kCurrency:
      return op == AddOp::kAdd ? Variant(AsMoney(x) + AsMoney(y))
                               : Variant(AsMoney(x) - AsMoney(y));
    case Rank::kDate:
      if (op == AddOp::kSub && x.rank == Rank::kDate && y.rank == Rank::kDate) {
        return RealResult(x.real - y.real);
      }
      return DateResult(AsReal(x) + sign * AsReal(y));
  }
  TypeMismatch();
}

// A side of `\` and Mod: rounded half to even to a Long.
int64_t WholeSide(const Variant& v) { return CLng(v); }

bool IsIntegerSide(const Variant& v) {
  return v.Type() == VarType::kInteger || v.Type() == VarType::kBoolean || v.IsEmpty();
}

bool IsNumber(const Variant& v) {
  switch (v.Type()) {
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
      return true;
    default:
      return false;
  }
}

int Sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

int CompareNumbers(const Variant& a, const Variant& b) {
  Operand x = ToOperand(a);
  Operand y = ToOperand(b);
  bool x_whole = x.rank == Rank::kInteger || x.rank == Rank::kLong;
  bool y_whole = y.rank == Rank::kInteger || y.rank == Rank::kLong;
  if (x_whole && y_whole) return x.whole < y.whole ? -1 : (x.whole > y.whole ? 1 : 0);
  if ((x.rank == Rank::kCurrency || x_whole) && (y.rank == Rank::kCurrency || y_whole)) {
    Currency cx = AsMoney(x);
    Currency cy = AsMoney(y);
    return cx < cy ? -1 : (cx > cy ? 1 : 0);
  }
  return Sign(AsReal(x) - AsReal(y));
}

int CompareText(const std::string& a, const std::string& b) {
  int c = a.compare(b);  // char_traits<char> compares as unsigned char: by code unit
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Variant Comparison(const Variant& a, const Variant& b, bool (*test)(int)) {
  std::optional<int> c = Compare(a, b);
  if (!c) return Variant::Null();
  return Variant(test(*c));
}

}  // namespace

Variant Add(const Variant& a, const Variant& b) {
  if (NullResult(a, b)) return Variant::Null();
  if (a.IsEmpty() && b.IsEmpty()) return Variant(int16_t{0});
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  if (a.Type() == VarType::kString && b.Type() == VarType::kString) {
    return Variant(a.AsString() + b.AsString());
  }
  return AddOrSub(ToOperand(a), ToOperand(b), AddOp::kAdd);
}

Variant Sub(const Variant& a, const Variant& b) {
  if (NullResult(a, b)) return Variant::Null();
  return AddOrSub(ToOperand(a), ToOperand(b), AddOp::kSub);
}

Variant Mul(const Variant& a, const Variant& b) {
  if (NullResult(a, b)) return Variant::Null();
  Operand x = ToOperand(a);
  Operand y = ToOperand(b);
  // For `*` a Double outranks Currency, and a Date multiplies as its serial.
  auto mul_rank = [](Rank r) {
    switch (r) {
      case Rank::kInteger:
        return 0;
      case Rank::kLong:
        return 1;
      case Rank::kCurrency:
        return 2;
      case Rank::kDouble:
      case Rank::kDate:
        break;
    }
    return 3;
  };
  int rank = std::max(mul_rank(x.rank), mul_rank(y.rank));
  switch (rank) {
    case 0:
    case 1: {
      // Both sides fit 32 bits, so the product fits 64.
      int64_t product = x.whole * y.whole;
      return WholeResult(product, rank == 0 ? Rank::kInteger : Rank::kLong);
    }
    case 2:
      return Variant(AsMoney(x) * AsMoney(y));
    default:
      return RealResult(AsReal(x) * AsReal(y));
  }
}

Variant Div(const Variant& a, const Variant& b) {
  if (NullResult(a, b)) return Variant::Null();
  double x = AsReal(ToOperand(a));
  double y = AsReal(ToOperand(b));
  if (y == 0) throw Error(x == 0 ? kErrOverflow : kErrDivisionByZero);
  return RealResult(x / y);
}

Variant IntDiv(const Variant& a, const Variant& b) {
  if (NullResult(a, b)) return Variant::Null();
  int64_t x = WholeSide(a);
  int64_t y = WholeSide(b);
  if (y == 0) throw Error(kErrDivisionByZero);
  int64_t q = x / y;
  if (q > INT32_MAX) throw Error(kErrOverflow);  // only -2^31 \ -1
  return WholeResult(q, IsIntegerSide(a) && IsIntegerSide(b) ? Rank::kInteger : Rank::kLong);
}

Variant Mod(const Variant& a, const Variant& b) {
  if (NullResult(a, b)) return Variant::Null();
  int64_t x = WholeSide(a);
  int64_t y = WholeSide(b);
  if (y == 0) throw Error(kErrDivisionByZero);
  return WholeResult(x % y, IsIntegerSide(a) && IsIntegerSide(b) ? Rank::kInteger : Rank::kLong);
}

Variant Neg(const Variant& a) {
  if (IsObject(a)) TypeMismatch();
  if (a.IsNull()) return Variant::Null();
  Operand x = ToOperand(a);
  switch (x.rank) {
    case Rank::kInteger:
    case Rank::kLong:
      return WholeResult(-x.whole, x.rank);
    case Rank::kDouble:
      return Variant(-x.real);
    case Rank::kCurrency:
      return Variant(-x.money);
    case Rank::kDate:
      return DateResult(-x.real);
  }
  TypeMismatch();
}

Variant Concat(const Variant& a, const Variant& b) {
  if (IsObject(a) || IsObject(b)) TypeMismatch();
  if (a.IsNull() && b.IsNull()) return Variant::Null();
  std::string text = a.IsNull() ? std::string() : CStr(a);
  if (!b.IsNull()) text += CStr(b);
  return Variant(std::move(text));
}

std::optional<int> Compare(const Variant& a, const Variant& b) {
  if (NullResult(a, b)) return std::nullopt;
  bool a_text = a.Type() == VarType::kString;
  bool b_text = b.Type() == VarType::kString;
  if (a.IsEmpty() && b.IsEmpty()) return 0;
  if (a_text && b_text) return CompareText(a.AsString(), b.AsString());
  if (a_text) return b.IsEmpty() ? CompareText(a.AsString(), std::string()) : 1;
  if (b_text) return a.IsEmpty() ? CompareText(std::string(), b.AsString()) : -1;
  // Numbers against numbers or Empty (0).
  if (!(IsNumber(a) || a.IsEmpty()) || !(IsNumber(b) || b.IsEmpty())) TypeMismatch();
  return CompareNumbers(a, b);
}

Variant Eq(const Variant& a, const Variant& b) {
  return Comparison(a, b, [](int c) { return c == 0; });
}
Variant Ne(const Variant& a, const Variant& b) {
  return Comparison(a, b, [](int c) { return c != 0; });
}
Variant Lt(const Variant& a, const Variant& b) {
  return Comparison(a, b, [](int c) { return c < 0; });
}
Variant Le(const Variant& a, const Variant& b) {
  return Comparison(a, b, [](int c) { return c <= 0; });
}
Variant Gt(const Variant& a, const Variant& b) {
  return Comparison(a, b, [](int c) { return c > 0; });
}
Variant Ge(const Variant& a, const Variant& b) {
  return Comparison(a, b, [](int c) { return c >= 0; });
}

}  // namespace qts
