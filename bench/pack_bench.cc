// The packaging declaration against raw SQLite calls doing the same work in the same run, over
// the whole year 2026 of the sample book (the large one made by `make bench`, else the small):
//   - the fill: a new declaration of packaging used once opened in its dialog (frmPACK) and
//     filled (FillSpecification, what its button "btFillSpec" runs) -- the query built,
//     translated and run, its rows read into a recordset and written as the document's rows
//     with their names and amounts, as one step process. The raw side
//     runs the final statement the system ran (its SQLite text) by hand and writes the same
//     rows through two prepared INSERTs, the names read once from their tables;
//   - the report: CRepPACK run for the year (its form filled) after the year was declared twice
//     (used once, reusable). The raw side runs the SQLite text of its two tables by hand.
// Each round works inside a transaction that is rolled back, so the book stays as made; what a
// round sets up (the new document, the declarations the report reads) is not timed. Counters:
// both times per round and their ratio.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_common.h"
#include "core/convert.h"
#include "db/transaction.h"
#include "dialogs/frm_pack.h"
#include "dialogs/halden_user_dialogs.h"
#include "dialogs/pack_declaration.h"
#include "frame/catalogue.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/documents/th_document.h"
#include "host/interfaces.h"
#include "host/ui/doc_spec.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/system_dialog.h"

namespace {

using qts::Date;
using qts::Variant;
using qts::bench::Span;
using qts::bench::Stopwatch;
using qts::host::AppContext;

const Date kBegin = Date::FromYmd(2026, 1, 1);
const Date kEnd = Date::FromYmd(2026, 12, 31);

void Environment() {
  static bool done = [] {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qts-pack-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    setenv("QTS_REGISTRY", (dir / "registry.json").c_str(), 1);
    setenv("QTS_SETTINGS", (dir / "settings.json").c_str(), 1);
    return true;
  }();
  benchmark::DoNotOptimize(done);
}

// A new declaration of the year (its header only), inside the round's transaction.
int32_t NewDeclaration(bool reusable) {
  qts::host::THDocument doc(qts::bench::SampleBook());
  doc.Fields().Item("DocTypeCode").SetValue(Variant("PACK"));
  doc.InitNew();
  doc.BeginInsert();
  doc.Fields().Item("CommingInForceDate").SetValue(Variant(kBegin));
  doc.Fields().Item("TermsOfValidityDate").SetValue(Variant(kEnd));
  doc.AddFields().Item("IsReusablePack").SetValue(Variant(int32_t{reusable ? 1 : 0}));
  return doc.EndInsert();
}

std::shared_ptr<qts::dialogs::HaldenUserDialogs> OpenPack(int32_t doc) {
  const qts::frame::ClassInfo* cls =
      qts::frame::Catalogue::Instance().FindProgId("QTS_Inventory.HaldenUserDialogs");
  if (cls == nullptr) std::abort();
  auto dialogs = std::dynamic_pointer_cast<qts::dialogs::HaldenUserDialogs>(
      qts::frame::Catalogue::Instance().Create(*cls));
  dialogs->Init(std::make_shared<qts::host::DialogHost>(qts::bench::SampleBook(), doc), nullptr,
                Variant("PACK"));
  if (!dialogs->SysDialog() || !dialogs->SysDialog()->FormObject()) std::abort();
  return dialogs;
}

// Rows the last fill wrote, for the label.
long g_rows = 0;

Span SystemFill() {
  AppContext& book = *qts::bench::SampleBook();
  qts::db::Transaction round(book.Connection());
  auto dialogs = OpenPack(NewDeclaration(false));
  auto& form = dynamic_cast<qts::dialogs::frmPACK&>(*dialogs->SysDialog()->FormObject());
  const Stopwatch watch;
  form.FillSpecification(false);
  const Span span = watch.Elapsed();
  g_rows = dialogs->SysDialog()->Spec()->RowCount();
  dialogs->UnloadForm();
  round.Rollback();
  return span;
}

// The names the rows carry, read once per round as the fill reads them.
std::map<std::string, std::string> RawNames(sqlite3* db, const std::string& table) {
  std::map<std::string, std::string> names;
  sqlite3_stmt* s = nullptr;
  const std::string sql = "SELECT \"Code\", \"Name\" FROM " + table;
  qts::bench::Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK, db);
  while (sqlite3_step(s) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(s, 1);
    names[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))] =
        name ? reinterpret_cast<const char*>(name) : "";
  }
  sqlite3_finalize(s);
  return names;
}

void BindName(sqlite3_stmt* s, int at, const std::map<std::string, std::string>& names,
              const unsigned char* code) {
  auto it = code ? names.find(reinterpret_cast<const char*>(code)) : names.end();
  if (it == names.end()) {
    sqlite3_bind_null(s, at);
  } else {
    sqlite3_bind_text(s, at, it->second.c_str(), -1, SQLITE_TRANSIENT);
  }
}

Span RawFill() {
  AppContext& book = *qts::bench::SampleBook();
  sqlite3* db = qts::bench::RawHandle(book);
  qts::db::Transaction round(book.Connection());
  const int32_t doc = NewDeclaration(false);
  // The statement the fill runs, as the system sent it to SQLite.
  qts::dialogs::PackDeclaration declaration(qts::bench::SampleBook(), kBegin, kEnd, false);
  const std::string sql = declaration.DeclarationQuery()->TranslatedText();

  const Stopwatch watch;
  const auto materials = RawNames(db, qts::bench::Table(book, "REFPackMaterialKind"));
  const auto types = RawNames(db, qts::bench::Table(book, "REFPackType"));
  const auto units = RawNames(db, qts::bench::Table(book, "REFUnit"));
  sqlite3_stmt* q = nullptr;
  sqlite3_stmt* row = nullptr;
  sqlite3_stmt* add = nullptr;
  qts::bench::Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr), SQLITE_OK, db);
  const std::string insert_row =
      "INSERT INTO " + qts::bench::Table(book, "THGoodSpec") +
      " (\"DocID\", \"PosNumb\", \"GoodCode\", \"UnitCode\", \"Amount\", \"AmountAccount\")"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?5)";
  const std::string insert_add =
      "INSERT INTO " + qts::bench::Table(book, "PACKTHGoodSpec") +
      " (\"DocID\", \"PosNumb\", \"PackMaterialKind\", \"PackType\", \"SaleManufactAmount\","
      " \"SaleImportAmount\", \"ExportAmount\", \"NotSaleAmount\", \"UsedPackInSaleAmount\","
      " \"ReturnAmount\", \"PackMaterial\", \"PackTypeName\", \"UnitName\")"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, 0, ?10, ?11, ?12)";
  qts::bench::Check(sqlite3_prepare_v2(db, insert_row.c_str(), -1, &row, nullptr), SQLITE_OK, db);
  qts::bench::Check(sqlite3_prepare_v2(db, insert_add.c_str(), -1, &add, nullptr), SQLITE_OK, db);
  // Result columns: List, DocTypeCode, GoodCode, UnitCode, Amount, ..., PackMaterialKind (14),
  // PackType (15), then f502 ... f609 from 17. Each saved amount is the last non-zero column
  // that maps to it, as the fill takes it.
  const auto columns = qts::dialogs::DeclarationColumns();
  int pos = 0;
  while (sqlite3_step(q) == SQLITE_ROW) {
    ++pos;
    int64_t saved[5] = {0, 0, 0, 0, 0};  // B, C, D, E, F
    for (size_t c = 0; c < columns.size(); ++c) {
      const int64_t v = sqlite3_column_int64(q, 17 + static_cast<int>(c));
      const char slot = columns[c].saved[6];
      if (v != 0 && slot >= 'B' && slot <= 'F') saved[slot - 'B'] = v;
    }
    sqlite3_bind_int(row, 1, doc);
    sqlite3_bind_int(row, 2, pos);
    sqlite3_bind_text(row, 3, reinterpret_cast<const char*>(sqlite3_column_text(q, 2)), -1,
                      SQLITE_TRANSIENT);
    sqlite3_bind_text(row, 4, reinterpret_cast<const char*>(sqlite3_column_text(q, 3)), -1,
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(row, 5, sqlite3_column_int64(q, 4));
    qts::bench::Check(sqlite3_step(row), SQLITE_DONE, db);
    sqlite3_reset(row);
    sqlite3_bind_int(add, 1, doc);
    sqlite3_bind_int(add, 2, pos);
    sqlite3_bind_text(add, 3, reinterpret_cast<const char*>(sqlite3_column_text(q, 14)), -1,
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(add, 4, sqlite3_column_int64(q, 15));
    for (int i = 0; i < 5; ++i) sqlite3_bind_int64(add, 5 + i, saved[i]);
    BindName(add, 10, materials, sqlite3_column_text(q, 14));
    BindName(add, 11, types, sqlite3_column_text(q, 15));
    BindName(add, 12, units, sqlite3_column_text(q, 3));
    qts::bench::Check(sqlite3_step(add), SQLITE_DONE, db);
    sqlite3_reset(add);
  }
  sqlite3_finalize(q);
  sqlite3_finalize(row);
  sqlite3_finalize(add);
  const Span span = watch.Elapsed();
  if (pos != g_rows && g_rows != 0) {
    std::fprintf(stderr, "the raw fill wrote %d rows, the form %ld\n", pos, g_rows);
    std::abort();
  }
  round.Rollback();
  return span;
}

void BM_FillDeclarationOfTheYear(benchmark::State& state) {
  Environment();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(op);
  (void)SystemFill();  // the rows the raw side must match
  const qts::bench::Totals totals = qts::bench::Alternate(state, RawFill, SystemFill);
  qts::bench::ReportRatio(state, totals, "fill");
  state.counters["rows"] = static_cast<double>(g_rows);
  state.SetLabel(qts::bench::SampleBookName());
}
BENCHMARK(BM_FillDeclarationOfTheYear)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// The year declared twice (used once, reusable), inside the caller's transaction.
void DeclareTheYear() {
  for (bool reusable : {false, true}) {
    auto dialogs = OpenPack(NewDeclaration(reusable));
    dialogs->SysDialog()->Press("btFillSpec", "");
    dialogs->SysDialog()->Save();
    dialogs->UnloadForm();
  }
}

void BM_DeclarationReportOfTheYear(benchmark::State& state) {
  Environment();
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  sqlite3* db = qts::bench::RawHandle(*book);
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(op);
  qts::db::Transaction round(book->Connection());
  DeclareTheYear();
  qts::dialogs::frmPACK tables;
  tables.InitBook(book);
  const std::string table_a = tables.ReportTableQuery(2026, 0, false)->TranslatedText();
  const std::string table_b = tables.ReportTableQuery(2026, 0, true)->TranslatedText();
  const qts::frame::ClassInfo* cls = qts::frame::Catalogue::Instance().FindClass("CRepPACK");
  if (cls == nullptr) std::abort();
  auto report =
      qts::QueryInterface<qts::host::IReportExec>(qts::frame::Catalogue::Instance().Create(*cls));
  long rows = 0;
  auto raw = [&] {
    long a = 0, b = 0;
    Span span = qts::bench::RawRead(db, table_a, a);
    span += qts::bench::RawRead(db, table_b, b);
    rows = a + b;
    return span;
  };
  auto system = [&] {
    op->AnswerForm({"frmRepPack", true, {{"edRepDate", Variant("2026-01-01")}}});
    auto params = std::make_shared<qts::host::NamedValueList>();
    params->Add("Book", qts::host::Kind::kNone,
                Variant(std::static_pointer_cast<qts::Object>(book)));
    auto values = std::make_shared<qts::host::NamedValueList>();
    const Stopwatch watch;
    if (!report->Run(params, values)) std::abort();
    return watch.Elapsed();
  };
  const qts::bench::Totals totals = qts::bench::Alternate(state, raw, system);
  qts::bench::ReportRatio(state, totals, "report");
  state.counters["rows"] = static_cast<double>(rows);
  state.SetLabel(qts::bench::SampleBookName());
  round.Rollback();
}
BENCHMARK(BM_DeclarationReportOfTheYear)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
