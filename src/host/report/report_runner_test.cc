#include "host/report/report_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/app_context.h"
#include "host/data/recordset.h"
#include "host/interfaces.h"
#include "host/report/report_document.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

// A small report: prints when the book is named "PRINT", hands over the parameters it saw as
// its values and one data list.
class EchoReport final : public Implements<IReportExec> {
 public:
  std::string_view ClassName() const override { return "CRepEcho"; }
  bool Run(NamedValueListPtr& Params, NamedValueListPtr& Values) override {
    ++runs;
    for (const NamedValuePtr& p : Params->Entries()) seen.push_back(p->Name());
    auto book = std::dynamic_pointer_cast<AppContext>(Params->Item("Book").Value().AsObject());
    Values->Add("BookName", Kind::kText, Variant(book->BookName()));
    auto rs = std::make_shared<Recordset>();
    rs->Fields().Append("Amount", adCurrency);
    rs->Open();
    rs->AddNew({"Amount"}, {Variant(Currency::FromLong(3))});
    Values->Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rs)));
    return book->BookName() == "PRINT";
  }
  bool Visual() override { return false; }
  void SetVisual(bool) override {}
  std::string AlterFormCode() override { return ""; }
  void SetAlterFormCode(const std::string&) override {}

  int runs = 0;
  std::vector<std::string> seen;
};

class NotAReport final : public Implements<IProcessObject> {
 public:
  std::string_view ClassName() const override { return "NotAReport"; }
  void Step() override {}
  std::string Caption() override { return ""; }
  int32_t CountStep() override { return 0; }
};

TEST(RunReportTest, PassesTheBookFirstAndHandsBackTheValues) {
  auto report = std::make_shared<EchoReport>();
  auto extra = std::make_shared<NamedValueList>();
  extra->Add("_StartDate", Kind::kDate, Variant(Date::FromYmd(2026, 1, 1)));
  extra->Add("book", Kind::kNone, Variant("ignored: the engine's own book wins"));
  ReportRun run = RunReport(report, std::make_shared<AppContext>("PRINT"), extra);
  EXPECT_TRUE(run.printed);
  EXPECT_EQ(run.report_class, "CRepEcho");
  EXPECT_EQ(report->seen, (std::vector<std::string>{"Book", "_StartDate"}));
  EXPECT_EQ(CStr(run.values->Item("BookName").Value()), "PRINT");
  ReportDocument doc = ReportDocument::FromValues(run.report_class, *run.values, Date());
  ASSERT_EQ(doc.lists.size(), 1u);
  ASSERT_EQ(doc.lists[0].rows.size(), 1u);
  EXPECT_EQ(CCur(doc.lists[0].rows[0][0]), Currency::FromLong(3));
}

TEST(RunReportTest, FalseMeansNotPrinted) {
  auto report = std::make_shared<EchoReport>();
  ReportRun run = RunReport(report, std::make_shared<AppContext>("DRAFT"));
  EXPECT_FALSE(run.printed);
  EXPECT_EQ(report->runs, 1);
}

TEST(RunReportTest, RefusesObjectsThatAreNoReport) {
  EXPECT_THROW(RunReport(std::make_shared<NotAReport>(), std::make_shared<AppContext>("B")), Error);
}

TEST(ReportProgIdTest, PrefixesClassNames) {
  EXPECT_EQ(ReportProgId("CRepPACK"), "QTS_Inventory.CRepPACK");
  EXPECT_EQ(ReportProgId("Other.CRep"), "Other.CRep");
}

// Through the component library, with an empty registry: the type library names the class.
class CreateReportTest : public ::testing::Test {
 protected:
  CreateReportTest()
      : registry_env_("QTS_REGISTRY", (dir_ / "registry.json").string()),
        settings_env_("QTS_SETTINGS", (dir_ / "settings.json").string()) {}

  qts::testing::TempDir dir_;
  qts::testing::ScopedEnv registry_env_;
  qts::testing::ScopedEnv settings_env_;
};

TEST_F(CreateReportTest, CreatesReportsOfTheLibrary) {
  ComponentHost host;
  ObjectPtr report = CreateReport(host, "CRepStoreRestByTerm", DefaultComponentPath());
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->ClassName(), "CRepStoreRestByTerm");
  std::vector<std::string> names = ReportClasses(host, DefaultComponentPath());
  EXPECT_NE(std::find(names.begin(), names.end(), "CRepStoreRestByTerm"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "CCreateCopyRS"), names.end());
}

TEST_F(CreateReportTest, UnknownAndNonReportClassesAreRefused) {
  ComponentHost host;
  EXPECT_QTS_ERROR_TEXT(CreateReport(host, "CRepNoSuchReport", DefaultComponentPath()),
                        kErrCannotCreate, "QTS_Inventory.CRepNoSuchReport");
  EXPECT_QTS_ERROR(CreateReport(host, "CCreateCopyRS", DefaultComponentPath()), kErrNoInterface);
}

}  // namespace
}  // namespace qts::host
