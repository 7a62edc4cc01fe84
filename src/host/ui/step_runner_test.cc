#include "host/ui/step_runner.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/statement.h"
#include "db/transaction.h"
#include "host/schema/testing/seed.h"
#include "host/ui/mouse_pointer.h"
#include "host/ui/scripted_operator.h"

namespace qts::host {
namespace {

using Event = ScriptedOperator::ProgressEvent;
using Kind = ScriptedOperator::ProgressEvent::Kind;

// A step process that inserts one row per step into "Spec" and can be told to fail at a step.
class InsertingProcess : public Implements<IProcessObject> {
 public:
  InsertingProcess(db::Connection& connection, int32_t count, int32_t failing_step = 0)
      : connection_(connection), count_(count), failing_step_(failing_step) {}

  void Step() override {
    ++steps_;
    calls_.push_back("Step");
    connection_.Execute("INSERT INTO Spec(PosNumb) VALUES (?1)", {db::Value(steps_)});
    if (steps_ == failing_step_) {
      throw Error(kErrComponent, "CMDocSupport", "m_MList == Nothing");
    }
  }
  std::string Caption() override {
    calls_.push_back("Caption");
    return "Filling";
  }
  int32_t CountStep() override {
    calls_.push_back("CountStep");
    return count_;
  }

  int32_t Steps() const { return steps_; }
  const std::vector<std::string>& Calls() const { return calls_; }

 private:
  db::Connection& connection_;
  int32_t count_;
  int32_t failing_step_;
  int32_t steps_ = 0;
  std::vector<std::string> calls_;
};

class StepRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connection_ = db::SqliteConnection::Open(db::SqliteConnection::kMemory);
    connection_->Execute("CREATE TABLE Spec(PosNumb INTEGER NOT NULL)");
    qts::host::schema::testing::Seed(*connection_, "INSERT INTO Spec(PosNumb) VALUES (100)");
    operator_ = std::make_shared<ScriptedOperator>();
  }

  int64_t RowCount() {
    db::StatementHandle statement = connection_->Prepare("SELECT count(*) FROM Spec");
    EXPECT_TRUE(statement->Step());
    return statement->GetInt64(0);
  }

  std::unique_ptr<db::SqliteConnection> connection_;
  std::shared_ptr<ScriptedOperator> operator_;
};

TEST_F(StepRunnerTest, AFinishedProcessIsCommittedAndReportsEveryStepInOrder) {
  InsertingProcess process(*connection_, 3);
  EXPECT_EQ(StepRunner(operator_).Run(process, *connection_), 3);

  EXPECT_EQ(process.Calls(),
            (std::vector<std::string>{"CountStep", "Caption", "Step", "Step", "Step"}));
  EXPECT_EQ(RowCount(), 4);
  EXPECT_EQ(connection_->TransactionDepth(), 0);
  EXPECT_EQ(operator_->ProgressEvents(), (std::vector<Event>{{Kind::kBegin, "Filling", 3},
                                                             {Kind::kStep, "", 1},
                                                             {Kind::kStep, "", 2},
                                                             {Kind::kStep, "", 3},
                                                             {Kind::kEnd, "", 3}}));
}

TEST_F(StepRunnerTest, AFailingStepRollsTheWholeRunBackAndPropagatesTheErrorUnchanged) {
  InsertingProcess process(*connection_, 5, /*failing_step=*/3);
  EXPECT_QTS_ERROR_FROM(StepRunner(operator_).Run(process, *connection_), kErrComponent,
                        "CMDocSupport", "m_MList == Nothing");
  EXPECT_EQ(process.Steps(), 3);  // no step after the failing one
  EXPECT_EQ(RowCount(), 1);       // the two rows written before the failure are gone too
  EXPECT_EQ(connection_->TransactionDepth(), 0);
  // The progress ended although the run did not finish; the failed step is not counted.
  ASSERT_FALSE(operator_->ProgressEvents().empty());
  EXPECT_EQ(operator_->ProgressEvents().back(), (Event{Kind::kEnd, "", 2}));
}

TEST_F(StepRunnerTest, AFailedRunInsideTheCallersTransactionUndoesOnlyItsOwnWork) {
  db::Transaction outer(*connection_);
  qts::host::schema::testing::Seed(*connection_, "INSERT INTO Spec(PosNumb) VALUES (200)");
  InsertingProcess process(*connection_, 2, /*failing_step=*/2);
  EXPECT_THROW(StepRunner(operator_).Run(process, *connection_), Error);
  EXPECT_TRUE(outer.IsOpen());
  EXPECT_EQ(RowCount(), 2);  // the caller's row stays
  outer.Commit();
  EXPECT_EQ(RowCount(), 2);
}

TEST_F(StepRunnerTest, ZeroStepsRunNothingAndLeaveNoTransactionOpen) {
  InsertingProcess process(*connection_, 0);
  EXPECT_EQ(StepRunner(operator_).Run(process, *connection_), 0);
  EXPECT_EQ(process.Steps(), 0);
  EXPECT_EQ(RowCount(), 1);
  EXPECT_EQ(connection_->TransactionDepth(), 0);
  EXPECT_EQ(operator_->ProgressEvents(),
            (std::vector<Event>{{Kind::kBegin, "Filling", 0}, {Kind::kEnd, "", 0}}));
}

TEST_F(StepRunnerTest, ANegativeStepCountIsRefusedBeforeAnythingRuns) {
  InsertingProcess process(*connection_, -1);
  EXPECT_QTS_ERROR_TEXT(StepRunner(operator_).Run(process, *connection_), kErrStepCount, "-1");

  EXPECT_EQ(process.Steps(), 0);
  EXPECT_TRUE(operator_->ProgressEvents().empty());
}

TEST_F(StepRunnerTest, WithoutAConnectionStepsAreNotInATransaction) {
  // Each write stands on its own: the rows before the failing step stay.
  InsertingProcess process(*connection_, 4, /*failing_step=*/3);
  EXPECT_THROW(StepRunner(operator_).Run(process, nullptr), Error);
  EXPECT_EQ(RowCount(), 4);
}

TEST_F(StepRunnerTest, TheMousePointerIsRestoredHoweverTheRunEnds) {
  // A process that leaves the pointer changed, as the engine's pointer toggle does when a step
  // fails between its two toggles.
  class PointerProcess : public Implements<IProcessObject> {
   public:
    explicit PointerProcess(bool fail) : fail_(fail) {}
    void Step() override {
      SetMousePointer(MousePointer::kDefault);
      if (fail_) throw Error(kErrInvalidCall);
    }
    std::string Caption() override { return ""; }
    int32_t CountStep() override { return 1; }

   private:
    bool fail_;
  };
  SavedMousePointer around(MousePointer::kArrowHourglass);
  for (bool fail : {false, true}) {
    PointerProcess process(fail);
    if (fail) {
      EXPECT_THROW(StepRunner(operator_).Run(process, nullptr), Error);
    } else {
      StepRunner(operator_).Run(process, nullptr);
    }
    EXPECT_EQ(CurrentMousePointer(), MousePointer::kArrowHourglass) << "fail=" << fail;
  }
}

TEST_F(StepRunnerTest, UsesTheCurrentOperatorWhenNoneIsGiven) {
  ScopedOperator scoped(operator_);
  InsertingProcess process(*connection_, 2);
  StepRunner().Run(process, *connection_);
  EXPECT_EQ(operator_->ProgressEvents().size(), 4u);
}

}  // namespace
}  // namespace qts::host
