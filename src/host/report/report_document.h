// What a report handed over, as the report engine reads it: its values (the header) and its
// data lists, each column with the kind the report declared for it. The plain writers
// (report_writers.h: CSV, JSON) write a ReportDocument as it is; the printed forms (HTML, PDF,
// XLSX) lay it out first through the report's print layout (printed_report.h).
#ifndef QTS_HOST_REPORT_REPORT_DOCUMENT_H_
#define QTS_HOST_REPORT_REPORT_DOCUMENT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "core/date.h"
#include "core/variant.h"
#include "host/data/kind_codes.h"
#include "host/fwd.h"

namespace qts::host {

struct PrintLayout;

struct ReportColumn {
  std::string name;
  // The kind the report declared for the column (its query's AddColumn, or the catalogue's
  // type of a kept column); the field's storage type decides only where none was declared.
  int32_t kind = 0;
};

struct ReportList {
  std::string name;
  std::vector<ReportColumn> columns;
  std::vector<std::vector<Variant>> rows;

  // The index of the column `name` (case-insensitive), or nullopt.
  std::optional<size_t> Find(std::string_view name) const;
};

struct ReportHeaderValue {
  std::string name;
  int32_t kind = 0;
  Variant value;
};

struct ReportDocument {
  std::string report_class;  // "CRepStoreRestByTerm"
  Date printed;
  std::vector<ReportHeaderValue> values;
  std::vector<ReportList> lists;

  // Reads `values`: every entry of kind Kind::kObject becomes a data list (its value a Recordset,
  // or an object whose "Recordset" property is one; Empty or Nothing gives an empty list without
  // columns), every other entry a header value. The rows are read from a clone, so the
  // report's recordset keeps its position. Error 13 naming the entry for a data list value
  // that is no recordset.
  static ReportDocument FromValues(std::string_view report_class, const NamedValueList& values,
                                   Date printed);
  // The same for printing by `layout` alone: of a data list the layout prints, only the cells
  // of the columns it reads (shown, conditions, grouping) are read, the others left Empty; its
  // columns are all listed with their kinds.
  static ReportDocument FromValues(std::string_view report_class, const NamedValueList& values,
                                   Date printed, const PrintLayout& layout);

  // The header value `name` (case-insensitive), or null.
  const ReportHeaderValue* FindValue(std::string_view name) const;
  // The data list `name` (case-insensitive), or null.
  const ReportList* FindList(std::string_view name) const;

 private:
  static ReportDocument Read(std::string_view report_class, const NamedValueList& values,
                             Date printed, const PrintLayout* layout);
};

// A value as printed for Lithuanian readers: dates as 2026-12-05 (with " HH:MM" when there is
// a time), money with 2 decimals, quantities with 3, prices with 4, all with a comma for the
// decimal point and a space between thousands ("1 234,56"); other numbers plainly with a
// comma; Null and Empty as "".
std::string FormatValue(const Variant& value, int32_t kind);
inline std::string FormatValue(const Variant& value, Kind kind) {
  return FormatValue(value, Code(kind));
}
// The same, appended to `out`: the renderers write a value per cell without a text of its own.
void AppendValue(std::string& out, const Variant& value, int32_t kind);
// `value` rounded half away from zero to `decimals` (0..4) in the grouped Lithuanian form.
std::string FormatGrouped(Currency value, int decimals);
void AppendGrouped(std::string& out, Currency value, int decimals);

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_REPORT_DOCUMENT_H_
