// The host's document dialog: shows one document to the person through the Operator (a
// terminal prints it and asks, a scripted operator records it and fills it as scripted).
//
// The dialog is the form "frmDocument": read-only labels for the type, number and state and
// one label per row ("row<PosNumb>": good, unit, amount, price, sum), and editable controls
// "edName" (text), "edDate" (date) and "cbStore" (combo) for the header. On confirm the
// edited header values are written back to the document (THDocument::Update) when they
// differ; a store code the book does not hold is refused (kErrDocEditor) and nothing is
// written.
#ifndef QTS_HOST_SERVICES_DOC_EDITOR_H_
#define QTS_HOST_SERVICES_DOC_EDITOR_H_

#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "core/object.h"
#include "host/fwd.h"
#include "host/ui/form.h"

namespace qts::host {

class DocEditor : public virtual Object {
 public:
  DocEditor() = default;
  // Binds the editor to `book`.
  explicit DocEditor(AppContextPtr book) : book_(std::move(book)) {}
  std::string_view ClassName() const override { return "DocEditor"; }

  void Init(AppContextPtr book) { book_ = std::move(book); }

  // Opens document `idc` in the dialog through the current operator; True when the person
  // confirmed it (and any edits were written), False when cancelled. Raises kErrDocEditor when
  // the book holds no document `idc`.
  bool Edit(int32_t idc);

  // The form Edit shows for document `idc` (for a terminal preview or a test).
  [[nodiscard]] FormDescription DescribeDocument(int32_t idc);

 private:
  AppContextPtr book_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_DOC_EDITOR_H_
