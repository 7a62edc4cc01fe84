// qts book ...: creating books.
#include <fmt/format.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/convert.h"
#include "host/data/app_context.h"
#include "host/sample/sample_book.h"
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
  auto sample = std::make_shared<std::string>();
  auto seed = std::make_shared<uint64_t>(1);
  create->add_option("--sample", *sample,
                     "fill the book with a sample company: 'small' (tests) or 'large' (over a "
                     "million specification rows, benchmarks)");
  create->add_option("--seed", *seed, "the seed of the sample data: the same seed, the same book")
      ->capture_default_str();
  AddJsonFlag(*create, "print JSON: the book's code and file, what it holds");
  create->callback([=] {
    // Checked before the file is created, so a bad size leaves no file behind.
    const bool with_sample = !sample->empty();
    const host::sample::SampleSize size =
        with_sample ? host::sample::ParseSampleSize(*sample) : host::sample::SampleSize::kSmall;
    auto context = host::AppContext::CreateBook(*file, *code);
    if (with_sample) {
      try {
        host::sample::GenerateSampleBook(*context, size, *seed);
      } catch (...) {
        // The file did not exist (or was empty) before: leave nothing behind.
        context.reset();
        std::error_code ignored;
        std::filesystem::remove(*file, ignored);
        throw;
      }
      const host::sample::BookCounts counts = host::sample::CountBook(*context);
      if (JsonOutput()) {
        nlohmann::ordered_json out{
            {"code", context->Code()}, {"file", *file}, {"sample", *sample}, {"seed", *seed}};
        out["tables"] = nlohmann::ordered_json::object();
        for (const auto& [table, n] : counts.tables) out["tables"][table] = n;
        out["documents"] = nlohmann::ordered_json::object();
        for (const auto& [type, n] : counts.documents) out["documents"][type] = n;
        return PrintJson(out);
      }
      std::cout << fmt::format("created book {} in {} with the {} sample (seed {})\n",
                               context->Code(), *file, *sample, *seed);
      std::cout << "  rows per table:\n";
      for (const auto& [table, n] : counts.tables) {
        std::cout << fmt::format("    {:<28} {:>10}\n", table, n);
      }
      std::cout << "  documents per type:\n";
      for (const auto& [type, n] : counts.documents) {
        std::cout << fmt::format("    {:<28} {:>10}\n", type, n);
      }
      return;
    }
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
    if (JsonOutput()) {
      nlohmann::ordered_json out{{"code", context->Code()}, {"file", *file}};
      out["tables"] = tables;
      out["views"] = views;
      out["parameterisedSources"] = derived;
      out["documentTypes"] = nlohmann::ordered_json::array();
      for (const host::schema::DocTypeDef& t : host::schema::DocumentTypes()) {
        out["documentTypes"].push_back(t.code);
      }
      out["settings"] = ListJson(context->Settings());
      return PrintJson(out);
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
