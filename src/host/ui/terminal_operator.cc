#include "host/ui/terminal_operator.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/ui/dialog_command.h"
#include "host/ui/dialog_text.h"

namespace qts::host {

namespace {

// The button `text` names among `buttons`: its number in the list, its caption or its name.
std::optional<MessageAnswer> PickButton(std::string_view text,
                                        const std::vector<MessageAnswer>& buttons,
                                        std::string_view ok_caption) {
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '9') {
    size_t index = static_cast<size_t>(text[0] - '1');
    if (index < buttons.size()) return buttons[index];
    return std::nullopt;
  }
  for (MessageAnswer button : buttons) {
    if (EqualsIgnoreCase(text, AnswerCaption(button, ok_caption)) ||
        EqualsIgnoreCase(text, AnswerName(button))) {
      return button;
    }
  }
  return std::nullopt;
}

std::string ShownValue(const Variant& value) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return "";
  return CStr(value);
}

[[noreturn]] void InputEnded(const std::string& what) {
  throw Error(kErrOperator, "TerminalOperator", "input ended before " + what + " was answered");
}

}  // namespace

TerminalOperator::TerminalOperator(std::istream& in, std::ostream& out, std::ostream& err,
                                   bool err_is_terminal, int bar_width)
    : in_(in),
      out_(out),
      err_(err),
      err_is_terminal_(err_is_terminal),
      bar_width_(std::max(bar_width, 1)) {}

std::shared_ptr<TerminalOperator> TerminalOperator::ForStandardStreams() {
  return std::make_shared<TerminalOperator>(std::cin, std::cout, std::cerr,
                                            isatty(STDERR_FILENO) == 1);
}

bool TerminalOperator::ReadLine(std::string& line) {
  ClearLine();
  out_ << std::flush;
  if (!std::getline(in_, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void TerminalOperator::ClearLine() {
  if (!line_dirty_) return;
  err_ << '\n' << std::flush;
  line_dirty_ = false;
  drawn_cells_ = -1;
}

MessageAnswer TerminalOperator::MessageBox(const MessageRequest& request) {
  ClearLine();
  std::vector<MessageAnswer> buttons = ButtonAnswers(request.buttons);
  out_ << '\n';
  if (!request.title.empty()) out_ << request.title << '\n';
  out_ << DescribeMessage(request) << '\n';
  if (buttons.size() == 1) {
    out_ << '[' << AnswerCaption(buttons[0], request.ok_caption) << "] ";
    std::string ignored;
    ReadLine(ignored);  // the end of input presses the only button as well
    return buttons[0];
  }
  for (size_t i = 0; i < buttons.size(); ++i) {
    out_ << (i ? "   " : "") << i + 1 << ") " << AnswerCaption(buttons[i], request.ok_caption);
  }
  out_ << '\n';
  for (;;) {
    out_ << "> ";
    std::string line;
    if (!ReadLine(line)) InputEnded("the question " + DescribeMessage(request));
    if (std::optional<MessageAnswer> answer =
            PickButton(StripAsciiWhitespace(line), buttons, request.ok_caption)) {
      return *answer;
    }
    out_ << "Pasirinkite 1-" << buttons.size() << ".\n";
  }
}

bool TerminalOperator::RunModalForm(FormDescription& form) {
  ClearLine();
  const std::string& title = form.caption.empty() ? form.name : form.caption;
  out_ << "\n== " << title << " ==\n";
  for (FormControl& control : form.controls) {
    // Captions carry the form's own spacing ("Sandėlis : "); the prompt adds its own.
    std::string_view label =
        StripAsciiWhitespace(control.caption.empty() ? control.name : control.caption);
    if (!IsEditable(control.kind)) {
      // A frame or label without a caption says nothing: its name is no text for a person.
      if (!control.caption.empty()) out_ << label << '\n';
      continue;
    }
    for (;;) {
      out_ << label << " [" << ShownValue(control.value) << "]: ";
      std::string line;
      if (!ReadLine(line)) InputEnded("the form \"" + form.name + "\"");
      if (line.empty()) break;
      if (StripAsciiWhitespace(line) == "-") {
        control.value = control.kind == ControlKind::kCheck ? Variant(int32_t{0})
                        : control.kind == ControlKind::kNumber || control.kind == ControlKind::kDate
                            ? Variant::Null()
                            : Variant(std::string());
        break;
      }
      try {
        control.value = ParseControlValue(control, line);
        break;
      } catch (const Error& error) {
        out_ << error.Description() << '\n';
      }
    }
  }
  MessageRequest confirm;
  confirm.text = title;
  confirm.buttons = MessageButtons::kOkCancel;
  return MessageBox(confirm) == MessageAnswer::kOk;
}

int32_t TerminalOperator::ChooseMenu(const MenuRequest& menu) {
  ClearLine();
  out_ << '\n' << (menu.caption.empty() ? menu.owner : menu.caption) << '\n';
  for (size_t i = 0; i < menu.items.size(); ++i) {
    out_ << "  " << i + 1 << ") " << menu.items[i].key;
    if (!menu.items[i].caption.empty() && menu.items[i].caption != menu.items[i].key) {
      out_ << "  " << menu.items[i].caption;
    }
    out_ << '\n';
  }
  for (;;) {
    out_ << "meniu> ";
    std::string line;
    if (!ReadLine(line) || StripAsciiWhitespace(line).empty()) return -1;
    if (std::optional<size_t> index = FindMenuItem(menu, line)) {
      return static_cast<int32_t>(*index);
    }
    out_ << "Tokio punkto nėra.\n";
  }
}

void TerminalOperator::RunDialog(DialogSession& dialog) {
  ClearLine();
  out_ << RenderDialogText(dialog.View()) << "(help - komandų sąrašas)\n";
  while (!dialog.IsClosed()) {
    out_ << "> ";
    std::string line;
    if (!ReadLine(line)) break;
    if (StripAsciiWhitespace(line).empty()) continue;
    try {
      DialogCommand command = ParseDialogCommand(line);
      if (command.action == DialogAction::kClose && dialog.HasUnsavedChanges()) {
        MessageRequest question;
        question.text = "Išsaugoti dokumento pakeitimus?";
        question.buttons = MessageButtons::kYesNoCancel;
        MessageAnswer answer = MessageBox(question);
        if (answer == MessageAnswer::kCancel) continue;
        if (answer == MessageAnswer::kYes && !dialog.Save()) continue;
      }
      RunDialogCommand(dialog, command, out_);
      const bool redraw =
          command.action != DialogAction::kShow && command.action != DialogAction::kHelp &&
          command.action != DialogAction::kFind && command.action != DialogAction::kClose;
      if (redraw && !dialog.IsClosed()) out_ << RenderDialogText(dialog.View());
    } catch (const Error& error) {
      ShowError(error);
    }
  }
  if (!dialog.IsClosed()) dialog.Close();
}

void TerminalOperator::BeginProgress(std::string_view caption, int32_t count) {
  ClearLine();
  runs_.push_back({std::string(caption), count, 0});
  if (err_is_terminal_) {
    DrawBar();
  } else {
    err_ << caption << ": žingsnių " << count << '\n' << std::flush;
  }
}

void TerminalOperator::Progress(int32_t done) {
  if (runs_.empty()) return;
  runs_.back().done = done;
  if (err_is_terminal_) DrawBar();
}

void TerminalOperator::EndProgress() {
  if (runs_.empty()) return;
  Run run = std::move(runs_.back());
  runs_.pop_back();
  if (err_is_terminal_) {
    ClearLine();
    if (!runs_.empty()) DrawBar();  // back to the enclosing process's bar
  } else {
    err_ << run.caption << ": atlikta " << run.done << " iš " << run.count << '\n' << std::flush;
  }
}

void TerminalOperator::DrawBar() {
  const Run& run = runs_.back();
  int cells = run.count > 0
                  ? static_cast<int>(static_cast<int64_t>(std::clamp(run.done, 0, run.count)) *
                                     bar_width_ / run.count)
                  : bar_width_;
  // Redraw only when the bar changes or the run finishes: a process of many thousand steps
  // must not write many thousand times to the terminal.
  if (cells == drawn_cells_ && run.done != run.count) return;
  drawn_cells_ = cells;
  int percent =
      run.count > 0 ? static_cast<int>(static_cast<int64_t>(run.done) * 100 / run.count) : 100;
  err_ << '\r' << run.caption << " [" << std::string(static_cast<size_t>(cells), '#')
       << std::string(static_cast<size_t>(bar_width_ - cells), '.') << "] " << percent << "% ("
       << run.done << '/' << run.count << ")\x1b[K" << std::flush;
  line_dirty_ = true;
}

void TerminalOperator::ShowWait(std::string_view text) {
  bool opening = !wait_open_;
  wait_open_ = true;
  if (err_is_terminal_) {
    err_ << '\r' << text << "\x1b[K" << std::flush;
    line_dirty_ = true;
  } else if (opening) {
    // Later changes of the text (a running count) are not logged: one line per row would
    // bury the log.
    err_ << text << '\n' << std::flush;
  }
}

void TerminalOperator::CloseWait() {
  if (!wait_open_) return;
  wait_open_ = false;
  if (err_is_terminal_ && line_dirty_) {
    err_ << "\r\x1b[K" << std::flush;
    line_dirty_ = false;
  }
}

void TerminalOperator::ShowError(int32_t number, std::string_view source,
                                 std::string_view description) {
  ClearLine();
  err_ << "Klaida " << FormatErrorNumber(number);
  if (!source.empty()) err_ << " (" << source << ")";
  err_ << ": " << description << '\n' << std::flush;
}

}  // namespace qts::host
