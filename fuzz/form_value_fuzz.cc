// Any `qts report --set CONTROL=VALUE` arguments (one a line) as a person's filling of a report's
// parameter form: a form with every kind of control the report forms have (dates, a number, a
// check box, a combo, a text and the store and goods selectors) is described, filled through
// the scripted operator and applied, as `qts report` does. A filling is either applied or
// refused whole with the operator's or the form's error; the form is left as it was when it is
// refused. A selector's choice the report would accept (SelectionProblem finds nothing wrong,
// as when the form saves it) becomes the condition the report pastes into its statement, and
// that statement must translate: a choice cannot change the statement it is pasted into.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/convert.h"
#include "core/error_numbers.h"
#include "core/variant.h"
#include "fuzz/fuzz_check.h"
#include "host/data/app_context.h"
#include "host/data/kind_codes.h"
#include "host/data/sql_tools.h"
#include "host/schema/schema.h"
#include "host/ui/form_model.h"
#include "host/ui/scripted_operator.h"
#include "reports/param_form.h"
#include "sql/sql_error.h"
#include "sql/translator.h"

namespace {

using qts::Variant;
using qts::fuzz::Broken;
using qts::fuzz::Check;
using qts::fuzz::CurrentException;
namespace host = qts::host;

const std::shared_ptr<host::AppContext>& Book() {
  static const std::shared_ptr<host::AppContext> book =
      host::AppContext::CreateBook(":memory:", "C1");
  return book;
}

std::unique_ptr<host::Form> ReportForm() {
  auto form = std::make_unique<host::Form>("frmRepFuzz", "Ataskaitos parametrai");
  form->Add("lblTitle", host::ControlType::kLabel, "ATASKAITA");
  form->Add("edBegDate", host::ControlType::kDatePicker, "Laikotarpis nuo : ")
      .SetValue(Variant(qts::Date::FromYmd(2026, 1, 1)));
  form->Add("edEndDate", host::ControlType::kDatePicker, "iki : ");
  form->Add("edDayAmount", host::ControlType::kNumberBox, "Dienų skaičius : ")
      .SetValue(Variant(int32_t{30}));
  form->Add("chOnlyOnFix", host::ControlType::kCheckBox, "Parodyti");
  form->Add("cbPerson", host::ControlType::kCombo, "Ataskaitos rengėjas : ");
  form->Add("edNumb", host::ControlType::kTextBox, "Akto numeris : ");
  form->Add("selStore", host::ControlType::kSelector, "Sandėlis : ");
  form->Add("selGood", host::ControlType::kSelector, "Prekė : ");
  form->Item("selStore").SetProperty("TableName", Variant("STStore"));
  form->Item("selGood").SetProperty("TableName", Variant("REFGood"));
  form->Add("btOk", host::ControlType::kButton, "Gerai");
  return form;
}

// The form's values, to tell whether a refused filling changed any.
std::vector<std::string> Values(const host::Form& form) {
  std::vector<std::string> values;
  for (const host::ControlPtr& control : form.Controls()) {
    if (control->Type() == host::ControlType::kLabel ||
        control->Type() == host::ControlType::kButton) {
      continue;
    }
    const Variant& value = control->Value();
    values.push_back(std::to_string(static_cast<int>(value.Type())) + ":" +
                     (value.IsNull() ? std::string() : qts::CStr(value)) + "/" +
                     std::to_string(control->SelType()));
  }
  return values;
}

// The selector's choice as a report reads it, when it would accept it: the condition pasted into
// its statement must translate in both dialects.
void CheckChoice(const host::Control& selector, std::string_view input) {
  const std::string table = qts::CStr(selector.Property("TableName"));
  const std::string codes = qts::CStr(selector.Value());
  const int32_t type = selector.SelType();
  std::string problem;
  try {
    problem = qts::reports::SelectionProblem(nullptr, table, type, codes, false);
  } catch (...) {
    Broken("SelectionProblem raised instead of saying what is wrong", CurrentException(), input);
  }
  if (!problem.empty() || codes.empty()) return;
  const bool store = table == "STStore";
  if (!store && type != host::kSelList && type != host::kSelSingle) return;
  const host::SqlTools& sql = *host::SqlTools::Instance();
  std::string condition;
  try {
    condition = sql.ColumnCondition(
        "x.Code", host::Kind::kCode,
        store || type == host::kSelList ? host::kOpInList : host::kOpEqual, Variant(codes));
  } catch (...) {
    Broken("an accepted choice gives no condition", CurrentException(), input);
  }
  const std::string statement = "SELECT x.Code FROM " + table + " x WHERE " + condition;
  for (qts::sql::Dialect dialect : {qts::sql::Dialect::kSqlite, qts::sql::Dialect::kPostgres}) {
    try {
      (void)qts::sql::Translate(statement, Book()->Catalogue(), dialect);
    } catch (...) {
      Broken("an accepted choice breaks the statement it is pasted into",
             CurrentException() + "\nstatement: " + statement, input);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = qts::fuzz::InputText(data, size);
  // The filling as `qts report` makes it from its --set arguments.
  host::ScriptedForm filling;
  filling.confirm = true;
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view set = input.substr(start, end - start);
    const size_t eq = set.find('=');
    if (eq != std::string_view::npos && eq != 0) {
      filling.values.emplace_back(std::string(set.substr(0, eq)), Variant(set.substr(eq + 1)));
    }
    start = end + 1;
  }

  std::unique_ptr<host::Form> form = ReportForm();
  const std::vector<std::string> before = Values(*form);
  host::ScriptedOperator scripted;
  scripted.AnswerForm(std::move(filling));
  try {
    host::FormDescription description = form->Describe();
    if (!scripted.RunModalForm(description)) return 0;
    form->Apply(description);
  } catch (const qts::Error& e) {
    Check(e.Number() == host::kErrOperator || e.Number() == qts::kErrTypeMismatch ||
              e.Number() == qts::kErrInvalidCall,
          "a refused filling with an unexpected error", CurrentException(), input);
    Check(Values(*form) == before, "a refused filling changed the form", "", input);
    return 0;
  } catch (...) {
    Broken("filling the form raised something other than an Error", CurrentException(), input);
  }
  CheckChoice(form->Item("selStore"), input);
  CheckChoice(form->Item("selGood"), input);
  return 0;
}
