#include "reports/param_form.h"

#include <exception>
#include <optional>
#include <set>
#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/report/report_engine.h"
#include "host/services/error_reporter.h"
#include "host/ui/operator.h"

namespace qts::reports {

using host::Kind;

namespace {

// The last choices of the store/goods forms: per selector, the keys of its codes and its type.
struct SavedChoice {
  std::string_view selector;
  std::string_view codes_key;
  std::string_view type_key;
};
constexpr SavedChoice kSavedChoices[] = {
    {"selStore", "Store", "StoreSelType"},
    {"selGood", "Good", "GoodSelType"},
};

// A saved selection type: "" (nothing saved) is none; anything but a whole number 0..3 is
// nullopt.
std::optional<int32_t> SavedSelType(const Variant& saved) {
  const std::string text = saved.IsEmpty() ? std::string() : CStr(saved);
  if (text.empty()) return host::kSelNone;
  if (text.size() != 1 || text[0] < '0' || text[0] > '3') return std::nullopt;
  return text[0] - '0';
}

std::string Shortened(const std::string& text) {
  return text.size() <= 60 ? text : text.substr(0, 57) + "...";
}

// The codes of `table` that satisfy `condition` on its Code.
std::set<std::string> FoundCodes(const host::AppContextPtr& book, std::string_view table,
                                 const std::string& condition) {
  host::QueryPtr query = book->CreateQuery(std::string(table));
  query->Fields().KeepOnly({"Code"});
  query->AddWhere(condition);
  query->Open();
  std::set<std::string> codes;
  for (; !query->Eof(); query->MoveNext()) codes.insert(CStr(query->Fields().Item("Code").Value()));
  return codes;
}

// The value a literal of a selection text stands for: a quoted text without its quotes (a
// doubled quote as one), a number as written.
std::string LiteralValue(const std::string& literal) {
  if (literal.size() < 2 || literal.front() != '\'') return literal;
  std::string value;
  for (size_t i = 1; i + 1 < literal.size(); ++i) {
    value += literal[i];
    if (literal[i] == '\'' && literal[i + 1] == '\'') ++i;
  }
  return value;
}

}  // namespace

bool IsGoodGroup(const host::AppContextPtr& book, const std::string& code) {
  if (!book) throw Error(kErrObjectRequired, "IsGoodGroup", "the selector has no Context");
  host::QueryPtr good = book->CreateQuery("REFGood");
  good->AddWhere(host::SqlTools::Instance()->Condition(good->Fields().Item("Code"), host::kOpEqual,
                                                       Variant(code)));
  good->Open();
  if (good->Eof()) return false;
  const Variant& is_group = good->Fields().Item("IsGroup").Value();
  return !is_group.IsNull() && CLng(is_group) == 1;
}

GoodSelection ResolveGoodSelection(const host::AppContextPtr& book, int32_t sel_type,
                                   const std::string& sel_codes) {
  GoodSelection selection;
  switch (sel_type) {
    case host::kSelList:
      selection.good_code = sel_codes;
      break;
    case host::kSelGroup:
      selection.good_group = sel_codes;
      break;
    case host::kSelSingle:
      if (IsGoodGroup(book, sel_codes)) {
        selection.good_group = sel_codes;
      } else {
        selection.good_code = "'" + sel_codes + "'";
      }
      break;
    default:
      break;
  }
  return selection;
}

std::string SelectionProblem(const host::AppContextPtr& book, std::string_view table,
                             int32_t sel_type, const std::string& codes, bool in_book) {
  if (sel_type < host::kSelNone || sel_type > host::kSelSingle) {
    return "the selection type " + std::to_string(sel_type) + " is not 0 to 3";
  }
  // The store's codes are read as a list whatever the type; the goods' by the type.
  const bool store = EqualsIgnoreCase(table, "STStore");
  if (codes.empty() || (!store && sel_type == host::kSelNone)) return "";
  const host::SqlTools& sql = *host::SqlTools::Instance();
  if (store || sel_type == host::kSelList) {
    std::vector<std::string> literals;
    try {
      literals = host::SqlTools::SelectionLiterals(codes);
    } catch (const Error& e) {
      return e.Description();
    }
    if (!in_book) return "";
    const std::set<std::string> found = FoundCodes(
        book, table, sql.ColumnCondition("Code", Kind::kCode, host::kOpInList, Variant(codes)));
    std::string missing;
    for (const std::string& literal : literals) {
      if (!found.contains(LiteralValue(literal)))
        missing += (missing.empty() ? "" : ", ") + literal;
    }
    if (!missing.empty()) {
      return "the book has no " + std::string(store ? "store " : "good ") + Shortened(missing);
    }
    return "";
  }
  // One code, typed or picked, is compared as a text literal, which cannot carry a NUL
  // character (SqlTools refuses it when the report runs).
  if (codes.find('\0') != std::string::npos) return "the code holds a NUL character";
  if (!in_book) return "";
  const std::string condition =
      sql.ColumnCondition("Code", Kind::kCode, host::kOpEqual, Variant(codes));
  if (sel_type == host::kSelGroup) {
    if (!IsGoodGroup(book, codes)) return "the book has no goods group " + Shortened(codes);
  } else if (FoundCodes(book, table, condition).empty()) {
    return "the book has no good " + Shortened(codes);
  }
  return "";
}

// --- ParamForm ---

ParamForm::ParamForm(std::string name, std::string caption_key)
    : name_(std::move(name)), caption_key_(std::move(caption_key)) {}

ParamForm::~ParamForm() = default;

void ParamForm::Unload() noexcept {
  m_oForm.reset();
  binder_.reset();
  before_show_.Disconnect();
  try {
    form_->Unload();
  } catch (...) {
    // A choice that cannot be saved must not hide the outcome of the run.
  }
  unloading_.Disconnect();
}

bool ParamForm::Run(host::AppContextPtr& book, host::NamedValueListPtr& values) {
  form_ = std::make_shared<host::Form>(name_, std::string(kParamFormCaption), caption_key_);
  BuildControls(*form_);
  form_->Add("FrameDlg", host::ControlType::kFrame);
  host::Control& ok = form_->Add("btOk", host::ControlType::kButton, "Gerai");
  host::Control& cancel = form_->Add("btCancel", host::ControlType::kButton, "Atšaukti");
  unloading_ = form_->Unloading.Connect([this](host::Form& form) { OnUnload(form); });

  bool confirmed = false;
  std::exception_ptr failure;
  try {
    m_oForm = std::make_shared<host::ParamDialog>();
    before_show_ = m_oForm->BeforeShow.Connect([this](bool& c) { m_oForm_BeforeShow(c); });
    m_oForm->Init(form_, ok, cancel, book, true, true);
    if (HasPeriod()) {
      binder_ = std::make_shared<host::PeriodBinder>();
      binder_->Init(form_, form_->Item("edBegDate"), form_->Item("edEndDate"), ok, cancel, true,
                    true);
    }
    BindControls(*form_, book);
    m_oForm->Show();
    confirmed = m_oForm->Confirmed();
    if (confirmed) WriteValues(*values);
  } catch (...) {
    failure = std::current_exception();
  }
  Unload();
  if (failure) {
    // The form's handler: the error is shown as it was raised (an error raised without a
    // source names the form), and the form returns as a cancelled one would.
    host::ErrorInfo info = host::ErrorInfo::From(failure);
    try {
      throw Error(info.number, info.source.empty() ? name_ : info.source, info.description);
    } catch (const Error&) {
      frame::ShowCurrentError();
    }
    return false;
  }
  return confirmed;
}

// --- StoreGoodForm ---

void StoreGoodForm::AddSelectors(host::Form& form) {
  form.Add("selStore", host::ControlType::kSelector, "Sandėlis : ", "#13303");
  form.Add("selGood", host::ControlType::kSelector, "Prekė : ", "#13302");
}

void StoreGoodForm::BindControls(host::Form& form, const host::AppContextPtr& book) {
  Variant context(std::static_pointer_cast<Object>(book));
  form.Item("selStore").SetProperty("Context", context);
  form.Item("selGood").SetProperty("Context", context);
  form.Item("selStore").SetProperty("TableName", Variant("STStore"));
  form.Item("selGood").SetProperty("TableName", Variant("REFGood"));
}

void StoreGoodForm::m_oForm_BeforeShow(bool& /*cancel*/) {
  host::Form& form = CurrentForm();
  form.Item("selGood").SetProperty("Filter", Variant(host::SqlTools::Instance()->ColumnCondition(
                                                 "IsGroup", Kind::kFlag, host::kOpEqual,
                                                 Variant(int32_t{0}), Variant(), Variant(true))));
  std::shared_ptr<host::UserSettings> settings = frame::SharedReportEngine()->UserSettings();
  for (const SavedChoice& choice : kSavedChoices) {
    const Variant saved_type = settings->GetFormValue(choice.type_key, Name());
    const Variant saved_codes = settings->GetFormValue(choice.codes_key, Name());
    const std::string codes = saved_codes.IsEmpty() ? std::string() : CStr(saved_codes);
    std::optional<int32_t> type = SavedSelType(saved_type);
    host::Control& selector = form.Item(choice.selector);
    std::string problem =
        type ? SelectionProblem(m_oForm->Book(), CStr(selector.Property("TableName")), *type, codes,
                                true)
             : "the selection type \"" + CStr(saved_type) + "\" is not 0 to 3";
    if (!problem.empty()) {
      // A choice saved by an older version, or whose store or good has since been deleted:
      // the form starts from its default, and the person is told why.
      host::CurrentOperator().MessageBox(
          0, "The last choice of " + std::string(choice.selector) + " (\"" + Shortened(codes) +
                 "\") is dropped: " + problem + ". The form starts from its default.");
      type = host::kSelNone;
      settings->SaveFormValue(choice.type_key, Name(), Variant(std::string()));
      settings->SaveFormValue(choice.codes_key, Name(), Variant(std::string()));
    }
    // The type before the codes: a selector reads its codes by its type.
    selector.SetProperty("SelType", Variant(static_cast<int16_t>(*type)));
    selector.SetProperty("SelCodes", Variant(problem.empty() ? codes : std::string()));
  }
}

void StoreGoodForm::OnUnload(host::Form& form) {
  std::shared_ptr<host::UserSettings> settings = frame::SharedReportEngine()->UserSettings();
  for (const SavedChoice& choice : kSavedChoices) {
    host::Control& selector = form.Item(choice.selector);
    const std::string codes = CStr(selector.Value());
    // A choice the run would refuse is not remembered: the one saved before stays.
    if (!SelectionProblem(nullptr, CStr(selector.Property("TableName")), selector.SelType(), codes,
                          false)
             .empty()) {
      continue;
    }
    settings->SaveFormValue(choice.type_key, Name(), Variant(selector.SelType()));
    settings->SaveFormValue(choice.codes_key, Name(), Variant(codes));
  }
}

std::string StoreGoodForm::StoreChoice() const {
  return CStr(CurrentForm().Item("selStore").Value());
}

GoodSelection StoreGoodForm::GoodChoice() const {
  const host::Control& good = CurrentForm().Item("selGood");
  host::AppContextPtr context;
  Variant bound = good.Property("Context");
  if (bound.IsObject() && !bound.IsNothing()) {
    context = std::dynamic_pointer_cast<host::AppContext>(bound.AsObject());
  }
  return ResolveGoodSelection(context, good.SelType(), CStr(good.Value()));
}

}  // namespace qts::reports
