#include "host/services/vehicle.h"

#include <cmath>

#include "core/convert.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"

namespace qts::host {
namespace {

SqlTools& Tools() { return *SqlTools::Instance(); }

std::string Text(const Variant& v) { return v.IsNull() || v.IsEmpty() ? std::string() : CStr(v); }
int32_t Long(const Variant& v) { return v.IsNull() || v.IsEmpty() ? 0 : CLng(v); }

}  // namespace

void Vehicle::Init(AppContextPtr app) {
  if (!app || !app->IsOpen()) throw Error(kErrInvalidCall, "Vehicle", "Init: no open book given");
  app_ = std::move(app);
  (void)Load("");
}

bool Vehicle::Load(std::string_view code) {
  if (!app_) throw Error(kErrInvalidCall, "Vehicle", "Load before Init");
  code_.clear();
  name_.clear();
  store_code_.clear();
  fuel_lot_ = gas_lot_ = 0;
  if (code.empty()) return false;
  QueryPtr q = app_->CreateQuery("REFVehicle");
  q->Fields().KeepOnly({"Code", "Name", "LotPropertyID", "GasLotPropertyID", "StoreCode"});
  q->AddWhere(Tools().Condition(q->Fields().Item("Code"), kOpEqual, Variant(code)));
  q->Open();
  if (q->Eof()) return false;
  const NamedValueList& row = q->Fields();
  code_ = Text(row.Item("Code").Value());
  name_ = Text(row.Item("Name").Value());
  store_code_ = Text(row.Item("StoreCode").Value());
  fuel_lot_ = Long(row.Item("LotPropertyID").Value());
  gas_lot_ = Long(row.Item("GasLotPropertyID").Value());
  return true;
}

void Vehicle::CheckLoaded() const {
  if (code_.empty()) throw Error(kErrInvalidCall, "Vehicle", "no vehicle loaded");
}

std::vector<int32_t> Vehicle::Lots(bool with_gas) const {
  std::vector<int32_t> lots;
  if (fuel_lot_ != 0) lots.push_back(fuel_lot_);
  if (with_gas && gas_lot_ != 0 && gas_lot_ != fuel_lot_) lots.push_back(gas_lot_);
  return lots;
}

std::string Vehicle::LotCondition(std::string_view expression, const std::vector<int32_t>& lots) {
  if (lots.empty()) return "1 = 0";
  std::vector<Variant> values;
  for (int32_t lot : lots) values.emplace_back(lot);
  return std::string(expression) + " IN (" + Tools().ValueList(Kind::kLongId, values) + ")";
}

std::shared_ptr<Query> Vehicle::RestList(int32_t what, std::string_view good_code,
                                         std::string_view store_code, int32_t lot_property) {
  CheckLoaded();
  if (what != kVehicleRestFuel && what != kVehicleRestFuelAndGas) {
    throw Error(kErrInvalidCall, "Vehicle",
                "RestList: list kind " + std::to_string(what) + " is neither 1 (fuel) nor 2 " +
                    "(fuel and gas)");
  }
  const std::vector<int32_t> lots =
      lot_property >= 0 ? std::vector<int32_t>{lot_property} : Lots(what == kVehicleRestFuelAndGas);
  // Every receipt and every link, whatever its date: the rests as they stand.
  QueryPtr q = app_->CreateQuery("THGoodSpecFreeRest");
  q->Parameters().Item("DateRest").SetValue(Variant(Date::FromYmd(9999, 12, 31)));
  const std::string a = q->Alias();
  NamedValueList& f = q->Fields();
  f.KeepOnly({"SpecID", "DocID", "DocumentDate", "StoreCode", "GoodCode"});
  f.AddColumn("GoodName", Kind::kName, "G.Name");
  f.AddColumn("UnitCode", Kind::kCode, a + ".UnitCode");
  f.AddColumn("LotPropertyID", Kind::kLongId, a + ".LotPropertyID");
  f.AddColumn("SubCategory", Kind::kLongId, "G.SubCategory");
  f.AddColumn("Rest", Kind::kQuantity,
              "CASE WHEN " + a + ".AmountAccount = 0 THEN 0 ELSE ROUND(" + a + ".FreeAmount * " +
                  a + ".Amount / " + a + ".AmountAccount, 4) END");
  f.AddColumn("RestAccount", Kind::kQuantity, "ROUND(" + a + ".FreeAmount, 4)");
  f.AddColumn("CalcRestAccount", Kind::kQuantity, "ROUND(" + a + ".FreeAmount, 4)");
  std::vector<std::string> conditions = {LotCondition(a + ".LotPropertyID", lots),
                                         "ROUND(" + a + ".FreeAmount, 4) > 0"};
  if (!good_code.empty()) {
    conditions.push_back(
        Tools().ColumnCondition(a + ".GoodCode", Kind::kCode, kOpEqual, Variant(good_code)));
  }
  if (!store_code.empty()) {
    conditions.push_back(
        Tools().ColumnCondition(a + ".StoreCode", Kind::kCode, kOpEqual, Variant(store_code)));
  }
  q->AddWhere(Tools().JoinConditions(kJoinAnd, conditions));
  q->OrderBy("DocumentDate, SpecID");
  q->Open();
  return q;
}

std::shared_ptr<Query> Vehicle::IncomeSince(Date since, int32_t parent_idc) {
  return Income(&since, parent_idc);
}

std::shared_ptr<Query> Vehicle::IncomeList() { return Income(nullptr, 0); }

std::shared_ptr<Query> Vehicle::Income(const Date* since, int32_t parent_idc) {
  CheckLoaded();
  QueryPtr q = app_->CreateQuery("THGoodSpec");
  const std::string a = q->Alias();
  QueryPtr doc = app_->CreateQuery("THDocument");
  QueryPtr type = app_->CreateQuery("THDocType");
  doc->Fields().KeepOnly({});
  type->Fields().KeepOnly({});
  q->InnerJoin(doc, "d", "d.IDC = " + a + ".DocID");
  q->InnerJoin(type, "t", "t.Code = d.DocTypeCode");

  std::string links =
      "SELECT SUM(l.Amount) FROM THGoodSpecFixLog l"
      " INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID"
      " INNER JOIN THDocument od ON od.IDC = o.DocID"
      " WHERE l.IncomeSpecID = " +
      a + ".IDC";
  if (parent_idc != 0) {
    links +=
        " AND COALESCE(od.ParentID, 0) <> " + Tools().SqlValue(Variant(parent_idc), Kind::kLongId);
  }
  NamedValueList& f = q->Fields();
  f.Clear();
  f.AddColumn("SpecID", Kind::kRowId, a + ".IDC");
  f.AddColumn("DocID", Kind::kLongId, a + ".DocID");
  f.AddColumn("DocumentDate", Kind::kDate, "d.DocumentDate");
  f.AddColumn("StoreCode", Kind::kCode, "d.StoreCode");
  f.AddColumn("GoodCode", Kind::kCode, a + ".GoodCode");
  f.AddColumn("UnitCode", Kind::kCode, a + ".UnitCode");
  f.AddColumn("LotPropertyID", Kind::kLongId, a + ".LotPropertyID");
  f.AddColumn("SubCategory", Kind::kLongId, "G.SubCategory");
  f.AddColumn("AmountAccount", Kind::kQuantity, a + ".AmountAccount");
  f.AddColumn("RestAmount", Kind::kQuantity,
              "ROUND(" + a + ".AmountAccount - COALESCE((" + links + "), 0), 4)");
  f.AddColumn("Client", Kind::kCode,
              "(SELECT MIN(p.PartyCode) FROM THPartyAttribute p WHERE p.DocID = " + a +
                  ".DocID AND p.RolePartyCode = 'PAR')");
  f.AddColumn("CountryCode", Kind::kCode, a + ".CountryCode");

  std::vector<std::string> conditions = {"d.IsPosted = 1", "t.IsStock = 1", "t.IsIncome = 1",
                                         LotCondition(a + ".LotPropertyID", Lots(true))};
  if (since != nullptr) {
    conditions.push_back(Tools().ColumnCondition("d.DocumentDate", Kind::kDate, kOpGreaterOrEqual,
                                                 Variant(Date(std::floor(since->Serial())))));
  }
  q->AddWhere(Tools().JoinConditions(kJoinAnd, conditions));
  q->OrderBy("DocumentDate, SpecID");
  q->Open();
  return q;
}

}  // namespace qts::host
