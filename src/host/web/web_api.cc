#include "host/web/web_api.h"

#include <fmt/format.h>

#include <utility>

#include "core/convert.h"
#include "core/date.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/error_numbers.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/variant_json.h"
#include "host/report/print_forms.h"
#include "host/report/print_layout.h"
#include "host/report/report_engine.h"
#include "host/report/report_runner.h"
#include "host/report/report_writers.h"

namespace qts::host {

namespace {

constexpr const char* kSource = "qts serve";
constexpr const char* kFormsProgId = "QTS_Inventory.CreateTarnUserDialogs";
// Unsaved commands a dialog may hold: each action runs them again.
constexpr size_t kMaxUnsavedCommands = 5000;
constexpr size_t kMaxOpenDialogs = 8;

[[noreturn]] void Refuse(std::string description) {
  throw Error(kErrInvalidCall, kSource, std::move(description));
}

std::string Text(const nlohmann::json& object, const char* key, bool required = true) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) {
    if (required) Refuse(fmt::format("the request has no \"{}\"", key));
    return {};
  }
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_integer()) return std::to_string(it->get<int64_t>());
  if (it->is_boolean()) return it->get<bool>() ? "1" : "0";
  Refuse(fmt::format("\"{}\" must be a text", key));
}

nlohmann::ordered_json ErrorsJson(const std::vector<ScriptedOperator::ShownError>& errors) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const auto& e : errors) {
    out.push_back({{"number", e.number}, {"source", e.source}, {"description", e.description}});
  }
  return out;
}

// Message boxes with one button shown during an action, in order.
nlohmann::ordered_json NoticesJson(const std::vector<MessageRequest>& notices) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const MessageRequest& notice : notices) {
    out.push_back({{"number", notice.number}, {"text", notice.text}});
  }
  return out;
}

nlohmann::ordered_json FormJson(const FormDescription& form) {
  nlohmann::ordered_json controls = nlohmann::ordered_json::array();
  for (const FormControl& control : form.controls) {
    controls.push_back({{"name", control.name},
                        {"kind", ControlKindName(control.kind)},
                        {"caption", control.caption},
                        {"value", ToJson(control.value)}});
  }
  return {{"form", form.name}, {"caption", form.caption}, {"controls", std::move(controls)}};
}

nlohmann::ordered_json QuestionJson(const WebQuestion& question) {
  switch (question.kind) {
    case WebQuestion::Kind::kMessage: {
      nlohmann::ordered_json buttons = nlohmann::ordered_json::array();
      for (MessageAnswer answer : ButtonAnswers(question.message.buttons)) {
        buttons.push_back({{"answer", AnswerName(answer)},
                           {"caption", AnswerCaption(answer, question.message.ok_caption)}});
      }
      return {{"kind", "message"},
              {"number", question.message.number},
              {"text", question.message.text},
              {"title", question.message.title},
              {"buttons", std::move(buttons)}};
    }
    case WebQuestion::Kind::kMenu: {
      nlohmann::ordered_json items = nlohmann::ordered_json::array();
      for (const MenuItem& item : question.menu.items) {
        items.push_back({{"key", item.key}, {"caption", item.caption}});
      }
      return {{"kind", "menu"},
              {"owner", question.menu.owner},
              {"caption", question.menu.caption},
              {"items", std::move(items)}};
    }
    case WebQuestion::Kind::kForm:
      return {{"kind", "form"}, {"form", FormJson(question.form)}};
  }
  return nullptr;
}

// The printed report as the page draws it: every cell as the printed page says it.
nlohmann::ordered_json PrintedJson(const PrintedReport& report) {
  nlohmann::ordered_json header = nlohmann::ordered_json::array();
  for (const PrintedHeaderLine& line : report.header) {
    if (line.barcode) continue;
    header.push_back({{"caption", line.caption}, {"text", line.text}});
  }
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const PrintedTable& table : report.tables) {
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (const PrintedColumn& column : table.columns) {
      columns.push_back(
          {{"caption", column.caption}, {"code", column.code}, {"numeric", column.numeric}});
    }
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (const PrintedLine& line : table.lines) {
      nlohmann::ordered_json cells = nlohmann::ordered_json::array();
      for (size_t c = 0; c < line.cells.size() && c < table.columns.size(); ++c) {
        cells.push_back(FormatValue(line.cells[c], table.columns[c].kind));
      }
      if (!line.label.empty() && !cells.empty()) cells[0] = line.label;
      const char* kind = line.kind == LineKind::kDetail     ? "detail"
                         : line.kind == LineKind::kSubtotal ? "subtotal"
                                                            : "total";
      lines.push_back({{"kind", kind}, {"cells", std::move(cells)}});
    }
    tables.push_back({{"caption", table.caption},
                      {"columns", std::move(columns)},
                      {"lines", std::move(lines)},
                      {"rows", table.rows}});
  }
  return {{"title", report.title},
          {"header", std::move(header)},
          {"tables", std::move(tables)},
          {"noData", report.texts.no_data}};
}

}  // namespace

WebApi::WebApi(std::filesystem::path book, std::filesystem::path library)
    : book_(std::move(book)),
      library_(library.empty() ? DefaultComponentPath() : std::move(library)) {}

void WebApi::Prepare(WebSession& session) {
  if (!session.book) session.book = AppContext::Open(book_.string());
}

WebContext WebApi::Context(WebSession& session) {
  Prepare(session);
  return {session.book, &component_host_, library_, session.progress};
}

nlohmann::ordered_json WebApi::Info(WebSession& session) {
  std::lock_guard<std::mutex> lock(work_);
  Prepare(session);
  return {{"book", book_.filename().string()}, {"code", session.book->Code()}};
}

nlohmann::ordered_json WebApi::Types(WebSession& session) {
  std::lock_guard<std::mutex> lock(work_);
  Prepare(session);
  ObjectPtr forms = CreateByProgId(component_host_, kFormsProgId, library_);
  QueryPtr q = session.book->CreateQuery("THDocType");
  q->Fields().KeepOnly({"Code", "Name"});
  q->OrderBy("oTable.Code");
  q->Open();
  RecordsetPtr rows = q->OpenRecordset();
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  if (rows->RecordCount() == 0) return out;
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    const std::string code = CStr(rows->Value("Code"));
    Variant form = CallByName(forms, "CreateDialogs", InvokeKind::kMethod,
                              {Variant(std::string("THDocument")), Variant(code)});
    if (!form.IsObject() || form.IsNothing()) continue;
    out.push_back({{"code", code}, {"name", ToJson(rows->Value("Name"))}});
  }
  return out;
}

nlohmann::ordered_json WebApi::Documents(WebSession& session, const DocumentFilter& filter) {
  std::lock_guard<std::mutex> lock(work_);
  Prepare(session);
  if (filter.limit < 1) Refuse("a page of documents has at least 1 row");
  DocumentFilter probe = filter;
  ++probe.limit;  // one more than the page tells whether another page follows
  RecordsetPtr rows = ListDocuments(session.book, probe);
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  bool more = false;
  for (; !rows->Eof(); rows->MoveNext()) {
    if (static_cast<int32_t>(out.size()) == filter.limit) {
      more = true;
      break;
    }
    nlohmann::ordered_json row;
    for (size_t c = 0; c < rows->Fields().Count(); ++c) {
      row[rows->Fields().Item(c).Name()] = ToJson(rows->Value(c));
    }
    out.push_back(std::move(row));
  }
  return {{"rows", std::move(out)}, {"more", more}};
}

WebDialog& WebApi::DialogOf(WebSession& session, int32_t dialog) {
  auto it = session.dialogs.find(dialog);
  if (it == session.dialogs.end()) Refuse(fmt::format("no dialog {} is open", dialog));
  return *it->second;
}

namespace {

nlohmann::ordered_json ResultJson(int32_t id, const WebDialog& dialog,
                                  const WebActionResult& result) {
  nlohmann::ordered_json out;
  out["dialog"] = id;
  out["type"] = dialog.Type();
  out["idc"] = dialog.Idc();
  out["outcome"] = result.outcome == WebOutcome::kDone      ? "done"
                   : result.outcome == WebOutcome::kRefused ? "refused"
                                                            : "question";
  out["written"] = result.written;
  out["unsaved"] = dialog.UnsavedCommands();
  out["notices"] = NoticesJson(result.notices);
  out["errors"] = ErrorsJson(result.errors);
  out["question"] = result.question ? QuestionJson(*result.question) : nullptr;
  out["view"] = result.view;
  return out;
}

}  // namespace

nlohmann::ordered_json WebApi::OpenDialog(WebSession& session, const std::string& type,
                                          int32_t idc) {
  if (type.empty()) Refuse("name the document type");
  if (idc < 0) Refuse("a document's IDC is a positive number");
  std::lock_guard<std::mutex> lock(work_);
  auto dialog = std::make_unique<WebDialog>(type, idc);
  WebActionResult result = dialog->Show(Context(session));
  if (result.view.is_null()) {
    std::string why =
        result.errors.empty() ? "the dialog could not be opened" : result.errors.back().description;
    throw Error(result.errors.empty() ? kErrInvalidCall : result.errors.back().number, kSource,
                why);
  }
  // A session keeps a few dialogs open (a page in several tabs); the one opened first goes
  // when there are more. Its unsaved changes were never written.
  while (session.dialogs.size() >= kMaxOpenDialogs) session.dialogs.erase(session.dialogs.begin());
  const int32_t id = session.next_dialog++;
  auto& kept = session.dialogs[id] = std::move(dialog);
  return ResultJson(id, *kept, result);
}

nlohmann::ordered_json WebApi::ShowDialog(WebSession& session, int32_t dialog) {
  WebDialog& d = DialogOf(session, dialog);
  std::lock_guard<std::mutex> lock(work_);
  return ResultJson(dialog, d, d.Show(Context(session)));
}

nlohmann::ordered_json WebApi::DialogAction(WebSession& session, int32_t dialog,
                                            const nlohmann::json& request) {
  WebDialog& d = DialogOf(session, dialog);
  if (!request.is_object()) Refuse("an action is a JSON object");
  const std::string action = Text(request, "action");
  DialogCommand command;
  std::optional<int32_t> file;
  if (action == "set") {
    command.action = DialogAction::kSet;
    command.target = Text(request, "control");
    command.value = Text(request, "value", false);
  } else if (action == "cell") {
    command.action = DialogAction::kCell;
    command.target = Text(request, "row");
    command.column = Text(request, "column");
    command.value = Text(request, "value", false);
  } else if (action == "select" || action == "delete") {
    command.action = action == "select" ? DialogAction::kSelect : DialogAction::kDelete;
    command.target = Text(request, "row");
  } else if (action == "press") {
    command.action = DialogAction::kPress;
    command.target = Text(request, "button");
    command.value = Text(request, "item", false);
  } else if (action == "save") {
    command.action = DialogAction::kSave;
  } else if (action == "print") {
    const std::string format = Text(request, "format", false);
    if (!format.empty() && format != "html" && format != "pdf") {
      Refuse("an act prints as html or pdf, not \"" + format + "\"");
    }
    command.action = DialogAction::kPrint;
    command.target = Text(request, "class", false);
    for (char c : command.target) {
      if (!std::isalnum(static_cast<unsigned char>(c))) Refuse("no print form is called that");
    }
    std::filesystem::create_directories(session.dir);
    file = session.next_file++;
    command.value =
        (session.dir / fmt::format("act-{}.{}", *file, format.empty() ? "html" : format)).string();
    command.bar_code = request.value("barCode", false);
  } else {
    Refuse("unknown action \"" + action + "\"");
  }
  if (d.UnsavedCommands() >= kMaxUnsavedCommands) {
    Refuse(fmt::format("{} unsaved changes: save the document first", kMaxUnsavedCommands));
  }
  std::lock_guard<std::mutex> lock(work_);
  WebActionResult result = d.Act(Context(session), command);
  nlohmann::ordered_json out = ResultJson(dialog, d, result);
  if (file && result.outcome == WebOutcome::kDone) {
    session.printed[*file] = command.value;
    out["download"] = fmt::format("/api/files/{}", *file);
  }
  return out;
}

nlohmann::ordered_json WebApi::AnswerDialog(WebSession& session, int32_t dialog,
                                            const nlohmann::json& request) {
  WebDialog& d = DialogOf(session, dialog);
  if (!request.is_object()) Refuse("an answer is a JSON object");
  WebAnswer answer;
  answer.message = Text(request, "answer", false);
  answer.item = Text(request, "item", false);
  answer.confirm = request.value("confirm", true);
  if (auto values = request.find("values"); values != request.end() && values->is_object()) {
    for (const auto& [name, value] : values->items()) {
      answer.values.emplace_back(name, value.is_string() ? value.get<std::string>() : value.dump());
    }
  }
  std::lock_guard<std::mutex> lock(work_);
  return ResultJson(dialog, d, d.Answer(Context(session), answer));
}

nlohmann::ordered_json WebApi::FindGoods(WebSession& session, int32_t dialog,
                                         const std::string& text) {
  WebDialog& d = DialogOf(session, dialog);
  std::lock_guard<std::mutex> lock(work_);
  WebActionResult result = d.FindGoods(Context(session), text);
  return {{"goods", result.goods}};
}

nlohmann::ordered_json WebApi::CloseDialog(WebSession& session, int32_t dialog) {
  (void)DialogOf(session, dialog);
  session.dialogs.erase(dialog);
  return {{"closed", dialog}};
}

std::filesystem::path WebApi::PrintedFile(WebSession& session, int32_t file) {
  auto it = session.printed.find(file);
  if (it == session.printed.end()) Refuse(fmt::format("no file {} was printed", file));
  return it->second;
}

nlohmann::ordered_json WebApi::Reports() {
  std::lock_guard<std::mutex> lock(work_);
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const std::string& name : ReportClasses(component_host_, library_)) {
    if (FindPrintForm(name)) continue;
    out.push_back({{"class", name}, {"title", ReportTitle(name)}});
  }
  return out;
}

namespace {

void RequireReportName(const std::string& report_class) {
  if (report_class.empty()) Refuse("name the report");
  for (char c : report_class) {
    if (!std::isalnum(static_cast<unsigned char>(c))) Refuse("no report is called that");
  }
  if (FindPrintForm(report_class)) {
    Refuse(report_class + " prints one document's act: print it from the document's dialog");
  }
}

}  // namespace

nlohmann::ordered_json WebApi::ReportForm(WebSession& session, const std::string& report_class) {
  RequireReportName(report_class);
  std::lock_guard<std::mutex> lock(work_);
  Prepare(session);
  auto op = std::make_shared<WebOperator>(session.progress);
  ScopedOperator scoped(op);
  auto app = std::make_shared<ReportApp>();
  app->SetCurrentBook(session.book);
  ScopedClientApplication scoped_app(app);
  ObjectPtr report = CreateReport(component_host_, report_class, library_);
  try {
    (void)host::RunReport(report, session.book);
  } catch (const Error&) {
    if (!op->Pending()) throw;
  }
  if (!op->Pending() || op->Pending()->kind != WebQuestion::Kind::kForm) {
    Refuse(report_class + " showed no parameter form");
  }
  nlohmann::ordered_json out = FormJson(op->Pending()->form);
  out["title"] = ReportTitle(report_class);
  // What the form said before it was shown: a last choice it could no longer use.
  out["notices"] = NoticesJson(op->Notices());
  return out;
}

nlohmann::ordered_json WebApi::RunReport(WebSession& session, const std::string& report_class,
                                         const nlohmann::json& values) {
  RequireReportName(report_class);
  ScriptedForm filling;
  if (!values.is_object()) Refuse("the form's values are a JSON object");
  for (const auto& [name, value] : values.items()) {
    filling.values.emplace_back(
        name, Variant(value.is_string() ? value.get<std::string>() : value.dump()));
  }
  std::lock_guard<std::mutex> lock(work_);
  Prepare(session);
  auto op = std::make_shared<WebOperator>(session.progress);
  op->Queue({{}, {}, {filling}});
  ScopedOperator scoped(op);
  auto app = std::make_shared<ReportApp>();
  app->SetCurrentBook(session.book);
  ScopedClientApplication scoped_app(app);
  ObjectPtr report = CreateReport(component_host_, report_class, library_);
  ReportRun run;
  try {
    run = host::RunReport(report, session.book);
  } catch (const Error& error) {
    op->ShowError(error);
  }
  if (!run.printed) {
    std::vector<ScriptedOperator::ShownError> errors = op->Errors();
    if (errors.empty())
      errors.push_back({kErrInvalidCall, kSource, report_class + " printed nothing"});
    return {{"errors", ErrorsJson(errors)}, {"notices", NoticesJson(op->Notices())}};
  }
  auto result = std::make_shared<WebReportResult>();
  result->doc = ReportDocument::FromValues(run.report_class, *run.values, Date::Now());
  result->printed = LayOutReport(result->doc, LoadPrintLayout(run.report_class), session.book);
  const int32_t id = session.next_report++;
  session.reports[id] = result;
  // A session keeps its last few results for download.
  while (session.reports.size() > 8) session.reports.erase(session.reports.begin());
  nlohmann::ordered_json out = PrintedJson(result->printed);
  out["result"] = id;
  out["report"] = run.report_class;
  out["errors"] = ErrorsJson(op->Errors());
  out["notices"] = NoticesJson(op->Notices());
  return out;
}

std::filesystem::path WebApi::ReportFile(WebSession& session, int32_t result,
                                         const std::string& format) {
  auto it = session.reports.find(result);
  if (it == session.reports.end()) Refuse(fmt::format("no report result {}", result));
  if (format != "csv" && format != "xlsx" && format != "pdf" && format != "html") {
    Refuse("a report downloads as csv, xlsx, pdf or html, not \"" + format + "\"");
  }
  std::lock_guard<std::mutex> lock(work_);
  std::filesystem::create_directories(session.dir);
  const std::filesystem::path path =
      session.dir / fmt::format("{}-{}.{}", it->second->doc.report_class, result, format);
  WriteReport(it->second->doc, it->second->printed, ParseReportFormat(format), path);
  return path;
}

}  // namespace qts::host
