// An operator for a person at a terminal. Questions and forms are asked on `out` and answered
// on `in`; progress, the wait window and errors go to `err`. When `err` is a terminal the
// progress bar is redrawn in place; otherwise a step process writes one line when it starts
// and one when it ends, so logs stay readable.
#ifndef QTS_HOST_UI_TERMINAL_OPERATOR_H_
#define QTS_HOST_UI_TERMINAL_OPERATOR_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "host/ui/operator.h"

namespace qts::host {

class TerminalOperator final : public Operator {
 public:
  // The streams must outlive the operator. `err_is_terminal` chooses the in-place progress
  // bar; `bar_width` is the number of cells of the bar.
  TerminalOperator(std::istream& in, std::ostream& out, std::ostream& err, bool err_is_terminal,
                   int bar_width = 30);
  // Standard input, output and error; the bar is drawn in place when standard error is a
  // terminal.
  static std::shared_ptr<TerminalOperator> ForStandardStreams();

  using Operator::MessageBox;
  using Operator::ShowError;
  // Prints the number, the text and the numbered buttons, then reads lines until one names a
  // button (its number, caption or English name). A notice (the single OK button) waits for
  // Enter. Input that ends before a question is answered raises kErrOperator.
  MessageAnswer MessageBox(const MessageRequest& request) override;
  // Asks each editable control in order, showing its current value; an empty line keeps it,
  // "-" empties it. A value that does not fit the control is asked again. Ends with the
  // question whether to confirm.
  bool RunModalForm(FormDescription& form) override;
  // Prints the numbered items and reads a line: an item's number, key or caption; an empty
  // line closes the menu without a choice.
  int32_t ChooseMenu(const MenuRequest& menu) override;
  // Draws the dialog and reads commands (see DialogCommandHelp) until the person closes it or
  // the input ends; the dialog is drawn again after every command. A refused command shows its
  // reason and the person goes on. Closing with unsaved changes asks whether to save them.
  void RunDialog(DialogSession& dialog) override;
  void BeginProgress(std::string_view caption, int32_t count) override;
  void Progress(int32_t done) override;
  void EndProgress() override;
  void ShowWait(std::string_view text) override;
  void CloseWait() override;
  void ShowError(int32_t number, std::string_view source, std::string_view description) override;

 private:
  // Reads one line; false at the end of input.
  bool ReadLine(std::string& line);
  void DrawBar();
  void ClearLine();

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  bool err_is_terminal_;
  int bar_width_;

  struct Run {
    std::string caption;
    int32_t count;
    int32_t done;
  };
  std::vector<Run> runs_;  // step processes in progress, innermost last; the bar shows it
  int drawn_cells_ = -1;
  bool line_dirty_ = false;  // a bar or wait text occupies the current line of err
  bool wait_open_ = false;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_TERMINAL_OPERATOR_H_
