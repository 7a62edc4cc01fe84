#include "dialogs/frm_pack.h"

#include "core/convert.h"
#include "core/text.h"
#include "dialogs/pack_declaration.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/report/print_forms.h"
#include "host/report/report_engine.h"
#include "host/ui/busy_indicator.h"
#include "host/ui/control_list.h"
#include "host/ui/doc_dialog_base.h"
#include "host/ui/doc_spec.h"
#include "host/ui/operator.h"
#include "host/ui/step_runner.h"
#include "host/ui/system_dialog.h"

namespace qts::dialogs {

namespace {

using host::ControlType;
using host::Kind;

// The control codes of the packaging form, in the order it lists them.
constexpr int32_t kControlCodes[] = {15, 29, 22, 24, 42, 7, 2, 36};

// The declaration among the host's print forms.
constexpr const char* kDeclarationReport = "R_PACK";

std::optional<Date> PickedDate(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  return CDate(value);
}

host::QueryPtr NoColumns(const host::AppContextPtr& book, std::string_view table,
                         std::string_view alias) {
  host::QueryPtr q = book->CreateQuery(table);
  q->SetAlias(alias);
  q->Fields().KeepOnly({});
  return q;
}

}  // namespace

frmPACK::frmPACK() : MaterialForm("frmPACK", "Pakuočių deklaracija") {
  Add("lblNr", ControlType::kLabel, "Nr. :");
  Add("edNumb", ControlType::kTextBox, "Dokumento Nr.");
  Add("lblData", ControlType::kLabel, "Data :");
  Add("edDate", ControlType::kDatePicker, "Data");
  Add("edName", ControlType::kTextBox, "Pavadinimas");
  Add("lBegDate", ControlType::kLabel, "Laikotarpis nuo :");
  Add("edBegDate", ControlType::kDatePicker, "Laikotarpio pradžia");
  Add("lEndDate", ControlType::kLabel, "iki :");
  Add("edEndDate", ControlType::kDatePicker, "Laikotarpio pabaiga");
  Add("chIsReusablePack", ControlType::kCheckBox, "Daugkartinės pakuotės");
  Add("SpecGrid", ControlType::kGrid, "Specifikacija");
  Add("btSpecDelete", ControlType::kButton, "Šalinti eilutę");
  Add("btFillSpec", ControlType::kButton, "Užpildyti");
  Add("chIsClosed", ControlType::kCheckBox, "Uždarytas");
  Add("btUsePrint", ControlType::kButton, "Spausdinti");
  Add("btOk", ControlType::kButton, "Gerai");
  Add("btCancel", ControlType::kButton, "Atšaukti");
  Add("btApply", ControlType::kButton, "Išsaugoti");

  SetLayout(15, {"SpecGrid"});
  SetLayout(9, {"btUsePrint"});
  SetLayout(12, {"chIsClosed", "btOk", "btCancel", "btApply"});
  SetLayout(6, {"btSpecDelete", "btFillSpec"});
  SetLayout(0, {"lblData", "edDate", "lblNr", "edNumb"});
  SetLayout(5, {"edName"});
  SetLayout(4, {"chIsReusablePack", "edBegDate", "edEndDate", "lBegDate", "lEndDate"});
}

frmPACK::~frmPACK() = default;

bool frmPACK::Init(const std::shared_ptr<host::SystemDialog>& base) {
  Attach(base);
  host::SystemDialog& d = *base;
  connections_.push_back(
      d.BeforeLoadHandling.Connect([this](host::NamedValueList&, Variant&, bool& cancel) {
        mBaseDlg_BeforeLoadHandling(cancel);
      }));
  connections_.push_back(d.BeforeShow.Connect(
      [this](Variant&, Variant&, bool& cancel) { mBaseDlg_BeforeShow(cancel); }));
  connections_.push_back(
      d.BeforeDDXExchange.Connect([this](host::NamedValueList& fields, bool to_doc, Variant&) {
        mBaseDlg_BeforeDDXExchange(fields, to_doc);
      }));
  connections_.push_back(d.OnDDXExchange.Connect(
      [this](Variant&, bool to_doc, bool& cancel) { mBaseDlg_OnDDXExchange(to_doc, cancel); }));
  connections_.push_back(
      Item("btFillSpec").Click.Connect([this](host::Control&) { btFillSpec_Click(); }));
  connections_.push_back(
      Item("btUsePrint").Click.Connect([this](host::Control&) { btUsePrint_Click(); }));
  return true;
}

void frmPACK::mBaseDlg_BeforeLoadHandling(bool cancel) {
  if (cancel) return;
  try {
    host::BusyIndicator busy;
    auto self = std::dynamic_pointer_cast<host::IDialogForm>(shared_from_this());
    m_Spec = std::make_shared<host::DocSpec>();
    m_Spec->Init(self, m_Doc->Application());
    m_DlgBase = std::make_shared<host::DocDialogBase>();
    auto controls = std::make_shared<host::ControlList>();
    for (int32_t code : kControlCodes) controls->Add(code);
    m_DlgBase->Init("PACK", shared_from_this(), mBaseDlg, m_Doc, "", "IsPosted", m_Spec, false, 0,
                    controls);
    m_Doc->Fields().Item("DocTypeCode").SetValue(Variant(std::string("PACK")));
    m_Doc->InitNew();

    host::SystemDialog& d = *mBaseDlg;
    d.BindField(Item("edNumb"), "Number", "");
    d.BindField(Item("edName"), "Name", "");
    d.BindField(Item("edDate"), "DocumentDate", "IsPosted");
    d.BindField(Item("chIsClosed"), "IsClosed", "");
    d.BindField(Item("edBegDate"), "CommingInForceDate", "");
    d.BindField(Item("edEndDate"), "TermsOfValidityDate", "");
    d.BindField(Item("chIsReusablePack"), "AddFld.IsReusablePack", "");
    m_Spec->Attach(Item("SpecGrid"), m_Doc, self, mBaseDlg, &Item("btSpecDelete"));
    m_Spec->SetKind("SC");
    connections_.push_back(m_Spec->AfterChangeColValue.Connect(
        [this](const std::string& column, host::NamedValueList& row) {
          m_SpecList_AfterChangeColValue(column, row);
        }));
    m_Names = std::make_unique<PackNames>(m_Doc->Application());
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void frmPACK::mBaseDlg_BeforeShow(bool /*cancel*/) {
  // The host's date boxes take a display setting here that changes no data.
}

void frmPACK::mBaseDlg_BeforeDDXExchange(host::NamedValueList& fields, bool to_doc) {
  if (to_doc || !mBaseDlg || !mBaseDlg->InsertMode()) return;
  try {
    // A new declaration starts with today in both period fields.
    const Variant today(Date::Today());
    fields.Item("CommingInForceDate").SetValue(today);
    fields.Item("TermsOfValidityDate").SetValue(today);
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void frmPACK::mBaseDlg_OnDDXExchange(bool to_doc, bool cancel) {
  if (cancel || !m_DlgBase) return;
  try {
    host::BusyIndicator busy;
    if (to_doc) {
      m_DlgBase->ReadFromFormToDoc();
      return;
    }
    const Variant& idc = m_Doc->Fields().Item("IDC").Value();
    if ((idc.IsNull() || CLng(idc) == 0) && !m_DlgBase->CopyDoc()) {
      m_DlgBase->ModeInsertNewDoc(Variant(int32_t{0}), Variant(int32_t{0}));
    } else if (!m_DlgBase->DDXShowChangeState()) {
      m_DlgBase->ReadFromDocToForm(Variant(int32_t{0}));
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

bool frmPACK::Check(std::string& message) {
  const std::optional<Date> beg = PickedDate(Item("edBegDate").Value());
  const std::optional<Date> end = PickedDate(Item("edEndDate").Value());
  // One declaration period: both dates, in order, in one calendar year.
  if (!beg || !end || *end < *beg || beg->Year() != end->Year()) {
    message = frame::MessageText(kMsgPackPeriod);
    return false;
  }
  const bool reusable = CLng(Item("chIsReusablePack").Value()) == 1;
  const host::SqlTools& sql = *host::SqlTools::Instance();
  const host::AppContextPtr& book = m_Doc->Application();
  host::QueryPtr other = NoColumns(book, "THDocument", "oTable");
  other->Fields().AddColumn("IDC", Kind::kLongId, "oTable.IDC");
  other->InnerJoin(NoColumns(book, "PACKTHDocument", "DocA"), "DocA", "oTable.IDC = DocA.DocID");
  const Variant& idc = m_Doc->Fields().Item("IDC").Value();
  other->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.ColumnCondition("DocA.IsReusablePack", Kind::kFlag, host::kOpEqual,
                           Variant(int32_t{reusable ? 1 : 0})),
       sql.ColumnCondition("oTable.DocTypeCode", Kind::kCode, host::kOpEqual, Variant("PACK")),
       sql.ColumnCondition("oTable.IDC", Kind::kLongId, host::kOpNotEqual,
                           Variant(idc.IsNull() ? 0 : CLng(idc))),
       sql.ColumnCondition("oTable.CommingInForceDate", Kind::kDate, host::kOpLessOrEqual,
                           Variant(*end)),
       sql.ColumnCondition("oTable.TermsOfValidityDate", Kind::kDate, host::kOpGreaterOrEqual,
                           Variant(*beg))}));
  other->SetTop(1);
  other->Open();
  if (other->RecordCount() > 0) {
    message = frame::MessageText(kMsgPackDuplicate);
    return false;
  }
  return true;
}

std::vector<std::string> frmPACK::HideColumnList() {
  return {"Amount",        "AmountAccount", "Price",       "AlgebraicSum", "Summa",
          "PriceNational", "BOperCode",     "CostSumm",    "FixCategory",  "LotPropertyID",
          "IsGoodClosed",  "IsTranClosed",  "IsPayClosed", "IsFixed"};
}

void frmPACK::m_SpecList_AfterChangeColValue(const std::string& column, host::NamedValueList& row) {
  try {
    if (!m_Names) return;
    const Variant& value = row.Item(column).Value();
    if (EqualsIgnoreCase(column, "AddFld.PackMaterialKind")) {
      row.Item("AddFld.PackMaterial").SetValue(m_Names->MaterialName(value));
    } else if (EqualsIgnoreCase(column, "AddFld.PackType")) {
      row.Item("AddFld.PackTypeName").SetValue(m_Names->TypeName(value));
    } else if (EqualsIgnoreCase(column, "UnitCode")) {
      row.Item("AddFld.UnitName").SetValue(m_Names->UnitName(value));
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

int32_t frmPACK::FillSpecification(bool reusable) {
  const std::optional<Date> beg = PickedDate(Item("edBegDate").Value());
  const std::optional<Date> end = PickedDate(Item("edEndDate").Value());
  if (!beg || !end) {
    throw Error(kErrComponent, "frmPACK::FillSpecification", frame::MessageText(kMsgPackPeriod));
  }
  const host::AppContextPtr& book = m_Doc->Application();
  PackDeclaration declaration(book, *beg, *end, reusable);
  CPackFill fill(book, CLng(m_Doc->Fields().Item("IDC").Value()), declaration.DeclarationQuery(),
                 reusable);
  mBaseDlg->BeginEdits();
  try {
    host::StepRunner runner;
    runner.Run(fill, book->Connection());
  } catch (...) {
    m_Spec->Reload();
    throw;
  }
  mBaseDlg->CountChange();
  m_Spec->Reload();
  host::CurrentOperator().ShowWait(
      frame::FormatMsg(frame::MessageText(kMsgPackRowsWritten), {Variant(fill.Written())}));
  return fill.Written();
}

void frmPACK::btFillSpec_Click() {
  host::Operator& op = host::CurrentOperator();
  try {
    // The rows belong to a stored document: a new or changed one is written first, without a
    // question (the dialog counts the button's own work as a change before it runs).
    if (!m_DlgBase || !m_DlgBase->SaveBeforeAction(false)) return;
    if (m_Spec->RowCount() > 0 &&
        op.MessageBox(kMsgPackReplaceRows, frame::MessageText(kMsgPackReplaceRows),
                      host::MessageButtons::kOkCancel) != host::MessageAnswer::kOk) {
      return;
    }
    op.ShowWait(frame::MessageText(frame::kMsgWaitText));
    FillSpecification(CLng(Item("chIsReusablePack").Value()) == 1);
    mBaseDlg->Refresh();
    op.CloseWait();
  } catch (...) {
    op.CloseWait();
    frame::ShowCurrentError();
  }
}

void frmPACK::btUsePrint_Click() {
  try {
    if (!m_DlgBase || !m_DlgBase->SaveBeforeAction(false)) return;
    host::BusyIndicator busy;
    auto runner = std::make_shared<host::ReportRunner>();
    runner->Load(kDeclarationReport);
    runner->AddParam("FormObject", Variant(shared_from_this()));
    runner->Run(m_Doc->Application());
  } catch (...) {
    frame::ShowCurrentError();
  }
}

bool frmPACK::SetReportValue(const host::NamedValueListPtr& report_params) {
  report_params->Add("FormObject", Kind::kObject, Variant(shared_from_this()));
  return true;
}

host::AppContextPtr frmPACK::ReportBook() {
  if (m_Book) return m_Book;
  if (m_Doc) return m_Doc->Application();
  host::NamedValueListPtr none;
  return frame::GetBook(none, false);
}

host::QueryPtr frmPACK::DeclarationData(int32_t year, int32_t doc_id, bool reusable) {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  host::AppContextPtr book = ReportBook();
  host::QueryPtr d = NoColumns(book, "THDocument", "D");
  d->InnerJoin(NoColumns(book, "PACKTHDocument", "da"), "da", "D.IDC = da.DocID");
  d->InnerJoin(NoColumns(book, "THGoodSpec", "gs"), "gs", "D.IDC = gs.DocID");
  d->InnerJoin(NoColumns(book, "PACKTHGoodSpec", "gsa"), "gsa",
               "gs.DocID = gsa.DocID AND gs.PosNumb = gsa.PosNumb");
  d->InnerJoin(NoColumns(book, "REFGoodUnit", "gu"), "gu",
               "gs.GoodCode = gu.GoodCode AND gs.UnitCode = gu.UnitCode");
  d->InnerJoin(NoColumns(book, "REFGood", "G"), "G", "gs.GoodCode = g.Code");
  // A declaration is of one kind of packaging: the flag applies to one document as well.
  const std::string flag = sql.ColumnCondition("da.IsReusablePack", Kind::kFlag, host::kOpEqual,
                                               Variant(int32_t{reusable ? 1 : 0}));
  if (doc_id != 0) {
    d->AddWhere(sql.JoinConditions(
        host::kJoinAnd,
        {sql.ColumnCondition("D.IDC", Kind::kLongId, host::kOpEqual, Variant(doc_id)), flag}));
  } else {
    d->AddWhere(sql.JoinConditions(
        host::kJoinAnd,
        {sql.ColumnCondition("D.CommingInForceDate", Kind::kDate, host::kOpGreaterOrEqual,
                             Variant(Date::FromYmd(year, 1, 1))),
         sql.ColumnCondition("D.TermsOfValidityDate", Kind::kDate, host::kOpLessOrEqual,
                             Variant(Date::FromYmd(year, 12, 31))),
         flag}));
  }
  host::NamedValueList& f = d->Fields();
  f.AddColumn("IDC", Kind::kLongId, "D.IDC");
  f.AddColumn("CommingInForceDate", Kind::kDate, "D.CommingInForceDate");
  f.AddColumn("TermsOfValidityDate", Kind::kDate, "D.TermsOfValidityDate");
  f.AddColumn("SubCategory", Kind::kCategory, "g.SubCategory");
  f.AddColumn("IsDomManufact", Kind::kFlag, "g.IsDomManufact");
  f.AddColumn("PackMaterialKind", Kind::kCode, "gsa.PackMaterialKind");
  f.AddColumn("PackType", Kind::kLongId, "gsa.PackType");
  f.AddColumn("IsReusable", Kind::kFlag, "da.IsReusablePack");
  f.AddColumn("AmountB", Kind::kWeight, "gsa.SaleManufactAmount");
  f.AddColumn("AmountC", Kind::kWeight, "gsa.SaleImportAmount");
  f.AddColumn("AmountD", Kind::kWeight, "gsa.ExportAmount");
  f.AddColumn("AmountE", Kind::kWeight, "gsa.NotSaleAmount");
  f.AddColumn("AmountF", Kind::kWeight, "gsa.UsedPackInSaleAmount");
  f.AddColumn("AmountG", Kind::kWeight, "gsa.ReturnAmount");

  host::QueryPtr wrapped = frame::WrapQuery(d, "D", Variant(), book, false);
  wrapped->LeftJoin(NoColumns(book, "REFPackMaterialKind", "PM"), "PM",
                    "D.PackMaterialKind = PM.Code");
  return wrapped;
}

host::QueryPtr frmPACK::ReportTableQuery(int32_t year, int32_t doc_id, bool reusable) {
  host::QueryPtr data = DeclarationData(year, doc_id, reusable);
  host::NamedValueList& f = data->Fields();
  f.KeepOnly({});
  // A kind the catalogue lacks still shows its code.
  f.AddColumn("Code", Kind::kCode, "COALESCE(PM.Code, D.PackMaterialKind)");
  f.AddColumn("Name", Kind::kName, "PM.Name");
  for (const DeclarationColumn& c : DeclarationColumns()) {
    if (c.reusable != reusable) continue;
    f.AddColumn(c.name, Kind::kWeight,
                CaseWhen(BlockCondition(c), std::string("D.") + c.saved, "0"))
        .SetAggregate(host::kAggregateSum);
  }
  host::AppContextPtr book = ReportBook();
  host::QueryPtr table = frame::WrapQuery(data, "D", Variant(), book, false);
  table->OrderBy("Code");
  return table;
}

host::RecordsetPtr frmPACK::DataList4ReportA(int32_t year, int32_t doc_id) {
  host::QueryPtr table = ReportTableQuery(year, doc_id, false);
  table->Open();
  return table->OpenRecordset();
}

host::RecordsetPtr frmPACK::DataList4ReportB(int32_t year, int32_t doc_id) {
  host::QueryPtr table = ReportTableQuery(year, doc_id, true);
  table->Open();
  return table->OpenRecordset();
}

host::RecordsetPtr frmPACK::Test() { return DataList4ReportB(Date::Today().Year(), 0); }

void frmPACK::Form_Unload() {
  if (m_DlgBase) {
    m_DlgBase->Terminate();
    m_DlgBase.reset();
  }
  m_Names.reset();
  Release();
}

Variant frmPACK::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  if (kind == InvokeKind::kMethod || kind == InvokeKind::kPropertyGet) {
    auto arg = [&](size_t i) -> const Variant& {
      if (args.size() <= i) {
        throw Error(kErrInvalidCall, "frmPACK", std::string(name) + ": argument not optional");
      }
      return args[i];
    };
    if (EqualsIgnoreCase(name, "InitBook")) {
      InitBook(std::dynamic_pointer_cast<host::AppContext>(arg(0).AsObject()));
      return Variant();
    }
    if (EqualsIgnoreCase(name, "DataList4ReportA") || EqualsIgnoreCase(name, "DataList4ReportB")) {
      const int32_t year = CLng(arg(0));
      const int32_t doc_id = CLng(arg(1));
      host::RecordsetPtr rows = EqualsIgnoreCase(name, "DataList4ReportA")
                                    ? DataList4ReportA(year, doc_id)
                                    : DataList4ReportB(year, doc_id);
      return Variant(std::static_pointer_cast<Object>(rows));
    }
    if (EqualsIgnoreCase(name, "SetReportValue")) {
      return Variant(
          SetReportValue(std::dynamic_pointer_cast<host::NamedValueList>(arg(0).AsObject())));
    }
    if (EqualsIgnoreCase(name, "Test")) return Variant(std::static_pointer_cast<Object>(Test()));
  }
  return MaterialForm::Invoke(name, kind, args);
}

bool frmPACK::HasMember(std::string_view name) const {
  for (std::string_view member :
       {"InitBook", "DataList4ReportA", "DataList4ReportB", "SetReportValue", "Test"}) {
    if (EqualsIgnoreCase(name, member)) return true;
  }
  return MaterialForm::HasMember(name);
}

}  // namespace qts::dialogs
