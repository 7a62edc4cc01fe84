// The XLSX output, through libxlsxwriter.
#include <xlsxwriter.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "host/report/report_writers.h"

namespace qts::host {

namespace {

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
      return "#,##0.0000";
    default:
      return nullptr;
  }
}

struct Formats {
  lxw_format* title;
  lxw_format* bold;
  lxw_format* header;
  lxw_format* date;
  lxw_format* money;
  lxw_format* quantity;
  lxw_format* price;
  lxw_format* money_total;
  lxw_format* quantity_total;

  lxw_format* ForKind(int32_t kind) const {
    switch (kind) {
      case Code(Kind::kMoney):
        return money;
      case Code(Kind::kQuantity):
        return quantity;
      case Code(Kind::kPrice):
        return price;
      default:
        return nullptr;
    }
  }
};

lxw_format* NewFormat(lxw_workbook* workbook, const char* number_format, bool bold) {
  lxw_format* format = workbook_add_format(workbook);
  if (number_format) format_set_num_format(format, number_format);
  if (bold) format_set_bold(format);
  return format;
}

void WriteCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const Variant& value,
               int32_t kind, const Formats& formats) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return;
  if (value.Type() == VarType::kDate) {
    worksheet_write_number(sheet, row, col, value.AsDate().Serial(), formats.date);
    return;
  }
  if (value.IsNumeric() && value.Type() != VarType::kBoolean) {
    worksheet_write_number(sheet, row, col, CDbl(value), formats.ForKind(kind));
    return;
  }
  worksheet_write_string(sheet, row, col, FormatValue(value, kind).c_str(), nullptr);
}

// A sheet name Excel accepts: at most 31 characters, none of []:*?/\ , unique in the book.
std::string SheetName(lxw_workbook* workbook, const std::string& wanted, size_t index) {
  std::string name;
  for (char c : wanted) {
    if (std::string_view("[]:*?/\\").find(c) == std::string_view::npos) name += c;
  }
  if (name.empty()) name = "Duomenys";
  if (name.size() > 28) name.resize(28);
  if (workbook_validate_sheet_name(workbook, name.c_str()) != LXW_NO_ERROR) {
    name += "_" + std::to_string(index + 1);
  }
  return name;
}

// The title and the header values; returns the next free row.
lxw_row_t WriteHeader(lxw_worksheet* sheet, const ReportDocument& doc, const Formats& formats) {
  lxw_row_t row = 0;
  worksheet_write_string(sheet, row++, 0, doc.title.c_str(), formats.title);
  for (const ReportHeaderValue& v : doc.values) {
    worksheet_write_string(sheet, row, 0, v.caption.c_str(), nullptr);
    WriteCell(sheet, row, 1, v.value, v.kind, formats);
    ++row;
  }
  worksheet_write_string(sheet, row, 0, "Atspausdinta", nullptr);
  worksheet_write_number(sheet, row++, 1, doc.printed.DateOnly().Serial(), formats.date);
  return row + 1;
}

}  // namespace

void WriteXlsx(const ReportDocument& doc, const std::filesystem::path& path) {
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
  Formats formats{NewFormat(wb, nullptr, true),
                  NewFormat(wb, nullptr, true),
                  NewFormat(wb, nullptr, true),
                  NewFormat(wb, "yyyy-mm-dd", false),
                  NewFormat(wb, NumberFormat(Code(Kind::kMoney)), false),
                  NewFormat(wb, NumberFormat(Code(Kind::kQuantity)), false),
                  NewFormat(wb, NumberFormat(Code(Kind::kPrice)), false),
                  NewFormat(wb, NumberFormat(Code(Kind::kMoney)), true),
                  NewFormat(wb, NumberFormat(Code(Kind::kQuantity)), true)};
  format_set_font_size(formats.title, 14);
  format_set_bottom(formats.header, LXW_BORDER_THIN);

  if (doc.lists.empty()) {
    lxw_worksheet* sheet = workbook_add_worksheet(wb, "Ataskaita");
    WriteHeader(sheet, doc, formats);
  }
  for (size_t index = 0; index < doc.lists.size(); ++index) {
    const ReportList& list = doc.lists[index];
    std::string name = SheetName(wb, list.name, index);
    lxw_worksheet* sheet = workbook_add_worksheet(wb, name.c_str());
    if (!sheet) {
      throw Error(kErrFileAccess, "ReportEngine", "cannot add the sheet \"" + name + "\"");
    }
    lxw_row_t row = WriteHeader(sheet, doc, formats);
    for (size_t c = 0; c < list.columns.size(); ++c) {
      worksheet_write_string(sheet, row, static_cast<lxw_col_t>(c), list.columns[c].caption.c_str(),
                             formats.header);
      worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                           c == 1 ? 30 : 14, nullptr);
    }
    ++row;
    for (const std::vector<Variant>& values : list.rows) {
      for (size_t c = 0; c < list.columns.size(); ++c) {
        WriteCell(sheet, row, static_cast<lxw_col_t>(c), values[c], list.columns[c].kind, formats);
      }
      ++row;
    }
    if (!list.rows.empty()) {
      bool labelled = false;
      for (size_t c = 0; c < list.columns.size(); ++c) {
        std::optional<Currency> total = list.Total(c);
        if (!total) continue;
        if (!labelled && c > 0) {
          worksheet_write_string(sheet, row, 0, "Iš viso", formats.bold);
          labelled = true;
        }
        worksheet_write_number(sheet, row, static_cast<lxw_col_t>(c), total->ToDouble(),
                               list.columns[c].kind == Code(Kind::kMoney) ? formats.money_total
                                                                          : formats.quantity_total);
      }
    }
  }
  lxw_error result = workbook_close(workbook.release());
  if (result != LXW_NO_ERROR) {
    throw Error(kErrFileAccess, "ReportEngine",
                "cannot write \"" + path.string() + "\": " + lxw_strerror(result));
  }
}

}  // namespace qts::host
