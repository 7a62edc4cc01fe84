// The document rows workload the documents and PostgreSQL benchmarks time on their backends:
// one empty write-off ("MMO") document in a book of code "B" holding two goods with two units
// each, then its rows added one at a time by the rows object (AddNew + Update) and each read
// and changed by its key (MoveToID + UpdateByID), one transaction for each pass. Row i's good,
// unit and quantity are Good(i), Unit(i) and Amount(i); the raw sides bind the same values
// through their backend's own calls.
#ifndef QTS_BENCH_SPEC_ROWS_H_
#define QTS_BENCH_SPEC_ROWS_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/currency.h"
#include "core/variant.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/schema/schema.h"

namespace qts::bench::spec_rows {

inline const char* Good(int i) { return i % 2 == 0 ? "G1" : "G2"; }
inline const char* Unit(int i) { return i % 2 == 0 ? "T" : "BOX"; }
inline double Amount(int i) { return 1 + (i % 97) * 0.25; }

// The columns of the source table `table`, in its definition's order.
inline std::vector<std::string> Columns(const std::string& table) {
  std::vector<std::string> names;
  for (const auto& c : host::schema::FindSourceDef(table)->columns) names.push_back(c.name);
  return names;
}

// names[first..] double-quoted and joined by ", ".
inline std::string Joined(const std::vector<std::string>& names, size_t first) {
  std::string out;
  for (size_t i = first; i < names.size(); ++i) {
    out += (out.empty() ? "\"" : ", \"") + names[i] + "\"";
  }
  return out;
}

// "?1, ?2, ..., ?n" with `mark` '?' (SQLite), "$1, ..., $n" with '$' (PostgreSQL).
inline std::string Placeholders(size_t n, char mark) {
  std::string out;
  for (size_t i = 1; i <= n; ++i) {
    if (i > 1) out += ", ";
    out += mark + std::to_string(i);
  }
  return out;
}

// The goods G1 (units KG at rate 1 and T at 1,000) and G2 (VNT at 1 and BOX at 12.5) and one
// empty write-off document, written into `book` (code "B"); returns the document's IDC.
inline int32_t NewWriteOff(const std::shared_ptr<host::AppContext>& book) {
  db::Connection& c = book->Connection();
  c.Execute("INSERT INTO \"B$REFGood\"(\"Code\",\"Name\") VALUES ('G1','Flour'),('G2','Box')");
  const char* unit =
      "INSERT INTO \"B$REFGoodUnit\"(\"GoodCode\",\"UnitCode\",\"Rate\") VALUES (?1, ?2, ?3)";
  c.Execute(unit, {"G1", "KG", Currency::FromLong(1)});
  c.Execute(unit, {"G1", "T", Currency::FromLong(1000)});
  c.Execute(unit, {"G2", "VNT", Currency::FromLong(1)});
  c.Execute(unit, {"G2", "BOX", Currency::FromScaled(125000)});
  host::THDocument doc(book);
  doc.BeginInsert();
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  return doc.EndInsert();
}

// Rows 1..rows of document `doc` added by the rows object, in one transaction.
inline void InsertRows(const std::shared_ptr<host::AppContext>& book, int32_t doc, int rows) {
  db::Transaction transaction(book->Connection());
  host::THGoodSpec spec(book);
  for (int i = 1; i <= rows; ++i) {
    spec.AddNew();
    auto& f = spec.Fields();
    f.Item("DocID").SetValue(Variant(doc));
    f.Item("PosNumb").SetValue(Variant(static_cast<int32_t>(i)));
    f.Item("GoodCode").SetValue(Variant(Good(i)));
    f.Item("UnitCode").SetValue(Variant(Unit(i)));
    f.Item("Amount").SetValue(Variant(Currency::FromDouble(Amount(i))));
    f.Item("AmountAccount").SetValue(Variant(Currency()));
    if (!spec.Update()) std::abort();
  }
  transaction.Commit();
}

// Rows 1..rows read by their keys (row i's key is first + i - 1) and their quantity set to
// Amount(i) + 1, in one transaction.
inline void UpdateRows(const std::shared_ptr<host::AppContext>& book, int32_t first, int rows) {
  db::Transaction transaction(book->Connection());
  host::THGoodSpec spec(book);
  for (int i = 1; i <= rows; ++i) {
    const int32_t id = first + i - 1;
    if (!spec.MoveToID(id)) std::abort();
    auto& f = spec.Fields();
    f.Item("Amount").SetValue(Variant(Currency::FromDouble(Amount(i) + 1)));
    f.Item("AmountAccount").SetValue(Variant(Currency()));
    if (!spec.UpdateByID(id)) std::abort();
  }
  transaction.Commit();
}

}  // namespace qts::bench::spec_rows

#endif  // QTS_BENCH_SPEC_ROWS_H_
