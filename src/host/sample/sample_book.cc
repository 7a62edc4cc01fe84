#include "host/sample/sample_book.h"

#include <fmt/format.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <string>

#include "core/currency.h"
#include "core/error.h"
#include "core/text.h"
#include "core/variant.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/documents/stock_facts.h"
#include "host/sample/sample_generator.h"
#include "host/schema/schema.h"

namespace qts::host::sample {
namespace {

int64_t CountRows(const AppContext& context, const std::string& table) {
  db::StatementHandle s = context.PrepareTsql("SELECT COUNT(*) FROM [" + table + "]");
  return s->Step() ? s->GetInt64(0) : 0;
}

// The generator writes the company's settings into the book; the open context read its
// settings before, so its list takes the written values (as the context would read them).
void RefreshSettings(AppContext& context) {
  db::StatementHandle s = context.PrepareTsql("SELECT Name, Value FROM Settings");
  while (s->Step()) {
    NamedValue* entry = context.Settings().Find(s->GetText(0));
    if (entry == nullptr) continue;
    const std::string text = s->IsNull(1) ? "" : s->GetText(1);
    if (entry->Kind() == Code(Kind::kMoney)) {
      std::optional<Currency> number = Currency::Parse(text);
      entry->SetValue(text.empty() ? Variant::Null() : number ? Variant(*number) : Variant(text));
    } else if (entry->Kind() == Code(Kind::kText)) {
      entry->SetValue(Variant(text));
    }
  }
}

}  // namespace

SampleSize ParseSampleSize(std::string_view text) {
  if (EqualsIgnoreCase(text, "small")) return SampleSize::kSmall;
  if (EqualsIgnoreCase(text, "large")) return SampleSize::kLarge;
  throw Error(kErrInvalidCall, "SampleBook",
              fmt::format("unknown sample size '{}': expected 'small' or 'large'", text));
}

int DocumentsPerDay(SampleSize size, double scale) {
  const double base = size == SampleSize::kSmall ? 1 : 160;
  constexpr double kMost = 8 * 160;
  const double wanted = base * scale;
  const double whole = std::round(wanted);
  if (!std::isfinite(wanted) || whole < 1 || whole > kMost || std::abs(wanted - whole) > 1e-9) {
    throw Error(kErrInvalidCall, "SampleBook",
                fmt::format("sample scale {} does not fit the {} sample: it writes {} documents "
                            "of each kind per working day, times the scale, which must come to "
                            "a whole number from 1 to {}",
                            scale, size == SampleSize::kSmall ? "small" : "large", base, kMost));
  }
  return static_cast<int>(whole);
}

void GenerateSampleBook(AppContext& context, SampleSize size, uint64_t seed, double scale) {
  const int per_day = DocumentsPerDay(size, scale);
  db::Connection& connection = context.Connection();
  const std::string& code = context.Code();
  for (const char* table : {"REFGood", "THDocument", "STStore", "REFPerson"}) {
    if (CountRows(context, table) != 0) {
      throw Error(kErrInvalidCall, "SampleBook",
                  fmt::format("book {} is not empty: {} has rows; a sample book needs a new book",
                              code, table));
    }
  }
  // A large book is many rows in one transaction: the backend prepares for it.
  struct LargeWrite {
    db::Connection& connection;
    bool active;
    ~LargeWrite() {
      if (!active) return;
      try {
        connection.HintLargeWrite(false);
      } catch (...) {  // a hint; a failure to undo it harms nothing
      }
    }
  } large{connection, size == SampleSize::kLarge};
  if (large.active) connection.HintLargeWrite(true);
  db::Transaction transaction(connection);
  {
    SampleGenerator generator(connection, code, size, seed, per_day);
    generator.WriteReferences();
    generator.WriteDocuments();
  }
  // The generator writes its links as rows; the consumption the stock sources read is kept
  // from them once, in the same transaction.
  StockFacts(connection, code).Rebuild();
  // The generator writes its rows with their keys; numbering goes on after them.
  for (const std::string& sql : schema::IdentityResetStatements(code, context.Dialect())) {
    connection.Execute(sql);
  }
  for (const std::string& sql : schema::StatisticsStatements(code, context.Dialect())) {
    connection.Execute(sql);
  }
  transaction.Commit();
  RefreshSettings(context);
}

BookCounts CountBook(AppContext& context) {
  BookCounts counts;
  for (const schema::SourceDef& s : schema::Sources()) {
    if (s.kind != schema::SourceKind::kTable) continue;
    const int64_t n = CountRows(context, s.name);
    if (n != 0) counts.tables.emplace_back(s.name, n);
  }
  db::StatementHandle by_type = context.PrepareTsql(
      "SELECT t.Code, COUNT(d.IDC) FROM THDocType t INNER JOIN THDocument d"
      " ON d.DocTypeCode = t.Code GROUP BY t.Code ORDER BY t.Code");
  while (by_type->Step()) counts.documents.emplace_back(by_type->GetText(0), by_type->GetInt64(1));
  return counts;
}

}  // namespace qts::host::sample
