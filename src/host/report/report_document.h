// What the report engine prints: a report's values (the header) and its data lists, taken
// from the value list a report's Run filled, with Lithuanian captions and value formats.
// The writers (report_writers.h) turn a ReportDocument into HTML, CSV, JSON or XLSX.
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

struct ReportColumn {
  std::string name;
  std::string caption;
  int32_t kind = 0;
  // Money and quantity columns get a total under the table.
  bool Totalled() const { return kind == Code(Kind::kMoney) || kind == Code(Kind::kQuantity); }
};

struct ReportList {
  std::string name;
  std::vector<ReportColumn> columns;
  std::vector<std::vector<Variant>> rows;

  // The sum of a totalled column (Null cells skipped); nullopt for other columns.
  std::optional<Currency> Total(size_t column) const;
};

struct ReportHeaderValue {
  std::string name;
  std::string caption;
  int32_t kind = 0;
  Variant value;
};

struct ReportDocument {
  std::string report_class;  // "CRepStoreRestByTerm"
  std::string title;
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
};

// The Lithuanian caption of a value or column name; the name itself when none is known.
std::string CaptionOf(std::string_view name);
// The kind of a data-list column of that name, or 0 when the name is not a known one (then
// the recordset's field type decides).
int32_t KnownColumnKind(std::string_view name);
// The printed title of a report class; the class name when none is known.
std::string TitleOf(std::string_view report_class);

// A value as printed for Lithuanian readers: dates as 2026-12-05 (with " HH:MM" when there is
// a time), money with 2 decimals, quantities with 3, prices with 4, all with a comma for the
// decimal point and a space between thousands ("1 234,56"); other numbers plainly with a
// comma; Null and Empty as "".
std::string FormatValue(const Variant& value, int32_t kind);
inline std::string FormatValue(const Variant& value, Kind kind) {
  return FormatValue(value, Code(kind));
}
// `value` rounded half away from zero to `decimals` (0..4) in the grouped Lithuanian form.
std::string FormatGrouped(Currency value, int decimals);

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_REPORT_DOCUMENT_H_
