#include "host/services/store_rest_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/testing/sample_book.h"
#include "host/sample/sample_book.h"
#include "host/schema/schema.h"
#include "host/schema/testing/seed.h"

namespace qts::host {
namespace {

using testing::RowList;

class StoreRestTest : public testing::SampleBook {
 protected:
  RowList Rests(Date date, bool only_nonzero) {
    QueryPtr q = StoreRestSource().RestOnDate(book_, date, only_nonzero);
    q->Fields().KeepOnly({"StoreCode", "GoodCode", "Rest"});
    q->OrderBy("StoreCode, GoodCode");
    return OpenRows(*q);
  }
};

// Receipts 2026-01-10 (S1: G1 10, G2 5) and 2026-01-20 (S2: G1 4), a write-off of 3 G1 from S1
// on 2026-01-25, an unposted receipt on 2026-01-28.
TEST_F(StoreRestTest, RestsArePostedMovementsUpToTheDay) {
  struct Case {
    Date date;
    RowList rows;
  };
  const std::vector<Case> cases = {
      {Date::FromYmd(2026, 1, 9), {}},
      {Date::FromYmd(2026, 1, 10), {{"S1", "G1", "10"}, {"S1", "G2", "5"}}},
      {Date::FromYmd(2026, 1, 24), {{"S1", "G1", "10"}, {"S1", "G2", "5"}, {"S2", "G1", "4"}}},
      // The time of day does not move the boundary.
      {Date::FromYmdHms(2026, 1, 25, 23, 59, 0),
       {{"S1", "G1", "7"}, {"S1", "G2", "5"}, {"S2", "G1", "4"}}},
      {Date::FromYmd(2026, 12, 31), {{"S1", "G1", "7"}, {"S1", "G2", "5"}, {"S2", "G1", "4"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.Serial());
    EXPECT_EQ(Rests(c.date, false), c.rows);
  }
}

TEST_F(StoreRestTest, ZeroRestsStayUnlessOnlyNonZeroRestsAreAskedFor) {
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
         "IsPosted") VALUES (5,'PRSF','S5','2026-01-26','S1',1))");
  // 1.7 + 3.3 leaves a binary residue in a REAL sum: still a zero rest.
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount") VALUES (51,5,1,'G2','VNT',1.7,1.7),(52,5,2,'G2','VNT',3.3,3.3))");
  const Date day = Date::FromYmd(2026, 1, 31);
  EXPECT_EQ(Rests(day, false), (RowList{{"S1", "G1", "7"}, {"S1", "G2", "0"}, {"S2", "G1", "4"}}));
  EXPECT_EQ(Rests(day, true), (RowList{{"S1", "G1", "7"}, {"S2", "G1", "4"}}));
}

TEST_F(StoreRestTest, TheQueryCarriesTheStoreIdAndRefusesAMissingBook) {
  QueryPtr q = StoreRestSource().RestOnDate(book_, Date::FromYmd(2026, 1, 31), true);
  q->AddWhere("oTable.StoreCode = 'S2'");
  q->Open();
  ASSERT_EQ(q->RecordCount(), 1);
  const int64_t s2 = [&] {
    auto s = book_->Connection().Prepare("SELECT \"IDC\" FROM \"T$STStore\" WHERE \"Code\"='S2'");
    EXPECT_TRUE(s->Step());
    return s->GetInt64(0);
  }();
  EXPECT_EQ(q->Fields().Item("StoreId").Value().AsLong(), s2);
  EXPECT_THROW((void)StoreRestSource().RestOnDate(nullptr, Date(), true), Error);
  EXPECT_THROW((void)StoreRestSource().RestOnDate(std::make_shared<AppContext>(), Date(), true),
               Error);
}

// The generated sample book: the rests on a mid-year day against the book's rows summed here,
// and against the free quantities of the receipts (equal under the sample rule).
TEST(StoreRestSampleBookTest, RestsEqualTheMovementsAndTheFreeReceiptQuantities) {
  auto book = AppContext::CreateBook(":memory:", "QTS");
  sample::GenerateSampleBook(*book, sample::SampleSize::kSmall, 42);
  auto table = [](const char* logical) {
    return "\"" + schema::PhysicalName("QTS", logical) + "\"";
  };
  using Key = std::pair<std::string, std::string>;
  std::map<Key, int64_t> expected;  // ten-thousandths
  auto rows = book->Connection().Prepare(
      "SELECT d.\"StoreCode\", s.\"GoodCode\", t.\"IsIncome\", s.\"AmountAccount\" FROM " +
      table("THGoodSpec") + " s JOIN " + table("THDocument") + " d ON d.\"IDC\" = s.\"DocID\"" +
      " JOIN " + table("THDocType") + " t ON t.\"Code\" = d.\"DocTypeCode\"" +
      " WHERE d.\"IsPosted\" = 1 AND t.\"IsStock\" = 1 AND d.\"DocumentDate\" <= '2026-06-30'");
  while (rows->Step()) {
    const int64_t q = rows->GetCurrency(3).Scaled();
    expected[{rows->GetText(0), rows->GetText(1)}] += rows->GetInt64(2) == 1 ? q : -q;
  }
  std::erase_if(expected, [](const auto& e) { return e.second == 0; });
  ASSERT_GT(expected.size(), 100u);

  QueryPtr q = StoreRestSource().RestOnDate(book, Date::FromYmd(2026, 6, 30), true);
  std::map<Key, int64_t> got;
  for (q->Open(); !q->Eof(); q->MoveNext()) {
    const NamedValueList& f = q->Fields();
    const Key key{f.Item("StoreCode").Value().AsString(), f.Item("GoodCode").Value().AsString()};
    EXPECT_TRUE(got.emplace(key, f.Item("Rest").Value().AsCurrency().Scaled()).second);
  }
  EXPECT_EQ(got, expected);

  QueryPtr free = book->CreateQuery("THGoodSpecFreeRest");
  free->Parameters().Item("DateRest").SetValue(Variant(Date::FromYmd(2026, 6, 30)));
  std::map<Key, int64_t> by_receipts;
  for (free->Open(); !free->Eof(); free->MoveNext()) {
    const NamedValueList& f = free->Fields();
    const int64_t amount = f.Item("FreeAmount").Value().AsCurrency().Scaled();
    if (amount != 0) {
      by_receipts[{f.Item("StoreCode").Value().AsString(),
                   f.Item("GoodCode").Value().AsString()}] += amount;
    }
  }
  std::erase_if(by_receipts, [](const auto& e) { return e.second == 0; });
  EXPECT_EQ(by_receipts, expected);
}

}  // namespace
}  // namespace qts::host
