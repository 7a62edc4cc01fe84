#include "handlers/finish_good_in.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "engine/doc_engine.h"
#include "handlers/lot_by_mdoc.h"
#include "handlers/testing/handler_book.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/report/report_engine.h"

namespace qts::handlers {
namespace {

using testing::HandlerBook;
using testing::kReceipt;

class FinishGoodInTest : public HandlerBook {
 protected:
  void SetUp() override {
    HandlerBook::SetUp();
    handler_ = std::make_shared<CFinishGoodIn>();
    handler_->Init(LoadDoc(kReceipt));
  }

  static host::NamedValueListPtr GridRow(int64_t price, int64_t amount, int64_t summa) {
    auto row = std::make_shared<host::NamedValueList>();
    row->Add("GoodCode", host::Kind::kCode, Variant("G1"));
    row->Add("Price", host::Kind::kQuantity, Variant(Currency::FromScaled(price)));
    row->Add("Amount", host::Kind::kQuantity, Variant(Currency::FromScaled(amount)));
    row->Add("Summa", host::Kind::kQuantity, Variant(Currency::FromScaled(summa)));
    row->Add("BOperCode", host::Kind::kCode, Variant("BO-F"));
    return row;
  }

  std::shared_ptr<CFinishGoodIn> handler_;
};

TEST_F(FinishGoodInTest, ColumnsAreTheReceiptCalculatorsUnchanged) {
  EXPECT_EQ(handler_->CalcSpecColList(),
            (std::vector<std::string>{"Price", "Amount", "BOperCode", "Summa"}));
  // An edit of the price: sum = price x amount rounded to 2 places (1.2345 x 3 = 3.7035).
  host::NamedValueListPtr changed =
      handler_->CalcSpecColumns(GridRow(12345, 30000, 0), "Price", nullptr);
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(CCur(changed->Item("Summa").Value()).Scaled(), 37000);
  EXPECT_EQ(CCur(changed->Item("CostSumm").Value()).Scaled(), 37000);
  EXPECT_EQ(CCur(changed->Item("Price").Value()).Scaled(), 12345);
  EXPECT_EQ(CStr(changed->Item("BOperCode").Value()), "BO-F");
  // An edit of the sum with amount 0 reports no price.
  changed = handler_->CalcSpecColumns(GridRow(12345, 0, 55555), "Summa", nullptr);
  ASSERT_NE(changed, nullptr);
  EXPECT_TRUE(changed->Item("Price").Value().IsEmpty());
  EXPECT_EQ(CCur(changed->Item("Summa").Value()).Scaled(), 55555);
  // Errors are not caught here: they reach the caller, nothing is shown.
  EXPECT_QTS_ERROR(handler_->CalcSpecColumns(nullptr, "Price", nullptr), kErrObjectRequired);
  EXPECT_TRUE(operator_->Errors().empty());
}

TEST_F(FinishGoodInTest, DefaultBoperIsNotLookedUpInTheBook) {
  // The book has a default operation for MFC; a receipt takes only what its dialog writes.
  EXPECT_EQ(handler_->DefaultBoper(), "");
}

TEST_F(FinishGoodInTest, EngineServesTheReceipt) {
  EXPECT_EQ(handler_->MDocSupEngine()->DocTypeCode(), "MFC");
  EXPECT_EQ(handler_->MDocSupEngine()->THDoc(), std::static_pointer_cast<host::ITHDoc>(handler_));
  std::shared_ptr<host::ITHDoc> th = handler_;
  std::shared_ptr<engine::IMDocSupport> sup = handler_;
  EXPECT_EQ(th->Doc(), sup->Doc());
  EXPECT_EQ(CLng(th->Doc()->Fields().Item("IDC").Value()), kReceipt);
  EXPECT_EQ(th->GoodSpec(), handler_->MDocSupEngine()->DocSpec());
  EXPECT_EQ(TryQueryInterface<engine::IMMatDocSupport>(th), nullptr) << "a receipt is not priced";
  // ITHDoc.Init with null makes a new blank receipt in the host's current book.
  auto app = std::make_shared<host::ReportApp>();
  app->SetCurrentBook(book_);
  host::ScopedClientApplication scoped_app(app);
  th->Init(nullptr);
  EXPECT_EQ(CStr(sup->Doc()->Fields().Item("DocTypeCode").Value()), "MFC");
  EXPECT_EQ(CLng(sup->Doc()->Fields().Item("IDC").Value()), 0);
}

TEST_F(FinishGoodInTest, LotHandlerIsTheSameOnEveryCall) {
  std::shared_ptr<host::ILotByTHDoc> lot = handler_->LotByDoc();
  ASSERT_NE(std::dynamic_pointer_cast<CLotByMDoc>(lot), nullptr);
  EXPECT_EQ(handler_->LotByDoc(), lot);
  EXPECT_TRUE(lot->IsUseLotOnStock());
  Variant pos(int32_t{1}), id(int32_t{8});
  lot->WriteLotProperty(pos, id);
  EXPECT_EQ(Rows(kReceipt)[0].lot, 8);
}

TEST_F(FinishGoodInTest, ReleasingTheHandlerReleasesItsEngine) {
  (void)handler_->LotByDoc();
  std::weak_ptr<engine::CMDocSupport> engine = handler_->MDocSupEngine();
  std::weak_ptr<CFinishGoodIn> weak = handler_;
  handler_.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(engine.expired());
}

TEST(FinishGoodInBareTest, NeedsASharedReference) {
  CFinishGoodIn local;
  EXPECT_QTS_ERROR(local.Init(nullptr), kErrObjectRequired);
  EXPECT_QTS_ERROR(local.LotByDoc(), kErrObjectRequired);
}

}  // namespace
}  // namespace qts::handlers
