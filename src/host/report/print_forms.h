// Printing a document from its dialog: the host's print forms per document type (which
// report class prints it), the print job that says where the next print goes, and the report
// runner that runs a print form's report with the dialog's parameters and prints what it
// hands back.
#ifndef QTS_HOST_REPORT_PRINT_FORMS_H_
#define QTS_HOST_REPORT_PRINT_FORMS_H_

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"
#include "host/report/report_document.h"
#include "host/report/report_writers.h"

namespace qts::host {

struct PrintForm {
  std::string code;          // "R_MFC": how a form names it
  std::string report_class;  // "CRepMFC"
  std::string caption;       // as the print menu shows it
  // False for a report that also runs on its own, over the book (the packaging declaration
  // of a year); an act prints one document only.
  bool document_only = true;
};

// The print forms of documents of type `doc_type`, the default first; none for a type the
// host prints nothing for.
[[nodiscard]] const std::vector<PrintForm>& PrintFormsOf(std::string_view doc_type);
// The print form named `name` (its code or its report class, ASCII case ignored); null when
// no document type has one.
[[nodiscard]] const PrintForm* FindPrintForm(std::string_view name);

// Where the next print goes. The format is the file's extension: .html (.htm), .pdf, .xlsx,
// .csv, .json.
class PrintJob {
 public:
  // `report_class` (may be empty) is the print form the person chose; `bar_code` asks for the
  // document's bar code. Error 5 naming the file for an extension that is no format.
  PrintJob(std::filesystem::path file, std::string report_class, bool bar_code);
  // The same in the format given.
  PrintJob(std::filesystem::path file, ReportFormat format, std::string report_class,
           bool bar_code);
  // To a stream: HTML, CSV (the data lists one after the other) or JSON; a PDF document or an
  // XLSX workbook needs a file (error 5).
  PrintJob(std::ostream& out, ReportFormat format, std::string report_class, bool bar_code);

  const std::filesystem::path& File() const { return file_; }
  const std::string& ReportClass() const { return report_class_; }
  bool BarCode() const { return bar_code_; }
  // Writes `doc`: HTML, PDF and XLSX laid out by its report's print layout (`book` says the
  // header's codes by name and gives the company), CSV and JSON as its data lists are. The
  // files written are kept ("-" for the stream).
  void Print(const ReportDocument& doc, const AppContextPtr& book);
  const std::vector<std::filesystem::path>& Written() const { return written_; }
  bool Printed() const { return !written_.empty(); }

 private:
  std::filesystem::path file_;
  std::ostream* out_ = nullptr;
  ReportFormat format_;
  std::string report_class_;
  bool bar_code_;
  std::vector<std::filesystem::path> written_;
};

// The print job of this process (null when none is set) and a scope that sets one.
PrintJob* CurrentPrintJob();
class ScopedPrintJob {
 public:
  explicit ScopedPrintJob(PrintJob& job);
  ScopedPrintJob(const ScopedPrintJob&) = delete;
  ScopedPrintJob& operator=(const ScopedPrintJob&) = delete;
  ~ScopedPrintJob();

 private:
  PrintJob* previous_;
};

class ReportRunner final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "ReportRunner"; }

  // Loads print form `name` (a code such as "R_MFC", or a report class). kErrPrint for a
  // name no print form has.
  void Load(std::string_view name);
  const PrintForm* Loaded() const { return form_; }
  // A named parameter handed to the report's Run (after "Book").
  void AddParam(std::string_view name, const Variant& value);

  // Creates the loaded print form's report by programmatic identifier, runs it on `book` with
  // the parameters (and "ParamPrintBarCode" = 1 when the print job asks for the bar code) and
  // prints what it hands back to the current print job. Returns whether the report printed.
  // kErrPrint without a loaded form or a print job, or when the job asked for another report
  // class than the loaded one.
  bool Run(const AppContextPtr& book);

 private:
  const PrintForm* form_ = nullptr;
  NamedValueListPtr params_;
};

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_PRINT_FORMS_H_
