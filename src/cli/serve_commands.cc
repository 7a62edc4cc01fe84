// qts serve: the book on a web page. The server answers until the process is interrupted
// (Ctrl-C) or terminated; then it stops taking requests and ends cleanly, and what the
// sessions had not saved is dropped (it was never written).
#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "cli/commands.h"
#include "core/error.h"
#include "core/error_numbers.h"
#include "host/web/web_server.h"

namespace qts::cli {
namespace {

struct ServeOptions {
  std::string book;
  std::string listen = "127.0.0.1:8080";
  std::string token;
  std::string library;
  std::string page_dir;
  size_t max_sessions = 64;
  int step_pause_ms = 0;
};

// "ADDR:PORT", "[::1]:PORT" or ":PORT" (loopback).
void ParseListen(const std::string& text, host::WebServerOptions& options) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    throw Error(kErrInvalidCall, "qts serve", "--listen \"" + text + "\" is not ADDR:PORT");
  }
  std::string address = text.substr(0, colon);
  if (address.size() > 1 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  if (!address.empty()) options.address = address;
  const std::string port = text.substr(colon + 1);
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 65535) {
    throw Error(kErrInvalidCall, "qts serve", "--listen \"" + text + "\": no port number");
  }
  options.port = std::stoi(port);
}

void Serve(const ServeOptions& o) {
  host::WebServerOptions options;
  options.book = o.book;
  ParseListen(o.listen, options);
  options.token = o.token;
  options.library = o.library;
  options.page_dir = o.page_dir;
  options.max_sessions = o.max_sessions;
  options.step_pause = std::chrono::milliseconds(o.step_pause_ms);

  // The server's threads are started with the signals blocked; one thread waits for them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  host::WebServer server(options);
  server.Bind();
  std::cout << fmt::format("qts serve: {} on {}", o.book, server.Url()) << std::endl;
  if (!host::IsLoopbackAddress(options.address)) {
    std::cout << "qts serve: every request needs the token (in the address above, or as "
                 "\"Authorization: Bearer TOKEN\")"
              << std::endl;
  }
  std::cout << "qts serve: press Ctrl-C to stop" << std::endl;
  std::atomic<bool> signalled = false;
  std::thread waiter([&] {
    int received = 0;
    sigwait(&signals, &received);
    signalled = true;
    server.Stop();
  });
  server.Run();
  // The server ended without a signal: the waiter gets one (it is blocked everywhere, so it
  // stays pending until the waiter takes it).
  if (!signalled) kill(getpid(), SIGTERM);
  waiter.join();
  std::cout << "qts serve: stopped" << std::endl;
}

}  // namespace

void AddServeCommands(CLI::App& app) {
  auto o = std::make_shared<ServeOptions>();
  auto* cmd = app.add_subcommand(
      "serve",
      "serve the book on a web page: the documents and their dialogs (edit, price, save, post, "
      "print the act) and the reports (parameter form, table, CSV/XLSX/PDF). Listens on "
      "loopback unless --listen names another address; there every request needs the token");
  cmd->add_option("--book", o->book, "the book file")->required();
  cmd->add_option("--listen", o->listen,
                  "ADDR:PORT to listen on (port 0: any free port); an address other than "
                  "loopback requires the token")
      ->capture_default_str();
  cmd->add_option("--token", o->token,
                  "the token every request must carry (default: none on loopback, a random one "
                  "printed at start on other addresses)");
  cmd->add_option("--max-sessions", o->max_sessions, "browser sessions open at once")
      ->capture_default_str();
  cmd->add_option("--library", o->library,
                  "component library (default: $QTS_LIBRARY, else libqts_inventory.so beside the "
                  "host kit)");
  cmd->add_option("--page", o->page_dir, "the page's files (default: the installed resources/web)");
  cmd->add_option("--step-pause", o->step_pause_ms,
                  "wait MS milliseconds after each step of a step process (pricing, filling), so "
                  "that its progress bar can be watched in the page; for demonstrations and "
                  "tests of the page, it slows the work down")
      ->check(CLI::Range(0, 10000))
      ->option_text("MS")
      ->capture_default_str();
  cmd->callback([o] { Serve(*o); });
}

}  // namespace qts::cli
