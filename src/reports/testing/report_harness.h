// Test helpers for the report classes: a generated sample company shared by a suite, a run of
// a report as the host makes it (scripted operator, per-test settings file), its data list as
// text, and the book's rows read straight from the backend for the tests' own computations.
#ifndef QTS_REPORTS_TESTING_REPORT_HARNESS_H_
#define QTS_REPORTS_TESTING_REPORT_HARNESS_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/currency.h"
#include "core/date.h"
#include "core/rounding.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/interfaces.h"
#include "host/sample/sample_book.h"
#include "host/testing/scoped_env.h"
#include "host/testing/test_book.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace qts::reports::testing {

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

// One cell as the tests compare it: Null "<null>", money and quantities as Currency text,
// dates as YYYY-MM-DD, everything else through CStr.
inline std::string Cell(const Variant& v) {
  if (v.IsNull()) return "<null>";
  if (v.IsEmpty()) return "";
  if (v.Type() == VarType::kCurrency) return v.AsCurrency().ToString();
  if (v.Type() == VarType::kDate) return v.AsDate().ToIso().substr(0, 10);
  return CStr(v);
}
// A quantity or sum computed by a test, as the report shows it.
inline std::string Num(double x) { return Currency::FromDouble(x).ToString(); }
inline std::string Money(double x) { return Num(RoundDecimal(x, 2)); }

// The codes of a list of quoted codes ("'S1','S2'"); none for any other text.
inline std::set<std::string> QuotedCodes(std::string_view text) {
  std::set<std::string> codes;
  size_t open = text.find('\'');
  while (open != std::string_view::npos) {
    size_t close = text.find('\'', open + 1);
    if (close == std::string_view::npos) break;
    codes.insert(std::string(text.substr(open + 1, close - open - 1)));
    open = text.find('\'', close + 1);
  }
  return codes;
}

// The rows only one of two sorted tables has (up to five of each), for failure messages.
inline std::string TableDiff(const Table& got, const Table& want) {
  auto join = [](const Row& row) {
    std::string text;
    for (const std::string& cell : row) text += cell + " | ";
    return text;
  };
  std::string out;
  int shown = 0;
  for (const Row& row : got) {
    if (!std::binary_search(want.begin(), want.end(), row) && shown++ < 5) {
      out += "  only in report:   " + join(row) + "\n";
    }
  }
  shown = 0;
  for (const Row& row : want) {
    if (!std::binary_search(got.begin(), got.end(), row) && shown++ < 5) {
      out += "  only in expected: " + join(row) + "\n";
    }
  }
  return out;
}

inline std::string Today() { return Date::Today().ToIso().substr(0, 10); }

// A new generated sample company (book code "GEN") of the given seed.
inline std::shared_ptr<host::AppContext> NewGeneratedBook(uint64_t seed) {
  auto book = host::testing::NewTestBook("GEN");
  host::sample::GenerateSampleBook(*book, host::sample::SampleSize::kSmall, seed);
  return book;
}

// The generated sample company of the given seed, created once per process and seed; tests
// that change it make their own with NewGeneratedBook.
inline std::shared_ptr<host::AppContext> GeneratedBook(uint64_t seed = 7) {
  static std::map<uint64_t, std::shared_ptr<host::AppContext>> books;
  auto& book = books[seed];
  if (!book) book = NewGeneratedBook(seed);
  return book;
}

// Reads rows of a book's physical tables: `sql` may name a table as {T:Name}.
class RawReader {
 public:
  explicit RawReader(host::AppContext& book) : book_(book) {}
  std::string Table(std::string_view logical) const {
    return "\"" + book_.Code() + "$" + std::string(logical) + "\"";
  }
  // Calls fn(statement) for every row.
  template <class Fn>
  void Each(const std::string& sql, Fn&& fn) const {
    db::StatementHandle s = book_.Connection().Prepare(sql);
    while (s->Step()) fn(*s);
  }

 private:
  host::AppContext& book_;
};

// Runs reports the way the host's engine does, with an operator that fills their forms.
class ReportRunner {
 public:
  ReportRunner()
      : settings_env_("QTS_SETTINGS", (dir_ / "settings.json").string()),
        op_(std::make_shared<host::ScriptedOperator>()),
        scope_(op_) {}

  // Runs `report` on `book` with the next form filled by `filling` (confirmed unless
  // `cancel`); `extra` entries are added to Params.
  bool Run(host::IReportExec& report, const std::shared_ptr<host::AppContext>& book,
           std::vector<std::pair<std::string, Variant>> filling, bool cancel = false,
           std::vector<std::pair<std::string, Variant>> extra = {}) {
    op_->AnswerForm({"", !cancel, std::move(filling)});
    params_ = std::make_shared<host::NamedValueList>();
    if (book)
      params_->Add("Book", host::Kind::kNone, Variant(std::static_pointer_cast<Object>(book)));
    for (auto& [name, value] : extra) params_->Add(name, host::Kind::kNone, value);
    values_ = std::make_shared<host::NamedValueList>();
    return report.Run(params_, values_);
  }

  std::string Value(std::string_view name) const { return Cell(values_->Item(name).Value()); }
  std::vector<std::string> ValueNames() const {
    std::vector<std::string> names;
    for (const auto& e : values_->Entries()) names.push_back(e->Name());
    return names;
  }
  host::RecordsetPtr DataList() const {
    return std::dynamic_pointer_cast<host::Recordset>(values_->Item("DataList").Value().AsObject());
  }
  std::vector<std::string> Columns() const {
    std::vector<std::string> names;
    host::RecordsetPtr rs = DataList();
    for (size_t i = 0; i < rs->Fields().Count(); ++i) names.push_back(rs->Fields().Item(i).Name());
    return names;
  }
  // The data list's rows; with `columns`, only that many leading columns of each.
  reports::testing::Table Rows(size_t columns = SIZE_MAX) const {
    reports::testing::Table rows;
    host::RecordsetPtr rs = DataList();
    if (!rs || rs->RecordCount() == 0) return rows;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      Row row;
      for (size_t i = 0; i < rs->Fields().Count() && i < columns; ++i) {
        row.push_back(Cell(rs->Value(i)));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }
  // The first error shown, as "number: description" ("" when none).
  std::string FirstError() const {
    if (op_->Errors().empty()) return "";
    return std::to_string(op_->Errors()[0].number) + ": " + op_->Errors()[0].description;
  }

  host::ScriptedOperator& Op() { return *op_; }
  host::NamedValueList& Values() { return *values_; }

 private:
  qts::testing::TempDir dir_;
  qts::testing::ScopedEnv settings_env_;
  std::shared_ptr<host::ScriptedOperator> op_;
  host::ScopedOperator scope_;
  host::NamedValueListPtr params_;
  host::NamedValueListPtr values_;
};

}  // namespace qts::reports::testing

#endif  // QTS_REPORTS_TESTING_REPORT_HARNESS_H_
