#include "cli/operator_options.h"

#include <unistd.h>

#include <iostream>
#include <sstream>

#include "host/ui/terminal_operator.h"

namespace qts::cli {
namespace {

// Questions and forms from the script, progress and the wait window on the terminal.
class CommandOperator final : public host::ForwardingOperator {
 public:
  CommandOperator(std::shared_ptr<host::ScriptedOperator> scripted,
                  std::shared_ptr<host::Operator> progress)
      : ForwardingOperator(std::move(scripted)), progress_(std::move(progress)) {}

  void BeginProgress(std::string_view caption, int32_t count) override {
    ForwardingOperator::BeginProgress(caption, count);
    progress_->BeginProgress(caption, count);
  }
  void Progress(int32_t done) override {
    ForwardingOperator::Progress(done);
    progress_->Progress(done);
  }
  void EndProgress() override {
    ForwardingOperator::EndProgress();
    progress_->EndProgress();
  }
  void ShowWait(std::string_view text) override { progress_->ShowWait(text); }
  void CloseWait() override { progress_->CloseWait(); }

 private:
  std::shared_ptr<host::Operator> progress_;
};

}  // namespace

void AddOperatorOptions(CLI::App& command, OperatorOptions& options) {
  command.add_option("--answer", options.answers,
                     "the answer to a question the system asks: ok, cancel, yes, no, abort, "
                     "retry or ignore, optionally preceded by the message number and '=' (for "
                     "example 8381=yes); used in order (repeatable)");
  command.add_flag("--interactive", options.interactive, "answer questions on the terminal");
}

std::optional<host::MessageAnswer> RecordingOperator::AnswerTo(int32_t number) const {
  for (auto it = answered_.rbegin(); it != answered_.rend(); ++it) {
    if (it->first == number) return it->second;
  }
  return std::nullopt;
}

host::MessageAnswer RecordingOperator::MessageBox(const host::MessageRequest& request) {
  const host::MessageAnswer answer = ForwardingOperator::MessageBox(request);
  answered_.emplace_back(request.number, answer);
  return answer;
}

std::shared_ptr<RecordingOperator> MakeOperator(const OperatorOptions& options,
                                                std::shared_ptr<host::ScriptedOperator>* scripted) {
  if (options.interactive) {
    return std::make_shared<RecordingOperator>(host::TerminalOperator::ForStandardStreams());
  }
  auto script = std::make_shared<host::ScriptedOperator>(
      "answer it with --answer NUMBER=ANSWER, or run with --interactive", &std::cerr);
  for (const std::string& text : options.answers) script->Answer(host::ScriptedAnswer::Parse(text));
  if (scripted != nullptr) *scripted = script;
  // The terminal half only draws progress: it never reads an answer.
  static std::istringstream no_input;
  auto progress = std::make_shared<host::TerminalOperator>(no_input, std::cerr, std::cerr,
                                                           isatty(STDERR_FILENO) != 0);
  return std::make_shared<RecordingOperator>(std::make_shared<CommandOperator>(script, progress));
}

}  // namespace qts::cli
