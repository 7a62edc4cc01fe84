// The documents of a book as a list a person looks through: newest first, narrowed by type,
// number, dates and store, a page at a time. The command line's `doc list` and the browser's
// document list read it alike.
#ifndef QTS_HOST_DOCUMENTS_DOCUMENT_LIST_H_
#define QTS_HOST_DOCUMENTS_DOCUMENT_LIST_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/date.h"
#include "host/fwd.h"

namespace qts::host {

struct DocumentFilter {
  std::string type;              // a type code ("MMO"); "" for every type
  std::string number;            // a part of the number; "" for any
  std::string store;             // a store code; "" for any
  std::optional<Date> from, to;  // document dates, both ends included
  int32_t offset = 0;            // rows skipped, newest first
  int32_t limit = 50;            // rows at most
};

// The documents `filter` keeps, newest first (date, then IDC): IDC, DocTypeCode, Number,
// DocumentDate, StoreCode, IsPosted; the recordset stands on the page's first row (at its end
// when the page is empty) and holds the rows before it too. The filter's texts reach the SQL only
// as escaped literals. A limit below 1 or an offset below 0 raises error 5.
RecordsetPtr ListDocuments(const AppContextPtr& book, const DocumentFilter& filter);

}  // namespace qts::host

#endif  // QTS_HOST_DOCUMENTS_DOCUMENT_LIST_H_
