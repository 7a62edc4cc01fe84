#include "sql/translator.h"

#include "sql/emitter.h"
#include "sql/parser.h"

namespace qts::sql {

Translation TranslateWithColumns(std::string_view tsql, const Catalogue& catalogue,
                                 Dialect dialect) {
  StatementPtr statement = Parse(tsql);
  Translation translation;
  translation.columns = Bind(*statement, catalogue);
  translation.sql = Emit(*statement, dialect);
  return translation;
}

std::string Translate(std::string_view tsql, const Catalogue& catalogue, Dialect dialect) {
  StatementPtr statement = Parse(tsql);
  Bind(*statement, catalogue);
  return Emit(*statement, dialect);
}

}  // namespace qts::sql
