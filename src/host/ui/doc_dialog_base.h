// DocDialogBase: the host's base of a material document dialog ("BaseClass" of the dialog
// controller). It does the exchange between the form and the document for the controller,
// prepares a new document in the form, posts the document, reads and writes the persons named
// on it by role, writes the document before an action that needs it stored, and finds the
// print form of the document type.
#ifndef QTS_HOST_UI_DOC_DIALOG_BASE_H_
#define QTS_HOST_UI_DOC_DIALOG_BASE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"
#include "host/ui/form_model.h"

namespace qts::host {

class ControlList;
class DocSpec;
class ReportRunner;
class SystemDialog;

// A person combo bound to a role on the document: shown from the document's person of the
// role, written back as that person when the document is written.
struct PersonRoleBinding {
  Control* combo;
  std::string field;
  std::string role;
};

class DocDialogBase final : public virtual Object {
 public:
  DocDialogBase();
  ~DocDialogBase() override;
  std::string_view ClassName() const override { return "DocDialogBase"; }

  // Binds the base to the dialog and its document. `text` and `mode` are the host's and kept
  // as given; `lock_field` makes the grid read-only while it is set; `sum_flag` asks for the
  // sum block. `controls` are the form's control codes.
  void Init(std::string_view doc_type, const ObjectPtr& form,
            const std::shared_ptr<SystemDialog>& dialog, const THDocumentPtr& doc,
            std::string_view text, std::string_view lock_field,
            const std::shared_ptr<DocSpec>& spec, bool sum_flag, int32_t mode,
            const std::shared_ptr<ControlList>& controls);

  // The exchange, done for the dialog (see SystemDialog): the bound controls into the
  // document; the document into the bound controls and the registered person roles.
  void ReadFromFormToDoc();
  void ReadFromDocToForm(const Variant& arg);
  // Whether the dialog shows a copy of another document (this host opens no copies: False).
  bool CopyDoc() const { return false; }
  // Shows a new document in the form: a store from the user's defaults when it has none, then
  // the document's values.
  void ModeInsertNewDoc(const Variant& a, const Variant& b);
  // Whether the form shows changes the document does not have yet.
  bool DDXShowChangeState() const;
  // Changes of the document's rows since the form last showed the document.
  int32_t ChangeCount() const;
  // The business operation the dialog works with: the document type's default for the
  // document's currency (any operation of the type when none is marked default); "" when the
  // book has none.
  std::string BOperCode();

  // Posts the (stored) document; `reload` reloads the document object afterwards.
  void PostDoc(bool reload);
  // Writes the document when it is new or the dialog holds unsaved changes (with `ask` the
  // person is asked first). True when the document is stored and written.
  bool SaveBeforeAction(bool ask);
  // The report runner loaded with the print form of `doc_type`: the one the current print job
  // names when it is a print form of the type, else the type's default (with `ask` and several
  // forms the person chooses). Null when the type has no print form or the person chose none.
  std::shared_ptr<ReportRunner> PrintForms(std::string_view doc_type, bool ask);

  // Persons by role ("KP", "KN1", "AA", "DB", "CH", ...): ReadPerson shows the document's
  // person of `role` in `combo`; WritePerson names `code` as that person. RegisterPersonRole
  // makes the base do both itself, on every exchange into the form and every write.
  void ReadPerson(Control& combo, std::string_view field, std::string_view role);
  void WritePerson(const Variant& code, std::string_view role);
  PersonRoleBinding RegisterPersonRole(Control& combo, std::string_view field,
                                       std::string_view role);
  const std::vector<PersonRoleBinding>& PersonRoles() const { return roles_; }

  const std::string& DocType() const { return doc_type_; }
  const std::string& LockField() const { return lock_field_; }
  bool SumFlag() const { return sum_flag_; }
  void Terminate();

 private:
  SystemDialog& Dialog() const;
  bool IsPosted() const;

  std::string doc_type_;
  std::weak_ptr<SystemDialog> dialog_;
  THDocumentPtr doc_;
  std::string text_;
  std::string lock_field_;
  bool sum_flag_ = false;
  int32_t mode_ = 0;
  std::shared_ptr<ControlList> controls_;
  std::string boper_;
  bool boper_found_ = false;
  std::vector<PersonRoleBinding> roles_;
  Connection write_record_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_DOC_DIALOG_BASE_H_
