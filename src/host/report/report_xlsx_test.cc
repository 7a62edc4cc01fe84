#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/convert.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_writers.h"
#include "host/testing/scoped_env.h"
#include "host/testing/zip_reader.h"

namespace qts::host {
namespace {

Currency Cy(const char* text) { return *Currency::Parse(text); }

// A good in two stores and one in a store of its own, in kilograms and pieces.
ReportDocument Rests() {
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("GoodCode", adVarWChar, 0, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("UnitCode", adVarWChar, 0, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("Received", adDate, 0, adFldIsNullable, Code(Kind::kDate));
  rs->Fields().Append("StoreCode", adVarWChar, 0, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("Rest", adCurrency, 0, adFldIsNullable, Code(Kind::kQuantity));
  rs->Fields().Append("RestSumma", adCurrency, 0, adFldIsNullable, Code(Kind::kMoney));
  rs->Open();
  const std::vector<std::string> names = {"GoodCode",  "UnitCode", "Received",
                                          "StoreCode", "Rest",     "RestSumma"};
  rs->AddNew(names, {Variant("G1"), Variant("kg"), Variant(Date::FromYmd(2026, 1, 10)),
                     Variant("S1"), Variant(Cy("7")), Variant(Cy("75.09"))});
  rs->AddNew(names, {Variant("G1"), Variant("kg"), Variant(Date::FromYmd(2026, 1, 10)),
                     Variant("S2"), Variant(Cy("4")), Variant(Cy("42.91"))});
  rs->AddNew(names, {Variant("G2"), Variant("vnt"), Variant(Date::FromYmd(2026, 2, 1)),
                     Variant("S1"), Variant(Cy("5")), Variant(Cy("50"))});
  auto values = std::make_shared<NamedValueList>();
  values->Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rs)));
  return ReportDocument::FromValues("CRepStoreRestByTerm", *values, Date::FromYmd(2026, 12, 6));
}

constexpr const char* kLayout = R"({
  "report": "CRepStoreRestByTerm", "title": 30101, "orientation": "landscape",
  "header": [{"text": 30101, "style": "title"}],
  "tables": [{"list": "DataList", "columns": [
      {"name": "GoodCode", "caption": 30030}, {"name": "UnitCode", "caption": 30032},
      {"name": "Received", "caption": 30037}, {"name": "StoreCode", "caption": 30033},
      {"name": "Rest", "caption": 30034, "total": true, "unit": "UnitCode"},
      {"name": "RestSumma", "caption": 30035, "total": true}],
    "group": {"by": ["GoodCode"], "columns": ["GoodCode", "UnitCode", "Received"],
              "subtotal": 30021}}]
})";

// The cells of a sheet: reference -> (type attribute, value).
std::map<std::string, std::pair<std::string, std::string>> Cells(const std::string& sheet) {
  std::map<std::string, std::pair<std::string, std::string>> cells;
  std::regex cell(
      R"re(<c r="([A-Z]+[0-9]+)"([^>]*?)(?:/>|>(?:<f>[^<]*</f>)?<v>([^<]*)</v></c>))re");
  for (auto it = std::sregex_iterator(sheet.begin(), sheet.end(), cell);
       it != std::sregex_iterator(); ++it) {
    std::smatch m = *it;
    std::smatch type;
    std::string attributes = m[2];
    std::string t;
    if (std::regex_search(attributes, type, std::regex(R"re(t="([a-z]+)")re"))) t = type[1];
    cells[m[1]] = {t, m[3]};
  }
  return cells;
}

// The shared strings in order.
std::vector<std::string> Strings(const std::string& xml) {
  std::vector<std::string> out;
  std::regex si(R"re(<si><t[^>]*>([^<]*)</t></si>)re");
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), si); it != std::sregex_iterator();
       ++it) {
    out.push_back((*it)[1]);
  }
  return out;
}

TEST(ReportXlsxTest, NumbersAndDatesAreCellsAndTheHeadStaysInView) {
  qts::testing::TempDir dir;
  PrintedReport printed = LayOutReport(Rests(), PrintLayout::Parse(kLayout, "t"), nullptr);
  WriteXlsx(printed, dir / "r.xlsx");
  std::map<std::string, std::string> zip = qts::testing::ReadZip(dir / "r.xlsx");
  ASSERT_TRUE(zip.count("xl/worksheets/sheet1.xml"));
  const std::string& sheet = zip["xl/worksheets/sheet1.xml"];
  const std::vector<std::string> strings = Strings(zip["xl/sharedStrings.xml"]);
  auto cells = Cells(sheet);
  auto text = [&](const std::string& ref) {
    const auto& [type, value] = cells.at(ref);
    return type == "s" ? strings.at(std::stoul(value)) : "#" + value;
  };
  // Title (row 2, merged), a free row, the captions in row 4, then the lines.
  EXPECT_EQ(text("A2"), "PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ");
  EXPECT_EQ(text("A4"), "Prekės kodas");
  EXPECT_EQ(text("F4"), "Likučio suma");
  EXPECT_EQ(text("A5"), "G1");
  // A date is a number with a date format; quantities and sums are numbers.
  EXPECT_EQ(text("C5"),
            "#" + std::to_string(static_cast<int>(Date::FromYmd(2026, 1, 10).Serial())));
  EXPECT_EQ(text("E5"), "#7");
  EXPECT_EQ(text("F6"), "#42.91");
  EXPECT_FALSE(cells.count("A6") && cells["A6"].second.size()) << "G1's own values shown once";
  // G1's subtotal, then G2, then the totals: money first, then one line per unit.
  EXPECT_EQ(text("A7"), "Prekė iš viso");
  EXPECT_EQ(text("E7"), "#11");
  EXPECT_EQ(text("F7"), "#118");
  EXPECT_EQ(text("A8"), "G2");
  EXPECT_EQ(text("A9"), "Iš viso");
  EXPECT_EQ(text("F9"), "#168");
  EXPECT_EQ(text("B10"), "kg");
  EXPECT_EQ(text("E10"), "#11");
  EXPECT_EQ(text("B11"), "vnt");
  EXPECT_EQ(text("E11"), "#5");
  // The captions are frozen above the scrolling rows and printed on every page.
  EXPECT_NE(
      sheet.find(R"(<pane ySplit="4" topLeftCell="A5" activePane="bottomLeft" state="frozen"/>)"),
      std::string::npos);
  EXPECT_NE(zip["xl/workbook.xml"].find("_xlnm.Print_Titles"), std::string::npos);
  EXPECT_NE(zip["xl/workbook.xml"].find("$4:$4"), std::string::npos);
  // A4 on its side, one page wide, "psl. N iš M" at each page's foot.
  EXPECT_NE(sheet.find(R"(paperSize="9")"), std::string::npos);
  EXPECT_NE(sheet.find(R"(orientation="landscape")"), std::string::npos);
  EXPECT_NE(sheet.find(R"(fitToHeight="0")"), std::string::npos);
  EXPECT_NE(sheet.find("psl. &amp;P iš &amp;N"), std::string::npos);
  // G1's two store rows are an outline level under their subtotal.
  auto row = [&](int n) {
    const size_t at = sheet.find("<row r=\"" + std::to_string(n) + "\"");
    return at == std::string::npos ? std::string() : sheet.substr(at, sheet.find('>', at) - at);
  };
  EXPECT_NE(row(5).find(R"(outlineLevel="1")"), std::string::npos) << row(5);
  EXPECT_NE(row(6).find(R"(outlineLevel="1")"), std::string::npos) << row(6);
  EXPECT_EQ(row(7).find("outlineLevel"), std::string::npos) << row(7);
  // Sheets are named by the report's title, never by the data list.
  EXPECT_NE(zip["xl/workbook.xml"].find(R"(name="PREKIŲ LIKUČIAI PAGAL SANDĖL")"),
            std::string::npos)
      << zip["xl/workbook.xml"];
}

// Every column is at least as wide as the longest word of its caption, in letters, so that a
// caption wraps between words ("Likučio suma" under a column the layout leaves at its least).
TEST(ReportXlsxTest, ColumnsHoldTheLongestWordOfTheirCaption) {
  qts::testing::TempDir dir;
  PrintedReport printed = LayOutReport(Rests(), PrintLayout::Parse(kLayout, "t"), nullptr);
  WriteXlsx(printed, dir / "r.xlsx");
  const std::string sheet = qts::testing::ReadZip(dir / "r.xlsx")["xl/worksheets/sheet1.xml"];
  std::map<int, double> widths;
  std::regex col(R"re(<col min="([0-9]+)" max="([0-9]+)" width="([0-9.]+)")re");
  for (auto it = std::sregex_iterator(sheet.begin(), sheet.end(), col);
       it != std::sregex_iterator(); ++it) {
    for (int c = std::stoi((*it)[1]); c <= std::stoi((*it)[2]); ++c) {
      widths[c] = std::stod((*it)[3]);
    }
  }
  const std::vector<PrintedColumn>& columns = printed.tables.at(0).columns;
  ASSERT_EQ(widths.size(), columns.size());
  bool any_long = false;
  for (size_t c = 0; c < columns.size(); ++c) {
    std::istringstream words(columns[c].caption);
    size_t longest = 0;
    for (std::string word; words >> word;) {
      size_t letters = 0;
      for (char ch : word) letters += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
      longest = std::max(longest, letters);
    }
    any_long = any_long || longest > 6;
    EXPECT_GE(widths[static_cast<int>(c) + 1], static_cast<double>(longest)) << columns[c].caption;
  }
  EXPECT_TRUE(any_long) << "a caption with a word wider than the least column";
}

}  // namespace
}  // namespace qts::host
