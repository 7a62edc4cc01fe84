// Statements that differ only in their literals translate alike. The literals a comparison or
// an IN list takes as they are, and the values an INSERT or UPDATE writes as they are, become
// parameters (?1, ?2, ... on SQLite; $1, ... on
// PostgreSQL), and the translation of each shape is kept: a row search repeated with other
// codes is neither parsed nor prepared again, since the backend text stays the same.
//
// A literal whose value the translation looks at (a text read as a date, a LIKE pattern, a
// count folded into a function, TOP n) stays in the text. A later statement of the same shape
// is served from the kept translation only when those literals are the same as when it was
// made; otherwise it is translated afresh.
#ifndef QTS_SQL_SHAPE_CACHE_H_
#define QTS_SQL_SHAPE_CACHE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "sql/catalogue.h"
#include "sql/translator.h"

namespace qts::sql {

// A parameter's value: a whole number or a text.
using ParameterValue = std::variant<long long, std::string>;

struct ParameterizedSql {
  std::string sql;  // the statement in the backend's dialect
  // The values of the placeholders made from literals, in order: placeholders
  // parameter_count + 1, parameter_count + 2, ...
  std::vector<ParameterValue> values;
  // The statement's own '?' parameters: placeholders 1..parameter_count, bound by the caller.
  int parameter_count = 0;
};

// Translates `tsql` (a SELECT, or an INSERT, UPDATE or DELETE: parser.h ParseCommand) with its
// plain literals as parameters (see above). Throws SqlError.
[[nodiscard]] ParameterizedSql TranslateParameterized(std::string_view tsql,
                                                      const Catalogue& catalogue, Dialect dialect);

class ShapeCache {
 public:
  // Keeps up to `capacity` shapes; when full it starts afresh.
  ShapeCache(const Catalogue& catalogue, Dialect dialect, size_t capacity = 512);

  // The translation of `tsql` with parameters, from the kept shape when there is one. Throws
  // SqlError as Translate does.
  [[nodiscard]] ParameterizedSql Translate(std::string_view tsql);

  // The translation of the query `tsql` with its result columns (TranslateWithColumns, its
  // literals left in the text), kept for the same text word for word: a report run again with
  // the same choices is neither parsed nor bound again. Throws SqlError as TranslateWithColumns
  // does; a statement that fails is not kept.
  [[nodiscard]] std::shared_ptr<const Translation> TranslateQuery(std::string_view tsql);

  size_t Size() const { return shapes_.size(); }
  void Clear() {
    shapes_.clear();
    exact_.clear();
    queries_.clear();
  }

 private:
  struct Shape {
    std::string sql;
    std::vector<int> parameters;                     // literal ordinal of each placeholder
    std::vector<std::pair<int, std::string>> fixed;  // literals left in the text: ordinal, value
    int parameter_count = 0;
  };

  ParameterizedSql TranslateShape(std::string_view tsql);

  const Catalogue& catalogue_;
  Dialect dialect_;
  size_t capacity_;
  std::unordered_map<std::string, Shape> shapes_;
  // Texts seen before, word for word: the same text has the same translation and values, so a
  // statement the host runs again and again (a row insert) is not even split into tokens.
  std::unordered_map<std::string, ParameterizedSql> exact_;
  // Query texts seen before, with their translations (TranslateQuery).
  std::unordered_map<std::string, std::shared_ptr<const Translation>> queries_;
};

}  // namespace qts::sql

#endif  // QTS_SQL_SHAPE_CACHE_H_
