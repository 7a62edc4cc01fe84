#include "host/services/vehicle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/testing/sample_book.h"
#include "host/sample/sample_book.h"
#include "host/schema/schema.h"
#include "host/schema/testing/seed.h"
#include "host/services/good_entry.h"

namespace qts::host {
namespace {

using testing::RowList;

// The sample book plus two vehicles' fuel: F1 fuel (sub-category 100), GAS gas (101).
//   V1: fuel lot 7, gas lot 8, fuelled from S2.  V2: fuel lot 9.  V0: no lot.
//   10 PISF posted 2026-02-01 S2 (supplier K1): 101 F1 100 l lot 7 (LT), 102 GAS 50 l lot 8.
//   11 PISF posted 2026-02-10 S2 (supplier K2): 111 F1 0.2 m3 = 200 l lot 7 (PL),
//      112 F1 30 l lot 9.
//   12 PISF not posted 2026-02-15: 121 F1 40 l lot 7.
//   13 TKL waybill 2026-02-28 of V1.
//   14 MMO posted 2026-02-28, parent 13: 141 F1 60 l lot 7 <- 101 (60).
//   15 MMO posted 2026-03-05: 151 F1 30 l lot 7 <- 101 (30); 152 GAS 20 l lot 8 <- 102 (20).
// Free now: 101 10 l, 102 30 l, 111 200 l (0.2 m3), 112 30 l.
void SeedFuel(db::Connection& c) {
  const std::vector<std::string> statements = {
      R"(INSERT INTO "T$REFGood"("Code","Name","IsGroup","Category","SubCategory","TrackingKind")
         VALUES ('F1','Diesel',0,0,100,100),('GAS','LPG',0,0,101,101))",
      R"(INSERT INTO "T$REFGoodUnit"("GoodCode","UnitCode","Rate","IsAccount") VALUES
         ('F1','L',1,1),('F1','M3',1000,0),('GAS','L',1,1))",
      R"(INSERT INTO "T$REFVehicle"("Code","Name","LotPropertyID","GasLotPropertyID","StoreCode")
         VALUES ('V1','Truck',7,8,'S2'),('V2','Van',9,0,'S2'),('V0','Bike',0,0,NULL))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
         "IsPosted","ParentID") VALUES (10,'PISF','F10','2026-02-01','S2',1,0),
         (11,'PISF','F11','2026-02-10','S2',1,0),(12,'PISF','F12','2026-02-15','S2',0,0),
         (13,'TKL','K13','2026-02-28','S2',0,0),(14,'MMO','W14','2026-02-28','S2',1,13),
         (15,'MMO','W15','2026-03-05','S2',1,0))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","LotPropertyID","CountryCode") VALUES
         (101,10,1,'F1','L',100,100,7,'LT'),(102,10,2,'GAS','L',50,50,8,'LT'),
         (111,11,1,'F1','M3',0.2,200,7,'PL'),(112,11,2,'F1','L',30,30,9,'PL'),
         (121,12,1,'F1','L',40,40,7,'LT'),(141,14,1,'F1','L',60,60,7,NULL),
         (151,15,1,'F1','L',30,30,7,NULL),(152,15,2,'GAS','L',20,20,8,NULL))",
      R"(INSERT INTO "T$THGoodSpecFixLog"("GoodCode","OutcomeSpecID","IncomeSpecID","Amount")
         VALUES ('F1',141,101,60),('F1',151,101,30),('GAS',152,102,20))",
      R"(INSERT INTO "T$THPartyAttribute"("DocID","RolePartyCode","PartyCode","PartyKind")
         VALUES (10,'PAR','K1',1),(10,'DB','P1',2),(11,'PAR','K2',1))",
  };
  for (const std::string& sql : statements) qts::host::schema::testing::Seed(c, sql);
}

class VehicleTest : public testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    SeedFuel(book_->Connection());
    vehicle_->Init(book_);
    ASSERT_TRUE(vehicle_->Load("V1"));
  }

  // The named columns of every row of an open query.
  static RowList Columns(Query& q, const std::vector<std::string>& names) {
    RowList rows;
    for (q.MoveFirst(); !q.Eof(); q.MoveNext()) {
      std::vector<std::string> row;
      for (const std::string& n : names) {
        const Variant& v = q.Fields().Item(n).Value();
        row.push_back(v.IsNull() ? "" : CStr(v));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  VehiclePtr vehicle_ = std::make_shared<Vehicle>();
};

TEST_F(VehicleTest, LoadReadsTheVehicleAndAnUnknownCodeClearsIt) {
  EXPECT_EQ(vehicle_->Code(), "V1");
  EXPECT_EQ(vehicle_->Name(), "Truck");
  EXPECT_EQ(vehicle_->LotPropertyID(), 7);
  EXPECT_EQ(vehicle_->GasLotPropertyID(), 8);
  EXPECT_EQ(vehicle_->StoreCode(), "S2");
  for (const char* code : {"V9", "", "V1' OR '1'='1"}) {
    EXPECT_FALSE(vehicle_->Load(code)) << code;
    EXPECT_EQ(vehicle_->Code(), "");
    EXPECT_EQ(vehicle_->LotPropertyID(), 0);
    EXPECT_THROW((void)vehicle_->RestList(2, "", "", -1), Error);
    EXPECT_THROW((void)vehicle_->IncomeList(), Error);
  }
}

TEST_F(VehicleTest, MisuseIsRefused) {
  Vehicle fresh;
  EXPECT_THROW((void)fresh.Load("V1"), Error);
  EXPECT_THROW(fresh.Init(nullptr), Error);
  for (int32_t what : {0, 3, -1}) {
    EXPECT_QTS_ERROR_TEXT(vehicle_->RestList(what, "", "", -1), kErrInvalidCall,
                          std::to_string(what));
  }
}

TEST_F(VehicleTest, RestListHoldsTheFreeReceiptRowsOfTheVehicleLotsOldestFirst) {
  QueryPtr rests = vehicle_->RestList(kVehicleRestFuelAndGas, "", "", -1);
  const std::vector<std::string> cols = {"SpecID", "GoodCode",    "UnitCode",       "SubCategory",
                                         "Rest",   "RestAccount", "CalcRestAccount"};
  // 112 belongs to another vehicle's lot, 121 is not posted, 141/151/152 are outgoing.
  EXPECT_EQ(Columns(*rests, cols), (RowList{{"101", "F1", "L", "100", "10", "10", "10"},
                                            {"102", "GAS", "L", "101", "30", "30", "30"},
                                            {"111", "F1", "M3", "100", "0.2", "200", "200"}}));
  EXPECT_EQ(Columns(*vehicle_->RestList(kVehicleRestFuel, "", "", -1), {"SpecID"}),
            (RowList{{"101"}, {"111"}}));
  EXPECT_EQ(Columns(*vehicle_->RestList(2, "GAS", "", -1), {"SpecID"}), (RowList{{"102"}}));
  EXPECT_TRUE(Columns(*vehicle_->RestList(2, "", "S1", -1), {"SpecID"}).empty());
  EXPECT_EQ(Columns(*vehicle_->RestList(2, "", "", 9), {"SpecID"}), (RowList{{"112"}}));
}

TEST_F(VehicleTest, ARowConsumedToTheLastUnitLeavesTheList) {
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","LotPropertyID") VALUES (153,15,3,'F1','L',10,10,7))");
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THGoodSpecFixLog"("GoodCode","OutcomeSpecID","IncomeSpecID","Amount")
         VALUES ('F1',153,101,9.9999))");
  EXPECT_EQ(Columns(*vehicle_->RestList(1, "", "", -1), {"SpecID", "RestAccount"}),
            (RowList{{"101", "0.0001"}, {"111", "200"}}));
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(UPDATE "T$THGoodSpecFixLog" SET "Amount" = 100000 WHERE "OutcomeSpecID" = 153)");  // 10
  EXPECT_EQ(Columns(*vehicle_->RestList(1, "", "", -1), {"SpecID"}), (RowList{{"111"}}));
}

// What a fuel write-off does with the list: a kind filter, a sum, and in-memory edits of the
// working column.
TEST_F(VehicleTest, RestListServesKindFiltersAndInMemoryEdits) {
  QueryPtr rests = vehicle_->RestList(2, "", "", -1);
  rests->AddResultFilter("SubCategory <> 101");
  RecordsetPtr rs = rests->OpenRecordset();
  Currency total;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    total = total + rs->Fields().Item("RestAccount").Value().AsCurrency();
  }
  EXPECT_EQ(total, Currency::FromLong(210));
  rs->MoveFirst();
  rs->Fields().Item("CalcRestAccount").SetValue(Variant(Currency::FromLong(4)));
  rs->Update();
  rests->AddResultFilter("CalcRestAccount > 5");
  EXPECT_EQ(Columns(*rests, {"SpecID"}), (RowList{{"111"}}));
}

TEST_F(VehicleTest, IncomeListsCountLinksExceptThoseOfTheParentsOwnWriteOff) {
  const std::vector<std::string> cols = {"SpecID",     "GoodCode", "SubCategory", "AmountAccount",
                                         "RestAmount", "Client",   "CountryCode"};
  EXPECT_EQ(Columns(*vehicle_->IncomeList(), cols),
            (RowList{{"101", "F1", "100", "100", "10", "K1", "LT"},
                     {"102", "GAS", "101", "50", "30", "K1", "LT"},
                     {"111", "F1", "100", "200", "200", "K2", "PL"}}));
  // Since the first receipt, redoing the write-off of waybill 13: its 60 l are not counted.
  EXPECT_EQ(
      Columns(*vehicle_->IncomeSince(Date::FromYmd(2026, 2, 1), 13), {"SpecID", "RestAmount"}),
      (RowList{{"101", "70"}, {"102", "30"}, {"111", "200"}}));
  // The day boundary: a receipt dated on the day counts, one before it does not; the time of
  // day does not matter.
  EXPECT_EQ(Columns(*vehicle_->IncomeSince(Date::FromYmdHms(2026, 2, 10, 18, 0, 0), 0), {"SpecID"}),
            (RowList{{"111"}}));
  EXPECT_TRUE(Columns(*vehicle_->IncomeSince(Date::FromYmd(2026, 2, 11), 0), {"SpecID"}).empty());
}

TEST_F(VehicleTest, AVehicleWithoutLotsHasNoFuel) {
  ASSERT_TRUE(vehicle_->Load("V0"));
  EXPECT_EQ(vehicle_->RestList(2, "", "", -1)->RecordCount(), 0);
  EXPECT_EQ(vehicle_->IncomeList()->RecordCount(), 0);
  ASSERT_TRUE(vehicle_->Load("V2"));
  EXPECT_EQ(Columns(*vehicle_->RestList(2, "", "", -1), {"SpecID", "RestAccount"}),
            (RowList{{"112", "30"}}));
}

// The generated sample book: every vehicle's rests per kind against the rows of the book read
// directly and summed here.
TEST(VehicleSampleBookTest, RestsMatchTheReceiptsLessTheirLinks) {
  auto book = AppContext::CreateBook(":memory:", "QTS");
  sample::GenerateSampleBook(*book, sample::SampleSize::kSmall, 42);
  db::Connection& c = book->Connection();
  auto table = [&](const char* logical) {
    return "\"" + schema::PhysicalName("QTS", logical) + "\"";
  };
  // Free accounting quantity (ten-thousandths) per lot, from posted receipt rows and the links.
  std::map<int64_t, int64_t> free_by_lot;
  {
    auto s = c.Prepare(
        "SELECT s.\"LotPropertyID\", s.\"AmountAccount\", (SELECT SUM(l.\"Amount\")"
        " FROM " +
        table("THGoodSpecFixLog") + " l WHERE l.\"IncomeSpecID\" = s.\"IDC\") FROM " +
        table("THGoodSpec") + " s JOIN " + table("THDocument") +
        " d ON d.\"IDC\" = s.\"DocID\" JOIN " + table("THDocType") +
        " t ON t.\"Code\" = d.\"DocTypeCode\" WHERE "
        "d.\"IsPosted\" = 1 AND t.\"IsStock\" = 1 AND t.\"IsIncome\" = 1 AND "
        "s.\"LotPropertyID\" <> 0");
    while (s->Step()) {
      const int64_t used = s->IsNull(2) ? 0 : s->GetCurrency(2).Scaled();
      free_by_lot[s->GetInt64(0)] += s->GetCurrency(1).Scaled() - used;
    }
  }
  auto codes = c.Prepare("SELECT \"Code\", \"LotPropertyID\", \"GasLotPropertyID\" FROM " +
                         table("REFVehicle") + " ORDER BY \"Code\"");
  Vehicle vehicle;
  vehicle.Init(book);
  int with_gas = 0;
  int vehicles = 0;
  while (codes->Step()) {
    ++vehicles;
    ASSERT_TRUE(vehicle.Load(codes->GetText(0)));
    const int64_t fuel_lot = codes->GetInt64(1);
    const int64_t gas_lot = codes->GetInt64(2);
    if (gas_lot != 0) ++with_gas;
    QueryPtr rests = vehicle.RestList(2, "", "", -1);
    std::map<int32_t, int64_t> by_kind;
    Date last;
    for (rests->MoveFirst(); !rests->Eof(); rests->MoveNext()) {
      const NamedValueList& f = rests->Fields();
      by_kind[f.Item("SubCategory").Value().AsLong()] +=
          f.Item("RestAccount").Value().AsCurrency().Scaled();
      const Date d = f.Item("DocumentDate").Value().AsDate();
      EXPECT_GE(d.Serial(), last.Serial()) << "rests not oldest first";
      last = d;
    }
    EXPECT_EQ(by_kind[kGoodKindFuel], free_by_lot[fuel_lot]) << codes->GetText(0);
    EXPECT_EQ(by_kind[kGoodKindGas], gas_lot == 0 ? 0 : free_by_lot[gas_lot]) << codes->GetText(0);
    EXPECT_GT(by_kind[kGoodKindFuel], 0) << "the December fuel is not written off yet";
  }
  EXPECT_GT(vehicles, 0);
  EXPECT_GT(with_gas, 0);
}

}  // namespace
}  // namespace qts::host
