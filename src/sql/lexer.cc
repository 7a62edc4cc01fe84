#include "sql/lexer.h"

#include <array>
#include <utility>
#include <vector>

#include "core/text.h"
namespace qts::sql {

namespace {

struct KeywordEntry {
  std::string_view name;
  Keyword keyword;
  bool reserved;
};

// The words the lexer recognises: the keywords it acts on or refuses by name, and every other
// word the server reserves (Keyword::kNone). A name is reserved when the server reserves it.
constexpr std::array kKeywords = {
    KeywordEntry{"ADD", Keyword::kNone, true},
    KeywordEntry{"ALL", Keyword::kAll, true},
    KeywordEntry{"ALTER", Keyword::kAlter, true},
    KeywordEntry{"AND", Keyword::kAnd, true},
    KeywordEntry{"ANY", Keyword::kAny, true},
    KeywordEntry{"APPLY", Keyword::kApply, false},
    KeywordEntry{"AS", Keyword::kAs, true},
    KeywordEntry{"ASC", Keyword::kAsc, true},
    KeywordEntry{"BEGIN", Keyword::kBegin, true},
    KeywordEntry{"BETWEEN", Keyword::kBetween, true},
    KeywordEntry{"BY", Keyword::kBy, true},
    KeywordEntry{"CASE", Keyword::kCase, true},
    KeywordEntry{"CAST", Keyword::kCast, true},
    KeywordEntry{"CHECK", Keyword::kNone, true},
    KeywordEntry{"COLLATE", Keyword::kCollate, true},
    KeywordEntry{"COLUMN", Keyword::kNone, true},
    KeywordEntry{"COMPUTE", Keyword::kCompute, true},
    KeywordEntry{"CONVERT", Keyword::kConvert, true},
    KeywordEntry{"CREATE", Keyword::kCreate, true},
    KeywordEntry{"CROSS", Keyword::kCross, true},
    KeywordEntry{"CURRENT", Keyword::kNone, true},
    KeywordEntry{"DECLARE", Keyword::kDeclare, true},
    KeywordEntry{"DEFAULT", Keyword::kNone, true},
    KeywordEntry{"DELETE", Keyword::kDelete, true},
    KeywordEntry{"DESC", Keyword::kDesc, true},
    KeywordEntry{"DISTINCT", Keyword::kDistinct, true},
    KeywordEntry{"DROP", Keyword::kDrop, true},
    KeywordEntry{"ELSE", Keyword::kElse, true},
    KeywordEntry{"END", Keyword::kEnd, true},
    KeywordEntry{"ESCAPE", Keyword::kEscape, true},
    KeywordEntry{"EXCEPT", Keyword::kExcept, true},
    KeywordEntry{"EXEC", Keyword::kExec, true},
    KeywordEntry{"EXECUTE", Keyword::kExecute, true},
    KeywordEntry{"EXISTS", Keyword::kExists, true},
    KeywordEntry{"FETCH", Keyword::kFetch, true},
    KeywordEntry{"FOR", Keyword::kFor, true},
    KeywordEntry{"FROM", Keyword::kFrom, true},
    KeywordEntry{"FULL", Keyword::kFull, true},
    KeywordEntry{"FUNCTION", Keyword::kNone, true},
    KeywordEntry{"GRANT", Keyword::kGrant, true},
    KeywordEntry{"GROUP", Keyword::kGroup, true},
    KeywordEntry{"HAVING", Keyword::kHaving, true},
    KeywordEntry{"IDENTITY", Keyword::kNone, true},
    KeywordEntry{"IF", Keyword::kIf, true},
    KeywordEntry{"IN", Keyword::kIn, true},
    KeywordEntry{"INDEX", Keyword::kNone, true},
    KeywordEntry{"INNER", Keyword::kInner, true},
    KeywordEntry{"INSERT", Keyword::kInsert, true},
    KeywordEntry{"INTERSECT", Keyword::kIntersect, true},
    KeywordEntry{"INTO", Keyword::kInto, true},
    KeywordEntry{"IS", Keyword::kIs, true},
    KeywordEntry{"JOIN", Keyword::kJoin, true},
    KeywordEntry{"KEY", Keyword::kNone, true},
    KeywordEntry{"LEFT", Keyword::kLeft, true},
    KeywordEntry{"LIKE", Keyword::kLike, true},
    KeywordEntry{"MERGE", Keyword::kMerge, true},
    KeywordEntry{"NOT", Keyword::kNot, true},
    KeywordEntry{"NULL", Keyword::kNull, true},
    KeywordEntry{"NULLIF", Keyword::kNone, true},
    KeywordEntry{"OF", Keyword::kNone, true},
    KeywordEntry{"OFFSET", Keyword::kOffset, false},
    KeywordEntry{"ON", Keyword::kOn, true},
    KeywordEntry{"OPTION", Keyword::kOption, true},
    KeywordEntry{"OR", Keyword::kOr, true},
    KeywordEntry{"ORDER", Keyword::kOrder, true},
    KeywordEntry{"OUTER", Keyword::kOuter, true},
    KeywordEntry{"OVER", Keyword::kOver, true},
    KeywordEntry{"PERCENT", Keyword::kPercent, true},
    KeywordEntry{"PIVOT", Keyword::kPivot, true},
    KeywordEntry{"PRIMARY", Keyword::kNone, true},
    KeywordEntry{"PRINT", Keyword::kPrint, true},
    KeywordEntry{"RETURN", Keyword::kReturn, true},
    KeywordEntry{"RIGHT", Keyword::kRight, true},
    KeywordEntry{"SELECT", Keyword::kSelect, true},
    KeywordEntry{"SET", Keyword::kSet, true},
    KeywordEntry{"SOME", Keyword::kSome, true},
    KeywordEntry{"TABLE", Keyword::kNone, true},
    KeywordEntry{"TABLESAMPLE", Keyword::kTablesample, true},
    KeywordEntry{"THEN", Keyword::kThen, true},
    KeywordEntry{"TO", Keyword::kNone, true},
    KeywordEntry{"TOP", Keyword::kTop, true},
    KeywordEntry{"TRUNCATE", Keyword::kTruncate, true},
    KeywordEntry{"UNION", Keyword::kUnion, true},
    KeywordEntry{"UNIQUE", Keyword::kNone, true},
    KeywordEntry{"UNPIVOT", Keyword::kUnpivot, true},
    KeywordEntry{"UPDATE", Keyword::kUpdate, true},
    KeywordEntry{"USE", Keyword::kUse, true},
    KeywordEntry{"USER", Keyword::kNone, true},
    KeywordEntry{"VALUES", Keyword::kValues, true},
    KeywordEntry{"VIEW", Keyword::kNone, true},
    KeywordEntry{"WAITFOR", Keyword::kWaitfor, true},
    KeywordEntry{"WHEN", Keyword::kWhen, true},
    KeywordEntry{"WHERE", Keyword::kWhere, true},
    KeywordEntry{"WHILE", Keyword::kWhile, true},
    KeywordEntry{"WITH", Keyword::kWith, true},
};

// Keywords bucketed by their first letter, so a name is compared with a handful at most.
const std::array<std::vector<const KeywordEntry*>, 26>& KeywordBuckets() {
  static const auto buckets = [] {
    std::array<std::vector<const KeywordEntry*>, 26> result;
    for (const KeywordEntry& entry : kKeywords) result[entry.name[0] - 'A'].push_back(&entry);
    return result;
  }();
  return buckets;
}

const KeywordEntry* FindKeyword(std::string_view word) noexcept {
  if (word.size() < 2 || word.size() > 11) return nullptr;
  const char first = AsciiToUpper(word[0]);
  if (first < 'A' || first > 'Z') return nullptr;
  for (const KeywordEntry* entry : KeywordBuckets()[first - 'A']) {
    if (EqualsIgnoreCase(entry->name, word)) return entry;
  }
  return nullptr;
}

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsWordStart(char c) noexcept {
  // Bytes of UTF-8 letters (>= 0x80) are accepted in names, as the server accepts letters.
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordPart(char c) noexcept { return IsWordStart(c) || IsDigit(c) || c == '$'; }

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    tokens.reserve(text_.size() / 4 + 16);
    for (;;) {
      Token token;
      token.after_comment = SkipSpaceAndComments();
      token.position = position_;
      token.offset = pos_;
      if (pos_ >= text_.size()) {
        token.text = text_.substr(pos_);
        tokens.push_back(std::move(token));
        return tokens;
      }
      Lex(token);
      token.text = text_.substr(token.offset, pos_ - token.offset);
      tokens.push_back(std::move(token));
    }
  }

 private:
  char Peek(size_t ahead = 0) const noexcept {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  bool AtEnd() const noexcept { return pos_ >= text_.size(); }

  void Advance() noexcept {
    char c = text_[pos_++];
    if (c == '\n') {
      ++position_.line;
      position_.column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++position_.column;  // continuation bytes of UTF-8 do not start a character
    }
  }

  // Returns whether a comment was skipped.
  bool SkipSpaceAndComments() {
    bool comment = false;
    while (!AtEnd()) {
      char c = Peek();
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        Advance();
      } else if (c == '-' && Peek(1) == '-') {
        comment = true;
        while (!AtEnd() && Peek() != '\n') Advance();
      } else if (c == '/' && Peek(1) == '*') {
        comment = true;
        SkipBlockComment();
      } else {
        break;
      }
    }
    return comment;
  }

  void SkipBlockComment() {
    Position start = position_;
    int depth = 0;
    do {
      if (AtEnd()) throw SqlError("unterminated comment '/*'", "/*", start);
      if (Peek() == '/' && Peek(1) == '*') {
        ++depth;
        Advance();
      } else if (Peek() == '*' && Peek(1) == '/') {
        --depth;
        Advance();
      }
      Advance();
    } while (depth > 0);
  }

  void Lex(Token& token) {
    char c = Peek();
    if ((c == 'N' || c == 'n') && Peek(1) == '\'') {
      Advance();
      token.national = true;
      LexQuoted(token, '\'', '\'', TokenKind::kString);
    } else if (IsWordStart(c)) {
      size_t start = pos_;
      while (!AtEnd() && IsWordPart(Peek())) Advance();
      token.kind = TokenKind::kWord;
      if (const KeywordEntry* entry = FindKeyword(text_.substr(start, pos_ - start))) {
        token.keyword = entry->keyword;
        token.reserved = entry->reserved;
      }
    } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
      LexNumber(token);
    } else if (c == '\'') {
      LexQuoted(token, '\'', '\'', TokenKind::kString);
    } else if (c == '[') {
      LexQuoted(token, '[', ']', TokenKind::kQuotedIdentifier);
    } else if (c == '"') {
      LexQuoted(token, '"', '"', TokenKind::kQuotedIdentifier);
    } else if (c == '@' || c == '#') {
      Advance();
      while (!AtEnd() && (IsWordPart(Peek()) || Peek() == '@' || Peek() == '#')) Advance();
      token.kind = TokenKind::kVariable;
    } else if (c == '?') {
      Advance();
      token.kind = TokenKind::kParameter;
    } else {
      LexSymbol(token);
    }
  }

  void LexNumber(Token& token) {
    token.kind = TokenKind::kInteger;
    while (IsDigit(Peek())) Advance();
    if (Peek() == '.') {
      token.kind = TokenKind::kDecimal;
      Advance();
      while (IsDigit(Peek())) Advance();
    }
    if ((Peek() == 'e' || Peek() == 'E') &&
        (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
      token.kind = TokenKind::kFloat;
      Advance();
      if (Peek() == '+' || Peek() == '-') Advance();
      while (IsDigit(Peek())) Advance();
    }
    if (IsWordStart(Peek()) || Peek() == '$') {
      throw SqlError("malformed number", std::string(1, Peek()), position_);
    }
  }

  void LexQuoted(Token& token, char open, char close, TokenKind kind) {
    Position start = position_;
    Advance();  // the opening quote
    token.kind = kind;
    for (;;) {
      size_t run = pos_;
      while (run < text_.size() && text_[run] != close && text_[run] != '\0' &&
             text_[run] != '\n') {
        ++run;
      }
      token.value.append(text_.substr(pos_, run - pos_));
      AdvanceTo(run);
      if (AtEnd()) {
        throw SqlError(
            kind == TokenKind::kString ? "unterminated text literal" : "unterminated quoted name",
            std::string(1, open), start);
      }
      char c = Peek();
      if (c == '\0') throw SqlError("NUL character in the statement", "NUL", position_);
      Advance();
      if (c == close) {
        if (Peek() != close) break;
        Advance();  // a doubled closing quote stands for itself
      }
      token.value += c;
    }
    if (kind == TokenKind::kQuotedIdentifier && token.value.empty()) {
      throw SqlError("empty quoted name", std::string(1, open), start);
    }
  }

  // Moves to `end` across characters that are neither line breaks nor quotes.
  void AdvanceTo(size_t end) noexcept {
    for (; pos_ < end; ++pos_) {
      if ((static_cast<unsigned char>(text_[pos_]) & 0xC0) != 0x80) ++position_.column;
    }
  }

  void LexSymbol(Token& token) {
    token.kind = TokenKind::kSymbol;
    char c = Peek();
    char next = Peek(1);
    if ((c == '<' && (next == '=' || next == '>')) || (c == '>' && next == '=') ||
        (c == '!' && (next == '=' || next == '<' || next == '>'))) {
      Advance();
      Advance();
      return;
    }
    static constexpr std::string_view kSingles = "(),.;*+-/%=<>&|^~";
    if (c != '\0' && kSingles.find(c) != std::string_view::npos) {
      Advance();
      return;
    }
    if (c == '\0') throw SqlError("NUL character in the statement", "NUL", position_);
    throw SqlError("unexpected character '" + std::string(1, c) + "'", std::string(1, c),
                   position_);
  }

  std::string_view text_;
  size_t pos_ = 0;
  Position position_;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) { return Lexer(text).Run(); }

bool IsReservedWord(std::string_view word) noexcept {
  const KeywordEntry* entry = FindKeyword(word);
  return entry != nullptr && entry->reserved;
}

}  // namespace qts::sql
