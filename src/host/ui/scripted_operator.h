// An operator whose answers are given in advance: by tests, and by the command line's flags.
// It records everything it was asked and shown, so a test can check what a person would have
// seen. A question without a scripted answer is an error naming the question.
#ifndef QTS_HOST_UI_SCRIPTED_OPERATOR_H_
#define QTS_HOST_UI_SCRIPTED_OPERATOR_H_

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/variant.h"
#include "host/ui/dialog_command.h"
#include "host/ui/operator.h"

namespace qts::host {

// The answer to the next question; when `number` is set the question must be that message.
struct ScriptedAnswer {
  std::optional<int32_t> number;
  MessageAnswer answer = MessageAnswer::kOk;

  // "cancel", "taip", "2", or "20213=cancel" (the answer for message 20213). Raises
  // kErrOperator on anything else.
  static ScriptedAnswer Parse(std::string_view text);
};

// The filling of the next form; when `form` is not empty the form must have that name.
// Values given as text to number, date and check controls are converted as a person's typing
// would be (ParseControlValue).
struct ScriptedForm {
  std::string form;
  bool confirm = true;
  std::vector<std::pair<std::string, Variant>> values;
};

// The person's work in the next document dialog: commands run in order. A command the dialog
// refuses stops the run with its error (nothing after it runs).
struct ScriptedDialog {
  std::vector<DialogCommand> commands;
};

class ScriptedOperator final : public Operator {
 public:
  struct AskedMessage {
    MessageRequest request;
    MessageAnswer answer;
  };
  struct ShownForm {
    FormDescription form;  // as it was filled
    bool confirmed;
  };
  struct ProgressEvent {
    enum class Kind { kBegin, kStep, kEnd };
    Kind kind;
    std::string caption;  // kBegin only
    int32_t value;        // count for kBegin, done for kStep, last done for kEnd
    bool operator==(const ProgressEvent&) const = default;
  };
  struct ShownError {
    int32_t number;
    std::string source;
    std::string description;
  };

  // `no_answer_hint` is added to the error raised for an unanswered question (for example how
  // to give the answer on the command line). Notices and errors are also written, one line
  // each, to `echo` when it is given.
  explicit ScriptedOperator(std::string no_answer_hint = {}, std::ostream* echo = nullptr);

  // Queues answers for questions (message boxes with more than one button), used in order.
  // A message box with the single OK button is a notice: it is answered OK without using the
  // queue.
  void Answer(MessageAnswer answer) { Answer(ScriptedAnswer{std::nullopt, answer}); }
  void Answer(int32_t number, MessageAnswer answer) { Answer(ScriptedAnswer{number, answer}); }
  void Answer(ScriptedAnswer answer);
  void AnswerForm(ScriptedForm form);
  // Queues the choice (an item's key, caption or number) for the next menu.
  void AnswerMenu(std::string item) { menus_.push_back(std::move(item)); }
  void AnswerDialog(ScriptedDialog dialog) { dialogs_.push_back(std::move(dialog)); }
  // Where the text dialog commands answer (show, find, help) goes; the echo stream until set.
  void SetDialogOutput(std::ostream* out) { dialog_out_ = out; }
  size_t PendingAnswers() const { return answers_.size(); }
  size_t PendingForms() const { return forms_.size(); }
  size_t PendingMenus() const { return menus_.size(); }

  using Operator::MessageBox;
  using Operator::ShowError;
  MessageAnswer MessageBox(const MessageRequest& request) override;
  bool RunModalForm(FormDescription& form) override;
  // The next queued choice; a menu without one is an error naming the menu.
  int32_t ChooseMenu(const MenuRequest& menu) override;
  // Runs the next queued commands on the dialog (see ScriptedDialog); none queued is an error.
  // Text the commands answer (find, show) goes to the dialog output (see SetDialogOutput).
  void RunDialog(DialogSession& dialog) override;
  void BeginProgress(std::string_view caption, int32_t count) override;
  void Progress(int32_t done) override;
  void EndProgress() override;
  void ShowWait(std::string_view text) override;
  void CloseWait() override;
  void ShowError(int32_t number, std::string_view source, std::string_view description) override;

  const std::vector<AskedMessage>& Messages() const { return messages_; }
  const std::vector<ShownForm>& Forms() const { return shown_forms_; }
  const std::vector<ProgressEvent>& ProgressEvents() const { return progress_; }
  const std::vector<std::string>& WaitTexts() const { return wait_texts_; }
  bool WaitOpen() const { return wait_open_; }
  const std::vector<ShownError>& Errors() const { return errors_; }
  // Everything above, one line per event, in the order it happened.
  const std::vector<std::string>& Transcript() const { return transcript_; }

 private:
  [[noreturn]] void Fail(std::string description) const;
  void Record(std::string line, bool echo);

  std::string no_answer_hint_;
  std::ostream* echo_;
  std::ostream* dialog_out_ = nullptr;
  std::deque<ScriptedAnswer> answers_;
  std::deque<ScriptedForm> forms_;
  std::deque<std::string> menus_;
  std::deque<ScriptedDialog> dialogs_;

  std::vector<AskedMessage> messages_;
  std::vector<ShownForm> shown_forms_;
  std::vector<ProgressEvent> progress_;
  std::vector<std::string> wait_texts_;
  std::vector<ShownError> errors_;
  std::vector<std::string> transcript_;
  bool wait_open_ = false;
  struct Run {
    std::string caption;
    int32_t count;
    int32_t done;
  };
  std::vector<Run> runs_;  // step processes in progress, innermost last
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_SCRIPTED_OPERATOR_H_
