// CMDocSupport: pricing of a document's rows (from stock orders, and the write-off pricing
// from the rows' cost sums), the quantity change of one row and the column total of a query.
#include <memory>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/error.h"
#include "core/operators.h"
#include "engine/doc_engine.h"
#include "frame/create_copy_rs.h"
#include "host/data/app_context.h"
#include "host/data/common_tools.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"

namespace qts::engine {

using host::Kind;

namespace {

bool NonZero(const Variant& value) { return IsTrue(Ne(value, Variant(int32_t{0}))); }
bool IsZero(const Variant& value) { return IsTrue(Eq(value, Variant(int32_t{0}))); }

// The shared list behind a list reference (the copier takes lists as shared references).
host::NamedValueListPtr Shared(host::NamedValueList& list) {
  return std::dynamic_pointer_cast<host::NamedValueList>(list.shared_from_this());
}

}  // namespace

void CMDocSupport::RowSum(host::NamedValueList& fields) {
  const Currency product = CCur(fields.Item("Price").Value()) * CCur(fields.Item("Amount").Value());
  fields.Item("Summa").SetValue(
      Variant(host::CommonTools::Instance()->RoundCy(Variant(product), 2)));
}

void CMDocSupport::RateSum(host::NamedValueList& fields, host::NamedValueList& add_fields) {
  const Variant& rate_amount = add_fields.Item("AmountForDRate").Value();
  const Variant& amount = fields.Item("AmountAccount").Value();
  const Variant divisor = NonZero(rate_amount) ? rate_amount : Variant(CCur(amount));
  fields.Item("Summa").SetValue(IsZero(divisor)
                                    ? Variant(int32_t{0})
                                    : Div(Mul(fields.Item("Price").Value(), amount), divisor));
}

Currency CMDocSupport::TotalSum(host::Query& Q, std::string_view Col) {
  Currency total;
  for (Q.MoveFirst(); !Q.Eof(); Q.MoveNext()) total += CCur(Q.Fields().Item(Col).Value());
  return total;
}

// ---- Prices from stock orders ----

void CMDocSupport::SetPriceByStOrder() {
  host::AppContextPtr book = RequireBook();
  std::shared_ptr<host::Query> q = book->CreateQuery("THGoodSpec");
  q->AddWhere(host::SqlTools::Instance()->Condition(q->Fields().Item("DocID"), host::kOpEqual,
                                                    RequireDoc().Fields().Item("IDC").Value()));
  std::shared_ptr<host::Query> order = book->CreateQuery("STOrderSpec");
  q->Fields().KeepOnly({"IDC"});
  order->Fields().KeepOnly({"Price"});
  q->InnerJoin(order, "OSpec", "oTable.IDC = OSpec.srcSpecID");
  // The rows are priced in the document's order, on every backend.
  q->OrderBy("oTable.PosNumb, oTable.IDC");
  q->Open();
  RunStepsOver(std::move(q), kStepStockOrderPrice);
}

void CMDocSupport::StockOrderPriceStep() {
  host::NamedValueList* row = StepRow("CMDocSupport::SetPriceByStorderStep");
  if (!row) return;
  host::NamedValueList& r = *row;
  const int32_t idc = CLng(r.Item("IDC").Value());
  host::THGoodSpec& spec = RequireDocSpec();
  if (spec.MoveToID(idc)) {
    host::NamedValueList& f = spec.Fields();
    f.Item("Price").SetValue(r.Item("OSpec.Price").Value());
    RowSum(f);
    spec.UpdateByID(idc);
  }
  m_DoList->MoveNext();
}

// ---- Write-off prices ----

void CMDocSupport::SetPriceWriteOff() {
  host::AppContextPtr book = RequireBook();
  host::THDocument& doc = RequireDoc();
  const host::SqlTools& tools = *host::SqlTools::Instance();
  std::shared_ptr<host::Query> q = book->CreateQuery("THGoodSpec");
  std::shared_ptr<host::Query> add =
      book->CreateQuery(CStr(doc.Fields().Item("DocTypeCode").Value()) + "THGoodSpec");
  // The item catalogue comes in under "G" through the host's query over the rows.
  const std::string category =
      tools.ColumnCondition("G.Category", Kind::kCategory, host::kOpEqual, Variant(int16_t{0}));
  const std::string rows =
      tools.Condition(q->Fields().Item("DocID"), host::kOpEqual, doc.Fields().Item("IDC").Value());
  q->AddWhere(tools.JoinConditions(host::kJoinAnd, {category, rows}));
  // The additional table's key is the row's own ("DocID", "PosNumb"); the priced row goes back
  // through the row copier, which needs a target for every "AddFld." column, and the rows
  // object lists only the additional values.
  add->Fields().Exclude({"DocID", "PosNumb"});
  q->InnerJoin(add, "AddFld", "oTable.DocID = AddFld.DocID and oTable.PosNumb = AddFld.PosNumb");
  // The rows are priced in the document's order, on every backend.
  q->OrderBy("oTable.PosNumb, oTable.IDC");
  q->Open();
  RunStepsOver(std::move(q), kStepWriteOffPrice);
}

void CMDocSupport::WriteOffPriceStep() {
  host::NamedValueList* row = StepRow("CMDocSupport::SetPriceWriteOff");
  if (!row) return;
  host::NamedValueList& r = *row;
  const int32_t idc = CLng(r.Item("IDC").Value());
  host::THGoodSpec& spec = RequireDocSpec();
  if (spec.MoveToID(idc)) {
    const Variant& amount = r.Item("Amount").Value();
    r.Item("Price").SetValue(IsZero(amount) ? Variant(int32_t{0})
                                            : Variant(host::CommonTools::Instance()->RoundCy(
                                                  Div(r.Item("CostSumm").Value(), amount), 4)));
    bool cancel = false;
    SetPrice.Raise(r, cancel);
    if (!cancel) {
      spec.BeginEdit();
      if (!m_CopyRS) m_CopyRS = std::make_shared<frame::CCreateCopyRS>();
      host::NamedValueListPtr source = Shared(r);
      host::NamedValueListPtr target = Shared(spec.Fields());
      host::NamedValueListPtr target_add = Shared(spec.AddFields());
      m_CopyRS->SplitFieldsVal(source, target, target_add);
      spec.UpdateByID(idc);
    }
  }
  m_DoList->MoveNext();
}

// ---- Quantity of one row ----

bool CMDocSupport::UpdateAmount(int32_t PosNumb, Currency NewAmount) {
  host::THGoodSpec& spec = RequireDocSpec();
  if (!spec.MoveToKey(CLng(RequireDoc().Fields().Item("IDC").Value()), PosNumb)) return false;
  host::NamedValueList& f = spec.Fields();
  f.Item("Amount").SetValue(Variant(NewAmount));
  f.Item("AmountAccount").SetValue(Variant(Currency()));
  RowSum(f);
  return spec.UpdateByID(CLng(f.Item("IDC").Value()));
}

}  // namespace qts::engine
