#include "host/services/document_service.h"

#include <fmt/format.h>

#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/currency.h"
#include "core/decimal.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/stock_facts.h"
#include "host/documents/th_document.h"
#include "host/sample/fifo_ledger.h"
#include "host/schema/schema.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "DocumentService";

[[noreturn]] void Fail(int32_t number, std::string description) {
  throw Error(number, std::string(kSource), std::move(description));
}

std::string Quantity(int64_t scaled) { return Currency::FromScaled(scaled).ToString(); }
Decimal Exact(int64_t scaled) { return Decimal::FromCurrency(Currency::FromScaled(scaled)); }

std::string TextAt(const db::Statement& s, int column) {
  return s.ColumnKind(column) == db::ValueKind::kNull ? std::string() : s.GetText(column);
}
int64_t IntAt(const db::Statement& s, int column) {
  return s.ColumnKind(column) == db::ValueKind::kNull ? 0 : s.GetInt64(column);
}
// A money or quantity column in ten-thousandths; 0 for NULL.
int64_t MoneyAt(const db::Statement& s, int column) {
  return s.ColumnKind(column) == db::ValueKind::kNull ? 0 : s.GetCurrency(column).Scaled();
}

struct Header {
  int32_t idc = 0;
  std::string type;
  std::string number;
  std::string date;  // ISO
  std::string store;
  std::string currency;
  bool posted = false;
  bool is_stock = false;
  bool is_income = false;
};

Header ReadHeader(AppContext& book, int32_t idc) {
  db::StatementHandle s = book.PrepareTsql(
      "SELECT d.DocTypeCode, d.Number, d.DocumentDate, d.StoreCode, d.IsPosted, t.IsStock,"
      " t.IsIncome, d.CurrencyCode FROM THDocument d LEFT JOIN THDocType t"
      " ON t.Code = d.DocTypeCode WHERE d.IDC = ?");
  s->BindInt64(1, idc);
  if (!s->Step()) Fail(kErrDocumentService, fmt::format("the book has no document {}", idc));
  Header h;
  h.idc = idc;
  h.type = TextAt(*s, 0);
  h.number = TextAt(*s, 1);
  h.date = TextAt(*s, 2);
  h.store = TextAt(*s, 3);
  h.posted = IntAt(*s, 4) != 0;
  h.is_stock = IntAt(*s, 5) != 0;
  h.is_income = IntAt(*s, 6) != 0;
  h.currency = TextAt(*s, 7);
  return h;
}

std::string Describe(const Header& h) { return fmt::format("document {} {}", h.type, h.number); }

// Sets the document's posting and keeps the stock rests of its store and goods.
void SetPosted(AppContext& book, int32_t idc, bool posted) {
  StockFacts facts(book);
  const StockFacts::HeaderState before = facts.HeaderStateOf(idc);
  book.ExecuteTsql("UPDATE THDocument SET IsPosted = ? WHERE IDC = ?",
                   {int64_t{posted ? 1 : 0}, int64_t{idc}});
  facts.RefreshHeader(idc, before);
}

// Adds `delta` (ten-thousandths, either sign) to the lot of `good` and lot `lot` in `store`.
void AdjustLot(AppContext& book, const std::string& store, const std::string& good, int64_t lot,
               int64_t delta) {
  if (delta == 0) return;
  int64_t store_id = 0;
  {
    db::StatementHandle s = book.PrepareTsql("SELECT IDC FROM STStore WHERE Code = ?");
    s->BindText(1, store);
    if (!s->Step()) Fail(kErrDocumentService, fmt::format("the book has no store \"{}\"", store));
    store_id = s->GetInt64(0);
  }
  const Currency amount = Currency::FromScaled(delta);
  const int64_t changed = book.ExecuteTsql(
      "UPDATE STLot SET RestAccount = COALESCE(RestAccount, 0) + ?, Rest = COALESCE(Rest, 0) + ?"
      " WHERE StoreId = ? AND GoodCode = ? AND COALESCE(AnalytID, 0) = ?",
      {amount, amount, store_id, good, lot});
  if (changed > 0) return;
  std::string unit;
  {
    db::StatementHandle s = book.PrepareTsql(
        "SELECT UnitCode FROM REFGoodUnit WHERE GoodCode = ? AND IsAccount = 1 ORDER BY IDC");
    s->BindText(1, good);
    if (s->Step()) unit = TextAt(*s, 0);
  }
  book.ExecuteTsql(
      "INSERT INTO STLot (GoodCode, UnitCode, StoreId, AnalytID, Rest, RestAccount)"
      " VALUES (?, ?, ?, ?, ?, ?)",
      {good, unit.empty() ? db::Value() : db::Value(unit), store_id, lot, amount, amount});
}

struct Row {
  int64_t idc = 0;
  int64_t pos = 0;
  std::string good;
  int64_t lot = 0;
  int64_t quantity = 0;  // ten-thousandths of the accounting unit
};

std::vector<Row> ReadRows(AppContext& book, int32_t doc_id) {
  db::StatementHandle s = book.PrepareTsql(
      "SELECT IDC, PosNumb, GoodCode, LotPropertyID, AmountAccount FROM THGoodSpec"
      " WHERE DocID = ? ORDER BY PosNumb");
  s->BindInt64(1, doc_id);
  std::vector<Row> rows;
  while (s->Step()) {
    rows.push_back(Row{IntAt(*s, 0), IntAt(*s, 1), TextAt(*s, 2), IntAt(*s, 3), MoneyAt(*s, 4)});
  }
  return rows;
}

// Puts the receipts that rows of `good` and lot `lot` may consume into `ledger`: rows of posted
// incoming stock documents of `h.store` dated up to `h.date`, oldest first, each with what no
// link has taken from it (links of any date, so a receipt is never taken beyond its quantity
// even when later documents already consumed it).
// A receipt row's quantity and cost, both in ten-thousandths.
struct ReceiptValue {
  int64_t quantity = 0;
  int64_t cost = 0;
};

void LoadReceipts(AppContext& book, const Header& h, const std::string& good, int64_t lot,
                  sample::FifoLedger& ledger, std::map<int64_t, ReceiptValue>& receipts) {
  // What every link took from a receipt is kept (StockFacts); without the kept facts, the
  // links are summed.
  db::StatementHandle s = book.PrepareTsql(
      std::string("SELECT s.IDC, s.AmountAccount, s.CostSumm, ") +
      (schema::PlainStockSources()
           ? "COALESCE((SELECT SUM(l.Amount) FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = s.IDC),"
             " 0)"
           : "COALESCE(k.Amount, 0)") +
      " FROM THGoodSpec s INNER JOIN THDocument d ON d.IDC = s.DocID"
      " INNER JOIN THDocType ty ON ty.Code = d.DocTypeCode" +
      (schema::PlainStockSources() ? "" : " LEFT JOIN THGoodSpecFixed k ON k.SpecID = s.IDC") +
      " WHERE d.IsPosted = 1 AND ty.IsStock = 1 AND ty.IsIncome = 1 AND d.StoreCode = ?"
      " AND s.GoodCode = ? AND COALESCE(s.LotPropertyID, 0) = ? AND d.DocumentDate <= ?"
      " ORDER BY d.DocumentDate, s.IDC");
  s->BindText(1, h.store);
  s->BindText(2, good);
  s->BindInt64(3, lot);
  s->BindText(4, h.date);
  while (s->Step()) {
    const int64_t quantity = MoneyAt(*s, 1);
    const int64_t free = quantity - MoneyAt(*s, 3);
    if (quantity <= 0 || free <= 0) continue;
    // The ledger only finds the receipts a row consumes; CostOf prices the links exactly from
    // the receipts' own quantity and cost.
    ledger.AddReceipt(h.store, good, lot, IntAt(*s, 0), free, 0.0);
    receipts[IntAt(*s, 0)] = ReceiptValue{quantity, MoneyAt(*s, 2)};
  }
}

// The cost of an outgoing row: the sum of receipt CostSumm x taken / receipt AmountAccount
// over the receipts it consumed, rounded to cents half away from zero (as RoundCy rounds), in
// the book's decimal arithmetic (core/decimal.h): a share that ends exactly on half a cent
// (17.64 x 17 / 24 + 7.64 = 20.135) rounds up.
Currency CostOf(const std::vector<std::pair<int64_t, const ReceiptValue*>>& consumed) {
  Decimal sum;
  for (const auto& [taken, receipt] : consumed) {
    if (receipt->quantity == 0) continue;
    sum = sum + Exact(receipt->cost) * Exact(taken) / Exact(receipt->quantity);
  }
  return sum.Round(2).ToCurrency();
}

// The links the rows of document `doc_id` have before posting, by row: a fuel write-off
// links its rows to the receipts the fuel came from. Posting takes them as part of the row's
// consumption and keeps them. Each comes with its receipt's quantity and cost.
struct OwnLink {
  int64_t quantity = 0;  // ten-thousandths
  ReceiptValue receipt;
};

std::map<int64_t, std::vector<OwnLink>> ReadOwnLinks(AppContext& book, int32_t doc_id) {
  db::StatementHandle s = book.PrepareTsql(
      "SELECT l.OutcomeSpecID, SUM(l.Amount), i.AmountAccount, i.CostSumm FROM THGoodSpecFixLog l "
      "INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID INNER JOIN THGoodSpec i ON i.IDC = "
      "l.IncomeSpecID WHERE o.DocID = ? AND COALESCE(l.Type, 0) <> 0"
      " GROUP BY l.OutcomeSpecID, l.IncomeSpecID, i.AmountAccount, i.CostSumm");
  s->BindInt64(1, doc_id);
  std::map<int64_t, std::vector<OwnLink>> links;
  while (s->Step()) {
    links[IntAt(*s, 0)].push_back(
        OwnLink{MoneyAt(*s, 1), ReceiptValue{MoneyAt(*s, 2), MoneyAt(*s, 3)}});
  }
  return links;
}

void PostOutgoing(AppContext& book, const Header& h) {
  if (h.store.empty()) {
    Fail(kErrDocumentService, Describe(h) + " has no store; stock cannot leave it");
  }
  std::vector<Row> rows = ReadRows(book, h.idc);
  sample::FifoLedger ledger;
  std::map<int64_t, ReceiptValue> receipts;
  std::map<std::pair<std::string, int64_t>, bool> loaded;
  struct Posting {
    const Row* row;
    std::vector<sample::FifoLedger::Link> links;
  };
  std::vector<Posting> postings;
  const std::map<int64_t, std::vector<OwnLink>> own = ReadOwnLinks(book, h.idc);
  const auto own_links = [&](int64_t row) -> const std::vector<OwnLink>* {
    auto it = own.find(row);
    return it == own.end() ? nullptr : &it->second;
  };
  // Everything is consumed in memory first: a short row stops the posting before anything is
  // written. A row takes from the receipts only what its own links do not cover.
  for (const Row& r : rows) {
    if (r.good.empty() || r.quantity <= 0) continue;
    int64_t needed = r.quantity;
    if (const std::vector<OwnLink>* links = own_links(r.idc)) {
      for (const OwnLink& l : *links) needed -= l.quantity;
    }
    if (needed <= 0) {
      postings.push_back(Posting{&r, {}});
      continue;
    }
    auto key = std::make_pair(r.good, r.lot);
    if (!loaded[key]) {
      LoadReceipts(book, h, r.good, r.lot, ledger, receipts);
      loaded[key] = true;
    }
    const int64_t free = ledger.Free(h.store, r.good, r.lot);
    if (free < needed) {
      Fail(kErrStockShort,
           fmt::format("{} row {}: {} of good \"{}\" lot {} needed in store \"{}\" on {}, {} free",
                       Describe(h), r.pos, Quantity(needed), r.good, r.lot, h.store, h.date,
                       Quantity(free)));
    }
    postings.push_back(Posting{&r, ledger.Consume(h.store, r.good, r.lot, needed)});
  }
  constexpr std::string_view insert_link =
      "INSERT INTO THGoodSpecFixLog (GoodCode, OutcomeSpecID, IncomeSpecID, Amount, Type)"
      " VALUES (?, ?, ?, ?, 0)";
  constexpr std::string_view set_cost = "UPDATE THGoodSpec SET CostSumm = ? WHERE IDC = ?";
  std::set<int64_t> consumed_receipts;
  for (const Posting& p : postings) {
    std::vector<std::pair<int64_t, const ReceiptValue*>> consumed;
    if (const std::vector<OwnLink>* links = own_links(p.row->idc)) {
      for (const OwnLink& l : *links) consumed.emplace_back(l.quantity, &l.receipt);
    }
    for (const sample::FifoLedger::Link& l : p.links) {
      book.ExecuteTsql(insert_link, {p.row->good, p.row->idc, l.income_spec_id,
                                     Currency::FromScaled(l.quantity)});
      consumed.emplace_back(l.quantity, &receipts.at(l.income_spec_id));
      consumed_receipts.insert(l.income_spec_id);
    }
    book.ExecuteTsql(set_cost, {CostOf(consumed), p.row->idc});
    AdjustLot(book, h.store, p.row->good, p.row->lot, -p.row->quantity);
  }
  StockFacts(book).Refresh(consumed_receipts);
}

void PostIncoming(AppContext& book, const Header& h) {
  if (h.store.empty()) {
    Fail(kErrDocumentService, Describe(h) + " has no store; stock cannot enter it");
  }
  // Costs are kept in the accounting currency: a receipt in another currency costs its sum
  // divided by the currency's rate on the document's date, rounded to cents.
  int64_t rate = Currency::kScale;  // ten-thousandths
  const NamedValueList& settings = book.Settings();
  const std::string account =
      settings.ExistsField("AccountCurrency") ? CStr(settings.Item("AccountCurrency").Value()) : "";
  if (!h.currency.empty() && !account.empty() && h.currency != account) {
    db::StatementHandle s = book.PrepareTsql(
        "SELECT TOP 1 r.Rate FROM REFCurrencyRate r WHERE r.CurrencyCode = ? AND r.RateDate <= ?"
        " ORDER BY r.RateDate DESC");
    s->BindText(1, h.currency);
    s->BindText(2, h.date.substr(0, 10));
    if (!s->Step() || MoneyAt(*s, 0) <= 0) {
      Fail(kErrDocumentService,
           fmt::format("{} is in {}, which has no rate on {}: its cost cannot "
                       "be put in {}",
                       Describe(h), h.currency, h.date.substr(0, 10), account));
    }
    rate = MoneyAt(*s, 0);
  }
  if (rate == Currency::kScale) {
    book.ExecuteTsql("UPDATE THGoodSpec SET CostSumm = Summa WHERE DocID = ?", {int64_t{h.idc}});
  } else {
    std::vector<std::pair<int64_t, Currency>> costs;
    {
      db::StatementHandle s = book.PrepareTsql("SELECT IDC, Summa FROM THGoodSpec WHERE DocID = ?");
      s->BindInt64(1, h.idc);
      while (s->Step()) {
        costs.emplace_back(IntAt(*s, 0),
                           (Exact(MoneyAt(*s, 1)) / Exact(rate)).Round(2).ToCurrency());
      }
    }
    db::StatementHandle set = book.PrepareTsql("UPDATE THGoodSpec SET CostSumm = ? WHERE IDC = ?");
    for (const auto& [idc, cost] : costs) {
      set->BindCurrency(1, cost);
      set->BindInt64(2, idc);
      set->Run();
      set->Reset();
    }
  }
  for (const Row& r : ReadRows(book, h.idc)) {
    if (!r.good.empty()) AdjustLot(book, h.store, r.good, r.lot, r.quantity);
  }
}

// Takes the links posting made back and returns the rows' quantities (all their links) to the
// lots.
void UnpostOutgoing(AppContext& book, const Header& h) {
  std::map<std::pair<std::string, int64_t>, int64_t> returned;
  {
    db::StatementHandle s = book.PrepareTsql(
        "SELECT o.GoodCode, COALESCE(o.LotPropertyID, 0), SUM(l.Amount) FROM THGoodSpecFixLog l"
        " INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID WHERE o.DocID = ?"
        " GROUP BY o.GoodCode, COALESCE(o.LotPropertyID, 0)");
    s->BindInt64(1, h.idc);
    while (s->Step()) returned[{TextAt(*s, 0), IntAt(*s, 1)}] += MoneyAt(*s, 2);
  }
  // Only the links posting made go; the rows' own links (a fuel write-off's) stay with them.
  StockFacts facts(book);
  const std::set<int64_t> consumed = facts.ConsumedByDocument(h.idc);
  book.ExecuteTsql(
      "DELETE FROM THGoodSpecFixLog WHERE COALESCE(Type, 0) = 0"
      " AND OutcomeSpecID IN (SELECT IDC FROM THGoodSpec WHERE DocID = ?)",
      {int64_t{h.idc}});
  facts.Refresh(consumed);
  if (h.store.empty()) return;
  for (const auto& [key, quantity] : returned) {
    if (!key.first.empty()) AdjustLot(book, h.store, key.first, key.second, quantity);
  }
}

void UnpostIncoming(AppContext& book, const Header& h) {
  db::StatementHandle s = book.PrepareTsql(
      "SELECT od.DocTypeCode, od.Number FROM THGoodSpecFixLog l"
      " INNER JOIN THGoodSpec s ON s.IDC = l.IncomeSpecID"
      " INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID"
      " INNER JOIN THDocument od ON od.IDC = o.DocID WHERE s.DocID = ?"
      " ORDER BY od.DocumentDate, od.IDC");
  s->BindInt64(1, h.idc);
  if (s->Step()) {
    Fail(kErrDocumentService,
         fmt::format("{} cannot be unposted: document {} {} consumed its stock", Describe(h),
                     TextAt(*s, 0), TextAt(*s, 1)));
  }
  if (h.store.empty()) return;
  for (const Row& r : ReadRows(book, h.idc)) {
    if (!r.good.empty()) AdjustLot(book, h.store, r.good, r.lot, -r.quantity);
  }
}

}  // namespace

void DocumentService::Init(AppContextPtr book, THDocumentPtr document) {
  document_ = std::move(document);
  book_ = book ? std::move(book) : (document_ ? document_->Application() : nullptr);
}

AppContext& DocumentService::Book() const {
  if (!book_) Fail(kErrDocumentService, "the document service has no book (Init was not called)");
  return *book_;
}

int32_t DocumentService::StoredId() const {
  if (!document_) Fail(kErrDocumentService, "the document service has no document");
  const Variant& idc = document_->Fields().Item("IDC").Value();
  const int32_t id = idc.IsNull() || idc.IsEmpty() ? 0 : CLng(idc);
  if (id == 0) Fail(kErrDocumentService, "the document is not stored yet");
  return id;
}

void DocumentService::OpenDoc(bool reload) {
  AppContext& book = Book();
  const int32_t id = StoredId();
  {
    db::Transaction transaction(book.Connection());
    const Header h = ReadHeader(book, id);
    if (!h.posted) return;
    if (h.is_stock) {
      if (h.is_income) {
        UnpostIncoming(book, h);
      } else {
        UnpostOutgoing(book, h);
      }
    }
    SetPosted(book, id, false);
    transaction.Commit();
  }
  if (reload) document_->Load(id);
}

void DocumentService::CloseDoc(const Variant& /*value*/, bool reload) {
  AppContext& book = Book();
  const int32_t id = StoredId();
  {
    db::Transaction transaction(book.Connection());
    const Header h = ReadHeader(book, id);
    if (h.posted && (!h.is_stock || h.is_income)) return;
    if (h.is_stock) {
      if (h.is_income) {
        PostIncoming(book, h);
      } else {
        if (h.posted) UnpostOutgoing(book, h);
        PostOutgoing(book, h);
      }
    }
    SetPosted(book, id, true);
    transaction.Commit();
  }
  if (reload) document_->Load(id);
}

std::string DocumentService::PersonOfRole(std::string_view role, int32_t party_kind) {
  AppContext& book = Book();
  if (!document_) Fail(kErrDocumentService, "the document service has no document");
  const Variant& idc = document_->Fields().Item("IDC").Value();
  const int32_t id = idc.IsNull() || idc.IsEmpty() ? 0 : CLng(idc);
  if (id != 0) {
    db::StatementHandle s = book.PrepareTsql(
        "SELECT PartyCode FROM THPartyAttribute WHERE DocID = ? AND RolePartyCode = ?"
        " AND COALESCE(PartyKind, 1) = ? AND PartyCode IS NOT NULL ORDER BY IDC");
    s->BindInt64(1, id);
    s->BindText(2, role);
    s->BindInt64(3, party_kind);
    if (s->Step()) return s->GetText(0);
  }
  if (party_kind != kPartyPerson) return {};
  static const std::vector<std::pair<std::string_view, std::string_view>> kColumns = {
      {"KP", "PersonHead"}, {"KN1", "Person1"}, {"KN2", "Person2"},    {"KN3", "Person3"},
      {"AA", "PersonAA"},   {"DB", "Gavejas"},  {"CH", "Kontrolerius"}};
  for (const auto& [code, column] : kColumns) {
    if (code == role) {
      const Variant& v = document_->Fields().Item(column).Value();
      return v.IsNull() || v.IsEmpty() ? std::string() : CStr(v);
    }
  }
  return {};
}

void DocumentService::SetPersonOfRole(std::string_view role, std::string_view code) {
  AppContext& book = Book();
  const int32_t id = StoredId();
  db::Transaction transaction(book.Connection());
  book.ExecuteTsql(
      "DELETE FROM THPartyAttribute WHERE DocID = ? AND RolePartyCode = ?"
      " AND COALESCE(PartyKind, ?) = ?",
      {int64_t{id}, role, int64_t{kPartyClient}, int64_t{kPartyPerson}});
  if (!code.empty()) {
    book.ExecuteTsql(
        "INSERT INTO THPartyAttribute (DocID, RolePartyCode, PartyCode, PartyKind)"
        " VALUES (?, ?, ?, ?)",
        {int64_t{id}, role, code, int64_t{kPartyPerson}});
  }
  transaction.Commit();
}

}  // namespace qts::host
