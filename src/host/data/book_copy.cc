#include "host/data/book_copy.h"

#include <fmt/format.h>

#include <cmath>
#include <string>

#include "core/rounding.h"
#include "db/connection.h"
#include "db/value.h"
#include "host/data/app_context.h"
#include "host/sample/table_writer.h"
#include "host/schema/schema.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

// "SELECT <every column> FROM <table>" in T-SQL.
std::string SelectAll(const schema::SourceDef& table) {
  std::string columns;
  for (const schema::ColumnDef& c : table.columns) {
    columns += (columns.empty() ? "" : ", ") + std::string("[") + c.name + "]";
  }
  return "SELECT " + columns + " FROM [" + table.name + "]";
}

// One value in its column's own terms, the same on both backends.
std::string Normalised(const db::Value& value, const schema::ColumnDef& column) {
  if (value.IsNull()) return std::string("\x01N", 2);
  auto number = [&]() -> double {
    switch (value.Kind()) {
      case db::ValueKind::kInteger:
        return static_cast<double>(value.Int64());
      case db::ValueKind::kReal:
        return value.Double();
      case db::ValueKind::kText:
        return std::stod(value.Text());
      default:
        return NAN;
    }
  };
  switch (column.type) {
    case sql::SqlType::kNumber:
      // Read as money (CellValue): whole ten-thousandths.
      return value.Kind() == db::ValueKind::kMoney
                 ? std::to_string(value.Money().Scaled())
                 : fmt::format("{:.4f}", RoundDecimal(number(), 4));
    case sql::SqlType::kFloat:
      return fmt::format("{:.15g}", number());
    case sql::SqlType::kInteger:
    case sql::SqlType::kBoolean:
      return fmt::format("{}", static_cast<int64_t>(std::llround(number())));
    case sql::SqlType::kDate:
      return value.Kind() == db::ValueKind::kText ? value.Text().substr(0, 10) : value.ToLiteral();
    default:
      return value.Kind() == db::ValueKind::kText ? value.Text() : value.ToLiteral();
  }
}

// One cell as the copy moves it: money as Currency, each backend keeping it its own way.
db::Value CellValue(const db::Statement& row, int column, const schema::ColumnDef& def) {
  if (def.type == sql::SqlType::kNumber && !row.IsNull(column)) return row.GetCurrency(column);
  return row.GetValue(column);
}

uint64_t Mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

struct Digest {
  int64_t rows = 0;
  uint64_t sum = 0;
  uint64_t mixed_sum = 0;
};

Digest TableDigest(AppContext& book, const schema::SourceDef& table) {
  Digest digest;
  db::StatementHandle rows = book.PrepareTsql(SelectAll(table));
  while (rows->Step()) {
    uint64_t hash = 1469598103934665603ULL;  // FNV-1a over the row's values and separators
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const int column = static_cast<int>(c);
      for (char ch : Normalised(CellValue(*rows, column, table.columns[c]), table.columns[c])) {
        hash = (hash ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
      }
      hash = (hash ^ 0x1f) * 1099511628211ULL;
    }
    ++digest.rows;
    digest.sum += hash;
    digest.mixed_sum += Mix(hash);
  }
  return digest;
}

}  // namespace

std::shared_ptr<AppContext> CopyBook(AppContext& source, std::string_view target,
                                     std::vector<TableRows>* copied) {
  std::vector<TableRows> counts;
  auto fill = [&](db::Connection& connection, sql::Dialect dialect) {
    for (const schema::SourceDef& table : schema::Sources()) {
      if (table.kind != schema::SourceKind::kTable) continue;
      std::vector<std::string> columns;
      for (const schema::ColumnDef& c : table.columns) columns.push_back(c.name);
      sample::TableWriter writer(connection, source.Code(), table.name, columns);
      db::StatementHandle rows = source.PrepareTsql(SelectAll(table));
      std::vector<db::Value> values(columns.size());
      while (rows->Step()) {
        for (size_t c = 0; c < columns.size(); ++c) {
          values[c] = CellValue(*rows, static_cast<int>(c), table.columns[c]);
        }
        writer.Insert(values);
      }
      counts.push_back({table.name, writer.Count()});
    }
    for (const std::string& sql : schema::IdentityResetStatements(source.Code(), dialect)) {
      connection.Execute(sql);
    }
    for (const std::string& sql : schema::StatisticsStatements(source.Code(), dialect)) {
      connection.Execute(sql);
    }
  };
  std::shared_ptr<AppContext> copy = AppContext::CreateBook(target, source.Code(), false, fill);
  if (copied != nullptr) *copied = std::move(counts);
  return copy;
}

std::vector<TableComparison> CompareBooks(AppContext& left, AppContext& right) {
  std::vector<TableComparison> out;
  for (const schema::SourceDef& table : schema::Sources()) {
    if (table.kind != schema::SourceKind::kTable) continue;
    const Digest a = TableDigest(left, table);
    const Digest b = TableDigest(right, table);
    out.push_back({table.name, a.rows, b.rows,
                   a.rows == b.rows && a.sum == b.sum && a.mixed_sum == b.mixed_sum});
  }
  return out;
}

}  // namespace qts::host
