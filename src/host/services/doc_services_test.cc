// The host's catalogue, specification, business-operation, user-default, dialog and lot
// services on a real in-memory book.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/data/testing/sample_book.h"
#include "host/documents/testing/doc_book.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/interfaces.h"
#include "host/schema/testing/seed.h"
#include "host/services/business_operations.h"
#include "host/services/doc_editor.h"
#include "host/services/doc_spec_service.h"
#include "host/services/document_service.h"
#include "host/services/good_entry.h"
#include "host/services/host_lot_handler.h"
#include "host/services/settings_store.h"
#include "host/services/user_defaults.h"
#include "host/testing/scoped_env.h"
#include "host/ui/scripted_operator.h"

namespace qts::host {
namespace {

using testing::SampleBook;

std::string SqlValueOf(Date day) {
  return SqlTools::Instance()->SqlValue(Variant(day), Kind::kDate);
}

std::string Str(const Variant& v) { return v.IsNull() || v.IsEmpty() ? "" : CStr(v); }

// Every row of a recordset, the named fields through CStr ("" for Null).
std::vector<std::vector<std::string>> ListRows(Recordset& rs,
                                               const std::vector<std::string>& names) {
  std::vector<std::vector<std::string>> rows;
  if (rs.RecordCount() == 0) return rows;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    std::vector<std::string> row;
    for (const std::string& n : names) row.push_back(Str(rs.Value(n)));
    rows.push_back(std::move(row));
  }
  return rows;
}

// The sample book plus a product P with two components and prices.
//   P: units PCS (accounting) and BOX (10 PCS); tracked kind 102 but tracking switched off.
//   Materials per PCS: 2 KG of G1; 500 G of M2 (units KG accounting, G 0.001); per BOX: 1 VNT
//   of G2. Prices "SC": G1 KG 3 from 2026-01-01 and 4 from 2026-02-01; M2 only per KG 8.
class CatalogueBook : public SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    auto& c = book_->Connection();
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$REFGood"("Code","Name","TrackingOff","TrackingKind") VALUES
                 ('P','Pie',1,102),('M2','Sugar',0,0),('F','Diesel',0,100))");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$REFGoodUnit"("GoodCode","UnitCode","Rate","IsAccount") VALUES
                 ('P','PCS',1,1),('P','BOX',10,0),('M2','KG',1,1),('M2','G',0.001,0),
                 ('F','L',1,1))");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$REFGoodMaterial"("ProductCode","ProductUnitCode","GoodCode",
                 "UnitCode","Amount","DirectCost","InDirectCost") VALUES
                 ('P','PCS','G1','KG',2,0.5,0.25),('P',NULL,'M2','G',500,0,0),
                 ('P','BOX','G2',NULL,1,0,0))");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$REFGoodPrice"("GoodCode","UnitCode","PriceKind","PriceDate",
                 "Price") VALUES ('G1','KG','SC','2026-01-01',3),('G1','KG','SC','2026-02-01',4),
                 ('G1','KG','PP','2026-01-01',99),('M2','KG','SC',NULL,8))");
  }
};

TEST_F(CatalogueBook, LoadReadsTheAttributesTheHandlersTest) {
  GoodEntry good;
  good.Init(book_);
  ASSERT_TRUE(good.Load("P"));
  EXPECT_EQ(good.Code(), "P");
  EXPECT_TRUE(good.TrackingOff());
  EXPECT_EQ(good.TrackingKind(), kGoodKindMarked);
  EXPECT_EQ(good.AccountUnit(), "PCS");
  ASSERT_TRUE(good.Load("F"));
  EXPECT_FALSE(good.TrackingOff());
  EXPECT_EQ(good.TrackingKind(), kGoodKindFuel);
  ASSERT_TRUE(good.Load("G2"));
  EXPECT_EQ(good.Category(), 1);
  EXPECT_EQ(good.ParentCode(), "GR");
  EXPECT_EQ(good.TrackingKind(), 0);
  EXPECT_EQ(*good.UnitRate("VNT"), Currency::FromLong(1));
  EXPECT_FALSE(good.UnitRate("BOX").has_value());
  // A code the catalogue does not hold leaves the entry empty.
  EXPECT_FALSE(good.Load("NOPE"));
  EXPECT_EQ(good.Code(), "");
  EXPECT_FALSE(good.TrackingOff());
  EXPECT_EQ(good.TrackingKind(), 0);
  EXPECT_FALSE(good.Load(""));
}

TEST_F(CatalogueBook, MaterialListConvertsTheProductQuantityThroughBothUnits) {
  GoodEntry good;
  good.Init(book_);
  ASSERT_TRUE(good.Load("P"));
  // 3 BOX = 30 PCS: G1 2 KG per PCS, M2 500 G = 0.5 KG per PCS, G2 1 VNT per BOX.
  RecordsetPtr list = good.MaterialList("BOX", Currency::FromLong(3));
  EXPECT_EQ(
      ListRows(*list, {"Good", "UnitCode", "AccountAmount", "Name"}),
      (std::vector<std::vector<std::string>>{
          {"G1", "KG", "60", "Flour"}, {"M2", "KG", "15", "Sugar"}, {"G2", "VNT", "3", "Boxes"}}));
  EXPECT_FALSE(list->Fields().Find("Amount").has_value());  // the engine then uses AccountAmount
  RecordsetPtr small = good.MaterialList("PCS", Currency::Parse("0.5").value());
  EXPECT_EQ(ListRows(*small, {"Good", "AccountAmount"}),
            (std::vector<std::vector<std::string>>{{"G1", "1"}, {"M2", "0.25"}, {"G2", "0.05"}}));
}

TEST_F(CatalogueBook, AProductWithoutComponentsGivesAnOpenEmptyListThatTakesARow) {
  GoodEntry good;
  good.Init(book_);
  ASSERT_TRUE(good.Load("G1"));
  RecordsetPtr list = good.MaterialList("T", Currency::FromLong(1));
  EXPECT_EQ(list->RecordCount(), 0);
  list->AddNew({"Good", "UnitCode", "AccountAmount"},
               {Variant("G1"), Variant("T"), Variant(Currency::FromLong(1))});
  EXPECT_EQ(list->RecordCount(), 1);
}

TEST_F(CatalogueBook, MaterialListsRefuseMisuse) {
  GoodEntry good;
  EXPECT_QTS_ERROR(good.Load("P"), kErrGoodEntry);  // no Init
  good.Init(book_);
  EXPECT_QTS_ERROR(good.MaterialList("PCS", Currency::FromLong(1)),
                   kErrGoodEntry);  // nothing loaded
  ASSERT_TRUE(good.Load("P"));
  EXPECT_QTS_ERROR(good.MaterialList("KG", Currency::FromLong(1)),
                   kErrGoodEntry);  // P is not counted in KG
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$REFGoodMaterial"("ProductCode","GoodCode","UnitCode","Amount")
         VALUES ('P','G3','BOTTLE',1))");
  // A component in a unit it does not list.
  EXPECT_QTS_ERROR_TEXT(good.MaterialList("PCS", Currency::FromLong(1)), kErrGoodEntry, "BOTTLE");
}

TEST_F(CatalogueBook, PricedListTakesThePriceValidOnTheDate) {
  GoodEntry good;
  good.Init(book_);
  ASSERT_TRUE(good.Load("P"));
  const std::vector<std::string> cols = {"Good",  "UnitCode",   "Amount",      "AccountAmount",
                                         "Price", "DirectCost", "InDirectCost"};
  // 2 PCS. G1: price of 2026-01-01 in January, of 2026-02-01 from February on; M2 is priced
  // per KG only, so its price per G is 8 x 0.001; G2 has no price.
  EXPECT_EQ(ListRows(*good.PricedMaterialList("PCS", Currency::FromLong(2), "SC",
                                              Date::FromYmd(2026, 1, 31)),
                     cols),
            (std::vector<std::vector<std::string>>{{"G1", "KG", "4", "4", "3", "1", "0.5"},
                                                   {"M2", "G", "1000", "1", "0.008", "0", "0"},
                                                   {"G2", "VNT", "0.2", "0.2", "0", "0", "0"}}));
  RecordsetPtr feb =
      good.PricedMaterialList("PCS", Currency::FromLong(2), "SC", Date::FromYmd(2026, 2, 1));
  feb->MoveFirst();
  EXPECT_EQ(Str(feb->Value("Price")), "4");
  // Before the first dated price there is none.
  RecordsetPtr dec =
      good.PricedMaterialList("PCS", Currency::FromLong(2), "SC", Date::FromYmd(2025, 12, 31));
  dec->MoveFirst();
  EXPECT_EQ(Str(dec->Value("Price")), "0");
}

// --- DocSpecService ---

class SpecServiceBook : public SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    service_.Init(book_);
  }
  DocSpecService service_;
};

TEST_F(SpecServiceBook, FreeAmountAgreesWithTheFreeRestSourceOnEveryDate) {
  // A second write-off of row 11 on 2026-02-05 so that links of two dates exist.
  auto& c = book_->Connection();
  qts::host::schema::testing::Seed(
      c, R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate",
               "StoreCode","IsPosted") VALUES (5,'MMO','W2','2026-02-05','S1',1))");
  qts::host::schema::testing::Seed(
      c, R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode",
               "Amount","AmountAccount") VALUES (51,5,1,'G1','KG',2,2))");
  qts::host::schema::testing::Seed(
      c, R"(INSERT INTO "T$THGoodSpecFixLog"("GoodCode","OutcomeSpecID","IncomeSpecID",
               "Amount") VALUES ('G1',51,11,2))");
  for (const Date day : {Date::FromYmd(2026, 1, 24), Date::FromYmd(2026, 1, 25),
                         Date::FromYmd(2026, 2, 4), Date::FromYmd(2026, 2, 5)}) {
    SCOPED_TRACE(day.ToIso());
    QueryPtr rows = Q("THGoodSpec");
    rows->SetAlias("gs");
    rows->Fields().KeepOnly({});
    QueryPtr docs = Q("THDocument");
    docs->Fields().KeepOnly({});
    rows->InnerJoin(docs, "d", "d.IDC = gs.DocID");
    rows->AddWhere("d.IsPosted = 1 AND d.DocTypeCode = 'PISF' AND d.DocumentDate <= " +
                   SqlValueOf(day));
    rows->Fields().AddColumn("SpecID", Kind::kLongId, "gs.IDC");
    rows->Fields().AddColumn("FreeAmount", Kind::kQuantity, service_.FreeAmountExpr(day, "gs"));
    rows->OrderBy("SpecID");
    QueryPtr rest = Q("THGoodSpecFreeRest");
    rest->Parameters().Item("DateRest").SetValue(Variant(day));
    rest->Fields().KeepOnly({"SpecID", "FreeAmount"});
    rest->OrderBy("SpecID");
    EXPECT_EQ(OpenRows(*rows), OpenRows(*rest));
  }
  // The figures themselves: row 11 had 10, 3 taken on 01-25 and 2 on 02-05.
  QueryPtr one = Q("THGoodSpec");
  one->Fields().KeepOnly({});
  one->AddWhere("oTable.IDC = 11");
  one->Fields().AddColumn("F", Kind::kQuantity,
                          service_.FreeAmountExpr(Date::FromYmd(2026, 1, 31), "oTable"));
  EXPECT_EQ(OpenRows(*one), (testing::RowList{{"7"}}));
  // Usable in a condition as well.
  QueryPtr cond = Q("THGoodSpec");
  cond->Fields().KeepOnly({"IDC"});
  cond->AddWhere(service_.FreeAmountExpr(Date::FromYmd(2026, 3, 1), "oTable") + " = 5");
  cond->OrderBy("IDC");
  EXPECT_EQ(OpenRows(*cond), (testing::RowList{{"11"}, {"12"}}));
}

TEST_F(SpecServiceBook, FreeAmountRefusesAnAliasThatIsNotAnIdentifier) {
  for (const char* alias : {"", "gs.x", "gs; DELETE", "1gs", "g s", "[gs]"}) {
    SCOPED_TRACE(alias);
    EXPECT_QTS_ERROR(service_.FreeAmountExpr(Date::FromYmd(2026, 1, 1), alias), kErrDocSpecService);
  }
}

TEST_F(SpecServiceBook, SpecListGivesTheRowsWithNamesLotsAndAdditionalFields) {
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$STLotProperty"("IDC","GoodCode","Name") VALUES (7,'G1','Lot seven'))");
  book_->Connection().Execute(R"(UPDATE "T$THGoodSpec" SET "LotPropertyID" = 7 WHERE "IDC" = 31)");
  RecordsetPtr list = service_.SpecList(3, "MMO", "", true, false);
  EXPECT_EQ(ListRows(*list, {"IDC", "PosNumb", "GoodCode", "GoodName", "UnitCode", "Amount",
                             "AccUnitCode", "LotName", "AddFld.WriteOffPrice"}),
            (std::vector<std::vector<std::string>>{
                {"31", "1", "G1", "Flour", "KG", "3", "KG", "Lot seven", "12.5"}}));
  // The document's own type is used when none is given; without additional fields none show.
  EXPECT_TRUE(service_.SpecList(3, "", "", true, false)->Fields().Find("AddFld.WriteOffPrice"));
  EXPECT_FALSE(
      service_.SpecList(3, "MMO", "", false, false)->Fields().Find("AddFld.WriteOffPrice"));
}

TEST_F(SpecServiceBook, SpecListFiltersGroupsAndAnswersEmptyForNoDocument) {
  auto& c = book_->Connection();
  qts::host::schema::testing::Seed(
      c, R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode",
               "Amount","AmountAccount","Summa") VALUES (13,1,3,'G1','KG',2,2,20))");
  EXPECT_EQ(ListRows(*service_.SpecList(1, "PISF", "", false, false), {"PosNumb", "GoodCode"}),
            (std::vector<std::vector<std::string>>{{"1", "G1"}, {"2", "G2"}, {"3", "G1"}}));
  EXPECT_EQ(ListRows(*service_.SpecList(1, "PISF", "g.Category = 1", false, false), {"GoodCode"}),
            (std::vector<std::vector<std::string>>{{"G2"}}));
  EXPECT_EQ(
      ListRows(*service_.SpecList(1, "PISF", "", false, true),
               {"GoodCode", "UnitCode", "Amount", "Summa"}),
      (std::vector<std::vector<std::string>>{{"G1", "KG", "12", "120"}, {"G2", "VNT", "5", "50"}}));
  EXPECT_EQ(service_.SpecList(999, "PISF", "", true, false)->RecordCount(), 0);
  EXPECT_EQ(service_.SpecList(999, "", "", true, false)->RecordCount(), 0);
  EXPECT_QTS_ERROR(service_.SpecList(1, "XYZ", "", true, false), kErrDocSpecService);
  DocSpecService unbound;
  EXPECT_QTS_ERROR(unbound.SpecList(1, "", "", true, false), kErrDocSpecService);
}

// --- BusinessOperations ---

struct OperationCase {
  const char* type;
  const char* currency;
  bool any;
  const char* expected;
};

class BusinessOperationsTest : public SampleBook,
                               public ::testing::WithParamInterface<OperationCase> {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    qts::host::schema::testing::Seed(
        book_->Connection(),
        R"(INSERT INTO "T$REFBusinessOperation"("Code","Name","DocTypeCode","CurrencyCode",
           "IsDefault") VALUES ('MMO-USD','','MMO','USD',1),('MMO-ANY','','MMO',NULL,1),
           ('MMO-EUR','','MMO','EUR',1),('MMO-EUR2','','MMO','EUR',0),('AAA','','MMO','EUR',0),
           ('PRSF-1','','PRSF','EUR',0),('PRSF-2','','PRSF',NULL,0),('MFC-GBP','','MFC','GBP',1))");
  }
};

TEST_P(BusinessOperationsTest, PicksTheDefaultOfTheTypeAndCurrency) {
  const OperationCase& c = GetParam();
  BusinessOperations operations;
  operations.Attach(book_);
  EXPECT_EQ(operations.DefaultOperation(c.type, c.currency, c.any), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BusinessOperationsTest,
    ::testing::Values(OperationCase{"MMO", "EUR", true, "MMO-EUR"},
                      OperationCase{"MMO", "USD", false, "MMO-USD"},
                      OperationCase{"MMO", "GBP", true, "MMO-ANY"},  // no currency fits all
                      OperationCase{"PRSF", "EUR", false, ""},       // no default at all
                      OperationCase{"PRSF", "EUR", true, "PRSF-1"},  // own currency first
                      OperationCase{"PRSF", "USD", true, "PRSF-2"},
                      OperationCase{"MFC", "EUR", true, ""},  // another currency never fits
                      OperationCase{"PISF", "EUR", true, ""}));

TEST(BusinessOperationsMisuse, WithoutABookItRaises) {
  BusinessOperations operations;
  EXPECT_QTS_ERROR(operations.DefaultOperation("MMO", "EUR", true), kErrBook);
}

// --- UserDefaults ---

class UserDefaultsTest : public SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    store_ = std::make_shared<SettingsStore>(dir_ / "settings.json");
  }
  ::qts::testing::TempDir dir_;
  std::shared_ptr<SettingsStore> store_;
};

TEST_F(UserDefaultsTest, LooksInTheBookThenTheUserStoreThenTheBookSetting) {
  ::qts::testing::ScopedEnv user("QTS_USER_ID", "7");
  UserDefaults defaults;
  defaults.Init(book_, store_);
  EXPECT_EQ(defaults.UserId(), 7);
  EXPECT_EQ(defaults.DefaultStore("MMO"), "");

  book_->Settings().Add("DefaultStore", Kind::kText, Variant("S2"));
  EXPECT_EQ(defaults.DefaultStore("MMO"), "S2");
  store_->SaveSetting("Halden Enterprise", "Defaults", "DefaultStore", "S1");
  EXPECT_EQ(defaults.DefaultStore("MMO"), "S1");
  store_->SaveSetting("Halden Enterprise", "Defaults", "DefaultStore.MMO", "GONE");  // skipped
  EXPECT_EQ(defaults.DefaultStore("MMO"), "S1");

  defaults.SetDefaultStore("", "S2");
  EXPECT_EQ(defaults.DefaultStore("MMO"), "S2");
  defaults.SetDefaultStore("MMO", "S1");
  EXPECT_EQ(defaults.DefaultStore("MMO"), "S1");
  EXPECT_EQ(defaults.DefaultStore("PISF"), "S2");
  EXPECT_EQ(defaults.DefaultStore(""), "S2");

  // Another user of the book has none of user 7's book settings.
  defaults.SetUserId(8);
  EXPECT_EQ(defaults.DefaultStore("MMO"), "S1");  // from the user store file
  defaults.SetUserId(7);
  defaults.SetDefaultStore("MMO", "");
  EXPECT_EQ(defaults.DefaultStore("MMO"), "S2");
}

TEST_F(UserDefaultsTest, RefusesToSaveAStoreTheBookDoesNotHold) {
  ::qts::testing::ScopedEnv user("QTS_USER_ID", "not a number");
  EXPECT_EQ(UserDefaults::CurrentUserId(), 0);
  UserDefaults defaults;
  defaults.Init(book_, store_);
  EXPECT_QTS_ERROR(defaults.SetDefaultStore("MMO", "NOPE"), kErrInvalidCall);
  EXPECT_EQ(Count("T$UserSettings"), 0);
}

// --- DocEditor ---

class DocEditorTest : public SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    op_ = std::make_shared<ScriptedOperator>();
    scope_ = std::make_unique<ScopedOperator>(op_);
  }
  void TearDown() override { scope_.reset(); }
  std::string Header(const std::string& column) {
    auto doc = std::make_shared<THDocument>(book_);
    EXPECT_TRUE(doc->Load(1));
    return Str(doc->Fields().Item(column).Value());
  }
  std::shared_ptr<ScriptedOperator> op_;
  std::unique_ptr<ScopedOperator> scope_;
};

TEST_F(DocEditorTest, ShowsTheDocumentAndWritesConfirmedEdits) {
  op_->AnswerForm(ScriptedForm{
      "frmDocument", true, {{"edName", Variant("Checked")}, {"cbStore", Variant("S2")}}});
  DocEditor editor(book_);
  EXPECT_TRUE(editor.Edit(1));
  ASSERT_EQ(op_->Forms().size(), 1u);
  const FormDescription& shown = op_->Forms()[0].form;
  EXPECT_EQ(shown.caption, "PISF P1");
  EXPECT_EQ(Str(shown.At("lblPosted").value), "taip");
  EXPECT_EQ(Str(shown.At("row2").value), "G2 VNT 5.000 x 0.0000 = 50.00");
  EXPECT_EQ(Header("Name"), "Checked");
  EXPECT_EQ(Header("StoreCode"), "S2");
  EXPECT_EQ(Header("DocumentDate"), Str(Variant(Date::FromYmd(2026, 1, 10))));
}

TEST_F(DocEditorTest, CancelAndBadValuesLeaveTheDocumentAsItWas) {
  DocEditor editor(book_);
  op_->AnswerForm(ScriptedForm{"frmDocument", false, {{"edName", Variant("X")}}});
  EXPECT_FALSE(editor.Edit(1));
  op_->AnswerForm(
      ScriptedForm{"frmDocument", true, {{"edName", Variant("X")}, {"cbStore", Variant("NOPE")}}});
  EXPECT_QTS_ERROR(editor.Edit(1), kErrDocEditor);
  EXPECT_EQ(Header("Name"), "");
  EXPECT_EQ(Header("StoreCode"), "S1");
  EXPECT_QTS_ERROR(editor.Edit(999), kErrDocEditor);
  EXPECT_EQ(op_->Forms().size(), 2u);  // the missing document showed nothing
}

// --- HostLotHandler ---

// The document handler a lot handler serves: only its document matters here.
class DocHandler : public Implements<ITHDoc> {
 public:
  explicit DocHandler(THDocumentPtr doc) : doc_(std::move(doc)) {}
  bool RecalcSpecVal(Variant&, Variant&) override { return false; }
  NamedValueListPtr CalcSpecColumns(const NamedValueListPtr&, const std::string&,
                                    const NamedValueListPtr&) override {
    return nullptr;
  }
  std::vector<std::string> CalcSpecColList() override { return {}; }
  THDocumentPtr Doc() override { return doc_; }
  void Init(const THDocumentPtr& doc) override { doc_ = doc; }
  int32_t InsertSpecRec(const NamedValueListPtr&) override { return 0; }
  bool UpdateAmount(int32_t, Currency) override { return false; }
  THGoodSpecPtr GoodSpec() override { return nullptr; }
  std::shared_ptr<ILotByTHDoc> LotByDoc() override { return nullptr; }
  void SetDefaultBoper(const std::string&) override {}
  std::string DefaultBoper() override { return {}; }
  int32_t ArticleCode(Variant&, Variant&) override { return 0; }
  int32_t MenuForGoodProperty() override { return 0; }

 private:
  THDocumentPtr doc_;
};

class LotHandlerTest : public SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    auto& c = book_->Connection();
    c.Execute(R"(UPDATE "T$REFGood" SET "TrackingKind" = 102 WHERE "Code" IN ('G1','G2'))");
    c.Execute(R"(UPDATE "T$REFGood" SET "TrackingOff" = 1 WHERE "Code" = 'G2')");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$STLotProperty"("IDC","GoodCode","Name","OrderInfo") VALUES
                 (7,'G1','Lot seven','C1:Client#12'),(8,NULL,'Any good',NULL))");
    // 4 of lot 7 in every store, bound as Currency, which each backend keeps its own way.
    c.Execute(R"(INSERT INTO "T$STLot"("GoodCode","UnitCode","StoreId","AnalytID","Rest",
                 "RestAccount") SELECT 'G1','KG',"IDC",7,CAST(?1 AS NUMERIC(19,4)),
                 CAST(?1 AS NUMERIC(19,4)) FROM "T$STStore")",
              {Currency::FromLong(4)});
    doc_ = std::make_shared<THDocument>(book_);
    ASSERT_TRUE(doc_->Load(1));
    handler_ = std::make_shared<DocHandler>(doc_);
    lots_ = std::dynamic_pointer_cast<HostLotHandler>(book_->CreateObject("HostLotHandler"));
    ASSERT_TRUE(lots_);
    lots_->Init(handler_);
  }
  std::string RowLot(int pos) {
    return std::to_string(
        testing::Scalar(book_->Connection(),
                        "SELECT \"LotPropertyID\" FROM \"T$THGoodSpec\" WHERE \"DocID\" = 1 "
                        "AND \"PosNumb\" = " +
                            std::to_string(pos)));
  }
  THDocumentPtr doc_;
  std::shared_ptr<DocHandler> handler_;
  std::shared_ptr<HostLotHandler> lots_;
};

TEST_F(LotHandlerTest, WritesAndReadsLotsOfTheDocumentsRows) {
  EXPECT_TRUE(lots_->IsUseLotOnStock());
  Variant pos(int32_t{1}), lot(int32_t{7});
  lots_->WriteLotProperty(pos, lot);
  EXPECT_EQ(RowLot(1), "7");
  // A lot of G1 cannot go on the G2 row; nothing changes.
  Variant pos2(int32_t{2});
  EXPECT_QTS_ERROR(lots_->WriteLotProperty(pos2, lot), kErrLotHandler);
  EXPECT_EQ(RowLot(2), "0");
  Variant none, missing(int32_t{99});
  lots_->SetCurrentPosNumb(2);
  Variant any(int32_t{8});
  lots_->WriteLotProperty(none, any);  // the current row
  EXPECT_EQ(RowLot(2), "8");
  EXPECT_QTS_ERROR(lots_->WriteLotProperty(missing, any), kErrLotHandler);
  EXPECT_QTS_ERROR(lots_->WriteLotProperty(pos, missing), kErrLotHandler);

  Variant zero(int32_t{0});
  lots_->WriteAllLotProperty(zero);
  EXPECT_EQ(RowLot(1), "0");
  EXPECT_EQ(RowLot(2), "0");
  lots_->WriteAllLotProperty(lot);  // only the rows of G1
  EXPECT_EQ(RowLot(1), "7");
  EXPECT_EQ(RowLot(2), "0");

  Variant read = lots_->ReadLotProperty(lot);
  auto list = std::dynamic_pointer_cast<NamedValueList>(read.AsObject());
  ASSERT_TRUE(list);
  EXPECT_EQ(Str(list->Item("GoodCode").Value()), "G1");
  EXPECT_EQ(Str(list->Item("OrderInfo").Value()), "C1:Client#12");
  EXPECT_EQ(Str(list->Item("RestAccount").Value()), "8");  // 4 in each of the two stores
  EXPECT_TRUE(lots_->ReadLotProperty(missing).IsNull());
  EXPECT_EQ(lots_->LotRest("S1", "G1", 7), Currency::FromLong(4));
  EXPECT_EQ(lots_->LotRest("S1", "G1", 0), Currency());
}

TEST_F(LotHandlerTest, FormDocumentSpecGivesTrackedRowsWithoutALotANewOne) {
  const int64_t before = Count("T$STLotProperty");
  lots_->FormDocumentSpec(nullptr);
  // G1 is tracked and gets a lot named after the row; G2's tracking is switched off.
  EXPECT_EQ(Count("T$STLotProperty"), before + 1);
  EXPECT_NE(RowLot(1), "0");
  EXPECT_EQ(RowLot(2), "0");
  EXPECT_EQ(testing::Scalar(book_->Connection(),
                            "SELECT COUNT(*) FROM \"T$STLotProperty\" WHERE \"Name\" = 'PISF P1/1'"
                            " AND \"GoodCode\" = 'G1' AND \"IDC\" = " +
                                RowLot(1)),
            1);
  lots_->FormDocumentSpec(nullptr);  // rows with a lot keep it
  EXPECT_EQ(Count("T$STLotProperty"), before + 1);
  // Serial numbers and accessories are not kept: nothing happens, nothing is raised.
  Variant a, b, c, d;
  lots_->SerNumbEdit(a);
  lots_->ItemAccesoryEdit(a, b, c, d);
}

TEST_F(LotHandlerTest, WithoutAHandlerOrAStoredDocumentItRaises) {
  HostLotHandler bare;
  Variant lot(int32_t{7});
  EXPECT_TRUE(bare.IsUseLotOnStock());
  EXPECT_QTS_ERROR(bare.WriteAllLotProperty(lot), kErrLotHandler);
  auto fresh = std::make_shared<THDocument>(book_);
  auto handler = std::make_shared<DocHandler>(fresh);
  bare.Init(handler);
  EXPECT_QTS_ERROR(bare.FormDocumentSpec(nullptr), kErrLotHandler);
}

// --- AppContext::CreateObject ---

class CreateObjectTest : public SampleBook {};

TEST_F(CreateObjectTest, MakesDocumentsAndServicesOfTheBook) {
  auto doc = std::dynamic_pointer_cast<THDocument>(book_->CreateObject("THDocument"));
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->Application(), book_);
  auto spec = std::dynamic_pointer_cast<THGoodSpec>(book_->CreateObject("thgoodspec"));
  ASSERT_TRUE(spec);
  EXPECT_TRUE(spec->MoveToID(31));
  auto good = std::dynamic_pointer_cast<GoodEntry>(book_->CreateObject("GoodEntry"));
  ASSERT_TRUE(good);
  EXPECT_TRUE(good->Load("G1"));  // bound to the book already
  auto specs = std::dynamic_pointer_cast<DocSpecService>(book_->CreateObject("DocSpecService"));
  ASSERT_TRUE(specs);
  EXPECT_EQ(specs->Application(), book_);
  for (const char* name : {"DocumentService", "BusinessOperations", "UserDefaults", "DocEditor"}) {
    EXPECT_TRUE(book_->CreateObject(name)) << name;
  }
  EXPECT_QTS_ERROR(book_->CreateObject("THGoodSpecFixLogX"), kErrCannotCreate);
  auto closed = std::make_shared<AppContext>("X");
  EXPECT_QTS_ERROR(closed->CreateObject("THDocument"), kErrBook);
  EXPECT_QTS_ERROR(closed->CreateObject("Nothing"), kErrCannotCreate);
}

}  // namespace
}  // namespace qts::host
