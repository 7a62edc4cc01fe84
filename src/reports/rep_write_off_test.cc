#include "reports/rep_write_off.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/dispatch.h"
#include "dialogs/iwctrl_system_dialog.h"
#include "dialogs/testing/dialog_book.h"
#include "frame/catalogue.h"
#include "handlers/item_write_off.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/interfaces.h"
#include "host/report/print_layout.h"
#include "host/report/printed_report.h"
#include "host/report/report_document.h"
#include "host/report/report_engine.h"
#include "host/ui/doc_spec.h"
#include "reports/testing/report_harness.h"

namespace qts::reports {
namespace {

using dialogs::testing::kOpenWriteOff;
using testing::Cell;

// A person as the book's catalogue holds them, read straight from the backend.
struct StoredPerson {
  std::string first, last, position;
};

class WriteOffActTest : public dialogs::testing::DialogBook {
 protected:
  // The open write-off W2 with its department and committee chosen and a number a bar code
  // can carry, saved.
  void OpenAndFill(std::vector<std::string> committee = {"set cbMember_Head P2", "set cbMember1 P3",
                                                         "set cbMember2 P5", "set cbMember3 P4"}) {
    Open("MMO", kOpenWriteOff);
    Do({"set edNumb W-00077", "set edDate 2026-02-10", "set edName Sugadintos prekės",
        "set cbDepartment D1", "set cbAccPerson P4"});
    Do(committee);
    ASSERT_TRUE(dialog_->Save());
  }

  host::NamedValueListPtr Params(bool with_form = true, bool with_book = true) {
    auto params = std::make_shared<host::NamedValueList>();
    if (with_book) params->Add("Book", 0, Variant(std::static_pointer_cast<Object>(book_)));
    if (with_form) {
      params->Add("FormObject", 0,
                  Variant(std::static_pointer_cast<Object>(dialog_->FormObject())));
      params->Add("oMWControl", 0, Variant(std::static_pointer_cast<Object>(Form().Controller())));
    }
    return params;
  }

  // Runs the report created by its programmatic identifier, as the host's print does.
  bool Run(const std::string& report_class, host::NamedValueListPtr params) {
    const frame::ClassInfo* cls =
        frame::Catalogue::Instance().FindProgId("QTS_Inventory." + report_class);
    EXPECT_NE(cls, nullptr) << report_class;
    auto report = TryQueryInterface<host::IReportExec>(frame::Catalogue::Instance().Create(*cls));
    EXPECT_NE(report, nullptr) << report_class;
    values_ = std::make_shared<host::NamedValueList>();
    return report->Run(params, values_);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const host::NamedValuePtr& entry : values_->Entries()) names.push_back(entry->Name());
    return names;
  }
  std::string Text(const std::string& name) const { return Cell(values_->Item(name).Value()); }
  int32_t KindOf(const std::string& name) const { return values_->Item(name).Kind(); }

  StoredPerson Person(const std::string& code) {
    db::StatementHandle s = book_->Connection().Prepare(
        "SELECT COALESCE(\"FirstName\", ''), COALESCE(\"LastName\", ''),"
        " COALESCE(\"Position\", '') FROM \"T$REFPerson\" WHERE \"Code\" = ?1");
    s->BindText(1, code);
    EXPECT_TRUE(s->Step()) << code;
    return {s->GetText(0), s->GetText(1), s->GetText(2)};
  }

  // The rows of a data list value: its recordset (the value itself or its "Recordset").
  host::RecordsetPtr ListRows(const std::string& name) {
    const Variant& value = values_->Item(name).Value();
    EXPECT_TRUE(value.IsObject()) << name;
    if (auto rows = std::dynamic_pointer_cast<host::Recordset>(value.AsObject())) return rows;
    Variant held = CallByName(value.AsObject(), "Recordset", InvokeKind::kPropertyGet);
    return std::dynamic_pointer_cast<host::Recordset>(held.AsObject());
  }

  host::NamedValueListPtr values_;
};

TEST_F(WriteOffActTest, EveryValueComesFromTheFormTheDocumentAndThePersonCatalogue) {
  OpenAndFill();
  auto params = Params();
  params->Add("ParamPrintBarCode", 0, Variant(int32_t{1}));
  ASSERT_TRUE(Run("CRepWriteOff", params));
  EXPECT_TRUE(operator_->Errors().empty());

  EXPECT_EQ(Names(),
            (std::vector<std::string>{
                "cEnterprise", "PlantCode", "DocNr",    "DocDate", "Month",       "DocComment",
                "DeptCode",    "DeptName",  "stCode",   "stName",  "cAccProf",    "cAccName",
                "cProf1",      "cName1",    "cProf2",   "cName2",  "cProf3",      "cName3",
                "cProf4",      "cName4",    "DataList", "DIRName", "DIRPosition", "BarCode"}));
  EXPECT_EQ(Text("cEnterprise"), "UAB Bandymas");
  EXPECT_EQ(Text("PlantCode"), "123456789");
  EXPECT_EQ(Text("DocNr"), "W-00077");
  EXPECT_EQ(Text("DocDate"), "2026-02-10");
  EXPECT_EQ(KindOf("DocDate"), host::Code(host::Kind::kDate));
  EXPECT_EQ(Text("Month"), "vasaris");
  EXPECT_EQ(Text("DocComment"), "Sugadintos prekės");
  EXPECT_EQ(Text("DeptCode"), "D1");
  EXPECT_EQ(Text("DeptName"), "Gamyba");
  EXPECT_EQ(Text("stCode"), "S1");
  EXPECT_EQ(KindOf("stCode"), host::Code(host::Kind::kCode));

  // Persons: positions and "first last" as the catalogue holds them; the director with two
  // spaces between the names.
  const StoredPerson accountable = Person("P4");
  EXPECT_EQ(Text("cAccProf"), accountable.position);
  EXPECT_EQ(Text("cAccName"), accountable.first + " " + accountable.last);
  const char* committee[] = {"P2", "P3", "P5", "P4"};
  for (int digit = 1; digit <= 4; ++digit) {
    const StoredPerson member = Person(committee[digit - 1]);
    const std::string d = std::to_string(digit);
    EXPECT_EQ(Text("cProf" + d), member.position) << d;
    // P5 has no last name: the first name alone, with no space after it.
    EXPECT_EQ(Text("cName" + d),
              member.last.empty() ? member.first : member.first + " " + member.last)
        << d;
  }
  const StoredPerson director = Person("P1");
  EXPECT_EQ(Text("DIRName"), director.first + "  " + director.last);
  EXPECT_EQ(Text("DIRPosition"), director.position);

  auto handler = std::dynamic_pointer_cast<handlers::CItemWriteOff>(Form().Controller()->ThDoc());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(Text("BarCode"), handler->GenBarCode());
  EXPECT_EQ(Text("BarCode").rfind("402MMO 260210W-00077", 0), 0u) << Text("BarCode");

  // The data list is the grid's own list object; its rows are the document's.
  EXPECT_EQ(KindOf("DataList"), host::Code(host::Kind::kObject));
  const Variant& list = values_->Item("DataList").Value();
  EXPECT_EQ(list.AsObject(), std::static_pointer_cast<Object>(Form().Get_SpecList()->BaseList()));
  host::RecordsetPtr rows = ListRows("DataList");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->RecordCount(), static_cast<int32_t>(Rows(kOpenWriteOff).size()));
}

TEST_F(WriteOffActTest, EmptyCommitteeCombosKeepTheirValuesWithoutText) {
  OpenAndFill({"set cbMember_Head P2", "set cbMember2 "});
  ASSERT_TRUE(Run("CRepWriteOff", Params()));
  EXPECT_EQ(Text("cName1"), Person("P2").first + " " + Person("P2").last);
  for (const char* name : {"cProf2", "cName2", "cProf3", "cName3", "cProf4", "cName4"}) {
    ASSERT_TRUE(values_->ExistsField(name)) << name;
    EXPECT_TRUE(values_->Item(name).Value().IsEmpty()) << name;
  }
}

struct BarCodeCase {
  std::string name;
  bool given;
  int32_t flag;
  bool expected;
};

class WriteOffBarCodeTest : public WriteOffActTest,
                            public ::testing::WithParamInterface<BarCodeCase> {};

TEST_P(WriteOffBarCodeTest, TheBarCodeIsAddedOnlyWhenAskedForWithOne) {
  OpenAndFill();
  auto params = Params();
  if (GetParam().given) params->Add("ParamPrintBarCode", 0, Variant(GetParam().flag));
  ASSERT_TRUE(Run("CRepWriteOff", params));
  EXPECT_EQ(values_->ExistsField("BarCode"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Flags, WriteOffBarCodeTest,
                         ::testing::Values(BarCodeCase{"absent", false, 0, false},
                                           BarCodeCase{"zero", true, 0, false},
                                           BarCodeCase{"two", true, 2, false},
                                           BarCodeCase{"one", true, 1, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(WriteOffActTest, ANumberABarCodeCannotCarryGivesAnEmptyBarCode) {
  OpenAndFill();
  Do({"set edNumb W-1"});
  ASSERT_TRUE(dialog_->Save());
  auto params = Params();
  params->Add("ParamPrintBarCode", 0, Variant(int32_t{1}));
  ASSERT_TRUE(Run("CRepWriteOff", params));
  EXPECT_EQ(Text("BarCode"), "");
}

// Without the form the acts print nothing and say nothing.
class ActWithoutItsDocumentTest : public WriteOffActTest,
                                  public ::testing::WithParamInterface<const char*> {};

TEST_P(ActWithoutItsDocumentTest, PrintsNothingAndShowsNoError) {
  Open("MMO", kOpenWriteOff);
  EXPECT_FALSE(Run(GetParam(), Params(false)));
  EXPECT_TRUE(operator_->Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Acts, ActWithoutItsDocumentTest,
                         ::testing::Values("CRepWriteOff", "CRepWriteOffAR", "CRepWriteOffCalc",
                                           "CRepMFC"));

TEST_F(WriteOffActTest, TheListActHandsTheGridRowsOverAsAPlainRecordset) {
  OpenAndFill();
  ASSERT_TRUE(Run("CRepWriteOffAR", Params()));
  const Variant& list = values_->Item("DataList").Value();
  auto rows = std::dynamic_pointer_cast<host::Recordset>(list.AsObject());
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows, Form().Get_SpecList()->BaseList()->Recordset());
  EXPECT_EQ(Text("cEnterprise"), "UAB Bandymas");
}

TEST_F(WriteOffActTest, AFormWithoutTheMembersTheActReadsShowsTheErrorAndPrintsNothing) {
  OpenAndFill();
  // A form of another kind: the controls are there and filled, the document is not.
  auto form = std::make_shared<host::Form>("frmOther", "Kita");
  form->Add("edNumb", host::ControlType::kTextBox).SetValue(Variant("W-00077"));
  form->Add("edDate", host::ControlType::kDatePicker).SetValue(Variant(Date::FromYmd(2026, 2, 10)));
  for (const char* name : {"cbDepartment", "cbStore", "cbAccPerson", "cbMember_Head", "cbMember1",
                           "cbMember2", "cbMember3"}) {
    form->Add(name, host::ControlType::kCombo);
  }
  auto params = Params();
  params->Item("FormObject").SetValue(Variant(std::static_pointer_cast<Object>(form)));
  EXPECT_FALSE(Run("CRepWriteOff", params));
  ASSERT_EQ(operator_->Errors().size(), 1u);
  EXPECT_NE(operator_->Errors()[0].description.find("Get_oDoc"), std::string::npos)
      << operator_->Errors()[0].description;

  // The list act: the inner act showed the error and printed nothing; nothing more is shown
  // and the data list is not replaced.
  const size_t shown = operator_->Errors().size();
  EXPECT_FALSE(Run("CRepWriteOffAR", params));
  EXPECT_EQ(operator_->Errors().size(), shown + 1);
  EXPECT_FALSE(values_->ExistsField("DataList"));
}

TEST_F(WriteOffActTest, TheCalculationSheetNamesTheDepartmentByItsRecord) {
  OpenAndFill();
  ASSERT_TRUE(Run("CRepWriteOffCalc", Params()));
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"DocNr", "DocDate", "Month", "Department", "DataList"}));
  EXPECT_EQ(Text("DocNr"), "W-00077");
  EXPECT_EQ(Text("Month"), "vasaris");
  EXPECT_EQ(Text("Department"), "D1 : Gamyba");
  EXPECT_NE(ListRows("DataList"), nullptr);
}

TEST_F(WriteOffActTest, TheCalculationSheetNumbersItsErrorsAsAReportRun) {
  OpenAndFill();
  Do({"set edDate "});
  EXPECT_FALSE(Run("CRepWriteOffCalc", Params()));
  ASSERT_EQ(operator_->Errors().size(), 1u);
  EXPECT_EQ(operator_->Errors()[0].number, kErrComponent);
}

TEST_F(WriteOffActTest, WithoutABookTheActShowsGetBooksError) {
  OpenAndFill();
  auto params = Params(true, false);
  host::ScopedClientApplication no_book(std::make_shared<host::ReportApp>());
  EXPECT_FALSE(Run("CRepWriteOff", params));
  ASSERT_EQ(operator_->Errors().size(), 1u);
  EXPECT_NE(operator_->Errors()[0].source.find("GetBook"), std::string::npos);
}

TEST_F(WriteOffActTest, AlterFormCodeAndVisualAreIgnored) {
  for (const char* report_class :
       {"CRepWriteOff", "CRepWriteOffAR", "CRepWriteOffCalc", "CRepMFC"}) {
    const frame::ClassInfo* cls =
        frame::Catalogue::Instance().FindProgId(std::string("QTS_Inventory.") + report_class);
    ASSERT_NE(cls, nullptr) << report_class;
    auto report = TryQueryInterface<host::IReportExec>(frame::Catalogue::Instance().Create(*cls));
    ASSERT_NE(report, nullptr) << report_class;
    report->SetAlterFormCode("X");
    report->SetVisual(true);
    EXPECT_EQ(report->AlterFormCode(), "") << report_class;
    EXPECT_FALSE(report->Visual()) << report_class;
  }
}

TEST_F(WriteOffActTest, ThePrintButtonPrintsASavedDocumentWithoutWritingIt) {
  OpenAndFill();
  const size_t writes = log_->written.size();
  const std::filesystem::path file = dir_ / "act.json";
  dialog_->Print("CRepWriteOff", file, true);
  EXPECT_EQ(log_->written.size(), writes);
  std::ifstream in(file);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\"DocNr\": \"W-00077\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"BarCode\": \"402MMO 260210W-00077"), std::string::npos) << text;

  // A change not yet saved is saved first, then printed.
  Do({"set edName Perspausdinta"});
  dialog_->Print("CRepWriteOff", file, false);
  EXPECT_EQ(log_->written.size(), writes + 1);
}

// The act as a person reads it: laid out by its print layout, every line said in words taken
// from the form and the book, the committee on the signature lines with their positions, the
// rows and their totals the document's.
TEST_F(WriteOffActTest, ThePrintedActSaysTheDocumentTheCommitteeAndTheTotals) {
  OpenAndFill();
  Do({"cell 1 Price 2,5", "cell 2 Price 4", "save"});
  auto params = Params();
  params->Add("ParamPrintBarCode", 0, Variant(int32_t{1}));
  ASSERT_TRUE(Run("CRepWriteOff", params));
  const host::PrintedReport printed = host::LayOutReport(
      host::ReportDocument::FromValues("CRepWriteOff", *values_, Date::FromYmd(2026, 12, 6)),
      host::LoadPrintLayout("CRepWriteOff"), book_);

  EXPECT_EQ(printed.title, "PREKIŲ NURAŠYMO AKTAS");
  std::map<std::string, std::string> lines;  // caption (or style) -> text
  std::string bar_code;
  for (const host::PrintedHeaderLine& line : printed.header) {
    if (line.barcode) bar_code = line.text;
    lines[line.caption.empty() ? std::to_string(static_cast<int>(line.style)) + line.text
                               : line.caption] = line.text;
  }
  const StoredPerson director = Person("P1");
  const StoredPerson accountable = Person("P4");
  EXPECT_EQ(lines["TVIRTINU"], director.position + " " + director.first + "  " + director.last);
  EXPECT_EQ(lines["Padalinys"], "Gamyba (D1)");
  EXPECT_EQ(lines["Sandėlis"], "Main (S1)");
  EXPECT_EQ(lines["Mėnuo"], "vasaris");
  EXPECT_EQ(lines["Paskirtis"], "Sugadintos prekės");
  EXPECT_EQ(lines["Materialiai atsakingas asmuo"],
            accountable.position + " " + accountable.first + " " + accountable.last);
  bool numbered = false;
  for (const host::PrintedHeaderLine& line : printed.header) {
    numbered = numbered || line.text == "Nr. W-00077, 2026-02-10";
  }
  EXPECT_TRUE(numbered);
  EXPECT_EQ(bar_code, values_->Item("BarCode").Value().AsString());

  // The committee: head and three members, each with the position the catalogue gives, then
  // the accountable person.
  ASSERT_EQ(printed.signatures.size(), 5u);
  const char* committee[] = {"P2", "P3", "P5", "P4"};
  for (size_t i = 0; i < 4; ++i) {
    const StoredPerson member = Person(committee[i]);
    EXPECT_EQ(printed.signatures[i].role, i == 0 ? "Komisijos pirmininkas" : "Komisijos narys");
    EXPECT_EQ(printed.signatures[i].position, member.position);
    EXPECT_EQ(printed.signatures[i].name,
              member.last.empty() ? member.first : member.first + " " + member.last);
  }
  EXPECT_EQ(printed.signatures[4].name, accountable.first + " " + accountable.last);

  // The rows and the total of the sums, against the book.
  ASSERT_EQ(printed.tables.size(), 1u);
  const host::PrintedTable& table = printed.tables[0];
  EXPECT_EQ(table.rows, Rows(kOpenWriteOff).size());
  size_t summa = table.columns.size();
  for (size_t c = 0; c < table.columns.size(); ++c) {
    if (table.columns[c].name == "Summa") summa = c;
  }
  ASSERT_LT(summa, table.columns.size());
  db::StatementHandle s = book_->Connection().Prepare(
      "SELECT SUM(\"Summa\") FROM \"T$THGoodSpec\" WHERE \"DocID\" = ?1");
  s->BindInt64(1, kOpenWriteOff);
  ASSERT_TRUE(s->Step());
  const Currency stored = s->GetCurrency(0);
  bool totalled = false;
  for (const host::PrintedLine& line : table.lines) {
    if (line.kind != host::LineKind::kTotal || line.cells[summa].IsEmpty()) continue;
    EXPECT_EQ(CCur(line.cells[summa]).ToString(), stored.ToString());
    EXPECT_EQ(stored.ToString(), "15.5");
    totalled = true;
  }
  EXPECT_TRUE(totalled);
}

}  // namespace
}  // namespace qts::reports
