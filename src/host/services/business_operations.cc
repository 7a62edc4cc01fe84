#include "host/services/business_operations.h"

#include "core/error.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/schema/schema.h"

namespace qts::host {

void BusinessOperations::Attach(AppContextPtr book) { book_ = std::move(book); }

std::string BusinessOperations::DefaultOperation(std::string_view doc_type,
                                                 std::string_view currency, bool any_when_none) {
  if (!book_) {
    throw Error(kErrBook, "BusinessOperations", "no book is attached (Attach was not called)");
  }
  // Operations of the type that fit the currency, best first: marked default before the
  // others, the currency's own before those without a currency, then by code.
  db::StatementHandle s = book_->PrepareTsql(
      "SELECT Code, COALESCE(IsDefault, 0) FROM REFBusinessOperation WHERE DocTypeCode = ?"
      " AND (CurrencyCode = ? OR CurrencyCode IS NULL OR CurrencyCode = '')"
      " ORDER BY COALESCE(IsDefault, 0) DESC, CASE WHEN CurrencyCode = ? THEN 0 ELSE 1 END, Code");
  s->BindText(1, doc_type);
  s->BindText(2, currency);
  s->BindText(3, currency);
  if (!s->Step()) return {};
  if (s->GetInt64(1) == 0 && !any_when_none) return {};
  return s->GetText(0);
}

}  // namespace qts::host
