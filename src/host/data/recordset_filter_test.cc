#include "host/data/recordset_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/date.h"
#include "host/data/recordset_storage.h"

namespace qts::host {
namespace {

// The columns of the stored rows, by name.
std::vector<FieldDef> Fields() {
  return {{"Amount", adCurrency}, {"Qty", adInteger},  {"Small", adSmallInt}, {"Ratio", adDouble},
          {"Day", adDate},        {"Code", adVarChar}, {"Name", adVarChar}};
}

// Rows over three cell blocks. Most cells hold their column's type; the rest hold Null,
// Empty or another type's value, as cells written with any value may; the texts are short
// and long, in any case, with and without letters outside ASCII.
void Fill(RowStore& store, size_t rows) {
  store.fields = Fields();
  for (size_t c = 0; c < store.fields.size(); ++c) store.index[store.fields[c].name] = c;
  store.columns.resize(store.fields.size());
  const std::vector<std::string> texts = {"KG",
                                          "kg",
                                          "Kg",
                                          "l",
                                          "",
                                          "ŽĄSIS",
                                          "žąsis",
                                          "m2",
                                          "AB-001",
                                          "ab-001",
                                          "M",
                                          "zz",
                                          "a long code, 20 B",
                                          "A LONG CODE, 20 B",
                                          "Ąžuol",
                                          "ą",
                                          "Abc*",
                                          "abc",
                                          "ABCD",
                                          "é"};
  std::mt19937 random(7);
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const auto odd = [&](size_t row, size_t column) -> bool {
    switch (pick(12)) {
      case 0:
        store.Set(row, column, Variant::Null());
        return true;
      case 1:
        store.Set(row, column, Variant());
        return true;
      case 2:
        store.Set(row, column, Variant(static_cast<int32_t>(pick(40)) - 20));
        return true;
      case 3:
        store.Set(row, column, Variant(texts[pick(texts.size())]));
        return true;
      case 4:
        store.Set(row, column, Variant(Currency::FromScaled(static_cast<int64_t>(pick(400'000)))));
        return true;
      default:
        return false;
    }
  };
  for (size_t r = 0; r < rows; ++r) {
    store.AppendRow();
    if (!odd(r, 0)) {
      store.Set(r, 0, Variant(Currency::FromScaled((static_cast<int64_t>(pick(400)) - 80) * 1250)));
    }
    if (!odd(r, 1)) store.Set(r, 1, Variant(static_cast<int32_t>(pick(10)) - 3));
    if (!odd(r, 2)) store.Set(r, 2, Variant(static_cast<int16_t>(pick(10)) - 5));
    if (!odd(r, 3)) store.Set(r, 3, Variant(static_cast<double>(pick(100)) / 50.0));
    if (!odd(r, 4)) store.Set(r, 4, Variant(Date::FromYmd(2026, 3, 1 + static_cast<int>(pick(5)))));
    if (!odd(r, 5)) store.Set(r, 5, Variant(texts[pick(texts.size())]));
    if (!odd(r, 6)) store.Set(r, 6, Variant(texts[pick(texts.size())] + texts[pick(texts.size())]));
  }
}

// The rows of `store` that `text` finds a column at a time, against those testing each
// record's values one by one finds; both must be some of the rows, so the comparison says
// something.
void ExpectRowsAsRecordByRecord(const RowStore& store, const char* text) {
  SCOPED_TRACE(text);
  const auto column_of = [&](std::string_view name) -> std::optional<size_t> {
    auto found = store.index.find(std::string(name));
    if (found == store.index.end()) return std::nullopt;
    return found->second;
  };
  const RecordFilter filter = RecordFilter::Parse(text, store.fields, column_of);
  std::vector<uint32_t> expected;
  std::vector<Variant> values(store.Columns());
  for (uint32_t r = 0; r < store.rows; ++r) {
    const bool meets = filter.Matches([&](size_t column) -> const Variant& {
      values[column] = store.Get(r, column);
      return values[column];
    });
    if (meets) expected.push_back(r);
  }
  const std::vector<uint32_t> found = filter.RowsOf(store);
  EXPECT_EQ(found, expected);
  EXPECT_FALSE(expected.empty());
  EXPECT_LT(expected.size(), store.rows);
}

// A filter finds, a column at a time over the stored cells, exactly the rows that testing each
// record's values one by one finds.
TEST(RecordFilterRows, AreTheRowsEachRecordMeets) {
  RowStore store;
  Fill(store, 3 * kBlockRows + 123);
  const char* const filters[] = {
      "Amount > 25",
      "Amount = 12.5",
      "Amount <> 0",
      "Amount <= -3.25",
      "Amount = NULL",
      "Amount <> NULL",
      "Qty = 2",
      "Qty >= 0",
      "Qty < -1",
      "Small <> 1",
      "Small > -2",
      "Ratio < 0.5",
      "Ratio = 1",
      "Day = #2026-03-02#",
      "Day >= #3/4/2026#",
      "Code = 'kg'",
      "Code = 'KG'",
      "Code <> 'Kg'",
      "Code = ''",
      "Code = 'žąsis'",
      "Code = 'A LONG CODE, 20 B'",
      "Code > 'm'",
      "Code <= 'AB-001'",
      "Code LIKE 'ab*'",
      "Code LIKE '*Ą*'",
      "Name LIKE '%KG%'",
      "Name LIKE 'm2*'",
      "Name = 'KGl'",
      "Code = NULL",
      "Amount > 25 AND Code = 'KG'",
      "Amount > 25 AND Code = 'KG' OR Qty = 2 AND Small <> 1",
      "(Code = 'l' AND Ratio < 1) OR (Name LIKE '*žu*' AND Day < #2026-03-03#) OR Amount = NULL",
  };
  for (const char* text : filters) ExpectRowsAsRecordByRecord(store, text);
}

// Rows in order of amount, as a recordset sorted or read in order holds them: a first
// criterion leaves whole blocks out, and the next ones pass over those blocks. Rows of the
// blocks left in, and the rows a later OR group takes back, are still tested.
TEST(RecordFilterRows, PassOverBlocksAnEarlierCriterionLeftOut) {
  RowStore store;
  Fill(store, 4 * kBlockRows + 77);
  for (size_t r = 0; r < store.rows; ++r) {
    store.Set(r, 0, Variant(Currency::FromScaled(static_cast<int64_t>(r) * 1000)));
  }
  // Rows from the middle of the third block on have an amount over 1000.
  for (const char* text :
       {"Amount > 1000 AND Code = 'KG'", "Amount > 1000 AND Name LIKE '%KG%'",
        "Amount > 1000 AND Qty = 2 AND Day >= #3/4/2026#", "Amount < 500 AND Code <> 'kg'",
        "Amount > 1000 AND Code = 'kg' OR Amount < 300 AND Small > 0"}) {
    ExpectRowsAsRecordByRecord(store, text);
  }
}

}  // namespace
}  // namespace qts::host
