// The operator of one browser action. The page cannot be asked in the middle of a request, so
// a question is answered the way the command line answers it: from answers given in advance
// (the person's earlier answers to this action). A question the page has not answered yet
// stops the action: it is remembered as pending, every later question and error of the same
// run is ignored, and the caller rolls the action back and shows the question in the page; the
// action runs again once the person has answered. A parameter form without a filling is kept
// as pending too (a report's form is drawn in the page from it).
//
// Progress of step processes and the wait window go to a WebProgress the page polls; notices
// (a message box with the single OK button) and shown errors are kept for the answer.
#ifndef QTS_HOST_WEB_WEB_OPERATOR_H_
#define QTS_HOST_WEB_WEB_OPERATOR_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace qts::host {

// What a running action shows of its step processes, read by the page while it waits.
class WebProgress {
 public:
  // Each Step afterwards waits `pause` after recording its count, so that a short process
  // stays on the page long enough to be watched (0: no wait).
  void SetStepPause(std::chrono::milliseconds pause) { pause_ = pause; }

  struct State {
    bool running = false;  // a step process is under way
    std::string caption;
    int32_t count = 0;
    int32_t done = 0;
    std::string wait;  // the wait window's text, "" when it is closed
  };
  State Get() const;
  void Begin(std::string_view caption, int32_t count);
  void Step(int32_t done);
  void End();
  void Wait(std::string_view text);

 private:
  mutable std::mutex mutex_;
  State state_;
  int32_t depth_ = 0;
  std::chrono::milliseconds pause_{0};
};

// The question an action stopped at.
struct WebQuestion {
  enum class Kind { kMessage, kMenu, kForm };
  Kind kind = Kind::kMessage;
  MessageRequest message;
  MenuRequest menu;
  FormDescription form;
};

// The answers a person gave to one action, in the order the questions came.
struct WebAnswers {
  std::vector<ScriptedAnswer> messages;
  std::vector<std::string> menus;
  std::vector<ScriptedForm> forms;
};

class WebOperator final : public Operator {
 public:
  // `progress` (may be null) receives the step processes while Live() is true.
  explicit WebOperator(std::shared_ptr<WebProgress> progress);

  // Queues the answers of one action; actions are queued in the order they run.
  void Queue(const WebAnswers& answers);
  // While false (an earlier action is being run again), progress is not shown and notices
  // and errors are not kept for the page: the person has seen them.
  void SetLive(bool live) { live_ = live; }

  // The question the run stopped at, when it did.
  const std::optional<WebQuestion>& Pending() const { return pending_; }
  // Notices and errors shown while live, in order.
  const std::vector<MessageRequest>& Notices() const { return notices_; }
  const std::vector<ScriptedOperator::ShownError>& Errors() const { return errors_; }
  // The filled forms, for the report that wants to remember what was run.
  const std::vector<ScriptedOperator::ShownForm>& Forms() const { return scripted_.Forms(); }

  // The dialog work of a run: a DialogSession handed to the operator is passed to `runner`.
  using DialogRunner = std::function<void(DialogSession&)>;
  void SetDialogRunner(DialogRunner runner) { runner_ = std::move(runner); }

  using Operator::MessageBox;
  using Operator::ShowError;
  MessageAnswer MessageBox(const MessageRequest& request) override;
  bool RunModalForm(FormDescription& form) override;
  int32_t ChooseMenu(const MenuRequest& menu) override;
  void RunDialog(DialogSession& dialog) override;
  void BeginProgress(std::string_view caption, int32_t count) override;
  void Progress(int32_t done) override;
  void EndProgress() override;
  void ShowWait(std::string_view text) override;
  void CloseWait() override;
  void ShowError(int32_t number, std::string_view source, std::string_view description) override;

 private:
  [[noreturn]] void Stop(WebQuestion question);

  ScriptedOperator scripted_;
  std::shared_ptr<WebProgress> progress_;
  bool live_ = true;
  std::optional<WebQuestion> pending_;
  std::vector<MessageRequest> notices_;
  std::vector<ScriptedOperator::ShownError> errors_;
  DialogRunner runner_;
};

}  // namespace qts::host

#endif  // QTS_HOST_WEB_WEB_OPERATOR_H_
