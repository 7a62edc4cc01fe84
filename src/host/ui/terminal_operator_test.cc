#include "host/ui/terminal_operator.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/convert.h"
#include "core/date.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts::host {
namespace {

size_t Count(const std::string& text, std::string_view part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

struct Terminal {
  explicit Terminal(std::string input, bool err_is_terminal = false, int bar_width = 10)
      : in(std::move(input)), op(in, out, err, err_is_terminal, bar_width) {}
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  TerminalOperator op;
};

TEST(TerminalOperatorTest, AQuestionShowsNumberTextAndButtonsAndTakesAnyFormOfTheAnswer) {
  struct Case {
    std::string input;
    MessageAnswer expected;
  };
  const Case cases[] = {
      {"1\n", MessageAnswer::kOk},
      {"2\n", MessageAnswer::kCancel},
      {"gerai\n", MessageAnswer::kOk},
      {"Atšaukti\n", MessageAnswer::kCancel},
      {"cancel\r\n", MessageAnswer::kCancel},
      {"3\nyes\n  1 \n", MessageAnswer::kOk},
  };
  for (const Case& c : cases) {
    Terminal t(c.input);
    EXPECT_EQ(t.op.MessageBox(27409, "Tęsti?", MessageButtons::kOkCancel), c.expected) << c.input;
    EXPECT_NE(t.out.str().find("[27409] Tęsti?"), std::string::npos);
    EXPECT_NE(t.out.str().find("1) Gerai   2) Atšaukti"), std::string::npos) << t.out.str();
  }
  // Answers that are not buttons of the box are asked again.
  Terminal again("3\nyes\n  1 \n");
  again.op.MessageBox(27409, "Tęsti?", MessageButtons::kOkCancel);
  EXPECT_EQ(Count(again.out.str(), "Pasirinkite 1-2."), 2u);
}

TEST(TerminalOperatorTest, InputThatEndsBeforeAnAnswerIsAnError) {
  Terminal t("maybe\n");
  EXPECT_QTS_ERROR_TEXT(t.op.MessageBox(20222, "Palikti?", MessageButtons::kYesNo), kErrOperator,
                        "[20222] Palikti?");
}

TEST(TerminalOperatorTest, ANoticeWaitsForEnterAndAcceptsTheEndOfInput) {
  Terminal t("");
  EXPECT_EQ(t.op.MessageBox(622, "Kainos apskaičiuotos."), MessageAnswer::kOk);
  EXPECT_NE(t.out.str().find("[622] Kainos apskaičiuotos.\n[Gerai] "), std::string::npos)
      << t.out.str();
}

TEST(TerminalOperatorTest, AFormAsksEachEditableControlAndRepeatsBadValues) {
  FormDescription form;
  form.name = "frmRepStoreRestByTerm";
  form.caption = "Ataskaitos parametrai";
  form.controls = {
      {"lblInfo", ControlKind::kLabel, "Likučiai pagal laikymo terminą", Variant()},
      {"selStore", ControlKind::kSelector, "Sandėlis : ", Variant("'S1'")},
      {"edDayAmount", ControlKind::kNumber, "Dienų skaičius : ", Variant(int32_t{30})},
      {"edDate", ControlKind::kDate, "Data : ", Variant(Date::FromYmd(2024, 1, 31))},
      {"FrameDlg", ControlKind::kFrame, "", Variant()},
  };
  // selStore kept, the day count typed wrong once, the date emptied, then confirmed.
  Terminal t("\nabc\n45\n-\ngerai\n");
  EXPECT_TRUE(t.op.RunModalForm(form));
  EXPECT_EQ(CStr(form.At("selStore").value), "'S1'");
  EXPECT_EQ(CLng(form.At("edDayAmount").value), 45);
  EXPECT_TRUE(form.At("edDate").value.IsNull());
  const std::string shown = t.out.str();
  EXPECT_NE(shown.find("== Ataskaitos parametrai =="), std::string::npos);
  EXPECT_NE(shown.find("Likučiai pagal laikymo terminą\n"), std::string::npos);
  EXPECT_NE(shown.find("Data : [2024-01-31]: "), std::string::npos) << shown;
  EXPECT_EQ(Count(shown, "Dienų skaičius : [30]: "), 2u);
  EXPECT_NE(shown.find("expects a number"), std::string::npos);
  // A frame without a caption shows nothing, not its name.
  EXPECT_EQ(shown.find("FrameDlg"), std::string::npos) << shown;

  Terminal cancelled("\n\n\n2\n");
  EXPECT_FALSE(cancelled.op.RunModalForm(form));
  Terminal ended("\n");
  EXPECT_THROW(ended.op.RunModalForm(form), Error);
}

TEST(TerminalOperatorTest, WithoutATerminalAStepProcessWritesOneLineAtStartAndEnd) {
  Terminal t("", /*err_is_terminal=*/false);
  t.op.BeginProgress("Nurašomas kuras", 500);
  for (int32_t i = 1; i <= 500; ++i) t.op.Progress(i);
  t.op.EndProgress();
  EXPECT_EQ(t.err.str(), "Nurašomas kuras: žingsnių 500\nNurašomas kuras: atlikta 500 iš 500\n");
}

TEST(TerminalOperatorTest, OnATerminalTheBarIsRedrawnInPlaceOnlyWhenItChanges) {
  Terminal t("", /*err_is_terminal=*/true, /*bar_width=*/10);
  t.op.BeginProgress("Pildoma", 1000);
  for (int32_t i = 1; i <= 1000; ++i) t.op.Progress(i);
  t.op.EndProgress();
  const std::string drawn = t.err.str();
  // The empty bar, one redraw per filled cell, and nothing else: not a line per step.
  EXPECT_EQ(Count(drawn, "\r"), 11u) << drawn;
  EXPECT_EQ(Count(drawn, "\n"), 1u);
  EXPECT_NE(drawn.find("\rPildoma [..........] 0% (0/1000)"), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("\rPildoma [#####.....] 50% (500/1000)"), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("\rPildoma [##########] 100% (1000/1000)"), std::string::npos) << drawn;

  // A process of no steps draws a full bar.
  Terminal empty("", true, 4);
  empty.op.BeginProgress("Tuščia", 0);
  empty.op.EndProgress();
  EXPECT_NE(empty.err.str().find("[####] 100% (0/0)"), std::string::npos) << empty.err.str();
}

TEST(TerminalOperatorTest, ANestedProcessGetsItsOwnBarAndTheOuterOneComesBack) {
  Terminal t("", /*err_is_terminal=*/true, 2);
  t.op.BeginProgress("A", 2);
  t.op.Progress(1);
  t.op.BeginProgress("B", 1);
  t.op.Progress(1);
  t.op.EndProgress();
  t.op.Progress(2);
  t.op.EndProgress();
  EXPECT_EQ(t.err.str(),
            "\rA [..] 0% (0/2)\x1b[K\rA [#.] 50% (1/2)\x1b[K\n"
            "\rB [..] 0% (0/1)\x1b[K\rB [##] 100% (1/1)\x1b[K\n"
            "\rA [#.] 50% (1/2)\x1b[K\rA [##] 100% (2/2)\x1b[K\n");
}

TEST(TerminalOperatorTest, AnErrorStartsOnItsOwnLineAfterTheBar) {
  Terminal t("", /*err_is_terminal=*/true, 4);
  t.op.BeginProgress("Pildoma", 4);
  t.op.Progress(1);
  t.op.ShowError(Error(kErrComponent, "CMDocSupport", "m_MList == Nothing"));
  EXPECT_NE(t.err.str().find(")\x1b[K\nKlaida " + FormatErrorNumber(kErrComponent) +
                             " (CMDocSupport): m_MList == Nothing\n"),
            std::string::npos)
      << t.err.str();
}

TEST(TerminalOperatorTest, TheWaitWindowIsALineThatClosingClearsOnATerminal) {
  Terminal plain("", false);
  plain.op.ShowWait("Palaukite, renkami duomenys...");
  plain.op.ShowWait("Įrašyta eilučių: 1");  // a changing count is not logged line by line
  plain.op.CloseWait();
  plain.op.CloseWait();
  plain.op.ShowWait("Palaukite");
  EXPECT_EQ(plain.err.str(), "Palaukite, renkami duomenys...\nPalaukite\n");

  Terminal tty("", true);
  tty.op.ShowWait("Palaukite");
  tty.op.CloseWait();
  EXPECT_EQ(tty.err.str(), "\rPalaukite\x1b[K\r\x1b[K");
}

}  // namespace
}  // namespace qts::host
