// CurrencyTools: exchange rates in queries. A book keeps the rate of each currency from a date
// on ("REFCurrencyRate": CurrencyCode, RateDate, Rate); Rate is the number of units of the
// currency that one unit of the accounting currency (the setting "AccountCurrency") buys, so
// an amount converts into the accounting currency as amount / Rate. The rate of a currency on
// a day is the one with the latest RateDate up to that day.
//
// AddRateJoin joins that rate into a query under an alias; ConvertExpr then writes the T-SQL
// that converts an amount of the query's rows. Both only add builder calls and text: the query
// is translated and run as any other.
#ifndef QTS_HOST_SERVICES_CURRENCY_TOOLS_H_
#define QTS_HOST_SERVICES_CURRENCY_TOOLS_H_

#include <memory>
#include <string>
#include <string_view>

#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class CurrencyTools : public virtual Object {
 public:
  std::string_view ClassName() const override { return "CurrencyTools"; }

  // Binds the object to a book (its accounting currency and rates). Error 5 (source
  // "CurrencyTools") for a null or closed book.
  void Init(AppContextPtr app);

  // Joins into `query` the rate of the currency `currency_expr` on the day `date_expr` (both
  // T-SQL over the query's aliases, "oTable.CurrencyCode", "oTable.DocumentDate").
  //   rate_alias   the join's alias; "" gives "CurRate". ConvertExpr uses the alias of the
  //                last join.
  //   rate_column  when not empty, the rate becomes a column of that name (Kind::kPrice).
  //   outer        True: a left join — rows without a rate stay (their rate is Null);
  //                False: an inner join — rows without a rate are dropped. Rows in the
  //                accounting currency convert without a rate either way, but an inner join
  //                keeps them only when the book has a rate row for that currency too.
  //   from_account False: ConvertExpr converts into the accounting currency (amount / Rate);
  //                True: from the accounting currency into the row's currency (amount * Rate).
  // Error 5 before Init, for a null query, empty expressions, or an alias that is not a plain
  // identifier; the query's own errors (an alias already used) propagate.
  void AddRateJoin(const std::shared_ptr<Query>& query, std::string_view currency_expr,
                   std::string_view date_expr, std::string_view rate_alias,
                   std::string_view rate_column, bool outer, bool from_account);

  // The T-SQL of `amount_expr` converted with the last joined rate, rounded to cents:
  // unchanged when `alias`.`currency_column` is Null, empty or the accounting currency; Null
  // when the row's currency has no rate on the day (or a zero rate). Error 5 before
  // AddRateJoin, or for empty arguments.
  [[nodiscard]] std::string ConvertExpr(std::string_view alias, std::string_view amount_expr,
                                        std::string_view currency_column) const;

  // The accounting currency of the book ("" when not set).
  [[nodiscard]] std::string AccountCurrency() const;

 private:
  void CheckInit() const;

  AppContextPtr app_;
  std::string rate_alias_;  // of the last join; empty before any
  bool from_account_ = false;
};

using CurrencyToolsPtr = std::shared_ptr<CurrencyTools>;

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_CURRENCY_TOOLS_H_
