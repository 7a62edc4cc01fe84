#include "host/ui/dialog_command.h"

#include <cctype>
#include <ostream>
#include <vector>

#include "core/dispatch.h"
#include "core/error.h"
#include "core/text.h"
#include "host/ui/dialog_text.h"
#include "host/ui/operator.h"

namespace qts::host {

namespace {

constexpr const char* kSource = "DialogCommand";

// The first word of `text` (up to a blank), and the rest after the blanks that follow it.
std::string_view NextWord(std::string_view& text) {
  text = StripAsciiWhitespace(text);
  size_t end = 0;
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
  std::string_view word = text.substr(0, end);
  text = StripAsciiWhitespace(text.substr(end));
  return word;
}

[[noreturn]] void Unreadable(std::string_view line, std::string_view why) {
  throw Error(kErrOperator, kSource,
              "\"" + std::string(line) + "\": " + std::string(why) + " (help lists the commands)");
}

bool IsIdentifier(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return false;
  }
  return true;
}

}  // namespace

std::string DialogCommand::Describe() const {
  switch (action) {
    case DialogAction::kSet:
      return "set " + target + " " + value;
    case DialogAction::kCell:
      return "cell " + target + " " + column + " " + value;
    case DialogAction::kSelect:
      return "row " + target;
    case DialogAction::kDelete:
      return "delete " + target;
    case DialogAction::kPress:
      return "press " + target + (value.empty() ? "" : " " + value);
    case DialogAction::kSave:
      return "save";
    case DialogAction::kPrint:
      return "print " + (target.empty() ? "" : target + " ") + value + (bar_code ? " barcode" : "");
    case DialogAction::kFind:
      return "find " + value;
    case DialogAction::kShow:
      return "show";
    case DialogAction::kHelp:
      return "help";
    case DialogAction::kClose:
      return "close";
  }
  return "?";
}

DialogCommand ParseSetArgument(std::string_view text) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos || !IsIdentifier(StripAsciiWhitespace(text.substr(0, eq)))) {
    throw Error(
        kErrOperator, kSource,
        "\"" + std::string(text) + "\" is not CONTROL=VALUE (for example edDate=2026-12-31)");
  }
  DialogCommand command;
  command.action = DialogAction::kSet;
  command.target = std::string(StripAsciiWhitespace(text.substr(0, eq)));
  command.value = std::string(text.substr(eq + 1));
  return command;
}

DialogCommand ParseCellArgument(std::string_view text) {
  const size_t colon = text.find(':');
  const size_t eq = text.find('=');
  if (colon == std::string_view::npos || eq == std::string_view::npos || eq < colon ||
      StripAsciiWhitespace(text.substr(0, colon)).empty() ||
      !IsIdentifier(StripAsciiWhitespace(text.substr(colon + 1, eq - colon - 1)))) {
    throw Error(kErrOperator, kSource,
                "\"" + std::string(text) +
                    "\" is not ROW:COLUMN=VALUE (for example new:GoodCode=M-001 or 2:Amount=3)");
  }
  DialogCommand command;
  command.action = DialogAction::kCell;
  command.target = std::string(StripAsciiWhitespace(text.substr(0, colon)));
  command.column = std::string(StripAsciiWhitespace(text.substr(colon + 1, eq - colon - 1)));
  command.value = std::string(text.substr(eq + 1));
  return command;
}

DialogCommand ParseDialogCommand(std::string_view line) {
  std::string_view rest = StripAsciiWhitespace(line);
  if (rest.empty()) Unreadable(line, "an empty command");
  // The command line's own spellings work on the terminal too.
  std::string_view first_word = rest.substr(0, rest.find_first_of(" \t"));
  if (first_word.find('=') != std::string_view::npos) {
    return first_word.find(':') != std::string_view::npos &&
                   first_word.find(':') < first_word.find('=')
               ? ParseCellArgument(rest)
               : ParseSetArgument(rest);
  }
  const std::string verb = AsciiLower(NextWord(rest));
  DialogCommand command;
  if (verb == "set") {
    command.action = DialogAction::kSet;
    command.target = std::string(NextWord(rest));
    command.value = std::string(rest);
    if (command.target.empty()) Unreadable(line, "set needs a control and a value");
  } else if (verb == "cell") {
    command.action = DialogAction::kCell;
    command.target = std::string(NextWord(rest));
    command.column = std::string(NextWord(rest));
    command.value = std::string(rest);
    if (command.column.empty()) Unreadable(line, "cell needs a row, a column and a value");
  } else if (verb == "row" || verb == "delete") {
    command.action = verb == "row" ? DialogAction::kSelect : DialogAction::kDelete;
    command.target = std::string(NextWord(rest));
    if (command.target.empty() || !rest.empty()) Unreadable(line, verb + " needs one row");
  } else if (verb == "press") {
    command.action = DialogAction::kPress;
    command.target = std::string(NextWord(rest));
    command.value = std::string(rest);
    if (command.target.empty()) Unreadable(line, "press needs a button");
  } else if (verb == "save") {
    command.action = DialogAction::kSave;
  } else if (verb == "print") {
    command.action = DialogAction::kPrint;
    std::vector<std::string> words;
    for (std::string_view word = NextWord(rest); !word.empty(); word = NextWord(rest)) {
      words.emplace_back(word);
    }
    if (!words.empty() && EqualsIgnoreCase(words.back(), "barcode")) {
      command.bar_code = true;
      words.pop_back();
    }
    if (words.size() == 1) {
      command.value = words[0];
    } else if (words.size() == 2) {
      command.target = words[0];
      command.value = words[1];
    } else {
      Unreadable(line, "print needs a file, optionally after the print form");
    }
  } else if (verb == "find") {
    command.action = DialogAction::kFind;
    command.value = std::string(rest);
  } else if (verb == "show") {
    command.action = DialogAction::kShow;
  } else if (verb == "help" || verb == "?") {
    command.action = DialogAction::kHelp;
  } else if (verb == "close" || verb == "quit" || verb == "exit") {
    command.action = DialogAction::kClose;
  } else {
    Unreadable(line, "unknown command \"" + verb + "\"");
  }
  return command;
}

bool RunDialogCommand(DialogSession& session, const DialogCommand& command, std::ostream& out) {
  switch (command.action) {
    case DialogAction::kSet:
      session.SetControl(command.target, command.value);
      return true;
    case DialogAction::kCell:
      session.EditCell(command.target, command.column, command.value);
      return true;
    case DialogAction::kSelect:
      session.SelectRow(command.target);
      return true;
    case DialogAction::kDelete:
      session.SelectRow(command.target);
      session.Press("btSpecDelete", "");
      return true;
    case DialogAction::kPress:
      session.Press(command.target, command.value);
      return true;
    case DialogAction::kSave:
      return session.Save();
    case DialogAction::kPrint:
      session.Print(command.target, command.value, command.bar_code);
      return true;
    case DialogAction::kFind: {
      std::vector<std::string> lines = session.FindGoods(command.value);
      if (lines.empty()) out << "Prekių nerasta.\n";
      for (const std::string& line : lines) out << line << '\n';
      return true;
    }
    case DialogAction::kShow:
      out << RenderDialogText(session.View());
      return true;
    case DialogAction::kHelp:
      out << DialogCommandHelp();
      return true;
    case DialogAction::kClose:
      session.Close();
      return true;
  }
  return true;
}

std::string_view DialogCommandHelp() {
  return "Komandos:\n"
         "  set CONTROL VALUE        valdiklio reikšmė (arba CONTROL=VALUE)\n"
         "  cell ROW COLUMN VALUE    lentelės langelis; ROW - eilutės Nr. arba new (arba "
         "ROW:COLUMN=VALUE)\n"
         "  row ROW                  pasirinkti eilutę\n"
         "  delete ROW               pašalinti eilutę\n"
         "  press BUTTON [ITEM]      paspausti mygtuką (ir pasirinkti meniu punktą)\n"
         "  find TEXT                ieškoti prekių\n"
         "  save                     išsaugoti dokumentą\n"
         "  print [CLASS] FILE [barcode]  spausdinti į failą (.html, .pdf, .xlsx, .csv, .json)\n"
         "  show                     parodyti formą iš naujo\n"
         "  close                    uždaryti formą\n";
}

}  // namespace qts::host
