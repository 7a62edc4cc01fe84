// qts book ...: creating books, copying them between databases, checking their stock facts and
// upgrading their stored form.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/convert.h"
#include "db/open_database.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/book_copy.h"
#include "host/data/book_upgrade.h"
#include "host/data/new_book_file.h"
#include "host/documents/stock_facts.h"
#include "host/sample/sample_book.h"
#include "host/schema/schema.h"

namespace qts::cli {
namespace {

// Takes a book that was just created away again: its file, or its tables on a server.
void RemoveBook(std::shared_ptr<host::AppContext>& context, const std::string& address) {
  if (db::IsServerAddress(address)) {
    try {
      for (const std::string& sql :
           host::schema::DropStatements(context->Code(), context->Dialect())) {
        context->Connection().Execute(sql);
      }
    } catch (...) {
      // The error that brought us here is the one to report.
    }
    context.reset();
    return;
  }
  context.reset();
  std::error_code ignored;
  std::filesystem::remove(address, ignored);
}

void AddCopyCommand(CLI::App& book) {
  auto* copy = book.add_subcommand(
      "copy",
      "copy a book with every row between an SQLite file and a PostgreSQL server (either way), "
      "then compare every table of the copy with the source");
  auto source = std::make_shared<std::string>();
  auto target = std::make_shared<std::string>();
  auto code = std::make_shared<std::string>();
  copy->add_option("SRC", *source, "the book to copy (a file or a server)")->required();
  copy->add_option("DST", *target,
                   "where the copy goes: a new (or empty) SQLite file, or a server without a "
                   "book of that code. A file is written beside DST and moved there only when "
                   "the copy is complete and equals the source")
      ->required();
  copy->add_option("--code", *code, "the book's code, when SRC holds several books");
  copy->callback([=] {
    host::AppContextPtr from = host::AppContext::Open(*source, *code);
    std::vector<host::TableRows> copied;
    // A file is written beside DST and moved there only when the copy is complete and equals
    // the source: a copy that fails, differs or is killed leaves nothing at DST.
    std::optional<host::NewBookFile> staged;
    if (!db::IsServerAddress(*target)) staged.emplace(*target);
    host::AppContextPtr to = host::CopyBook(*from, staged ? staged->Path() : *target, &copied);
    int64_t rows = 0;
    for (const host::TableRows& t : copied) rows += t.rows;
    std::cout << fmt::format("copied book {} from {} to {}: {} tables, {} rows\n", from->Code(),
                             db::DescribeAddress(*source), db::DescribeAddress(*target),
                             copied.size(), rows);
    std::vector<std::string> differing;
    std::cout << fmt::format("  {:<28} {:>10} {:>10}  {}\n", "table", "source", "copy", "compared");
    for (const host::TableComparison& t : host::CompareBooks(*from, *to)) {
      std::cout << fmt::format("  {:<28} {:>10} {:>10}  {}\n", t.table, t.left_rows, t.right_rows,
                               t.equal ? "equal" : "DIFFERENT");
      if (!t.equal) differing.push_back(t.table);
    }
    if (!differing.empty()) {
      std::string list;
      for (const std::string& t : differing) list += (list.empty() ? "" : ", ") + t;
      throw Error(host::kErrBook, "qts book copy",
                  fmt::format("the copy differs from the source in {} table(s): {}",
                              differing.size(), list));
    }
    to.reset();
    if (staged) staged->Commit();
    std::cout << "  every table of the copy equals the source\n";
  });
}

const char* KindName(host::StockFactDifference::Kind kind) {
  using Kind = host::StockFactDifference::Kind;
  switch (kind) {
    case Kind::kFixedWrong:
      return "kept consumption differs";
    case Kind::kFixedMissing:
      return "kept consumption missing";
    case Kind::kFixedExtra:
      return "kept consumption of no link";
    case Kind::kOverConsumed:
      return "links exceed the receipt";
    case Kind::kLotWrong:
      return "lot rest differs";
    case Kind::kRestWrong:
      return "kept store rest differs";
    case Kind::kRestMissing:
      return "kept store rest missing";
    case Kind::kRestExtra:
      return "kept store rest of no posted row";
    case Kind::kTotalWrong:
      return "kept receipt total differs";
    case Kind::kTotalMissing:
      return "kept receipt total missing";
    case Kind::kTotalExtra:
      return "kept receipt total of no posted receipt";
  }
  return "";
}

void AddCheckCommand(CLI::App& book) {
  auto* check = book.add_subcommand(
      "check",
      "recompute the book's kept stock facts (each consumed row's quantity taken by its links, "
      "each store and good's rest over its posted rows, each good and fixing category's receipt "
      "totals) and the stock rules (links never take more "
      "than a receipt holds; each lot's rest is its "
      "posted rows) from the rows, and list every difference; exit status 1 when any remains. "
      "--repair rewrites the kept facts from the rows in one transaction; a broken rule is "
      "listed, not changed");
  auto address = std::make_shared<std::string>();
  auto code = std::make_shared<std::string>();
  auto repair = std::make_shared<bool>(false);
  check->add_option("--book", *address, kBookHelp)->required();
  check->add_option("--code", *code, "the book's code, when the database holds several books");
  check->add_flag("--repair", *repair,
                  "rewrite the kept facts from the rows (one transaction), then check again");
  AddJsonFlag(*check, "print JSON: the differences found, whether repaired, what remains");
  check->callback([=] {
    host::AppContextPtr context = host::AppContext::Open(*address, *code);
    host::StockFacts facts(*context);
    const std::vector<host::StockFactDifference> found = facts.Check();
    std::vector<host::StockFactDifference> remaining = found;
    bool repaired = false;
    if (*repair &&
        std::any_of(found.begin(), found.end(), [](const auto& d) { return d.repairable; })) {
      db::Transaction transaction(context->Connection());
      facts.Rebuild();
      transaction.Commit();
      repaired = true;
      remaining = facts.Check();
    }
    const std::string stopped =
        remaining.empty()
            ? std::string()
            : fmt::format("book {} has {} difference(s) between its rows and its stock facts",
                          context->Code(), remaining.size());
    if (JsonOutput()) {
      const auto list = [](const std::vector<host::StockFactDifference>& differences) {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const host::StockFactDifference& d : differences) {
          out.push_back({{"kind", KindName(d.kind)},
                         {"what", d.what},
                         {"kept", d.kept},
                         {"recomputed", d.recomputed},
                         {"repairable", d.repairable}});
        }
        return out;
      };
      nlohmann::ordered_json out{{"code", context->Code()},
                                 {"differences", list(found)},
                                 {"repaired", repaired},
                                 {"remaining", list(remaining)}};
      if (remaining.empty()) return PrintJson(out);
      // One document for programs: what was found, and the status it ends with.
      out["status"] = static_cast<int>(ExitStatus::kError);
      PrintJson(out);
      std::cerr << "qts: " << stopped << "\n";
      throw Finished(ExitStatus::kError);
    }
    std::cout << fmt::format("book {} in {}: {} difference(s)\n", context->Code(),
                             db::DescribeAddress(*address), found.size());
    for (const host::StockFactDifference& d : found) {
      if (d.repairable) {
        std::cout << fmt::format("  {}: {}: kept {}, the rows say {}\n", KindName(d.kind), d.what,
                                 d.kept.empty() ? "nothing" : d.kept,
                                 d.recomputed.empty() ? "nothing" : d.recomputed);
      } else {
        std::cout << fmt::format("  {}: {} (the rows break a stock rule: not repaired)\n",
                                 KindName(d.kind), d.what);
      }
    }
    if (repaired) {
      std::cout << fmt::format("repaired the kept facts from the rows; {} difference(s) remain\n",
                               remaining.size());
    } else if (!found.empty()) {
      std::cout << "qts book check --repair rewrites the kept facts from the rows\n";
    }
    if (!remaining.empty()) throw Error(host::kErrBook, "qts book check", stopped);
  });
}

void AddUpgradeCommand(CLI::App& book) {
  auto* upgrade = book.add_subcommand(
      "upgrade",
      fmt::format("bring a book of an older stored form (schema version {} or later) to the one "
                  "this qts reads (version {}), in one transaction: stopped at any point, the "
                  "book keeps its old version whole. A book file is first copied beside itself "
                  "as BOOK.vN.bak (BOOK.vN.1.bak, ... when that exists: a copy is never "
                  "overwritten). A book on a server is not copied: back the database up first "
                  "and say so with --backed-up. Other commands refuse an older book and name "
                  "this one; a newer book needs a newer qts",
                  host::schema::kOldestUpgradableVersion, host::schema::kSchemaVersion));
  auto address = std::make_shared<std::string>();
  auto code = std::make_shared<std::string>();
  auto backed_up = std::make_shared<bool>(false);
  upgrade->add_option("--book", *address, kBookHelp)->required();
  upgrade->add_option("--code", *code, "the book's code, when the database holds several books");
  upgrade->add_flag("--backed-up", *backed_up,
                    "a book on a server: its database was backed up (pg_dump or the like); "
                    "without it the server's book is not upgraded");
  AddJsonFlag(*upgrade, "print JSON: the book, the versions before and after, the steps, the copy");
  upgrade->callback([=] {
    const host::BookUpgrade done = host::UpgradeBook(*address, *code, *backed_up);
    if (JsonOutput()) {
      return PrintJson(nlohmann::ordered_json{{"code", done.code},
                                              {"from", done.from},
                                              {"to", done.to},
                                              {"steps", done.steps},
                                              {"backup", done.backup}});
    }
    const std::string where = db::DescribeAddress(*address);
    if (done.from == done.to) {
      std::cout << fmt::format("book {} in {} is of version {} already: nothing to do\n", done.code,
                               where, done.to);
      return;
    }
    if (!done.backup.empty()) {
      std::cout << fmt::format("copied {} to {} (version {}, as it was)\n", where, done.backup,
                               done.from);
    }
    std::cout << fmt::format("upgraded book {} in {} from version {} to {}:\n", done.code, where,
                             done.from, done.to);
    for (const std::string& step : done.steps) std::cout << "  " << step << "\n";
    std::cout << fmt::format("qts book check --book {} checks the kept stock facts\n", where);
  });
}

}  // namespace

void AddBookCommands(CLI::App& app) {
  auto* book = app.add_subcommand("book", "create, copy, check and upgrade books");
  book->require_subcommand(1);
  AddCopyCommand(*book);
  AddCheckCommand(*book);
  AddUpgradeCommand(*book);

  auto* create = book->add_subcommand(
      "create",
      "create an empty book (schema, document types and settings) in a new file or on a "
      "PostgreSQL server");
  auto file = std::make_shared<std::string>();
  auto code = std::make_shared<std::string>("QTS");
  create
      ->add_option("FILE", *file,
                   "where to create the book: a new (or empty) SQLite file, or a PostgreSQL "
                   "server (postgresql://... or a libpq connection string) without a book of "
                   "that code. A file is built beside FILE (.FILE.<process>-<n>.new) and moved "
                   "to FILE only when complete; the next create removes what an interrupted "
                   "one left")
      ->required();
  create->add_option("--code", *code, "the book code: 1 to 16 letters, digits or '_'")
      ->capture_default_str();
  auto sample = std::make_shared<std::string>();
  auto seed = std::make_shared<uint64_t>(1);
  auto* sample_option =
      create->add_option("--sample", *sample,
                         "fill the book with a sample company: 'small' (tests) or 'large' (over a "
                         "million specification rows, benchmarks)");
  // Digits only (from_chars takes no sign, space or fraction): a sign or a number past the
  // largest seed would otherwise wrap into another.
  create->add_option("--seed", *seed, "the seed of the sample data: the same seed, the same book")
      ->check(
          [](const std::string& text) -> std::string {
            uint64_t value = 0;
            const char* end = text.data() + text.size();
            const auto [at, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || at != end) {
              return "the seed is a whole number from 0 to 18446744073709551615, not \"" + text +
                     "\"";
            }
            return {};
          },
          "")
      ->capture_default_str();
  auto scale = std::make_shared<double>(1);
  create
      ->add_option("--scale", *scale,
                   "with --sample: how many times the sample's documents to write (the "
                   "references stay as they are): 0.25, 0.5, 1, 2 ... up to 8 for the large "
                   "sample, whole numbers for the small one")
      ->capture_default_str()
      ->needs(sample_option);
  AddJsonFlag(*create, "print JSON: the book's code and file, what it holds");
  create->callback([=] {
    // Checked before the file is created, so a bad size leaves no file behind.
    const bool with_sample = !sample->empty();
    const host::sample::SampleSize size =
        with_sample ? host::sample::ParseSampleSize(*sample) : host::sample::SampleSize::kSmall;
    if (with_sample) (void)host::sample::DocumentsPerDay(size, *scale);
    // A book file is built beside its place and moved there only when complete: a creation
    // that stops half-way (an error, a kill) leaves no book at FILE.
    std::optional<host::NewBookFile> staged;
    if (!db::IsServerAddress(*file)) staged.emplace(*file);
    auto context = host::AppContext::CreateBook(staged ? staged->Path() : *file, *code);
    const std::string where = db::DescribeAddress(*file);
    std::ostringstream out;
    nlohmann::ordered_json json{{"code", context->Code()}, {"file", where}};
    if (with_sample) {
      try {
        host::sample::GenerateSampleBook(*context, size, *seed, *scale);
      } catch (...) {
        // The server held no such book: leave nothing behind (a file's temporary goes with
        // `staged`).
        if (!staged) RemoveBook(context, *file);
        throw;
      }
      const host::sample::BookCounts counts = host::sample::CountBook(*context);
      json["sample"] = *sample;
      json["seed"] = *seed;
      json["scale"] = *scale;
      json["tables"] = nlohmann::ordered_json::object();
      for (const auto& [table, n] : counts.tables) json["tables"][table] = n;
      json["documents"] = nlohmann::ordered_json::object();
      for (const auto& [type, n] : counts.documents) json["documents"][type] = n;
      out << fmt::format("created book {} in {} with the {} sample (seed {}{})\n", context->Code(),
                         where, *sample, *seed,
                         *scale == 1 ? std::string() : fmt::format(", scale {}", *scale));
      out << "  rows per table:\n";
      for (const auto& [table, n] : counts.tables) {
        out << fmt::format("    {:<28} {:>10}\n", table, n);
      }
      out << "  documents per type:\n";
      for (const auto& [type, n] : counts.documents) {
        out << fmt::format("    {:<28} {:>10}\n", type, n);
      }
    } else {
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
      json["tables"] = tables;
      json["views"] = views;
      json["parameterisedSources"] = derived;
      json["documentTypes"] = nlohmann::ordered_json::array();
      std::string types;
      for (const host::schema::DocTypeDef& t : host::schema::DocumentTypes()) {
        json["documentTypes"].push_back(t.code);
        types += (types.empty() ? "" : " ") + t.code;
      }
      json["settings"] = ListJson(context->Settings());
      out << fmt::format("created book {} in {}\n", context->Code(), where);
      out << fmt::format("  {} tables, {} views, {} parameterised sources\n", tables, views,
                         derived);
      out << fmt::format("  {} document types: {}\n", host::schema::DocumentTypes().size(), types);
      out << "  settings:\n";
      for (const host::NamedValuePtr& s : context->Settings().Entries()) {
        out << fmt::format("    {} = {}\n", s->Name(),
                           s->Value().IsNull() ? std::string() : CStr(s->Value()));
      }
    }
    // Closed (its log written into the file) before it is moved into place.
    context.reset();
    if (staged) staged->Commit();
    if (JsonOutput()) return PrintJson(json);
    std::cout << out.str();
  });
}

}  // namespace qts::cli
