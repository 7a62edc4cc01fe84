// What a person does in a document dialog, as one command: typed on the terminal
// ("set edDate 2026-12-31", "cell new GoodCode M-001", "press btSetPriceOff") or given on the
// command line (--set, --cell, --delete, --press, --save, --print), and run on a
// DialogSession. The two spellings share this one parser and runner.
#ifndef QTS_HOST_UI_DIALOG_COMMAND_H_
#define QTS_HOST_UI_DIALOG_COMMAND_H_

#include <iosfwd>
#include <string>
#include <string_view>

#include "host/ui/dialog_session.h"

namespace qts::host {

enum class DialogAction {
  kSet,     // target = control, value
  kCell,    // target = row position or "new", column, value
  kSelect,  // target = row position
  kDelete,  // target = row position (selects it, then presses the grid's delete button)
  kPress,   // target = button, value = the menu item it opens (may be empty)
  kSave,
  kPrint,  // target = report class (may be empty), value = file; bar_code
  kFind,   // value = the text looked up
  kShow,
  kHelp,
  kClose,
};

struct DialogCommand {
  DialogAction action = DialogAction::kShow;
  std::string target;
  std::string column;
  std::string value;
  bool bar_code = false;

  // The command as a person would type it ("cell 2 Amount 3").
  [[nodiscard]] std::string Describe() const;
};

// A line the person typed:
//   set CONTROL VALUE...   or   CONTROL=VALUE
//   cell ROW COLUMN VALUE...   or   ROW:COLUMN=VALUE      (ROW a position or "new")
//   row ROW | delete ROW | press BUTTON [ITEM...] | save | print [CLASS] FILE [barcode]
//   find TEXT | show | help | close (also quit, exit)
// Raises kErrOperator naming what it could not read.
[[nodiscard]] DialogCommand ParseDialogCommand(std::string_view line);

// "CONTROL=VALUE" (--set) and "ROW:COLUMN=VALUE" (--cell) as the command line gives them.
[[nodiscard]] DialogCommand ParseSetArgument(std::string_view text);
[[nodiscard]] DialogCommand ParseCellArgument(std::string_view text);

// Runs `command` on `session`. Text it answers (find, help) goes to `out`; show draws the
// dialog to `out`. Errors of the session propagate. Returns False after a refused save.
bool RunDialogCommand(DialogSession& session, const DialogCommand& command, std::ostream& out);

// The commands a person can type, one per line, in Lithuanian with their spelling.
[[nodiscard]] std::string_view DialogCommandHelp();

}  // namespace qts::host

#endif  // QTS_HOST_UI_DIALOG_COMMAND_H_
