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
// Every consumed row with its links' sum and its own accounting quantity.
constexpr std::string_view kSumOfAll =
    "SELECT l.IncomeSpecID, SUM(l.Amount), s.AmountAccount FROM THGoodSpecFixLog l"
    " INNER JOIN THGoodSpec s ON s.IDC = l.IncomeSpecID"
    " GROUP BY l.IncomeSpecID, s.AmountAccount";

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
      found.push_back({Kind::kFixedExtra, fmt::format("row {}", k->first),
                       Quantity(k->second), "", true});
      ++k;
    } else if (k == kept.end() || l->first < k->first) {
      found.push_back({Kind::kFixedMissing, fmt::format("row {}", l->first), "",
                       Quantity(l->second.first), true});
      ++l;
    } else {
      if (k->second != l->second.first) {
        found.push_back({Kind::kFixedWrong, fmt::format("row {}", k->first),
                         Quantity(k->second), Quantity(l->second.first), true});
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
