#include "sql/ast.h"

#include <utility>

namespace qts::sql {

namespace {

void AppendText(std::string& out, std::string_view text) {
  out += '\'';
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
}

// Prints `child`, in parentheses when it binds more loosely than `min_level` requires.
void AppendChild(std::string& out, const Expr& child, int min_level) {
  if (Precedence(child) < min_level) {
    out += '(';
    child.AppendSql(out);
    out += ')';
  } else {
    child.AppendSql(out);
  }
}

void AppendList(std::string& out, const std::vector<ExprPtr>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ", ";
    items[i]->AppendSql(out);
  }
}

}  // namespace

std::string_view NodeKindName(NodeKind kind) noexcept {
  switch (kind) {
    case NodeKind::kLiteral:
      return "Literal";
    case NodeKind::kColumnRef:
      return "ColumnRef";
    case NodeKind::kStar:
      return "Star";
    case NodeKind::kUnary:
      return "Unary";
    case NodeKind::kBinary:
      return "Binary";
    case NodeKind::kIsNull:
      return "IsNull";
    case NodeKind::kInList:
      return "InList";
    case NodeKind::kInSubquery:
      return "InSubquery";
    case NodeKind::kBetween:
      return "Between";
    case NodeKind::kLike:
      return "Like";
    case NodeKind::kExists:
      return "Exists";
    case NodeKind::kSubquery:
      return "Subquery";
    case NodeKind::kCase:
      return "Case";
    case NodeKind::kFunction:
      return "Function";
    case NodeKind::kCast:
      return "Cast";
    case NodeKind::kConvert:
      return "Convert";
    case NodeKind::kNamedTable:
      return "NamedTable";
    case NodeKind::kDerivedTable:
      return "DerivedTable";
    case NodeKind::kJoin:
      return "Join";
    case NodeKind::kSelectCore:
      return "SelectCore";
    case NodeKind::kSelectStatement:
      return "SelectStatement";
    case NodeKind::kParameter:
      return "Parameter";
    case NodeKind::kWriteStatement:
      return "WriteStatement";
  }
  return "?";
}

std::string Node::ToSql() const {
  std::string out;
  AppendSql(out);
  return out;
}

void Node::ThrowBadCast(NodeKind wanted) const {
  throw std::logic_error("AST node is " + std::string(NodeKindName(kind_)) + ", not " +
                         std::string(NodeKindName(wanted)));
}

void AppendIdentifier(std::string& out, const Identifier& id) {
  if (!id.quoted) {
    out += id.name;
    return;
  }
  out += '[';
  for (char c : id.name) {
    if (c == ']') out += ']';
    out += c;
  }
  out += ']';
}

std::string_view BinaryOpText(BinaryOp op) noexcept {
  switch (op) {
    case BinaryOp::kOr:
      return "OR";
    case BinaryOp::kAnd:
      return "AND";
    case BinaryOp::kEq:
      return "=";
    case BinaryOp::kNe:
      return "<>";
    case BinaryOp::kLt:
      return "<";
    case BinaryOp::kLe:
      return "<=";
    case BinaryOp::kGt:
      return ">";
    case BinaryOp::kGe:
      return ">=";
    case BinaryOp::kAdd:
      return "+";
    case BinaryOp::kSub:
      return "-";
    case BinaryOp::kMul:
      return "*";
    case BinaryOp::kDiv:
      return "/";
    case BinaryOp::kMod:
      return "%";
  }
  return "?";
}

bool IsComparison(BinaryOp op) noexcept { return op >= BinaryOp::kEq && op <= BinaryOp::kGe; }

bool IsAggregate(Function function) noexcept { return function <= Function::kAvg; }

int Precedence(const Expr& expr) noexcept {
  switch (expr.Kind()) {
    case NodeKind::kBinary: {
      BinaryOp op = static_cast<const Binary&>(expr).op;
      if (op == BinaryOp::kOr) return 1;
      if (op == BinaryOp::kAnd) return 2;
      if (IsComparison(op)) return 4;
      if (op == BinaryOp::kAdd || op == BinaryOp::kSub) return 6;
      return 7;
    }
    case NodeKind::kUnary:
      return static_cast<const Unary&>(expr).op == UnaryOp::kNot ? 3 : 8;
    case NodeKind::kIsNull:
    case NodeKind::kInList:
    case NodeKind::kInSubquery:
    case NodeKind::kBetween:
    case NodeKind::kLike:
      return 4;
    default:
      return 9;
  }
}

SqlType TypeSpec::ResultType() const noexcept {
  switch (base) {
    case Base::kChar:
    case Base::kVarChar:
      return SqlType::kText;
    case Base::kInteger:
      return SqlType::kInteger;
    case Base::kBit:
      return SqlType::kBoolean;
    case Base::kDecimal:
    case Base::kMoney:
      return SqlType::kNumber;
    case Base::kFloat:
      return SqlType::kFloat;
    case Base::kDate:
    case Base::kDateTime:
      return SqlType::kDate;
  }
  return SqlType::kUnknown;
}

void AppendTypeSpec(std::string& out, const TypeSpec& spec) {
  out += spec.name;
  if (spec.length >= 0) {
    out += '(' + std::to_string(spec.length) + ')';
  } else if (spec.precision >= 0) {
    out += '(' + std::to_string(spec.precision);
    if (spec.scale >= 0) out += ", " + std::to_string(spec.scale);
    out += ')';
  }
}

void Literal::AppendSql(std::string& out) const {
  switch (literal_type) {
    case Type::kNull:
      out += "NULL";
      break;
    case Type::kString:
      if (national) out += 'N';
      AppendText(out, value);
      break;
    default:
      out += value;
      break;
  }
}

void ParameterRef::AppendSql(std::string& out) const { out += '?'; }

void ColumnRef::AppendSql(std::string& out) const {
  if (qualifier) {
    AppendIdentifier(out, *qualifier);
    out += '.';
  }
  AppendIdentifier(out, name);
}

void Star::AppendSql(std::string& out) const {
  if (qualifier) {
    AppendIdentifier(out, *qualifier);
    out += '.';
  }
  out += '*';
}

void Unary::AppendSql(std::string& out) const {
  if (op == UnaryOp::kNot) {
    out += "NOT ";
    AppendChild(out, *operand, 3);
    return;
  }
  out += op == UnaryOp::kMinus ? '-' : '+';
  // A sign of a sign follows a space: "- -x" must not become the comment "--x", and
  // parentheses would make each sign two levels of nesting when the text is read again, so
  // that a statement at the deepest nesting would print as one nested too deeply.
  if (operand->Kind() == NodeKind::kUnary && operand->As<Unary>().op != UnaryOp::kNot) {
    out += ' ';
    operand->AppendSql(out);
    return;
  }
  AppendChild(out, *operand, 8);
}

void Binary::AppendSql(std::string& out) const {
  int level = Precedence(*this);
  int operand_level = IsComparison(op) ? 6 : level;
  AppendChild(out, *left, operand_level);
  out += ' ';
  out += BinaryOpText(op);
  out += ' ';
  bool associative = op == BinaryOp::kAnd || op == BinaryOp::kOr;
  AppendChild(out, *right, associative || IsComparison(op) ? operand_level : level + 1);
}

void IsNullExpr::AppendSql(std::string& out) const {
  AppendChild(out, *operand, 6);
  out += negated ? " IS NOT NULL" : " IS NULL";
}

void InList::AppendSql(std::string& out) const {
  AppendChild(out, *operand, 6);
  out += negated ? " NOT IN (" : " IN (";
  AppendList(out, items);
  out += ')';
}

InSubquery::InSubquery(Position pos, ExprPtr operand, StatementPtr query, bool negated)
    : Expr(kKind, pos), operand(std::move(operand)), query(std::move(query)), negated(negated) {}
InSubquery::~InSubquery() = default;

void InSubquery::AppendSql(std::string& out) const {
  AppendChild(out, *operand, 6);
  out += negated ? " NOT IN (" : " IN (";
  query->AppendSql(out);
  out += ')';
}

void Between::AppendSql(std::string& out) const {
  AppendChild(out, *operand, 6);
  out += negated ? " NOT BETWEEN " : " BETWEEN ";
  AppendChild(out, *low, 6);
  out += " AND ";
  AppendChild(out, *high, 6);
}

void Like::AppendSql(std::string& out) const {
  AppendChild(out, *operand, 6);
  out += negated ? " NOT LIKE " : " LIKE ";
  AppendChild(out, *pattern, 6);
}

Exists::Exists(Position pos, StatementPtr query) : Expr(kKind, pos), query(std::move(query)) {}
Exists::~Exists() = default;

void Exists::AppendSql(std::string& out) const {
  out += "EXISTS (";
  query->AppendSql(out);
  out += ')';
}

Subquery::Subquery(Position pos, StatementPtr query) : Expr(kKind, pos), query(std::move(query)) {}
Subquery::~Subquery() = default;

void Subquery::AppendSql(std::string& out) const {
  out += '(';
  query->AppendSql(out);
  out += ')';
}

void CaseExpr::AppendSql(std::string& out) const {
  out += "CASE";
  if (operand) {
    out += ' ';
    operand->AppendSql(out);
  }
  for (const When& when : whens) {
    out += " WHEN ";
    when.condition->AppendSql(out);
    out += " THEN ";
    when.result->AppendSql(out);
  }
  if (else_result) {
    out += " ELSE ";
    else_result->AppendSql(out);
  }
  out += " END";
}

void FunctionCall::AppendSql(std::string& out) const {
  AppendIdentifier(out, name);
  out += '(';
  if (distinct) out += "DISTINCT ";
  AppendList(out, args);
  out += ')';
}

void CastExpr::AppendSql(std::string& out) const {
  out += "CAST(";
  operand->AppendSql(out);
  out += " AS ";
  AppendTypeSpec(out, target);
  out += ')';
}

void ConvertExpr::AppendSql(std::string& out) const {
  out += "CONVERT(";
  AppendTypeSpec(out, target);
  out += ", ";
  operand->AppendSql(out);
  if (style) out += ", " + std::to_string(*style);
  out += ')';
}

void NamedTable::AppendSql(std::string& out) const {
  AppendIdentifier(out, name);
  if (alias) {
    out += as_keyword ? " AS " : " ";
    AppendIdentifier(out, *alias);
  }
}

DerivedTable::DerivedTable(Position pos, StatementPtr query, Identifier alias, bool as_keyword)
    : Source(kKind, pos),
      query(std::move(query)),
      alias(std::move(alias)),
      as_keyword(as_keyword) {}
DerivedTable::~DerivedTable() = default;

void DerivedTable::AppendSql(std::string& out) const {
  out += '(';
  query->AppendSql(out);
  out += as_keyword ? ") AS " : ") ";
  AppendIdentifier(out, alias);
}

void Join::AppendSql(std::string& out) const {
  left->AppendSql(out);
  switch (join_kind) {
    case JoinKind::kInner:
      out += " INNER JOIN ";
      break;
    case JoinKind::kLeft:
      out += " LEFT OUTER JOIN ";
      break;
    case JoinKind::kCross:
      out += " CROSS JOIN ";
      break;
  }
  right->AppendSql(out);
  if (on) {
    out += " ON ";
    on->AppendSql(out);
  }
}

void SelectCore::AppendSql(std::string& out) const {
  out += "SELECT ";
  if (distinct) out += "DISTINCT ";
  if (top) out += "TOP " + std::to_string(*top) + ' ';
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ", ";
    // A condition as a column (the binder refuses it, the parser takes it) keeps parentheses:
    // "a = 1 AS b" or "a = 1" would read back as the column a named by "alias = expression".
    AppendChild(out, *items[i].expr, 5);
    if (items[i].alias) {
      out += " AS ";
      AppendIdentifier(out, *items[i].alias);
    }
  }
  if (!from.empty()) {
    out += " FROM ";
    for (size_t i = 0; i < from.size(); ++i) {
      if (i > 0) out += ", ";
      from[i]->AppendSql(out);
    }
  }
  if (where) {
    out += " WHERE ";
    where->AppendSql(out);
  }
  if (!group_by.empty()) {
    out += " GROUP BY ";
    AppendList(out, group_by);
  }
  if (having) {
    out += " HAVING ";
    having->AppendSql(out);
  }
}

void SelectStatement::AppendSql(std::string& out) const {
  for (size_t i = 0; i < cores.size(); ++i) {
    if (i > 0) out += union_all[i - 1] ? " UNION ALL " : " UNION ";
    cores[i]->AppendSql(out);
  }
  if (!order_by.empty()) {
    out += " ORDER BY ";
    for (size_t i = 0; i < order_by.size(); ++i) {
      if (i > 0) out += ", ";
      order_by[i].expr->AppendSql(out);
      if (order_by[i].explicit_direction) out += order_by[i].descending ? " DESC" : " ASC";
    }
  }
}

void WriteStatement::AppendSql(std::string& out) const {
  switch (verb) {
    case Verb::kInsert:
      out += "INSERT INTO ";
      AppendIdentifier(out, table);
      out += " (";
      for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out += ", ";
        AppendIdentifier(out, columns[i]);
      }
      out += ") VALUES ";
      for (size_t r = 0; r < rows.size(); ++r) {
        out += r > 0 ? ", (" : "(";
        for (size_t i = 0; i < rows[r].size(); ++i) {
          if (i > 0) out += ", ";
          rows[r][i]->AppendSql(out);
        }
        out += ')';
      }
      return;
    case Verb::kUpdate:
      out += "UPDATE ";
      AppendIdentifier(out, table);
      out += " SET ";
      for (size_t i = 0; i < assignments.size(); ++i) {
        if (i > 0) out += ", ";
        AppendIdentifier(out, assignments[i].column);
        out += " = ";
        assignments[i].value->AppendSql(out);
      }
      break;
    case Verb::kDelete:
      out += "DELETE FROM ";
      AppendIdentifier(out, table);
      break;
  }
  if (where) {
    out += " WHERE ";
    where->AppendSql(out);
  }
}

}  // namespace qts::sql
