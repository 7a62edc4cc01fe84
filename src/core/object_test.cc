#include "core/object.h"

#include <gtest/gtest.h>

#include "core/com.h"
#include "core/dispatch.h"
#include "core/event.h"
#include "core/guid.h"
#include "core/testing/qts_matchers.h"

namespace qts {
namespace {

class IShape : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("11111111-2222-3333-4444-555555555555");
  static constexpr std::string_view kName = "IShape";
  virtual int Corners() = 0;
};

class IColoured : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("AAAAAAAA-2222-3333-4444-555555555555");
  static constexpr std::string_view kName = "IColoured";
  virtual std::string Colour() = 0;
};

class Square final : public Implements<IShape, IColoured> {
 public:
  int Corners() override { return 4; }
  std::string Colour() override { return "red"; }
};

class Circle final : public Implements<IShape> {
 public:
  int Corners() override { return 0; }
};

TEST(GuidTest, FormatsAndParsesTheRegistryForm) {
  constexpr Guid g = MakeGuid("6CE60995-60a7-4014-AF3B-2FCE1334BD6D");
  EXPECT_EQ(g.ToString(), "{6CE60995-60A7-4014-AF3B-2FCE1334BD6D}");
  EXPECT_EQ(Guid::Parse(g.ToString()), g);
  EXPECT_EQ(Guid::Parse("6ce60995-60a7-4014-af3b-2fce1334bd6d"), g);
  EXPECT_EQ(g.data4[0], 0xAF);
  EXPECT_EQ(g.data4[7], 0x6D);
}

TEST(GuidTest, RejectsMalformedText) {
  for (const char* bad :
       {"", "{6CE60995-60A7-4014-AF3B-2FCE1334BD6D", "6CE60995-60A7-4014-AF3B",
        "6CE60995x60A7-4014-AF3B-2FCE1334BD6D", "6CE6099G-60A7-4014-AF3B-2FCE1334BD6D",
        "(6CE60995-60A7-4014-AF3B-2FCE1334BD6D)"}) {
    EXPECT_FALSE(Guid::Parse(bad).has_value()) << bad;
  }
}

TEST(QueryInterfaceTest, IsACheckedCastSharingOneIdentity) {
  ObjectPtr square = std::make_shared<Square>();
  auto shape = QueryInterface<IShape>(square);
  auto coloured = QueryInterface<IColoured>(shape);
  EXPECT_EQ(shape->Corners(), 4);
  EXPECT_EQ(coloured->Colour(), "red");
  // Every interface of the object answers IUnknown with the same object.
  EXPECT_EQ(shape->QueryInterface(kIidIUnknown), coloured->QueryInterface(kIidIUnknown));
  EXPECT_EQ(square.use_count(), 3);
}

TEST(QueryInterfaceTest, UnsupportedInterfaceIsTypeMismatch) {
  ObjectPtr circle = std::make_shared<Circle>();
  EXPECT_EQ(TryQueryInterface<IColoured>(circle), nullptr);
  EXPECT_EQ(circle->QueryInterface(IColoured::kIid), nullptr);
  EXPECT_QTS_ERROR(QueryInterface<IColoured>(circle), kErrTypeMismatch);
  EXPECT_QTS_ERROR(QueryInterface<IShape>(nullptr), kErrObjectRequired);
}

TEST(EventTest, ListenersRunInOrderAndMaySetTheCancelFlag) {
  Event<int, bool&> before_write;
  std::vector<std::string> calls;
  Connection first = before_write.Connect([&](int row, bool& cancel) {
    calls.push_back("first " + std::to_string(row));
    EXPECT_FALSE(cancel);
  });
  Connection second = before_write.Connect([&](int row, bool& cancel) {
    calls.push_back("second " + std::to_string(row));
    cancel = row == 2;
  });
  bool cancel = false;
  before_write.Raise(1, cancel);
  EXPECT_FALSE(cancel);
  before_write.Raise(2, cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(calls, (std::vector<std::string>{"first 1", "second 1", "first 2", "second 2"}));
}

TEST(EventTest, ConnectionDisconnectsWhenReleasedAndOutlivesTheSource) {
  Connection kept;
  int calls = 0;
  {
    Event<std::string> changed;
    {
      Connection scoped = changed.Connect([&](std::string) { ++calls; });
      changed.Raise("a");
    }
    changed.Raise("b");
    EXPECT_EQ(calls, 1);
    kept = changed.Connect([&](std::string text) { calls += static_cast<int>(text.size()); });
    changed.Raise("cd");
    EXPECT_EQ(calls, 3);
  }
  // The source is gone; disconnecting afterwards must be harmless.
  kept.Disconnect();
  EXPECT_FALSE(kept.Connected());
}

TEST(EventTest, ValueArgumentsReachEveryListenerIntact) {
  Event<std::string> changed;
  std::vector<std::string> seen;
  Connection a = changed.Connect([&](std::string s) { seen.push_back(std::move(s)); });
  Connection b = changed.Connect([&](std::string s) { seen.push_back(std::move(s)); });
  changed.Raise("GoodCode");
  EXPECT_EQ(seen, (std::vector<std::string>{"GoodCode", "GoodCode"}));
}

class Counter final : public Implements<IDispatch> {
 public:
  Counter() {
    table_.Add("Value", InvokeKind::kPropertyGet, [this](auto&) { return Variant(value_); })
        .Add("Value", InvokeKind::kPropertyPut,
             [this](std::vector<Variant>& a) {
               value_ = a.back().AsLong();
               return Variant();
             })
        .Add("Bump", InvokeKind::kMethod, [this](std::vector<Variant>& a) {
          // By-reference argument: the caller sees the old value.
          if (!a.empty()) a[0] = Variant(value_);
          return Variant(++value_);
        });
  }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override {
    return table_.Invoke("Counter", name, kind, args);
  }
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  int32_t value_ = 0;
  DispatchTable table_;
};

TEST(DispatchTest, MembersAreFoundByNameInAnyCase) {
  ObjectPtr counter = std::make_shared<Counter>();
  CallByName(counter, "VALUE", InvokeKind::kPropertyPut, {Variant(int32_t{41})});
  EXPECT_EQ(CallByName(counter, "bump", InvokeKind::kMethod).AsLong(), 42);
  // A method without arguments may be read as a property, and a property called as a method.
  EXPECT_EQ(CallByName(counter, "Bump", InvokeKind::kPropertyGet).AsLong(), 43);
  EXPECT_EQ(CallByName(counter, "value", InvokeKind::kMethod).AsLong(), 43);
  auto dispatch = QueryInterface<IDispatch>(counter);
  std::vector<Variant> args{Variant()};
  dispatch->Invoke("Bump", InvokeKind::kMethod, args);
  EXPECT_EQ(args[0].AsLong(), 43);
  EXPECT_TRUE(dispatch->HasMember("value"));
  EXPECT_FALSE(dispatch->HasMember("Reset"));
}

TEST(DispatchTest, UnknownMembersAndObjectsWithoutLateBindingRaise438) {
  ObjectPtr counter = std::make_shared<Counter>();
  ObjectPtr circle = std::make_shared<Circle>();
  for (const ObjectPtr& target : {counter, circle}) {
    EXPECT_QTS_ERROR_TEXT(CallByName(target, "Reset", InvokeKind::kMethod), kErrNoSuchMember,
                          "Reset");
  }
  // A put-only property cannot be read.
  EXPECT_THROW(CallByName(counter, "Value", InvokeKind::kPropertyPutRef), Error);
}

TEST(GuardEntryTest, TurnsExceptionsIntoResultCodesAndTheErrorRecord) {
  EXPECT_EQ(GuardEntry("t", [] { return kSOk; }), kSOk);
  EXPECT_FALSE(TakeErrorInfo().has_value());

  HResult hr = GuardEntry(
      "t", []() -> HResult { throw Error(kErrComponent, "CMDocSupport", "m_MList == Nothing"); });
  EXPECT_EQ(hr, kDispEException);
  auto info = TakeErrorInfo();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->Number(), kErrComponent);
  EXPECT_EQ(info->Source(), "CMDocSupport");
  EXPECT_EQ(info->Description(), "m_MList == Nothing");
  EXPECT_FALSE(TakeErrorInfo().has_value()) << "taking the record clears it";

  hr = GuardEntry("entry", []() -> HResult { throw std::runtime_error("disk full"); });
  EXPECT_EQ(hr, kEFail);
  info = TakeErrorInfo();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->Source(), "entry");
  EXPECT_EQ(info->Description(), "disk full");
}

TEST(ErrorTest, ComponentNumbersShowInHexadecimal) {
  Error e(kErrComponent, "CMDocSupport", "m_MList == Nothing");
  EXPECT_EQ(FormatErrorNumber(e.Number()), "0x80040001");
  EXPECT_EQ(FormatErrorNumber(13), "13");
  EXPECT_STREQ(e.what(), "CMDocSupport: error 0x80040001: m_MList == Nothing");
  EXPECT_EQ(Error(kErrInvalidUseOfNull).Description(), "Invalid use of Null");
}

}  // namespace
}  // namespace qts
