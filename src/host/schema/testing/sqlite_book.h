// Test helpers: a book's schema on an in-memory SQLite database, read back as text.
#ifndef QTS_HOST_SCHEMA_TESTING_SQLITE_BOOK_H_
#define QTS_HOST_SCHEMA_TESTING_SQLITE_BOOK_H_

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "db/sqlite/sqlite_connection.h"
#include "host/schema/schema.h"
#include "host/schema/testing/seed.h"

namespace qts::host::schema::sqlite_book {

using Db = std::unique_ptr<db::SqliteConnection>;

inline Db OpenMemory() { return db::SqliteConnection::Open(db::SqliteConnection::kMemory); }

inline void MustExec(db::Connection& db, const std::string& sql) {
  try {
    qts::host::schema::testing::Seed(db, sql);
  } catch (const Error& e) {
    FAIL() << e.Description() << "\n" << sql;
  }
}

// All rows of a query, each column rendered as text ("" for NULL).
inline std::vector<std::vector<std::string>> Rows(db::Connection& db, const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  db::StatementHandle stmt = db.Prepare(sql);
  while (stmt->Step()) {
    std::vector<std::string> row;
    for (int i = 0; i < stmt->ColumnCount(); ++i) {
      row.push_back(stmt->IsNull(i) ? "" : stmt->GetText(i));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

inline double Number(db::Connection& db, const std::string& sql) {
  db::StatementHandle stmt = db.Prepare(sql);
  if (!stmt->Step()) {
    ADD_FAILURE() << "no row: " << sql;
    return std::nan("");
  }
  return stmt->GetDouble(0);
}

inline void CreateBook(db::Connection& db, const std::string& code) {
  for (const std::string& sql : CreateStatements(code, Dialect::kSqlite)) MustExec(db, sql);
  for (const std::string& sql : InitialDataStatements(code, Dialect::kSqlite)) MustExec(db, sql);
}

// The first column of the first row, a money or quantity value, as a double.
inline double Money(db::Connection& db, const std::string& sql) {
  db::StatementHandle stmt = db.Prepare(sql);
  if (!stmt->Step()) {
    ADD_FAILURE() << "no row: " << sql;
    return std::nan("");
  }
  return stmt->GetCurrency(0).ToDouble();
}

// The text of a money cell as Rows renders it ("300000" on SQLite) as the money it holds ("30").
inline std::string MoneyText(const std::string& stored) {
  return Currency::FromScaled(std::stoll(stored)).ToString();
}

// A derived source of book `code`, translated for SQLite as the query builder runs it.
inline std::string Runnable(const std::string& code, const std::string& source,
                            const std::map<std::string, std::string>& literals) {
  return sql::Translate(SourceSql(source, literals), BookCatalogue(code), Dialect::kSqlite);
}

}  // namespace qts::host::schema::sqlite_book

#endif  // QTS_HOST_SCHEMA_TESTING_SQLITE_BOOK_H_
