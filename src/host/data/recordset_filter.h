// ADO's Filter criteria, read once and tested against each record.
#ifndef QTS_HOST_DATA_RECORDSET_FILTER_H_
#define QTS_HOST_DATA_RECORDSET_FILTER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/variant.h"
#include "host/data/recordset.h"

namespace qts::host {

struct RowStore;

class RecordFilter {
 public:
  using ColumnLookup = std::function<std::optional<size_t>(std::string_view)>;

  // Reads criteria text (the grammar is described at Recordset::SetFilter); `find_column`
  // maps a field name to its column in `fields`. Error 3001 naming the text when it cannot be
  // read or breaks one of ADO's rules.
  static RecordFilter Parse(std::string_view text, const std::vector<FieldDef>& fields,
                            const ColumnLookup& find_column);

  // The value of a column of the record being tested.
  using CellReader = std::function<const Variant&(size_t column)>;

  // Whether the record whose values `cell` gives meets the criteria.
  bool Matches(const CellReader& cell) const;

  // The rows of `store` that meet the criteria, in storage order: what Matches says of each
  // row, found a column at a time. A criterion tests the stored cells of its column as they
  // are where the cell has the criterion's own type (numbers, dates, texts of ASCII
  // characters); any other cell is made a value and tested as Matches tests it.
  std::vector<uint32_t> RowsOf(const RowStore& store) const;

 private:
  enum class Op { kEq, kNe, kLt, kLe, kGt, kGe, kLike, kIsNull, kIsNotNull };
  struct Criterion {
    size_t column;
    Op op;
    Variant value;        // converted to the field's type
    std::string pattern;  // LIKE: lower-case text without the wildcards
    bool wild_start = false;
    bool wild_end = false;
  };
  // An OR of AND groups: ADO allows no other shape.
  using Conjunction = std::vector<Criterion>;
  class Parser;

  // Whether a record's `value` meets `c`.
  static bool Meets(const Criterion& c, const Variant& value);
  // Whether a comparison that came out `cmp` (-1, 0, 1) meets `op`.
  static bool Holds(Op op, int cmp);
  // Clears `in[r]` for each row r still set whose cell of `c`'s column does not meet `c`.
  static void Narrow(const Criterion& c, const RowStore& store, std::vector<uint8_t>& in);

  std::vector<Conjunction> groups_;
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_RECORDSET_FILTER_H_
