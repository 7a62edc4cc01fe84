// Pricing of a document's rows by CMDocSupport on a real in-memory book: write-off prices from
// the cost sums, prices from stock orders, the quantity change of one row, column totals.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "engine/doc_engine.h"
#include "engine/testing/engine_book.h"
#include "frame/define_module.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/schema/testing/seed.h"
#include "host/services/message_table.h"

namespace qts::engine {
namespace {

using testing::EngineBook;

using PriceTest = EngineBook;

// Row `idc` of the write-off: amount, accounting amount, price, sum, cost sum.
std::string Row(int32_t idc) {
  return "SELECT \"Amount\", \"AmountAccount\", \"Price\", \"Summa\", \"CostSumm\" FROM "
         "\"T$THGoodSpec\" WHERE \"IDC\" = " +
         std::to_string(idc);
}

// ---- Write-off prices ----

// Hand-computed: 81: 10 / 3 = 3.33333.. -> 3.3333; 83: amount 0 -> price 0; 84: 0.0005 / 2 =
// 0.00025 -> 0.0002: the quotient is a Currency (to even at the fifth place) before the host
// rounds it to four places. 82 (category 1) and 85 (no additional row) are not priced. A zero
// sum is recomputed by the rows object from the new price (81: 9.9999 -> 10).
TEST_F(PriceTest, WriteOffPricesCategoryZeroRowsFromTheirCostSums) {
  auto engine = Engine("MMO", testing::kWriteOff);
  std::vector<int32_t> priced;
  Connection c = engine->SetPrice.Connect(
      [&](host::NamedValueList& r, bool&) { priced.push_back(CLng(r.Item("IDC").Value())); });
  engine->SetPriceWriteOff();
  EXPECT_EQ(priced, (std::vector<int32_t>{81, 83, 84}));
  EXPECT_EQ(engine->StepKind(), kStepWriteOffPrice);
  EXPECT_EQ(engine->CountStep(), 3);
  frame::EnsureStarted();
  EXPECT_EQ(engine->Caption(), frame::GetGlobals().MessageTable->GetText(kMsgSetPrices));
  const std::map<int32_t, host::testing::RowList> expected = {
      {81, {{"3.0", "3.0", "3.3333", "10.0", "10.0"}}},
      {82, {{"2.0", "2.0", "0.0", "0.0", "7.0"}}},
      {83, {{"0.0", "0.0", "0.0", "0.0", "5.0"}}},
      {84, {{"2.0", "2.0", "0.0002", "0.0", "0.0005"}}},
      {85, {{"1.0", "1000.0", "2.5", "2.5", "9.0"}}},
  };
  for (const auto& [idc, rows] : expected) EXPECT_EQ(Sql(Row(idc)), rows) << idc;
}

TEST_F(PriceTest, SetPriceListenerChangesTheRowOrCancelsItsWrite) {
  auto engine = Engine("MMO", testing::kWriteOff);
  Connection c = engine->SetPrice.Connect([&](host::NamedValueList& r, bool& cancel) {
    // The listener sees the new price in the query row and keeps it in the additional field.
    r.Item("AddFld.WriteOffPrice").SetValue(r.Item("Price").Value());
    r.Item("Summa").SetValue(Variant(Currency::FromLong(-1)));
    cancel = CLng(r.Item("IDC").Value()) == 81;
  });
  const auto row81 = Sql(Row(81));
  engine->SetPriceWriteOff();
  EXPECT_EQ(Sql(Row(81)), row81);  // cancelled: unchanged, although its query row was priced
  EXPECT_EQ(Sql("SELECT \"PosNumb\", \"WriteOffPrice\" FROM \"T$MMOTHGoodSpec\" WHERE "
                "\"DocID\" = 80 ORDER BY 1"),
            (host::testing::RowList{{"1", ""}, {"2", ""}, {"3", "0.0"}, {"4", "0.0002"}}));
  EXPECT_EQ(Sql(Row(84)), (host::testing::RowList{{"2.0", "2.0", "0.0002", "-1.0", "0.0005"}}));
}

TEST_F(PriceTest, AFailingPriceStepLeavesTheBookAsItWas) {
  auto engine = Engine("MMO", testing::kWriteOff);
  const auto before = Snapshot();
  int calls = 0;
  Connection c = engine->SetPrice.Connect([&](host::NamedValueList&, bool&) {
    if (++calls == 3) throw Error(kErrTypeMismatch, "test", "third row");
  });
  EXPECT_QTS_ERROR(engine->SetPriceWriteOff(), kErrTypeMismatch);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(engine->SavedPointer(), -1);
}

TEST_F(PriceTest, NoStepProcessWithoutRowsToPrice) {
  const auto before = Snapshot();
  auto empty = Engine("MMO", testing::kEmptyWriteOff);
  empty->SetPriceWriteOff();
  empty->SetPriceByStOrder();
  EXPECT_EQ(empty->DoList(), nullptr);
  EXPECT_EQ(empty->StepKind(), kStepMaterials);
  // Rows of category 1 only.
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "CostSumm") VALUES (91,90,1,'G2','VNT',1,4))");
  qts::host::schema::testing::Seed(
      book_->Connection(), R"(INSERT INTO "T$MMOTHGoodSpec"("DocID","PosNumb") VALUES (90,1))");
  const auto with_row = Snapshot();
  empty->SetPriceWriteOff();
  EXPECT_EQ(empty->DoList(), nullptr);
  EXPECT_EQ(Snapshot(), with_row);
  EXPECT_NE(with_row, before);
}

// Each type the engine prices write-offs for keeps its own additional rows
// ("<type>THGoodSpec"): the pricing joins them and writes through them.
class WriteOffPriceTypeTest : public EngineBook,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(WriteOffPriceTypeTest, PricesTheRowsOfADocumentOfThatType) {
  const std::string type = GetParam();
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","IsPosted",
         "ParentID") VALUES (95,')" +
          type + R"(','11','2026-02-03',0,0))");
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","Price","Summa","CostSumm") VALUES (96,95,1,'G1','KG',4,4,0,0,10))");
  qts::host::schema::testing::Seed(
      book_->Connection(),
      "INSERT INTO \"T$" + type + "THGoodSpec\"(\"DocID\",\"PosNumb\") VALUES (95,1)");
  Engine(type, 95)->SetPriceWriteOff();
  EXPECT_EQ(Sql(Row(96)), (host::testing::RowList{{"4.0", "4.0", "2.5", "10.0", "10.0"}}));
}

INSTANTIATE_TEST_SUITE_P(Types, WriteOffPriceTypeTest, ::testing::Values("MMO", "MKO", "MFC"));

// ---- Prices from stock orders ----

// 81: 3 x 2.675 = 8.025 -> 8.03 (half away from zero; to even would give 8.02); 83: amount 0.
TEST_F(PriceTest, StockOrderPricesAndTwoPlaceRowSums) {
  auto engine = Engine("MMO", testing::kWriteOff);
  const auto row82 = Sql(Row(82));
  engine->SetPriceByStOrder();
  EXPECT_EQ(engine->StepKind(), kStepStockOrderPrice);
  EXPECT_EQ(engine->Caption(), frame::GetGlobals().MessageTable->GetText(kMsgSetPrices));
  EXPECT_EQ(Sql(Row(81)), (host::testing::RowList{{"3.0", "3.0", "2.675", "8.03", "10.0"}}));
  EXPECT_EQ(Sql(Row(83)), (host::testing::RowList{{"0.0", "0.0", "4.0", "0.0", "5.0"}}));
  EXPECT_EQ(Sql(Row(82)), row82);
}

// ---- Quantity of one row ----

TEST_F(PriceTest, UpdateAmountRecomputesTheAccountingAmountAndTheRowSum) {
  auto engine = Engine("MMO", testing::kWriteOff);
  // Row 85: G1 in tonnes (1000 kg) at 2.5. 0.0031 t = 3.1 kg; 2.5 x 0.0031 = 0.00775 -> 0.01.
  EXPECT_TRUE(engine->UpdateAmount(5, Currency::FromScaled(31)));
  EXPECT_EQ(Sql(Row(85)), (host::testing::RowList{{"0.0031", "3.1", "2.5", "0.01", "9.0"}}));
  // 0.0002 t at 2.5 = 0.0005 -> 0.00.
  EXPECT_TRUE(engine->UpdateAmount(5, Currency::FromScaled(2)));
  EXPECT_EQ(Sql(Row(85)), (host::testing::RowList{{"0.0002", "0.2", "2.5", "0.0", "9.0"}}));
}

TEST_F(PriceTest, UpdateAmountOfAMissingPositionWritesNothing) {
  auto engine = Engine("MMO", testing::kWriteOff);
  const auto before = Snapshot();
  EXPECT_FALSE(engine->UpdateAmount(9, Currency::FromLong(1)));
  // Position 1 of the order, not of the write-off.
  auto other = Engine("MMO", testing::kEmptyWriteOff);
  EXPECT_FALSE(other->UpdateAmount(1, Currency::FromLong(1)));
  EXPECT_EQ(Snapshot(), before);
}

// ---- Column totals ----

TEST_F(PriceTest, TotalSumAddsAColumnOverTheQueryRows) {
  auto q = Q("THGoodSpec");
  q->AddWhere(host::SqlTools::Instance()->Condition(q->Fields().Item("DocID"), host::kOpEqual,
                                                    Variant(testing::kWriteOff)));
  q->Open();
  q->MoveNext();
  const double expected =
      Money("SELECT SUM(\"CostSumm\") FROM \"T$THGoodSpec\" WHERE \"DocID\" = 80");
  EXPECT_EQ(CMDocSupport::TotalSum(*q, "CostSumm"), Currency::FromDouble(expected));
  EXPECT_EQ(CMDocSupport::TotalSum(*q, "CostSumm"), Currency::FromScaled(310005));
  EXPECT_TRUE(q->Eof());

  auto none = Q("THGoodSpec");
  none->AddWhere(host::SqlTools::Instance()->Condition(none->Fields().Item("DocID"), host::kOpEqual,
                                                       Variant(int32_t{999})));
  none->Open();
  EXPECT_EQ(CMDocSupport::TotalSum(*none, "CostSumm"), Currency());
}

// ---- Step errors ----

TEST_F(PriceTest, APriceStepAtTheEndOfItsRowsDoesNothing) {
  auto engine = Engine("MMO", testing::kWriteOff);
  engine->SetPriceByStOrder();
  const auto after = Snapshot();
  ASSERT_TRUE(engine->DoList()->Eof());
  engine->Step();
  EXPECT_EQ(Snapshot(), after);
}

}  // namespace
}  // namespace qts::engine
