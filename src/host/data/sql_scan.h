// Small lexical helpers over T-SQL fragments (conditions, column expressions, join
// conditions) that the query builder rewrites or inspects without parsing them fully: string
// literals, [quoted] names and comments are skipped, identifiers compare without regard to case.
#ifndef QTS_HOST_DATA_SQL_SCAN_H_
#define QTS_HOST_DATA_SQL_SCAN_H_

#include <set>
#include <string>
#include <string_view>

namespace qts::host::sqlscan {

// True for a name that needs no quoting: a letter or '_' followed by letters, digits, '_'.
bool IsPlainIdentifier(std::string_view name);
// True for a T-SQL reserved word ("When", "Order"): such a name is bracketed when written.
bool IsReservedWord(std::string_view name);
// The name in T-SQL brackets when it needs them ("AddFld.X" -> "[AddFld.X]", "When" ->
// "[When]"), as is otherwise.
std::string QuoteName(std::string_view name);

// `text` with every qualifier `from` (an identifier or [identifier] directly followed by '.',
// not itself after a '.') replaced by `to`. Literals and comments are left alone.
std::string RenameQualifier(std::string_view text, std::string_view from, std::string_view to);

// The lower-cased qualifiers `text` uses (the "x" of "x.Column").
std::set<std::string> Qualifiers(std::string_view text);

// True when `text` is a single literal: a number, a quoted string or NULL.
bool IsConstant(std::string_view text);

// True when `text` contains ';' or a comment marker ("--", "/*") outside string literals and
// brackets, or a literal that is not closed: a fragment that must not reach a statement.
bool HasStatementBreak(std::string_view text);

}  // namespace qts::host::sqlscan

#endif  // QTS_HOST_DATA_SQL_SCAN_H_
