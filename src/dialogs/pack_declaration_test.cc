#include "dialogs/pack_declaration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/testing/qts_matchers.h"
#include "dialogs/testing/pack_book.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/testing/sample_book.h"
#include "host/schema/schema.h"
#include "reports/testing/report_harness.h"
#include "sql/translator.h"

namespace qts::dialogs {
namespace {

std::string Text(const Variant& v) { return v.IsNull() || v.IsEmpty() ? "-" : CStr(v); }

// A result row as "good list type out/inc amount: column=tonnes ..." with its non-zero columns.
std::string Describe(const host::NamedValueList& f) {
  std::string row = Text(f.Item("GoodCode").Value()) + " " + Text(f.Item("List").Value()) + " " +
                    Text(f.Item("DocTypeCode").Value()) + " " +
                    Text(f.Item("OutVATDirection").Value()) + "/" +
                    Text(f.Item("IncVATDirection").Value()) + " " +
                    CCur(f.Item("Amount").Value()).ToString() + ":";
  for (const DeclarationColumn& c : DeclarationColumns()) {
    const Currency tonnes = CCur(f.Item(c.name).Value());
    if (tonnes != Currency()) row += std::string(" ") + c.name + "=" + tonnes.ToString();
  }
  return row;
}

class PackDeclarationTest : public host::testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    testing::SeedDeclarationBook(book_->Connection());
  }
  PackDeclaration Quarter(bool reusable) {
    return PackDeclaration(book_, Date::FromYmd(2026, 4, 1), Date::FromYmd(2026, 6, 30), reusable);
  }
  std::vector<std::string> Declared(bool reusable) {
    host::QueryPtr q = Quarter(reusable).BuildDeclarationQuery();
    std::vector<std::string> rows;
    for (q->MoveFirst(); !q->Eof(); q->MoveNext()) rows.push_back(Describe(q->Fields()));
    std::sort(rows.begin(), rows.end());
    return rows;
  }
};

// Each expected row, worked by hand: tonnes = quantity x weight per unit / the unit's divisor,
// material weight for the sub-category 80 columns f502..f505, gross less net otherwise.
TEST_F(PackDeclarationTest, EveryNonReusableColumnIsReachedWithTheTonnesWorkedByHand) {
  std::vector<std::string> expected = {
      // PD sold at home: 20 linked to a purchase under 30: 20 x 2 / 1000 material (f502) and
      // 20 x 0.5 / 1000 packaging (f506).
      "PD 1 PRSF 30/30 20: f502=0.04 f506=0.01",
      // PD linked to the purchase without a direction (5) and not linked (5): no income
      // direction, so not in f502; the sale's own direction 30 puts both in f506.
      "PD 1 PRSF 30/- 10: f506=0.005",
      // PF bought under 10, sold at home: 60 x 4 / 1000 and 60 x 1 / 1000.
      "PF 1 PRSF 30/10 60: f503=0.24 f508=0.06",
      // PF bought under 10, exported under 20: 30 x 4 / 1000 and 30 x 1 / 1000.
      "PF 1 PRSF 20/10 30: f504=0.12 f510=0.03",
      // PF bought under 10 (100) less what was sold (60 + 30): not sold.
      "PF 2 PISF -/- 100: f505=0.4 f512=0.1",
      "PF 2 PRSF -/- -90: f505=-0.36 f512=-0.09",
      // PT bought under 10 (50): 50 x 500 g / 1,000,000.
      "PT 2 PISF -/- 50: f513=0.025",
      // PT in a product exported under 20: 10 x 500 / 1,000,000.
      "PT 1 TPPR 20/10 10: f511=0.005",
      // PT packing the PF row bought under 10 and sold under 30: 20 x 500 / 1,000,000.
      "PT 3 TPPR -/- 20: f509=0.01",
      // PDT, domestic transport packaging in a product sold under 30: 10 x 2 / 1000.
      "PDT 1 TPPR 30/- 10: f507=0.02",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Declared(false), expected);
}

TEST_F(PackDeclarationTest, EveryReusableColumnIsReachedWithTheTonnesWorkedByHand) {
  std::vector<std::string> expected = {
      // RD bought under 30, sold at home: 4 x 2 / 1000.
      "RD 1 PRSF 30/30 4: f602=0.008",
      // RF bought under 10, sold at home (5 x 0.4 / 1000) and exported (10 x 0.4 / 1000).
      "RF 1 PRSF 30/10 5: f604=0.002",
      "RF 1 PRSF 20/10 10: f606=0.004",
      // RD3 in a product sold under 30: 6 x 0.02 t.
      "RD3 1 TPPR 30/- 6: f603=0.12",
      // RF3 transport packaging in products: 8 + 3 units x 2 / 1000, one row.
      "RF3 3 TPPR -/- 11: f605=0.022",
      // RF3 in a product exported under 10: 3 x 2 / 1000.
      "RF3 1 TPPR 10/- 3: f607=0.006",
      // Returned by customer C1: RF 7 x 0.4 / 1000, RF3 2 x 2 / 1000, RD 1 x 2 / 1000.
      "RF 4 PISF -/- 7: f608=0.0028",
      "RF3 4 PISF -/- 2: f609=0.004",
      "RD 4 PISF -/- 1: f608=0.002",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Declared(true), expected);
}

// A row's VAT direction that is missing is neither in the list nor out of it: the sale without
// a direction (203) reaches no column at all, though a sale under 30 of the same good reaches
// f506. Giving it a direction other than 10 and 20 makes it count.
TEST_F(PackDeclarationTest, AMissingVatDirectionIsNeitherInNorOutOfTheList) {
  auto pd_rows = [&] {
    std::vector<std::string> pd;
    for (const std::string& row : Declared(false)) {
      if (row.rfind("PD ", 0) == 0) pd.push_back(row);
    }
    return pd;
  };
  EXPECT_EQ(pd_rows(), (std::vector<std::string>{"PD 1 PRSF 30/- 10: f506=0.005",
                                                 "PD 1 PRSF 30/30 20: f502=0.04 f506=0.01"}));
  host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$PRSFTHDocument"("DocID","VATDirection") VALUES (203,'40'))");
  // 2 x 0.5 / 1000 more in f506; f502 still asks for an income direction.
  EXPECT_EQ(pd_rows(), (std::vector<std::string>{"PD 1 PRSF 30/- 10: f506=0.005",
                                                 "PD 1 PRSF 30/30 20: f502=0.04 f506=0.01",
                                                 "PD 1 PRSF 40/- 2: f506=0.001"}));
}

// The fill's amounts: the last non-zero of each group of columns, the returns only when the
// declaration is of reusable packaging.
TEST_F(PackDeclarationTest, TheRowAmountsTakeTheLastNonZeroColumnOfTheirGroup) {
  struct Expect {
    std::string row;
    std::vector<std::string> amounts;  // sale_manufact ... returned
  };
  const std::vector<Expect> expected = {
      {"PD 1 PRSF 30/30 20: f502=0.04 f506=0.01", {"0.04", "0", "0", "0", "0.01", "0"}},
      {"PF 1 PRSF 30/10 60: f503=0.24 f508=0.06", {"0", "0.06", "0", "0", "0", "0"}},
      {"PF 1 PRSF 20/10 30: f504=0.12 f510=0.03", {"0", "0", "0.03", "0", "0", "0"}},
      {"PF 2 PISF -/- 100: f505=0.4 f512=0.1", {"0", "0", "0", "0.1", "0", "0"}},
      {"PT 3 TPPR -/- 20: f509=0.01", {"0", "0.01", "0", "0", "0", "0"}},
      {"RF3 1 TPPR 10/- 3: f607=0.006", {"0", "0", "0.006", "0", "0", "0"}},
      {"RD3 1 TPPR 30/- 6: f603=0.12", {"0", "0", "0", "0", "0.12", "0"}},
      {"RF 4 PISF -/- 7: f608=0.0028", {"0", "0", "0", "0", "0", "0.0028"}},
  };
  size_t seen = 0;
  for (bool reusable : {false, true}) {
    host::QueryPtr q = Quarter(reusable).BuildDeclarationQuery();
    for (q->MoveFirst(); !q->Eof(); q->MoveNext()) {
      const std::string row = Describe(q->Fields());
      for (const Expect& e : expected) {
        if (e.row != row) continue;
        ++seen;
        const PackAmounts a = AmountsOf(q->Fields(), reusable);
        EXPECT_EQ((std::vector<std::string>{a.sale_manufact.ToString(), a.sale_import.ToString(),
                                            a.export_amount.ToString(), a.not_sale.ToString(),
                                            a.used_in_sale.ToString(), a.returned.ToString()}),
                  e.amounts)
            << row;
        // Read as a declaration of non-reusable packaging, the returns are left alone.
        EXPECT_EQ(AmountsOf(q->Fields(), false).returned, Currency()) << row;
      }
    }
  }
  EXPECT_EQ(seen, expected.size());
}

TEST(PackDeclarationHelpers, LastNonZeroScansFromTheEnd) {
  const Currency one = Currency::FromLong(1), two = Currency::FromLong(2);
  EXPECT_EQ(LastNonZero(std::vector<Currency>{one, two, Currency()}), two);
  EXPECT_EQ(LastNonZero(std::vector<Currency>{one, Currency(), Currency()}), one);
  EXPECT_EQ(LastNonZero(std::vector<Currency>{-one, Currency()}), -one);
  EXPECT_EQ(LastNonZero(std::vector<Currency>{Currency(), Currency()}), Currency());
  EXPECT_EQ(LastNonZero(std::vector<Currency>{}), Currency());
  EXPECT_EQ(CaseWhen("a = 1", "b", "0"), "CASE WHEN a = 1 THEN b ELSE 0 END");
}

// The statement the fill runs translates for both backends; PostgreSQL gets NOT and IN as
// written, with no default for a missing direction, exactly as SQLite does.
TEST_F(PackDeclarationTest, TheStatementTranslatesForBothBackendsKeepingNotIn) {
  const std::string tsql = Quarter(false).DeclarationQuery()->StatementText();
  const host::schema::BookCatalogue catalogue("T");
  for (sql::Dialect dialect : {sql::Dialect::kSqlite, sql::Dialect::kPostgres}) {
    const std::string out = sql::Translate(tsql, catalogue, dialect);
    // NOT binds looser than IN on both backends, as on the server: NOT (x IN (...)).
    EXPECT_NE(out.find("AND NOT \"D\".\"IncVATDirection\" IN ('10', '20') THEN"),
              std::string::npos);
    EXPECT_NE(out.find("AND NOT \"D\".\"OutVATDirection\" IN ('10', '20') AND"), std::string::npos);
    EXPECT_EQ(out.find("coalesce(\"D\".\"IncVATDirection\", '') IN"), std::string::npos);
    EXPECT_EQ(out.find("coalesce(\"D\".\"OutVATDirection\", '') IN"), std::string::npos);
  }
}

// The generated sample company's year reaches every declaration column, each summing to more
// than nothing: its trade holds packaging of both origins, used once and reusable, bought and
// sold under every VAT direction the columns tell apart (and under none), packed into sales,
// and sent back by customers. Each quarter of the year is declared too, as the demo does.
TEST(PackDeclarationSampleTest, TheSampleYearReachesEveryColumn) {
  std::shared_ptr<host::AppContext> book = reports::testing::GeneratedBook();
  std::map<std::string, Currency> year;
  std::map<std::string, Currency> quarters;
  for (bool reusable : {false, true}) {
    PackDeclaration whole(book, Date::FromYmd(2026, 1, 1), Date::FromYmd(2026, 12, 31), reusable);
    host::QueryPtr q = whole.BuildDeclarationQuery();
    for (q->MoveFirst(); !q->Eof(); q->MoveNext()) {
      for (const DeclarationColumn& c : DeclarationColumns()) {
        year[c.name] += CCur(q->Fields().Item(c.name).Value());
      }
    }
    constexpr int kQuarterEnd[][2] = {{3, 31}, {6, 30}, {9, 30}, {12, 31}};
    for (int quarter = 0; quarter < 4; ++quarter) {
      const Date begin = Date::FromYmd(2026, quarter * 3 + 1, 1);
      const Date end = Date::FromYmd(2026, kQuarterEnd[quarter][0], kQuarterEnd[quarter][1]);
      host::QueryPtr part = PackDeclaration(book, begin, end, reusable).BuildDeclarationQuery();
      for (part->MoveFirst(); !part->Eof(); part->MoveNext()) {
        for (const DeclarationColumn& c : DeclarationColumns()) {
          quarters[c.name] += CCur(part->Fields().Item(c.name).Value());
        }
      }
    }
  }
  for (const DeclarationColumn& c : DeclarationColumns()) {
    EXPECT_GT(year[c.name], Currency()) << c.name;
    // Sums of rounded rows: the four quarters add up to the year to the last place.
    EXPECT_EQ(quarters[c.name], year[c.name]) << c.name;
  }
}

TEST_F(PackDeclarationTest, AnEmptyPeriodDeclaresNothing) {
  PackDeclaration january(book_, Date::FromYmd(2025, 1, 1), Date::FromYmd(2025, 12, 31), false);
  host::QueryPtr q = january.BuildDeclarationQuery();
  EXPECT_EQ(q->RecordCount(), 0);
  EXPECT_TRUE(q->Eof());
}

}  // namespace
}  // namespace qts::dialogs
