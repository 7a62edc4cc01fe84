// Query: the host's query builder. A caller describes a selection with builder calls (a main
// source, its column list, conditions, joins of other queries, a derived table, unions,
// grouping, order); Open writes it as T-SQL, the translator turns that into the book's
// dialect, the backend runs it and every row is read into a client-side Recordset.
//
// The SQL the builder writes:
//   - The main source has the alias "oTable" (Alias changes it; conditions and expressions
//     already written with the old alias follow the new one). A parameterised source is
//     inlined as a derived table with each parameter as a literal (Parameters).
//   - A joined query whose work is a plain selection from a table (its own conditions and
//     joins allowed) is merged into the joining query: its source is joined under the join
//     alias, its conditions go to the WHERE clause (to the ON clause of an outer join), its
//     joins are merged the same way. Any other joined query (grouped, distinct, TOP, derived,
//     union) is joined as a derived table. The columns of a merged join appear in the result
//     as "alias.column" ("AddFld.OpSum" when the additional-field table is joined as
//     "AddFld"); a derived-table join adds no result columns (expressions reach its columns
//     as "alias.column").
//   - Joins are written so that each comes after the aliases its condition names (callers
//     may join in any order); an inner join whose condition names an outer-joined alias is
//     written as an outer join, as if it were nested inside that join.
//   - A condition, column or order that names the alias "G" which the query has not joined
//     gets the item catalogue "REFGood" joined as "G" on "G.Code = <main alias>.GoodCode".
//   - A column with Aggregate 4 is summed; the query then groups by every other output
//     column (constant columns are not grouped).
//   - Union appends the other query's rows (UNION ALL: equal rows are kept, they count in
//     sums); columns are aligned by position.
//   - SqlText gives the statement without ORDER BY (unless TOP needs it), so it can be
//     embedded in another statement as a derived table or a scalar subquery.
// Result filters (AddResultFilter) and Sort work on the opened rows, as Recordset Filter and
// Sort; they are kept and applied again when the query is opened again.
//
// Errors: builder misuse and unbuildable queries raise kErrQuery with source "Query" and a
// description naming the alias, column or parameter at fault; translation errors are the
// translator's SqlError (line and column in the statement); backend errors propagate.
#ifndef QTS_HOST_DATA_QUERY_H_
#define QTS_HOST_DATA_QUERY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "core/variant.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/fwd.h"

namespace qts::host {

inline constexpr int32_t kJoinInner = 0;
inline constexpr int32_t kJoinLeftOuter = 1;

struct QueryBuild;

class Query : public virtual Object {
 public:
  // Use AppContext::CreateQuery. `table` is a logical source of the book, or empty.
  [[nodiscard]] static std::shared_ptr<Query> Create(std::shared_ptr<AppContext> book,
                                                     std::string_view table);
  ~Query() override;
  std::string_view ClassName() const override { return "Query"; }

  // The column list: the source's columns (or, after FromQuery, the inner query's output
  // columns), each with its expression over the main alias. Once open: the result columns
  // (own and joined), holding the current row's values (Empty at EOF); the query's own
  // columns are the same entries as in the column list, so a change to one of them (an
  // Aggregate, an expression) applies at the next Open.
  NamedValueList& Fields();
  // The parameters of a parameterised source (entries with Empty values until set). A value
  // missing here is taken from the query that embeds this one (its own Parameters), so a
  // report may set "DateRest" once on its outer query.
  NamedValueList& Parameters() { return *parameters_; }

  const std::string& Table() const { return table_; }
  const std::string& Alias() const { return alias_; }
  // Renames the main alias; conditions, join conditions, columns and the order written with
  // the old alias follow. Error 5 for a name that is not an identifier.
  void SetAlias(std::string_view alias);
  bool Distinct() const { return distinct_; }
  void SetDistinct(bool distinct) { distinct_ = distinct; }
  // At most `rows` rows; 0 for all. Error 5 when negative.
  int32_t Top() const { return top_; }
  void SetTop(int32_t rows);

  // Adds a condition: the first becomes the WHERE text; a later one is ANDed to it, unless it
  // contains the current text (a caller that built "(WhereText) AND (new)"), which then
  // replaces it. Conditions with ';' or comment markers are refused (error 5).
  void AddWhere(std::string_view condition);
  const std::string& WhereText() const { return where_; }
  // "a, b DESC": output column names or expressions.
  void OrderBy(std::string_view columns);
  const std::string& OrderByText() const { return order_by_; }

  // Joins `other` under `alias` on `condition`; `join_kind` 0 inner, 1 left outer (both
  // operations honour the kind they are given). The last argument is reserved (0).
  void InnerJoin(std::shared_ptr<Query> other, std::string_view alias, std::string_view condition,
                 int32_t join_kind = kJoinInner, int32_t reserved = 0);
  void LeftJoin(std::shared_ptr<Query> other, std::string_view alias, std::string_view condition,
                int32_t join_kind = kJoinLeftOuter, int32_t reserved = 0);
  // Selects from `inner` as a derived table under `alias` (which becomes this query's main
  // alias); the column list becomes the inner query's output columns. `extra` is kept as
  // given. Error kErrQuery when this query has a source of its own or inner is this query.
  void FromQuery(std::shared_ptr<Query> inner, std::string_view alias, Variant extra = Variant());
  // Appends the rows of `other` (UNION ALL). `alias` names the union when the builder has to
  // select from it; `flag` is kept as given.
  void Union(std::shared_ptr<Query> other, std::string_view alias, Variant flag = Variant());

  // Builds, translates, runs and reads every row; the first row becomes current. A query may
  // be opened again (after more builder calls): it reads its rows afresh.
  void Open();
  bool IsOpen() const { return recordset_ != nullptr; }
  // Reads the rows of an open query afresh, as the book now stands, keeping what its
  // recordset shows (its filter and sort) and the current record's position (the end when
  // the record is gone). A recordset taken before stays as it was. Error kErrQuery when the
  // query is not open.
  void Requery();
  void Close();
  void MoveFirst();
  void MoveNext();
  bool Eof() const;
  long RecordCount() const;
  // A condition on the finished rows in the Recordset filter grammar ("Rest > 0"); several
  // are ANDed. Applied at once when open, otherwise at Open. Error 3001 (Recordset) for a
  // condition the filter cannot read.
  void AddResultFilter(std::string_view condition);
  const std::string& ResultFilter() const { return result_filter_; }
  // Orders the opened rows ("GoodCode, StoreCode DESC"); kept for later opens.
  void Sort(std::string_view columns);
  // The rows; error kErrQuery when the query is not open. The recordset is the query's own:
  // moving it moves the query.
  RecordsetPtr OpenRecordset();

  // The T-SQL of the query (see above). Raises like Open for a query that cannot be built.
  [[nodiscard]] std::string SqlText() const;
  // The statement Open runs: the full T-SQL and its translation for the book's backend.
  [[nodiscard]] std::string StatementText() const;
  [[nodiscard]] std::string TranslatedText() const;

  // The output column names the query will have, in order (own columns, then joined ones).
  [[nodiscard]] std::vector<std::string> OutputNames() const;

 private:
  friend struct QueryBuild;
  struct Join {
    std::shared_ptr<Query> query;
    std::string alias;
    std::string condition;
    int32_t kind = kJoinInner;
  };
  struct UnionPart {
    std::shared_ptr<Query> query;
    std::string alias;
    Variant flag;
  };

  Query(std::shared_ptr<AppContext> book, std::string table);
  void AddJoin(std::shared_ptr<Query> other, std::string_view alias, std::string_view condition,
               int32_t join_kind);
  void SyncRow();
  AppContext& Book() const;

  std::shared_ptr<AppContext> book_;
  std::string table_;  // canonical logical name; empty for a derived query
  bool parameterised_ = false;
  std::string alias_ = "oTable";
  std::shared_ptr<NamedValueList> fields_;
  std::shared_ptr<NamedValueList> parameters_;
  bool distinct_ = false;
  int32_t top_ = 0;
  std::string where_;
  std::string order_by_;
  std::vector<Join> joins_;
  std::shared_ptr<Query> from_;
  Variant from_extra_;
  std::vector<UnionPart> unions_;
  std::string result_filter_;
  std::string sort_;

  RecordsetPtr recordset_;
  std::shared_ptr<NamedValueList> row_;  // result columns with the current values
  std::vector<Variant> row_values_;      // the current record's values on their way to row_
};

using QueryPtr = std::shared_ptr<Query>;

}  // namespace qts::host

#endif  // QTS_HOST_DATA_QUERY_H_
