// The book's fix log ("THGoodSpecFixLog"), one current link at a time. A link says that an
// outgoing row ("OutcomeSpecID") took "Amount" accounting units of an incoming row
// ("IncomeSpecID"); "Type" tells who made it (0, the column's default: posting).
//
// Calling order: AddNew, set values, Update (writes the new link and sets its "IDC"); Find or
// MoveToID position on a stored link; Delete removes one by "IDC". A link that does not exist
// answers False and changes nothing. Statements are prepared once per book through the
// connection's cache.
#ifndef QTS_HOST_DOCUMENTS_TH_GOOD_SPEC_FIX_LOG_H_
#define QTS_HOST_DOCUMENTS_TH_GOOD_SPEC_FIX_LOG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/object.h"
#include "db/connection.h"
#include "host/data/named_value_list.h"
#include "host/documents/table_layout.h"
#include "host/fwd.h"

namespace qts::host {

// The "Type" of the links a fuel write-off makes.
inline constexpr int32_t kFixLinkFuelWriteOff = 5;

class THGoodSpecFixLog : public virtual Object {
 public:
  // Touches no database until the first data operation.
  explicit THGoodSpecFixLog(AppContextPtr application);
  ~THGoodSpecFixLog() override;
  std::string_view ClassName() const override { return "THGoodSpecFixLog"; }

  const AppContextPtr& Application() const { return application_; }

  // The current link: every column of the fix log. After construction and AddNew: a blank
  // link, every column at its default, "IDC" 0.
  NamedValueList& Fields();

  // Makes the current link a blank new one.
  void AddNew();
  // Writes the new link started by AddNew, makes it current and sets its "IDC". Raises
  // kErrDocument without AddNew or without "OutcomeSpecID" or "IncomeSpecID", error 13 for a
  // value a column cannot take, the book's constraint error for a row the book does not have.
  void Update();

  // Position on a link; False, changing nothing, when it does not exist.
  bool MoveToID(int32_t idc);
  // The first link (lowest "IDC") matching a T-SQL condition over the fix log's columns (also
  // qualified as "oTable."); it goes through the translator.
  bool Find(std::string_view condition);
  // Removes link `idc`; False when there is none.
  bool Delete(int32_t idc);

 private:
  void EnsureLayout();

  AppContextPtr application_;
  std::unique_ptr<TableLayout> layout_;
  NamedValueListPtr fields_;
  bool adding_ = false;
  std::string insert_sql_, select_sql_, remove_sql_;
  db::StatementHandle insert_, select_, remove_;
};

}  // namespace qts::host

#endif  // QTS_HOST_DOCUMENTS_TH_GOOD_SPEC_FIX_LOG_H_
