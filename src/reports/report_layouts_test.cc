// Every report class prints through a layout of its own, and nothing a person reads on the
// page is an internal name: not a value or column name, not an engine value, not a code list
// in quotes, not a message the table lacks.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "core/text.h"
#include "frame/catalogue.h"
#include "host/interfaces.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "reports/testing/printed_totals.h"
#include "reports/testing/report_harness.h"

namespace qts::reports {
namespace {

using Filling = std::vector<std::pair<std::string, Variant>>;

struct ReportCase {
  const char* report;
  Filling filling;
};

const Filling kYear = {{"edBegDate", Variant("2026-01-01")}, {"edEndDate", Variant("2026-12-31")}};

Filling With(Filling filling, Filling more) {
  filling.insert(filling.end(), more.begin(), more.end());
  return filling;
}

// Each report with the form filled twice: choosing nothing, and choosing a store, a goods
// group, a supplier, a committee or a preparer.
std::vector<ReportCase> Cases() {
  return {
      {"CRepStoreRestByTerm",
       {{"edDayAmount", Variant("0")}, {"selStore", Variant("")}, {"selGood", Variant("")}}},
      {"CRepStoreRestByTerm",
       {{"edDayAmount", Variant("30")},
        {"selStore", Variant("'GS','CS'")},
        {"selStore.SelType", Variant("1")},
        {"selGood", Variant("G-MED")}}},
      {"CRepNotSpentOrdGoods", With(kYear, {{"selStore", Variant("")}, {"selGood", Variant("")}})},
      {"CRepNotSpentOrdGoods",
       With(kYear, {{"selStore", Variant("CS")}, {"selGood", Variant("")}})},
      {"CRepNotSpentManufGoods",
       With(kYear, {{"selStore", Variant("")}, {"selGood", Variant("")}})},
      {"CRepNotSpentManufGoods",
       With(kYear, {{"selStore", Variant("GS")}, {"selGood", Variant("G-GAM")}})},
      {"CRepGoodRestBDK", {{"edRepDate", Variant("2026-12-31")}}},
      {"CRepGoodRestBDK",
       {{"edRepDate", Variant("2026-06-30")},
        {"cbClient", Variant("K0022")},
        {"cbFixCat", Variant("1")}}},
      {"CRepWriteOffBDK", kYear},
      {"CRepWriteOffBDK", With(kYear, {{"cbFixCat", Variant("0")}, {"chOnlyOnFix", Variant("1")}})},
      {"CRepWriteOffSvyd", With(kYear, {{"edNumb", Variant("A-1")}})},
      {"CRepWriteOffSvyd", With(kYear, {{"edNumb", Variant("A-2")},
                                        {"cbMember_Head", Variant("P002")},
                                        {"cbMember1", Variant("P003")}})},
      {"CRepPACK", {{"edRepDate", Variant("2026-01-01")}}},
      {"CRepPACK", {{"edRepDate", Variant("2026-06-30")}, {"cbPerson", Variant("P002")}}},
  };
}

// A name in the system's own spelling: a lower-case letter right before an upper-case one
// ("GoodCode", "cName1", "FixRest.GoodCode"), a digit after a letter ("cName1"), or an
// engine value.
bool LooksInternal(const std::string& text) {
  static const std::regex kIdentifier(R"([a-z][A-Z]|[A-Za-z]\.[A-Z]|@[A-Z]|\[QTSFormRes)");
  return std::regex_search(text, kIdentifier);
}

class ReportLayoutTest : public ::testing::TestWithParam<size_t> {};

TEST_P(ReportLayoutTest, EverythingPrintedIsSaidInWords) {
  const ReportCase c = Cases()[GetParam()];
  SCOPED_TRACE(c.report);
  auto book = testing::GeneratedBook();
  testing::ReportRunner runner;
  ObjectPtr object =
      frame::Catalogue::Instance().Create(*frame::Catalogue::Instance().FindClass(c.report));
  auto report = QueryInterface<host::IReportExec>(object);
  ASSERT_TRUE(runner.Run(*report, book, c.filling)) << runner.FirstError();
  host::PrintedReport printed = testing::LaidOut(c.report, runner.Values(), book);

  // The report's own names: its values and the columns of its data lists.
  std::set<std::string> names;
  for (const auto& entry : runner.Values().Entries()) {
    names.insert(AsciiLower(entry->Name()));
    if (entry->Kind() != 100) continue;
    auto rs = std::dynamic_pointer_cast<host::Recordset>(entry->Value().AsObject());
    for (size_t i = 0; rs && i < rs->Fields().Count(); ++i) {
      names.insert(AsciiLower(rs->Fields().Item(i).Name()));
    }
  }
  auto check = [&](const std::string& text, const std::string& where) {
    EXPECT_FALSE(names.count(AsciiLower(text)))
        << where << " is the internal name \"" << text << "\"";
    EXPECT_FALSE(LooksInternal(text)) << where << ": \"" << text << "\"";
  };
  EXPECT_FALSE(printed.title.empty());
  check(printed.title, "the title");
  for (const host::PrintedHeaderLine& line : printed.header) {
    check(line.caption, "a header caption");
    check(line.text, "header line \"" + line.caption + "\"");
    EXPECT_FALSE(line.text.empty()) << "a header line without words: " << line.caption;
    EXPECT_EQ(line.text.find('\''), std::string::npos)
        << "a choice shown as its quoted codes: " << line.text;
    EXPECT_NE(line.text, "-1") << line.caption;
  }
  ASSERT_FALSE(printed.tables.empty());
  for (const host::PrintedTable& table : printed.tables) {
    for (const host::PrintedColumn& column : table.columns) {
      check(column.caption, "the caption of " + column.name);
      EXPECT_FALSE(column.caption.empty()) << column.name;
    }
    for (const host::PrintedLine& line : table.lines) check(line.label, "a total's label");
  }
  for (const host::PrintedSignature& s : printed.signatures) {
    check(s.role, "a signature's role");
    check(s.name, "a signature's name");
  }
}

INSTANTIATE_TEST_SUITE_P(EveryReport, ReportLayoutTest, ::testing::Range<size_t>(0, Cases().size()),
                         [](const auto& info) {
                           return std::string(Cases()[info.param].report) + "_" +
                                  std::to_string(info.param % 2);
                         });

// Every report class of the catalogue has a layout, and every layout is of a report class.
TEST(ReportLayoutCatalogueTest, EveryReportClassHasItsLayout) {
  std::set<std::string> reports;
  for (const frame::ClassInfo& cls : frame::Catalogue::Instance().Units()) {
    bool report = false;
    for (const std::string& name : cls.implements) report = report || name == "IReportExec";
    if (report && cls.IsCreatable() && frame::Catalogue::Instance().HasCreator(cls.name)) {
      reports.insert(cls.name);
    }
  }
  ASSERT_FALSE(reports.empty());
  for (const std::string& name : reports) {
    EXPECT_TRUE(host::LoadPrintLayout(name).has_value()) << name << " has no print layout";
  }
  for (const std::string& name : host::PrintLayoutClasses()) {
    EXPECT_TRUE(frame::Catalogue::Instance().FindClass(name)) << name << " is no report class";
  }
}

}  // namespace
}  // namespace qts::reports
