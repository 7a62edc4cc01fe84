// The query builder's SQL writer: turns a Query's builder state into one T-SQL statement.
// Internal to the query; see query.h for the SQL it writes.
#ifndef QTS_HOST_DATA_QUERY_BUILD_H_
#define QTS_HOST_DATA_QUERY_BUILD_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/data/query.h"

namespace qts::host {

struct OutputColumn {
  std::string name;
  int32_t kind = 0;
  std::string expression;
  int32_t aggregate = kAggregateNone;
};

struct QueryBuild {
  // The output columns of `q` without writing any SQL.
  static std::vector<OutputColumn> Columns(const Query& q);
  // True when `q` and every query it joins select from tables only, without grouping,
  // DISTINCT, TOP, unions or derived tables: counting its rows is cheap.
  static bool IsPlainSelection(const Query& q);
  // The statement of `q`; `embedded` leaves out ORDER BY unless TOP needs it.
  std::string Select(const Query& q, bool embedded);

 private:
  struct FromItem {
    std::string alias;
    std::string source;
    int32_t kind = kJoinInner;
    std::string on;
  };
  struct Flat {
    std::string main_alias;
    std::string main_source;
    std::vector<FromItem> joins;
    std::vector<OutputColumn> columns;
    std::vector<std::string> where;
  };

  static bool Mergeable(const Query& q);
  static void JoinColumns(const Query& joined, const std::string& alias,
                          std::vector<OutputColumn>& out);
  std::string MainSource(const Query& q);
  std::string ParameterLiteral(const Query& q, const std::string& name, int32_t kind);
  void AddJoin(Flat& flat, const Query::Join& join, const std::string& from, const std::string& to);
  void SupplyWellKnownAliases(const Query& q, Flat& flat, const std::string& order_by);
  static void OrderJoins(Flat& flat);
  // The query's sources, joins, columns and conditions, its joined queries merged in.
  Flat Flatten(const Query& q);
  // Error on an alias or column name used twice, no columns or an unsupported aggregate;
  // returns whether a column sums (the others are then grouped by).
  static bool CheckFlat(const Query& q, const Flat& flat);
  // SELECT ... FROM ... WHERE ... GROUP BY ..., without unions and order.
  static std::string SelectFromWhere(const Query& q, const Flat& flat, bool grouped);

  // The parameter lists of the queries being written, innermost last.
  std::vector<const NamedValueList*> parameters_;
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_QUERY_BUILD_H_
