// Text helpers shared by the schema's files: case folding for identifiers, quoting, and the
// check that a piece of text is one SQL literal.
#ifndef QTS_HOST_SCHEMA_SCHEMA_TEXT_H_
#define QTS_HOST_SCHEMA_SCHEMA_TEXT_H_

#include <string>
#include <string_view>

namespace qts::host::schema {

// ASCII lower case (identifiers are ASCII).
std::string ToLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// "name" with inner double quotes doubled.
std::string QuoteIdentifier(std::string_view name);
// True for exactly one literal: 'text' (inner quotes doubled), a decimal number with an
// optional sign, or NULL in any case.
bool IsSqlLiteral(std::string_view text);

}  // namespace qts::host::schema

#endif  // QTS_HOST_SCHEMA_SCHEMA_TEXT_H_
