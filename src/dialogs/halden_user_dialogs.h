// The dialog dispatcher: how the host opens a document dialog of this component.
//   - CreateTarnUserDialogs turns a document type code into a new form: "MFC" frmMFC, "MMO"
//     frmMMO, "PACK" frmPACK (compared exactly, case-sensitive); any other code gives no form.
//   - HaldenUserDialogs is the IHaldenDialog the host holds for one open dialog: Init makes the
//     host's SystemDialog, gets the form for the type and has the SystemDialog load it; every
//     other member is forwarded to the SystemDialog, and the SystemDialog's load, show and
//     after-write events are relayed at once to the caller's event receiver.
// Host errors reach the caller unchanged; nothing is shown here.
#ifndef QTS_DIALOGS_HALDEN_USER_DIALOGS_H_
#define QTS_DIALOGS_HALDEN_USER_DIALOGS_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "frame/component_object.h"
#include "host/fwd.h"
#include "host/interfaces.h"

namespace qts::host {
class IDialogEventSink;
class SystemDialog;
}  // namespace qts::host

namespace qts::dialogs {

class CreateTarnUserDialogs final : public frame::ComponentObject, public Implements<IDispatch> {
 public:
  CreateTarnUserDialogs();
  std::string_view ClassName() const override { return "CreateTarnUserDialogs"; }

  // A new form for the type in `vntParm`; null for a type without one. `ObjName` is accepted
  // and not used.
  ObjectPtr CreateDialogs(std::string& ObjName, Variant& vntParm);

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  DispatchTable table_;
};

class HaldenUserDialogs final : public frame::ComponentObject,
                                public Implements<host::IHaldenDialog, IDispatch> {
 public:
  HaldenUserDialogs();
  // Unloads the form when one is open.
  ~HaldenUserDialogs() override;
  std::string_view ClassName() const override { return "HaldenUserDialogs"; }

  // Opens the dialog: `HostObject` names the document (its "ObjectName" is read by name),
  // `Callback` (may be null) receives the relayed events, `vntParm` is the document type.
  void Init(const ObjectPtr& HostObject, const ObjectPtr& Callback,
            const Variant& vntParm) override;
  void UnloadForm() override;
  // Runs the form; the host's own answer is dropped and False is returned.
  bool RunForm(Variant& a, Variant& b, Variant& c) override;
  void Move(Variant& Left, Variant& Top, Variant& Width, Variant& Height) override;
  bool InsertMode() override;
  bool Visible() override;
  // The dialog's DataChanged; when that is False, its QueryDataChanged(False).
  bool DataChanged() override;
  host::NamedValueListPtr UserParams() override;
  void SetUserParams(const host::NamedValueListPtr& value) override;
  bool EnableControl(const Variant& Key) override;
  void SetEnableControl(const Variant& Key, bool value) override;
  // Before Init these read False / 0 and writes do nothing.
  bool UnloadFormOnClose() override;
  void SetUnloadFormOnClose(bool value) override;
  bool UpdateListAfterClose() override;
  void SetUpdateListAfterClose(bool value) override;
  int32_t CopyObjectID() override;
  void SetCopyObjectID(int32_t value) override;

  // The host's dialog (null before Init).
  const std::shared_ptr<host::SystemDialog>& SysDialog() const { return mSysDialog; }

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  host::SystemDialog& Require(std::string_view member);

  std::shared_ptr<host::SystemDialog> mSysDialog;
  std::shared_ptr<host::IDialogEventSink> callback_;
  std::vector<Connection> relays_;
  DispatchTable table_;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_HALDEN_USER_DIALOGS_H_
