#include "reports/rep_pack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/convert.h"
#include "dialogs/frm_pack.h"
#include "dialogs/testing/dialog_book.h"
#include "dialogs/testing/pack_book.h"
#include "host/data/recordset.h"
#include "host/report/printed_report.h"
#include "host/ui/scripted_operator.h"
#include "reports/testing/printed_totals.h"

namespace qts::reports {
namespace {

using Filling = std::vector<std::pair<std::string, Variant>>;

// The hand-worked book with its second quarter declared twice through the dialog: once for
// packaging used once (document plain_), once for reusable packaging (reusable_).
class RepPackTest : public dialogs::testing::DialogBook {
 protected:
  void SetUp() override {
    DialogBook::SetUp();
    dialogs::testing::SeedDeclarationBook(book_->Connection());
    host::NamedValueList& settings = book_->Settings();
    settings.Item("Address").SetValue(Variant("Gedimino pr. 1, Vilnius"));
    settings.Item("Phone").SetValue(Variant("+370 5 200 0000"));
    settings.Item("VatCode").SetValue(Variant("LT123456789"));
    plain_ = Declare(false);
    reusable_ = Declare(true);
  }
  int32_t Declare(bool reusable) {
    Open("PACK", 0);
    Do({"set edBegDate 2026-04-01", "set edEndDate 2026-06-30",
        std::string("set chIsReusablePack ") + (reusable ? "1" : "0"), "save", "press btFillSpec",
        "save"});
    return CLng(Form().Get_oDoc()->Fields().Item("IDC").Value());
  }

  bool Run(Filling filling, bool cancel = false, ObjectPtr form_object = nullptr) {
    operator_->AnswerForm({"frmRepPack", !cancel, std::move(filling)});
    params_ = std::make_shared<host::NamedValueList>();
    params_->Add("Book", host::Kind::kNone, Variant(std::static_pointer_cast<Object>(book_)));
    if (form_object) params_->Add("FormObject", host::Kind::kObject, Variant(form_object));
    values_ = std::make_shared<host::NamedValueList>();
    return report_.Run(params_, values_);
  }
  std::string Value(const std::string& name) {
    const Variant& v = values_->Item(name).Value();
    return v.IsNull() || v.IsEmpty() ? "" : CStr(v);
  }
  // A table as "code: column=tonnes ..." with its non-zero columns.
  std::vector<std::string> Table(const std::string& name) {
    auto rs = std::dynamic_pointer_cast<host::Recordset>(values_->Item(name).Value().AsObject());
    std::vector<std::string> rows;
    if (!rs || rs->RecordCount() == 0) return rows;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      std::string row = CStr(rs->Fields().Item(size_t{0}).Value()) + ":";
      for (size_t i = 2; i < rs->Fields().Count(); ++i) {
        const Currency tonnes = CCur(rs->Fields().Item(i).Value());
        if (tonnes != Currency())
          row += " " + rs->Fields().Item(i).Name() + "=" + tonnes.ToString();
      }
      rows.push_back(row);
    }
    return rows;
  }

  int32_t plain_ = 0;
  int32_t reusable_ = 0;
  CRepPACK report_;
  host::NamedValueListPtr params_;
  host::NamedValueListPtr values_;
};

const std::vector<std::string> kTableA = {
    "MED: f507=0.02",
    "PLA: f503=0.06 f504=0.03 f505=0.01 f508=0.06 f510=0.03 f512=0.01",
    "POP: f502=0.04 f506=0.015",
    "STI: f509=0.01 f511=0.005 f513=0.025",
};
const std::vector<std::string> kTableB = {
    "MED: f603=0.12 f605=0.022 f607=0.006 f609=0.004",
    "PET: f604=0.002 f606=0.004 f608=0.0028",
    "PLA: f602=0.008 f608=0.002",
};

TEST_F(RepPackTest, AYearRunGivesTheEnterpriseThePeopleAndBothTables) {
  ASSERT_TRUE(Run({{"edRepDate", Variant("2026-05-15")}, {"cbPerson", Variant("P4")}}));
  std::vector<std::string> names;
  for (const auto& e : values_->Entries()) names.push_back(e->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"RepDate", "RepYear", "EntName", "EntCode",
                                             "EntPVMCode", "EntAddress", "EntPhone", "EntFax",
                                             "EntMail", "DirPos", "DirFName", "DirLName", "PerPos",
                                             "PerFName", "PerLName", "TableA", "TableB"}));
  EXPECT_EQ(Value("RepYear"), "2026");
  EXPECT_EQ(CDate(values_->Item("RepDate").Value()).ToIso(), Date::Today().ToIso());
  EXPECT_EQ(Value("EntName"), "UAB Bandymas");
  EXPECT_EQ(Value("EntCode"), "123456789");
  EXPECT_EQ(Value("EntPVMCode"), "LT123456789");
  EXPECT_EQ(Value("EntAddress"), "Gedimino pr. 1, Vilnius");
  EXPECT_EQ(Value("EntPhone"), "+370 5 200 0000");
  EXPECT_EQ(Value("EntFax"), "");
  EXPECT_EQ(Value("DirPos") + "|" + Value("DirFName") + "|" + Value("DirLName"),
            "Direktorius|Jonas|Petraitis");
  EXPECT_EQ(Value("PerPos") + "|" + Value("PerFName") + "|" + Value("PerLName"),
            "Sandėlio vedėja|Rūta|Stankevičienė");
  EXPECT_EQ(Table("TableA"), kTableA);
  EXPECT_EQ(Table("TableB"), kTableB);
}

TEST_F(RepPackTest, WithoutAPreparerItsTextsAreEmptyAndAnotherYearHasNoRows) {
  ASSERT_TRUE(Run({{"edRepDate", Variant("2025-12-31")}}));
  EXPECT_EQ(Value("RepYear"), "2025");
  EXPECT_EQ(Value("PerFName") + Value("PerLName") + Value("PerPos"), "");
  EXPECT_TRUE(Table("TableA").empty());
  EXPECT_TRUE(Table("TableB").empty());
}

TEST_F(RepPackTest, ACancelledFormAddsNothing) {
  EXPECT_FALSE(Run({}, true));
  EXPECT_EQ(values_->Count(), 0u);
  EXPECT_TRUE(operator_->Errors().empty());
}

// Started from an open declaration: the form opens on 1 January of its period's year, and the
// tables are of that declaration alone.
TEST_F(RepPackTest, FromAnOpenDeclarationTheTablesAreItsOwn) {
  Open("PACK", reusable_);
  ASSERT_TRUE(Run({}, false, dialog_->FormObject()));
  ASSERT_FALSE(operator_->Forms().empty());
  const auto& shown = operator_->Forms().back().form;
  EXPECT_EQ(CDate(shown.At("edRepDate").value).ToIso(), "2026-01-01");
  EXPECT_TRUE(Table("TableA").empty());
  EXPECT_EQ(Table("TableB"), kTableB);
}

// The printed tables carry the column codes under their captions and a total line that is
// the sum of their rows.
TEST_F(RepPackTest, ThePrintedDeclarationTotalsItsColumns) {
  ASSERT_TRUE(Run({{"edRepDate", Variant("2026-01-01")}}));
  host::PrintedReport printed = testing::LaidOut("CRepPACK", *values_, book_);
  ASSERT_EQ(printed.tables.size(), 2u);
  const host::PrintedTable& a = printed.tables[0];
  EXPECT_TRUE(a.HasCodes());
  EXPECT_EQ(a.columns[2].code, "502");
  EXPECT_EQ(a.rows, 4u);
  EXPECT_EQ(testing::PrintedSums(a), (testing::Sums{{"f502", "0.04"},
                                                    {"f503", "0.06"},
                                                    {"f504", "0.03"},
                                                    {"f505", "0.01"},
                                                    {"f506", "0.015"},
                                                    {"f507", "0.02"},
                                                    {"f508", "0.06"},
                                                    {"f509", "0.01"},
                                                    {"f510", "0.03"},
                                                    {"f511", "0.005"},
                                                    {"f512", "0.01"},
                                                    {"f513", "0.025"}}));
  EXPECT_EQ(testing::PrintedSums(printed.tables[1]), (testing::Sums{{"f602", "0.008"},
                                                                    {"f603", "0.12"},
                                                                    {"f604", "0.002"},
                                                                    {"f605", "0.022"},
                                                                    {"f606", "0.004"},
                                                                    {"f607", "0.006"},
                                                                    {"f608", "0.0048"},
                                                                    {"f609", "0.004"}}));
  ASSERT_EQ(printed.signatures.size(), 2u);
  EXPECT_EQ(printed.signatures[0].name, "Jonas Petraitis");
}

}  // namespace
}  // namespace qts::reports
