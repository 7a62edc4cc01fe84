#include "engine/calculator.h"

#include <fmt/format.h>

#include "core/convert.h"
#include "core/error.h"
#include "core/operators.h"
#include "frame/catalogue.h"
#include "host/data/common_tools.h"
#include "host/data/named_value_list.h"

namespace qts::engine {

using host::Kind;

namespace {

constexpr std::string_view kSource = "CMCalculator";

const std::vector<std::string>& TriggerColumns(int32_t variant) {
  static const std::vector<std::string> kNone;
  static const std::vector<std::string> kDocIn = {"Price", "Amount", "BOperCode", "Summa"};
  static const std::vector<std::string> kEquip = {"Price", "AmountAccount", "AddFld.AmountForDRate",
                                                  "IDC", "AddFld.DirectCost"};
  static const std::vector<std::string> kOper = {"Price",
                                                 "Amount",
                                                 "AmountAccount",
                                                 "CostSumm",
                                                 "AddFld.OpSum",
                                                 "AddFld.AmountForRate",
                                                 "AddFld.NormTime",
                                                 "AddFld.SD1Proc",
                                                 "AddFld.VSDProc",
                                                 "AddFld.IsOnTimeRate",
                                                 "AddFld.WorkKind",
                                                 "IDC",
                                                 "AddFld.DirectCost"};
  static const std::vector<std::string> kSimple = {"GoodCode", "Price", "Amount", "LotPropertyID"};
  switch (variant) {
    case enCalcDocIn:
      return kDocIn;
    case enCalcEquip:
      return kEquip;
    case enCalcOper:
      return kOper;
    case enCalcSimple:
      return kSimple;
    default:
      return kNone;
  }
}

const Variant& Col(const host::NamedValueList& row, std::string_view name) {
  return row.Item(name).Value();
}

[[noreturn]] void ThrowNull(std::string_view what) {
  throw Error(kErrInvalidUseOfNull, std::string(kSource),
              fmt::format("Invalid use of Null: {} has no value", what));
}

// `value` as Currency; `what` names the column(s) it came from for the error of a Null.
Currency ToCurrency(const Variant& value, std::string_view what) {
  if (value.IsNull()) ThrowNull(what);
  return CCur(value);
}

// The host's rounding of `value` (converted to Currency first) to `digits` places.
Currency Rounded(const Variant& value, int digits, std::string_view what) {
  if (value.IsNull()) ThrowNull(what);
  return host::CommonTools::Instance()->RoundCy(value, digits);
}

bool IsZero(const Variant& value) { return IsTrue(Eq(value, Variant(int32_t{0}))); }

const Variant kZero{int32_t{0}};
const Variant kHundred{int32_t{100}};

}  // namespace

CMCalculator::CMCalculator() : m_Changed(std::make_shared<host::NamedValueList>()) {
  m_Changed->Add("Summa", Kind::kMoney);

  using K = InvokeKind;
  table_
      .Add("Init", K::kMethod,
           [this](std::vector<Variant>& a) {
             if (a.empty()) {
               throw Error(kErrInvalidCall, std::string(kSource),
                           "argument not optional: Init takes the calculation variant");
             }
             Init(CLng(a[0]));
             return Variant();
           })
      .Add("CalcSpecColumns", K::kMethod, [this](std::vector<Variant>& a) {
        if (a.empty()) {
          throw Error(kErrInvalidCall, std::string(kSource),
                      "argument not optional: CalcSpecColumns takes the row's columns");
        }
        auto as_list = [](const Variant& v) -> host::NamedValueListPtr {
          if (v.IsNothing() || v.IsEmpty()) return nullptr;
          if (!v.IsObject()) throw Error(kErrTypeMismatch, std::string(kSource));
          auto list = std::dynamic_pointer_cast<host::NamedValueList>(v.AsObject());
          if (!list) throw Error(kErrTypeMismatch, std::string(kSource));
          return list;
        };
        std::string change = CStr(ArgOr(a, 1, Variant("GoodCode")));
        return Variant(std::static_pointer_cast<Object>(
            CalcSpecColumns(as_list(a[0]), change, as_list(ArgOr(a, 2, Variant::Nothing())))));
      });
}

void CMCalculator::Init(int32_t theCalcVariant) {
  calc_variant_ = theCalcVariant;
  m_SColCalc = TriggerColumns(theCalcVariant);
  if (theCalcVariant == enCalcDocIn && !m_Changed->ExistsField("BOperCode")) {
    m_Changed->Add("BOperCode", Kind::kString);
  } else if (theCalcVariant == enCalcOper && !m_Changed->ExistsField("Price")) {
    m_Changed->Add("Price", Kind::kPrice);
  }
}

std::vector<std::string> CMCalculator::SColCalc() const { return m_SColCalc; }

void CMCalculator::SetChanged(std::string_view name, const Variant& value) {
  if (host::NamedValue* entry = m_Changed->Find(name)) {
    entry->SetValue(value);
  } else {
    m_Changed->Add(name, Kind::kPrice, value);
  }
}

const Variant& CMCalculator::Changed(std::string_view name) const {
  return m_Changed->Item(name).Value();
}

host::NamedValueListPtr CMCalculator::CalcSpecColumns(const host::NamedValueListPtr& oColumns,
                                                      std::string_view ChangeFld,
                                                      const host::NamedValueListPtr& /*oParms*/) {
  m_Changed->ClearValues();
  if (!oColumns) throw Error(kErrObjectRequired, std::string(kSource), "oColumns is Nothing");
  const host::NamedValueList& row = *oColumns;

  switch (calc_variant_) {
    case enCalcDocIn:
      CalcDocIn(row, ChangeFld);
      break;
    case enCalcEquip:
      CalcEquip(row);
      break;
    case enCalcOper:
      CalcOper(row, ChangeFld);
      break;
    case enCalcSimple:
      CalcSimple(row);
      break;
    default:
      break;
  }
  return m_Changed;
}

// Sum from price and amount, or -- when the user typed the sum -- the unit price from it.
void CMCalculator::CalcDocIn(const host::NamedValueList& row, std::string_view change_fld) {
  host::NamedValue& summa = m_Changed->Item("Summa");
  if (change_fld != "Summa") {
    summa.SetValue(Rounded(Mul(Col(row, "Price"), Col(row, "Amount")), 2, "Price x Amount"));
    SetChanged("Price", Col(row, "Price"));
  } else {
    const Variant& amount = Col(row, "Amount");
    if (IsTrue(Ne(amount, kZero))) {
      SetChanged("Price", Rounded(Div(Col(row, "Summa"), amount), 4, "Summa / Amount"));
    }
    summa.SetValue(Col(row, "Summa"));
  }
  SetChanged("CostSumm", summa.Value());
  m_Changed->Item("BOperCode").SetValue(Col(row, "BOperCode"));
}

// Sum of a rate-based row: price per rate quantity times the accounted quantity.
void CMCalculator::CalcEquip(const host::NamedValueList& row) {
  const Variant& for_rate = Col(row, "AddFld.AmountForDRate");
  Currency divisor = IsZero(for_rate) ? ToCurrency(Col(row, "AmountAccount"), "AmountAccount")
                                      : ToCurrency(for_rate, "AddFld.AmountForDRate");
  host::NamedValue& summa = m_Changed->Item("Summa");
  if (divisor == Currency()) {
    summa.SetValue(Currency());
  } else {
    summa.SetValue(Rounded(Div(Mul(Col(row, "Price"), Col(row, "AmountAccount")), divisor), 2,
                           "Price x AmountAccount / AddFld.AmountForDRate"));
  }
}

// Operation rows: the operation sum, the norm-time sum, the two surcharges and their total.
void CMCalculator::CalcOper(const host::NamedValueList& row, std::string_view change_fld) {
  // The rate divisor: the quantity the rate is given for, or the accounted quantity when the
  // rate names none; 0 for a row without the column. Only operation rows use it, so rows of
  // the other variants never fail over it.
  Currency divisor;
  const host::NamedValue* for_rate = row.Find("AddFld.AmountForRate");
  if (for_rate) {
    divisor = IsZero(for_rate->Value()) ? ToCurrency(Col(row, "AmountAccount"), "AmountAccount")
                                        : ToCurrency(for_rate->Value(), "AddFld.AmountForRate");
  }
  SetChanged("AddFld.AmountForRate", for_rate ? for_rate->Value() : Variant());

  const bool has_divisor = divisor != Currency();
  if (change_fld != "AddFld.OpSum") {
    Currency op_sum;
    if (IsTrue(Gt(Col(row, "AddFld.IsOnTimeRate"), kZero))) {
      op_sum = Rounded(Mul(Col(row, "CostSumm"), Col(row, "Price")), 2, "CostSumm x Price");
    } else if (has_divisor) {
      op_sum = Rounded(Mul(Col(row, "Price"), Div(Col(row, "AmountAccount"), Variant(divisor))), 2,
                       "Price x AmountAccount");
    }
    SetChanged("AddFld.OpSum", op_sum);
  } else {
    SetChanged("AddFld.OpSum", Col(row, "AddFld.OpSum"));
  }

  if (change_fld != "AddFld.NormTimeSum") {
    Currency norm_time_sum;
    if (has_divisor) {
      norm_time_sum = Rounded(
          Mul(Col(row, "AddFld.NormTime"), Div(Col(row, "AmountAccount"), Variant(divisor))), 3,
          "AddFld.NormTime x AmountAccount");
    }
    SetChanged("AddFld.NormTimeSum", norm_time_sum);
  }

  const Variant op_sum = Changed("AddFld.OpSum");
  SetChanged("AddFld.SD1Summa", Rounded(Div(Mul(op_sum, Col(row, "AddFld.SD1Proc")), kHundred), 2,
                                        "AddFld.OpSum x AddFld.SD1Proc"));
  SetChanged("AddFld.VSDSumma", Rounded(Div(Mul(op_sum, Col(row, "AddFld.VSDProc")), kHundred), 2,
                                        "AddFld.OpSum x AddFld.VSDProc"));
  if (change_fld == "Summa") return;

  m_Changed->Item("Summa").SetValue(
      Add(Add(op_sum, Changed("AddFld.SD1Summa")), Changed("AddFld.VSDSumma")));
  m_Changed->Item("Price").SetValue(Col(row, "Price"));
}

void CMCalculator::CalcSimple(const host::NamedValueList& row) {
  m_Changed->Item("Summa").SetValue(
      Rounded(Mul(Col(row, "Price"), Col(row, "Amount")), 2, "Price x Amount"));
}

Variant CMCalculator::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

namespace {
const frame::ClassRegistrar kCMCalculator("CMCalculator", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CMCalculator>());
});
}  // namespace

}  // namespace qts::engine
