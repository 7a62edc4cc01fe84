// SqlTools: the condition-text helpers of the host (one shared instance). Every value that
// comes from a caller becomes SQL only through SqlValue / ValueList, as an escaped literal of
// the class its kind code names (kind_codes.h); anything that cannot be such a literal is
// refused with error 13 (a value of the wrong class) or 5 (a malformed list), naming it.
//
// Literals: texts quoted with quotes doubled; numbers with '.' and no grouping; dates as
// 'YYYY-MM-DD' (with ' HH:MM:SS' when there is a time); Null and Empty as NULL; Booleans as
// 1 / 0 in integer and unknown kinds.
//
// Operators of Condition / ColumnCondition:
//   1 =   2 <   3 <=   4 >   5 >=   6 <>   7 LIKE   8 IN (list)   105 BETWEEN v1 AND v2
// With a Null value, 1 gives "x IS NULL" and 6 "x IS NOT NULL". For operator 8 the value is a
// selection text of quoted codes ("'S1','S2'"), which must read as a list of literals.
// The flag argument is accepted and does not change the text.
#ifndef QTS_HOST_DATA_SQL_TOOLS_H_
#define QTS_HOST_DATA_SQL_TOOLS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "core/variant.h"
#include "host/data/kind_codes.h"
#include "host/data/named_value_list.h"

namespace qts::host {

inline constexpr int32_t kOpEqual = 1;
inline constexpr int32_t kOpLess = 2;
inline constexpr int32_t kOpLessOrEqual = 3;
inline constexpr int32_t kOpGreater = 4;
inline constexpr int32_t kOpGreaterOrEqual = 5;
inline constexpr int32_t kOpNotEqual = 6;
inline constexpr int32_t kOpLike = 7;
inline constexpr int32_t kOpInList = 8;
inline constexpr int32_t kOpBetween = 105;

inline constexpr int32_t kJoinAnd = 1;
inline constexpr int32_t kJoinOr = 102;

class SqlTools : public virtual Object {
 public:
  // The shared instance.
  static std::shared_ptr<SqlTools> Instance();
  std::string_view ClassName() const override { return "SqlTools"; }

  // A condition on a column of a query's list: the column's expression (its name when it has
  // none) compared by `op` with the values, written as literals of the column's kind.
  [[nodiscard]] std::string Condition(const NamedValue& field, int32_t op, const Variant& value1,
                                      const Variant& value2 = Variant(),
                                      const Variant& flag = Variant()) const;
  // The same on an SQL expression given as text with its kind.
  [[nodiscard]] std::string ColumnCondition(std::string_view expression, int32_t kind, int32_t op,
                                            const Variant& value1,
                                            const Variant& value2 = Variant(),
                                            const Variant& flag = Variant()) const;
  [[nodiscard]] std::string ColumnCondition(std::string_view expression, Kind kind, int32_t op,
                                            const Variant& value1,
                                            const Variant& value2 = Variant(),
                                            const Variant& flag = Variant()) const {
    return ColumnCondition(expression, Code(kind), op, value1, value2, flag);
  }
  // "(a) AND (b)" (how 1) or "(a) OR (b)" (how 102); empty parts are skipped, a single part
  // comes back as it is, none gives "". Error 5 for another code.
  [[nodiscard]] std::string JoinConditions(int32_t how,
                                           const std::vector<std::string>& conditions) const;
  // `value` as a literal of `kind`. For the integer kinds a text that is a parenthesised
  // SELECT (a scalar subquery the system writes, "( select top 1 idc from ... )") is passed
  // through, after checking that it holds no ';' or comment.
  [[nodiscard]] std::string SqlValue(const Variant& value, int32_t kind) const;
  [[nodiscard]] std::string SqlValue(const Variant& value, Kind kind) const {
    return SqlValue(value, Code(kind));
  }
  // The values as comma-separated literals of `kind` ("'10', '20'").
  [[nodiscard]] std::string ValueList(int32_t kind, const std::vector<Variant>& values) const;
  [[nodiscard]] std::string ValueList(Kind kind, const std::vector<Variant>& values) const {
    return ValueList(Code(kind), values);
  }
  // The literals of a selection text ("'S1','S2'", "1, 2"): each a quoted string or a number,
  // separated by commas. Error 5 naming the text when it is anything else (an empty text, a
  // bare word, an operator, a comment, ';').
  [[nodiscard]] static std::vector<std::string> SelectionLiterals(std::string_view selection);
};

using SqlToolsPtr = std::shared_ptr<SqlTools>;

}  // namespace qts::host

#endif  // QTS_HOST_DATA_SQL_TOOLS_H_
