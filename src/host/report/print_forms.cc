#include "host/report/print_forms.h"

#include <map>
#include <ostream>

#include "core/date.h"
#include "core/dispatch.h"
#include "core/text.h"
#include "host/data/named_value_list.h"
#include "host/plugin/component_host.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_runner.h"

namespace qts::host {

namespace {

constexpr const char* kSource = "ReportRunner";

const std::map<std::string, std::vector<PrintForm>, std::less<>>& Forms() {
  static const auto* forms = new std::map<std::string, std::vector<PrintForm>, std::less<>>{
      {"MMO",
       {{"R_MMO", "CRepWriteOff", "Prekių nurašymo aktas"},
        {"R_MMO_AR", "CRepWriteOffAR", "Prekių nurašymo aktas (sąrašas)"},
        {"R_MMO_CALC", "CRepWriteOffCalc", "Nurašymo skaičiavimas"}}},
      {"MKO",
       {{"R_MKO", "CRepWriteOff", "Prekių nurašymo aktas"},
        {"R_MKO_AR", "CRepWriteOffAR", "Prekių nurašymo aktas (sąrašas)"},
        {"R_MKO_CALC", "CRepWriteOffCalc", "Nurašymo skaičiavimas"}}},
      {"MFC", {{"R_MFC", "CRepMFC", "Pagamintos produkcijos priėmimo aktas"}}},
      {"PACK", {{"R_PACK", "CRepPACK", "Pakuočių apskaitos ataskaita", false}}},
  };
  return *forms;
}

PrintJob*& Current() {
  static PrintJob* job = nullptr;
  return job;
}

ReportFormat FormatOfFile(const std::filesystem::path& file) {
  std::string extension = AsciiLower(file.extension().string());
  if (extension == ".htm") extension = ".html";
  if (extension.size() < 2) {
    throw Error(
        kErrInvalidCall, kSource,
        "\"" + file.string() + "\" has no extension: give .html, .pdf, .xlsx, .csv or .json");
  }
  return ParseReportFormat(extension.substr(1));
}

}  // namespace

const std::vector<PrintForm>& PrintFormsOf(std::string_view doc_type) {
  static const std::vector<PrintForm> kNone;
  auto it = Forms().find(doc_type);
  return it == Forms().end() ? kNone : it->second;
}

const PrintForm* FindPrintForm(std::string_view name) {
  for (const auto& [type, forms] : Forms()) {
    for (const PrintForm& form : forms) {
      if (EqualsIgnoreCase(form.code, name) || EqualsIgnoreCase(form.report_class, name)) {
        return &form;
      }
    }
  }
  return nullptr;
}

PrintJob::PrintJob(std::filesystem::path file, std::string report_class, bool bar_code)
    : file_(std::move(file)),
      format_(FormatOfFile(file_)),
      report_class_(std::move(report_class)),
      bar_code_(bar_code) {}

PrintJob::PrintJob(std::filesystem::path file, ReportFormat format, std::string report_class,
                   bool bar_code)
    : file_(std::move(file)),
      format_(format),
      report_class_(std::move(report_class)),
      bar_code_(bar_code) {}

PrintJob::PrintJob(std::ostream& out, ReportFormat format, std::string report_class, bool bar_code)
    : file_("-"),
      out_(&out),
      format_(format),
      report_class_(std::move(report_class)),
      bar_code_(bar_code) {
  if (format == ReportFormat::kXlsx || format == ReportFormat::kPdf) {
    throw Error(
        kErrInvalidCall, kSource,
        "a " + std::string(ReportFormatName(format)) + " file needs a file to be written to");
  }
}

void PrintJob::Print(const ReportDocument& doc, const AppContextPtr& book) {
  // CSV and JSON carry the data lists as they are; the printed forms go through the layout.
  const bool printed_form = format_ == ReportFormat::kHtml || format_ == ReportFormat::kPdf ||
                            format_ == ReportFormat::kXlsx;
  const PrintedReport printed =
      printed_form ? LayOutReport(doc, LoadPrintLayout(doc.report_class), book) : PrintedReport();
  if (!out_) {
    for (std::filesystem::path& path : WriteReport(doc, printed, format_, file_)) {
      written_.push_back(std::move(path));
    }
    return;
  }
  switch (format_) {
    case ReportFormat::kHtml:
      *out_ << RenderHtml(printed);
      break;
    case ReportFormat::kJson:
      *out_ << RenderJson(doc).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
      break;
    case ReportFormat::kCsv:
      for (size_t i = 0; i < doc.lists.size(); ++i) {
        if (i > 0) *out_ << "\r\n";
        *out_ << RenderCsv(doc.lists[i]);
      }
      break;
    case ReportFormat::kXlsx:
    case ReportFormat::kPdf:
      break;
  }
  *out_ << std::flush;
  written_.push_back(file_);
}

PrintJob* CurrentPrintJob() { return Current(); }

ScopedPrintJob::ScopedPrintJob(PrintJob& job) : previous_(Current()) { Current() = &job; }

ScopedPrintJob::~ScopedPrintJob() { Current() = previous_; }

void ReportRunner::Load(std::string_view name) {
  form_ = FindPrintForm(name);
  if (!form_) {
    throw Error(kErrPrint, kSource, "no print form \"" + std::string(name) + "\"");
  }
  params_ = std::make_shared<NamedValueList>();
}

void ReportRunner::AddParam(std::string_view name, const Variant& value) {
  if (!params_) params_ = std::make_shared<NamedValueList>();
  if (NamedValue* entry = params_->Find(name)) {
    entry->SetValue(value);
  } else {
    params_->Add(name, 0, value);
  }
}

bool ReportRunner::Run(const AppContextPtr& book) {
  if (!form_) throw Error(kErrPrint, kSource, "Run before Load: no print form is loaded");
  PrintJob* job = CurrentPrintJob();
  if (!job) {
    throw Error(kErrPrint, kSource,
                "there is nowhere to print \"" + form_->caption + "\": choose a file to print to");
  }
  if (!job->ReportClass().empty() && !EqualsIgnoreCase(job->ReportClass(), form_->report_class) &&
      !EqualsIgnoreCase(job->ReportClass(), form_->code)) {
    throw Error(kErrPrint, kSource,
                "the print form is " + form_->report_class + " (" + form_->caption + "), not " +
                    job->ReportClass());
  }
  if (job->BarCode()) AddParam("ParamPrintBarCode", Variant(int32_t{1}));
  // The host keeps one component host for the process; it is never torn down, so libraries
  // are not unloaded under objects that are still alive at exit.
  static ComponentHost* host = new ComponentHost();
  ObjectPtr report = CreateReport(*host, form_->report_class, DefaultComponentPath());
  ReportRun run = RunReport(report, book, params_);
  if (!run.printed) return false;
  job->Print(ReportDocument::FromValues(form_->report_class, *run.values, Date::Now()), book);
  return true;
}

}  // namespace qts::host
