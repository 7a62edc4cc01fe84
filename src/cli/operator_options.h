// The operator of a command that works on documents: where the system would ask a person, the
// answers come from --answer (or from the terminal with --interactive); step processes draw
// their progress bar on standard error when it is a terminal.
#ifndef QTS_CLI_OPERATOR_OPTIONS_H_
#define QTS_CLI_OPERATOR_OPTIONS_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace qts::cli {

struct OperatorOptions {
  std::vector<std::string> answers;
  bool interactive = false;
};

// Adds --answer (repeatable) and --interactive to `command`.
void AddOperatorOptions(CLI::App& command, OperatorOptions& options);

// An operator that passes everything on to another and remembers each message box shown with
// the answer it got, whoever answered it (the script or a person on the terminal): a command
// tells from them whether its work was refused or cancelled.
class RecordingOperator final : public host::ForwardingOperator {
 public:
  using ForwardingOperator::ForwardingOperator;

  // The answer message `number` got the last time it was shown; nullopt when it was not shown.
  std::optional<host::MessageAnswer> AnswerTo(int32_t number) const;

  using ForwardingOperator::MessageBox;
  host::MessageAnswer MessageBox(const host::MessageRequest& request) override;

 private:
  std::vector<std::pair<int32_t, host::MessageAnswer>> answered_;
};

// The operator for one run of a command. Unless --interactive, `scripted` receives the
// scripted half so that the command can look at the errors it showed.
std::shared_ptr<RecordingOperator> MakeOperator(const OperatorOptions& options,
                                                std::shared_ptr<host::ScriptedOperator>* scripted);

}  // namespace qts::cli

#endif  // QTS_CLI_OPERATOR_OPTIONS_H_
