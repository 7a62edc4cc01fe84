#include "dialogs/halden_user_dialogs.h"

#include "core/convert.h"
#include "dialogs/frm_mfc.h"
#include "dialogs/frm_mmo.h"
#include "dialogs/frm_pack.h"
#include "frame/catalogue.h"
#include "host/data/named_value_list.h"
#include "host/ui/dialog_form.h"
#include "host/ui/system_dialog.h"

namespace qts::dialogs {

namespace {

const frame::ClassRegistrar kDispatcher("CreateTarnUserDialogs", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CreateTarnUserDialogs>());
});
const frame::ClassRegistrar kDialogs("HaldenUserDialogs", [] {
  return std::static_pointer_cast<Object>(std::make_shared<HaldenUserDialogs>());
});

}  // namespace

// ---- CreateTarnUserDialogs ----

CreateTarnUserDialogs::CreateTarnUserDialogs() {
  table_.Add("CreateDialogs", InvokeKind::kMethod, [this](std::vector<Variant>& a) {
    if (a.size() < 2) {
      throw Error(kErrInvalidCall, "CreateTarnUserDialogs",
                  "argument not optional: CreateDialogs takes ObjName and vntParm");
    }
    std::string name = CStr(a[0]);
    ObjectPtr form = CreateDialogs(name, a[1]);
    return form ? Variant(form) : Variant::Nothing();
  });
}

ObjectPtr CreateTarnUserDialogs::CreateDialogs(std::string& /*ObjName*/, Variant& vntParm) {
  const Variant parm = vntParm;
  if (parm.Type() != VarType::kString) return nullptr;
  const std::string& type = parm.AsString();
  if (type == "MFC") return std::make_shared<frmMFC>();
  if (type == "MMO") return std::make_shared<frmMMO>();
  if (type == "PACK") return std::make_shared<frmPACK>();
  return nullptr;
}

Variant CreateTarnUserDialogs::Invoke(std::string_view name, InvokeKind kind,
                                      std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

// ---- HaldenUserDialogs ----

HaldenUserDialogs::HaldenUserDialogs() {
  using K = InvokeKind;
  table_.Add("UnloadFormOnClose", K::kPropertyPut, [this](std::vector<Variant>& a) {
    if (a.empty()) throw Error(kErrInvalidCall, "HaldenUserDialogs", "a value is needed");
    SetUnloadFormOnClose(CBool(a.back()));
    return Variant();
  });
  table_.Add("UnloadFormOnClose", K::kPropertyGet,
             [this](std::vector<Variant>&) { return Variant(UnloadFormOnClose()); });
  table_.Add("InsertMode", K::kPropertyGet,
             [this](std::vector<Variant>&) { return Variant(InsertMode()); });
  table_.Add("DataChanged", K::kPropertyGet,
             [this](std::vector<Variant>&) { return Variant(DataChanged()); });
}

HaldenUserDialogs::~HaldenUserDialogs() {
  if (mSysDialog) mSysDialog->UnloadForm();
}

host::SystemDialog& HaldenUserDialogs::Require(std::string_view member) {
  if (!mSysDialog) {
    throw Error(kErrObjectRequired, "HaldenUserDialogs::" + std::string(member),
                "mSysDialog == Nothing: Init was not called");
  }
  return *mSysDialog;
}

void HaldenUserDialogs::Init(const ObjectPtr& HostObject, const ObjectPtr& Callback,
                             const Variant& vntParm) {
  callback_ = TryQueryInterface<host::IDialogEventSink>(Callback);
  relays_.clear();
  mSysDialog = std::make_shared<host::SystemDialog>();
  host::SystemDialog& d = *mSysDialog;
  relays_.push_back(d.BeforeLoadHandling.Connect(
      [this](host::NamedValueList& fields, Variant& mode, bool& cancel) {
        if (callback_) callback_->BeforeLoadHandling(fields, mode, cancel);
      }));
  relays_.push_back(d.AfterLoadHandling.Connect(
      [this](host::NamedValueList& fields, Variant& mode, Variant& extra) {
        if (callback_) callback_->AfterLoadHandling(fields, mode, extra);
      }));
  relays_.push_back(d.BeforeShow.Connect([this](Variant& a, Variant& b, bool& cancel) {
    if (callback_) callback_->BeforeShow(a, b, cancel);
  }));
  relays_.push_back(d.AfterShow.Connect([this](Variant& a) {
    if (callback_) callback_->AfterShow(a);
  }));
  relays_.push_back(d.AfterWriteRecord.Connect([this](Variant& idc, Variant& inserted) {
    if (callback_) callback_->AfterWriteRecord(idc, inserted);
  }));

  std::vector<Variant> no_args;
  std::string name = CStr(CallByName(HostObject, "ObjectName", InvokeKind::kPropertyGet));
  Variant parm = vntParm;
  ObjectPtr form;
  {
    auto factory = std::make_shared<CreateTarnUserDialogs>();
    form = factory->CreateDialogs(name, parm);
  }
  mSysDialog->Init(form, HostObject, vntParm);
  Variant mode(int32_t{0});
  (void)mSysDialog->Load(mode);
}

void HaldenUserDialogs::UnloadForm() {
  if (mSysDialog) mSysDialog->UnloadForm();
}

bool HaldenUserDialogs::RunForm(Variant& a, Variant& b, Variant& c) {
  Variant mode(int32_t{0});
  (void)Require("RunForm").RunForm(a, mode, b, c);
  return false;
}

void HaldenUserDialogs::Move(Variant& Left, Variant& Top, Variant& Width, Variant& Height) {
  Require("Move").Move(Left, Top, Width, Height);
}

bool HaldenUserDialogs::InsertMode() { return Require("InsertMode").InsertMode(); }

bool HaldenUserDialogs::Visible() { return Require("Visible").Visible(); }

bool HaldenUserDialogs::DataChanged() {
  host::SystemDialog& d = Require("DataChanged");
  if (d.DataChanged()) return true;
  return d.QueryDataChanged(false);
}

host::NamedValueListPtr HaldenUserDialogs::UserParams() {
  return Require("UserParams").UserParams();
}

void HaldenUserDialogs::SetUserParams(const host::NamedValueListPtr& value) {
  Require("UserParams").SetUserParams(value);
}

bool HaldenUserDialogs::EnableControl(const Variant& Key) {
  return Require("EnableControl").EnableControl(Key);
}

void HaldenUserDialogs::SetEnableControl(const Variant& Key, bool value) {
  Require("EnableControl").SetEnableControl(Key, value);
}

bool HaldenUserDialogs::UnloadFormOnClose() {
  return mSysDialog ? mSysDialog->UnloadFormOnClose() : false;
}

void HaldenUserDialogs::SetUnloadFormOnClose(bool value) {
  if (mSysDialog) mSysDialog->SetUnloadFormOnClose(value);
}

bool HaldenUserDialogs::UpdateListAfterClose() {
  return mSysDialog ? mSysDialog->UpdateListAfterClose() : false;
}

void HaldenUserDialogs::SetUpdateListAfterClose(bool value) {
  if (mSysDialog) mSysDialog->SetUpdateListAfterClose(value);
}

int32_t HaldenUserDialogs::CopyObjectID() { return mSysDialog ? mSysDialog->CopyObjectID() : 0; }

void HaldenUserDialogs::SetCopyObjectID(int32_t value) {
  if (mSysDialog) mSysDialog->SetCopyObjectID(value);
}

Variant HaldenUserDialogs::Invoke(std::string_view name, InvokeKind kind,
                                  std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

}  // namespace qts::dialogs
