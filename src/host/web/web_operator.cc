#include "host/web/web_operator.h"

#include <thread>
#include <utility>

#include "core/error.h"
#include "core/error_numbers.h"

namespace qts::host {

WebProgress::State WebProgress::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

void WebProgress::Begin(std::string_view caption, int32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  // A nested process takes the bar over, as on the terminal.
  ++depth_;
  state_.running = true;
  state_.caption = std::string(caption);
  state_.count = count;
  state_.done = 0;
}

void WebProgress::Step(int32_t done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.done = done;
  }
  if (pause_.count() > 0) std::this_thread::sleep_for(pause_);
}

void WebProgress::End() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (depth_ > 0) --depth_;
  if (depth_ == 0) state_.running = false;
}

void WebProgress::Wait(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.wait = std::string(text);
}

WebOperator::WebOperator(std::shared_ptr<WebProgress> progress)
    : scripted_("the page answers it"), progress_(std::move(progress)) {}

void WebOperator::Queue(const WebAnswers& answers) {
  for (const ScriptedAnswer& answer : answers.messages) scripted_.Answer(answer);
  for (const std::string& item : answers.menus) scripted_.AnswerMenu(item);
  for (const ScriptedForm& form : answers.forms) scripted_.AnswerForm(form);
}

void WebOperator::Stop(WebQuestion question) {
  if (!pending_) pending_ = std::move(question);
  throw Error(kErrOperator, "qts serve", "the action waits for the person's answer in the page");
}

MessageAnswer WebOperator::MessageBox(const MessageRequest& request) {
  if (pending_) Stop({});
  const bool question = ButtonAnswers(request.buttons).size() > 1;
  if (question && scripted_.PendingAnswers() == 0) {
    WebQuestion pending;
    pending.message = request;
    Stop(std::move(pending));
  }
  const MessageAnswer answer = scripted_.MessageBox(request);
  if (!question && live_) notices_.push_back(request);
  return answer;
}

bool WebOperator::RunModalForm(FormDescription& form) {
  if (pending_) Stop({});
  if (scripted_.PendingForms() == 0) {
    WebQuestion pending;
    pending.kind = WebQuestion::Kind::kForm;
    pending.form = form;
    Stop(std::move(pending));
  }
  return scripted_.RunModalForm(form);
}

int32_t WebOperator::ChooseMenu(const MenuRequest& menu) {
  if (pending_) Stop({});
  if (scripted_.PendingMenus() == 0) {
    WebQuestion pending;
    pending.kind = WebQuestion::Kind::kMenu;
    pending.menu = menu;
    Stop(std::move(pending));
  }
  return scripted_.ChooseMenu(menu);
}

void WebOperator::RunDialog(DialogSession& dialog) {
  if (!runner_) throw Error(kErrOperator, "qts serve", "no page works with this dialog");
  runner_(dialog);
}

void WebOperator::BeginProgress(std::string_view caption, int32_t count) {
  if (live_ && progress_) progress_->Begin(caption, count);
}

void WebOperator::Progress(int32_t done) {
  if (live_ && progress_) progress_->Step(done);
}

void WebOperator::EndProgress() {
  if (live_ && progress_) progress_->End();
}

void WebOperator::ShowWait(std::string_view text) {
  if (live_ && progress_) progress_->Wait(text);
}

void WebOperator::CloseWait() {
  if (progress_) progress_->Wait("");
}

void WebOperator::ShowError(int32_t number, std::string_view source, std::string_view description) {
  // Once the run waits for an answer, what fails after it is the run being stopped.
  if (pending_) return;
  errors_.push_back({number, std::string(source), std::string(description)});
}

}  // namespace qts::host
