#include "host/services/currency_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/currency.h"
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

// Rates: USD 1.10 from 2026-01-01 and 1.25 from 2026-01-20; PLN 4.00 from 2026-01-15.
// Documents (Summa): 1 USD 2026-01-10 (110), 2 USD 2026-01-20 (100, the day a rate starts),
// 3 no currency (30), 4 PLN 2026-01-28 (10), 6 GBP 2026-01-28 (50, no rate), 7 EUR (12.34),
// 8 PLN 2026-01-14 (40, before PLN's first rate).
class CurrencyTest : public testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    db::Connection& c = book_->Connection();
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$REFCurrencyRate"("CurrencyCode","RateDate","Rate") VALUES
                 ('USD','2026-01-01',1.10),('USD','2026-01-20',1.25),('PLN','2026-01-15',4))");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate",
                 "StoreCode","IsPosted","CurrencyCode") VALUES
                 (6,'PISF','P6','2026-01-28','S1',1,'GBP'),(7,'PISF','P7','2026-01-28','S1',1,'EUR'),
                 (8,'PISF','P8','2026-01-14','S1',1,'PLN'))");
    c.Execute(R"(UPDATE "T$THDocument" SET "CurrencyCode" = CASE "IDC" WHEN 1 THEN 'USD'
                 WHEN 2 THEN 'USD' WHEN 4 THEN 'PLN' ELSE "CurrencyCode" END)");
    // The sums bound as Currency, which each backend keeps its own way.
    for (const auto& [idc, sum] : std::vector<std::pair<int64_t, const char*>>{
             {1, "110"}, {2, "100"}, {3, "30"}, {4, "10"}, {6, "50"}, {7, "12.34"}, {8, "40"}}) {
      c.Execute(R"(UPDATE "T$THDocument" SET "Summa" = ?1 WHERE "IDC" = ?2)",
                {*Currency::Parse(sum), idc});
    }
    tools_.Init(book_);
  }

  QueryPtr Documents(bool outer, bool from_account) {
    QueryPtr q = Q("THDocument");
    q->Fields().KeepOnly({"IDC"});
    tools_.AddRateJoin(q, "oTable.CurrencyCode", "oTable.DocumentDate", "", "Rate", outer,
                       from_account);
    q->Fields().AddColumn("Converted", Kind::kMoney,
                          tools_.ConvertExpr("oTable", "oTable.Summa", "CurrencyCode"));
    q->OrderBy("IDC");
    return q;
  }

  CurrencyTools tools_;
};

TEST_F(CurrencyTest, TheLatestRateUpToTheDayConvertsIntoTheAccountingCurrency) {
  EXPECT_EQ(OpenRows(*Documents(true, false)), (RowList{{"1", "1.1", "100"},
                                                        {"2", "1.25", "80"},
                                                        {"3", "", "30"},
                                                        {"4", "4", "2.5"},
                                                        {"6", "", ""},
                                                        {"7", "", "12.34"},
                                                        {"8", "", ""}}));
}

TEST_F(CurrencyTest, AnInnerJoinDropsRowsWithoutARateAndTheOtherDirectionMultiplies) {
  EXPECT_EQ(OpenRows(*Documents(false, true)),
            (RowList{{"1", "1.1", "121"}, {"2", "1.25", "125"}, {"4", "4", "40"}}));
}

// The write-off summary's shape: the rate joined on the documents query, which itself joins
// the rows, and a converted difference of two row amounts.
TEST_F(CurrencyTest, JoinsIntoAQueryWithOtherJoinsAndAnExpressionAmount) {
  QueryPtr doc = Q("THDocument");
  QueryPtr spec = Q("THGoodSpec");
  spec->Fields().KeepOnly({});
  doc->Fields().KeepOnly({"IDC"});
  doc->InnerJoin(spec, "Spec", "oTable.IDC = Spec.DocID");
  tools_.AddRateJoin(doc, "oTable.CurrencyCode", "oTable.DocumentDate", "R1", "", true, false);
  doc->Fields().AddColumn("SpecID", Kind::kRowId, "Spec.IDC");
  doc->Fields().AddColumn(
      "Net", Kind::kMoney,
      tools_.ConvertExpr("oTable", "(Spec.Summa - Spec.SummVAT)", "CurrencyCode"));
  doc->AddWhere("oTable.IsPosted = 1");
  doc->OrderBy("SpecID");
  // Rows 11 and 12 of the USD document 1 (rate 1.10): (100 - 21) / 1.1, (50 - 10.5) / 1.1;
  // row 21 of document 2 (1.25): 48 / 1.25; row 31 has no currency.
  EXPECT_EQ(
      OpenRows(*doc),
      (RowList{
          {"1", "11", "71.82"}, {"1", "12", "35.91"}, {"2", "21", "38.4"}, {"3", "31", "30"}}));
  EXPECT_NE(doc->SqlText().find("R1"), std::string::npos);
}

TEST_F(CurrencyTest, MisuseIsRefused) {
  CurrencyTools fresh;
  EXPECT_THROW(fresh.AddRateJoin(Q("THDocument"), "a", "b", "", "", true, false), Error);
  EXPECT_THROW((void)tools_.ConvertExpr("oTable", "oTable.Summa", "CurrencyCode"), Error);
  QueryPtr q = Q("THDocument");
  for (const auto& [cur, date, alias] :
       std::vector<std::tuple<const char*, const char*, const char*>>{
           {"", "oTable.DocumentDate", ""},
           {"oTable.CurrencyCode", "", ""},
           {"oTable.CurrencyCode", "oTable.DocumentDate", "bad alias"},
           {"oTable.CurrencyCode", "oTable.DocumentDate", "x;--"}}) {
    EXPECT_THROW(tools_.AddRateJoin(q, cur, date, alias, "", true, false), Error) << alias;
  }
  EXPECT_THROW(tools_.AddRateJoin(nullptr, "a", "b", "", "", true, false), Error);
}

// The generated sample book: foreign-currency receipts convert with the month's rate, summed
// here from the book's own rows.
TEST(CurrencySampleBookTest, ForeignReceiptsConvertWithTheRateOfTheirDay) {
  auto book = AppContext::CreateBook(":memory:", "QTS");
  sample::GenerateSampleBook(*book, sample::SampleSize::kSmall, 42);
  auto table = [](const char* logical) {
    return "\"" + schema::PhysicalName("QTS", logical) + "\"";
  };
  // Rates per currency by date, and the documents, read directly.
  std::map<std::string, std::map<std::string, double>> rates;
  auto r = book->Connection().Prepare("SELECT \"CurrencyCode\", \"RateDate\", \"Rate\" FROM " +
                                      table("REFCurrencyRate"));
  while (r->Step()) rates[r->GetText(0)][r->GetText(1)] = r->GetCurrency(2).ToDouble();
  std::map<int64_t, double> expected;
  int foreign = 0;
  auto d = book->Connection().Prepare(
      "SELECT \"IDC\", \"CurrencyCode\", \"DocumentDate\","
      " \"Summa\" FROM " +
      table("THDocument") + " WHERE \"DocTypeCode\" = 'PISF'");
  while (d->Step()) {
    const std::string currency = d->GetText(1);
    double value = d->GetCurrency(3).ToDouble();
    if (currency != "EUR") {
      ++foreign;
      const auto& by_date = rates.at(currency);
      auto it = by_date.upper_bound(d->GetText(2));
      ASSERT_NE(it, by_date.begin()) << "no rate for " << d->GetText(2);
      value = std::round(value / std::prev(it)->second * 100) / 100;
    }
    expected[d->GetInt64(0)] = value;
  }
  EXPECT_GT(foreign, 0);

  CurrencyTools tools;
  tools.Init(book);
  QueryPtr q = book->CreateQuery("THDocument");
  q->Fields().KeepOnly({"IDC"});
  q->AddWhere("oTable.DocTypeCode = 'PISF'");
  tools.AddRateJoin(q, "oTable.CurrencyCode", "oTable.DocumentDate", "", "", true, false);
  q->Fields().AddColumn("Converted", Kind::kMoney,
                        tools.ConvertExpr("oTable", "oTable.Summa", "CurrencyCode"));
  size_t seen = 0;
  for (q->Open(); !q->Eof(); q->MoveNext()) {
    const int64_t id = q->Fields().Item("IDC").Value().AsLong();
    const Variant& v = q->Fields().Item("Converted").Value();
    ASSERT_FALSE(v.IsNull()) << id;
    EXPECT_EQ(v.AsCurrency().Scaled(), std::llround(expected.at(id) * 10000)) << id;
    ++seen;
  }
  EXPECT_EQ(seen, expected.size());
}

}  // namespace
}  // namespace qts::host
