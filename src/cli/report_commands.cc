// qts report ...: running a report class of the component on a book and printing its output.
#include <fmt/format.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/convert.h"
#include "core/date.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/interfaces.h"
#include "host/plugin/component_host.h"
#include "host/report/print_forms.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_document.h"
#include "host/report/report_engine.h"
#include "host/report/report_runner.h"
#include "host/report/report_writers.h"
#include "host/ui/dialog_command.h"
#include "host/ui/dialog_form.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/terminal_operator.h"

namespace qts::cli {

namespace {

struct ReportOptions {
  std::string report;
  std::string book;
  std::vector<std::string> sets;
  std::string format = "html";
  std::string locale;
  std::string output;
  std::string library;
  bool list = false;
  bool cancel = false;
  bool interactive = false;
  int32_t doc = 0;
  bool bar_code = false;
};

// "CONTROL=VALUE" pairs as a form filling.
host::ScriptedForm FormFilling(const std::vector<std::string>& sets, bool cancel) {
  host::ScriptedForm form;
  form.confirm = !cancel;
  for (const std::string& set : sets) {
    size_t eq = set.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw Error(kErrInvalidCall, "qts report",
                  "--set \"" + set + "\" is not CONTROL=VALUE (for example edDayAmount=30)");
    }
    form.values.emplace_back(set.substr(0, eq), Variant(set.substr(eq + 1)));
  }
  return form;
}

// An act of one document: the document is opened in its dialog through the dispatcher and
// printed from the dialog's print button, as a person prints it.
void PrintDocument(const ReportOptions& o, host::ReportFormat format,
                   const std::filesystem::path& library) {
  host::AppContextPtr book = host::AppContext::Open(o.book);
  host::THDocument doc(book);
  if (!doc.Load(o.doc)) {
    throw Error(kErrInvalidCall, "qts report", fmt::format("the book has no document {}", o.doc));
  }
  const std::string type = CStr(doc.Fields().Item("DocTypeCode").Value());
  auto scripted = std::make_shared<host::ScriptedOperator>(
      "the act is printed from the document's dialog without questions", &std::cerr);
  scripted->AnswerDialog({{host::ParseDialogCommand("press btUsePrint")}});
  // A print form with a parameter form of its own takes the --set values there.
  scripted->AnswerForm(FormFilling(o.sets, o.cancel));
  host::ScopedOperator scoped(scripted);
  auto app = std::make_shared<host::ReportApp>();
  app->SetCurrentBook(book);
  host::ScopedClientApplication scoped_app(app);

  std::unique_ptr<host::PrintJob> job =
      o.output.empty() ? std::make_unique<host::PrintJob>(std::cout, format, o.report, o.bar_code)
                       : std::make_unique<host::PrintJob>(o.output, format, o.report, o.bar_code);
  host::ScopedPrintJob scoped_job(*job);
  host::ComponentHost component_host;
  auto dialogs = QueryInterface<host::IHaldenDialog>(
      host::CreateByProgId(component_host, "QTS_Inventory.HaldenUserDialogs", library));
  dialogs->Init(std::make_shared<host::DialogHost>(book, o.doc), nullptr, Variant(type));
  if (scripted->Errors().empty()) {
    Variant a, b, c;
    (void)dialogs->RunForm(a, b, c);
  }
  dialogs->UnloadForm();
  if (!job->Printed()) {
    if (!scripted->Errors().empty()) {
      // The error the dialog showed, for programs that read --json.
      const auto& shown = scripted->Errors().back();
      throw Error(shown.number, shown.source,
                  fmt::format("{} printed nothing for document {}: {}", o.report, o.doc,
                              shown.description));
    }
    throw Error(kErrInvalidCall, "qts report",
                fmt::format("{} printed nothing for document {}", o.report, o.doc));
  }
  for (const std::filesystem::path& written : job->Written()) {
    if (written != "-") std::cerr << "wrote " << written.string() << "\n";
  }
}

void RunReportCommand(const ReportOptions& o) {
  host::ComponentHost component_host;
  const std::filesystem::path library =
      o.library.empty() ? host::DefaultComponentPath() : std::filesystem::path(o.library);
  if (o.list) {
    nlohmann::ordered_json classes = nlohmann::ordered_json::array();
    for (const std::string& name : host::ReportClasses(component_host, library)) {
      // The acts print one document from its dialog: they are run with --doc.
      const host::PrintForm* form = host::FindPrintForm(name);
      const bool act = form != nullptr && form->document_only;
      if (JsonOutput()) {
        classes.push_back({{"class", name}, {"title", host::ReportTitle(name)}, {"act", act}});
      } else {
        std::cout << fmt::format("{:<26} {}{}\n", name, host::ReportTitle(name),
                                 act ? " (a document's act: --doc IDC)" : "");
      }
    }
    if (JsonOutput()) PrintJson(classes);
    return;
  }
  if (o.report.empty()) throw Error(kErrInvalidCall, "qts report", "name a report class or --list");
  if (o.book.empty()) throw Error(kErrInvalidCall, "qts report", "--book FILE is required");
  const host::ReportFormat format = host::ParseReportFormat(JsonOutput() ? "json" : o.format);
  const host::CsvLocale locale = host::ParseCsvLocale(o.locale);
  if (!o.locale.empty() && format != host::ReportFormat::kCsv) {
    throw Error(kErrInvalidCall, "qts report", "--locale is for the csv format");
  }
  if ((format == host::ReportFormat::kXlsx || format == host::ReportFormat::kPdf) &&
      o.output.empty()) {
    throw Error(kErrInvalidCall, "qts report",
                fmt::format("the {} format needs -o PATH", host::ReportFormatName(format)));
  }

  if (o.doc != 0) {
    PrintDocument(o, format, library);
    return;
  }
  if (o.bar_code)
    throw Error(kErrInvalidCall, "qts report",
                "--bar-code prints a document's act: give --doc IDC");
  if (const host::PrintForm* form = host::FindPrintForm(o.report); form && form->document_only) {
    throw Error(kErrInvalidCall, "qts report",
                o.report + " prints the act of one document from its dialog: give --doc IDC");
  }
  host::AppContextPtr book = host::AppContext::Open(o.book);
  std::shared_ptr<host::ScriptedOperator> scripted;
  std::shared_ptr<host::Operator> op;
  if (o.interactive) {
    op = host::TerminalOperator::ForStandardStreams();
  } else {
    scripted = std::make_shared<host::ScriptedOperator>(
        "give the form's values with --set CONTROL=VALUE, or run with --interactive", &std::cerr);
    scripted->AnswerForm(FormFilling(o.sets, o.cancel));
    op = scripted;
  }
  host::ScopedOperator scoped(op);
  auto app = std::make_shared<host::ReportApp>();
  app->SetCurrentBook(book);
  host::ScopedClientApplication scoped_app(app);

  ObjectPtr report = host::CreateReport(component_host, o.report, library);
  host::ReportRun run = host::RunReport(report, book);
  if (!run.printed) {
    // The errors were shown on standard error by the operator as they happened.
    bool failed = scripted && !scripted->Errors().empty();
    bool cancelled =
        scripted && !failed && !scripted->Forms().empty() && !scripted->Forms().back().confirmed;
    if (cancelled) {
      throw Refusal(0, "qts report",
                    fmt::format("{} printed nothing: the form \"{}\" was cancelled",
                                run.report_class, scripted->Forms().back().form.name));
    }
    if (failed) {
      // The error the report showed, for programs that read --json.
      const auto& shown = scripted->Errors().back();
      throw Error(shown.number, shown.source,
                  fmt::format("{} printed nothing: {}", run.report_class, shown.description));
    }
    throw Error(kErrInvalidCall, "qts report", run.report_class + " printed nothing");
  }

  // The printed forms are drawn from the report's print layout; CSV and JSON carry the data.
  const bool printed_form = format == host::ReportFormat::kHtml ||
                            format == host::ReportFormat::kPdf ||
                            format == host::ReportFormat::kXlsx;
  const std::optional<host::PrintLayout> layout =
      printed_form ? host::LoadPrintLayout(run.report_class) : std::nullopt;
  // Read for a layout, the data lists it prints are read in the columns it reads only.
  host::ReportDocument doc =
      layout ? host::ReportDocument::FromValues(run.report_class, *run.values, Date::Now(), *layout)
             : host::ReportDocument::FromValues(run.report_class, *run.values, Date::Now());
  host::PrintedReport printed;
  if (printed_form) {
    // The printed forms need only the laid-out report: the document's cells move into it.
    printed = host::LayOutReport(std::move(doc), layout, book);
  }
  if (o.output.empty()) {
    switch (format) {
      case host::ReportFormat::kHtml:
        std::cout << host::RenderHtml(printed);
        break;
      case host::ReportFormat::kJson:
        std::cout << host::RenderJson(doc).dump(2, ' ', false,
                                                nlohmann::json::error_handler_t::replace)
                  << "\n";
        break;
      case host::ReportFormat::kCsv:
        for (size_t i = 0; i < doc.lists.size(); ++i) {
          if (i > 0) std::cout << "\r\n";
          std::cout << host::RenderCsv(doc.lists[i], locale);
        }
        break;
      case host::ReportFormat::kPdf:
      case host::ReportFormat::kXlsx:
        break;
    }
    return;
  }
  for (const std::filesystem::path& written :
       host::WriteReport(doc, printed, format, o.output, locale)) {
    std::cerr << "wrote " << written.string() << "\n";
  }
}

}  // namespace

void AddReportCommands(CLI::App& app) {
  auto o = std::make_shared<ReportOptions>();
  auto* cmd = app.add_subcommand(
      "report",
      "run a report class of the component on a book: its parameter form is filled from --set "
      "(or on the terminal with --interactive). HTML, PDF and XLSX print the report as its "
      "print layout draws it (header, captions, groups, subtotals, totals per unit, signature "
      "lines; A4, page numbers); CSV and JSON carry its values and data lists as they are");
  cmd->add_option("CLASS", o->report, "the report class, e.g. CRepStoreRestByTerm");
  cmd->add_flag("--list", o->list, "list the report classes of the component with their titles");
  cmd->add_option("--book", o->book, kBookHelp);
  cmd->add_option("--set", o->sets,
                  "fill a control of the parameter form: CONTROL=VALUE (dates YYYY-MM-DD; a "
                  "selector takes quoted codes 'S1','S2' or one code; CONTROL.SelType=N sets its "
                  "type) (repeatable)");
  cmd->add_flag("--cancel", o->cancel, "cancel the parameter form instead of confirming it");
  cmd->add_flag("--interactive", o->interactive, "fill the parameter form on the terminal");
  cmd->add_option("--doc", o->doc,
                  "print from this document: its act (CRepWriteOff, CRepWriteOffAR, "
                  "CRepWriteOffCalc, CRepMFC) or a packaging declaration's tables (CRepPACK); "
                  "it is opened in its dialog and printed from it");
  cmd->add_flag("--bar-code", o->bar_code, "with --doc: print the document's bar code on the act");
  cmd->add_option("--format", o->format,
                  "html (a page to view or print), pdf, xlsx (both need -o), csv (one file per "
                  "data list) or json")
      ->capture_default_str();
  AddJsonFlag(*cmd, "the same as --format json");
  cmd->add_option("--locale", o->locale,
                  "csv only: plain (default: comma-separated, numbers with a decimal point) or lt "
                  "(semicolon-separated, decimal comma, as a spreadsheet set to Lithuanian reads "
                  "numbers)");
  cmd->add_option("-o,--output", o->output,
                  "write to PATH (csv: one file per data list) instead of standard output: a "
                  "file is written beside it and moved into place when complete; a link, a pipe "
                  "or a device (/dev/null) is written into");
  cmd->add_option("--library", o->library,
                  "component library (default: $QTS_LIBRARY, else libqts_inventory.so beside the "
                  "host kit)");
  cmd->callback([o] { RunReportCommand(*o); });
}

}  // namespace qts::cli
