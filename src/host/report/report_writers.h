// The report engine's outputs. The printed forms draw a PrintedReport (the report put through
// its print layout): a self-contained HTML page, a PDF document and an XLSX workbook, all with
// the same header, groups, subtotals and totals. The plain forms carry the data lists as the
// report handed them over, for programs: CSV (one text per data list) and JSON (values and
// lists).
#ifndef QTS_HOST_REPORT_REPORT_WRITERS_H_
#define QTS_HOST_REPORT_REPORT_WRITERS_H_

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "host/report/printed_report.h"
#include "host/report/report_document.h"

namespace qts::host {

enum class ReportFormat { kHtml, kPdf, kCsv, kJson, kXlsx };

// How CSV writes numbers and dates: plainly (comma-separated fields, a point for the decimal
// separator, exact values, dates YYYY-MM-DD) or in the Lithuanian local form (semicolon-
// separated fields, a decimal comma, money with 2 decimals, quantities with 3 and prices with
// 4, no thousands separator), which a spreadsheet set to Lithuanian reads as numbers.
enum class CsvLocale { kPlain, kLithuanian };

// "html", "pdf", "csv", "json", "xlsx"; error 5 naming the text for anything else.
ReportFormat ParseReportFormat(std::string_view text);
std::string_view ReportFormatName(ReportFormat format);
// "" or "plain": kPlain; "lt": kLithuanian; error 5 naming the text for anything else.
CsvLocale ParseCsvLocale(std::string_view text);

// One HTML page with its own style, drawn from the printed report: the header lines, one table
// per data list (captions, column codes, group lines, subtotals, totals per unit) and the
// signature lines. Printed from a browser it is A4 in the layout's orientation, with the
// table header repeated on each page, groups kept together where they fit and "psl. N iš M"
// at the foot of every page. Every text is escaped.
std::string RenderHtml(const PrintedReport& report);

// A data list as CSV (RFC 4180, UTF-8, CRLF line ends): a header line of column names, then
// one line per row in `locale`'s form.
std::string RenderCsv(const ReportList& list, CsvLocale locale = CsvLocale::kPlain);

// {"report", "printed", "values": {name: value}, "lists": {name: {"columns": [{"name",
// "kind"}], "rows": [{column: value}]}}}, each value as ToJson writes it (variant_json.h):
// numbers stay numbers, money and quantities exact decimals, dates "YYYY-MM-DD" texts, Null
// null.
nlohmann::ordered_json RenderJson(const ReportDocument& doc);

// Writes an XLSX workbook to `path` drawn from the printed report: a sheet per table with the
// header lines, the captions in a frozen header row, the group lines (a group of several rows
// an outline level under its subtotal), subtotals and totals per unit, and the signature lines;
// numbers and dates are real cells with display formats; the sheet prints on A4 in the
// layout's orientation with its header rows repeated. Error 75 naming the file when it cannot
// be written.
void WriteXlsx(const PrintedReport& report, const std::filesystem::path& path);

// Writes a PDF document to `path` drawn from the printed report (cairo and pango, fonts
// embedded): A4 in the layout's orientation, the table header repeated on every page, a group
// moved to the next page rather than split when it fits on one, "psl. N iš M" and the print
// time at the foot of every page. Returns the number of pages. Error 75 naming the file when it
// cannot be written.
int WritePdf(const PrintedReport& report, const std::filesystem::path& path);

// Writes the report in `format` to `path`, and returns the files written: HTML, PDF and XLSX
// from `printed`, CSV and JSON from `doc`. CSV writes the first data list to `path` and each
// further list to "<stem>-<list name>.csv" beside it. Every file is written to a temporary
// name first and renamed into place, so a failure leaves no half-written file.
std::vector<std::filesystem::path> WriteReport(const ReportDocument& doc,
                                               const PrintedReport& printed, ReportFormat format,
                                               const std::filesystem::path& path,
                                               CsvLocale locale = CsvLocale::kPlain);

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_REPORT_WRITERS_H_
