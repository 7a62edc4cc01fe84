#include "host/services/error_reporter.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>

#include "host/ui/scripted_operator.h"

namespace qts::host {
namespace {

class ErrorReporterTest : public ::testing::Test {
 protected:
  ErrorReporterTest() : operator_(std::make_shared<ScriptedOperator>()), scoped_(operator_) {
    CurrentError::Clear();
  }
  std::shared_ptr<ScriptedOperator> operator_;
  ScopedOperator scoped_;
};

TEST_F(ErrorReporterTest, EveryKindOfExceptionBecomesAnErrorRecord) {
  struct Case {
    std::exception_ptr exception;
    int32_t number;
    const char* source;
    const char* description;
  };
  const Case cases[] = {
      {std::make_exception_ptr(Error(kErrComponent, "CMDocSupport", "m_DoList == Nothing")),
       kErrComponent, "CMDocSupport", "m_DoList == Nothing"},
      {std::make_exception_ptr(Error(kErrTypeMismatch)), kErrTypeMismatch, "", "Type mismatch"},
      {std::make_exception_ptr(std::bad_alloc()), kErrOutOfMemory, "", "Out of memory"},
      {std::make_exception_ptr(std::logic_error("broken")), kErrInternal, "", "broken"},
      {std::make_exception_ptr(42), kErrInternal, "", "unknown exception"},
  };
  for (const Case& c : cases) {
    ErrorInfo info = ErrorInfo::From(c.exception);
    EXPECT_EQ(info.number, c.number) << c.description;
    EXPECT_EQ(info.source, c.source);
    EXPECT_EQ(info.description, c.description);
  }
  EXPECT_FALSE(ErrorInfo::From(std::exception_ptr()).IsSet());
  EXPECT_FALSE(ErrorInfo::InFlight().IsSet()) << "no exception is being handled here";
}

TEST_F(ErrorReporterTest, CaptureRecordsOnlyInsideACatchBlock) {
  EXPECT_FALSE(CurrentError::Capture());
  EXPECT_FALSE(CurrentError::Get().IsSet());
  try {
    throw Error(kErrOverflow, "CFuelWriteOff");
  } catch (const Error&) {
    EXPECT_TRUE(CurrentError::Capture());
  }
  EXPECT_EQ(CurrentError::Get().number, kErrOverflow);
  EXPECT_FALSE(CurrentError::Capture()) << "outside the catch block nothing changes";
  EXPECT_EQ(CurrentError::Get().source, "CFuelWriteOff");
  CurrentError::Clear();
  EXPECT_FALSE(CurrentError::Get().IsSet());
}

TEST_F(ErrorReporterTest, ReportsAfterTheCatchSiteCleanedUp) {
  ErrorReporter reporter;
  try {
    throw Error(kErrQuery, "Query", "bad column");
  } catch (...) {
    reporter.Capture();
    EXPECT_TRUE(operator_->Errors().empty()) << "Capture shows nothing";
  }
  reporter.Report();
  ASSERT_EQ(operator_->Errors().size(), 1u);
  EXPECT_EQ(operator_->Errors()[0].number, kErrQuery);
  EXPECT_EQ(operator_->Errors()[0].description, "bad column");
  EXPECT_EQ(CurrentError::Get().description, "bad column") << "the captured error is current";
}

TEST_F(ErrorReporterTest, OutsideACatchBlockCaptureTakesTheCurrentRecord) {
  ErrorReporter empty;
  empty.Capture();
  empty.Report();
  EXPECT_TRUE(operator_->Errors().empty()) << "nothing captured, nothing reported";

  CurrentError::Set(Error(kErrSubscript, "NamedValueList", "no entry \"X\""));
  ErrorReporter reporter;
  reporter.Capture();
  CurrentError::Clear();
  reporter.Report();
  ASSERT_EQ(operator_->Errors().size(), 1u);
  EXPECT_EQ(operator_->Errors()[0].source, "NamedValueList");

  ErrorReporter explicit_error;
  explicit_error.Capture(Error(kErrDivisionByZero));
  EXPECT_EQ(CurrentError::Get().number, kErrDivisionByZero);
}

}  // namespace
}  // namespace qts::host
