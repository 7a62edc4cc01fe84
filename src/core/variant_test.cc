#include "core/variant.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts {
namespace {

// Integer types without a platform type of their own must be converted explicitly.
static_assert(!std::is_constructible_v<Variant, int64_t>);
static_assert(!std::is_constructible_v<Variant, size_t>);
static_assert(!std::is_constructible_v<Variant, char>);
static_assert(std::is_constructible_v<Variant, int>);

class Widget : public Object {
 public:
  std::string_view ClassName() const override { return "Widget"; }
};

TEST(Variant, TypeCodesAreThePlatforms) {
  const std::pair<Variant, uint16_t> cases[] = {
      {Variant(), 0},
      {Variant::Null(), 1},
      {Variant(int16_t{1}), 2},
      {Variant(1), 3},
      {Variant(1.0), 5},
      {Variant(Currency()), 6},
      {Variant(Date()), 7},
      {Variant("x"), 8},
      {Variant(std::string("x")), 8},
      {Variant(std::string_view("x")), 8},
      {Variant::Nothing(), 9},
      {Variant(nullptr), 9},
      {Variant(std::make_shared<Widget>()), 9},
      {Variant(true), 11},
  };
  for (const auto& [value, code] : cases) {
    EXPECT_EQ(static_cast<uint16_t>(value.Type()), code) << value;
  }
}

TEST(Variant, PredicatesTellEmptyNullAndNothingApart) {
  EXPECT_TRUE(Variant().IsEmpty());
  EXPECT_FALSE(Variant().IsNull());
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_FALSE(Variant::Null().IsEmpty());
  EXPECT_TRUE(Variant::Nothing().IsObject());
  EXPECT_TRUE(Variant::Nothing().IsNothing());
  Variant widget(std::make_shared<Widget>());
  EXPECT_TRUE(widget.IsObject());
  EXPECT_FALSE(widget.IsNothing());
  EXPECT_FALSE(Variant("").IsEmpty());
}

TEST(Variant, IsNumericAsThePlatform) {
  const std::pair<Variant, bool> cases[] = {
      {Variant(), true},           {Variant(true), true},    {Variant(int16_t{1}), true},
      {Variant(1), true},          {Variant(1.5), true},     {Variant(Currency()), true},
      {Variant(" 12.5 "), true},   {Variant("1e999"), true}, {Variant("12a"), false},
      {Variant(""), false},        {Variant::Null(), false}, {Variant(Date(1)), false},
      {Variant::Nothing(), false},
  };
  for (const auto& [value, numeric] : cases) EXPECT_EQ(value.IsNumeric(), numeric) << value;
}

TEST(Variant, AccessorsDoNotConvert) {
  Variant l(7);
  EXPECT_EQ(l.AsLong(), 7);
  EXPECT_EQ(Variant(int16_t{7}).AsInteger(), 7);
  EXPECT_EQ(Variant("abc").AsString(), "abc");
  EXPECT_EQ(Variant(2.5).AsDouble(), 2.5);
  EXPECT_TRUE(Variant(true).AsBool());
  EXPECT_EQ(Variant(Currency::FromLong(3)).AsCurrency(), Currency::FromLong(3));
  EXPECT_EQ(Variant(Date(5)).AsDate(), Date(5));
  auto widget = std::make_shared<Widget>();
  EXPECT_EQ(Variant(widget).AsObject(), widget);

  EXPECT_QTS_ERROR(l.AsInteger(), kErrTypeMismatch);
  EXPECT_QTS_ERROR(l.AsDouble(), kErrTypeMismatch);
  EXPECT_QTS_ERROR(l.AsString(), kErrTypeMismatch);
  EXPECT_QTS_ERROR(Variant("1").AsLong(), kErrTypeMismatch);
  EXPECT_QTS_ERROR(Variant::Null().AsBool(), kErrTypeMismatch);
  EXPECT_QTS_ERROR(Variant().AsObject(), kErrTypeMismatch);
}

TEST(Variant, SameAsMeansSameTypeAndValue) {
  EXPECT_TRUE(Variant(1).SameAs(Variant(1)));
  EXPECT_FALSE(Variant(1).SameAs(Variant(int16_t{1})));
  EXPECT_FALSE(Variant(1).SameAs(Variant(1.0)));
  EXPECT_FALSE(Variant().SameAs(Variant::Null()));
  EXPECT_TRUE(Variant::Null() == Variant::Null());
  EXPECT_FALSE(Variant("a") == Variant("A"));
  auto a = std::make_shared<Widget>();
  auto b = std::make_shared<Widget>();
  EXPECT_TRUE(Variant(a) == Variant(a));
  EXPECT_FALSE(Variant(a) == Variant(b));
}

TEST(Variant, CopiesAreIndependentValues) {
  Variant original("abc");
  Variant copy = original;
  copy = Variant(5);
  EXPECT_EQ(original.AsString(), "abc");
  Variant moved = std::move(original);
  EXPECT_EQ(moved.AsString(), "abc");
}

// Every kind assigned over every other, by copy and by move: the target ends as the source
// was, the source of a copy is untouched, and objects are held exactly as often as they are
// referenced.
TEST(Variant, AssignmentBetweenEveryPairOfKinds) {
  auto widget = std::make_shared<Widget>();
  const std::string long_text(100, 'x');  // beyond the string's own small buffer
  const auto kinds = [&] {
    return std::vector<Variant>{Variant(),
                                Variant::Null(),
                                Variant(true),
                                Variant(int16_t{-2}),
                                Variant(-70000),
                                Variant(-0.25),
                                Variant(Currency::FromDouble(12.3456)),
                                Variant(Date(45000.5)),
                                Variant("short"),
                                Variant(long_text),
                                Variant::Nothing(),
                                Variant(widget)};
  };
  const std::vector<Variant> expected = kinds();
  for (size_t from = 0; from < expected.size(); ++from) {
    for (size_t to = 0; to < expected.size(); ++to) {
      std::vector<Variant> targets = kinds();
      std::vector<Variant> sources = kinds();
      targets[to] = sources[from];
      EXPECT_TRUE(targets[to].SameAs(expected[from])) << from << " over " << to;
      EXPECT_TRUE(sources[from].SameAs(expected[from])) << "the copied " << from;
      targets = kinds();
      targets[to] = std::move(sources[from]);
      EXPECT_TRUE(targets[to].SameAs(expected[from])) << from << " moved over " << to;
      Variant constructed(targets[to]);
      EXPECT_TRUE(constructed.SameAs(expected[from]));
    }
  }
  EXPECT_EQ(widget.use_count(), 2) << "held by `expected` and by this test only";
  Variant self(long_text);
  const Variant& alias = self;
  self = alias;
  EXPECT_EQ(self.AsString(), long_text);
}

TEST(Variant, TypeNameAndPrinting) {
  EXPECT_EQ(TypeName(Variant()), "Empty");
  EXPECT_EQ(TypeName(Variant::Nothing()), "Nothing");
  EXPECT_EQ(TypeName(Variant(std::make_shared<Widget>())), "Widget");
  EXPECT_EQ(TypeName(Variant(Currency())), "Currency");
  std::ostringstream out;
  out << Variant("x") << ' ' << Variant(12) << ' ' << Variant::Null() << ' ' << Variant(0.5);
  EXPECT_EQ(out.str(), "String(\"x\") Long(12) Null Double(0.5)");
}

TEST(Variant, StaysSmall) {
  // Recordsets hold a Variant per cell.
  EXPECT_LE(sizeof(Variant), 40u);
}

}  // namespace
}  // namespace qts
