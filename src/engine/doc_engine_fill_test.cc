// The specification filling of CMDocSupport on a real in-memory book: material lists, labour,
// equipment, the events and their cancel flags, rollback of a failed run, the step errors.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "engine/doc_engine.h"
#include "engine/testing/engine_book.h"
#include "frame/define_module.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/report/report_engine.h"
#include "host/services/message_table.h"
#include "host/ui/mouse_pointer.h"

namespace qts::engine {
namespace {

using testing::EngineBook;

using testing::Stored;

using FillTest = EngineBook;

std::string Message(int32_t id) {
  frame::EnsureStarted();
  return frame::GetGlobals().MessageTable->GetText(id);
}

// The rows of document `doc`: position, good, unit, amount, accounting amount, price, sum.
std::string RowsOf(int32_t doc) {
  return "SELECT \"PosNumb\", \"GoodCode\", \"UnitCode\", \"Amount\", \"AmountAccount\", "
         "\"Price\", \"Summa\" FROM \"T$THGoodSpec\" WHERE \"DocID\" = " +
         std::to_string(doc) + " ORDER BY \"PosNumb\"";
}

// ---- Material lists ----

TEST_F(FillTest, MaterialListWritesOneRowPerComponentInTheAccountingUnit) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  engine->FillSpec("P1", "DEZ", Currency::FromLong(2), enCalcDocIn);
  // 2 dozen = 24 tables; per table 1.5 LAPAS of M1 (2.5 M2 each) and 2.5 VNT of M2.
  const double tables = 2 * 12;
  const double m1 = Stored(tables * 1.5 * 2.5);
  const double m2 = Stored(tables * 2.5);
  auto rows = Sql(RowsOf(testing::kMaterialDoc));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_EQ(rows[0][1], "M1");
  EXPECT_EQ(rows[0][2], "M2");
  EXPECT_DOUBLE_EQ(std::stod(rows[0][3]), m1);
  EXPECT_DOUBLE_EQ(std::stod(rows[0][4]), m1);  // recomputed by the rows object (rate 1)
  EXPECT_EQ(rows[1][0], "2");
  EXPECT_EQ(rows[1][1], "M2");
  EXPECT_DOUBLE_EQ(std::stod(rows[1][3]), m2);
  EXPECT_EQ(engine->AmountCol(), "AccountAmount");
  EXPECT_EQ(engine->StepKind(), kStepMaterials);
  EXPECT_EQ(engine->CountStep(), 2);
  EXPECT_EQ(engine->Caption(), Message(kMsgFillMaterials));
}

TEST_F(FillTest, ProductWithoutComponentsIsWrittenAsItself) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  engine->FillSpec("P3", "VNT", Currency::FromScaled(45000), enCalcDocIn);
  EXPECT_EQ(Sql(RowsOf(testing::kMaterialDoc)),
            (host::testing::RowList{{"1", "P3", "VNT", "4.5", "4.5", "0.0", "0.0"}}));
}

TEST_F(FillTest, MaterialVariantsDoNothingWithoutGoodUnitAmountOrKnownGood) {
  const auto before = Snapshot();
  struct Case {
    const char* good;
    const char* unit;
    int64_t amount;
  };
  for (int32_t variant : {enCalcDocIn, enCalcEquip}) {
    for (const Case& c :
         {Case{"", "VNT", 1}, Case{"P1", "", 1}, Case{"P1", "VNT", 0}, Case{"NOPE", "VNT", 1}}) {
      SCOPED_TRACE(std::string(c.good) + "/" + c.unit + "/" + std::to_string(variant));
      auto engine = Engine("MFC", testing::kMaterialDoc);
      engine->FillSpec(c.good, c.unit, Currency::FromLong(c.amount), variant);
      EXPECT_EQ(engine->MList(), nullptr);
      EXPECT_EQ(engine->CalcVariant(), variant);
    }
  }
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(FillTest, PricedMaterialListWritesPriceRoundedSumAndCosts) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  engine->FillSpec("P1", "VNT", Currency::FromLong(1), enCalcEquip);
  EXPECT_EQ(engine->AmountCol(), "Amount");
  // M1: 1.5 LAPAS at 3.3333 = 4.99995 -> 5.00; M2: 2.5 VNT at 0.05 = 0.125 -> 0.13 (half away
  // from zero, not to even).
  auto rows =
      Sql("SELECT s.\"GoodCode\", s.\"UnitCode\", s.\"Amount\", s.\"Price\", s.\"Summa\", "
          "a.\"DirectCost\", a.\"InDirectCost\" FROM \"T$THGoodSpec\" s JOIN \"T$MFCTHGoodSpec\" a "
          "ON a.\"DocID\" = s.\"DocID\" AND a.\"PosNumb\" = s.\"PosNumb\" WHERE s.\"DocID\" = 73 "
          "ORDER BY s.\"PosNumb\"");
  EXPECT_EQ(rows, (host::testing::RowList{{"M1", "LAPAS", "1.5", "3.3333", "5.0", "0.75", "0.25"},
                                          {"M2", "VNT", "2.5", "0.05", "0.13", "0.1", "0.05"}}));
  ASSERT_NE(engine->DocSupApp(), nullptr);
  EXPECT_EQ(engine->DocSupApp()->Owner(), engine);
}

TEST_F(FillTest, InsertSpecRecListenerChangesOrCancelsEachRow) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  std::vector<std::string> seen;
  Connection c = engine->InsertSpecRec.Connect(
      [&](host::NamedValueList& f, host::NamedValueList& a, bool& cancel) {
        seen.push_back(CStr(f.Item("GoodCode").Value()));
        EXPECT_TRUE(a.ExistsField("DirectCost"));
        if (CStr(f.Item("GoodCode").Value()) == "M1") {
          cancel = true;
        } else {
          f.Item("Amount").SetValue(Variant(Currency::FromLong(7)));
        }
      });
  engine->FillSpec("P1", "VNT", Currency::FromLong(1), enCalcDocIn);
  EXPECT_EQ(seen, (std::vector<std::string>{"M1", "M2"}));
  // The cancelled row is not written and takes no position.
  EXPECT_EQ(Sql(RowsOf(testing::kMaterialDoc)),
            (host::testing::RowList{{"1", "M2", "VNT", "7.0", "7.0", "0.0", "0.0"}}));
}

TEST_F(FillTest, AStepThatRaisesRollsTheWholeFillBackAndRestoresThePointer) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  const auto before = Snapshot();
  int calls = 0;
  Connection c =
      engine->InsertSpecRec.Connect([&](host::NamedValueList&, host::NamedValueList&, bool&) {
        if (++calls == 2) throw Error(kErrOverflow, "test", "second row");
      });
  host::SetMousePointer(host::MousePointer::kHourglass);
  EXPECT_QTS_ERROR(engine->FillSpec("P1", "VNT", Currency::FromLong(1), enCalcDocIn), kErrOverflow);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(Snapshot(), before);  // the first row, written before the failure, is gone
  EXPECT_EQ(host::CurrentMousePointer(), host::MousePointer::kHourglass);
  EXPECT_EQ(engine->SavedPointer(), -1);
  // The engine is usable again afterwards.
  c.Disconnect();
  engine->FillSpec("P1", "VNT", Currency::FromLong(1), enCalcDocIn);
  EXPECT_EQ(Sql(RowsOf(testing::kMaterialDoc)).size(), 2u);
  host::SetMousePointer(host::MousePointer::kDefault);
}

TEST_F(FillTest, TheRunShowsTheDefaultPointerAndPutsTheSavedOneBack) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  host::SetMousePointer(host::MousePointer::kIBeam);
  std::vector<std::tuple<host::MousePointer, int16_t>> during;
  Connection c =
      engine->InsertSpecRec.Connect([&](host::NamedValueList&, host::NamedValueList&, bool&) {
        during.emplace_back(host::CurrentMousePointer(), engine->SavedPointer());
      });
  engine->FillSpec("P3", "VNT", Currency::FromLong(1), enCalcDocIn);
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(std::get<0>(during[0]), host::MousePointer::kDefault);
  EXPECT_EQ(std::get<1>(during[0]), static_cast<int16_t>(host::MousePointer::kIBeam));
  EXPECT_EQ(host::CurrentMousePointer(), host::MousePointer::kIBeam);
  EXPECT_EQ(engine->SavedPointer(), -1);
  host::SetMousePointer(host::MousePointer::kDefault);
}

// ---- Labour ----

TEST_F(FillTest, LabourFillingWritesOneRowPerNormWithItsNormTimeSum) {
  auto engine = Engine("MNC", testing::kLabourDoc);
  std::vector<int32_t> updated;
  Connection c = engine->UpdateSpecRec.Connect(
      [&](host::NamedValueList& f, host::NamedValueList& a, bool& cancel) {
        updated.push_back(CLng(a.Item("PrSpecID").Value()));
        // The row was written before the event: it has its identifier.
        EXPECT_GT(CLng(f.Item("IDC").Value()), 0);
        f.Item("Price").SetValue(Variant(Currency::FromLong(999)));
        cancel = CLng(a.Item("PrSpecID").Value()) == 52;
      });
  engine->FillSpec("", "", Currency(), enCalcOper);
  EXPECT_EQ(engine->StepKind(), kStepOperations);
  EXPECT_EQ(engine->Caption(), Message(kMsgFillLabour));

  // Expected, from the order rows and the charts read directly.
  auto source = Sql(
      "SELECT s.\"IDC\", c.\"AssCode\", s.\"GoodCode\", s.\"UnitCode\", s.\"Amount\", "
      "l.\"WorkKind\", l.\"Rate\", l.\"NormTime\", l.\"AmountForRate\", l.\"DirectCost\", "
      "l.\"InDirectCost\", l.\"IsOnTimeRate\" FROM \"T$THGoodSpec\" s JOIN \"T$MFAssemblyChart\" c "
      "ON c.\"GoodCode\" = s.\"GoodCode\" JOIN \"T$MFACLabour\" l ON l.\"AssId\" = c.\"IDC\" "
      "WHERE s.\"DocID\" = 50");
  auto written =
      Sql("SELECT a.\"PrSpecID\", a.\"AssCode\", s.\"GoodCode\", s.\"UnitCode\", s.\"Amount\", "
          "a.\"WorkKind\", s.\"Price\", a.\"NormTime\", a.\"AmountForRate\", a.\"DirectCost\", "
          "a.\"InDirectCost\", a.\"IsOnTimeRate\", s.\"CostSumm\", a.\"SD1Proc\", a.\"VSDProc\", "
          "s.\"PosNumb\" FROM \"T$THGoodSpec\" s JOIN \"T$MNCTHGoodSpec\" a ON a.\"DocID\" = "
          "s.\"DocID\" AND a.\"PosNumb\" = s.\"PosNumb\" WHERE s.\"DocID\" = 70");
  ASSERT_EQ(source.size(), 5u);
  ASSERT_EQ(written.size(), source.size());
  std::map<std::pair<std::string, std::string>, std::vector<std::string>> by_key;
  for (const auto& w : written) by_key[{w[0], w[1]}] = w;
  for (const auto& s : source) {
    SCOPED_TRACE(s[0] + "/" + s[1]);
    ASSERT_EQ(by_key.count({s[0], s[1]}), 1u);
    const auto& w = by_key[{s[0], s[1]}];
    for (int i : {2, 3, 5}) EXPECT_EQ(w[i], s[i]);
    for (int i : {4, 7, 8, 9, 10, 11}) EXPECT_DOUBLE_EQ(std::stod(w[i]), std::stod(s[i]));
    // The listener's price is written back unless it cancelled (then the rate stays).
    EXPECT_DOUBLE_EQ(std::stod(w[6]), s[0] == "52" ? std::stod(s[6]) : 999.0);
    const double amount = std::stod(s[4]);
    const double rate_amount = std::stod(s[8]) != 0 ? std::stod(s[8]) : amount;
    const double cost = rate_amount == 0 ? 0 : std::stod(s[7]) * amount / rate_amount;
    EXPECT_DOUBLE_EQ(std::stod(w[12]), Stored(cost));
    EXPECT_DOUBLE_EQ(std::stod(w[13]), 12.5);
    EXPECT_DOUBLE_EQ(std::stod(w[14]), 3.0);
  }
  EXPECT_EQ(updated.size(), source.size());
  // Positions follow one another from 1.
  EXPECT_DOUBLE_EQ(Number("SELECT MAX(\"PosNumb\") FROM \"T$THGoodSpec\" WHERE \"DocID\" = 70"),
                   5.0);
}

TEST_F(FillTest, SimplifiedLabourFillingCountsWorkInTheWorkKindsUnit) {
  auto engine = Engine("MNC", testing::kLabourDoc);
  int inserted = 0;
  Connection c = engine->InsertSpecRec.Connect(
      [&](host::NamedValueList&, host::NamedValueList&, bool&) { ++inserted; });
  engine->FillSpecOperSimple(51);
  EXPECT_EQ(engine->CalcVariant(), kCalcOperSimple);
  EXPECT_EQ(engine->Caption(), Message(kMsgFillLabour));
  EXPECT_EQ(inserted, 2);
  // Order row 51: 2 tables. W1: norm 1.5 per 4 tables -> 0.75 H at 5.5; W2: norm 2 with no
  // rate quantity, so per the row's own amount -> 2 MIN at 3.
  auto rows =
      Sql("SELECT s.\"GoodCode\", s.\"UnitCode\", s.\"Amount\", s.\"Price\", a.\"DirectCost\", "
          "a.\"InDirectCost\" FROM \"T$THGoodSpec\" s JOIN \"T$MNCTHGoodSpec\" a ON a.\"DocID\" = "
          "s.\"DocID\" AND a.\"PosNumb\" = s.\"PosNumb\" WHERE s.\"DocID\" = 70 ORDER BY "
          "s.\"GoodCode\"");
  EXPECT_EQ(rows, (host::testing::RowList{{"W1", "H", "0.75", "5.5", "2.0", "1.0"},
                                          {"W2", "MIN", "2.0", "3.0", "0.5", "0.25"}}));
}

TEST_F(FillTest, SimplifiedLabourWithZeroAmountAndNoRateQuantityWritesZero) {
  auto engine = Engine("MNC", testing::kLabourDoc);
  engine->FillSpecOperSimple(53);  // 0 tables
  EXPECT_EQ(Sql("SELECT \"GoodCode\", \"Amount\" FROM \"T$THGoodSpec\" WHERE \"DocID\" = 70 "
                "ORDER BY \"GoodCode\""),
            (host::testing::RowList{{"W1", "0.0"}, {"W2", "0.0"}}));
}

// ---- Equipment ----

TEST_F(FillTest, EquipmentFillingTakesTheFirstFixedAssetObjectAndTheHandlersOperation) {
  auto engine = Engine("MAC", testing::kEquipDoc);
  engine->FillSpec("", "", Currency(), enCalcSimple);
  EXPECT_EQ(engine->Caption(), Message(kMsgFillEquipment));
  // Expected: each order row times the equipment of its operations, with the object of the
  // smallest use time of that equipment.
  auto expected = Sql(
      "SELECT s.\"IDC\", c.\"AssCode\", s.\"GoodCode\", s.\"Amount\", e.\"DirectCost\", "
      "e.\"InDirectCost\", f.\"FACode\", f.\"UseTime\", 'BO-7' FROM \"T$THGoodSpec\" s JOIN "
      "\"T$MFAssemblyChart\" c ON c.\"GoodCode\" = s.\"GoodCode\" JOIN \"T$MFACEquipment\" e ON "
      "e.\"AssId\" = c.\"IDC\" LEFT JOIN \"T$MFEqFAObject\" f ON f.\"EqCode\" = e.\"EqCode\" AND "
      "f.\"UseTime\" = (SELECT MIN(g.\"UseTime\") FROM \"T$MFEqFAObject\" g WHERE g.\"EqCode\" = "
      "e.\"EqCode\") WHERE s.\"DocID\" = 50 ORDER BY 1, 2");
  auto written = Sql(
      "SELECT a.\"PrSpecID\", a.\"OpCode\", s.\"GoodCode\", s.\"Amount\", a.\"DirectCost\", "
      "a.\"InDirectCost\", a.\"FACode\", a.\"UseTime\", s.\"BOperCode\" FROM \"T$THGoodSpec\" s "
      "JOIN \"T$MACTHGoodSpec\" a ON a.\"DocID\" = s.\"DocID\" AND a.\"PosNumb\" = s.\"PosNumb\" "
      "WHERE s.\"DocID\" = 72 ORDER BY 1, 2");
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(written, expected);
  EXPECT_EQ(expected[0][6], "FA-A");
  EXPECT_EQ(expected[1][6], "FA-C");
}

TEST_F(FillTest, EquipmentCostFillingPricesByDepreciationOverTheRateQuantity) {
  auto engine = Engine("MAE", testing::kCostDoc);
  engine->FillSpec("", "", Currency(), enCalcSimple);
  auto source =
      Sql("SELECT s.\"IDC\", s.\"AmountAccount\", e.\"EqCode\", k.\"Amount\", k.\"DeprecSum\", "
          "e.\"UseTime\" FROM \"T$THGoodSpec\" s JOIN \"T$MFAssemblyChart\" c ON c.\"GoodCode\" = "
          "s.\"GoodCode\" JOIN \"T$MFACEquipment\" e ON e.\"AssId\" = c.\"IDC\" JOIN "
          "\"T$MFEquipment\" k ON k.\"Code\" = e.\"EqCode\" WHERE s.\"DocID\" = 50 ORDER BY 1");
  auto written =
      Sql("SELECT a.\"PrSpecID\", s.\"AmountAccount\", a.\"EqCode\", a.\"AmountForDRate\", "
          "s.\"Price\", a.\"UseTime\", s.\"Summa\", a.\"FACode\" FROM \"T$THGoodSpec\" s JOIN "
          "\"T$MAETHGoodSpec\" a ON a.\"DocID\" = s.\"DocID\" AND a.\"PosNumb\" = s.\"PosNumb\" "
          "WHERE s.\"DocID\" = 71 ORDER BY 1");
  ASSERT_EQ(source.size(), 3u);
  ASSERT_EQ(written.size(), source.size());
  for (size_t i = 0; i < source.size(); ++i) {
    SCOPED_TRACE(source[i][0]);
    const auto& s = source[i];
    const auto& w = written[i];
    EXPECT_EQ(w[0], s[0]);
    EXPECT_EQ(w[2], s[2]);
    for (int k : {1, 3, 4, 5}) EXPECT_DOUBLE_EQ(std::stod(w[k]), std::stod(s[k]));
    const double account = std::stod(s[1]);
    const double rate_amount = std::stod(s[3]) != 0 ? std::stod(s[3]) : account;
    const double sum = rate_amount == 0 ? 0 : std::stod(s[4]) * account / rate_amount;
    EXPECT_DOUBLE_EQ(std::stod(w[6]), Stored(sum));
    EXPECT_EQ(w[7], "");  // no fixed-asset objects for equipment costs
  }
}

TEST_F(FillTest, NoOperationFillingForADocumentWithoutOrder) {
  const auto before = Snapshot();
  for (int32_t variant : {enCalcOper, enCalcSimple}) {
    auto engine = Engine("MNC", testing::kOrphanDoc);
    engine->FillSpec("", "", Currency(), variant);
    EXPECT_EQ(engine->DoList(), nullptr);
  }
  auto engine = Engine("MNC", testing::kOrphanDoc);
  engine->FillSpecOperSimple(51);
  EXPECT_EQ(engine->DoList(), nullptr);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(FillTest, CrSpecByAddRecFillsTheTypesDocumentOfTheOrderFromTheGivenRowOn) {
  auto app = std::make_shared<host::ReportApp>();
  app->SetCurrentBook(book_);
  host::ScopedClientApplication current(app);
  auto engine = std::make_shared<CMDocSupport>();
  engine->Init("MNC", handler_, nullptr);
  const auto before = Snapshot();
  engine->CrSpecByAddRec(0, 52);
  engine->CrSpecByAddRec(testing::kOrder, 0);
  engine->CrSpecByAddRec(999, 52);  // no MNC document for that order
  EXPECT_EQ(Snapshot(), before);

  engine->CrSpecByAddRec(testing::kOrder, 52);
  EXPECT_EQ(CLng(engine->Doc()->Fields().Item("IDC").Value()), testing::kLabourDoc);
  EXPECT_EQ(engine->CalcVariant(), enCalcOper);
  // Rows 52 (OP3) and 53 (OP1, OP2), not row 51.
  EXPECT_EQ(Sql("SELECT a.\"PrSpecID\", a.\"AssCode\" FROM \"T$MNCTHGoodSpec\" a WHERE "
                "a.\"DocID\" = 70 ORDER BY 1, 2"),
            (host::testing::RowList{{"52", "OP3"}, {"53", "OP1"}, {"53", "OP2"}}));

  auto cost = std::make_shared<CMDocSupport>();
  cost->Init("MAE", handler_, nullptr);
  cost->CrSpecByAddRec(testing::kOrder, 51);
  EXPECT_EQ(cost->CalcVariant(), enCalcSimple);
  EXPECT_DOUBLE_EQ(Number("SELECT COUNT(*) FROM \"T$THGoodSpec\" WHERE \"DocID\" = 71"), 3.0);
}

// ---- Step errors and captions ----

TEST_F(FillTest, AStepWithoutItsSourceRaisesTheEnginesError) {
  struct Case {
    std::function<void(CMDocSupport&)> prepare;
    std::string source;
    std::string description;
  };
  const std::vector<Case> cases = {
      {[](CMDocSupport&) {}, "CMDocSupport", "m_MList == Nothing"},
      {[](CMDocSupport& e) { e.FillSpecOperSimple(51); }, "CMDocSupport::FillSpecOperStepSimple",
       "m_DoList == Nothing"},
      {[](CMDocSupport& e) {
         e.FillSpecOperSimple(51);
         e.FillSpec("", "", Currency(), enCalcOper);
       },
       "CMDocSupport::FillSpecOperStep", "m_DoList == Nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    auto engine = Engine("MNC", testing::kOrphanDoc);
    c.prepare(*engine);
    EXPECT_QTS_ERROR_FROM(engine->Step(), kErrComponent, c.source, c.description);
  }
}

TEST_F(FillTest, AStepAtTheEndOfItsSourceDoesNothing) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  engine->FillSpec("P3", "VNT", Currency::FromLong(1), enCalcDocIn);
  const auto after_fill = Snapshot();
  ASSERT_TRUE(engine->MList()->Eof());
  engine->Step();
  EXPECT_EQ(Snapshot(), after_fill);
}

TEST_F(FillTest, TheEngineIsAProcessObjectForTheHost) {
  auto engine = Engine("MFC", testing::kMaterialDoc);
  EXPECT_EQ(TryQueryInterface<host::IProcessObject>(engine),
            std::static_pointer_cast<host::IProcessObject>(engine));
  EXPECT_EQ(engine->CountStep(), 0);  // nothing prepared yet
}

}  // namespace
}  // namespace qts::engine
