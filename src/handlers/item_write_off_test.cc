#include "handlers/item_write_off.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "engine/doc_engine.h"
#include "handlers/lot_by_mdoc.h"
#include "handlers/testing/handler_book.h"
#include "host/data/named_value_list.h"
#include "host/documents/table_layout.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/report/report_engine.h"
#include "host/schema/testing/seed.h"
#include "host/services/bar_code_tools.h"

namespace qts::handlers {
namespace {

using testing::HandlerBook;
using testing::kOpenWriteOff;
using testing::kPostedWriteOff;
using testing::StoredRow;

// Expected quantities and sums below are worked out by hand, scaled by 10,000: quantities are
// rounded to three places and sums to two, half away from zero.

int64_t ScaledOf(const Variant& v) { return CCur(v).Scaled(); }

class ItemWriteOffTest : public HandlerBook {
 protected:
  std::shared_ptr<CItemWriteOff> Handler(int32_t idc) {
    auto handler = std::make_shared<CItemWriteOff>();
    handler->Init(LoadDoc(idc));
    return handler;
  }
};

// ---- InsertSpecRec ------------------------------------------------------------------------

TEST_F(ItemWriteOffTest, SameItemAndUnitMergesIntoTheExistingRow) {
  auto handler = Handler(kOpenWriteOff);
  auto row = Row("G1", "KG", 12345);  // 1.2345 kg into row 51 (3 kg)
  EXPECT_EQ(handler->InsertSpecRec(row), 51);
  std::vector<StoredRow> rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 2u) << "no row added";
  EXPECT_EQ(rows[0].amount, 42350);  // 4.2345 -> 4.235
  EXPECT_EQ(rows[0].amount_account, 42350) << "KG has rate 1";
  EXPECT_EQ(ScaledOf(row->Item("AmountAccount").Value()), 12350)
      << "the caller learns what this insertion added";
  EXPECT_EQ(rows[1].amount, 20000) << "the other row is untouched";
}

TEST_F(ItemWriteOffTest, DifferentUnitOrItemAddsARowWithTheHandlersDefaults) {
  auto handler = Handler(kOpenWriteOff);
  handler->SetLotPropID(8);
  auto tons = Row("G1", "T", 15);  // 0.0015 t = 1.5 kg
  const int32_t idc = handler->InsertSpecRec(tons);
  std::vector<StoredRow> rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 3u);
  const StoredRow& added = rows[2];
  EXPECT_EQ(added.idc, idc);
  EXPECT_EQ(added.pos, 3) << "next position";
  EXPECT_EQ(added.good, "G1");
  EXPECT_EQ(added.unit, "T");
  EXPECT_EQ(added.amount, 15) << "a new row keeps the amount as given";
  EXPECT_EQ(added.amount_account, 15000) << "1.5 kg";
  EXPECT_EQ(added.lot, 8);
  EXPECT_EQ(added.boper, "BO-E") << "the type's default operation for the document's currency";
  EXPECT_EQ(ScaledOf(tons->Item("AmountAccount").Value()), added.amount_account);
  EXPECT_EQ(rows[0].amount, 30000) << "G1 in KG is another row";

  // A second insertion of the same item and unit now merges into the new row.
  auto more = Row("G1", "T", 25);
  EXPECT_EQ(handler->InsertSpecRec(more), idc);
  rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].amount, 40);  // 0.004 t
  EXPECT_EQ(rows[2].amount_account, 40000) << "4 kg";
  EXPECT_EQ(ScaledOf(more->Item("AmountAccount").Value()), 25000) << "2.5 kg more";

  // Another item in a unit the document already has is a row of its own.
  handler->InsertSpecRec(Row("X9", "VNT", 10000));
  handler->InsertSpecRec(Row("M3", "VNT", 10000));
  rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3].good, "X9");
  EXPECT_EQ(rows[4].good, "M3");
}

TEST_F(ItemWriteOffTest, ADocumentGoneFromTheBookTakesNoRowAndAddsNothing) {
  auto handler = Handler(kOpenWriteOff);
  // Another session removes the write-off while this handler still holds it.
  book_->Connection().Execute("DELETE FROM \"T$THGoodSpec\" WHERE \"DocID\" = ?1",
                              {int64_t{kOpenWriteOff}});
  book_->Connection().Execute("DELETE FROM \"T$THDocument\" WHERE \"IDC\" = ?1",
                              {int64_t{kOpenWriteOff}});
  const auto before = Count("T$THGoodSpec");
  auto row = Row("G1", "KG", 10000);
  row->Item("AmountAccount").SetValue(Variant(Currency::FromLong(99)));
  EXPECT_EQ(handler->InsertSpecRec(row), 0);
  EXPECT_EQ(Count("T$THGoodSpec"), before);
  EXPECT_EQ(CCur(row->Item("AmountAccount").Value()), Currency())
      << "nothing was written, so nothing was added";
}

// The merged quantity is rounded to three places, half away from zero.
struct MergeCase {
  int64_t added;  // scaled, to the row's 3 (30000)
  int64_t merged;
};
void PrintTo(const MergeCase& c, std::ostream* os) { *os << "added " << c.added << "/10000"; }

class MergeRounding : public ItemWriteOffTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(MergeRounding, SumIsRoundedToThreePlaces) {
  auto handler = Handler(kOpenWriteOff);
  const int64_t added = GetParam().added;
  handler->InsertSpecRec(Row("G1", "KG", added));
  std::vector<StoredRow> rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].amount, GetParam().merged) << added;
  EXPECT_EQ(rows[0].amount_account, rows[0].amount);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, MergeRounding,
                         ::testing::Values(MergeCase{4, 30000}, MergeCase{5, 30010},
                                           MergeCase{-4, 30000}, MergeCase{-5, 30000},
                                           MergeCase{12345, 42350}, MergeCase{-30000, 0},
                                           MergeCase{-35005, -5010}, MergeCase{9999995, 10030000}));

TEST_F(ItemWriteOffTest, MatchingIsLimitedToTheDocumentAndTakesCodesAsValues) {
  // Document 1 (a receipt) has G1 in KG as well; the write-off's own row is the one merged.
  auto handler = Handler(kOpenWriteOff);
  EXPECT_EQ(handler->InsertSpecRec(Row("G1", "KG", 10000)), 51);
  EXPECT_EQ(Money("SELECT \"Amount\" FROM \"T$THGoodSpec\" WHERE \"IDC\" = 11"), 10.0);

  // A code with a quote is a value, not SQL: it gets a row, then merges into it.
  const int32_t first = handler->InsertSpecRec(Row("O'Brien", "KG", 10000));
  EXPECT_EQ(handler->InsertSpecRec(Row("O'Brien", "KG", 10000)), first);
  std::vector<StoredRow> rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].good, "O'Brien");
  EXPECT_EQ(rows[2].amount, 20000);
  // Text compare is binary: another case is another item.
  handler->InsertSpecRec(Row("g1", "KG", 10000));
  EXPECT_EQ(Rows(kOpenWriteOff).size(), 4u);
}

TEST_F(ItemWriteOffTest, RowWithoutAccountingEntryIsLeftAsGiven) {
  auto handler = Handler(kOpenWriteOff);
  auto row = Row("G3", "L", 10000, /*with_account=*/false);
  EXPECT_EQ(handler->InsertSpecRec(row), 52);
  EXPECT_FALSE(row->ExistsField("AmountAccount"));
  EXPECT_EQ(row->Count(), 3u);
  EXPECT_EQ(Rows(kOpenWriteOff)[1].amount, 30000);
}

TEST_F(ItemWriteOffTest, BadRowsRaiseAndWriteNothing) {
  auto handler = Handler(kOpenWriteOff);
  const auto before = Count("T$THGoodSpec");
  // No "UnitCode" entry: error 9 naming it, before anything is written.
  auto no_unit = std::make_shared<host::NamedValueList>();
  no_unit->Add("GoodCode", host::Kind::kCode, Variant("G1"));
  no_unit->Add("Amount", host::Kind::kQuantity, Variant(Currency::FromLong(1)));
  EXPECT_QTS_ERROR(handler->InsertSpecRec(no_unit), kErrSubscript);
  // A Null amount cannot be added to the existing row: error 94, the row keeps its quantity.
  auto null_amount = Row("G1", "KG", 0);
  null_amount->Item("Amount").SetValue(Variant::Null());
  EXPECT_QTS_ERROR(handler->InsertSpecRec(null_amount), kErrInvalidUseOfNull);
  EXPECT_QTS_ERROR(handler->InsertSpecRec(nullptr), kErrObjectRequired);
  EXPECT_EQ(Count("T$THGoodSpec"), before);
  EXPECT_EQ(Rows(kOpenWriteOff)[0].amount, 30000);
  // Before Init the handler has no document.
  auto bare = std::make_shared<CItemWriteOff>();
  EXPECT_QTS_ERROR_FROM(bare->InsertSpecRec(Row("G1", "KG", 1)), kErrObjectRequired,
                        "CItemWriteOff::InsertSpecRec",
                        "the handler has no document: Init was not called");
}

TEST_F(ItemWriteOffTest, UnsavedDocumentGetsNoRow) {
  // Without a document the engine makes a new blank one in the host's current book.
  auto app = std::make_shared<host::ReportApp>();
  app->SetCurrentBook(book_);
  host::ScopedClientApplication scoped_app(app);
  auto handler = std::make_shared<CItemWriteOff>();
  handler->Init(nullptr);  // a new blank write-off, "IDC" 0
  ASSERT_NE(handler->Doc(), nullptr);
  EXPECT_EQ(CStr(handler->Doc()->Fields().Item("DocTypeCode").Value()), "MMO");
  const auto before = Count("T$THGoodSpec");
  auto row = Row("G1", "KG", 10000);
  row->Item("AmountAccount").SetValue(Variant(Currency::FromLong(99)));
  // The host refuses a row without a stored document; the caller's row stays as it was.
  EXPECT_QTS_ERROR(handler->InsertSpecRec(row), host::kErrDocument);
  EXPECT_EQ(Count("T$THGoodSpec"), before);
  EXPECT_EQ(CCur(row->Item("AmountAccount").Value()), Currency::FromLong(99));
}

// ---- DefaultBoper -------------------------------------------------------------------------

TEST_F(ItemWriteOffTest, DefaultBoperIsLookedUpOnceAndKept) {
  auto handler = Handler(kOpenWriteOff);
  EXPECT_EQ(handler->DefaultBoper(), "BO-E");
  // The book changes; the handler keeps what it found.
  book_->Connection().Execute("DELETE FROM \"T$REFBusinessOperation\"");
  EXPECT_EQ(handler->DefaultBoper(), "BO-E");
  handler->Init(LoadDoc(kPostedWriteOff));
  EXPECT_EQ(handler->DefaultBoper(), "BO-E") << "never cleared, not even by Init";
}

TEST_F(ItemWriteOffTest, DefaultBoperLookupFollowsTheDocumentsCurrency) {
  // The sample write-off has no currency: the operation without one is taken although it is
  // not marked default.
  EXPECT_EQ(Handler(kPostedWriteOff)->DefaultBoper(), "BO-1");
  book_->Connection().Execute(
      "UPDATE \"T$THDocument\" SET \"CurrencyCode\" = 'USD' WHERE \"IDC\" = 5");
  EXPECT_EQ(Handler(kOpenWriteOff)->DefaultBoper(), "BO-X");
}

TEST_F(ItemWriteOffTest, WrittenDefaultBoperWinsAndAnEmptyOneMeansLookUp) {
  auto handler = Handler(kOpenWriteOff);
  handler->SetDefaultBoper("DIALOG");
  EXPECT_EQ(handler->DefaultBoper(), "DIALOG");
  handler->InsertSpecRec(Row("M3", "VNT", 10000));
  EXPECT_EQ(Rows(kOpenWriteOff).back().boper, "DIALOG");
  handler->SetDefaultBoper("");
  EXPECT_EQ(handler->DefaultBoper(), "BO-E");

  // A lookup that finds nothing stays empty and is tried again at the next read.
  auto other = Handler(kOpenWriteOff);
  book_->Connection().Execute("DELETE FROM \"T$REFBusinessOperation\"");
  EXPECT_EQ(other->DefaultBoper(), "");
  qts::host::schema::testing::Seed(
      book_->Connection(),
      "INSERT INTO \"T$REFBusinessOperation\"(Code, Name, DocTypeCode) VALUES ('BO-L','L','MMO')");
  EXPECT_EQ(other->DefaultBoper(), "BO-L");

  auto bare = std::make_shared<CItemWriteOff>();
  EXPECT_QTS_ERROR(bare->DefaultBoper(), kErrObjectRequired);
  bare->SetDefaultBoper("X");
  EXPECT_EQ(bare->DefaultBoper(), "X") << "a written value needs no document";
}

// ---- CalcSpecColumns and the lot-property column ------------------------------------------

// A row of the grid as the host passes it.
host::NamedValueListPtr GridRow(const Variant& good, int64_t price, int64_t amount) {
  auto row = std::make_shared<host::NamedValueList>();
  row->Add("GoodCode", host::Kind::kCode, good);
  row->Add("Price", host::Kind::kQuantity, Variant(Currency::FromScaled(price)));
  row->Add("Amount", host::Kind::kQuantity, Variant(Currency::FromScaled(amount)));
  row->Add("LotPropertyID", host::Kind::kRowId, Variant(int32_t{0}));
  return row;
}

struct LotCase {
  const char* good;
  bool tracked;
};
void PrintTo(const LotCase& c, std::ostream* os) { *os << c.good; }

class LotColumn : public ItemWriteOffTest, public ::testing::WithParamInterface<LotCase> {};

TEST_P(LotColumn, ReportedOnlyForLotTrackedItems) {
  auto handler = Handler(kOpenWriteOff);
  handler->SetLotPropID(7);
  // Start from a result that already reports the lot, so that its removal is visible too.
  ASSERT_NE(handler->CalcSpecColumns(GridRow("F1", 0, 0), "GoodCode", nullptr), nullptr);
  host::NamedValueListPtr result =
      handler->CalcSpecColumns(GridRow(GetParam().good, 26750, 30000), "Price", nullptr);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(ScaledOf(result->Item("Summa").Value()), 80300) << "2.675 x 3 = 8.025 -> 8.03";
  const host::NamedValue* lot = result->Find("LotPropertyID");
  if (GetParam().tracked) {
    ASSERT_NE(lot, nullptr);
    EXPECT_EQ(CLng(lot->Value()), 7);
    EXPECT_EQ(lot->Kind(), Code(host::Kind::kRowId));
  } else {
    EXPECT_EQ(lot, nullptr);
  }
  EXPECT_TRUE(operator_->Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Goods, LotColumn,
                         ::testing::Values(LotCase{"F1", true}, LotCase{"M3", true},
                                           LotCase{"F2", false},  // tracking switched off
                                           LotCase{"X9", false},  // kind 99
                                           LotCase{"G1", false},  // no kind
                                           LotCase{"NOPE", false}));

TEST_F(ItemWriteOffTest, WithoutLotPropertyTheCalculatorsListComesBackUnchanged) {
  auto handler = Handler(kOpenWriteOff);
  host::NamedValueListPtr result =
      handler->CalcSpecColumns(GridRow("F1", 10000, 5), "Price", nullptr);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->Count(), 1u);
  EXPECT_EQ(result->At(0).Name(), "Summa");
  EXPECT_EQ(ScaledOf(result->Item("Summa").Value()), 0) << "1 x 0.0005 -> 0.00";
  EXPECT_EQ(handler->CalcSpecColList(),
            (std::vector<std::string>{"GoodCode", "Price", "Amount", "LotPropertyID"}));
}

TEST_F(ItemWriteOffTest, CalcSpecColumnsShowsItsErrorAndAnswersNull) {
  auto handler = Handler(kOpenWriteOff);
  handler->SetLotPropID(7);
  auto no_good = GridRow("F1", 1, 1);
  no_good->Exclude({"GoodCode"});
  EXPECT_EQ(handler->CalcSpecColumns(no_good, "Price", nullptr), nullptr);
  EXPECT_EQ(handler->CalcSpecColumns(GridRow(Variant::Null(), 1, 1), "Price", nullptr), nullptr);
  EXPECT_EQ(handler->CalcSpecColumns(nullptr, "Price", nullptr), nullptr);
  ASSERT_EQ(operator_->Errors().size(), 3u);
  EXPECT_EQ(operator_->Errors()[0].number, kErrSubscript);
  EXPECT_EQ(operator_->Errors()[1].number, kErrInvalidUseOfNull);
  EXPECT_EQ(operator_->Errors()[2].number, kErrObjectRequired);
}

// ---- Pricing: the SetPrice answer ---------------------------------------------------------

TEST_F(ItemWriteOffTest, WriteOffPricingRecalculatesRowsAndKeepsThePrice) {
  auto handler = Handler(kOpenWriteOff);
  handler->SetLotPropID(7);
  const int32_t fuel = handler->InsertSpecRec(Row("F1", "L", 20000));
  book_->Connection().Execute("UPDATE \"T$THGoodSpec\" SET \"CostSumm\" = ?1 WHERE \"IDC\" = 52",
                              {*Currency::Parse("5.005")});
  book_->Connection().Execute(
      "UPDATE \"T$THGoodSpec\" SET \"CostSumm\" = ?1, \"LotPropertyID\" = 0 WHERE \"IDC\" = ?2",
      {Currency::FromLong(7), int64_t{fuel}});
  // A later listener sees the row as the handler left it, with the cancel flag untouched.
  std::vector<std::pair<int64_t, int64_t>> seen;  // (Summa, WriteOffPrice) per row
  bool cancelled = false;
  Connection later =
      handler->MDocSupEngine()->SetPrice.Connect([&](host::NamedValueList& row, bool& cancel) {
        cancelled = cancelled || cancel;
        seen.emplace_back(ScaledOf(row.Item("Summa").Value()),
                          ScaledOf(row.Item("AddFld.WriteOffPrice").Value()));
      });
  std::shared_ptr<engine::IMMatDocSupport> mat = handler;
  mat->SetPriceWriteOff();
  EXPECT_FALSE(cancelled);
  ASSERT_EQ(seen.size(), 3u);

  // The price is the cost over the quantity at four places, the sum price x quantity at two.
  struct Expected {
    int32_t idc;
    int64_t price;
    int64_t summa;
    int64_t lot;
  };
  for (const Expected& e : {Expected{51, 33333, 100000, 0},      // 10 / 3; 9.9999 -> 10.00
                            Expected{52, 25025, 50100, 0},       // 5.005 / 2; 5.005 -> 5.01
                            Expected{fuel, 35000, 70000, 7}}) {  // 7 / 2
    const std::string where = " FROM \"T$THGoodSpec\" WHERE \"IDC\" = " + std::to_string(e.idc);
    EXPECT_EQ(testing::Scaled(Money("SELECT \"Price\"" + where)), e.price) << e.idc;
    EXPECT_EQ(testing::Scaled(Money("SELECT \"Summa\"" + where)), e.summa) << e.idc;
    EXPECT_EQ(Number("SELECT \"LotPropertyID\"" + where), static_cast<double>(e.lot)) << e.idc;
    EXPECT_EQ(
        testing::Scaled(Money(
            "SELECT a.\"WriteOffPrice\" FROM \"T$MMOTHGoodSpec\" a JOIN \"T$THGoodSpec\" s ON "
            "s.\"DocID\" = a.\"DocID\" AND s.\"PosNumb\" = a.\"PosNumb\" WHERE s.\"IDC\" = " +
            std::to_string(e.idc))),
        e.price)
        << e.idc;
  }
  EXPECT_TRUE(operator_->Errors().empty());
}

// ---- GenBarCode ---------------------------------------------------------------------------

struct BarCodeCase {
  const char* type;
  Variant number;
  int32_t idc;
  const char* code;  // "402", the body and its ISO 7064 MOD 97-10 check; "" for no bar code
};
void PrintTo(const BarCodeCase& c, std::ostream* os) {
  *os << c.type << " number " << (c.number.IsNull() ? "Null" : CStr(c.number)) << " IDC " << c.idc;
}

class BarCode : public ItemWriteOffTest, public ::testing::WithParamInterface<BarCodeCase> {};

TEST_P(BarCode, BuiltFromTypeDateAndNumber) {
  const BarCodeCase& c = GetParam();
  auto doc = std::make_shared<host::THDocument>(book_);
  auto& f = doc->Fields();
  f.Item("DocTypeCode").SetValue(Variant(c.type));
  f.Item("Number").SetValue(c.number);
  f.Item("DocumentDate").SetValue(Variant(Date::FromYmd(2026, 1, 27)));
  f.Item("IDC").SetValue(Variant(c.idc));
  auto handler = std::make_shared<CItemWriteOff>();
  handler->Init(doc);
  EXPECT_EQ(handler->GenBarCode(), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, BarCode,
    ::testing::Values(BarCodeCase{"PACK", Variant("12345"), 9, "402PACK2601271234539"},
                      BarCodeCase{"PISF", Variant("12345678"), 9, "402PISF2601271234567828"},
                      BarCodeCase{"PACK", Variant("A0041"), 9, "402PACK260127A004189"},
                      BarCodeCase{"PACK", Variant("1234"), 9, ""},       // number too short
                      BarCodeCase{"PACK", Variant("123456789"), 9, ""},  // number too long
                      BarCodeCase{"PACK", Variant::Null(), 9, ""},       // no number
                      BarCodeCase{"PACK", Variant("12345"), 0, ""},      // not saved
                      BarCodeCase{"PACKX", Variant("12345"), 9, ""}));   // type too long

TEST_F(ItemWriteOffTest, ShortTypeCodesArePaddedWithBlanksBeforeTheCheck) {
  // "MMO" becomes "MMO " in the body, and the blank counts in the check characters.
  auto handler = Handler(kOpenWriteOff);
  auto& f = handler->Doc()->Fields();
  f.Item("Number").SetValue(Variant("00041"));
  const std::string code = handler->GenBarCode();
  ASSERT_GE(code.size(), 9u);
  EXPECT_EQ(code.substr(0, 7), "402MMO ");
  const std::string checked = code.substr(3);  // the body and its check characters
  EXPECT_TRUE(host::BarCodeTools().IsValid(checked)) << code;
  std::string unpadded = checked;
  unpadded.erase(3, 1);
  EXPECT_FALSE(host::BarCodeTools().IsValid(unpadded)) << "the blank is part of the check";
  // No document at all: no bar code.
  EXPECT_EQ(std::make_shared<CItemWriteOff>()->GenBarCode(), "");
}

// ---- The interfaces ------------------------------------------------------------------------

TEST_F(ItemWriteOffTest, UpdateAmountMeansOneThingPerInterface) {
  auto handler = Handler(kOpenWriteOff);
  std::shared_ptr<host::ITHDoc> th = handler;
  std::shared_ptr<engine::IMMatDocSupport> mat = handler;
  EXPECT_FALSE(th->UpdateAmount(1, Currency::FromLong(9)));
  EXPECT_EQ(Rows(kOpenWriteOff)[0].amount, 30000) << "ITHDoc's UpdateAmount writes nothing";
  EXPECT_TRUE(mat->UpdateAmount(1, Currency::FromLong(9)));
  EXPECT_EQ(Rows(kOpenWriteOff)[0].amount, 90000);
  EXPECT_FALSE(mat->UpdateAmount(99, Currency::FromLong(9))) << "no such position";
}

TEST_F(ItemWriteOffTest, ITHDocInitServesAnotherDocumentAsIMDocSupportInitDoes) {
  auto handler = Handler(kOpenWriteOff);
  std::shared_ptr<host::ITHDoc> th = handler;
  std::shared_ptr<engine::IMDocSupport> sup = handler;
  th->Init(LoadDoc(kPostedWriteOff));

  EXPECT_EQ(CLng(sup->Doc()->Fields().Item("IDC").Value()), kPostedWriteOff);
  EXPECT_EQ(Count("T$THDocument"), 6) << "nothing was created";
}

TEST_F(ItemWriteOffTest, LotHandlerIsMadeOnceAndServesThisDocument) {
  auto handler = Handler(kOpenWriteOff);
  std::shared_ptr<host::ILotByTHDoc> lot = handler->LotByDoc();
  ASSERT_NE(lot, nullptr);
  EXPECT_EQ(handler->LotByDoc(), lot);
  auto typed = std::dynamic_pointer_cast<CLotByMDoc>(lot);
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(typed->THDoc(), std::static_pointer_cast<host::ITHDoc>(handler));
  Variant pos(int32_t{1}), id(int32_t{8});
  lot->WriteLotProperty(pos, id);
  EXPECT_EQ(Rows(kOpenWriteOff)[0].lot, 8);
}

TEST_F(ItemWriteOffTest, HandlerEngineAndLotHandlerAreReleasedTogether) {
  auto handler = Handler(kOpenWriteOff);
  (void)handler->LotByDoc();
  std::weak_ptr<CItemWriteOff> weak_handler = handler;
  std::weak_ptr<engine::CMDocSupport> weak_engine = handler->MDocSupEngine();
  std::weak_ptr<host::ILotByTHDoc> weak_lot = handler->LotByDoc();
  handler.reset();
  EXPECT_TRUE(weak_handler.expired());
  EXPECT_TRUE(weak_engine.expired());
  EXPECT_TRUE(weak_lot.expired());
}

TEST_F(ItemWriteOffTest, LateBoundMembers) {
  auto handler = Handler(kOpenWriteOff);
  ObjectPtr object = handler;
  CallByName(object, "lotpropid", InvokeKind::kPropertyPut, {Variant(int32_t{7})});
  EXPECT_EQ(handler->LotPropID(), 7);
  CallByName(object, "DefaultBoper", InvokeKind::kPropertyPut, {Variant("D1")});
  EXPECT_EQ(CStr(CallByName(object, "DefaultBoper", InvokeKind::kPropertyGet)), "D1");
  EXPECT_EQ(CStr(CallByName(object, "GenBarCode", InvokeKind::kMethod)), "")
      << "the sample number W2 is too short for a bar code";
  EXPECT_EQ(CallByName(object, "Doc", InvokeKind::kPropertyGet).AsObject(),
            std::static_pointer_cast<Object>(handler->Doc()));
  EXPECT_QTS_ERROR(CallByName(object, "InsertRows", InvokeKind::kMethod), kErrNoSuchMember);
}

TEST_F(ItemWriteOffTest, HandlerOutsideASharedReferenceIsRefusedClearly) {
  CItemWriteOff local;
  EXPECT_QTS_ERROR_FROM(local.Init(nullptr), kErrObjectRequired, "CItemWriteOff",
                        "the handler is not held by a shared reference (make it with make_shared)");
}

}  // namespace
}  // namespace qts::handlers
