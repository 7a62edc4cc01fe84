// The table of error numbers: each number named once, the numbers a user knows from the old
// platform and the system kept as they are, and none mistaken for a result code.
#include "core/error_numbers.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "core/com.h"

namespace qts {
namespace {

TEST(ErrorNumbers, EachNumberAndEachNameOnce) {
  std::map<int32_t, std::string_view> by_number;
  std::set<std::string_view> names;
  for (const ErrorNumber& entry : kErrorNumbers) {
    auto [it, added] = by_number.emplace(entry.number, entry.name);
    EXPECT_TRUE(added) << entry.name << " and " << it->second << " share "
                       << FormatErrorNumber(entry.number);
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name << " listed twice";
  }
}

TEST(ErrorNumbers, TheUniquenessCheckSeesADuplicate) {
  constexpr ErrorNumber kClash[] = {
      {"a", ComponentError(0x331)}, {"b", 5}, {"c", static_cast<int32_t>(0x80040331u)}};
  EXPECT_FALSE(NumbersAreUnique(kClash));
  constexpr ErrorNumber kDistinct[] = {{"a", ComponentError(0x331)}, {"b", ComponentError(0x332)}};
  EXPECT_TRUE(NumbersAreUnique(kDistinct));
}

struct FixedNumber {
  int32_t number;
  int64_t expected;  // as the user sees it
};

class FixedNumberTest : public ::testing::TestWithParam<FixedNumber> {};

TEST_P(FixedNumberTest, KeepsItsValue) {
  EXPECT_EQ(static_cast<uint32_t>(GetParam().number), static_cast<uint32_t>(GetParam().expected));
}

// The platform's numbers, ADO's, and the component numbers the system gives.
INSTANTIATE_TEST_SUITE_P(
    ErrorNumbers, FixedNumberTest,
    ::testing::Values(
        FixedNumber{kErrInvalidCall, 5}, FixedNumber{kErrOverflow, 6},
        FixedNumber{kErrOutOfMemory, 7}, FixedNumber{kErrSubscript, 9},
        FixedNumber{kErrDivisionByZero, 11}, FixedNumber{kErrTypeMismatch, 13},
        FixedNumber{kErrInternal, 51}, FixedNumber{kErrFileAccess, 75},
        FixedNumber{kErrInvalidUseOfNull, 94}, FixedNumber{kErrObjectRequired, 424},
        FixedNumber{kErrCannotCreate, 429}, FixedNumber{kErrNoInterface, 430},
        FixedNumber{kErrNoSuchMember, 438}, FixedNumber{frame::kErrNoBook, 0x80040000},
        FixedNumber{kErrComponent, 0x80040001}, FixedNumber{host::kAdErrInvalidArgument, 3001},
        FixedNumber{host::kAdErrNoCurrentRecord, 3021},
        FixedNumber{host::kAdErrIllegalOperation, 3219},
        FixedNumber{host::kAdErrItemNotFound, 3265},
        FixedNumber{host::kAdErrObjectInCollection, 3367},
        FixedNumber{host::kAdErrObjectClosed, 3704}, FixedNumber{host::kAdErrObjectOpen, 3705},
        FixedNumber{host::kAdErrMultipleStep, 0x80040E21}));

TEST(ErrorNumbers, NoneIsAResultCodeOfTheEntryPoints) {
  // An error record that crosses an entry point carries its number beside the entry point's
  // result; the two must not be mistaken for each other.
  for (HResult code :
       {kSOk, kSFalse, kENotImpl, kENoInterface, kEPointer, kEFail, kEUnexpected,
        kClassENoAggregation, kClassEClassNotAvailable, kSelfRegEClass, kDispEException}) {
    for (const ErrorNumber& entry : kErrorNumbers) {
      EXPECT_NE(entry.number, code) << entry.name;
    }
  }
}

}  // namespace
}  // namespace qts
