#include "frame/module_functions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "frame/define_module.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/testing/sample_book.h"
#include "host/report/report_engine.h"
#include "host/services/error_reporter.h"
#include "host/services/message_table.h"
#include "host/ui/scripted_operator.h"

namespace qts::frame {
namespace {

using host::adCurrency;
using host::adVarWChar;

std::string MessageText(int32_t id) {
  EnsureStarted();
  return GetGlobals().MessageTable->GetText(id);
}

// ---- FormatMsg -------------------------------------------------------------------------------

TEST(FormatMsgTest, ReplacesEachPlaceholderByItsArgument) {
  struct Case {
    std::string text;
    std::vector<Variant> args;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", {Variant("a")}, ""},
      {"no placeholders here", {Variant("x"), Variant("y")}, "no placeholders here"},
      {"%0 and %1", {Variant("first"), Variant("second")}, "first and second"},
      {"%1%0%1", {Variant("A"), Variant("B")}, "BAB"},
      {"%0 kg of %1", {Variant(2.5), Variant(int32_t{7})}, "2.5 kg of 7"},
      {"%2 is left as it is", {Variant("a"), Variant("b")}, "%2 is left as it is"},
      {"100%0", {Variant("")}, "100"},
      // Highest index first: the text put in for %1 is itself a placeholder that %0 then fills.
      {"%1", {Variant("x"), Variant("%0")}, "x"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatMsg(c.text, c.args), c.expected) << c.text;
}

TEST(FormatMsgTest, TheTenthPlaceholderIsReplacedBeforeTheFirst) {
  std::vector<Variant> args;
  for (int i = 0; i <= 10; ++i) args.emplace_back("<" + std::to_string(i) + ">");
  EXPECT_EQ(FormatMsg("%10|%1|%0", args), "<10>|<1>|<0>");
}

TEST(FormatMsgTest, ANullArgumentIsInvalidUseOfNull) {
  EXPECT_QTS_ERROR(FormatMsg("%0", {Variant::Null()}), kErrInvalidUseOfNull);
}

// ---- JoinNonEmpty ----------------------------------------------------------------------------

TEST(JoinNonEmptyTest, JoinsOnlyThePartsThatAreThere) {
  struct Case {
    const char *sep1, *a, *b, *sep2, *c, *expected;
  };
  for (const Case& c : {
           Case{",", "Jonas", "Jonaitis", ";", "vadovas", "Jonas, Jonaitis; vadovas"},
           Case{"", "Jonas", "Jonaitis", "", "", "Jonas Jonaitis"},
           Case{",", "", "Jonaitis", ";", "", "Jonaitis"},
           Case{",", "Jonas", "", ";", "", "Jonas"},
           Case{",", "", "", ";", "vadovas", "vadovas"},
           Case{",", "Jonas", "", ";", "vadovas", "Jonas; vadovas"},
           Case{",", "", "Jonaitis", ";", "vadovas", "Jonaitis; vadovas"},
           Case{",", "", "", ";", "", ""},
       }) {
    EXPECT_EQ(JoinNonEmpty(c.sep1, c.a, c.b, c.sep2, c.c), c.expected)
        << "[" << c.a << "][" << c.b << "][" << c.c << "]";
  }
}

// ---- RecordsetAggregate ----------------------------------------------------------------------

Currency Cy(const char* text) { return *Currency::Parse(text); }

// Code and Qty, one row per value, in this order.
host::RecordsetPtr Quantities(const std::vector<std::pair<const char*, Variant>>& rows) {
  auto rs = std::make_shared<host::Recordset>();
  rs->Fields().Append("Code", adVarWChar, 10);
  rs->Fields().Append("Qty", adCurrency, 0, host::adFldIsNullable);
  rs->Open();
  for (const auto& [code, qty] : rows) rs->AddNew({"Code", "Qty"}, {Variant(code), qty});
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

host::RecordsetPtr Sample() {
  return Quantities({{"A", Variant(Cy("5"))},
                     {"B", Variant(Cy("2.5"))},
                     {"C", Variant(Cy("9"))},
                     {"D", Variant(Cy("4"))}});
}

TEST(RecordsetAggregateTest, KindsOverTheRecordsTheFilterShows) {
  struct Case {
    int32_t kind;
    const char* filter;
    const char* expected;
  };
  host::RecordsetPtr rs = Sample();
  for (const Case& c : {
           Case{kAggCount, "", "4"},
           Case{kAggCount, "0", "4"},
           Case{kAggCount, "Code = 'A' OR Code = 'C'", "2"},
           Case{kAggCount, "Code = 'Z'", "0"},
           Case{kAggSum, "", "20.5"},
           Case{kAggSum, "0", "20.5"},
           Case{kAggSum, "Code = 'A' OR Code = 'C'", "14"},
           Case{kAggSum, "Code = 'Z'", "0"},
           Case{kAggMin, "", "2.5"},
           Case{kAggMax, "", "9"},
           Case{kAggMin, "Code <> 'C'", "2.5"},
           Case{kAggMax, "Code <> 'C'", "5"},
           Case{2, "", "0"},
           Case{3, "", "0"},
           Case{7, "", "0"},
       }) {
    EXPECT_EQ(RecordsetAggregate(rs, "Qty", c.kind, c.filter), Cy(c.expected))
        << "kind " << c.kind << " filter \"" << c.filter << "\"";
  }
}

TEST(RecordsetAggregateTest, OverNoRecordsEveryKindGivesZero) {
  host::RecordsetPtr empty = Quantities({});
  for (int32_t kind : {kAggCount, kAggSum, kAggMin, kAggMax}) {
    EXPECT_EQ(RecordsetAggregate(empty, "Qty", kind, ""), Currency()) << kind;
  }
}

TEST(RecordsetAggregateTest, MinAndMaxOfOneRecordAreItsValue) {
  for (const char* value : {"7.25", "-3", "0"}) {
    host::RecordsetPtr one = Quantities({{"A", Variant(Cy(value))}});
    EXPECT_EQ(RecordsetAggregate(one, "Qty", kAggMin, ""), Cy(value));
    EXPECT_EQ(RecordsetAggregate(one, "Qty", kAggMax, ""), Cy(value));
  }
  // Negative values: the first record starts the maximum, not the 0 the total starts from.
  host::RecordsetPtr negative = Quantities({{"A", Variant(Cy("-3"))}, {"B", Variant(Cy("-1"))}});
  EXPECT_EQ(RecordsetAggregate(negative, "Qty", kAggMax, ""), Cy("-1"));
  EXPECT_EQ(RecordsetAggregate(negative, "Qty", kAggMin, ""), Cy("-3"));
}

TEST(RecordsetAggregateTest, OnlyTheFirstStoredRowStartsMinAndMax) {
  // A filter that leaves out the first stored row: no record has bookmark 1, so the running
  // value keeps its start of 0 unless a value beats it.
  host::RecordsetPtr rs = Sample();
  EXPECT_EQ(RecordsetAggregate(rs, "Qty", kAggMin, "Code = 'C'"), Currency());
  EXPECT_EQ(RecordsetAggregate(rs, "Qty", kAggMax, "Code = 'C'"), Cy("9"));
  host::RecordsetPtr negative = Quantities({{"A", Variant(Cy("-3"))}, {"B", Variant(Cy("-1"))}});
  EXPECT_EQ(RecordsetAggregate(negative, "Qty", kAggMin, "Code = 'B'"), Cy("-1"));
  EXPECT_EQ(RecordsetAggregate(negative, "Qty", kAggMax, "Code = 'B'"), Currency());
}

TEST(RecordsetAggregateTest, TheCallersPositionAndFilterStayAsTheyWere) {
  host::RecordsetPtr rs = Sample();
  rs->SetFilter(Variant("Code <> 'A'"));
  rs->MoveNext();
  const Variant bookmark = rs->Bookmark();
  EXPECT_EQ(RecordsetAggregate(rs, "Qty", kAggSum, "0"), Cy("20.5"));
  EXPECT_EQ(RecordsetAggregate(rs, "Qty", kAggCount, "Code = 'A'"), Cy("1"));
  EXPECT_EQ(CStr(rs->Filter()), "Code <> 'A'");
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_TRUE(rs->Bookmark() == bookmark);
  EXPECT_EQ(CStr(rs->Value("Code")), "C");
}

TEST(RecordsetAggregateTest, ErrorsOfTheRecordsetAndOfNullValues) {
  host::RecordsetPtr rs = Sample();
  EXPECT_QTS_ERROR(RecordsetAggregate(nullptr, "Qty", kAggSum, ""), kErrObjectRequired);
  EXPECT_QTS_ERROR(RecordsetAggregate(rs, "NoSuch", kAggSum, ""), host::kAdErrItemNotFound);
  EXPECT_QTS_ERROR(RecordsetAggregate(rs, "Qty", kAggSum, "Code = ="), host::kAdErrInvalidArgument);
  // Count and the kinds that take nothing never read the field.
  EXPECT_EQ(RecordsetAggregate(rs, "NoSuch", kAggCount, ""), Cy("4"));
  EXPECT_EQ(RecordsetAggregate(rs, "NoSuch", 9, ""), Currency());

  host::RecordsetPtr with_null =
      Quantities({{"A", Variant(Cy("1"))}, {"B", Variant::Null()}, {"C", Variant(Cy("3"))}});
  EXPECT_QTS_ERROR(RecordsetAggregate(with_null, "Qty", kAggSum, ""), kErrInvalidUseOfNull);
  // A Null compares as unknown, so it is skipped unless it is in the first stored row.
  EXPECT_EQ(RecordsetAggregate(with_null, "Qty", kAggMax, ""), Cy("3"));
  host::RecordsetPtr null_first = Quantities({{"A", Variant::Null()}, {"B", Variant(Cy("3"))}});
  EXPECT_QTS_ERROR(RecordsetAggregate(null_first, "Qty", kAggMin, ""), kErrInvalidUseOfNull);
}

// ---- Book, queries and the client application ------------------------------------------------

class ModuleBookTest : public host::testing::SampleBook {
 protected:
  ModuleBookTest()
      : app_(std::make_shared<host::ReportApp>()),
        scoped_app_(app_),
        operator_(std::make_shared<host::ScriptedOperator>()),
        scoped_operator_(operator_) {
    host::CurrentError::Clear();
  }

  static host::NamedValueListPtr ParamsWith(const Variant& book) {
    auto params = std::make_shared<host::NamedValueList>();
    params->Add("DateFrom", host::Kind::kDate, Variant(Date::FromYmd(2026, 1, 1)));
    params->Add("Book", host::Kind::kNone, book);
    return params;
  }

  std::shared_ptr<host::ReportApp> app_;
  host::ScopedClientApplication scoped_app_;
  std::shared_ptr<host::ScriptedOperator> operator_;
  host::ScopedOperator scoped_operator_;
};

TEST_F(ModuleBookTest, GetBookTakesTheParameterThenTheCurrentBook) {
  auto current = host::AppContext::CreateBook(":memory:", "CUR");
  host::NamedValueListPtr params = ParamsWith(Variant(ObjectPtr(book_)));

  EXPECT_EQ(GetBook(params, false), book_);
  EXPECT_EQ(app_->CurrentBook(), nullptr) << "SetCurrent False leaves the application alone";

  app_->SetCurrentBook(current);
  EXPECT_EQ(GetBook(params, true), book_) << "the parameter wins over the current book";
  EXPECT_EQ(app_->CurrentBook(), current) << "a current book is not replaced";

  host::NamedValueListPtr none;
  EXPECT_EQ(GetBook(none, false), current);
  auto without_entry = std::make_shared<host::NamedValueList>();
  without_entry->Add("DateFrom", host::Kind::kDate, Variant(Date::FromYmd(2026, 1, 1)));
  host::NamedValueListPtr list = without_entry;
  EXPECT_EQ(GetBook(list, false), current);
  host::NamedValueListPtr nothing = ParamsWith(Variant::Nothing());
  EXPECT_EQ(GetBook(nothing, false), current);
  host::NamedValueListPtr unusable =
      ParamsWith(Variant(ObjectPtr(std::make_shared<host::AppContext>())));
  EXPECT_EQ(GetBook(unusable, false), current) << "a book without a name is replaced";
}

TEST_F(ModuleBookTest, GetBookWithSetCurrentMakesTheBookCurrentWhenThereIsNone) {
  host::NamedValueListPtr params = ParamsWith(Variant(ObjectPtr(book_)));
  EXPECT_EQ(GetBook(params, true), book_);
  EXPECT_EQ(app_->CurrentBook(), book_);
  host::NamedValueListPtr none;
  EXPECT_EQ(GetBook(none, false), book_);
}

TEST_F(ModuleBookTest, GetBookWithoutAnyBookRaisesTheComponentError) {
  const std::string expected = FormatMsg(MessageText(kMsgNoBook), {Variant("")});
  host::NamedValueListPtr none;
  host::NamedValueListPtr unusable =
      ParamsWith(Variant(ObjectPtr(std::make_shared<host::AppContext>())));
  for (host::NamedValueListPtr* params : {&none, &unusable}) {
    EXPECT_QTS_ERROR_FROM(GetBook(*params, true), kErrNoBook, "DefineModule::GetBook", expected);
  }
  EXPECT_EQ(app_->CurrentBook(), nullptr);

  host::NamedValueListPtr text = ParamsWith(Variant("T"));
  EXPECT_QTS_ERROR(GetBook(text, false), kErrTypeMismatch);
}

TEST_F(ModuleBookTest, GetBookWithoutAClientApplication) {
  host::ScopedClientApplication no_app(nullptr);
  host::NamedValueListPtr params = ParamsWith(Variant(ObjectPtr(book_)));
  EXPECT_EQ(GetBook(params, true), book_);
  host::NamedValueListPtr none;
  EXPECT_QTS_ERROR(GetBook(none, false), kErrNoBook);
}

host::QueryPtr Goods(host::AppContext& book) {
  host::QueryPtr q = book.CreateQuery("REFGood");
  q->Fields().KeepOnly({"Code", "Name"});
  q->Fields().Item("Code").SetDisplayText("Kodas");
  q->AddWhere("oTable.IsGroup = 0");
  q->OrderBy("Code");
  return q;
}

TEST_F(ModuleBookTest, WrapQuerySelectsFromTheSourceUnderTheAlias) {
  host::QueryPtr source = Goods(*book_);
  host::AppContextPtr book = book_;
  host::QueryPtr wrapped = WrapQuery(source, "W", Variant(true), book, false);
  ASSERT_NE(wrapped, nullptr);
  EXPECT_NE(wrapped, source);
  EXPECT_EQ(wrapped->Alias(), "W");
  EXPECT_EQ(wrapped->OutputNames(), (std::vector<std::string>{"Code", "Name"}));
  EXPECT_EQ(wrapped->Fields().Item("Code").DisplayText(), "Code") << "texts not copied";
  wrapped->OrderBy("Code");
  EXPECT_EQ(OpenRows(*wrapped),
            (host::testing::RowList{{"G1", "Flour"}, {"G2", "Boxes"}, {"G3", "Oil"}}));

  host::QueryPtr with_texts = WrapQuery(source, "W", Variant(), book, true);
  EXPECT_EQ(with_texts->Fields().Item("Code").DisplayText(), "Kodas");
  EXPECT_EQ(with_texts->Fields().Item("Name").DisplayText(), "Name");
}

TEST_F(ModuleBookTest, WrapQueryWithoutABookTakesTheCurrentOneIntoTheCallersVariable) {
  app_->SetCurrentBook(book_);
  host::AppContextPtr book;
  host::QueryPtr wrapped = WrapQuery(Goods(*book_), "X", Variant(), book, false);
  EXPECT_EQ(book, book_);
  wrapped->AddWhere("X.Code <> 'G2'");
  wrapped->OrderBy("Code");
  EXPECT_EQ(OpenRows(*wrapped), (host::testing::RowList{{"G1", "Flour"}, {"G3", "Oil"}}));

  app_->SetCurrentBook(nullptr);
  host::AppContextPtr still_none;
  EXPECT_QTS_ERROR(WrapQuery(Goods(*book_), "X", Variant(), still_none, false), kErrObjectRequired);
  EXPECT_EQ(still_none, nullptr);
  EXPECT_QTS_ERROR(WrapQuery(nullptr, "X", Variant(), book, false), kErrObjectRequired);
}

TEST_F(ModuleBookTest, OpenWithWaitTakesTheMainWindowForANegativeHandle) {
  app_->SetMainForm(std::make_shared<host::MainForm>(4711));
  struct Case {
    int32_t given;
    int32_t expected;
  };
  for (const Case& c : {Case{-1, 4711}, Case{-7, 4711}, Case{0, 0}, Case{12, 12}}) {
    host::QueryPtr q = Goods(*book_);
    int32_t hwnd = c.given;
    OpenWithWait(q, hwnd);
    EXPECT_EQ(hwnd, c.expected) << c.given;
    EXPECT_TRUE(q->IsOpen());
    EXPECT_EQ(q->RecordCount(), 3);
  }
  EXPECT_EQ(operator_->WaitTexts(), std::vector<std::string>(4, MessageText(kMsgWaitText)));
  EXPECT_FALSE(operator_->WaitOpen()) << "the wait window is closed after the query opened";
  EXPECT_TRUE(operator_->Errors().empty());
}

TEST_F(ModuleBookTest, OpenWithWaitWithoutAMainWindowOrApplication) {
  host::QueryPtr q = Goods(*book_);
  int32_t hwnd = -1;
  OpenWithWait(q, hwnd);
  EXPECT_EQ(hwnd, -1) << "no main window to take the handle of";
  EXPECT_TRUE(q->IsOpen());
  EXPECT_EQ(operator_->WaitTexts().size(), 1u);

  host::ScopedClientApplication no_app(nullptr);
  host::QueryPtr again = Goods(*book_);
  OpenWithWait(again, hwnd);
  EXPECT_TRUE(again->IsOpen());
  EXPECT_EQ(operator_->WaitTexts().size(), 1u) << "no wait window without an application";
}

TEST_F(ModuleBookTest, OpenWithWaitReportsAFailureAfterClosingTheWaitWindow) {
  app_->SetMainForm(std::make_shared<host::MainForm>(99));
  host::QueryPtr q = book_->CreateQuery("REFGood");
  q->AddWhere("oTable.NoSuchColumn = 1");
  int32_t hwnd = -1;
  ASSERT_NO_THROW(OpenWithWait(q, hwnd));
  EXPECT_FALSE(q->IsOpen());
  ASSERT_EQ(operator_->Errors().size(), 1u);
  const auto& shown = operator_->Errors()[0];
  EXPECT_NE(shown.description.find("NoSuchColumn"), std::string::npos) << shown.description;
  EXPECT_EQ(host::CurrentError::Get().number, shown.number);
  EXPECT_FALSE(operator_->WaitOpen());
  const auto& transcript = operator_->Transcript();
  ASSERT_EQ(transcript.size(), 3u);
  EXPECT_EQ(transcript[0].rfind("wait", 0), 0u);
  EXPECT_EQ(transcript[1], "wait closed");
  EXPECT_EQ(transcript[2].rfind("error", 0), 0u) << "reported after the window closed";

  int32_t zero = 0;
  ASSERT_NO_THROW(OpenWithWait(nullptr, zero));
  ASSERT_EQ(operator_->Errors().size(), 2u);
  EXPECT_EQ(operator_->Errors()[1].number, kErrObjectRequired);
}

// ---- ShowCurrentError ------------------------------------------------------------------------

class ShowCurrentErrorTest : public ::testing::Test {
 protected:
  ShowCurrentErrorTest()
      : operator_(std::make_shared<host::ScriptedOperator>()), scoped_(operator_) {
    host::CurrentError::Clear();
  }
  std::shared_ptr<host::ScriptedOperator> operator_;
  host::ScopedOperator scoped_;
};

TEST_F(ShowCurrentErrorTest, InsideACatchBlockShowsTheErrorBeingHandled) {
  try {
    throw Error(kErrComponent, "CMDocSupport", "m_MList == Nothing");
  } catch (...) {
    ShowCurrentError();
  }
  try {
    throw std::runtime_error("disk full");
  } catch (...) {
    ShowCurrentError();
  }
  ASSERT_EQ(operator_->Errors().size(), 2u);
  EXPECT_EQ(operator_->Errors()[0].number, kErrComponent);
  EXPECT_EQ(operator_->Errors()[0].source, "CMDocSupport");
  EXPECT_EQ(operator_->Errors()[0].description, "m_MList == Nothing");
  EXPECT_EQ(operator_->Errors()[1].number, kErrInternal);
  EXPECT_EQ(operator_->Errors()[1].description, "disk full");
}

TEST_F(ShowCurrentErrorTest, OutsideACatchBlockShowsTheRecordedError) {
  ShowCurrentError();
  EXPECT_TRUE(operator_->Errors().empty()) << "no current error, nothing to show";
  try {
    throw Error(kErrOverflow, "CFuelWriteOff");
  } catch (...) {
    host::CurrentError::Capture();
  }
  ShowCurrentError();
  ShowCurrentError();
  ASSERT_EQ(operator_->Errors().size(), 2u);
  EXPECT_EQ(operator_->Errors()[1].number, kErrOverflow);
  EXPECT_EQ(operator_->Errors()[1].description, "Overflow");
}

}  // namespace
}  // namespace qts::frame
