// Test helper for the document handlers: the sample book plus lot-tracked goods, business
// operations, an open write-off and a finished-goods receipt, and an operator that records the
// errors shown to the user.
#ifndef QTS_HANDLERS_TESTING_HANDLER_BOOK_H_
#define QTS_HANDLERS_TESTING_HANDLER_BOOK_H_

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/currency.h"
#include "core/error.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/testing/sample_book.h"
#include "host/documents/th_document.h"
#include "host/schema/testing/seed.h"
#include "host/services/error_reporter.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace qts::handlers::testing {

// Document identifiers added to the sample book.
inline constexpr int32_t kOpenWriteOff = 5;    // MMO "W2", EUR, row 51: G1 KG 3 (+ row G3 L 2)
inline constexpr int32_t kReceipt = 6;         // MFC "R1", EUR, row 61: G1 KG 4
inline constexpr int32_t kPostedWriteOff = 3;  // the sample's MMO, no currency, row 31

// Goods: F1 fuel (kind 100), F2 gas with tracking switched off, M3 marked (102), X9 of a kind
// that is not lot-tracked (99); G1..G3 of the sample have no kind. Lot properties 7 (F1) and 8
// (any good). Business operations of MMO: BO-X (USD, default), BO-E (EUR, default), BO-1 (no
// currency, not default); of MFC: BO-F (EUR, default).
inline void SeedHandlers(db::Connection& c) {
  const std::vector<std::string> statements = {
      R"(INSERT INTO "T$REFGood"("Code","Name","Category","TrackingOff","TrackingKind") VALUES
         ('F1','Diesel',0,0,100),('F2','Gas',0,1,101),('M3','Marked',0,0,102),
         ('X9','Other',0,0,99))",
      R"(INSERT INTO "T$REFGoodUnit"("GoodCode","UnitCode","Rate","IsAccount") VALUES
         ('F1','L',1,1),('F1','T',1200,0),('M3','VNT',1,1),('X9','VNT',1,1))",
      R"(INSERT INTO "T$STLotProperty"("IDC","GoodCode","Name") VALUES (7,'F1','Tank 1'),
         (8,NULL,'Any'))",
      R"(INSERT INTO "T$REFBusinessOperation"("Code","Name","DocTypeCode","CurrencyCode",
         "IsDefault") VALUES ('BO-X','Dollar','MMO','USD',1),('BO-E','Euro','MMO','EUR',1),
         ('BO-1','Plain','MMO',NULL,0),('BO-F','Receipt','MFC','EUR',1))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
         "IsPosted","CurrencyCode") VALUES (5,'MMO','W2','2026-02-01','S1',0,'EUR'),
         (6,'MFC','R1','2026-02-02','S1',0,'EUR'))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","Price","Summa","CostSumm") VALUES (51,5,1,'G1','KG',3,3,0,0,10),
         (52,5,2,'G3','L',2,2,0,0,5),(61,6,1,'G1','KG',4,4,2,8,8))",
      R"(INSERT INTO "T$MMOTHGoodSpec"("DocID","PosNumb") VALUES (5,1),(5,2))",
  };
  for (const std::string& sql : statements) qts::host::schema::testing::Seed(c, sql);
}

// One stored row as the test reads it back (money as scaled integers, 4 places).
struct StoredRow {
  int64_t idc = 0;
  int64_t pos = 0;
  std::string good;
  std::string unit;
  int64_t amount = 0;
  int64_t amount_account = 0;
  int64_t lot = 0;
  std::string boper;
};

// `x` (a money value the backend gives as a double) as a scaled integer.
inline int64_t Scaled(double x) { return std::llround(x * 10000.0); }

class HandlerBook : public host::testing::SampleBook {
 protected:
  HandlerBook()
      : operator_(std::make_shared<host::ScriptedOperator>()), scoped_operator_(operator_) {}

  void SetUp() override {
    SampleBook::SetUp();
    SeedHandlers(book_->Connection());
    book_->Settings().Item("AccountCurrency").SetValue(Variant("EUR"));
    host::CurrentError::Clear();
  }

  host::THDocumentPtr LoadDoc(int32_t idc) {
    auto doc = std::make_shared<host::THDocument>(book_);
    EXPECT_TRUE(doc->Load(idc)) << idc;
    return doc;
  }

  // A caller's row for InsertSpecRec; `amount` scaled by 10,000.
  static host::NamedValueListPtr Row(const std::string& good, const std::string& unit,
                                     int64_t amount, bool with_account = true) {
    auto row = std::make_shared<host::NamedValueList>();
    row->Add("GoodCode", host::Kind::kCode, Variant(good));
    row->Add("UnitCode", host::Kind::kCode, Variant(unit));
    row->Add("Amount", host::Kind::kQuantity, Variant(Currency::FromScaled(amount)));
    if (with_account) row->Add("AmountAccount", host::Kind::kQuantity, Variant(Currency()));
    return row;
  }

  // The stored rows of document `doc_id` by position.
  std::vector<StoredRow> Rows(int32_t doc_id) {
    db::StatementHandle s = book_->Connection().Prepare(
        "SELECT \"IDC\", \"PosNumb\", COALESCE(\"GoodCode\", ''), COALESCE(\"UnitCode\", ''),"
        " COALESCE(\"Amount\", 0), COALESCE(\"AmountAccount\", 0),"
        " COALESCE(\"LotPropertyID\", 0), COALESCE(\"BOperCode\", '') FROM \"T$THGoodSpec\""
        " WHERE \"DocID\" = ?1 ORDER BY \"PosNumb\"");
    s->BindInt64(1, doc_id);
    std::vector<StoredRow> rows;
    while (s->Step()) {
      rows.push_back(StoredRow{s->GetInt64(0), s->GetInt64(1), s->GetText(2), s->GetText(3),
                               s->GetCurrency(4).Scaled(), s->GetCurrency(5).Scaled(),
                               s->GetInt64(6), s->GetText(7)});
    }
    return rows;
  }

  // The first column of the first row as a double (NaN for Null or no row).
  double Number(const std::string& sql) {
    db::StatementHandle s = book_->Connection().Prepare(sql);
    if (!s->Step() || s->IsNull(0)) return std::nan("");
    return s->GetDouble(0);
  }
  // The same for a money or quantity column.
  double Money(const std::string& sql) {
    db::StatementHandle s = book_->Connection().Prepare(sql);
    if (!s->Step() || s->IsNull(0)) return std::nan("");
    return s->GetCurrency(0).ToDouble();
  }

  std::shared_ptr<host::ScriptedOperator> operator_;
  host::ScopedOperator scoped_operator_;
};

}  // namespace qts::handlers::testing

#endif  // QTS_HANDLERS_TESTING_HANDLER_BOOK_H_
