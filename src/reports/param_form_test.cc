#include "reports/param_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.h"
#include "frame/catalogue.h"
#include "host/interfaces.h"
#include "reports/report_frame.h"
#include "reports/testing/report_harness.h"

namespace qts::reports {
namespace {

struct FormError {
  const char* report;
  const char* form;
  const char* control;  // emptied
};

class ParamFormErrorTest : public ::testing::TestWithParam<FormError> {};

// A form's own error reads the same in every report: shown once, as it was raised -- its
// number, the form as its source and a text naming the control -- whatever number the report's
// handler gives the errors of its run; and the report prints nothing.
TEST_P(ParamFormErrorTest, IsShownAsRaisedWhateverTheReport) {
  const FormError& c = GetParam();
  testing::ReportRunner runner;
  ObjectPtr object =
      frame::Catalogue::Instance().Create(*frame::Catalogue::Instance().FindClass(c.report));
  auto report = QueryInterface<host::IReportExec>(object);
  EXPECT_FALSE(runner.Run(*report, testing::GeneratedBook(), {{c.control, Variant("")}}));
  ASSERT_EQ(runner.Op().Errors().size(), 1u);
  const auto& shown = runner.Op().Errors()[0];
  EXPECT_EQ(shown.number, kErrInvalidUseOfNull);
  EXPECT_NE(shown.number, kErrComponent);
  EXPECT_EQ(shown.source, c.form);
  EXPECT_NE(shown.description.find(c.control), std::string::npos) << shown.description;
  EXPECT_FALSE(runner.Values().ExistsField("DataList"));
}

INSTANTIATE_TEST_SUITE_P(
    EveryForm, ParamFormErrorTest,
    ::testing::Values(FormError{"CRepStoreRestByTerm", "frmRepStoreRestByTerm", "edDayAmount"},
                      FormError{"CRepNotSpentOrdGoods", "frmRepNotSpentGoods", "edEndDate"},
                      FormError{"CRepNotSpentManufGoods", "frmRepNotSpentGoods", "edBegDate"},
                      FormError{"CRepGoodRestBDK", "frmRepRestOffBDK", "edRepDate"},
                      FormError{"CRepWriteOffBDK", "frmRepWriteOffBDK", "edEndDate"},
                      FormError{"CRepWriteOffSvyd", "frmRepWriteOffSvyd", "edBegDate"}),
    [](const auto& info) { return std::string(info.param.report); });

// A number too large for the form's whole-number box is the platform's overflow, naming the box.
TEST(ParamFormErrorTest, ANumberOutOfRangeNamesItsBox) {
  testing::ReportRunner runner;
  ObjectPtr object = frame::Catalogue::Instance().Create(
      *frame::Catalogue::Instance().FindClass("CRepStoreRestByTerm"));
  auto report = QueryInterface<host::IReportExec>(object);
  EXPECT_FALSE(
      runner.Run(*report, testing::GeneratedBook(), {{"edDayAmount", Variant("99999999999")}}));
  ASSERT_EQ(runner.Op().Errors().size(), 1u);
  const auto& shown = runner.Op().Errors()[0];
  EXPECT_EQ(shown.number, kErrOverflow);
  EXPECT_EQ(shown.source, "frmRepStoreRestByTerm");
  EXPECT_NE(shown.description.find("\"edDayAmount\" is out of range: 99999999999"),
            std::string::npos)
      << shown.description;
}

// An error raised without a source is shown with the form's name as its source.
TEST(ParamFormErrorTest, AnErrorWithoutASourceNamesTheForm) {
  class Failing final : public ParamForm {
   public:
    Failing() : ParamForm("frmFailing", "") {}

   protected:
    void BuildControls(host::Form&) override {}
    void WriteValues(host::NamedValueList&) override { throw Error(kErrTypeMismatch); }
  };
  testing::ReportRunner runner;
  // The runner's operator answers the next form; run the form the way a report does.
  runner.Op().AnswerForm({"", true, {}});
  Failing form;
  host::AppContextPtr book = testing::GeneratedBook();
  auto list = std::make_shared<host::NamedValueList>();
  EXPECT_FALSE(form.Run(book, list));
  ASSERT_EQ(runner.Op().Errors().size(), 1u);
  EXPECT_EQ(runner.Op().Errors()[0].number, kErrTypeMismatch);
  EXPECT_EQ(runner.Op().Errors()[0].source, "frmFailing");
}

}  // namespace
}  // namespace qts::reports
