#include "host/report/print_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/report/printed_report.h"
#include "host/services/message_table.h"

namespace qts::host {
namespace {

// A small layout every case below starts from.
constexpr const char* kGood = R"({
  "report": "CRepX", "title": 30101, "orientation": "landscape",
  "header": [{"value": "@EnterpriseName", "style": "company"},
             {"caption": 30016, "value": "StoreCode", "lookup": "STStore", "all": 30011},
             {"caption": 30014, "text": 30013, "args": ["BegDate", "EndDate"]},
             {"barcode": "BarCode"}],
  "tables": [{"list": "DataList", "columns": [
      {"name": "GoodCode", "caption": 30030, "width": 10},
      {"name": "UnitCode", "caption": 30032},
      {"name": "Rest", "caption": 30034, "total": true, "unit": "UnitCode",
       "when": {"column": "RestsList", "equals": 1}}],
    "group": {"by": ["GoodCode"], "columns": ["GoodCode"], "subtotal": 30021}}],
  "footer": [{"signatures": [{"role": 30607, "name": "cName1"},
                             {"position": "@DirectorPosition", "name": "Director"}]}]
})";

TEST(PrintLayoutTest, ReadsEveryPart) {
  PrintLayout layout = PrintLayout::Parse(kGood, "test");
  EXPECT_EQ(layout.report, "CRepX");
  EXPECT_EQ(layout.orientation, PageOrientation::kLandscape);
  ASSERT_EQ(layout.header.size(), 4u);
  EXPECT_EQ(layout.header[0].style, HeaderStyle::kCompany);
  EXPECT_EQ(layout.header[1].lookup, "STStore");
  EXPECT_EQ(layout.header[2].args, (std::vector<std::string>{"BegDate", "EndDate"}));
  EXPECT_EQ(layout.header[3].barcode, "BarCode");
  const LayoutTable* table = layout.FindTable("datalist");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->columns[0].width, 10);
  EXPECT_EQ(table->columns[1].width, 10) << "the default width";
  ASSERT_TRUE(table->columns[2].when.has_value());
  EXPECT_EQ(table->columns[2].when->column, "RestsList");
  EXPECT_EQ(table->group->subtotal, 30021);
  ASSERT_EQ(layout.signatures.size(), 2u);
  EXPECT_EQ(layout.signatures[1].position, "@DirectorPosition");
  EXPECT_EQ(layout.CaptionKeys(), (std::vector<int32_t>{30011, 30013, 30014, 30016, 30021, 30030,
                                                        30032, 30034, 30101, 30607}));
  EXPECT_EQ(layout.ValueNames(),
            (std::vector<std::string>{"StoreCode", "BegDate", "EndDate", "BarCode", "DataList",
                                      "cName1", "Director"}));
}

struct BadLayout {
  const char* id;
  const char* from;  // a part of kGood
  const char* to;    // what it becomes
  const char* says;  // part of the error's description
};

class PrintLayoutErrorTest : public ::testing::TestWithParam<BadLayout> {};

TEST_P(PrintLayoutErrorTest, IsRefusedNamingThePlace) {
  const BadLayout& c = GetParam();
  std::string text = kGood;
  const size_t at = text.find(c.from);
  ASSERT_NE(at, std::string::npos) << c.from;
  text.replace(at, std::string_view(c.from).size(), c.to);
  EXPECT_QTS_ERROR_TEXT(PrintLayout::Parse(text, "CRepX.json"), kErrPrintLayout, "CRepX.json",
                        c.says);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrintLayoutErrorTest,
    ::testing::Values(
        BadLayout{"not_json", "\"report\"", "report", "is not JSON"},
        BadLayout{"unknown_key", "\"orientation\"", "\"paper\": 1, \"orientation\"",
                  "unknown key \"paper\""},
        BadLayout{"no_title", "\"title\": 30101,", "", "needs \"title\""},
        BadLayout{"text_key", "\"title\": 30101", "\"title\": \"PREKĖS\"", "not a message key"},
        BadLayout{"orientation", "\"landscape\"", "\"sideways\"", "not portrait or landscape"},
        BadLayout{"engine_value", "@EnterpriseName", "@Company", "\"@Company\" is no value"},
        BadLayout{"two_kinds", "\"value\": \"StoreCode\",",
                  "\"value\": \"StoreCode\", \"text\": 1,", "exactly one of"},
        BadLayout{"style", "\"style\": \"company\"", "\"style\": \"bold\"", "\"bold\" is not"},
        BadLayout{"args_alone", "\"text\": 30013, ", "", "\"args\" belong to a \"text\""},
        BadLayout{"column_caption", "\"caption\": 30032", "\"width\": 3", "needs \"caption\""},
        BadLayout{"column_twice", "\"name\": \"UnitCode\"", "\"name\": \"goodcode\"",
                  "shown twice"},
        BadLayout{"unit_not_shown", "\"unit\": \"UnitCode\"", "\"unit\": \"AccUnitCode\"",
                  "unit column \"AccUnitCode\" is not shown"},
        BadLayout{"unit_no_total", "\"total\": true, ", "", "a \"unit\" belongs to a total"},
        BadLayout{"width", "\"width\": 10", "\"width\": 0", "not a positive number"},
        BadLayout{"when", "\"equals\": 1", "\"equals\": [1]", "not a whole number or a text"},
        BadLayout{"group_column", "\"columns\": [\"GoodCode\"]", "\"columns\": [\"Name\"]",
                  "group column \"Name\" is not shown"},
        BadLayout{"group_by", "\"by\": [\"GoodCode\"], ", "", "needs \"by\""},
        BadLayout{"signature", "{\"role\": 30607, ", "{", "needs a \"role\" or a \"position\""}),
    [](const auto& info) { return std::string(info.param.id); });

// Every layout kept beside the reports reads, is for the report its file is named after, and
// uses only texts the message table holds.
TEST(PrintLayoutTest, EveryLayoutFileReadsAndItsTextsExist) {
  const std::vector<std::string> classes = PrintLayoutClasses();
  ASSERT_FALSE(classes.empty()) << "no layouts in " << PrintLayoutDir();
  for (const std::string& name : classes) {
    SCOPED_TRACE(name);
    std::optional<PrintLayout> layout = LoadPrintLayout(name);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->report, name);
    EXPECT_NO_THROW(CheckCaptionKeys(*layout, ReportMessages()));
    EXPECT_FALSE(layout->tables.empty());
  }
  EXPECT_FALSE(LoadPrintLayout("CRepNoSuchReport").has_value());
}

TEST(PrintLayoutTest, AKeyTheMessageTableLacksIsNamed) {
  PrintLayout layout = PrintLayout::Parse(kGood, "test");
  layout.tables[0].columns[0].caption = 99999;
  EXPECT_QTS_ERROR_TEXT(CheckCaptionKeys(layout, ReportMessages()), kErrPrintLayout, "CRepX",
                        "99999");
}

}  // namespace
}  // namespace qts::host
