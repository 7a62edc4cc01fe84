// frmPACK: the dialog of the packaging declaration (document type "PACK"). Its header holds
// the declaration period ("edBegDate" .. "edEndDate", the document's "CommingInForceDate" and
// "TermsOfValidityDate") and whether it declares reusable packaging ("chIsReusablePack", the
// additional field "IsReusablePack"); its rows one packaging good and unit each, with the
// material kind, the type and six amounts in tonnes. The button "btFillSpec" replaces the rows
// with the declaration computed from the stock documents of the period (PackDeclaration,
// CPackFill). The form has no dialog controller: it drives the host's DocDialogBase itself.
//
// It also gives the packaging declaration report its two tables (DataList4ReportA, B): the
// saved declarations of a year, or of one document, summed per material kind into the columns
// of the yearly form.
//
// The load, show, exchange, column-change and button handlers catch every error: it is shown to
// the person (ShowCurrentError) and the handler returns.
#ifndef QTS_DIALOGS_FRM_PACK_H_
#define QTS_DIALOGS_FRM_PACK_H_

#include <memory>
#include <string>
#include <vector>

#include "dialogs/material_form.h"
#include "dialogs/pack_fill.h"
#include "host/data/query.h"

namespace qts::host {
class DocDialogBase;
}

namespace qts::dialogs {

class frmPACK final : public MaterialForm {
 public:
  frmPACK();
  ~frmPACK() override;
  std::string_view ClassName() const override { return "frmPACK"; }

  bool Init(const std::shared_ptr<host::SystemDialog>& base) override;
  // False with the text of message 27412 when the period's dates are missing, out of order or
  // not in one calendar year; 27411 when another declaration with the same reusable flag has
  // a period that overlaps this one.
  bool Check(std::string& message) override;
  std::vector<std::string> HideColumnList() override;
  std::string DocType() override { return "PACK"; }
  void Form_Unload() override;

  // Adds "FormObject" = this form to the report's parameters; True.
  bool SetReportValue(const host::NamedValueListPtr& report_params);
  // The book the report tables are read from.
  void InitBook(host::AppContextPtr book) { m_Book = std::move(book); }
  // The saved declaration rows of the declarations with the reusable flag `reusable`: of
  // document `doc_id` when it is not 0, else of those whose period lies in `year`: D.IDC, the
  // period, the good's sub-category and origin, material kind and type, the flag and the six
  // amounts as AmountB ... AmountG; the material kind's catalogue joined as PM. Not opened.
  host::QueryPtr DeclarationData(int32_t year, int32_t doc_id, bool reusable);
  // Table A (f502 ... f513, non-reusable declarations) and table B (f602 ... f609, reusable)
  // per material kind ("Code", "Name"), by code.
  host::RecordsetPtr DataList4ReportA(int32_t year, int32_t doc_id);
  // The query of table A (`reusable` False) or B, not opened.
  host::QueryPtr ReportTableQuery(int32_t year, int32_t doc_id, bool reusable);
  host::RecordsetPtr DataList4ReportB(int32_t year, int32_t doc_id);
  // Table B of every saved reusable declaration of the current book; a check with no effect.
  host::RecordsetPtr Test();

  // Replaces the document's rows with the declaration of the form's period and flag, as one
  // step process (nothing is written when it fails). Returns the rows written.
  int32_t FillSpecification(bool reusable);

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

 private:
  void mBaseDlg_BeforeLoadHandling(bool cancel);
  void mBaseDlg_BeforeShow(bool cancel);
  void mBaseDlg_BeforeDDXExchange(host::NamedValueList& fields, bool to_doc);
  void mBaseDlg_OnDDXExchange(bool to_doc, bool cancel);
  void m_SpecList_AfterChangeColValue(const std::string& column, host::NamedValueList& row);
  void btFillSpec_Click();
  void btUsePrint_Click();
  host::AppContextPtr ReportBook();

  std::shared_ptr<host::DocDialogBase> m_DlgBase;
  host::AppContextPtr m_Book;
  std::unique_ptr<PackNames> m_Names;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_FRM_PACK_H_
