// The operator of a command that works on documents: where the system would ask a person, the
// answers come from --answer (or from the terminal with --interactive); step processes draw
// their progress bar on standard error when it is a terminal.
#ifndef QTS_CLI_OPERATOR_OPTIONS_H_
#define QTS_CLI_OPERATOR_OPTIONS_H_

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
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

// The operator for one run of a command. Unless --interactive, `scripted` receives the
// scripted half so that the command can look at the errors it showed.
std::shared_ptr<host::Operator> MakeOperator(const OperatorOptions& options,
                                             std::shared_ptr<host::ScriptedOperator>* scripted);

}  // namespace qts::cli

#endif  // QTS_CLI_OPERATOR_OPTIONS_H_
