// The stock reports against raw SQLite calls doing the same read in the same run, on a
// generated sample company (small size, seed 7):
//   - the report's whole Run as the host makes it (the parameter form answered by a scripted
//     operator, the query built, translated and opened, the rows handed over as "DataList"
//     and every value of them read), versus
//   - the report's final translated statement prepared and stepped with sqlite3 calls that
//     read every column.
// The statement is the longest one the report ran (caught with sqlite3_trace_v2 during a first
// Run). Counters: both times per run and their ratios (Run / raw), by the wall clock and by
// the thread's CPU time (bench_common.h's ReportRatio), and the peak resident set.
//
// The not-spent reports need facts the generated company leaves out (open orders, stock order
// rows with their posted lots); they are added here as the reports' tests add them.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench_common.h"
#include "core/variant.h"
#include "db/sqlite/sqlite_connection.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/interfaces.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_document.h"
#include "host/report/report_writers.h"
#include "host/sample/sample_book.h"
#include "host/schema/schema.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"
#include "reports/rep_not_spent_manuf_goods.h"
#include "reports/rep_not_spent_ord_goods.h"
#include "reports/rep_rest_off_bdk.h"
#include "reports/rep_store_rest_by_term.h"
#include "reports/rep_write_off_svyd.h"

namespace {

using Clock = std::chrono::steady_clock;
using qts::bench::Filling;
using qts::bench::kGoodRestBDK;
using qts::bench::kStoreRestByTerm;
using qts::bench::kWriteOffSvyd;
using qts::bench::kYear;
using qts::bench::kYearAllStoresAndGoods;

// --- The category, not-spent and write-off summary reports ----------------------------------

// The scale of the sample book the reports run on: $QTS_BENCH_SCALE, 1 when unset.
double BenchScale() {
  const char* scale = std::getenv("QTS_BENCH_SCALE");
  return scale != nullptr && *scale != '\0' ? std::strtod(scale, nullptr) : 1.0;
}

// The sample company as the generator makes it (its not-spent facts, low-value goods and
// receipts in other currencies included), the book the reports meet in use.
std::shared_ptr<qts::host::AppContext> ReportsBook() {
  static std::shared_ptr<qts::host::AppContext> book = [] {
    auto b = qts::host::AppContext::CreateBook(":memory:", "GEN");
    // QTS_BENCH_SAMPLE=large runs the reports on the large sample book (over a million rows);
    // QTS_BENCH_SCALE=N on a book of N times its documents (qts book create --scale).
    const char* size = std::getenv("QTS_BENCH_SAMPLE");
    qts::host::sample::GenerateSampleBook(*b,
                                          size != nullptr && std::string_view(size) == "large"
                                              ? qts::host::sample::SampleSize::kLarge
                                              : qts::host::sample::SampleSize::kSmall,
                                          7, BenchScale());
    return b;
  }();
  return book;
}

// Every statement text the book's connection starts, while a TraceScope lives.
class TraceScope {
 public:
  // With QTS_BENCH_TRACE set, every statement's text length and run time go to stderr.
  explicit TraceScope(sqlite3* db) : db_(db), print_(std::getenv("QTS_BENCH_TRACE") != nullptr) {
    sqlite3_trace_v2(db_, SQLITE_TRACE_STMT | SQLITE_TRACE_PROFILE, &TraceScope::OnStatement, this);
  }
  ~TraceScope() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

  // The longest statement seen: the report's own query.
  const std::string& Longest() const { return longest_; }

 private:
  static int OnStatement(unsigned type, void* self, void* stmt, void* extra) {
    auto* scope = static_cast<TraceScope*>(self);
    if (type == SQLITE_TRACE_PROFILE) {
      if (scope->print_) {
        std::fprintf(stderr, "%8.3f ms  %5zu chars\n",
                     static_cast<double>(*static_cast<int64_t*>(extra)) / 1e6,
                     std::string_view(sqlite3_sql(static_cast<sqlite3_stmt*>(stmt))).size());
      }
      return 0;
    }
    char* text = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(stmt));
    if (text) {
      if (std::string_view(text).size() > scope->longest_.size()) scope->longest_ = text;
      sqlite3_free(text);
    }
    return 0;
  }
  sqlite3* db_;
  bool print_;
  std::string longest_;
};

template <class Report>
void RunVersusRaw(benchmark::State& state, const Filling& filling) {
  qts::bench::UseTemporarySettings("reports_bench");
  auto book = ReportsBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scope(op);
  sqlite3* db = static_cast<qts::db::SqliteConnection&>(book->Connection()).Handle();
  Report report;
  long report_rows = 0;
  std::string sql;
  {
    TraceScope trace(db);
    qts::bench::ReportRun(report, *op, book, filling, report_rows);
    sql = trace.Longest();
    if (std::getenv("QTS_BENCH_TRACE") != nullptr) std::fprintf(stderr, "%s\n", sql.c_str());
  }
  // The same statement as it was before the stock facts were kept: the stock sources' plain
  // aggregating statements over the links (schema::PlainSourceSql), run raw once. The same
  // text when the report reads no stock source.
  std::string before_sql;
  {
    qts::host::schema::UsePlainStockSources(true);
    TraceScope trace(db);
    long rows = 0;
    qts::bench::ReportRun(report, *op, book, filling, rows);
    before_sql = trace.Longest();
    qts::host::schema::UsePlainStockSources(false);
  }
  long before_rows = 0;
  const double before = qts::bench::RawRead(db, before_sql, before_rows).wall;
  // The not-spent ordered goods report sorts and the rests report filters after the
  // statement; both keep the statement's rows, so the counts agree.
  const qts::bench::Totals t = qts::bench::Alternate(
      state,
      [&] {
        long raw_rows = 0;
        const qts::bench::Span span = qts::bench::RawRead(db, sql, raw_rows);
        if (raw_rows != report_rows) state.SkipWithError("row count differs");
        return span;
      },
      [&] { return qts::bench::ReportRun(report, *op, book, filling, report_rows); });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["rows"] = static_cast<double>(report_rows);
  qts::bench::ReportRatio(state, t, "run");
  if (t.rounds > 0) state.counters["run_min_ms"] = t.system_min * 1000;
  if (before_sql != sql) {
    if (before_rows != report_rows) state.SkipWithError("the plain statement's rows differ");
    state.counters["before_raw_ms"] = before * 1000;
  }
  state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["scale"] = BenchScale();
}

// The printed forms: the report's Run as above, then its values laid out by its print layout
// and drawn (HTML to a text, XLSX and PDF to a file), against the same raw statement. The
// drawing is the reader of the values here: it reads those it prints, once, as `qts report`
// does, and the Run does not read them all beforehand. Counters
// besides the ratio: the drawing alone per run (draw_ms; its parts read_ms, the layout file
// and the values read for it, lay_out_ms and render_ms, all by the wall clock), for PDF its
// time per 1,000 rows, and for XLSX the library's own floor (raw_xlsx_ms: the statement stepped
// by hand with every cell written through libxlsxwriter directly, timed apart from the ratio's
// raw side) and the run's ratio to it. Each ratio also as the ratio of the fastest rounds
// (min_ratio), and the ratio to the statement by the thread's CPU time too (cpu_ratio,
// cpu_min_ratio: bench_common.h's ReportRatio).
enum class Drawn { kHtml, kXlsx, kPdf };

// Seconds spent reading the values, laying them out and drawing, over all runs.
struct DrawParts {
  double read = 0, lay_out = 0, draw = 0;
};

qts::bench::Span Draw(const std::string& report_class, const qts::host::NamedValueList& values,
                      const std::shared_ptr<qts::host::AppContext>& book, Drawn drawn,
                      DrawParts& parts) {
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("qts_reports_bench_" + std::to_string(getpid()));
  // PDF's text layout runs threads of its own: its CPU time is the process's.
  const qts::bench::Stopwatch watch(drawn == Drawn::kPdf ? CLOCK_PROCESS_CPUTIME_ID
                                                         : CLOCK_THREAD_CPUTIME_ID);
  auto started = Clock::now();
  // As `qts report` prints: the layout first, the values read for it, laid out and drawn.
  const std::optional<qts::host::PrintLayout> layout = qts::host::LoadPrintLayout(report_class);
  qts::host::ReportDocument doc =
      layout
          ? qts::host::ReportDocument::FromValues(report_class, values, qts::Date::Now(), *layout)
          : qts::host::ReportDocument::FromValues(report_class, values, qts::Date::Now());
  auto read = Clock::now();
  qts::host::PrintedReport printed = qts::host::LayOutReport(std::move(doc), layout, book);
  auto laid_out = Clock::now();
  parts.read += std::chrono::duration<double>(read - started).count();
  parts.lay_out += std::chrono::duration<double>(laid_out - read).count();
  switch (drawn) {
    case Drawn::kHtml:
      benchmark::DoNotOptimize(qts::host::RenderHtml(printed).size());
      break;
    case Drawn::kXlsx:
      qts::host::WriteXlsx(printed, file);
      break;
    case Drawn::kPdf:
      qts::host::WritePdf(printed, file);
      break;
  }
  parts.draw += std::chrono::duration<double>(Clock::now() - laid_out).count();
  return watch.Elapsed();
}

// The floor of a workbook: `sql` stepped by hand as RawRead steps it, and every cell of every
// row written through libxlsxwriter straight away (a number cell for an integer or a real, a
// text cell for a text, no formats), the file closed. Returns the seconds taken.
double RawXlsx(sqlite3* db, const std::string& sql) {
  static const std::string file = (std::filesystem::temp_directory_path() /
                                   ("qts_reports_bench_raw_" + std::to_string(getpid())))
                                      .string();
  auto started = Clock::now();
  lxw_workbook* workbook = workbook_new(file.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  sqlite3_stmt* stmt = nullptr;
  qts::bench::Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK, db);
  const int columns = sqlite3_column_count(stmt);
  lxw_row_t row = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      const auto col = static_cast<lxw_col_t>(c);
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
          worksheet_write_number(sheet, row, col, sqlite3_column_double(stmt, c), nullptr);
          break;
        case SQLITE_TEXT:
          worksheet_write_string(sheet, row, col,
                                 reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                 nullptr);
          break;
        default:
          break;
      }
    }
    ++row;
  }
  sqlite3_finalize(stmt);
  if (workbook_close(workbook) != LXW_NO_ERROR) std::abort();
  return qts::bench::SecondsSince(started);
}

template <class Report>
void DrawnVersusRaw(benchmark::State& state, const Filling& filling, Drawn drawn) {
  qts::bench::UseTemporarySettings("reports_bench");
  auto book = ReportsBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scope(op);
  sqlite3* db = static_cast<qts::db::SqliteConnection&>(book->Connection()).Handle();
  Report report;
  const std::string report_class(report.ClassName());
  long report_rows = 0;
  std::string sql;
  {
    TraceScope trace(db);
    qts::bench::ReportRun(report, *op, book, filling, report_rows);
    sql = trace.Longest();
  }
  double drawing = 0;
  int drawings = 0;
  DrawParts parts;
  double raw_xlsx = 0;
  double raw_xlsx_min = 1e100;
  const qts::bench::Totals t = qts::bench::Alternate(
      state,
      [&] {
        long raw_rows = 0;
        const qts::bench::Span span = qts::bench::RawRead(db, sql, raw_rows);
        if (raw_rows != report_rows) state.SkipWithError("row count differs");
        // Timed apart: the ratio stays against the statement alone.
        if (drawn == Drawn::kXlsx) {
          const double xlsx = RawXlsx(db, sql);
          raw_xlsx += xlsx;
          raw_xlsx_min = std::min(raw_xlsx_min, xlsx);
        }
        return span;
      },
      [&] {
        qts::host::NamedValueListPtr values;
        qts::bench::Span span =
            qts::bench::ReportRun(report, *op, book, filling, report_rows, &values);
        const qts::bench::Span drawn_span = Draw(report_class, *values, book, drawn, parts);
        drawing += drawn_span.wall;
        ++drawings;
        span += drawn_span;
        return span;
      });
  state.counters["rows"] = static_cast<double>(report_rows);
  qts::bench::ReportRatio(state, t, "run_and_draw");
  if (t.rounds > 0) {
    state.counters["raw_min_ms"] = t.raw_min * 1000;
    state.counters["run_and_draw_min_ms"] = t.system_min * 1000;
    if (drawn == Drawn::kXlsx) {
      state.counters["min_ratio_to_raw_xlsx"] = t.system_min / raw_xlsx_min;
    }
  }
  const double per_run = drawings ? drawing / drawings : 0;
  state.counters["draw_ms"] = per_run * 1000;
  if (drawings > 0) {
    state.counters["read_ms"] = parts.read * 1000 / drawings;
    state.counters["lay_out_ms"] = parts.lay_out * 1000 / drawings;
    state.counters["render_ms"] = parts.draw * 1000 / drawings;
  }
  if (drawn == Drawn::kXlsx && raw_xlsx > 0) {
    state.counters["raw_xlsx_ms"] = raw_xlsx * 1000 / static_cast<double>(t.rounds);
    state.counters["ratio_to_raw_xlsx"] = t.system / raw_xlsx;
  }
  if (drawn == Drawn::kPdf && report_rows > 0) {
    state.counters["pdf_ms_per_1000_rows"] =
        per_run * 1000 * 1000 / static_cast<double>(report_rows);
  }
}

void StoreRestByTerm(benchmark::State& state) {
  RunVersusRaw<qts::reports::CRepStoreRestByTerm>(state, kStoreRestByTerm);
}

void NotSpentOrdGoods(benchmark::State& state) {
  RunVersusRaw<qts::reports::CRepNotSpentOrdGoods>(state, kYearAllStoresAndGoods);
}

void NotSpentManufGoods(benchmark::State& state) {
  RunVersusRaw<qts::reports::CRepNotSpentManufGoods>(state, kYearAllStoresAndGoods);
}

void GoodRestBDK(benchmark::State& state) {
  RunVersusRaw<qts::reports::CRepGoodRestBDK>(state, kGoodRestBDK);
}

void WriteOffBDK(benchmark::State& state) {
  RunVersusRaw<qts::reports::CRepWriteOffBDK>(state, kYear);
}

void WriteOffSvyd(benchmark::State& state) {
  RunVersusRaw<qts::reports::CRepWriteOffSvyd>(state, kWriteOffSvyd);
}

// The parameter form of the not-spent reports alone (shown, filled, its last choices read and
// saved in the settings file): the fixed part of the two reports' Run.
void NotSpentGoodsFormOnly(benchmark::State& state) {
  qts::bench::UseTemporarySettings("reports_bench");
  auto book = ReportsBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scope(op);
  for (auto _ : state) {
    auto started = Clock::now();
    op->AnswerForm({"", true, {{"edBegDate", qts::Variant("2026-01-01")}}});
    auto values = std::make_shared<qts::host::NamedValueList>();
    for (const auto& input : qts::reports::NotSpentGoodsInputs()) {
      values->Add(input.name, input.kind);
    }
    qts::reports::frmRepNotSpentGoods form;
    qts::host::AppContextPtr context = book;
    if (!form.Run(context, values)) std::abort();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
  }
}

// On the large book a run takes seconds: six rounds each, so that one slow round of either side
// does not decide the ratio. On the small book, as many rounds as two seconds allow.
benchmark::internal::Benchmark* Rounds(benchmark::internal::Benchmark* b) {
  b->UseManualTime()->Unit(benchmark::kMillisecond);
  const char* size = std::getenv("QTS_BENCH_SAMPLE");
  if (size != nullptr && std::string_view(size) == "large") return b->Iterations(6);
  return b->MinTime(2.0);
}

BENCHMARK(NotSpentGoodsFormOnly)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(StoreRestByTerm)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(NotSpentOrdGoods)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(NotSpentManufGoods)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(GoodRestBDK)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(WriteOffBDK)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(WriteOffSvyd)->Apply([](auto* b) { Rounds(b); });

#define QTS_DRAWN_BENCHMARK(Name, Report, filling, drawn)                               \
  void Name(benchmark::State& state) { DrawnVersusRaw<Report>(state, filling, drawn); } \
  BENCHMARK(Name)->Apply([](auto* b) { Rounds(b); })

using qts::reports::CRepGoodRestBDK;
using qts::reports::CRepNotSpentManufGoods;
using qts::reports::CRepNotSpentOrdGoods;
using qts::reports::CRepStoreRestByTerm;
using qts::reports::CRepWriteOffBDK;
using qts::reports::CRepWriteOffSvyd;
QTS_DRAWN_BENCHMARK(StoreRestByTermHtml, CRepStoreRestByTerm, kStoreRestByTerm, Drawn::kHtml);
QTS_DRAWN_BENCHMARK(NotSpentOrdGoodsHtml, CRepNotSpentOrdGoods, kYearAllStoresAndGoods,
                    Drawn::kHtml);
QTS_DRAWN_BENCHMARK(NotSpentManufGoodsHtml, CRepNotSpentManufGoods, kYearAllStoresAndGoods,
                    Drawn::kHtml);
QTS_DRAWN_BENCHMARK(GoodRestBDKHtml, CRepGoodRestBDK, kGoodRestBDK, Drawn::kHtml);
QTS_DRAWN_BENCHMARK(WriteOffBDKHtml, CRepWriteOffBDK, kYear, Drawn::kHtml);
QTS_DRAWN_BENCHMARK(WriteOffSvydHtml, CRepWriteOffSvyd, kWriteOffSvyd, Drawn::kHtml);
QTS_DRAWN_BENCHMARK(StoreRestByTermXlsx, CRepStoreRestByTerm, kStoreRestByTerm, Drawn::kXlsx);
QTS_DRAWN_BENCHMARK(NotSpentOrdGoodsXlsx, CRepNotSpentOrdGoods, kYearAllStoresAndGoods,
                    Drawn::kXlsx);
QTS_DRAWN_BENCHMARK(NotSpentManufGoodsXlsx, CRepNotSpentManufGoods, kYearAllStoresAndGoods,
                    Drawn::kXlsx);
QTS_DRAWN_BENCHMARK(GoodRestBDKXlsx, CRepGoodRestBDK, kGoodRestBDK, Drawn::kXlsx);
QTS_DRAWN_BENCHMARK(WriteOffBDKXlsx, CRepWriteOffBDK, kYear, Drawn::kXlsx);
QTS_DRAWN_BENCHMARK(WriteOffSvydXlsx, CRepWriteOffSvyd, kWriteOffSvyd, Drawn::kXlsx);
QTS_DRAWN_BENCHMARK(StoreRestByTermPdf, CRepStoreRestByTerm, kStoreRestByTerm, Drawn::kPdf);
QTS_DRAWN_BENCHMARK(WriteOffBDKPdf, CRepWriteOffBDK, kYear, Drawn::kPdf);
QTS_DRAWN_BENCHMARK(WriteOffSvydPdf, CRepWriteOffSvyd, kWriteOffSvyd, Drawn::kPdf);

}  // namespace

BENCHMARK_MAIN();
