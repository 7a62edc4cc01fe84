// One browser's session on the server: its own connection to the book, its own operator's
// progress, the dialogs it has open and the report results it may download. A session runs
// one action at a time; the server runs the work of all sessions one after another.
#ifndef QTS_HOST_WEB_WEB_SESSION_H_
#define QTS_HOST_WEB_WEB_SESSION_H_

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/fwd.h"
#include "host/report/printed_report.h"
#include "host/report/report_document.h"
#include "host/web/web_dialog.h"
#include "host/web/web_operator.h"

namespace qts::host {

// A report run kept for its downloads: its data lists (CSV) and its printed form (HTML, PDF,
// XLSX).
struct WebReportResult {
  ReportDocument doc;
  PrintedReport printed;
};

struct WebSession {
  WebSession(std::string id, std::string csrf, std::filesystem::path dir);
  WebSession(const WebSession&) = delete;
  WebSession& operator=(const WebSession&) = delete;
  // Removes the session's files (printed acts, downloads).
  ~WebSession();

  const std::string id;
  const std::string csrf;
  const std::filesystem::path dir;  // the session's files; made when first needed

  std::chrono::steady_clock::time_point last_seen;
  std::chrono::steady_clock::time_point window_start;  // the request-rate window
  int window_requests = 0;

  std::mutex action;  // held while an action of this session runs
  AppContextPtr book;
  std::shared_ptr<WebProgress> progress = std::make_shared<WebProgress>();
  std::map<int32_t, std::unique_ptr<WebDialog>> dialogs;
  int32_t next_dialog = 1;
  std::map<int32_t, std::string> printed;  // file names printed by dialogs, by number
  int32_t next_file = 1;
  std::map<int32_t, std::shared_ptr<const WebReportResult>> reports;  // by number
  int32_t next_report = 1;
};

}  // namespace qts::host

#endif  // QTS_HOST_WEB_WEB_SESSION_H_
