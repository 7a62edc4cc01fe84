// Test helpers for printed reports: a report's values put through its print layout, and the
// totals and subtotals a printed table shows, for comparison with sums a test computes over
// the book itself.
#ifndef QTS_REPORTS_TESTING_PRINTED_TOTALS_H_
#define QTS_REPORTS_TESTING_PRINTED_TOTALS_H_

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/currency.h"
#include "core/date.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_document.h"
#include "host/report/report_writers.h"

namespace qts::reports::testing {

// `values` of `report_class` laid out by the report's own layout file, as `qts report` prints
// it: the values read for the layout, the document's cells moved into the lines. Checked to
// draw the same page as the whole document laid out by copying.
inline host::PrintedReport LaidOut(std::string_view report_class,
                                   const host::NamedValueList& values,
                                   const host::AppContextPtr& book) {
  std::optional<host::PrintLayout> layout = host::LoadPrintLayout(report_class);
  EXPECT_TRUE(layout.has_value()) << report_class << " has no print layout";
  const Date printed = Date::FromYmd(2026, 12, 6);
  const host::ReportDocument whole =
      host::ReportDocument::FromValues(report_class, values, printed);
  if (!layout) return host::LayOutReport(whole, layout, book);
  const host::PrintedReport copied = host::LayOutReport(whole, layout, book);
  host::PrintedReport laid_out = host::LayOutReport(
      host::ReportDocument::FromValues(report_class, values, printed, *layout), layout, book);
  EXPECT_EQ(host::RenderHtml(laid_out), host::RenderHtml(copied))
      << report_class << " read for its layout draws another page";
  return laid_out;
}

// Sums keyed "Column" (no unit) or "Column|unit", as Currency text.
using Sums = std::map<std::string, std::string>;

// What the lines of `kind` show (the totals, or the subtotals of the group `group`): each
// numeric cell under its column and, for a column summed per unit, the unit its line names.
inline Sums PrintedSums(const host::PrintedTable& table,
                        host::LineKind kind = host::LineKind::kTotal, size_t group = SIZE_MAX) {
  Sums sums;
  for (const host::PrintedLine& line : table.lines) {
    if (line.kind != kind || (group != SIZE_MAX && line.group != group)) continue;
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const host::PrintedColumn& column = table.columns[c];
      if (!column.numeric || line.cells[c].IsEmpty()) continue;
      std::string key = column.name;
      if (!column.unit.empty()) {
        for (size_t u = 0; u < table.columns.size(); ++u) {
          if (table.columns[u].name == column.unit) key += "|" + CStr(line.cells[u]);
        }
      }
      EXPECT_FALSE(sums.count(key)) << key << " is printed twice";
      sums[key] = CCur(line.cells[c]).ToString();
    }
  }
  return sums;
}

// Adds `value` to the sum `key` of `sums` kept as doubles by a test.
inline void Add(std::map<std::string, double>& sums, const std::string& key, double value) {
  sums[key] += value;
}

// A test's sums as printed text (rounded to the book's four places); zero sums of a unit
// that has rows stay, as the printed totals show them.
inline Sums AsText(const std::map<std::string, double>& sums) {
  Sums out;
  for (const auto& [key, value] : sums) out[key] = Currency::FromDouble(value).ToString();
  return out;
}

}  // namespace qts::reports::testing

#endif  // QTS_REPORTS_TESTING_PRINTED_TOTALS_H_
