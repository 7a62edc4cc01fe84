#include "frame/catalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts::frame {
namespace {

const Catalogue& Cat() { return Catalogue::Instance(); }

TEST(CatalogueTest, HoldsTheFortySevenUnitsOfTheComponent) {
  std::map<UnitKind, int> counts;
  for (const auto& unit : Cat().Units()) ++counts[unit.kind];
  EXPECT_EQ(Cat().Units().size(), 47u);
  EXPECT_EQ(counts[UnitKind::kCreatable] + counts[UnitKind::kGlobal], 17);
  EXPECT_EQ(counts[UnitKind::kNotCreatable], 3);
  EXPECT_EQ(counts[UnitKind::kPrivate], 8);
  EXPECT_EQ(counts[UnitKind::kForm], 9);
  EXPECT_EQ(counts[UnitKind::kModule], 10);
  EXPECT_EQ(Cat().FindClass("CreateTarnUserDialogs")->kind, UnitKind::kGlobal);
}

TEST(CatalogueTest, PublicClassesHaveDistinctFixedIdentifiersAndTheirProgIds) {
  std::set<Guid> ids{kLibId};
  for (const auto& unit : Cat().Units()) {
    if (!unit.IsPublic()) continue;
    EXPECT_TRUE(ids.insert(unit.clsid).second) << unit.name;
    EXPECT_EQ(unit.ProgId(), "QTS_Inventory." + unit.name);
    EXPECT_EQ(Cat().FindProgId(unit.ProgId()), &unit);
    EXPECT_EQ(Cat().FindClassById(unit.clsid), &unit);
    EXPECT_NE(Cat().FindInterface(unit.default_interface), nullptr) << unit.name;
    for (const auto& impl : unit.implements) {
      EXPECT_NE(Cat().FindInterface(impl), nullptr) << unit.name << " implements " << impl;
    }
  }
  for (const auto& iface : Cat().Interfaces()) {
    EXPECT_TRUE(ids.insert(iface.iid).second) << iface.name;
  }
  // Identifiers are written once; these are the ones the host and other plug-ins hold.
  EXPECT_EQ(Cat().FindClass("CMCalculator")->clsid.ToString(),
            "{9CAF012B-4CF8-4CC5-87F8-80F453A3E5E5}");
  EXPECT_EQ(Cat().FindInterface("IMDocSupport")->iid.ToString(),
            "{A828FA2E-2A56-47AC-9420-CCD16E707B58}");
}

TEST(CatalogueTest, PrivateClassesFormsAndModulesHaveNoProgId) {
  for (const char* name : {"CItemWriteOff", "CFinishGoodIn", "CLotByMDoc", "CMDocSupport", "frmMMO",
                           "frmRepPack", "DefineModule", "STConst"}) {
    ASSERT_NE(Cat().FindClass(name), nullptr) << name;
    EXPECT_EQ(Cat().FindProgId(std::string("QTS_Inventory.") + name), nullptr) << name;
    EXPECT_FALSE(Cat().FindClass(name)->IsCreatable()) << name;
  }
  EXPECT_EQ(Cat().FindProgId("Other.CMCalculator"), nullptr);
  EXPECT_EQ(Cat().FindProgId("QTS_Inventory."), nullptr);
}

TEST(CatalogueTest, CreationRefusesWhatCannotOrDoesNotYetExist) {
  EXPECT_QTS_ERROR_TEXT(Cat().Create(*Cat().FindClass("IMMatDocSupport")), kErrCannotCreate,
                        "not creatable");
  EXPECT_QTS_ERROR_TEXT(Cat().Create(*Cat().FindClass("CItemWriteOff")), kErrCannotCreate,
                        "private");

  // Every creatable class either creates a real object of its own name or says it is missing.
  for (const auto& unit : Cat().Units()) {
    if (!unit.IsCreatable()) continue;
    if (Cat().HasCreator(unit.name)) {
      ObjectPtr object = Cat().Create(unit);
      ASSERT_NE(object, nullptr) << unit.name;
      EXPECT_EQ(object->ClassName(), unit.name);
    } else {
      EXPECT_THROW(Cat().Create(unit), Error) << unit.name;
    }
  }
}

TEST(CatalogueTest, MembersAreInSlotOrder) {
  auto names = [](std::string_view iface) {
    std::vector<std::string> out;
    for (const auto& m : Catalogue::Instance().FindInterface(iface)->members) {
      out.push_back(m.name + (m.kind == MemberKind::kPropertyPut ? "=" : ""));
    }
    return out;
  };
  EXPECT_EQ(names("IMDocSupport"),
            (std::vector<std::string>{"Init", "CrDocByOrder", "Doc", "IfExist", "IsSingleDoc",
                                      "FillSpec", "FillSpec2", "QuestionToCustom", "CrParamList",
                                      "UseParamList", "CheckOnSpecDelete", "ParentDoc"}));
  EXPECT_EQ(names("IMMatDocSupport"),
            (std::vector<std::string>{"SetPriceByStOrder", "SetPriceWriteOff", "UpdateAmount",
                                      "MDocSup"}));
  EXPECT_EQ(names("ITHDoc"),
            (std::vector<std::string>{"RecalcSpecVal", "CalcSpecColumns", "CalcSpecColList", "Doc",
                                      "Init", "InsertSpecRec", "UpdateAmount", "GoodSpec",
                                      "LotByDoc", "DefaultBoper=", "DefaultBoper", "ArticleCode",
                                      "MenuForGoodProperty"}));
  EXPECT_EQ(
      names("IReportExec"),
      (std::vector<std::string>{"Run", "Visual", "Visual=", "AlterFormCode", "AlterFormCode="}));
  EXPECT_EQ(names("IProcessObject"), (std::vector<std::string>{"Step", "Caption", "CountStep"}));
  EXPECT_EQ(names("__CCreateCopyRS"),
            (std::vector<std::string>{"AddCustomColumns", "AddThisField"}));
  EXPECT_TRUE(Cat().FindInterface("ILotByTHDocLA")->members.empty());
  const auto& crdoc = Cat().FindInterface("IMDocSupport")->members[1];
  ASSERT_EQ(crdoc.params.size(), 5u);
  EXPECT_FALSE(crdoc.params[1].optional);
  EXPECT_TRUE(crdoc.params[4].optional);
  EXPECT_EQ(crdoc.params[4].default_value, "0");
  EXPECT_EQ(Cat().FindInterface("IMDocSupport")->members[7].params[2].default_value, "11");
}

TEST(CatalogueTest, TheEnumerationAndTheJsonTypeLibrary) {
  ASSERT_EQ(Cat().Enums().size(), 1u);
  const auto& e = Cat().Enums()[0];
  EXPECT_EQ(e.name, "CalcVariantEnum");
  EXPECT_EQ(e.values,
            (std::vector<std::pair<std::string, int32_t>>{
                {"enCalcDocIn", 1}, {"enCalcEquip", 2}, {"enCalcOper", 3}, {"enCalcSimple", 4}}));
  auto json = Cat().ToJson();
  EXPECT_EQ(json["classes"].size(), 20u);
  EXPECT_EQ(json["privateUnits"].size(), 27u);
  EXPECT_EQ(json["enums"][0]["values"]["enCalcSimple"], 4);
  bool found = false;
  for (const auto& cls : json["classes"]) {
    if (cls["name"] == "IMOpDocSupport") {
      found = true;
      EXPECT_EQ(cls["progid"], "QTS_Inventory.IMOpDocSupport");
      EXPECT_TRUE(cls["creatable"].get<bool>());
      EXPECT_TRUE(cls["available"].get<bool>());
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace qts::frame
