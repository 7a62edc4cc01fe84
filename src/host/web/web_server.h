// `qts serve`: the host kit's HTTP server. It serves the page (plain HTML, CSS and JavaScript
// from the resources) and a JSON API drawn from the form models: the documents of a type, a
// document opened in its dialog and worked on (WebDialog), the report list, a report's
// parameter form, its result and its downloads.
//
// Who may talk to it: it listens on loopback unless told otherwise. On any other address every
// request must carry the server's token (generated when none is given): as the "token" query
// parameter of the first page load (which keeps it in a cookie), the cookie itself, or an
// "Authorization: Bearer" header; without it the answer is 401. On loopback the Host header
// must name the loopback address, so a page of another site cannot reach the server through
// a name of its own. Each browser gets a session (a cookie the page cannot read) with its own
// operator and a CSRF token the page sends back in the X-QTS-CSRF header on every request
// that changes something; such a request without it, from another origin, or not carrying
// JSON is answered 403. Request bodies, sessions and each session's request rate are limited
// (413, 503, 429). Nothing the browser sends becomes SQL: it names documents, controls, grid
// cells and report controls, and their values go the way a person's typing goes.
#ifndef QTS_HOST_WEB_WEB_SERVER_H_
#define QTS_HOST_WEB_WEB_SERVER_H_

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace qts::host {

struct WebServerOptions {
  std::filesystem::path book;  // the book every session works on
  std::string address = "127.0.0.1";
  int port = 8080;                 // 0: any free port
  std::string token;               // required on every request when set; generated off loopback
  std::filesystem::path page_dir;  // the page's files; empty: resources/web
  std::filesystem::path library;   // the component library; empty: the default
  size_t max_body = 1 << 20;       // bytes of a request body
  size_t max_sessions = 64;
  int max_requests_per_minute = 1200;       // per session
  std::chrono::seconds idle_timeout{3600};  // a session unused this long is dropped
  int threads = 8;
  // A wait after each step of a step process, so its progress can be watched in the page
  // (demonstrations, the page's own tests); 0 in use.
  std::chrono::milliseconds step_pause{0};
};

// Whether `address` is a loopback address (127.0.0.0/8, ::1, "localhost").
bool IsLoopbackAddress(std::string_view address);

class WebServer {
 public:
  // Checks the options (the book opens, the page's files are there). Off loopback without a
  // token one is generated.
  explicit WebServer(WebServerOptions options);
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;
  ~WebServer();

  // Binds the address; returns the port (the free one chosen for port 0). Error 5 naming the
  // address when it cannot be bound.
  int Bind();
  // Answers requests until Stop is called (from another thread or a signal handler's thread).
  void Run();
  void Stop();

  // The page's address, with the token when one is required.
  std::string Url() const;
  const std::string& Token() const;
  // Sessions open now.
  size_t SessionCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qts::host

#endif  // QTS_HOST_WEB_WEB_SERVER_H_
