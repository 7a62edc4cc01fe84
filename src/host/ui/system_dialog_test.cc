#include "host/ui/system_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/data/testing/sample_book.h"
#include "host/documents/table_layout.h"
#include "host/documents/th_document.h"
#include "host/ui/control_list.h"
#include "host/ui/dialog_command.h"
#include "host/ui/dialog_text.h"
#include "host/ui/doc_dialog_base.h"
#include "host/ui/doc_spec.h"
#include "host/ui/doc_spec_frame.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/spec_calculator.h"

namespace qts::host {
namespace {

using testing::SampleBook;

// A document form as a plug-in writes one, kept small: it binds its controls when the dialog
// loads it (number, date and store locked while the document is posted), attaches a grid
// through the host's base and frame, and writes down every event it receives.
class TestForm final : public Implements<IDialogForm> {
 public:
  explicit TestForm(std::vector<std::string>& log) : log_(log) {
    form_ = std::make_shared<Form>("frmTest", "Bandymas");
    form_->Add("lblNr", ControlType::kLabel, "Nr.");
    form_->Add("edNumb", ControlType::kTextBox, "Nr.");
    form_->Add("edDate", ControlType::kDatePicker, "Data");
    form_->Add("edName", ControlType::kTextBox, "Pavadinimas");
    form_->Add("cbStore", ControlType::kCombo, "Sandėlis")
        .SetProperty("TableName", Variant("STStore"));
    form_->Add("edSum", ControlType::kNumberBox, "Suma");
    form_->Add("chCarry", ControlType::kCheckBox, "Tvirtinti");
    form_->Add("SpecGrid", ControlType::kGrid);
    form_->Add("btSpecDelete", ControlType::kButton, "Šalinti");
    form_->Add("btAction", ControlType::kButton, "Veiksmas");
    form_->Add("btIdle", ControlType::kButton, "Nieko");
    form_->Add("btOk", ControlType::kButton, "Gerai");
    form_->Add("btCancel", ControlType::kButton, "Atšaukti");
  }
  std::string_view ClassName() const override { return "TestForm"; }

  bool Init(const std::shared_ptr<SystemDialog>& base) override {
    base_ = base;
    SystemDialog& d = *base;
    connections_.push_back(
        d.BeforeLoadHandling.Connect([this](NamedValueList&, Variant&, bool& cancel) {
          log_.push_back("BeforeLoadHandling");
          if (cancel_load) cancel = true;
          if (cancel) return;
          Load();
        }));
    connections_.push_back(d.AfterLoadHandling.Connect(
        [this](NamedValueList&, Variant&, Variant&) { log_.push_back("AfterLoadHandling"); }));
    connections_.push_back(d.BeforeShow.Connect([this](Variant&, Variant&, bool& cancel) {
      log_.push_back("BeforeShow");
      if (cancel_show) cancel = true;
    }));
    connections_.push_back(d.AfterShow.Connect([this](Variant&) { log_.push_back("AfterShow"); }));
    connections_.push_back(
        d.BeforeDDXExchange.Connect([this](NamedValueList&, bool to_doc, Variant&) {
          log_.push_back(std::string("BeforeDDXExchange ") + (to_doc ? "form>doc" : "doc>form"));
        }));
    connections_.push_back(d.OnDDXExchange.Connect([this](Variant&, bool to_doc, bool& cancel) {
      log_.push_back(std::string("OnDDXExchange ") + (to_doc ? "form>doc" : "doc>form"));
      if (to_doc && cancel_exchange) cancel = true;
      if (cancel || !base_) return;
      if (to_doc) {
        dialog_base->ReadFromFormToDoc();
      } else {
        dialog_base->ReadFromDocToForm(Variant(int32_t{0}));
      }
    }));
    connections_.push_back(d.OnWriteRecord.Connect([this](Variant& idc, Variant&, bool& cancel) {
      log_.push_back("OnWriteRecord");
      written_idc = CLng(idc);
      if (cancel_write) cancel = true;
    }));
    connections_.push_back(d.AfterWriteRecord.Connect(
        [this](Variant&, Variant&) { log_.push_back("AfterWriteRecord"); }));
    connections_.push_back(d.Resizer().GetLayout.Connect([](Control& control, int32_t& code) {
      if (control.Name() == "SpecGrid") code = 15;
      if (control.Name() == "edName") code = 5;
      if (control.Name() == "edSum") code = 4;
      if (control.Name().rfind("bt", 0) == 0) code = 12;
    }));
    connections_.push_back(
        form_->Item("btAction").Click.Connect([this](Control&) { log_.push_back("btAction"); }));
    return true;
  }
  Form& Controls() override { return *form_; }
  bool Check(std::string& message) override {
    log_.push_back("Check");
    if (form_->Item("edDate").Value().IsNull()) {
      message = "Neįvesta dokumento data.";
      return false;
    }
    return true;
  }
  std::vector<std::string> HideColumnList() override { return {"AlgebraicSum", "IsFixed"}; }
  std::vector<std::string> OrderColumnList() override { return order; }
  std::string DocType() override { return "MMO"; }
  void Form_Unload() override {
    log_.push_back("Form_Unload");
    connections_.clear();
    if (dialog_base) dialog_base->Terminate();
    base_.reset();
  }

  bool cancel_load = false;
  bool cancel_show = false;
  bool cancel_exchange = false;
  bool cancel_write = false;
  int32_t written_idc = -1;
  std::vector<std::string> order;
  std::shared_ptr<DocSpec> spec;
  std::shared_ptr<DocDialogBase> dialog_base;
  std::shared_ptr<DocSpecFrame> frame;
  std::shared_ptr<SpecCalculator> calculator;

 private:
  void Load() {
    SystemDialog& d = *base_;
    spec = std::make_shared<DocSpec>();
    spec->Init(std::dynamic_pointer_cast<IDialogForm>(shared_from_this()), d.Book());
    d.Doc()->Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
    d.Doc()->InitNew();
    dialog_base = std::make_shared<DocDialogBase>();
    dialog_base->Init("MMO", shared_from_this(), base_, d.Doc(), "", "IsPosted", spec, true, 1,
                      std::make_shared<ControlList>());
    frame = std::make_shared<DocSpecFrame>();
    frame->Init(dialog_base, spec, form_->Item("SpecGrid"), true);
    frame->SetSumControls(&form_->Item("edSum"), nullptr);
    d.BindField(form_->Item("edNumb"), "Number", "IsPosted");
    d.BindField(form_->Item("edDate"), "DocumentDate", "IsPosted");
    d.BindField(form_->Item("edName"), "Name", "");
    d.BindField(form_->Item("cbStore"), "StoreCode", "IsPosted");
    d.BindField(form_->Item("edSum"), "Summa", "");
    spec->Attach(form_->Item("SpecGrid"), d.Doc(),
                 std::dynamic_pointer_cast<IDialogForm>(shared_from_this()), base_,
                 &form_->Item("btSpecDelete"));
    spec->SetKind("SC");
    calculator = std::make_shared<SpecCalculator>();
    calculator->Init(spec, nullptr, true, true);
  }

  std::vector<std::string>& log_;
  std::shared_ptr<Form> form_;
  std::shared_ptr<SystemDialog> base_;
  std::vector<Connection> connections_;
};

class DialogBook : public SampleBook {
 protected:
  DialogBook() : operator_(std::make_shared<ScriptedOperator>()), scoped_operator_(operator_) {}

  // The host unloads every dialog it opened; unloading breaks the hold the form and the dialog
  // keep on each other, so a test's dialog is unloaded too, or both outlive the test.
  void TearDown() override {
    if (dialog_) dialog_->UnloadForm();
    SampleBook::TearDown();
  }

  // Opens document `idc` (0: a new one) in a dialog over the test form.
  std::shared_ptr<SystemDialog> Open(int32_t idc, bool load = true) {
    form_ = std::make_shared<TestForm>(log_);
    dialog_ = std::make_shared<SystemDialog>();
    dialog_->Init(form_, std::make_shared<DialogHost>(book_, idc), Variant("MMO"));
    if (load) {
      Variant mode(int32_t{0});
      EXPECT_TRUE(dialog_->Load(mode));
    }
    log_.clear();
    return dialog_;
  }

  int64_t Documents() { return Count("T$THDocument"); }
  int64_t Rows() { return Count("T$THGoodSpec"); }

  // The description of the dialog's refusal of `action` ("" when it was not refused).
  template <class F>
  std::string Refusal(F&& action) {
    try {
      action();
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), kErrDialogInput) << error.Description();
      return error.Description();
    }
    return "";
  }

  std::vector<std::string> log_;
  std::shared_ptr<TestForm> form_;
  std::shared_ptr<SystemDialog> dialog_;
  std::shared_ptr<ScriptedOperator> operator_;
  ScopedOperator scoped_operator_;
};

TEST_F(DialogBook, LoadShowAndSaveRaiseTheirEventsInTheDocumentedOrder) {
  std::vector<std::string> log;
  auto form = std::make_shared<TestForm>(log);
  auto dialog = std::make_shared<SystemDialog>();
  dialog->Init(form, std::make_shared<DialogHost>(book_, 0), Variant("MMO"));
  Variant mode(int32_t{0});
  ASSERT_TRUE(dialog->Load(mode));
  EXPECT_EQ(log,
            (std::vector<std::string>{"BeforeLoadHandling", "AfterLoadHandling",
                                      "BeforeDDXExchange doc>form", "OnDDXExchange doc>form"}));
  log.clear();
  operator_->AnswerDialog({{ParseDialogCommand("set edDate 2026-02-03"),
                            ParseDialogCommand("press btAction"), ParseDialogCommand("save")}});
  Variant a, b, c;
  EXPECT_TRUE(dialog->RunForm(a, mode, b, c));
  EXPECT_EQ(log, (std::vector<std::string>{
                     "BeforeShow", "AfterShow", "btAction", "Check", "BeforeDDXExchange form>doc",
                     "OnDDXExchange form>doc", "OnWriteRecord", "AfterWriteRecord",
                     "BeforeDDXExchange doc>form", "OnDDXExchange doc>form"}));
  EXPECT_GT(form->written_idc, 0);
  dialog->UnloadForm();
  EXPECT_EQ(log.back(), "Form_Unload");
}

struct CancelCase {
  std::string name;
  bool TestForm::*flag;
};

class CancelTest : public DialogBook, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, ACancelledStepWritesNothingAndGoesNoFurther) {
  const int64_t documents = Documents();
  form_ = std::make_shared<TestForm>(log_);
  const std::shared_ptr<TestForm>& form = form_;
  form.get()->*GetParam().flag = true;
  dialog_ = std::make_shared<SystemDialog>();
  const std::shared_ptr<SystemDialog>& dialog = dialog_;
  dialog->Init(form, std::make_shared<DialogHost>(book_, 0), Variant("MMO"));
  Variant mode(int32_t{0});
  const bool loaded = dialog->Load(mode);
  if (GetParam().name == "load") {
    EXPECT_FALSE(loaded);
    EXPECT_EQ(log_, std::vector<std::string>{"BeforeLoadHandling"});
    return;
  }
  ASSERT_TRUE(loaded);
  dialog->SetControl("edDate", "2026-02-03");
  dialog->SetControl("edNumb", "N-77");
  Variant a, b, c;
  if (GetParam().name == "show") {
    // Nothing is asked of the person: the operator has no commands and would fail.
    EXPECT_FALSE(dialog->RunForm(a, mode, b, c));
    EXPECT_FALSE(dialog->Visible());
    return;
  }
  EXPECT_FALSE(dialog->Save());
  EXPECT_EQ(Documents(), documents);
  EXPECT_TRUE(dialog->InsertMode());
  EXPECT_TRUE(dialog->Doc()->Fields().Item("IDC").Value().IsNull() ||
              CLng(dialog->Doc()->Fields().Item("IDC").Value()) == 0);
  // The form keeps what the person typed; with the cancel flag cleared the write goes through.
  EXPECT_EQ(CStr(form->Controls().Item("edNumb").Value()), "N-77");
  form.get()->*GetParam().flag = false;
  EXPECT_TRUE(dialog->Save());
  EXPECT_EQ(Documents(), documents + 1);
  EXPECT_EQ(CStr(dialog->Doc()->Fields().Item("Number").Value()), "N-77");
}

INSTANTIATE_TEST_SUITE_P(Flags, CancelTest,
                         ::testing::Values(CancelCase{"load", &TestForm::cancel_load},
                                           CancelCase{"show", &TestForm::cancel_show},
                                           CancelCase{"exchange", &TestForm::cancel_exchange},
                                           CancelCase{"write", &TestForm::cancel_write}),
                         [](const auto& info) { return info.param.name; });

TEST_F(DialogBook, AFailedCheckShowsItsMessageAndWritesNothing) {
  Open(0);
  const int64_t documents = Documents();
  dialog_->SetControl("edDate", "");
  EXPECT_FALSE(dialog_->Save());
  ASSERT_EQ(operator_->Messages().size(), 1u);
  EXPECT_EQ(operator_->Messages()[0].request.text, "Neįvesta dokumento data.");
  EXPECT_EQ(Documents(), documents);
  EXPECT_EQ(log_, std::vector<std::string>{"Check"});
}

TEST_F(DialogBook, LockedFieldsOfAPostedDocumentRefuseTheirControls) {
  Open(3);  // MMO W1, posted
  EXPECT_EQ(CStr(form_->Controls().Item("edNumb").Value()), "W1");
  EXPECT_FALSE(CBool(form_->Controls().Item("edNumb").Property("Enabled")));
  for (const char* control : {"edNumb", "edDate", "cbStore"}) {
    const std::string refusal = Refusal([&] { dialog_->SetControl(control, "2026-01-01"); });
    EXPECT_NE(refusal.find(control), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("IsPosted"), std::string::npos) << refusal;
  }
  // A control without a lock field stays open, and only its field changes on a write.
  dialog_->SetControl("edName", "Pataisytas");
  ASSERT_TRUE(dialog_->Save());
  THDocument stored(book_);
  ASSERT_TRUE(stored.Load(3));
  EXPECT_EQ(CStr(stored.Fields().Item("Name").Value()), "Pataisytas");
  EXPECT_EQ(CStr(stored.Fields().Item("Number").Value()), "W1");
  // The rows are read-only too.
  EXPECT_NE(Refusal([&] { dialog_->EditCell("1", "Amount", "2"); }).find("IsPosted"),
            std::string::npos);
  EXPECT_TRUE(dialog_->View().grid->read_only);
}

TEST_F(DialogBook, UnlockingTheDocumentOpensItsControls) {
  Open(3);
  book_->Connection().Execute(R"(UPDATE "T$THDocument" SET "IsPosted" = 0 WHERE "IDC" = 3)");
  ASSERT_TRUE(dialog_->Doc()->Load(3));
  dialog_->DocToForm(Variant(int32_t{0}));
  EXPECT_TRUE(CBool(form_->Controls().Item("edNumb").Property("Enabled")));
  dialog_->SetControl("edNumb", "W1-A");
  EXPECT_EQ(CStr(form_->Controls().Item("edNumb").Value()), "W1-A");
}

struct RefusalCase {
  std::string name;
  std::string control;
  std::string value;
  std::string expected;  // a part of the refusal
};

class RefusalTest : public DialogBook, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ARefusedValueNamesTheControlAndChangesNothing) {
  Open(0);
  form_->Controls().Item("cbStore").SetProperty("Filter", Variant("StoreKind = 'ST'"));
  const Variant before_date = form_->Controls().Item("edDate").Value();
  const Variant before_store = form_->Controls().Item("cbStore").Value();
  const std::string refusal =
      Refusal([&] { dialog_->SetControl(GetParam().control, GetParam().value); });
  EXPECT_NE(refusal.find(GetParam().expected), std::string::npos) << refusal;
  EXPECT_TRUE(form_->Controls().Item("edDate").Value().SameAs(before_date));
  EXPECT_TRUE(form_->Controls().Item("cbStore").Value().SameAs(before_store));
  EXPECT_FALSE(dialog_->HasUnsavedChanges());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusalTest,
    ::testing::Values(RefusalCase{"unknown", "edNothing", "1", "no control \"edNothing\""},
                      RefusalCase{"date", "edDate", "31.12.2026", "edDate"},
                      RefusalCase{"check", "chCarry", "maybe", "chCarry"},
                      RefusalCase{"number", "edSum", "a lot", "edSum"},
                      RefusalCase{"code", "cbStore", "S9", "cbStore: \"S9\" is not among"},
                      RefusalCase{"filtered", "cbStore", "S2", "StoreKind = 'ST'"},
                      RefusalCase{"label", "lblNr", "x", "lblNr cannot be set"},
                      RefusalCase{"button", "btOk", "1", "btOk is a button"},
                      RefusalCase{"grid", "SpecGrid", "1", "SpecGrid is the grid"}),
    [](const auto& info) { return info.param.name; });

TEST_F(DialogBook, AComboShowsTheTextOfItsCode) {
  Open(0);
  dialog_->SetControl("cbStore", " S1 ");
  const Control& store = form_->Controls().Item("cbStore");
  EXPECT_EQ(CStr(store.Value()), "S1");
  EXPECT_EQ(CStr(store.Property("Text")), "Main");
  auto row = std::dynamic_pointer_cast<NamedValueList>(store.Property("AtomObject").AsObject());
  ASSERT_TRUE(row);
  EXPECT_EQ(CStr(row->Item("StoreKind").Value()), "ST");
}

TEST_F(DialogBook, ButtonsWithoutAHandlerAndHiddenOrDisabledOnesAreRefused) {
  Open(0);
  EXPECT_NE(Refusal([&] { dialog_->Press("btIdle", ""); }).find("does nothing"), std::string::npos);
  form_->Controls().Item("btAction").SetProperty("Enabled", Variant(false));
  EXPECT_NE(Refusal([&] { dialog_->Press("btAction", ""); }).find("disabled"), std::string::npos);
  EXPECT_NE(Refusal([&] { dialog_->Press("edName", ""); }).find("not a button"), std::string::npos);
  EXPECT_TRUE(log_.empty());
}

TEST_F(DialogBook, GridRowsOfANewDocumentAreDroppedWhenTheDialogClosesUnsaved) {
  Open(0);
  const int64_t documents = Documents();
  const int64_t rows = Rows();
  dialog_->SetControl("edDate", "2026-02-03");
  dialog_->EditCell("new", "GoodCode", "G1");
  EXPECT_EQ(Rows(), rows);  // not a row yet: it has no amount
  dialog_->EditCell("new", "Amount", "2,5");
  EXPECT_EQ(Rows(), rows + 1);
  EXPECT_FALSE(dialog_->InsertMode());  // the header went first, in the dialog's transaction
  EXPECT_TRUE(dialog_->HasUnsavedChanges());
  dialog_->UnloadForm();
  EXPECT_EQ(Documents(), documents);
  EXPECT_EQ(Rows(), rows);
}

TEST_F(DialogBook, SavedGridRowsStayAndTheSumFollowsThem) {
  Open(0);
  dialog_->SetControl("edDate", "2026-02-03");
  for (const char* line : {"new:GoodCode=G1", "new:Amount=2", "new:GoodCode=G3", "new:UnitCode=L",
                           "new:Price=1,5", "new:Amount=4"}) {
    DialogCommand command = ParseCellArgument(line);
    dialog_->EditCell(command.target, command.column, command.value);
  }
  dialog_->EditCell("1", "Price", "3");
  std::shared_ptr<DocSpec> spec = form_->spec;
  ASSERT_EQ(spec->RowCount(), 2);
  // The host's own rule: the row sum is price times amount.
  EXPECT_EQ(spec->Total("Summa").ToString(), "12");
  EXPECT_EQ(CStr(form_->Controls().Item("edSum").Value()), "12");
  ASSERT_TRUE(dialog_->Save());
  const int32_t idc = CLng(dialog_->Doc()->Fields().Item("IDC").Value());
  THDocument stored(book_);
  ASSERT_TRUE(stored.Load(idc));
  EXPECT_EQ(CCur(stored.Fields().Item("Summa").Value()).ToString(), "12");
  db::StatementHandle s = book_->Connection().Prepare(
      "SELECT COUNT(*), SUM(\"Summa\") FROM \"T$THGoodSpec\" WHERE \"DocID\" = ?1");
  s->BindInt64(1, idc);
  ASSERT_TRUE(s->Step());
  EXPECT_EQ(s->GetInt64(0), 2);
  EXPECT_EQ(s->GetCurrency(1).ToString(), "12");
  EXPECT_FALSE(dialog_->HasUnsavedChanges());
}

TEST_F(DialogBook, GridEditsAreCheckedBeforeAnythingIsWritten) {
  Open(0);
  struct Case {
    std::string row, column, value, expected;
  };
  const Case cases[] = {
      {"new", "Nothing", "1", "no column \"Nothing\""},
      {"new", "AlgebraicSum", "1", "AlgebraicSum is hidden"},
      {"new", "AmountAccount", "1", "computed"},
      {"new", "GoodCode", "G9", "no good \"G9\""},
      {"new", "GoodCode", "GR", "group of goods"},
      {"new", "Amount", "-1", "greater than 0"},
      {"new", "Amount", "abc", "greater than 0"},
      {"7", "Amount", "1", "no row at position 7"},
      {"x", "Amount", "1", "not a row"},
  };
  const int64_t rows = Rows();
  for (const Case& c : cases) {
    const std::string refusal = Refusal([&] { dialog_->EditCell(c.row, c.column, c.value); });
    EXPECT_NE(refusal.find(c.expected), std::string::npos) << c.column << ": " << refusal;
  }
  EXPECT_EQ(Rows(), rows);
  EXPECT_FALSE(dialog_->EditsOpen());
  // A unit the good is not counted in is refused when the row is made.
  dialog_->EditCell("new", "GoodCode", "G1");
  dialog_->EditCell("new", "UnitCode", "L");
  EXPECT_NE(Refusal([&] { dialog_->EditCell("new", "Amount", "1"); }).find("not counted in"),
            std::string::npos);
  EXPECT_EQ(Rows(), rows);
}

TEST_F(DialogBook, ADeleteCanBeVetoedAndOtherwiseRemovesTheRow) {
  Open(0);
  dialog_->SetControl("edDate", "2026-02-03");
  dialog_->EditCell("new", "GoodCode", "G1");
  dialog_->EditCell("new", "Amount", "1");
  dialog_->EditCell("new", "GoodCode", "G3");
  dialog_->EditCell("new", "Amount", "1");
  const int64_t rows = Rows();
  bool veto = true;
  std::string deleted_good;
  Connection on_delete =
      form_->spec->OnDelete.Connect([&](const NamedValueListPtr& row, Variant& pos, bool& allowed) {
        deleted_good = CStr(row->Item("GoodCode").Value()) + "@" + CStr(pos);
        if (veto) allowed = false;
      });
  DialogCommand del = ParseDialogCommand("delete 1");
  std::ostringstream out;
  EXPECT_NE(Refusal([&] { RunDialogCommand(*dialog_, del, out); }).find("may not be deleted"),
            std::string::npos);
  EXPECT_EQ(deleted_good, "G1@1");
  EXPECT_EQ(Rows(), rows);
  veto = false;
  RunDialogCommand(*dialog_, del, out);
  EXPECT_EQ(Rows(), rows - 1);
  EXPECT_EQ(form_->spec->CurrentPos(), 2);
}

TEST_F(DialogBook, ColumnsAreAnnouncedAndFollowTheFormsLists) {
  std::vector<std::string> announced;
  form_ = std::make_shared<TestForm>(log_);
  form_->order = {"GoodCode", "Amount", "PosNumb"};
  dialog_ = std::make_shared<SystemDialog>();
  dialog_->Init(form_, std::make_shared<DialogHost>(book_, 3), Variant("MMO"));
  // The test form makes its grid at load; listen to it as soon as it exists.
  Connection hook = dialog_->AfterLoadHandling.Connect([&](NamedValueList&, Variant&, Variant&) {
    for (const DocSpecColumnPtr& column : form_->spec->Columns()) {
      announced.push_back(column->Key());
    }
  });
  Variant mode(int32_t{0});
  ASSERT_TRUE(dialog_->Load(mode));
  ASSERT_GE(announced.size(), 4u);
  EXPECT_EQ((std::vector<std::string>(announced.begin(), announced.begin() + 3)),
            (std::vector<std::string>{"GoodCode", "Amount", "PosNumb"}));
  EXPECT_NE(std::find(announced.begin(), announced.end(), "AddFld.WriteOffPrice"), announced.end());
  EXPECT_FALSE(form_->spec->Column("AlgebraicSum")->ColVisible());
  EXPECT_FALSE(form_->spec->Column("IsFixed")->ColPrintVisible());
  EXPECT_TRUE(form_->spec->Column("Summa")->ColTotals());
  DialogGrid grid = dialog_->View().grid.value();
  ASSERT_EQ(grid.rows.size(), 1u);
  EXPECT_EQ(grid.columns[0].key, "GoodCode");
  EXPECT_EQ(grid.rows[0][0], "G1");
  EXPECT_EQ(grid.rows[0][1], "3,000");
}

TEST_F(DialogBook, TheDrawnDialogShowsFieldsGridTotalsAndButtons) {
  Open(3);
  const std::string text = RenderDialogText(dialog_->View());
  for (const char* part :
       {"Bandymas", "frmTest", "patvirtintas", "edNumb", "W1 *", "S1 Main", "SpecGrid: 1 eil.",
        "Flour", "Iš viso", "[btAction Veiksmas]", "[btOk Gerai]"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(text.find("lblNr"), std::string::npos) << "labels are captions, not drawn";
}

TEST_F(DialogBook, ANarrowScreenNarrowsTheGridsTextsButKeepsEveryDigit) {
  Open(3);
  DialogTextOptions narrow;
  narrow.width = 100;
  const std::string text = RenderDialogText(dialog_->View(), narrow);
  const size_t grid = text.find("SpecGrid");
  ASSERT_NE(grid, std::string::npos) << text;
  std::istringstream lines(text.substr(grid));
  std::string line;
  std::getline(lines, line);
  for (int i = 0; i < 4 && std::getline(lines, line); ++i) {
    EXPECT_LE(Utf8Length(line), 100u) << line;
  }
  EXPECT_NE(text.find(" 3,000 "), std::string::npos) << text;
}

TEST_F(DialogBook, APressedButtonsMenuTakesTheItemGivenWithThePress) {
  Open(0);
  std::string chosen;
  Connection click = form_->Controls().Item("btAction").Click.Connect([&](Control&) {
    MenuRequest menu{"btAction", "Meniu", {{"A1", "Pirmas"}, {"B2", "Antras"}}};
    chosen = menu.items[static_cast<size_t>(CurrentOperator().ChooseMenu(menu))].key;
  });
  dialog_->Press("btAction", "antras");
  EXPECT_EQ(chosen, "B2");
  EXPECT_NE(Refusal([&] { dialog_->Press("btAction", "C3"); }).find("\"C3\" is not an item"),
            std::string::npos);
  click.Disconnect();
  EXPECT_NE(Refusal([&] { dialog_->Press("btAction", "A1"); }).find("opened no menu"),
            std::string::npos);
}

struct CommandCase {
  std::string line;
  DialogAction action;
  std::string target, column, value;
};

class CommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTest, ParsesTheTypedCommand) {
  DialogCommand command = ParseDialogCommand(GetParam().line);
  EXPECT_EQ(command.action, GetParam().action);
  EXPECT_EQ(command.target, GetParam().target);
  EXPECT_EQ(command.column, GetParam().column);
  EXPECT_EQ(command.value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandTest,
    ::testing::Values(
        CommandCase{"set edName Dvi dalys", DialogAction::kSet, "edName", "", "Dvi dalys"},
        CommandCase{"edDate=2026-12-31", DialogAction::kSet, "edDate", "", "2026-12-31"},
        CommandCase{"cell new GoodCode M-1", DialogAction::kCell, "new", "GoodCode", "M-1"},
        CommandCase{"2:Amount=3,5", DialogAction::kCell, "2", "Amount", "3,5"},
        CommandCase{"delete 4", DialogAction::kDelete, "4", "", ""},
        CommandCase{"press btUtil MMO-1", DialogAction::kPress, "btUtil", "", "MMO-1"},
        CommandCase{"PRINT CRepWriteOff akt.html", DialogAction::kPrint, "CRepWriteOff", "",
                    "akt.html"},
        CommandCase{"print akt.pdf", DialogAction::kPrint, "", "", "akt.pdf"},
        CommandCase{"quit", DialogAction::kClose, "", "", ""}));

TEST(CommandErrorTest, UnreadableCommandsAreRefusedNamingThem) {
  for (const char* line : {"", "jump 3", "row", "delete 1 2", "cell 1", "print a b c", "=5"}) {
    try {
      (void)ParseDialogCommand(line);
      ADD_FAILURE() << "accepted: " << line;
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), kErrOperator) << line;
    }
  }
  for (const char* text : {"edDate", "=x", "a b=1"}) {
    EXPECT_THROW((void)ParseSetArgument(text), Error) << text;
  }
  for (const char* text : {"new=1", "1:=3", ":Amount=1", "1:Amount"}) {
    EXPECT_THROW((void)ParseCellArgument(text), Error) << text;
  }
  DialogCommand print = ParseDialogCommand("print CRepWriteOff a.html barcode");
  EXPECT_TRUE(print.bar_code);
}

}  // namespace
}  // namespace qts::host
