// The operator of a browser action: questions without the page's answer stop the action and
// are kept for the page, answers given are used in order, notices are kept only for the action
// the person is doing now, and step processes reach the progress the page polls.
#include "host/web/web_operator.h"

#include <gtest/gtest.h>

#include "core/testing/qts_matchers.h"

namespace qts::host {
namespace {

TEST(WebOperatorTest, AQuestionWithoutAnAnswerStopsTheActionAndIsKept) {
  WebOperator op(nullptr);
  EXPECT_QTS_ERROR(op.MessageBox(20213, "Pakeisti?", MessageButtons::kOkCancel), kErrOperator);
  ASSERT_TRUE(op.Pending().has_value());
  EXPECT_EQ(op.Pending()->kind, WebQuestion::Kind::kMessage);
  EXPECT_EQ(op.Pending()->message.number, 20213);
  // What fails after the stop is the stop itself: neither shown nor asked again.
  op.ShowError(kErrOperator, "frmMMO", "stopped");
  EXPECT_TRUE(op.Errors().empty());
  EXPECT_QTS_ERROR(op.ChooseMenu({"btUtil", "", {{"A", "a"}}}), kErrOperator);
  EXPECT_EQ(op.Pending()->kind, WebQuestion::Kind::kMessage);
}

TEST(WebOperatorTest, AnswersAreUsedInOrderAndNoticesKeptOnlyWhenLive) {
  WebOperator op(nullptr);
  op.Queue({{{20213, MessageAnswer::kCancel}}, {"B"}, {}});
  op.SetLive(false);
  (void)op.MessageBox(622, "Kainos apskaičiuotos.");  // seen before: not shown again
  EXPECT_EQ(op.MessageBox(20213, "Pakeisti?", MessageButtons::kOkCancel), MessageAnswer::kCancel);
  op.SetLive(true);
  (void)op.MessageBox(622, "Kainos apskaičiuotos.");
  EXPECT_EQ(op.ChooseMenu({"btUtil", "", {{"A", "a"}, {"B", "b"}}}), 1);
  ASSERT_EQ(op.Notices().size(), 1u);
  EXPECT_FALSE(op.Pending().has_value());
  // An answer meant for another message is an error, not a silent misuse.
  WebOperator other(nullptr);
  other.Queue({{{8381, MessageAnswer::kOk}}, {}, {}});
  EXPECT_QTS_ERROR(other.MessageBox(20213, "Pakeisti?", MessageButtons::kOkCancel), kErrOperator);
  EXPECT_FALSE(other.Pending().has_value());
}

TEST(WebOperatorTest, AFormWithoutAFillingIsKeptForThePage) {
  WebOperator op(nullptr);
  FormDescription form{"frmRep",
                       "Parametrai",
                       {{"edDayAmount", ControlKind::kNumber, "Dienų", Variant(int32_t{30})}}};
  EXPECT_QTS_ERROR(op.RunModalForm(form), kErrOperator);
  ASSERT_TRUE(op.Pending().has_value());
  EXPECT_EQ(op.Pending()->kind, WebQuestion::Kind::kForm);
  EXPECT_EQ(op.Pending()->form.controls[0].name, "edDayAmount");
}

TEST(WebOperatorTest, StepProcessesReachTheProgressThePagePolls) {
  auto progress = std::make_shared<WebProgress>();
  WebOperator op(progress);
  op.SetLive(false);
  op.BeginProgress("Ankstesnis", 5);  // an earlier action run again: not shown
  EXPECT_FALSE(progress->Get().running);
  op.EndProgress();
  op.SetLive(true);
  op.BeginProgress("Kainos", 10);
  op.Progress(4);
  WebProgress::State state = progress->Get();
  EXPECT_TRUE(state.running);
  EXPECT_EQ(state.caption, "Kainos");
  EXPECT_EQ(state.count, 10);
  EXPECT_EQ(state.done, 4);
  // A nested process takes the bar over; the outer one ends the run.
  op.BeginProgress("Eilutės", 3);
  op.EndProgress();
  EXPECT_TRUE(progress->Get().running);
  op.EndProgress();
  EXPECT_FALSE(progress->Get().running);
  op.ShowWait("Palaukite");
  EXPECT_EQ(progress->Get().wait, "Palaukite");
  op.CloseWait();
  EXPECT_EQ(progress->Get().wait, "");
}

}  // namespace
}  // namespace qts::host
