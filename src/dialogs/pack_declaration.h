// The packaging declaration computation: how many tonnes of packaging material the enterprise
// put on the market in a period, split by where the packaging came from and where it went,
// computed from the posted stock documents of the period with the host's query builder.
//
// The query. Four row lists of stock documents share one column list (AddCommonColumns) and
// are joined by UNION ALL under the alias "D":
//   1 sales     outgoing trade documents and sales of products ("TPPR"); each sold row gives one
//               row per income link (the linked quantity in units, with the income document's
//               VAT direction) and one remainder row (the accounting quantity no link covers);
//   2 purchases trade documents: incoming rows under VAT direction 10, 20 or none count, every
//               outgoing row counts negative, so the list nets what was bought and not sold;
//   3 content   packaging inside products: the rows of sales of products that are transport
//               packaging (type 3) or that pack goods bought under VAT direction 10 or 20 and
//               sold under another;
//   4 returns   reusable packaging coming back: rows of incoming trade documents that name a
//               customer (party role "CUST") -- a customer returning what it was sold in.
// Only goods of category 0 take part, only goods units whose reusable flag is the
// declaration's, only posted documents dated in the period. The union is summed (its Amount)
// per row of equal other columns; beside it every declaration column ("f502" ... "f513",
// "f602" ... "f609", DeclarationColumns) is the sum of a weight in tonnes -- the goods' own
// weight (material) or their gross weight less it (packaging), Amount x weight / the weight
// unit's divisor (G 1,000,000, KG 1,000, T 1; any other unit weighs 0), rounded to 4 places
// per union row -- over the rows its conditions take. A last wrap keeps the rows where some
// column is not zero, ordered by material kind, type, good and unit.
//
// VAT directions. "NOT D.x IN ('10', '20')" is written as the server reads it, with its
// three-valued logic: a row whose VAT direction is missing (NULL: a remainder row, a row
// linked to an income that is not a purchase invoice) is neither in the list nor not in it,
// so a column that asks for NOT IN does not take it. SQLite and PostgreSQL read NOT and IN
// the same way; the translator emits them unchanged (docs/packaging-declaration.md).
//
// Errors of the query builder and the translator propagate to the caller.
#ifndef QTS_DIALOGS_PACK_DECLARATION_H_
#define QTS_DIALOGS_PACK_DECLARATION_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "core/date.h"
#include "host/data/query.h"
#include "host/fwd.h"

namespace qts::dialogs {

// The row lists of the union.
inline constexpr int32_t kListSales = 1;
inline constexpr int32_t kListPurchases = 2;
inline constexpr int32_t kListContent = 3;
inline constexpr int32_t kListReturns = 4;

// One declaration column: the row list it reads, the document category (0 trade documents, 1
// sales of products), the packaging block, the VAT-direction condition and the weight.
enum class PackBlock { kSub80, kType1, kType23 };
enum class PackOrigin { kDomestic, kForeign, kAny };
enum class VatRule { kNone, kNotIn, kNotOutAndIn, kOut, kNotOut };
struct DeclarationColumn {
  const char* name;
  int32_t list;
  int32_t category;
  PackBlock block;
  bool reusable;
  PackOrigin origin;
  VatRule vat;
  bool material;  // the goods' own weight; otherwise the packaging's
  // The amount of a saved declaration row the column is read back from ("AmountB" ... "AmountG":
  // SaleManufactAmount, SaleImportAmount, ExportAmount, NotSaleAmount, UsedPackInSaleAmount,
  // ReturnAmount): a row's amount is the last non-zero of the columns that map to it.
  const char* saved;
};

// "f502" ... "f513", "f602" ... "f609", in the order the query adds them.
std::span<const DeclarationColumn> DeclarationColumns();

// The six amounts of a declaration row (tonnes), taken from one result row.
struct PackAmounts {
  Currency sale_manufact;  // "SaleManufactAmount"  f502
  Currency sale_import;    // "SaleImportAmount"    LastNonZero(f503, f508, f509, f604, f605)
  Currency export_amount;  // "ExportAmount"        LastNonZero(f504, f510, f511, f606, f607)
  Currency not_sale;       // "NotSaleAmount"       LastNonZero(f505, f512, f513)
  Currency used_in_sale;   // "UsedPackInSaleAmount" LastNonZero(f506, f507, f602, f603)
  Currency returned;       // "ReturnAmount"        LastNonZero(f608, f609), reusable only
};
// The amounts of the current row of an open declaration query; with `reusable` False the
// returned amount stays 0.
PackAmounts AmountsOf(const host::NamedValueList& row, bool reusable);

// Scanning from the last value to the first, the first that is not 0; 0 when all are.
Currency LastNonZero(std::span<const Currency> values);

// The column's goods conditions over the alias D (sub-category 80 or the packaging type, the
// reusable flag, the origin), joined with AND: what the declaration report splits the saved
// amounts by.
std::string BlockCondition(const DeclarationColumn& column);

// "CASE WHEN " + condition + " THEN " + then + " ELSE " + otherwise + " END".
std::string CaseWhen(std::string_view condition, std::string_view then, std::string_view otherwise);

// The declaration of one period and reusable flag over a book.
class PackDeclaration {
 public:
  PackDeclaration(host::AppContextPtr book, Date begin, Date end, bool reusable);

  // The whole query (above), opened.
  [[nodiscard]] host::QueryPtr BuildDeclarationQuery() const;
  // The same, not opened: its T-SQL is what the fill runs.
  [[nodiscard]] host::QueryPtr DeclarationQuery() const;

  // The row lists, not opened.
  [[nodiscard]] host::QueryPtr SalesList() const;
  [[nodiscard]] host::QueryPtr PurchaseList() const;
  [[nodiscard]] host::QueryPtr ContentList() const;
  [[nodiscard]] host::QueryPtr ReturnList() const;

  // The union's columns, in order, with their expressions for list `list` (Amount, Category
  // and the VAT directions as `amount`, `category`, `out_vat`, `inc_vat`).
  static void AddCommonColumns(host::NamedValueList& columns, int32_t list,
                               std::string_view doc_type, std::string_view amount,
                               std::string_view category, std::string_view out_vat,
                               std::string_view inc_vat);

 private:
  // A query over `table` under `alias` with no columns of its own.
  host::QueryPtr Source(std::string_view table, std::string_view alias) const;
  // The documents of the period, posted, with their rows, goods units and goods joined.
  host::QueryPtr Documents() const;
  std::string PeriodCondition() const;

  host::AppContextPtr book_;
  Date begin_;
  Date end_;
  bool reusable_;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_PACK_DECLARATION_H_
