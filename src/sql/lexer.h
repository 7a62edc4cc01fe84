// Splits T-SQL text into tokens with their positions. Comments ("--" to the end of the line
// and "/* */", nested as on the server) are whitespace: they never reach the emitted SQL.
#ifndef QTS_SQL_LEXER_H_
#define QTS_SQL_LEXER_H_

#include <string>
#include <string_view>
#include <vector>

#include "sql/sql_error.h"

namespace qts::sql {

enum class TokenKind {
  kWord,              // plain identifier or keyword; may contain '$', '_', digits
  kQuotedIdentifier,  // [name] or "name"; value holds the name without quotes
  kString,            // 'text' or N'text'; value holds the text with '' undone
  kInteger,           // 123
  kDecimal,           // 1.5, .5, 2.
  kFloat,             // 1e3, 1.5E-2
  kSymbol,            // ( ) , . ; * + - / % = < > <= >= <> != !< !> & | ^ ~
  kVariable,          // @name or #name: outside the subset, refused where the parser meets it
  kParameter,         // ?: a value bound when the statement runs, numbered in order of appearance
  kEnd,
};

// Keywords the parser acts on or refuses by name. kNone for any other word.
enum class Keyword {
  kNone,
  // Query words.
  kAll,
  kAnd,
  kAs,
  kAsc,
  kBetween,
  kBy,
  kCase,
  kCast,
  kConvert,
  kCross,
  kDesc,
  kDistinct,
  kElse,
  kEnd,
  kEscape,
  kExists,
  kFrom,
  kFull,
  kGroup,
  kHaving,
  kIn,
  kInner,
  kIs,
  kJoin,
  kLeft,
  kLike,
  kNot,
  kNull,
  kOn,
  kOr,
  kOrder,
  kOuter,
  kRight,
  kSelect,
  kThen,
  kTop,
  kUnion,
  kWhen,
  kWhere,
  // Writing words.
  kDelete,
  kInsert,
  kInto,
  kSet,
  kUpdate,
  kValues,
  // Recognised only to be refused by name.
  kAlter,
  kAny,
  kApply,
  kBegin,
  kCollate,
  kCompute,
  kCreate,
  kDeclare,
  kDrop,
  kExcept,
  kExec,
  kExecute,
  kFetch,
  kFor,
  kGrant,
  kIf,
  kIntersect,
  kMerge,
  kOffset,
  kOption,
  kOver,
  kPercent,
  kPivot,
  kPrint,
  kReturn,
  kSome,
  kTablesample,
  kTruncate,
  kUnpivot,
  kUse,
  kWaitfor,
  kWhile,
  kWith,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  Keyword keyword = Keyword::kNone;
  bool reserved = false;       // a keyword the server reserves: not usable unquoted as a name
  bool national = false;       // N'...' string
  bool after_comment = false;  // a comment stands between this token and the one before
  std::string_view text;       // the token as written: a view into the tokenised text
  std::string value;           // decoded name or text (quoted identifiers and strings only)
  Position position;
  size_t offset = 0;  // where `text` starts in the tokenised text, in bytes

  bool Is(char symbol) const noexcept {
    return kind == TokenKind::kSymbol && text.size() == 1 && text[0] == symbol;
  }
  bool IsSymbol(std::string_view symbol) const noexcept {
    return kind == TokenKind::kSymbol && text == symbol;
  }
  bool Is(Keyword word) const noexcept { return kind == TokenKind::kWord && keyword == word; }
};

// Tokenises the whole text; the last token is kEnd. Throws SqlError on a character outside
// the subset (NUL, a stray character, unterminated quotes or comments).
[[nodiscard]] std::vector<Token> Tokenize(std::string_view text);

// Whether the server reserves `word` (any case): such a word is a name only in brackets.
[[nodiscard]] bool IsReservedWord(std::string_view word) noexcept;

}  // namespace qts::sql

#endif  // QTS_SQL_LEXER_H_
