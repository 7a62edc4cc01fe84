#include "host/ui/wait_info.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/ui/scripted_operator.h"

namespace qts::host {
namespace {

TEST(WaitInfoTest, ShowsOnTheOperatorAndClosesWhenReleased) {
  auto op = std::make_shared<ScriptedOperator>();
  ScopedOperator scoped(op);
  {
    WaitInfo wait;
    wait.Show("Palaukite...", 4711);
    EXPECT_TRUE(op->WaitOpen());
    EXPECT_TRUE(wait.IsShown());
    EXPECT_EQ(wait.OwnerHwnd(), 4711);
    wait.Show("Dar truputį", 4711);
    EXPECT_EQ(op->WaitTexts(), (std::vector<std::string>{"Palaukite...", "Dar truputį"}));
    EXPECT_EQ(wait.Text(), "Dar truputį");
  }
  EXPECT_FALSE(op->WaitOpen());
  EXPECT_EQ(op->Transcript().back(), "wait closed");
}

TEST(WaitInfoTest, ClosesOnTheOperatorItWasShownOn) {
  auto first = std::make_shared<ScriptedOperator>();
  auto second = std::make_shared<ScriptedOperator>();
  WaitInfo wait;
  wait.Close();  // not shown: nothing to close
  {
    ScopedOperator scoped(first);
    wait.Show("A", 0);
  }
  ScopedOperator scoped(second);
  wait.Close();
  EXPECT_FALSE(first->WaitOpen());
  EXPECT_TRUE(second->Transcript().empty());
  EXPECT_FALSE(wait.IsShown());
  wait.Close();
  EXPECT_EQ(first->Transcript().size(), 2u) << "a second Close does nothing";
}

}  // namespace
}  // namespace qts::host
