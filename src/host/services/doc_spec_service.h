// The host's specification service: SQL fragments and lists over the rows of documents
// ("THGoodSpec") that reports and handlers take from the host instead of writing themselves.
#ifndef QTS_HOST_SERVICES_DOC_SPEC_SERVICE_H_
#define QTS_HOST_SERVICES_DOC_SPEC_SERVICE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/date.h"
#include "core/error.h"
#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class ITHDoc;

class DocSpecService : public virtual Object {
 public:
  DocSpecService() = default;
  std::string_view ClassName() const override { return "DocSpecService"; }

  void Init(AppContextPtr book);
  const AppContextPtr& Application() const { return book_; }

  // The document handler the service works for (kept, not used by the members below). Held
  // weakly: the handler owns the engine that owns this service. Null once it is gone.
  std::shared_ptr<ITHDoc> Handler() const { return handler_.lock(); }
  void SetHandler(const std::shared_ptr<ITHDoc>& handler) { handler_ = handler; }

  // T-SQL text of the quantity of row `alias` (a "THGoodSpec" row in the caller's query, e.g.
  // "gs") still free on `date`: its "AmountAccount" minus the fix-log links to it whose
  // outgoing document is dated up to `date`. For a posted receipt dated up to `date` this is
  // the "FreeAmount" of "THGoodSpecFreeRest" with "DateRest" = `date`. The text is one
  // parenthesised expression (a correlated scalar subquery, inner aliases "fxL", "fxO",
  // "fxD"), usable as a column or in a condition of a Query and translated like any other.
  // Raises kErrDocSpecService when `alias` is not a plain identifier.
  [[nodiscard]] std::string FreeAmountExpr(Date date, std::string_view alias) const;

  // The rows of document `doc_id` as the document's printed specification list, ordered by
  // "PosNumb", opened. Columns: "IDC", "PosNumb", "GoodCode", "GoodName", "UnitCode",
  // "Amount", "AccUnitCode", "AmountAccount", "Price", "Summa", "CostSumm", "SummVAT",
  // "BOperCode", "LotPropertyID", "LotName" (the lot property's name, Null without a lot),
  // "PriceNational", "AlgebraicSum", the closing flags "IsGoodClosed", "IsTranClosed",
  // "IsPayClosed", "IsFixed", then, when `with_add_fields`, the additional row fields of
  // `type_code` as "AddFld.<name>".
  //   - `type_code` names the type whose additional fields are joined; empty: the
  //     document's own type.
  //   - `condition`, when not empty, is a further T-SQL condition on the rows (alias
  //     "oTable" for the row, "g" for its good); it goes through the translator.
  //   - `group_by_good` gives one row per good and unit instead, ordered by "GoodCode" and
  //     "UnitCode", with the columns "GoodCode", "GoodName", "UnitCode", "AccUnitCode" and
  //     the sums of "Amount", "AmountAccount", "Summa", "CostSumm" and "SummVAT" (no
  //     additional fields).
  // A document without rows, or an identifier that names no document, gives an empty list.
  // Raises kErrDocSpecService for an unknown type.
  [[nodiscard]] RecordsetPtr SpecList(int32_t doc_id, std::string_view type_code,
                                      std::string_view condition, bool with_add_fields,
                                      bool group_by_good);

 private:
  AppContext& Book() const;

  AppContextPtr book_;
  std::weak_ptr<ITHDoc> handler_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_DOC_SPEC_SERVICE_H_
