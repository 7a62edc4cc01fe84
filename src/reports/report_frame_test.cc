#include "reports/report_frame.h"

#include <gtest/gtest.h>

#include <string>

#include "core/convert.h"
#include "core/dispatch.h"
#include "frame/catalogue.h"
#include "host/interfaces.h"

namespace qts::reports {
namespace {

// Every report class is created by its programmatic identifier, serves IReportExec and keeps
// Visual and AlterFormCode, directly and by name.
class ReportClassTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ReportClassTest, CreatedByProgIdKeepsItsProperties) {
  const frame::ClassInfo* cls =
      frame::Catalogue::Instance().FindProgId(std::string("QTS_Inventory.") + GetParam());
  ASSERT_NE(cls, nullptr);
  ObjectPtr object = frame::Catalogue::Instance().Create(*cls);
  auto report = TryQueryInterface<host::IReportExec>(object);
  ASSERT_NE(report, nullptr);
  EXPECT_FALSE(report->Visual());
  report->SetVisual(true);
  report->SetAlterFormCode("X");
  EXPECT_TRUE(report->Visual());
  EXPECT_EQ(report->AlterFormCode(), "X");
  report->SetVisual(false);
  EXPECT_FALSE(report->Visual());
  CallByName(object, "AlterFormCode", InvokeKind::kPropertyPut, {Variant("Y")});
  EXPECT_EQ(CStr(CallByName(object, "AlterFormCode", InvokeKind::kPropertyGet)), "Y");
}

INSTANTIATE_TEST_SUITE_P(Reports, ReportClassTest,
                         ::testing::Values("CRepNotSpentManufGoods", "CRepNotSpentOrdGoods",
                                           "CRepGoodRestBDK", "CRepWriteOffBDK",
                                           "CRepStoreRestByTerm", "CRepWriteOffSvyd"));

}  // namespace
}  // namespace qts::reports
