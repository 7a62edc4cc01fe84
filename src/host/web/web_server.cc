#include "host/web/web_server.h"

#include <fmt/format.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "core/date.h"
#include "core/error.h"
#include "core/error_numbers.h"
#include "host/data/app_context.h"
#include "host/services/message_table.h"
#include "host/web/web_api.h"
#include "host/web/web_session.h"

namespace qts::host {

namespace {

constexpr const char* kSource = "qts serve";
constexpr const char* kSessionCookie = "qts_session";
constexpr const char* kTokenCookie = "qts_token";
constexpr const char* kCsrfHeader = "X-QTS-CSRF";
constexpr const char* kJson = "application/json; charset=utf-8";

// 128 random bits as hex.
std::string RandomToken() {
  static std::mutex mutex;
  static std::random_device device;
  std::lock_guard<std::mutex> lock(mutex);
  std::string out;
  for (int i = 0; i < 4; ++i) out += fmt::format("{:08x}", device());
  return out;
}

// Compares in time that does not depend on where the texts differ.
bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// The value of cookie `name` in the request's Cookie header, "" when absent.
std::string CookieOf(const httplib::Request& req, std::string_view name) {
  const std::string header = req.get_header_value("Cookie");
  size_t pos = 0;
  while (pos < header.size()) {
    size_t end = header.find(';', pos);
    if (end == std::string::npos) end = header.size();
    std::string_view part(header.data() + pos, end - pos);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    const size_t eq = part.find('=');
    if (eq != std::string_view::npos && part.substr(0, eq) == name) {
      return std::string(part.substr(eq + 1));
    }
    pos = end + 1;
  }
  return {};
}

// JSON with <, > and & written as \u escapes: they occur only inside strings, and so an answer
// never holds markup even where something takes it for HTML.
void SendJson(httplib::Response& res, int status, const nlohmann::ordered_json& body) {
  const std::string text = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "\\u003c";
        break;
      case '>':
        out += "\\u003e";
        break;
      case '&':
        out += "\\u0026";
        break;
      default:
        out += c;
    }
  }
  res.status = status;
  res.set_content(out, kJson);
}

void SendError(httplib::Response& res, int status, int32_t number, std::string_view source,
               std::string_view description) {
  SendJson(res, status,
           {{"error", {{"number", number}, {"source", source}, {"description", description}}}});
}

std::string ContentTypeOf(const std::filesystem::path& path) {
  const std::string ext = path.extension().string();
  if (ext == ".html") return "text/html; charset=utf-8";
  if (ext == ".js") return "text/javascript; charset=utf-8";
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".png") return "image/png";
  if (ext == ".pdf") return "application/pdf";
  if (ext == ".csv") return "text/csv; charset=utf-8";
  if (ext == ".xlsx") return "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
  return "application/octet-stream";
}

bool ReadFile(const std::filesystem::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  out = buffer.str();
  return true;
}

int32_t Number(const std::string& text) {
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 100000000) {
      throw Error(kErrInvalidCall, kSource, "\"" + text + "\" is not a number");
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

// A date the page sent as YYYY-MM-DD; none when empty.
std::optional<Date> DateParam(const httplib::Request& req, const char* name) {
  const std::string text = req.get_param_value(name);
  if (text.empty()) return std::nullopt;
  std::optional<Date> date = Date::ParseIso(text);
  if (!date) throw Error(kErrInvalidCall, kSource, fmt::format("{} \"{}\" is no date", name, text));
  return date;
}

}  // namespace

bool IsLoopbackAddress(std::string_view address) {
  return address == "localhost" || address == "::1" || address == "[::1]" ||
         address.substr(0, 4) == "127.";
}

struct WebServer::Impl {
  explicit Impl(WebServerOptions o) : options(std::move(o)), api(options.book, options.library) {}

  WebServerOptions options;
  WebApi api;
  httplib::Server http;
  int port = 0;
  bool loopback = true;
  std::atomic<bool> run_called = false;

  mutable std::mutex sessions_mutex;
  std::map<std::string, std::shared_ptr<WebSession>> sessions;
  std::filesystem::path files_root;

  // The session of the request being answered on this thread, set by the pre-routing check.
  static thread_local std::shared_ptr<WebSession> current;

  std::shared_ptr<WebSession> NewSession(httplib::Response& res);
  httplib::Server::HandlerResponse Check(const httplib::Request& req, httplib::Response& res);
  bool HostAllowed(const httplib::Request& req) const;
  void Routes();
  void Page(const std::string& name, httplib::Response& res);
  void SendFile(const std::filesystem::path& path, const std::string& download,
                httplib::Response& res);
  // Runs `work` for the session of the request, one at a time per session; errors become JSON.
  template <typename Work>
  void Api(httplib::Response& res, Work work);
};

thread_local std::shared_ptr<WebSession> WebServer::Impl::current;

std::shared_ptr<WebSession> WebServer::Impl::NewSession(httplib::Response& res) {
  std::lock_guard<std::mutex> lock(sessions_mutex);
  const auto now = std::chrono::steady_clock::now();
  for (auto it = sessions.begin(); it != sessions.end();) {
    // A session whose action is running is in use, however long it has been quiet.
    const bool idle = now - it->second->last_seen > options.idle_timeout;
    if (idle && it->second->action.try_lock()) {
      it->second->action.unlock();
      it = sessions.erase(it);
    } else {
      ++it;
    }
  }
  if (sessions.size() >= options.max_sessions) return nullptr;
  const std::string id = RandomToken() + RandomToken();
  auto session = std::make_shared<WebSession>(id, RandomToken(), files_root / id.substr(0, 16));
  session->last_seen = now;
  session->window_start = now;
  session->progress->SetStepPause(options.step_pause);
  sessions[id] = session;
  res.set_header("Set-Cookie",
                 std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Strict");
  return session;
}

bool WebServer::Impl::HostAllowed(const httplib::Request& req) const {
  if (!loopback) return true;  // the token guards every other address
  const std::string host = req.get_header_value("Host");
  const std::string port_text = ":" + std::to_string(port);
  for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) {
    if (host == std::string(name) + port_text) return true;
  }
  return host == options.address + port_text;
}

httplib::Server::HandlerResponse WebServer::Impl::Check(const httplib::Request& req,
                                                        httplib::Response& res) {
  using R = httplib::Server::HandlerResponse;
  current.reset();
  if (!HostAllowed(req)) {
    SendError(res, 403, kErrInvalidCall, kSource, "this server answers on its own address only");
    return R::Handled;
  }
  if (!options.token.empty()) {
    const std::string bearer = req.get_header_value("Authorization");
    const bool given =
        SameSecret(CookieOf(req, kTokenCookie), options.token) ||
        SameSecret(bearer, "Bearer " + options.token) ||
        (req.method == "GET" && SameSecret(req.get_param_value("token"), options.token));
    if (!given) {
      res.set_header("WWW-Authenticate", "Bearer");
      SendError(res, 401, kErrInvalidCall, kSource,
                "this server needs its token: open the address qts serve printed");
      return R::Handled;
    }
    if (req.has_param("token")) {
      res.set_header("Set-Cookie", std::string(kTokenCookie) + "=" + options.token +
                                       "; Path=/; HttpOnly; SameSite=Strict");
    }
  }
  std::shared_ptr<WebSession> session;
  {
    std::lock_guard<std::mutex> lock(sessions_mutex);
    auto it = sessions.find(CookieOf(req, kSessionCookie));
    if (it != sessions.end()) session = it->second;
  }
  const bool changes = req.method != "GET" && req.method != "HEAD";
  if (changes) {
    // A request that changes something comes from this server's own page: the session's
    // CSRF token in its header, JSON as its body, and no foreign origin.
    const std::string origin = req.get_header_value("Origin");
    const std::string type = req.get_header_value("Content-Type");
    if (!session || !SameSecret(req.get_header_value(kCsrfHeader), session->csrf) ||
        (!origin.empty() && origin != "http://" + req.get_header_value("Host")) ||
        type.rfind("application/json", 0) != 0) {
      SendError(res, 403, kErrInvalidCall, kSource,
                "refused: the request does not come from this server's page");
      return R::Handled;
    }
  }
  if (!session) {
    session = NewSession(res);
    if (!session) {
      SendError(res, 503, kErrInvalidCall, kSource,
                fmt::format("{} sessions are open: try again later", options.max_sessions));
      return R::Handled;
    }
  }
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard<std::mutex> lock(sessions_mutex);
    session->last_seen = now;
    if (now - session->window_start > std::chrono::minutes(1)) {
      session->window_start = now;
      session->window_requests = 0;
    }
    if (++session->window_requests > options.max_requests_per_minute) {
      SendError(res, 429, kErrInvalidCall, kSource,
                fmt::format("more than {} requests a minute", options.max_requests_per_minute));
      return R::Handled;
    }
  }
  current = session;
  return R::Unhandled;
}

template <typename Work>
void WebServer::Impl::Api(httplib::Response& res, Work work) {
  std::shared_ptr<WebSession> session = current;
  if (!session) return SendError(res, 403, kErrInvalidCall, kSource, "no session");
  try {
    std::lock_guard<std::mutex> lock(session->action);
    SendJson(res, 200, work(*session));
  } catch (const Error& error) {
    SendError(res, 400, error.Number(), error.Source(), error.Description());
  } catch (const nlohmann::json::exception& error) {
    SendError(res, 400, kErrInvalidCall, kSource, std::string("bad JSON: ") + error.what());
  } catch (const std::exception& error) {
    SendError(res, 500, kErrInvalidCall, kSource, error.what());
  }
}

void WebServer::Impl::Page(const std::string& name, httplib::Response& res) {
  std::string body;
  if (!ReadFile(options.page_dir / name, body)) {
    return SendError(res, 404, kErrInvalidCall, kSource, "no such page");
  }
  res.set_content(body, ContentTypeOf(name).c_str());
}

void WebServer::Impl::SendFile(const std::filesystem::path& path, const std::string& download,
                               httplib::Response& res) {
  std::string body;
  if (!ReadFile(path, body)) return SendError(res, 404, kErrInvalidCall, kSource, "no such file");
  res.set_header("Content-Disposition", "attachment; filename=\"" + download + "\"");
  res.set_content(body, ContentTypeOf(path).c_str());
}

void WebServer::Impl::Routes() {
  using Req = httplib::Request;
  using Res = httplib::Response;
  http.Get("/", [this](const Req&, Res& res) { Page("index.html", res); });
  // The page's own files: plain names only, so nothing outside its folder can be named.
  http.Get(R"(/page/([a-z0-9-]+\.(js|css|svg|png)))",
           [this](const Req& req, Res& res) { Page(req.matches[1], res); });

  http.Get("/api/session", [this](const Req&, Res& res) {
    Api(res, [this](WebSession& s) {
      nlohmann::ordered_json out = api.Info(s);
      out["csrf"] = s.csrf;
      return out;
    });
  });
  http.Get("/api/progress", [](const Req&, Res& res) {
    // Read while the session's action runs: no session lock.
    std::shared_ptr<WebSession> session = current;
    if (!session) return SendError(res, 403, kErrInvalidCall, kSource, "no session");
    const WebProgress::State p = session->progress->Get();
    SendJson(res, 200,
             {{"running", p.running},
              {"caption", p.caption},
              {"count", p.count},
              {"done", p.done},
              {"wait", p.wait}});
  });
  http.Get("/api/types", [this](const Req&, Res& res) {
    Api(res, [this](WebSession& s) { return api.Types(s); });
  });
  http.Get("/api/documents", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) {
      DocumentFilter filter;
      filter.type = req.get_param_value("type");
      filter.number = req.get_param_value("number");
      filter.store = req.get_param_value("store");
      filter.from = DateParam(req, "from");
      filter.to = DateParam(req, "to");
      if (req.has_param("offset")) filter.offset = Number(req.get_param_value("offset"));
      if (req.has_param("limit"))
        filter.limit = std::min(Number(req.get_param_value("limit")), 500);
      return api.Documents(s, filter);
    });
  });

  http.Post("/api/dialogs", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) {
      const nlohmann::json body = nlohmann::json::parse(req.body);
      return api.OpenDialog(s, body.value("type", ""), body.value("idc", 0));
    });
  });
  http.Get(R"(/api/dialogs/(\d+))", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) { return api.ShowDialog(s, Number(req.matches[1])); });
  });
  http.Post(R"(/api/dialogs/(\d+)/action)", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) {
      return api.DialogAction(s, Number(req.matches[1]), nlohmann::json::parse(req.body));
    });
  });
  http.Post(R"(/api/dialogs/(\d+)/answer)", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) {
      return api.AnswerDialog(s, Number(req.matches[1]), nlohmann::json::parse(req.body));
    });
  });
  http.Post(R"(/api/dialogs/(\d+)/close)", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) { return api.CloseDialog(s, Number(req.matches[1])); });
  });
  http.Get(R"(/api/dialogs/(\d+)/goods)", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) {
      return api.FindGoods(s, Number(req.matches[1]), req.get_param_value("q"));
    });
  });
  http.Get(R"(/api/files/(\d+))", [this](const Req& req, Res& res) {
    std::shared_ptr<WebSession> session = current;
    try {
      std::lock_guard<std::mutex> lock(session->action);
      const std::filesystem::path path = api.PrintedFile(*session, Number(req.matches[1]));
      SendFile(path, path.filename().string(), res);
    } catch (const Error& error) {
      SendError(res, 404, error.Number(), error.Source(), error.Description());
    }
  });

  http.Get("/api/reports", [this](const Req&, Res& res) {
    Api(res, [this](WebSession&) { return api.Reports(); });
  });
  http.Get(R"(/api/reports/([A-Za-z0-9]+)/form)", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) { return api.ReportForm(s, req.matches[1]); });
  });
  http.Post(R"(/api/reports/([A-Za-z0-9]+)/run)", [this](const Req& req, Res& res) {
    Api(res, [&](WebSession& s) {
      const nlohmann::json body = nlohmann::json::parse(req.body);
      return api.RunReport(s, req.matches[1], body.value("values", nlohmann::json::object()));
    });
  });
  http.Get(R"(/api/results/(\d+)\.(csv|xlsx|pdf|html))", [this](const Req& req, Res& res) {
    std::shared_ptr<WebSession> session = current;
    try {
      std::lock_guard<std::mutex> lock(session->action);
      const std::filesystem::path path =
          api.ReportFile(*session, Number(req.matches[1]), req.matches[2]);
      SendFile(path, path.filename().string(), res);
    } catch (const Error& error) {
      SendError(res, 404, error.Number(), error.Source(), error.Description());
    }
  });
}

WebServer::WebServer(WebServerOptions options) {
  if (options.book.empty()) throw Error(kErrInvalidCall, kSource, "--book FILE is required");
  if (!std::filesystem::exists(options.book)) {
    throw Error(kErrInvalidCall, kSource, "no book " + options.book.string());
  }
  (void)AppContext::Open(options.book.string());  // a file that is no book is refused now
  if (options.page_dir.empty()) options.page_dir = MessageTable::ResourceDir() / "web";
  if (!std::filesystem::exists(options.page_dir / "index.html")) {
    throw Error(kErrInvalidCall, kSource,
                "the page's files are not in " + options.page_dir.string());
  }
  const bool loopback = IsLoopbackAddress(options.address);
  if (!loopback && options.token.empty()) options.token = RandomToken();
  impl_ = std::make_unique<Impl>(std::move(options));
  impl_->loopback = loopback;
  impl_->files_root = std::filesystem::temp_directory_path() /
                      fmt::format("qts-serve-{}", RandomToken().substr(0, 12));
  Impl& impl = *impl_;
  impl.http.set_payload_max_length(impl.options.max_body);
  impl.http.set_keep_alive_max_count(1000);
  const int threads = std::max(2, impl.options.threads);
  impl.http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  impl.http.set_pre_routing_handler([&impl](const httplib::Request& req, httplib::Response& res) {
    return impl.Check(req, res);
  });
  impl.http.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("X-Frame-Options", "DENY");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'; "
                   "form-action 'self'");
    if (req.path.rfind("/api/", 0) == 0) res.set_header("Cache-Control", "no-store");
  });
  impl.Routes();
}

WebServer::~WebServer() {
  Stop();
  impl_->sessions.clear();
  std::error_code ignored;
  std::filesystem::remove_all(impl_->files_root, ignored);
}

int WebServer::Bind() {
  Impl& impl = *impl_;
  const std::string host = impl.options.address == "localhost" ? "127.0.0.1" : impl.options.address;
  if (impl.options.port == 0) {
    impl.port = impl.http.bind_to_any_port(host);
  } else {
    impl.port = impl.http.bind_to_port(host, impl.options.port) ? impl.options.port : -1;
  }
  if (impl.port <= 0) {
    throw Error(kErrInvalidCall, kSource,
                fmt::format("cannot listen on {}:{}", impl.options.address, impl.options.port));
  }
  return impl.port;
}

void WebServer::Run() {
  impl_->run_called = true;
  impl_->http.listen_after_bind();
  impl_->run_called = false;
}

void WebServer::Stop() {
  if (!impl_) return;
  // A Stop that comes just after Run started waits until the server takes requests, so it is
  // not lost.
  while (impl_->run_called && !impl_->http.is_running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (impl_->http.is_running()) impl_->http.stop();
}

std::string WebServer::Url() const {
  const std::string host = impl_->options.address.find(':') != std::string::npos
                               ? "[" + impl_->options.address + "]"
                               : impl_->options.address;
  std::string url = fmt::format("http://{}:{}/", host, impl_->port);
  if (!impl_->options.token.empty()) url += "?token=" + impl_->options.token;
  return url;
}

const std::string& WebServer::Token() const { return impl_->options.token; }

size_t WebServer::SessionCount() const {
  std::lock_guard<std::mutex> lock(impl_->sessions_mutex);
  return impl_->sessions.size();
}

WebSession::WebSession(std::string id_, std::string csrf_, std::filesystem::path dir_)
    : id(std::move(id_)), csrf(std::move(csrf_)), dir(std::move(dir_)) {}

WebSession::~WebSession() {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

}  // namespace qts::host
