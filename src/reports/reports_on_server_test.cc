// Every report gives the same rows on both backends: the generated sample company in an SQLite
// book, copied with every row to the test server, and each report run on both with the same
// form. Each must find rows, or the comparison would prove nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/testing/test_server.h"
#include "host/data/book_copy.h"
#include "reports/rep_not_spent_manuf_goods.h"
#include "reports/rep_not_spent_ord_goods.h"
#include "reports/rep_rest_off_bdk.h"
#include "reports/rep_store_rest_by_term.h"
#include "reports/rep_write_off_svyd.h"
#include "reports/testing/report_harness.h"

namespace qts::reports {
namespace {

using testing::ReportRunner;
using Filling = std::vector<std::pair<std::string, Variant>>;

struct ReportCase {
  std::string name;
  std::function<std::unique_ptr<host::IReportExec>()> make;
  Filling filling;
};

template <class Report>
std::function<std::unique_ptr<host::IReportExec>()> Make() {
  return [] { return std::make_unique<Report>(); };
}

class ReportsOnBothBackends : public ::testing::TestWithParam<ReportCase> {
 protected:
  // The generated company with the facts it leaves out that the not-spent and write-off
  // reports look for (as the reports' benchmark adds them): open orders, stock order rows with
  // their posted lots, category-3 goods, receipts in dollars.
  static std::shared_ptr<host::AppContext> FileBook() {
    static std::shared_ptr<host::AppContext> book = [] {
      std::shared_ptr<host::AppContext> b = testing::NewGeneratedBook(7);
      testing::RawReader raw(*b);
      db::Connection& c = b->Connection();
      const std::string spec = raw.Table("THGoodSpec");
      const std::string doc = raw.Table("THDocument");
      c.Execute("UPDATE " + raw.Table("THGoodContent") +
                " SET AmountAccount = ROUND(AmountAccount / 3, 0) WHERE CorSpecID % 2 = 0 AND "
                "SpecID IN (SELECT s.IDC FROM " +
                spec + " s JOIN " + doc + " d ON d.IDC = s.DocID WHERE d.DocTypeCode = 'PRSF')");
      const std::string made = " FROM " + spec + " s JOIN " + doc +
                               " d ON d.IDC = s.DocID WHERE d.DocTypeCode = 'MNFC' AND "
                               "s.LotPropertyID > 0";
      c.Execute("INSERT INTO " + raw.Table("STOrderSpec") +
                "(srcDocSpecID, GoodCode) SELECT s.IDC, s.GoodCode" + made);
      c.Execute("INSERT INTO " + raw.Table("STPostLot") +
                "(SpecID, AnalytID, GoodCode) SELECT o.IDC, s.LotPropertyID, s.GoodCode FROM " +
                spec + " s JOIN " + doc + " d ON d.IDC = s.DocID JOIN " + raw.Table("STOrderSpec") +
                " o ON o.srcDocSpecID = s.IDC WHERE d.DocTypeCode = 'MNFC' AND "
                "s.LotPropertyID > 0");
      c.Execute("UPDATE " + raw.Table("REFGood") +
                " SET Category = 3 WHERE IsGroup = 0 AND Code IN (SELECT GoodCode FROM " + spec +
                " WHERE IDC % 97 = 0)");
      c.Execute("UPDATE " + doc +
                " SET CurrencyCode = 'USD' WHERE DocTypeCode = 'PISF' AND IDC % 3 = 0");
      return b;
    }();
    return book;
  }

  static void SetUpTestSuite() {
    if (db::testing::TestServerAddress().empty()) return;
    schema_ = new db::testing::ServerSchema();
    on_server_ =
        new std::shared_ptr<host::AppContext>(host::CopyBook(*FileBook(), schema_->Address()));
  }
  static void TearDownTestSuite() {
    delete on_server_;
    on_server_ = nullptr;
    delete schema_;
    schema_ = nullptr;
  }

  static testing::Table RowsOf(const ReportCase& c, const std::shared_ptr<host::AppContext>& book) {
    ReportRunner runner;
    std::unique_ptr<host::IReportExec> report = c.make();
    EXPECT_TRUE(runner.Run(*report, book, c.filling)) << runner.FirstError();
    testing::Table rows = runner.Rows();
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  static db::testing::ServerSchema* schema_;
  static std::shared_ptr<host::AppContext>* on_server_;
};

db::testing::ServerSchema* ReportsOnBothBackends::schema_ = nullptr;
std::shared_ptr<host::AppContext>* ReportsOnBothBackends::on_server_ = nullptr;

TEST_P(ReportsOnBothBackends, GiveTheSameRows) {
  QTS_NEED_TEST_SERVER();
  const ReportCase& c = GetParam();
  const testing::Table on_file = RowsOf(c, FileBook());
  const testing::Table on_server = RowsOf(c, *on_server_);
  EXPECT_FALSE(on_file.empty()) << "the report found no rows in the sample company";
  EXPECT_EQ(on_server.size(), on_file.size());
  EXPECT_TRUE(on_server == on_file) << testing::TableDiff(on_server, on_file);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ReportsOnBothBackends,
    ::testing::Values(
        ReportCase{
            "StoreRestByTerm",
            Make<CRepStoreRestByTerm>(),
            {{"edDayAmount", Variant("60")}, {"selStore", Variant("")}, {"selGood", Variant("")}}},
        ReportCase{"NotSpentOrdGoods",
                   Make<CRepNotSpentOrdGoods>(),
                   {{"edBegDate", Variant("2026-01-01")},
                    {"edEndDate", Variant("2026-12-31")},
                    {"selStore", Variant("")},
                    {"selGood", Variant("")}}},
        ReportCase{"NotSpentManufGoods",
                   Make<CRepNotSpentManufGoods>(),
                   {{"edBegDate", Variant("2026-01-01")},
                    {"edEndDate", Variant("2026-12-31")},
                    {"selStore", Variant("")},
                    {"selGood", Variant("")}}},
        ReportCase{"GoodRestBDK", Make<CRepGoodRestBDK>(), {{"edRepDate", Variant("2026-12-31")}}},
        ReportCase{"WriteOffBDK",
                   Make<CRepWriteOffBDK>(),
                   {{"edBegDate", Variant("2026-01-01")}, {"edEndDate", Variant("2026-12-31")}}},
        ReportCase{"WriteOffSvyd",
                   Make<CRepWriteOffSvyd>(),
                   {{"edBegDate", Variant("2026-01-01")},
                    {"edEndDate", Variant("2026-12-31")},
                    {"edNumb", Variant("A-1")}}}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

}  // namespace
}  // namespace qts::reports
