#include "host/report/report_engine.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/data/app_context.h"
#include "host/services/error_reporter.h"
#include "host/ui/scripted_operator.h"

namespace qts::host {
namespace {

TEST(ReportEngineTest, EveryEngineSeesTheProcesssClientApplication) {
  ReportEngine one;
  ReportEngine two;
  ASSERT_NE(one.App(), nullptr) << "a process starts with a client application";
  EXPECT_EQ(one.App(), two.App());
  EXPECT_EQ(one.App()->MainForm(), nullptr) << "no main window by default";

  auto app = std::make_shared<ReportApp>();
  auto book = std::make_shared<AppContext>("B1");
  app->SetCurrentBook(book);
  app->SetMainForm(std::make_shared<MainForm>(12));
  {
    ScopedClientApplication scoped(app);
    EXPECT_EQ(one.App(), app);
    EXPECT_EQ(two.App()->CurrentBook(), book);
    EXPECT_EQ(two.App()->MainForm()->hwnd(), 12);
    {
      ScopedClientApplication none(nullptr);
      EXPECT_EQ(one.App(), nullptr);
    }
    EXPECT_EQ(one.App(), app);
  }
  EXPECT_NE(one.App(), app);
  EXPECT_NE(one.App(), nullptr);
}

TEST(ReportEngineTest, ShowErrorShowsTheCurrentErrorAndKeepsIt) {
  auto op = std::make_shared<ScriptedOperator>();
  ScopedOperator scoped(op);
  CurrentError::Clear();
  ReportEngine engine;
  engine.ShowError();
  EXPECT_TRUE(op->Errors().empty());

  try {
    throw Error(kErrComponent, "CRepPACK", "no period");
  } catch (const Error&) {
    engine.ShowError();
  }
  engine.ShowError();
  ASSERT_EQ(op->Errors().size(), 2u);
  for (const auto& shown : op->Errors()) {
    EXPECT_EQ(shown.number, kErrComponent);
    EXPECT_EQ(shown.source, "CRepPACK");
    EXPECT_EQ(shown.description, "no period");
  }
  CurrentError::Clear();
}

}  // namespace
}  // namespace qts::host
