#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_writers.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

// A store line's rest: unique, and never the sum of a good's rests (those never end in 07).
int64_t Rest(int good, int store) { return good * 1000 + store * 100 + 7; }

// Goods with one to three store rows each, in kilograms and pieces: enough for several pages.
ReportDocument ManyGoods(int goods) {
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("GoodCode", adVarWChar, 0, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("Name", adVarWChar, 0, adFldIsNullable, Code(Kind::kName));
  rs->Fields().Append("UnitCode", adVarWChar, 0, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("StoreCode", adVarWChar, 0, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("Rest", adCurrency, 0, adFldIsNullable, Code(Kind::kQuantity));
  rs->Fields().Append("RestSumma", adCurrency, 0, adFldIsNullable, Code(Kind::kMoney));
  rs->Open();
  for (int g = 1; g <= goods; ++g) {
    const int stores = 1 + g % 3;
    for (int s = 1; s <= stores; ++s) {
      char code[16];
      std::snprintf(code, sizeof code, "G%04d", g);
      rs->AddNew(
          {"GoodCode", "Name", "UnitCode", "StoreCode", "Rest", "RestSumma"},
          {Variant(code), Variant("Ąžuolinė lentelė Nr. " + std::to_string(g)),
           Variant(g % 2 ? "kg" : "vnt"), Variant("S" + std::to_string(s)),
           Variant(Currency::FromLong(Rest(g, s))), Variant(Currency::FromLong(g * 100 + s))});
    }
  }
  auto values = std::make_shared<NamedValueList>();
  values->Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rs)));
  return ReportDocument::FromValues("CRepStoreRestByTerm", *values, Date::FromYmd(2026, 12, 6));
}

constexpr const char* kLayout = R"({
  "report": "CRepStoreRestByTerm", "title": 30101,
  "header": [{"text": 30101, "style": "title"}],
  "tables": [{"list": "DataList", "columns": [
      {"name": "GoodCode", "caption": 30030, "width": 10},
      {"name": "Name", "caption": 30031, "width": 30, "wrap": true},
      {"name": "UnitCode", "caption": 30032, "width": 6},
      {"name": "StoreCode", "caption": 30033, "width": 8},
      {"name": "Rest", "caption": 30034, "width": 12, "total": true, "unit": "UnitCode"},
      {"name": "RestSumma", "caption": 30035, "width": 12, "total": true}],
    "group": {"by": ["GoodCode"], "columns": ["GoodCode", "Name", "UnitCode"],
              "subtotal": 30021}}]
})";

// The text of each page, as poppler's pdftotext reads it from the file: what a reader's
// search or copy would find, so it proves the fonts carry their letters.
std::vector<std::string> PageTexts(const std::filesystem::path& pdf) {
  std::vector<std::string> pages;
  const std::string command = "pdftotext -layout '" + pdf.string() + "' - 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return pages;
  std::string text;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) text.append(buffer, n);
  size_t start = 0;
  for (size_t ff = text.find('\f'); ff != std::string::npos; ff = text.find('\f', start)) {
    pages.push_back(text.substr(start, ff - start));
    start = ff + 1;
  }
  return pages;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ReportPdfTest, PagesCarryTheirHeadNumbersAndWholeGroups) {
  ASSERT_EQ(std::system("pdftotext -v > /dev/null 2>&1"), 0)
      << "pdftotext (poppler-utils) reads the PDF back here; scripts/install-deps installs it";
  qts::testing::TempDir dir;
  const std::filesystem::path file = dir / "r.pdf";
  PrintedReport printed = LayOutReport(ManyGoods(120), PrintLayout::Parse(kLayout, "t"), nullptr);
  const int pages = WritePdf(printed, file);
  ASSERT_GE(pages, 4);
  std::vector<std::string> texts = PageTexts(file);
  ASSERT_EQ(static_cast<int>(texts.size()), pages);
  EXPECT_TRUE(Has(texts[0], "PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ")) << texts[0];
  EXPECT_TRUE(Has(texts[0], "Ąžuolinė lentelė Nr. 1")) << "Lithuanian letters are text";
  for (int p = 0; p < pages; ++p) {
    SCOPED_TRACE("page " + std::to_string(p + 1));
    const std::string& text = texts[static_cast<size_t>(p)];
    EXPECT_TRUE(Has(text, "Likučio suma")) << "the table's head on every page";
    EXPECT_TRUE(Has(text, "psl. " + std::to_string(p + 1) + " iš " + std::to_string(pages)));
    EXPECT_TRUE(Has(text, "Atspausdinta 2026-12-06"));
  }
  // Every store line of a good is on its good's page (goods 2, 50 and 95 have three stores).
  for (int g : {2, 50, 95}) {
    int page_of_first = -1;
    for (int s = 1; s <= 1 + g % 3; ++s) {
      const std::string rest = " " + FormatGrouped(Currency::FromLong(Rest(g, s)), 3);
      int found = -1;
      for (int p = 0; p < pages; ++p) {
        if (Has(texts[static_cast<size_t>(p)], rest)) found = p;
      }
      ASSERT_GE(found, 0) << rest;
      if (page_of_first < 0) page_of_first = found;
      EXPECT_EQ(found, page_of_first) << "good " << g << " is split over two pages";
    }
  }
  // The totals come last, per unit, with the last good: never alone on a page.
  const std::string& last = texts.back();
  EXPECT_TRUE(Has(last, "Iš viso"));
  EXPECT_TRUE(Has(last, "G0120"));
  EXPECT_FALSE(Has(texts[texts.size() - 2], "Iš viso "));
}

TEST(ReportPdfTest, OrientationAndAnEmptyList) {
  qts::testing::TempDir dir;
  std::string landscape = kLayout;
  landscape.replace(landscape.find("\"title\": 30101,"), 15,
                    "\"title\": 30101, \"orientation\": \"landscape\",");
  PrintedReport printed = LayOutReport(ManyGoods(0), PrintLayout::Parse(landscape, "t"), nullptr);
  EXPECT_EQ(WritePdf(printed, dir / "e.pdf"), 1);
  std::vector<std::string> texts = PageTexts(dir / "e.pdf");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(Has(texts[0], "Duomenų nėra"));
  EXPECT_TRUE(Has(texts[0], "psl. 1 iš 1"));
  // pdfinfo's page size: A4 on its side.
  std::unique_ptr<FILE, int (*)(FILE*)> info(
      popen(("pdfinfo '" + (dir / "e.pdf").string() + "'").c_str(), "r"), pclose);
  ASSERT_NE(info, nullptr);
  std::string text;
  char buffer[1024];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, info.get())) > 0) text.append(buffer, n);
  EXPECT_TRUE(Has(text, "841.89 x 595.276 pts (A4)")) << text;
}

// The packaging declaration's table A: a code, a name and twelve narrow columns of tonnes
// under long captions.
ReportDocument Declared() {
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("Code", adVarWChar, 0, adFldIsNullable, Code(Kind::kCode));
  rs->Fields().Append("Name", adVarWChar, 0, adFldIsNullable, Code(Kind::kName));
  for (int f = 502; f <= 513; ++f) {
    rs->Fields().Append("f" + std::to_string(f), adCurrency, 0, adFldIsNullable,
                        Code(Kind::kWeight));
  }
  rs->Open();
  rs->AddNew({"Code", "Name", "f502"},
             {Variant("POP"), Variant("Popierius ir kartonas"), Variant(Currency::FromLong(2))});
  auto values = std::make_shared<NamedValueList>();
  values->Add("TableA", Kind::kObject, Variant(std::static_pointer_cast<Object>(rs)));
  return ReportDocument::FromValues("CRepPACK", *values, Date::FromYmd(2026, 12, 6));
}

std::string DeclarationLayout(const char* orientation) {
  std::string columns =
      R"({"name": "Code", "caption": 30812, "width": 5},
         {"name": "Name", "caption": 30813, "width": 12, "wrap": true})";
  for (int f = 502; f <= 513; ++f) {
    columns += ", {\"name\": \"f" + std::to_string(f) +
               "\", \"caption\": " + std::to_string(30820 + f - 502) + ", \"code\": \"" +
               std::to_string(f) + "\", \"width\": 6}";
  }
  return std::string(R"({"report": "CRepPACK", "title": 30800, "orientation": ")") + orientation +
         R"(", "tables": [{"list": "TableA", "columns": [)" + columns + "]}]}";
}

// pdftotext's text of `pdf` in the order it was drawn: each caption line by line.
std::string RawText(const std::filesystem::path& pdf) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      popen(("pdftotext -raw '" + pdf.string() + "' - 2>&1").c_str(), "r"), pclose);
  std::string text;
  char buffer[4096];
  size_t n = 0;
  while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) text.append(buffer, n);
  return text;
}

// A column's caption breaks between its words. A word wider than its column is first set
// smaller (on a landscape page every word of the declaration's captions fits so); on a
// portrait page, where some still do not fit, such a word is broken with a hyphen -- never
// between two letters without one.
TEST(ReportPdfTest, ColumnCaptionsBreakBetweenWordsOrWithAHyphen) {
  ASSERT_EQ(std::system("pdftotext -v > /dev/null 2>&1"), 0)
      << "pdftotext (poppler-utils) reads the PDF back here; scripts/install-deps installs it";
  for (const char* orientation : {"landscape", "portrait"}) {
    SCOPED_TRACE(orientation);
    qts::testing::TempDir dir;
    PrintedReport printed =
        LayOutReport(Declared(), PrintLayout::Parse(DeclarationLayout(orientation), "t"), nullptr);
    ASSERT_EQ(WritePdf(printed, dir / "d.pdf"), 1);
    const std::string text = RawText(dir / "d.pdf");
    // A word broken with a hyphen (a soft hyphen, U+00AD, where the line breaks) joined again;
    // any other line end parts words.
    constexpr std::string_view kHyphenEnd = "\u00AD\n";
    std::string joined;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text.compare(i, kHyphenEnd.size(), kHyphenEnd) == 0) {
        i += kHyphenEnd.size() - 1;
      } else {
        joined += text[i] == '\n' ? ' ' : text[i];
      }
    }
    const std::string words = " " + joined + " ";
    for (const PrintedColumn& column : printed.tables.at(0).columns) {
      std::string caption = column.caption;
      for (size_t start = 0; start < caption.size();) {
        size_t end = caption.find(' ', start);
        if (end == std::string::npos) end = caption.size();
        const std::string word = caption.substr(start, end - start);
        EXPECT_TRUE(Has(words, " " + word + " "))
            << "\"" << word << "\" of \"" << caption << "\" is broken:\n"
            << text;
        start = end + 1;
      }
    }
    const bool hyphenated = Has(text, std::string(kHyphenEnd));
    EXPECT_EQ(hyphenated, std::string(orientation) == "portrait") << text;
  }
}

}  // namespace
}  // namespace qts::host
