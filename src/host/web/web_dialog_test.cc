// A document worked on from the page, through the server: the write-off road (header, rows and
// a merge, posting on save, pricing with its notice, printing the act), questions answered in
// the page, refusals that keep nothing, and what the book holds between actions -- nothing
// unsaved, so an abandoned session leaves no trace and another session writes meanwhile.
#include "host/web/web_dialog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/convert.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/documents/th_document.h"
#include "host/ui/user_settings.h"
#include "host/web/testing/web_fixture.h"

namespace qts::host {
namespace {

using testing::Browser;
using testing::WebServerTest;

// An open dialog in a browser: actions posted to it, the last answer kept.
class PageDialog {
 public:
  PageDialog(Browser& browser, const std::string& type, int idc) : browser_(browser) {
    last_ = browser_.PostJson("/api/dialogs", {{"type", type}, {"idc", idc}});
    path_ = "/api/dialogs/" + std::to_string(last_.value("dialog", 0));
  }
  const nlohmann::json& Act(nlohmann::json command) {
    last_ = browser_.PostJson(path_ + "/action", command);
    return last_;
  }
  const nlohmann::json& Set(const std::string& control, const std::string& value) {
    return Act({{"action", "set"}, {"control", control}, {"value", value}});
  }
  const nlohmann::json& Cell(const std::string& row, const std::string& column,
                             const std::string& value) {
    return Act({{"action", "cell"}, {"row", row}, {"column", column}, {"value", value}});
  }
  const nlohmann::json& Answer(nlohmann::json answer) {
    last_ = browser_.PostJson(path_ + "/answer", answer);
    return last_;
  }
  const nlohmann::json& Last() const { return last_; }
  const std::string& Path() const { return path_; }
  // The shown cell of column `key` in every grid row.
  std::vector<std::string> Column(const std::string& key) const {
    const nlohmann::json& grid = last_["view"]["grid"];
    size_t index = 0;
    while (index < grid["columns"].size() && grid["columns"][index]["key"] != key) ++index;
    std::vector<std::string> out;
    for (const auto& row : grid["rows"]) out.push_back(row[index]);
    return out;
  }
  std::string Field(const std::string& name) const {
    for (const auto& field : last_["view"]["fields"]) {
      if (field["name"] == name) return field["value"];
    }
    return "<none>";
  }

 private:
  Browser& browser_;
  std::string path_;
  nlohmann::json last_;
};

// The header of the write-off as the README's road fills it.
void FillWriteOffHeader(PageDialog& dialog) {
  for (const auto& [control, value] :
       std::vector<std::pair<std::string, std::string>>{{"edDate", "2026-12-31"},
                                                        {"cbDepartment", "GAM"},
                                                        {"cbStore", "GS"},
                                                        {"edName", "Sugadintos medžiagos"},
                                                        {"cbAccPerson", "P004"}}) {
    EXPECT_EQ(dialog.Set(control, value)["outcome"], "done") << control << ": " << dialog.Last();
  }
}

struct StoredRow {
  std::string good;
  double amount;
  double price;
};

std::vector<StoredRow> RowsOf(const std::shared_ptr<AppContext>& book, int idc) {
  QueryPtr q = book->CreateQuery("THGoodSpec");
  q->Fields().KeepOnly({"GoodCode", "Amount", "Price", "PosNumb"});
  q->AddWhere("oTable.DocID = " + std::to_string(idc));
  q->OrderBy("oTable.PosNumb");
  q->Open();
  std::vector<StoredRow> rows;
  RecordsetPtr rs = q->OpenRecordset();
  if (rs->RecordCount() == 0) return rows;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    rows.push_back(
        {CStr(rs->Value("GoodCode")), CDbl(rs->Value("Amount")), CDbl(rs->Value("Price"))});
  }
  return rows;
}

long DocumentCount(const std::shared_ptr<AppContext>& book) {
  QueryPtr q = book->CreateQuery("THDocument");
  q->Fields().KeepOnly({"IDC"});
  q->Open();
  return q->RecordCount();
}

TEST_F(WebServerTest, TheWriteOffRoadRunsFromThePage) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  const long documents = DocumentCount(Book());
  PageDialog dialog(browser, "MMO", 0);
  ASSERT_EQ(dialog.Last()["outcome"], "done") << dialog.Last();
  EXPECT_EQ(dialog.Last()["view"]["form"], "frmMMO");
  // The print forms are offered by their captions, the act first.
  const nlohmann::json& print_forms = dialog.Last()["view"]["printForms"];
  ASSERT_FALSE(print_forms.empty());
  EXPECT_EQ(print_forms[0]["class"], "CRepWriteOff");
  EXPECT_EQ(print_forms[0]["caption"], "Prekių nurašymo aktas");
  FillWriteOffHeader(dialog);
  dialog.Cell("new", "GoodCode", "MED00001");
  dialog.Cell("new", "Amount", "1");
  dialog.Cell("new", "GoodCode", "MED00002");
  dialog.Cell("new", "Amount", "2");
  // The same good again merges into its row.
  dialog.Cell("new", "GoodCode", "MED00001");
  dialog.Cell("new", "Amount", "0,5");
  EXPECT_EQ(dialog.Column("GoodCode"), (std::vector<std::string>{"MED00001", "MED00002"}));
  EXPECT_EQ(dialog.Column("Amount"), (std::vector<std::string>{"1,500", "2,000"}));
  EXPECT_GT(dialog.Last()["unsaved"].get<int>(), 0);
  // Nothing of it is in the book until it is saved.
  EXPECT_EQ(DocumentCount(Book()), documents);

  dialog.Set("chCarry", "1");
  const nlohmann::json& saved = dialog.Act({{"action", "save"}});
  ASSERT_TRUE(saved["written"].get<bool>()) << saved;
  const int idc = saved["idc"];
  ASSERT_GT(idc, 0);
  EXPECT_EQ(saved["unsaved"], 0);
  EXPECT_EQ(DocumentCount(Book()), documents + 1);
  {
    THDocument doc(Book());
    ASSERT_TRUE(doc.Load(idc));
    EXPECT_EQ(CLng(doc.Fields().Item("IsPosted").Value()), 1);
  }
  // Posted: the header's locked fields cannot be set.
  EXPECT_NE(dialog.Last()["view"]["status"].get<std::string>().find("patvirtintas"),
            std::string::npos);

  const nlohmann::json& priced = dialog.Act({{"action", "press"}, {"button", "btSetPriceOff"}});
  ASSERT_EQ(priced["outcome"], "done") << priced;
  ASSERT_EQ(priced["notices"].size(), 1u);
  EXPECT_EQ(priced["notices"][0]["number"], 622);
  EXPECT_EQ(RowsOf(Book(), idc)[0].price, 0.0);  // priced, not yet saved
  ASSERT_TRUE(dialog.Act({{"action", "save"}})["written"].get<bool>());
  std::vector<StoredRow> rows = RowsOf(Book(), idc);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].good, "MED00001");
  EXPECT_EQ(rows[0].amount, 1.5);
  EXPECT_EQ(rows[1].amount, 2.0);
  EXPECT_GT(rows[0].price, 0.0);

  const nlohmann::json& printed =
      dialog.Act({{"action", "print"}, {"class", "CRepWriteOff"}, {"format", "pdf"}});
  ASSERT_EQ(printed["outcome"], "done") << printed;
  httplib::Result pdf = browser.Get(printed["download"]);
  ASSERT_TRUE(pdf);
  EXPECT_EQ(pdf->status, 200);
  EXPECT_EQ(pdf->body.substr(0, 5), "%PDF-");
  EXPECT_EQ(pdf->get_header_value("Content-Type"), "application/pdf");
  // Another session cannot fetch this session's files.
  Browser other = NewBrowser();
  other.Start();
  EXPECT_EQ(other.Get(printed["download"])->status, 404);
}

TEST_F(WebServerTest, ARefusedCommandKeepsNothing) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  PageDialog dialog(browser, "MMO", 0);
  dialog.Set("edName", "kept");
  const nlohmann::json& refused = dialog.Set("edDate", "not a date");
  EXPECT_EQ(refused["outcome"], "refused");
  ASSERT_FALSE(refused["errors"].empty());
  EXPECT_EQ(refused["unsaved"], 1);
  EXPECT_EQ(dialog.Field("edName"), "kept");
  EXPECT_EQ(dialog.Cell("new", "GoodCode", "NO-SUCH-GOOD")["outcome"], "refused");
  EXPECT_EQ(dialog.Last()["unsaved"], 1);
  // A save the form's checks refuse writes nothing and keeps the changes for another try.
  const long documents = DocumentCount(Book());
  const nlohmann::json& save = dialog.Act({{"action", "save"}});
  EXPECT_FALSE(save["written"].get<bool>());
  EXPECT_EQ(save["outcome"], "refused") << save;
  EXPECT_EQ(DocumentCount(Book()), documents);
  EXPECT_EQ(save["unsaved"], 1);
  // Commands the page never sends, and unknown ones, are refused outright.
  EXPECT_EQ(browser.Post(dialog.Path() + "/action", R"({"action":"close"})")->status, 400);
  EXPECT_EQ(browser.Post(dialog.Path() + "/action", R"({"action":"sql"})")->status, 400);
  EXPECT_EQ(browser.Post(dialog.Path() + "/action", R"({"action":"print","class":"../x"})")->status,
            400);
  EXPECT_EQ(browser.Post("/api/dialogs/99/action", R"({"action":"save"})")->status, 400);
}

TEST_F(WebServerTest, AMenuIsAskedInThePageAndTheCommandRunsOnItsAnswer) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  PageDialog dialog(browser, "MMO", 0);
  FillWriteOffHeader(dialog);
  dialog.Cell("new", "GoodCode", "MED00001");
  dialog.Cell("new", "Amount", "1");
  const nlohmann::json& asked = dialog.Act({{"action", "press"}, {"button", "btUtil"}});
  ASSERT_EQ(asked["outcome"], "question") << asked;
  ASSERT_EQ(asked["question"]["kind"], "menu");
  ASSERT_FALSE(asked["question"]["items"].empty());
  const std::string item = asked["question"]["items"][0]["key"];
  const int unsaved = asked["unsaved"];
  const nlohmann::json& answered = dialog.Answer({{"item", item}});
  ASSERT_EQ(answered["outcome"], "done") << answered;
  EXPECT_EQ(answered["unsaved"], unsaved + 1);
  EXPECT_EQ(dialog.Column("BOperCode")[0], item);
  // An answer nobody waits for.
  EXPECT_EQ(browser.Post(dialog.Path() + "/answer", R"({"item":"x"})")->status, 400);
}

TEST_F(WebServerTest, AnAbandonedSessionLeavesTheBookAsItWasAndBlocksNobody) {
  StartServer();
  const long documents = DocumentCount(Book());
  Browser leaving = NewBrowser();
  leaving.Start();
  PageDialog left(leaving, "MMO", 0);
  FillWriteOffHeader(left);
  left.Cell("new", "GoodCode", "MED00001");
  left.Cell("new", "Amount", "3");
  ASSERT_EQ(left.Column("GoodCode").size(), 1u);

  // Meanwhile another person writes a document of their own.
  Browser working = NewBrowser();
  working.Start();
  PageDialog other(working, "MMO", 0);
  FillWriteOffHeader(other);
  other.Cell("new", "GoodCode", "MED00002");
  other.Cell("new", "Amount", "1");
  ASSERT_TRUE(other.Act({{"action", "save"}})["written"].get<bool>()) << other.Last();

  // The first person goes away: the server stops, their changes were never written.
  StopServer();
  EXPECT_EQ(DocumentCount(Book()), documents + 1);
  EXPECT_EQ(RowsOf(Book(), other.Last()["idc"]).size(), 1u);
}

TEST_F(WebServerTest, SessionsWorkAtOnceWithoutLosingRows) {
  StartServer();
  constexpr int kSessions = 4;
  constexpr int kRows = 3;
  std::vector<int> saved(kSessions, 0);
  std::vector<std::thread> people;
  for (int p = 0; p < kSessions; ++p) {
    people.emplace_back([&, p] {
      Browser browser = NewBrowser();
      browser.Start();
      PageDialog dialog(browser, "MMO", 0);
      FillWriteOffHeader(dialog);
      for (int r = 1; r <= kRows; ++r) {
        dialog.Cell("new", "GoodCode", "MED0000" + std::to_string(r));
        dialog.Cell("new", "Amount", std::to_string(p + 1));
      }
      const nlohmann::json& done = dialog.Act({{"action", "save"}});
      if (done["written"].get<bool>()) saved[p] = done["idc"];
    });
  }
  for (std::thread& person : people) person.join();
  std::vector<int> ids;
  for (int p = 0; p < kSessions; ++p) {
    ASSERT_GT(saved[p], 0) << "session " << p;
    std::vector<StoredRow> rows = RowsOf(Book(), saved[p]);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows)) << "session " << p;
    for (const StoredRow& row : rows) EXPECT_EQ(row.amount, p + 1);
    ids.push_back(saved[p]);
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
}

TEST_F(WebServerTest, AStoredDocumentOpensWithItsRowsAndItsLocks) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  nlohmann::json list = browser.GetJson("/api/documents?type=MMO&limit=1");
  const int idc = list["rows"][0]["IDC"];
  PageDialog dialog(browser, "MMO", idc);
  ASSERT_EQ(dialog.Last()["idc"], idc);
  EXPECT_EQ(dialog.Column("GoodCode").size(), RowsOf(Book(), idc).size());
  EXPECT_EQ(dialog.Last()["view"]["grid"]["positions"].size(), RowsOf(Book(), idc).size());
  // The sample's write-offs are posted: the number is locked, the grid read-only.
  bool number_locked = false;
  for (const auto& field : dialog.Last()["view"]["fields"]) {
    if (field["name"] == "edNumb") number_locked = !field["enabled"].get<bool>();
  }
  EXPECT_TRUE(number_locked);
  EXPECT_TRUE(dialog.Last()["view"]["grid"]["readOnly"].get<bool>());
  EXPECT_EQ(dialog.Set("edNumb", "X1")["outcome"], "refused");
  // A document of another type than asked, and one the book lacks, are refused.
  EXPECT_EQ(
      browser.Post("/api/dialogs", nlohmann::json{{"type", "MFC"}, {"idc", idc}}.dump())->status,
      400);
  EXPECT_EQ(browser.Post("/api/dialogs", R"({"type":"MMO","idc":99999999})")->status, 400);
}

TEST_F(WebServerTest, ASessionKeepsItsLastDialogsOpen) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  std::vector<std::string> paths;
  for (int i = 0; i < 9; ++i) {
    nlohmann::json opened = browser.PostJson("/api/dialogs", {{"type", "MMO"}, {"idc", 0}});
    paths.push_back("/api/dialogs/" + std::to_string(opened["dialog"].get<int>()));
  }
  // The first went when the ninth came; the others are still there.
  EXPECT_EQ(browser.Get(paths.front())->status, 400);
  EXPECT_EQ(browser.Get(paths[1])->status, 200);
  EXPECT_EQ(browser.Get(paths.back())->status, 200);
  EXPECT_EQ(browser.Post(paths.back() + "/close", "{}")->status, 200);
  EXPECT_EQ(browser.Get(paths.back())->status, 400);
}

TEST_F(WebServerTest, ReportsRunFromTheirFormsAndDownload) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  nlohmann::json reports = browser.GetJson("/api/reports");
  std::vector<std::string> classes;
  for (const auto& r : reports) classes.push_back(r["class"]);
  EXPECT_NE(std::find(classes.begin(), classes.end(), "CRepStoreRestByTerm"), classes.end());
  // The acts print from their documents' dialogs, not from the list.
  EXPECT_EQ(std::find(classes.begin(), classes.end(), "CRepWriteOff"), classes.end());

  nlohmann::json form = browser.GetJson("/api/reports/CRepStoreRestByTerm/form");
  EXPECT_EQ(form["form"], "frmRepStoreRestByTerm");
  bool has_days = false;
  for (const auto& control : form["controls"]) has_days |= control["name"] == "edDayAmount";
  EXPECT_TRUE(has_days);

  nlohmann::json result =
      browser.PostJson("/api/reports/CRepStoreRestByTerm/run",
                       {{"values", {{"edDayAmount", "60"}, {"selStore", "GS"}}}});
  ASSERT_TRUE(result.contains("result")) << result;
  ASSERT_FALSE(result["tables"].empty());
  EXPECT_GT(result["tables"][0]["rows"].get<int>(), 0);
  // The form remembers the stores chosen for the next time.
  nlohmann::json again = browser.GetJson("/api/reports/CRepStoreRestByTerm/form");
  std::string stores;
  for (const auto& control : again["controls"]) {
    if (control["name"] == "selStore") stores = control["value"];
  }
  EXPECT_NE(stores.find("GS"), std::string::npos) << again;
  const std::string base = "/api/results/" + std::to_string(result["result"].get<int>());
  httplib::Result csv = browser.Get(base + ".csv");
  ASSERT_TRUE(csv);
  EXPECT_EQ(csv->status, 200);
  EXPECT_EQ(csv->body.substr(0, 9), "GoodCode,");
  EXPECT_NE(csv->get_header_value("Content-Disposition").find("attachment"), std::string::npos);
  EXPECT_EQ(browser.Get(base + ".xlsx")->body.substr(0, 2), "PK");
  EXPECT_EQ(browser.Get(base + ".pdf")->body.substr(0, 5), "%PDF-");
  EXPECT_EQ(browser.Get(base + ".exe")->status, 404);

  // A bad value is the form's error, shown; nothing runs.
  nlohmann::json bad = browser.PostJson("/api/reports/CRepStoreRestByTerm/run",
                                        {{"values", {{"edDayAmount", "many"}}}});
  EXPECT_FALSE(bad.contains("result"));
  EXPECT_FALSE(bad["errors"].empty());
  EXPECT_EQ(browser.Get("/api/reports/CRepWriteOff/form")->status, 400);
  EXPECT_EQ(browser.Get("/api/reports/NoSuchReport/form")->status, 400);
}

// The page saves choices the way the terminal does: a store selection the run refuses is shown
// as the run's error and not remembered, and a remembered choice the form can no longer use is
// dropped with a notice the page shows.
TEST_F(WebServerTest, AReportFormRemembersOnlyWhatItAccepts) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  auto store_shown = [](const nlohmann::json& form) {
    for (const auto& control : form["controls"]) {
      if (control["name"] == "selStore") return control["value"].get<std::string>();
    }
    return std::string("<none>");
  };
  const std::string run = "/api/reports/CRepStoreRestByTerm/run";
  ASSERT_TRUE(browser.PostJson(run, {{"values", {{"edDayAmount", "0"}, {"selStore", "GS"}}}})
                  .contains("result"));
  nlohmann::json refused = browser.PostJson(
      run, {{"values",
             {{"edDayAmount", "0"}, {"selStore", "'GS'' OR 1=1 --"}, {"selStore.SelType", "1"}}}});
  EXPECT_FALSE(refused.contains("result")) << refused;
  ASSERT_FALSE(refused["errors"].empty());
  EXPECT_NE(refused["errors"][0]["description"].get<std::string>().find("OR 1=1"),
            std::string::npos);
  nlohmann::json form = browser.GetJson("/api/reports/CRepStoreRestByTerm/form");
  EXPECT_EQ(store_shown(form), "'GS'");
  EXPECT_TRUE(form["notices"].empty()) << form;

  // A store that was in the book when it was chosen and is not now.
  UserSettings().SaveFormValue("Store", "frmRepStoreRestByTerm", Variant("'GS','XX9'"));
  form = browser.GetJson("/api/reports/CRepStoreRestByTerm/form");
  EXPECT_EQ(store_shown(form), "");
  ASSERT_EQ(form["notices"].size(), 1u) << form;
  EXPECT_NE(form["notices"][0]["text"].get<std::string>().find("'XX9'"), std::string::npos);
  nlohmann::json all = browser.PostJson(run, {{"values", {{"edDayAmount", "0"}}}});
  EXPECT_TRUE(all.contains("result")) << all;
  EXPECT_TRUE(all["notices"].empty()) << "dropped once, not again";
}

}  // namespace
}  // namespace qts::host
