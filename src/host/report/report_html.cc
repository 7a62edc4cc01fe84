// The HTML page of a printed report.
#include <fmt/format.h>

#include <string>

#include "host/report/code39.h"
#include "host/report/report_writers.h"

namespace qts::host {

namespace {

// Appends `text` to `out` with the HTML characters escaped; runs without one are appended
// whole.
void AppendEscaped(std::string& out, std::string_view text) {
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view entity;
    switch (text[i]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      default:
        continue;
    }
    out.append(text.data() + run, i - run);
    out += entity;
    run = i + 1;
  }
  out.append(text.data() + run, text.size() - run);
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

// A CSS string literal.
std::string CssString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\A ";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// The page counter of the page foot: the message's "%0" and "%1" become the counters.
std::string PageCounter(const std::string& message) {
  std::string out;
  std::string literal;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '%' && i + 1 < message.size() &&
        (message[i + 1] == '0' || message[i + 1] == '1')) {
      if (!literal.empty()) out += CssString(literal) + " ";
      literal.clear();
      out += message[i + 1] == '0' ? "counter(page) " : "counter(pages) ";
      ++i;
      continue;
    }
    literal += message[i];
  }
  if (!literal.empty()) out += CssString(literal);
  return out;
}

constexpr std::string_view kStyle = R"(
html{background:#e6e6e6}
body{font-family:"DejaVu Sans",Verdana,Arial,sans-serif;font-size:9pt;color:#111;margin:0}
.sheet{background:#fff;margin:6mm auto;padding:12mm;box-shadow:0 0 3px #999;box-sizing:border-box}
.portrait{width:210mm}.landscape{width:297mm}
.company{font-size:11pt;font-weight:bold}
.note{font-size:8pt;color:#444}
h1{font-size:13pt;text-align:center;margin:5mm 0 3mm}
.center{text-align:center;margin:1mm 0}
table.header{border-collapse:collapse;margin:2mm 0 4mm}
table.header th{text-align:left;font-weight:normal;color:#444;padding:1px 1em 1px 0;white-space:nowrap;vertical-align:top}
table.header td{font-weight:bold;padding:1px 0}
h2{font-size:10pt;margin:4mm 0 2mm}
table.data{width:100%;border-collapse:collapse;font-size:8pt;margin-bottom:5mm;border-bottom:.6pt solid #666}
table.data th{background:#ececec;border:.6pt solid #666;padding:2px 3px;text-align:left;font-weight:bold;vertical-align:bottom;overflow-wrap:break-word}
table.data th.num{text-align:right}
table.data tr.codes th{font-weight:normal;font-size:7pt;padding:0 3px;text-align:center}
table.data td{border-left:.6pt solid #999;border-right:.6pt solid #999;padding:1px 3px;white-space:nowrap;vertical-align:top}
table.data td.wrap{white-space:normal;overflow-wrap:break-word}
table.data td.num{text-align:right}
table.data tbody.group{break-inside:avoid}
table.data tbody.group tr.first td{border-top:.6pt solid #888}
table.data tr.subtotal td{font-style:italic;background:#f5f5f5;border-top:.4pt dotted #999}
table.data tbody.totals td{font-weight:bold;background:#ececec}
table.data tbody.totals tr:first-child td{border-top:1pt solid #333}
table.data td.label{font-weight:bold;font-style:normal}
table.data td.empty{text-align:center;color:#666;padding:3mm}
table.signatures{width:100%;border-collapse:collapse;margin-top:8mm;break-inside:avoid}
table.signatures td{padding:5mm 2mm 0;vertical-align:bottom}
table.signatures td.role{width:28%}table.signatures td.position{width:24%}
table.signatures td.sign,table.signatures td.name{width:24%;text-align:center}
.line{border-bottom:.6pt solid #333;min-height:1.2em}
.hint{font-size:7pt;color:#555;text-align:center}
.barcode{margin:2mm 0}.barcode div{font-size:8pt;letter-spacing:.3em}
@media print{html{background:none}.sheet{width:auto;margin:0;padding:0;box-shadow:none}}
)";

std::string BarcodeSvg(const std::string& text) {
  const std::string elements = Code39Elements(text);
  constexpr double kNarrow = 1.0;
  constexpr double kWide = 2.5;
  double x = 0;
  std::string bars;
  for (size_t i = 0; i < elements.size(); ++i) {
    const double width = elements[i] == 'w' ? kWide : kNarrow;
    if (i % 2 == 0)
      bars += fmt::format("<rect x=\"{:.1f}\" y=\"0\" width=\"{:.1f}\" height=\"40\"/>", x, width);
    x += width;
  }
  return fmt::format(
      "<div class=\"barcode\"><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{:.0f}\" "
      "height=\"40\" viewBox=\"0 0 {:.1f} 40\">{}</svg><div>{}</div></div>\n",
      x * 1.2, x, bars, Escape(text));
}

void Header(const PrintedReport& report, std::string& out) {
  bool in_table = false;
  for (const PrintedHeaderLine& line : report.header) {
    const bool pair = line.style == HeaderStyle::kLine && !line.barcode;
    if (pair != in_table) {
      out += pair ? "<table class=\"header\">\n" : "</table>\n";
      in_table = pair;
    }
    if (line.barcode) {
      out += BarcodeSvg(line.text);
      continue;
    }
    const std::string caption = line.caption.empty() ? "" : Escape(line.caption) + " ";
    switch (line.style) {
      case HeaderStyle::kLine:
        out += "<tr><th>" + Escape(line.caption) + (line.caption.empty() ? "" : ":") + "</th><td>" +
               Escape(line.text) + "</td></tr>\n";
        break;
      case HeaderStyle::kCompany:
        out += "<div class=\"company\">" + caption + Escape(line.text) + "</div>\n";
        break;
      case HeaderStyle::kTitle:
        out += "<h1>" + caption + Escape(line.text) + "</h1>\n";
        break;
      case HeaderStyle::kCenter:
        out += "<div class=\"center\">" + caption + Escape(line.text) + "</div>\n";
        break;
      case HeaderStyle::kNote:
        out += "<div class=\"note\">" + caption + Escape(line.text) + "</div>\n";
        break;
    }
  }
  if (in_table) out += "</table>\n";
}

// Cells of a line; a subtotal's or total's label spans the empty cells it starts with.
void Cells(const PrintedTable& table, const PrintedLine& line, std::string& out) {
  size_t first = 0;
  if (!line.label.empty()) {
    while (first < line.cells.size() && line.cells[first].IsEmpty()) ++first;
    if (first > 0) {
      out += fmt::format("<td class=\"label\" colspan=\"{}\">{}</td>", first, Escape(line.label));
    }
  }
  for (size_t i = first; i < line.cells.size(); ++i) {
    const PrintedColumn& c = table.columns[i];
    const Variant& cell = line.cells[i];
    if (c.numeric) {
      out += "<td class=\"num\">";
    } else if (c.wrap) {
      out += "<td class=\"wrap\">";
    } else {
      out += "<td>";
    }
    // Texts are written as they are; everything else as the kind formats it. Numbers, dates
    // and Booleans formatted hold nothing to escape and are written straight in.
    switch (cell.Type()) {
      case VarType::kString:
        AppendEscaped(out, cell.AsString());
        break;
      case VarType::kEmpty:
      case VarType::kNull:
        break;
      case VarType::kInteger:
      case VarType::kLong:
      case VarType::kDouble:
      case VarType::kCurrency:
      case VarType::kDate:
      case VarType::kBoolean:
        AppendValue(out, cell, c.kind);
        break;
      default:
        AppendEscaped(out, FormatValue(cell, c.kind));
    }
    out += "</td>";
  }
}

// The table's opening: its caption, column widths and the head (captions, then codes), which
// a browser repeats on every printed page.
void Head(const PrintedTable& table, std::string& out) {
  if (!table.caption.empty()) out += "<h2>" + Escape(table.caption) + "</h2>\n";
  out += "<table class=\"data\" data-list=\"" + Escape(table.list) + "\">\n<colgroup>";
  for (const PrintedColumn& c : table.columns) {
    out += fmt::format("<col style=\"width:{:.2f}%\">", c.width * 100);
  }
  out += "</colgroup>\n<thead><tr>";
  for (const PrintedColumn& c : table.columns) {
    out += (c.numeric ? "<th class=\"num\">" : "<th>") + Escape(c.caption) + "</th>";
  }
  out += "</tr>\n";
  if (table.HasCodes()) {
    out += "<tr class=\"codes\">";
    for (const PrintedColumn& c : table.columns) out += "<th>" + Escape(c.code) + "</th>";
    out += "</tr>\n";
  }
  out += "</thead>\n";
}

void Table(const PrintedReport& report, const PrintedTable& table, std::string& out) {
  Head(table, out);
  if (table.rows == 0) {
    out += fmt::format("<tbody><tr><td class=\"empty\" colspan=\"{}\">{}</td></tr></tbody>\n",
                       std::max<size_t>(table.columns.size(), 1), Escape(report.texts.no_data));
  }
  bool open = false;
  bool totals = false;
  for (const PrintedLine& line : table.lines) {
    if (line.kind == LineKind::kTotal && !totals) {
      if (open) out += "</tbody>\n";
      out += "<tbody class=\"totals\">\n";
      open = totals = true;
    } else if (line.kind == LineKind::kDetail && line.group_start) {
      if (open) out += "</tbody>\n";
      out += "<tbody class=\"group\">\n";
      open = true;
    }
    switch (line.kind) {
      case LineKind::kDetail:
        out += line.group_start ? "<tr class=\"first\">" : "<tr>";
        break;
      case LineKind::kSubtotal:
        out += "<tr class=\"subtotal\">";
        break;
      case LineKind::kTotal:
        out += "<tr class=\"total\">";
        break;
    }
    Cells(table, line, out);
    out += "</tr>\n";
  }
  if (open) out += "</tbody>\n";
  out += "</table>\n";
}

void Signatures(const PrintedReport& report, std::string& out) {
  if (report.signatures.empty()) return;
  out += "<table class=\"signatures\">\n";
  for (const PrintedSignature& s : report.signatures) {
    out += "<tr><td class=\"role\">" + Escape(s.role) + "</td><td class=\"position\">" +
           Escape(s.position) + "</td><td class=\"sign\"><div class=\"line\"></div><div " +
           "class=\"hint\">" + Escape(report.texts.signature) +
           "</div></td><td class=\"name\"><div class=\"line\">" + Escape(s.name) +
           "</div><div class=\"hint\">" + Escape(report.texts.name) + "</div></td></tr>\n";
  }
  out += "</table>\n";
}

}  // namespace

std::string RenderHtml(const PrintedReport& report) {
  const bool landscape = report.orientation == PageOrientation::kLandscape;
  std::string out;
  // Room for the page at once: about 40 characters a cell and 30 a line besides the style.
  size_t cells = 0;
  for (const PrintedTable& t : report.tables) cells += t.lines.size() * (t.columns.size() + 1);
  out.reserve(kStyle.size() + 4096 + 40 * cells);
  out += "<!DOCTYPE html>\n<html lang=\"lt\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width\">\n";
  out += "<title>" + Escape(report.title) + "</title>\n<style>" + std::string(kStyle);
  out += fmt::format(
      "@page{{size:A4 {};margin:12mm 12mm 15mm;"
      "@bottom-left{{content:{};font:7pt \"DejaVu Sans\",sans-serif;color:#555}}"
      "@bottom-right{{content:{};font:7pt \"DejaVu Sans\",sans-serif;color:#555}}}}\n",
      landscape ? "landscape" : "portrait", CssString(report.PrintedText()),
      PageCounter(report.texts.page));
  out += "</style>\n</head>\n<body>\n";
  out += std::string("<div class=\"sheet ") + (landscape ? "landscape" : "portrait") + "\">\n";
  Header(report, out);
  for (const PrintedTable& table : report.tables) Table(report, table, out);
  Signatures(report, out);
  out += "</div>\n</body>\n</html>\n";
  return out;
}

}  // namespace qts::host
