#include "host/documents/stock_facts.h"

#include <fmt/format.h>

#include <map>
#include <tuple>
#include <utility>

#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/schema/schema.h"

namespace qts::host {
namespace {

// A money or quantity column in ten-thousandths; 0 for NULL.
int64_t MoneyAt(const db::Statement& s, int column) {
  return s.IsNull(column) ? 0 : s.GetCurrency(column).Scaled();
}
int64_t IntAt(const db::Statement& s, int column) {
  return s.IsNull(column) ? 0 : s.GetInt64(column);
}
std::string Quantity(int64_t scaled) { return Currency::FromScaled(scaled).ToString(); }

constexpr std::string_view kSumOfRow =
    "SELECT SUM(l.Amount), COUNT(l.IDC) FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = ?";
constexpr std::string_view kUpdate = "UPDATE THGoodSpecFixed SET Amount = ? WHERE SpecID = ?";
constexpr std::string_view kInsert = "INSERT INTO THGoodSpecFixed (SpecID, Amount) VALUES (?, ?)";
constexpr std::string_view kDelete = "DELETE FROM THGoodSpecFixed WHERE SpecID = ?";
// One link's quantity added to a kept consumption, rounded to the quantities' four decimals as
// the links' sum is.
constexpr std::string_view kAdd =
    "UPDATE THGoodSpecFixed SET Amount = ROUND(Amount + ?, 4) WHERE SpecID = ?";
// Every consumed row with its links' sum and its own accounting quantity.
constexpr std::string_view kSumOfAll =
    "SELECT l.IncomeSpecID, SUM(l.Amount), s.AmountAccount FROM THGoodSpecFixLog l"
    " INNER JOIN THGoodSpec s ON s.IDC = l.IncomeSpecID"
    " GROUP BY l.IncomeSpecID, s.AmountAccount";

// The kept rests.
constexpr std::string_view kRestUpdate =
    "UPDATE STStoreGoodRest SET Movements = ?, Valued = ?, Rest = ?"
    " WHERE StoreCode = ? AND GoodCode = ? AND NullCodes = ?";
constexpr std::string_view kRestInsert =
    "INSERT INTO STStoreGoodRest (StoreCode, GoodCode, NullCodes, Movements, Valued, Rest)"
    " VALUES (?, ?, ?, ?, ?, ?)";
constexpr std::string_view kRestDelete =
    "DELETE FROM STStoreGoodRest WHERE StoreCode = ? AND GoodCode = ? AND NullCodes = ?";
// Posted rows of stock documents, with their document and its type.
constexpr std::string_view kPostedStockRows =
    " FROM THGoodSpec s INNER JOIN THDocument d ON d.IDC = s.DocID"
    " INNER JOIN THDocType t ON t.Code = d.DocTypeCode WHERE d.IsPosted = 1 AND t.IsStock = 1";

// The kept form of a key: the codes ('' for NULL) and the NULL bits.
struct KeptKey {
  std::string store;
  std::string good;
  int64_t null_codes = 0;
  auto operator<=>(const KeptKey&) const = default;
};
KeptKey Kept(const StoreGoodKey& key) {
  return KeptKey{key.store.value_or(""), key.good.value_or(""),
                 (key.store ? 0 : 1) + (key.good ? 0 : 2)};
}
// What the posted rows of a store and good say: how many move it, how many of them have a
// quantity, and the sum of their movements (ten-thousandths; 0 when none has a quantity).
struct Movements {
  int64_t rows = 0;
  int64_t valued = 0;
  int64_t rest = 0;
  bool operator==(const Movements&) const = default;
};
std::string Describe(const KeptKey& key) {
  const auto code = [](const std::string& text, bool null) {
    return null ? std::string("NULL") : "\"" + text + "\"";
  };
  return fmt::format("good {} in store {}", code(key.good, key.null_codes & 2),
                     code(key.store, key.null_codes & 1));
}
std::string Describe(const Movements& m) {
  return fmt::format("{} from {} row(s), {} with a quantity", Quantity(m.rest), m.rows, m.valued);
}
std::optional<std::string> TextOrNull(const db::Statement& s, int column) {
  if (s.IsNull(column)) return std::nullopt;
  return s.GetText(column);
}

// Every store and good the posted rows move, with what they say; `sql` is kMovementsOfAll as
// the backend runs it.
std::map<KeptKey, Movements> PostedMovements(db::Connection& connection, const std::string& sql) {
  std::map<KeptKey, Movements> moved;
  db::StatementHandle s = connection.Prepare(sql);
  while (s->Step()) {
    moved[KeptKey{s->GetText(0), s->GetText(1), IntAt(*s, 2)}] =
        Movements{IntAt(*s, 3), IntAt(*s, 4), MoneyAt(*s, 5)};
  }
  return moved;
}
const std::string kMovementsOfAll =
    "SELECT " + std::string(schema::kStoreGoodKey) + ", COUNT(*), COUNT(s.AmountAccount), " +
    std::string(schema::kStockMovementSum) +
    " FROM THDocument d INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
    " CROSS JOIN THGoodSpec s WHERE s.DocID = d.IDC AND d.IsPosted = 1 AND t.IsStock = 1"
    " GROUP BY " +
    std::string(schema::kStoreGoodGroup);

// The kept receipt totals: the key of a good and fixing category (the codes, '' and 0 for
// NULL, and the NULL bits) and what its receipts give.
struct TotalKey {
  std::string good;
  int64_t category = 0;
  int64_t null_codes = 0;
  auto operator<=>(const TotalKey&) const = default;
};
struct Totals {
  int64_t receipts = 0;
  int64_t valued = 0;
  int64_t costed = 0;
  int64_t amount = 0;  // ten-thousandths
  int64_t cost = 0;
  bool operator==(const Totals&) const = default;
};
std::string Describe(const TotalKey& key) {
  return fmt::format("receipts of good {} in fixing category {}",
                     key.null_codes & 1 ? std::string("NULL") : "\"" + key.good + "\"",
                     key.null_codes & 2 ? std::string("NULL") : std::to_string(key.category));
}
std::string Describe(const Totals& t) {
  return fmt::format("{} row(s), {} with a quantity, {} with a cost; quantity {}, cost {}",
                     t.receipts, t.valued, t.costed, Quantity(t.amount), Quantity(t.cost));
}
// What the receipt rows that `condition` (T-SQL over "s", "d" and "t") picks give each good
// and fixing category.
std::string ReceiptTotalsSql(std::string_view condition) {
  return "SELECT " + std::string(schema::kGoodFixKey) + ", COUNT(*), COUNT(s.AmountAccount), SUM(" +
         std::string(schema::kReceiptCosted) + "), SUM(s.AmountAccount), SUM(" +
         std::string(schema::kReceiptShare) +
         ") FROM THGoodSpec s INNER JOIN THDocument d ON d.IDC = s.DocID"
         " INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
         " WHERE t.IsStock = 1 AND t.IsIncome = 1 AND " +
         std::string(condition) + " GROUP BY " + std::string(schema::kGoodFixGroup);
}
std::pair<TotalKey, Totals> TotalsAt(const db::Statement& s) {
  return {TotalKey{s.GetText(0), IntAt(s, 1), IntAt(s, 2)},
          Totals{IntAt(s, 3), IntAt(s, 4), IntAt(s, 5), MoneyAt(s, 6), MoneyAt(s, 7)}};
}
constexpr std::string_view kTotalInsert =
    "INSERT INTO THGoodFixTotal (GoodCode, FixCategory, NullCodes, Receipts, Valued, Costed,"
    " Amount, Cost) VALUES (?, ?, ?, ?, ?, ?, ?, ?)";
constexpr std::string_view kTotalKeyWhere =
    " WHERE GoodCode = ? AND FixCategory = ? AND NullCodes = ?";

// Walks the kept facts and the facts the rows give, both in key order, and lists a kept fact
// with no row behind it, a fact of the rows not kept, and a kept fact that differs.
template <class Key, class Value>
void CompareKept(const std::map<Key, Value>& kept, const std::map<Key, Value>& from_rows,
                 StockFactDifference::Kind extra, StockFactDifference::Kind missing,
                 StockFactDifference::Kind wrong, std::vector<StockFactDifference>& found) {
  auto k = kept.begin();
  auto r = from_rows.begin();
  while (k != kept.end() || r != from_rows.end()) {
    if (r == from_rows.end() || (k != kept.end() && k->first < r->first)) {
      found.push_back({extra, Describe(k->first), Describe(k->second), "", true});
      ++k;
    } else if (k == kept.end() || r->first < k->first) {
      found.push_back({missing, Describe(r->first), "", Describe(r->second), true});
      ++r;
    } else {
      if (!(k->second == r->second)) {
        found.push_back(
            {wrong, Describe(k->first), Describe(k->second), Describe(r->second), true});
      }
      ++k;
      ++r;
    }
  }
}

}  // namespace

StockFacts::StockFacts(db::Connection& connection, std::string code)
    : connection_(connection), code_(std::move(code)) {}

StockFacts::StockFacts(const AppContext& book) : StockFacts(book.Connection(), book.Code()) {}

std::string StockFacts::Sql(std::string_view tsql) const {
  // The translations are the same for every book of a backend but the table prefix; a writer
  // of many links refreshes often, so each text is translated once per book and dialect.
  static thread_local std::map<std::tuple<std::string, std::string, std::string>, std::string>
      translated;
  auto key = std::make_tuple(code_, std::string(connection_.Dialect()), std::string(tsql));
  auto it = translated.find(key);
  if (it == translated.end()) {
    it = translated.emplace(std::move(key), schema::BackendSql(tsql, code_, connection_)).first;
  }
  return it->second;
}

void StockFacts::Refresh(const std::set<int64_t>& spec_ids) {
  if (spec_ids.empty() || schema::PlainStockSources()) return;
  db::StatementHandle sum = connection_.Prepare(Sql(kSumOfRow));
  const std::string update = Sql(kUpdate);
  const std::string insert = Sql(kInsert);
  const std::string remove = Sql(kDelete);
  for (int64_t id : spec_ids) {
    sum->Reset();
    sum->BindInt64(1, id);
    int64_t amount = 0;
    int64_t links = 0;
    if (sum->Step()) {
      amount = MoneyAt(*sum, 0);
      links = IntAt(*sum, 1);
    }
    if (links == 0) {
      connection_.Execute(remove, {db::Value(id)});
      continue;
    }
    const Currency value = Currency::FromScaled(amount);
    if (connection_.Execute(update, {db::Value(value), db::Value(id)}) == 0) {
      connection_.Execute(insert, {db::Value(id), db::Value(value)});
    }
  }
}

void StockFacts::AddConsumed(int64_t spec_id, const std::optional<Currency>& amount) {
  if (schema::PlainStockSources()) return;
  const Currency value = amount.value_or(Currency());
  if (connection_.Execute(Sql(kAdd), {db::Value(value), db::Value(spec_id)}) == 0) {
    connection_.Execute(Sql(kInsert), {db::Value(spec_id), db::Value(value)});
  }
}

void StockFacts::RefreshRests(const std::set<StoreGoodKey>& keys) {
  if (keys.empty() || schema::PlainStockSources()) return;
  const std::string update = Sql(kRestUpdate);
  const std::string insert = Sql(kRestInsert);
  const std::string remove = Sql(kRestDelete);
  for (const StoreGoodKey& key : keys) {
    // Each key is found through the rows' GoodCode index; NULL is matched as NULL.
    const std::string tsql = "SELECT COUNT(*), COUNT(s.AmountAccount), " +
                             std::string(schema::kStockMovementSum) +
                             std::string(kPostedStockRows) +
                             (key.store ? " AND d.StoreCode = ?" : " AND d.StoreCode IS NULL") +
                             (key.good ? " AND s.GoodCode = ?" : " AND s.GoodCode IS NULL");
    db::StatementHandle sum = connection_.Prepare(Sql(tsql));
    int n = 0;
    if (key.store) sum->BindText(++n, *key.store);
    if (key.good) sum->BindText(++n, *key.good);
    Movements m;
    if (sum->Step()) m = Movements{IntAt(*sum, 0), IntAt(*sum, 1), MoneyAt(*sum, 2)};
    const KeptKey k = Kept(key);
    const db::Value store(k.store);
    const db::Value good(k.good);
    const db::Value null_codes(k.null_codes);
    if (m.rows == 0) {
      connection_.Execute(remove, {store, good, null_codes});
      continue;
    }
    const db::Value rest(Currency::FromScaled(m.rest));
    if (connection_.Execute(
            update, {db::Value(m.rows), db::Value(m.valued), rest, store, good, null_codes}) == 0) {
      connection_.Execute(insert,
                          {store, good, null_codes, db::Value(m.rows), db::Value(m.valued), rest});
    }
  }
}

std::set<StoreGoodKey> StockFacts::RestKeysOfDocument(int64_t doc_id) {
  db::StatementHandle s = connection_.Prepare(
      Sql("SELECT DISTINCT d.StoreCode, s.GoodCode FROM THGoodSpec s"
          " INNER JOIN THDocument d ON d.IDC = s.DocID"
          " INNER JOIN THDocType t ON t.Code = d.DocTypeCode WHERE s.DocID = ? AND t.IsStock = 1"));
  s->BindInt64(1, doc_id);
  std::set<StoreGoodKey> keys;
  while (s->Step()) keys.insert(StoreGoodKey{TextOrNull(*s, 0), TextOrNull(*s, 1)});
  return keys;
}

std::optional<StoreGoodKey> StockFacts::RestKeyOfRow(int64_t spec_id) {
  db::StatementHandle s = connection_.Prepare(
      Sql("SELECT d.StoreCode, s.GoodCode" + std::string(kPostedStockRows) + " AND s.IDC = ?"));
  s->BindInt64(1, spec_id);
  if (!s->Step()) return std::nullopt;
  return StoreGoodKey{TextOrNull(*s, 0), TextOrNull(*s, 1)};
}

bool StockFacts::IsPostedStock(int64_t doc_id) {
  db::StatementHandle s = connection_.Prepare(
      Sql("SELECT 1 FROM THDocument d INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
          " WHERE d.IDC = ? AND d.IsPosted = 1 AND t.IsStock = 1"));
  s->BindInt64(1, doc_id);
  return s->Step();
}

StockFacts::HeaderState StockFacts::HeaderStateOf(int64_t doc_id) {
  db::StatementHandle s = connection_.Prepare(
      Sql("SELECT CASE WHEN d.IsPosted = 1 AND t.IsStock = 1 THEN 1 ELSE 0 END, d.StoreCode"
          " FROM THDocument d INNER JOIN THDocType t ON t.Code = d.DocTypeCode WHERE d.IDC = ?"));
  s->BindInt64(1, doc_id);
  if (!s->Step()) return HeaderState{};
  return HeaderState{IntAt(*s, 0) == 1, TextOrNull(*s, 1)};
}

void StockFacts::RefreshHeader(int64_t doc_id, const HeaderState& before) {
  if (schema::PlainStockSources()) return;
  const HeaderState after = HeaderStateOf(doc_id);
  if (after == before) return;
  // Posted or unposted: its receipts join the kept receipt totals or leave them, whatever its
  // store.
  if (after.posted_stock != before.posted_stock) {
    MoveReceiptTotals(doc_id, after.posted_stock ? 1 : -1);
  }
  if (after.store == before.store) {
    // Posted or unposted in the same store: its rows' movements join the kept rests or leave
    // them, without reading the other rows of its goods.
    MoveRests(doc_id, after.posted_stock ? 1 : -1);
    return;
  }
  std::set<StoreGoodKey> keys = RestKeysOfDocument(doc_id);
  if (before.store != after.store) {
    std::set<StoreGoodKey> moved;
    for (const StoreGoodKey& key : keys) moved.insert(StoreGoodKey{before.store, key.good});
    keys.insert(moved.begin(), moved.end());
  }
  RefreshRests(keys);
}

void StockFacts::MoveRests(int64_t doc_id, int sign) {
  std::vector<std::pair<KeptKey, Movements>> rows;
  {
    db::StatementHandle s = connection_.Prepare(
        Sql("SELECT " + std::string(schema::kStoreGoodKey) +
            ", COUNT(*), COUNT(s.AmountAccount), " + std::string(schema::kStockMovementSum) +
            " FROM THGoodSpec s INNER JOIN THDocument d ON d.IDC = s.DocID"
            " INNER JOIN THDocType t ON t.Code = d.DocTypeCode WHERE s.DocID = ? GROUP BY " +
            std::string(schema::kStoreGoodGroup)));
    s->BindInt64(1, doc_id);
    while (s->Step()) {
      rows.emplace_back(KeptKey{s->GetText(0), s->GetText(1), IntAt(*s, 2)},
                        Movements{IntAt(*s, 3), IntAt(*s, 4), MoneyAt(*s, 5)});
    }
  }
  const std::string add =
      Sql("UPDATE STStoreGoodRest SET Movements = Movements + ?, Valued = Valued + ?,"
          " Rest = Rest + ? WHERE StoreCode = ? AND GoodCode = ? AND NullCodes = ?");
  const std::string insert = Sql(kRestInsert);
  const std::string emptied =
      Sql("DELETE FROM STStoreGoodRest WHERE StoreCode = ? AND GoodCode = ? AND NullCodes = ?"
          " AND Movements = 0");
  for (const auto& [key, m] : rows) {
    const db::Value store(key.store);
    const db::Value good(key.good);
    const db::Value null_codes(key.null_codes);
    const db::Value count(sign * m.rows);
    const db::Value valued(sign * m.valued);
    const db::Value rest(Currency::FromScaled(sign * m.rest));
    if (connection_.Execute(add, {count, valued, rest, store, good, null_codes}) > 0) {
      if (sign < 0) connection_.Execute(emptied, {store, good, null_codes});
    } else if (sign > 0) {
      connection_.Execute(insert, {store, good, null_codes, count, valued, rest});
    } else {
      // Nothing kept to take the rows off: recompute what the rows say.
      RefreshRests({StoreGoodKey{key.null_codes & 1 ? std::nullopt : std::optional(key.store),
                                 key.null_codes & 2 ? std::nullopt : std::optional(key.good)}});
    }
  }
}

void StockFacts::MoveReceiptTotals(int64_t doc_id, int sign) {
  MoveTotals("s.DocID = ?", doc_id, sign);
}

void StockFacts::MoveReceiptRowTotals(int64_t spec_id, int sign) {
  MoveTotals("s.IDC = ?", spec_id, sign);
}

void StockFacts::MoveTotals(std::string_view condition, int64_t id, int sign) {
  if (schema::PlainStockSources()) return;
  std::vector<std::pair<TotalKey, Totals>> moved;
  {
    db::StatementHandle s = connection_.Prepare(Sql(ReceiptTotalsSql(condition)));
    s->BindInt64(1, id);
    while (s->Step()) moved.push_back(TotalsAt(*s));
  }
  const std::string add =
      Sql("UPDATE THGoodFixTotal SET Receipts = Receipts + ?, Valued = Valued + ?,"
          " Costed = Costed + ?, Amount = Amount + ?, Cost = Cost + ?" +
          std::string(kTotalKeyWhere));
  const std::string insert = Sql(kTotalInsert);
  const std::string emptied =
      Sql("DELETE FROM THGoodFixTotal" + std::string(kTotalKeyWhere) + " AND Receipts = 0");
  for (const auto& [key, t] : moved) {
    const db::Value good(key.good);
    const db::Value category(key.category);
    const db::Value null_codes(key.null_codes);
    const db::Value receipts(sign * t.receipts);
    const db::Value valued(sign * t.valued);
    const db::Value costed(sign * t.costed);
    const db::Value amount(Currency::FromScaled(sign * t.amount));
    const db::Value cost(Currency::FromScaled(sign * t.cost));
    if (connection_.Execute(
            add, {receipts, valued, costed, amount, cost, good, category, null_codes}) > 0) {
      if (sign < 0) connection_.Execute(emptied, {good, category, null_codes});
    } else if (sign > 0) {
      connection_.Execute(insert,
                          {good, category, null_codes, receipts, valued, costed, amount, cost});
    }
    // Otherwise, taking rows off a total that is not kept: the kept totals were wrong before this
    // write
    // (`qts book check` lists it and --repair rewrites them); there is nothing to take off.
  }
}

std::set<int64_t> StockFacts::ConsumedByDocument(int64_t doc_id) {
  db::StatementHandle s = connection_.Prepare(
      Sql("SELECT DISTINCT l.IncomeSpecID FROM THGoodSpecFixLog l"
          " INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID WHERE o.DocID = ?"));
  s->BindInt64(1, doc_id);
  std::set<int64_t> ids;
  while (s->Step()) ids.insert(IntAt(*s, 0));
  return ids;
}

std::set<int64_t> StockFacts::ConsumedByRow(int64_t spec_id) {
  db::StatementHandle s = connection_.Prepare(
      Sql("SELECT DISTINCT l.IncomeSpecID FROM THGoodSpecFixLog l WHERE l.OutcomeSpecID = ?"));
  s->BindInt64(1, spec_id);
  std::set<int64_t> ids;
  while (s->Step()) ids.insert(IntAt(*s, 0));
  return ids;
}

void StockFacts::Rebuild() {
  RebuildConsumption();
  RebuildRests();
  RebuildFixTotals();
}

void StockFacts::RebuildFixTotals() {
  std::vector<std::pair<TotalKey, Totals>> totals;
  {
    db::StatementHandle s = connection_.Prepare(Sql(ReceiptTotalsSql("d.IsPosted = 1")));
    while (s->Step()) totals.push_back(TotalsAt(*s));
  }
  connection_.Execute(Sql("DELETE FROM THGoodFixTotal"), {});
  db::StatementHandle insert = connection_.Prepare(Sql(kTotalInsert));
  for (const auto& [key, t] : totals) {
    insert->Reset();
    insert->BindText(1, key.good);
    insert->BindInt64(2, key.category);
    insert->BindInt64(3, key.null_codes);
    insert->BindInt64(4, t.receipts);
    insert->BindInt64(5, t.valued);
    insert->BindInt64(6, t.costed);
    insert->BindCurrency(7, Currency::FromScaled(t.amount));
    insert->BindCurrency(8, Currency::FromScaled(t.cost));
    insert->Run();
  }
}

void StockFacts::RebuildConsumption() {
  std::vector<std::pair<int64_t, int64_t>> sums;
  {
    db::StatementHandle s = connection_.Prepare(Sql(kSumOfAll));
    while (s->Step()) sums.emplace_back(IntAt(*s, 0), MoneyAt(*s, 1));
  }
  connection_.Execute(Sql("DELETE FROM THGoodSpecFixed"), {});
  db::StatementHandle insert = connection_.Prepare(Sql(kInsert));
  for (const auto& [id, amount] : sums) {
    insert->Reset();
    insert->BindInt64(1, id);
    insert->BindCurrency(2, Currency::FromScaled(amount));
    insert->Run();
  }
}

void StockFacts::RebuildRests() {
  const std::map<KeptKey, Movements> moved = PostedMovements(connection_, Sql(kMovementsOfAll));
  connection_.Execute(Sql("DELETE FROM STStoreGoodRest"), {});
  db::StatementHandle rest = connection_.Prepare(Sql(kRestInsert));
  for (const auto& [key, m] : moved) {
    rest->Reset();
    rest->BindText(1, key.store);
    rest->BindText(2, key.good);
    rest->BindInt64(3, key.null_codes);
    rest->BindInt64(4, m.rows);
    rest->BindInt64(5, m.valued);
    rest->BindCurrency(6, Currency::FromScaled(m.rest));
    rest->Run();
  }
}

std::vector<StockFactDifference> StockFacts::Check() {
  using Kind = StockFactDifference::Kind;
  std::vector<StockFactDifference> found;

  // The kept consumption against the links, row by row.
  std::map<int64_t, std::pair<int64_t, int64_t>> linked;  // row -> (links' sum, AmountAccount)
  {
    db::StatementHandle s = connection_.Prepare(Sql(kSumOfAll));
    while (s->Step()) linked[IntAt(*s, 0)] = {MoneyAt(*s, 1), MoneyAt(*s, 2)};
  }
  std::map<int64_t, int64_t> kept;
  {
    db::StatementHandle s = connection_.Prepare(Sql("SELECT SpecID, Amount FROM THGoodSpecFixed"));
    while (s->Step()) kept[IntAt(*s, 0)] = MoneyAt(*s, 1);
  }
  auto k = kept.begin();
  auto l = linked.begin();
  while (k != kept.end() || l != linked.end()) {
    if (l == linked.end() || (k != kept.end() && k->first < l->first)) {
      found.push_back(
          {Kind::kFixedExtra, fmt::format("row {}", k->first), Quantity(k->second), "", true});
      ++k;
    } else if (k == kept.end() || l->first < k->first) {
      found.push_back({Kind::kFixedMissing, fmt::format("row {}", l->first), "",
                       Quantity(l->second.first), true});
      ++l;
    } else {
      if (k->second != l->second.first) {
        found.push_back({Kind::kFixedWrong, fmt::format("row {}", k->first), Quantity(k->second),
                         Quantity(l->second.first), true});
      }
      ++k;
      ++l;
    }
  }
  for (const auto& [id, sum] : linked) {
    if (sum.first > sum.second) {
      found.push_back({Kind::kOverConsumed,
                       fmt::format("row {}: its links take {}, its AmountAccount is {}", id,
                                   Quantity(sum.first), Quantity(sum.second)),
                       Quantity(sum.second), Quantity(sum.first), false});
    }
  }

  // The kept rest of each store and good against the posted rows.
  {
    const std::map<KeptKey, Movements> moved = PostedMovements(connection_, Sql(kMovementsOfAll));
    std::map<KeptKey, Movements> kept_rests;
    db::StatementHandle s = connection_.Prepare(
        Sql("SELECT StoreCode, GoodCode, NullCodes, Movements, Valued, Rest FROM STStoreGoodRest"));
    while (s->Step()) {
      kept_rests[KeptKey{s->GetText(0), s->GetText(1), IntAt(*s, 2)}] =
          Movements{IntAt(*s, 3), IntAt(*s, 4), MoneyAt(*s, 5)};
    }
    CompareKept(kept_rests, moved, Kind::kRestExtra, Kind::kRestMissing, Kind::kRestWrong, found);
  }

  // The kept receipt totals of each good and fixing category against the posted receipts.
  {
    std::map<TotalKey, Totals> posted;
    {
      db::StatementHandle s = connection_.Prepare(Sql(ReceiptTotalsSql("d.IsPosted = 1")));
      while (s->Step()) posted.insert(TotalsAt(*s));
    }
    std::map<TotalKey, Totals> kept_totals;
    {
      db::StatementHandle s = connection_.Prepare(
          Sql("SELECT GoodCode, FixCategory, NullCodes, Receipts, Valued, Costed, Amount, Cost"
              " FROM THGoodFixTotal"));
      while (s->Step()) kept_totals.insert(TotalsAt(*s));
    }
    CompareKept(kept_totals, posted, Kind::kTotalExtra, Kind::kTotalMissing, Kind::kTotalWrong,
                found);
  }

  // Each lot's rest against the posted rows: incoming rows add their accounting quantity,
  // outgoing rows above 0 take it off, as posting does.
  using LotKey = std::tuple<int64_t, std::string, int64_t>;  // store, good, lot
  std::map<LotKey, int64_t> moved;
  {
    db::StatementHandle s =
        connection_.Prepare(Sql("SELECT st.IDC, s.GoodCode, COALESCE(s.LotPropertyID, 0),"
                                " SUM(CASE WHEN t.IsIncome = 1 THEN s.AmountAccount"
                                " WHEN s.AmountAccount > 0 THEN 0 - s.AmountAccount ELSE 0 END)"
                                " FROM THGoodSpec s INNER JOIN THDocument d ON d.IDC = s.DocID"
                                " INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
                                " INNER JOIN STStore st ON st.Code = d.StoreCode"
                                " WHERE d.IsPosted = 1 AND t.IsStock = 1 AND s.GoodCode <> ''"
                                " GROUP BY st.IDC, s.GoodCode, COALESCE(s.LotPropertyID, 0)"));
    while (s->Step()) moved[{IntAt(*s, 0), s->GetText(1), IntAt(*s, 2)}] = MoneyAt(*s, 3);
  }
  std::map<LotKey, int64_t> lots;
  {
    db::StatementHandle s = connection_.Prepare(
        Sql("SELECT StoreId, GoodCode, COALESCE(AnalytID, 0), SUM(RestAccount) FROM STLot"
            " GROUP BY StoreId, GoodCode, COALESCE(AnalytID, 0)"));
    while (s->Step()) lots[{IntAt(*s, 0), s->GetText(1), IntAt(*s, 2)}] = MoneyAt(*s, 3);
  }
  std::map<LotKey, std::pair<int64_t, int64_t>> both;  // (kept, moved)
  for (const auto& [key, rest] : lots) both[key].first = rest;
  for (const auto& [key, rest] : moved) both[key].second = rest;
  for (const auto& [key, rest] : both) {
    if (rest.first == rest.second) continue;
    const auto& [store, good, lot] = key;
    found.push_back({Kind::kLotWrong,
                     fmt::format("good \"{}\" lot {} in store {}: the lot keeps {}, the posted "
                                 "rows say {}",
                                 good, lot, store, Quantity(rest.first), Quantity(rest.second)),
                     Quantity(rest.first), Quantity(rest.second), false});
  }
  return found;
}

}  // namespace qts::host
