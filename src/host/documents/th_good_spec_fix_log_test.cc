#include "host/documents/th_good_spec_fix_log.h"

#include <gtest/gtest.h>

#include <string>

#include "core/convert.h"
#include "core/testing/qts_matchers.h"
#include "host/data/app_context.h"
#include "host/data/sql_tools.h"
#include "host/documents/testing/doc_book.h"
#include "host/schema/testing/seed.h"

namespace qts::host {
namespace {

using testing::DocBook;

// Two receipt rows (11, 12) and a write-off row (21) to link.
class FixLogTest : public DocBook {
 protected:
  void SetUp() override {
    DocBook::SetUp();
    qts::host::schema::testing::Seed(
        Db(),
        "INSERT INTO \"D$THDocument\"(\"IDC\",\"DocTypeCode\",\"Number\") VALUES "
        "(1,'PISF','R'),(2,'MMO','W')");
    qts::host::schema::testing::Seed(
        Db(),
        "INSERT INTO \"D$THGoodSpec\"(\"IDC\",\"DocID\",\"PosNumb\",\"GoodCode\",\"UnitCode\","
        "\"Amount\",\"AmountAccount\") VALUES (11,1,1,'G1','KG',5,5),(12,1,2,'G1','KG',5,5),"
        "(21,2,1,'G1','KG',7,7)");
  }

  int32_t Link(THGoodSpecFixLog& log, int32_t income, double amount,
               int32_t type = kFixLinkFuelWriteOff) {
    log.AddNew();
    NamedValueList& f = log.Fields();
    f.Item("GoodCode").SetValue(Variant("G1"));
    f.Item("OutcomeSpecID").SetValue(Variant(21));
    f.Item("IncomeSpecID").SetValue(Variant(income));
    f.Item("Amount").SetValue(Variant(Currency::FromDouble(amount)));
    f.Item("Type").SetValue(Variant(type));
    log.Update();
    return CLng(f.Item("IDC").Value());
  }
};

TEST_F(FixLogTest, LinksAreWrittenFoundReadBackAndDeleted) {
  auto log = std::dynamic_pointer_cast<THGoodSpecFixLog>(book_->CreateObject("THGoodSpecFixLog"));
  ASSERT_NE(log, nullptr) << "the book makes the rows object by its class name";
  const int32_t first = Link(*log, 11, 5);
  const int32_t second = Link(*log, 12, 2.125);
  EXPECT_GT(second, first);
  EXPECT_EQ(Count("THGoodSpecFixLog", "\"Type\" = 5 AND \"OutcomeSpecID\" = 21"), 2);

  THGoodSpecFixLog reader(book_);
  ASSERT_TRUE(reader.MoveToID(second));
  EXPECT_EQ(reader.Fields().Item("IncomeSpecID").Value().AsLong(), 12);
  EXPECT_EQ(reader.Fields().Item("Amount").Value().AsCurrency(), Currency::FromDouble(2.125));
  EXPECT_EQ(CStr(reader.Fields().Item("GoodCode").Value()), "G1");

  // Find takes the lowest IDC of the links that match; a condition built on the list's own
  // entry works as the write-off builds it.
  const std::string of_row =
      SqlTools::Instance()->Condition(reader.Fields().Item("OutcomeSpecID"), kOpEqual, Variant(21));
  ASSERT_TRUE(reader.Find(of_row));
  EXPECT_EQ(reader.Fields().Item("IDC").Value().AsLong(), first);
  ASSERT_TRUE(reader.Find("oTable.IncomeSpecID = 12"));
  EXPECT_EQ(reader.Fields().Item("IDC").Value().AsLong(), second);

  // Deleting them one at a time, as a refused write-off does, empties the row's links.
  int deleted = 0;
  while (reader.Find(of_row)) {
    ASSERT_TRUE(reader.Delete(reader.Fields().Item("IDC").Value().AsLong()));
    ++deleted;
  }
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(Count("THGoodSpecFixLog"), 0);
  EXPECT_FALSE(reader.Delete(first));
  EXPECT_FALSE(reader.MoveToID(first));
  EXPECT_FALSE(reader.Find(of_row));
}

TEST_F(FixLogTest, BadLinksAreRefusedAndWriteNothing) {
  THGoodSpecFixLog log(book_);
  EXPECT_QTS_ERROR(log.Update(), kErrDocument) << "Update without AddNew";
  log.AddNew();
  log.Fields().Item("IncomeSpecID").SetValue(Variant(11));
  EXPECT_QTS_ERROR(log.Update(), kErrDocument) << "no outgoing row";
  log.Fields().Item("OutcomeSpecID").SetValue(Variant(21));
  log.Fields().Item("Amount").SetValue(Variant("a lot"));
  EXPECT_QTS_ERROR(log.Update(), kErrTypeMismatch);
  log.Fields().Item("Amount").SetValue(Variant(1));
  log.Fields().Item("IncomeSpecID").SetValue(Variant(999));
  EXPECT_THROW(log.Update(), Error) << "a row the book does not have";

  EXPECT_EQ(Count("THGoodSpecFixLog"), 0);
  EXPECT_EQ(log.Fields().Item("IDC").Value().AsLong(), 0);
}

}  // namespace
}  // namespace qts::host
