// The host's step runner: drives a long operation that a component implements as a step
// process (IProcessObject). It asks the number of steps and the caption, shows progress
// through the operator, and calls Step once per step.
//
// A process that writes runs in one transaction on the book's connection: committed when the
// last step has finished, rolled back when a step raises, so a failed run leaves the book as it
// was. When the caller already holds a transaction on the connection the run is a savepoint
// inside it, and a failure undoes only the run's own work.
#ifndef QTS_HOST_UI_STEP_RUNNER_H_
#define QTS_HOST_UI_STEP_RUNNER_H_

#include <cstdint>
#include <memory>

#include "host/interfaces.h"
#include "host/ui/operator.h"

namespace qts::db {
class Connection;
}  // namespace qts::db

namespace qts::host {

class StepRunner {
 public:
  // Shows progress through the current operator.
  StepRunner();
  explicit StepRunner(std::shared_ptr<Operator> op);

  // Runs `process` in one transaction on `connection`, or without a transaction when
  // `connection` is null (a process that writes nothing). Asks CountStep, then Caption, then
  // calls Step CountStep times; returns the number of steps run. An error raised by the process
  // (or by the commit) propagates unchanged, after the transaction was rolled back and the
  // progress ended. The mouse pointer is the same after the run as before it, whatever the
  // process did to it. A negative step count raises kErrStepCount and runs nothing.
  int32_t Run(IProcessObject& process, db::Connection* connection);
  int32_t Run(IProcessObject& process, db::Connection& connection) {
    return Run(process, &connection);
  }

 private:
  std::shared_ptr<Operator> operator_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_STEP_RUNNER_H_
