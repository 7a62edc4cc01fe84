// Test helper for the server: a sample book in a temporary folder (made once per test
// program), per-test registry and settings files, a WebServer on a free loopback port answering
// on its own thread, and Browser, an HTTP client that keeps its session cookie and CSRF token
// as the page does.
#ifndef QTS_HOST_WEB_TESTING_WEB_FIXTURE_H_
#define QTS_HOST_WEB_TESTING_WEB_FIXTURE_H_

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "host/data/app_context.h"
#include "host/sample/sample_book.h"
#include "host/testing/scoped_env.h"
#include "host/web/web_server.h"

namespace qts::host::testing {

// The small sample book (seed 1), made once; each fixture works on a copy of it.
inline const std::filesystem::path& SampleBookFile() {
  static qts::testing::TempDir* dir = new qts::testing::TempDir();
  static const std::filesystem::path path = [] {
    std::filesystem::path file = *dir / "sample.db";
    auto book = AppContext::CreateBook(file.string(), "UAB");
    sample::GenerateSampleBook(*book, sample::SampleSize::kSmall, 1);
    return file;
  }();
  return path;
}

// A browser: its own session cookie and, once it has asked for the session, the CSRF token.
class Browser {
 public:
  explicit Browser(int port, std::string host = {}) : client_("127.0.0.1", port) {
    client_.set_read_timeout(60, 0);
    if (!host.empty()) headers_.emplace("Host", host);
  }

  httplib::Result Get(const std::string& path, httplib::Headers extra = {}) {
    httplib::Headers headers = Headers(std::move(extra));
    httplib::Result result = client_.Get(path.c_str(), headers);
    Keep(result);
    return result;
  }
  httplib::Result Post(const std::string& path, const std::string& body,
                       httplib::Headers extra = {}, const char* type = "application/json",
                       bool with_csrf = true) {
    httplib::Headers headers = Headers(std::move(extra));
    if (with_csrf && !csrf_.empty()) headers.emplace("X-QTS-CSRF", csrf_);
    httplib::Result result = client_.Post(path.c_str(), headers, body, type);
    Keep(result);
    return result;
  }
  // Starts the session as the page does and keeps its CSRF token.
  void Start() {
    httplib::Result result = Get("/api/session");
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200) << result->body;
    csrf_ = nlohmann::json::parse(result->body).at("csrf").get<std::string>();
  }
  // A JSON request that must answer 200; its body.
  nlohmann::json GetJson(const std::string& path) {
    httplib::Result result = Get(path);
    EXPECT_TRUE(result);
    if (!result) return nullptr;
    EXPECT_EQ(result->status, 200) << path << ": " << result->body;
    return nlohmann::json::parse(result->body);
  }
  nlohmann::json PostJson(const std::string& path, const nlohmann::json& body) {
    httplib::Result result = Post(path, body.dump());
    EXPECT_TRUE(result);
    if (!result) return nullptr;
    EXPECT_EQ(result->status, 200) << path << ": " << result->body;
    return nlohmann::json::parse(result->body);
  }
  const std::string& Cookie() const { return cookie_; }
  void SetCookie(std::string cookie) { cookie_ = std::move(cookie); }
  const std::string& Csrf() const { return csrf_; }

 private:
  httplib::Headers Headers(httplib::Headers extra) {
    httplib::Headers headers = headers_;
    for (auto& [name, value] : extra) headers.emplace(name, value);
    if (!cookie_.empty() && headers.find("Cookie") == headers.end()) {
      headers.emplace("Cookie", cookie_);
    }
    return headers;
  }
  void Keep(const httplib::Result& result) {
    if (!result) return;
    for (auto [it, end] = result->headers.equal_range("Set-Cookie"); it != end; ++it) {
      const std::string pair = it->second.substr(0, it->second.find(';'));
      if (pair.rfind("qts_session=", 0) == 0) session_ = pair;
      if (pair.rfind("qts_token=", 0) == 0) token_ = pair;
    }
    cookie_ = session_ + (!session_.empty() && !token_.empty() ? "; " : "") + token_;
  }

  httplib::Client client_;
  httplib::Headers headers_;
  std::string cookie_;
  std::string session_, token_;  // the cookies the server set
  std::string csrf_;
};

class WebServerTest : public ::testing::Test {
 protected:
  WebServerTest()
      : registry_env_("QTS_REGISTRY", (dir_ / "registry.json").string()),
        settings_env_("QTS_SETTINGS", (dir_ / "settings.json").string()) {
    std::filesystem::copy_file(SampleBookFile(), book_);
  }
  ~WebServerTest() override { StopServer(); }

  // Starts a server on the copy of the sample book; `adjust` changes the options first.
  void StartServer(const std::function<void(WebServerOptions&)>& adjust = nullptr) {
    WebServerOptions options;
    options.book = book_;
    options.port = 0;
    if (adjust) adjust(options);
    server_ = std::make_unique<WebServer>(options);
    port_ = server_->Bind();
    thread_ = std::thread([this] { server_->Run(); });
  }
  void StopServer() {
    if (!server_) return;
    server_->Stop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
  }
  Browser NewBrowser() { return Browser(port_); }
  // The book as another program sees it.
  std::shared_ptr<AppContext> Book() { return AppContext::Open(book_.string()); }

  qts::testing::TempDir dir_;
  qts::testing::ScopedEnv registry_env_;
  qts::testing::ScopedEnv settings_env_;
  std::filesystem::path book_ = dir_ / "book.db";
  std::unique_ptr<WebServer> server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace qts::host::testing

#endif  // QTS_HOST_WEB_TESTING_WEB_FIXTURE_H_
