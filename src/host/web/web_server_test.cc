// The server's doors: who may talk to it (loopback host names, the token), which requests may
// change something (the session's CSRF token, JSON, the same origin), the limits on bodies,
// sessions and request rates, what it answers with (escaped JSON, the page's own files only),
// and the document list with its search and paging, where nothing sent becomes SQL.
#include "host/web/web_server.h"

#include <gtest/gtest.h>

#include <string>

#include "core/testing/qts_matchers.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/web/testing/web_fixture.h"

namespace qts::host {
namespace {

using testing::Browser;
using testing::WebServerTest;

int Status(const httplib::Result& result) { return result ? result->status : -1; }

long DocumentCount(const std::shared_ptr<AppContext>& book) {
  QueryPtr q = book->CreateQuery("THDocument");
  q->Fields().KeepOnly({"IDC"});
  q->Open();
  return q->RecordCount();
}

TEST(WebServerAddress, LoopbackAddressesAreKnown) {
  EXPECT_TRUE(IsLoopbackAddress("127.0.0.1"));
  EXPECT_TRUE(IsLoopbackAddress("127.5.0.1"));
  EXPECT_TRUE(IsLoopbackAddress("::1"));
  EXPECT_TRUE(IsLoopbackAddress("localhost"));
  EXPECT_FALSE(IsLoopbackAddress("0.0.0.0"));
  EXPECT_FALSE(IsLoopbackAddress("192.168.1.10"));
  EXPECT_FALSE(IsLoopbackAddress("::"));
}

TEST_F(WebServerTest, OffLoopbackATokenIsGeneratedAndPrintedInTheAddress) {
  WebServerOptions options;
  options.book = book_;
  options.address = "0.0.0.0";
  WebServer server(options);  // not bound: nothing listens on the network in a test
  EXPECT_EQ(server.Token().size(), 32u);
  WebServerOptions again = options;
  WebServer other(again);
  EXPECT_NE(other.Token(), server.Token());
}

TEST_F(WebServerTest, ABookThatIsNotThereIsRefusedBeforeListening) {
  WebServerOptions options;
  options.book = dir_ / "missing.db";
  EXPECT_QTS_ERROR_TEXT(WebServer{options}, kErrInvalidCall, "no book");
}

TEST_F(WebServerTest, OnLoopbackOnlyItsOwnHostNamesAreAnswered) {
  StartServer();
  EXPECT_EQ(Status(Browser(port_).Get("/api/session")), 200);
  EXPECT_EQ(Status(Browser(port_, "localhost:" + std::to_string(port_)).Get("/api/session")), 200);
  // A name of another site resolving to loopback: a page there must not reach the book.
  EXPECT_EQ(Status(Browser(port_, "evil.example:" + std::to_string(port_)).Get("/api/session")),
            403);
  EXPECT_EQ(Status(Browser(port_, "127.0.0.1:1").Get("/api/session")), 403);
}

TEST_F(WebServerTest, WithATokenEveryRequestMustCarryIt) {
  StartServer([](WebServerOptions& o) { o.token = "s3cret-token"; });
  EXPECT_EQ(Status(NewBrowser().Get("/api/session")), 401);
  EXPECT_EQ(Status(NewBrowser().Get("/")), 401);
  EXPECT_EQ(Status(NewBrowser().Get("/api/session?token=wrong")), 401);
  EXPECT_EQ(Status(NewBrowser().Get("/api/session", {{"Authorization", "Bearer wrong"}})), 401);
  EXPECT_EQ(Status(NewBrowser().Get("/api/session", {{"Authorization", "Bearer s3cret-token"}})),
            200);
  EXPECT_EQ(Status(NewBrowser().Get("/api/session", {{"Cookie", "qts_token=s3cret-token"}})), 200);
  // The address printed at start carries it once; the browser keeps it in a cookie.
  Browser browser = NewBrowser();
  EXPECT_EQ(Status(browser.Get("/?token=s3cret-token")), 200);
  EXPECT_NE(browser.Cookie().find("qts_token=s3cret-token"), std::string::npos);
  EXPECT_EQ(Status(browser.Get("/api/types")), 200);
}

// A request that changes something, and what is wrong with it.
struct CsrfCase {
  const char* name;
  bool csrf;
  const char* wrong_csrf;
  const char* type;
  const char* origin;
  int status;
};

class WebServerCsrfTest : public WebServerTest, public ::testing::WithParamInterface<CsrfCase> {};

TEST_P(WebServerCsrfTest, StateChangingRequestsComeFromThePageOnly) {
  const CsrfCase& c = GetParam();
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  httplib::Headers headers;
  if (c.wrong_csrf) headers.emplace("X-QTS-CSRF", c.wrong_csrf);
  if (c.origin) headers.emplace("Origin", c.origin);
  const std::string origin_ok = "http://127.0.0.1:" + std::to_string(port_);
  if (c.origin && std::string(c.origin) == "self") {
    headers.erase("Origin");
    headers.emplace("Origin", origin_ok);
  }
  httplib::Result result = browser.Post("/api/dialogs", R"({"type":"MMO","idc":0})", headers,
                                        c.type, c.csrf && !c.wrong_csrf);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, c.status) << result->body;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, WebServerCsrfTest,
    ::testing::Values(CsrfCase{"FromThePage", true, nullptr, "application/json", nullptr, 200},
                      CsrfCase{"SameOrigin", true, nullptr, "application/json", "self", 200},
                      CsrfCase{"NoToken", false, nullptr, "application/json", nullptr, 403},
                      CsrfCase{"WrongToken", true, "0123456789abcdef0123456789abcdef",
                               "application/json", nullptr, 403},
                      // A plain HTML form can send text/plain without asking first.
                      CsrfCase{"NotJson", true, nullptr, "text/plain", nullptr, 403},
                      CsrfCase{"OtherOrigin", true, nullptr, "application/json",
                               "http://evil.example", 403}),
    [](const ::testing::TestParamInfo<CsrfCase>& info) { return std::string(info.param.name); });

TEST_F(WebServerTest, RequestBodiesSessionsAndRatesAreLimited) {
  StartServer([](WebServerOptions& o) {
    o.max_body = 4096;
    o.max_sessions = 2;
    o.max_requests_per_minute = 6;
  });
  Browser first = NewBrowser();
  first.Start();
  httplib::Result big = first.Post("/api/dialogs", std::string(8192, ' '));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->status, 413);

  Browser second = NewBrowser();
  second.Start();
  EXPECT_EQ(Status(NewBrowser().Get("/api/session")), 503);
  EXPECT_EQ(server_->SessionCount(), 2u);

  int last = 0;
  for (int i = 0; i < 6; ++i) last = Status(second.Get("/api/progress"));
  EXPECT_EQ(last, 429);
  // Another session is not held back by it.
  EXPECT_EQ(Status(first.Get("/api/progress")), 200);
}

TEST_F(WebServerTest, AnswersAreEscapedJsonAndThePageItsOwnFilesOnly) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  httplib::Result page = browser.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("/page/app.js"), std::string::npos);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);
  EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(page->get_header_value("X-Frame-Options"), "DENY");
  EXPECT_EQ(Status(browser.Get("/page/app.js")), 200);
  EXPECT_EQ(Status(browser.Get("/page/../../../etc/passwd")), 404);
  EXPECT_EQ(Status(browser.Get("/page/%2e%2e%2fweb_fixture.h")), 404);

  // A text typed into a dialog comes back as a JSON string, never as markup.
  nlohmann::json opened = browser.PostJson("/api/dialogs", {{"type", "MMO"}, {"idc", 0}});
  const std::string dialog = "/api/dialogs/" + std::to_string(opened["dialog"].get<int>());
  const std::string markup = "<img src=x onerror=\"alert(1)\">&</script>";
  httplib::Result set = browser.Post(
      dialog + "/action",
      nlohmann::json{{"action", "set"}, {"control", "edName"}, {"value", markup}}.dump());
  ASSERT_TRUE(set);
  EXPECT_EQ(set->get_header_value("Content-Type"), "application/json; charset=utf-8");
  EXPECT_EQ(set->body.find("<img"), std::string::npos);
  nlohmann::json view = nlohmann::json::parse(set->body)["view"];
  std::string shown;
  for (const auto& field : view["fields"]) {
    if (field["name"] == "edName") shown = field["value"];
  }
  EXPECT_EQ(shown, markup);
}

TEST_F(WebServerTest, DocumentsArePagedNewestFirstAndSearched) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  nlohmann::json first = browser.GetJson("/api/documents?type=MMO&limit=3");
  nlohmann::json second = browser.GetJson("/api/documents?type=MMO&limit=3&offset=3");
  ASSERT_EQ(first["rows"].size(), 3u);
  ASSERT_EQ(second["rows"].size(), 3u);
  EXPECT_TRUE(first["more"].get<bool>());
  for (const nlohmann::json* page : {&first, &second}) {
    for (const auto& row : (*page)["rows"]) EXPECT_EQ(row["DocTypeCode"], "MMO");
  }
  // Newest first, and the second page goes on where the first ended.
  EXPECT_GE(first["rows"][2]["DocumentDate"].get<std::string>(),
            second["rows"][0]["DocumentDate"].get<std::string>());
  EXPECT_NE(first["rows"][2]["IDC"], second["rows"][0]["IDC"]);

  const std::string number = first["rows"][1]["Number"];
  nlohmann::json found = browser.GetJson("/api/documents?type=MMO&number=" + number);
  ASSERT_EQ(found["rows"].size(), 1u);
  EXPECT_EQ(found["rows"][0]["IDC"], first["rows"][1]["IDC"]);
  EXPECT_FALSE(found["more"].get<bool>());

  nlohmann::json december =
      browser.GetJson("/api/documents?from=2026-12-01&to=2026-12-31&limit=500");
  ASSERT_FALSE(december["rows"].empty());
  for (const auto& row : december["rows"]) {
    EXPECT_GE(row["DocumentDate"].get<std::string>(), "2026-12-01");
    EXPECT_LE(row["DocumentDate"].get<std::string>().substr(0, 10), "2026-12-31");
  }
  EXPECT_EQ(Status(browser.Get("/api/documents?from=31.12.2026")), 400);
  EXPECT_EQ(Status(browser.Get("/api/documents?limit=0")), 400);
  EXPECT_EQ(Status(browser.Get("/api/documents?offset=-1")), 400);
}

TEST_F(WebServerTest, NothingSentBecomesSql) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  const long before = DocumentCount(Book());
  for (const char* attack :
       {"'%20OR%201%3D1%20--", "x'%3B%20DELETE%20FROM%20THDocument%20--", "%25'%20OR%20'1'%3D'1"}) {
    nlohmann::json by_number = browser.GetJson(std::string("/api/documents?number=") + attack);
    EXPECT_TRUE(by_number["rows"].empty()) << attack;
    nlohmann::json by_type = browser.GetJson(std::string("/api/documents?type=") + attack);
    EXPECT_TRUE(by_type["rows"].empty()) << attack;
  }
  EXPECT_EQ(DocumentCount(Book()), before);
}

TEST_F(WebServerTest, TheDialogTypesComeFromTheComponentsDispatcher) {
  StartServer();
  Browser browser = NewBrowser();
  browser.Start();
  nlohmann::json types = browser.GetJson("/api/types");
  std::vector<std::string> codes;
  for (const auto& type : types) codes.push_back(type["code"]);
  EXPECT_NE(std::find(codes.begin(), codes.end(), "MMO"), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), "MFC"), codes.end());
  // Types the dispatcher has no form for are not offered.
  EXPECT_EQ(std::find(codes.begin(), codes.end(), "TKL"), codes.end());
}

}  // namespace
}  // namespace qts::host
