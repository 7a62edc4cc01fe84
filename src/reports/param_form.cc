#include "reports/param_form.h"

#include <exception>
#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/report/report_engine.h"
#include "host/services/error_reporter.h"

namespace qts::reports {

using host::Kind;

namespace {

// The last choices of the store/goods forms: key, selector, whether the entry is the type.
struct SavedChoice {
  std::string_view key;
  std::string_view selector;
  bool is_type;
};
constexpr SavedChoice kSavedChoices[] = {
    {"Store", "selStore", false},
    {"StoreSelType", "selStore", true},
    {"Good", "selGood", false},
    {"GoodSelType", "selGood", true},
};

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
  // The type before the codes: a selector reads its codes by its type.
  for (const SavedChoice* choice :
       {&kSavedChoices[1], &kSavedChoices[0], &kSavedChoices[3], &kSavedChoices[2]}) {
    Variant saved = settings->GetFormValue(choice->key, Name());
    host::Control& selector = form.Item(choice->selector);
    if (choice->is_type) {
      bool none = saved.IsEmpty() || CStr(saved).empty();
      selector.SetProperty("SelType", none ? Variant(int16_t{0}) : Variant(CInt(saved)));
    } else {
      selector.SetProperty("SelCodes", saved.IsEmpty() ? Variant(std::string()) : saved);
    }
  }
}

void StoreGoodForm::OnUnload(host::Form& form) {
  std::shared_ptr<host::UserSettings> settings = frame::SharedReportEngine()->UserSettings();
  for (const SavedChoice& choice : kSavedChoices) {
    host::Control& selector = form.Item(choice.selector);
    settings->SaveFormValue(choice.key, Name(),
                            choice.is_type ? Variant(selector.SelType()) : selector.Value());
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
