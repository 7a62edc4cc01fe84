// Test helper: an in-memory book with the real schema and a few rows of goods, stores,
// documents, their rows, additional fields and fix-log links.
#ifndef QTS_HOST_DATA_TESTING_SAMPLE_BOOK_H_
#define QTS_HOST_DATA_TESTING_SAMPLE_BOOK_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/schema/testing/seed.h"
#include "host/testing/test_book.h"

namespace qts::host::testing {

inline constexpr const char* kSampleCode = "T";

// Goods: G1 (category 0) and G2 (category 1) below the group GR, G3 (category 0) without a
// group. Stores S1, S2. Documents: 1 PISF posted 2026-01-10 in S1 (rows G1 10 kg for 100,
// G2 5 pcs for 50); 2 PISF posted 2026-01-20 in S2 (G1 4 kg for 48); 3 MMO posted
// 2026-01-25 in S1 writing off 3 kg of G1 (linked to document 1's row), with additional row
// field WriteOffPrice 12.5; 4 PISF not posted (G3 7 l).
inline void SeedSample(db::Connection& c) {
  const std::vector<std::string> statements = {
      R"(INSERT INTO "T$REFGood"("Code","Name","ParentCode","IsGroup","Category") VALUES
         ('GR','Group',NULL,1,0),('G1','Flour','GR',0,0),('G2','Boxes','GR',0,1),
         ('G3','Oil',NULL,0,0))",
      R"(INSERT INTO "T$REFGoodUnit"("GoodCode","UnitCode","Rate","IsAccount") VALUES
         ('G1','KG',1,1),('G1','T',1000,0),('G2','VNT',1,1),('G3','L',1,1))",
      R"(INSERT INTO "T$STStore"("Code","Name","StoreKind") VALUES ('S1','Main','ST'),
         ('S2','Second','ABKR'))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
         "IsPosted","Author") VALUES (1,'PISF','P1','2026-01-10','S1',1,7),
         (2,'PISF','P2','2026-01-20','S2',1,8),(3,'MMO','W1','2026-01-25','S1',1,7),
         (4,'PISF','P3','2026-01-28','S1',0,7))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","Summa","CostSumm","SummVAT") VALUES
         (11,1,1,'G1','KG',10,10,100,100,21),(12,1,2,'G2','VNT',5,5,50,50,10.5),
         (21,2,1,'G1','KG',4,4,48,48,0),(31,3,1,'G1','KG',3,3,30,30,0),
         (41,4,1,'G3','L',7,7,70,70,0))",
      R"(INSERT INTO "T$MMOTHGoodSpec"("DocID","PosNumb","WriteOffPrice") VALUES (3,1,12.5))",
      R"(INSERT INTO "T$THGoodSpecFixLog"("GoodCode","OutcomeSpecID","IncomeSpecID","Amount")
         VALUES ('G1',31,11,3))",
  };
  for (const std::string& sql : statements) qts::host::schema::testing::Seed(c, sql);
}

class SampleBook : public ::testing::Test {
 protected:
  void SetUp() override {
    book_ = NewTestBook(kSampleCode);
    SeedSample(book_->Connection());
  }

  QueryPtr Q(std::string_view table) { return book_->CreateQuery(table); }

  // Every row of an open query, each value through CStr ("" for Null).
  static std::vector<std::vector<std::string>> Rows(Query& q) {
    std::vector<std::vector<std::string>> rows;
    for (q.MoveFirst(); !q.Eof(); q.MoveNext()) {
      std::vector<std::string> row;
      for (const NamedValuePtr& f : q.Fields().Entries()) {
        row.push_back(f->Value().IsNull() ? "" : CStr(f->Value()));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }
  static std::vector<std::vector<std::string>> OpenRows(Query& q) {
    q.Open();
    return Rows(q);
  }
  // A count through the backend, to prove a book unchanged.
  int64_t Count(const std::string& physical_table) {
    db::StatementHandle s =
        book_->Connection().Prepare("SELECT COUNT(*) FROM \"" + physical_table + "\"");
    EXPECT_TRUE(s->Step());
    return s->GetInt64(0);
  }

  std::shared_ptr<AppContext> book_;
};

using RowList = std::vector<std::vector<std::string>>;

}  // namespace qts::host::testing

#endif  // QTS_HOST_DATA_TESTING_SAMPLE_BOOK_H_
