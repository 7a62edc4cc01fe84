// The fill of a packaging declaration's rows from its computation, as one step process: the
// first step deletes the rows the document has, each further step writes one result row of the
// declaration query (PackDeclaration) as a document row -- good, unit, quantity, material kind
// and type with their names, and the six amounts (AmountsOf). Run by the host's step runner,
// it is one transaction (a savepoint inside the dialog's): when any step fails, the document's
// rows are as they were.
//
// Also here: the names the packaging rows show beside their codes (material kind, type, unit),
// looked up in their reference tables, each read once and kept.
#ifndef QTS_DIALOGS_PACK_FILL_H_
#define QTS_DIALOGS_PACK_FILL_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/variant.h"
#include "frame/component_object.h"
#include "host/data/query.h"
#include "host/fwd.h"
#include "host/interfaces.h"

namespace qts::dialogs {

// Messages of the packaging form.
inline constexpr int32_t kMsgPackReplaceRows = 27409;
inline constexpr int32_t kMsgPackRowsWritten = 27410;
inline constexpr int32_t kMsgPackDuplicate = 27411;
inline constexpr int32_t kMsgPackPeriod = 27412;

class PackNames {
 public:
  explicit PackNames(host::AppContextPtr book) : book_(std::move(book)) {}
  // The name of the code in "REFPackMaterialKind", "REFPackType", "REFUnit"; Null when the
  // table has no such code.
  Variant MaterialName(const Variant& code) {
    return Lookup(materials_, "REFPackMaterialKind", code);
  }
  Variant TypeName(const Variant& code) { return Lookup(types_, "REFPackType", code); }
  Variant UnitName(const Variant& code) { return Lookup(units_, "REFUnit", code); }

 private:
  struct Table {
    host::QueryPtr query;
    std::map<std::string, std::string> names;
  };
  Variant Lookup(Table& table, std::string_view name, const Variant& code);

  host::AppContextPtr book_;
  Table materials_, types_, units_;
};

class CPackFill final : public frame::ComponentObject, public Implements<host::IProcessObject> {
 public:
  // Replaces the rows of document `doc_id` with the rows of `declaration` (not yet opened; the
  // fill opens it when the runner asks for the step count). With `reusable` the rows carry the
  // returned amount.
  CPackFill(host::AppContextPtr book, int32_t doc_id, host::QueryPtr declaration, bool reusable);
  std::string_view ClassName() const override { return "CPackFill"; }

  std::string Caption() override;
  int32_t CountStep() override;
  void Step() override;

  // The rows written so far.
  int32_t Written() const { return written_; }

 private:
  void DeleteRows();
  void WriteRow();

  host::AppContextPtr book_;
  int32_t doc_id_;
  host::QueryPtr declaration_;
  bool reusable_;
  host::THGoodSpecPtr spec_;
  PackNames names_;
  bool deleted_ = false;
  int32_t written_ = 0;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_PACK_FILL_H_
