#include "host/ui/scripted_operator.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <sstream>

#include "core/convert.h"
#include "core/error.h"

namespace qts::host {

ScriptedAnswer ScriptedAnswer::Parse(std::string_view text) {
  ScriptedAnswer result;
  std::string_view answer_text = text;
  if (size_t eq = text.find('='); eq != std::string_view::npos) {
    std::string number_text(text.substr(0, eq));
    char* end = nullptr;
    long number = std::strtol(number_text.c_str(), &end, 10);
    if (number_text.empty() || *end != '\0' || number <= 0 || number > INT32_MAX) {
      throw Error(kErrOperator, "ScriptedOperator",
                  "\"" + std::string(text) + "\" is not an answer: \"" + number_text +
                      "\" is not a message number");
    }
    result.number = static_cast<int32_t>(number);
    answer_text = text.substr(eq + 1);
  }
  std::optional<MessageAnswer> answer = ParseAnswer(answer_text);
  if (!answer) {
    throw Error(kErrOperator, "ScriptedOperator",
                "\"" + std::string(text) +
                    "\" is not an answer (ok, cancel, yes, no, abort, retry, ignore, optionally "
                    "preceded by a message number and '=')");
  }
  result.answer = *answer;
  return result;
}

ScriptedOperator::ScriptedOperator(std::string no_answer_hint, std::ostream* echo)
    : no_answer_hint_(std::move(no_answer_hint)), echo_(echo) {}

void ScriptedOperator::Answer(ScriptedAnswer answer) { answers_.push_back(answer); }

void ScriptedOperator::AnswerForm(ScriptedForm form) { forms_.push_back(std::move(form)); }

void ScriptedOperator::Fail(std::string description) const {
  if (!no_answer_hint_.empty()) description += " (" + no_answer_hint_ + ")";
  throw Error(kErrOperator, "ScriptedOperator", std::move(description));
}

void ScriptedOperator::Record(std::string line, bool echo) {
  if (echo && echo_) *echo_ << line << '\n' << std::flush;
  transcript_.push_back(std::move(line));
}

MessageAnswer ScriptedOperator::MessageBox(const MessageRequest& request) {
  std::vector<MessageAnswer> buttons = ButtonAnswers(request.buttons);
  MessageAnswer answer = MessageAnswer::kOk;
  if (buttons.size() > 1) {
    if (answers_.empty()) Fail("no answer for the question " + DescribeMessage(request));
    ScriptedAnswer scripted = answers_.front();
    if (scripted.number && *scripted.number != request.number) {
      Fail("the next answer is for message " + std::to_string(*scripted.number) +
           ", but the question is " + DescribeMessage(request));
    }
    if (std::find(buttons.begin(), buttons.end(), scripted.answer) == buttons.end()) {
      std::string offered;
      for (MessageAnswer button : buttons) {
        offered += (offered.empty() ? "" : ", ") + std::string(AnswerName(button));
      }
      Fail("the answer \"" + std::string(AnswerName(scripted.answer)) + "\" is not a button of " +
           DescribeMessage(request) + " (" + offered + ")");
    }
    answers_.pop_front();
    answer = scripted.answer;
  }
  messages_.push_back({request, answer});
  Record("message " + DescribeMessage(request) + " -> " + AnswerCaption(answer, request.ok_caption),
         buttons.size() == 1);
  return answer;
}

bool ScriptedOperator::RunModalForm(FormDescription& form) {
  std::string described =
      "\"" + form.name + "\"" + (form.caption.empty() ? "" : " (" + form.caption + ")");
  if (forms_.empty()) Fail("no filling for the form " + described);
  const ScriptedForm& scripted = forms_.front();
  if (!scripted.form.empty() && scripted.form != form.name) {
    Fail("the next filling is for the form \"" + scripted.form + "\", but the form is " +
         described);
  }
  // Check every value before changing any, so a bad script leaves the form as it was.
  std::vector<std::pair<FormControl*, Variant>> changes;
  for (const auto& [name, value] : scripted.values) {
    FormControl* control = form.Find(name);
    if (!control) Fail("the form " + described + " has no control \"" + name + "\"");
    if (!IsEditable(control->kind)) {
      Fail("the control \"" + control->name + "\" of the form " + described + " cannot be filled");
    }
    bool text_for_typed = value.Type() == VarType::kString && control->kind != ControlKind::kText &&
                          control->kind != ControlKind::kCombo &&
                          control->kind != ControlKind::kSelector;
    changes.emplace_back(control,
                         text_for_typed ? ParseControlValue(*control, CStr(value)) : value);
  }
  for (auto& [control, value] : changes) control->value = std::move(value);
  bool confirmed = scripted.confirm;
  forms_.pop_front();
  shown_forms_.push_back({form, confirmed});
  Record("form " + described + (confirmed ? " confirmed" : " cancelled"), false);
  return confirmed;
}

int32_t ScriptedOperator::ChooseMenu(const MenuRequest& menu) {
  const std::string described =
      menu.owner + (menu.caption.empty() ? "" : " (" + menu.caption + ")");
  if (menus_.empty()) Fail("no choice for the menu of " + described);
  std::string item = menus_.front();
  std::optional<size_t> index = FindMenuItem(menu, item);
  if (!index) {
    std::string items;
    for (const MenuItem& entry : menu.items) items += (items.empty() ? "" : ", ") + entry.key;
    Fail("\"" + item + "\" is not an item of the menu of " + described + " (" + items + ")");
  }
  menus_.pop_front();
  Record("menu " + described + " -> " + menu.items[*index].key, false);
  return static_cast<int32_t>(*index);
}

void ScriptedOperator::RunDialog(DialogSession& dialog) {
  if (dialogs_.empty()) Fail("no commands for the dialog");
  ScriptedDialog script = std::move(dialogs_.front());
  dialogs_.pop_front();
  std::ostringstream answered;
  for (const DialogCommand& command : script.commands) {
    Record("dialog: " + command.Describe(), false);
    const bool done = RunDialogCommand(dialog, command, answered);
    std::ostream* out = dialog_out_ ? dialog_out_ : echo_;
    if (out && answered.tellp() > 0) {
      *out << answered.str() << std::flush;
      answered.str({});
    }
    if (!done) {
      throw Error(kErrDialogRefused, "ScriptedOperator",
                  "the dialog refused \"" + command.Describe() + "\" (the reason is shown above)");
    }
    if (dialog.IsClosed()) break;
  }
}

void ScriptedOperator::BeginProgress(std::string_view caption, int32_t count) {
  if (count < 0)
    Fail("progress \"" + std::string(caption) + "\" of " + std::to_string(count) + " steps");
  runs_.push_back({std::string(caption), count, 0});
  progress_.push_back({ProgressEvent::Kind::kBegin, std::string(caption), count});
  Record("progress \"" + std::string(caption) + "\" 0/" + std::to_string(count), false);
}

void ScriptedOperator::Progress(int32_t done) {
  if (runs_.empty()) Fail("progress reported without a step process");
  Run& run = runs_.back();
  if (done < run.done || done > run.count) {
    Fail("progress " + std::to_string(done) + " after " + std::to_string(run.done) + " of " +
         std::to_string(run.count) + " in \"" + run.caption + "\"");
  }
  run.done = done;
  progress_.push_back({ProgressEvent::Kind::kStep, {}, done});
}

void ScriptedOperator::EndProgress() {
  if (runs_.empty()) Fail("progress ended without a step process");
  Run run = std::move(runs_.back());
  runs_.pop_back();
  progress_.push_back({ProgressEvent::Kind::kEnd, {}, run.done});
  Record("progress \"" + run.caption + "\" ended at " + std::to_string(run.done) + "/" +
             std::to_string(run.count),
         false);
}

void ScriptedOperator::ShowWait(std::string_view text) {
  wait_open_ = true;
  wait_texts_.emplace_back(text);
  Record("wait \"" + std::string(text) + "\"", false);
}

void ScriptedOperator::CloseWait() {
  if (!wait_open_) return;
  wait_open_ = false;
  Record("wait closed", false);
}

void ScriptedOperator::ShowError(int32_t number, std::string_view source,
                                 std::string_view description) {
  errors_.push_back({number, std::string(source), std::string(description)});
  Record("error " + FormatErrorNumber(number) + " (" + std::string(source) +
             "): " + std::string(description),
         true);
}

}  // namespace qts::host
