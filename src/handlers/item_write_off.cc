#include "handlers/item_write_off.h"

#include <string>
#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "core/format.h"
#include "core/operators.h"
#include "core/text.h"
#include "engine/calculator.h"
#include "engine/doc_engine.h"
#include "frame/module_functions.h"
#include "handlers/lot_by_mdoc.h"
#include "host/data/common_tools.h"
#include "host/data/named_value_list.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/services/bar_code_tools.h"
#include "host/services/business_operations.h"
#include "host/services/good_entry.h"

namespace qts::handlers {

namespace {

constexpr std::string_view kSource = "CItemWriteOff";
constexpr std::string_view kDocType = "MMO";
constexpr std::string_view kBarCodePrefix = "402";
constexpr long kBarCodeTypeLen = 4;
constexpr long kBarCodeMinNumberLen = 5;
constexpr long kBarCodeMaxNumberLen = 8;

bool Missing(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

// A header value as text; a field without value is "".
std::string Text(const Variant& v) { return Missing(v) ? std::string() : CStr(v); }

// The shared list behind a list reference (the calculator takes rows as shared references).
host::NamedValueListPtr Shared(host::NamedValueList& list) {
  return std::dynamic_pointer_cast<host::NamedValueList>(list.shared_from_this());
}

}  // namespace

CItemWriteOff::CItemWriteOff()
    : m_MDocSup(std::make_shared<engine::CMDocSupport>()),
      m_Calc(std::make_shared<engine::CMCalculator>()) {
  m_Calc->Init(engine::enCalcSimple);
  set_price_ = m_MDocSup->SetPrice.Connect(
      [this](host::NamedValueList& Row, bool& Cancel) { m_MDocSup_SetPrice(Row, Cancel); });

  using K = InvokeKind;
  table_
      .Add("GenBarCode", K::kMethod,
           [this](std::vector<Variant>&) { return Variant(GenBarCode()); })
      .Add("LotPropID", K::kPropertyPut,
           [this](std::vector<Variant>& a) {
             if (a.empty())
               throw Error(kErrInvalidCall, std::string(kSource), "LotPropID: no value");
             SetLotPropID(CLng(a.back()));
             return Variant();
           })
      .Add("DefaultBoper", K::kPropertyGet,
           [this](std::vector<Variant>&) { return Variant(DefaultBoper()); })
      .Add("DefaultBoper", K::kPropertyPut,
           [this](std::vector<Variant>& a) {
             if (a.empty()) {
               throw Error(kErrInvalidCall, std::string(kSource), "DefaultBoper: no value");
             }
             SetDefaultBoper(CStr(a.back()));
             return Variant();
           })
      .Add("Doc", K::kPropertyGet,
           [this](std::vector<Variant>&) { return Variant(ObjectPtr(Doc())); });
}

CItemWriteOff::~CItemWriteOff() {
  set_price_.Disconnect();
  m_MDocSup.reset();
}

std::shared_ptr<CItemWriteOff> CItemWriteOff::Self() {
  auto self = std::dynamic_pointer_cast<CItemWriteOff>(weak_from_this().lock());
  if (!self) {
    throw Error(kErrObjectRequired, std::string(kSource),
                "the handler is not held by a shared reference (make it with make_shared)");
  }
  return self;
}

host::THDocument& CItemWriteOff::RequireDoc(std::string_view member) {
  const host::THDocumentPtr& doc = m_MDocSup->Doc();
  if (!doc) {
    throw Error(kErrObjectRequired, std::string(kSource) + "::" + std::string(member),
                "the handler has no document: Init was not called");
  }
  return *doc;
}

// ---- IMDocSupport ----

void CItemWriteOff::Init(const host::THDocumentPtr& Doc) { m_MDocSup->Init(kDocType, Self(), Doc); }

host::THDocumentPtr CItemWriteOff::Doc() { return m_MDocSup->Doc(); }

// ---- IMMatDocSupport ----

void CItemWriteOff::SetPriceByStOrder() { m_MDocSup->SetPriceByStOrder(); }

void CItemWriteOff::SetPriceWriteOff() { m_MDocSup->SetPriceWriteOff(); }

bool CItemWriteOff::IMMatDocSupport_UpdateAmount(int32_t PosNumb, Currency NewAmount) {
  return m_MDocSup->UpdateAmount(PosNumb, NewAmount);
}

std::shared_ptr<engine::IMDocSupport> CItemWriteOff::MDocSup() { return Self(); }

// ---- ITHDoc ----

std::vector<std::string> CItemWriteOff::CalcSpecColList() { return m_Calc->SColCalc(); }

host::THGoodSpecPtr CItemWriteOff::GoodSpec() { return m_MDocSup->DocSpec(); }

bool CItemWriteOff::IsLotItem(std::string_view good) {
  host::GoodEntry& entry = *m_MDocSup->Good();
  if (!entry.Load(good)) return false;
  return host::IsLotTracked(entry.TrackingOff(), entry.TrackingKind());
}

host::NamedValueListPtr CItemWriteOff::CalcSpecColumns(const host::NamedValueListPtr& oColumns,
                                                       const std::string& ChangeFld,
                                                       const host::NamedValueListPtr& oParms) {
  try {
    host::NamedValueListPtr result = m_Calc->CalcSpecColumns(oColumns, ChangeFld, oParms);
    if (m_LotPropID > 0) {
      if (IsLotItem(CStr(oColumns->Item("GoodCode").Value()))) {
        if (!result->ExistsField("LotPropertyID")) result->Add("LotPropertyID", host::Kind::kRowId);
        result->Item("LotPropertyID").SetValue(Variant(m_LotPropID));
      } else if (result->ExistsField("LotPropertyID")) {
        result->Exclude({"LotPropertyID"});
      }
    }
    return result;
  } catch (...) {
    frame::ShowCurrentError();
    return nullptr;
  }
}

int32_t CItemWriteOff::InsertSpecRec(const host::NamedValueListPtr& row) {
  if (!row) {
    throw Error(kErrObjectRequired, std::string(kSource) + "::InsertSpecRec", "no row was given");
  }
  host::THDocument& doc = RequireDoc("InsertSpecRec");
  host::THGoodSpec& spec = *m_MDocSup->DocSpec();
  host::NamedValueList& f = spec.Fields();
  const host::SqlTools& tools = *host::SqlTools::Instance();
  const Variant doc_id = doc.Fields().Item("IDC").Value();
  const std::string condition = tools.JoinConditions(
      host::kJoinAnd,
      {tools.Condition(f.Item("DocID"), host::kOpEqual, doc_id),
       tools.Condition(f.Item("GoodCode"), host::kOpEqual, row->Item("GoodCode").Value()),
       tools.Condition(f.Item("UnitCode"), host::kOpEqual, row->Item("UnitCode").Value())});

  Currency old;
  bool written = false;
  if (spec.Find(condition)) {
    // The document already has the item in this unit: add to that row. Its accounting
    // quantity is recomputed by the host's write.
    const Currency amount = host::CommonTools::Instance()->RoundCy(
        Add(f.Item("Amount").Value(), row->Item("Amount").Value()), frame::kAmountDigits);
    f.Item("Amount").SetValue(Variant(amount));
    old = CCur(f.Item("AmountAccount").Value());
    f.Item("AmountAccount").SetValue(Variant(Currency()));
    written = spec.UpdateByID(CLng(f.Item("IDC").Value()));
  } else {
    spec.AddNew();
    f.Item("DocID").SetValue(doc_id);
    f.Item("PosNumb").SetValue(Variant(spec.NextPosNumb()));
    f.Item("GoodCode").SetValue(row->Item("GoodCode").Value());
    f.Item("UnitCode").SetValue(row->Item("UnitCode").Value());
    f.Item("Amount").SetValue(row->Item("Amount").Value());
    f.Item("AmountAccount").SetValue(Variant(Currency()));
    f.Item("LotPropertyID").SetValue(Variant(m_LotPropID));
    f.Item("BOperCode").SetValue(Variant(DefaultBoper()));
    written = spec.Update();
  }

  // A write that succeeds leaves the row's recomputed accounting quantity in the fields, as
  // the book now holds it: no need to read the row back.
  if (host::NamedValue* added = row->Find("AmountAccount")) {
    added->SetValue(written ? Variant(CCur(f.Item("AmountAccount").Value()) - old)
                            : Variant(Currency()));
  }
  return CLng(f.Item("IDC").Value());
}

std::shared_ptr<host::ILotByTHDoc> CItemWriteOff::LotByDoc() {
  if (!m_Lot) {
    auto lot = std::make_shared<CLotByMDoc>();
    lot->Init(Self());
    m_Lot = std::move(lot);
  }
  return m_Lot;
}

std::string CItemWriteOff::DefaultBoper() {
  if (!m_DefaultBoper.empty()) return m_DefaultBoper;
  host::THDocument& doc = RequireDoc("DefaultBoper");
  if (!m_BusinessOperations) {
    auto operations = std::make_shared<host::BusinessOperations>();
    operations->Attach(doc.Application());
    m_BusinessOperations = std::move(operations);
  }
  m_DefaultBoper =
      m_BusinessOperations->DefaultOperation(Text(doc.Fields().Item("DocTypeCode").Value()),
                                             Text(doc.Fields().Item("CurrencyCode").Value()), true);
  return m_DefaultBoper;
}

// ---- The engine's events ----

void CItemWriteOff::m_MDocSup_SetPrice(host::NamedValueList& Row, bool& /*Cancel*/) {
  host::NamedValueListPtr changed = CalcSpecColumns(Shared(Row), "Price", nullptr);
  if (!changed) {
    // The error has been shown; the row must not be written half-priced.
    throw Error(kErrObjectRequired, std::string(kSource) + "::m_MDocSup_SetPrice",
                "the priced row's columns could not be recalculated");
  }
  for (const host::NamedValuePtr& entry : changed->Entries()) {
    Row.Item(entry->Name()).SetValue(entry->Value());
  }
  Row.Item("AddFld.WriteOffPrice").SetValue(Row.Item("Price").Value());
}

// ---- Bar code ----

std::string CItemWriteOff::GenBarCode() {
  host::THDocumentPtr doc = Doc();
  if (!doc) return "";
  host::NamedValueList& fields = doc->Fields();
  const Variant& idc = fields.Item("IDC").Value();
  if (Missing(idc) || CLng(idc) == 0) return "";
  std::string type = Text(fields.Item("DocTypeCode").Value());
  const std::string number = Text(fields.Item("Number").Value());
  const std::string date = Format(fields.Item("DocumentDate").Value(), "yymmdd");
  const long type_len = Len(type);
  if (type_len < kBarCodeTypeLen) type.append(static_cast<size_t>(kBarCodeTypeLen - type_len), ' ');
  const long number_len = Len(number);
  if (Len(type) != kBarCodeTypeLen || number_len < kBarCodeMinNumberLen ||
      number_len > kBarCodeMaxNumberLen) {
    return "";
  }
  const std::string body = type + date + number;
  return std::string(kBarCodePrefix) + body + host::BarCodeTools().CheckChars(body);
}

// ---- Late binding ----

Variant CItemWriteOff::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return table_.Invoke(kSource, name, kind, args);
}

}  // namespace qts::handlers
