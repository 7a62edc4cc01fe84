// Text helpers shared by the schema's files. Identifiers fold through core/text.h; pieces of
// T-SQL are read with the translator's lexer (sql/fragment.h).
#ifndef QTS_HOST_SCHEMA_SCHEMA_TEXT_H_
#define QTS_HOST_SCHEMA_SCHEMA_TEXT_H_

#include <string>
#include <string_view>

namespace qts::host::schema {

// "name" with inner double quotes doubled.
std::string QuoteIdentifier(std::string_view name);

}  // namespace qts::host::schema

#endif  // QTS_HOST_SCHEMA_SCHEMA_TEXT_H_
