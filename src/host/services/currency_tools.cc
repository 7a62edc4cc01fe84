#include "host/services/currency_tools.h"

#include <cctype>

#include "core/convert.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"

namespace qts::host {
namespace {

constexpr const char* kSource = "CurrencyTools";

bool IsIdentifier(std::string_view text) {
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text.front()))) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

void Require(bool ok, std::string_view what) {
  if (!ok) throw Error(kErrInvalidCall, kSource, std::string(what));
}

}  // namespace

void CurrencyTools::Init(AppContextPtr app) {
  Require(app && app->IsOpen(), "Init: no open book given");
  app_ = std::move(app);
  rate_alias_.clear();
}

void CurrencyTools::CheckInit() const { Require(app_ != nullptr, "used before Init"); }

std::string CurrencyTools::AccountCurrency() const {
  CheckInit();
  const NamedValue* entry = app_->Settings().Find("AccountCurrency");
  if (entry == nullptr || entry->Value().IsNull() || entry->Value().IsEmpty()) return {};
  return CStr(entry->Value());
}

void CurrencyTools::AddRateJoin(const std::shared_ptr<Query>& query, std::string_view currency_expr,
                                std::string_view date_expr, std::string_view rate_alias,
                                std::string_view rate_column, bool outer, bool from_account) {
  CheckInit();
  Require(query != nullptr, "AddRateJoin: no query given");
  Require(!currency_expr.empty() && !date_expr.empty(),
          "AddRateJoin: the currency and the date expressions are required");
  const std::string alias = rate_alias.empty() ? "CurRate" : std::string(rate_alias);
  Require(IsIdentifier(alias), "AddRateJoin: '" + alias + "' is not an alias");
  Require(rate_column.empty() || IsIdentifier(rate_column),
          "AddRateJoin: '" + std::string(rate_column) + "' is not a column name");

  QueryPtr rates = app_->CreateQuery("REFCurrencyRate");
  rates->Fields().KeepOnly({});
  // The latest rate dated up to the day; the inner alias is derived from the join's so that it
  // cannot capture an alias the expressions name.
  const std::string latest = alias + "_Last";
  const std::string condition = alias + ".CurrencyCode = " + std::string(currency_expr) + " AND " +
                                alias + ".RateDate = (SELECT MAX(" + latest +
                                ".RateDate) FROM REFCurrencyRate " + latest + " WHERE " + latest +
                                ".CurrencyCode = " + std::string(currency_expr) + " AND " + latest +
                                ".RateDate <= " + std::string(date_expr) + ")";
  query->InnerJoin(rates, alias, condition, outer ? kJoinLeftOuter : kJoinInner);
  if (!rate_column.empty()) query->Fields().AddColumn(rate_column, Kind::kPrice, alias + ".Rate");
  rate_alias_ = alias;
  from_account_ = from_account;
}

std::string CurrencyTools::ConvertExpr(std::string_view alias, std::string_view amount_expr,
                                       std::string_view currency_column) const {
  CheckInit();
  Require(!rate_alias_.empty(), "ConvertExpr before AddRateJoin");
  Require(!amount_expr.empty() && !currency_column.empty(),
          "ConvertExpr: the amount and the currency column are required");
  const std::string currency = alias.empty()
                                   ? std::string(currency_column)
                                   : std::string(alias) + "." + std::string(currency_column);
  const std::string amount = "(" + std::string(amount_expr) + ")";
  const std::string rate = "NULLIF(" + rate_alias_ + ".Rate, 0)";
  const std::string converted = from_account_ ? amount + " * " + rate : amount + " / " + rate;
  return "CASE WHEN COALESCE(" + currency + ", '') IN ('', " +
         SqlTools::Instance()->SqlValue(Variant(AccountCurrency()), Kind::kCode) + ") THEN " +
         amount + " ELSE ROUND(" + converted + ", 2) END";
}

}  // namespace qts::host
