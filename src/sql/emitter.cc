#include "sql/emitter.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"

namespace qts::sql {

namespace {

bool IsNumeric(SqlType type) {
  return type == SqlType::kInteger || type == SqlType::kNumber || type == SqlType::kFloat ||
         type == SqlType::kBoolean;
}

// The value of an integer literal, or nullopt for any other expression.
std::optional<long long> IntegerLiteral(const Expr& expr) {
  if (expr.Kind() != NodeKind::kLiteral) return std::nullopt;
  const Literal& literal = expr.As<Literal>();
  if (literal.literal_type != Literal::Type::kInteger || literal.value.size() > 15) {
    return std::nullopt;
  }
  return std::stoll(literal.value);
}

class Emitter {
 public:
  Emitter(Dialect dialect, std::vector<const Literal*>* parameters)
      : pg_(dialect == Dialect::kPostgres), parameters_(parameters) {}

  void Statement(std::string& out, const SelectStatement& statement) {
    bool single = statement.cores.size() == 1;
    for (size_t i = 0; i < statement.cores.size(); ++i) {
      const SelectCore& core = *statement.cores[i];
      if (i > 0) out += statement.union_all[i - 1] ? " UNION ALL " : " UNION ";
      if (!single && core.top) {
        // A member of a UNION cannot carry its own LIMIT: select from it instead.
        out += "SELECT * FROM (";
        Core(out, core);
        out += " LIMIT " + std::to_string(*core.top) + ") AS ";
        Quote(out, "qts_top" + std::to_string(i + 1));
      } else {
        Core(out, core);
      }
    }
    if (!statement.order_by.empty()) {
      out += " ORDER BY ";
      for (size_t i = 0; i < statement.order_by.size(); ++i) {
        if (i > 0) out += ", ";
        const OrderItem& item = statement.order_by[i];
        Value(out, *item.expr);
        if (item.explicit_direction) out += item.descending ? " DESC" : " ASC";
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

  void Core(std::string& out, const SelectCore& core) {
    out += "SELECT ";
    if (core.distinct) out += "DISTINCT ";
    for (size_t i = 0; i < core.items.size(); ++i) {
      if (i > 0) out += ", ";
      const SelectItem& item = core.items[i];
      Value(out, *item.expr);
      if (item.alias) {
        out += " AS ";
        Quote(out, item.alias->name);
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
        Value(out, *core.group_by[i]);
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
        out += '(';
        Statement(out, *derived.query);
        out += ") AS ";
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

  // PostgreSQL's text functions take text only; other values are cast first.
  std::string TextArg(const Expr& expr) {
    if (!pg_ || expr.type == SqlType::kText || expr.type == SqlType::kUnknown) return Sql(expr);
    return "CAST(" + Sql(expr) + " AS text)";
  }

  std::string IntArg(const Expr& expr) {
    if (!pg_ || expr.type == SqlType::kInteger || expr.type == SqlType::kUnknown) return Sql(expr);
    return "CAST(" + Sql(expr) + " AS integer)";
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
      default:
        out += literal.value;
        return;
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
    out += std::to_string(parameters_->size());
    return true;
  }

  void Value(std::string& out, const Expr& expr) {
    switch (expr.Kind()) {
      case NodeKind::kLiteral:
        LiteralSql(out, expr.As<Literal>());
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
        } else {
          out += unary.op == UnaryOp::kMinus ? '-' : '+';
          Child(out, *unary.operand, unary.operand->Kind() == NodeKind::kUnary ? 9 : 8);
        }
        return;
      }
      case NodeKind::kBinary: {
        const Binary& binary = expr.As<Binary>();
        int level = Precedence(binary);
        int operand_level = IsComparison(binary.op) ? 6 : level;
        const bool comparison = IsComparison(binary.op);
        if (!comparison || !Parameter(out, *binary.left)) {
          Child(out, *binary.left, operand_level);
        }
        out += ' ';
        out += binary.concat ? "||" : BinaryOpText(binary.op);
        out += ' ';
        bool associative = binary.op == BinaryOp::kAnd || binary.op == BinaryOp::kOr;
        if (!comparison || !Parameter(out, *binary.right)) {
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
        Child(out, *in.operand, 6);
        out += in.negated ? " NOT IN (" : " IN (";
        for (size_t i = 0; i < in.items.size(); ++i) {
          if (i > 0) out += ", ";
          if (!Parameter(out, *in.items[i])) Value(out, *in.items[i]);
        }
        out += ')';
        return;
      }
      case NodeKind::kInSubquery: {
        const InSubquery& in = expr.As<InSubquery>();
        Child(out, *in.operand, 6);
        out += in.negated ? " NOT IN (" : " IN (";
        Statement(out, *in.query);
        out += ')';
        return;
      }
      case NodeKind::kBetween: {
        const Between& between = expr.As<Between>();
        Child(out, *between.operand, 6);
        out += between.negated ? " NOT BETWEEN " : " BETWEEN ";
        Child(out, *between.low, 6);
        out += " AND ";
        Child(out, *between.high, 6);
        return;
      }
      case NodeKind::kLike: {
        const Like& like = expr.As<Like>();
        if (pg_ && like.operand->type != SqlType::kText &&
            like.operand->type != SqlType::kUnknown) {
          out += TextArg(*like.operand);
        } else {
          Child(out, *like.operand, 6);
        }
        out += like.negated ? " NOT LIKE " : " LIKE ";
        Child(out, *like.pattern, 6);
        return;
      }
      case NodeKind::kExists:
        out += "EXISTS (";
        Statement(out, *expr.As<Exists>().query);
        out += ')';
        return;
      case NodeKind::kSubquery:
        out += '(';
        Statement(out, *expr.As<Subquery>().query);
        out += ')';
        return;
      case NodeKind::kCase: {
        const CaseExpr& case_expr = expr.As<CaseExpr>();
        out += "CASE";
        if (case_expr.operand) {
          out += ' ';
          Value(out, *case_expr.operand);
        }
        for (const CaseExpr::When& when : case_expr.whens) {
          out += " WHEN ";
          Value(out, *when.condition);
          out += " THEN ";
          Value(out, *when.result);
        }
        if (case_expr.else_result) {
          out += " ELSE ";
          Value(out, *case_expr.else_result);
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
    switch (call.function) {
      case Function::kSum:
        plain("sum");
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
        if (call.type == SqlType::kInteger) {
          // The server's average of whole numbers is a whole number, truncated.
          out += pg_ ? "CAST(trunc(" : "CAST(";
          plain("avg");
          out += pg_ ? ") AS bigint)" : " AS INTEGER)";
        } else {
          plain("avg");
        }
        return;
      case Function::kCoalesce:
        plain("coalesce");
        return;
      case Function::kNullIf:
        plain("nullif");
        return;
      case Function::kAbs:
        plain("abs");
        return;
      case Function::kIsNull: {
        out += "coalesce(" + Sql(*args[0]) + ", ";
        std::string type = PgType(args[0]->type, args[0]->length);
        bool is_null_literal = args[1]->Kind() == NodeKind::kLiteral &&
                               args[1]->As<Literal>().literal_type == Literal::Type::kNull;
        if (pg_ && !type.empty() && !is_null_literal) {
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
        out += "ltrim(" + TextArg(*args[0]) + ")";
        return;
      case Function::kRTrim:
        out += "rtrim(" + TextArg(*args[0]) + ")";
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
            as_text =
                "CASE WHEN " + Operand(operand) + " IS NOT NULL THEN printf('%.4f', " + x + ") END";
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
          out += "CAST(" + x + " AS INTEGER)";
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
          std::string value = IsNumeric(operand.type) ? x : "CAST(" + x + " AS REAL)";
          out += "qts_round(" + value + ", " + std::to_string(scale) + ")";
        }
        return;
      }
      case TypeSpec::Base::kFloat:
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
               " <> 0 THEN 1 ELSE 0 END";
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
    } else {
      text = "substr(strftime('%Y.%m.%d', " + d + "), 1, " + std::to_string(n) + ")";
    }
    if (target.base == TypeSpec::Base::kChar && n > 10) text = PadChar(text, n);
    out += text;
  }

  bool pg_;                                  // PostgreSQL; SQLite otherwise
  std::vector<const Literal*>* parameters_;  // parameter mode when set
};

}  // namespace

std::string Emit(const SelectStatement& statement, Dialect dialect,
                 std::vector<const Literal*>* parameters) {
  std::string out;
  out.reserve(1024);
  Emitter(dialect, parameters).Statement(out, statement);
  return out;
}

}  // namespace qts::sql
