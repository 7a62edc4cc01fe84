#include "host/report/printed_report.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/data/testing/sample_book.h"

namespace qts::host {
namespace {

Currency Cy(const char* text) { return *Currency::Parse(text); }

struct Col {
  const char* name;
  int32_t type;
  int32_t kind;
};

// A data list with declared kinds, as a report's query hands it over.
RecordsetPtr List(const std::vector<Col>& columns, const std::vector<std::vector<Variant>>& rows) {
  auto rs = std::make_shared<Recordset>();
  for (const Col& c : columns) rs->Fields().Append(c.name, c.type, 0, adFldIsNullable, c.kind);
  rs->Open();
  for (const auto& row : rows) {
    std::vector<std::string> names;
    for (const Col& c : columns) names.push_back(c.name);
    rs->AddNew(names, row);
  }
  return rs;
}

// The rest-by-term shape: per good its unfixed quantity and cost, repeated on each store row.
RecordsetPtr Rests() {
  return List({{"GoodCode", adVarWChar, 7},
               {"Name", adVarWChar, 16},
               {"UnitCode", adVarWChar, 7},
               {"AmountAccount", adCurrency, 20},
               {"CostSumma", adCurrency, 19},
               {"StoreCode", adVarWChar, 7},
               {"Rest", adCurrency, 20},
               {"RestSumma", adCurrency, 19}},
              {{Variant("G1"), Variant("Flour"), Variant("KG"), Variant(Cy("11")),
                Variant(Cy("118")), Variant("S1"), Variant(Cy("7")), Variant(Cy("75.09"))},
               {Variant("G1"), Variant("Flour"), Variant("KG"), Variant(Cy("11")),
                Variant(Cy("118")), Variant("S2"), Variant(Cy("4")), Variant(Cy("42.91"))},
               {Variant("G2"), Variant("Boxes"), Variant("VNT"), Variant(Cy("5")),
                Variant(Cy("50")), Variant("S1"), Variant(Cy("5")), Variant(Cy("50"))}});
}

constexpr const char* kRestsLayout = R"({
  "report": "CRepStoreRestByTerm", "title": 30101,
  "header": [{"value": "@EnterpriseName", "style": "company"},
             {"text": 30101, "style": "title"},
             {"caption": 30015, "value": "@Today"},
             {"caption": 30016, "value": "StoreCode", "lookup": "STStore", "all": 30011},
             {"caption": 30017, "value": "GoodCode", "lookup": "REFGood", "all": 30012,
              "unless_set": "GoodGroup"},
             {"caption": 30018, "value": "GoodGroup", "lookup": "REFGood", "if_set": "GoodGroup"},
             {"caption": 30014, "text": 30013, "args": ["ToDate", "ToDate"]}],
  "tables": [{"list": "DataList", "columns": [
      {"name": "GoodCode", "caption": 30030}, {"name": "Name", "caption": 30031, "wrap": true},
      {"name": "UnitCode", "caption": 30032},
      {"name": "AmountAccount", "caption": 30103, "total": true, "unit": "UnitCode"},
      {"name": "CostSumma", "caption": 30104, "total": true},
      {"name": "StoreCode", "caption": 30033},
      {"name": "Rest", "caption": 30034, "total": true, "unit": "UnitCode"},
      {"name": "RestSumma", "caption": 30035, "total": true}],
    "group": {"by": ["GoodCode"],
              "columns": ["GoodCode", "Name", "UnitCode", "AmountAccount", "CostSumma"],
              "subtotal": 30021}}]
})";

// A line as text: its kind, label and cells.
std::string Text(const PrintedLine& line) {
  std::string out = line.kind == LineKind::kTotal      ? "T"
                    : line.kind == LineKind::kSubtotal ? "S"
                                                       : (line.group_start ? "D" : "d");
  if (!line.label.empty()) out += " " + line.label;
  for (const Variant& cell : line.cells) {
    out += "|";
    if (cell.IsEmpty()) continue;
    out += cell.Type() == VarType::kCurrency ? cell.AsCurrency().ToString() : CStr(cell);
  }
  return out;
}

class PrintedReportTest : public testing::SampleBook {
 protected:
  PrintedReport LayOut(NamedValueList& values, const char* layout = kRestsLayout) {
    doc_ = ReportDocument::FromValues("CRepStoreRestByTerm", values, Date::FromYmd(2026, 12, 6));
    return LayOutReport(doc_, PrintLayout::Parse(layout, "test"), book_);
  }
  NamedValueListPtr RestValues(const char* stores = "", const char* goods = "",
                               const char* group = "") {
    auto values = std::make_shared<NamedValueList>();
    values->Add("ToDate", Kind::kDate, Variant(Date::FromYmd(2026, 10, 7)));
    values->Add("StoreCode", Kind::kText, Variant(stores));
    values->Add("GoodCode", Kind::kCode, Variant(goods));
    values->Add("GoodGroup", Kind::kText, Variant(group));
    values->Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(Rests())));
    return values;
  }
  std::vector<std::string> Header(const PrintedReport& r) {
    std::vector<std::string> lines;
    for (const PrintedHeaderLine& l : r.header) lines.push_back(l.caption + ": " + l.text);
    return lines;
  }

  ReportDocument doc_;
};

// A good in two stores: its own values are shown on its first line and counted once, the
// stores' rests per line; quantities are summed per unit and never across units.
TEST_F(PrintedReportTest, GroupValuesAreShownAndCountedOnceAndUnitsKeptApart) {
  NamedValueListPtr values = RestValues();
  PrintedReport r = LayOut(*values);
  ASSERT_EQ(r.tables.size(), 1u);
  std::vector<std::string> lines;
  for (const PrintedLine& line : r.tables[0].lines) lines.push_back(Text(line));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "D|G1|Flour|KG|11|118|S1|7|75.09",
                       "d||||||S2|4|42.91",
                       // The good's rest over its stores; its own values are not summed.
                       "S Prekė iš viso|||KG||||11|118",
                       "D|G2|Boxes|VNT|5|50|S1|5|50",
                       // 118 + 50, not 118 twice: G1's cost is counted once.
                       "T Iš viso|||||168|||168",
                       "T|||KG|11|||11|",
                       "T|||VNT|5|||5|",
                   }));
  EXPECT_EQ(r.tables[0].rows, 3u);
  EXPECT_EQ(r.tables[0].columns[3].caption, "Nenurašytas kiekis");
  EXPECT_TRUE(r.tables[0].columns[3].numeric);
  EXPECT_TRUE(r.tables[0].columns[3].group);
  EXPECT_FALSE(r.tables[0].columns[6].group);
  EXPECT_DOUBLE_EQ(r.tables[0].columns[0].width, 1.0 / 8);
}

// A document laid out and thrown away gives its cells to the lines: the same lines as a copy.
TEST_F(PrintedReportTest, MovingTheDocumentGivesTheSameLines) {
  NamedValueListPtr values = RestValues();
  PrintedReport copied = LayOut(*values);
  ReportDocument doc =
      ReportDocument::FromValues("CRepStoreRestByTerm", *values, Date::FromYmd(2026, 12, 6));
  PrintedReport moved =
      LayOutReport(std::move(doc), PrintLayout::Parse(kRestsLayout, "test"), book_);
  ASSERT_EQ(moved.tables[0].lines.size(), copied.tables[0].lines.size());
  for (size_t i = 0; i < moved.tables[0].lines.size(); ++i) {
    EXPECT_EQ(Text(moved.tables[0].lines[i]), Text(copied.tables[0].lines[i])) << i;
  }
}

// Good G1 in two stores, its name given on its first row or only on its later one, G2 in one;
// a long note no layout prints.
RecordsetPtr Goods(bool named_first) {
  const Variant note("a note far longer than fifteen characters");
  const Variant flour("Flour of the finest grind, in sacks");
  return List({{"GoodCode", adVarWChar, 7},
               {"Name", adVarWChar, 16},
               {"UnitCode", adVarWChar, 7},
               {"Amount", adCurrency, 20},
               {"StoreCode", adVarWChar, 7},
               {"Rest", adCurrency, 20},
               {"Note", adVarWChar, 1}},
              {{Variant("G1"), named_first ? flour : Variant(""), Variant("KG"), Variant(Cy("11")),
                Variant("S1"), Variant(Cy("7")), note},
               {Variant("G2"), Variant("Boxes of the largest size we keep"), Variant("VNT"),
                Variant(Cy("5")), Variant("S1"), Variant(Cy("5")), note},
               {Variant("G1"), flour, Variant("KG"), Variant(Cy("11")), Variant("S2"),
                Variant(Cy("4")), note}});
}

struct MoveCase {
  const char* id;
  const char* columns;  // the table's columns
};

class PrintedReportMoveTest : public PrintedReportTest,
                              public ::testing::WithParamInterface<MoveCase> {};

// A document read for its layout alone (the columns it reads) and laid out by moving its cells
// into the lines gives the lines of the whole document laid out by copying: the group's values
// taken from its first row, from a later row, and from a column another column reads too.
TEST_P(PrintedReportMoveTest, GivesTheLinesOfTheWholeDocument) {
  const std::string layout_text = std::string(R"({"report": "X", "title": 30101, "tables": [{
      "list": "DataList", "columns": [)") +
                                  GetParam().columns + R"(],
      "group": {"by": ["GoodCode"], "columns": ["GoodCode", "Name", "UnitCode", "Amount"],
                "subtotal": 30021}}]})";
  const PrintLayout layout = PrintLayout::Parse(layout_text, "test");
  for (RecordsetPtr list : {Goods(true), Goods(false)}) {
    NamedValueList values;
    values.Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(list)));
    const ReportDocument whole = ReportDocument::FromValues("X", values, Date::FromYmd(2026, 1, 1));
    PrintedReport copied = LayOutReport(whole, layout, book_);
    ReportDocument read =
        ReportDocument::FromValues("X", values, Date::FromYmd(2026, 1, 1), layout);
    // Every column is listed with its kind; a column the layout does not read is not read.
    ASSERT_EQ(read.lists[0].columns.size(), whole.lists[0].columns.size());
    EXPECT_EQ(read.lists[0].columns.back().kind, whole.lists[0].columns.back().kind);
    const size_t note = *read.lists[0].Find("Note");
    EXPECT_TRUE(read.lists[0].rows[0][note].IsEmpty());
    EXPECT_FALSE(whole.lists[0].rows[0][note].IsEmpty());
    PrintedReport moved = LayOutReport(std::move(read), layout, book_);
    std::vector<std::string> copied_lines, moved_lines;
    for (const PrintedLine& line : copied.tables[0].lines) copied_lines.push_back(Text(line));
    for (const PrintedLine& line : moved.tables[0].lines) moved_lines.push_back(Text(line));
    EXPECT_EQ(moved_lines, copied_lines);
    // The group's name is on its first line, wherever in the group it was given.
    EXPECT_NE(copied_lines[0].find("|Flour"), std::string::npos) << copied_lines[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PrintedReportMoveTest,
    ::testing::Values(
        MoveCase{"GroupValuesAndRowValues",
                 R"({"name": "GoodCode", "caption": 30030}, {"name": "Name", "caption": 30031},
                    {"name": "UnitCode", "caption": 30032},
                    {"name": "Amount", "caption": 30103, "total": true, "unit": "UnitCode"},
                    {"name": "StoreCode", "caption": 30033},
                    {"name": "Rest", "caption": 30034, "total": true, "unit": "UnitCode"})"},
        // The name also decides where the rest is shown: it is copied, not moved.
        MoveCase{"GroupValueReadByACondition",
                 R"({"name": "GoodCode", "caption": 30030}, {"name": "Name", "caption": 30031},
                    {"name": "UnitCode", "caption": 30032},
                    {"name": "Amount", "caption": 30103, "total": true, "unit": "UnitCode"},
                    {"name": "Rest", "caption": 30034, "total": true, "unit": "UnitCode",
                     "when": {"column": "Name", "equals": "Flour of the finest grind, in sacks"}})"}),
    [](const auto& info) { return std::string(info.param.id); });

TEST_F(PrintedReportTest, OneUnitGivesOneTotalLine) {
  auto rs = Rests();
  rs->SetFilter(Variant("GoodCode = 'G1'"));
  NamedValueListPtr values = RestValues();
  values->Item("DataList").SetValue(Variant(std::static_pointer_cast<Object>(rs)));
  PrintedReport r = LayOut(*values);
  EXPECT_EQ(Text(r.tables[0].lines.back()), "T Iš viso|||KG|11|118||11|118");
  EXPECT_EQ(r.tables[0].lines.size(), 4u);
}

TEST_F(PrintedReportTest, HeaderSaysTheChoicesAsAPersonWould) {
  NamedValueListPtr all = RestValues();
  EXPECT_EQ(Header(LayOut(*all)),
            (std::vector<std::string>{": PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ",
                                      "Likučiai dienai: 2026-12-06", "Sandėliai: visi",
                                      "Prekės: visos", "Laikotarpis: 2026-10-07 – 2026-10-07"}))
      << "no choice is every one; a company without a name leaves its line out";

  NamedValueListPtr chosen = RestValues("'S1','S2'", "'G2','NOPE'");
  std::vector<std::string> header = Header(LayOut(*chosen));
  EXPECT_EQ(header[2], "Sandėliai: Main (S1), Second (S2)");
  EXPECT_EQ(header[3], "Prekės: Boxes (G2), NOPE") << "a code the book lacks is shown as given";

  NamedValueListPtr group = RestValues("S2", "GR", "GR");
  header = Header(LayOut(*group));
  EXPECT_EQ(header[2], "Sandėliai: Second (S2)");
  EXPECT_EQ(header[3], "Prekių grupė: Group (GR)") << "a group is said once, as a group";
  EXPECT_EQ(header.size(), 5u);

  NamedValueListPtr many = RestValues("'A','B','C','D','E','F','G'");
  EXPECT_EQ(Header(LayOut(*many))[2], "Sandėliai: A, B, C, D, E ir dar 2");
}

TEST_F(PrintedReportTest, EngineValuesComeFromTheBook) {
  book_->Settings().Item("EnterpriseName").SetValue(Variant("UAB \"Testas\""));
  NamedValueListPtr values = RestValues();
  PrintedReport r = LayOut(*values);
  EXPECT_EQ(r.header[0].text, "UAB \"Testas\"");
  EXPECT_EQ(r.header[0].style, HeaderStyle::kCompany);
  EXPECT_EQ(r.title, "PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ");
  EXPECT_EQ(r.PageText(2, 5), "psl. 2 iš 5");
  EXPECT_EQ(r.PrintedText(), "Atspausdinta 2026-12-06");
}

// Order rows and rest rows in one list: each column shows on its own rows only, and a subtotal
// that would repeat a single value is left out.
TEST_F(PrintedReportTest, ColumnsShownOnTheirRowsOnlyAndNoEmptySubtotals) {
  auto rs = List({{"GoodCode", adVarWChar, 7},
                  {"UnitCode", adVarWChar, 7},
                  {"Amount", adCurrency, 20},
                  {"StoreCode", adVarWChar, 7},
                  {"Rest", adCurrency, 20},
                  {"RestsList", adCurrency, 20}},
                 {{Variant("G1"), Variant("KG"), Variant(Cy("8")), Variant(""), Variant(Cy("0")),
                   Variant(Cy("0"))},
                  {Variant("G1"), Variant(""), Variant(Cy("0")), Variant("S1"), Variant(Cy("7")),
                   Variant(Cy("1"))},
                  {Variant("G3"), Variant("L"), Variant(Cy("4")), Variant(""), Variant(Cy("0")),
                   Variant(Cy("0"))},
                  {Variant("G3"), Variant("L"), Variant(Cy("2")), Variant(""), Variant(Cy("0")),
                   Variant(Cy("0"))}});
  NamedValueList values;
  values.Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rs)));
  PrintedReport r = LayOut(values, R"({"report": "X", "title": 30201, "tables": [{
      "list": "DataList", "columns": [
        {"name": "GoodCode", "caption": 30030}, {"name": "UnitCode", "caption": 30032},
        {"name": "Amount", "caption": 30204, "total": true, "unit": "UnitCode",
         "when": {"column": "RestsList", "equals": 0}},
        {"name": "StoreCode", "caption": 30033, "when": {"column": "RestsList", "equals": 1}},
        {"name": "Rest", "caption": 30034, "total": true, "unit": "UnitCode",
         "when": {"column": "RestsList", "equals": 1}}],
      "group": {"by": ["GoodCode"], "columns": ["GoodCode", "UnitCode"], "subtotal": 30021}}]})");
  std::vector<std::string> lines;
  for (const PrintedLine& line : r.tables[0].lines) lines.push_back(Text(line));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "D|G1|KG|8||",
                       // The rest row's unit is its group's.
                       "d||||S1|7",
                       "D|G3|L|4||",
                       "d|||2||",
                       "S Prekė iš viso||L|6||",
                       "T Iš viso|||||",
                       "T||KG|8||7",
                       "T||L|6||",
                   }));
}

// Rows group by a date and an amount wherever they stand in the list: equal values are one
// group (1.5 and 1.50, a date with its time dropped), different ones are not, and a group's
// rows keep their order.
TEST_F(PrintedReportTest, DatesAndAmountsGroupTheirRowsWhereverTheyStand) {
  const Variant d1(Date::FromYmd(2026, 3, 2));
  const Variant d1_again(Date::FromYmdHms(2026, 3, 2, 0, 0, 0));
  const Variant d2(Date::FromYmd(2026, 3, 3));
  auto rs = List({{"Day", adDate, 8}, {"Price", adCurrency, 19}, {"Amount", adCurrency, 19}},
                 {{d1, Variant(Cy("1.5")), Variant(Cy("1"))},
                  {d2, Variant(Cy("1.5")), Variant(Cy("2"))},
                  {d1_again, Variant(Cy("1.50")), Variant(Cy("4"))},
                  {d1, Variant(Cy("-1.5")), Variant(Cy("8"))},
                  {d2, Variant(Cy("1.5")), Variant(Cy("16"))}});
  NamedValueList values;
  values.Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rs)));
  PrintedReport r = LayOut(values, R"({"report": "X", "title": 30201, "tables": [{
      "list": "DataList", "columns": [
        {"name": "Day", "caption": 30603}, {"name": "Price", "caption": 30204},
        {"name": "Amount", "caption": 30034, "total": true}],
      "group": {"by": ["Day", "Price"], "columns": ["Day", "Price"], "subtotal": 30021}}]})");
  std::vector<std::string> lines;
  for (const PrintedLine& line : r.tables[0].lines) lines.push_back(Text(line));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "D|2026-03-02|1.5|1",
                       "d|||4",
                       "S Prekė iš viso|||5",
                       "D|2026-03-03|1.5|2",
                       "d|||16",
                       "S Prekė iš viso|||18",
                       "D|2026-03-02|-1.5|8",
                       "T Iš viso|||31",
                   }));
}

struct Misfit {
  const char* id;
  const char* from;
  const char* to;
  const char* says;
};

class PrintedReportMisfitTest : public PrintedReportTest,
                                public ::testing::WithParamInterface<Misfit> {};

// A layout that names what the report does not hand over, or sums what cannot be summed, is
// an error naming the report and the name.
TEST_P(PrintedReportMisfitTest, IsAnErrorNamingIt) {
  const Misfit& c = GetParam();
  std::string layout = kRestsLayout;
  const size_t at = layout.find(c.from);
  ASSERT_NE(at, std::string::npos) << c.from;
  layout.replace(at, std::string_view(c.from).size(), c.to);
  NamedValueListPtr values = RestValues();
  EXPECT_QTS_ERROR_TEXT(LayOut(*values, layout.c_str()), kErrPrintLayout, "CRepStoreRestByTerm",
                        c.says);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrintedReportMisfitTest,
    ::testing::Values(
        Misfit{"column", "{\"name\": \"StoreCode\"", "{\"name\": \"Store\"", "column \"Store\""},
        Misfit{"value", "\"value\": \"StoreCode\"", "\"value\": \"Stores\"", "value \"Stores\""},
        Misfit{"list", "\"list\": \"DataList\"", "\"list\": \"TableA\"", "data list \"TableA\""},
        Misfit{"text_total", "\"caption\": 30031, \"wrap\": true",
               "\"caption\": 30031, \"total\": true", "\"Name\", which is no number"},
        Misfit{"unitless_quantity",
               "\"total\": true, \"unit\": \"UnitCode\"},\n      {\"name\": "
               "\"CostSumma\"",
               "\"total\": true},\n      {\"name\": \"CostSumma\"", "without its unit"},
        Misfit{"group_by", "\"by\": [\"GoodCode\"]", "\"by\": [\"IDC\"]", "groups by \"IDC\""}),
    [](const auto& info) { return std::string(info.param.id); });

TEST_F(PrintedReportTest, WithoutALayoutEveryColumnUnderItsNameAndMoneyTotalled) {
  NamedValueListPtr values = RestValues();
  doc_ = ReportDocument::FromValues("CRepX", *values, Date::FromYmd(2026, 12, 6));
  PrintedReport r = LayOutReport(doc_, std::nullopt, book_);
  EXPECT_EQ(r.title, "CRepX");
  ASSERT_EQ(r.tables[0].columns.size(), 8u);
  EXPECT_EQ(r.tables[0].columns[6].caption, "Rest");
  EXPECT_EQ(Text(r.tables[0].lines.back()), "T Iš viso|||||286|||168")
      << "money only: without a layout nobody says the quantities' units";
}

TEST(SelectionCodesTest, QuotedAndPlainLists) {
  EXPECT_EQ(SelectionCodes("'S1','S2'"), (std::vector<std::string>{"S1", "S2"}));
  EXPECT_EQ(SelectionCodes("'O''Brien'"), (std::vector<std::string>{"O'Brien"}));
  EXPECT_EQ(SelectionCodes("S1, S2,,S3 "), (std::vector<std::string>{"S1", "S2", "S3"}));
  EXPECT_TRUE(SelectionCodes("").empty());
}

}  // namespace
}  // namespace qts::host
