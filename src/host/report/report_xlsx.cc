// The XLSX workbook of a printed report, through libxlsxwriter.
#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/data/kind_codes.h"
#include "host/report/report_writers.h"

namespace qts::host {

namespace {

constexpr uint8_t kPaperA4 = 9;
// Characters across the printed width, shared out by the columns' widths.
constexpr double kCharsPortrait = 118;
constexpr double kCharsLandscape = 170;

// Closing writes the file; an unclosed workbook is closed (and so freed) by the owner.
struct WorkbookCloser {
  void operator()(lxw_workbook* workbook) const noexcept { workbook_close(workbook); }
};
using WorkbookPtr = std::unique_ptr<lxw_workbook, WorkbookCloser>;

const char* NumberFormat(int32_t kind) {
  switch (kind) {
    case Code(Kind::kMoney):
      return "#,##0.00";
    case Code(Kind::kQuantity):
      return "#,##0.000";
    case Code(Kind::kPrice):
    case Code(Kind::kWeight):
      return "#,##0.0000";
    case Code(Kind::kDate):
    case Code(Kind::kFixDocDate):
      return "yyyy-mm-dd";
    default:
      return ClassOfKind(kind) == KindClass::kInteger ? "0" : "";
  }
}

enum class CellStyle { kPlain, kSubtotal, kTotal, kHead, kCode, kLabel };

// The workbook's formats, made once per combination.
class Formats {
 public:
  explicit Formats(lxw_workbook* workbook) : workbook_(workbook) {}

  lxw_format* Cell(int32_t kind, CellStyle style, bool wrap = false, bool first = false) {
    const char* number = NumberFormat(kind);
    auto key = std::make_tuple(std::string(number), static_cast<int>(style), wrap, first);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    lxw_format* f = workbook_add_format(workbook_);
    if (*number) format_set_num_format(f, number);
    format_set_font_size(f, 9);
    format_set_align(f, LXW_ALIGN_VERTICAL_TOP);
    if (wrap) format_set_text_wrap(f);
    if (first) format_set_top(f, LXW_BORDER_THIN);
    switch (style) {
      case CellStyle::kPlain:
        break;
      case CellStyle::kSubtotal:
        format_set_italic(f);
        format_set_bg_color(f, 0xF4F4F4);
        break;
      case CellStyle::kTotal:
      case CellStyle::kLabel:
        format_set_bold(f);
        format_set_bg_color(f, 0xE8E8E8);
        if (style == CellStyle::kTotal) format_set_top(f, LXW_BORDER_MEDIUM);
        break;
      case CellStyle::kHead:
        format_set_bold(f);
        format_set_text_wrap(f);
        format_set_bg_color(f, 0xE8E8E8);
        format_set_border(f, LXW_BORDER_THIN);
        format_set_align(f, LXW_ALIGN_VERTICAL_BOTTOM);
        break;
      case CellStyle::kCode:
        format_set_font_size(f, 8);
        format_set_align(f, LXW_ALIGN_CENTER);
        format_set_border(f, LXW_BORDER_THIN);
        break;
    }
    cache_.emplace(key, f);
    return f;
  }

  lxw_format* Text(double size, bool bold, bool center = false, uint32_t color = 0) {
    auto key = std::make_tuple(std::to_string(size) + (center ? "c" : "") + std::to_string(color),
                               -1, bold, false);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    lxw_format* f = workbook_add_format(workbook_);
    format_set_font_size(f, size);
    if (bold) format_set_bold(f);
    if (center) format_set_align(f, LXW_ALIGN_CENTER);
    if (color) format_set_font_color(f, color);
    cache_.emplace(key, f);
    return f;
  }

 private:
  lxw_workbook* workbook_;
  std::map<std::tuple<std::string, int, bool, bool>, lxw_format*> cache_;
};

void WriteCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const Variant& value,
               int32_t kind, lxw_format* format) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) {
    worksheet_write_blank(sheet, row, col, format);
    return;
  }
  switch (value.Type()) {
    case VarType::kDate:
      worksheet_write_number(sheet, row, col, value.AsDate().Serial(), format);
      return;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDouble:
    case VarType::kCurrency:
      worksheet_write_number(sheet, row, col, CDbl(value), format);
      return;
    case VarType::kString:
      worksheet_write_string(sheet, row, col, value.AsString().c_str(), format);
      return;
    default:
      worksheet_write_string(sheet, row, col, FormatValue(value, kind).c_str(), format);
  }
}

// The characters a number takes in its display format: its whole digits with a separator per
// thousand, and the kind's decimals.
double NumberChars(const Variant& value, int32_t kind) {
  if (value.IsNull() || value.Type() == VarType::kString || !value.IsNumeric()) return 0;
  const double x = std::abs(CDbl(value));
  int digits = 1;
  for (double limit = 10; x >= limit && digits < 20; limit *= 10) ++digits;
  const int decimals = kind == Code(Kind::kMoney)                                  ? 3
                       : kind == Code(Kind::kQuantity)                             ? 4
                       : kind == Code(Kind::kPrice) || kind == Code(Kind::kWeight) ? 5
                                                                                   : 0;
  return digits + (digits - 1) / 3 + decimals + (CDbl(value) < 0 ? 1 : 0);
}

// The letters of the longest word of `caption` (words are parted by spaces; a letter is a
// UTF-8 character).
double LongestWordChars(std::string_view caption) {
  size_t longest = 0;
  size_t letters = 0;
  for (char c : caption) {
    if (c == ' ') {
      letters = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      longest = std::max(longest, ++letters);
    }
  }
  return static_cast<double>(longest);
}

// A sheet name Excel accepts: at most 31 characters, none of []:*?/\ , unique in the book.
std::string SheetName(lxw_workbook* workbook, const std::string& wanted, size_t index) {
  std::string name;
  for (char c : wanted) {
    if (std::string_view("[]:*?/\\").find(c) == std::string_view::npos) name += c;
  }
  if (name.empty()) name = "Ataskaita";
  // At most 28 letters, cut between UTF-8 sequences.
  size_t letters = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && ++letters > 28) {
      name.resize(i);
      break;
    }
  }
  if (workbook_validate_sheet_name(workbook, name.c_str()) != LXW_NO_ERROR) {
    name += "_" + std::to_string(index + 1);
  }
  return name;
}

// "&" is the footer's escape character.
std::string FooterText(std::string_view text) { return Replace(text, "&", "&&"); }

class SheetWriter {
 public:
  SheetWriter(const PrintedReport& report, lxw_worksheet* sheet, Formats& formats, size_t columns)
      : report_(report), sheet_(sheet), formats_(formats), columns_(std::max<size_t>(columns, 2)) {}

  // The header lines; the next free row follows.
  void Header() {
    for (const PrintedHeaderLine& line : report_.header) {
      const std::string text = line.caption.empty() || line.style == HeaderStyle::kLine
                                   ? line.text
                                   : line.caption + " " + line.text;
      switch (line.style) {
        case HeaderStyle::kCompany:
          worksheet_write_string(sheet_, row_, 0, text.c_str(), formats_.Text(11, true));
          break;
        case HeaderStyle::kNote:
          worksheet_write_string(sheet_, row_, 0, text.c_str(), formats_.Text(8, false));
          break;
        case HeaderStyle::kTitle:
        case HeaderStyle::kCenter: {
          const bool title = line.style == HeaderStyle::kTitle;
          if (title) ++row_;
          worksheet_merge_range(sheet_, row_, 0, row_, static_cast<lxw_col_t>(columns_ - 1),
                                text.c_str(), formats_.Text(title ? 13 : 10, title, true));
          break;
        }
        case HeaderStyle::kLine:
          if (!line.caption.empty()) {
            worksheet_write_string(sheet_, row_, 0, (line.caption + ":").c_str(),
                                   formats_.Text(9, false, false, 0x444444));
          }
          worksheet_write_string(sheet_, row_, 1, text.c_str(), formats_.Text(9, true));
          break;
      }
      ++row_;
    }
    ++row_;
  }

  void Table(const PrintedTable& table) {
    const bool landscape = report_.orientation == PageOrientation::kLandscape;
    // Columns share the printed width; a numeric column is at least as wide as its widest
    // value, so that no number shows as "###", and every column as the longest word of its
    // caption (bold, a little wider than the column's unit), so that a caption wraps between
    // its words. The page is printed one page wide, whatever the columns add up to.
    std::vector<double> chars(table.columns.size());
    for (size_t c = 0; c < table.columns.size(); ++c) {
      chars[c] =
          std::max({6.0, table.columns[c].width * (landscape ? kCharsLandscape : kCharsPortrait),
                    LongestWordChars(table.columns[c].caption) * 1.15 + 1});
    }
    for (const PrintedLine& line : table.lines) {
      for (size_t c = 0; c < table.columns.size(); ++c) {
        if (!table.columns[c].numeric || line.cells[c].IsEmpty()) continue;
        chars[c] = std::max(chars[c], NumberChars(line.cells[c], table.columns[c].kind) + 3);
      }
    }
    for (size_t c = 0; c < table.columns.size(); ++c) {
      worksheet_set_column(sheet_, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), chars[c],
                           nullptr);
    }
    if (!table.caption.empty()) {
      worksheet_write_string(sheet_, row_++, 0, table.caption.c_str(), formats_.Text(10, true));
    }
    const lxw_row_t head = row_;
    for (size_t c = 0; c < table.columns.size(); ++c) {
      worksheet_write_string(sheet_, row_, static_cast<lxw_col_t>(c),
                             table.columns[c].caption.c_str(), formats_.Cell(0, CellStyle::kHead));
    }
    ++row_;
    if (table.HasCodes()) {
      for (size_t c = 0; c < table.columns.size(); ++c) {
        worksheet_write_string(sheet_, row_, static_cast<lxw_col_t>(c),
                               table.columns[c].code.c_str(), formats_.Cell(0, CellStyle::kCode));
      }
      ++row_;
    }
    // The captions stay in view while scrolling and are printed on every page.
    worksheet_freeze_panes(sheet_, row_, 0);
    worksheet_repeat_rows(sheet_, head, row_ - 1);
    if (table.rows == 0) {
      worksheet_write_string(sheet_, row_++, 0, report_.texts.no_data.c_str(),
                             formats_.Text(9, false, false, 0x666666));
    }
    // Groups with a subtotal: their rows an outline level under it.
    std::vector<bool> outlined(table.lines.size(), false);
    for (size_t i = 0; i < table.lines.size(); ++i) {
      if (table.lines[i].kind != LineKind::kSubtotal) continue;
      for (size_t k = i; k-- > 0 && table.lines[k].kind == LineKind::kDetail &&
                         table.lines[k].group == table.lines[i].group;) {
        outlined[k] = true;
      }
    }
    // Each column's formats, by the line's style and whether the line opens a group.
    struct ColumnFormats {
      lxw_format* plain;
      lxw_format* first;
      lxw_format* subtotal;
      lxw_format* total;
    };
    std::vector<ColumnFormats> column_formats;
    for (const PrintedColumn& column : table.columns) {
      column_formats.push_back({formats_.Cell(column.kind, CellStyle::kPlain, column.wrap, false),
                                formats_.Cell(column.kind, CellStyle::kPlain, column.wrap, true),
                                formats_.Cell(column.kind, CellStyle::kSubtotal, column.wrap),
                                formats_.Cell(column.kind, CellStyle::kTotal, column.wrap)});
    }
    for (size_t i = 0; i < table.lines.size(); ++i) {
      const PrintedLine& line = table.lines[i];
      if (outlined[i]) {
        lxw_row_col_options options{0, 1, 0};
        worksheet_set_row_opt(sheet_, row_, LXW_DEF_ROW_HEIGHT, nullptr, &options);
      }
      const CellStyle style = line.kind == LineKind::kTotal      ? CellStyle::kTotal
                              : line.kind == LineKind::kSubtotal ? CellStyle::kSubtotal
                                                                 : CellStyle::kPlain;
      const bool first = line.kind == LineKind::kDetail && line.group_start;
      size_t from = 0;
      if (!line.label.empty()) {
        while (from < line.cells.size() && line.cells[from].IsEmpty()) ++from;
        if (from > 0) {
          worksheet_write_string(sheet_, row_, 0, line.label.c_str(),
                                 formats_.Cell(0, CellStyle::kLabel));
          for (size_t c = 1; c < from; ++c) {
            worksheet_write_blank(sheet_, row_, static_cast<lxw_col_t>(c),
                                  formats_.Cell(0, CellStyle::kLabel));
          }
        }
      }
      for (size_t c = from; c < table.columns.size(); ++c) {
        const ColumnFormats& f = column_formats[c];
        lxw_format* format = style == CellStyle::kTotal      ? f.total
                             : style == CellStyle::kSubtotal ? f.subtotal
                             : first                         ? f.first
                                                             : f.plain;
        // A plain line's empty cell has nothing to show, not even a border.
        if (line.cells[c].IsEmpty() && format == f.plain) continue;
        WriteCell(sheet_, row_, static_cast<lxw_col_t>(c), line.cells[c], table.columns[c].kind,
                  format);
      }
      ++row_;
    }
    ++row_;
  }

  void Signatures() {
    ++row_;
    for (const PrintedSignature& s : report_.signatures) {
      worksheet_write_string(sheet_, row_, 0, s.role.c_str(), formats_.Text(9, false));
      worksheet_write_string(sheet_, row_, 2, s.position.c_str(), formats_.Text(9, false));
      worksheet_write_string(sheet_, row_, 4, "____________________", formats_.Text(9, false));
      worksheet_write_string(sheet_, row_, 6, s.name.c_str(), formats_.Text(9, true));
      ++row_;
      worksheet_write_string(sheet_, row_, 4, report_.texts.signature.c_str(),
                             formats_.Text(7, false, false, 0x555555));
      worksheet_write_string(sheet_, row_, 6, report_.texts.name.c_str(),
                             formats_.Text(7, false, false, 0x555555));
      row_ += 2;
    }
  }

  void PageSetup() {
    worksheet_set_paper(sheet_, kPaperA4);
    if (report_.orientation == PageOrientation::kLandscape) {
      worksheet_set_landscape(sheet_);
    } else {
      worksheet_set_portrait(sheet_);
    }
    worksheet_set_margins(sheet_, 0.45, 0.45, 0.5, 0.6);
    worksheet_fit_to_pages(sheet_, 1, 0);
    worksheet_outline_settings(sheet_, 1, 1, 0, 0);
    const std::string footer =
        "&L&8" + FooterText(report_.PrintedText()) + "&R&8" +
        Replace(Replace(FooterText(report_.texts.page), "%0", "&P"), "%1", "&N");
    worksheet_set_footer(sheet_, footer.c_str());
  }

 private:
  const PrintedReport& report_;
  lxw_worksheet* sheet_;
  Formats& formats_;
  size_t columns_;
  lxw_row_t row_ = 0;
};

}  // namespace

void WriteXlsx(const PrintedReport& report, const std::filesystem::path& path) {
  // The library would report an unwritable folder on standard error only when closing.
  std::filesystem::path folder = path.parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder)) {
    throw Error(kErrFileAccess, "ReportEngine",
                "cannot write \"" + path.string() + "\": no folder " + folder.string());
  }
  WorkbookPtr workbook(workbook_new(path.string().c_str()));
  if (!workbook) {
    throw Error(kErrFileAccess, "ReportEngine", "cannot create \"" + path.string() + "\"");
  }
  lxw_workbook* wb = workbook.get();
  Formats formats(wb);
  auto add_sheet = [&](const std::string& wanted, size_t index) {
    std::string name = SheetName(wb, wanted, index);
    lxw_worksheet* sheet = workbook_add_worksheet(wb, name.c_str());
    if (!sheet) {
      throw Error(kErrFileAccess, "ReportEngine", "cannot add the sheet \"" + name + "\"");
    }
    return sheet;
  };
  if (report.tables.empty()) {
    SheetWriter writer(report, add_sheet(report.title, 0), formats, 2);
    writer.Header();
    writer.Signatures();
    writer.PageSetup();
  }
  for (size_t index = 0; index < report.tables.size(); ++index) {
    const PrintedTable& table = report.tables[index];
    // A sheet is named by its table's caption, or by the report's title.
    SheetWriter writer(report,
                       add_sheet(table.caption.empty() ? report.title : table.caption, index),
                       formats, table.columns.size());
    writer.Header();
    writer.Table(table);
    if (index + 1 == report.tables.size()) writer.Signatures();
    writer.PageSetup();
  }
  lxw_error result = workbook_close(workbook.release());
  if (result != LXW_NO_ERROR) {
    throw Error(kErrFileAccess, "ReportEngine",
                "cannot write \"" + path.string() + "\": " + lxw_strerror(result));
  }
}

}  // namespace qts::host
