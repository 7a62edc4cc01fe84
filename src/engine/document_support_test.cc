#include "engine/document_support.h"

#include <gtest/gtest.h>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "frame/component_object.h"
#include "host/data/named_value_list.h"

namespace qts::engine {
namespace {

// A handler that records what the interface hands it.
class Recorder final : public Implements<IMDocSupport> {
 public:
  bool CrDocByOrder(int32_t order, int32_t article, const host::NamedValueListPtr& fields,
                    bool silence, Date date) override {
    order_ = order;
    article_ = article;
    fields_ = fields;
    silence_ = silence;
    date_ = date;
    return true;
  }
  ButtonGroup QuestionToCustom(int32_t, bool silence, ButtonGroup group) override {
    silence_ = silence;
    return group;
  }
  int32_t order_ = 0, article_ = 0;
  host::NamedValueListPtr fields_ = std::make_shared<host::NamedValueList>();
  bool silence_ = true;
  Date date_ = Date::FromYmd(2026, 1, 1);
};

TEST(DocumentSupportDefaultsTest, OmittedArgumentsArriveAsTheirDefaults) {
  auto recorder = std::make_shared<Recorder>();
  IMDocSupport& d = *recorder;
  EXPECT_TRUE(d.CrDocByOrder(10, 20));
  EXPECT_EQ(recorder->order_, 10);
  EXPECT_EQ(recorder->article_, 20);
  EXPECT_EQ(recorder->fields_, nullptr);
  EXPECT_FALSE(recorder->silence_);
  EXPECT_EQ(recorder->date_.Serial(), 0.0) << "the zero date";
  EXPECT_EQ(d.QuestionToCustom(1), kDefaultButtonGroup);
  EXPECT_EQ(d.QuestionToCustom(1, true, 3), 3);
  EXPECT_TRUE(recorder->silence_);
}

TEST(DocumentSupportDefaultsTest, LateBoundCallsUseTheSameDefaults) {
  auto object = std::make_shared<IMDocSupportClass>();
  EXPECT_FALSE(CallByName(object, "CrDocByOrder", InvokeKind::kMethod,
                          {Variant(int32_t{1}), Variant(int32_t{2})})
                   .AsBool());
  EXPECT_EQ(
      CallByName(object, "questiontocustom", InvokeKind::kMethod, {Variant(int32_t{1})}).AsLong(),
      0);
  EXPECT_TRUE(CallByName(object, "ParentDoc", InvokeKind::kPropertyGet).IsNothing());
  EXPECT_EQ(
      CallByName(object, "IfExist", InvokeKind::kPropertyGet, {Variant(int32_t{1}), Variant("2")})
          .AsLong(),
      0);
  // Missing required arguments and arguments of the wrong class are refused.
  EXPECT_THROW(CallByName(object, "FillSpec", InvokeKind::kMethod, {Variant("G")}), Error);
  EXPECT_QTS_ERROR(CallByName(object, "Init", InvokeKind::kMethod, {Variant(ObjectPtr(object))}),
                   kErrTypeMismatch);

  auto op = std::make_shared<IMOpDocSupportClass>();
  EXPECT_TRUE(CallByName(op, "MDocSup", InvokeKind::kPropertyGet).IsNothing());
}

TEST(CompanionClassesTest, CompanionDoesNotKeepItsOwnerAlive) {
  auto app = std::make_shared<CMDocSupportApp>();
  {
    ObjectPtr owner = std::make_shared<IMDocSupportClass>();
    app->Init(owner);
    app->AddFillMList(owner);
    EXPECT_EQ(app->Owner(), owner);
  }
  EXPECT_EQ(app->Owner(), nullptr);
}

TEST(CompanionClassesTest, LiveObjectsAreCounted) {
  const int64_t before = frame::ComponentObject::LiveCount();
  {
    IMOpDocSupportClass a;
    auto b = std::make_shared<CMDocSupportApp>();
    EXPECT_EQ(frame::ComponentObject::LiveCount(), before + 2);
  }
  EXPECT_EQ(frame::ComponentObject::LiveCount(), before);
}

}  // namespace
}  // namespace qts::engine
