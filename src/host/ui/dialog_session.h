// An open document dialog as a person works with it: what the person sees (DialogView, drawn
// from the dialog's form model and its grid) and what the person does (DialogSession: set a
// control, edit a grid cell, delete a row, press a button, save, print). Operators run a
// session: the scripted one from commands given in advance, the terminal one from what the
// person types. The dialog itself (SystemDialog) implements the session.
#ifndef QTS_HOST_UI_DIALOG_SESSION_H_
#define QTS_HOST_UI_DIALOG_SESSION_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/ui/form_model.h"

namespace qts::host {

// The resizer's layout codes: how a control follows its window when the window is resized.
// The forms give one per control; the renderers place controls by it.
enum class LayoutCode : int32_t {
  kFixed = 0,         // stays where it is, at the top left (header fields and labels)
  kBottom = 4,        // moves down with the bottom edge (the sum line under the grid)
  kWide = 5,          // grows with the width (long texts, persons)
  kBottomLeft = 9,    // moves down and stays left (copy and print buttons)
  kBottomRight = 12,  // moves with the bottom right corner (OK, Cancel, Apply, post)
  kFill = 15,         // grows with the width and the height (the grid)
};

// The code a form gave, as the enumeration; an unknown code counts as kFixed.
LayoutCode LayoutCodeOf(int32_t code);

// One control as the person sees it.
struct DialogField {
  std::string name;     // "edNumb": what the person types to reach it
  std::string caption;  // "Dokumento Nr."
  ControlType type = ControlType::kTextBox;
  std::string text;  // the value as shown: a combo's code and its text, a check box [x]/[ ]
  std::string value;  // the value as a person types it to set it: a combo's code, a check box 1/0
  bool enabled = true;
  bool visible = true;
  LayoutCode layout = LayoutCode::kFixed;
};

struct DialogGridColumn {
  std::string key;  // "Amount", "AddFld.WriteOffPrice": what the person types to reach it
  std::string caption;
  bool numeric = false;  // drawn right-aligned
  bool editable = false;
};

struct DialogGrid {
  std::string name;                            // the grid control, "SpecGrid"
  std::vector<DialogGridColumn> columns;       // the shown columns, in their order
  std::vector<std::vector<std::string>> rows;  // cells as shown, one per shown column
  std::vector<int32_t> positions;              // each row's position, as EditCell takes it
  std::vector<std::string> totals;             // per shown column; "" where the column has none
  int32_t current_row = -1;                    // index into rows; -1: none
  bool read_only = false;                      // the document's rows cannot be changed now
  std::string read_only_reason;
};

struct DialogView {
  std::string form;                 // "frmMMO"
  std::string caption;              // the window title
  std::string status;               // "naujas dokumentas", "patvirtintas", ...
  std::vector<DialogField> fields;  // every control of the form, in the form's order
  std::optional<DialogGrid> grid;
  std::vector<std::string> print_forms;  // report classes the print button offers
};

class DialogSession {
 public:
  DialogSession() = default;
  DialogSession(const DialogSession&) = delete;
  DialogSession& operator=(const DialogSession&) = delete;
  virtual ~DialogSession() = default;

  // The dialog as it is drawn now.
  [[nodiscard]] virtual DialogView View() = 0;

  // Sets control `control` to `text` as the person typed it (a date YYYY-MM-DD, a number with
  // '.' or ',', a check box 1/0, a combo's code). Refuses, naming the control, a control the
  // form lacks, one that cannot be edited (a label, a button, a hidden or read-only control,
  // a field locked by its lock field), a value of the wrong type and a code the combo does not
  // offer; a refusal changes nothing.
  virtual void SetControl(std::string_view control, std::string_view text) = 0;
  // Edits the cell `column` of the grid row at position `row` ("new": the grid's empty last
  // line, which becomes a row once it has a good and an amount). Refusals name the grid, the
  // row and the column, and change nothing.
  virtual void EditCell(std::string_view row, std::string_view column, std::string_view text) = 0;
  // Makes the row at position `row` the grid's current row.
  virtual void SelectRow(std::string_view row) = 0;
  // Presses button `button`; `item` (when not empty) is the item chosen in the menu the button
  // opens. Refuses a control that is not an enabled, visible button with something behind it.
  virtual void Press(std::string_view button, std::string_view item) = 0;
  // Writes the document (the form's checks first). False when the form or a handler refused
  // the write; the reason was shown to the person, and the book is as it was before.
  virtual bool Save() = 0;
  // Prints the document with the print form `report_class` (empty: the form's default) to
  // `file`, through the form's own print path; the file's extension picks the format.
  virtual void Print(std::string_view report_class, const std::filesystem::path& file,
                     bool bar_code) = 0;
  // The goods the grid's goods lookup offers for `text` (codes and names that contain it), one
  // line each.
  [[nodiscard]] virtual std::vector<std::string> FindGoods(std::string_view text) = 0;
  // Whether the dialog holds changes that are not written.
  [[nodiscard]] virtual bool HasUnsavedChanges() = 0;
  // Closes the dialog; unsaved changes are dropped (the book stays as it was).
  virtual void Close() = 0;
  [[nodiscard]] virtual bool IsClosed() const = 0;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_DIALOG_SESSION_H_
