// Test checks shared by every test binary: a statement raises the system's error (qts::Error or
// one derived from it) with a given number, and in the longer forms a given source and
// description. A failure says what was raised instead: the number (as shown to a user and in
// decimal), the source and the description, or the other exception, or that nothing was raised.
//
//   EXPECT_QTS_ERROR(CLng(Variant("x")), kErrTypeMismatch);
//   ASSERT_QTS_ERROR(book.Open(), kErrBook) << "context";
//   EXPECT_QTS_ERROR_TEXT(list.Item("Nope"), kErrSubscript, "Nope");  // description contains
//   EXPECT_QTS_ERROR_TEXT(db.Execute(sql), kErrConstraint, "NOT NULL", sql);  // each of these
//   EXPECT_QTS_ERROR_FROM(fuel.WriteOff(...), kErrX, "CFuelWriteOff", "cannot read vehicle - V");
//
// The statement is an expression (its value, if any, is dropped); it runs once.
#ifndef QTS_CORE_TESTING_QTS_MATCHERS_H_
#define QTS_CORE_TESTING_QTS_MATCHERS_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "core/error.h"

namespace qts::testing {

// What the raised error must carry. `source` and `description`, when given, must be equal;
// each of `texts` must stand in the description.
struct ExpectedQtsError {
  int32_t number;
  std::optional<std::string> source;
  std::optional<std::string> description;
  std::vector<std::string> texts;
};

// "error 0x80040001 (-2147221503), source "S", description "D"".
inline std::string DescribeQtsError(const Error& e) {
  return "error " + FormatErrorNumber(e.Number()) + " (" + std::to_string(e.Number()) +
         "), source \"" + e.Source() + "\", description \"" + e.Description() + "\"";
}

// Runs `action` once. Success when it raises qts::Error carrying what `expected` asks for;
// otherwise a failure naming `statement`, what was expected and what happened.
inline ::testing::AssertionResult RaisesQtsError(std::string_view statement,
                                                 const std::function<void()>& action,
                                                 const ExpectedQtsError& expected) {
  std::string wanted =
      "error " + FormatErrorNumber(expected.number) + " (" + std::to_string(expected.number) + ")";
  if (expected.source) wanted += ", source \"" + *expected.source + "\"";
  if (expected.description) wanted += ", description \"" + *expected.description + "\"";
  for (const std::string& text : expected.texts) {
    wanted += ", description containing \"" + text + "\"";
  }
  auto failure = [&]() {
    return ::testing::AssertionFailure()
           << statement << "\n  expected: " << wanted << "\n  actual:   ";
  };
  try {
    action();
  } catch (const Error& e) {
    bool same = e.Number() == expected.number &&
                (!expected.source || e.Source() == *expected.source) &&
                (!expected.description || e.Description() == *expected.description);
    for (const std::string& text : expected.texts) {
      same = same && e.Description().find(text) != std::string::npos;
    }
    if (same) return ::testing::AssertionSuccess();
    return failure() << DescribeQtsError(e);
  } catch (const std::exception& e) {
    return failure() << "another exception, " << typeid(e).name() << ": " << e.what();
  } catch (...) {
    return failure() << "an exception that is no std::exception";
  }
  return failure() << "nothing raised";
}

// Turns a number given as any integer or enumeration into the number an Error carries.
template <typename N>
constexpr int32_t QtsErrorNumber(N number) {
  return static_cast<int32_t>(number);
}

}  // namespace qts::testing

#define QTS_ERROR_CHECK_(fail, statement, ...)                                               \
  switch (0)                                                                                 \
  case 0:                                                                                    \
  default:                                                                                   \
    if (const ::testing::AssertionResult qts_error_result_ = ::qts::testing::RaisesQtsError( \
            #statement, [&]() { static_cast<void>(statement); }, __VA_ARGS__)) {             \
    } else                                                                                   \
      fail() << qts_error_result_.message()

#define EXPECT_QTS_ERROR(statement, number) \
  QTS_ERROR_CHECK_(ADD_FAILURE, statement,  \
                   {::qts::testing::QtsErrorNumber(number), std::nullopt, std::nullopt, {}})
#define ASSERT_QTS_ERROR(statement, number) \
  QTS_ERROR_CHECK_(FAIL, statement,         \
                   {::qts::testing::QtsErrorNumber(number), std::nullopt, std::nullopt, {}})
// The description must contain each of the texts as well.
#define EXPECT_QTS_ERROR_TEXT(statement, number, ...) \
  QTS_ERROR_CHECK_(                                   \
      ADD_FAILURE, statement,                         \
      {::qts::testing::QtsErrorNumber(number), std::nullopt, std::nullopt, {__VA_ARGS__}})
// The source and the description must be exactly these.
#define EXPECT_QTS_ERROR_FROM(statement, number, source, description) \
  QTS_ERROR_CHECK_(ADD_FAILURE, statement,                            \
                   {::qts::testing::QtsErrorNumber(number), (source), (description), {}})

#endif  // QTS_CORE_TESTING_QTS_MATCHERS_H_
