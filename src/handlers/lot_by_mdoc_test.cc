#include "handlers/lot_by_mdoc.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "handlers/item_write_off.h"
#include "handlers/testing/handler_book.h"
#include "host/data/named_value_list.h"
#include "host/services/host_lot_handler.h"

namespace qts::handlers {
namespace {

using testing::HandlerBook;
using testing::kOpenWriteOff;

TEST(LotByMDocBareTest, WithoutInitOnlyTheOwnAnswersWork) {
  CLotByMDoc lot;
  EXPECT_TRUE(lot.IsUseLotOnStock());
  Variant a, b, c, d;
  EXPECT_NO_THROW(lot.SerNumbEdit(a));
  EXPECT_NO_THROW(lot.ItemAccesoryEdit(a, b, c, d));
  EXPECT_TRUE(a.IsEmpty() && b.IsEmpty() && c.IsEmpty() && d.IsEmpty());

  // Each forwarding member needs the host handler that Init makes.
  const std::vector<std::pair<std::string, std::function<void()>>> members = {
      {"FormDocumentSpec", [&] { lot.FormDocumentSpec(nullptr); }},
      {"CurrentPosNumb", [&] { lot.SetCurrentPosNumb(1); }},
      {"WriteAllLotProperty", [&] { lot.WriteAllLotProperty(a); }},
      {"WriteLotProperty", [&] { lot.WriteLotProperty(a, b); }},
      {"ReadLotProperty", [&] { (void)lot.ReadLotProperty(a); }},
  };
  for (const auto& [member, call] : members) {
    EXPECT_QTS_ERROR_FROM(call(), kErrObjectRequired, "CLotByMDoc::" + member,
                          "m_Inner == Nothing: Init was not called");
  }
}

class LotByMDocTest : public HandlerBook {
 protected:
  void SetUp() override {
    HandlerBook::SetUp();
    handler_ = std::make_shared<CItemWriteOff>();
    handler_->Init(LoadDoc(kOpenWriteOff));
    lot_ = std::make_shared<CLotByMDoc>();
    lot_->Init(handler_);
  }

  std::shared_ptr<CItemWriteOff> handler_;
  std::shared_ptr<CLotByMDoc> lot_;
};

TEST_F(LotByMDocTest, InitMakesAFreshHostHandlerForTheDocumentHandler) {
  std::shared_ptr<host::ILotByTHDoc> first = lot_->Inner();
  ASSERT_NE(std::dynamic_pointer_cast<host::HostLotHandler>(first), nullptr);
  EXPECT_EQ(lot_->THDoc(), std::static_pointer_cast<host::ITHDoc>(handler_));
  lot_->Init(handler_);
  EXPECT_NE(lot_->Inner(), first) << "a second Init replaces the host handler";
}

TEST_F(LotByMDocTest, LotCallsReachTheDocumentsRows) {
  // The current position goes to the host handler: a write without a position uses it.
  lot_->SetCurrentPosNumb(2);
  Variant none, any_lot(int32_t{8});
  lot_->WriteLotProperty(none, any_lot);
  std::vector<testing::StoredRow> rows = Rows(kOpenWriteOff);
  EXPECT_EQ(rows[0].lot, 0);
  EXPECT_EQ(rows[1].lot, 8);

  Variant clear(int32_t{0});
  lot_->WriteAllLotProperty(clear);
  rows = Rows(kOpenWriteOff);
  EXPECT_EQ(rows[0].lot + rows[1].lot, 0);

  Variant id(int32_t{7});
  Variant read = lot_->ReadLotProperty(id);
  ASSERT_TRUE(read.IsObject());
  auto list = std::dynamic_pointer_cast<host::NamedValueList>(read.AsObject());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(CStr(list->Item("GoodCode").Value()), "F1");

  // Rows of lot-tracked goods without a lot get one of their own.
  handler_->InsertSpecRec(Row("F1", "L", 10000));
  lot_->FormDocumentSpec(nullptr);
  rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_GT(rows[2].lot, 8) << "a new lot property";
  EXPECT_EQ(rows[0].lot, 0) << "G1 is not lot-tracked";
}

TEST_F(LotByMDocTest, HostHandlerErrorsPropagate) {
  Variant missing_row(int32_t{99}), lot(int32_t{8});
  EXPECT_QTS_ERROR(lot_->WriteLotProperty(missing_row, lot), host::kErrLotHandler);
  Variant first_row(int32_t{1}), fuel_lot(int32_t{7});  // lot 7 belongs to F1, row 1 holds G1
  EXPECT_QTS_ERROR(lot_->WriteLotProperty(first_row, fuel_lot), host::kErrLotHandler);
  EXPECT_EQ(Rows(kOpenWriteOff)[0].lot, 0);
}

TEST_F(LotByMDocTest, DoesNotKeepTheDocumentHandlerAlive) {
  std::weak_ptr<CItemWriteOff> weak = handler_;
  handler_.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(lot_->THDoc(), nullptr);
  EXPECT_TRUE(lot_->IsUseLotOnStock());
}

}  // namespace
}  // namespace qts::handlers
