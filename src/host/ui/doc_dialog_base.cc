#include "host/ui/doc_dialog_base.h"

#include "core/convert.h"
#include "core/operators.h"
#include "core/text.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/report/print_forms.h"
#include "host/services/business_operations.h"
#include "host/services/document_service.h"
#include "host/services/user_defaults.h"
#include "host/ui/control_list.h"
#include "host/ui/doc_spec.h"
#include "host/ui/operator.h"
#include "host/ui/system_dialog.h"

namespace qts::host {

namespace {

std::string ShownText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return "";
  return CStr(value);
}

}  // namespace

DocDialogBase::DocDialogBase() = default;

DocDialogBase::~DocDialogBase() = default;

void DocDialogBase::Init(std::string_view doc_type, const ObjectPtr& /*form*/,
                         const std::shared_ptr<SystemDialog>& dialog, const THDocumentPtr& doc,
                         std::string_view text, std::string_view lock_field,
                         const std::shared_ptr<DocSpec>& spec, bool sum_flag, int32_t mode,
                         const std::shared_ptr<ControlList>& controls) {
  if (!dialog || !doc) {
    throw Error(kErrSystemDialog, "DocDialogBase", "Init needs the dialog and its document");
  }
  doc_type_ = std::string(doc_type);
  dialog_ = dialog;
  doc_ = doc;
  text_ = std::string(text);
  lock_field_ = std::string(lock_field);
  sum_flag_ = sum_flag;
  mode_ = mode;
  controls_ = controls;
  if (spec) spec->SetLockField(lock_field_);
  // The registered persons are written with the document, before the listeners that come
  // after the base (the controller posts the document).
  write_record_ = dialog->OnWriteRecord.Connect([this](Variant&, Variant&, bool& cancel) {
    if (cancel || IsPosted()) return;
    for (const PersonRoleBinding& binding : roles_) {
      WritePerson(binding.combo->Value(), binding.role);
    }
  });
}

SystemDialog& DocDialogBase::Dialog() const {
  std::shared_ptr<SystemDialog> dialog = dialog_.lock();
  if (!dialog) throw Error(kErrSystemDialog, "DocDialogBase", "the dialog is gone: Init first");
  return *dialog;
}

bool DocDialogBase::IsPosted() const {
  const Variant& posted = doc_->Fields().Item("IsPosted").Value();
  return !posted.IsNull() && !posted.IsEmpty() && IsTrue(Ne(posted, Variant(int32_t{0})));
}

void DocDialogBase::ReadFromFormToDoc() { Dialog().CopyFormToDoc(); }

void DocDialogBase::ReadFromDocToForm(const Variant& /*arg*/) {
  SystemDialog& dialog = Dialog();
  dialog.CopyDocToForm();
  for (const PersonRoleBinding& binding : roles_) {
    ReadPerson(*binding.combo, binding.field, binding.role);
  }
}

void DocDialogBase::ModeInsertNewDoc(const Variant& /*a*/, const Variant& /*b*/) {
  SystemDialog& dialog = Dialog();
  NamedValue& store = doc_->Fields().Item("StoreCode");
  if (ShownText(store.Value()).empty()) {
    UserDefaults defaults;
    defaults.Init(dialog.Book());
    const std::string code = defaults.DefaultStore(doc_type_);
    if (!code.empty()) store.SetValue(Variant(code));
  }
  dialog.CopyDocToForm();
}

bool DocDialogBase::DDXShowChangeState() const { return Dialog().FormChanged(); }

int32_t DocDialogBase::ChangeCount() const { return Dialog().ChangeCount(); }

std::string DocDialogBase::BOperCode() {
  if (!boper_found_) {
    BusinessOperations operations;
    operations.Attach(doc_->Application());
    boper_ = operations.DefaultOperation(
        doc_type_, ShownText(doc_->Fields().Item("CurrencyCode").Value()), true);
    boper_found_ = true;
  }
  return boper_;
}

void DocDialogBase::PostDoc(bool reload) {
  DocumentService service;
  service.Init(doc_->Application(), doc_);
  service.CloseDoc(Variant(), reload);
}

bool DocDialogBase::SaveBeforeAction(bool ask) {
  SystemDialog& dialog = Dialog();
  if (!dialog.InsertMode() && !dialog.HasUnsavedChanges()) return true;
  if (ask && dialog.QueryDataChanged(true)) return false;
  if (!dialog.InsertMode() && !dialog.HasUnsavedChanges()) return true;
  return dialog.Save();
}

std::shared_ptr<ReportRunner> DocDialogBase::PrintForms(std::string_view doc_type, bool ask) {
  const std::vector<PrintForm>& forms = PrintFormsOf(doc_type);
  if (forms.empty()) return nullptr;
  const PrintForm* chosen = &forms.front();
  PrintJob* job = CurrentPrintJob();
  bool named = false;
  if (job && !job->ReportClass().empty()) {
    for (const PrintForm& form : forms) {
      if (EqualsIgnoreCase(form.report_class, job->ReportClass()) ||
          EqualsIgnoreCase(form.code, job->ReportClass())) {
        chosen = &form;
        named = true;
      }
    }
  }
  if (ask && !named && forms.size() > 1) {
    MenuRequest menu;
    menu.owner = "btUsePrint";
    menu.caption = "Spausdinimo forma";
    for (const PrintForm& form : forms) menu.items.push_back({form.report_class, form.caption});
    const int32_t index = CurrentOperator().ChooseMenu(menu);
    if (index < 0) return nullptr;
    chosen = &forms[static_cast<size_t>(index)];
  }
  auto runner = std::make_shared<ReportRunner>();
  runner->Load(chosen->code);
  return runner;
}

void DocDialogBase::ReadPerson(Control& combo, std::string_view /*field*/, std::string_view role) {
  DocumentService service;
  service.Init(doc_->Application(), doc_);
  Dialog().ShowCode(combo, Variant(service.PersonOfRole(role)));
}

void DocDialogBase::WritePerson(const Variant& code, std::string_view role) {
  DocumentService service;
  service.Init(doc_->Application(), doc_);
  service.SetPersonOfRole(role, ShownText(code));
}

PersonRoleBinding DocDialogBase::RegisterPersonRole(Control& combo, std::string_view field,
                                                    std::string_view role) {
  roles_.push_back({&combo, std::string(field), std::string(role)});
  return roles_.back();
}

void DocDialogBase::Terminate() {
  write_record_.Disconnect();
  roles_.clear();
  controls_.reset();
  doc_.reset();
  dialog_.reset();
}

}  // namespace qts::host
