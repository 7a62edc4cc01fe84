#include "reports/rep_store_rest_by_term.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/convert.h"
#include "core/date.h"
#include "core/decimal.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/rounding.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/recordset.h"
#include "host/data/testing/sample_book.h"
#include "host/report/printed_report.h"
#include "host/report/report_engine.h"
#include "host/sample/sample_book.h"
#include "host/testing/scoped_env.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/user_settings.h"
#include "reports/testing/printed_totals.h"

namespace qts::reports {
namespace {

using Table = std::vector<std::vector<std::string>>;

// --- An independent computation of the report, in plain C++ over the book's rows ---

struct Oracle {
  struct Doc {
    std::string type, date, store;
    bool posted;
  };
  struct Type {
    bool income, order_direct, stock;
    int category;
  };
  struct Spec {
    int64_t id, doc;
    std::string good;
    double amount, cost;
    int fix_category;
  };
  struct Link {
    int64_t outcome, income;
    double amount;
  };
  std::map<int64_t, Doc> docs;
  std::map<std::string, Type> types;
  std::vector<Spec> specs;
  std::vector<Link> links;
  std::map<int64_t, std::string> spec_dates;  // every row's document date
  std::map<std::string, std::string> good_names;
  std::map<std::string, std::string> good_parents;
  std::map<std::string, bool> good_is_group;
  std::map<std::string, std::string> account_units;

  explicit Oracle(host::AppContext& book) {
    db::Connection& c = book.Connection();
    const std::string p = "\"" + book.Code() + "$";
    auto each = [&](const std::string& sql, auto&& fn) {
      db::StatementHandle s = c.Prepare(sql);
      while (s->Step()) fn(*s);
    };
    // Names quoted as the schema spells them, so the rows read alike on both backends.
    each("SELECT \"IDC\", \"DocTypeCode\", \"DocumentDate\", \"StoreCode\", \"IsPosted\" FROM " +
             p + "THDocument\"",
         [&](auto& s) {
           docs[s.GetInt64(0)] = {s.GetText(1), s.GetText(2).substr(0, 10),
                                  s.IsNull(3) ? "" : s.GetText(3), s.GetInt64(4) == 1};
         });
    each("SELECT \"Code\", \"IsIncome\", \"IsOrderDirect\", \"IsStock\", \"Category\" FROM " + p +
             "THDocType\"",
         [&](auto& s) {
           types[s.GetText(0)] = {s.GetInt64(1) == 1, s.GetInt64(2) == 1, s.GetInt64(3) == 1,
                                  static_cast<int>(s.GetInt64(4))};
         });
    each(
        "SELECT \"IDC\", \"DocID\", \"GoodCode\", \"AmountAccount\", \"CostSumm\", \"FixCategory\" "
        "FROM " +
            p + "THGoodSpec\"",
        [&](auto& s) {
          spec_dates[s.GetInt64(0)] = docs.at(s.GetInt64(1)).date;
          // Rows without a good (services) never reach the report: the goods join drops them.
          if (s.IsNull(2)) return;
          specs.push_back({s.GetInt64(0), s.GetInt64(1), s.GetText(2),
                           s.IsNull(3) ? 0.0 : s.GetCurrency(3).ToDouble(),
                           s.IsNull(4) ? 0.0 : s.GetCurrency(4).ToDouble(),
                           s.IsNull(5) ? 0 : static_cast<int>(s.GetInt64(5))});
        });
    each("SELECT \"OutcomeSpecID\", \"IncomeSpecID\", \"Amount\" FROM " + p + "THGoodSpecFixLog\"",
         [&](auto& s) {
           links.push_back({s.GetInt64(0), s.GetInt64(1), s.GetCurrency(2).ToDouble()});
         });
    each("SELECT \"Code\", \"Name\", \"ParentCode\", \"IsGroup\" FROM " + p + "REFGood\"",
         [&](auto& s) {
           good_names[s.GetText(0)] = s.IsNull(1) ? "" : s.GetText(1);
           good_parents[s.GetText(0)] = s.IsNull(2) ? "" : s.GetText(2);
           good_is_group[s.GetText(0)] = s.GetInt64(3) == 1;
         });
    each("SELECT \"GoodCode\", \"UnitCode\" FROM " + p + "REFGoodUnit\" WHERE \"IsAccount\" = 1",
         [&](auto& s) { account_units[s.GetText(0)] = s.GetText(1); });
  }

  bool IsReceipt(const Spec& s) const {
    const Doc& d = docs.at(s.doc);
    const Type& t = types.at(d.type);
    return d.posted && t.stock && t.income;
  }
  // What receipt `s` has left after the links dated up to `date` (all links when empty), in
  // decimal as the book keeps quantities.
  double Free(const Spec& s, const std::string& date) const {
    Decimal free = Decimal::FromDouble(s.amount);
    for (const Link& l : links) {
      if (l.income != s.id) continue;
      if (date.empty() || spec_dates.at(l.outcome) <= date) {
        free = free - Decimal::FromDouble(l.amount);
      }
    }
    return free.ToDouble();
  }
  bool Below(std::string good, const std::string& group) const {
    for (int depth = 0; depth < 8; ++depth) {
      good = good_parents.at(good);
      if (good.empty()) return false;
      if (good == group) return true;
    }
    return false;
  }

  // stores / goods: empty for all; group: empty for none.
  Table Compute(const std::string& to_date, const std::set<std::string>& stores,
                const std::set<std::string>& goods, const std::string& group) const {
    const std::string today = Date::Today().ToIso().substr(0, 10);
    struct Main {
      double amount = 0, cost = 0;
    };
    std::map<std::string, Main> main;  // by good
    for (const Spec& s : specs) {
      if (!IsReceipt(s)) continue;
      const Doc& d = docs.at(s.doc);
      const Type& t = types.at(d.type);
      if (!(t.income && t.order_direct && t.category == 0) || d.date > to_date) continue;
      double left = Free(s, "");
      // Money is decimal, as the book computes it: exact products and quotients, rounded once.
      double cost = s.amount == 0 ? 0
                                  : (Decimal::FromDouble(s.cost) * Decimal::FromDouble(left) /
                                     Decimal::FromDouble(s.amount))
                                        .Round(2)
                                        .ToDouble();
      if (!(left > 0) || s.fix_category != 0) continue;
      if (!stores.empty() && !stores.count(d.store)) continue;
      if (!goods.empty() && !goods.count(s.good)) continue;
      if (!group.empty() && (good_is_group.at(s.good) || !Below(s.good, group))) continue;
      if (!account_units.count(s.good)) continue;
      main[s.good].amount += left;
      main[s.good].cost += cost;
    }
    std::map<std::pair<std::string, std::string>, double> rests;  // (good, store)
    for (const Spec& s : specs) {
      const Doc& d = docs.at(s.doc);
      const Type& t = types.at(d.type);
      if (!d.posted || !t.stock || d.date > today) continue;
      rests[{s.good, d.store}] += t.income ? s.amount : -s.amount;
    }
    std::map<std::string, std::pair<double, Decimal>> fix;  // good -> (free, cost share)
    for (const Spec& s : specs) {
      if (!IsReceipt(s) || s.fix_category != 0 || docs.at(s.doc).date > today) continue;
      double free = Free(s, today);
      fix[s.good].first += free;
      if (s.amount != 0) {
        fix[s.good].second = fix[s.good].second + Decimal::FromDouble(s.cost) *
                                                      Decimal::FromDouble(free) /
                                                      Decimal::FromDouble(s.amount);
      }
    }
    Table rows;
    for (const auto& [good, m] : main) {
      for (const auto& [key, rest] : rests) {
        if (key.first != good || RoundDecimal(rest, 4) == 0 || !(rest > 0)) continue;
        if (!stores.empty() && !stores.count(key.second)) continue;
        double summa = 0;
        if (auto f = fix.find(good); f != fix.end() && f->second.first > 0) {
          summa = (Decimal::FromDouble(rest) * f->second.second.Round(2) /
                   Decimal::FromDouble(f->second.first))
                      .Round(2)
                      .ToDouble();
        }
        rows.push_back({good, good_names.at(good), account_units.at(good),
                        Currency::FromDouble(main.at(good).amount).ToString(),
                        Currency::FromDouble(m.cost).ToString(), key.second,
                        Currency::FromDouble(rest).ToString(),
                        Currency::FromDouble(summa).ToString()});
      }
    }
    return rows;
  }
};

// --- Running the report as the host does ---

class StoreRestByTermTest : public host::testing::SampleBook {
 protected:
  StoreRestByTermTest() : settings_env_("QTS_SETTINGS", (dir_ / "settings.json").string()) {}

  void SetUp() override {
    SampleBook::SetUp();
    op_ = std::make_shared<host::ScriptedOperator>();
    scope_ = std::make_unique<host::ScopedOperator>(op_);
  }
  void TearDown() override { scope_.reset(); }

  // Runs the report with the form filled by `values` (confirmed unless `cancel`).
  bool RunWith(std::vector<std::pair<std::string, Variant>> values, bool cancel = false) {
    op_->AnswerForm({"frmRepStoreRestByTerm", !cancel, std::move(values)});
    params_ = std::make_shared<host::NamedValueList>();
    params_->Add("Book", host::Kind::kNone, Variant(std::static_pointer_cast<Object>(book_)));
    values_ = std::make_shared<host::NamedValueList>();
    return report_->Run(params_, values_);
  }

  std::string Value(std::string_view name) const {
    const Variant& v = values_->Item(name).Value();
    if (v.IsEmpty() || v.IsNull()) return "";
    return v.Type() == VarType::kDate ? v.AsDate().ToIso().substr(0, 10) : CStr(v);
  }

  Table DataRows() const {
    auto rs =
        std::dynamic_pointer_cast<host::Recordset>(values_->Item("DataList").Value().AsObject());
    EXPECT_NE(rs, nullptr);
    Table rows;
    if (!rs || rs->RecordCount() == 0) return rows;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      std::vector<std::string> row;
      for (size_t i = 0; i < rs->Fields().Count(); ++i) {
        const Variant& v = rs->Value(i);
        row.push_back(v.IsNull()                       ? "<null>"
                      : v.Type() == VarType::kCurrency ? v.AsCurrency().ToString()
                                                       : CStr(v));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  static std::string DaysBefore(int year, int month, int day) {
    return std::to_string(
        static_cast<int>(Date::Today().Serial() - Date::FromYmd(year, month, day).Serial()));
  }

  qts::testing::TempDir dir_;
  qts::testing::ScopedEnv settings_env_;
  std::shared_ptr<host::ScriptedOperator> op_;
  std::unique_ptr<host::ScopedOperator> scope_;
  std::shared_ptr<CRepStoreRestByTerm> report_ = std::make_shared<CRepStoreRestByTerm>();
  host::NamedValueListPtr params_;
  host::NamedValueListPtr values_;
};

const std::string kToday = Date::Today().ToIso().substr(0, 10);

TEST_F(StoreRestByTermTest, AllStoresAndGoods) {
  ASSERT_TRUE(RunWith({})) << (op_->Errors().empty() ? "" : op_->Errors()[0].description);
  EXPECT_EQ(Value("ToDate"), kToday) << "0 days: today";
  EXPECT_EQ(Value("StoreCode"), "");
  Table expected = {
      // G1: 7 left of document 1 (3 written off) and 4 of document 2; rests 7 in S1, 4 in S2;
      // fixed rest 11 for 118, so the rest sums are 7 * 118 / 11 and 4 * 118 / 11.
      {"G1", "Flour", "KG", "11", "118", "S1", "7", "75.09"},
      {"G1", "Flour", "KG", "11", "118", "S2", "4", "42.91"},
      {"G2", "Boxes", "VNT", "5", "50", "S1", "5", "50"},
  };
  EXPECT_EQ(DataRows(), expected);
  EXPECT_EQ(DataRows(), Oracle(*book_).Compute(kToday, {}, {}, ""));
  std::vector<std::string> names;
  auto rs =
      std::dynamic_pointer_cast<host::Recordset>(values_->Item("DataList").Value().AsObject());
  for (size_t i = 0; i < rs->Fields().Count(); ++i) names.push_back(rs->Fields().Item(i).Name());
  EXPECT_EQ(names, (std::vector<std::string>{"GoodCode", "Name", "UnitCode", "AmountAccount",
                                             "CostSumma", "StoreCode", "Rest", "RestSumma"}));
  // The declared inputs come first, in order, then the data list.
  std::vector<std::string> value_names;
  for (const auto& e : values_->Entries()) value_names.push_back(e->Name());
  EXPECT_EQ(value_names,
            (std::vector<std::string>{"ToDate", "StoreCode", "GoodCode", "GoodGroup", "DataList"}));
}

// G1 lies in two stores: its unfixed 11 kg for 118 is printed and counted once, not once per
// store (22 kg for 236 would be wrong), and kilograms are never added to pieces.
TEST_F(StoreRestByTermTest, PrintedTotalsCountEachGoodOnceAndKeepUnitsApart) {
  ASSERT_TRUE(RunWith({}));
  host::PrintedReport printed = testing::LaidOut("CRepStoreRestByTerm", *values_, book_);
  ASSERT_EQ(printed.tables.size(), 1u);
  const host::PrintedTable& table = printed.tables[0];
  EXPECT_EQ(testing::PrintedSums(table), (testing::Sums{{"AmountAccount|KG", "11"},
                                                        {"AmountAccount|VNT", "5"},
                                                        {"CostSumma", "168"},
                                                        {"Rest|KG", "11"},
                                                        {"Rest|VNT", "5"},
                                                        {"RestSumma", "168"}}));
  // G1's rests over its two stores.
  EXPECT_EQ(testing::PrintedSums(table, host::LineKind::kSubtotal),
            (testing::Sums{{"Rest|KG", "11"}, {"RestSumma", "118"}}));
  EXPECT_EQ(table.rows, 3u);
  // The header says the choices: all stores, all goods, today's rests.
  std::vector<std::string> header;
  for (const host::PrintedHeaderLine& line : printed.header) {
    header.push_back(line.caption + (line.caption.empty() ? "" : ": ") + line.text);
  }
  EXPECT_EQ(header, (std::vector<std::string>{"PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ",
                                              "Gauta iki: " + kToday, "Likučiai dienai: 2026-12-06",
                                              "Sandėliai: visi", "Prekės: visos"}))
      << "the test book has no enterprise name or code";
}

TEST_F(StoreRestByTermTest, ChosenStoreKeepsOnlyItsReceiptsAndRests) {
  ASSERT_TRUE(RunWith({{"selStore", Variant("S2")}}));
  EXPECT_EQ(Value("StoreCode"), "'S2'");
  Table expected = {{"G1", "Flour", "KG", "4", "48", "S2", "4", "42.91"}};
  EXPECT_EQ(DataRows(), expected);
  EXPECT_EQ(DataRows(), Oracle(*book_).Compute(kToday, {"S2"}, {}, ""));
}

TEST_F(StoreRestByTermTest, LimitDateLeavesOutLaterReceipts) {
  // 2026-01-15: document 2 (2026-01-20) is too young.
  ASSERT_TRUE(RunWith({{"edDayAmount", Variant(DaysBefore(2026, 1, 15))}}));
  EXPECT_EQ(Value("ToDate"), "2026-01-15");
  Table rows = DataRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][3], "7");  // G1's unfixed quantity from document 1 only
  EXPECT_EQ(rows[0][4], "70");
  EXPECT_EQ(rows, Oracle(*book_).Compute("2026-01-15", {}, {}, ""));
  // The day before the first receipt: nothing, and still printed.
  ASSERT_TRUE(RunWith({{"edDayAmount", Variant(DaysBefore(2026, 1, 9))}}));
  EXPECT_TRUE(DataRows().empty());
}

TEST_F(StoreRestByTermTest, GoodsSelectionRules) {
  // One item code: quoted.
  ASSERT_TRUE(RunWith({{"selGood", Variant("G2")}}));
  EXPECT_EQ(Value("GoodCode"), "'G2'");
  EXPECT_EQ(Value("GoodGroup"), "");
  EXPECT_EQ(DataRows(), Oracle(*book_).Compute(kToday, {}, {"G2"}, ""));
  ASSERT_EQ(DataRows().size(), 1u);

  // A group typed as one code: looked up, a group; the printed goods field shows it.
  ASSERT_TRUE(RunWith({{"selGood", Variant("GR")}}));
  EXPECT_EQ(Value("GoodGroup"), "GR");
  EXPECT_EQ(Value("GoodCode"), "GR");
  EXPECT_EQ(DataRows(), Oracle(*book_).Compute(kToday, {}, {}, "GR"));
  EXPECT_EQ(DataRows().size(), 3u);

  // A list of codes.
  ASSERT_TRUE(RunWith({{"selGood", Variant("'G1','G3'")}}));
  EXPECT_EQ(Value("GoodCode"), "'G1','G3'");
  EXPECT_EQ(DataRows(), Oracle(*book_).Compute(kToday, {}, {"G1", "G3"}, ""));

  // Type 0 with codes: all goods.
  ASSERT_TRUE(RunWith({{"selGood", Variant("G2")}, {"selGood.SelType", Variant("0")}}));
  EXPECT_EQ(Value("GoodCode"), "");
  EXPECT_EQ(DataRows().size(), 3u);

  // A code the catalogue does not have: one item, no rows, still printed.
  ASSERT_TRUE(RunWith({{"selGood", Variant("NOPE")}}));
  EXPECT_EQ(Value("GoodCode"), "'NOPE'");
  EXPECT_TRUE(DataRows().empty());
}

TEST_F(StoreRestByTermTest, CancelledFormPrintsNothingSilently) {
  EXPECT_FALSE(RunWith({{"edDayAmount", Variant("5")}}, /*cancel=*/true));
  EXPECT_TRUE(op_->Errors().empty());
  ASSERT_EQ(values_->Count(), 4u) << "the declared inputs stay, with no value";
  for (const auto& e : values_->Entries()) EXPECT_TRUE(e->Value().IsEmpty()) << e->Name();
}

TEST_F(StoreRestByTermTest, ErrorsAreShownWithTheReportNumber) {
  // A store selection that is not a list of codes never reaches the SQL.
  EXPECT_FALSE(RunWith({{"selStore", Variant("'S1' OR 1=1")}, {"selStore.SelType", Variant("1")}}));
  ASSERT_EQ(op_->Errors().size(), 1u);
  EXPECT_EQ(op_->Errors()[0].number, kErrComponent);
  EXPECT_NE(op_->Errors()[0].description.find("'S1' OR 1=1"), std::string::npos)
      << op_->Errors()[0].description;
  EXPECT_FALSE(values_->ExistsField("DataList"));
  EXPECT_EQ(report_->BusyCursor(), nullptr) << "the handler releases the busy cursor";

  // An emptied day count is the form's error: shown as raised, not with the report's number.
  EXPECT_FALSE(RunWith({{"edDayAmount", Variant("")}}));
  ASSERT_EQ(op_->Errors().size(), 2u);
  EXPECT_EQ(op_->Errors()[1].number, kErrInvalidUseOfNull);
  EXPECT_EQ(op_->Errors()[1].source, "frmRepStoreRestByTerm");

  // Without a book anywhere the run fails through GetBook.
  op_->AnswerForm({"", true, {}});
  host::NamedValueListPtr params = std::make_shared<host::NamedValueList>();
  host::NamedValueListPtr values = std::make_shared<host::NamedValueList>();
  host::ScopedClientApplication no_app(std::make_shared<host::ReportApp>());
  EXPECT_FALSE(report_->Run(params, values));
  ASSERT_EQ(op_->Errors().size(), 3u);
  EXPECT_EQ(op_->Errors()[2].number, kErrComponent);
}

TEST_F(StoreRestByTermTest, LastChoicesAreRestoredAndSaved) {
  ASSERT_TRUE(RunWith({{"selStore", Variant("S1,S2")}, {"selGood", Variant("GR")}}));
  host::UserSettings settings;
  EXPECT_EQ(CStr(settings.GetFormValue("Store", "frmRepStoreRestByTerm")), "'S1','S2'");
  EXPECT_EQ(CStr(settings.GetFormValue("StoreSelType", "frmRepStoreRestByTerm")), "1");
  EXPECT_EQ(CStr(settings.GetFormValue("Good", "frmRepStoreRestByTerm")), "GR");
  EXPECT_EQ(CStr(settings.GetFormValue("GoodSelType", "frmRepStoreRestByTerm")), "3");

  // The next run shows them and uses them when the operator changes nothing.
  ASSERT_TRUE(RunWith({}));
  const host::FormDescription& shown = op_->Forms().back().form;
  EXPECT_EQ(CStr(shown.At("selStore").value), "'S1','S2'");
  EXPECT_EQ(CLng(shown.At("selGood.SelType").value), 3);
  EXPECT_EQ(Value("GoodGroup"), "GR");
  EXPECT_EQ(Value("StoreCode"), "'S1','S2'");
}

// A value the run refuses is not remembered: the choice saved before stays, and the next run
// that changes nothing runs with it instead of failing on the refused text again.
TEST_F(StoreRestByTermTest, ARefusedChoiceIsNeverRemembered) {
  ASSERT_TRUE(RunWith({{"selStore", Variant("S2")}}));
  host::UserSettings settings;
  for (const char* hostile : {"'GS'' OR 1=1 --", "'S1'; DROP TABLE x", "'S1' -- c", "'S1"}) {
    EXPECT_FALSE(RunWith({{"selStore", Variant(hostile)}, {"selStore.SelType", Variant("1")}}))
        << hostile;
    EXPECT_EQ(CStr(settings.GetFormValue("Store", "frmRepStoreRestByTerm")), "'S2'") << hostile;
    EXPECT_EQ(CStr(settings.GetFormValue("StoreSelType", "frmRepStoreRestByTerm")), "1");
  }
  // A goods list that is no list is refused by the run and not remembered either.
  EXPECT_FALSE(RunWith({{"selGood", Variant("'G1') OR (1=1")}, {"selGood.SelType", Variant("1")}}));
  EXPECT_EQ(CStr(settings.GetFormValue("Good", "frmRepStoreRestByTerm")), "");
  // Nor is one code that no statement can carry (a NUL character, through the page or a file).
  EXPECT_FALSE(
      RunWith({{"selGood", Variant(std::string("G1\0x", 4))}, {"selGood.SelType", Variant("3")}}));
  EXPECT_EQ(CStr(settings.GetFormValue("Good", "frmRepStoreRestByTerm")), "");
  const size_t errors = op_->Errors().size();
  ASSERT_TRUE(RunWith({}));
  EXPECT_EQ(op_->Errors().size(), errors);
  EXPECT_EQ(Value("StoreCode"), "'S2'");
  EXPECT_TRUE(op_->Messages().empty()) << "nothing saved needed dropping";
}

struct SavedChoiceCase {
  const char* name;
  const char* store;
  const char* store_type;
  std::string_view good;
  const char* good_type;
  const char* dropped;  // the selector whose choice is dropped
};

class DroppedChoiceTest : public StoreRestByTermTest,
                          public ::testing::WithParamInterface<SavedChoiceCase> {};

// A saved choice that can no longer be used -- written by an older version, edited by hand, or
// naming a store or good deleted since -- is dropped with a message saying why; the form starts
// from its default (all stores, all goods), the run succeeds, and the store no longer holds it.
TEST_P(DroppedChoiceTest, IsDroppedWithAWarningAndTheDefaultUsed) {
  const SavedChoiceCase& c = GetParam();
  host::UserSettings settings;
  const std::string form = "frmRepStoreRestByTerm";
  settings.SaveFormValue("Store", form, Variant(std::string(c.store)));
  settings.SaveFormValue("StoreSelType", form, Variant(std::string(c.store_type)));
  settings.SaveFormValue("Good", form, Variant(std::string(c.good)));
  settings.SaveFormValue("GoodSelType", form, Variant(std::string(c.good_type)));
  ASSERT_TRUE(RunWith({})) << (op_->Errors().empty() ? "" : op_->Errors()[0].description);
  ASSERT_EQ(op_->Messages().size(), 1u);
  const std::string& text = op_->Messages()[0].request.text;
  EXPECT_NE(text.find(c.dropped), std::string::npos) << text;
  EXPECT_NE(text.find("dropped"), std::string::npos) << text;
  const host::FormDescription& shown = op_->Forms().back().form;
  const bool store_dropped = std::string(c.dropped) == "selStore";
  EXPECT_EQ(CStr(shown.At(c.dropped).value), "");
  EXPECT_EQ(CLng(shown.At(std::string(c.dropped) + ".SelType").value), 0);
  // The other selector keeps its choice.
  EXPECT_EQ(Value("StoreCode"), store_dropped ? "" : c.store);
  EXPECT_EQ(CStr(settings.GetFormValue(store_dropped ? "Store" : "Good", form)), "");
  // Once dropped, it is gone: the next run has nothing to warn about.
  ASSERT_TRUE(RunWith({}));
  EXPECT_EQ(op_->Messages().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    SavedChoices, DroppedChoiceTest,
    ::testing::Values(
        SavedChoiceCase{"InjectedStoreList", "'GS'' OR 1=1 --", "1", "", "0", "selStore"},
        SavedChoiceCase{"StoreNotInTheBook", "'S1','S9'", "1", "", "0", "selStore"},
        SavedChoiceCase{"StoreTypeNotANumber", "'S1'", "yes", "", "0", "selStore"},
        SavedChoiceCase{"StoreTypeOutOfRange", "'S1'", "7", "", "0", "selStore"},
        SavedChoiceCase{"GoodNotInTheBook", "'S1'", "1", "G9", "3", "selGood"},
        SavedChoiceCase{"GoodIsNoGroup", "'S1'", "1", "G1", "2", "selGood"},
        SavedChoiceCase{"GoodListWithComment", "'S1'", "1", "'G1' --", "1", "selGood"},
        SavedChoiceCase{"GoodTypeNegative", "'S1'", "1", "G1", "-1", "selGood"},
        SavedChoiceCase{"GoodWithNulCharacter", "'S1'", "1", std::string_view("G1\0x", 4), "3",
                        "selGood"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreRestByTermTest, FormBindsTheSelectorsAndOffersNoGroups) {
  op_->AnswerForm({"", true, {}});
  frmRepStoreRestByTerm form;
  auto values = std::make_shared<host::NamedValueList>();
  for (const char* name : {"ToDate", "StoreCode", "GoodCode", "GoodGroup"})
    values->Add(name, host::Kind::kText);
  host::AppContextPtr book = book_;
  ASSERT_TRUE(form.Run(book, values));
  const host::Form& shown = *form.GetForm();
  EXPECT_TRUE(shown.Unloaded());
  host::Form& f = *form.GetForm();
  EXPECT_EQ(CStr(f.Item("selGood").Property("Filter")), "IsGroup = 0");
  EXPECT_EQ(CStr(f.Item("selStore").Property("TableName")), "STStore");
  EXPECT_EQ(CStr(f.Item("selGood").Property("TableName")), "REFGood");
  EXPECT_EQ(f.Item("selGood").Property("Context").AsObject(), book_);
  EXPECT_EQ(op_->Forms().back().form.caption, "Ataskaitos parametrai");
  EXPECT_EQ(op_->Forms().back().form.At("edDayAmount").caption, "Dienų skaičius :");
}

// The generated sample company: many documents, links and stores, against the oracle.
TEST(StoreRestByTermSampleTest, MatchesTheOracleOnAGeneratedBook) {
  qts::testing::TempDir dir;
  qts::testing::ScopedEnv settings_env("QTS_SETTINGS", (dir / "settings.json").string());
  auto book = host::AppContext::CreateBook(":memory:", "GEN");
  host::sample::GenerateSampleBook(*book, host::sample::SampleSize::kSmall, 7);
  auto op = std::make_shared<host::ScriptedOperator>();
  host::ScopedOperator scope(op);
  Oracle oracle(*book);
  for (std::string days : {"0", "200", "400"}) {
    op->AnswerForm(
        {"",
         true,
         {{"edDayAmount", Variant(days)}, {"selGood", Variant("")}, {"selStore", Variant("")}}});
    auto params = std::make_shared<host::NamedValueList>();
    params->Add("Book", host::Kind::kNone, Variant(std::static_pointer_cast<Object>(book)));
    auto values = std::make_shared<host::NamedValueList>();
    CRepStoreRestByTerm report;
    ASSERT_TRUE(report.Run(params, values))
        << (op->Errors().empty() ? "" : op->Errors().back().description);
    auto rs =
        std::dynamic_pointer_cast<host::Recordset>(values->Item("DataList").Value().AsObject());
    Table rows;
    if (rs->RecordCount() > 0) {
      for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
        std::vector<std::string> row;
        for (size_t i = 0; i < rs->Fields().Count(); ++i) {
          const Variant& v = rs->Value(i);
          row.push_back(v.Type() == VarType::kCurrency ? v.AsCurrency().ToString() : CStr(v));
        }
        rows.push_back(std::move(row));
      }
    }
    std::string to_date = values->Item("ToDate").Value().AsDate().ToIso().substr(0, 10);
    Table expected = oracle.Compute(to_date, {}, {}, "");
    EXPECT_EQ(rows, expected) << "days " << days;
    // The printed totals against the oracle's rows: each good's unfixed quantity and cost
    // once, whatever the number of its stores; quantities per unit.
    std::map<std::string, double> sums;
    std::set<std::string> goods;
    for (const std::vector<std::string>& row : expected) {
      if (goods.insert(row[0]).second) {
        testing::Add(sums, "AmountAccount|" + row[2], std::stod(row[3]));
        testing::Add(sums, "CostSumma", std::stod(row[4]));
      }
      testing::Add(sums, "Rest|" + row[2], std::stod(row[6]));
      testing::Add(sums, "RestSumma", std::stod(row[7]));
    }
    host::PrintedReport printed = testing::LaidOut("CRepStoreRestByTerm", *values, book);
    ASSERT_EQ(printed.tables.size(), 1u);
    EXPECT_EQ(testing::PrintedSums(printed.tables[0]), testing::AsText(sums)) << "days " << days;
    if (days == "0") {
      EXPECT_FALSE(rows.empty()) << "the sample should have old stock";
    }
  }
}

}  // namespace
}  // namespace qts::reports
