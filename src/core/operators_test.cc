#include "core/operators.h"

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts {
namespace {

Variant Cy(const char* text) { return Variant(*Currency::Parse(text)); }
Variant I(int16_t v) { return Variant(v); }
Variant L(int32_t v) { return Variant(v); }
const Variant kEmpty;
const Variant kNull = Variant::Null();

using BinaryOp = Variant (*)(const Variant&, const Variant&);

struct OpCase {
  const char* name;
  BinaryOp op;
  Variant a;
  Variant b;
  Variant expected;  // type and value; ignored when error != 0
  int error = 0;
};

void PrintTo(const OpCase& c, std::ostream* out) {
  *out << c.name << "(" << c.a << ", " << c.b << ")";
}

class OperatorTable : public ::testing::TestWithParam<OpCase> {};

TEST_P(OperatorTable, ResultTypeAndValue) {
  const OpCase& c = GetParam();
  if (c.error != 0) {
    EXPECT_QTS_ERROR(c.op(c.a, c.b), c.error);
    return;
  }
  Variant r = c.op(c.a, c.b);
  EXPECT_TRUE(r.SameAs(c.expected)) << "got " << r << ", expected " << c.expected;
}

#define OP(op) #op, op

INSTANTIATE_TEST_SUITE_P(
    Add, OperatorTable,
    ::testing::Values(
        OpCase{OP(Add), I(1), I(2), I(3)}, OpCase{OP(Add), I(32767), I(1), L(32768)},
        OpCase{OP(Add), I(-32768), I(-1), L(-32769)},
        OpCase{OP(Add), L(2147483647), I(1), Variant(2147483648.0)},
        OpCase{OP(Add), I(1), L(2), L(3)}, OpCase{OP(Add), L(1), 0.5, Variant(1.5)},
        OpCase{OP(Add), true, true, I(-2)}, OpCase{OP(Add), true, L(5), L(4)},
        // Currency outranks Double for + and -: the Double is converted first (half to even).
        OpCase{OP(Add), Cy("1"), 0.5, Cy("1.5")}, OpCase{OP(Add), Cy("1"), 0.00005, Cy("1")},
        OpCase{OP(Add), Cy("0.0001"), I(1), Cy("1.0001")},
        OpCase{OP(Add), Variant(Date(33996)), I(1), Variant(Date(33997))},
        OpCase{OP(Add), Variant(Date(33996)), 0.5, Variant(Date(33996.5))},
        OpCase{OP(Add), "ab", "cd", "abcd"}, OpCase{OP(Add), "1", I(2), Variant(3.0)},
        OpCase{OP(Add), " 1.5 ", Cy("1"), Cy("2.5")}, OpCase{OP(Add), kEmpty, kEmpty, I(0)},
        OpCase{OP(Add), kEmpty, true, true}, OpCase{OP(Add), kEmpty, "x", "x"},
        OpCase{OP(Add), Cy("2"), kEmpty, Cy("2")}, OpCase{OP(Add), kNull, I(1), kNull},
        OpCase{OP(Add), "x", kNull, kNull}, OpCase{OP(Add), kNull, kEmpty, kNull},
        OpCase{OP(Add), "x", I(1), {}, kErrTypeMismatch},
        OpCase{OP(Add), Variant::Nothing(), I(1), {}, kErrTypeMismatch},
        OpCase{OP(Add), 1e308, 1e308, {}, kErrOverflow},
        OpCase{OP(Add), Cy("922337203685477"), Cy("1"), {}, kErrOverflow},
        OpCase{OP(Add), Variant(Date(2958465)), I(1), {}, kErrOverflow}));

INSTANTIATE_TEST_SUITE_P(
    Sub, OperatorTable,
    ::testing::Values(
        OpCase{OP(Sub), I(1), I(2), I(-1)}, OpCase{OP(Sub), I(-32768), I(1), L(-32769)},
        OpCase{OP(Sub), Variant(Date(33997.5)), Variant(Date(33996)), Variant(1.5)},
        OpCase{OP(Sub), Variant(Date(33997)), I(1), Variant(Date(33996))},
        OpCase{OP(Sub), "5", "2", Variant(3.0)}, OpCase{OP(Sub), kEmpty, I(3), I(-3)},
        OpCase{OP(Sub), kEmpty, "3", Variant(-3.0)}, OpCase{OP(Sub), Cy("1"), 0.25, Cy("0.75")},
        OpCase{OP(Sub), kNull, kNull, kNull}, OpCase{OP(Sub), "a", "b", {}, kErrTypeMismatch}));

INSTANTIATE_TEST_SUITE_P(
    Mul, OperatorTable,
    ::testing::Values(OpCase{OP(Mul), I(200), I(200), L(40000)},
                      OpCase{OP(Mul), I(-3), I(4), I(-12)},
                      OpCase{OP(Mul), L(65536), L(65536), Variant(4294967296.0)},
                      OpCase{OP(Mul), Cy("543.214588"), I(2), Cy("1086.4292")},
                      OpCase{OP(Mul), Cy("1.5"), Cy("0.0001"), Cy("0.0002")},
                      // Double outranks Currency for *.
                      OpCase{OP(Mul), Cy("1.5"), 2.0, Variant(3.0)},
                      OpCase{OP(Mul), Variant(Date(2)), I(2), Variant(4.0)},
                      OpCase{OP(Mul), "2", "3", Variant(6.0)}, OpCase{OP(Mul), kEmpty, I(5), I(0)},
                      OpCase{OP(Mul), kEmpty, kEmpty, I(0)}, OpCase{OP(Mul), true, true, I(1)},
                      OpCase{OP(Mul), kNull, I(2), kNull},
                      OpCase{OP(Mul), Cy("922337203685477"), I(2), {}, kErrOverflow}));

INSTANTIATE_TEST_SUITE_P(Div, OperatorTable,
                         ::testing::Values(OpCase{OP(Div), I(1), I(2), Variant(0.5)},
                                           OpCase{OP(Div), Cy("1"), Cy("4"), Variant(0.25)},
                                           OpCase{OP(Div), "9", L(3), Variant(3.0)},
                                           OpCase{OP(Div), kEmpty, I(3), Variant(0.0)},
                                           OpCase{OP(Div), kNull, I(0), kNull},
                                           OpCase{OP(Div), I(1), I(0), {}, kErrDivisionByZero},
                                           OpCase{OP(Div), I(1), kEmpty, {}, kErrDivisionByZero},
                                           OpCase{OP(Div), I(0), I(0), {}, kErrOverflow},
                                           OpCase{OP(Div), 1e308, 1e-308, {}, kErrOverflow}));

INSTANTIATE_TEST_SUITE_P(
    IntDivMod, OperatorTable,
    ::testing::Values(OpCase{OP(IntDiv), I(7), I(2), I(3)}, OpCase{OP(IntDiv), I(-7), I(2), I(-3)},
                      OpCase{OP(IntDiv), 7.5, I(2), L(4)},  // 7.5 rounds to 8 first
                      OpCase{OP(IntDiv), 6.5, I(2), L(3)},  // 6.5 rounds to 6
                      OpCase{OP(IntDiv), L(100000), I(3), L(33333)},
                      OpCase{OP(IntDiv), I(-32768), I(-1), L(32768)},
                      OpCase{OP(IntDiv), kNull, I(1), kNull},
                      OpCase{OP(IntDiv), I(1), 0.4, {}, kErrDivisionByZero},
                      OpCase{OP(IntDiv), L(-2147483647 - 1), L(-1), {}, kErrOverflow},
                      OpCase{OP(IntDiv), 3e9, I(1), {}, kErrOverflow},
                      OpCase{OP(Mod), I(7), I(3), I(1)}, OpCase{OP(Mod), I(-7), I(3), I(-1)},
                      OpCase{OP(Mod), I(7), I(-3), I(1)},
                      OpCase{OP(Mod), 5.5, I(4), L(2)},  // 5.5 rounds to 6
                      OpCase{OP(Mod), Cy("10"), I(4), L(2)}, OpCase{OP(Mod), kEmpty, I(4), I(0)},
                      OpCase{OP(Mod), I(1), I(0), {}, kErrDivisionByZero},
                      OpCase{OP(Mod), "x", I(2), {}, kErrTypeMismatch}));

INSTANTIATE_TEST_SUITE_P(
    Concat, OperatorTable,
    ::testing::Values(OpCase{OP(Concat), "a", I(1), "a1"}, OpCase{OP(Concat), kNull, "a", "a"},
                      OpCase{OP(Concat), "a", kNull, "a"}, OpCase{OP(Concat), kNull, kNull, kNull},
                      OpCase{OP(Concat), kEmpty, kEmpty, ""},
                      OpCase{OP(Concat), true, Cy("0.5"), "True0.5"},
                      OpCase{OP(Concat), 0.1, Variant(Date(33996)), "0.11993-01-27"},
                      OpCase{OP(Concat), Variant::Nothing(), "a", {}, kErrTypeMismatch}));

INSTANTIATE_TEST_SUITE_P(
    Comparisons, OperatorTable,
    ::testing::Values(OpCase{OP(Eq), I(0), kEmpty, true}, OpCase{OP(Gt), I(5), kEmpty, true},
                      OpCase{OP(Eq), "", kEmpty, true}, OpCase{OP(Eq), kEmpty, kEmpty, true},
                      OpCase{OP(Lt), kEmpty, "a", true}, OpCase{OP(Lt), "AAA", "aaa", true},
                      OpCase{OP(Lt), "Z", "a", true}, OpCase{OP(Lt), "a", "ab", true},
                      OpCase{OP(Gt), "\xC4\x85", "z", true},  // UTF-8 text compares by code point
                      // A number is always less than text, even numeric text.
                      OpCase{OP(Eq), I(5), "5", false}, OpCase{OP(Lt), I(5), "3", true},
                      OpCase{OP(Gt), "", L(100), true}, OpCase{OP(Eq), I(1), 1.0, true},
                      OpCase{OP(Eq), Cy("0.1"), 0.1, true},
                      OpCase{OP(Lt), Cy("0.0001"), L(1), true}, OpCase{OP(Eq), true, I(-1), true},
                      OpCase{OP(Eq), Variant(Date(33996)), L(33996), true},
                      OpCase{OP(Ge), L(3), L(3), true}, OpCase{OP(Le), 2.5, L(2), false},
                      OpCase{OP(Ne), "a", "a", false}, OpCase{OP(Ne), I(1), I(2), true},
                      OpCase{OP(Eq), kNull, kNull, kNull}, OpCase{OP(Eq), kNull, I(1), kNull},
                      OpCase{OP(Lt), "a", kNull, kNull}, OpCase{OP(Ne), kEmpty, kNull, kNull},
                      OpCase{OP(Eq), Variant::Nothing(), I(1), {}, kErrTypeMismatch}));

TEST(Neg, Table) {
  const std::pair<Variant, Variant> cases[] = {
      {I(5), I(-5)},
      {I(-32768), L(32768)},
      {L(-2147483647 - 1), Variant(2147483648.0)},
      {true, I(1)},
      {kEmpty, I(0)},
      {kNull, kNull},
      {Cy("1.5"), Cy("-1.5")},
      {"2", Variant(-2.0)},
      {Variant(Date(-1.5)), Variant(Date(1.5))},
  };
  for (const auto& [input, expected] : cases) {
    Variant r = Neg(input);
    EXPECT_TRUE(r.SameAs(expected)) << input << " gave " << r;
  }
  EXPECT_THROW((void)Neg(Variant("x")), Error);
  EXPECT_THROW((void)Neg(Cy("-922337203685477.5808")), Error);
}

TEST(Compare, OrdersAndReportsNull) {
  EXPECT_EQ(Compare(I(1), I(2)), -1);
  EXPECT_EQ(Compare("b", "a"), 1);
  EXPECT_EQ(Compare(kEmpty, I(0)), 0);
  EXPECT_EQ(Compare(kNull, I(0)), std::nullopt);
  EXPECT_EQ(Compare(I(1), "1"), -1);
  EXPECT_EQ(Compare("1", I(1)), 1);
}

}  // namespace
}  // namespace qts
