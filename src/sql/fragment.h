// Pieces of T-SQL that the host's query builder writes or looks into without parsing a whole
// statement: conditions, column expressions, join conditions, names and literals. They are
// read with the translator's lexer, so literals, [quoted] names and comments are read exactly
// as the translator will read them when the statement runs.
#ifndef QTS_SQL_FRAGMENT_H_
#define QTS_SQL_FRAGMENT_H_

#include <set>
#include <string>
#include <string_view>

namespace qts::sql {

// True for a name that needs no quoting: an ASCII letter or '_' followed by ASCII letters,
// digits and '_'.
[[nodiscard]] bool IsPlainIdentifier(std::string_view name) noexcept;

// The name in brackets when it needs them - it is not plain, or the server reserves it
// ("AddFld.X" -> "[AddFld.X]", "When" -> "[When]", "a]b" -> "[a]]b]") - and as is otherwise.
[[nodiscard]] std::string QuoteName(std::string_view name);

// `text` with every qualifier `from` (any case; a name or [name] followed by '.', not itself
// after a '.') written as QuoteName(to); the rest of the text, literals and comments included,
// stays as it is. A text the lexer cannot read is returned unchanged: the translator names the
// fault when the statement runs.
[[nodiscard]] std::string RenameQualifier(std::string_view text, std::string_view from,
                                          std::string_view to);

// The qualifiers `text` uses (the "x" of "x.Column"), lowered by AsciiLower; none for a text
// the lexer cannot read.
[[nodiscard]] std::set<std::string> Qualifiers(std::string_view text);

// True when `text` is one literal: a number (digits with at most one decimal point, a sign
// written directly before it allowed), a quoted text, or NULL (any case). White space and
// comments around it do not count.
[[nodiscard]] bool IsSingleLiteral(std::string_view text);

// True when `text` must not reach a statement as a fragment: it holds ';' or a comment outside
// literals and brackets, or the lexer cannot read it (a literal, name or comment left open, a
// character outside the language).
[[nodiscard]] bool HasStatementBreak(std::string_view text);

}  // namespace qts::sql

#endif  // QTS_SQL_FRAGMENT_H_
