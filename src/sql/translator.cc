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

std::string TranslateCommand(std::string_view tsql, const Catalogue& catalogue, Dialect dialect) {
  Command command = ParseCommand(tsql);
  if (command.write) {
    Bind(*command.write, catalogue);
    return Emit(*command.write, dialect);
  }
  Bind(*command.select, catalogue);
  return Emit(*command.select, dialect);
}

}  // namespace qts::sql
