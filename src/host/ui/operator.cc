#include "host/ui/operator.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <mutex>

#include "core/text.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/terminal_operator.h"

namespace qts::host {

namespace {

struct AnswerText {
  MessageAnswer answer;
  std::string_view name;
  std::string_view caption;
};

constexpr AnswerText kAnswers[] = {
    {MessageAnswer::kOk, "ok", "Gerai"},
    {MessageAnswer::kCancel, "cancel", "Atšaukti"},
    {MessageAnswer::kAbort, "abort", "Nutraukti"},
    {MessageAnswer::kRetry, "retry", "Kartoti"},
    {MessageAnswer::kIgnore, "ignore", "Praleisti"},
    {MessageAnswer::kYes, "yes", "Taip"},
    {MessageAnswer::kNo, "no", "Ne"},
};

const AnswerText& TextOf(MessageAnswer answer) {
  for (const AnswerText& text : kAnswers) {
    if (text.answer == answer) return text;
  }
  throw Error(kErrOperator, "Operator",
              "unknown answer " + std::to_string(static_cast<int>(answer)));
}

std::mutex current_mutex;
std::shared_ptr<Operator> current_operator;

std::shared_ptr<Operator> MakeDefaultOperator() {
  if (isatty(STDIN_FILENO) == 1) return TerminalOperator::ForStandardStreams();
  return std::make_shared<ScriptedOperator>(
      "standard input is not a terminal, so questions need answers given in advance", &std::cerr);
}

}  // namespace

std::vector<MessageAnswer> ButtonAnswers(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kOk:
      return {MessageAnswer::kOk};
    case MessageButtons::kOkCancel:
      return {MessageAnswer::kOk, MessageAnswer::kCancel};
    case MessageButtons::kAbortRetryIgnore:
      return {MessageAnswer::kAbort, MessageAnswer::kRetry, MessageAnswer::kIgnore};
    case MessageButtons::kYesNoCancel:
      return {MessageAnswer::kYes, MessageAnswer::kNo, MessageAnswer::kCancel};
    case MessageButtons::kYesNo:
      return {MessageAnswer::kYes, MessageAnswer::kNo};
    case MessageButtons::kRetryCancel:
      return {MessageAnswer::kRetry, MessageAnswer::kCancel};
  }
  throw Error(kErrOperator, "Operator",
              "unknown button set " + std::to_string(static_cast<int>(buttons)));
}

std::string_view AnswerName(MessageAnswer answer) { return TextOf(answer).name; }

std::string AnswerCaption(MessageAnswer answer, std::string_view ok_caption) {
  if (answer == MessageAnswer::kOk && !ok_caption.empty()) return std::string(ok_caption);
  return std::string(TextOf(answer).caption);
}

std::optional<MessageAnswer> ParseAnswer(std::string_view text) {
  text = StripAsciiWhitespace(text);
  for (const AnswerText& candidate : kAnswers) {
    if (EqualsIgnoreCase(text, candidate.name) || EqualsIgnoreCase(text, candidate.caption) ||
        text == std::to_string(static_cast<int>(candidate.answer))) {
      return candidate.answer;
    }
  }
  return std::nullopt;
}

std::string DescribeMessage(const MessageRequest& request) {
  if (request.number == 0) return request.text;
  return "[" + std::to_string(request.number) + "] " + request.text;
}

std::optional<size_t> FindMenuItem(const MenuRequest& menu, std::string_view text) {
  text = StripAsciiWhitespace(text);
  if (text.empty()) return std::nullopt;
  for (size_t i = 0; i < menu.items.size(); ++i) {
    if (EqualsIgnoreCase(text, menu.items[i].key) ||
        EqualsIgnoreCase(text, menu.items[i].caption)) {
      return i;
    }
  }
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
      text.size() < 6) {
    const size_t number = std::stoul(std::string(text));
    if (number >= 1 && number <= menu.items.size()) return number - 1;
  }
  return std::nullopt;
}

MessageAnswer Operator::MessageBox(int32_t number, std::string_view text, MessageButtons buttons,
                                   std::string_view ok_caption) {
  MessageRequest request;
  request.number = number;
  request.text = std::string(text);
  request.buttons = buttons;
  request.ok_caption = std::string(ok_caption);
  return MessageBox(request);
}

Operator& CurrentOperator() { return *CurrentOperatorPtr(); }

std::shared_ptr<Operator> CurrentOperatorPtr() {
  std::lock_guard<std::mutex> lock(current_mutex);
  if (!current_operator) current_operator = MakeDefaultOperator();
  return current_operator;
}

std::shared_ptr<Operator> SetCurrentOperator(std::shared_ptr<Operator> op) {
  std::lock_guard<std::mutex> lock(current_mutex);
  std::shared_ptr<Operator> previous = std::move(current_operator);
  current_operator = std::move(op);
  return previous;
}

}  // namespace qts::host
