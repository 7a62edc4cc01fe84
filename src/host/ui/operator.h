// The operator: every place where a person acts goes through this one interface -- message
// boxes, modal forms, the progress of a step process, the wait window and the display of an
// error. Tests and the command line script the answers (ScriptedOperator); a person at a
// terminal answers on the terminal (TerminalOperator).
#ifndef QTS_HOST_UI_OPERATOR_H_
#define QTS_HOST_UI_OPERATOR_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/error.h"
#include "host/ui/form.h"

namespace qts::host {

// The caption of the first button of every message box.
inline constexpr std::string_view kOkCaption = "Gerai";

// The button sets of a message box; values as the platform numbers them.
enum class MessageButtons : int16_t {
  kOk = 0,
  kOkCancel = 1,
  kAbortRetryIgnore = 2,
  kYesNoCancel = 3,
  kYesNo = 4,
  kRetryCancel = 5,
};

// The answer of a message box: the button pressed, numbered as the platform does (so "the answer
// is 1" means the first button of an OK box).
enum class MessageAnswer : int16_t {
  kOk = 1,
  kCancel = 2,
  kAbort = 3,
  kRetry = 4,
  kIgnore = 5,
  kYes = 6,
  kNo = 7,
};

// The buttons of a set, in the order they are shown.
std::vector<MessageAnswer> ButtonAnswers(MessageButtons buttons);
// "ok", "cancel", "yes", ...
std::string_view AnswerName(MessageAnswer answer);
// The Lithuanian caption of a button: `ok_caption` for OK, "Atšaukti", "Taip", "Ne", ...
std::string AnswerCaption(MessageAnswer answer, std::string_view ok_caption = kOkCaption);
// An answer from its English name, its Lithuanian caption (letters compared without regard to
// ASCII case) or its number; nullopt for anything else.
std::optional<MessageAnswer> ParseAnswer(std::string_view text);

struct MessageRequest {
  int32_t number = 0;  // the message's number in the message table; 0 for an unnumbered text
  std::string text;
  MessageButtons buttons = MessageButtons::kOk;
  std::string ok_caption = std::string(kOkCaption);
  std::string title;
};

// "[8381] text" or the text alone when it has no number; used in transcripts and errors.
std::string DescribeMessage(const MessageRequest& request);

// A popup menu: the button that opens it, a caption and the items, each with a key the
// system knows it by (a business operation's code) and the caption a person reads.
struct MenuItem {
  std::string key;
  std::string caption;
};
struct MenuRequest {
  std::string owner;  // "btUtil"
  std::string caption;
  std::vector<MenuItem> items;
};

// The item `text` names: its key or caption (letters compared without regard to ASCII case),
// or its number counted from 1; nullopt when it names none.
std::optional<size_t> FindMenuItem(const MenuRequest& menu, std::string_view text);

class DialogSession;

class Operator {
 public:
  Operator() = default;
  Operator(const Operator&) = delete;
  Operator& operator=(const Operator&) = delete;
  virtual ~Operator() = default;

  // Shows a message box and returns the button pressed, always one of the request's buttons.
  virtual MessageAnswer MessageBox(const MessageRequest& request) = 0;
  MessageAnswer MessageBox(int32_t number, std::string_view text,
                           MessageButtons buttons = MessageButtons::kOk,
                           std::string_view ok_caption = kOkCaption);

  // Shows `form` modally. On True (confirmed) its editable controls hold what the person
  // entered; on False (cancelled) the values are unspecified and the caller ignores them.
  virtual bool RunModalForm(FormDescription& form) = 0;

  // Shows a popup menu; returns the index of the item chosen, or -1 when the person closed
  // the menu without choosing.
  virtual int32_t ChooseMenu(const MenuRequest& menu) = 0;

  // Shows an open document dialog: the person works with it (sets controls, edits rows,
  // presses buttons, saves) until it is closed. Returns when the person is done; errors the
  // dialog raises while the person works are shown to the person, except where an operator
  // says otherwise.
  virtual void RunDialog(DialogSession& dialog) = 0;

  // The progress of a step process: Begin once, Progress(done) after each finished step
  // (1..count), End once, also when a step failed. A process started by a step of another
  // nests: its Begin..End pair lies inside the outer one, and Progress concerns the innermost.
  virtual void BeginProgress(std::string_view caption, int32_t count) = 0;
  virtual void Progress(int32_t done) = 0;
  virtual void EndProgress() = 0;

  // The wait window: shown (or its text changed) by ShowWait, closed by CloseWait. Closing a
  // window that is not open does nothing.
  virtual void ShowWait(std::string_view text) = 0;
  virtual void CloseWait() = 0;

  // Shows an error to the person; returns when it has been seen.
  virtual void ShowError(int32_t number, std::string_view source, std::string_view description) = 0;
  void ShowError(const Error& error) {
    ShowError(error.Number(), error.Source(), error.Description());
  }
};

// An operator that passes everything on to another one: the base of operators that answer or
// watch one kind of request themselves and leave the others as they are.
class ForwardingOperator : public Operator {
 public:
  explicit ForwardingOperator(std::shared_ptr<Operator> inner) : inner_(std::move(inner)) {}

  using Operator::MessageBox;
  using Operator::ShowError;
  MessageAnswer MessageBox(const MessageRequest& request) override {
    return inner_->MessageBox(request);
  }
  bool RunModalForm(FormDescription& form) override { return inner_->RunModalForm(form); }
  int32_t ChooseMenu(const MenuRequest& menu) override { return inner_->ChooseMenu(menu); }
  void RunDialog(DialogSession& dialog) override { inner_->RunDialog(dialog); }
  void BeginProgress(std::string_view caption, int32_t count) override {
    inner_->BeginProgress(caption, count);
  }
  void Progress(int32_t done) override { inner_->Progress(done); }
  void EndProgress() override { inner_->EndProgress(); }
  void ShowWait(std::string_view text) override { inner_->ShowWait(text); }
  void CloseWait() override { inner_->CloseWait(); }
  void ShowError(int32_t number, std::string_view source, std::string_view description) override {
    inner_->ShowError(number, source, description);
  }

 private:
  std::shared_ptr<Operator> inner_;
};

// The operator of this process. Until one is set: a terminal operator when standard input is a
// terminal, otherwise a scripted one that has no answers (it shows notices and errors on
// standard error and raises kErrOperator when asked a question).
Operator& CurrentOperator();
std::shared_ptr<Operator> CurrentOperatorPtr();
// Makes `op` the current operator and returns the previous one; null restores the default.
std::shared_ptr<Operator> SetCurrentOperator(std::shared_ptr<Operator> op);

// Sets the current operator for a scope and restores the previous one at its end.
class ScopedOperator {
 public:
  explicit ScopedOperator(std::shared_ptr<Operator> op)
      : previous_(SetCurrentOperator(std::move(op))) {}
  ScopedOperator(const ScopedOperator&) = delete;
  ScopedOperator& operator=(const ScopedOperator&) = delete;
  ~ScopedOperator() { SetCurrentOperator(std::move(previous_)); }

 private:
  std::shared_ptr<Operator> previous_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_OPERATOR_H_
