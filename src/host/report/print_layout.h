// A report's print layout: what a person sees on the printed page, kept as data beside the
// report (resources/layouts/<ReportClass>.json) and drawn by every renderer (HTML, PDF, XLSX)
// the same way. A layout names, never computes:
//   - the header: items that are a value, a caption and a value, or a text composed from a
//     message and values, with an optional look-up that says a chosen code list as a person
//     would (store names, "visi" for none), and an optional bar code;
//   - one table per data list: the shown columns in order with caption keys, widths and the
//     rows a column is shown on; the columns that group rows and the values that belong to a
//     group (shown and counted once per group); subtotals per group; totals per unit;
//   - the footer: signature lines (role, position, name);
//   - the page's orientation.
// Texts are message-table keys of the resource set QTSFormRes; values are the names the
// report hands over in its Values, or the engine's own values ("@EnterpriseName", see
// kEngineValues).
//
// The JSON form (every key optional unless marked):
//   {
//     "report": "CRepStoreRestByTerm",               required, the report class
//     "title": 30101,                                 required, the document's title
//     "orientation": "portrait" | "landscape",
//     "header": [ HeaderItem ... ],
//     "tables": [ Table ... ],
//     "footer": [ {"signatures": [ Signature ... ]} ]
//   }
//   HeaderItem: {"caption": key, "value": name, "text": key, "args": [name ...],
//                "lookup": table, "all": key, "style": "company" | "title" | "center" |
//                "line" | "note", "if_set": name, "unless_set": name, "barcode": name}
//   Table: {"list": name (required), "caption": key,
//           "columns": [ {"name" (required), "caption" (required), "caption_args": [name],
//                         "code": text, "width": number, "wrap": bool, "total": bool,
//                         "unit": column, "when": {"column": name, "equals": number|text}} ],
//           "group": {"by": [column ...] (required), "columns": [column ...],
//                     "subtotal": key}}
//   Signature: {"role": key, "position": name, "name": name | [name ...], "skip_empty": bool}
//              (a name given in parts, first and last, is said with a blank between them)
#ifndef QTS_HOST_REPORT_PRINT_LAYOUT_H_
#define QTS_HOST_REPORT_PRINT_LAYOUT_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/variant.h"

namespace qts::host {

class MessageTable;

// Values the engine supplies itself, besides the report's: the own enterprise's name, company
// code, VAT code, director's name and position (from the book's enterprise info), the book's
// accounting currency, the run's date and the print time.
inline constexpr std::string_view kEngineValues[] = {
    "@EnterpriseName",   "@PlantCode",       "@VatCode", "@Director",
    "@DirectorPosition", "@AccountCurrency", "@Today",   "@Printed"};

enum class PageOrientation { kPortrait, kLandscape };

// How a header item is set: the company line, the title, a centred line, a caption-value line
// (the default), or a small note.
enum class HeaderStyle { kCompany, kTitle, kCenter, kLine, kNote };

struct LayoutHeaderItem {
  HeaderStyle style = HeaderStyle::kLine;
  std::optional<int32_t> caption;  // "Sandėliai" before the value
  std::string value;               // a value name; "" when the item is a composed text
  std::optional<int32_t> text;     // a message with "%0", "%1" ... replaced by `args`
  std::vector<std::string> args;
  // A table whose Code/Name the value's codes are said by ("STStore": "Centrinis sandėlis
  // (CS)"); "" for the value as it is.
  std::string lookup;
  // The text shown when the value is empty (no choice means every one: "visi").
  std::optional<int32_t> all;
  std::string if_set;      // shown only when this value is not empty
  std::string unless_set;  // shown only when this value is empty
  std::string barcode;     // the value drawn as a Code 39 bar code (when not empty)
};

struct LayoutCondition {
  std::string column;
  Variant equals;
};

struct PrintLayoutColumn {
  std::string name;
  int32_t caption = 0;
  std::vector<std::string> caption_args;  // values put into the caption's "%0" ...
  std::string code;                       // a column code printed under the caption ("3")
  double width = 10;                      // relative to the table's other columns
  bool wrap = false;                      // long texts wrap instead of being cut
  bool total = false;                     // summed into subtotals and totals
  std::string unit;                       // the column naming each row's unit
  std::optional<LayoutCondition> when;    // shown only on the rows that meet it
};

struct LayoutGroup {
  std::vector<std::string> by;       // rows with equal values here form one group
  std::vector<std::string> columns;  // the group's own values: shown and counted once
  std::optional<int32_t> subtotal;   // a subtotal line under a group of several rows
};

struct LayoutTable {
  std::string list;
  std::optional<int32_t> caption;
  std::vector<PrintLayoutColumn> columns;
  std::optional<LayoutGroup> group;

  const PrintLayoutColumn* Find(std::string_view name) const;
};

struct LayoutSignature {
  std::optional<int32_t> role;          // "Komisijos pirmininkas"
  std::string position;                 // a value holding the person's position
  std::string name;                     // a value holding the person's name
  std::vector<std::string> name_parts;  // or the values the name is said from, in order
  bool skip_empty = false;              // left out when the name is empty
};

struct PrintLayout {
  std::string report;
  int32_t title = 0;
  PageOrientation orientation = PageOrientation::kPortrait;
  std::vector<LayoutHeaderItem> header;
  std::vector<LayoutTable> tables;
  std::vector<LayoutSignature> signatures;

  const LayoutTable* FindTable(std::string_view list) const;

  // Every message key the layout uses.
  std::vector<int32_t> CaptionKeys() const;
  // Every value name the layout reads from the report's Values (engine values excluded).
  std::vector<std::string> ValueNames() const;

  // Reads a layout from its JSON text. Error kErrPrintLayout naming `origin` and the place for
  // a text that is no layout: unknown keys, wrong types, a column without a name or caption, a
  // group or unit naming a column the table does not show, an unknown engine value.
  static PrintLayout Parse(std::string_view json, std::string_view origin);
};

// The folder layouts are read from: "layouts" in the message resource folder.
std::filesystem::path PrintLayoutDir();

// The layout of `report_class` (PrintLayoutDir()/<class>.json), or nullopt when the report has
// none. A file that is there but no valid layout raises kErrPrintLayout.
std::optional<PrintLayout> LoadPrintLayout(std::string_view report_class);

// Checks that every caption key of `layout` has a text in `messages`; error kErrPrintLayout
// naming the report and the first key without one.
void CheckCaptionKeys(const PrintLayout& layout, const MessageTable& messages);

// The report classes that have a layout file, in name order.
std::vector<std::string> PrintLayoutClasses();

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_PRINT_LAYOUT_H_
