// The kept stock facts of a book: what the stock sources would otherwise sum over the whole
// fix log on every call.
//
// "THGoodSpecFixed" holds, for every row that some link consumes (IncomeSpecID), the quantity
// all its links take together (accounting units). A row no link consumes has no kept row. A
// receipt row's not-fixed quantity is its AmountAccount minus that; its free quantity on a
// date D is that plus what the links dated after D take (found through the documents' date
// index, so a report on a recent date reads only the period's rows).
//
// Every writer of links keeps it in the writer's own transaction: posting and unposting
// (DocumentService), the fix-log object (a fuel write-off's links), deleting documents and rows
// (whose links the schema deletes with them), the sample generator (Rebuild) and the book copy
// (which copies the kept rows with every other table). Check recomputes it from the links and
// lists each difference, with the stock rules the links must follow.
//
// "STStoreGoodRest" holds, for every store and good that posted stock rows move, how many rows
// move it, how many of them have a quantity and the sum of their movements (incoming plus,
// outgoing minus AmountAccount), over every date. The rest on a date D is that less the rows
// dated after D (read through the documents' date index). Every writer of posted rows and
// headers keeps it the same way: posting and unposting (DocumentService, THDocument.Unpost),
// a header's change of store or posting (THDocument.Update), deleting documents and rows, a
// row written into a posted document (THGoodSpec), the sample generator and the book copy.
//
// "THGoodFixTotal" holds, for every good and fixing category of the receipt rows of posted
// incoming stock documents, how many receipts, how many with a quantity and with a cost share,
// and the sums of their AmountAccount and of their cost share as if nothing consumed them, over
// every date. The fixed rest on a date D is that less the receipts dated after D, corrected by
// the receipts some link consumes (THGoodSpecFixed). The same writers keep it: posting and
// unposting (the document's receipts join the totals or leave them), a row written into,
// changed in or deleted from a posted receipt document (its good, fixing category, quantity or
// cost), deleting a posted document, the sample generator and the book copy.
#ifndef QTS_HOST_DOCUMENTS_STOCK_FACTS_H_
#define QTS_HOST_DOCUMENTS_STOCK_FACTS_H_

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"

namespace qts::db {
class Connection;
}

namespace qts::host {

class AppContext;

// One thing the rows say and the kept facts (or the stock rules) do not.
struct StockFactDifference {
  enum class Kind {
    kFixedWrong,    // a kept consumption differs from its links' sum
    kFixedMissing,  // a consumed row has no kept consumption
    kFixedExtra,    // a kept consumption of a row no link consumes
    kOverConsumed,  // the links of a row take more than its AmountAccount
    kLotWrong,      // a lot's rest differs from the posted rows of its store, good and lot
    kRestWrong,     // a kept store rest differs from the posted rows of its store and good
    kRestMissing,   // posted rows move a store and good that has no kept rest
    kRestExtra,     // a kept rest of a store and good no posted row moves
    kTotalWrong,    // a kept receipt total differs from the posted receipts of its good
    kTotalMissing,  // posted receipts of a good and fixing category that has no kept total
    kTotalExtra,    // a kept receipt total of a good and fixing category no posted receipt has
  };
  Kind kind = Kind::kFixedWrong;
  std::string what;  // the row or lot concerned, in words (a broken rule: with both quantities)
  // What the book keeps and what the rows say ("" when nothing); for a broken rule, the
  // receipt's AmountAccount or the lot's rest, and the links' sum or the posted movements.
  std::string kept;
  std::string recomputed;
  bool repairable = false;  // Rebuild puts it right (the kept facts); otherwise the rows break a
                            // rule and a person must look
};

// A store and a good whose posted rows make a kept rest; either code may be NULL in the rows.
struct StoreGoodKey {
  std::optional<std::string> store;
  std::optional<std::string> good;
  auto operator<=>(const StoreGoodKey&) const = default;
};

class StockFacts {
 public:
  // Works on the tables of book `code` in `connection`; the caller owns the transaction.
  StockFacts(db::Connection& connection, std::string code);
  explicit StockFacts(const AppContext& book);

  // Recomputes the kept consumption of rows `spec_ids` from their links (a row whose links
  // are all gone loses its kept row). Call it after writing or deleting links of those rows.
  void Refresh(const std::set<int64_t>& spec_ids);
  // Adds what one new link takes (`amount`; nothing for NULL) to the kept consumption of row
  // `spec_id`: what Refresh would find, without summing the row's other links again. Call it
  // after writing the link.
  void AddConsumed(int64_t spec_id, const std::optional<Currency>& amount);
  // The rows consumed by the links of the outgoing rows of document `doc_id` (or of row
  // `spec_id`): what to Refresh after deleting them.
  [[nodiscard]] std::set<int64_t> ConsumedByDocument(int64_t doc_id);
  [[nodiscard]] std::set<int64_t> ConsumedByRow(int64_t spec_id);

  // Recomputes the kept rest of each store and good in `keys` from the posted rows (a key no
  // posted row moves any more loses its kept row). Call it after a write that posts or
  // unposts a stock document, changes its store, or writes or deletes rows of a posted one,
  // with the keys of the rows before the write and after it.
  void RefreshRests(const std::set<StoreGoodKey>& keys);
  // The store and goods of the rows of stock document `doc_id` (empty for another type).
  [[nodiscard]] std::set<StoreGoodKey> RestKeysOfDocument(int64_t doc_id);
  // The store and good of row `spec_id` when its document is a posted stock document.
  [[nodiscard]] std::optional<StoreGoodKey> RestKeyOfRow(int64_t spec_id);
  // Whether document `doc_id` is a posted stock document: what its rows' writes must keep.
  [[nodiscard]] bool IsPostedStock(int64_t doc_id);
  // What of a document's header the kept rests of its rows depend on: whether it is a posted
  // stock document, and its store.
  struct HeaderState {
    bool posted_stock = false;
    std::optional<std::string> store;
    bool operator==(const HeaderState&) const = default;
  };
  [[nodiscard]] HeaderState HeaderStateOf(int64_t doc_id);
  // After a write of document `doc_id`'s header that was `before`: when it was posted or
  // unposted in the same store, adds its rows' movements to the kept rests or takes them off;
  // when its store changed, refreshes the rests of its goods in the store it had and has.
  void RefreshHeader(int64_t doc_id, const HeaderState& before);

  // Adds (`sign` 1) or takes off (-1) what the rows of receipt document `doc_id` (or receipt
  // row `spec_id`) give the kept receipt totals of their goods and fixing categories; nothing
  // for rows of another type. Call it with -1 before a write that deletes or changes the rows
  // of a posted document, or unposts it, and with 1 after one that writes or posts them.
  void MoveReceiptTotals(int64_t doc_id, int sign);
  void MoveReceiptRowTotals(int64_t spec_id, int sign);

  // Rewrites every kept fact from the links and the posted rows: the kept consumption from the
  // links, the kept rests and receipt totals from the posted rows (each alone: a book upgraded
  // to the version that adds it).
  void Rebuild();
  void RebuildConsumption();
  void RebuildRests();
  void RebuildFixTotals();

  // Every difference between the kept facts and the links or posted rows, and every break of
  // the stock rules (links of a row never exceed its AmountAccount; each lot's rest is the
  // posted incoming minus outgoing quantities of its store, good and lot), in a fixed order.
  [[nodiscard]] std::vector<StockFactDifference> Check();

 private:
  // Adds (`sign` 1) or takes off (-1) the movements of document `doc_id`'s rows to the kept
  // rests of their store and goods.
  void MoveRests(int64_t doc_id, int sign);
  // MoveReceiptTotals over the receipt rows `condition` (T-SQL over "s", one parameter) picks.
  void MoveTotals(std::string_view condition, int64_t id, int sign);

  // The statement `tsql` (T-SQL over the book's logical names) as the backend runs it.
  std::string Sql(std::string_view tsql) const;

  db::Connection& connection_;
  std::string code_;
};

}  // namespace qts::host

#endif  // QTS_HOST_DOCUMENTS_STOCK_FACTS_H_
