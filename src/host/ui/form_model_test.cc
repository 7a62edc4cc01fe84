#include "host/ui/form_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/convert.h"
#include "core/date.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/testing/scoped_env.h"
#include "host/ui/param_dialog.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/user_settings.h"

namespace qts::host {
namespace {

// The store/goods form as the reports build it.
FormPtr StoreGoodForm() {
  auto form = std::make_shared<Form>("frmRepStoreRestByTerm", "Ataskaitos parametrai", "#13301");
  form->Add("selStore", ControlType::kSelector, "Sandėlis : ", "#13303")
      .SetProperty("TableName", Variant("STStore"));
  form->Add("selGood", ControlType::kSelector, "Prekė : ", "#13302")
      .SetProperty("TableName", Variant("REFGood"));
  form->Add("edDayAmount", ControlType::kNumberBox, "Dienų skaičius : ", "#99999");
  form->Add("FrameDlg", ControlType::kFrame);
  form->Add("btOk", ControlType::kButton, "Gerai");
  form->Add("btCancel", ControlType::kButton, "Atšaukti");
  return form;
}

// --- Control values: what each kind takes, as a table ---

struct ValueCase {
  const char* name;
  ControlType type;
  Variant given;
  Variant expected;  // Empty in a case that must fail
  int32_t error;     // 0 when it converts
};

class ControlValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ControlValueTest, ConvertsOrRefuses) {
  const ValueCase& c = GetParam();
  Control control("ctl", c.type, "", "");
  Variant before = control.Value();
  if (c.error != 0) {
    EXPECT_QTS_ERROR(control.SetValue(c.given), c.error);
    EXPECT_TRUE(control.Value().SameAs(before)) << "a refused value changed the control";
    return;
  }
  control.SetValue(c.given);
  EXPECT_TRUE(control.Value().SameAs(c.expected))
      << TypeName(control.Value()) << " "
      << (control.Value().IsNull() ? "Null" : CStr(control.Value()));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ControlValueTest,
    ::testing::Values(
        ValueCase{"number_text", ControlType::kNumberBox, Variant("30"), Variant(int32_t{30}), 0},
        ValueCase{"number_fraction", ControlType::kNumberBox, Variant("2.5"), Variant(2.5), 0},
        ValueCase{"number_blank_is_null", ControlType::kNumberBox, Variant("  "), Variant::Null(),
                  0},
        // Money stays exact: a sum shown in a number box is not turned into a Double.
        ValueCase{"number_currency", ControlType::kNumberBox,
                  Variant(Currency::FromScaled(12345600)), Variant(Currency::FromScaled(12345600)),
                  0},
        ValueCase{"number_word", ControlType::kNumberBox, Variant("ten"), Variant(),
                  kErrTypeMismatch},
        ValueCase{"date_iso", ControlType::kDatePicker, Variant("2026-12-05"),
                  Variant(Date::FromYmd(2026, 12, 5)), 0},
        ValueCase{"date_empty_is_null", ControlType::kDatePicker, Variant(""), Variant::Null(), 0},
        ValueCase{"date_empty_variant", ControlType::kDatePicker, Variant(), Variant::Null(), 0},
        ValueCase{"date_local_form", ControlType::kDatePicker, Variant("05.12.2026"), Variant(),
                  kErrTypeMismatch},
        ValueCase{"date_number", ControlType::kDatePicker, Variant(int32_t{5}), Variant(), 13},
        ValueCase{"check_taip", ControlType::kCheckBox, Variant("taip"), Variant(int32_t{1}), 0},
        ValueCase{"check_bool", ControlType::kCheckBox, Variant(true), Variant(int32_t{1}), 0},
        ValueCase{"check_zero", ControlType::kCheckBox, Variant(int32_t{0}), Variant(int32_t{0}),
                  0},
        ValueCase{"check_word", ControlType::kCheckBox, Variant("maybe"), Variant(),
                  kErrTypeMismatch},
        ValueCase{"check_null", ControlType::kCheckBox, Variant::Null(), Variant(),
                  kErrTypeMismatch},
        ValueCase{"text_null_is_empty", ControlType::kTextBox, Variant::Null(),
                  Variant(std::string()), 0},
        ValueCase{"combo_number_as_text", ControlType::kCombo, Variant(int32_t{12}), Variant("12"),
                  0},
        ValueCase{"label_has_no_value", ControlType::kLabel, Variant("x"), Variant(),
                  kErrNoSuchMember},
        ValueCase{"button_has_no_value", ControlType::kButton, Variant("x"), Variant(),
                  kErrNoSuchMember}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

TEST(ControlTest, ChangedIsRaisedOnlyWhenTheValueChanges) {
  Control control("edNumb", ControlType::kTextBox, "", "");
  int raised = 0;
  Connection c = control.Changed.Connect([&](Control&) { ++raised; });
  control.SetValue(Variant("A1"));
  control.SetValue(Variant("A1"));
  control.SetProperty("Text", Variant("A2"));
  EXPECT_EQ(raised, 2);
}

TEST(ControlTest, PropertiesByNameFollowTheKind) {
  auto selector = std::make_shared<Control>("selGood", ControlType::kSelector, "", "");
  ObjectPtr object = selector;
  CallByName(object, "SelCodes", InvokeKind::kPropertyPut, {Variant("'G1','G2'")});
  CallByName(object, "seltype", InvokeKind::kPropertyPut, {Variant(int32_t{1})});
  CallByName(object, "Filter", InvokeKind::kPropertyPut, {Variant("IsGroup = 0")});
  EXPECT_EQ(CStr(CallByName(object, "Value", InvokeKind::kPropertyGet)), "'G1','G2'");
  EXPECT_EQ(selector->SelType(), 1);
  EXPECT_EQ(CallByName(object, "SelType", InvokeKind::kPropertyGet).Type(), VarType::kInteger);
  EXPECT_EQ(CStr(selector->Property("FILTER")), "IsGroup = 0");
  // A selector's Context must be an object (the book).
  EXPECT_QTS_ERROR(selector->SetProperty("Context", Variant("book")), kErrTypeMismatch);
  // A selector has no Code, a combo no SelCodes.
  EXPECT_QTS_ERROR(selector->Property("Code"), kErrNoSuchMember);
  Control combo("cbPerson", ControlType::kCombo, "", "");
  combo.SetProperty("Code", Variant("P1"));
  combo.SetProperty("Text", Variant("Jonas Jonaitis"));
  EXPECT_EQ(CStr(combo.Value()), "P1");
  EXPECT_EQ(CStr(combo.Property("Text")), "Jonas Jonaitis");
  EXPECT_QTS_ERROR(combo.Property("SelCodes"), kErrNoSuchMember);
  EXPECT_FALSE(combo.HasMember("SelType"));
  EXPECT_TRUE(combo.HasMember("code"));
}

// --- Forms ---

TEST(FormTest, ControlsAreReachedByNameOnlyWhenTheyExist) {
  FormPtr form = StoreGoodForm();
  EXPECT_QTS_ERROR(form->Add("SELSTORE", ControlType::kTextBox), kErrInvalidCall);
  EXPECT_QTS_ERROR(form->Item("cbStore"), kErrNoSuchMember);
  Variant control = CallByName(form, "selGood", InvokeKind::kPropertyGet);
  ASSERT_TRUE(control.IsObject());
  EXPECT_EQ(control.AsObject().get(), &form->Item("selgood"));
  EXPECT_QTS_ERROR(CallByName(form, "selNothing", InvokeKind::kPropertyGet), kErrNoSuchMember);
}

TEST(FormTest, DescribesFillableControlsWithTranslatedCaptions) {
  FormPtr form = StoreGoodForm();
  FormDescription d = form->Describe();
  EXPECT_EQ(d.name, "frmRepStoreRestByTerm");
  EXPECT_EQ(d.caption, "Ataskaitos parametrai");
  std::vector<std::string> names;
  for (const FormControl& c : d.controls) names.push_back(c.name);
  // Buttons are the operator's confirm and cancel; each selector adds its type entry.
  EXPECT_EQ(names, (std::vector<std::string>{"selStore", "selStore.SelType", "selGood",
                                             "selGood.SelType", "edDayAmount", "FrameDlg"}));
  EXPECT_EQ(d.At("selStore").caption, "Sandėlis :");
  EXPECT_EQ(d.At("selGood").caption, "Prekė :");
  // A key the resources do not hold leaves the form's own caption.
  EXPECT_EQ(d.At("edDayAmount").caption, "Dienų skaičius : ");
  EXPECT_EQ(d.At("selGood.SelType").kind, ControlKind::kNumber);
}

TEST(FormTest, ResourceTextReplacesTheCaption) {
  Form form("frmX", "Caption", "#13304");
  EXPECT_EQ(form.ShownCaption(), "Dienų skaičius :");
  Form without_set("frmX", "Caption", "#13304", "");
  EXPECT_EQ(without_set.ShownCaption(), "Caption");
  Form not_a_key("frmX", "Caption", "#13a04");
  EXPECT_EQ(not_a_key.ShownCaption(), "Caption");
}

struct SelectorCase {
  const char* name;
  const char* control;
  const char* typed;
  int32_t type_given;  // -1: the type entry left as shown
  const char* codes;
  int32_t type;
};

class SelectorFillTest : public ::testing::TestWithParam<SelectorCase> {};

TEST_P(SelectorFillTest, TypeFollowsWhatWasTyped) {
  const SelectorCase& c = GetParam();
  FormPtr form = StoreGoodForm();
  FormDescription d = form->Describe();
  d.At(c.control).value = Variant(c.typed);
  if (c.type_given >= 0) {
    d.At(std::string(c.control) + ".SelType").value = Variant(c.type_given);
  }
  form->Apply(d);
  EXPECT_EQ(CStr(form->Item(c.control).Value()), c.codes);
  EXPECT_EQ(form->Item(c.control).SelType(), c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SelectorFillTest,
    ::testing::Values(SelectorCase{"quoted_list", "selGood", "'G1','G2'", -1, "'G1','G2'", 1},
                      SelectorCase{"one_good_code", "selGood", "G1", -1, "G1", 3},
                      SelectorCase{"bare_goods_list", "selGood", "G1, G2", -1, "'G1','G2'", 1},
                      SelectorCase{"one_store_code", "selStore", "S2", -1, "'S2'", 1},
                      SelectorCase{"store_with_quote", "selStore", "O'B", -1, "'O''B'", 1},
                      SelectorCase{"group_given", "selGood", "GR", 2, "GR", 2},
                      SelectorCase{"cleared", "selGood", "", -1, "", 0}),
    [](const ::testing::TestParamInfo<SelectorCase>& info) {
      return std::string(info.param.name);
    });

TEST(FormTest, BadFillingChangesNothing) {
  FormPtr form = StoreGoodForm();
  FormDescription d = form->Describe();
  d.At("selGood").value = Variant("G1");
  d.At("edDayAmount").value = Variant("many");
  EXPECT_QTS_ERROR(form->Apply(d), kErrTypeMismatch);
  EXPECT_EQ(CStr(form->Item("selGood").Value()), "");
  EXPECT_EQ(form->Item("selGood").SelType(), 0);

  // A selection type outside 0 to 3, or not whole, is refused as such, whatever its size.
  for (const Variant& type : {Variant(int32_t{7}), Variant(int32_t{-1}), Variant(1e10),
                              Variant(-1e300), Variant(2.5), Variant("9")}) {
    d = form->Describe();
    d.At("selGood").value = Variant("G1");
    d.At("selGood.SelType").value = type;
    EXPECT_QTS_ERROR_TEXT(form->Apply(d), kErrInvalidCall,
                          "the selection type of \"selGood\" must be 0 to 3, not " + CStr(type));
    EXPECT_EQ(CStr(form->Item("selGood").Value()), "");
    EXPECT_EQ(form->Item("selGood").SelType(), 0);
  }
}

TEST(FormTest, UnloadingIsRaisedOnce) {
  FormPtr form = StoreGoodForm();
  int unloads = 0;
  Connection c = form->Unloading.Connect([&](Form&) { ++unloads; });
  form->Unload();
  form->Unload();
  EXPECT_EQ(unloads, 1);
  EXPECT_TRUE(form->Unloaded());
}

// --- ParamDialog and PeriodBinder ---

class ParamDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    op_ = std::make_shared<ScriptedOperator>();
    scope_ = std::make_unique<ScopedOperator>(op_);
    form_ = StoreGoodForm();
    dialog_ = std::make_shared<ParamDialog>();
    dialog_->Init(form_, form_->Item("btOk"), form_->Item("btCancel"), nullptr, true, true);
  }
  void TearDown() override { scope_.reset(); }

  std::shared_ptr<ScriptedOperator> op_;
  std::unique_ptr<ScopedOperator> scope_;
  FormPtr form_;
  std::shared_ptr<ParamDialog> dialog_;
};

TEST_F(ParamDialogTest, ConfirmedFillingReachesTheControls) {
  op_->AnswerForm({"frmRepStoreRestByTerm", true, {{"edDayAmount", Variant("30")}}});
  std::vector<std::string> order;
  Connection c = dialog_->BeforeShow.Connect([&](bool&) {
    order.push_back("before");
    form_->Item("selGood").SetValue(Variant("G9"));  // restored choice, shown to the operator
  });
  dialog_->Show();
  EXPECT_TRUE(dialog_->Confirmed());
  EXPECT_EQ(order, std::vector<std::string>{"before"});
  EXPECT_EQ(CLng(form_->Item("edDayAmount").Value()), 30);
  ASSERT_EQ(op_->Forms().size(), 1u);
  EXPECT_EQ(CStr(op_->Forms()[0].form.At("selGood").value), "G9");
}

TEST_F(ParamDialogTest, CancelledFillingLeavesTheControls) {
  op_->AnswerForm({"", false, {{"edDayAmount", Variant("30")}}});
  dialog_->Show();
  EXPECT_FALSE(dialog_->Confirmed());
  EXPECT_TRUE(form_->Item("edDayAmount").Value().IsNull());
}

TEST_F(ParamDialogTest, BeforeShowMayCancel) {
  op_->AnswerForm({"", true, {}});
  Connection c = dialog_->BeforeShow.Connect([](bool& cancel) { cancel = true; });
  dialog_->Show();
  EXPECT_FALSE(dialog_->Confirmed());
  EXPECT_EQ(op_->PendingForms(), 1u) << "the form must not have been shown";
}

TEST_F(ParamDialogTest, OperatorErrorsLeaveItUnconfirmed) {
  op_->AnswerForm({"", true, {{"edNothing", Variant("1")}}});
  EXPECT_QTS_ERROR(dialog_->Show(), kErrOperator);
  EXPECT_FALSE(dialog_->Confirmed());
}

TEST(ParamDialogInitTest, ButtonsMustBeTheFormsOwn) {
  FormPtr form = StoreGoodForm();
  FormPtr other = StoreGoodForm();
  ParamDialog dialog;
  EXPECT_QTS_ERROR(
      dialog.Init(form, other->Item("btOk"), form->Item("btCancel"), nullptr, true, true),
      kErrDialog);
  EXPECT_QTS_ERROR(
      dialog.Init(form, form->Item("selGood"), form->Item("btCancel"), nullptr, true, true),
      kErrDialog);
  EXPECT_QTS_ERROR(dialog.Show(), kErrDialog);
}

class PeriodBinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_shared<Form>("frmRepNotSpentGoods", "Ataskaitos parametrai");
    form_->Add("edBegDate", ControlType::kDatePicker);
    form_->Add("edEndDate", ControlType::kDatePicker);
    form_->Add("btOk", ControlType::kButton);
    form_->Add("btCancel", ControlType::kButton);
    binder_.Init(form_, begin(), end(), form_->Item("btOk"), form_->Item("btCancel"), true, true);
  }
  Control& begin() { return form_->Item("edBegDate"); }
  Control& end() { return form_->Item("edEndDate"); }
  static Variant D(int m, int d) { return Variant(Date::FromYmd(2026, m, d)); }

  FormPtr form_;
  PeriodBinder binder_;
};

TEST_F(PeriodBinderTest, BeginPastEndMovesTheEnd) {
  end().SetValue(D(3, 31));
  begin().SetValue(D(3, 1));
  EXPECT_TRUE(end().Value().SameAs(D(3, 31)));
  begin().SetValue(D(4, 15));
  EXPECT_TRUE(end().Value().SameAs(D(4, 15)));
}

TEST_F(PeriodBinderTest, EndBeforeBeginMovesTheBegin) {
  begin().SetValue(D(3, 10));
  end().SetValue(D(3, 10));  // equal dates are in order
  EXPECT_TRUE(begin().Value().SameAs(D(3, 10)));
  end().SetValue(D(2, 1));
  EXPECT_TRUE(begin().Value().SameAs(D(2, 1)));
}

TEST_F(PeriodBinderTest, EmptyDatesAreLeftAlone) {
  begin().SetValue(D(5, 1));
  end().SetValue(Variant::Null());
  EXPECT_TRUE(begin().Value().SameAs(D(5, 1)));
  EXPECT_TRUE(end().Value().IsNull());
}

TEST_F(PeriodBinderTest, FormFillingKeepsOrder) {
  auto op = std::make_shared<ScriptedOperator>();
  ScopedOperator scope(op);
  op->AnswerForm(
      {"", true, {{"edBegDate", Variant("2026-06-30")}, {"edEndDate", Variant("2026-06-01")}}});
  ParamDialog dialog;
  dialog.Init(form_, form_->Item("btOk"), form_->Item("btCancel"), nullptr, true, true);
  dialog.Show();
  ASSERT_TRUE(dialog.Confirmed());
  EXPECT_LE(CDate(begin().Value()), CDate(end().Value()));
}

TEST(PeriodBinderInitTest, NeedsDatePickersOfTheForm) {
  FormPtr form = StoreGoodForm();
  PeriodBinder binder;
  EXPECT_QTS_ERROR(binder.Init(form, form->Item("edDayAmount"), form->Item("edDayAmount"),
                               form->Item("btOk"), form->Item("btCancel"), true, true),
                   kErrDialog);
}

// --- UserSettings ---

TEST(UserSettingsTest, ValuesArePerFormAndSurviveANewObject) {
  qts::testing::TempDir dir;
  SettingsStore store(dir / "settings.json");
  UserSettings settings(store);
  EXPECT_TRUE(settings.GetFormValue("Store", "frmA").IsEmpty());
  settings.SaveFormValue("Store", "frmA", Variant("'S1','S2'"));
  settings.SaveFormValue("StoreSelType", "frmA", Variant(int16_t{1}));
  settings.SaveFormValue("Store", "frmB", Variant::Null());
  UserSettings again(SettingsStore(dir / "settings.json"));
  EXPECT_EQ(CStr(again.GetFormValue("Store", "frmA")), "'S1','S2'");
  EXPECT_EQ(CStr(again.GetFormValue("StoreSelType", "frmA")), "1");
  EXPECT_EQ(CStr(again.GetFormValue("Store", "frmB")), "");
  EXPECT_TRUE(again.GetFormValue("Good", "frmA").IsEmpty());
  EXPECT_QTS_ERROR(
      settings.SaveFormValue("Store", "frmA",
                             Variant(std::static_pointer_cast<Object>(
                                 std::make_shared<Control>("x", ControlType::kTextBox, "", "")))),
      kErrTypeMismatch);
  EXPECT_EQ(CStr(again.GetFormValue("Store", "frmA")), "'S1','S2'");
}

}  // namespace
}  // namespace qts::host
