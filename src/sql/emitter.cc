#include "sql/emitter.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/text.h"

namespace qts::sql {

namespace {

// Whether SQLite's parser takes `sql`, whatever the names in it. Its grammar runs on a stack of
// fixed size (about a hundred entries), which some writings fill at twelve levels (IN
// subqueries) and others at ninety (NOT): no one limit on the T-SQL nesting fits them all, so
// the writing itself is put to the parser. Names are resolved only once the statement has been
// read whole, so on a connection with no tables or functions a statement that reads fails with
// "no such ..." at the earliest, and one that does not with the parser's own overflow.
bool SqliteParserTakes(const std::string& sql) {
  struct Connection {
    sqlite3* db = nullptr;
    Connection() {
      if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr) !=
          SQLITE_OK) {
        throw std::runtime_error("SQLite cannot open a database in memory");
      }
    }
    ~Connection() { sqlite3_close(db); }
  };
  thread_local Connection connection;
  sqlite3_stmt* statement = nullptr;
  const int rc = sqlite3_prepare_v2(connection.db, sql.c_str(), static_cast<int>(sql.size()),
                                    &statement, nullptr);
  sqlite3_finalize(statement);
  if (rc == SQLITE_OK) return true;
  const std::string_view message = sqlite3_errmsg(connection.db);
  return message != "parser stack overflow" &&
         message.substr(0, 28) != "Expression tree is too large";
}

bool IsNumeric(SqlType type) {
  return type == SqlType::kInteger || type == SqlType::kNumber || type == SqlType::kFloat ||
         type == SqlType::kBoolean;
}

// How the SQLite dialect carries a value (db/sqlite/money_functions.h): money and quantities
// with at most four places as INTEGER x 10,000 (narrow), with more as a wide BLOB; floating
// values as REAL. PostgreSQL carries every value natively (kOther throughout).
enum class Form { kOther, kNarrow, kWide, kReal };

Form FormOf(SqlType type, int scale) {
  switch (type) {
    case SqlType::kNumber:
      return scale > kNumberScale ? Form::kWide : Form::kNarrow;
    case SqlType::kFloat:
      return Form::kReal;
    default:
      return Form::kOther;
  }
}

Form FormOf(const Expr& expr) { return FormOf(expr.type, expr.scale); }

// The largest whole number money holds; ten thousand times it still fits a 64-bit integer.
constexpr long long kWholeMoneyMax = 922337203685477;

bool IsIntegerLiteral(const Expr& expr) {
  return expr.Kind() == NodeKind::kLiteral &&
         expr.As<Literal>().literal_type == Literal::Type::kInteger;
}

// The value of an integer literal, or nullopt for any other expression.
std::optional<long long> IntegerLiteral(const Expr& expr) {
  if (!IsIntegerLiteral(expr) || expr.As<Literal>().value.size() > 15) return std::nullopt;
  return std::stoll(expr.As<Literal>().value);
}

// The text of a whole literal, with the sign written before it; nullopt for any other
// expression.
std::optional<std::string> WholeLiteral(const Expr& expr) {
  if (expr.Kind() == NodeKind::kUnary) {
    const Unary& unary = expr.As<Unary>();
    if (unary.op == UnaryOp::kNot || !IsIntegerLiteral(*unary.operand)) return std::nullopt;
    return (unary.op == UnaryOp::kMinus ? "-" : "") + unary.operand->As<Literal>().value;
  }
  if (!IsIntegerLiteral(expr)) return std::nullopt;
  return expr.As<Literal>().value;
}

// A whole literal that money cannot hold.
bool BeyondMoney(const Expr& expr) {
  const auto text = WholeLiteral(expr);
  if (!text) return false;
  const size_t first = text->find_first_not_of("-0");
  if (first == std::string::npos) return false;
  const std::string digits = text->substr(first);
  return digits.size() > 15 || std::stoll(digits) > kWholeMoneyMax;
}

// The type and scale `expr` meets others with. A whole literal beyond money's range is a
// decimal to the server: its scale is marked past money's, so that money meets it wide.
std::pair<SqlType, int> Meeting(const Expr& expr) {
  if (BeyondMoney(expr)) return {expr.type, kNumberScale + 1};
  return {expr.type, expr.scale};
}

// The form values of these types and scales meet in (compared, chosen between): REAL when one
// is floating, else money when one is money (wide when one is wide).
Form CommonForm(const std::vector<std::pair<SqlType, int>>& values) {
  bool number = false, wide = false, real = false;
  for (const auto& [type, scale] : values) {
    if (type == SqlType::kDate) return Form::kOther;
    real = real || type == SqlType::kFloat;
    number = number || type == SqlType::kNumber;
    wide = wide || scale > kNumberScale;
  }
  if (real) return Form::kReal;
  if (number) return wide ? Form::kWide : Form::kNarrow;
  return Form::kOther;
}

// What a statement's select items are written as: at the top the rows leave for the host and
// money is narrow; inside (derived tables, subqueries) each column keeps the form of the
// statement's column, which a UNION may widen; an IN subquery may be made to match its operand.
struct ItemTarget {
  enum class Mode { kTop, kKeep, kForce };
  Mode mode = Mode::kKeep;
  Form form = Form::kOther;
};

// --- A derived table kept from being merged (SQLite) ---
//
// SQLite merges a plain derived table into the query that reads it, writing each of its
// columns in place of every reference to it. A column that holds a subquery is then computed
// once per reference: a report that both filters on such a column and sums it (the rests by
// category: its free quantity, a subquery per receipt row) ran the subquery twice per row.
// Such a table is written with "LIMIT -1" (no limit; SQLite merges no derived table with a
// LIMIT), so its rows are computed once and read as they come. A LIMIT also stops SQLite from
// moving the reader's conditions into the table, so this is done only where the reader's
// WHERE tests nothing but such columns of it, which it must compute for every row anyway.

void StatementRefs(const SelectStatement& statement, std::vector<const ColumnRef*>& out);

// Every column reference in `expr`, those of its subqueries included; `subquery` is set when
// it holds a subquery.
void ExprRefs(const Expr& expr, std::vector<const ColumnRef*>& out, bool& subquery) {
  auto each = [&](const ExprPtr& e) {
    if (e) ExprRefs(*e, out, subquery);
  };
  switch (expr.Kind()) {
    case NodeKind::kColumnRef:
      out.push_back(&expr.As<ColumnRef>());
      return;
    case NodeKind::kUnary:
      each(expr.As<Unary>().operand);
      return;
    case NodeKind::kBinary:
      each(expr.As<Binary>().left);
      each(expr.As<Binary>().right);
      return;
    case NodeKind::kIsNull:
      each(expr.As<IsNullExpr>().operand);
      return;
    case NodeKind::kInList:
      each(expr.As<InList>().operand);
      for (const ExprPtr& item : expr.As<InList>().items) each(item);
      return;
    case NodeKind::kInSubquery:
      subquery = true;
      each(expr.As<InSubquery>().operand);
      StatementRefs(*expr.As<InSubquery>().query, out);
      return;
    case NodeKind::kBetween:
      each(expr.As<Between>().operand);
      each(expr.As<Between>().low);
      each(expr.As<Between>().high);
      return;
    case NodeKind::kLike:
      each(expr.As<Like>().operand);
      each(expr.As<Like>().pattern);
      return;
    case NodeKind::kExists:
      subquery = true;
      StatementRefs(*expr.As<Exists>().query, out);
      return;
    case NodeKind::kSubquery:
      subquery = true;
      StatementRefs(*expr.As<Subquery>().query, out);
      return;
    case NodeKind::kCase: {
      const CaseExpr& c = expr.As<CaseExpr>();
      each(c.operand);
      for (const CaseExpr::When& when : c.whens) {
        each(when.condition);
        each(when.result);
      }
      each(c.else_result);
      return;
    }
    case NodeKind::kFunction:
      for (const ExprPtr& arg : expr.As<FunctionCall>().args) each(arg);
      return;
    case NodeKind::kCast:
      each(expr.As<CastExpr>().operand);
      return;
    case NodeKind::kConvert:
      each(expr.As<ConvertExpr>().operand);
      return;
    default:
      return;
  }
}

void SourceRefs(const Source& source, std::vector<const ColumnRef*>& out) {
  bool subquery = false;
  if (source.Kind() == NodeKind::kDerivedTable) {
    StatementRefs(*source.As<DerivedTable>().query, out);
  } else if (source.Kind() == NodeKind::kJoin) {
    const Join& join = source.As<Join>();
    SourceRefs(*join.left, out);
    SourceRefs(*join.right, out);
    if (join.on) ExprRefs(*join.on, out, subquery);
  }
}

// Appends the column references of `core`'s WHERE, then of its select list, GROUP BY and
// HAVING (not of its sources); returns how many are the WHERE's.
size_t CoreRefs(const SelectCore& core, std::vector<const ColumnRef*>& out) {
  bool subquery = false;
  const size_t before = out.size();
  if (core.where) ExprRefs(*core.where, out, subquery);
  const size_t in_where = out.size() - before;
  for (const SelectItem& item : core.items) ExprRefs(*item.expr, out, subquery);
  for (const ExprPtr& e : core.group_by) ExprRefs(*e, out, subquery);
  if (core.having) ExprRefs(*core.having, out, subquery);
  return in_where;
}

void StatementRefs(const SelectStatement& statement, std::vector<const ColumnRef*>& out) {
  bool subquery = false;
  for (const auto& core : statement.cores) {
    (void)CoreRefs(*core, out);
    for (const SourcePtr& source : core->from) SourceRefs(*source, out);
  }
  for (const OrderItem& item : statement.order_by) ExprRefs(*item.expr, out, subquery);
}

// The derived table `statement` reads, when it is to be kept from being merged: its one source
// is a plain derived table (one core, no DISTINCT, grouping or TOP) with a column holding a
// subquery that `statement` names more than once in its select list, WHERE, GROUP BY and
// HAVING together, and its WHERE names no other column of it.
const DerivedTable* KeptApart(const SelectStatement& statement) {
  if (statement.cores.size() != 1) return nullptr;
  const SelectCore& core = *statement.cores.front();
  if (core.from.size() != 1 || core.from.front()->Kind() != NodeKind::kDerivedTable) {
    return nullptr;
  }
  const DerivedTable& derived = core.from.front()->As<DerivedTable>();
  const SelectStatement& inner = *derived.query;
  if (inner.cores.size() != 1 || !inner.order_by.empty()) return nullptr;
  const SelectCore& inner_core = *inner.cores.front();
  if (inner_core.distinct || inner_core.top || !inner_core.group_by.empty() || inner_core.having) {
    return nullptr;
  }
  std::vector<std::string_view> computed;  // the columns that hold a subquery
  for (const SelectItem& item : inner_core.items) {
    std::vector<const ColumnRef*> ignored;
    bool subquery = false;
    ExprRefs(*item.expr, ignored, subquery);
    if (subquery && !item.output_name.empty()) computed.push_back(item.output_name);
  }
  if (computed.empty()) return nullptr;
  auto of_table = [&](const ColumnRef& ref) {
    return EqualsIgnoreCase(ref.bound_source, derived.alias.name);
  };
  auto is_computed = [&](const ColumnRef& ref) {
    return std::any_of(computed.begin(), computed.end(), [&](std::string_view name) {
      return EqualsIgnoreCase(ref.bound_name, name);
    });
  };
  std::vector<const ColumnRef*> refs;
  const size_t in_where = CoreRefs(core, refs);
  // The WHERE names no other column of the table.
  for (size_t i = 0; i < in_where; ++i) {
    if (of_table(*refs[i]) && !is_computed(*refs[i])) return nullptr;
  }
  // Not the ORDER BY: SQLite sorts by a select item's value, or computes a term once to sort.
  for (std::string_view name : computed) {
    const auto uses = std::count_if(refs.begin(), refs.end(), [&](const ColumnRef* ref) {
      return of_table(*ref) && EqualsIgnoreCase(ref->bound_name, name);
    });
    if (uses > 1) return &derived;
  }
  return nullptr;
}

class Emitter {
 public:
  Emitter(Dialect dialect, std::vector<const Literal*>* parameters, int first_literal)
      : pg_(dialect == Dialect::kPostgres),
        parameters_(parameters),
        first_literal_(first_literal) {}

  // Where the statement nests deepest: the innermost expression or query written.
  Position Deepest() const { return deepest_at_; }

  // Where a derived table's query was written in the statement's text.
  struct DerivedText {
    const DerivedTable* table;
    size_t begin, end;
  };

  // Records in `texts` each derived table written into `top_out` outside every expression's
  // subquery (such a table reads nothing of an outer query, so it can be written anywhere).
  void RecordDerived(std::vector<DerivedText>* texts, const std::string* top_out) {
    derived_texts_ = texts;
    top_out_ = top_out;
  }

  // The derived tables to write once, at the head of the statement, each with the number of
  // its name; `count` names in all.
  void Share(std::unordered_map<const DerivedTable*, size_t> shared, size_t count) {
    shared_ = std::move(shared);
    with_written_.assign(count, false);
  }

  // "WITH ... " naming the shared derived tables, each after those it reads; empty when none.
  std::string WithClause() const {
    std::string out;
    for (const auto& [n, body] : with_) {
      out += out.empty() ? "WITH " : ", ";
      Quote(out, "qts_with" + std::to_string(n + 1));
      out += " AS (" + body + ")";
    }
    if (!out.empty()) out += ' ';
    return out;
  }

  // INSERT, UPDATE or DELETE of the written table, every value in the form its column keeps.
  void Write(std::string& out, const WriteStatement& write) {
    auto value = [&](const Expr& expr, size_t column) {
      const Form form =
          pg_ ? Form::kOther : FormOf(write.column_types[column], write.column_scales[column]);
      if ((form == Form::kOther || FormOf(expr) == form) && Parameter(out, expr)) return;
      As(out, expr, form, 0);
    };
    switch (write.verb) {
      case WriteStatement::Verb::kInsert:
        out += "INSERT INTO ";
        Quote(out, write.physical_name);
        out += " (";
        for (size_t i = 0; i < write.bound_columns.size(); ++i) {
          if (i > 0) out += ", ";
          Quote(out, write.bound_columns[i]);
        }
        out += ") VALUES ";
        for (size_t r = 0; r < write.rows.size(); ++r) {
          out += r > 0 ? ", (" : "(";
          for (size_t i = 0; i < write.rows[r].size(); ++i) {
            if (i > 0) out += ", ";
            value(*write.rows[r][i], i);
          }
          out += ')';
        }
        return;
      case WriteStatement::Verb::kUpdate:
        out += "UPDATE ";
        Quote(out, write.physical_name);
        out += " SET ";
        for (size_t i = 0; i < write.assignments.size(); ++i) {
          if (i > 0) out += ", ";
          Quote(out, write.bound_columns[i]);
          out += " = ";
          value(*write.assignments[i].value, i);
        }
        break;
      case WriteStatement::Verb::kDelete:
        out += "DELETE FROM ";
        Quote(out, write.physical_name);
        break;
    }
    if (write.where) {
      out += " WHERE ";
      Value(out, *write.where);
    }
  }

  void Statement(std::string& out, const SelectStatement& statement,
                 ItemTarget target = {ItemTarget::Mode::kKeep, Form::kOther}) {
    const Level level(*this, statement);
    bool single = statement.cores.size() == 1;
    if (!pg_) {
      if (const DerivedTable* apart = KeptApart(statement)) kept_apart_.insert(apart);
    }
    // The form of each select item.
    std::vector<Form> forms;
    if (!pg_ && statement.column_types.size() == statement.column_scales.size()) {
      for (size_t c = 0; c < statement.column_types.size(); ++c) {
        Form form = FormOf(statement.column_types[c], statement.column_scales[c]);
        if (target.mode == ItemTarget::Mode::kTop && form == Form::kWide) form = Form::kNarrow;
        if (target.mode == ItemTarget::Mode::kForce) form = target.form;
        forms.push_back(form);
      }
    }
    // PostgreSQL: the type of each column of a UNION, for a select that gives it as text (the
    // server matches no text with another type; T-SQL converts the text).
    std::vector<SqlType> union_types;
    if (pg_ && !single && statement.column_types.size() == statement.column_scales.size()) {
      union_types = statement.column_types;
    }
    const GroupOrder grouping = AlignGroupWithOrder(statement);
    for (size_t i = 0; i < statement.cores.size(); ++i) {
      const SelectCore& core = *statement.cores[i];
      if (i > 0) out += statement.union_all[i - 1] ? " UNION ALL " : " UNION ";
      if (!single && core.top) {
        // A member of a UNION cannot carry its own LIMIT: select from it instead.
        out += "SELECT * FROM (";
        Core(out, core, forms, union_types, grouping.group_by);
        out += " LIMIT " + std::to_string(*core.top) + ") AS ";
        Quote(out, "qts_top" + std::to_string(i + 1));
      } else {
        Core(out, core, forms, union_types, grouping.group_by);
      }
    }
    if (!statement.order_by.empty()) {
      out += " ORDER BY ";
      for (size_t i = 0; i < statement.order_by.size(); ++i) {
        if (i > 0) out += ", ";
        const OrderItem& item = statement.order_by[i];
        Value(out, *item.expr);
        if (item.explicit_direction) out += item.descending ? " DESC" : " ASC";
        // The server sorts NULL below every value, as SQLite does; PostgreSQL above.
        if (pg_) out += item.descending ? " NULLS LAST" : " NULLS FIRST";
      }
      for (const Expr* term : grouping.order_after) {
        out += ", ";
        Value(out, *term);
        if (pg_) out += " NULLS FIRST";
      }
    }
    if (single && statement.cores.front()->top) {
      out += " LIMIT " + std::to_string(*statement.cores.front()->top);
    }
  }

 private:
  static void Quote(std::string& out, std::string_view name) {
    out += '"';
    if (name.find('"') == std::string_view::npos) {
      out += name;
    } else {
      for (char c : name) {
        if (c == '"') out += '"';
        out += c;
      }
    }
    out += '"';
  }

  static void Text(std::string& out, std::string_view text) {
    out += '\'';
    for (char c : text) {
      if (c == '\'') out += '\'';
      out += c;
    }
    out += '\'';
  }

  // A grouped select ordered by some of its grouping columns sorts twice on SQLite: once to
  // group, once to order. Grouped by the ordering columns first, and ordered by every grouping
  // column (the ordering's own first), it is sorted once. Rows the written ORDER BY leaves in
  // no particular order come in the order of the other grouping columns; the groups and the
  // written order are the same. Done only where every term is a plain column (an ORDER BY name
  // of the select list standing for its column) and the select is neither DISTINCT, whose
  // ORDER BY may only name its own columns on PostgreSQL, nor part of a UNION.
  struct GroupOrder {
    std::vector<const Expr*> group_by;     // every grouping term, in the order to write them
    std::vector<const Expr*> order_after;  // the terms to order by after the written ones
  };
  static GroupOrder AlignGroupWithOrder(const SelectStatement& statement) {
    if (statement.cores.size() != 1 || statement.order_by.empty()) return {};
    const SelectCore& core = *statement.cores.front();
    if (core.group_by.empty() || core.distinct) return {};
    auto column = [](const Expr& e) -> const ColumnRef* {
      if (e.Kind() != NodeKind::kColumnRef) return nullptr;
      const ColumnRef& ref = e.As<ColumnRef>();
      return ref.bound_source.empty() ? nullptr : &ref;
    };
    std::vector<const ColumnRef*> terms;
    for (const ExprPtr& term : core.group_by) {
      const ColumnRef* ref = column(*term);
      if (ref == nullptr) return {};
      terms.push_back(ref);
    }
    std::vector<bool> taken(terms.size(), false);
    GroupOrder result;
    for (const OrderItem& item : statement.order_by) {
      const Expr* expr = item.expr.get();
      if (expr->Kind() == NodeKind::kColumnRef && expr->As<ColumnRef>().bound_source.empty()) {
        // A name of the select list: the column it gives.
        const std::string& name = expr->As<ColumnRef>().bound_name;
        const auto given = std::find_if(core.items.begin(), core.items.end(),
                                        [&](const SelectItem& i) { return i.output_name == name; });
        if (given == core.items.end()) return {};
        expr = given->expr.get();
      }
      const ColumnRef* ref = column(*expr);
      if (ref == nullptr) return {};
      size_t i = 0;
      while (i < terms.size() && (taken[i] || terms[i]->bound_source != ref->bound_source ||
                                  terms[i]->bound_name != ref->bound_name)) {
        ++i;
      }
      if (i == terms.size()) return {};
      taken[i] = true;
      result.group_by.push_back(terms[i]);
    }
    for (size_t i = 0; i < terms.size(); ++i) {
      if (taken[i]) continue;
      result.group_by.push_back(terms[i]);
      result.order_after.push_back(terms[i]);
    }
    return result;
  }

  void Core(std::string& out, const SelectCore& core, const std::vector<Form>& forms,
            const std::vector<SqlType>& union_types, const std::vector<const Expr*>& group_by) {
    out += "SELECT ";
    if (core.distinct) out += "DISTINCT ";
    for (size_t i = 0; i < core.items.size(); ++i) {
      if (i > 0) out += ", ";
      const SelectItem& item = core.items[i];
      const Form form = i < forms.size() ? forms[i] : Form::kOther;
      // PostgreSQL: the type this text is cast to for the UNION ("" when none).
      const std::string cast_type = i < union_types.size() && item.expr->type == SqlType::kText &&
                                            union_types[i] != SqlType::kText
                                        ? PgType(union_types[i], 0)
                                        : std::string();
      const bool cast = !cast_type.empty();
      if (cast) {
        out += "CAST(" + Sql(*item.expr) + " AS " + cast_type + ")";
      } else {
        As(out, *item.expr, form, 0);
      }
      if (item.alias) {
        out += " AS ";
        Quote(out, item.alias->name);
      } else if (item.expr->Kind() == NodeKind::kColumnRef &&
                 (cast || Converts(*item.expr, form))) {
        // A column converted to the form the other selects of a UNION give keeps its name: an
        // ORDER BY of the union may name it.
        out += " AS ";
        Quote(out, item.expr->As<ColumnRef>().bound_name);
      }
    }
    if (!core.from.empty()) {
      out += " FROM ";
      for (size_t i = 0; i < core.from.size(); ++i) {
        if (i > 0) out += ", ";
        SourceSql(out, *core.from[i]);
      }
    }
    if (core.where) {
      out += " WHERE ";
      Value(out, *core.where);
    }
    if (!core.group_by.empty()) {
      out += " GROUP BY ";
      for (size_t i = 0; i < core.group_by.size(); ++i) {
        if (i > 0) out += ", ";
        Value(out, group_by.empty() ? *core.group_by[i] : *group_by[i]);
      }
    }
    if (core.having) {
      out += " HAVING ";
      Value(out, *core.having);
    }
  }

  void SourceSql(std::string& out, const Source& source) {
    switch (source.Kind()) {
      case NodeKind::kNamedTable: {
        const NamedTable& table = source.As<NamedTable>();
        Quote(out, table.physical_name);
        out += " AS ";
        Quote(out, table.bound_alias);
        return;
      }
      case NodeKind::kDerivedTable: {
        const DerivedTable& derived = source.As<DerivedTable>();
        if (auto shared = shared_.find(&derived); shared != shared_.end()) {
          // Written once at the head of the statement, named there.
          const size_t n = shared->second;
          if (!with_written_[n]) {
            std::string body;
            Statement(body, *derived.query);
            with_written_[n] = true;
            with_.emplace_back(n, std::move(body));
          }
          Quote(out, "qts_with" + std::to_string(n + 1));
        } else {
          out += '(';
          const size_t begin = out.size();
          Statement(out, *derived.query);
          if (derived_texts_ != nullptr && uncorrelated_ && &out == top_out_) {
            derived_texts_->push_back({&derived, begin, out.size()});
          }
          if (kept_apart_.count(&derived) != 0) out += " LIMIT -1";
          out += ')';
        }
        out += " AS ";
        Quote(out, derived.alias.name);
        return;
      }
      case NodeKind::kJoin: {
        const Join& join = source.As<Join>();
        SourceSql(out, *join.left);
        switch (join.join_kind) {
          case JoinKind::kInner:
            out += " INNER JOIN ";
            break;
          case JoinKind::kLeft:
            out += " LEFT JOIN ";
            break;
          case JoinKind::kCross:
            out += " CROSS JOIN ";
            break;
        }
        SourceSql(out, *join.right);
        if (join.on) {
          out += " ON ";
          Value(out, *join.on);
        }
        return;
      }
      default:
        throw std::logic_error("not a row source");
    }
  }

  // An expression, in parentheses when it binds more loosely than `min_level` requires.
  void Child(std::string& out, const Expr& expr, int min_level) {
    if (Precedence(expr) < min_level) {
      out += '(';
      Value(out, expr);
      out += ')';
    } else {
      Value(out, expr);
    }
  }

  std::string Sql(const Expr& expr) {
    std::string text;
    Value(text, expr);
    return text;
  }

  // An operand safe to paste next to any operator.
  std::string Operand(const Expr& expr) {
    std::string text;
    Child(text, expr, 9);
    return text;
  }

  // PostgreSQL's text functions take text only; other values are cast first. On SQLite money
  // is printed with its places, as the server prints a NUMERIC.
  std::string TextArg(const Expr& expr) {
    if (!pg_ && expr.type == SqlType::kNumber) return NumberText(expr);
    if (!pg_ || expr.type == SqlType::kText || expr.type == SqlType::kUnknown) return Sql(expr);
    return "CAST(" + Sql(expr) + " AS text)";
  }

  std::string IntArg(const Expr& expr) {
    if (!pg_ && expr.type == SqlType::kNumber) return "qts_int(" + Sql(expr) + ")";
    if (!pg_ || expr.type == SqlType::kInteger || expr.type == SqlType::kUnknown) return Sql(expr);
    return "CAST(" + Sql(expr) + " AS integer)";
  }

  // Money as text on SQLite: four places for a money value, its own places for a wider one.
  std::string NumberText(const Expr& expr) {
    const int places = FormOf(expr) == Form::kWide ? expr.scale : kNumberScale;
    return "qts_text(" + Sql(expr) + ", " + std::to_string(places) + ")";
  }

  static std::string PgType(SqlType type, int length) {
    switch (type) {
      case SqlType::kInteger:
        return "integer";
      case SqlType::kNumber:
        return "numeric";
      case SqlType::kFloat:
        return "double precision";
      case SqlType::kText:
        return length > 0 ? "varchar(" + std::to_string(length) + ")" : "text";
      case SqlType::kDate:
        return "date";
      case SqlType::kBoolean:
        return "smallint";
      case SqlType::kUnknown:
        break;
    }
    return {};
  }

  void LiteralSql(std::string& out, const Literal& literal) {
    switch (literal.literal_type) {
      case Literal::Type::kNull:
        out += "NULL";
        return;
      case Literal::Type::kString:
        if (literal.iso_date) {
          if (pg_) out += literal.iso_date->size() > 10 ? "TIMESTAMP " : "DATE ";
          Text(out, *literal.iso_date);
        } else {
          Text(out, literal.value);
        }
        return;
      case Literal::Type::kDecimal:
        if (!pg_) {
          DecimalLiteral(out, literal);
          return;
        }
        out += literal.value;
        return;
      default:
        out += literal.value;
        return;
    }
  }

  // A decimal literal in its SQLite form: 1.5 as 15000, one with more than four places as a
  // wide value.
  static void DecimalLiteral(std::string& out, const Literal& literal) {
    const std::string& text = literal.value;
    if (FormOf(literal) == Form::kWide) {
      out += "qts_dec('" + text + "')";
      return;
    }
    const size_t point = text.find('.');
    std::string digits = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    fraction.resize(static_cast<size_t>(kNumberScale), '0');
    digits += fraction;
    const size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "0" : digits.substr(first);
    if (digits.size() > 18) {
      out += "qts_cy('" + text + "')";  // beyond Currency: an error when it is read
    } else {
      out += digits;
    }
  }

  // `expr` carried in the `target` form (SQLite), in parentheses when it binds more loosely
  // than `level` requires. A whole number becomes money by scaling (a literal is scaled in the
  // text); everything else through the conversion functions.
  // Whether As writes `expr` converted to `target`, not as it is.
  bool Converts(const Expr& expr, Form target) const {
    return !pg_ && target != Form::kOther && FormOf(expr) != target &&
           expr.type != SqlType::kUnknown;
  }

  void As(std::string& out, const Expr& expr, Form target, int level) {
    if (!Converts(expr, target)) {
      Child(out, expr, level);
      return;
    }
    const Form from = FormOf(expr);
    const bool whole = from == Form::kOther && expr.type != SqlType::kText;
    switch (target) {
      case Form::kNarrow:
        if (whole) {
          if (BeyondMoney(expr)) {
            // beyond money's range: an error when it is read, as a decimal literal beyond it
            out += "qts_cy('" + *WholeLiteral(expr) + "')";
          } else if (auto value = IntegerLiteral(expr)) {
            out += std::to_string(*value * 10000);
          } else {
            out += "(" + Operand(expr) + " * 10000)";
          }
        } else {
          out += "qts_cy(" + Sql(expr) + ")";
        }
        return;
      case Form::kWide:
        if (BeyondMoney(expr)) {
          out += "qts_dec('" + *WholeLiteral(expr) + "')";
          return;
        }
        out += "qts_dec(";
        if (whole) {
          As(out, expr, Form::kNarrow, 0);
        } else {
          Value(out, expr);
        }
        out += ')';
        return;
      case Form::kReal:
        if (from == Form::kNarrow) {
          out += "(" + Operand(expr) + " / 10000.0)";
        } else if (from == Form::kWide) {
          out += "qts_real(" + Sql(expr) + ")";
        } else {
          Child(out, expr, level);
        }
        return;
      case Form::kOther:
        break;
    }
    Child(out, expr, level);
  }

  std::string AsText(const Expr& expr, Form target) {
    std::string text;
    As(text, expr, target, 0);
    return text;
  }

  // An argument of a money function (SQLite): money as it is carried, a whole number scaled.
  std::string MoneyArg(const Expr& expr) {
    const Form form = FormOf(expr);
    if (form == Form::kNarrow || form == Form::kWide) return Sql(expr);
    return AsText(expr, Form::kNarrow);
  }

  // Zero in a form, for comparisons the translation adds.
  static std::string Zero(Form form) { return form == Form::kWide ? "qts_dec(0)" : "0"; }

  // A comparison side: a plain literal becomes a parameter where no conversion is needed.
  void ComparedSide(std::string& out, const Expr& expr, Form form, int level) {
    if ((form == Form::kOther || FormOf(expr) == form) && Parameter(out, expr)) return;
    As(out, expr, form, level);
  }

  // Money and floating arithmetic and comparisons on SQLite; false when `binary` needs none of
  // it (the plain writing does).
  bool SqliteNumbers(std::string& out, const Binary& binary) {
    const Expr& left = *binary.left;
    const Expr& right = *binary.right;
    if (binary.op == BinaryOp::kAnd || binary.op == BinaryOp::kOr || binary.concat) return false;
    if (IsComparison(binary.op)) {
      const Form form = CommonForm({Meeting(left), Meeting(right)});
      if (form == Form::kOther || (FormOf(left) == form && FormOf(right) == form)) return false;
      ComparedSide(out, left, form, 6);
      out += ' ';
      out += BinaryOpText(binary.op);
      out += ' ';
      ComparedSide(out, right, form, 6);
      return true;
    }
    const int level = Precedence(binary);
    const Form form = FormOf(binary);
    auto native = [&](Form side) {
      As(out, left, side, level);
      out += ' ';
      out += BinaryOpText(binary.op);
      out += ' ';
      As(out, right, side, level + 1);
    };
    auto call = [&](std::string_view name) {
      std::string text = std::string(name) + "(" + MoneyArg(left) + ", " + MoneyArg(right) + ")";
      out += form == Form::kNarrow ? "qts_cy(" + text + ")" : text;
    };
    if (form == Form::kReal) {
      native(Form::kReal);
      return true;
    }
    if (binary.type != SqlType::kNumber) return false;
    switch (binary.op) {
      case BinaryOp::kAdd:
        form == Form::kNarrow ? native(Form::kNarrow) : call("qts_add");
        return true;
      case BinaryOp::kSub:
        form == Form::kNarrow ? native(Form::kNarrow) : call("qts_sub");
        return true;
      case BinaryOp::kMod:
        form == Form::kNarrow ? native(Form::kNarrow) : call("qts_mod");
        return true;
      case BinaryOp::kMul:
        // Money times a whole number stays in ten-thousandths.
        if (form == Form::kNarrow &&
            (left.type == SqlType::kNumber) != (right.type == SqlType::kNumber)) {
          native(Form::kOther);
        } else {
          call("qts_mul");
        }
        return true;
      case BinaryOp::kDiv:
        call("qts_div");
        return true;
      default:
        return false;
    }
  }

  // In parameter mode, a literal a comparison or an IN list takes as it is (a whole number
  // or a text that is not read as a date) is written as the next placeholder and recorded.
  // Nothing else in the translation looks at such a literal's value.
  bool Parameter(std::string& out, const Expr& expr) {
    if (parameters_ == nullptr || expr.Kind() != NodeKind::kLiteral) return false;
    const Literal& literal = expr.As<Literal>();
    const bool plain =
        (literal.literal_type == Literal::Type::kInteger && literal.value.size() <= 18) ||
        (literal.literal_type == Literal::Type::kString && !literal.iso_date);
    if (!plain) return false;
    parameters_->push_back(&literal);
    out += pg_ ? '$' : '?';
    out += std::to_string(first_literal_ + static_cast<int>(parameters_->size()));
    return true;
  }

  // A number literal compared with a text (a code column compared with 77): PostgreSQL has no
  // such comparison, so the number is written as the text it spells, as SQLite compares it
  // with a text column. False for anything else.
  bool NumberAsText(std::string& out, const Expr& side, const Expr& other) {
    if (!pg_ || other.type != SqlType::kText || side.Kind() != NodeKind::kLiteral) return false;
    const Literal& literal = side.As<Literal>();
    if (literal.literal_type != Literal::Type::kInteger &&
        literal.literal_type != Literal::Type::kDecimal) {
      return false;
    }
    Text(out, literal.value);
    return true;
  }

  void Value(std::string& out, const Expr& expr) {
    const Level level(*this, expr);
    switch (expr.Kind()) {
      case NodeKind::kLiteral:
        LiteralSql(out, expr.As<Literal>());
        return;
      case NodeKind::kParameter:
        out += pg_ ? '$' : '?';
        out += std::to_string(expr.As<ParameterRef>().number);
        return;
      case NodeKind::kColumnRef: {
        const ColumnRef& ref = expr.As<ColumnRef>();
        if (!ref.bound_source.empty()) {
          Quote(out, ref.bound_source);
          out += '.';
        }
        Quote(out, ref.bound_name);
        return;
      }
      case NodeKind::kStar: {
        const Star& star = expr.As<Star>();
        if (star.qualifier) {
          Quote(out, star.bound_source);
          out += '.';
        }
        out += '*';
        return;
      }
      case NodeKind::kUnary: {
        const Unary& unary = expr.As<Unary>();
        if (unary.op == UnaryOp::kNot) {
          out += "NOT ";
          Child(out, *unary.operand, 3);
        } else if (!pg_ && unary.op == UnaryOp::kMinus && FormOf(unary) == Form::kWide) {
          out += "qts_neg(" + Sql(*unary.operand) + ")";
        } else {
          out += unary.op == UnaryOp::kMinus ? '-' : '+';
          Child(out, *unary.operand, unary.operand->Kind() == NodeKind::kUnary ? 9 : 8);
        }
        return;
      }
      case NodeKind::kBinary: {
        const Binary& binary = expr.As<Binary>();
        if (!pg_ && SqliteNumbers(out, binary)) return;
        int level = Precedence(binary);
        int operand_level = IsComparison(binary.op) ? 6 : level;
        const bool comparison = IsComparison(binary.op);
        if (!comparison ||
            !(Parameter(out, *binary.left) || NumberAsText(out, *binary.left, *binary.right))) {
          Child(out, *binary.left, operand_level);
        }
        out += ' ';
        out += binary.concat ? "||" : BinaryOpText(binary.op);
        out += ' ';
        bool associative = binary.op == BinaryOp::kAnd || binary.op == BinaryOp::kOr;
        if (!comparison ||
            !(Parameter(out, *binary.right) || NumberAsText(out, *binary.right, *binary.left))) {
          Child(out, *binary.right, associative || comparison ? operand_level : level + 1);
        }
        return;
      }
      case NodeKind::kIsNull: {
        const IsNullExpr& is_null = expr.As<IsNullExpr>();
        Child(out, *is_null.operand, 6);
        out += is_null.negated ? " IS NOT NULL" : " IS NULL";
        return;
      }
      case NodeKind::kInList: {
        const InList& in = expr.As<InList>();
        std::vector<std::pair<SqlType, int>> values = {Meeting(*in.operand)};
        for (const ExprPtr& item : in.items) values.push_back(Meeting(*item));
        const Form form = pg_ ? Form::kOther : CommonForm(values);
        As(out, *in.operand, form, 6);
        out += in.negated ? " NOT IN (" : " IN (";
        for (size_t i = 0; i < in.items.size(); ++i) {
          if (i > 0) out += ", ";
          ComparedSide(out, *in.items[i], form, 0);
        }
        out += ')';
        return;
      }
      case NodeKind::kInSubquery: {
        const InSubquery& in = expr.As<InSubquery>();
        ItemTarget target;
        if (!pg_ && in.query->column_types.size() == 1) {
          target.form = CommonForm({{in.operand->type, in.operand->scale},
                                    {in.query->column_types[0], in.query->column_scales[0]}});
          if (target.form != Form::kOther) target.mode = ItemTarget::Mode::kForce;
        }
        As(out, *in.operand, target.form, 6);
        out += in.negated ? " NOT IN (" : " IN (";
        const InExpression inside(*this);
        Statement(out, *in.query, target);
        out += ')';
        return;
      }
      case NodeKind::kBetween: {
        const Between& between = expr.As<Between>();
        const Form form = pg_ ? Form::kOther
                              : CommonForm({Meeting(*between.operand), Meeting(*between.low),
                                            Meeting(*between.high)});
        As(out, *between.operand, form, 6);
        out += between.negated ? " NOT BETWEEN " : " BETWEEN ";
        As(out, *between.low, form, 6);
        out += " AND ";
        As(out, *between.high, form, 6);
        return;
      }
      case NodeKind::kLike: {
        const Like& like = expr.As<Like>();
        if ((pg_ || like.operand->type == SqlType::kNumber) &&
            like.operand->type != SqlType::kText && like.operand->type != SqlType::kUnknown) {
          out += TextArg(*like.operand);
        } else {
          Child(out, *like.operand, 6);
        }
        out += like.negated ? " NOT LIKE " : " LIKE ";
        Child(out, *like.pattern, 6);
        return;
      }
      case NodeKind::kExists: {
        out += "EXISTS (";
        const InExpression inside(*this);
        Statement(out, *expr.As<Exists>().query);
        out += ')';
        return;
      }
      case NodeKind::kSubquery: {
        out += '(';
        const InExpression inside(*this);
        Statement(out, *expr.As<Subquery>().query);
        out += ')';
        return;
      }
      case NodeKind::kCase: {
        const CaseExpr& case_expr = expr.As<CaseExpr>();
        const Form result = pg_ ? Form::kOther : FormOf(case_expr);
        Form compared = Form::kOther;
        if (!pg_ && case_expr.operand) {
          std::vector<std::pair<SqlType, int>> values = {Meeting(*case_expr.operand)};
          for (const CaseExpr::When& when : case_expr.whens) {
            values.push_back(Meeting(*when.condition));
          }
          compared = CommonForm(values);
        }
        out += "CASE";
        if (case_expr.operand) {
          out += ' ';
          As(out, *case_expr.operand, compared, 0);
        }
        for (const CaseExpr::When& when : case_expr.whens) {
          out += " WHEN ";
          As(out, *when.condition, compared, 0);
          out += " THEN ";
          As(out, *when.result, result, 0);
        }
        if (case_expr.else_result) {
          out += " ELSE ";
          As(out, *case_expr.else_result, result, 0);
        }
        out += " END";
        return;
      }
      case NodeKind::kFunction:
        FunctionSql(out, expr.As<FunctionCall>());
        return;
      case NodeKind::kCast: {
        const CastExpr& cast = expr.As<CastExpr>();
        CastSql(out, *cast.operand, cast.target);
        return;
      }
      case NodeKind::kConvert: {
        const ConvertExpr& convert = expr.As<ConvertExpr>();
        if (convert.style) {
          Style102(out, *convert.operand, convert.target);
        } else {
          CastSql(out, *convert.operand, convert.target);
        }
        return;
      }
      default:
        throw std::logic_error("not an expression");
    }
  }

  void FunctionSql(std::string& out, const FunctionCall& call) {
    const auto& args = call.args;
    auto plain = [&](std::string_view name) {
      out += name;
      out += '(';
      if (call.distinct) out += "DISTINCT ";
      for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) out += ", ";
        Value(out, *args[i]);
      }
      out += ')';
    };
    const Form form = pg_ ? Form::kOther : FormOf(call);
    // The arguments in the call's form.
    auto converted = [&](std::string_view name) {
      out += name;
      out += '(';
      for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) out += ", ";
        As(out, *args[i], form, 0);
      }
      out += ')';
    };
    switch (call.function) {
      case Function::kSum:
        plain(form == Form::kWide ? "qts_sum" : "sum");
        return;
      case Function::kCount:
        plain("count");
        return;
      case Function::kMin:
        plain("min");
        return;
      case Function::kMax:
        plain("max");
        return;
      case Function::kAvg:
        if (!pg_ && call.type == SqlType::kNumber) {
          // The sum divided by the count, as money.
          const std::string distinct = call.distinct ? "DISTINCT " : "";
          const std::string x = Sql(*args[0]);
          out += "qts_div(" + std::string(FormOf(*args[0]) == Form::kWide ? "qts_sum(" : "sum(") +
                 distinct + x + "), count(" + distinct + x + ") * 10000)";
        } else if (call.type == SqlType::kInteger) {
          // The server's average of whole numbers is a whole number, truncated.
          out += pg_ ? "CAST(trunc(" : "CAST(";
          plain("avg");
          out += pg_ ? ") AS bigint)" : " AS INTEGER)";
        } else {
          plain("avg");
        }
        return;
      case Function::kCoalesce:
        converted("coalesce");
        return;
      case Function::kNullIf:
        converted("nullif");
        return;
      case Function::kAbs:
        plain(form == Form::kWide ? "qts_abs" : "abs");
        return;
      case Function::kIsNull: {
        if (!pg_) {
          converted("coalesce");
          return;
        }
        out += "coalesce(" + Sql(*args[0]) + ", ";
        std::string type = PgType(args[0]->type, args[0]->length);
        // NULL, and a date literal (written DATE '...'), need no cast.
        const bool typed_literal = args[1]->Kind() == NodeKind::kLiteral &&
                                   (args[1]->As<Literal>().literal_type == Literal::Type::kNull ||
                                    args[1]->As<Literal>().iso_date.has_value());
        if (pg_ && !type.empty() && !typed_literal) {
          out += "CAST(" + Sql(*args[1]) + " AS " + type + ")";
        } else {
          Value(out, *args[1]);
        }
        out += ')';
        return;
      }
      case Function::kRound:
        if (pg_) {
          out += "round(CAST(" + Sql(*args[0]) + " AS numeric), " + IntArg(*args[1]) + ")";
        } else if (call.type == SqlType::kNumber) {
          out += (form == Form::kWide ? "qts_round_dec(" : "qts_round_cy(") + MoneyArg(*args[0]) +
                 ", " + Sql(*args[1]) + ")";
        } else {
          out += "qts_round(" + Sql(*args[0]) + ", " + Sql(*args[1]) + ")";
        }
        return;
      case Function::kUpper:
        out += "upper(" + TextArg(*args[0]) + ")";
        return;
      case Function::kLower:
        out += "lower(" + TextArg(*args[0]) + ")";
        return;
      case Function::kLTrim:
      case Function::kRTrim:
        // The second argument names the characters to take away (spaces when absent), as
        // both backends' own two-argument forms do.
        out += call.function == Function::kLTrim ? "ltrim(" : "rtrim(";
        out += TextArg(*args[0]);
        if (args.size() > 1) out += ", " + TextArg(*args[1]);
        out += ")";
        return;
      case Function::kLen:
        out += "length(rtrim(" + TextArg(*args[0]) + "))";
        return;
      case Function::kLeft:
      case Function::kRight:
        LeftRight(out, call.function == Function::kLeft, *args[0], *args[1]);
        return;
      case Function::kSubstring: {
        std::string x = TextArg(*args[0]);
        std::string start = IntArg(*args[1]);
        std::string count = IntArg(*args[2]);
        auto literal_start = IntegerLiteral(*args[1]);
        auto literal_count = IntegerLiteral(*args[2]);
        if (pg_ || (literal_start && *literal_start >= 1 && literal_count && *literal_count >= 0)) {
          out += "substr(" + x + ", " + start + ", " + count + ")";
        } else {
          // Positions before the first character count, as on the server; SQLite would read
          // a negative start from the right.
          std::string first = "max(" + start + ", 1)";
          out += "substr(" + x + ", " + first + ", max(" + Operand(*args[1]) + " + " +
                 Operand(*args[2]) + " - " + first + ", 0))";
        }
        return;
      }
      case Function::kCharIndex: {
        std::string needle = TextArg(*args[0]);
        std::string haystack = TextArg(*args[1]);
        std::string find = pg_ ? "strpos(" + haystack + ", " + needle + ")"
                               : "instr(" + haystack + ", " + needle + ")";
        bool plain_needle = args[0]->Kind() == NodeKind::kLiteral &&
                            args[0]->As<Literal>().literal_type == Literal::Type::kString &&
                            !args[0]->As<Literal>().value.empty();
        if (plain_needle) {
          out += find;
        } else {
          // The server finds an empty text nowhere (0); instr and strpos find it at 1.
          out += "CASE WHEN length(" + needle + ") = 0 THEN 0 ELSE " + find + " END";
        }
        return;
      }
      case Function::kGetDate:
        out += pg_ ? "LOCALTIMESTAMP" : "datetime('now', 'localtime')";
        return;
    }
  }

  // LEFT/RIGHT with the server's rule that a count of 0 or less gives ''.
  void LeftRight(std::string& out, bool left, const Expr& text, const Expr& count) {
    std::string x = TextArg(text);
    auto literal = IntegerLiteral(count);
    if (pg_) {
      std::string n = literal && *literal >= 0 ? Sql(count)
                                               : "CASE WHEN " + Operand(count) +
                                                     " < 0 THEN 0 ELSE " + IntArg(count) + " END";
      out += (left ? "left(" : "right(") + x + ", " + n + ")";
      return;
    }
    if (left) {
      std::string n = literal && *literal >= 0 ? Sql(count) : "max(" + Sql(count) + ", 0)";
      out += "substr(" + x + ", 1, " + n + ")";
    } else if (literal && *literal > 0) {
      out += "substr(" + x + ", -" + Sql(count) + ")";
    } else {
      out += "substr(" + x + ", max(length(" + x + ") - " + Operand(count) + " + 1, 1))";
    }
  }

  // Pads a text to n characters, as CHAR(n) does; NULL stays NULL.
  std::string PadChar(const std::string& text, int n) {
    if (pg_) return "rpad(" + text + ", " + std::to_string(n) + ")";
    return "substr(" + text + " || printf('%" + std::to_string(n) + "s', ''), 1, " +
           std::to_string(n) + ")";
  }

  void CastSql(std::string& out, const Expr& operand, const TypeSpec& target) {
    std::string x = Sql(operand);
    switch (target.base) {
      case TypeSpec::Base::kChar:
      case TypeSpec::Base::kVarChar: {
        int n = target.length > 0 ? target.length : 30;
        std::string n_text = std::to_string(n);
        std::string result;
        if (IsNumeric(operand.type)) {
          // A number whose text does not fit gives '*', as on the server.
          std::string as_text;
          if (pg_) {
            as_text = "CAST(" + x + " AS text)";
          } else if (operand.type == SqlType::kNumber) {
            as_text = NumberText(operand);
          } else {
            as_text = "CAST(" + x + " AS TEXT)";
          }
          std::string fitted = pg_ ? "CAST(" + x + " AS varchar(" + n_text + "))" : as_text;
          result =
              "CASE WHEN length(" + as_text + ") > " + n_text + " THEN '*' ELSE " + fitted + " END";
        } else if (pg_) {
          result = "CAST(" + x + " AS varchar(" + n_text + "))";
        } else if (operand.type == SqlType::kText) {
          result = "substr(" + x + ", 1, " + n_text + ")";
        } else {
          result = "substr(CAST(" + x + " AS TEXT), 1, " + n_text + ")";
        }
        out += target.base == TypeSpec::Base::kChar ? PadChar(result, n) : result;
        return;
      }
      case TypeSpec::Base::kInteger: {
        if (!pg_) {
          // The server cuts a fraction.
          out += operand.type == SqlType::kNumber ? "qts_int(" + x + ")"
                                                  : "CAST(" + x + " AS INTEGER)";
          return;
        }
        std::string type =
            EqualsIgnoreCase(target.name, "bigint") ? "bigint"
            : EqualsIgnoreCase(target.name, "int") || EqualsIgnoreCase(target.name, "integer")
                ? "integer"
                : "smallint";
        // The server truncates a fraction; PostgreSQL would round it.
        bool fraction = operand.type == SqlType::kNumber || operand.type == SqlType::kFloat;
        out += "CAST(" + (fraction ? "trunc(" + x + ")" : x) + " AS " + type + ")";
        return;
      }
      case TypeSpec::Base::kDecimal:
      case TypeSpec::Base::kMoney: {
        bool money = target.base == TypeSpec::Base::kMoney;
        int precision = money ? 19 : (target.precision > 0 ? target.precision : 18);
        int scale = money ? 4 : (target.scale >= 0 ? target.scale : 0);
        if (pg_) {
          out += "CAST(" + x + " AS numeric(" + std::to_string(precision) + ", " +
                 std::to_string(scale) + "))";
        } else {
          // Rounded to the type's places half away from zero, as the server converts; a text
          // or floating value is taken as the decimal it stands for.
          const bool wide = FormOf(SqlType::kNumber, scale) == Form::kWide;
          const std::string value =
              operand.type == SqlType::kInteger || operand.type == SqlType::kBoolean
                  ? AsText(operand, Form::kNarrow)
                  : x;
          out += (wide ? "qts_round_dec(" : "qts_round_cy(") + value + ", " +
                 std::to_string(scale < kMaxNumberScale ? scale : kMaxNumberScale) + ")";
        }
        return;
      }
      case TypeSpec::Base::kFloat:
        if (!pg_ && operand.type == SqlType::kNumber) {
          As(out, operand, Form::kReal, 0);
          return;
        }
        out += "CAST(" + x + (pg_ ? " AS double precision)" : " AS REAL)");
        return;
      case TypeSpec::Base::kDate:
        if (operand.Kind() == NodeKind::kLiteral && operand.As<Literal>().iso_date) {
          out += x;
        } else {
          out += pg_ ? "CAST(" + x + " AS date)" : "date(" + x + ")";
        }
        return;
      case TypeSpec::Base::kDateTime:
        if (pg_ && !(operand.Kind() == NodeKind::kLiteral && operand.As<Literal>().iso_date)) {
          out += "CAST(" + x + " AS timestamp)";
        } else {
          out += x;  // dates are ISO text on SQLite already
        }
        return;
      case TypeSpec::Base::kBit:
        out += "CASE WHEN " + Operand(operand) + " IS NULL THEN NULL WHEN " + Operand(operand) +
               " <> " + (pg_ ? "0" : Zero(FormOf(operand))) + " THEN 1 ELSE 0 END";
        return;
    }
  }

  // CONVERT(CHAR(n), d, 102): the date as 'yyyy.mm.dd', cut or padded to n.
  void Style102(std::string& out, const Expr& operand, const TypeSpec& target) {
    int n = target.length > 0 ? target.length : 30;
    std::string d = Sql(operand);
    std::string text;
    if (pg_) {
      text = "to_char(" + d + ", 'YYYY.MM.DD')";
      if (n < 10) text = "substr(" + text + ", 1, " + std::to_string(n) + ")";
    } else if (operand.type == SqlType::kDate) {
      // A date is ISO text on SQLite ('yyyy-mm-dd', a time perhaps after it): its first ten
      // characters with dots for dashes, without parsing and printing it again as strftime
      // would (a report prints this for every row).
      text = "replace(substr(" + d + ", 1, " + std::to_string(std::min(n, 10)) + "), '-', '.')";
    } else {
      text = "substr(strftime('%Y.%m.%d', " + d + "), 1, " + std::to_string(n) + ")";
    }
    if (target.base == TypeSpec::Base::kChar && n > 10) text = PadChar(text, n);
    out += text;
  }

  // One level of the tree being written, counted to find the deepest.
  // While a subquery of an expression is written: it may read the outer query's columns.
  struct InExpression {
    explicit InExpression(Emitter& emitter) : emitter(emitter), was(emitter.uncorrelated_) {
      emitter.uncorrelated_ = false;
    }
    ~InExpression() { emitter.uncorrelated_ = was; }
    InExpression(const InExpression&) = delete;
    InExpression& operator=(const InExpression&) = delete;
    Emitter& emitter;
    bool was;
  };

  struct Level {
    Level(Emitter& emitter, const Node& node) : emitter(emitter) {
      if (++emitter.depth_ > emitter.deepest_) {
        emitter.deepest_ = emitter.depth_;
        emitter.deepest_at_ = node.Pos();
      }
    }
    ~Level() { --emitter.depth_; }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
    Emitter& emitter;
  };

  bool pg_;                                  // PostgreSQL; SQLite otherwise
  std::vector<const Literal*>* parameters_;  // parameter mode when set
  int first_literal_;  // literals become placeholders after the statement's own '?'s
  int depth_ = 0;
  int deepest_ = 0;
  Position deepest_at_;
  // Derived tables: where each was written (when recorded), which are written once at the
  // head, and those written there so far, in order.
  std::vector<DerivedText>* derived_texts_ = nullptr;
  const std::string* top_out_ = nullptr;
  bool uncorrelated_ = true;
  std::unordered_map<const DerivedTable*, size_t> shared_;
  std::unordered_set<const DerivedTable*> kept_apart_;  // written with LIMIT -1 (KeptApart)
  std::vector<bool> with_written_;
  std::vector<std::pair<size_t, std::string>> with_;
};

// Whether SQLite would compute `query` on its own as a derived table anyway (grouped, distinct
// or a union) rather than merge it into the query that reads it.
bool ComputedApart(const SelectStatement& query) {
  if (query.cores.size() > 1) return true;
  const SelectCore& core = *query.cores.front();
  return core.distinct || !core.group_by.empty();
}

// The derived tables of `text` written more than once with the same text and computed apart:
// each with the number of its text, in the order the texts first appear; `count` receives how
// many texts.
std::unordered_map<const DerivedTable*, size_t> SharedDerived(
    const std::string& text, const std::vector<Emitter::DerivedText>& derived, size_t& count) {
  std::unordered_map<std::string_view, std::vector<const DerivedTable*>> by_text;
  std::vector<std::string_view> order;
  for (const Emitter::DerivedText& d : derived) {
    if (!ComputedApart(*d.table->query)) continue;
    const std::string_view body(text.data() + d.begin, d.end - d.begin);
    auto& tables = by_text[body];
    if (tables.empty()) order.push_back(body);
    tables.push_back(d.table);
  }
  std::unordered_map<const DerivedTable*, size_t> shared;
  count = 0;
  for (std::string_view body : order) {
    const auto& tables = by_text[body];
    if (tables.size() < 2) continue;
    for (const DerivedTable* table : tables) shared.emplace(table, count);
    ++count;
  }
  return shared;
}

// Refuses a statement whose SQLite writing `sql` (by `writer`) nests deeper than SQLite's
// parser goes. Checked for either backend: a statement of the system runs on books of both, and
// the server's parser takes far deeper nesting than the translator allows at all.
void RefuseTooDeep(const std::string& sql, const Emitter& writer) {
  if (SqliteParserTakes(sql)) return;
  throw SqlError("statement nested too deeply for SQLite's parser", "(", writer.Deepest());
}

}  // namespace

std::string Emit(const SelectStatement& statement, Dialect dialect,
                 std::vector<const Literal*>* parameters) {
  std::string out;
  out.reserve(1024);
  Emitter emitter(dialect, parameters, statement.parameter_count);
  // On SQLite a grouped derived table the statement holds twice (a stock source read by two
  // branches of a union) is written once, named in a WITH, so that it is computed once.
  const bool share = dialect == Dialect::kSqlite && parameters == nullptr;
  std::vector<Emitter::DerivedText> derived;
  if (share) emitter.RecordDerived(&derived, &out);
  emitter.Statement(out, statement, {ItemTarget::Mode::kTop, Form::kOther});
  size_t count = 0;
  if (share && derived.size() > 1) {
    if (auto shared = SharedDerived(out, derived, count); !shared.empty()) {
      Emitter writer(dialect, nullptr, statement.parameter_count);
      writer.Share(std::move(shared), count);
      std::string body;
      body.reserve(out.size());
      writer.Statement(body, statement, {ItemTarget::Mode::kTop, Form::kOther});
      out = writer.WithClause() + body;
      RefuseTooDeep(out, writer);
      return out;
    }
  }
  if (dialect == Dialect::kSqlite) {
    RefuseTooDeep(out, emitter);
  } else {
    Emitter sqlite(Dialect::kSqlite, nullptr, statement.parameter_count);
    std::string text;
    sqlite.Statement(text, statement, {ItemTarget::Mode::kTop, Form::kOther});
    RefuseTooDeep(text, sqlite);
  }
  return out;
}

std::string Emit(const WriteStatement& statement, Dialect dialect,
                 std::vector<const Literal*>* parameters) {
  std::string out;
  out.reserve(256);
  Emitter emitter(dialect, parameters, statement.parameter_count);
  emitter.Write(out, statement);
  if (dialect == Dialect::kSqlite) {
    RefuseTooDeep(out, emitter);
  } else {
    Emitter sqlite(Dialect::kSqlite, nullptr, statement.parameter_count);
    std::string text;
    sqlite.Write(text, statement);
    RefuseTooDeep(text, sqlite);
  }
  return out;
}

}  // namespace qts::sql
