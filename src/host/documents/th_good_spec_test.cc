#include "host/documents/th_good_spec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/convert.h"
#include "core/testing/qts_matchers.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/sql_tools.h"
#include "host/documents/testing/doc_book.h"
#include "host/documents/th_document.h"
#include "host/schema/testing/seed.h"
#include "sql/sql_error.h"

namespace qts::host {
namespace {

using testing::DocBook;

Currency Cy(double v) { return Currency::FromDouble(v); }

class THGoodSpecTest : public DocBook {
 protected:
  void SetUp() override {
    DocBook::SetUp();
    mmo_ = NewDocument("MMO", "1");
    pisf_ = NewDocument("PISF", "1");
  }

  int32_t NewDocument(const std::string& type, const std::string& number) {
    THDocument doc(book_);
    doc.BeginInsert();
    doc.Fields().Item("DocTypeCode").SetValue(Variant(type));
    doc.Fields().Item("Number").SetValue(Variant(number));
    return doc.EndInsert();
  }

  // Adds a row the way the write-off handler does and returns its IDC.
  int32_t AddRow(THGoodSpec& spec, int32_t doc, const char* good, const char* unit, double amount,
                 double amount_account = 0) {
    spec.AddNew();
    NamedValueList& f = spec.Fields();
    f.Item("DocID").SetValue(Variant(doc));
    f.Item("PosNumb").SetValue(Variant(spec.NextPosNumb()));
    f.Item("GoodCode").SetValue(Variant(good));
    f.Item("UnitCode").SetValue(Variant(unit));
    f.Item("Amount").SetValue(Variant(Cy(amount)));
    f.Item("AmountAccount").SetValue(Variant(Cy(amount_account)));
    EXPECT_TRUE(spec.Update());
    return spec.Fields().Item("IDC").Value().AsLong();
  }

  Currency Stored(const std::string& column, int32_t idc) {
    db::StatementHandle s =
        Db().Prepare("SELECT \"" + column + "\" FROM \"D$THGoodSpec\" WHERE \"IDC\" = ?1");
    s->Bind(1, db::Value(idc));
    EXPECT_TRUE(s->Step());
    return s->GetCurrency(0);
  }

  int32_t mmo_ = 0;
  int32_t pisf_ = 0;
};

TEST_F(THGoodSpecTest, AmountAccountComesFromTheUnitRateAndIsReadBack) {
  struct Case {
    const char* good;
    const char* unit;
    double amount;
    double amount_account;  // as given; 0 asks the host to compute it
    double expected;
  };
  const std::vector<Case> cases = {
      {"G1", "T", 1.5, 0, 1500},         // 1 T = 1000 KG
      {"G1", "KG", 2.125, 0, 2.125},     // the accounting unit
      {"G2", "BOX", 3, 0, 37.5},         // a fractional rate
      {"G2", "PAL", 4, 0, 4},            // a unit the good does not list counts 1
      {"G1", "T", 2, 1999.5, 1999.5},    // a value the caller set is kept
      {"G2", "BOX", 0.0001, 0, 0.0012},  // Currency product: 0.00125 half to even
  };
  THGoodSpec spec(book_);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.good) + " " + c.unit);
    int32_t idc = AddRow(spec, mmo_, c.good, c.unit, c.amount, c.amount_account);
    EXPECT_EQ(spec.Fields().Item("AmountAccount").Value().AsCurrency(), Cy(c.expected));
    THGoodSpec reader(book_);
    ASSERT_TRUE(reader.MoveToID(idc));
    EXPECT_EQ(reader.Fields().Item("AmountAccount").Value().AsCurrency(), Cy(c.expected));
    EXPECT_EQ(reader.Fields().Item("Amount").Value().AsCurrency(), Cy(c.amount));
  }
}

TEST_F(THGoodSpecTest, RowSumIsComputedOnlyWhenMissing) {
  THGoodSpec spec(book_);
  spec.AddNew();
  spec.Fields().Item("DocID").SetValue(Variant(mmo_));
  spec.Fields().Item("Amount").SetValue(Variant(Cy(3)));
  spec.Fields().Item("Price").SetValue(Variant(Cy(1.3333)));
  ASSERT_TRUE(spec.Update());
  int32_t idc = spec.Fields().Item("IDC").Value().AsLong();
  EXPECT_EQ(Stored("Summa", idc), Cy(4));  // 3.9999 rounded to 2 places
  EXPECT_EQ(spec.Fields().Item("PosNumb").Value().AsLong(), 1) << "position given by the host";

  ASSERT_TRUE(spec.MoveToID(idc));
  spec.Fields().Item("Summa").SetValue(Variant(Cy(7.77)));  // a deliberate sum is kept
  ASSERT_TRUE(spec.UpdateByID(idc));
  EXPECT_EQ(Stored("Summa", idc), Cy(7.77));
}

TEST_F(THGoodSpecTest, UpdateByIDWritesTheRowBackAndRecomputesAReset) {
  THGoodSpec spec(book_);
  int32_t idc = AddRow(spec, mmo_, "G1", "T", 1);
  ASSERT_TRUE(spec.MoveToID(idc));
  ASSERT_TRUE(spec.BeginEdit());
  spec.Fields().Item("Amount").SetValue(Variant(Cy(2.5)));
  spec.Fields().Item("AmountAccount").SetValue(Variant(Currency()));
  spec.Fields().Item("BOperCode").SetValue(Variant("OP1"));
  ASSERT_TRUE(spec.UpdateByID(idc));

  THGoodSpec reader(book_);
  ASSERT_TRUE(reader.MoveToID(idc));
  EXPECT_EQ(reader.Fields().Item("AmountAccount").Value().AsCurrency(), Cy(2500));
  EXPECT_EQ(reader.Fields().Item("BOperCode").Value().AsString(), "OP1");
  EXPECT_EQ(Count("THGoodSpec"), 1);
}

TEST_F(THGoodSpecTest, UpdateByIDOfAMissingRowWritesNothing) {
  THGoodSpec spec(book_);
  int32_t idc = AddRow(spec, mmo_, "G1", "KG", 1);
  ASSERT_TRUE(spec.MoveToID(idc));
  spec.Fields().Item("Amount").SetValue(Variant(Cy(9)));
  EXPECT_FALSE(spec.UpdateByID(idc + 50));
  EXPECT_FALSE(spec.UpdateByID(0));
  EXPECT_EQ(Stored("Amount", idc), Cy(1));
  EXPECT_EQ(Count("THGoodSpec"), 1);

  // Moving a row to another document is refused.
  spec.Fields().Item("DocID").SetValue(Variant(pisf_));
  EXPECT_QTS_ERROR(spec.UpdateByID(idc), kErrDocument);
  EXPECT_EQ(Count("THGoodSpec", "\"DocID\" = " + std::to_string(mmo_)), 1);
}

TEST_F(THGoodSpecTest, MoveToKeyAndFindPositionOrChangeNothing) {
  THGoodSpec spec(book_);
  int32_t a = AddRow(spec, mmo_, "G1", "KG", 1);
  int32_t b = AddRow(spec, mmo_, "G2", "BOX", 2);
  int32_t c = AddRow(spec, pisf_, "G2", "BOX", 3);

  ASSERT_TRUE(spec.MoveToKey(mmo_, 2));
  EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), b);
  EXPECT_FALSE(spec.MoveToKey(mmo_, 3));
  EXPECT_FALSE(spec.MoveToKey(0, 1));
  EXPECT_FALSE(spec.MoveToID(c + 10));
  EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), b);

  // The condition the write-off handler builds with SqlTools.
  auto tools = SqlTools::Instance();
  std::string condition = tools->JoinConditions(
      kJoinAnd, {tools->Condition(spec.Fields().Item("DocID"), kOpEqual, Variant(pisf_)),
                 tools->Condition(spec.Fields().Item("GoodCode"), kOpEqual, Variant("G2")),
                 tools->Condition(spec.Fields().Item("UnitCode"), kOpEqual, Variant("BOX"))});
  ASSERT_TRUE(spec.Find(condition));
  EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), c);
  ASSERT_TRUE(spec.Find("oTable.GoodCode = 'G2'"));  // first by document and position
  EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), b);
  EXPECT_FALSE(spec.Find("GoodCode = 'G9'"));
  EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), b);
  EXPECT_QTS_ERROR(spec.Find("GoodCode = 'G1' -- x\n; DROP TABLE THGoodSpec"),
                   sql::kErrSqlTranslate);
  EXPECT_TRUE(spec.MoveToID(a));
}

TEST_F(THGoodSpecTest, NextPosNumbFollowsTheLastRowAfterDeletes) {
  THGoodSpec spec(book_);
  spec.AddNew();
  EXPECT_EQ(spec.NextPosNumb(), 0) << "no document";
  spec.Fields().Item("DocID").SetValue(Variant(mmo_ + pisf_ + 100));
  EXPECT_EQ(spec.NextPosNumb(), 0) << "a document that does not exist";
  spec.Fields().Item("DocID").SetValue(Variant(mmo_));
  EXPECT_EQ(spec.NextPosNumb(), 1);

  int32_t r1 = AddRow(spec, mmo_, "G1", "KG", 1);
  int32_t r2 = AddRow(spec, mmo_, "G1", "T", 1);
  int32_t r3 = AddRow(spec, mmo_, "G2", "VNT", 1);
  (void)r1;
  EXPECT_EQ(spec.NextPosNumb(), 4);
  EXPECT_TRUE(spec.Delete(r2));  // a gap in the middle stays
  EXPECT_EQ(spec.NextPosNumb(), 4);
  EXPECT_TRUE(spec.Delete(r3));  // the current row: the last position is free again
  EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), 0);
  spec.Fields().Item("DocID").SetValue(Variant(mmo_));
  EXPECT_EQ(spec.NextPosNumb(), 2);
  EXPECT_FALSE(spec.Delete(r3));
}

TEST_F(THGoodSpecTest, AdditionalFieldsAppearAsAddFldInTheRowList) {
  THGoodSpec spec(book_);
  int32_t idc = AddRow(spec, mmo_, "G1", "KG", 1);
  NamedValueList& f = spec.Fields();
  ASSERT_TRUE(f.ExistsField("AddFld.WriteOffPrice"));
  ASSERT_TRUE(f.ExistsField("AddFld.SD1Summa"));
  EXPECT_FALSE(f.ExistsField("WriteOffPrice"));
  EXPECT_TRUE(spec.AddFields().ExistsField("WriteOffPrice"));
  EXPECT_EQ(f.Item("AddFld.WriteOffPrice").Kind(), Code(Kind::kQuantity));
  EXPECT_EQ(Count("MMOTHGoodSpec"), 1) << "the additional row is written with the row";

  // Through the row list ...
  f.Item("AddFld.WriteOffPrice").SetValue(Variant(Cy(12.5)));
  ASSERT_TRUE(spec.UpdateByID(idc));
  EXPECT_EQ(spec.AddFields().Item("WriteOffPrice").Value().AsCurrency(), Cy(12.5));
  // ... and through the additional list.
  spec.AddFields().Item("AssCode").SetValue(Variant("A1"));
  ASSERT_TRUE(spec.UpdateByID(idc));

  THGoodSpec reader(book_);
  ASSERT_TRUE(reader.MoveToID(idc));
  EXPECT_EQ(reader.Fields().Item("AddFld.WriteOffPrice").Value().AsCurrency(), Cy(12.5));
  EXPECT_EQ(reader.AddFields().Item("WriteOffPrice").Value().AsCurrency(), Cy(12.5));
  EXPECT_EQ(reader.Fields().Item("AddFld.AssCode").Value().AsString(), "A1");

  // A row of a PISF document has that type's additional fields only.
  int32_t other = AddRow(reader, pisf_, "G2", "VNT", 1);
  ASSERT_TRUE(reader.MoveToID(other));
  EXPECT_TRUE(reader.Fields().ExistsField("AddFld.Comment"));
  EXPECT_FALSE(reader.Fields().ExistsField("AddFld.WriteOffPrice"));
  EXPECT_EQ(reader.AddFields().Count(), 1u);
}

TEST_F(THGoodSpecTest, AFreshObjectTakesTheTypeFromDocID) {
  THGoodSpec spec(book_);
  spec.AddNew();
  EXPECT_EQ(spec.AddFields().Count(), 0u);
  spec.Fields().Item("DocID").SetValue(Variant(mmo_));
  ASSERT_TRUE(spec.AddFields().ExistsField("WriteOffPrice"));
  spec.AddFields().Item("WriteOffPrice").SetValue(Variant(Cy(3)));
  spec.Fields().Item("GoodCode").SetValue(Variant("G1"));
  ASSERT_TRUE(spec.Update());
  db::StatementHandle stored = Db().Prepare("SELECT \"WriteOffPrice\" FROM \"D$MMOTHGoodSpec\"");
  ASSERT_TRUE(stored->Step());
  EXPECT_EQ(stored->GetCurrency(0), Cy(3));
}

TEST_F(THGoodSpecTest, BadRowsAreRefusedAndWriteNothing) {
  THGoodSpec spec(book_);
  EXPECT_QTS_ERROR(spec.Update(), kErrDocument) << "Update without AddNew";
  EXPECT_FALSE(spec.BeginEdit()) << "no current row";

  spec.AddNew();
  EXPECT_QTS_ERROR(spec.Update(), kErrDocument) << "no DocID";

  spec.Fields().Item("DocID").SetValue(Variant(mmo_ + pisf_ + 100));
  EXPECT_FALSE(spec.Update()) << "a document that does not exist";

  spec.AddNew();
  spec.Fields().Item("DocID").SetValue(Variant(mmo_));
  spec.Fields().Item("Amount").SetValue(Variant("lots"));
  EXPECT_QTS_ERROR(spec.Update(), kErrTypeMismatch);

  // The additional row fails after the row was written: both are undone.
  spec.AddNew();
  spec.Fields().Item("DocID").SetValue(Variant(mmo_));
  spec.Fields().Item("AddFld.AssCode").SetValue(Variant(std::string(31, 'A')));
  EXPECT_QTS_ERROR(spec.Update(), kErrDocument);
  EXPECT_EQ(Count("THGoodSpec"), 0);
  EXPECT_EQ(Count("MMOTHGoodSpec"), 0);
  EXPECT_TRUE(spec.Fields().Item("PosNumb").Value().IsNull()) << "the caller's values stay";

  // A position the document already has.
  int32_t idc = AddRow(spec, mmo_, "G1", "KG", 1);
  spec.AddNew();
  spec.Fields().Item("DocID").SetValue(Variant(mmo_));
  spec.Fields().Item("PosNumb").SetValue(Variant(int32_t{1}));
  EXPECT_QTS_ERROR(spec.Update(), db::kErrConstraint);
  EXPECT_EQ(Count("THGoodSpec"), 1);
  EXPECT_EQ(Count("MMOTHGoodSpec"), 1);
  EXPECT_EQ(Stored("Amount", idc), Cy(1));
}

TEST_F(THGoodSpecTest, AFailedWriteInsideTheCallersTransactionIsUndoneAlone) {
  THGoodSpec spec(book_);
  int32_t kept = 0;
  {
    db::Transaction outer(Db());
    kept = AddRow(spec, mmo_, "G1", "KG", 1);
    // A new row whose additional row fails: the row inserted first is taken back.
    spec.AddNew();
    spec.Fields().Item("DocID").SetValue(Variant(mmo_));
    spec.Fields().Item("AddFld.AssCode").SetValue(Variant(std::string(31, 'A')));
    EXPECT_QTS_ERROR(spec.Update(), kErrDocument);
    EXPECT_EQ(Count("THGoodSpec"), 1);
    // An existing row whose additional row fails: the row keeps its stored values.
    ASSERT_TRUE(spec.MoveToID(kept));
    spec.Fields().Item("Amount").SetValue(Variant(Cy(5)));
    spec.AddFields().Item("OpCode").SetValue(Variant(std::string(31, 'O')));
    EXPECT_QTS_ERROR(spec.UpdateByID(kept), kErrDocument);
    EXPECT_EQ(Stored("Amount", kept), Cy(1));
    EXPECT_EQ(Db().TransactionDepth(), 1) << "the caller's transaction stays open";
    outer.Commit();
  }
  EXPECT_EQ(Count("THGoodSpec"), 1);
  EXPECT_EQ(Count("MMOTHGoodSpec"), 1);
  {
    db::Transaction outer(Db());
    (void)AddRow(spec, mmo_, "G2", "VNT", 1);
  }  // rolled back by the caller: its rows go with it
  EXPECT_EQ(Count("THGoodSpec"), 1);
  EXPECT_EQ(Count("MMOTHGoodSpec"), 1);
}

TEST_F(THGoodSpecTest, DeleteTakesTheRowsAdditionalFieldsAndLinks) {
  THGoodSpec spec(book_);
  int32_t income = AddRow(spec, pisf_, "G1", "KG", 10);
  int32_t out = AddRow(spec, mmo_, "G1", "KG", 4);
  qts::host::schema::testing::Seed(
      Db(),
      "INSERT INTO \"D$THGoodSpecFixLog\"(\"OutcomeSpecID\",\"IncomeSpecID\",\"Amount\")"
      " VALUES (" +
          std::to_string(out) + "," + std::to_string(income) + ",4)");
  EXPECT_TRUE(spec.Delete(out));
  EXPECT_EQ(Count("THGoodSpecFixLog"), 0);
  EXPECT_EQ(Count("MMOTHGoodSpec"), 0);
  EXPECT_EQ(Count("THGoodSpec"), 1);
}

}  // namespace
}  // namespace qts::host

namespace qts::host {
namespace {

// A row this object read or wrote is written back column by column: what it did not change
// stays as the book holds it, so two writers of different columns of a row do not undo each
// other. After a rollback the object can no longer tell what the book holds, and writes the
// row whole.
TEST_F(THGoodSpecTest, UpdateByIDWritesTheChangedColumnsOfItsOwnRowAndAllAfterARollback) {
  THGoodSpec spec(book_);
  const int32_t idc = AddRow(spec, mmo_, "G1", "KG", 2);
  ASSERT_TRUE(spec.MoveToID(idc));

  // Another writer sets the price while this object holds the row.
  Db().Execute("UPDATE \"D$THGoodSpec\" SET \"Price\" = ?1 WHERE \"IDC\" = ?2", {Cy(7), idc});
  spec.Fields().Item("Amount").SetValue(Variant(Cy(3)));
  spec.Fields().Item("AmountAccount").SetValue(Variant(Currency()));
  ASSERT_TRUE(spec.UpdateByID(idc));
  EXPECT_EQ(Stored("Amount", idc), Cy(3));
  EXPECT_EQ(Stored("AmountAccount", idc), Cy(3));
  EXPECT_EQ(Stored("Price", idc), Cy(7)) << "a column the object did not change is kept";

  // A write undone by the caller's rollback: the next write puts back everything it holds.
  spec.Fields().Item("Summa").SetValue(Variant(Cy(11)));
  {
    db::Transaction transaction(Db());
    ASSERT_TRUE(spec.UpdateByID(idc));
    EXPECT_EQ(Stored("Summa", idc), Cy(11));
  }
  EXPECT_EQ(Stored("Summa", idc), Currency());
  spec.Fields().Item("Amount").SetValue(Variant(Cy(4)));
  spec.Fields().Item("AmountAccount").SetValue(Variant(Currency()));
  ASSERT_TRUE(spec.UpdateByID(idc));
  EXPECT_EQ(Stored("Summa", idc), Cy(11));
  EXPECT_EQ(Stored("Amount", idc), Cy(4));
  EXPECT_EQ(Stored("Price", idc), Currency()) << "the whole row as the object holds it";

  // Another row than the current one is written whole from the fields.
  const int32_t other = AddRow(spec, mmo_, "G2", "BOX", 1);
  ASSERT_TRUE(spec.MoveToID(idc));
  spec.Fields().Item("PosNumb").SetValue(Variant(2));
  ASSERT_TRUE(spec.UpdateByID(other));
  EXPECT_EQ(Stored("Amount", other), Cy(4));
  EXPECT_EQ(Stored("Summa", other), Cy(11));
}

TEST_F(THGoodSpecTest, AdditionalRowIsWrittenWhenChangedOrMissing) {
  THGoodSpec spec(book_);
  const int32_t idc = AddRow(spec, mmo_, "G1", "KG", 1);
  const std::string add = "\"D$MMOTHGoodSpec\"";
  Db().Execute("UPDATE " + add + " SET \"AssCode\" = 'OTHER'");
  ASSERT_TRUE(spec.MoveToID(idc));
  Db().Execute("UPDATE " + add + " SET \"AssCode\" = 'LATER'");

  // Unchanged additional fields are not written back over the later value.
  spec.Fields().Item("Amount").SetValue(Variant(Cy(5)));
  ASSERT_TRUE(spec.UpdateByID(idc));
  EXPECT_EQ(Count("MMOTHGoodSpec", "\"AssCode\" = 'LATER'"), 1);

  // A changed one is.
  spec.Fields().Item("AddFld.AssCode").SetValue(Variant("MINE"));
  ASSERT_TRUE(spec.UpdateByID(idc));
  EXPECT_EQ(Count("MMOTHGoodSpec", "\"AssCode\" = 'MINE'"), 1);

  // A row whose additional row is missing gets one on its next write.
  Db().Execute("DELETE FROM " + add);
  ASSERT_TRUE(spec.MoveToID(idc));
  spec.Fields().Item("Amount").SetValue(Variant(Cy(6)));
  ASSERT_TRUE(spec.UpdateByID(idc));
  EXPECT_EQ(Count("MMOTHGoodSpec"), 1);
}

// Reads hopping between documents (two of one type, one of another) each bring the row's
// own additional values, with the type of the row's own document.
TEST_F(THGoodSpecTest, ReadsAcrossDocumentsCarryEachRowsOwnAdditionalValues) {
  const int32_t mmo2 = NewDocument("MMO", "2");
  THGoodSpec writer(book_);
  const int32_t a = AddRow(writer, mmo_, "G1", "KG", 1);
  const int32_t b = AddRow(writer, mmo2, "G2", "KG", 1);
  const int32_t c = AddRow(writer, pisf_, "G3", "VNT", 1);
  Db().Execute("UPDATE \"D$MMOTHGoodSpec\" SET \"AssCode\" = 'DOC' || \"DocID\"");
  Db().Execute("UPDATE \"D$PISFTHGoodSpec\" SET \"Comment\" = 'PISF ROW'");
  Db().Execute("DELETE FROM \"D$MMOTHGoodSpec\" WHERE \"DocID\" = ?1", {mmo2});

  THGoodSpec reader(book_);
  const auto add = [&](const char* name) {
    const Variant& v = reader.Fields().Item(std::string("AddFld.") + name).Value();
    return v.IsNull() ? std::string("(null)") : CStr(v);
  };
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(reader.MoveToID(a));
    EXPECT_EQ(add("AssCode"), "DOC" + std::to_string(mmo_));
    ASSERT_TRUE(reader.MoveToID(b));
    EXPECT_EQ(add("AssCode"), "(null)") << "a row of the same type without an additional row";
    EXPECT_EQ(CLng(reader.Fields().Item("DocID").Value()), mmo2);
    ASSERT_TRUE(reader.MoveToID(c));
    EXPECT_FALSE(reader.Fields().ExistsField("AddFld.AssCode"));
    EXPECT_EQ(add("Comment"), "PISF ROW");
    ASSERT_TRUE(reader.MoveToID(a));
    EXPECT_EQ(add("AssCode"), "DOC" + std::to_string(mmo_));
  }
}

// Row searches that differ only in their codes share one translation; each still finds its
// own row, quotes and all, and a search the translator refuses is refused every time.
TEST_F(THGoodSpecTest, RepeatedSearchesWithOtherValuesFindTheirOwnRows) {
  THGoodSpec spec(book_);
  const std::vector<std::string> goods = {"G1", "G'2", "G--3", "?1", "$1", ""};
  std::vector<int32_t> rows;
  for (const std::string& good : goods) rows.push_back(AddRow(spec, mmo_, good.c_str(), "KG", 1));
  const int32_t other_doc = AddRow(spec, pisf_, "G1", "KG", 1);
  auto tools = SqlTools::Instance();
  auto search = [&](int32_t doc, const std::string& good) {
    return tools->JoinConditions(
        kJoinAnd, {tools->Condition(spec.Fields().Item("DocID"), kOpEqual, Variant(doc)),
                   tools->Condition(spec.Fields().Item("GoodCode"), kOpEqual, Variant(good))});
  };
  // The first searches translate the search's shape and the row reads of both document types;
  // the others use them.
  ASSERT_TRUE(spec.Find(search(mmo_, goods[0])));
  ASSERT_TRUE(spec.Find(search(pisf_, "G1")));
  const size_t shapes_before = book_->Shapes().Size();
  for (size_t i = 0; i < goods.size(); ++i) {
    ASSERT_TRUE(spec.Find(search(mmo_, goods[i]))) << goods[i];
    EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), rows[i]) << goods[i];
  }
  ASSERT_TRUE(spec.Find(search(pisf_, "G1")));
  EXPECT_EQ(spec.Fields().Item("IDC").Value().AsLong(), other_doc);
  EXPECT_FALSE(spec.Find(search(pisf_, "G'2")));
  EXPECT_EQ(book_->Shapes().Size(), shapes_before);

  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_QTS_ERROR(spec.Find("oTable.NoSuchColumn = 'G1'"), sql::kErrSqlTranslate);
  }
  EXPECT_EQ(Count("THGoodSpec"), static_cast<int>(goods.size()) + 1);
}

}  // namespace
}  // namespace qts::host
