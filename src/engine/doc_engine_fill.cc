// CMDocSupport: the specification filling from the product's material list and from the
// manufacturing charts of the order's products, and the step processes that run it.
#include <memory>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/error.h"
#include "core/operators.h"
#include "engine/doc_engine.h"
#include "frame/define_module.h"
#include "host/data/app_context.h"
#include "host/data/common_tools.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/services/good_entry.h"
#include "host/services/message_table.h"
#include "host/ui/mouse_pointer.h"
#include "host/ui/step_runner.h"

namespace qts::engine {

using host::Kind;

namespace {

constexpr std::string_view kPriceKindSC = "SC";
constexpr std::string_view kTypeEquipmentCost = "MAE";

// A value the platform's "<> 0" takes as True: Null and Empty are not.
bool NonZero(const Variant& value) { return IsTrue(Ne(value, Variant(int32_t{0}))); }
bool IsZero(const Variant& value) { return IsTrue(Eq(value, Variant(int32_t{0}))); }

const Variant& Col(host::NamedValueList& row, std::string_view name) {
  return row.Item(name).Value();
}

void Set(host::NamedValueList& row, std::string_view name, Variant value) {
  row.Item(name).SetValue(std::move(value));
}

// A column added to a query's list, summed when the query groups.
void AddColumn(host::Query& q, std::string_view name, host::Kind kind, std::string_view expression,
               int32_t aggregate = host::kAggregateNone) {
  q.Fields().AddColumn(name, kind, expression).SetAggregate(aggregate);
}

}  // namespace

// ---- Step processes ----

// The engine's half of the pointer handling: the first call saves the screen's pointer and
// shows the default one, the next puts the saved pointer back.
void CMDocSupport::TogglePointer() {
  if (m_SavedPointer == -1) {
    m_SavedPointer = static_cast<int16_t>(host::CurrentMousePointer());
    host::SetMousePointer(host::MousePointer::kDefault);
  } else {
    host::SetMousePointer(static_cast<host::MousePointer>(m_SavedPointer));
    m_SavedPointer = -1;
  }
}

// Runs the prepared step process in one transaction on the book. The pointer is toggled back
// however the run ends, so that a failed run does not leave the engine holding a saved pointer
// (the next run would then restore instead of save).
void CMDocSupport::RunSteps() {
  host::AppContextPtr book = RequireBook();
  TogglePointer();
  struct ToggleBack {
    CMDocSupport* engine;
    ~ToggleBack() { engine->TogglePointer(); }
  } toggle_back{this};
  host::StepRunner runner;
  runner.Run(*this, &book->Connection());
}

void CMDocSupport::RunStepsOver(std::shared_ptr<host::Query> rows, int32_t kind) {
  if (rows->RecordCount() == 0) return;
  rows->MoveFirst();
  m_DoList = std::move(rows);
  m_StepKind = kind;
  RunSteps();
}

host::NamedValueList* CMDocSupport::StepRow(std::string_view source) {
  if (!m_DoList) throw Error(kErrComponent, std::string(source), "m_DoList == Nothing");
  return m_DoList->Eof() ? nullptr : &m_DoList->Fields();
}

host::NamedValueList& CMDocSupport::NewSpecRow() {
  host::THGoodSpec& spec = RequireDocSpec();
  spec.AddNew();
  host::NamedValueList& f = spec.Fields();
  Set(f, "DocID", RequireDoc().Fields().Item("IDC").Value());
  Set(f, "PosNumb", Variant(spec.NextPosNumb()));
  return f;
}

int32_t CMDocSupport::CountStep() {
  if (m_StepKind != kStepMaterials)
    return m_DoList ? static_cast<int32_t>(m_DoList->RecordCount()) : 0;
  return m_MList ? static_cast<int32_t>(m_MList->RecordCount()) : 0;
}

std::string CMDocSupport::Caption() {
  int32_t message = 0;
  switch (m_StepKind) {
    case kStepMaterials:
      message = kMsgFillMaterials;
      break;
    case kStepOperations:
      message = (m_CalcVariant == enCalcOper || m_CalcVariant == kCalcOperSimple)
                    ? kMsgFillLabour
                    : kMsgFillEquipment;
      break;
    case kStepStockOrderPrice:
    case kStepWriteOffPrice:
      message = kMsgSetPrices;
      break;
    default:
      return {};
  }
  frame::EnsureStarted();
  return frame::GetGlobals().MessageTable->GetText(message);
}

void CMDocSupport::Step() {
  switch (m_StepKind) {
    case kStepMaterials:
      MaterialStep();
      break;
    case kStepOperations:
      if (m_CalcVariant == kCalcOperSimple) {
        OperationStepSimple();
      } else {
        OperationStep();
      }
      break;
    case kStepStockOrderPrice:
      StockOrderPriceStep();
      break;
    case kStepWriteOffPrice:
      WriteOffPriceStep();
      break;
    default:
      break;
  }
}

host::THGoodSpec& CMDocSupport::RequireDocSpec() { return *DocSpec(); }

// ---- Material list ----

void CMDocSupport::FillSpec(std::string_view Good, std::string_view Unit, Currency Amount,
                            int32_t calc_variant) {
  m_CalcVariant = calc_variant;
  if (calc_variant == enCalcOper || calc_variant == enCalcSimple) {
    FillSpecOper(0, false);
    return;
  }
  if (calc_variant != enCalcDocIn && calc_variant != enCalcEquip) return;
  if (Good.empty() || Unit.empty() || Amount == Currency()) return;

  host::GoodEntry& good = *this->Good();
  if (!good.Load(Good)) return;
  if (calc_variant == enCalcDocIn) {
    m_MList = good.MaterialList(Unit, Amount);
    // A product without components is written as itself.
    if (m_MList->RecordCount() == 0) {
      m_MList->AddNew();
      m_MList->SetValue("Good", Variant(good.Code()));
      m_MList->SetValue("UnitCode", Variant(std::string(Unit)));
      m_MList->SetValue("AccountAmount", Variant(Amount));
      m_MList->Update();
    }
  } else {
    m_MList = good.PricedMaterialList(Unit, Amount, kPriceKindSC, Date::Today());
    if (!m_DocSupApp) {
      auto app = std::make_shared<CMDocSupportApp>();
      app->Init(weak_from_this().lock());
      m_DocSupApp = std::move(app);
    }
    m_DocSupApp->AddFillMList(m_MList);
  }
  if (!m_MList) return;
  m_AmountCol = m_MList->Fields().Find("Amount") ? "Amount" : "AccountAmount";
  if (m_MList->RecordCount() == 0) return;
  RequireDocSpec().Fields().Item("DocId").SetValue(RequireDoc().Fields().Item("IDC").Value());
  m_MList->MoveFirst();
  m_StepKind = kStepMaterials;
  RunSteps();
}

// One component of the material list becomes one row. The rows object starts a new row for
// each component (the document's "DocID" is set on it again), so nothing of the previous row
// carries over.
void CMDocSupport::MaterialStep() {
  if (!m_MList) throw Error(kErrComponent, "CMDocSupport", "m_MList == Nothing");
  if (m_MList->Eof()) return;
  host::NamedValueList& f = NewSpecRow();
  host::THGoodSpec& spec = RequireDocSpec();
  Set(f, "GoodCode", m_MList->Value("Good"));
  Set(f, "UnitCode", m_MList->Value("UnitCode"));
  const Variant& quantity = m_MList->Value(m_AmountCol);
  Set(f, "Amount", quantity);
  Set(f, "AmountAccount", Variant(Currency()));
  host::NamedValueList& a = spec.AddFields();
  if (m_CalcVariant == enCalcEquip) {
    const Variant& price = m_MList->Value("Price");
    Set(f, "Price", price);
    Set(f, "Summa", Variant(host::CommonTools::Instance()->RoundCy(Mul(price, quantity), 2)));
    Set(a, "DirectCost", m_MList->Value("DirectCost"));
    Set(a, "InDirectCost", m_MList->Value("InDirectCost"));
  }
  bool cancel = false;
  InsertSpecRec.Raise(f, a, cancel);
  if (!cancel) spec.Update();
  m_MList->MoveNext();
}

// ---- Operations of the order's products ----

void CMDocSupport::FillSpecOperSimple(int32_t SpecId) {
  m_CalcVariant = kCalcOperSimple;
  m_StepKind = kStepOperations;
  FillSpecOper(SpecId, true);
}

void CMDocSupport::CrSpecByAddRec(int32_t OrderId, int32_t SpecId) {
  if (OrderId == 0 || SpecId == 0) return;
  m_CalcVariant = (m_DocTypeCode == "MNC" || m_DocTypeCode == "MAC") ? enCalcOper : enCalcSimple;
  if (CheckDocExist2(OrderId) != 0) FillSpecOper(SpecId, false);
}

void CMDocSupport::FillSpecOper(int32_t SpecId, bool SingleRow) {
  if (!m_Doc) return;
  const Variant& parent = m_Doc->Fields().Item("ParentId").Value();
  if (!NonZero(parent)) return;
  std::shared_ptr<host::Query> q;
  if (m_CalcVariant == enCalcOper || m_CalcVariant == kCalcOperSimple) {
    q = LabourQuery(SpecId, SingleRow);
  } else if (m_DocTypeCode != kTypeEquipmentCost) {
    q = EquipmentObjectQuery(SpecId);
  } else {
    q = EquipmentCostQuery(SpecId);
  }
  RunStepsOver(std::move(q), kStepOperations);
}

// The order's rows (all, row `SpecId` alone, or the rows from it on) with the operations of
// their products' assembly charts ("OpList").
std::shared_ptr<host::Query> CMDocSupport::OrderRowQuery(int32_t SpecId, bool SingleRow) {
  host::AppContextPtr book = RequireBook();
  const host::SqlTools& tools = *host::SqlTools::Instance();
  std::shared_ptr<host::Query> q = book->CreateQuery("THGoodSpec");
  q->AddWhere(tools.Condition(q->Fields().Item("DocID"), host::kOpEqual,
                              RequireDoc().Fields().Item("ParentID").Value()));
  if (SpecId != 0) {
    const std::string row =
        tools.Condition(q->Fields().Item("IDC"),
                        SingleRow ? host::kOpEqual : host::kOpGreaterOrEqual, Variant(SpecId));
    q->AddWhere(q->WhereText() + " and " + row);
  }
  q->Fields().KeepOnly({"GoodCode", "UnitCode", "IDC"});
  std::shared_ptr<host::Query> chart = book->CreateQuery("MFAssemblyChart");
  chart->Fields().KeepOnly({"AssCode"});
  q->InnerJoin(chart, "OpList", "oTable.GoodCode = OpList.GoodCode");
  return q;
}

std::shared_ptr<host::Query> CMDocSupport::LabourQuery(int32_t SpecId, bool SingleRow) {
  host::AppContextPtr book = RequireBook();
  std::shared_ptr<host::Query> q = OrderRowQuery(SpecId, SingleRow);
  std::shared_ptr<host::Query> labour = book->CreateQuery("MFACLabour");
  labour->Fields().KeepOnly({"WorkKind", "Rate", "IsOnTimeRate", "NormTime", "AmountForRate",
                             "DirectCost", "InDirectCost"});
  q->InnerJoin(labour, "Labor", "OpList.IDC = Labor.AssId");
  std::shared_ptr<host::Query> unit = book->CreateQuery("RefGoodUnit");
  unit->AddWhere(host::SqlTools::Instance()->Condition(unit->Fields().Item("IsAccount"),
                                                       host::kOpEqual, Variant(int32_t{1})));
  unit->Fields().KeepOnly({"UnitCode"});
  q->InnerJoin(unit, "LGUnit", "Labor.WorkKind = LGUnit.GoodCode");
  AddColumn(*q, "Amount", Kind::kQuantity, "oTable.Amount", host::kAggregateSum);
  AddColumn(*q, "AmountAccount", Kind::kQuantity, "oTable.AmountAccount", host::kAggregateSum);
  q->Open();
  return q;
}

std::shared_ptr<host::Query> CMDocSupport::EquipmentCostQuery(int32_t SpecId) {
  host::AppContextPtr book = RequireBook();
  std::shared_ptr<host::Query> q = OrderRowQuery(SpecId, false);
  std::shared_ptr<host::Query> equipment = book->CreateQuery("MFACEquipment");
  equipment->Fields().KeepOnly({"EqCode", "DirectCost", "InDirectCost"});
  std::shared_ptr<host::Query> cost = book->CreateQuery("MFEquipment");
  cost->Fields().KeepOnly({});
  AddColumn(*q, "Amount", Kind::kQuantity, "oTable.Amount", host::kAggregateSum);
  q->InnerJoin(equipment, "EquipList", "OpList.IDC = EquipList.AssId");
  AddColumn(*q, "UseTime", Kind::kQuantity, "EquipList.UseTime", host::kAggregateSum);
  q->InnerJoin(cost, "EqCost", "EquipList.EqCode = EqCost.Code");
  AddColumn(*q, "AmountForDRate", Kind::kQuantity, "EqCost.Amount", host::kAggregateSum);
  AddColumn(*q, "DeprecSum", Kind::kMoney, "EqCost.DeprecSum", host::kAggregateSum);
  q->Open();
  return q;
}

std::shared_ptr<host::Query> CMDocSupport::EquipmentObjectQuery(int32_t SpecId) {
  host::AppContextPtr book = RequireBook();
  std::shared_ptr<host::Query> q = OrderRowQuery(SpecId, false);
  std::shared_ptr<host::Query> equipment = book->CreateQuery("MFACEquipment");
  equipment->Fields().KeepOnly({"EqCode", "DirectCost", "InDirectCost"});
  q->InnerJoin(equipment, "EquipList", "OpList.IDC = EquipList.AssId");
  q->LeftJoin(FirstObjectQuery(), "EqFa", "EquipList.EqCode = EqFa.EqCode");
  AddColumn(*q, "Amount", Kind::kQuantity, "oTable.Amount");
  AddColumn(*q, "FACode", Kind::kString, "EqFa.FACode");
  AddColumn(*q, "UseTime", Kind::kQuantity, "EqFa.UseTime");
  q->Open();
  return q;
}

// The fixed-asset objects of the equipment, only the one with the smallest "UseTime" of each
// equipment code. The subquery names the table by its logical name, as every query does. Its
// outer "EqCode" is qualified with the query's own alias (which follows the alias the query is
// joined under): unqualified, it would name the subquery's own column and pick one object for
// all equipment.
std::shared_ptr<host::Query> CMDocSupport::FirstObjectQuery() {
  host::AppContextPtr book = RequireBook();
  std::shared_ptr<host::Query> f = book->CreateQuery("MFEqFAObject");
  f->Fields().Exclude({"FAName"});
  const std::string first = "( select top 1 idc from mfeqfaobject f where " + f->Alias() +
                            ".EqCode = f.EqCode order by f.UseTime )";
  f->AddWhere(host::SqlTools::Instance()->Condition(f->Fields().Item("IDC"), host::kOpEqual,
                                                    Variant(first)));
  return f;
}

// One labour norm or one equipment of an operation becomes one row.
void CMDocSupport::OperationStep() {
  host::NamedValueList* row = StepRow("CMDocSupport::FillSpecOperStep");
  if (!row) return;
  host::NamedValueList& r = *row;
  host::NamedValueList& f = NewSpecRow();
  host::THGoodSpec& spec = RequireDocSpec();
  Set(f, "GoodCode", Col(r, "GoodCode"));
  Set(f, "UnitCode", Col(r, "UnitCode"));
  Set(f, "Amount", Col(r, "Amount"));
  host::NamedValueList& a = spec.AddFields();
  Set(a, "PrSpecID", Col(r, "IDC"));

  if (m_CalcVariant != enCalcOper) {
    Set(a, "OpCode", Col(r, "OpList.AssCode"));
    Set(a, "UseTime", Col(r, "UseTime"));
    Set(a, "DirectCost", Col(r, "EquipList.DirectCost"));
    Set(a, "InDirectCost", Col(r, "EquipList.InDirectCost"));
    if (m_DocTypeCode != kTypeEquipmentCost) {
      Set(a, "FACode", Col(r, "FACode"));
      if (std::shared_ptr<host::ITHDoc> handler = m_THDoc.lock()) {
        Set(f, "BOperCode", Variant(handler->DefaultBoper()));
      }
      spec.Update();
    } else {
      Set(f, "Price", Col(r, "DeprecSum"));
      Set(a, "EqCode", Col(r, "EquipList.EqCode"));
      Set(a, "AmountForDRate", Col(r, "AmountForDRate"));
      spec.Update();
      RateSum(f, a);
      spec.UpdateByID(CLng(Col(f, "IDC")));
    }
  } else {
    Set(f, "Price", Col(r, "Labor.Rate"));
    Set(a, "AssCode", Col(r, "OpList.AssCode"));
    Set(a, "WorkKind", Col(r, "Labor.WorkKind"));
    Set(a, "IsOnTimeRate", Col(r, "Labor.IsOnTimeRate"));
    Set(a, "AmountForRate", Col(r, "Labor.AmountForRate"));
    Set(a, "NormTime", Col(r, "Labor.NormTime"));
    const Variant divisor = NonZero(Col(a, "AmountForRate")) ? Col(a, "AmountForRate")
                                                             : Variant(CCur(Col(f, "Amount")));
    Set(f, "CostSumm",
        IsZero(divisor) ? Variant(int32_t{0})
                        : Div(Mul(Col(r, "Labor.NormTime"), Col(f, "Amount")), divisor));
    Set(a, "DirectCost", Col(r, "Labor.DirectCost"));
    Set(a, "InDirectCost", Col(r, "Labor.InDirectCost"));
    host::NamedValueList& settings = spec.Application()->Settings();
    Set(a, "SD1Proc", settings.Item("SDProc").Value());
    Set(a, "VSDProc", settings.Item("VSDProc").Value());
    spec.Update();
    bool cancel = false;
    UpdateSpecRec.Raise(f, a, cancel);
    if (!cancel) spec.UpdateByID(CLng(Col(f, "IDC")));
  }
  m_DoList->MoveNext();
}

// One labour norm of the order row becomes one row of work, counted in the work kind's
// accounting unit.
void CMDocSupport::OperationStepSimple() {
  host::NamedValueList* row = StepRow("CMDocSupport::FillSpecOperStepSimple");
  if (!row) return;
  host::NamedValueList& r = *row;
  host::NamedValueList& f = NewSpecRow();
  host::THGoodSpec& spec = RequireDocSpec();
  Set(f, "GoodCode", Col(r, "Labor.WorkKind"));
  Set(f, "UnitCode", Col(r, "LGUnit.UnitCode"));
  Set(f, "Price", Col(r, "Labor.Rate"));
  const Variant divisor =
      NonZero(Col(r, "Labor.AmountForRate")) ? Col(r, "Labor.AmountForRate") : Col(r, "Amount");
  Set(f, "Amount",
      IsZero(divisor) ? Variant(int32_t{0})
                      : Div(Mul(Col(r, "Labor.NormTime"), Col(r, "Amount")), divisor));
  host::NamedValueList& a = spec.AddFields();
  Set(a, "DirectCost", Col(r, "Labor.DirectCost"));
  Set(a, "InDirectCost", Col(r, "Labor.InDirectCost"));
  bool cancel = false;
  InsertSpecRec.Raise(f, a, cancel);
  if (!cancel) spec.Update();
  m_DoList->MoveNext();
}

}  // namespace qts::engine
