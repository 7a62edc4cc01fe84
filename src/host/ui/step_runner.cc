#include "host/ui/step_runner.h"

#include <optional>
#include <string>

#include "core/error.h"
#include "db/transaction.h"
#include "host/ui/mouse_pointer.h"

namespace qts::host {

namespace {

// Ends the operator's progress however the run ends.
class ProgressScope {
 public:
  ProgressScope(Operator& op, std::string_view caption, int32_t count) : operator_(op) {
    operator_.BeginProgress(caption, count);
  }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;
  ~ProgressScope() noexcept {
    try {
      operator_.EndProgress();
    } catch (...) {
      // Ending a progress display must not replace the error that ended the run.
    }
  }

 private:
  Operator& operator_;
};

}  // namespace

StepRunner::StepRunner() : operator_(CurrentOperatorPtr()) {}

StepRunner::StepRunner(std::shared_ptr<Operator> op) : operator_(std::move(op)) {
  if (!operator_) operator_ = CurrentOperatorPtr();
}

int32_t StepRunner::Run(IProcessObject& process, db::Connection* connection) {
  SavedMousePointer pointer;
  int32_t count = process.CountStep();
  if (count < 0) {
    throw Error(kErrStepCount, "StepRunner",
                "the step process reported " + std::to_string(count) + " steps");
  }
  std::string caption = process.Caption();
  ProgressScope progress(*operator_, caption, count);
  std::optional<db::Transaction> transaction;
  if (connection != nullptr && count > 0) transaction.emplace(*connection);
  for (int32_t step = 1; step <= count; ++step) {
    process.Step();
    operator_->Progress(step);
  }
  if (transaction) transaction->Commit();
  return count;
}

}  // namespace qts::host
