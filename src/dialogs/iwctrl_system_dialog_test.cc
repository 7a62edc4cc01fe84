#include "dialogs/iwctrl_system_dialog.h"

#include <gtest/gtest.h>

#include "dialogs/frm_mmo.h"
#include "dialogs/testing/dialog_book.h"
#include "handlers/finish_good_in.h"
#include "handlers/item_write_off.h"
#include "host/ui/control_list.h"
#include "host/ui/scripted_operator.h"

namespace qts::dialogs {
namespace {

using testing::DialogBook;
using testing::kOpenWriteOff;
using testing::kPostedWriteOff;
using testing::kReceipt;

// A controller of `type` over a write-off form that is not loaded (so nothing else listens to
// its buttons), with the control codes `codes`.
struct Bare {
  std::shared_ptr<frmMMO> form = std::make_shared<frmMMO>();
  std::shared_ptr<host::SystemDialog> dialog = std::make_shared<host::SystemDialog>();
  std::shared_ptr<CIWCtrl_SystemDialog> controller = std::make_shared<CIWCtrl_SystemDialog>();

  Bare(const host::AppContextPtr& book, const std::string& type, std::vector<int32_t> codes) {
    dialog->Init(form, std::make_shared<host::DialogHost>(book, 0), Variant("MMO"));
    for (int32_t code : codes) controller->ControlList()->Add(code);
    controller->Init(type, form, dialog, dialog->Doc(), "", "IsPosted", nullptr, false, 1);
  }
  // Unloaded as the host unloads every dialog it opened: that lets the form go of the dialog.
  ~Bare() {
    controller->Terminate();
    dialog->UnloadForm();
  }
  Bare(const Bare&) = delete;
  Bare& operator=(const Bare&) = delete;
  size_t Listeners(const char* button) {
    return form->Controls().Item(button).Click.ListenerCount();
  }
};

TEST_F(DialogBook, EachWriteOffTypeBindsTheWriteOffHandlerAndTheReceiptItsOwn) {
  for (const char* type : {"MMO", "MKO"}) {
    Bare bare(book_, type, {});
    EXPECT_NE(std::dynamic_pointer_cast<handlers::CItemWriteOff>(bare.controller->ThDoc()), nullptr)
        << type;
    EXPECT_NE(bare.controller->MatDocSupport(), nullptr) << type;
    EXPECT_TRUE(bare.controller->CheckAll());
  }
  Bare receipt(book_, "MFC", {});
  EXPECT_NE(std::dynamic_pointer_cast<handlers::CFinishGoodIn>(receipt.controller->ThDoc()),
            nullptr);
  EXPECT_EQ(receipt.controller->MatDocSupport(), nullptr);
  Bare other(book_, "PISF", {});
  EXPECT_EQ(other.controller->ThDoc(), nullptr);
  EXPECT_EQ(other.controller->MDocSupport(), nullptr);
  EXPECT_THROW((void)other.controller->GoodPropMenu(), Error);
}

TEST_F(DialogBook, ButtonsAreConnectedByTheFormsControlCodes) {
  Bare none(book_, "MMO", {2});
  for (const char* button : {"btSetPrice", "btSetPriceOff", "btLotProperty", "btUsePrint"}) {
    EXPECT_EQ(none.Listeners(button), 0u) << button;
  }
  Bare all(book_, "MMO", {11, 12, 14});
  for (const char* button : {"btSetPrice", "btSetPriceOff", "btLotProperty", "btUsePrint"}) {
    EXPECT_EQ(all.Listeners(button), 1u) << button;
  }
  // A receipt never gets the controller's print button.
  Bare receipt(book_, "MFC", {11, 12, 14});
  EXPECT_EQ(receipt.Listeners("btUsePrint"), 0u);
}

TEST_F(DialogBook, TheWriteOffPriceButtonShowsItsMessageAlsoWithoutPricing) {
  Open("MMO", kPostedWriteOff);
  // A second controller of a type without material support, on the same button.
  auto extra = std::make_shared<CIWCtrl_SystemDialog>();
  extra->ControlList()->Add(12);
  extra->Init("MFC", dialog_->FormObject(), dialog_, dialog_->Doc(), "", "IsPosted", nullptr, false,
              1);
  Do({"press btSetPriceOff"});
  size_t shown = 0;
  for (const auto& message : operator_->Messages()) {
    if (message.request.number == kMsgPricesSet) ++shown;
  }
  EXPECT_EQ(shown, 2u);
  EXPECT_TRUE(operator_->Errors().empty());
  extra->Terminate();
}

TEST_F(DialogBook, TheGoodsLookupShowsRestsOfTheStoreChosenInTheForm) {
  Open("MMO", kOpenWriteOff);
  std::vector<std::string> lines = dialog_->FindGoods("G1");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("likutis S1: 7,000"), std::string::npos) << lines[0];
  Do({"set cbStore S2"});
  lines = dialog_->FindGoods("Flour");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("likutis S2: 4,000"), std::string::npos) << lines[0];
}

TEST_F(DialogBook, TheHandlerAllowsTheGridsDelete) {
  Open("MMO", kOpenWriteOff);
  Do({"delete 2"});
  ASSERT_EQ(Rows(kOpenWriteOff).size(), 1u);
  EXPECT_EQ(Rows(kOpenWriteOff)[0].good, "G1");
}

TEST_F(DialogBook, TerminateReleasesTheControllersHoldOnTheDialog) {
  Open("MMO", kOpenWriteOff);
  std::weak_ptr<host::SystemDialog> weak = dialog_;
  std::weak_ptr<CIWCtrl_SystemDialog> controller = Form().Controller();
  dialog_->UnloadForm();
  EXPECT_EQ(controller.lock(), nullptr);
  dialogs_.reset();  // the host lets go of its dialog
  dialog_.reset();
  EXPECT_EQ(weak.lock(), nullptr) << "the form or its controller keep the dialog alive";
}

}  // namespace
}  // namespace qts::dialogs
