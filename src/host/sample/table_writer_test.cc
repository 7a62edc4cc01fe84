#include "host/sample/table_writer.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/app_context.h"
#include "host/schema/schema.h"

namespace qts::host::sample {
namespace {

class TableWriterTest : public ::testing::Test {
 protected:
  std::shared_ptr<AppContext> book_ = AppContext::CreateBook(":memory:", "TW");

  int64_t Units() {
    auto st = book_->Connection().Prepare("SELECT COUNT(*) FROM \"" +
                                          schema::PhysicalName("TW", "REFUnit") + "\"");
    return st->Step() ? st->GetInt64(0) : -1;
  }
};

TEST_F(TableWriterTest, InsertsRowsThroughOneStatementInAnyCaseOfNames) {
  TableWriter units(book_->Connection(), "TW", "refunit", {"code", "NAME"});
  units.Insert({"kg", "kilogramai"});
  units.Insert({"l", db::Value()});
  EXPECT_EQ(units.Count(), 2);
  EXPECT_EQ(Units(), 2);
}

TEST_F(TableWriterTest, RefusesWhatIsNotATableColumnOrRow) {
  db::Connection& c = book_->Connection();
  EXPECT_QTS_ERROR(TableWriter(c, "TW", "NoSuchTable", {"Code"}), kErrInvalidCall);
  // A view is a source of the book but not a table.
  EXPECT_QTS_ERROR(TableWriter(c, "TW", "THGoodSpecNotFixed", {"IDC"}), kErrInvalidCall);
  EXPECT_QTS_ERROR(TableWriter(c, "TW", "REFUnit", {"Code", "Colour"}), kErrInvalidCall);
  TableWriter units(c, "TW", "REFUnit", {"Code", "Name"});
  EXPECT_QTS_ERROR(units.Insert({"kg"}), kErrInvalidCall);
  EXPECT_QTS_ERROR(units.Insert({"kg", "a", "b"}), kErrInvalidCall);
  EXPECT_EQ(units.Count(), 0);
  EXPECT_EQ(Units(), 0);
  // A row the table refuses (a duplicate code) raises and is not counted.
  units.Insert({"kg", "kilogramai"});
  EXPECT_THROW(units.Insert({"kg", "vėl"}), Error);
  EXPECT_EQ(units.Count(), 1);
  // The statement is usable again after the failure.
  units.Insert({"t", "tonos"});
  EXPECT_EQ(Units(), 2);
}

}  // namespace
}  // namespace qts::host::sample
