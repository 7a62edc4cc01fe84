// The server's JSON API, apart from HTTP: each member is one request of the page, taking what
// the page sent as plain values and answering JSON. Every member that reads or writes the book
// runs under the one work lock of the server, with the session's book and operator; what the
// page sent never becomes SQL. Errors are raised as the host's errors (number, source,
// description); the HTTP layer answers them as JSON.
#ifndef QTS_HOST_WEB_WEB_API_H_
#define QTS_HOST_WEB_WEB_API_H_

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "host/documents/document_list.h"
#include "host/plugin/component_host.h"
#include "host/web/web_session.h"

namespace qts::host {

class WebApi {
 public:
  WebApi(std::filesystem::path book, std::filesystem::path library);

  // {"book", "company"}.
  nlohmann::ordered_json Info(WebSession& session);
  // The document types a dialog opens for: [{"code", "name"}]. Asked of the component's
  // dialog dispatcher, so a form added to it appears without page code.
  nlohmann::ordered_json Types(WebSession& session);
  // {"rows": [{IDC, DocTypeCode, Number, DocumentDate, StoreCode, IsPosted}], "more": bool}.
  nlohmann::ordered_json Documents(WebSession& session, const DocumentFilter& filter);

  // Opens document `idc` (0: a new one) of `type` in its dialog; the answer carries "dialog"
  // (its number in the session) and the dialog as DialogAnswer writes it.
  nlohmann::ordered_json OpenDialog(WebSession& session, const std::string& type, int32_t idc);
  nlohmann::ordered_json ShowDialog(WebSession& session, int32_t dialog);
  // Runs one command: {"action": "set"|"cell"|"select"|"delete"|"press"|"save"|"print", ...}.
  nlohmann::ordered_json DialogAction(WebSession& session, int32_t dialog,
                                      const nlohmann::json& command);
  nlohmann::ordered_json AnswerDialog(WebSession& session, int32_t dialog,
                                      const nlohmann::json& answer);
  nlohmann::ordered_json FindGoods(WebSession& session, int32_t dialog, const std::string& text);
  // Closes the dialog; its unsaved changes are dropped.
  nlohmann::ordered_json CloseDialog(WebSession& session, int32_t dialog);
  // A file an act was printed to: its path, or error 5 when the session printed no such file.
  std::filesystem::path PrintedFile(WebSession& session, int32_t file);

  // [{"class", "title"}] of the reports run from a form (the acts print from their dialogs).
  nlohmann::ordered_json Reports();
  // The report's parameter form as the person last filled it: {"form", "caption",
  // "controls": [{"name", "kind", "caption", "value"}]}.
  nlohmann::ordered_json ReportForm(WebSession& session, const std::string& report_class);
  // Runs the report with the form filled by `values` ({control: text}): {"result", "title",
  // "header", "tables"} drawn from its print layout, or {"errors"} when the report refused.
  nlohmann::ordered_json RunReport(WebSession& session, const std::string& report_class,
                                   const nlohmann::json& values);
  // Writes the report result in `format` (csv, xlsx, pdf, html) into the session's folder and
  // returns the file.
  std::filesystem::path ReportFile(WebSession& session, int32_t result, const std::string& format);

 private:
  void Prepare(WebSession& session);
  WebContext Context(WebSession& session);
  WebDialog& DialogOf(WebSession& session, int32_t dialog);

  std::filesystem::path book_;
  std::filesystem::path library_;
  std::mutex work_;  // one action of one session on the book at a time
  ComponentHost component_host_;
};

}  // namespace qts::host

#endif  // QTS_HOST_WEB_WEB_API_H_
