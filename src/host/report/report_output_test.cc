#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/date.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/report/report_document.h"
#include "host/report/report_writers.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

Currency Cy(const char* text) { return *Currency::Parse(text); }

// A data list as a report hands it over: goods with quantities and sums.
RecordsetPtr GoodsRows() {
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("GoodCode", adVarWChar, 20, adFldIsNullable);
  rs->Fields().Append("Name", adVarWChar, 60, adFldIsNullable);
  rs->Fields().Append("Rest", adCurrency, 0, adFldIsNullable);
  rs->Fields().Append("RestSumma", adCurrency, 0, adFldIsNullable);
  // An unknown name: a number without a total.
  rs->Fields().Append("Ratio", adCurrency, 0, adFldIsNullable);
  rs->Open();
  rs->AddNew({"GoodCode", "Name", "Rest", "RestSumma", "Ratio"},
             {Variant("G1"), Variant("Miltai, \"Ekstra\""), Variant(Cy("1000.5")),
              Variant(Cy("1234.56")), Variant(Cy("0.5"))});
  rs->AddNew({"GoodCode", "Name", "Rest", "RestSumma", "Ratio"},
             {Variant("G2"), Variant("<b>Dėžės</b>"), Variant(Cy("4")), Variant::Null(),
              Variant(Cy("2"))});
  rs->MoveFirst();
  return rs;
}

NamedValueListPtr ReportValues(RecordsetPtr rows) {
  auto values = std::make_shared<NamedValueList>();
  values->Add("ToDate", Kind::kDate, Variant(Date::FromYmd(2026, 12, 5)));
  values->Add("StoreCode", Kind::kText, Variant("'S1'"));
  values->Add("GoodGroup", Kind::kText, Variant());
  values->Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rows)));
  return values;
}

ReportDocument GoodsDocument() {
  return ReportDocument::FromValues("CRepStoreRestByTerm", *ReportValues(GoodsRows()),
                                    Date::FromYmd(2026, 12, 6));
}

// --- Lithuanian formats ---

struct GroupedCase {
  const char* value;
  int decimals;
  const char* expected;
};

class FormatGroupedTest : public ::testing::TestWithParam<GroupedCase> {};

TEST_P(FormatGroupedTest, GroupsThousandsAndRoundsHalfAway) {
  const GroupedCase& c = GetParam();
  EXPECT_EQ(FormatGrouped(Cy(c.value), c.decimals), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatGroupedTest,
    ::testing::Values(GroupedCase{"1234.56", 2, "1 234,56"}, GroupedCase{"0", 2, "0,00"},
                      GroupedCase{"999", 2, "999,00"}, GroupedCase{"1000", 0, "1 000"},
                      GroupedCase{"-1234567.891", 2, "-1 234 567,89"},
                      GroupedCase{"0.005", 2, "0,01"}, GroupedCase{"-0.005", 2, "-0,01"},
                      GroupedCase{"999.9995", 3, "1 000,000"}, GroupedCase{"12.3456", 4, "12,3456"},
                      GroupedCase{"-922337203685477.5808", 2, "-922 337 203 685 477,58"}));

TEST(FormatValueTest, ByKind) {
  EXPECT_EQ(FormatValue(Variant(Date::FromYmd(2026, 12, 5)), Kind::kDate), "2026-12-05");
  EXPECT_EQ(FormatValue(Variant(Date::FromYmdHms(2026, 1, 2, 7, 5, 0)), Kind::kDate),
            "2026-01-02 07:05");
  EXPECT_EQ(FormatValue(Variant(Cy("1234.5")), Kind::kMoney), "1 234,50");
  EXPECT_EQ(FormatValue(Variant(Cy("2.5")), Kind::kQuantity), "2,500");
  EXPECT_EQ(FormatValue(Variant(Cy("2.5")), Kind::kPrice), "2,5000");
  EXPECT_EQ(FormatValue(Variant(2.25), Kind::kFloat), "2,25");
  EXPECT_EQ(FormatValue(Variant("'S1','S2'"), Kind::kText), "'S1','S2'");
  EXPECT_EQ(FormatValue(Variant::Null(), Kind::kMoney), "");
  EXPECT_EQ(FormatValue(Variant(), Kind::kDate), "");
}

// --- Reading a report's values ---

TEST(ReportDocumentTest, SplitsHeaderValuesAndDataLists) {
  RecordsetPtr rows = GoodsRows();
  rows->MoveNext();  // the report's own position must survive printing
  ReportDocument doc = ReportDocument::FromValues("CRepStoreRestByTerm", *ReportValues(rows),
                                                  Date::FromYmd(2026, 12, 6));
  EXPECT_EQ(CStr(rows->Value("GoodCode")), "G2");
  EXPECT_EQ(doc.title, "PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ");
  ASSERT_EQ(doc.values.size(), 3u);
  EXPECT_EQ(doc.values[0].caption, "Gauta iki");
  ASSERT_EQ(doc.lists.size(), 1u);
  const ReportList& list = doc.lists[0];
  EXPECT_EQ(list.name, "DataList");
  ASSERT_EQ(list.columns.size(), 5u);
  EXPECT_EQ(list.columns[2].kind, Code(Kind::kQuantity));
  EXPECT_EQ(list.columns[3].kind, Code(Kind::kMoney));
  EXPECT_EQ(list.columns[4].kind, Code(Kind::kFloat));
  EXPECT_EQ(list.columns[4].caption, "Ratio");
  ASSERT_EQ(list.rows.size(), 2u) << "rows are read from the first, whatever the position";
  EXPECT_EQ(list.Total(2), Cy("1004.5"));
  EXPECT_EQ(list.Total(3), Cy("1234.56")) << "Null cells are skipped";
  EXPECT_FALSE(list.Total(4).has_value());
  EXPECT_FALSE(list.Total(0).has_value());
}

TEST(ReportDocumentTest, FilteredDataListPrintsWhatItShows) {
  RecordsetPtr rows = GoodsRows();
  rows->SetFilter(Variant("GoodCode = 'G2'"));
  ReportDocument doc = ReportDocument::FromValues("X", *ReportValues(rows), Date());
  ASSERT_EQ(doc.lists[0].rows.size(), 1u);
  EXPECT_EQ(CStr(doc.lists[0].rows[0][0]), "G2");
}

TEST(ReportDocumentTest, EmptyAndWrongDataLists) {
  NamedValueList values;
  values.Add("DataList", Kind::kObject);
  ReportDocument doc = ReportDocument::FromValues("X", values, Date());
  ASSERT_EQ(doc.lists.size(), 1u);
  EXPECT_TRUE(doc.lists[0].rows.empty());
  EXPECT_EQ(doc.title, "X");

  NamedValueList wrong;
  wrong.Add("DataList", Kind::kObject, Variant("rows"));
  EXPECT_QTS_ERROR(ReportDocument::FromValues("X", wrong, Date()), kErrTypeMismatch);
  NamedValueList not_a_list;
  not_a_list.Add("DataList", Kind::kObject,
                 Variant(std::static_pointer_cast<Object>(std::make_shared<NamedValueList>())));
  EXPECT_QTS_ERROR(ReportDocument::FromValues("X", not_a_list, Date()), kErrTypeMismatch);
}

// --- Outputs ---

// RFC 4180 reader for the checks below: rows of fields.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
      ++i;
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(field.empty() && row.empty()) << "the last line must end with CRLF";
  return rows;
}

TEST(ReportCsvTest, ParsesBackToTheRows) {
  ReportDocument doc = GoodsDocument();
  auto rows = ParseCsv(RenderCsv(doc.lists[0]));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"GoodCode", "Name", "Rest", "RestSumma", "Ratio"}));
  EXPECT_EQ(rows[1],
            (std::vector<std::string>{"G1", "Miltai, \"Ekstra\"", "1 000,500", "1 234,56", "0,5"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"G2", "<b>Dėžės</b>", "4,000", "", "2"}));
}

TEST(ReportJsonTest, KeepsNumbersAndDates) {
  nlohmann::json j = nlohmann::json::parse(RenderJson(GoodsDocument()).dump());
  EXPECT_EQ(j["report"], "CRepStoreRestByTerm");
  EXPECT_EQ(j["printed"], "2026-12-06");
  EXPECT_EQ(j["values"]["ToDate"], "2026-12-05");
  EXPECT_TRUE(j["values"]["GoodGroup"].is_null());
  const auto& list = j["lists"]["DataList"];
  ASSERT_EQ(list["rows"].size(), 2u);
  EXPECT_EQ(list["columns"][3]["kind"], 19);
  EXPECT_EQ(list["rows"][0]["Name"], "Miltai, \"Ekstra\"");
  EXPECT_DOUBLE_EQ(list["rows"][0]["RestSumma"].get<double>(), 1234.56);
  EXPECT_EQ(list["rows"][0]["RestSumma"].dump(), "1234.56");
  EXPECT_TRUE(list["rows"][1]["RestSumma"].is_null());
}

TEST(ReportHtmlTest, EscapesAndTotals) {
  std::string html = RenderHtml(GoodsDocument());
  EXPECT_NE(html.find("<title>PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ</title>"),
            std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;Dėžės&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<b>Dėžės"), std::string::npos);
  EXPECT_NE(html.find("<th>Likutis</th>"), std::string::npos);
  EXPECT_NE(html.find("<th>Gauta iki:</th><td>2026-12-05</td>"), std::string::npos);
  size_t foot = html.find("<tfoot>");
  ASSERT_NE(foot, std::string::npos);
  std::string totals = html.substr(foot, html.find("</tfoot>") - foot);
  EXPECT_NE(totals.find("1 004,500"), std::string::npos);
  EXPECT_NE(totals.find("1 234,56"), std::string::npos);
  EXPECT_NE(html.find("Atspausdinta 2026-12-06"), std::string::npos);
}

TEST(ReportHtmlTest, EmptyListSaysSo) {
  NamedValueList values;
  values.Add("DataList", Kind::kObject);
  std::string html = RenderHtml(ReportDocument::FromValues("X", values, Date()));
  EXPECT_NE(html.find("Duomenų nėra"), std::string::npos);
  EXPECT_EQ(html.find("<tfoot>"), std::string::npos);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ReportFilesTest, CsvWritesOneFilePerList) {
  qts::testing::TempDir dir;
  auto values = ReportValues(GoodsRows());
  values->Add("Totals", Kind::kObject, Variant(std::static_pointer_cast<Object>(GoodsRows())));
  ReportDocument doc = ReportDocument::FromValues("X", *values, Date());
  auto written = WriteReport(doc, ReportFormat::kCsv, dir / "rest.csv");
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1], dir / "rest-Totals.csv");
  EXPECT_EQ(ParseCsv(ReadFile(written[1])).size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(dir / "rest.csv.part"));
}

TEST(ReportFilesTest, UnwritablePathLeavesNothing) {
  qts::testing::TempDir dir;
  std::filesystem::path missing = dir / "no-such-folder" / "r.html";
  EXPECT_QTS_ERROR(WriteReport(GoodsDocument(), ReportFormat::kHtml, missing), kErrFileAccess);
  EXPECT_QTS_ERROR(WriteReport(GoodsDocument(), ReportFormat::kXlsx, missing), kErrFileAccess);
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

TEST(ReportFilesTest, XlsxIsAZipWithASheetPerList) {
  qts::testing::TempDir dir;
  auto values = ReportValues(GoodsRows());
  values->Add("Totals", Kind::kObject, Variant(std::static_pointer_cast<Object>(GoodsRows())));
  ReportDocument doc = ReportDocument::FromValues("CRepStoreRestByTerm", *values, Date::Today());
  WriteReport(doc, ReportFormat::kXlsx, dir / "r.xlsx");
  std::string bytes = ReadFile(dir / "r.xlsx");
  ASSERT_GT(bytes.size(), 22u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
  // The end-of-central-directory record closes every zip.
  EXPECT_NE(bytes.rfind(std::string("PK\x05\x06", 4)), std::string::npos);
  // Entry names are stored uncompressed in the central directory.
  EXPECT_NE(bytes.find("xl/workbook.xml"), std::string::npos);
  EXPECT_NE(bytes.find("xl/worksheets/sheet1.xml"), std::string::npos);
  EXPECT_NE(bytes.find("xl/worksheets/sheet2.xml"), std::string::npos);
  EXPECT_EQ(bytes.find("xl/worksheets/sheet3.xml"), std::string::npos);
}

TEST(ReportFormatTest, Names) {
  EXPECT_EQ(ParseReportFormat("XLSX"), ReportFormat::kXlsx);
  EXPECT_EQ(ReportFormatName(ParseReportFormat("csv")), "csv");
  EXPECT_QTS_ERROR(ParseReportFormat("pdf"), kErrInvalidCall);
}

}  // namespace
}  // namespace qts::host
