#include "dialogs/frm_pack.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/convert.h"
#include "dialogs/testing/dialog_book.h"
#include "dialogs/testing/pack_book.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "host/data/recordset.h"
#include "host/documents/th_document.h"
#include "host/testing/test_book.h"
#include "host/ui/doc_spec.h"
#include "host/ui/scripted_operator.h"

namespace qts::dialogs {
namespace {

using testing::DialogBook;

class PackDialogTest : public DialogBook {
 protected:
  void SetUp() override {
    DialogBook::SetUp();
    testing::SeedDeclarationBook(book_->Connection());
  }

  frmPACK& Pack() { return dynamic_cast<frmPACK&>(*dialog_->FormObject()); }

  // A new declaration of the second quarter of 2026, saved.
  void NewQuarter(bool reusable) {
    Open("PACK", 0);
    Do({"set edBegDate 2026-04-01", "set edEndDate 2026-06-30",
        std::string("set chIsReusablePack ") + (reusable ? "1" : "0"), "save"});
  }
  int32_t DocId() { return CLng(Pack().Get_oDoc()->Fields().Item("IDC").Value()); }

  // The document's rows as "good material/type/unit-name: B C D E F G" in position order.
  std::vector<std::string> Rows(int32_t doc_id) {
    db::StatementHandle s = book_->Connection().Prepare(
        "SELECT g.\"GoodCode\", a.\"PackMaterialKind\", a.\"PackMaterial\", a.\"PackType\","
        " a.\"PackTypeName\", a.\"UnitName\", a.\"SaleManufactAmount\", a.\"SaleImportAmount\","
        " a.\"ExportAmount\", a.\"NotSaleAmount\", a.\"UsedPackInSaleAmount\","
        " a.\"ReturnAmount\" FROM \"T$THGoodSpec\" g JOIN \"T$PACKTHGoodSpec\" a"
        " ON a.\"DocID\" = g.\"DocID\" AND a.\"PosNumb\" = g.\"PosNumb\""
        " WHERE g.\"DocID\" = ?1 ORDER BY g.\"PosNumb\"");
    s->BindInt64(1, doc_id);
    std::vector<std::string> rows;
    while (s->Step()) {
      std::string row = s->GetText(0) + " " + s->GetText(1) + " " + s->GetText(2) + "/" +
                        s->GetText(3) + " " + s->GetText(4) + "/" + s->GetText(5) + ":";
      for (int i = 6; i < 12; ++i) row += " " + s->GetCurrency(i).ToString();
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<std::string> TableRows(const host::RecordsetPtr& rs) {
    std::vector<std::string> rows;
    if (rs->RecordCount() == 0) return rows;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      std::string row;
      for (size_t i = 0; i < rs->Fields().Count(); ++i) {
        const Variant& v = rs->Fields().Item(i).Value();
        const std::string text = v.IsNull() ? "-" : CStr(v);
        if (i > 1 && text == "0") continue;
        row += (i > 0 ? " " : "") + (i > 1 ? rs->Fields().Item(i).Name() + "=" : "") + text;
      }
      rows.push_back(row);
    }
    return rows;
  }
};

const std::vector<std::string> kQuarterRows = {
    "PDT MED Medis/3 Transportinė/vienetai: 0 0 0 0 0.02 0",
    "PF PLA Plastikas/1 Pirminė/vienetai: 0 0 0.03 0 0 0",
    "PF PLA Plastikas/1 Pirminė/vienetai: 0 0.06 0 0 0 0",
    "PF PLA Plastikas/1 Pirminė/vienetai: 0 0 0 0.1 0 0",
    "PF PLA Plastikas/1 Pirminė/vienetai: 0 0 0 -0.09 0 0",
    "PD POP Popierius/1 Pirminė/vienetai: 0 0 0 0 0.005 0",
    "PD POP Popierius/1 Pirminė/vienetai: 0.04 0 0 0 0.01 0",
    "PT STI Stiklas/2 Antrinė/vienetai: 0 0 0.005 0 0 0",
    "PT STI Stiklas/2 Antrinė/vienetai: 0 0 0 0.025 0 0",
    "PT STI Stiklas/2 Antrinė/vienetai: 0 0.01 0 0 0 0",
};

// The fill writes one row per declaration row with the last non-zero column of each amount,
// the names of its codes, nothing of reusable packaging; the save keeps them.
TEST_F(PackDialogTest, TheFillWritesTheDeclarationOfThePeriod) {
  NewQuarter(false);
  const int32_t doc_id = DocId();
  Do({"press btFillSpec", "save"});
  EXPECT_EQ(Rows(doc_id), kQuarterRows);
  EXPECT_EQ(Pack().Get_SpecList()->RowCount(), 10);
  EXPECT_TRUE(operator_->Errors().empty());
  // The count of rows written is the last wait text.
  ASSERT_FALSE(operator_->WaitTexts().empty());
  EXPECT_EQ(operator_->WaitTexts().back(),
            frame::FormatMsg(frame::MessageText(kMsgPackRowsWritten), {Variant(int32_t{10})}));
}

TEST_F(PackDialogTest, AReusableDeclarationCarriesTheReturns) {
  NewQuarter(true);
  const int32_t doc_id = DocId();
  Do({"press btFillSpec", "save"});
  EXPECT_EQ(Rows(doc_id), (std::vector<std::string>{
                              "RD3 MED Medis/3 Transportinė/vienetai: 0 0 0 0 0.12 0",
                              "RF3 MED Medis/3 Transportinė/vienetai: 0 0 0.006 0 0 0",
                              "RF3 MED Medis/3 Transportinė/vienetai: 0 0.022 0 0 0 0",
                              "RF3 MED Medis/3 Transportinė/vienetai: 0 0 0 0 0 0.004",
                              "RF PET PET/1 Pirminė/vienetai: 0 0 0.004 0 0 0",
                              "RF PET PET/1 Pirminė/vienetai: 0 0.002 0 0 0 0",
                              "RF PET PET/1 Pirminė/vienetai: 0 0 0 0 0 0.0028",
                              "RD PLA Plastikas/1 Pirminė/vienetai: 0 0 0 0 0.008 0",
                              "RD PLA Plastikas/1 Pirminė/vienetai: 0 0 0 0 0 0.002",
                          }));
}

// Filling again asks first; cancelled, the rows stay; confirmed, they are replaced.
TEST_F(PackDialogTest, FillingAgainAsksBeforeReplacingTheRows) {
  NewQuarter(false);
  const int32_t doc_id = DocId();
  Do({"press btFillSpec", "save", "cell 1 AddFld.SaleManufactAmount 7"});
  operator_->Answer(kMsgPackReplaceRows, host::MessageAnswer::kCancel);
  Do({"press btFillSpec"});
  ASSERT_FALSE(operator_->Messages().empty());
  EXPECT_EQ(operator_->Messages().back().request.number, kMsgPackReplaceRows);
  std::vector<std::string> edited = kQuarterRows;
  edited[0] = "PDT MED Medis/3 Transportinė/vienetai: 7 0 0 0 0.02 0";
  EXPECT_EQ(Rows(doc_id), edited);
  operator_->Answer(kMsgPackReplaceRows, host::MessageAnswer::kOk);
  Do({"press btFillSpec", "save"});
  EXPECT_EQ(Rows(doc_id), kQuarterRows);
}

// A fill that fails half-way -- the book refuses the fifth row -- leaves the rows the document
// had; the error is shown.
TEST_F(PackDialogTest, AFailingFillLeavesTheRowsAsTheyWere) {
  NewQuarter(false);
  const int32_t doc_id = DocId();
  Do({"press btFillSpec", "save", "cell 1 AddFld.SaleManufactAmount 7", "save"});
  const std::vector<std::string> before = Rows(doc_id);
  // The book's own refusal, written for the backend the test runs on.
  if (host::testing::BooksOnServer()) {
    book_->Connection().Execute(
        "CREATE FUNCTION refuse_fifth() RETURNS trigger AS $$ BEGIN IF NEW.\"PosNumb\" = 5 THEN"
        " RAISE EXCEPTION 'row refused'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql");
    book_->Connection().Execute(
        "CREATE TRIGGER refuse_fifth BEFORE INSERT ON \"T$THGoodSpec\" FOR EACH ROW"
        " EXECUTE FUNCTION refuse_fifth()");
  } else {
    book_->Connection().Execute(
        "CREATE TRIGGER refuse_fifth BEFORE INSERT ON \"T$THGoodSpec\""
        " WHEN NEW.\"PosNumb\" = 5 BEGIN SELECT RAISE(ABORT, 'row refused'); END");
  }
  operator_->Answer(kMsgPackReplaceRows, host::MessageAnswer::kOk);
  Do({"press btFillSpec"});
  ASSERT_EQ(operator_->Errors().size(), 1u);
  EXPECT_NE(operator_->Errors()[0].description.find("row refused"), std::string::npos)
      << operator_->Errors()[0].description;
  EXPECT_EQ(Rows(doc_id), before);
  EXPECT_EQ(Pack().Get_SpecList()->RowCount(), static_cast<long>(before.size()));
  Do({"save"});
  EXPECT_EQ(Rows(doc_id), before);
}

struct PeriodCase {
  std::string name;
  std::string begin, end;
  int32_t message;  // 0: saved
};

class PackCheckTest : public PackDialogTest, public ::testing::WithParamInterface<PeriodCase> {};

// A declaration of the reusable flag 0 for the first quarter is in the book already.
TEST_P(PackCheckTest, ThePeriodIsOneAndNotDeclaredTwice) {
  Open("PACK", 0);
  Do({"set edBegDate 2026-01-01", "set edEndDate 2026-03-31", "save"});
  Open("PACK", 0);
  Do({"set edBegDate " + GetParam().begin, "set edEndDate " + GetParam().end});
  const size_t messages = operator_->Messages().size();
  const int64_t documents = Documents();
  const bool saved = dialog_->Save();
  EXPECT_EQ(saved, GetParam().message == 0);
  EXPECT_EQ(Documents(), documents + (saved ? 1 : 0));
  if (GetParam().message != 0) {
    ASSERT_EQ(operator_->Messages().size(), messages + 1);
    EXPECT_EQ(operator_->Messages().back().request.text, frame::MessageText(GetParam().message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Periods, PackCheckTest,
    ::testing::Values(PeriodCase{"next_quarter", "2026-04-01", "2026-06-30", 0},
                      PeriodCase{"overlapping", "2026-03-01", "2026-05-31", kMsgPackDuplicate},
                      PeriodCase{"inside", "2026-02-01", "2026-02-28", kMsgPackDuplicate},
                      PeriodCase{"last_day_shared", "2026-03-31", "2026-06-30", kMsgPackDuplicate},
                      PeriodCase{"end_before_begin", "2026-06-30", "2026-04-01", kMsgPackPeriod},
                      PeriodCase{"two_years", "2026-10-01", "2027-03-31", kMsgPackPeriod},
                      PeriodCase{"no_end", "2026-04-01", "", kMsgPackPeriod}),
    [](const auto& info) { return info.param.name; });

TEST_F(PackDialogTest, TheSamePeriodMayBeDeclaredOnceForEachReusableFlag) {
  NewQuarter(false);
  EXPECT_TRUE(operator_->Messages().empty());
  NewQuarter(true);
  EXPECT_TRUE(operator_->Messages().empty());
  NewQuarter(true);
  ASSERT_EQ(operator_->Messages().size(), 1u);
  EXPECT_EQ(operator_->Messages()[0].request.text, frame::MessageText(kMsgPackDuplicate));
}

TEST_F(PackDialogTest, ANewDeclarationShowsTodayInBothPeriodFields) {
  Open("PACK", 0);
  const std::string today = Date::Today().ToIso();
  EXPECT_EQ(CDate(Control("edBegDate").Value()).ToIso(), today);
  EXPECT_EQ(CDate(Control("edEndDate").Value()).ToIso(), today);
  EXPECT_EQ(Value("chIsReusablePack"), "0");
}

// A changed code in the grid brings its name along.
TEST_F(PackDialogTest, AChangedCodeShowsItsName) {
  NewQuarter(false);
  const int32_t doc_id = DocId();
  Do({"press btFillSpec", "cell 1 AddFld.PackMaterialKind PLA", "cell 1 AddFld.PackType 2",
      "save"});
  EXPECT_EQ(Rows(doc_id)[0], "PDT PLA Plastikas/2 Antrinė/vienetai: 0 0 0 0 0.02 0");
}

// The report's tables sum the saved rows per material kind into the columns their goods and
// types belong to: a row's amount goes to every column of its block.
TEST_F(PackDialogTest, TheReportTablesSumTheSavedDeclarations) {
  NewQuarter(false);
  const int32_t plain = DocId();
  Do({"press btFillSpec", "save"});
  NewQuarter(true);
  const int32_t reusable = DocId();
  Do({"press btFillSpec", "save"});
  const std::vector<std::string> table_a = {
      "MED Medis f507=0.02",
      "PLA Plastikas f503=0.06 f504=0.03 f505=0.01 f508=0.06 f510=0.03 f512=0.01",
      "POP Popierius f502=0.04 f506=0.015",
      "STI Stiklas f509=0.01 f511=0.005 f513=0.025",
  };
  const std::vector<std::string> table_b = {
      "MED Medis f603=0.12 f605=0.022 f607=0.006 f609=0.004",
      "PET PET f604=0.002 f606=0.004 f608=0.0028",
      "PLA Plastikas f602=0.008 f608=0.002",
  };
  frmPACK report_form;
  report_form.InitBook(book_);
  EXPECT_EQ(TableRows(report_form.DataList4ReportA(2026, 0)), table_a);
  EXPECT_EQ(TableRows(report_form.DataList4ReportB(2026, 0)), table_b);
  // One document: its own table only.
  EXPECT_EQ(TableRows(report_form.DataList4ReportA(0, plain)), table_a);
  EXPECT_TRUE(TableRows(report_form.DataList4ReportB(0, plain)).empty());
  EXPECT_EQ(TableRows(report_form.DataList4ReportB(0, reusable)), table_b);
  // Another year holds nothing.
  EXPECT_TRUE(TableRows(report_form.DataList4ReportA(2025, 0)).empty());
}

}  // namespace
}  // namespace qts::dialogs
