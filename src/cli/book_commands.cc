// qts book ...: creating books.
#include <fmt/format.h>

#include <iostream>
#include <string>

#include "cli/commands.h"
#include "core/convert.h"
#include "host/data/app_context.h"
#include "host/schema/schema.h"

namespace qts::cli {

void AddBookCommands(CLI::App& app) {
  auto* book = app.add_subcommand("book", "create and inspect books");
  book->require_subcommand(1);

  auto* create = book->add_subcommand(
      "create", "create an empty book (schema, document types and settings) in a new file");
  auto file = std::make_shared<std::string>();
  auto code = std::make_shared<std::string>("QTS");
  create->add_option("FILE", *file, "the book file to create (must not exist or be empty)")
      ->required();
  create->add_option("--code", *code, "the book code: 1 to 16 letters, digits or '_'")
      ->capture_default_str();
  create->callback([=] {
    auto context = host::AppContext::CreateBook(*file, *code);
    int tables = 0;
    int views = 0;
    int derived = 0;
    for (const host::schema::SourceDef& s : host::schema::Sources()) {
      switch (s.kind) {
        case host::schema::SourceKind::kTable:
          ++tables;
          break;
        case host::schema::SourceKind::kView:
          ++views;
          break;
        case host::schema::SourceKind::kParameterised:
          ++derived;
          break;
      }
    }
    std::cout << fmt::format("created book {} in {}\n", context->Code(), *file);
    std::cout << fmt::format("  {} tables, {} views, {} parameterised sources\n", tables, views,
                             derived);
    std::string types;
    for (const host::schema::DocTypeDef& t : host::schema::DocumentTypes()) {
      types += (types.empty() ? "" : " ") + t.code;
    }
    std::cout << fmt::format("  {} document types: {}\n", host::schema::DocumentTypes().size(),
                             types);
    std::cout << "  settings:\n";
    for (const host::NamedValuePtr& s : context->Settings().Entries()) {
      std::cout << fmt::format("    {} = {}\n", s->Name(),
                               s->Value().IsNull() ? std::string() : CStr(s->Value()));
    }
  });
}

}  // namespace qts::cli
