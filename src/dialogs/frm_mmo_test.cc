#include "dialogs/frm_mmo.h"

#include <gtest/gtest.h>

#include "dialogs/iwctrl_system_dialog.h"
#include "dialogs/material_dlg_base.h"
#include "dialogs/testing/dialog_book.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "handlers/item_write_off.h"
#include "host/documents/th_document.h"
#include "host/ui/dialog_menus.h"
#include "host/ui/doc_spec.h"
#include "host/ui/scripted_operator.h"

namespace qts::dialogs {
namespace {

using testing::DialogBook;
using testing::kOpenWriteOff;
using testing::kPostedWriteOff;
using testing::kReceipt;

struct CheckCase {
  std::string name;
  std::vector<std::string> commands;
  int32_t message;  // 0: the check passes
};

class MmoCheckTest : public DialogBook, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(MmoCheckTest, TheFirstFailingCheckIsShownAndNothingIsWritten) {
  Open("MMO", 0);
  Do({"set edDate 2026-02-10", "set edNumb W-77", "set cbDepartment D1", "set cbStore S1"});
  Do(GetParam().commands);
  const int64_t documents = Documents();
  const bool saved = dialog_->Save();
  if (GetParam().message == 0) {
    EXPECT_TRUE(saved);
    EXPECT_EQ(Documents(), documents + 1);
    return;
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(Documents(), documents);
  ASSERT_EQ(operator_->Messages().size(), 1u);
  EXPECT_EQ(operator_->Messages()[0].request.text, frame::MessageText(GetParam().message));
  EXPECT_EQ(operator_->Messages()[0].request.ok_caption, "Gerai");
}

INSTANTIATE_TEST_SUITE_P(
    Fields, MmoCheckTest,
    ::testing::Values(CheckCase{"complete", {}, 0},
                      CheckCase{"no_date", {"set edDate ", "set edNumb "}, 396},
                      CheckCase{"no_number", {"set edNumb ", "set cbDepartment "}, 301},
                      CheckCase{"no_department", {"set cbDepartment "}, 504},
                      // The write-off does not ask for a store.
                      CheckCase{"no_store", {"set cbStore "}, 0}),
    [](const auto& info) { return info.param.name; });

TEST_F(DialogBook, APostedWriteOffKeepsItsNumberDateDepartmentStoreAndPersonsReadOnly) {
  Open("MMO", kPostedWriteOff);
  for (const char* control : {"edNumb", "edDate", "cbDepartment", "cbStore", "cbMember_Head",
                              "cbMember1", "cbMember2", "cbMember3", "cbAccPerson"}) {
    EXPECT_FALSE(Enabled(control)) << control;
    const std::string refusal = Refusal([&] { Do({std::string("set ") + control + " P1"}); });
    EXPECT_NE(refusal.find(control), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("posted"), std::string::npos) << refusal;
  }
  EXPECT_TRUE(Enabled("edName"));
  EXPECT_TRUE(Enabled("chIsClosed"));
}

TEST_F(DialogBook, PriceButtonsAreEnabledForAPostedDocumentOrOneToBePosted) {
  Open("MMO", kOpenWriteOff);
  EXPECT_FALSE(Enabled("btSetPrice"));
  EXPECT_FALSE(Enabled("btSetPriceOff"));
  Do({"set chCarry 1"});
  dialog_->DocToForm(Variant(int32_t{0}));
  EXPECT_TRUE(Enabled("btSetPrice"));
  EXPECT_TRUE(Enabled("btSetPriceOff"));
  dialog_->UnloadForm();
  Open("MMO", kPostedWriteOff);
  EXPECT_TRUE(Enabled("btSetPrice"));
  EXPECT_TRUE(Enabled("btSetPriceOff"));
}

TEST_F(DialogBook, SavingWithCarryTickedPostsAndWritesTheCommitteeByRole) {
  Open("MMO", kOpenWriteOff);
  // Row 2 (oil) has no stock to post from.
  Do({"delete 2", "set cbDepartment D1", "set cbMember_Head P1", "set cbMember1 P2",
      "set cbMember2 P3", "set cbMember3 P5", "set cbAccPerson P4", "set chCarry 1", "save"});
  EXPECT_EQ(PartyRoles(kOpenWriteOff),
            (std::vector<std::string>{"AA=P4", "KN1=P2", "KN2=P3", "KN3=P5", "KP=P1"}));
  host::THDocument stored(book_);
  ASSERT_TRUE(stored.Load(kOpenWriteOff));
  EXPECT_EQ(CLng(stored.Fields().Item("IsPosted").Value()), 1);
  EXPECT_EQ(CStr(stored.Fields().Item("PersonHead").Value()), "P1");
  EXPECT_EQ(CStr(stored.Fields().Item("PersonAA").Value()), "P4");
  // Posted: the fields lock, the price buttons open.
  EXPECT_FALSE(Enabled("edNumb"));
  EXPECT_TRUE(Enabled("btSetPriceOff"));
  EXPECT_TRUE(operator_->Errors().empty());
}

TEST_F(DialogBook, APostingThatFailsIsShownAndTheDocumentStaysUnposted) {
  Open("MMO", kOpenWriteOff);
  // 2 l of G3 in S1: the book has none posted.
  Do({"set cbDepartment D1", "set cbStore S1", "set chCarry 1", "save"});
  ASSERT_EQ(operator_->Errors().size(), 1u);
  host::THDocument stored(book_);
  ASSERT_TRUE(stored.Load(kOpenWriteOff));
  EXPECT_EQ(CLng(stored.Fields().Item("IsPosted").Value()), 0);
  EXPECT_EQ(CStr(stored.Fields().Item("Department").Value()), "D1");
}

TEST_F(DialogBook, ANewWriteOffStartsWithTheCommitteeThisUserChoseLast) {
  Open("MMO", 0);
  Do({"set edDate 2026-02-10", "set cbDepartment D1", "set cbMember_Head P2", "set cbMember1 P3",
      "save"});
  dialog_->UnloadForm();
  Open("MMO", 0);
  EXPECT_EQ(Value("cbMember_Head"), "P2");
  EXPECT_EQ(Value("cbMember1"), "P3");
  EXPECT_EQ(CStr(Control("cbMember_Head").Property("Text")), "Ona Kazlauskienė");
  EXPECT_EQ(Value("cbMember2"), "");
  // The accountable person is not part of the committee that is remembered.
  EXPECT_EQ(Value("cbAccPerson"), "");
}

TEST_F(DialogBook, HiddenColumnsFollowTheFixDocumentSetting) {
  Open("MMO", kOpenWriteOff);
  EXPECT_EQ(Form().HideColumnList().size(), 6u);
  EXPECT_FALSE(Form().Get_SpecList()->Column("Summa")->ColVisible());
  EXPECT_TRUE(Form().Get_SpecList()->Column("AddFld.WriteOffPrice")->ColVisible());
  dialog_->UnloadForm();
  book_->Settings().Item("IsMakeFixDoc").SetValue(Variant(int32_t{1}));
  Open("MMO", kOpenWriteOff);
  EXPECT_EQ(Form().HideColumnList().size(), 7u);
  EXPECT_FALSE(Form().Get_SpecList()->Column("AddFld.WriteOffPrice")->ColVisible());
}

TEST_F(DialogBook, NationalPricesShowTheNationalPriceAndCostInPlaceOfPriceAndSum) {
  book_->Settings().Add("NationalPrice.MMO", 3, Variant(int32_t{1}));
  Open("MMO", kOpenWriteOff);
  auto& form = dynamic_cast<frmMMO&>(Form());
  ASSERT_NE(form.ColumnArranger(), nullptr);
  EXPECT_FALSE(CBool(Control("btSetPrice").Property("Visible")));
  EXPECT_FALSE(CBool(Control("btSetPriceOff").Property("Visible")));
  host::DocSpec& spec = *form.Get_SpecList();
  EXPECT_FALSE(spec.Column("Price")->ColVisible());
  EXPECT_FALSE(spec.Column("AlgebraicSum")->ColPrintVisible());
  host::DocSpecColumn& national = *spec.Column("PriceNational");
  EXPECT_TRUE(national.ColVisible());  // although the form hides it: the arranger comes after
  EXPECT_EQ(national.Caption(), spec.Column("Price")->Caption());
  EXPECT_EQ(national.Order(), spec.Column("Price")->Order());
  host::DocSpecColumn& cost = *spec.Column("CostSumm");
  EXPECT_TRUE(cost.ColTotals());
  EXPECT_EQ(cost.Caption(), spec.Column("AlgebraicSum")->Caption());
}

TEST_F(DialogBook, AWaybillParentMakesAFuelWriteOffWithTheFuelStoresOnly) {
  auto parent = std::make_shared<host::THDocument>(book_);
  ASSERT_TRUE(parent->Load(7));
  auto params = std::make_shared<host::NamedValueList>();
  params->Add("Parent", 0, Variant(std::static_pointer_cast<Object>(parent)));
  Open("MMO", 0, params);
  const std::string title = frame::MessageText(kMsgWriteOffTitle);
  EXPECT_EQ(Form().Controls().ShownCaption(),
            title + ". " + frame::MessageText(kMsgFuelByWaybill) + " KL-0007");
  EXPECT_NE(Refusal([&] { Do({"set cbStore S1"}); }).find("StoreKind"), std::string::npos);
  Do({"set cbStore S2"});
  // The parent's department is shown and the document points at its parent.
  EXPECT_EQ(Value("cbDepartment"), "D2");
  EXPECT_EQ(CLng(dialog_->Doc()->Fields().Item("ParentID").Value()), 7);
  dialog_->UnloadForm();

  params->Add("ExclFuelStoreType", 0, Variant(int32_t{1}));
  Open("MMO", 0, params);
  EXPECT_EQ(Form().Controls().ShownCaption(),
            title + ". " + frame::MessageText(kMsgMaterialsByWaybill) + " KL-0007");
  EXPECT_NE(Refusal([&] { Do({"set cbStore S2"}); }).find("StoreKind"), std::string::npos);
  Do({"set cbStore S1"});
}

TEST_F(DialogBook, ASavedFuelWriteOffOfAWaybillWritesRowsWithTheVehiclesLot) {
  book_->Connection().Execute(
      R"(UPDATE "T$THDocument" SET "ParentID" = 7, "StoreCode" = 'S2' WHERE "IDC" = 5)");
  Open("MMO", kOpenWriteOff);
  auto handler = std::dynamic_pointer_cast<handlers::CItemWriteOff>(Form().Controller()->ThDoc());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(handler->LotPropID(), 7);
  Do({"cell new GoodCode F1", "cell new Amount 10"});
  const std::vector<handlers::testing::StoredRow> rows = Rows(kOpenWriteOff);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].good, "F1");
  EXPECT_EQ(rows[2].lot, 7);
}

TEST_F(DialogBook, AnOtherDocumentParentNamesItselfInTheTitle) {
  book_->Connection().Execute(R"(UPDATE "T$THDocument" SET "ParentID" = 8 WHERE "IDC" = 5)");
  Open("MMO", kOpenWriteOff);
  EXPECT_EQ(Form().Controls().ShownCaption(),
            frame::MessageText(kMsgWriteOffTitle) + ". " +
                frame::FormatMsg(frame::MessageText(kMsgByParent), {Variant("IT-0008")}));
  EXPECT_EQ(Value("edDoc"), "ITR I1");
}

TEST_F(DialogBook, TheUtilityMenuSetsTheCurrentRowsBusinessOperation) {
  Open("MMO", kOpenWriteOff);
  Do({"row 2", "press btUtil BO-1"});
  EXPECT_EQ(Rows(kOpenWriteOff)[1].boper, "BO-1");
  // Only the type's operations are offered.
  EXPECT_NE(Refusal([&] { Do({"press btUtil BO-F"}); }).find("not an item"), std::string::npos);
}

TEST_F(DialogBook, TheGridMergesAddedRowsAndPricesFromTheCostAfterPosting) {
  Open("MMO", 0);
  Do({"set edDate 2026-02-10", "set cbDepartment D1", "set cbStore S1", "cell new GoodCode G1",
      "cell new Amount 2", "cell new GoodCode G1", "cell new Amount 0,5"});
  auto spec = Form().Get_SpecList();
  ASSERT_EQ(spec->RowCount(), 1);
  const int32_t idc = CLng(dialog_->Doc()->Fields().Item("IDC").Value());
  EXPECT_EQ(Rows(idc)[0].amount, 25000);
  // New rows carry the dialog's business operation.
  EXPECT_EQ(Rows(idc)[0].boper, "BO-1");
  EXPECT_NE(Refusal([&] { Do({"press btSetPriceOff"}); }).find("disabled"), std::string::npos);
  Do({"set chCarry 1", "save"});
  ASSERT_TRUE(operator_->Errors().empty());
  Do({"press btSetPriceOff"});
  ASSERT_TRUE(operator_->Errors().empty());
  ASSERT_EQ(operator_->Messages().back().request.number, kMsgPricesSet);
  // 2.5 kg of the receipt costing 10 a kg.
  EXPECT_EQ(spec->Total("Summa").ToString(), "25");
  EXPECT_TRUE(dialog_->HasUnsavedChanges());
  Do({"save"});
  EXPECT_DOUBLE_EQ(
      Money("SELECT \"Price\" FROM \"T$THGoodSpec\" WHERE \"DocID\" = " + std::to_string(idc)),
      10.0);
  EXPECT_DOUBLE_EQ(
      Money("SELECT \"Summa\" FROM \"T$THDocument\" WHERE \"IDC\" = " + std::to_string(idc)),
      25.0);
}

struct LayoutCase {
  std::string control;
  int32_t code;
};

class MmoLayoutTest : public DialogBook, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(MmoLayoutTest, TheResizerGetsTheFormsCode) {
  Open("MMO", kOpenWriteOff);
  EXPECT_EQ(dialog_->Resizer().LayoutOf(Control(GetParam().control)), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Controls, MmoLayoutTest,
                         ::testing::Values(LayoutCase{"STab", 5}, LayoutCase{"cbMember3", 5},
                                           LayoutCase{"SpecGrid", 15}, LayoutCase{"btUsePrint", 9},
                                           LayoutCase{"chCarry", 12}, LayoutCase{"edTKLCode", 4},
                                           LayoutCase{"edSum", 4}, LayoutCase{"cbMember_Head", 0},
                                           LayoutCase{"btUtil", 0}),
                         [](const auto& info) { return info.param.control; });

}  // namespace
}  // namespace qts::dialogs
