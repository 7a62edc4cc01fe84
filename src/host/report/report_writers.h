// The report engine's outputs: a self-contained HTML page, CSV (one text per data list),
// JSON (values and rows) and an XLSX workbook (one sheet per data list).
#ifndef QTS_HOST_REPORT_REPORT_WRITERS_H_
#define QTS_HOST_REPORT_REPORT_WRITERS_H_

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "host/report/report_document.h"

namespace qts::host {

enum class ReportFormat { kHtml, kCsv, kJson, kXlsx };

// "html", "csv", "json", "xlsx"; error 5 naming the text for anything else.
ReportFormat ParseReportFormat(std::string_view text);
std::string_view ReportFormatName(ReportFormat format);

// One HTML page with its own style: the title, the header values with their captions, one
// table per data list (column captions, rows, a totals row for money and quantity columns)
// and the date it was printed. Every text is escaped.
std::string RenderHtml(const ReportDocument& doc);

// A data list as CSV (RFC 4180, UTF-8, comma separated, CRLF line ends): a header line of
// column names, then one line per row with the values formatted as printed ("1 234,56").
std::string RenderCsv(const ReportList& list);

// {"report", "title", "printed", "values": {name: value}, "lists": {name: {"columns": [...],
// "rows": [{column: value}]}}}, each value as ToJson writes it (variant_json.h): numbers stay
// numbers, money and quantities exact decimals, dates "YYYY-MM-DD" texts, Null null.
nlohmann::ordered_json RenderJson(const ReportDocument& doc);

// Writes an XLSX workbook to `path`: a sheet per data list named after it, with the title,
// the header values, column captions, rows (numbers as numbers, dates as dates) and totals.
// A document without data lists gets one sheet with its values. Error 75 naming the file
// when it cannot be written.
void WriteXlsx(const ReportDocument& doc, const std::filesystem::path& path);

// Writes the document in `format` to `path`, and returns the files written. CSV writes the
// first data list to `path` and each further list to "<stem>-<list name>.csv" beside it.
// Every text is written to a temporary file first and renamed into place, so a failure
// leaves no half-written file.
std::vector<std::filesystem::path> WriteReport(const ReportDocument& doc, ReportFormat format,
                                               const std::filesystem::path& path);

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_REPORT_WRITERS_H_
