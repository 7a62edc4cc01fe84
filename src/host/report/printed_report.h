// A report laid out for printing: its ReportDocument put through its print layout. The
// header's values are said as a person would (store names, "visi" for no choice, the company
// from the book's enterprise info), the tables show the layout's columns with their captions,
// rows are gathered into groups whose own values are shown and counted once, and subtotals
// and totals are summed per unit. The HTML, PDF and XLSX renderers draw a PrintedReport and
// decide nothing of their own, so the three show the same lines and the same sums.
#ifndef QTS_HOST_REPORT_PRINTED_REPORT_H_
#define QTS_HOST_REPORT_PRINTED_REPORT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/date.h"
#include "core/variant.h"
#include "host/fwd.h"
#include "host/report/print_layout.h"
#include "host/report/report_document.h"

namespace qts::host {

class MessageTable;

struct PrintedHeaderLine {
  HeaderStyle style = HeaderStyle::kLine;
  std::string caption;  // "" when the line has none
  std::string text;
  bool barcode = false;  // `text` is drawn as a Code 39 bar code
};

enum class LineKind { kDetail, kSubtotal, kTotal };

struct PrintedLine {
  LineKind kind = LineKind::kDetail;
  // Detail lines of one group share its number; a subtotal has its group's. Lines of a group
  // are kept together on a page where they fit.
  size_t group = 0;
  bool group_start = false;    // the group's first line (it shows the group's own values)
  std::string label;           // "Iš viso" on total and subtotal lines, set in the first cell
  std::vector<Variant> cells;  // one per column; Empty where nothing is shown
};

struct PrintedColumn {
  std::string name;
  std::string caption;
  std::string code;  // a column code under the caption, "" when none
  int32_t kind = 0;
  double width = 0;  // share of the table's width; the shares add up to 1
  bool wrap = false;
  bool numeric = false;  // right-aligned; a number in a spreadsheet
  bool group = false;    // one of the group's own values, shown on its first line
  std::string unit;      // the column naming each row's unit ("" for none): sums are per unit
};

struct PrintedTable {
  std::string list;
  std::string caption;
  std::vector<PrintedColumn> columns;
  std::vector<PrintedLine> lines;
  size_t rows = 0;  // data-list rows shown

  bool HasCodes() const;
};

struct PrintedSignature {
  std::string role;
  std::string position;
  std::string name;
};

// The engine's own words on every printed page, from the message table.
struct PrintTexts {
  std::string total;      // "Iš viso"
  std::string page;       // "psl. %0 iš %1"
  std::string printed;    // "Atspausdinta %0"
  std::string no_data;    // "Duomenų nėra"
  std::string signature;  // "(parašas)"
  std::string name;       // "(vardas, pavardė)"
};

struct PrintedReport {
  std::string report_class;
  std::string title;
  PageOrientation orientation = PageOrientation::kPortrait;
  Date printed;
  std::vector<PrintedHeaderLine> header;
  std::vector<PrintedTable> tables;
  std::vector<PrintedSignature> signatures;
  PrintTexts texts;

  // "psl. 2 iš 5".
  std::string PageText(int page, int pages) const;
  // "Atspausdinta 2026-12-06 14:05".
  std::string PrintedText() const;
};

// The message table reports are printed with (resource set QTSFormRes), read once.
const MessageTable& ReportMessages();

// Lays `doc` out by `layout`. `book` answers the look-ups and the engine's values (null: codes
// are shown as they are and engine values are empty). Without a layout every value becomes a
// header line and every data list a table of all its columns under their own names, with
// money totalled. Error kErrPrintLayout naming the report and the name for a layout that reads
// a value, list or column the report does not hand over, or that totals a column that is no
// number or a quantity without its unit.
PrintedReport LayOutReport(const ReportDocument& doc, const std::optional<PrintLayout>& layout,
                           const AppContextPtr& book);
// The same for a document that is not needed afterwards: its cells are moved into the lines
// instead of copied, each line keeping its row's storage (the document is left with its names,
// kinds and values, and empty rows).
PrintedReport LayOutReport(ReportDocument&& doc, const std::optional<PrintLayout>& layout,
                           const AppContextPtr& book);

// The printed title of a report class: its layout's title; without one, the name of the
// print form that prints it in capitals ("PREKIŲ NURAŠYMO AKTAS"), else the class name.
std::string ReportTitle(std::string_view report_class);

// The codes of a selection text: a list of quoted codes ("'S1','S2'") or plain codes separated
// by commas ("S1, S2"); "" gives none.
std::vector<std::string> SelectionCodes(std::string_view text);

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_PRINTED_REPORT_H_
