// What every report class shares: the IReportExec members (Run under one error handler, the
// AlterFormCode and Visual properties kept or ignored as the class says), the steps of Run
// for reports with a parameter form, and their late-bound surface.
//
// A report with a parameter form derives from FormReport and supplies its inputs, its form,
// its query and (when it has one) the echo adjustment; the error handling and the data list
// come from here.
#ifndef QTS_REPORTS_REPORT_FRAME_H_
#define QTS_REPORTS_REPORT_FRAME_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/object.h"
#include "frame/component_object.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/fwd.h"
#include "host/interfaces.h"
#include "host/ui/busy_cursor.h"

namespace qts::reports {

// How a class keeps AlterFormCode and Visual.
enum class PropertyKeeping {
  kKept,        // both stored and returned
  kVisualText,  // both stored; Visual as its text "True"/"False", converted back on reading
  kIgnored,     // sets are ignored; AlterFormCode reads "", Visual False
};

// What the error handler of Run does with the number of the error it shows.
enum class ErrorNumbering { kAsRaised, kReportRun };

// An input value a report declares in Values before its form fills it.
struct InputValue {
  std::string name;
  host::Kind kind;
};

class ReportBase : public frame::ComponentObject, public Implements<host::IReportExec, IDispatch> {
 public:
  ~ReportBase() override;

  // Runs the report (Execute) under the error handler: any error is shown through the common
  // error path (with number kErrComponent when the class asks for it) and Run returns False.
  bool Run(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) final;
  bool Visual() final;
  void SetVisual(bool value) final;
  std::string AlterFormCode() final;
  void SetAlterFormCode(const std::string& value) final;

  // Late binding: Run(Params, Values), Visual and AlterFormCode get and let.
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

  // The host's busy cursor the report holds while it lives (never started); null after an
  // error released it.
  const std::shared_ptr<host::BusyCursor>& BusyCursor() const { return busy_; }

 protected:
  ReportBase(PropertyKeeping keeping, ErrorNumbering numbering);

  // The report's own work; True prints.
  virtual bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) = 0;

  // The book of the run: "Book" of Params when present and usable, else the report engine's
  // current book (GetBook's rules and error).
  static host::AppContextPtr ResolveBook(host::NamedValueListPtr& params);

 private:
  PropertyKeeping keeping_;
  ErrorNumbering numbering_;
  std::string alter_form_code_;
  bool visual_ = false;
  std::string visual_text_ = "False";
  std::shared_ptr<host::BusyCursor> busy_;
  DispatchTable table_;
};

// The skeleton of the reports with a parameter form: declare the inputs, resolve the book,
// run the form (False stops the run), build and open the query, hand its rows over as
// "DataList" (Kind::kObject), adjust the echo values, print.
class FormReport : public ReportBase {
 protected:
  using ReportBase::ReportBase;

  // The input values, in the order they are declared.
  virtual std::vector<InputValue> Inputs() const = 0;
  // Runs the report's parameter form; False when it was cancelled.
  virtual bool RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) = 0;
  // The report's query, opened.
  virtual host::QueryPtr BuildQuery(const host::AppContextPtr& book,
                                    host::NamedValueList& values) = 0;
  // Changes to the echoed input values after the data list was added.
  virtual void AdjustEcho(host::NamedValueList& /*values*/) {}

 private:
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) final;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REPORT_FRAME_H_
