#include "host/ui/scripted_operator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "core/convert.h"
#include "core/date.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts::host {
namespace {

FormDescription PackForm() {
  FormDescription form;
  form.name = "frmRepPack";
  form.caption = "Ataskaitos parametrai";
  form.controls = {
      {"lblTitle", ControlKind::kLabel, "PAKUOČIŲ APSKAITOS ATASKAITA", Variant()},
      {"edRepDate", ControlKind::kDate, "Metai : ", Variant::Null()},
      {"cbPerson", ControlKind::kCombo, "Ataskaitos rengėjas : ", Variant(std::string())},
      {"chIsReusablePack", ControlKind::kCheck, "Daugkartinės", Variant(int32_t{0})},
  };
  return form;
}

TEST(AnswerTest, ButtonSetsKeepThePlatformsOrderAndNumbers) {
  EXPECT_EQ(ButtonAnswers(MessageButtons::kOkCancel),
            (std::vector<MessageAnswer>{MessageAnswer::kOk, MessageAnswer::kCancel}));
  EXPECT_EQ(ButtonAnswers(MessageButtons::kYesNoCancel),
            (std::vector<MessageAnswer>{MessageAnswer::kYes, MessageAnswer::kNo,
                                        MessageAnswer::kCancel}));
  // "stop unless the answer is 1": the first button of an OK box answers 1.
  EXPECT_EQ(static_cast<int>(ButtonAnswers(MessageButtons::kOkCancel)[0]), 1);
  EXPECT_EQ(AnswerCaption(MessageAnswer::kOk), "Gerai");
  EXPECT_EQ(AnswerCaption(MessageAnswer::kOk, "Tęsti"), "Tęsti");
  EXPECT_EQ(AnswerCaption(MessageAnswer::kCancel), "Atšaukti");
}

TEST(AnswerTest, ParsesNamesCaptionsAndNumbersAndRefusesTheRest) {
  struct Case {
    std::string text;
    std::optional<MessageAnswer> expected;
  };
  const Case cases[] = {
      {"ok", MessageAnswer::kOk},
      {"GERAI", MessageAnswer::kOk},
      {" cancel ", MessageAnswer::kCancel},
      {"Atšaukti", MessageAnswer::kCancel},
      {"taip", MessageAnswer::kYes},
      {"Ne", MessageAnswer::kNo},
      {"7", MessageAnswer::kNo},
      {"2", MessageAnswer::kCancel},
      {"8", std::nullopt},
      {"", std::nullopt},
      {"okay", std::nullopt},
      {"0", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseAnswer(c.text), c.expected) << c.text;

  ScriptedAnswer numbered = ScriptedAnswer::Parse("20213=cancel");
  EXPECT_EQ(numbered.number, 20213);
  EXPECT_EQ(numbered.answer, MessageAnswer::kCancel);
  EXPECT_FALSE(ScriptedAnswer::Parse("yes").number.has_value());
  for (const char* bad : {"x=ok", "=ok", "20213=maybe", "-5=ok", "maybe"}) {
    EXPECT_QTS_ERROR(ScriptedAnswer::Parse(bad), kErrOperator) << bad;
  }
}

TEST(ScriptedOperatorTest, NoticesAreAnsweredOkWithoutUsingTheQueuedAnswers) {
  std::ostringstream echo;
  ScriptedOperator op({}, &echo);
  op.Answer(MessageAnswer::kCancel);
  EXPECT_EQ(op.MessageBox(622, "Kainos apskaičiuotos."), MessageAnswer::kOk);
  EXPECT_EQ(op.PendingAnswers(), 1u);
  EXPECT_EQ(op.MessageBox(27409, "Tęsti?", MessageButtons::kOkCancel), MessageAnswer::kCancel);
  EXPECT_EQ(op.PendingAnswers(), 0u);

  ASSERT_EQ(op.Messages().size(), 2u);
  EXPECT_EQ(op.Messages()[0].request.number, 622);
  EXPECT_EQ(op.Messages()[1].request.buttons, MessageButtons::kOkCancel);
  EXPECT_EQ(op.Messages()[1].answer, MessageAnswer::kCancel);
  // Only the notice is echoed; the answered question is in the transcript.
  EXPECT_EQ(echo.str(), "message [622] Kainos apskaičiuotos. -> Gerai\n");
  EXPECT_EQ(op.Transcript().back(), "message [27409] Tęsti? -> Atšaukti");
}

TEST(ScriptedOperatorTest, AnUnansweredQuestionIsAnErrorNamingIt) {
  ScriptedOperator op("give --answer");
  EXPECT_QTS_ERROR_TEXT(
      op.MessageBox(20213, "Dokumente MMO-7 jau yra eilučių.", MessageButtons::kOkCancel),
      kErrOperator, "[20213] Dokumente MMO-7 jau yra eilučių.", "give --answer");
  EXPECT_TRUE(op.Messages().empty());
}

TEST(ScriptedOperatorTest, AnAnswerForAnotherMessageOrButtonIsRefusedAndKept) {
  ScriptedOperator op;
  op.Answer(27409, MessageAnswer::kOk);
  EXPECT_QTS_ERROR_TEXT(op.MessageBox(20222, "Palikti?", MessageButtons::kOkCancel), kErrOperator,
                        "27409", "[20222]");
  EXPECT_EQ(op.PendingAnswers(), 1u);
  EXPECT_EQ(op.MessageBox(27409, "Tęsti?", MessageButtons::kOkCancel), MessageAnswer::kOk);

  op.Answer(MessageAnswer::kYes);
  EXPECT_QTS_ERROR_TEXT(op.MessageBox(1, "?", MessageButtons::kOkCancel), kErrOperator,
                        "\"yes\" is not a button");
}

TEST(ScriptedOperatorTest, FillsAFormConvertingTextForTypedControls) {
  ScriptedOperator op;
  op.AnswerForm({"frmRepPack",
                 true,
                 {{"edRepDate", Variant("2024-01-01")},
                  {"CBPERSON", Variant("P01")},
                  {"chIsReusablePack", Variant("taip")}}});
  FormDescription form = PackForm();
  EXPECT_TRUE(op.RunModalForm(form));
  EXPECT_EQ(CDate(form.At("edRepDate").value), Date::FromYmd(2024, 1, 1));
  EXPECT_EQ(CStr(form.At("cbPerson").value), "P01");
  EXPECT_EQ(CLng(form.At("chIsReusablePack").value), 1);
  ASSERT_EQ(op.Forms().size(), 1u);
  EXPECT_TRUE(op.Forms()[0].confirmed);
  EXPECT_EQ(CStr(op.Forms()[0].form.At("cbPerson").value), "P01");
}

TEST(ScriptedOperatorTest, ABadFillingChangesNothingAndNamesTheProblem) {
  struct Case {
    ScriptedForm filling;
    std::string expected;
  };
  const Case cases[] = {
      {{"frmOther", true, {}}, "\"frmOther\""},
      {{"", true, {{"edRepDate", Variant("2024-01-01")}, {"edNumb", Variant("7")}}},
       "no control \"edNumb\""},
      {{"", true, {{"lblTitle", Variant("x")}}}, "\"lblTitle\""},
      {{"", true, {{"cbPerson", Variant("P01")}, {"edRepDate", Variant("pirmadienis")}}},
       "\"edRepDate\" expects a date"},
  };
  for (const Case& c : cases) {
    ScriptedOperator op;
    op.AnswerForm(c.filling);
    FormDescription form = PackForm();
    EXPECT_QTS_ERROR_TEXT(op.RunModalForm(form), kErrOperator, c.expected);
    EXPECT_TRUE(form.At("edRepDate").value.IsNull());
    EXPECT_EQ(CStr(form.At("cbPerson").value), "");
  }
  ScriptedOperator none;
  FormDescription form = PackForm();
  EXPECT_QTS_ERROR_TEXT(none.RunModalForm(form), kErrOperator, "frmRepPack");
}

TEST(ScriptedOperatorTest, ACancelledFormIsRecordedAsCancelled) {
  ScriptedOperator op;
  op.AnswerForm({"", false, {}});
  FormDescription form = PackForm();
  EXPECT_FALSE(op.RunModalForm(form));
  ASSERT_EQ(op.Forms().size(), 1u);
  EXPECT_FALSE(op.Forms()[0].confirmed);
}

TEST(ScriptedOperatorTest, ProgressOutOfOrderIsAnError) {
  ScriptedOperator op;
  EXPECT_QTS_ERROR(op.Progress(1), kErrOperator);
  EXPECT_QTS_ERROR(op.EndProgress(), kErrOperator);
  EXPECT_QTS_ERROR(op.BeginProgress("negative", -1), kErrOperator);
  op.BeginProgress("Nurašomas kuras", 2);
  op.Progress(2);
  EXPECT_QTS_ERROR(op.Progress(1), kErrOperator);  // backwards
  EXPECT_QTS_ERROR(op.Progress(3), kErrOperator);  // beyond the count
  op.EndProgress();
  EXPECT_EQ(op.ProgressEvents().size(), 3u);
}

TEST(ScriptedOperatorTest, ANestedProcessIsCheckedAgainstItsOwnCount) {
  ScriptedOperator op;
  op.BeginProgress("outer", 5);
  op.Progress(4);
  op.BeginProgress("inner", 2);
  op.Progress(1);  // below the outer's 4: fine, it counts the inner process
  EXPECT_QTS_ERROR(op.Progress(3), kErrOperator);
  op.EndProgress();
  op.Progress(5);
  op.EndProgress();
  EXPECT_EQ(op.ProgressEvents().back(),
            (ScriptedOperator::ProgressEvent{ScriptedOperator::ProgressEvent::Kind::kEnd, "", 5}));
  EXPECT_EQ(op.Transcript().back(), "progress \"outer\" ended at 5/5");
}

TEST(ScriptedOperatorTest, RecordsWaitTextsAndErrors) {
  std::ostringstream echo;
  ScriptedOperator op({}, &echo);
  op.CloseWait();  // nothing open: nothing happens
  op.ShowWait("Palaukite, renkami duomenys...");
  op.ShowWait("Įrašyta eilučių: 3");
  EXPECT_TRUE(op.WaitOpen());
  op.CloseWait();
  EXPECT_FALSE(op.WaitOpen());
  EXPECT_EQ(op.WaitTexts(),
            (std::vector<std::string>{"Palaukite, renkami duomenys...", "Įrašyta eilučių: 3"}));

  op.ShowError(Error(kErrComponent, "CFuelWriteOff", "cannot read vehicle - V1"));
  ASSERT_EQ(op.Errors().size(), 1u);
  EXPECT_EQ(op.Errors()[0].number, kErrComponent);
  EXPECT_EQ(op.Errors()[0].source, "CFuelWriteOff");
  EXPECT_EQ(echo.str(), "error " + FormatErrorNumber(kErrComponent) +
                            " (CFuelWriteOff): cannot read vehicle - V1\n");
  EXPECT_EQ(op.Transcript().size(), 4u);
}

TEST(CurrentOperatorTest, AScopedOperatorIsCurrentForItsScopeOnly) {
  auto outer = std::make_shared<ScriptedOperator>();
  auto inner = std::make_shared<ScriptedOperator>();
  ScopedOperator scope_outer(outer);
  {
    ScopedOperator scope_inner(inner);
    EXPECT_EQ(&CurrentOperator(), inner.get());
  }
  EXPECT_EQ(&CurrentOperator(), outer.get());
  EXPECT_EQ(CurrentOperatorPtr(), outer);
}

TEST(CurrentOperatorTest, ClearingTheOperatorRestoresADefaultOne) {
  std::shared_ptr<Operator> previous = SetCurrentOperator(nullptr);
  std::shared_ptr<Operator> fallback = CurrentOperatorPtr();
  EXPECT_NE(fallback, nullptr);
  EXPECT_EQ(CurrentOperatorPtr(), fallback);  // created once, then kept
  if (isatty(STDIN_FILENO) != 1) {
    // Nobody can answer: a question fails with an error that says why.
    EXPECT_QTS_ERROR_TEXT(CurrentOperator().MessageBox(27409, "Tęsti?", MessageButtons::kOkCancel),
                          kErrOperator, "[27409] Tęsti?", "not a terminal");
  }
  SetCurrentOperator(previous);
}

TEST(FormTest, ParsesTypedTextPerControlKind) {
  struct Case {
    ControlKind kind;
    std::string text;
    Variant expected;
  };
  const Case cases[] = {
      {ControlKind::kNumber, "30", Variant(int32_t{30})},
      {ControlKind::kNumber, " -4 ", Variant(int32_t{-4})},
      {ControlKind::kNumber, "2.5", Variant(2.5)},
      {ControlKind::kNumber, "3000000000", Variant(3000000000.0)},
      {ControlKind::kNumber, "", Variant::Null()},
      {ControlKind::kDate, "2024-02-29", Variant(Date::FromYmd(2024, 2, 29))},
      {ControlKind::kDate, " ", Variant::Null()},
      {ControlKind::kCheck, "Taip", Variant(int32_t{1})},
      {ControlKind::kCheck, "0", Variant(int32_t{0})},
      {ControlKind::kText, " MMO-1 ", Variant(" MMO-1 ")},
      {ControlKind::kSelector, "'A','B'", Variant("'A','B'")},
  };
  for (const Case& c : cases) {
    FormControl control{"c", c.kind, "", Variant()};
    Variant value = ParseControlValue(control, c.text);
    EXPECT_EQ(value.Type(), c.expected.Type()) << c.text;
    if (!value.IsNull()) {
      EXPECT_EQ(CStr(value), CStr(c.expected)) << c.text;
    }
  }
  const std::pair<ControlKind, const char*> bad_cases[] = {
      {ControlKind::kNumber, "12a"},      {ControlKind::kDate, "2024-13-01"},
      {ControlKind::kDate, "01.02.2024"}, {ControlKind::kCheck, ""},
      {ControlKind::kCheck, "maybe"},     {ControlKind::kLabel, "x"},
  };
  for (const auto& bad : bad_cases) {
    FormControl control{"edX", bad.first, "", Variant()};
    EXPECT_QTS_ERROR_TEXT(ParseControlValue(control, bad.second), kErrOperator, "\"edX\"")
        << bad.second;
  }
}

}  // namespace
}  // namespace qts::host
