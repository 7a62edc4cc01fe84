// Every report class prints through a layout of its own, and nothing a person reads on the
// page is an internal name: not a value or column name, not an engine value, not a code list
// in quotes, not a message the table lacks. Its workbook holds numbers and dates as cells a
// spreadsheet counts with, not as texts.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/text.h"
#include "frame/catalogue.h"
#include "host/interfaces.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_writers.h"
#include "host/testing/scoped_env.h"
#include "host/testing/zip_reader.h"
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

class ReportLayoutTest : public ::testing::TestWithParam<size_t> {
 protected:
  // The case's report run on the generated book as the host runs it, laid out by its layout.
  host::PrintedReport Print() {
    const ReportCase c = Cases()[GetParam()];
    book_ = testing::GeneratedBook();
    ObjectPtr object =
        frame::Catalogue::Instance().Create(*frame::Catalogue::Instance().FindClass(c.report));
    auto report = QueryInterface<host::IReportExec>(object);
    EXPECT_TRUE(runner_.Run(*report, book_, c.filling)) << runner_.FirstError();
    return testing::LaidOut(c.report, runner_.Values(), book_);
  }

  testing::ReportRunner runner_;
  std::shared_ptr<host::AppContext> book_;
};

TEST_P(ReportLayoutTest, EverythingPrintedIsSaidInWords) {
  SCOPED_TRACE(Cases()[GetParam()].report);
  const host::PrintedReport printed = Print();
  ASSERT_FALSE(HasFailure());

  // The report's own names: its values and the columns of its data lists.
  std::set<std::string> names;
  for (const auto& entry : runner_.Values().Entries()) {
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

// --- The workbook: numbers and dates are cells a spreadsheet counts with ---

// A cell of a sheet: its type attribute ("" for a number), style index and value.
struct SheetCell {
  std::string type;
  size_t style = 0;
  std::string value;
};

std::string XmlText(std::string text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : kEntities) text = Replace(text, entity, plain);
  return text;
}

// The cells of a sheet's XML by reference ("B7").
std::map<std::string, SheetCell> SheetCells(const std::string& xml) {
  static const std::regex kCell(
      R"re(<c r="([A-Z]+[0-9]+)"([^>]*?)(?:/>|>(?:<f>[^<]*</f>)?<v>([^<]*)</v></c>))re");
  static const std::regex kType(R"re(t="([a-zA-Z]+)")re");
  static const std::regex kStyle(R"re(s="([0-9]+)")re");
  std::map<std::string, SheetCell> cells;
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), kCell); it != std::sregex_iterator();
       ++it) {
    const std::string attributes = (*it)[2];
    SheetCell cell;
    std::smatch m;
    if (std::regex_search(attributes, m, kType)) cell.type = m[1];
    if (std::regex_search(attributes, m, kStyle)) cell.style = std::stoul(m[1]);
    cell.value = (*it)[3];
    cells[(*it)[1]] = cell;
  }
  return cells;
}

// The shared strings in order.
std::vector<std::string> SharedStrings(const std::string& xml) {
  static const std::regex kString(R"re(<si><t[^>]*>([^<]*)</t></si>)re");
  std::vector<std::string> strings;
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), kString);
       it != std::sregex_iterator(); ++it) {
    strings.push_back(XmlText((*it)[1]));
  }
  return strings;
}

// Per cell style (the index a cell's s="" names): whether it shows a number as a date.
std::vector<bool> DateStyles(const std::string& xml) {
  static const std::regex kFormat(R"re(<numFmt numFmtId="([0-9]+)" formatCode="([^"]*)")re");
  static const std::regex kXf(R"re(<xf [^>]*?numFmtId="([0-9]+)")re");
  std::set<std::string> date_formats = {"14"};  // the built-in short date
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), kFormat);
       it != std::sregex_iterator(); ++it) {
    const std::string code = (*it)[2];
    if (code.find("yy") != std::string::npos && code.find("dd") != std::string::npos) {
      date_formats.insert((*it)[1]);
    }
  }
  const size_t cell_xfs = xml.find("<cellXfs");
  std::vector<bool> styles;
  const std::string xfs = xml.substr(cell_xfs, xml.find("</cellXfs>") - cell_xfs);
  for (auto it = std::sregex_iterator(xfs.begin(), xfs.end(), kXf); it != std::sregex_iterator();
       ++it) {
    styles.push_back(date_formats.count((*it)[1]) > 0);
  }
  return styles;
}

std::string ColumnLetters(size_t column) {
  std::string letters;
  for (size_t n = column + 1; n > 0; n = (n - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return letters;
}

TEST_P(ReportLayoutTest, TheWorkbookHoldsNumbersAndDatesAsCells) {
  SCOPED_TRACE(Cases()[GetParam()].report);
  const host::PrintedReport printed = Print();
  ASSERT_FALSE(HasFailure());
  qts::testing::TempDir dir;
  host::WriteXlsx(printed, dir / "report.xlsx");
  std::map<std::string, std::string> zip = qts::testing::ReadZip(dir / "report.xlsx");
  const std::vector<std::string> strings = SharedStrings(zip["xl/sharedStrings.xml"]);
  const std::vector<bool> date_styles = DateStyles(zip["xl/styles.xml"]);
  ASSERT_FALSE(date_styles.empty());

  for (size_t t = 0; t < printed.tables.size(); ++t) {
    const host::PrintedTable& table = printed.tables[t];
    const auto cells = SheetCells(zip["xl/worksheets/sheet" + std::to_string(t + 1) + ".xml"]);
    auto text = [&](const std::string& ref) -> std::string {
      auto it = cells.find(ref);
      if (it == cells.end() || it->second.type != "s") return "";
      return strings.at(std::stoul(it->second.value));
    };
    // The captions' row; the table's lines follow it (and its codes' row), one row each.
    int row = 1;
    while (row < 100 && text("A" + std::to_string(row)) != table.columns.at(0).caption) ++row;
    ASSERT_LT(row, 100) << "no row of captions in sheet " << t + 1;
    row += table.HasCodes() ? 2 : 1;
    if (table.rows == 0) ++row;

    size_t numbers = 0, wrong = 0;
    std::string first_wrong;
    for (const host::PrintedLine& line : table.lines) {
      for (size_t col = 0; col < table.columns.size(); ++col) {
        const Variant& v = line.cells[col];
        if (v.IsEmpty() || v.IsNull()) continue;
        const std::string ref = ColumnLetters(col) + std::to_string(row);
        auto it = cells.find(ref);
        bool right = it != cells.end();
        if (right) {
          const SheetCell& cell = it->second;
          const bool date_style = cell.style < date_styles.size() && date_styles[cell.style];
          switch (v.Type()) {
            case VarType::kDate:
              right = cell.type.empty() && date_style &&
                      std::abs(std::stod(cell.value) - v.AsDate().Serial()) < 1e-9;
              break;
            case VarType::kInteger:
            case VarType::kLong:
            case VarType::kDouble:
            case VarType::kCurrency:
              right = cell.type.empty() && !date_style &&
                      std::abs(std::stod(cell.value) - CDbl(v)) < 1e-9;
              ++numbers;
              break;
            default:
              right = cell.type == "s" && !date_style;
          }
        }
        if (!right && wrong++ == 0) {
          first_wrong = ref + " (" + table.columns[col].name + " = " + CStr(v) + ")";
        }
      }
      ++row;
    }
    EXPECT_EQ(wrong, 0u) << "cells not written as their values, the first " << first_wrong;
    if (table.rows > 0) {
      EXPECT_GT(numbers, 0u) << "a table of rows without a number";
    }
  }
}

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
