// A bounded load test of qts serve: SESSIONS browser sessions (default 20) work on one book
// at once for SECONDS (default 60) over loopback HTTP, each writing one write-off after another
// the way the page does -- open a new document, fill its header, add three rows, save, close.
// At the end the book is read back: every saved document must hold its three rows with the
// amounts typed, and the book must have gained exactly the documents saved.
//
//   web_load [SESSIONS [SECONDS]]
//
// Prints the actions done, errors, documents saved, rows lost, and the latency of an action
// as the browser waits for it (median, p95, p99, max). Exits 1 on any error or lost row.
#include <httplib.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "core/convert.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/sample/sample_book.h"
#include "host/web/web_server.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Saved {
  int idc;
  int amount;  // each of its three rows holds this amount
};

struct Results {
  std::mutex mutex;
  std::vector<double> latencies_ms;
  std::vector<Saved> saved;
  std::vector<std::string> errors;
};

class Session {
 public:
  explicit Session(int port) : client_("127.0.0.1", port) { client_.set_read_timeout(120, 0); }

  bool Start() {
    httplib::Result r = client_.Get("/api/session");
    if (!r || r->status != 200) return false;
    const std::string set = r->get_header_value("Set-Cookie");
    cookie_ = set.substr(0, set.find(';'));
    csrf_ = nlohmann::json::parse(r->body)["csrf"];
    return true;
  }
  // Posts `body` to `path`; the answer, or null after an HTTP error.
  nlohmann::json Post(const std::string& path, const nlohmann::json& body, double& ms) {
    httplib::Headers headers{{"Cookie", cookie_}, {"X-QTS-CSRF", csrf_}};
    auto started = Clock::now();
    httplib::Result r = client_.Post(path.c_str(), headers, body.dump(), "application/json");
    ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    if (!r || r->status != 200) return nullptr;
    return nlohmann::json::parse(r->body);
  }

 private:
  httplib::Client client_;
  std::string cookie_;
  std::string csrf_;
};

void Work(int port, int number, Clock::time_point until, Results& results) {
  Session session(port);
  if (!session.Start()) {
    std::lock_guard<std::mutex> lock(results.mutex);
    results.errors.push_back("session " + std::to_string(number) + " did not start");
    return;
  }
  std::vector<double> latencies;
  std::vector<Saved> saved;
  std::vector<std::string> errors;
  const char* goods[] = {"MED00001", "MED00002", "MED00003"};
  int round = 0;
  while (Clock::now() < until) {
    const int amount = 1 + (number * 7 + round++) % 9;
    double ms = 0;
    nlohmann::json opened = session.Post("/api/dialogs", {{"type", "MMO"}, {"idc", 0}}, ms);
    latencies.push_back(ms);
    if (opened.is_null()) {
      errors.push_back("open failed");
      continue;
    }
    const std::string path = "/api/dialogs/" + std::to_string(opened["dialog"].get<int>());
    std::vector<nlohmann::json> actions = {
        {{"action", "set"}, {"control", "edDate"}, {"value", "2026-12-31"}},
        {{"action", "set"}, {"control", "cbDepartment"}, {"value", "GAM"}},
        {{"action", "set"}, {"control", "cbStore"}, {"value", "GS"}},
        {{"action", "set"}, {"control", "cbAccPerson"}, {"value", "P004"}}};
    for (const char* good : goods) {
      actions.push_back(
          {{"action", "cell"}, {"row", "new"}, {"column", "GoodCode"}, {"value", good}});
      actions.push_back({{"action", "cell"},
                         {"row", "new"},
                         {"column", "Amount"},
                         {"value", std::to_string(amount)}});
    }
    actions.push_back({{"action", "save"}});
    bool ok = true;
    for (const nlohmann::json& action : actions) {
      nlohmann::json answer = session.Post(path + "/action", action, ms);
      latencies.push_back(ms);
      if (answer.is_null() || answer["outcome"] != "done") {
        errors.push_back("\"" + action["action"].get<std::string>() + "\" failed: " +
                         (answer.is_null() ? std::string("HTTP error") : answer["errors"].dump()));
        ok = false;
        break;
      }
      if (action["action"] == "save") {
        if (!answer["written"].get<bool>()) {
          errors.push_back("the save wrote nothing");
          ok = false;
        } else {
          saved.push_back({answer["idc"].get<int>(), amount});
        }
      }
    }
    session.Post(path + "/close", nlohmann::json::object(), ms);
    (void)ok;
  }
  std::lock_guard<std::mutex> lock(results.mutex);
  results.latencies_ms.insert(results.latencies_ms.end(), latencies.begin(), latencies.end());
  results.saved.insert(results.saved.end(), saved.begin(), saved.end());
  results.errors.insert(results.errors.end(), errors.begin(), errors.end());
}

long CountDocuments(const std::shared_ptr<qts::host::AppContext>& book) {
  auto q = book->CreateQuery("THDocument");
  q->Fields().KeepOnly({"IDC"});
  q->Open();
  return q->RecordCount();
}

double Percentile(std::vector<double>& sorted, double share) {
  if (sorted.empty()) return 0;
  const size_t index = std::min(sorted.size() - 1, static_cast<size_t>(share * sorted.size()));
  return sorted[index];
}

}  // namespace

int main(int argc, char** argv) {
  const int sessions = argc > 1 ? std::atoi(argv[1]) : 20;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  if (sessions < 1 || seconds < 1) {
    std::fprintf(stderr, "usage: web_load [SESSIONS [SECONDS]]\n");
    return 64;
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qts-web-load-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  setenv("QTS_REGISTRY", (dir / "registry.json").c_str(), 1);
  setenv("QTS_SETTINGS", (dir / "settings.json").c_str(), 1);
  const std::filesystem::path file = dir / "book.db";
  {
    auto book = qts::host::AppContext::CreateBook(file.string(), "GEN");
    qts::host::sample::GenerateSampleBook(*book, qts::host::sample::SampleSize::kSmall, 7);
  }
  const long before = CountDocuments(qts::host::AppContext::Open(file.string()));

  qts::host::WebServerOptions options;
  options.book = file;
  options.port = 0;
  options.threads = sessions + 2;
  options.max_requests_per_minute = 100000;
  qts::host::WebServer server(options);
  const int port = server.Bind();
  std::thread serving([&] { server.Run(); });

  Results results;
  const auto started = Clock::now();
  const auto until = started + std::chrono::seconds(seconds);
  std::vector<std::thread> people;
  for (int i = 0; i < sessions; ++i) {
    people.emplace_back([&, i] { Work(port, i, until, results); });
  }
  for (std::thread& person : people) person.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
  server.Stop();
  serving.join();

  // What the book holds now, read by another connection.
  auto book = qts::host::AppContext::Open(file.string());
  long lost = 0;
  for (const Saved& s : results.saved) {
    auto q = book->CreateQuery("THGoodSpec");
    q->Fields().KeepOnly({"Amount"});
    q->AddWhere("oTable.DocID = " + std::to_string(s.idc));
    q->Open();
    auto rows = q->OpenRecordset();
    long good = 0;
    if (rows->RecordCount() > 0) {
      for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
        if (qts::CLng(rows->Value("Amount")) == s.amount) ++good;
      }
    }
    lost += 3 - good;
  }
  const long added = CountDocuments(book) - before;
  std::vector<double> sorted = results.latencies_ms;
  std::sort(sorted.begin(), sorted.end());
  std::printf("sessions %d, %.1f s, %zu actions (%.1f per second), %zu errors\n", sessions, elapsed,
              sorted.size(), static_cast<double>(sorted.size()) / elapsed, results.errors.size());
  std::printf("documents saved %zu, documents the book gained %ld, rows lost %ld\n",
              results.saved.size(), added, lost);
  std::printf("action latency ms: median %.1f, p95 %.1f, p99 %.1f, max %.1f\n",
              Percentile(sorted, 0.5), Percentile(sorted, 0.95), Percentile(sorted, 0.99),
              sorted.empty() ? 0.0 : sorted.back());
  for (size_t i = 0; i < results.errors.size() && i < 5; ++i) {
    std::printf("error: %s\n", results.errors[i].c_str());
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  const bool ok =
      results.errors.empty() && lost == 0 && added == static_cast<long>(results.saved.size());
  return ok ? 0 : 1;
}
