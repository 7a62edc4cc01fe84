#include "host/documents/th_document.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/testing/qts_matchers.h"
#include "db/db_error.h"
#include "host/data/app_context.h"
#include "host/documents/testing/doc_book.h"
#include "host/schema/schema.h"
#include "host/schema/testing/seed.h"
#include "sql/sql_error.h"

namespace qts::host {
namespace {

using testing::DocBook;

class THDocumentTest : public DocBook {
 protected:
  // Writes a new document of `type` with `number` (empty: numbered by the host).
  int32_t Insert(THDocument& doc, const std::string& type, const std::string& number = {},
                 int32_t parent = 0) {
    doc.BeginInsert();
    doc.Fields().Item("DocTypeCode").SetValue(Variant(type));
    if (!number.empty()) doc.Fields().Item("Number").SetValue(Variant(number));
    doc.Fields().Item("ParentID").SetValue(Variant(parent));
    return doc.EndInsert();
  }
};

TEST_F(THDocumentTest, FieldsAreEveryColumnTypedByTheCatalogue) {
  THDocument doc(book_);
  const NamedValueList& f = doc.Fields();
  EXPECT_EQ(f.Count(), schema::FindSourceDef("THDocument")->columns.size());
  EXPECT_EQ(f.Item("IDC").Value().Type(), VarType::kLong);
  EXPECT_EQ(f.Item("IDC").Value().AsLong(), 0);
  EXPECT_EQ(f.Item("IsPosted").Value().Type(), VarType::kLong);
  EXPECT_EQ(f.Item("Summa").Value().Type(), VarType::kCurrency);
  EXPECT_TRUE(f.Item("DocumentDate").Value().IsNull());
  EXPECT_TRUE(f.Item("DocTypeCode").Value().IsNull());
  EXPECT_EQ(f.Item("Summa").Kind(), Code(Kind::kQuantity));
  EXPECT_EQ(f.Item("Number").Kind(), Code(Kind::kText));
  EXPECT_EQ(f.Item("DocumentDate").Kind(), Code(Kind::kDate));
}

TEST_F(THDocumentTest, AddFieldsFollowTheDocumentType) {
  THDocument doc(book_);
  EXPECT_EQ(doc.AddFields().Count(), 0u);  // no type yet
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  ASSERT_EQ(doc.AddFields().Count(), 1u);
  EXPECT_EQ(doc.AddFields().At(0).Name(), "VehicleCode");
  doc.Fields().Item("DocTypeCode").SetValue(Variant("TKL"));
  EXPECT_TRUE(doc.AddFields().ExistsField("BegPeriod"));
  EXPECT_TRUE(doc.AddFields().ExistsField("EndPeriod"));
  EXPECT_EQ(doc.AddFields().Count(), 3u);
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MFC"));  // a type without header fields
  EXPECT_EQ(doc.AddFields().Count(), 0u);
  doc.Fields().Item("DocTypeCode").SetValue(Variant("NOPE"));
  EXPECT_EQ(doc.AddFields().Count(), 0u);
}

TEST_F(THDocumentTest, InitNewSetsTheDefaultsOfANewDocument) {
  THDocument doc(book_);
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  doc.Fields().Item("Summa").SetValue(Variant(Currency::FromLong(5)));
  doc.InitNew();
  const NamedValueList& f = doc.Fields();
  EXPECT_EQ(f.Item("DocTypeCode").Value().AsString(), "MMO");
  EXPECT_EQ(f.Item("DocumentDate").Value().AsDate(), Date::Today());
  EXPECT_EQ(f.Item("CurrencyCode").Value().AsString(), "EUR");
  EXPECT_EQ(f.Item("IsPosted").Value().AsLong(), 0);
  EXPECT_EQ(f.Item("Number").Value().AsString(), "1");
  EXPECT_EQ(f.Item("Summa").Value().AsCurrency(), Currency());  // reset to its default
  EXPECT_EQ(f.Item("IDC").Value().AsLong(), 0);
}

TEST_F(THDocumentTest, InitNewRefusesAMissingOrUnknownType) {
  THDocument doc(book_);
  EXPECT_QTS_ERROR(doc.InitNew(), kErrDocument);
  doc.Fields().Item("DocTypeCode").SetValue(Variant("XYZ"));
  EXPECT_QTS_ERROR_TEXT(doc.InitNew(), kErrDocument, "XYZ");
}

TEST_F(THDocumentTest, InsertWritesHeaderAndAdditionalFieldsAndLoadReadsThemBack) {
  THDocument doc(book_);
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  doc.InitNew();
  doc.BeginInsert();
  doc.Fields().Item("DocumentDate").SetValue(Variant(Date::FromYmd(2026, 3, 31)));
  doc.Fields().Item("Summa").SetValue(Variant(Currency::FromDouble(12.3456)));
  doc.Fields().Item("StoreCode").SetValue(Variant("S1"));
  doc.AddFields().Item("VehicleCode").SetValue(Variant("TRUCK-7"));
  int32_t idc = doc.EndInsert();
  ASSERT_GT(idc, 0);
  EXPECT_EQ(doc.Fields().Item("IDC").Value().AsLong(), idc);

  THDocument other(book_);
  ASSERT_TRUE(other.Load(idc));
  const NamedValueList& f = other.Fields();
  EXPECT_EQ(f.Item("DocTypeCode").Value().AsString(), "MMO");
  EXPECT_EQ(f.Item("Number").Value().AsString(), "1");
  EXPECT_EQ(f.Item("DocumentDate").Value().AsDate(), Date::FromYmd(2026, 3, 31));
  EXPECT_EQ(f.Item("Summa").Value().AsCurrency(), Currency::FromDouble(12.3456));
  EXPECT_EQ(f.Item("CurrencyCode").Value().AsString(), "EUR");
  EXPECT_TRUE(f.Item("Name").Value().IsNull());
  EXPECT_EQ(other.AddFields().Item("VehicleCode").Value().AsString(), "TRUCK-7");
  EXPECT_EQ(Count("MMOTHDocument", "\"DocID\" = " + std::to_string(idc)), 1);
}

TEST_F(THDocumentTest, AFailingAdditionalFieldWriteLeavesNoHeader) {
  THDocument doc(book_);
  doc.BeginInsert();
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  doc.AddFields().Item("VehicleCode").SetValue(Variant(std::string(31, 'V')));  // 30 allowed
  EXPECT_QTS_ERROR(doc.EndInsert(), kErrDocument);
  EXPECT_EQ(Count("THDocument"), 0);
  EXPECT_EQ(Count("MMOTHDocument"), 0);
  EXPECT_EQ(doc.Fields().Item("IDC").Value().AsLong(), 0);
  // Still inserting, with the caller's values: a corrected value goes through.
  doc.AddFields().Item("VehicleCode").SetValue(Variant("V1"));
  EXPECT_GT(doc.EndInsert(), 0);
  EXPECT_EQ(Count("THDocument"), 1);
  EXPECT_EQ(Count("MMOTHDocument"), 1);
}

TEST_F(THDocumentTest, BadInputIsRefusedWithAClearErrorAndWritesNothing) {
  struct Case {
    const char* what;
    std::function<void(THDocument&)> spoil;
    int32_t error;
  };
  const std::vector<Case> cases = {
      {"no type", [](THDocument&) {}, kErrDocument},
      {"unknown type",
       [](THDocument& d) { d.Fields().Item("DocTypeCode").SetValue(Variant("NOPE")); },
       kErrDocument},
      {"required flag without value",
       [](THDocument& d) {
         d.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
         d.Fields().Item("IsPosted").SetValue(Variant::Null());
       },
       kErrDocument},
      {"text for a date",
       [](THDocument& d) {
         d.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
         d.Fields().Item("DocumentDate").SetValue(Variant("yesterday"));
       },
       kErrTypeMismatch},
      {"text for an id",
       [](THDocument& d) {
         d.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
         d.Fields().Item("ParentID").SetValue(Variant("abc"));
       },
       kErrTypeMismatch},
      {"number too long",
       [](THDocument& d) {
         d.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
         d.Fields().Item("Number").SetValue(Variant(std::string(21, '1')));
       },
       kErrDocument},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    THDocument doc(book_);
    doc.BeginInsert();
    c.spoil(doc);
    EXPECT_QTS_ERROR(doc.EndInsert(), c.error);
    EXPECT_EQ(Count("THDocument"), 0);
  }
  THDocument doc(book_);
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  EXPECT_QTS_ERROR(doc.EndInsert(), kErrDocument) << "EndInsert without Begin";
}

TEST_F(THDocumentTest, LoadAndFindWhereMissChangeNothing) {
  THDocument doc(book_);
  int32_t first = Insert(doc, "MMO", "10", 5);
  int32_t second = Insert(doc, "MFC", "11", 5);
  ASSERT_TRUE(doc.Load(first));

  EXPECT_FALSE(doc.Load(second + 100));
  EXPECT_FALSE(doc.Load(0));
  EXPECT_FALSE(doc.FindWhere("ParentID = 6"));
  EXPECT_EQ(doc.Fields().Item("IDC").Value().AsLong(), first);
  EXPECT_EQ(doc.Fields().Item("Number").Value().AsString(), "10");

  ASSERT_TRUE(doc.FindWhere("ParentID = 5 AND DocTypeCode = 'MFC'"));
  EXPECT_EQ(doc.Fields().Item("IDC").Value().AsLong(), second);
  EXPECT_EQ(doc.AddFields().Count(), 0u);
  ASSERT_TRUE(doc.FindWhere("oTable.ParentID = 5"));  // first of several: lowest IDC
  EXPECT_EQ(doc.Fields().Item("IDC").Value().AsLong(), first);
  EXPECT_EQ(doc.AddFields().Count(), 1u);
}

TEST_F(THDocumentTest, FindWhereConditionsGoThroughTheTranslator) {
  THDocument doc(book_);
  Insert(doc, "MMO", "10");
  EXPECT_QTS_ERROR(doc.FindWhere("1 = 1; DELETE FROM THDocument"), sql::kErrSqlTranslate);
  EXPECT_QTS_ERROR(doc.FindWhere("NoSuchColumn = 1"), sql::kErrSqlTranslate);
  EXPECT_EQ(Count("THDocument"), 1);
  EXPECT_TRUE(doc.FindWhere("charindex('0', Number) > 0"));  // T-SQL, emitted for SQLite
}

TEST_F(THDocumentTest, NextNumberIsPerTypeAndKeepsTheWidth) {
  THDocument doc(book_);
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  EXPECT_EQ(doc.NextNumber(), "1");
  Insert(doc, "MMO", "0041");
  Insert(doc, "MMO", "9");
  Insert(doc, "MMO", "A-77");  // not a number: ignored
  Insert(doc, "MFC", "500");
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  EXPECT_EQ(doc.NextNumber(), "0042");
  Insert(doc, "MMO", "099");
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  EXPECT_EQ(doc.NextNumber(), "100");
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MFC"));
  EXPECT_EQ(doc.NextNumber(), "501");
  doc.Fields().Item("DocTypeCode").SetValue(Variant::Null());
  EXPECT_QTS_ERROR(doc.NextNumber(), kErrDocument);
}

// A type numbered as its code, '-' and digits goes on in that form; other texts are ignored,
// and plain numbers win once there are any.
TEST_F(THDocumentTest, NumbersWrittenAsTypeDashDigitsContinue) {
  THDocument doc(book_);
  Insert(doc, "PRSF", "PRSF-000180");
  Insert(doc, "PRSF", "PRSF-000099");
  Insert(doc, "PRSF", "PRSF-0001x");
  Insert(doc, "PRSF", "PRSF-");
  Insert(doc, "PRS", "PRS-900");  // another type's prefix
  doc.Fields().Item("DocTypeCode").SetValue(Variant("PRSF"));
  EXPECT_EQ(doc.NextNumber(), "PRSF-000181");
  Insert(doc, "PRSF", "PRSF-999999");
  doc.Fields().Item("DocTypeCode").SetValue(Variant("PRSF"));
  EXPECT_EQ(doc.NextNumber(), "PRSF-1000000");
  Insert(doc, "PRSF", "12");
  doc.Fields().Item("DocTypeCode").SetValue(Variant("PRSF"));
  EXPECT_EQ(doc.NextNumber(), "13");
}

TEST_F(THDocumentTest, AnIssuedNumberUsedMeanwhileIsRenumberedATypedOneIsRefused) {
  THDocument first(book_);
  first.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  first.InitNew();  // number "1"
  THDocument second(book_);
  second.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  second.InitNew();  // also "1": nothing written yet
  first.BeginInsert();
  (void)first.EndInsert();
  second.BeginInsert();
  (void)second.EndInsert();
  EXPECT_EQ(first.Fields().Item("Number").Value().AsString(), "1");
  EXPECT_EQ(second.Fields().Item("Number").Value().AsString(), "2");

  THDocument typed(book_);
  typed.BeginInsert();
  typed.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  typed.Fields().Item("Number").SetValue(Variant("2"));
  EXPECT_QTS_ERROR(typed.EndInsert(), db::kErrConstraint);
  EXPECT_EQ(typed.Fields().Item("Number").Value().AsString(), "2");
  EXPECT_EQ(Count("THDocument"), 2);
}

TEST_F(THDocumentTest, DeleteRemovesRowsTheirAdditionalFieldsAndLinks) {
  THDocument doc(book_);
  int32_t receipt = Insert(doc, "PISF", "1");
  int32_t writeoff = Insert(doc, "MMO", "1");
  int32_t keep = Insert(doc, "MMO", "2");
  qts::host::schema::testing::Seed(
      Db(),
      "INSERT INTO \"D$THGoodSpec\"(\"IDC\",\"DocID\",\"PosNumb\",\"GoodCode\") VALUES "
      "(1," +
          std::to_string(receipt) + ",1,'G1'),(2," + std::to_string(writeoff) + ",1,'G1'),(3," +
          std::to_string(writeoff) + ",2,'G1'),(4," + std::to_string(keep) + ",1,'G1')");
  qts::host::schema::testing::Seed(
      Db(), "INSERT INTO \"D$MMOTHGoodSpec\"(\"DocID\",\"PosNumb\") VALUES (" +
                std::to_string(writeoff) + ",1),(" + std::to_string(writeoff) + ",2),(" +
                std::to_string(keep) + ",1)");
  qts::host::schema::testing::Seed(
      Db(),
      "INSERT INTO \"D$THGoodSpecFixLog\"(\"OutcomeSpecID\",\"IncomeSpecID\",\"Amount\")"
      " VALUES (2,1,1),(3,1,1),(4,1,1)");
  ASSERT_TRUE(doc.Load(writeoff));

  EXPECT_TRUE(doc.Delete(writeoff));
  EXPECT_EQ(Count("THDocument", "\"IDC\" = " + std::to_string(writeoff)), 0);
  EXPECT_EQ(Count("MMOTHDocument"), 1);
  EXPECT_EQ(Count("THGoodSpec"), 2);
  EXPECT_EQ(Count("MMOTHGoodSpec"), 1);
  EXPECT_EQ(Count("THGoodSpecFixLog"), 1);
  EXPECT_EQ(doc.Fields().Item("IDC").Value().AsLong(), 0);  // the loaded document went

  EXPECT_FALSE(doc.Delete(writeoff));
  EXPECT_FALSE(doc.Delete(0));
  EXPECT_EQ(Count("THDocument"), 2);
}

TEST_F(THDocumentTest, UpdateWritesTheEditedHeaderBackAndUnpostClearsTheFlag) {
  THDocument doc(book_);
  EXPECT_FALSE(doc.Update()) << "nothing stored yet";
  EXPECT_FALSE(doc.Unpost());
  int32_t idc = Insert(doc, "MMO", "7");
  doc.Fields().Item("IsPosted").SetValue(Variant(int32_t{1}));
  doc.Fields().Item("Name").SetValue(Variant("edited"));
  doc.AddFields().Item("VehicleCode").SetValue(Variant("CAR"));
  ASSERT_TRUE(doc.Update());

  THDocument other(book_);
  ASSERT_TRUE(other.Load(idc));
  EXPECT_EQ(other.Fields().Item("Name").Value().AsString(), "edited");
  EXPECT_EQ(other.Fields().Item("IsPosted").Value().AsLong(), 1);
  EXPECT_EQ(other.AddFields().Item("VehicleCode").Value().AsString(), "CAR");

  EXPECT_TRUE(other.Unpost());
  EXPECT_EQ(other.Fields().Item("IsPosted").Value().AsLong(), 0);
  EXPECT_EQ(Count("THDocument", "\"IsPosted\" = 0"), 1);

  other.Fields().Item("DocTypeCode").SetValue(Variant("MFC"));
  EXPECT_QTS_ERROR(other.Update(), kErrDocument);
  Db().Execute("DELETE FROM \"D$THDocument\"");
  doc.Fields().Item("Name").SetValue(Variant("gone"));
  EXPECT_FALSE(doc.Update());
  EXPECT_FALSE(doc.Unpost());
}

TEST_F(THDocumentTest, BeginInsertAfterLoadStartsABlankDocumentOfTheSameType) {
  THDocument doc(book_);
  int32_t idc = Insert(doc, "MMO", "3");
  doc.Fields().Item("Name").SetValue(Variant("old"));
  ASSERT_TRUE(doc.Update());
  ASSERT_TRUE(doc.Load(idc));
  doc.BeginInsert();
  EXPECT_EQ(doc.Fields().Item("IDC").Value().AsLong(), 0);
  EXPECT_TRUE(doc.Fields().Item("Name").Value().IsNull());
  EXPECT_EQ(doc.Fields().Item("DocTypeCode").Value().AsString(), "MMO");
  int32_t copy = doc.EndInsert();
  EXPECT_NE(copy, idc);
  EXPECT_EQ(doc.Fields().Item("Number").Value().AsString(), "4");
}

TEST_F(THDocumentTest, ADocumentOfABookThatIsNotOpenRaisesTheBooksError) {
  THDocument doc(std::make_shared<AppContext>("closed"));
  EXPECT_EQ(doc.Application()->BookName(), "closed");
  EXPECT_QTS_ERROR(doc.Load(1), kErrBook);
}

TEST(THDocumentNumbersTest, TwoProcessesInsertingAtOnceNeverShareANumber) {
  constexpr int kEach = 60;
  char dir_template[] = "/tmp/qts_documents_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::filesystem::path dir(dir_template);
  struct Cleanup {
    std::filesystem::path dir;
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
    }
  } cleanup{dir};
  const std::string path = (dir / "book.db").string();
  (void)AppContext::CreateBook(path, "P");
  auto insert = [&](const char* who) {
    auto book = AppContext::Open(path, "P");
    THDocument doc(book);
    for (int i = 0; i < kEach; ++i) {
      doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
      doc.InitNew();  // numbered outside the transaction, as the handlers do
      doc.BeginInsert();
      doc.Fields().Item("Name").SetValue(Variant(who));
      (void)doc.EndInsert();
    }
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      insert("child");
    } catch (...) {
      status = 1;
    }
    _exit(status);
  }
  insert("parent");
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child failed to insert";

  auto book = AppContext::Open(path, "P");
  std::set<std::string> numbers;
  std::set<std::string> writers;
  db::StatementHandle s =
      book->Connection().Prepare("SELECT \"Number\", \"Name\" FROM \"P$THDocument\"");
  int rows = 0;
  while (s->Step()) {
    ++rows;
    numbers.insert(s->GetText(0));
    writers.insert(s->GetText(1));
  }
  EXPECT_EQ(rows, 2 * kEach);
  EXPECT_EQ(numbers.size(), static_cast<size_t>(2 * kEach));
  EXPECT_EQ(writers.size(), 2u);
  EXPECT_EQ(numbers.count(std::to_string(2 * kEach)), 1u) << "numbers run 1.." << 2 * kEach;
}

}  // namespace
}  // namespace qts::host
