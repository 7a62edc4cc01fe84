#include "sql/parser.h"

#include <array>
#include <charconv>
#include <utility>

#include "core/text.h"
#include "sql/lexer.h"

namespace qts::sql {

namespace {

// Deeper nesting than this is refused rather than risking the stack.
constexpr int kMaxDepth = 200;
// A chain "a OR b OR c ..." is read in a loop but becomes a tree as deep as it is long, which
// every later stage walks recursively: more operators than this in one statement are refused.
// The binder's frames grow several times over in the sanitizer builds (a chain of 4000 ANDs
// overflowed the 8 MB stack there), and SQLite refuses an expression tree more than 1000 deep,
// which a chain of 1000 is; the system's own largest statements hold about 200.
constexpr int kMaxChainedOperators = 500;

struct FunctionEntry {
  std::string_view name;
  Function function;
  int min_args;
  int max_args;  // -1: any number
};

constexpr std::array kFunctions = {
    FunctionEntry{"ABS", Function::kAbs, 1, 1},
    FunctionEntry{"AVG", Function::kAvg, 1, 1},
    FunctionEntry{"CHARINDEX", Function::kCharIndex, 2, 2},
    FunctionEntry{"COALESCE", Function::kCoalesce, 2, -1},
    FunctionEntry{"COUNT", Function::kCount, 1, 1},
    FunctionEntry{"GETDATE", Function::kGetDate, 0, 0},
    FunctionEntry{"ISNULL", Function::kIsNull, 2, 2},
    FunctionEntry{"LEFT", Function::kLeft, 2, 2},
    FunctionEntry{"LEN", Function::kLen, 1, 1},
    FunctionEntry{"LOWER", Function::kLower, 1, 1},
    FunctionEntry{"LTRIM", Function::kLTrim, 1, 2},
    FunctionEntry{"MAX", Function::kMax, 1, 1},
    FunctionEntry{"MIN", Function::kMin, 1, 1},
    FunctionEntry{"NULLIF", Function::kNullIf, 2, 2},
    FunctionEntry{"RIGHT", Function::kRight, 2, 2},
    FunctionEntry{"ROUND", Function::kRound, 2, 2},
    FunctionEntry{"RTRIM", Function::kRTrim, 1, 2},
    FunctionEntry{"SUBSTRING", Function::kSubstring, 3, 3},
    FunctionEntry{"SUM", Function::kSum, 1, 1},
    FunctionEntry{"UPPER", Function::kUpper, 1, 1},
};

const FunctionEntry* FindFunction(std::string_view name) {
  for (const FunctionEntry& entry : kFunctions) {
    if (EqualsIgnoreCase(entry.name, name)) return &entry;
  }
  return nullptr;
}

struct TypeEntry {
  std::string_view name;
  TypeSpec::Base base;
};

constexpr std::array kTypes = {
    TypeEntry{"BIGINT", TypeSpec::Base::kInteger},
    TypeEntry{"BIT", TypeSpec::Base::kBit},
    TypeEntry{"CHAR", TypeSpec::Base::kChar},
    TypeEntry{"DATE", TypeSpec::Base::kDate},
    TypeEntry{"DATETIME", TypeSpec::Base::kDateTime},
    TypeEntry{"DECIMAL", TypeSpec::Base::kDecimal},
    TypeEntry{"FLOAT", TypeSpec::Base::kFloat},
    TypeEntry{"INT", TypeSpec::Base::kInteger},
    TypeEntry{"INTEGER", TypeSpec::Base::kInteger},
    TypeEntry{"MONEY", TypeSpec::Base::kMoney},
    TypeEntry{"NCHAR", TypeSpec::Base::kChar},
    TypeEntry{"NUMERIC", TypeSpec::Base::kDecimal},
    TypeEntry{"NVARCHAR", TypeSpec::Base::kVarChar},
    TypeEntry{"REAL", TypeSpec::Base::kFloat},
    TypeEntry{"SMALLDATETIME", TypeSpec::Base::kDateTime},
    TypeEntry{"SMALLINT", TypeSpec::Base::kInteger},
    TypeEntry{"SMALLMONEY", TypeSpec::Base::kMoney},
    TypeEntry{"TINYINT", TypeSpec::Base::kInteger},
    TypeEntry{"VARCHAR", TypeSpec::Base::kVarChar},
};

// Words that start a statement other than SELECT (writing words are refused inside one), or
// clauses outside the subset.
bool IsRefusedWord(Keyword keyword) { return keyword >= Keyword::kDelete; }

bool StartsStatement(const Token& token) {
  return token.Is(Keyword::kSelect) ||
         (token.kind == TokenKind::kWord && IsRefusedWord(token.keyword));
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, bool parameters)
      : tokens_(std::move(tokens)), parameters_(parameters) {}

  // A SELECT, or with parameters also an INSERT, UPDATE or DELETE.
  Command ParseCommand() {
    const Token& first = Peek();
    Command command;
    if (first.Is(Keyword::kInsert) || first.Is(Keyword::kUpdate) || first.Is(Keyword::kDelete)) {
      command.write = ParseWrite();
      command.write->parameter_count = parameter_count_;
      ExpectEnd();
      return command;
    }
    command.select = ParseTop();
    return command;
  }

  StatementPtr ParseTop() {
    const Token& first = Peek();
    if (first.kind == TokenKind::kEnd) throw SqlError("empty statement", "", first.position);
    if (first.Is('(')) ThrowUnsupported("parenthesized query", first.position);
    if (!first.Is(Keyword::kSelect)) {
      if (first.kind == TokenKind::kWord && first.keyword != Keyword::kNone) {
        ThrowUnsupported(AsciiUpper(first.text), first.position);
      }
      Unexpected("SELECT");
    }
    StatementPtr statement = ParseStatement();
    statement->parameter_count = parameter_count_;
    ExpectEnd();
    return statement;
  }

 private:
  // The end of the text, after at most one ';'.
  void ExpectEnd() {
    bool separated = false;
    if (Peek().Is(';')) {
      Next();
      separated = true;
    }
    const Token& rest = Peek();
    if (rest.kind != TokenKind::kEnd) {
      if (separated || StartsStatement(rest)) {
        throw SqlError("a second statement is not allowed", std::string(rest.text), rest.position);
      }
      if (rest.kind == TokenKind::kWord && IsRefusedWord(rest.keyword)) {
        ThrowUnsupported(AsciiUpper(rest.text), rest.position);
      }
      Unexpected("end of statement");
    }
  }

  // ---- writes ----
  WriteStatementPtr ParseWrite() {
    const Token& verb = Next();
    const Position pos = verb.position;
    if (verb.Is(Keyword::kInsert)) {
      Expect(Keyword::kInto, "INTO");
      auto insert =
          std::make_unique<WriteStatement>(pos, WriteStatement::Verb::kInsert, TakeTableName());
      Expect('(');
      do {
        insert->columns.push_back(TakeName("a column name"));
      } while (Accept(','));
      Expect(')');
      if (Peek().Is(Keyword::kSelect)) ThrowUnsupported("INSERT ... SELECT", Peek().position);
      Expect(Keyword::kValues, "VALUES");
      do {
        const Position row_pos = Peek().position;
        Expect('(');
        std::vector<ExprPtr> row;
        do {
          row.push_back(ParseExpr());
        } while (Accept(','));
        Expect(')');
        if (row.size() != insert->columns.size()) {
          throw SqlError("a row of " + std::to_string(row.size()) + " value(s) for " +
                             std::to_string(insert->columns.size()) + " column(s)",
                         "(", row_pos);
        }
        insert->rows.push_back(std::move(row));
      } while (Accept(','));
      return insert;
    }
    if (verb.Is(Keyword::kUpdate)) {
      auto update =
          std::make_unique<WriteStatement>(pos, WriteStatement::Verb::kUpdate, TakeTableName());
      Expect(Keyword::kSet, "SET");
      do {
        WriteStatement::Assignment assignment;
        assignment.column = TakeName("a column name");
        if (Peek().Is('.')) ThrowUnsupported("qualified column in SET", Peek().position);
        Expect('=');
        assignment.value = ParseExpr();
        update->assignments.push_back(std::move(assignment));
      } while (Accept(','));
      if (Peek().Is(Keyword::kFrom)) ThrowUnsupported("UPDATE ... FROM", Peek().position);
      if (Accept(Keyword::kWhere)) update->where = ParseExpr();
      return update;
    }
    Accept(Keyword::kFrom);
    auto remove =
        std::make_unique<WriteStatement>(pos, WriteStatement::Verb::kDelete, TakeTableName());
    if (Peek().Is(Keyword::kFrom)) ThrowUnsupported("DELETE ... FROM", Peek().position);
    if (Accept(Keyword::kWhere)) remove->where = ParseExpr();
    return remove;
  }

  Identifier TakeTableName() {
    Identifier name = TakeName("a table name");
    if (Peek().Is('.')) ThrowUnsupported("multi-part table name", Peek().position);
    if (AtName()) ThrowUnsupported("alias of the written table", Peek().position);
    return name;
  }

  // ---- token helpers ----
  const Token& Peek(size_t ahead = 0) const {
    size_t index = pos_ + ahead;
    return index < tokens_.size() ? tokens_[index] : tokens_.back();
  }
  const Token& Next() {
    const Token& token = tokens_[pos_];
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return token;
  }
  bool Accept(Keyword keyword) {
    if (!Peek().Is(keyword)) return false;
    Next();
    return true;
  }
  bool Accept(char symbol) {
    if (!Peek().Is(symbol)) return false;
    Next();
    return true;
  }
  void Expect(Keyword keyword, std::string_view text) {
    if (!Accept(keyword)) Unexpected(text);
  }
  void Expect(char symbol) {
    if (!Accept(symbol)) Unexpected(std::string(1, symbol));
  }

  [[noreturn]] void Unexpected(std::string_view expected) const {
    const Token& token = Peek();
    if (token.kind == TokenKind::kVariable) {
      std::string name(token.text);
      ThrowUnsupported(name[0] == '@' ? "variable " + name : "temporary table " + name,
                       token.position);
    }
    if (token.kind == TokenKind::kWord && IsRefusedWord(token.keyword)) {
      ThrowUnsupported(AsciiUpper(token.text), token.position);
    }
    std::string found =
        token.kind == TokenKind::kEnd ? "end of statement" : "'" + std::string(token.text) + "'";
    throw SqlError("syntax error: expected " + std::string(expected) + ", found " + found,
                   std::string(token.text), token.position);
  }

  // A name usable for a table, column or alias: a quoted name or an unreserved word.
  bool AtName(size_t ahead = 0) const {
    const Token& token = Peek(ahead);
    return token.kind == TokenKind::kQuotedIdentifier ||
           (token.kind == TokenKind::kWord && !token.reserved);
  }
  Identifier TakeName(std::string_view what) {
    if (!AtName()) Unexpected(what);
    const Token& token = Next();
    if (token.kind == TokenKind::kQuotedIdentifier) return {token.value, true, token.position};
    return {std::string(token.text), false, token.position};
  }

  void Chained(Position pos) {
    if (++chained_ > kMaxChainedOperators) {
      throw SqlError("statement too long: more than " + std::to_string(kMaxChainedOperators) +
                         " AND, OR and arithmetic operators",
                     "operator", pos);
    }
  }

  struct DepthGuard {
    explicit DepthGuard(Parser& parser) : parser(parser) {
      if (++parser.depth_ > kMaxDepth) {
        throw SqlError("statement nested too deeply", "(", parser.Peek().position);
      }
    }
    ~DepthGuard() { --parser.depth_; }
    Parser& parser;
  };

  // ---- queries ----
  StatementPtr ParseStatement() {
    DepthGuard guard(*this);
    auto statement = std::make_unique<SelectStatement>(Peek().position);
    statement->cores.push_back(ParseCore());
    for (;;) {
      if (Peek().Is(Keyword::kIntersect) || Peek().Is(Keyword::kExcept)) {
        ThrowUnsupported(AsciiUpper(Peek().text), Peek().position);
      }
      if (!Accept(Keyword::kUnion)) break;
      statement->union_all.push_back(Accept(Keyword::kAll));
      if (Peek().Is('(')) ThrowUnsupported("parenthesized query", Peek().position);
      if (!Peek().Is(Keyword::kSelect)) Unexpected("SELECT");
      statement->cores.push_back(ParseCore());
    }
    if (Accept(Keyword::kOrder)) {
      Expect(Keyword::kBy, "BY");
      do {
        OrderItem item;
        item.expr = ParseExpr();
        if (Accept(Keyword::kDesc)) {
          item.descending = item.explicit_direction = true;
        } else if (Accept(Keyword::kAsc)) {
          item.explicit_direction = true;
        }
        statement->order_by.push_back(std::move(item));
      } while (Accept(','));
    }
    if (Peek().Is(Keyword::kOffset)) ThrowUnsupported("OFFSET", Peek().position);
    return statement;
  }

  std::unique_ptr<SelectCore> ParseCore() {
    auto core = std::make_unique<SelectCore>(Peek().position);
    Expect(Keyword::kSelect, "SELECT");
    if (Accept(Keyword::kDistinct)) {
      core->distinct = true;
    } else {
      Accept(Keyword::kAll);
    }
    if (Peek().Is(Keyword::kTop)) core->top = ParseTopCount();
    do {
      core->items.push_back(ParseSelectItem());
    } while (Accept(','));
    if (Peek().Is(Keyword::kInto)) ThrowUnsupported("SELECT INTO", Peek().position);
    if (Accept(Keyword::kFrom)) {
      do {
        core->from.push_back(ParseSourceWithJoins());
      } while (Accept(','));
    }
    if (Accept(Keyword::kWhere)) core->where = ParseExpr();
    if (Accept(Keyword::kGroup)) {
      Expect(Keyword::kBy, "BY");
      if (Peek().Is(Keyword::kAll)) ThrowUnsupported("GROUP BY ALL", Peek().position);
      do {
        core->group_by.push_back(ParseExpr());
      } while (Accept(','));
    }
    if (Accept(Keyword::kHaving)) core->having = ParseExpr();
    return core;
  }

  int64_t ParseTopCount() {
    Next();  // TOP
    bool parenthesized = Accept('(');
    const Token& count = Peek();
    if (count.kind != TokenKind::kInteger) Unexpected("a whole number after TOP");
    int64_t value = 0;
    auto [end, error] =
        std::from_chars(count.text.data(), count.text.data() + count.text.size(), value);
    if (error != std::errc())
      throw SqlError("TOP count out of range", std::string(count.text), count.position);
    Next();
    if (parenthesized) Expect(')');
    if (Peek().Is(Keyword::kPercent)) ThrowUnsupported("TOP PERCENT", Peek().position);
    if (Peek().Is(Keyword::kWith)) ThrowUnsupported("TOP WITH TIES", Peek().position);
    return value;
  }

  SelectItem ParseSelectItem() {
    SelectItem item;
    const Token& first = Peek();
    if (first.Is('*')) {
      Next();
      item.expr = std::make_unique<Star>(first.position, std::nullopt);
      return item;
    }
    if (AtName() && Peek(1).Is('.') && Peek(2).Is('*')) {
      Position pos = first.position;
      Identifier qualifier = TakeName("a name");
      Next();
      Next();
      item.expr = std::make_unique<Star>(pos, std::move(qualifier));
      return item;
    }
    if (AtName() && Peek(1).Is('=')) {  // the server's "alias = expression" form
      item.alias = TakeName("a name");
      Next();
      item.expr = ParseExpr();
      return item;
    }
    item.expr = ParseExpr();
    if (Accept(Keyword::kAs)) {
      item.alias = TakeAlias();
    } else if (AtName() || Peek().kind == TokenKind::kString) {
      item.alias = TakeAlias();
    }
    return item;
  }

  Identifier TakeAlias() {
    if (Peek().kind == TokenKind::kString) {
      const Token& token = Next();
      if (token.value.empty()) throw SqlError("empty column name", "''", token.position);
      return {token.value, true, token.position};
    }
    return TakeName("a column name");
  }

  SourcePtr ParseSourceWithJoins() {
    SourcePtr source = ParsePrimarySource();
    for (;;) {
      const Token& token = Peek();
      Position pos = token.position;
      JoinKind kind;
      if (token.Is(Keyword::kJoin)) {
        Next();
        kind = JoinKind::kInner;
      } else if (token.Is(Keyword::kInner)) {
        Next();
        Expect(Keyword::kJoin, "JOIN");
        kind = JoinKind::kInner;
      } else if (token.Is(Keyword::kLeft)) {
        Next();
        Accept(Keyword::kOuter);
        Expect(Keyword::kJoin, "JOIN");
        kind = JoinKind::kLeft;
      } else if (token.Is(Keyword::kCross)) {
        Next();
        if (Peek().Is(Keyword::kApply)) ThrowUnsupported("CROSS APPLY", pos);
        Expect(Keyword::kJoin, "JOIN");
        kind = JoinKind::kCross;
      } else if (token.Is(Keyword::kRight) || token.Is(Keyword::kFull)) {
        ThrowUnsupported(AsciiUpper(token.text) + " JOIN", pos);
      } else if (token.Is(Keyword::kOuter) && Peek(1).Is(Keyword::kApply)) {
        ThrowUnsupported("OUTER APPLY", pos);
      } else {
        return source;
      }
      SourcePtr right = ParsePrimarySource();
      ExprPtr on;
      if (kind != JoinKind::kCross) {
        Expect(Keyword::kOn, "ON");
        on = ParseExpr();
      }
      source =
          std::make_unique<Join>(pos, kind, std::move(source), std::move(right), std::move(on));
    }
  }

  SourcePtr ParsePrimarySource() {
    const Token& token = Peek();
    Position pos = token.position;
    if (token.Is('(')) {
      if (!Peek(1).Is(Keyword::kSelect)) ThrowUnsupported("parenthesized join", pos);
      Next();
      StatementPtr query = ParseStatement();
      Expect(')');
      bool as_keyword = Accept(Keyword::kAs);
      if (!AtName()) {
        throw SqlError("a derived table needs an alias", "(", pos);
      }
      Identifier alias = TakeName("an alias");
      return std::make_unique<DerivedTable>(pos, std::move(query), std::move(alias), as_keyword);
    }
    Identifier name = TakeName("a table name");
    if (Peek().Is('.')) ThrowUnsupported("multi-part table name", pos);
    if (Peek().Is('(')) ThrowUnsupported("table-valued function " + name.name, pos);
    std::optional<Identifier> alias;
    bool as_keyword = Accept(Keyword::kAs);
    if (as_keyword || AtName()) alias = TakeName("an alias");
    if (Peek().Is(Keyword::kWith)) ThrowUnsupported("table hint WITH", Peek().position);
    if (Peek().Is(Keyword::kTablesample)) ThrowUnsupported("TABLESAMPLE", Peek().position);
    return std::make_unique<NamedTable>(pos, std::move(name), std::move(alias), as_keyword);
  }

  // ---- expressions ----
  ExprPtr ParseExpr() {
    DepthGuard guard(*this);
    ExprPtr left = ParseAnd();
    while (Peek().Is(Keyword::kOr)) {
      Position pos = Next().position;
      Chained(pos);
      left = std::make_unique<Binary>(pos, BinaryOp::kOr, std::move(left), ParseAnd());
    }
    return left;
  }

  ExprPtr ParseAnd() {
    ExprPtr left = ParseNot();
    while (Peek().Is(Keyword::kAnd)) {
      Position pos = Next().position;
      Chained(pos);
      left = std::make_unique<Binary>(pos, BinaryOp::kAnd, std::move(left), ParseNot());
    }
    return left;
  }

  ExprPtr ParseNot() {
    if (Peek().Is(Keyword::kNot)) {
      DepthGuard guard(*this);
      Position pos = Next().position;
      return std::make_unique<Unary>(pos, UnaryOp::kNot, ParseNot());
    }
    return ParsePredicate();
  }

  ExprPtr ParsePredicate() {
    if (Peek().Is(Keyword::kExists)) {
      Position pos = Next().position;
      Expect('(');
      if (!Peek().Is(Keyword::kSelect)) Unexpected("SELECT");
      StatementPtr query = ParseStatement();
      Expect(')');
      return std::make_unique<Exists>(pos, std::move(query));
    }
    ExprPtr left = ParseAdditive();
    const Token& token = Peek();
    Position pos = token.position;
    if (token.kind == TokenKind::kSymbol) {
      BinaryOp op;
      if (token.Is('=')) {
        op = BinaryOp::kEq;
      } else if (token.IsSymbol("<>") || token.IsSymbol("!=")) {
        op = BinaryOp::kNe;
      } else if (token.Is('<')) {
        op = BinaryOp::kLt;
      } else if (token.IsSymbol("<=")) {
        op = BinaryOp::kLe;
      } else if (token.Is('>')) {
        op = BinaryOp::kGt;
      } else if (token.IsSymbol(">=")) {
        op = BinaryOp::kGe;
      } else if (token.IsSymbol("!<") || token.IsSymbol("!>")) {
        ThrowUnsupported(std::string(token.text), pos);
      } else {
        return left;
      }
      Next();
      const Token& quantifier = Peek();
      if (quantifier.Is(Keyword::kAll) || quantifier.Is(Keyword::kAny) ||
          quantifier.Is(Keyword::kSome)) {
        ThrowUnsupported(AsciiUpper(quantifier.text) + " subquery", quantifier.position);
      }
      return std::make_unique<Binary>(pos, op, std::move(left), ParseAdditive());
    }
    bool negated = false;
    if (token.Is(Keyword::kNot) &&
        (Peek(1).Is(Keyword::kIn) || Peek(1).Is(Keyword::kBetween) || Peek(1).Is(Keyword::kLike))) {
      Next();
      negated = true;
    }
    if (Accept(Keyword::kIn)) {
      Expect('(');
      if (Peek().Is(Keyword::kSelect)) {
        StatementPtr query = ParseStatement();
        Expect(')');
        return std::make_unique<InSubquery>(pos, std::move(left), std::move(query), negated);
      }
      std::vector<ExprPtr> items;
      do {
        items.push_back(ParseExpr());
      } while (Accept(','));
      Expect(')');
      return std::make_unique<InList>(pos, std::move(left), std::move(items), negated);
    }
    if (Accept(Keyword::kBetween)) {
      ExprPtr low = ParseAdditive();
      Expect(Keyword::kAnd, "AND");
      ExprPtr high = ParseAdditive();
      return std::make_unique<Between>(pos, std::move(left), std::move(low), std::move(high),
                                       negated);
    }
    if (Accept(Keyword::kLike)) {
      ExprPtr pattern = ParseAdditive();
      if (Peek().Is(Keyword::kEscape)) ThrowUnsupported("LIKE ... ESCAPE", Peek().position);
      return std::make_unique<Like>(pos, std::move(left), std::move(pattern), negated);
    }
    if (!negated && Accept(Keyword::kIs)) {
      bool is_not = Accept(Keyword::kNot);
      Expect(Keyword::kNull, "NULL");
      return std::make_unique<IsNullExpr>(pos, std::move(left), is_not);
    }
    if (Peek().Is(Keyword::kCollate)) ThrowUnsupported("COLLATE", Peek().position);
    return left;
  }

  ExprPtr ParseAdditive() {
    ExprPtr left = ParseMultiplicative();
    for (;;) {
      const Token& token = Peek();
      BinaryOp op;
      if (token.Is('+')) {
        op = BinaryOp::kAdd;
      } else if (token.Is('-')) {
        op = BinaryOp::kSub;
      } else if (token.Is('&') || token.Is('|') || token.Is('^')) {
        ThrowUnsupported("bitwise operator " + std::string(token.text), token.position);
      } else {
        return left;
      }
      Position pos = Next().position;
      Chained(pos);
      left = std::make_unique<Binary>(pos, op, std::move(left), ParseMultiplicative());
    }
  }

  ExprPtr ParseMultiplicative() {
    ExprPtr left = ParseUnary();
    for (;;) {
      const Token& token = Peek();
      BinaryOp op;
      if (token.Is('*')) {
        op = BinaryOp::kMul;
      } else if (token.Is('/')) {
        op = BinaryOp::kDiv;
      } else if (token.Is('%')) {
        op = BinaryOp::kMod;
      } else {
        return left;
      }
      Position pos = Next().position;
      Chained(pos);
      left = std::make_unique<Binary>(pos, op, std::move(left), ParseUnary());
    }
  }

  ExprPtr ParseUnary() {
    const Token& token = Peek();
    if (token.Is('-') || token.Is('+')) {
      DepthGuard guard(*this);
      Position pos = Next().position;
      UnaryOp op = token.Is('-') ? UnaryOp::kMinus : UnaryOp::kPlus;
      return std::make_unique<Unary>(pos, op, ParseUnary());
    }
    if (token.Is('~')) ThrowUnsupported("bitwise operator ~", token.position);
    return ParsePrimary();
  }

  ExprPtr ParsePrimary() {
    const Token& token = Peek();
    Position pos = token.position;
    switch (token.kind) {
      case TokenKind::kInteger:
        Next();
        return std::make_unique<Literal>(pos, Literal::Type::kInteger, std::string(token.text));
      case TokenKind::kDecimal:
        Next();
        return std::make_unique<Literal>(pos, Literal::Type::kDecimal, std::string(token.text));
      case TokenKind::kFloat:
        Next();
        return std::make_unique<Literal>(pos, Literal::Type::kFloat, std::string(token.text));
      case TokenKind::kString: {
        Next();
        return std::make_unique<Literal>(pos, Literal::Type::kString, token.value, token.national);
      }
      case TokenKind::kParameter:
        if (!parameters_) ThrowUnsupported("parameter ?", pos);
        Next();
        return std::make_unique<ParameterRef>(pos, ++parameter_count_);
      default:
        break;
    }
    if (token.Is('(')) {
      Next();
      if (Peek().Is(Keyword::kSelect)) {
        StatementPtr query = ParseStatement();
        Expect(')');
        return std::make_unique<Subquery>(pos, std::move(query));
      }
      ExprPtr inner = ParseExpr();
      Expect(')');
      return inner;
    }
    if (token.Is(Keyword::kNull)) {
      Next();
      return std::make_unique<Literal>(pos, Literal::Type::kNull, "");
    }
    if (token.Is(Keyword::kCase)) return ParseCase();
    if (token.Is(Keyword::kCast)) return ParseCast();
    if (token.Is(Keyword::kConvert)) return ParseConvert();
    bool function_word = token.kind == TokenKind::kWord &&
                         (token.keyword == Keyword::kNone || token.Is(Keyword::kLeft) ||
                          token.Is(Keyword::kRight) || !token.reserved);
    if (function_word && Peek(1).Is('(')) return ParseFunction();
    if (AtName()) {
      Identifier first = TakeName("a name");
      if (!Accept('.')) return std::make_unique<ColumnRef>(pos, std::nullopt, std::move(first));
      Identifier second = TakeName("a column name");
      if (Peek().Is('.')) ThrowUnsupported("multi-part column name", pos);
      return std::make_unique<ColumnRef>(pos, std::move(first), std::move(second));
    }
    Unexpected("an expression");
  }

  ExprPtr ParseCase() {
    Position pos = Next().position;
    ExprPtr operand;
    if (!Peek().Is(Keyword::kWhen)) operand = ParseExpr();
    std::vector<CaseExpr::When> whens;
    while (Accept(Keyword::kWhen)) {
      CaseExpr::When when;
      when.condition = ParseExpr();
      Expect(Keyword::kThen, "THEN");
      when.result = ParseExpr();
      whens.push_back(std::move(when));
    }
    if (whens.empty()) Unexpected("WHEN");
    ExprPtr else_result;
    if (Accept(Keyword::kElse)) else_result = ParseExpr();
    Expect(Keyword::kEnd, "END");
    return std::make_unique<CaseExpr>(pos, std::move(operand), std::move(whens),
                                      std::move(else_result));
  }

  ExprPtr ParseCast() {
    Position pos = Next().position;
    Expect('(');
    ExprPtr operand = ParseExpr();
    Expect(Keyword::kAs, "AS");
    TypeSpec target = ParseType();
    Expect(')');
    return std::make_unique<CastExpr>(pos, std::move(operand), std::move(target));
  }

  ExprPtr ParseConvert() {
    Position pos = Next().position;
    Expect('(');
    TypeSpec target = ParseType();
    Expect(',');
    ExprPtr operand = ParseExpr();
    std::optional<int> style;
    Position style_position = Peek().position;
    if (Accept(',')) {
      const Token& token = Peek();
      style_position = token.position;
      int value = 0;
      auto [end, error] =
          std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
      if (token.kind != TokenKind::kInteger || error != std::errc()) {
        Unexpected("a CONVERT style number");
      }
      Next();
      style = value;
    }
    Expect(')');
    return std::make_unique<ConvertExpr>(pos, std::move(target), std::move(operand), style,
                                         style_position);
  }

  int TakeTypeNumber(int min, int max, std::string_view what) {
    const Token& token = Peek();
    if (token.kind == TokenKind::kWord && EqualsIgnoreCase(token.text, "MAX")) {
      ThrowUnsupported("length MAX", token.position);
    }
    int value = 0;
    auto [end, error] =
        std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
    if (token.kind != TokenKind::kInteger || error != std::errc()) Unexpected(what);
    if (value < min || value > max) {
      throw SqlError(std::string(what) + " out of range", std::string(token.text), token.position);
    }
    Next();
    return value;
  }

  TypeSpec ParseType() {
    const Token& token = Peek();
    TypeSpec spec;
    spec.position = token.position;
    if (token.kind != TokenKind::kWord) Unexpected("a type name");
    const TypeEntry* found = nullptr;
    for (const TypeEntry& entry : kTypes) {
      if (EqualsIgnoreCase(entry.name, token.text)) found = &entry;
    }
    if (found == nullptr) ThrowUnsupported("type " + std::string(token.text), token.position);
    Next();
    spec.base = found->base;
    spec.name = std::string(token.text);
    if (Accept('(')) {
      if (spec.IsText()) {
        spec.length = TakeTypeNumber(1, 8000, "a text length");
      } else if (spec.base == TypeSpec::Base::kDecimal) {
        spec.precision = TakeTypeNumber(1, 38, "a precision");
        if (Accept(',')) spec.scale = TakeTypeNumber(0, spec.precision, "a scale");
      } else {
        ThrowUnsupported("type " + spec.name + " with a length", spec.position);
      }
      Expect(')');
    }
    return spec;
  }

  ExprPtr ParseFunction() {
    const Token& token = Next();
    Position pos = token.position;
    Identifier name{std::string(token.text), false, pos};
    const FunctionEntry* entry = FindFunction(token.text);
    if (entry == nullptr) {
      throw SqlError("unknown function '" + name.name + "'", name.name, pos);
    }
    Expect('(');
    std::vector<ExprPtr> args;
    bool distinct = false;
    if (IsAggregate(entry->function)) {
      if (Accept(Keyword::kDistinct)) {
        distinct = true;
      } else {
        Accept(Keyword::kAll);
      }
    }
    if (entry->function == Function::kCount && Peek().Is('*') && !distinct) {
      args.push_back(std::make_unique<Star>(Next().position, std::nullopt));
    } else if (!Peek().Is(')')) {
      do {
        args.push_back(ParseExpr());
      } while (Accept(','));
    }
    Expect(')');
    int count = static_cast<int>(args.size());
    if (count < entry->min_args || (entry->max_args >= 0 && count > entry->max_args)) {
      std::string expected = std::to_string(entry->min_args);
      if (entry->max_args < 0) {
        expected += " or more";
      } else if (entry->max_args != entry->min_args) {
        expected += " to " + std::to_string(entry->max_args);
      }
      throw SqlError("function '" + name.name + "' takes " + expected + " argument(s), not " +
                         std::to_string(count),
                     name.name, pos);
    }
    if (Peek().Is(Keyword::kOver)) ThrowUnsupported("OVER", Peek().position);
    return std::make_unique<FunctionCall>(pos, std::move(name), entry->function, std::move(args),
                                          distinct);
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
  int chained_ = 0;
  bool parameters_ = false;
  int parameter_count_ = 0;
};

}  // namespace

StatementPtr Parse(std::string_view tsql) { return Parser(Tokenize(tsql), false).ParseTop(); }

Command ParseCommand(std::string_view tsql) { return Parser(Tokenize(tsql), true).ParseCommand(); }

const Node& Command::Root() const {
  if (write) return *write;
  return *select;
}

}  // namespace qts::sql
