#include "core/testing/qts_matchers.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/error.h"

namespace qts {
namespace {

void Raise(int32_t number) { throw Error(number, "Source", "the description"); }

TEST(QtsErrorMatcherTest, PassesOnTheRaisedNumberSourceAndDescription) {
  EXPECT_QTS_ERROR(Raise(kErrOverflow), kErrOverflow);
  ASSERT_QTS_ERROR(Raise(ComponentError(3)), ComponentError(3));
  EXPECT_QTS_ERROR_TEXT(Raise(kErrOverflow), kErrOverflow, "descr");
  EXPECT_QTS_ERROR_TEXT(Raise(kErrOverflow), kErrOverflow, "the", "description");
  EXPECT_QTS_ERROR_FROM(Raise(kErrOverflow), kErrOverflow, "Source", "the description");
}

TEST(QtsErrorMatcherTest, FailsSayingWhatHappenedInstead) {
  EXPECT_NONFATAL_FAILURE(EXPECT_QTS_ERROR((void)0, kErrOverflow), "nothing raised");
  EXPECT_NONFATAL_FAILURE(EXPECT_QTS_ERROR(Raise(ComponentError(1)), kErrOverflow),
                          "error 0x80040001 (-2147221503), source \"Source\", description \"the "
                          "description\"");
  EXPECT_NONFATAL_FAILURE(EXPECT_QTS_ERROR(throw std::runtime_error("disk full"), kErrOverflow),
                          "disk full");
  EXPECT_NONFATAL_FAILURE(EXPECT_QTS_ERROR_TEXT(Raise(kErrOverflow), kErrOverflow, "the", "other"),
                          "description containing \"the\", description containing \"other\"");

  EXPECT_NONFATAL_FAILURE(
      EXPECT_QTS_ERROR_FROM(Raise(kErrOverflow), kErrOverflow, "Elsewhere", "the description"),
      "source \"Elsewhere\"");
  EXPECT_FATAL_FAILURE(ASSERT_QTS_ERROR((void)0, kErrOverflow), "nothing raised");
}

}  // namespace
}  // namespace qts
