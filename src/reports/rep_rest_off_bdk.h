// The two reports over the rows of posted receipts ("PISF") by write-off category and
// supplier:
//   - CRepGoodRestBDK lists, on a report date, every receipt row with the quantity still free
//     (form frmRepRestOffBDK);
//   - CRepWriteOffBDK lists the receipt rows of a period with the write-offs made from them
//     through the fixing log (form frmRepWriteOffBDK).
// Their forms hand the choices back through arguments; the reports add them to Values
// themselves, after the form.
#ifndef QTS_REPORTS_REP_REST_OFF_BDK_H_
#define QTS_REPORTS_REP_REST_OFF_BDK_H_

#include <cstdint>
#include <string>

#include "core/date.h"
#include "reports/param_form.h"
#include "reports/report_frame.h"

namespace qts::reports {

// The category a form returns when none was chosen.
inline constexpr int32_t kAllCategories = -1;

// What a category form chose. `beg` is used by the write-off report only; `end` is the report
// date of the rests report and the period end of the write-off report.
struct CategoryChoice {
  Date beg;
  Date end;
  std::string client;       // supplier code, "" for all
  std::string client_name;  // the supplier combo's shown text
  int32_t category = kAllCategories;
  std::string category_name;
  bool only_fixed = false;  // write-off report: receipt rows with a write-off only
};

// The parts of a category form both forms share: the supplier and category combos.
class CategoryForm : public ParamForm {
 protected:
  using ParamForm::ParamForm;

  void AddCombos(host::Form& form, std::string caption_key_category,
                 std::string caption_key_client);
  void BindControls(host::Form& form, const host::AppContextPtr& book) override;
  // Supplier and category from the combos (category -1 when none is chosen).
  void ReadCombos(CategoryChoice& choice) const;
  // The choices of the latest confirmed run.
  CategoryChoice choice_;

 private:
  host::AppContextPtr book_;
};

class frmRepRestOffBDK final : public CategoryForm {
 public:
  frmRepRestOffBDK();
  // Shows the form; when confirmed, returns True with the report date, the supplier code,
  // the category, the supplier's and the category's names. Cancelled: False, arguments
  // unchanged.
  bool Run(host::AppContextPtr& book, Date& rep_date, std::string& client, int32_t& category,
           std::string& client_name, std::string& category_name);

 protected:
  void BuildControls(host::Form& form) override;
  void WriteValues(host::NamedValueList& values) override;
};

class frmRepWriteOffBDK final : public CategoryForm {
 public:
  frmRepWriteOffBDK();
  // Shows the form with the period `beg`-`end` (a zero date leaves its picker at today);
  // when confirmed, returns True with the chosen period, supplier code, category, the flag
  // "only rows with a write-off" and the two names.
  bool Run(host::AppContextPtr& book, Date& beg, Date& end, std::string& client, int32_t& category,
           bool& only_fixed, std::string& client_name, std::string& category_name);

 protected:
  void BuildControls(host::Form& form) override;
  bool HasPeriod() const override { return true; }
  // The incoming period goes into the pickers.
  void m_oForm_BeforeShow(bool& cancel) override;
  void WriteValues(host::NamedValueList& values) override;

 private:
  Date incoming_beg_;
  Date incoming_end_;
};

// Which of the two reports a category query serves.
enum class CategoryReport { kRest, kWriteOff };

// The query of either report for `choice` on `book`, opened.
host::QueryPtr CategoryQuery(const host::AppContextPtr& book, const CategoryChoice& choice,
                             CategoryReport report);

class CRepGoodRestBDK final : public ReportBase {
 public:
  CRepGoodRestBDK();
  std::string_view ClassName() const override { return "CRepGoodRestBDK"; }

 protected:
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) override;
};

class CRepWriteOffBDK final : public ReportBase {
 public:
  CRepWriteOffBDK();
  std::string_view ClassName() const override { return "CRepWriteOffBDK"; }

 protected:
  // "_StartDate" and "_EndDate" of Params, when both are there, are the form's first period.
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) override;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_REST_OFF_BDK_H_
