// Text helpers shared by the schema's files: quoting, and the check that a piece of text is
// one SQL literal. Identifiers fold through core/text.h.
#ifndef QTS_HOST_SCHEMA_SCHEMA_TEXT_H_
#define QTS_HOST_SCHEMA_SCHEMA_TEXT_H_

#include <string>
#include <string_view>

namespace qts::host::schema {

// "name" with inner double quotes doubled.
std::string QuoteIdentifier(std::string_view name);
// True for exactly one literal: 'text' (inner quotes doubled), a decimal number with an
// optional sign, or NULL in any case.
bool IsSqlLiteral(std::string_view text);

}  // namespace qts::host::schema

#endif  // QTS_HOST_SCHEMA_SCHEMA_TEXT_H_
