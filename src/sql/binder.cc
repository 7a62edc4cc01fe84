#include "sql/binder.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "core/text.h"
#include "sql/date_literal.h"

namespace qts::sql {

namespace {

std::string_view TypeName(SqlType type) {
  switch (type) {
    case SqlType::kInteger:
      return "integer";
    case SqlType::kNumber:
      return "number";
    case SqlType::kFloat:
      return "float";
    case SqlType::kText:
      return "text";
    case SqlType::kDate:
      return "date";
    case SqlType::kBoolean:
      return "bit";
    case SqlType::kUnknown:
      break;
  }
  return "unknown";
}

int Rank(SqlType type) {
  switch (type) {
    case SqlType::kText:
      return 1;
    case SqlType::kBoolean:
      return 2;
    case SqlType::kInteger:
      return 3;
    case SqlType::kNumber:
      return 4;
    case SqlType::kFloat:
      return 5;
    case SqlType::kDate:
      return 6;
    case SqlType::kUnknown:
      break;
  }
  return 0;
}

// The type of a value that may come from either side (CASE branches, COALESCE, UNION):
// the higher in the server's precedence, a bit counting as an integer.
SqlType Merge(SqlType a, SqlType b) {
  SqlType merged = Rank(a) >= Rank(b) ? a : b;
  if (merged == SqlType::kBoolean && a != b) return SqlType::kInteger;
  return merged;
}

SqlType Arithmetic(SqlType a, SqlType b) {
  SqlType merged = Merge(a, b);
  return merged == SqlType::kBoolean ? SqlType::kInteger : merged;
}

// The places of a value of `type` that came with `scale` (0 for anything but a number).
int ScaleOf(SqlType type, int scale) {
  if (type != SqlType::kNumber) return 0;
  return scale < kMaxNumberScale ? scale : kMaxNumberScale;
}

// The places of a decimal literal as written ("1.50" has two).
int LiteralScale(std::string_view digits) {
  const size_t point = digits.find('.');
  if (point == std::string_view::npos) return 0;
  size_t end = point + 1;
  while (end < digits.size() && digits[end] >= '0' && digits[end] <= '9') ++end;
  return static_cast<int>(end - point - 1);
}

bool IsPredicate(const Expr& expr) {
  switch (expr.Kind()) {
    case NodeKind::kBinary: {
      BinaryOp op = expr.As<Binary>().op;
      return op == BinaryOp::kAnd || op == BinaryOp::kOr || IsComparison(op);
    }
    case NodeKind::kUnary:
      return expr.As<Unary>().op == UnaryOp::kNot;
    case NodeKind::kIsNull:
    case NodeKind::kInList:
    case NodeKind::kInSubquery:
    case NodeKind::kBetween:
    case NodeKind::kLike:
    case NodeKind::kExists:
      return true;
    default:
      return false;
  }
}

int CharCount(std::string_view text) {
  int count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

struct ScopeSource {
  std::string alias;                  // canonical
  std::string also_known_as;          // a written table's logical name, usable as a qualifier
  const SourceInfo* table = nullptr;  // catalogue source, or
  std::vector<OutputColumn> columns;  // the columns of a derived table
};

struct Scope {
  const Scope* parent = nullptr;
  std::vector<ScopeSource> sources;
  const std::vector<SelectItem>* outputs = nullptr;  // visible to ORDER BY
  bool outputs_only = false;                         // ORDER BY of a UNION
  mutable int aggregates = 0;                        // aggregate calls bound in this scope
};

struct Found {
  std::string name;
  SqlType type = SqlType::kUnknown;
  int length = 0;
  int scale = 0;
};

// The literal an ORDER BY or GROUP BY item is, under any signs (`signs`: how many); nullptr
// for any other item. Such an item would not be sorted or grouped by: the backends read an
// integer there as the position of a column of the select list, signs or not.
const Literal* LiteralItem(const Expr& item, int& signs) {
  const Expr* at = &item;
  signs = 0;
  while (at->Kind() == NodeKind::kUnary) {
    const Unary& unary = at->As<Unary>();
    if (unary.op != UnaryOp::kMinus && unary.op != UnaryOp::kPlus) return nullptr;
    at = unary.operand.get();
    ++signs;
  }
  return at->Kind() == NodeKind::kLiteral ? &at->As<Literal>() : nullptr;
}

// An ORDER BY item that is a bare integer is the position of a column of the select list (of
// `columns` columns), as on the server; any other constant is refused, as the server refuses
// it.
void CheckOrderItem(const Expr& item, size_t columns) {
  int signs = 0;
  const Literal* literal = LiteralItem(item, signs);
  if (literal == nullptr) return;
  if (signs > 0 || literal->literal_type != Literal::Type::kInteger) {
    throw SqlError(
        "a constant expression in the ORDER BY list: an integer names a column of "
        "the select list by its position, anything else sorts nothing",
        item.ToSql(), item.Pos());
  }
  const std::string& digits = literal->value;
  const size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  const bool in_range = digits.size() - first <= 9 && first < digits.size() &&
                        std::stoul(digits.substr(first)) <= columns;
  if (!in_range) {
    throw SqlError("the ORDER BY position number " + digits +
                       " is out of range of the number of items in the select list (" +
                       std::to_string(columns) + ")",
                   digits, item.Pos());
  }
}

bool FindIn(const ScopeSource& source, std::string_view name, Found& found) {
  if (source.table != nullptr) {
    const ColumnInfo* column = source.table->FindColumn(name);
    if (column == nullptr) return false;
    found = {column->name, column->type, column->length, ScaleOf(column->type, kNumberScale)};
    return true;
  }
  for (const OutputColumn& column : source.columns) {
    if (EqualsIgnoreCase(column.name, name)) {
      found = {column.name, column.type, column.length, column.scale};
      return true;
    }
  }
  return false;
}

class Binder {
 public:
  explicit Binder(const Catalogue& catalogue) : catalogue_(catalogue) {}

  std::vector<OutputColumn> BindStatement(SelectStatement& statement, const Scope* parent) {
    std::vector<OutputColumn> outputs;
    Scope* first_scope = nullptr;
    for (size_t i = 0; i < statement.cores.size(); ++i) {
      SelectCore& core = *statement.cores[i];
      Scope& scope = scopes_.emplace_back();
      scope.parent = parent;
      std::vector<OutputColumn> columns = BindCore(core, scope);
      if (i == 0) {
        outputs = std::move(columns);
        first_scope = &scope;
        continue;
      }
      if (columns.size() != outputs.size()) {
        throw SqlError("the selects of a UNION have different numbers of columns", "UNION",
                       core.Pos());
      }
      for (size_t c = 0; c < columns.size(); ++c) {
        outputs[c].type = Merge(outputs[c].type, columns[c].type);
        if (outputs[c].length < columns[c].length) outputs[c].length = columns[c].length;
        outputs[c].scale = ScaleOf(outputs[c].type, std::max(outputs[c].scale, columns[c].scale));
      }
    }
    statement.column_types.clear();
    statement.column_scales.clear();
    bool star = false;
    for (const auto& core : statement.cores) {
      for (const SelectItem& item : core->items)
        star = star || item.expr->Kind() == NodeKind::kStar;
    }
    if (!star) {
      for (const OutputColumn& column : outputs) {
        statement.column_types.push_back(column.type);
        statement.column_scales.push_back(column.scale);
      }
    }
    if (!statement.order_by.empty()) {
      Scope* order_scope = first_scope;
      if (statement.cores.size() > 1) {
        order_scope = &scopes_.emplace_back();
        order_scope->parent = parent;
        order_scope->outputs_only = true;
      }
      for (OrderItem& item : statement.order_by) {
        CheckOrderItem(*item.expr, outputs.size());
        // Output names are visible to a bare name only, as on the server.
        bool bare =
            item.expr->Kind() == NodeKind::kColumnRef && !item.expr->As<ColumnRef>().qualifier;
        order_scope->outputs = bare ? &statement.cores.front()->items : nullptr;
        BindValue(*item.expr, *order_scope);
      }
      order_scope->outputs = nullptr;
    }
    return outputs;
  }

  // The written table is known by its physical name, so that a subquery over the same logical
  // table (which takes the logical name as its alias) never hides it; its logical name
  // qualifies its columns as well.
  void BindWrite(WriteStatement& write) {
    const SourceInfo* info = LookUpTable(write.table);
    if (info == nullptr) {
      throw SqlError("unknown table '" + write.table.name + "'", write.table.name, write.Pos());
    }
    write.physical_name = catalogue_.PhysicalName(info->name);
    Scope& scope = scopes_.emplace_back();
    ScopeSource target{write.physical_name, info->name, info, {}};
    auto column_of = [&](const Identifier& name) -> Found {
      Found found;
      if (!FindIn(target, name.name, found)) {
        throw SqlError("unknown column '" + name.name + "' of table '" + info->name + "'",
                       name.name, name.position);
      }
      for (const std::string& earlier : write.bound_columns) {
        if (earlier == found.name) {
          throw SqlError("column '" + found.name + "' is written twice", name.name, name.position);
        }
      }
      write.bound_columns.push_back(found.name);
      write.column_types.push_back(found.type);
      write.column_scales.push_back(found.scale);
      return found;
    };
    // A value written into a column: a parameter takes the column's type, a text read as a
    // date where the column is one.
    auto bind_value = [&](Expr& value, const Found& column, const Scope& value_scope) {
      BindValue(value, value_scope);
      Infer(value, TypeOf(column));
      if (column.type == SqlType::kDate) ReadAsDate(value);
    };
    switch (write.verb) {
      case WriteStatement::Verb::kInsert: {
        std::vector<Found> columns;
        for (const Identifier& name : write.columns) columns.push_back(column_of(name));
        for (std::vector<ExprPtr>& row : write.rows) {
          for (size_t i = 0; i < row.size(); ++i) bind_value(*row[i], columns[i], scope);
        }
        return;
      }
      case WriteStatement::Verb::kUpdate:
        scope.sources.push_back(std::move(target));
        for (WriteStatement::Assignment& assignment : write.assignments) {
          const Found column = column_of(assignment.column);
          bind_value(*assignment.value, column, scope);
        }
        break;
      case WriteStatement::Verb::kDelete:
        scope.sources.push_back(std::move(target));
        break;
    }
    if (write.where) BindCondition(*write.where, scope);
  }

 private:
  // The type a column or expression gives a parameter it meets.
  struct TypeOf {
    explicit TypeOf(const Found& f) : type(f.type), length(f.length), scale(f.scale) {}
    explicit TypeOf(const Expr& e) : type(e.type), length(e.length), scale(e.scale) {}
    SqlType type;
    int length;
    int scale;
  };

  // A parameter whose type is not yet known takes the type of what it is compared with,
  // computed with or written into.
  static void Infer(Expr& maybe_parameter, const TypeOf& other) {
    if (maybe_parameter.Kind() != NodeKind::kParameter) return;
    if (maybe_parameter.type != SqlType::kUnknown || other.type == SqlType::kUnknown) return;
    maybe_parameter.type = other.type;
    maybe_parameter.length = other.length;
    maybe_parameter.scale = other.scale;
  }
  static void Infer(Expr& maybe_parameter, const Expr& other) {
    Infer(maybe_parameter, TypeOf(other));
  }
  static void InferBoth(Expr& a, Expr& b) {
    Infer(a, b);
    Infer(b, a);
  }

  std::vector<OutputColumn> BindCore(SelectCore& core, Scope& scope) {
    for (SourcePtr& source : core.from) BindSource(*source, scope);
    if (core.where) BindCondition(*core.where, scope);
    for (ExprPtr& expr : core.group_by) {
      // A constant groups nothing; the backends read an integer there as a column's position.
      int signs = 0;
      if (LiteralItem(*expr, signs) != nullptr) {
        throw SqlError("a constant in the GROUP BY list: each item must name a column",
                       expr->ToSql(), expr->Pos());
      }
      BindValue(*expr, scope);
    }
    if (core.having) BindCondition(*core.having, scope);
    const int aggregates_before_items = scope.aggregates;
    std::vector<OutputColumn> outputs;
    for (SelectItem& item : core.items) {
      if (item.expr->Kind() == NodeKind::kStar) {
        ExpandStar(item.expr->As<Star>(), scope, outputs);
        continue;
      }
      BindValue(*item.expr, scope);
      if (item.alias) {
        item.output_name = item.alias->name;
      } else if (item.expr->Kind() == NodeKind::kColumnRef) {
        item.output_name = item.expr->As<ColumnRef>().bound_name;
      }
      outputs.push_back({item.output_name, item.expr->type, item.expr->length, item.expr->scale});
    }
    // The server makes such a select one group of all its rows; SQLite takes HAVING without
    // GROUP BY only from a select whose list has an aggregate, and no writing of it for SQLite
    // gives the one row of an empty source the server gives.
    if (core.having && core.group_by.empty() && scope.aggregates == aggregates_before_items) {
      throw SqlError(
          "HAVING without GROUP BY needs an aggregate (COUNT, SUM, ...) in the select list",
          "HAVING", core.having->Pos());
    }
    return outputs;
  }

  void ExpandStar(Star& star, const Scope& scope, std::vector<OutputColumn>& outputs) {
    auto add_source = [&outputs](const ScopeSource& source) {
      if (source.table != nullptr) {
        for (const ColumnInfo& column : source.table->columns) {
          outputs.push_back(
              {column.name, column.type, column.length, ScaleOf(column.type, kNumberScale)});
        }
      } else {
        outputs.insert(outputs.end(), source.columns.begin(), source.columns.end());
      }
    };
    if (!star.qualifier) {
      if (scope.sources.empty()) throw SqlError("'*' without FROM", "*", star.Pos());
      for (const ScopeSource& source : scope.sources) add_source(source);
      return;
    }
    for (const ScopeSource& source : scope.sources) {
      if (EqualsIgnoreCase(source.alias, star.qualifier->name)) {
        star.bound_source = source.alias;
        add_source(source);
        return;
      }
    }
    throw SqlError("unknown table or alias '" + star.qualifier->name + "'", star.qualifier->name,
                   star.Pos());
  }

  void AddSource(Scope& scope, ScopeSource source, Position pos) {
    for (const ScopeSource& existing : scope.sources) {
      if (EqualsIgnoreCase(existing.alias, source.alias)) {
        throw SqlError("duplicate table alias '" + source.alias + "'", source.alias, pos);
      }
    }
    scope.sources.push_back(std::move(source));
  }

  const SourceInfo* LookUpTable(const Identifier& name) {
    if (const SourceInfo* source = catalogue_.FindSource(name.name)) return source;
    // A physical name "<Code>$<logical>" written out, as some condition texts do.
    size_t dollar = name.name.rfind('$');
    if (dollar != std::string::npos) {
      const SourceInfo* source =
          catalogue_.FindSource(std::string_view(name.name).substr(dollar + 1));
      if (source != nullptr && EqualsIgnoreCase(catalogue_.PhysicalName(source->name), name.name)) {
        return source;
      }
    }
    return nullptr;
  }

  void BindSource(Source& source, Scope& scope) {
    switch (source.Kind()) {
      case NodeKind::kNamedTable: {
        NamedTable& table = source.As<NamedTable>();
        const SourceInfo* info = LookUpTable(table.name);
        if (info == nullptr) {
          throw SqlError("unknown table '" + table.name.name + "'", table.name.name, table.Pos());
        }
        table.physical_name = catalogue_.PhysicalName(info->name);
        if (table.alias) {
          table.bound_alias = table.alias->name;
        } else if (EqualsIgnoreCase(table.name.name, info->name)) {
          table.bound_alias = info->name;
        } else {
          table.bound_alias = table.physical_name;
        }
        AddSource(scope, {table.bound_alias, {}, info, {}}, table.Pos());
        return;
      }
      case NodeKind::kDerivedTable: {
        DerivedTable& derived = source.As<DerivedTable>();
        std::vector<OutputColumn> columns = BindStatement(*derived.query, scope.parent);
        for (size_t i = 0; i < columns.size(); ++i) {
          if (columns[i].name.empty()) {
            throw SqlError("column " + std::to_string(i + 1) + " of derived table '" +
                               derived.alias.name + "' has no name",
                           derived.alias.name, derived.Pos());
          }
          for (size_t j = 0; j < i; ++j) {
            if (EqualsIgnoreCase(columns[i].name, columns[j].name)) {
              throw SqlError("column '" + columns[i].name + "' appears twice in derived table '" +
                                 derived.alias.name + "'",
                             columns[i].name, derived.Pos());
            }
          }
        }
        AddSource(scope, {derived.alias.name, {}, nullptr, std::move(columns)}, derived.Pos());
        return;
      }
      case NodeKind::kJoin: {
        Join& join = source.As<Join>();
        BindSource(*join.left, scope);
        BindSource(*join.right, scope);
        if (join.on) BindCondition(*join.on, scope);
        return;
      }
      default:
        throw std::logic_error("not a row source");
    }
  }

  void BindCondition(Expr& expr, const Scope& scope) {
    BindExpr(expr, scope);
    if (!IsPredicate(expr)) throw SqlError("expected a condition", "", expr.Pos());
  }

  void BindValue(Expr& expr, const Scope& scope) {
    BindExpr(expr, scope);
    if (IsPredicate(expr)) {
      throw SqlError("a condition cannot be used as a value", "", expr.Pos());
    }
  }

  // Binds a subquery that must yield one column; returns that column.
  OutputColumn BindSingleColumn(SelectStatement& query, const Scope& scope) {
    std::vector<OutputColumn> columns = BindStatement(query, &scope);
    if (columns.size() != 1) {
      throw SqlError("a subquery used as a value must select one column", "SELECT", query.Pos());
    }
    return columns.front();
  }

  // A text literal compared with a date becomes an ISO date.
  static void DateContext(const Expr& date_side, Expr& other) {
    if (date_side.type == SqlType::kDate) ReadAsDate(other);
  }

  // A text literal where a date is expected becomes an ISO date; other expressions stay.
  static void ReadAsDate(Expr& expr) {
    if (expr.Kind() != NodeKind::kLiteral) return;
    Literal& literal = expr.As<Literal>();
    if (literal.literal_type != Literal::Type::kString) return;
    std::string iso = NormalizeDateLiteral(literal.value);
    if (iso.empty()) {
      throw SqlError("invalid date literal '" + literal.value + "'", literal.value, literal.Pos());
    }
    literal.iso_date = std::move(iso);
    literal.type = SqlType::kDate;
  }

  void BindColumn(ColumnRef& ref, const Scope& scope) {
    Found found;
    if (ref.qualifier) {
      for (const Scope* s = &scope; s != nullptr; s = s->parent) {
        if (s->outputs_only) continue;
        for (const ScopeSource& source : s->sources) {
          if (!EqualsIgnoreCase(source.alias, ref.qualifier->name) &&
              (source.also_known_as.empty() ||
               !EqualsIgnoreCase(source.also_known_as, ref.qualifier->name))) {
            continue;
          }
          if (!FindIn(source, ref.name.name, found)) {
            std::string written = ref.qualifier->name + "." + ref.name.name;
            throw SqlError("unknown column '" + written + "'", written, ref.Pos());
          }
          ref.bound_source = source.alias;
          ref.bound_name = found.name;
          ref.type = found.type;
          ref.length = found.length;
          ref.scale = found.scale;
          return;
        }
      }
      if (scope.outputs_only) {
        throw SqlError("ORDER BY of a UNION must name an output column", ref.name.name, ref.Pos());
      }
      throw SqlError("unknown table or alias '" + ref.qualifier->name + "'", ref.qualifier->name,
                     ref.Pos());
    }
    for (const Scope* s = &scope; s != nullptr; s = s->parent) {
      if (s->outputs != nullptr) {
        for (const SelectItem& item : *s->outputs) {
          if (!item.output_name.empty() && EqualsIgnoreCase(item.output_name, ref.name.name)) {
            ref.bound_source.clear();
            ref.bound_name = item.output_name;
            ref.type = item.expr->type;
            ref.length = item.expr->length;
            ref.scale = item.expr->scale;
            return;
          }
        }
      }
      if (s->outputs_only) {
        throw SqlError("ORDER BY of a UNION must name an output column", ref.name.name, ref.Pos());
      }
      const ScopeSource* match = nullptr;
      for (const ScopeSource& source : s->sources) {
        Found candidate;
        if (!FindIn(source, ref.name.name, candidate)) continue;
        if (match != nullptr) {
          throw SqlError("ambiguous column '" + ref.name.name + "'", ref.name.name, ref.Pos());
        }
        match = &source;
        found = std::move(candidate);
      }
      if (match != nullptr) {
        ref.bound_source = match->alias;
        ref.bound_name = found.name;
        ref.type = found.type;
        ref.length = found.length;
        ref.scale = found.scale;
        return;
      }
    }
    throw SqlError("unknown column '" + ref.name.name + "'", ref.name.name, ref.Pos());
  }

  void BindArithmetic(Binary& binary) {
    SqlType left = binary.left->type;
    SqlType right = binary.right->type;
    std::string op(BinaryOpText(binary.op));
    if (left == SqlType::kDate || right == SqlType::kDate) {
      throw SqlError("date arithmetic with '" + op + "' is outside the subset", op, binary.Pos());
    }
    if (binary.op == BinaryOp::kAdd) {
      bool left_text = left == SqlType::kText;
      bool right_text = right == SqlType::kText;
      if (left_text || right_text) {
        if ((left_text || left == SqlType::kUnknown) &&
            (right_text || right == SqlType::kUnknown)) {
          binary.concat = true;
          binary.type = SqlType::kText;
          if (binary.left->length > 0 && binary.right->length > 0) {
            binary.length = binary.left->length + binary.right->length;
          }
          return;
        }
        throw SqlError("'+' joins text with a " + std::string(TypeName(left_text ? right : left)) +
                           "; CAST the number to VARCHAR",
                       op, binary.Pos());
      }
      if (left == SqlType::kUnknown && right == SqlType::kUnknown) {
        throw SqlError("cannot resolve the operand types of '+'", op, binary.Pos());
      }
    } else if (left == SqlType::kText || right == SqlType::kText) {
      throw SqlError("arithmetic '" + op + "' on text", op, binary.Pos());
    }
    binary.type = Arithmetic(left, right);
    const int l = binary.left->scale;
    const int r = binary.right->scale;
    switch (binary.op) {
      case BinaryOp::kMul:
        binary.scale = ScaleOf(binary.type, l + r);
        break;
      case BinaryOp::kDiv:
        binary.scale = ScaleOf(binary.type, kMaxNumberScale);
        break;
      default:
        binary.scale = ScaleOf(binary.type, std::max(l, r));
        break;
    }
  }

  void BindFunction(FunctionCall& call, const Scope& scope) {
    if (IsAggregate(call.function)) ++scope.aggregates;
    for (ExprPtr& arg : call.args) {
      if (arg->Kind() != NodeKind::kStar) BindValue(*arg, scope);
    }
    // The values COALESCE, ISNULL and NULLIF choose between are of one type.
    if (call.function == Function::kCoalesce || call.function == Function::kIsNull ||
        call.function == Function::kNullIf) {
      for (ExprPtr& arg : call.args) {
        for (const ExprPtr& other : call.args) Infer(*arg, *other);
      }
      // Beside a date a text literal is a date, as the server converts it to the higher type:
      // IsNull(d.DocumentDate, '20240101') chooses between two dates.
      bool date = false;
      for (const ExprPtr& arg : call.args) date = date || arg->type == SqlType::kDate;
      if (date) {
        for (ExprPtr& arg : call.args) ReadAsDate(*arg);
      }
    }
    const Expr* first = call.args.empty() ? nullptr : call.args.front().get();
    auto need_number = [&call](const Expr& arg) {
      if (arg.type == SqlType::kText || arg.type == SqlType::kDate) {
        throw SqlError("function '" + call.name.name + "' needs a number, not " +
                           std::string(TypeName(arg.type)),
                       call.name.name, arg.Pos());
      }
    };
    switch (call.function) {
      case Function::kCount:
        call.type = SqlType::kInteger;
        break;
      case Function::kSum:
      case Function::kAvg:
      case Function::kAbs:
        need_number(*first);
        call.type = first->type == SqlType::kBoolean ? SqlType::kInteger : first->type;
        // The average of numbers is a quotient.
        call.scale =
            ScaleOf(call.type, call.function == Function::kAvg ? kMaxNumberScale : first->scale);
        break;
      case Function::kRound: {
        need_number(*first);
        need_number(*call.args[1]);
        call.type = first->type == SqlType::kUnknown ? SqlType::kNumber : first->type;
        int scale = first->scale;
        if (std::optional<int> digits = IntegerLiteralValue(*call.args[1])) {
          scale = std::min(scale, std::max(*digits, 0));
        }
        call.scale = ScaleOf(call.type, scale);
        break;
      }
      case Function::kMin:
      case Function::kMax:
        call.type = first->type;
        call.length = first->length;
        call.scale = first->scale;
        break;
      case Function::kNullIf:
        // The first value, compared with the second at the places of both.
        call.type = first->type;
        call.length = first->length;
        call.scale = ScaleOf(call.type, std::max(first->scale, call.args[1]->scale));
        break;
      case Function::kIsNull:
        call.type = first->type != SqlType::kUnknown ? first->type : call.args[1]->type;
        call.length = first->type != SqlType::kUnknown ? first->length : call.args[1]->length;
        call.scale = ScaleOf(call.type, std::max(first->scale, call.args[1]->scale));
        break;
      case Function::kCoalesce:
        for (const ExprPtr& arg : call.args) {
          call.type = Merge(call.type, arg->type);
          if (arg->length > call.length) call.length = arg->length;
          call.scale = std::max(call.scale, arg->scale);
        }
        call.scale = ScaleOf(call.type, call.scale);
        break;
      case Function::kUpper:
      case Function::kLower:
      case Function::kLTrim:
      case Function::kRTrim:
      case Function::kLeft:
      case Function::kRight:
      case Function::kSubstring:
        call.type = SqlType::kText;
        call.length = first->length;
        break;
      case Function::kLen:
      case Function::kCharIndex:
        call.type = SqlType::kInteger;
        break;
      case Function::kGetDate:
        call.type = SqlType::kDate;
        break;
    }
  }

  void BindConvert(ConvertExpr& convert, const Scope& scope) {
    BindValue(*convert.operand, scope);
    if (convert.style) {
      if (*convert.style != 102) {
        ThrowUnsupported("CONVERT style " + std::to_string(*convert.style), convert.style_position);
      }
      if (!convert.target.IsText()) {
        ThrowUnsupported("CONVERT style 102 to " + convert.target.name, convert.target.position);
      }
      Expr& operand = *convert.operand;
      if (operand.type == SqlType::kText && operand.Kind() == NodeKind::kLiteral) {
        ReadAsDate(operand);
      } else if (operand.type != SqlType::kDate && operand.type != SqlType::kUnknown) {
        throw SqlError("CONVERT style 102 needs a date, not " + std::string(TypeName(operand.type)),
                       "CONVERT", convert.Pos());
      }
    } else {
      CheckCast(*convert.operand, convert.target);
      if (!convert.target.IsText()) {
        // CONVERT(type, x) without a style is CAST(x AS type).
        convert.type = convert.target.ResultType();
        convert.scale = ScaleOf(convert.type, TargetScale(convert.target));
        return;
      }
    }
    convert.type = SqlType::kText;
    convert.length = convert.target.length > 0 ? convert.target.length : 30;
  }

  // The places a CAST to a number type keeps: MONEY four, DECIMAL(p, s) s (0 when not given).
  static int TargetScale(const TypeSpec& target) {
    if (target.base == TypeSpec::Base::kMoney) return kNumberScale;
    return target.scale > 0 ? target.scale : 0;
  }

  static std::optional<int> IntegerLiteralValue(const Expr& expr) {
    if (expr.Kind() != NodeKind::kLiteral) return std::nullopt;
    const Literal& literal = expr.As<Literal>();
    if (literal.literal_type != Literal::Type::kInteger || literal.value.size() > 9) {
      return std::nullopt;
    }
    return std::stoi(literal.value);
  }

  static void CheckCast(Expr& operand, const TypeSpec& target) {
    if (target.IsText() && operand.type == SqlType::kDate) {
      throw SqlError("a date cast to text is outside the subset; use CONVERT(CHAR(10), x, 102)",
                     target.name, target.position);
    }
    if (target.ResultType() == SqlType::kDate) ReadAsDate(operand);
  }

  void BindExpr(Expr& expr, const Scope& scope) {
    switch (expr.Kind()) {
      case NodeKind::kLiteral: {
        Literal& literal = expr.As<Literal>();
        switch (literal.literal_type) {
          case Literal::Type::kInteger:
            literal.type = SqlType::kInteger;
            break;
          case Literal::Type::kDecimal:
            literal.type = SqlType::kNumber;
            literal.scale = ScaleOf(SqlType::kNumber, LiteralScale(literal.value));
            break;
          case Literal::Type::kFloat:
            literal.type = SqlType::kFloat;
            break;
          case Literal::Type::kString:
            literal.type = SqlType::kText;
            literal.length = CharCount(literal.value);
            break;
          case Literal::Type::kNull:
            literal.type = SqlType::kUnknown;
            break;
        }
        return;
      }
      case NodeKind::kColumnRef:
        BindColumn(expr.As<ColumnRef>(), scope);
        return;
      case NodeKind::kParameter:
        return;  // typed by what it meets (Infer)
      case NodeKind::kStar:
        throw SqlError("'*' is not a value here", "*", expr.Pos());
      case NodeKind::kUnary: {
        Unary& unary = expr.As<Unary>();
        if (unary.op == UnaryOp::kNot) {
          BindCondition(*unary.operand, scope);
          unary.type = SqlType::kBoolean;
          return;
        }
        BindValue(*unary.operand, scope);
        if (unary.operand->type == SqlType::kText || unary.operand->type == SqlType::kDate) {
          throw SqlError("sign on " + std::string(TypeName(unary.operand->type)),
                         unary.op == UnaryOp::kMinus ? "-" : "+", unary.Pos());
        }
        unary.type = unary.operand->type;
        unary.scale = unary.operand->scale;
        return;
      }
      case NodeKind::kBinary: {
        Binary& binary = expr.As<Binary>();
        if (binary.op == BinaryOp::kAnd || binary.op == BinaryOp::kOr) {
          BindCondition(*binary.left, scope);
          BindCondition(*binary.right, scope);
          binary.type = SqlType::kBoolean;
          return;
        }
        BindValue(*binary.left, scope);
        BindValue(*binary.right, scope);
        InferBoth(*binary.left, *binary.right);
        if (IsComparison(binary.op)) {
          DateContext(*binary.left, *binary.right);
          DateContext(*binary.right, *binary.left);
          binary.type = SqlType::kBoolean;
          return;
        }
        BindArithmetic(binary);
        return;
      }
      case NodeKind::kIsNull:
        BindValue(*expr.As<IsNullExpr>().operand, scope);
        expr.type = SqlType::kBoolean;
        return;
      case NodeKind::kInList: {
        InList& in = expr.As<InList>();
        BindValue(*in.operand, scope);
        for (ExprPtr& item : in.items) {
          BindValue(*item, scope);
          Infer(*item, *in.operand);
          DateContext(*in.operand, *item);
        }
        in.type = SqlType::kBoolean;
        return;
      }
      case NodeKind::kInSubquery: {
        InSubquery& in = expr.As<InSubquery>();
        BindValue(*in.operand, scope);
        BindSingleColumn(*in.query, scope);
        in.type = SqlType::kBoolean;
        return;
      }
      case NodeKind::kBetween: {
        Between& between = expr.As<Between>();
        BindValue(*between.operand, scope);
        BindValue(*between.low, scope);
        BindValue(*between.high, scope);
        Infer(*between.low, *between.operand);
        Infer(*between.high, *between.operand);
        DateContext(*between.operand, *between.low);
        DateContext(*between.operand, *between.high);
        between.type = SqlType::kBoolean;
        return;
      }
      case NodeKind::kLike: {
        Like& like = expr.As<Like>();
        BindValue(*like.operand, scope);
        BindValue(*like.pattern, scope);
        if (like.pattern->Kind() == NodeKind::kLiteral) {
          const Literal& pattern = like.pattern->As<Literal>();
          if (pattern.value.find('[') != std::string::npos) {
            ThrowUnsupported("LIKE character class '['", pattern.Pos());
          }
        }
        like.type = SqlType::kBoolean;
        return;
      }
      case NodeKind::kExists:
        BindStatement(*expr.As<Exists>().query, &scope);
        expr.type = SqlType::kBoolean;
        return;
      case NodeKind::kSubquery: {
        OutputColumn column = BindSingleColumn(*expr.As<Subquery>().query, scope);
        expr.type = column.type;
        expr.length = column.length;
        expr.scale = column.scale;
        return;
      }
      case NodeKind::kCase: {
        CaseExpr& case_expr = expr.As<CaseExpr>();
        if (case_expr.operand) BindValue(*case_expr.operand, scope);
        for (CaseExpr::When& when : case_expr.whens) {
          if (case_expr.operand) {
            BindValue(*when.condition, scope);
            DateContext(*case_expr.operand, *when.condition);
          } else {
            BindCondition(*when.condition, scope);
          }
          BindValue(*when.result, scope);
          case_expr.type = Merge(case_expr.type, when.result->type);
          if (when.result->length > case_expr.length) case_expr.length = when.result->length;
          case_expr.scale = std::max(case_expr.scale, when.result->scale);
        }
        if (case_expr.else_result) {
          BindValue(*case_expr.else_result, scope);
          case_expr.type = Merge(case_expr.type, case_expr.else_result->type);
          if (case_expr.else_result->length > case_expr.length) {
            case_expr.length = case_expr.else_result->length;
          }
          case_expr.scale = std::max(case_expr.scale, case_expr.else_result->scale);
        }
        case_expr.scale = ScaleOf(case_expr.type, case_expr.scale);
        return;
      }
      case NodeKind::kFunction:
        BindFunction(expr.As<FunctionCall>(), scope);
        return;
      case NodeKind::kCast: {
        CastExpr& cast = expr.As<CastExpr>();
        BindValue(*cast.operand, scope);
        CheckCast(*cast.operand, cast.target);
        cast.type = cast.target.ResultType();
        if (cast.target.IsText()) cast.length = cast.target.length > 0 ? cast.target.length : 30;
        cast.scale = ScaleOf(cast.type, TargetScale(cast.target));
        return;
      }
      case NodeKind::kConvert:
        BindConvert(expr.As<ConvertExpr>(), scope);
        return;
      default:
        throw std::logic_error("not an expression");
    }
  }

  const Catalogue& catalogue_;
  std::deque<Scope> scopes_;  // stable addresses: subqueries point at their parents
};

}  // namespace

std::vector<OutputColumn> Bind(SelectStatement& statement, const Catalogue& catalogue) {
  return Binder(catalogue).BindStatement(statement, nullptr);
}

void Bind(WriteStatement& statement, const Catalogue& catalogue) {
  Binder(catalogue).BindWrite(statement);
}

}  // namespace qts::sql
