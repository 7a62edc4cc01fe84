#include "handlers/fuel_write_off.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <utility>

#include "core/convert.h"
#include "core/format.h"
#include "core/operators.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "frame/catalogue.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "handlers/item_write_off.h"
#include "host/data/app_context.h"
#include "host/data/common_tools.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/documents/th_good_spec_fix_log.h"
#include "host/schema/schema.h"
#include "host/services/doc_editor.h"
#include "host/services/document_service.h"
#include "host/services/good_entry.h"
#include "host/services/message_table.h"
#include "host/services/user_defaults.h"
#include "host/services/vehicle.h"
#include "host/ui/busy_cursor.h"
#include "host/ui/operator.h"
#include "host/ui/step_runner.h"

namespace qts::handlers {

using host::Kind;

namespace {

constexpr std::string_view kSource = "CFuelWriteOff";
constexpr std::string_view kDocType = "MMO";
constexpr std::string_view kFuelStoreKind = "ABKR";

std::string Member(std::string_view member) {
  return std::string(kSource) + "::" + std::string(member);
}

bool Missing(const Variant& v) { return v.IsNull() || v.IsEmpty(); }
std::string Text(const Variant& v) { return Missing(v) ? std::string() : CStr(v); }
int32_t Long(const Variant& v) { return Missing(v) ? 0 : CLng(v); }
Currency Money(const Variant& v) { return Missing(v) ? Currency() : CCur(v); }

const host::SqlTools& Tools() { return *host::SqlTools::Instance(); }

// "Column = literal" in the recordset filter grammar (a Null value as "= NULL").
std::string FilterEquals(std::string_view column, const Variant& value, host::Kind kind) {
  return std::string(column) + " = " + Tools().SqlValue(value, kind);
}

// Restricts the rows `list` shows to `condition`, replacing the restriction an earlier step set
// (the host's AddResultFilter would AND every step's restriction onto the last). The filter the
// list was given by its owner is kept. The first row shown becomes current.
void RestrictList(host::Query& list, std::string_view own_filter, const std::string& condition) {
  std::string text = condition;
  if (!own_filter.empty()) text = "(" + std::string(own_filter) + ") AND " + condition;
  host::RecordsetPtr rs = list.OpenRecordset();
  rs->SetFilter(Variant(text));
  list.MoveFirst();
}

// Gives a source list its owner's filter back when the write-off is done with it, however it
// ends.
class OwnFilterBack {
 public:
  explicit OwnFilterBack(host::QueryPtr list) : list_(std::move(list)) {}
  OwnFilterBack(const OwnFilterBack&) = delete;
  OwnFilterBack& operator=(const OwnFilterBack&) = delete;
  ~OwnFilterBack() noexcept {
    try {
      list_->OpenRecordset()->SetFilter(Variant(list_->ResultFilter()));
      list_->MoveFirst();
    } catch (...) {
      // The list stays restricted; the write-off's own outcome (or error) is what counts.
    }
  }

 private:
  host::QueryPtr list_;
};

void RequireOpenList(const host::QueryPtr& list, std::string_view name) {
  if (!list) throw Error(kErrInvalidCall, Member("WriteOff"), std::string(name) + " is Nothing");
  if (!list->IsOpen()) {
    throw Error(kErrInvalidCall, Member("WriteOff"), std::string(name) + " is not open");
  }
  for (const char* column : {"GoodCode", "SubCategory", "AmountAccount"}) {
    if (list->Fields().Find(column) == nullptr) {
      throw Error(kErrInvalidCall, Member("WriteOff"),
                  std::string(name) + " has no column \"" + column + "\"");
    }
  }
}

// A late-bound object argument: null for Empty, Null or Nothing; error 13 for anything that is
// not an object of class T.
template <class T>
std::shared_ptr<T> ObjectArg(const Variant& v) {
  if (Missing(v) || v.IsNothing()) return nullptr;
  if (!v.IsObject()) throw Error(kErrTypeMismatch);
  auto typed = std::dynamic_pointer_cast<T>(v.AsObject());
  if (!typed) throw Error(kErrTypeMismatch);
  return typed;
}

bool HasValue(host::Recordset& rs, std::string_view column) {
  return rs.Fields().Find(column).has_value();
}

const frame::ClassRegistrar kRegistrar("CFuelWriteOff", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CFuelWriteOff>());
});

}  // namespace

CFuelWriteOff::CFuelWriteOff() {
  using K = InvokeKind;
  auto require = [](const std::vector<Variant>& a, size_t count, std::string_view member) {
    if (a.size() < count) {
      throw Error(kErrInvalidCall, Member(member),
                  fmt::format("argument not optional: {} takes {} argument(s)", member, count));
    }
  };
  table_
      .Add("Init", K::kMethod,
           [this, require](std::vector<Variant>& a) {
             require(a, 1, "Init");
             Init(ObjectArg<host::THDocument>(a[0]));
             return Variant();
           })
      .Add("WriteOff", K::kMethod,
           [this, require](std::vector<Variant>& a) {
             require(a, 5, "WriteOff");
             WriteOff(CStr(a[0]), CCur(a[1]), CCur(a[2]), ObjectArg<host::Query>(a[3]),
                      ObjectArg<host::Query>(a[4]), CBool(ArgOr(a, 5, Variant(false))));
             return Variant();
           })
      .Add("EditDoc", K::kMethod, [this](std::vector<Variant>&) { return Variant(EditDoc()); })
      .Add("DocID", K::kMethod, [this](std::vector<Variant>&) { return Variant(DocID()); })
      .Add("IsDocPost", K::kMethod, [this](std::vector<Variant>&) { return Variant(IsDocPost()); })
      .Add("DelDoc", K::kMethod, [this](std::vector<Variant>&) { return Variant(DelDoc()); })
      .Add("ChangeSpecRec", K::kMethod,
           [this, require](std::vector<Variant>& a) {
             require(a, 3, "ChangeSpecRec");
             return Variant(ChangeSpecRec(CLng(a[0]), CStr(a[1]), CCur(a[2])));
           })
      .Add("Caption", K::kPropertyGet, [this](std::vector<Variant>&) { return Variant(Caption()); })
      .Add("CountStep", K::kPropertyGet,
           [this](std::vector<Variant>&) { return Variant(CountStep()); })
      .Add("Step", K::kMethod, [this](std::vector<Variant>&) {
        Step();
        return Variant();
      });
}

CFuelWriteOff::~CFuelWriteOff() = default;

Variant CFuelWriteOff::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return table_.Invoke(kSource, name, kind, args);
}

void CFuelWriteOff::RequireInit(std::string_view member) const {
  if (!m_ParentDoc || !m_Doc) {
    throw Error(kErrObjectRequired, Member(member), "no parent document: Init was not called");
  }
}

int32_t CFuelWriteOff::ParentIdc() const { return Long(m_ParentDoc->Fields().Item("IDC").Value()); }

void CFuelWriteOff::Init(const host::THDocumentPtr& ParentDoc) {
  if (!ParentDoc) throw Error(kErrObjectRequired, Member("Init"), "no parent document given");
  m_ParentDoc = ParentDoc;
  m_App = ParentDoc->Application();
  m_Doc = std::dynamic_pointer_cast<host::THDocument>(m_App->CreateObject("THDocument"));
  m_WriteOff = std::make_shared<CItemWriteOff>();
  m_WriteOff->Init(m_Doc);
}

// ---- WriteOff ----

void CFuelWriteOff::WriteOff(const std::string& VehicleCode, Currency TotalUsedFuel,
                             Currency TotalUsedGas, const host::QueryPtr& InList,
                             const host::QueryPtr& RestOnDateLst, bool IsSilence) {
  RequireInit("WriteOff");
  host::BusyCursor cursor;
  cursor.Start();
  if (TotalUsedFuel == Currency() && TotalUsedGas == Currency()) return;
  if (TotalUsedFuel < Currency() || TotalUsedGas < Currency()) {
    throw Error(kErrInvalidCall, Member("WriteOff"),
                fmt::format("a quantity to write off is negative (fuel {}, gas {})",
                            TotalUsedFuel.ToString(), TotalUsedGas.ToString()));
  }
  RequireOpenList(InList, "InList");
  RequireOpenList(RestOnDateLst, "RestOnDateLst");
  const std::string in_filter = InList->ResultFilter();
  const std::string rest_filter = RestOnDateLst->ResultFilter();
  const OwnFilterBack in_back(InList);
  const OwnFilterBack rest_back(RestOnDateLst);

  ReadVehicle(VehicleCode);
  m_IncomeList.reset();
  {
    db::Transaction work(m_App->Connection());
    bool created = false;
    const bool prepared = PrepareDoc(IsSilence, created);
    m_WriteOff->SetLotPropID(m_Vehicle->LotPropertyID());
    if (prepared) {
      m_RestList = m_Vehicle->RestList(host::kVehicleRestFuelAndGas, "", "", -1);
      if (!CheckRest(host::kGoodKindFuel, TotalUsedFuel) ||
          !CheckRest(host::kGoodKindGas, TotalUsedGas)) {
        if (created) {
          // The new document stays, empty.
          work.Commit();
        } else {
          // Rows taken off an existing write-off come back; the object follows the book.
          work.Rollback();
          m_Doc->Load(Long(m_Doc->Fields().Item("IDC").Value()));
        }
        return;
      }
      if (!m_Row) {
        m_Row = std::make_shared<host::NamedValueList>();
        m_Row->Add("GoodCode", Kind::kCode);
        m_Row->Add("UnitCode", Kind::kCode);
        m_Row->Add("Amount", Kind::kQuantity);
        m_Row->Add("AmountAccount", Kind::kQuantity);
      }
      m_IncomeSince = m_Vehicle->IncomeSince(
          CDate(m_ParentDoc->AddFields().Item("BegPeriod").Value()), ParentIdc());
      CreateRowObjects();
      // The source lists keep the filters their owner gave them.
      const auto restrict_sources = [&] {
        RestrictList(*InList, in_filter, KindFilter());
        RestrictList(*RestOnDateLst, rest_filter, KindFilter());
      };
      m_Kind = host::kGoodKindFuel;
      restrict_sources();
      WriteOffKind(host::kGoodKindFuel, TotalUsedFuel, InList, RestOnDateLst);
      m_Kind = host::kGoodKindGas;
      restrict_sources();
      WriteOffKind(host::kGoodKindGas, TotalUsedGas, InList, RestOnDateLst);
    }
    work.Commit();
  }
  const int32_t idc = Long(m_Doc->Fields().Item("IDC").Value());
  host::DocEditor(m_App).Edit(idc);
  cursor.Stop();
  m_Doc->Load(idc);
}

void CFuelWriteOff::ReadVehicle(const std::string& VehicleCode) {
  if (!m_Vehicle) {
    m_Vehicle = std::make_shared<host::Vehicle>();
    m_Vehicle->Init(m_App);
  } else if (m_Vehicle->Code() != VehicleCode) {
    m_IncomeSince.reset();
    m_IncomeList.reset();
  }
  if (!m_Vehicle->Load(VehicleCode)) {
    throw Error(kErrComponent, std::string(kSource), "cannot read vehicle - " + VehicleCode);
  }
}

host::QueryPtr CFuelWriteOff::FindExistingDoc() {
  host::QueryPtr q = m_App->CreateQuery("THDocument");
  host::QueryPtr spec = m_App->CreateQuery("THGoodSpec");
  host::QueryPtr store = m_App->CreateQuery("STStore");
  spec->Fields().KeepOnly({});
  store->Fields().KeepOnly({});
  q->LeftJoin(spec, "sp", "oTable.IDC = sp.DocID", host::kJoinLeftOuter, 0);
  q->LeftJoin(store, "st", "oTable.StoreCode = st.Code", host::kJoinLeftOuter, 0);
  const host::SqlTools& tools = Tools();
  q->AddWhere(tools.JoinConditions(
      host::kJoinAnd,
      {tools.ColumnCondition("oTable.ParentID", Kind::kRowId, host::kOpEqual, Variant(ParentIdc())),
       tools.ColumnCondition("oTable.DocTypeCode", Kind::kCode, host::kOpEqual, Variant(kDocType)),
       tools.ColumnCondition("COALESCE(st.StoreKind,'')", Kind::kCode, host::kOpEqual,
                             Variant(kFuelStoreKind))}));
  host::NamedValueList& f = q->Fields();
  f.KeepOnly({});
  f.AddColumn("DocID", Kind::kRowId, "oTable.IDC");
  f.AddColumn("SpecID", Kind::kNullableId, "sp.IDC");
  q->SetTop(1);
  q->Open();
  return q;
}

bool CFuelWriteOff::PrepareDoc(bool IsSilence, bool& created) {
  created = false;
  host::QueryPtr found = FindExistingDoc();
  if (found->Eof()) {
    host::THDocument& doc = *m_Doc;
    auto defaults = std::make_shared<host::UserDefaults>();
    defaults->Init(m_App);
    const std::string store = defaults->DefaultStore("");
    doc.BeginInsert();
    host::NamedValueList& f = doc.Fields();
    f.Item("DocTypeCode").SetValue(Variant(kDocType));
    f.Item("ParentID").SetValue(Variant(ParentIdc()));
    f.Item("DocumentDate").SetValue(m_ParentDoc->AddFields().Item("EndPeriod").Value());
    f.Item("Number").SetValue(Variant(doc.NextNumber()));
    f.Item("CurrencyCode").SetValue(m_App->Settings().Item("AccountCurrency").Value());
    f.Item("StoreCode").SetValue(store.empty() ? Variant::Null() : Variant(store));
    doc.AddFields().Item("VehicleCode").SetValue(Variant(m_Vehicle->Code()));
    doc.EndInsert();
    created = true;
    return true;
  }
  const host::NamedValueList& row = found->Fields();
  const int32_t doc_id = CLng(row.Item("DocID").Value());
  if (!m_Doc->Load(doc_id)) {
    throw Error(kErrObjectRequired, Member("PrepareDoc"),
                fmt::format("the write-off document {} cannot be loaded", doc_id));
  }
  if (row.Item("SpecID").Value().IsNull()) return true;
  host::NamedValueList& f = m_Doc->Fields();
  if (!IsSilence) {
    // A document without a code is named by its number.
    const Variant code = Missing(f.Item("Code").Value()) ? Variant(Text(f.Item("Number").Value()))
                                                         : f.Item("Code").Value();
    const std::string text = frame::FormatMsg(frame::MessageText(kMsgFuelReplaceRows), {code});
    const host::MessageAnswer answer = host::CurrentOperator().MessageBox(
        kMsgFuelReplaceRows, text, host::MessageButtons::kOkCancel);
    if (answer != host::MessageAnswer::kOk) return false;
  }
  if (Long(f.Item("IsPosted").Value()) != 0) UnpostDoc();
  CreateRowObjects();
  ReplaceRows(doc_id);
  return true;
}

// Takes the posting back through the host's document service, which also returns the
// quantities to the lots and removes the posting's links (the document header's own Unpost
// only clears the flag).
void CFuelWriteOff::UnpostDoc() {
  auto service = std::make_shared<host::DocumentService>();
  service->Init(m_App, m_Doc);
  service->OpenDoc(true);
}

// The rows of the write-off go, with their additional fields and links: the rows written next
// replace them.
void CFuelWriteOff::ReplaceRows(int32_t doc_id) {
  host::QueryPtr rows = m_App->CreateQuery("THGoodSpec");
  rows->Fields().KeepOnly({"IDC"});
  rows->AddWhere(
      Tools().ColumnCondition("oTable.DocID", Kind::kLongId, host::kOpEqual, Variant(doc_id)));
  rows->Open();
  std::vector<int32_t> ids;
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    ids.push_back(CLng(rows->Fields().Item("IDC").Value()));
  }
  for (int32_t id : ids) m_Spec->Delete(id);
}

std::string CFuelWriteOff::KindFilter() const {
  // Fuel is every kind but gas, so fuel goods without the fuel kind are still written off.
  if (m_Kind == host::kGoodKindFuel) {
    return Tools().ColumnCondition("SubCategory", Kind::kLongId, host::kOpNotEqual,
                                   Variant(host::kGoodKindGas));
  }
  return Tools().ColumnCondition("SubCategory", Kind::kLongId, host::kOpEqual, Variant(m_Kind));
}

// The host's rows objects for the write-off's rows and for its fix-log links.
void CFuelWriteOff::CreateRowObjects() {
  if (!m_Spec)
    m_Spec = std::dynamic_pointer_cast<host::THGoodSpec>(m_App->CreateObject("THGoodSpec"));
  if (!m_FixLog) {
    m_FixLog =
        std::dynamic_pointer_cast<host::THGoodSpecFixLog>(m_App->CreateObject("THGoodSpecFixLog"));
  }
}

bool CFuelWriteOff::CheckRest(int32_t kind, Currency quantity) {
  m_Kind = kind;
  const Currency total = frame::RecordsetAggregate(m_RestList->OpenRecordset(), "RestAccount",
                                                   frame::kAggSum, KindFilter());
  if (total >= quantity) return true;
  const std::string text = frame::FormatMsg(
      frame::MessageText(kMsgFuelRestShort),
      {Variant(Format(Variant(quantity - total), "0.00")),
       Variant(Format(Variant(quantity), "0.00")), Variant(Format(Variant(total), "0.00"))});
  host::CurrentOperator().MessageBox(kMsgFuelRestShort, text, host::MessageButtons::kOk);
  return false;
}

// ---- The distribution ----

void CFuelWriteOff::WriteOffKind(int32_t kind, Currency quantity, const host::QueryPtr& InList,
                                 const host::QueryPtr& RestOnDateLst) {
  m_Kind = kind;
  if (m_IncomeSince) RestrictList(*m_IncomeSince, "", KindFilter());
  RestrictList(*m_RestList, "", KindFilter());
  rest_good_.clear();
  // Each kind starts afresh: what one kind could not place never passes to the other.
  m_Remaining = quantity > Currency() ? quantity : Currency();
  m_List = RestOnDateLst;
  if (m_Remaining > Currency() && m_List->RecordCount() > 0) RunSteps();
  if (m_Remaining > Currency()) {
    m_List = InList;
    m_IncomeList = m_Vehicle->IncomeList();
    if (m_List->RecordCount() > 0) RunSteps();
  }
  m_List.reset();
}

void CFuelWriteOff::RunSteps() {
  host::StepRunner runner;
  runner.Run(*this, &m_App->Connection());
}

std::string CFuelWriteOff::Caption() { return frame::MessageText(kMsgFuelCaption); }

int32_t CFuelWriteOff::CountStep() {
  return m_List && m_List->IsOpen() ? static_cast<int32_t>(m_List->RecordCount()) : 0;
}

void CFuelWriteOff::Step() {
  if (!m_List || !m_List->IsOpen()) return;
  host::RecordsetPtr source = m_List->OpenRecordset();
  if (source->Eof() || m_Remaining == Currency()) return;
  WriteOffRow(*source);
  m_List->MoveNext();
}

void CFuelWriteOff::WriteOffRow(host::Recordset& source) {
  const Currency offered = Money(source.Value("AmountAccount"));
  if (offered <= Currency()) return;
  Currency take = std::min(m_Remaining, offered);
  const std::string good = Text(source.Value("GoodCode"));
  host::RecordsetPtr rest = m_RestList->OpenRecordset();
  if (good != rest_good_) {
    RestrictList(*m_RestList, "",
                 KindFilter() + " AND " + FilterEquals("GoodCode", Variant(good), Kind::kCode) +
                     " AND " +
                     Tools().ColumnCondition("CalcRestAccount", Kind::kQuantity, host::kOpGreater,
                                             Variant(Currency())));
    rest_good_ = good;
    rest_first_open_ = 1;
  } else if (rest_first_open_ > rest->RecordCount()) {
    if (rest->RecordCount() > 0) {
      rest->MoveLast();
      rest->MoveNext();
    }
  } else {
    // Steps consume the rows oldest first, so the rows before the first one with something
    // left are exactly those the restriction "CalcRestAccount > 0" would now leave out:
    // starting there shows the same rows without filtering the whole list again.
    rest->SetAbsolutePosition(rest_first_open_);
  }
  const host::CommonTools& common = *host::CommonTools::Instance();
  while (!rest->Eof() && take > Currency()) {
    const Currency available = Money(rest->Value("CalcRestAccount"));
    const Currency portion = std::min(take, available);
    rest->SetValue("CalcRestAccount", Variant(available - portion));
    rest->Update();
    take -= portion;
    m_Remaining -= portion;
    // The quantity in the rest row's unit that corresponds to the accounting portion.
    const Currency amount =
        common.RoundCy(Div(Mul(Variant(portion), rest->Value("Rest")), rest->Value("RestAccount")),
                       frame::kAmountDigits);
    m_Row->Item("GoodCode").SetValue(rest->Value("GoodCode"));
    m_Row->Item("UnitCode").SetValue(rest->Value("UnitCode"));
    m_Row->Item("Amount").SetValue(Variant(amount));
    m_Row->Item("AmountAccount").SetValue(Variant(Currency()));
    const int32_t spec_id = m_WriteOff->InsertSpecRec(m_Row);
    const Currency gain = Money(m_Row->Item("AmountAccount").Value());
    if (gain != Currency()) LinkGain(source, spec_id, good, gain);
    const long position = rest->AbsolutePosition();
    rest_first_open_ = available > portion ? position : position + 1;
    rest->MoveNext();
  }
}

void CFuelWriteOff::LinkGain(host::Recordset& source, int32_t spec_id, const std::string& good,
                             Currency gain) {
  Currency unlinked = gain;
  if (HasValue(source, "SpecID") && Long(source.Value("SpecID")) != 0) {
    AddLink(good, spec_id, Long(source.Value("SpecID")), gain);
    unlinked = Currency();
  } else {
    if (m_IncomeSince) unlinked = LinkToIncome(*m_IncomeSince, good, spec_id, unlinked, nullptr);
    if (HasValue(source, "CountryCode") && HasValue(source, "PartyCode") && unlinked > Currency()) {
      if (!m_IncomeList) m_IncomeList = m_Vehicle->IncomeList();
      unlinked = LinkToIncome(*m_IncomeList, good, spec_id, unlinked, &source);
    }
  }
  const host::NamedValue* algorithm = m_App->Settings().Find("TransportAlgoritm");
  if (algorithm != nullptr && Long(algorithm->Value()) == 2 && unlinked > Currency()) {
    WarnUnlinked(good, spec_id);
  }
}

Currency CFuelWriteOff::LinkToIncome(host::Query& list, const std::string& good, int32_t spec_id,
                                     Currency quantity, host::Recordset* party) {
  std::string condition = KindFilter() + " AND " +
                          Tools().ColumnCondition("RestAmount", Kind::kQuantity, host::kOpGreater,
                                                  Variant(Currency())) +
                          " AND " + FilterEquals("GoodCode", Variant(good), Kind::kCode);
  if (party != nullptr) {
    condition += " AND " + FilterEquals("Client", party->Value("PartyCode"), Kind::kCode) +
                 " AND " + FilterEquals("CountryCode", party->Value("CountryCode"), Kind::kCode);
  }
  RestrictList(list, "", condition);
  host::RecordsetPtr rs = list.OpenRecordset();
  while (!rs->Eof() && quantity > Currency()) {
    const Currency left = Money(rs->Value("RestAmount"));
    const Currency part = left > quantity ? quantity : left;
    AddLink(good, spec_id, Long(rs->Value("SpecID")), part);
    rs->SetValue("RestAmount", Variant(left - part));
    rs->Update();
    quantity -= part;
    rs->MoveNext();
  }
  return quantity;
}

void CFuelWriteOff::AddLink(const std::string& good, int32_t outcome_id, int32_t income_id,
                            Currency amount) {
  host::NamedValueList& f = m_FixLog->Fields();
  m_FixLog->AddNew();
  f.Item("GoodCode").SetValue(Variant(good));
  f.Item("OutcomeSpecID").SetValue(Variant(outcome_id));
  f.Item("IncomeSpecID").SetValue(Variant(income_id));
  f.Item("Amount").SetValue(Variant(amount));
  f.Item("Type").SetValue(Variant(host::kFixLinkFuelWriteOff));
  m_FixLog->Update();
}

// Part of a row stays unlinked: the person keeps it so (first answer) or has the row's links
// taken away (second answer), after which the source list shows the book as it now stands.
void CFuelWriteOff::WarnUnlinked(const std::string& good, int32_t spec_id) {
  const std::string text = frame::FormatMsg(frame::MessageText(kMsgFuelUnlinked), {Variant(good)});
  const host::MessageAnswer answer =
      host::CurrentOperator().MessageBox(kMsgFuelUnlinked, text, host::MessageButtons::kOkCancel);
  if (answer == host::MessageAnswer::kOk) return;
  const std::string condition =
      Tools().Condition(m_FixLog->Fields().Item("OutcomeSpecID"), host::kOpEqual, Variant(spec_id));
  while (m_FixLog->Find(condition)) m_FixLog->Delete(CLng(m_FixLog->Fields().Item("IDC").Value()));
  // The source list is read again from the book, in place: the walk goes on from its row.
  if (m_List) m_List->Requery();
}

// ---- The document ----

int32_t CFuelWriteOff::DocID() {
  RequireInit("DocID");
  const int32_t parent = ParentIdc();
  if (parent == 0) return 0;
  host::NamedValueList& f = m_Doc->Fields();
  const int32_t idc = CLng(host::CommonTools::Instance()->Nvl(f.Item("IDC").Value(), Variant(0)));
  if (idc == 0 || Long(f.Item("ParentID").Value()) != parent) {
    const std::string condition =
        Tools().Condition(f.Item("ParentID"), host::kOpEqual, Variant(parent));
    if (!m_Doc->FindWhere(condition)) return 0;
  }
  return Long(f.Item("IDC").Value());
}

bool CFuelWriteOff::IsDocPost() {
  return DocID() > 0 && Long(m_Doc->Fields().Item("IsPosted").Value()) != 0;
}

bool CFuelWriteOff::DelDoc() {
  RequireInit("DelDoc");
  db::Transaction work(m_App->Connection());
  if (IsDocPost()) UnpostDoc();
  const int32_t idc = Long(m_Doc->Fields().Item("IDC").Value());
  if (idc == 0) return false;
  const bool deleted = m_Doc->Delete(idc);
  work.Commit();
  return deleted;
}

bool CFuelWriteOff::EditDoc() {
  const int32_t idc = DocID();
  if (idc == 0) return false;
  host::DocEditor(m_App).Edit(idc);
  return true;
}

}  // namespace qts::handlers
