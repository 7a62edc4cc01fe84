#include "reports/rep_mfc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "dialogs/testing/dialog_book.h"
#include "frame/catalogue.h"
#include "frame/define_module.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/interfaces.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_document.h"
#include "host/report/report_engine.h"
#include "reports/testing/report_harness.h"

namespace qts::reports {
namespace {

using dialogs::testing::kReceipt;
using testing::Cell;

class ReceiptActTest : public dialogs::testing::DialogBook {
 protected:
  void SetUp() override {
    DialogBook::SetUp();
    app_ = std::make_shared<host::ReportApp>();
    current_ = std::make_unique<host::ScopedClientApplication>(app_);
  }

  // The receipt R1 with its department, store and both persons chosen, saved.
  void OpenAndFill() {
    Open("MFC", kReceipt);
    Do({"set edNumb R-000101", "set edDate 2026-03-05", "set edName Duonos gamyba",
        "set cbDepartment D1", "set cbStore S1", "set cbPerson P3", "set cbKontrolerius P4"});
    ASSERT_TRUE(dialog_->Save());
  }

  bool Run(bool with_doc = true) {
    const frame::ClassInfo* cls = frame::Catalogue::Instance().FindProgId("QTS_Inventory.CRepMFC");
    EXPECT_NE(cls, nullptr);
    auto report = TryQueryInterface<host::IReportExec>(frame::Catalogue::Instance().Create(*cls));
    EXPECT_NE(report, nullptr);
    auto params = std::make_shared<host::NamedValueList>();
    if (with_doc)
      params->Add("oDoc", 0, Variant(std::static_pointer_cast<Object>(Form().Get_oDoc())));
    values_ = std::make_shared<host::NamedValueList>();
    return report->Run(params, values_);
  }

  std::string Text(const std::string& name) const { return Cell(values_->Item(name).Value()); }

  // "column" of the row of `table` whose "Code" is `code`, straight from the backend.
  std::string Stored(const std::string& table, const std::string& column, const std::string& code) {
    db::StatementHandle s = book_->Connection().Prepare(
        "SELECT COALESCE(\"" + column + "\", '') FROM \"T$" + table + "\" WHERE \"Code\" = ?1");
    s->BindText(1, code);
    EXPECT_TRUE(s->Step()) << table << " " << code;
    return s->GetText(0);
  }
  std::string PersonLine(const std::string& code) {
    return Stored("REFPerson", "Position", code) + " " + Stored("REFPerson", "FirstName", code) +
           " " + Stored("REFPerson", "LastName", code);
  }

  std::shared_ptr<host::ReportApp> app_;
  std::unique_ptr<host::ScopedClientApplication> current_;
  host::NamedValueListPtr values_;
};

TEST_F(ReceiptActTest, EveryValueComesFromTheDocumentTheEnterpriseAndThePersonsOnIt) {
  OpenAndFill();
  ASSERT_TRUE(Run());
  EXPECT_TRUE(operator_->Errors().empty());
  std::vector<std::string> names;
  for (const host::NamedValuePtr& entry : values_->Entries()) names.push_back(entry->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"psImone", "ReportTitle", "psChechas", "psDocNr",
                                             "pdDocDate", "psMonth", "psTKSvirsininkas", "psStore",
                                             "psPrieme", "Name", "psPridave", "mnfc_ttx"}));
  EXPECT_EQ(Text("psImone"), "UAB Bandymas");
  EXPECT_EQ(Text("ReportTitle"), frame::MessageText(1080));
  EXPECT_EQ(Text("psChechas"), "D1 : " + Stored("REFDepartment", "Name", "D1"));
  EXPECT_EQ(Text("psDocNr"), "R-000101");
  EXPECT_EQ(Text("pdDocDate"), "2026-03-05");
  EXPECT_EQ(values_->Item("pdDocDate").Kind(), host::Code(host::Kind::kDate));
  EXPECT_EQ(Text("psMonth"), "kovas");
  EXPECT_EQ(Text("psTKSvirsininkas"), PersonLine("P4"));
  EXPECT_EQ(Text("psStore"), "S1: " + Stored("STStore", "Name", "S1"));
  EXPECT_EQ(Text("psPrieme"), "");
  EXPECT_EQ(Text("Name"), "Duonos gamyba");
  EXPECT_EQ(Text("psPridave"), PersonLine("P3"));
  EXPECT_EQ(values_->Item("psPridave").Kind(), host::Code(host::Kind::kPersonText));

  const Variant& list = values_->Item("mnfc_ttx").Value();
  EXPECT_EQ(values_->Item("mnfc_ttx").Kind(), host::Code(host::Kind::kObject));
  auto rows = std::dynamic_pointer_cast<host::Recordset>(list.AsObject());
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->RecordCount(), 1);
  rows->MoveFirst();
  EXPECT_EQ(CStr(rows->Fields().Item("GoodCode").Value()), "G1");
  EXPECT_EQ(Cell(rows->Fields().Item("Summa").Value()), "8");
}

TEST_F(ReceiptActTest, APersonWithoutALastNameIsPrintedWithoutTrailingSpace) {
  OpenAndFill();
  Do({"set cbPerson P5"});
  ASSERT_TRUE(dialog_->Save());
  ASSERT_TRUE(Run());
  EXPECT_EQ(Text("psPridave"),
            Stored("REFPerson", "Position", "P5") + " " + Stored("REFPerson", "FirstName", "P5"));
}

TEST_F(ReceiptActTest, ARoleNobodyHoldsIsAnEmptyText) {
  OpenAndFill();
  Do({"set cbKontrolerius "});
  ASSERT_TRUE(dialog_->Save());
  ASSERT_TRUE(Run());
  EXPECT_EQ(Text("psTKSvirsininkas"), "");
}

TEST_F(ReceiptActTest, TheDocumentsBookBecomesCurrentOnlyWhenThereIsNone) {
  OpenAndFill();
  ASSERT_TRUE(Run());
  EXPECT_EQ(app_->CurrentBook(), book_);

  auto other = std::make_shared<host::ReportApp>();
  host::AppContextPtr kept = host::AppContext::CreateBook(":memory:", "OTHER");
  other->SetCurrentBook(kept);
  host::ScopedClientApplication scoped(other);
  ASSERT_TRUE(Run());
  EXPECT_EQ(other->CurrentBook(), kept);
}

TEST_F(ReceiptActTest, OpeningTheReceiptPrintsItsOwnActFromThePrintButton) {
  OpenAndFill();
  const std::filesystem::path file = dir_ / "act.json";
  dialog_->Print("CRepMFC", file, false);
  ASSERT_TRUE(std::filesystem::exists(file));
  std::ifstream in(file);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\"psDocNr\": \"R-000101\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"mnfc_ttx\""), std::string::npos) << text;
}

TEST_F(ReceiptActTest, ThePrintedActSaysTheReceiptItsPersonsAndTotalsInWords) {
  OpenAndFill();
  ASSERT_TRUE(Run());
  const host::PrintedReport printed = host::LayOutReport(
      host::ReportDocument::FromValues("CRepMFC", *values_, Date::FromYmd(2026, 12, 6)),
      host::LoadPrintLayout("CRepMFC"), book_);
  EXPECT_EQ(printed.title, frame::MessageText(1080));
  std::map<std::string, std::string> lines;
  for (const host::PrintedHeaderLine& line : printed.header) lines[line.caption] = line.text;
  EXPECT_EQ(lines["Padalinys"], "D1 : " + Stored("REFDepartment", "Name", "D1"));
  EXPECT_EQ(lines["Sandėlis"], "S1: " + Stored("STStore", "Name", "S1"));
  EXPECT_EQ(lines["Paskirtis"], "Duonos gamyba");
  ASSERT_EQ(printed.signatures.size(), 3u);
  EXPECT_EQ(printed.signatures[0].role, "Perdavė");
  EXPECT_EQ(printed.signatures[0].name, PersonLine("P3"));
  EXPECT_EQ(printed.signatures[1].name, "");  // signed by hand
  EXPECT_EQ(printed.signatures[2].name, PersonLine("P4"));
  ASSERT_EQ(printed.tables.size(), 1u);
  EXPECT_EQ(printed.tables[0].rows, 1u);
}

}  // namespace
}  // namespace qts::reports
