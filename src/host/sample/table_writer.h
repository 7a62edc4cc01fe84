// Inserts rows into one table of a book through a single prepared statement, reused for every
// row: the fastest way the backend offers to write many rows.
#ifndef QTS_HOST_SAMPLE_TABLE_WRITER_H_
#define QTS_HOST_SAMPLE_TABLE_WRITER_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "db/value.h"

namespace qts::host::sample {

class TableWriter {
 public:
  // `logical_name` must be a table of the schema and `columns` columns of it; raises
  // qts::Error (5) otherwise.
  TableWriter(db::Connection& connection, std::string_view code, std::string_view logical_name,
              std::vector<std::string> columns);
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  // One row: a value per column, in the order the columns were given. A number given for a
  // money column (a double or a whole number) is stored as the money it stands for: the
  // nearest value with four places.
  void Insert(std::initializer_list<db::Value> values);
  void Insert(const std::vector<db::Value>& values);
  int64_t Count() const noexcept { return count_; }

 private:
  db::StatementHandle statement_;
  size_t columns_;
  std::vector<bool> money_;  // per column: a money column
  std::string table_;
  int64_t count_ = 0;
};

}  // namespace qts::host::sample

#endif  // QTS_HOST_SAMPLE_TABLE_WRITER_H_
