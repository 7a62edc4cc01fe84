#include "host/services/good_entry.h"

#include <fmt/format.h>

#include <cmath>
#include <string>
#include <vector>

#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/recordset.h"
#include "host/schema/schema.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "GoodEntry";
constexpr int32_t kNullable = adFldIsNullable | adFldMayBeNull;

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrGoodEntry, std::string(kSource), std::move(description));
}

std::string TextAt(const db::Statement& s, int column) {
  return s.ColumnKind(column) == db::ValueKind::kNull ? std::string() : s.GetText(column);
}
int32_t IntAt(const db::Statement& s, int column) {
  return s.ColumnKind(column) == db::ValueKind::kNull ? 0
                                                      : static_cast<int32_t>(s.GetInt64(column));
}
// A stored quantity or rate; `if_null` when the column holds no value.
double NumberAt(const db::Statement& s, int column, double if_null) {
  return s.ColumnKind(column) == db::ValueKind::kNull ? if_null : s.GetCurrency(column).ToDouble();
}

// One component of a product for a given product quantity.
struct Component {
  std::string good;
  std::string name;
  std::string unit;          // the material row's unit (the accounting unit when it has none)
  std::string account_unit;  // the component's accounting unit
  double amount = 0;         // in `unit`
  double rate = 1;           // accounting units in one `unit`
  double direct_cost = 0;
  double indirect_cost = 0;
};

}  // namespace

void GoodEntry::Init(AppContextPtr book) {
  book_ = std::move(book);
  Clear();
}

AppContext& GoodEntry::Book() const {
  if (!book_) Fail("the catalogue entry has no book (Init was not called)");
  return *book_;
}

void GoodEntry::Clear() {
  code_.clear();
  name_.clear();
  parent_code_.clear();
  is_group_ = false;
  category_ = 0;
  sub_category_ = 0;
  tracking_off_ = false;
  tracking_kind_ = 0;
  account_unit_.clear();
}

bool GoodEntry::Load(std::string_view code) {
  AppContext& book = Book();
  Clear();
  if (code.empty()) return false;
  db::StatementHandle s = book.PrepareTsql(
      "SELECT Code, Name, ParentCode, IsGroup, Category, SubCategory, TrackingOff, TrackingKind"
      " FROM REFGood WHERE Code = ?");
  s->BindText(1, code);
  if (!s->Step()) return false;
  code_ = s->GetText(0);
  name_ = TextAt(*s, 1);
  parent_code_ = TextAt(*s, 2);
  is_group_ = IntAt(*s, 3) != 0;
  category_ = IntAt(*s, 4);
  sub_category_ = IntAt(*s, 5);
  tracking_off_ = IntAt(*s, 6) != 0;
  tracking_kind_ = IntAt(*s, 7);
  db::StatementHandle u = book.PrepareTsql(
      "SELECT UnitCode FROM REFGoodUnit WHERE GoodCode = ? AND IsAccount = 1 ORDER BY IDC");
  u->BindText(1, code_);
  if (u->Step()) account_unit_ = TextAt(*u, 0);
  return true;
}

std::optional<Currency> GoodEntry::UnitRate(std::string_view unit) const {
  if (code_.empty()) return std::nullopt;
  AppContext& book = Book();
  db::StatementHandle s =
      book.PrepareTsql("SELECT Rate FROM REFGoodUnit WHERE GoodCode = ? AND UnitCode = ?");
  s->BindText(1, code_);
  s->BindText(2, unit);
  if (!s->Step()) return std::nullopt;
  return s->IsNull(0) ? Currency::FromLong(1) : s->GetCurrency(0);
}

Currency GoodEntry::ToAccount(std::string_view unit, Currency amount) const {
  std::optional<Currency> rate = UnitRate(unit);
  if (!rate) Fail(fmt::format("good \"{}\" has no unit \"{}\"", code_, unit));
  return amount * *rate;
}

namespace {

// The components of product `product` for `account_amount` of it in its accounting unit.
std::vector<Component> Components(AppContext& book, const std::string& product,
                                  const std::string& product_account_unit, double account_amount) {
  db::StatementHandle s = book.PrepareTsql(
      "SELECT m.GoodCode, g.Name, m.UnitCode, au.UnitCode, ru.Rate, m.Amount, m.DirectCost,"
      " m.InDirectCost, pu.Rate, m.ProductUnitCode FROM REFGoodMaterial m"
      " LEFT JOIN REFGood g ON g.Code = m.GoodCode"
      " LEFT JOIN REFGoodUnit au ON au.GoodCode = m.GoodCode AND au.IsAccount = 1"
      " LEFT JOIN REFGoodUnit ru ON ru.GoodCode = m.GoodCode AND ru.UnitCode = m.UnitCode"
      " LEFT JOIN REFGoodUnit pu ON pu.GoodCode = m.ProductCode AND pu.UnitCode = m.ProductUnitCode"
      " WHERE m.ProductCode = ? ORDER BY m.IDC");
  s->BindText(1, product);
  std::vector<Component> list;
  while (s->Step()) {
    Component c;
    c.good = s->GetText(0);
    c.name = TextAt(*s, 1);
    c.account_unit = TextAt(*s, 3);
    c.unit = TextAt(*s, 2);
    const bool has_unit = !c.unit.empty();
    if (!has_unit) c.unit = c.account_unit;
    if (has_unit && s->ColumnKind(4) == db::ValueKind::kNull) {
      // The component is counted in a unit it does not list: its quantity cannot be put into
      // accounting units, so the list is refused rather than written with a guessed rate.
      Fail(fmt::format("component \"{}\" of \"{}\" has no unit \"{}\"", c.good, product, c.unit));
    }
    c.rate = has_unit ? NumberAt(*s, 4, 1.0) : 1.0;
    // Product units per accounting unit: the material rows are per one product unit.
    const std::string product_unit = TextAt(*s, 9);
    double product_rate = 1.0;
    if (!product_unit.empty() && product_unit != product_account_unit) {
      if (s->ColumnKind(8) == db::ValueKind::kNull) {
        Fail(fmt::format("product \"{}\" has no unit \"{}\"", product, product_unit));
      }
      product_rate = NumberAt(*s, 8, 1.0);
    }
    const double products = product_rate == 0 ? 0 : account_amount / product_rate;
    c.amount = NumberAt(*s, 5, 0.0) * products;
    c.direct_cost = NumberAt(*s, 6, 0.0) * products;
    c.indirect_cost = NumberAt(*s, 7, 0.0) * products;
    list.push_back(std::move(c));
  }
  return list;
}

}  // namespace

RecordsetPtr GoodEntry::MaterialList(std::string_view unit, Currency amount) {
  if (code_.empty()) Fail("no good is loaded");
  const Currency account_amount = ToAccount(unit, amount);
  std::vector<Component> parts =
      Components(Book(), code_, account_unit_, account_amount.ToDouble());
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("Good", adVarWChar, 0, kNullable);
  rs->Fields().Append("UnitCode", adVarWChar, 0, kNullable);
  rs->Fields().Append("AccountAmount", adCurrency, 0, kNullable);
  rs->Fields().Append("Name", adVarWChar, 0, kNullable);
  rs->Open();
  for (const Component& c : parts) {
    rs->AddNew({"Good", "UnitCode", "AccountAmount", "Name"},
               {Variant(c.good), Variant(c.account_unit),
                Variant(Currency::FromDouble(c.amount * c.rate)), Variant(c.name)});
  }
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

namespace {

// The price of kind `kind` of `good` in `unit` valid on `date`: the latest dated up to it, a
// price without date counting as always valid. nullopt when there is none.
std::optional<double> PriceOf(AppContext& book, const std::string& good, const std::string& unit,
                              std::string_view kind, Date date) {
  db::StatementHandle s = book.PrepareTsql(
      "SELECT Price FROM REFGoodPrice WHERE GoodCode = ? AND UnitCode = ? AND PriceKind = ?"
      " AND (PriceDate IS NULL OR PriceDate <= ?)"
      " ORDER BY CASE WHEN PriceDate IS NULL THEN 0 ELSE 1 END DESC, PriceDate DESC, IDC DESC");
  s->BindText(1, good);
  s->BindText(2, unit);
  s->BindText(3, kind);
  s->BindText(4, date.ToIso());
  if (!s->Step()) return std::nullopt;
  return NumberAt(*s, 0, 0.0);
}

}  // namespace

RecordsetPtr GoodEntry::PricedMaterialList(std::string_view unit, Currency amount,
                                           std::string_view price_kind, Date date) {
  if (code_.empty()) Fail("no good is loaded");
  const Currency account_amount = ToAccount(unit, amount);
  AppContext& book = Book();
  std::vector<Component> parts = Components(book, code_, account_unit_, account_amount.ToDouble());
  auto rs = std::make_shared<Recordset>();
  for (const char* name : {"Good", "UnitCode"}) rs->Fields().Append(name, adVarWChar, 0, kNullable);
  for (const char* name : {"Amount", "AccountAmount", "Price", "DirectCost", "InDirectCost"}) {
    rs->Fields().Append(name, adCurrency, 0, kNullable);
  }
  rs->Fields().Append("Name", adVarWChar, 0, kNullable);
  rs->Open();
  for (const Component& c : parts) {
    std::optional<double> price = PriceOf(book, c.good, c.unit, price_kind, date);
    if (!price && c.unit != c.account_unit) {
      std::optional<double> base = PriceOf(book, c.good, c.account_unit, price_kind, date);
      if (base) price = *base * c.rate;
    }
    rs->AddNew({"Good", "UnitCode", "Amount", "AccountAmount", "Price", "DirectCost",
                "InDirectCost", "Name"},
               {Variant(c.good), Variant(c.unit), Variant(Currency::FromDouble(c.amount)),
                Variant(Currency::FromDouble(c.amount * c.rate)),
                Variant(Currency::FromDouble(price.value_or(0.0))),
                Variant(Currency::FromDouble(c.direct_cost)),
                Variant(Currency::FromDouble(c.indirect_cost)), Variant(c.name)});
  }
  if (rs->RecordCount() > 0) rs->MoveFirst();
  return rs;
}

}  // namespace qts::host
