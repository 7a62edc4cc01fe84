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
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_document.h"
#include "host/report/report_writers.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

Currency Cy(const char* text) { return *Currency::Parse(text); }

// A data list as a report hands it over: goods with quantities and sums.
RecordsetPtr GoodsRows() {
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("GoodCode", adVarWChar, 20, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("Name", adVarWChar, 60, adFldIsNullable, Code(Kind::kName));
  rs->Fields().Append("Rest", adCurrency, 0, adFldIsNullable, Code(Kind::kQuantity));
  rs->Fields().Append("RestSumma", adCurrency, 0, adFldIsNullable, Code(Kind::kMoney));
  // Declared by nobody: its storage type decides (a plain number).
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
  ASSERT_EQ(doc.values.size(), 3u);
  EXPECT_EQ(doc.values[0].name, "ToDate");
  EXPECT_EQ(doc.FindValue("storecode")->kind, 15);
  ASSERT_EQ(doc.lists.size(), 1u);
  const ReportList& list = *doc.FindList("DataList");
  ASSERT_EQ(list.columns.size(), 5u);
  ASSERT_EQ(list.rows.size(), 2u) << "rows are read from the first, whatever the position";
  EXPECT_EQ(list.Find("restsumma"), 3u);
}

// Each column has the kind its report declared, whatever its name says: a column named like
// a quantity that was declared a plain number is one, and the other way round.
TEST(ReportDocumentTest, KindsAreTheDeclaredOnes) {
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("Rest", adCurrency, 0, adFldIsNullable, Code(Kind::kFloat));
  rs->Fields().Append("FreeAmount", adCurrency, 0, adFldIsNullable, Code(Kind::kQuantity));
  rs->Fields().Append("Author", adInteger, 0, adFldIsNullable, Code(Kind::kUser));
  rs->Fields().Append("When", adDate, 0, adFldIsNullable);
  rs->Fields().Append("Note", adVarWChar, 0, adFldIsNullable);
  rs->Open();
  NamedValueList values;
  values.Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rs)));
  ReportDocument doc = ReportDocument::FromValues("X", values, Date());
  std::vector<int32_t> kinds;
  for (const ReportColumn& c : doc.lists[0].columns) kinds.push_back(c.kind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{Code(Kind::kFloat), Code(Kind::kQuantity),
                                         Code(Kind::kUser), Code(Kind::kDate), Code(Kind::kText)}));
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

TEST(ReportCsvTest, PlainNumbersParseBackToTheRows) {
  ReportDocument doc = GoodsDocument();
  auto rows = ParseCsv(RenderCsv(doc.lists[0]));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"GoodCode", "Name", "Rest", "RestSumma", "Ratio"}));
  EXPECT_EQ(rows[1],
            (std::vector<std::string>{"G1", "Miltai, \"Ekstra\"", "1000.5", "1234.56", "0.5"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"G2", "<b>Dėžės</b>", "4", "", "2"}));
}

// The local form: fields separated by semicolons, a decimal comma, each kind's decimals and no
// thousands separator, as a spreadsheet set to Lithuanian reads numbers.
TEST(ReportCsvTest, LithuanianLocalForm) {
  ReportDocument doc = GoodsDocument();
  const std::string text = RenderCsv(doc.lists[0], CsvLocale::kLithuanian);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "GoodCode;Name;Rest;RestSumma;Ratio");
  EXPECT_NE(text.find("G1;\"Miltai, \"\"Ekstra\"\"\";1000,500;1234,56;0,5\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("G2;<b>Dėžės</b>;4,000;;2\r\n"), std::string::npos) << text;
  EXPECT_EQ(ParseCsvLocale("LT"), CsvLocale::kLithuanian);
  EXPECT_EQ(ParseCsvLocale(""), CsvLocale::kPlain);
  EXPECT_QTS_ERROR(ParseCsvLocale("de"), kErrInvalidCall);
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
  EXPECT_EQ(list["columns"][3]["name"], "RestSumma");
  EXPECT_EQ(list["rows"][0]["Name"], "Miltai, \"Ekstra\"");
  EXPECT_DOUBLE_EQ(list["rows"][0]["RestSumma"].get<double>(), 1234.56);
  EXPECT_EQ(list["rows"][0]["RestSumma"].dump(), "1234.56");
  EXPECT_TRUE(list["rows"][1]["RestSumma"].is_null());
}

// The goods list laid out: grouped by good, money and quantities totalled per unit.
constexpr const char* kGoodsLayout = R"({
  "report": "CRepStoreRestByTerm", "title": 30101, "orientation": "landscape",
  "header": [{"text": 30101, "style": "title"}, {"caption": 30102, "value": "ToDate"},
             {"caption": 30016, "value": "StoreCode", "lookup": "STStore", "all": 30011}],
  "tables": [{"list": "DataList", "columns": [
      {"name": "GoodCode", "caption": 30030}, {"name": "Name", "caption": 30031, "wrap": true},
      {"name": "Rest", "caption": 30034},
      {"name": "RestSumma", "caption": 30035, "total": true}]}]
})";

PrintedReport GoodsPrinted(const ReportDocument& doc) {
  return LayOutReport(doc, PrintLayout::Parse(kGoodsLayout, "test"), nullptr);
}

TEST(ReportHtmlTest, DrawsThePrintedReportEscaped) {
  ReportDocument doc = GoodsDocument();
  std::string html = RenderHtml(GoodsPrinted(doc));
  EXPECT_NE(html.find("<title>PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ</title>"),
            std::string::npos);
  EXPECT_NE(html.find("<h1>PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ</h1>"), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;Dėžės&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<b>Dėžės"), std::string::npos);
  EXPECT_NE(html.find("<th class=\"num\">Likučio suma</th>"), std::string::npos);
  EXPECT_NE(html.find("<tr><th>Gauta iki:</th><td>2026-12-05</td></tr>"), std::string::npos);
  EXPECT_NE(html.find("<tr><th>Sandėliai:</th><td>S1</td></tr>"), std::string::npos)
      << "without a book the codes are said without names, and never in quotes";
  // The head is repeated on every printed page; the totals are no table foot (a foot would be
  // repeated too).
  EXPECT_NE(html.find("<thead><tr>"), std::string::npos);
  EXPECT_EQ(html.find("<tfoot>"), std::string::npos);
  size_t totals = html.find("<tbody class=\"totals\">");
  ASSERT_NE(totals, std::string::npos);
  EXPECT_NE(html.find("<td class=\"label\" colspan=\"3\">Iš viso</td><td "
                      "class=\"num\">1 234,56</td>",
                      totals),
            std::string::npos)
      << html.substr(totals);
  // A4 in the layout's orientation, with the print time and "psl. N iš M" at each page's foot.
  EXPECT_NE(html.find("@page{size:A4 landscape;"), std::string::npos);
  EXPECT_NE(html.find("content:\"psl. \" counter(page) \" iš \" counter(pages)"),
            std::string::npos);
  EXPECT_NE(html.find("\"Atspausdinta 2026-12-06\""), std::string::npos);
}

TEST(ReportHtmlTest, EmptyListSaysSo) {
  NamedValueList values;
  values.Add("DataList", Kind::kObject);
  std::string html = RenderHtml(
      LayOutReport(ReportDocument::FromValues("X", values, Date()), std::nullopt, nullptr));
  EXPECT_NE(html.find("Duomenų nėra"), std::string::npos);
  EXPECT_EQ(html.find("<tbody class=\"totals\">"), std::string::npos) << "no totals row";
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
  auto written = WriteReport(doc, PrintedReport(), ReportFormat::kCsv, dir / "rest.csv");
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1], dir / "rest-Totals.csv");
  EXPECT_EQ(ParseCsv(ReadFile(written[1])).size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(dir / "rest.csv.part"));
}

class ReportFilesTest : public ::testing::TestWithParam<ReportFormat> {};

TEST_P(ReportFilesTest, UnwritablePathLeavesNothing) {
  qts::testing::TempDir dir;
  std::filesystem::path missing = dir / "no-such-folder" / "r.out";
  ReportDocument doc = GoodsDocument();
  PrintedReport printed = GoodsPrinted(doc);
  EXPECT_QTS_ERROR(WriteReport(doc, printed, GetParam(), missing), kErrFileAccess);
  EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
  // Written where it can be, the file is there and its temporary is gone.
  auto written = WriteReport(doc, printed, GetParam(), dir / "r.out");
  ASSERT_EQ(written.size(), 1u);
  EXPECT_GT(std::filesystem::file_size(dir / "r.out"), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir / "r.out.part"));
}

INSTANTIATE_TEST_SUITE_P(Formats, ReportFilesTest,
                         ::testing::Values(ReportFormat::kHtml, ReportFormat::kPdf,
                                           ReportFormat::kCsv, ReportFormat::kJson,
                                           ReportFormat::kXlsx),
                         [](const auto& info) {
                           return std::string(ReportFormatName(info.param));
                         });

TEST(ReportFormatTest, Names) {
  EXPECT_EQ(ParseReportFormat("XLSX"), ReportFormat::kXlsx);
  EXPECT_EQ(ParseReportFormat("pdf"), ReportFormat::kPdf);
  EXPECT_EQ(ReportFormatName(ParseReportFormat("csv")), "csv");
  EXPECT_QTS_ERROR(ParseReportFormat("docx"), kErrInvalidCall);
}

}  // namespace
}  // namespace qts::host
