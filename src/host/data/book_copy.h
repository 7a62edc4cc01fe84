// Copying a book between databases — an SQLite file and a PostgreSQL server, either way — and
// comparing two books table by table.
//
// The copy creates the book's tables in the target (the target's dialect), copies every row of
// every table with its keys as they are, sets the target's auto-numbering past the largest
// copied key, and does it all in one transaction: a failed copy leaves no book behind in the
// target. Money and quantities keep their four decimals, dates stay dates.
//
// The comparison reads every table on both sides and compares, per table, the row count and an
// order-independent digest of the rows, each value in its column's own terms: money and
// quantities as Currency (each backend's money read exactly), dates as days, integers, texts and
// reals as they are.
#ifndef QTS_HOST_DATA_BOOK_COPY_H_
#define QTS_HOST_DATA_BOOK_COPY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/fwd.h"

namespace qts::host {

class AppContext;

struct TableRows {
  std::string table;  // logical name
  int64_t rows = 0;
};

// Copies `source` (an open book) into the database at `target` (a file or a server address)
// and opens the copy. Raises kErrBook when the target holds a book of the same code or, for a
// file, exists and is not empty.
[[nodiscard]] std::shared_ptr<AppContext> CopyBook(AppContext& source, std::string_view target,
                                                   std::vector<TableRows>* copied = nullptr);

struct TableComparison {
  std::string table;
  int64_t left_rows = 0;
  int64_t right_rows = 0;
  bool equal = false;
};

// Every table of the schema, compared between two books (of any codes and backends).
[[nodiscard]] std::vector<TableComparison> CompareBooks(AppContext& left, AppContext& right);

}  // namespace qts::host

#endif  // QTS_HOST_DATA_BOOK_COPY_H_
