// Test helpers: an in-memory book with the real schema, goods with units, and a few
// documents to hang rows on.
#ifndef QTS_HOST_DOCUMENTS_TESTING_DOC_BOOK_H_
#define QTS_HOST_DOCUMENTS_TESTING_DOC_BOOK_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/error.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/schema/testing/seed.h"
#include "host/testing/test_book.h"

namespace qts::host::testing {

// Goods G1 (units KG rate 1, T rate 1000) and G2 (unit VNT rate 1, BOX rate 12.5).
inline void SeedGoods(db::Connection& c, const std::string& code) {
  qts::host::schema::testing::Seed(
      c, "INSERT INTO \"" + code +
             "$REFGood\"(\"Code\",\"Name\") VALUES ('G1','Flour'),('G2','Boxes')");
  qts::host::schema::testing::Seed(
      c, "INSERT INTO \"" + code +
             "$REFGoodUnit\"(\"GoodCode\",\"UnitCode\",\"Rate\",\"IsAccount\") VALUES "
             "('G1','KG',1,1),('G1','T',1000,0),('G2','VNT',1,1),('G2','BOX',12.5,0)");
}

// The first column of the first row as a whole number; -1 without a row.
inline int64_t Scalar(db::Connection& c, const std::string& sql) {
  db::StatementHandle s = c.Prepare(sql);
  if (!s->Step()) return -1;
  return s->GetInt64(0);
}

// The first column of the first row, a money or quantity value (0 for no row or NULL).
inline Currency MoneyScalar(db::Connection& c, const std::string& sql) {
  db::StatementHandle s = c.Prepare(sql);
  if (!s->Step() || s->IsNull(0)) return Currency();
  return s->GetCurrency(0);
}

class DocBook : public ::testing::Test {
 protected:
  static constexpr const char* kCode = "D";

  void SetUp() override {
    book_ = NewTestBook(kCode);
    SeedGoods(Db(), kCode);
  }

  db::Connection& Db() { return book_->Connection(); }
  int64_t Count(const std::string& logical_table, const std::string& where = "1=1") {
    return Scalar(Db(), "SELECT COUNT(*) FROM \"" + std::string(kCode) + "$" + logical_table +
                            "\" WHERE " + where);
  }

  std::shared_ptr<AppContext> book_;
};

}  // namespace qts::host::testing

#endif  // QTS_HOST_DOCUMENTS_TESTING_DOC_BOOK_H_
