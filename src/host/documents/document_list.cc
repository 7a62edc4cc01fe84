#include "host/documents/document_list.h"

#include "core/error.h"
#include "core/error_numbers.h"
#include "core/variant.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"

namespace qts::host {

RecordsetPtr ListDocuments(const AppContextPtr& book, const DocumentFilter& filter) {
  if (filter.limit < 1 || filter.offset < 0) {
    throw Error(kErrInvalidCall, "ListDocuments",
                "a page of documents needs a limit of at least 1 and an offset of at least 0");
  }
  const SqlTools& sql = *SqlTools::Instance();
  QueryPtr q = book->CreateQuery("THDocument");
  q->Fields().KeepOnly({"IDC", "DocTypeCode", "Number", "DocumentDate", "StoreCode", "IsPosted"});
  if (!filter.type.empty()) {
    q->AddWhere("oTable.DocTypeCode = " + sql.SqlValue(Variant(filter.type), Kind::kCode));
  }
  if (!filter.number.empty()) {
    q->AddWhere("oTable.Number LIKE " +
                sql.SqlValue(Variant("%" + filter.number + "%"), Kind::kText));
  }
  if (!filter.store.empty()) {
    q->AddWhere("oTable.StoreCode = " + sql.SqlValue(Variant(filter.store), Kind::kCode));
  }
  if (filter.from) {
    q->AddWhere("oTable.DocumentDate >= " + sql.SqlValue(Variant(*filter.from), Kind::kDate));
  }
  if (filter.to) {
    q->AddWhere("oTable.DocumentDate <= " + sql.SqlValue(Variant(*filter.to), Kind::kDate));
  }
  q->OrderBy("oTable.DocumentDate DESC, oTable.IDC DESC");
  q->SetTop(filter.offset + filter.limit);
  q->Open();
  RecordsetPtr rows = q->OpenRecordset();
  // The T-SQL the book speaks pages with TOP only: the rows before the page are stepped over.
  if (rows->RecordCount() > 0) rows->MoveFirst();
  for (int32_t i = 0; i < filter.offset && !rows->Eof(); ++i) rows->MoveNext();
  return rows;
}

}  // namespace qts::host
