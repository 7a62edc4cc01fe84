// Test helper for the engine's filling and pricing: the sample book plus a product catalogue
// with material lists and prices, an order with its manufacturing charts (operations, labour
// norms, equipment, fixed-asset objects), documents to fill and a write-off to price.
#ifndef QTS_ENGINE_TESTING_ENGINE_BOOK_H_
#define QTS_ENGINE_TESTING_ENGINE_BOOK_H_

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "db/connection.h"
#include "engine/doc_engine.h"
#include "host/data/app_context.h"
#include "host/data/testing/sample_book.h"
#include "host/documents/th_document.h"
#include "host/interfaces.h"
#include "host/schema/testing/seed.h"

namespace qts::engine::testing {

// Document identifiers of the engine book.
inline constexpr int32_t kOrder = 50;          // PIS: rows 51 (P1 x2), 52 (P2 x3), 53 (P1 x0)
inline constexpr int32_t kLabourDoc = 70;      // MNC made for the order
inline constexpr int32_t kCostDoc = 71;        // MAE made for the order
inline constexpr int32_t kEquipDoc = 72;       // MAC made for the order
inline constexpr int32_t kMaterialDoc = 73;    // MFC without order
inline constexpr int32_t kOrphanDoc = 74;      // MNC without order ("ParentID" 0)
inline constexpr int32_t kWriteOff = 80;       // MMO: rows 81..85
inline constexpr int32_t kEmptyWriteOff = 90;  // MMO without rows

// Products P1 (materials M1, M2 per unit: 1.5 LAPAS of M1 = 3.75 M2, and 2.5 VNT of M2), P2,
// P3 (no components); work kinds W1 (unit H), W2 (unit MIN).
//
// Charts: P1 has operations 1 (OP1: labour W1, equipment E1) and 2 (OP2: labour W2 with
// AmountForRate 0); P2 has operation 3 (OP3: labour W1 with AmountForRate 7, equipment E2).
// Equipment E1 (Amount 10, DeprecSum 100) has objects FA-B (UseTime 5) and FA-A (UseTime 2);
// E2 (Amount 0, DeprecSum 50) has FA-C (UseTime 9).
//
// Write-off 80: 81 G1 KG 3 CostSumm 10; 82 G2 (category 1) 2 CostSumm 7; 83 G3 L 0 CostSumm
// 5; 84 G1 KG 2 CostSumm 0.0005; 85 G1 T 1 Price 2.5 without additional row. Stock orders
// price 81 at 2.675 and 83 at 4.
inline void SeedEngine(db::Connection& c) {
  const std::vector<std::string> statements = {
      R"(INSERT INTO "T$REFGood"("Code","Name","ParentCode","IsGroup","Category") VALUES
         ('P1','Table',NULL,0,0),('P2','Chair',NULL,0,0),('P3','Stool',NULL,0,0),
         ('W1','Cutting',NULL,0,0),('W2','Painting',NULL,0,0),('M1','Board',NULL,0,0),
         ('M2','Screw',NULL,0,0))",
      R"(INSERT INTO "T$REFGoodUnit"("GoodCode","UnitCode","Rate","IsAccount") VALUES
         ('P1','VNT',1,1),('P1','DEZ',12,0),('P2','VNT',1,1),('P3','VNT',1,1),('W1','H',1,1),
         ('W1','MIN',0.0167,0),('W2','MIN',1,1),('M1','M2',1,1),('M1','LAPAS',2.5,0),
         ('M2','VNT',1,1))",
      R"(INSERT INTO "T$REFGoodMaterial"("ProductCode","ProductUnitCode","GoodCode","UnitCode",
         "Amount","DirectCost","InDirectCost") VALUES ('P1','VNT','M1','LAPAS',1.5,0.75,0.25),
         ('P1','VNT','M2','VNT',2.5,0.1,0.05))",
      R"(INSERT INTO "T$REFGoodPrice"("GoodCode","UnitCode","PriceKind","PriceDate","Price")
         VALUES ('M1','LAPAS','SC','2026-01-01',3.3333),('M2','VNT','SC',NULL,0.05),
         ('M2','VNT','PP',NULL,9))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","IsPosted",
         "ParentID") VALUES (50,'PIS','O1','2026-02-01',0,0),(70,'MNC','1','2026-02-02',0,50),
         (71,'MAE','1','2026-02-02',0,50),(72,'MAC','1','2026-02-02',0,50),
         (73,'MFC','1','2026-02-02',0,0),(74,'MNC','2','2026-02-02',0,0),
         (80,'MMO','9','2026-02-03',0,0),(90,'MMO','10','2026-02-03',0,0))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount") VALUES (51,50,1,'P1','VNT',2,2),(52,50,2,'P2','VNT',3,3),
         (53,50,3,'P1','VNT',0,0))",
      R"(INSERT INTO "T$MFAssemblyChart"("IDC","GoodCode","AssCode","Name") VALUES
         (1,'P1','OP1','Cut'),(2,'P1','OP2','Paint'),(3,'P2','OP3','Cut chair'))",
      R"(INSERT INTO "T$MFACLabour"("IDC","AssId","WorkKind","Rate","IsOnTimeRate","NormTime",
         "AmountForRate","DirectCost","InDirectCost") VALUES (1,1,'W1',5.5,1,1.5,4,2,1),
         (2,2,'W2',3,0,2,0,0.5,0.25),(3,3,'W1',7,1,1,7,1,0))",
      R"(INSERT INTO "T$MFEquipment"("Code","Name","Amount","DeprecSum") VALUES
         ('E1','Lathe',10,100),('E2','Saw',0,50))",
      R"(INSERT INTO "T$MFACEquipment"("IDC","AssId","EqCode","DirectCost","InDirectCost",
         "UseTime") VALUES (1,1,'E1',1,2,3),(2,3,'E2',0.5,0.5,4))",
      R"(INSERT INTO "T$MFEqFAObject"("IDC","EqCode","FACode","FAName","UseTime") VALUES
         (1,'E1','FA-B','B',5),(2,'E1','FA-A','A',2),(3,'E2','FA-C','C',9))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","Price","Summa","CostSumm") VALUES (81,80,1,'G1','KG',3,3,0,0,10),
         (82,80,2,'G2','VNT',2,2,0,0,7),(83,80,3,'G3','L',0,0,0,0,5),
         (84,80,4,'G1','KG',2,2,0,0,0.0005),(85,80,5,'G1','T',1,1000,2.5,2.5,9))",
      R"(INSERT INTO "T$MMOTHGoodSpec"("DocID","PosNumb","WriteOffPrice") VALUES
         (80,1,NULL),(80,2,NULL),(80,3,NULL),(80,4,NULL))",
      R"(INSERT INTO "T$STOrderSpec"("IDC","DocID","srcSpecID","GoodCode","UnitCode","Amount",
         "Price") VALUES (1,900,81,'G1','KG',3,2.675),(2,900,83,'G3','L',0,4))",
  };
  for (const std::string& sql : statements) qts::host::schema::testing::Seed(c, sql);
}

// A handler that answers the default business operation; the rest is not used by the engine.
class StubHandler final : public Implements<host::ITHDoc> {
 public:
  bool RecalcSpecVal(Variant&, Variant&) override { return false; }
  host::NamedValueListPtr CalcSpecColumns(const host::NamedValueListPtr&, const std::string&,
                                          const host::NamedValueListPtr&) override {
    return nullptr;
  }
  std::vector<std::string> CalcSpecColList() override { return {}; }
  host::THDocumentPtr Doc() override { return nullptr; }
  void Init(const host::THDocumentPtr&) override {}
  int32_t InsertSpecRec(const host::NamedValueListPtr&) override { return 0; }
  bool UpdateAmount(int32_t, Currency) override { return false; }
  host::THGoodSpecPtr GoodSpec() override { return nullptr; }
  std::shared_ptr<host::ILotByTHDoc> LotByDoc() override { return nullptr; }
  void SetDefaultBoper(const std::string&) override {}
  std::string DefaultBoper() override { return "BO-7"; }
  int32_t ArticleCode(Variant&, Variant&) override { return 0; }
  int32_t MenuForGoodProperty() override { return 0; }
};

class EngineBook : public host::testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    SeedEngine(book_->Connection());
    book_->Settings().Item("SDProc").SetValue(Variant(Currency::FromScaled(125000)));
    book_->Settings().Item("VSDProc").SetValue(Variant(Currency::FromScaled(30000)));
  }

  // An engine serving document `idc` of `type`.
  std::shared_ptr<CMDocSupport> Engine(const std::string& type, int32_t idc) {
    auto doc = std::make_shared<host::THDocument>(book_);
    EXPECT_TRUE(doc->Load(idc)) << idc;
    auto engine = std::make_shared<CMDocSupport>();
    engine->Init(type, handler_, doc);
    return engine;
  }

  // Rows of a plain SQL query over the book, each value as text (schema::testing::CellText).
  std::vector<std::vector<std::string>> Sql(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    db::StatementHandle s = book_->Connection().Prepare(sql);
    while (s->Step()) {
      std::vector<std::string> row;
      for (int i = 0; i < s->ColumnCount(); ++i) {
        row.push_back(qts::host::schema::testing::CellText(*s, i));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }
  double Number(const std::string& sql) {
    db::StatementHandle s = book_->Connection().Prepare(sql);
    EXPECT_TRUE(s->Step()) << sql;
    return s->IsNull(0) ? std::nan("") : s->GetDouble(0);
  }
  // The same for a money or quantity column.
  double Money(const std::string& sql) {
    db::StatementHandle s = book_->Connection().Prepare(sql);
    EXPECT_TRUE(s->Step()) << sql;
    return s->IsNull(0) ? std::nan("") : s->GetCurrency(0).ToDouble();
  }
  // Every stored row and additional row, to prove the book unchanged.
  std::vector<std::vector<std::string>> Snapshot() {
    auto rows = Sql("SELECT * FROM \"T$THGoodSpec\" ORDER BY \"IDC\"");
    for (const char* type : {"MMO", "MNC", "MAE", "MAC", "MFC"}) {
      auto add = Sql(std::string("SELECT * FROM \"T$") + type +
                     "THGoodSpec\" ORDER BY \"DocID\", \"PosNumb\"");
      rows.insert(rows.end(), add.begin(), add.end());
    }
    return rows;
  }

  std::shared_ptr<StubHandler> handler_ = std::make_shared<StubHandler>();
};

// `x` rounded to four places, as a money column stores it.
inline double Stored(double x) { return std::round(x * 10000.0) / 10000.0; }

}  // namespace qts::engine::testing

#endif  // QTS_ENGINE_TESTING_ENGINE_BOOK_H_
