// The parse tree of one T-SQL statement: a SELECT, or an INSERT, UPDATE or DELETE of one table.
// Every node knows its kind and where it starts; children are owned through unique_ptr. The binder
// fills the "resolved" members (types, canonical names) in place; ToSql() prints the T-SQL again
// from the tree, and printing Parse(node.ToSql()) gives the same text again.
#ifndef QTS_SQL_AST_H_
#define QTS_SQL_AST_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sql/catalogue.h"
#include "sql/sql_error.h"

namespace qts::sql {

enum class NodeKind {
  // Expressions.
  kLiteral,
  kColumnRef,
  kStar,
  kUnary,
  kBinary,
  kIsNull,
  kInList,
  kInSubquery,
  kBetween,
  kLike,
  kExists,
  kSubquery,
  kCase,
  kFunction,
  kCast,
  kConvert,
  kParameter,
  // Row sources.
  kNamedTable,
  kDerivedTable,
  kJoin,
  // Queries.
  kSelectCore,
  kSelectStatement,
  kWriteStatement,
};

std::string_view NodeKindName(NodeKind kind) noexcept;

class Node {
 public:
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node() = default;

  NodeKind Kind() const noexcept { return kind_; }
  Position Pos() const noexcept { return position_; }

  // The node as T-SQL text (keywords upper case, names as written).
  [[nodiscard]] std::string ToSql() const;
  virtual void AppendSql(std::string& out) const = 0;

  // Checked downcast: throws std::logic_error when the node is not a T.
  template <class T>
  T& As() {
    if (kind_ != T::kKind) ThrowBadCast(T::kKind);
    return static_cast<T&>(*this);
  }
  template <class T>
  const T& As() const {
    if (kind_ != T::kKind) ThrowBadCast(T::kKind);
    return static_cast<const T&>(*this);
  }

 protected:
  Node(NodeKind kind, Position position) : kind_(kind), position_(position) {}

 private:
  [[noreturn]] void ThrowBadCast(NodeKind wanted) const;

  NodeKind kind_;
  Position position_;
};

// A name as written: `quoted` when it came in [brackets] or "double quotes".
struct Identifier {
  std::string name;
  bool quoted = false;
  Position position;
};
void AppendIdentifier(std::string& out, const Identifier& id);

// ---- Expressions -------------------------------------------------------------------------

class Expr : public Node {
 public:
  // Resolved by the binder.
  SqlType type = SqlType::kUnknown;
  int length = 0;  // text: known maximum length, 0 = unknown
  // kNumber: the most decimal places its values can have, as the server's NUMERIC typing
  // gives them (a column kNumberScale, a product the sum of its sides', a quotient
  // kMaxNumberScale, ROUND(x, 2) at most 2); 0 for other types.
  int scale = 0;

 protected:
  using Node::Node;
};
using ExprPtr = std::unique_ptr<Expr>;

class SelectStatement;
using StatementPtr = std::unique_ptr<SelectStatement>;

class Literal : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kLiteral;
  enum class Type { kInteger, kDecimal, kFloat, kString, kNull };
  Literal(Position pos, Type literal_type, std::string value, bool national = false)
      : Expr(kKind, pos), literal_type(literal_type), value(std::move(value)), national(national) {}
  void AppendSql(std::string& out) const override;

  Type literal_type;
  std::string value;  // digits as written, or the text itself (quotes undone)
  bool national;
  // Resolved: set when the text is compared with a date; the date in ISO form.
  std::optional<std::string> iso_date;
};

// A '?': a value bound when the statement runs. Parameters are numbered from 1 in the order
// they are written; the translation keeps the numbers (?n on SQLite, $n on PostgreSQL).
class ParameterRef : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kParameter;
  ParameterRef(Position pos, int number) : Expr(kKind, pos), number(number) {}
  void AppendSql(std::string& out) const override;

  int number;
};

class ColumnRef : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kColumnRef;
  ColumnRef(Position pos, std::optional<Identifier> qualifier, Identifier name)
      : Expr(kKind, pos), qualifier(std::move(qualifier)), name(std::move(name)) {}
  void AppendSql(std::string& out) const override;

  std::optional<Identifier> qualifier;
  Identifier name;
  // Resolved: the canonical source alias (empty for an output column of the select list)
  // and the canonical column name.
  std::string bound_source;
  std::string bound_name;
};

// "*" or "alias.*" in a select list, and the argument of COUNT(*).
class Star : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kStar;
  Star(Position pos, std::optional<Identifier> qualifier)
      : Expr(kKind, pos), qualifier(std::move(qualifier)) {}
  void AppendSql(std::string& out) const override;

  std::optional<Identifier> qualifier;
  std::string bound_source;  // resolved canonical alias when qualified
};

enum class UnaryOp { kMinus, kPlus, kNot };
class Unary : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kUnary;
  Unary(Position pos, UnaryOp op, ExprPtr operand)
      : Expr(kKind, pos), op(op), operand(std::move(operand)) {}
  void AppendSql(std::string& out) const override;

  UnaryOp op;
  ExprPtr operand;
};

enum class BinaryOp {
  kOr,
  kAnd,
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,
  kAdd,
  kSub,
  kMul,
  kDiv,
  kMod,
};
std::string_view BinaryOpText(BinaryOp op) noexcept;
bool IsComparison(BinaryOp op) noexcept;

class Binary : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kBinary;
  Binary(Position pos, BinaryOp op, ExprPtr left, ExprPtr right)
      : Expr(kKind, pos), op(op), left(std::move(left)), right(std::move(right)) {}
  void AppendSql(std::string& out) const override;

  BinaryOp op;
  ExprPtr left;
  ExprPtr right;
  bool concat = false;  // resolved: '+' joins texts
};

class IsNullExpr : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kIsNull;
  IsNullExpr(Position pos, ExprPtr operand, bool negated)
      : Expr(kKind, pos), operand(std::move(operand)), negated(negated) {}
  void AppendSql(std::string& out) const override;

  ExprPtr operand;
  bool negated;
};

class InList : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kInList;
  InList(Position pos, ExprPtr operand, std::vector<ExprPtr> items, bool negated)
      : Expr(kKind, pos), operand(std::move(operand)), items(std::move(items)), negated(negated) {}
  void AppendSql(std::string& out) const override;

  ExprPtr operand;
  std::vector<ExprPtr> items;
  bool negated;
};

class InSubquery : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kInSubquery;
  InSubquery(Position pos, ExprPtr operand, StatementPtr query, bool negated);
  ~InSubquery() override;
  void AppendSql(std::string& out) const override;

  ExprPtr operand;
  StatementPtr query;
  bool negated;
};

class Between : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kBetween;
  Between(Position pos, ExprPtr operand, ExprPtr low, ExprPtr high, bool negated)
      : Expr(kKind, pos),
        operand(std::move(operand)),
        low(std::move(low)),
        high(std::move(high)),
        negated(negated) {}
  void AppendSql(std::string& out) const override;

  ExprPtr operand;
  ExprPtr low;
  ExprPtr high;
  bool negated;
};

class Like : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kLike;
  Like(Position pos, ExprPtr operand, ExprPtr pattern, bool negated)
      : Expr(kKind, pos),
        operand(std::move(operand)),
        pattern(std::move(pattern)),
        negated(negated) {}
  void AppendSql(std::string& out) const override;

  ExprPtr operand;
  ExprPtr pattern;
  bool negated;
};

class Exists : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kExists;
  Exists(Position pos, StatementPtr query);
  ~Exists() override;
  void AppendSql(std::string& out) const override;

  StatementPtr query;
};

// A scalar subquery: "(SELECT ...)" used as a value.
class Subquery : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kSubquery;
  Subquery(Position pos, StatementPtr query);
  ~Subquery() override;
  void AppendSql(std::string& out) const override;

  StatementPtr query;
};

class CaseExpr : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kCase;
  struct When {
    ExprPtr condition;  // a value compared with the operand in the simple form
    ExprPtr result;
  };
  CaseExpr(Position pos, ExprPtr operand, std::vector<When> whens, ExprPtr else_result)
      : Expr(kKind, pos),
        operand(std::move(operand)),
        whens(std::move(whens)),
        else_result(std::move(else_result)) {}
  void AppendSql(std::string& out) const override;

  ExprPtr operand;  // null for the searched form
  std::vector<When> whens;
  ExprPtr else_result;  // may be null
};

// Functions of the subset; the parser refuses any other name.
enum class Function {
  kSum,
  kCount,
  kMin,
  kMax,
  kAvg,
  kCoalesce,
  kNullIf,
  kIsNull,
  kRound,
  kAbs,
  kUpper,
  kLower,
  kLTrim,
  kRTrim,
  kLen,
  kLeft,
  kRight,
  kSubstring,
  kCharIndex,
  kGetDate,
};
bool IsAggregate(Function function) noexcept;

class FunctionCall : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kFunction;
  FunctionCall(Position pos, Identifier name, Function function, std::vector<ExprPtr> args,
               bool distinct)
      : Expr(kKind, pos),
        name(std::move(name)),
        function(function),
        args(std::move(args)),
        distinct(distinct) {}
  void AppendSql(std::string& out) const override;

  Identifier name;  // as written
  Function function;
  std::vector<ExprPtr> args;  // COUNT(*) holds one Star
  bool distinct;
};

// A target type of CAST or CONVERT.
struct TypeSpec {
  enum class Base { kChar, kVarChar, kInteger, kDecimal, kMoney, kFloat, kDate, kDateTime, kBit };
  Base base = Base::kVarChar;
  std::string name;  // as written, e.g. "nvarchar"
  int length = -1;   // char types; -1 when not given
  int precision = -1;
  int scale = -1;
  Position position;

  bool IsText() const noexcept { return base == Base::kChar || base == Base::kVarChar; }
  SqlType ResultType() const noexcept;
};
void AppendTypeSpec(std::string& out, const TypeSpec& spec);

class CastExpr : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kCast;
  CastExpr(Position pos, ExprPtr operand, TypeSpec target)
      : Expr(kKind, pos), operand(std::move(operand)), target(std::move(target)) {}
  void AppendSql(std::string& out) const override;

  ExprPtr operand;
  TypeSpec target;
};

class ConvertExpr : public Expr {
 public:
  static constexpr NodeKind kKind = NodeKind::kConvert;
  ConvertExpr(Position pos, TypeSpec target, ExprPtr operand, std::optional<int> style,
              Position style_position)
      : Expr(kKind, pos),
        target(std::move(target)),
        operand(std::move(operand)),
        style(style),
        style_position(style_position) {}
  void AppendSql(std::string& out) const override;

  TypeSpec target;
  ExprPtr operand;
  std::optional<int> style;
  Position style_position;
};

// Binding strength of an expression's top operator, for printing with the fewest
// parentheses: 1 OR, 2 AND, 3 NOT, 4 comparisons and predicates, 6 + -, 7 * / %, 8 unary
// minus, 9 primaries.
int Precedence(const Expr& expr) noexcept;

// ---- Row sources -------------------------------------------------------------------------

class Source : public Node {
 protected:
  using Node::Node;
};
using SourcePtr = std::unique_ptr<Source>;

class NamedTable : public Source {
 public:
  static constexpr NodeKind kKind = NodeKind::kNamedTable;
  NamedTable(Position pos, Identifier name, std::optional<Identifier> alias, bool as_keyword)
      : Source(kKind, pos),
        name(std::move(name)),
        alias(std::move(alias)),
        as_keyword(as_keyword) {}
  void AppendSql(std::string& out) const override;

  Identifier name;
  std::optional<Identifier> alias;
  bool as_keyword;
  // Resolved: the physical table and the alias it is known by.
  std::string physical_name;
  std::string bound_alias;
};

class DerivedTable : public Source {
 public:
  static constexpr NodeKind kKind = NodeKind::kDerivedTable;
  DerivedTable(Position pos, StatementPtr query, Identifier alias, bool as_keyword);
  ~DerivedTable() override;
  void AppendSql(std::string& out) const override;

  StatementPtr query;
  Identifier alias;
  bool as_keyword;
};

enum class JoinKind { kInner, kLeft, kCross };
class Join : public Source {
 public:
  static constexpr NodeKind kKind = NodeKind::kJoin;
  Join(Position pos, JoinKind join_kind, SourcePtr left, SourcePtr right, ExprPtr on)
      : Source(kKind, pos),
        join_kind(join_kind),
        left(std::move(left)),
        right(std::move(right)),
        on(std::move(on)) {}
  void AppendSql(std::string& out) const override;

  JoinKind join_kind;
  SourcePtr left;
  SourcePtr right;
  ExprPtr on;  // null for CROSS JOIN
};

// ---- Queries -----------------------------------------------------------------------------

struct SelectItem {
  ExprPtr expr;
  std::optional<Identifier> alias;
  // Resolved: the output name (empty when the server would leave the column unnamed).
  std::string output_name;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
  bool explicit_direction = false;
};

// One SELECT ... [FROM ...] [WHERE ...] [GROUP BY ...] [HAVING ...] block.
class SelectCore : public Node {
 public:
  static constexpr NodeKind kKind = NodeKind::kSelectCore;
  explicit SelectCore(Position pos) : Node(kKind, pos) {}
  void AppendSql(std::string& out) const override;

  bool distinct = false;
  std::optional<int64_t> top;
  std::vector<SelectItem> items;
  std::vector<SourcePtr> from;  // comma-separated sources
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
};

// Cores joined by UNION [ALL], with the ORDER BY of the whole.
class SelectStatement : public Node {
 public:
  static constexpr NodeKind kKind = NodeKind::kSelectStatement;
  explicit SelectStatement(Position pos) : Node(kKind, pos) {}
  void AppendSql(std::string& out) const override;

  std::vector<std::unique_ptr<SelectCore>> cores;
  std::vector<bool> union_all;  // one per core after the first
  std::vector<OrderItem> order_by;
  // Resolved: the type and scale (Expr::scale) of each output column, over every core of a
  // UNION; empty when the select list has a '*'.
  std::vector<SqlType> column_types;
  std::vector<int> column_scales;
  // The number of '?' parameters in the whole statement (set on the outermost one).
  int parameter_count = 0;
};

// INSERT INTO t (columns) VALUES (...), (...); UPDATE t SET c = value, ... [WHERE ...];
// DELETE FROM t [WHERE ...]. The table is a logical name (or this book's physical one); its
// columns are named unqualified in SET and the column list, and may be qualified by the table
// name in values and conditions.
class WriteStatement : public Node {
 public:
  static constexpr NodeKind kKind = NodeKind::kWriteStatement;
  enum class Verb { kInsert, kUpdate, kDelete };
  struct Assignment {
    Identifier column;
    ExprPtr value;
  };
  WriteStatement(Position pos, Verb verb, Identifier table)
      : Node(kKind, pos), verb(verb), table(std::move(table)) {}
  void AppendSql(std::string& out) const override;

  Verb verb;
  Identifier table;
  std::vector<Identifier> columns;         // INSERT
  std::vector<std::vector<ExprPtr>> rows;  // INSERT: one list of values per row
  std::vector<Assignment> assignments;     // UPDATE
  ExprPtr where;                           // UPDATE, DELETE; may be null
  int parameter_count = 0;
  // Resolved: the physical table and, for the column list or the assignments in order, each
  // column's canonical name, type and places.
  std::string physical_name;
  std::vector<std::string> bound_columns;
  std::vector<SqlType> column_types;
  std::vector<int> column_scales;
};
using WriteStatementPtr = std::unique_ptr<WriteStatement>;

}  // namespace qts::sql

#endif  // QTS_SQL_AST_H_
