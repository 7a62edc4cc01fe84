#include "dialogs/halden_user_dialogs.h"

#include <gtest/gtest.h>

#include "dialogs/frm_mfc.h"
#include "dialogs/frm_mmo.h"
#include "dialogs/frm_pack.h"
#include "dialogs/testing/dialog_book.h"
#include "host/documents/th_document.h"
#include "host/interfaces.h"
#include "host/ui/scripted_operator.h"

namespace qts::dialogs {
namespace {

using testing::DialogBook;
using testing::kOpenWriteOff;
using testing::kPostedWriteOff;
using testing::kReceipt;

TEST(CreateTarnUserDialogsTest, MakesTheFormOfATypeCodeComparedExactly) {
  CreateTarnUserDialogs factory;
  std::string name = "THDocument";
  auto form_of = [&](Variant type) { return factory.CreateDialogs(name, type); };
  EXPECT_NE(std::dynamic_pointer_cast<frmMMO>(form_of(Variant("MMO"))), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<frmMFC>(form_of(Variant("MFC"))), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<frmPACK>(form_of(Variant("PACK"))), nullptr);
  for (const Variant& other : {Variant("mmo"), Variant("MMO "), Variant("pack"), Variant("MKO"),
                               Variant(int32_t{5}), Variant::Null()}) {
    EXPECT_EQ(form_of(other), nullptr);
  }
  // Each call gives a new form.
  EXPECT_NE(form_of(Variant("MMO")), form_of(Variant("MMO")));
}

TEST(HaldenUserDialogsTest, BeforeInitTheForwardedPropertiesDoNothing) {
  HaldenUserDialogs dialogs;
  dialogs.UnloadForm();
  dialogs.SetUnloadFormOnClose(true);
  dialogs.SetUpdateListAfterClose(true);
  dialogs.SetCopyObjectID(9);
  EXPECT_FALSE(dialogs.UnloadFormOnClose());
  EXPECT_FALSE(dialogs.UpdateListAfterClose());
  EXPECT_EQ(dialogs.CopyObjectID(), 0);
  EXPECT_THROW((void)dialogs.InsertMode(), Error);
}

TEST_F(DialogBook, BothDispatcherClassesAreCreatedByTheirProgrammaticIdentifiers) {
  for (const char* progid :
       {"QTS_Inventory.HaldenUserDialogs", "QTS_Inventory.CreateTarnUserDialogs"}) {
    const frame::ClassInfo* cls = frame::Catalogue::Instance().FindProgId(progid);
    ASSERT_NE(cls, nullptr) << progid;
    ObjectPtr object = frame::Catalogue::Instance().Create(*cls);
    ASSERT_NE(object, nullptr) << progid;
  }
  const frame::ClassInfo* cls =
      frame::Catalogue::Instance().FindProgId("QTS_Inventory.HaldenUserDialogs");
  EXPECT_NE(TryQueryInterface<host::IHaldenDialog>(frame::Catalogue::Instance().Create(*cls)),
            nullptr);
  // The factory answers by name, as the host calls it.
  const frame::ClassInfo* factory =
      frame::Catalogue::Instance().FindProgId("QTS_Inventory.CreateTarnUserDialogs");
  Variant form = CallByName(frame::Catalogue::Instance().Create(*factory), "CreateDialogs",
                            InvokeKind::kMethod, {Variant("THDocument"), Variant("MFC")});
  ASSERT_TRUE(form.IsObject());
  EXPECT_EQ(form.AsObject()->ClassName(), "frmMFC");
}

TEST_F(DialogBook, InitOpensTheDocumentAndRelaysTheDialogsEvents) {
  auto dialogs = Open("MMO", 5);
  EXPECT_EQ(log_->events, (std::vector<std::string>{"BeforeLoadHandling", "AfterLoadHandling"}));
  EXPECT_FALSE(dialogs->InsertMode());
  EXPECT_EQ(Value("edNumb"), "W2");
  operator_->AnswerDialog(
      {{host::ParseDialogCommand("set cbDepartment D1"), host::ParseDialogCommand("save")}});
  Variant a, b, c;
  // The host's own answer is dropped: RunForm says False although the form ran.
  EXPECT_FALSE(dialogs->RunForm(a, b, c));
  EXPECT_TRUE(dialogs->Visible());
  EXPECT_EQ(log_->events,
            (std::vector<std::string>{"BeforeLoadHandling", "AfterLoadHandling", "BeforeShow",
                                      "AfterShow", "AfterWriteRecord"}));
  EXPECT_EQ(log_->written, std::vector<int32_t>{5});
  dialogs->UnloadForm();
  EXPECT_FALSE(dialogs->Visible());
}

TEST_F(DialogBook, TheCallersCancelOfTheLoadStopsTheFormFromLoading) {
  log_->cancel_load = true;
  Open("MMO", 5);
  // The form saw the cancelled flag: no controller, nothing bound, no grid.
  EXPECT_EQ(Form().Controller(), nullptr);
  EXPECT_EQ(Value("edNumb"), "");
  EXPECT_EQ(log_->events, std::vector<std::string>{"BeforeLoadHandling"});
}

TEST_F(DialogBook, ATypeWithoutAFormOrADocumentOfAnotherTypeIsRefused) {
  for (const char* type : {"mmo", "MKO"}) {
    try {
      Open(type, 0);
      ADD_FAILURE() << type;
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), host::kErrSystemDialog);
      EXPECT_NE(error.Description().find(type), std::string::npos) << error.Description();
    }
  }
  try {
    Open("MMO", 6);  // a finished-goods receipt
    ADD_FAILURE() << "opened";
  } catch (const Error& error) {
    EXPECT_NE(error.Description().find("is a MFC, not a MMO"), std::string::npos)
        << error.Description();
  }
}

TEST_F(DialogBook, DataChangedCoversTheFormAndTheDialogsUnsavedRows) {
  auto dialogs = Open("MMO", 5);
  EXPECT_FALSE(dialogs->DataChanged());
  Do({"cell new GoodCode G1", "cell new Amount 1"});  // rows only: the dialog is asked again
  EXPECT_TRUE(dialogs->DataChanged());
  dialogs->UnloadForm();
  auto again = Open("MMO", 5);
  Do({"set edName Kitas"});
  EXPECT_TRUE(again->DataChanged());
  // Properties forwarded to the dialog.
  again->SetCopyObjectID(3);
  EXPECT_EQ(again->CopyObjectID(), 3);
  again->SetEnableControl(Variant("edName"), false);
  EXPECT_FALSE(again->EnableControl(Variant("edName")));
  auto params = std::make_shared<host::NamedValueList>();
  params->Add("Parent", 0, Variant());
  again->SetUserParams(params);
  EXPECT_EQ(again->UserParams(), params);
}

TEST_F(DialogBook, DestroyingTheDispatcherUnloadsTheFormAndDropsUnsavedRows) {
  const int64_t rows = Count("T$THGoodSpec");
  Open("MMO", 5);
  Do({"cell new GoodCode G1", "cell new Amount 1"});
  EXPECT_EQ(Count("T$THGoodSpec"), rows);  // merged into row 1
  Do({"cell new GoodCode G2", "cell new Amount 1"});
  EXPECT_EQ(Count("T$THGoodSpec"), rows + 1);
  dialogs_.reset();
  EXPECT_TRUE(dialog_->IsClosed());
  EXPECT_EQ(Count("T$THGoodSpec"), rows);
  EXPECT_EQ(Rows(5)[0].amount, 30000);  // the merge was rolled back too
}

}  // namespace
}  // namespace qts::dialogs
