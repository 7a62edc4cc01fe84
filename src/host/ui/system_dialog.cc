#include "host/ui/system_dialog.h"

#include <cctype>

#include "core/convert.h"
#include "core/operators.h"
#include "core/text.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/report/print_forms.h"
#include "host/ui/doc_spec.h"
#include "host/ui/operator.h"

namespace qts::host {

namespace {

std::string Stripped(std::string_view text) { return std::string(StripAsciiWhitespace(text)); }

constexpr const char* kSource = "SystemDialog";

bool IsSet(const Variant& value) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return false;
  return IsTrue(Ne(value, Variant(int32_t{0})));
}

std::string ShownText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return "";
  if (value.Type() == VarType::kDate) return value.AsDate().ToIso().substr(0, 10);
  return CStr(value);
}

// A control value as the document field takes it: an empty text is no value.
Variant FieldValueOf(const Control& control) {
  const Variant& value = control.Value();
  if (value.Type() == VarType::kString && value.AsString().empty()) return Variant::Null();
  return value;
}

// The current operator, except that the first menu a pressed button opens is answered with
// the item the person named together with the press.
class PresetMenuOperator final : public ForwardingOperator {
 public:
  PresetMenuOperator(std::shared_ptr<Operator> inner, std::string item)
      : ForwardingOperator(std::move(inner)), item_(std::move(item)) {}

  int32_t ChooseMenu(const MenuRequest& menu) override {
    if (used_) return ForwardingOperator::ChooseMenu(menu);
    used_ = true;
    if (std::optional<size_t> index = FindMenuItem(menu, item_)) {
      return static_cast<int32_t>(*index);
    }
    std::string items;
    for (const MenuItem& item : menu.items) {
      items += (items.empty() ? "" : ", ") + item.key;
    }
    throw Error(kErrDialogInput, menu.owner,
                "\"" + item_ + "\" is not an item of the menu of " + menu.owner + " (" +
                    (items.empty() ? "it has none" : items) + ")");
  }
  bool Used() const { return used_; }

 private:
  std::string item_;
  bool used_ = false;
};

}  // namespace

// ---- DialogHost ----

DialogHost::DialogHost(AppContextPtr book, int32_t document_id)
    : book_(std::move(book)),
      document_id_(document_id),
      user_params_(std::make_shared<NamedValueList>()) {}

Variant DialogHost::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& /*args*/) {
  if (kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod) {
    if (EqualsIgnoreCase(name, "ObjectName")) return Variant(object_name_);
    if (EqualsIgnoreCase(name, "DocumentId")) return Variant(document_id_);
    if (EqualsIgnoreCase(name, "Book")) return Variant(std::static_pointer_cast<Object>(book_));
  }
  throw Error(kErrNoSuchMember, "DialogHost", "no member \"" + std::string(name) + "\"");
}

bool DialogHost::HasMember(std::string_view name) const {
  return EqualsIgnoreCase(name, "ObjectName") || EqualsIgnoreCase(name, "DocumentId") ||
         EqualsIgnoreCase(name, "Book");
}

// ---- FormResizer ----

int32_t FormResizer::LayoutOf(Control& control) {
  int32_t code = static_cast<int32_t>(LayoutCode::kFixed);
  GetLayout.Raise(control, code);
  return code;
}

// ---- SystemDialog ----

struct SystemDialog::DocState {
  int32_t idc = 0;
  std::vector<Variant> fields;
  std::vector<Variant> add_fields;
};

SystemDialog::SystemDialog()
    : resizer_(std::make_shared<FormResizer>()), user_params_(std::make_shared<NamedValueList>()) {}

SystemDialog::~SystemDialog() {
  // Unsaved changes never reach the book.
  if (edits_) edits_.reset();
}

void SystemDialog::Init(const ObjectPtr& form, const ObjectPtr& host_object, const Variant& type) {
  type_ = type.IsNull() || type.IsEmpty() || type.IsObject() ? std::string() : CStr(type);
  form_ = TryQueryInterface<IDialogForm>(form);
  if (!form_) {
    throw Error(kErrSystemDialog, kSource,
                "there is no dialog for the document type \"" + type_ + "\"");
  }
  auto host = std::dynamic_pointer_cast<DialogHost>(host_object);
  if (!host || !host->Book()) {
    throw Error(kErrSystemDialog, kSource, "the dialog's host object names no book");
  }
  book_ = host->Book();
  document_id_ = host->DocumentId();
  user_params_ = host->UserParams() ? host->UserParams() : std::make_shared<NamedValueList>();
  doc_ = std::make_shared<THDocument>(book_);
  auto self = std::dynamic_pointer_cast<SystemDialog>(shared_from_this());
  form_->Init(self);
}

Form& SystemDialog::Controls() {
  if (!form_) throw Error(kErrSystemDialog, kSource, "the dialog has no form: Init first");
  return form_->Controls();
}

void SystemDialog::RequireLoaded(std::string_view what) const {
  if (!loaded_) {
    throw Error(kErrSystemDialog, kSource, std::string(what) + " before the dialog was loaded");
  }
}

void SystemDialog::Refuse(const std::string& description) const {
  throw Error(kErrDialogInput, form_ ? form_->Controls().Name() : std::string(kSource),
              description);
}

bool SystemDialog::Load(Variant& mode) {
  if (!form_) throw Error(kErrSystemDialog, kSource, "Load before Init");
  bool cancel = false;
  BeforeLoadHandling.Raise(doc_->Fields(), mode, cancel);
  if (cancel) return false;
  if (document_id_ != 0) {
    if (!doc_->Load(document_id_)) {
      throw Error(kErrSystemDialog, kSource,
                  "the book has no document " + std::to_string(document_id_));
    }
    const std::string type = ShownText(doc_->Fields().Item("DocTypeCode").Value());
    if (type != form_->DocType()) {
      throw Error(kErrSystemDialog, kSource,
                  "document " + std::to_string(document_id_) + " is a " + type + ", not a " +
                      form_->DocType() + ": the form " + Controls().Name() + " cannot open it");
    }
  }
  loaded_ = true;
  Variant extra;
  AfterLoadHandling.Raise(doc_->Fields(), mode, extra);
  DocToForm(Variant(int32_t{0}));
  return true;
}

// ---- Bindings ----

void SystemDialog::BindField(Control& control, std::string_view field,
                             std::string_view lock_field) {
  bindings_.push_back({&control, std::string(field), std::string(lock_field), false});
  try {
    BoundValue(bindings_.back());  // a field the document lacks is refused now (error 9)
    if (!lock_field.empty()) doc_->Fields().Item(lock_field);
  } catch (...) {
    bindings_.pop_back();
    throw;
  }
}

void SystemDialog::BindPersonField(Control& control, std::string_view field, int32_t /*kind*/,
                                   std::string_view lock_field) {
  BindField(control, field, lock_field);
  bindings_.back().person = true;
  if (control.Type() == ControlType::kCombo && CStr(control.Property("TableName")).empty()) {
    control.SetProperty("TableName", Variant("REFPerson"));
  }
}

NamedValue& SystemDialog::BoundValue(const Binding& binding) const {
  constexpr std::string_view kAddPrefix = "AddFld.";
  if (binding.field.size() > kAddPrefix.size() &&
      EqualsIgnoreCase(std::string_view(binding.field).substr(0, kAddPrefix.size()), kAddPrefix)) {
    return doc_->AddFields().Item(std::string_view(binding.field).substr(kAddPrefix.size()));
  }
  return doc_->Fields().Item(binding.field);
}

const SystemDialog::Binding* SystemDialog::BindingOf(const Control& control) const {
  for (const Binding& binding : bindings_) {
    if (binding.control == &control) return &binding;
  }
  return nullptr;
}

bool SystemDialog::IsLocked(const Control& control) const {
  const Binding* binding = BindingOf(control);
  if (!binding || binding->lock_field.empty()) return false;
  return IsSet(doc_->Fields().Item(binding->lock_field).Value());
}

std::string SystemDialog::BoundField(const Control& control) const {
  const Binding* binding = BindingOf(control);
  return binding ? binding->field : std::string();
}

void SystemDialog::ApplyLocks() {
  for (const Binding& binding : bindings_) {
    if (binding.lock_field.empty()) continue;
    binding.control->SetProperty("Enabled", Variant(!IsLocked(*binding.control)));
  }
}

// ---- Exchange ----

bool SystemDialog::FormToDoc() {
  RequireLoaded("FormToDoc");
  Variant arg(int32_t{0});
  exchanged_ = false;
  BeforeDDXExchange.Raise(doc_->Fields(), true, arg);
  bool cancel = false;
  OnDDXExchange.Raise(arg, true, cancel);
  if (cancel) return false;
  if (!exchanged_ && OnDDXExchange.ListenerCount() == 0) CopyFormToDoc();
  exchanged_ = false;
  form_changed_ = false;
  return true;
}

void SystemDialog::DocToForm(const Variant& arg) {
  RequireLoaded("DocToForm");
  Variant a = arg;
  exchanged_ = false;
  BeforeDDXExchange.Raise(doc_->Fields(), false, a);
  bool cancel = false;
  OnDDXExchange.Raise(a, false, cancel);
  if (!cancel && !exchanged_ && OnDDXExchange.ListenerCount() == 0) CopyDocToForm();
  exchanged_ = false;
  ApplyLocks();
  if (std::shared_ptr<DocSpec> spec = Spec(); spec && !spec->IsCurrent()) spec->Reload();
  form_changed_ = false;
  change_count_ = 0;
}

void SystemDialog::Refresh() {
  RequireLoaded("Refresh");
  if (std::shared_ptr<DocSpec> spec = Spec()) spec->Reload();
  for (const Binding& binding : bindings_) {
    if (binding.control->Type() == ControlType::kCombo) {
      ShowCode(*binding.control, binding.control->Value());
    }
  }
}

void SystemDialog::CopyFormToDoc() {
  for (const Binding& binding : bindings_) {
    if (IsLocked(*binding.control)) continue;
    BoundValue(binding).SetValue(FieldValueOf(*binding.control));
  }
  exchanged_ = true;
}

void SystemDialog::CopyDocToForm() {
  for (const Binding& binding : bindings_) {
    const Variant& value = BoundValue(binding).Value();
    if (binding.control->Type() == ControlType::kCombo) {
      ShowCode(*binding.control, value);
    } else {
      binding.control->SetValue(value);
    }
  }
  exchanged_ = true;
}

NamedValueListPtr SystemDialog::ComboRow(const Control& combo, const std::string& code,
                                         bool filtered) {
  const std::string table = CStr(combo.Property("TableName"));
  if (table.empty()) return nullptr;
  QueryPtr query = book_->CreateQuery(table);
  query->AddWhere(
      SqlTools::Instance()->Condition(query->Fields().Item("Code"), kOpEqual, Variant(code)));
  const std::string filter = CStr(combo.Property("Filter"));
  if (filtered && !filter.empty()) query->AddWhere(filter);
  query->Open();
  if (query->RecordCount() == 0) return nullptr;
  auto row = std::make_shared<NamedValueList>();
  for (const NamedValuePtr& entry : query->Fields().Entries()) {
    row->Add(entry->Name(), entry->Kind(), entry->Value());
  }
  return row;
}

void SystemDialog::ShowCode(Control& combo, const Variant& code) {
  const std::string text = ShownText(code);
  NamedValueListPtr row = text.empty() ? nullptr : ComboRow(combo, text, false);
  combo.SetValue(Variant(text));
  combo.SetProperty("Text",
                    Variant(row && row->ExistsField("Name") ? ShownText(row->Item("Name").Value())
                                                            : std::string()));
  combo.SetProperty("AtomObject",
                    row ? Variant(std::static_pointer_cast<Object>(row)) : Variant::Nothing());
}

// ---- IHaldenDialog members ----

bool SystemDialog::RunForm(Variant& a, Variant& /*mode*/, Variant& b, Variant& /*c*/) {
  RequireLoaded("RunForm");
  bool cancel = false;
  BeforeShow.Raise(a, b, cancel);
  if (cancel) return false;
  visible_ = true;
  AfterShow.Raise(a);
  CurrentOperator().RunDialog(*this);
  if (closed_) visible_ = false;
  return true;
}

void SystemDialog::Move(Variant& left, Variant& top, Variant& width, Variant& height) {
  placement_ = {left, top, width, height};
}

void SystemDialog::UnloadForm() {
  if (closed_) return;
  closed_ = true;
  visible_ = false;
  EndEdits(false);
  if (form_) {
    form_->Form_Unload();
    form_->Controls().Unload();
  }
}

bool SystemDialog::QueryDataChanged(bool ask) {
  const bool changed = HasUnsavedChanges();
  if (!ask || !changed || closed_) return changed;
  MessageAnswer answer = CurrentOperator().MessageBox(0, "Išsaugoti dokumento pakeitimus?",
                                                      MessageButtons::kYesNoCancel);
  if (answer == MessageAnswer::kYes) return !Save();
  if (answer == MessageAnswer::kNo) {
    EndEdits(false);
    form_changed_ = false;
    return false;
  }
  return true;
}

bool SystemDialog::InsertMode() const {
  if (!doc_) return false;
  const Variant& idc = doc_->Fields().Item("IDC").Value();
  return idc.IsNull() || idc.IsEmpty() || CLng(idc) == 0;
}

void SystemDialog::SetUserParams(NamedValueListPtr params) {
  user_params_ = params ? std::move(params) : std::make_shared<NamedValueList>();
}

bool SystemDialog::EnableControl(const Variant& key) {
  return CBool(Controls().Item(CStr(key)).Property("Enabled"));
}

void SystemDialog::SetEnableControl(const Variant& key, bool enabled) {
  Controls().Item(CStr(key)).SetProperty("Enabled", Variant(enabled));
}

// ---- Writing ----

void SystemDialog::BeginEdits() {
  RequireLoaded("a change");
  if (edits_ && edits_->IsOpen()) return;
  edits_ = std::make_unique<db::Transaction>(book_->Connection());
}

bool SystemDialog::EditsOpen() const { return edits_ && edits_->IsOpen(); }

void SystemDialog::EndEdits(bool commit) {
  if (!edits_) return;
  std::unique_ptr<db::Transaction> edits = std::move(edits_);
  if (!edits->IsOpen()) return;
  if (commit) {
    edits->Commit();
  } else {
    edits->Rollback();
  }
}

void SystemDialog::StoreForRows() {
  if (!InsertMode()) return;
  BeginEdits();
  FormToDoc();
  DocState before = SaveState();
  try {
    doc_->BeginInsert();
    doc_->EndInsert();
  } catch (...) {
    RestoreState(before);
    throw;
  }
}

SystemDialog::DocState SystemDialog::SaveState() const {
  DocState state;
  const Variant& idc = doc_->Fields().Item("IDC").Value();
  state.idc = idc.IsNull() || idc.IsEmpty() ? 0 : CLng(idc);
  for (const NamedValuePtr& entry : doc_->Fields().Entries())
    state.fields.push_back(entry->Value());
  for (const NamedValuePtr& entry : doc_->AddFields().Entries()) {
    state.add_fields.push_back(entry->Value());
  }
  return state;
}

void SystemDialog::RestoreState(const DocState& state) {
  if (state.idc == 0) {
    doc_->InitNew();
  } else {
    doc_->Load(state.idc);
  }
  const auto& fields = doc_->Fields().Entries();
  for (size_t i = 0; i < fields.size() && i < state.fields.size(); ++i) {
    fields[i]->SetValue(state.fields[i]);
  }
  const auto& add_fields = doc_->AddFields().Entries();
  for (size_t i = 0; i < add_fields.size() && i < state.add_fields.size(); ++i) {
    add_fields[i]->SetValue(state.add_fields[i]);
  }
}

bool SystemDialog::Save() {
  RequireLoaded("Save");
  if (closed_) Refuse("the dialog is closed");
  std::string message;
  if (!form_->Check(message)) {
    CurrentOperator().MessageBox(0, message, MessageButtons::kOk);
    return false;
  }
  if (!FormToDoc()) return false;
  BeginEdits();
  const DocState before = SaveState();
  const bool inserting = InsertMode();
  try {
    db::Transaction write(book_->Connection());
    if (inserting) {
      doc_->BeginInsert();
      doc_->EndInsert();
    } else if (!doc_->Update()) {
      throw Error(kErrSystemDialog, kSource,
                  "document " + std::to_string(before.idc) + " is no longer in the book");
    }
    Variant idc = doc_->Fields().Item("IDC").Value();
    Variant inserted(inserting);
    bool cancel = false;
    OnWriteRecord.Raise(idc, inserted, cancel);
    if (cancel) {
      write.Rollback();
      RestoreState(before);
      return false;
    }
    write.Commit();
  } catch (...) {
    RestoreState(before);
    throw;
  }
  EndEdits(true);
  Variant idc = doc_->Fields().Item("IDC").Value();
  Variant inserted(inserting);
  AfterWriteRecord.Raise(idc, inserted);
  DocToForm(Variant(int32_t{0}));
  return true;
}

// ---- The grid ----

void SystemDialog::AttachSpec(const std::shared_ptr<DocSpec>& spec) { spec_ = spec; }

// ---- DialogSession ----

Control& SystemDialog::EditableControl(std::string_view name) {
  Control* control = Controls().Find(name);
  if (!control) {
    Refuse("the form " + Controls().Name() + " has no control \"" + std::string(name) + "\"");
  }
  const std::string& shown = control->Name();
  switch (control->Type()) {
    case ControlType::kButton:
      Refuse(shown + " is a button: press it");
    case ControlType::kGrid:
      Refuse(shown + " is the grid: edit its cells");
    case ControlType::kLabel:
    case ControlType::kFrame:
    case ControlType::kTabs:
      Refuse(shown + " cannot be set");
    default:
      break;
  }
  if (!CBool(control->Property("Visible"))) Refuse(shown + " is hidden on this form");
  if (IsLocked(*control)) {
    const Binding* binding = BindingOf(*control);
    Refuse(shown + " is read-only while the document's " + binding->lock_field +
           " is set (the document is " +
           (binding->lock_field == "IsPosted" ? std::string("posted") : std::string("locked")) +
           ")");
  }
  if (!CBool(control->Property("Enabled"))) Refuse(shown + " is read-only");
  return *control;
}

void SystemDialog::SetControl(std::string_view name, std::string_view text) {
  RequireLoaded("SetControl");
  if (closed_) Refuse("the dialog is closed");
  Control& control = EditableControl(name);
  if (control.Type() == ControlType::kCombo) {
    const std::string code = Stripped(text);
    NamedValueListPtr row;
    if (!code.empty()) {
      row = ComboRow(control, code, true);
      const std::string table = CStr(control.Property("TableName"));
      if (!row && !table.empty()) {
        const std::string filter = CStr(control.Property("Filter"));
        Refuse(control.Name() + ": \"" + code + "\" is not among the choices (" + table +
               (filter.empty() ? "" : " where " + filter) + ")");
      }
    }
    control.SetValue(Variant(code));
    control.SetProperty(
        "Text", Variant(row && row->ExistsField("Name") ? ShownText(row->Item("Name").Value())
                                                        : std::string()));
    control.SetProperty("AtomObject",
                        row ? Variant(std::static_pointer_cast<Object>(row)) : Variant::Nothing());
  } else {
    FormControl probe{control.Name(), DescribedKind(control.Type()), {}, {}};
    Variant value;
    try {
      value = ParseControlValue(probe, text);
      control.SetValue(value);
    } catch (const Error& error) {
      Refuse(error.Description());
    }
  }
  form_changed_ = true;
}

void SystemDialog::EditCell(std::string_view row, std::string_view column, std::string_view text) {
  RequireLoaded("EditCell");
  if (closed_) Refuse("the dialog is closed");
  std::shared_ptr<DocSpec> spec = Spec();
  if (!spec) Refuse("the form " + Controls().Name() + " has no grid");
  spec->EditCell(row, column, text);
}

void SystemDialog::SelectRow(std::string_view row) {
  RequireLoaded("SelectRow");
  std::shared_ptr<DocSpec> spec = Spec();
  if (!spec) Refuse("the form " + Controls().Name() + " has no grid");
  spec->Select(row);
}

void SystemDialog::Press(std::string_view name, std::string_view item) {
  RequireLoaded("Press");
  if (closed_) Refuse("the dialog is closed");
  Control* button = Controls().Find(name);
  if (!button) {
    Refuse("the form " + Controls().Name() + " has no button \"" + std::string(name) + "\"");
  }
  const std::string& shown = button->Name();
  if (button->Type() != ControlType::kButton) Refuse(shown + " is not a button");
  if (!CBool(button->Property("Visible"))) Refuse("the button " + shown + " is hidden");
  if (!CBool(button->Property("Enabled"))) Refuse("the button " + shown + " is disabled");
  // The dialog's own buttons.
  if (EqualsIgnoreCase(shown, "btApply")) {
    Save();
    return;
  }
  if (EqualsIgnoreCase(shown, "btOk")) {
    if (Save()) UnloadForm();
    return;
  }
  if (EqualsIgnoreCase(shown, "btCancel")) {
    UnloadForm();
    return;
  }
  if (button->Click.ListenerCount() == 0) {
    Refuse("the button " + shown + " does nothing in this dialog");
  }
  // What a button does (pricing, a menu choice) belongs to the dialog's changes. Printing
  // changes nothing: the print button saves what is unsaved first, and an unchanged document
  // is printed as it is.
  if (!EqualsIgnoreCase(shown, "btUsePrint")) BeginEdits();
  if (item.empty()) {
    button->Press();
    return;
  }
  auto preset = std::make_shared<PresetMenuOperator>(CurrentOperatorPtr(), std::string(item));
  {
    ScopedOperator scoped(preset);
    button->Press();
  }
  if (!preset->Used()) {
    Refuse("the button " + shown + " opened no menu to choose \"" + std::string(item) + "\" from");
  }
}

void SystemDialog::Print(std::string_view report_class, const std::filesystem::path& file,
                         bool bar_code) {
  RequireLoaded("Print");
  if (closed_) Refuse("the dialog is closed");
  PrintJob job(file, std::string(report_class), bar_code);
  ScopedPrintJob scoped(job);
  Press("btUsePrint", "");
  if (!job.Printed()) {
    Refuse("the form " + Controls().Name() + " printed nothing (the reason was shown above)");
  }
}

std::vector<std::string> SystemDialog::FindGoods(std::string_view text) {
  RequireLoaded("FindGoods");
  std::shared_ptr<DocSpec> spec = Spec();
  if (!spec) Refuse("the form " + Controls().Name() + " has no grid");
  return spec->FindGoods(text);
}

bool SystemDialog::HasUnsavedChanges() { return form_changed_ || EditsOpen(); }

DialogField SystemDialog::FieldView(Control& control) {
  DialogField field;
  field.name = control.Name();
  field.caption = Controls().ShownCaption(control);
  field.type = control.Type();
  field.enabled = CBool(control.Property("Enabled"));
  // A button nothing stands behind cannot be pressed (the dialog's own buttons excepted).
  if (control.Type() == ControlType::kButton && control.Click.ListenerCount() == 0 &&
      !EqualsIgnoreCase(control.Name(), "btOk") && !EqualsIgnoreCase(control.Name(), "btCancel") &&
      !EqualsIgnoreCase(control.Name(), "btApply")) {
    field.enabled = false;
  }
  field.visible = CBool(control.Property("Visible"));
  field.layout = LayoutCodeOf(resizer_->LayoutOf(control));
  switch (control.Type()) {
    case ControlType::kCombo: {
      const std::string code = ShownText(control.Value());
      const std::string text = CStr(control.Property("Text"));
      field.text = text.empty() ? code : code + " " + text;
      field.value = code;
      break;
    }
    case ControlType::kCheckBox:
      field.text = IsSet(control.Value()) ? "[x]" : "[ ]";
      field.value = IsSet(control.Value()) ? "1" : "0";
      break;
    case ControlType::kTabs:
      for (int32_t i = 0; i < static_cast<int32_t>(control.TabCaptions().size()); ++i) {
        if (control.TabVisible(i)) field.text += "[" + control.TabCaptions()[i] + "] ";
      }
      break;
    case ControlType::kButton:
    case ControlType::kLabel:
    case ControlType::kFrame:
    case ControlType::kGrid:
      break;
    default:
      field.text = ShownText(control.Value());
      field.value = field.text;
      break;
  }
  return field;
}

DialogView SystemDialog::View() {
  RequireLoaded("View");
  DialogView view;
  view.form = Controls().Name();
  view.caption = Controls().ShownCaption();
  if (InsertMode()) {
    view.status = "naujas dokumentas";
  } else {
    view.status =
        "IDC " + ShownText(doc_->Fields().Item("IDC").Value()) + ", " +
        (IsSet(doc_->Fields().Item("IsPosted").Value()) ? "patvirtintas" : "nepatvirtintas");
  }
  if (HasUnsavedChanges()) view.status += ", neišsaugota";
  for (const ControlPtr& control : Controls().Controls()) {
    view.fields.push_back(FieldView(*control));
  }
  if (std::shared_ptr<DocSpec> spec = Spec()) view.grid = spec->View();
  for (const PrintForm& form : PrintFormsOf(form_->DocType())) {
    view.print_forms.push_back(form.report_class);
  }
  return view;
}

}  // namespace qts::host
