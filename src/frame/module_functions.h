// The functions that reports, forms and the fuel write-off share: finding the report's book,
// formatting numbered messages, joining text parts, aggregating a recordset column, wrapping a
// query into another, opening a query behind a wait window, and the common error path.
// They keep no state of their own; they use the component's globals and the host's services.
#ifndef QTS_FRAME_MODULE_FUNCTIONS_H_
#define QTS_FRAME_MODULE_FUNCTIONS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "core/variant.h"
#include "host/fwd.h"

namespace qts::host {
class ReportEngine;
}

namespace qts::frame {

// Message numbers of the component's resource set.
inline constexpr int32_t kMsgNoBook = 842;
inline constexpr int32_t kMsgWaitText = 22170;

// The places a document row's quantity is kept to when a handler computes it (a merged row's
// sum, a fuel portion): quantities are printed and stored with three.
inline constexpr int kAmountDigits = 3;

// The kinds RecordsetAggregate computes.
inline constexpr int32_t kAggCount = 1;
inline constexpr int32_t kAggSum = 4;
inline constexpr int32_t kAggMin = 5;
inline constexpr int32_t kAggMax = 6;

// The report engine the component shares, created on first use and kept for the load.
std::shared_ptr<host::ReportEngine> SharedReportEngine();

// The book of a report: the entry "Book" of `params` (when the list is given and has it; its
// value must be a book object or Nothing, error 13 otherwise), else -- also when that book has
// an empty BookName -- the client application's current book. With `SetCurrent` the book
// becomes the current one when the application has none. Raises kErrNoBook with the text of
// message 842 when no book is found.
[[nodiscard]] host::AppContextPtr GetBook(host::NamedValueListPtr& params, bool SetCurrent);

// `text` with each "%i" replaced by args[i] as text (CStr: a Null argument raises 94), from
// the highest index down, so "%10" is replaced before "%1". Replacement is case-sensitive and
// covers every occurrence. An empty text gives "".
[[nodiscard]] std::string FormatMsg(std::string_view text, const std::vector<Variant>& args);

// Joins name parts: A and B with Sep1 and a blank (or whichever is not empty), then C with
// Sep2 and a blank (or C alone when nothing came before).
[[nodiscard]] std::string JoinNonEmpty(std::string_view Sep1, std::string_view A,
                                       std::string_view B, std::string_view Sep2,
                                       std::string_view C);

// Aggregates column `field` of the records `rs` shows under `Filter` ("" or "0": every
// record), working on a clone so that the caller's position and filter stay as they are.
// Kind 1 is the record count; 4 the sum; 5 the minimum and 6 the maximum, where a record
// whose bookmark is 1 (the first stored row) always sets the running value and the running
// value starts at 0 -- so a filter that leaves out the first stored row lets 0 take part in
// the minimum and maximum. Any other kind gives 0. A Null value that is taken raises 94.
// A null recordset raises 424.
[[nodiscard]] Currency RecordsetAggregate(const host::RecordsetPtr& rs, std::string_view field,
                                          int32_t Kind, std::string_view Filter);

// A new query over the book that selects from `source` as a derived table under `alias`;
// `extra` is handed to FromQuery unchanged. A null `book` is first replaced, in the caller's
// variable, by the client application's current book (error 424 when there is none either).
// With `CopyTexts` each column of the new query takes the DisplayText of the source column of
// the same name.
[[nodiscard]] std::shared_ptr<host::Query> WrapQuery(const std::shared_ptr<host::Query>& source,
                                                     std::string_view alias, const Variant& extra,
                                                     host::AppContextPtr& book, bool CopyTexts);

// Opens `query` behind the wait window (the host kit's "QTS_Common.CWaitInfo", created
// directly: the wait window belongs to the host kit, so no library needs to be loaded for it)
// showing message 22170 over the window `hwnd`. When the client application has a main window
// a negative `hwnd` is replaced by the main window's handle; 0 stays 0. Without a client
// application the query is opened with no wait window. Catches every error: it is captured by
// an ErrorReporter, the wait window is closed, the error is reported to the operator, and the
// function returns normally.
void OpenWithWait(const std::shared_ptr<host::Query>& query, int32_t& hwnd);

// The common error path: shows the current error through a new report engine's ShowError.
// Called inside a catch block it shows the exception being handled.
void ShowCurrentError();

}  // namespace qts::frame

#endif  // QTS_FRAME_MODULE_FUNCTIONS_H_
