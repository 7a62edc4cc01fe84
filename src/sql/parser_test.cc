#include "sql/parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sql/lexer.h"
#include "sql/literal_list.h"

namespace qts::sql {
namespace {

// Printing a parsed statement and parsing the print again gives the same print.
const char* const kRoundTrip[] = {
    "SELECT DISTINCT TOP 3 a.X AS [AddFld.Y], b.* FROM T a INNER JOIN U b ON a.K = b.K "
    "WHERE a.D BETWEEN '20240101' AND '20240131' GROUP BY a.X HAVING COUNT(*) > 1 ORDER BY a.X "
    "DESC",
    "SELECT CASE WHEN NOT a.X IS NULL AND (a.Y = 1 OR a.Z <> 2) THEN -(-a.N) + - -a.N ELSE "
    "a.N * (a.M + 1) "
    "END FROM T a",
    "SELECT CAST(a.X AS VARCHAR(5)) + N'x''y', CONVERT(CHAR(10), a.D, 102), ROUND(a.N, 2) FROM T a",
    "SELECT a.X FROM T a WHERE a.X IN (1, 2) AND a.Y NOT IN (SELECT b.Y FROM U b) AND "
    "EXISTS (SELECT 1 FROM V c WHERE c.K = a.K) AND a.Z NOT LIKE 'q%'",
    "SELECT x.A FROM (SELECT a.A FROM T a UNION ALL SELECT b.A FROM U b) AS x LEFT OUTER JOIN W w "
    "ON w.A = x.A CROSS JOIN Z z",
    "SELECT a.N - (a.M - 1), a.N - a.M - 1, a.N / (a.M * 2), COUNT(DISTINCT a.K) FROM T a",
    "SELECT [we]]ird].[col] FROM [we]]ird]",
    "SELECT (SELECT TOP 1 b.Y FROM U b WHERE b.K <= a.K) AS S, NULL, CAST(a.N AS DECIMAL(10, 2)), "
    "a.N % 2 FROM T a WHERE NOT a.X IS NULL",
};

class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, PrintParsesToTheSamePrint) {
  std::string first = Parse(GetParam())->ToSql();
  std::string second = Parse(first)->ToSql();
  EXPECT_EQ(first, second);
}

INSTANTIATE_TEST_SUITE_P(Statements, RoundTrip, ::testing::ValuesIn(kRoundTrip));

// The deepest statement the parser takes prints as a statement it takes again, the same.
TEST(ParserTest, TheDeepestStatementsPrintAsStatementsThatParse) {
  auto repeat = [](const std::string& text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += text;
    return out;
  };
  const std::vector<std::function<std::string(int)>> forms = {
      [&](int n) { return "SELECT " + repeat("+", n) + "a"; },
      [&](int n) { return "SELECT " + repeat("- ", n) + "a"; },
      [&](int n) { return "SELECT " + repeat("-+", n) + "a"; },
      [&](int n) { return "SELECT 1 WHERE " + repeat("NOT -", n) + "a = 1"; },
      [&](int n) { return "SELECT " + repeat("(", n) + "a" + repeat(")", n); },
      [&](int n) { return "SELECT " + repeat("ABS(-", n) + "a" + repeat(")", n); },
  };
  for (const auto& form : forms) {
    int deepest = 1;
    for (;;) {
      try {
        (void)Parse(form(deepest + 1));
        ++deepest;
      } catch (const SqlError&) {
        break;
      }
    }
    SCOPED_TRACE(form(deepest));
    const std::string printed = Parse(form(deepest))->ToSql();
    try {
      EXPECT_EQ(Parse(printed)->ToSql(), printed);
    } catch (const SqlError& e) {
      ADD_FAILURE() << e.what() << "\nprinted: " << printed;
    }
  }
}

TEST(ParserTest, KeepsParenthesesThatChangeTheMeaning) {
  EXPECT_EQ(Parse("SELECT a - (b - c), (a - b) - c, (a + b) * c, a + b * c")->ToSql(),
            "SELECT a - (b - c), a - b - c, (a + b) * c, a + b * c");
  EXPECT_EQ(Parse("SELECT 1 WHERE NOT (a = 1 OR b = 2) AND c = 3")->ToSql(),
            "SELECT 1 WHERE NOT (a = 1 OR b = 2) AND c = 3");
}

TEST(ParserTest, AConditionAsAColumnPrintsInParentheses) {
  // Without them each would read back as the "alias = expression" form of another column.
  EXPECT_EQ(Parse("SELECT a = c = 3")->ToSql(), "SELECT (c = 3) AS a");
  EXPECT_EQ(Parse("SELECT (a) = 1, (b = 1) AS x")->ToSql(), "SELECT (a = 1), (b = 1) AS x");
  EXPECT_EQ(Parse("SELECT a = NOT c, b = c OR d, x.a IN (1)")->ToSql(),
            "SELECT (NOT c) AS a, (c OR d) AS b, (x.a IN (1))");
  for (const char* text : {"SELECT a = c = 3", "SELECT (a) = 1 FROM T", "SELECT (b = 1) AS x"}) {
    const std::string printed = Parse(text)->ToSql();
    EXPECT_EQ(Parse(printed)->ToSql(), printed) << text;
  }
}

TEST(ParserTest, OperatorPrecedence) {
  StatementPtr statement = Parse("SELECT 1 WHERE a = 1 OR b = 2 AND NOT c = 3");
  const Expr& where = *statement->cores[0]->where;
  const Binary& top = where.As<Binary>();
  EXPECT_EQ(top.op, BinaryOp::kOr);
  const Binary& right = top.right->As<Binary>();
  EXPECT_EQ(right.op, BinaryOp::kAnd);
  EXPECT_EQ(right.right->As<Unary>().op, UnaryOp::kNot);
}

TEST(ParserTest, TreeHasKindsAndPositions) {
  StatementPtr statement = Parse("SELECT TOP 1 d.IDC\nFROM THDocument d\nWHERE d.X = 'a'");
  ASSERT_EQ(statement->cores.size(), 1u);
  const SelectCore& core = *statement->cores[0];
  EXPECT_EQ(core.top, 1);
  const ColumnRef& column = core.items[0].expr->As<ColumnRef>();
  EXPECT_EQ(column.qualifier->name, "d");
  EXPECT_EQ(column.Pos().line, 1);
  EXPECT_EQ(column.Pos().column, 14);
  const NamedTable& table = core.from[0]->As<NamedTable>();
  EXPECT_EQ(table.name.name, "THDocument");
  EXPECT_EQ(table.Pos().line, 2);
  EXPECT_EQ(table.Pos().column, 6);
  const Binary& where = core.where->As<Binary>();
  EXPECT_EQ(where.right->As<Literal>().value, "a");
  EXPECT_EQ(where.right->Pos().line, 3);
  EXPECT_EQ(where.right->Pos().column, 13);
}

TEST(ParserTest, CheckedDowncastRefusesTheWrongKind) {
  StatementPtr statement = Parse("SELECT 1");
  Expr& item = *statement->cores[0]->items[0].expr;
  EXPECT_NO_THROW(item.As<Literal>());
  EXPECT_THROW(item.As<ColumnRef>(), std::logic_error);
  EXPECT_THROW(statement->As<SelectCore>(), std::logic_error);
}

TEST(ParserTest, SelectItemAliasForms) {
  StatementPtr statement = Parse("SELECT a AS x, b y, c 'z', w = d, [q.r] = e FROM T");
  const auto& items = statement->cores[0]->items;
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].alias->name, "x");
  EXPECT_EQ(items[1].alias->name, "y");
  EXPECT_EQ(items[2].alias->name, "z");
  EXPECT_EQ(items[3].alias->name, "w");
  EXPECT_EQ(items[4].alias->name, "q.r");
  EXPECT_EQ(items[4].expr->As<ColumnRef>().name.name, "e");
}

TEST(ParserTest, ColumnsCountCharactersNotBytes) {
  // "ė" is two bytes in UTF-8; the error column counts it once.
  try {
    (void)Parse("SELECT 'ė', FOO(1)");
    FAIL() << "unknown function accepted";
  } catch (const SqlError& e) {
    EXPECT_EQ(e.Column(), 13);
  }
}

TEST(LiteralListTest, AcceptsOnlyQuotedTextsAndNumbers) {
  EXPECT_EQ(ReadLiteralList("'A1','B''2' , 10, -2.5,+.5, '', 7."),
            (std::vector<std::string>{"'A1'", "'B''2'", "10", "-2.5", "+.5", "''", "7."}));
  EXPECT_EQ(ReadLiteralList(" 'Č'\n"), (std::vector<std::string>{"'Č'"}));
  const struct {
    const char* text;
    const char* construct;
    int column;
  } refused[] = {
      {"'A') OR (1=1", ")", 4},
      {"'A'; DROP TABLE x", ";", 4},
      {"'A', Code", "Code", 6},
      {"'A' 'B'", "'B'", 5},
      {"", "", 1},
      {"'A',", "", 5},
      {"'A',,'B'", ",", 5},
      {"(SELECT 1)", "(", 1},
      {"-'A'", "-", 1},
      {"- 5", "-", 1},
      {"1e3", "1e3", 1},
      {"NULL", "NULL", 1},
      {"N'A'", "N'A'", 1},
      {"'A' /* c */, 'B'", "a comment in a value list", 12},
      {"'A' -- c", "a comment in a value list", 9},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.text);
    try {
      (void)ReadLiteralList(r.text);
      ADD_FAILURE() << "accepted";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Construct(), r.construct);
      EXPECT_EQ(e.Column(), r.column);
    }
  }
}

struct LexCase {
  const char* text;
  TokenKind kind;
  const char* value;  // decoded value, or the text as written
};

TEST(LexerTest, TokenKindsAndValues) {
  const LexCase cases[] = {
      {"[a]]b]", TokenKind::kQuotedIdentifier, "a]b"},
      {"\"x y\"", TokenKind::kQuotedIdentifier, "x y"},
      {"'it''s'", TokenKind::kString, "it's"},
      {"N'ąč'", TokenKind::kString, "ąč"},
      {"12", TokenKind::kInteger, "12"},
      {".5", TokenKind::kDecimal, ".5"},
      {"1.5e-3", TokenKind::kFloat, "1.5e-3"},
      {"Code$THGoodSpec", TokenKind::kWord, "Code$THGoodSpec"},
      {"<>", TokenKind::kSymbol, "<>"},
      {"@p", TokenKind::kVariable, "@p"},
  };
  for (const LexCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<Token> tokens = Tokenize(c.text);
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].kind, c.kind);
    bool decoded = c.kind == TokenKind::kQuotedIdentifier || c.kind == TokenKind::kString;
    EXPECT_EQ(decoded ? tokens[0].value : std::string(tokens[0].text), c.value);
  }
}

TEST(LexerTest, CommentsAreWhitespaceAndPositionsFollowLines) {
  std::vector<Token> tokens = Tokenize("a -- x\n /* y\n /* z */ */ b");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[1].text, "b");
  EXPECT_EQ(tokens[1].position.line, 3);
  EXPECT_EQ(tokens[1].position.column, 13);
  // Offsets are bytes into the text, and a token knows a comment stood before it.
  EXPECT_EQ(tokens[1].offset, 25u);
  EXPECT_FALSE(tokens[0].after_comment);
  EXPECT_TRUE(tokens[1].after_comment);
  EXPECT_FALSE(Tokenize("a b")[1].after_comment);
  EXPECT_TRUE(Tokenize("a --")[1].after_comment);  // the end token too
}

TEST(LexerTest, ReservedWordsAreNamesOnlyInBrackets) {
  for (const char* word : {"select", "When", "ORDER", "Key", "user", "Values", "table"}) {
    SCOPED_TRACE(word);
    EXPECT_TRUE(IsReservedWord(word));
    EXPECT_TRUE(Tokenize(word)[0].reserved);
  }
  for (const char* word : {"Code", "Amount", "Apply", "Offset", "SELECTED", ""}) {
    SCOPED_TRACE(word);
    EXPECT_FALSE(IsReservedWord(word));
  }
  EXPECT_THROW((void)Parse("SELECT t.Key FROM T t"), SqlError);
  EXPECT_NO_THROW((void)Parse("SELECT t.[Key], NULLIF(t.A, 0) FROM T t"));
}

TEST(LexerTest, MalformedInputIsRefused) {
  EXPECT_THROW((void)Tokenize("12abc"), SqlError);
  EXPECT_THROW((void)Tokenize("[]"), SqlError);
  EXPECT_THROW((void)Tokenize("[open"), SqlError);
  EXPECT_THROW((void)Tokenize("a ` b"), SqlError);
  EXPECT_THROW((void)Tokenize("/* /* */"), SqlError);
}

}  // namespace
}  // namespace qts::sql
