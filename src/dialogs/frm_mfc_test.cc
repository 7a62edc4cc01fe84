#include "dialogs/frm_mfc.h"

#include <gtest/gtest.h>

#include "dialogs/iwctrl_system_dialog.h"
#include "dialogs/testing/dialog_book.h"
#include "frame/define_module.h"
#include "handlers/finish_good_in.h"
#include "host/documents/th_document.h"
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

class MfcCheckTest : public DialogBook, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(MfcCheckTest, TheFirstFailingCheckIsShownAndNothingIsWritten) {
  Open("MFC", 0);
  Do({"set edDate 2026-02-10", "set edNumb R-9", "set cbDepartment D1", "set cbStore S1"});
  Do(GetParam().commands);
  const int64_t documents = Documents();
  const bool saved = dialog_->Save();
  EXPECT_EQ(saved, GetParam().message == 0);
  EXPECT_EQ(Documents(), documents + (saved ? 1 : 0));
  if (GetParam().message != 0) {
    ASSERT_EQ(operator_->Messages().size(), 1u);
    EXPECT_EQ(operator_->Messages()[0].request.text, frame::MessageText(GetParam().message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, MfcCheckTest,
    ::testing::Values(CheckCase{"complete", {}, 0},
                      CheckCase{"no_date", {"set edDate ", "set cbStore "}, 396},
                      CheckCase{"no_number", {"set edNumb ", "set cbStore "}, 301},
                      CheckCase{"no_store", {"set cbStore ", "set cbDepartment "}, 336},
                      CheckCase{"no_department", {"set cbDepartment "}, 504}),
    [](const auto& info) { return info.param.name; });

TEST_F(DialogBook, TheReceiptBindsItsHandlerGridAndProductCaption) {
  Open("MFC", kReceipt);
  auto handler = std::dynamic_pointer_cast<handlers::CFinishGoodIn>(Form().Controller()->ThDoc());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(Form().Controller()->MatDocSupport(), nullptr);
  host::DocSpec& spec = *Form().Get_SpecList();
  EXPECT_EQ(spec.Column("GoodCode")->Caption(), frame::MessageText(kMsgProduct));
  std::vector<std::string> shown;
  for (const host::DocSpecColumnPtr& column : spec.Columns()) {
    if (column->ColVisible()) shown.push_back(column->Key());
  }
  ASSERT_GE(shown.size(), 9u);
  EXPECT_EQ((std::vector<std::string>(shown.begin(), shown.begin() + 9)),
            (std::vector<std::string>{"PosNumb", "GoodCode", "Name", "Amount", "UnitCode",
                                      "AmountAccount", "Price", "Summa", "BOperCode"}));
  EXPECT_FALSE(spec.Column("CostSumm")->ColVisible());
  for (const char* hidden : {"lDoc", "edDoc", "btClearDoc", "btCalcPrice", "btTransDoc"}) {
    EXPECT_FALSE(CBool(Control(hidden).Property("Visible"))) << hidden;
  }
}

TEST_F(DialogBook, TheReceiptsPersonsAreWrittenByRoleAndShownFromTheirRoles) {
  Open("MFC", kReceipt);
  Do({"set cbDepartment D1", "set cbPerson P4", "set cbKontrolerius P3", "save"});
  EXPECT_EQ(PartyRoles(kReceipt), (std::vector<std::string>{"CH=P3", "DB=P4"}));
  host::THDocument stored(book_);
  ASSERT_TRUE(stored.Load(kReceipt));
  EXPECT_EQ(CStr(stored.Fields().Item("Gavejas").Value()), "P4");
  EXPECT_EQ(CStr(stored.Fields().Item("Kontrolerius").Value()), "P3");
  dialog_->UnloadForm();
  // Shown again from the roles, when the document is opened anew.
  book_->Connection().Execute(
      R"(UPDATE "T$THDocument" SET "Gavejas" = NULL, "Kontrolerius" = NULL WHERE "IDC" = 6)");
  Open("MFC", kReceipt);
  EXPECT_EQ(Value("cbPerson"), "P4");
  EXPECT_EQ(Value("cbKontrolerius"), "P3");
  EXPECT_EQ(CStr(Control("cbPerson").Property("Text")), "Rūta Stankevičienė");
}

TEST_F(DialogBook, APostedReceiptKeepsItsFieldsAndBothPersonsReadOnly) {
  book_->Connection().Execute(R"(UPDATE "T$THDocument" SET "IsPosted" = 1 WHERE "IDC" = 6)");
  Open("MFC", kReceipt);
  for (const char* control :
       {"edNumb", "edDate", "cbDepartment", "cbStore", "cbPerson", "cbKontrolerius"}) {
    EXPECT_NE(Refusal([&] { Do({std::string("set ") + control + " P1"}); }).find("posted"),
              std::string::npos)
        << control;
  }
  EXPECT_TRUE(Enabled("edName"));
  EXPECT_TRUE(dialog_->View().grid->read_only);
}

TEST_F(DialogBook, AReceiptsGridWritesItsOwnRowsAndComputesTheirSums) {
  Open("MFC", kReceipt);
  // The receipt handler inserts nothing: the grid writes the row at the next position.
  Do({"cell new GoodCode G3", "cell new Amount 5", "cell 2 Price 1,2"});
  const std::vector<handlers::testing::StoredRow> rows = Rows(kReceipt);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].pos, 2);
  EXPECT_EQ(rows[1].unit, "L");
  // The receipt calculator: the sum from price and amount, and the cost with it.
  EXPECT_DOUBLE_EQ(Money("SELECT \"Summa\" FROM \"T$THGoodSpec\" WHERE \"DocID\" = 6 AND "
                          "\"PosNumb\" = 2"),
                   6.0);
  EXPECT_DOUBLE_EQ(Money("SELECT \"CostSumm\" FROM \"T$THGoodSpec\" WHERE \"DocID\" = 6 AND "
                          "\"PosNumb\" = 2"),
                   6.0);
  // Typing the sum gives the unit price back.
  Do({"cell 2 Summa 7,5"});
  EXPECT_DOUBLE_EQ(Money("SELECT \"Price\" FROM \"T$THGoodSpec\" WHERE \"DocID\" = 6 AND "
                          "\"PosNumb\" = 2"),
                   1.5);
}

}  // namespace
}  // namespace qts::dialogs
