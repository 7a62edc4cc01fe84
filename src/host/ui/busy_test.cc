#include <gtest/gtest.h>

#include <memory>

#include "host/ui/busy_cursor.h"
#include "host/ui/busy_indicator.h"
#include "host/ui/mouse_pointer.h"

namespace qts::host {
namespace {

class MousePointerTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMousePointer(MousePointer::kIBeam); }
  void TearDown() override { SetMousePointer(MousePointer::kDefault); }
};

TEST_F(MousePointerTest, ASavedPointerComesBackEvenWhenTheScopeEndsByAnError) {
  try {
    SavedMousePointer saved(MousePointer::kDefault);
    EXPECT_EQ(saved.Saved(), MousePointer::kIBeam);
    EXPECT_EQ(CurrentMousePointer(), MousePointer::kDefault);
    SetMousePointer(MousePointer::kCross);
    throw 1;
  } catch (int) {
  }
  EXPECT_EQ(CurrentMousePointer(), MousePointer::kIBeam);
}

TEST_F(MousePointerTest, NestedSavesUnwindToTheOriginalPointer) {
  {
    SavedMousePointer outer(MousePointer::kHourglass);
    {
      SavedMousePointer inner(MousePointer::kDefault);
      EXPECT_EQ(inner.Saved(), MousePointer::kHourglass);
    }
    EXPECT_EQ(CurrentMousePointer(), MousePointer::kHourglass);
  }
  EXPECT_EQ(CurrentMousePointer(), MousePointer::kIBeam);
}

TEST_F(MousePointerTest, ABusyCursorChangesThePointerOnlyWhileStarted) {
  auto cursor = std::make_shared<BusyCursor>();
  EXPECT_EQ(CurrentMousePointer(), MousePointer::kIBeam);  // created, not started
  cursor->Stop();                                          // not started: nothing to restore
  EXPECT_EQ(CurrentMousePointer(), MousePointer::kIBeam);

  cursor->Start();
  EXPECT_TRUE(cursor->IsStarted());
  EXPECT_EQ(CurrentMousePointer(), MousePointer::kHourglass);
  cursor->Start();  // a second start must not save the hourglass as the pointer to restore
  cursor->Stop();
  EXPECT_FALSE(cursor->IsStarted());
  EXPECT_EQ(CurrentMousePointer(), MousePointer::kIBeam);

  cursor->Start();
  cursor.reset();  // released while started: the pointer comes back
  EXPECT_EQ(CurrentMousePointer(), MousePointer::kIBeam);
}

TEST(BusyIndicatorTest, NestedIndicatorsKeepTheProcessBusyUntilTheLastIsReleased) {
  const int before = BusyIndicator::Depth();
  {
    BusyIndicator outer;
    EXPECT_TRUE(BusyIndicator::IsBusy());
    {
      auto inner = std::make_shared<BusyIndicator>();
      EXPECT_EQ(BusyIndicator::Depth(), before + 2);
      inner->Release();
      inner->Release();  // a second release does not end the outer indicator's part
      EXPECT_EQ(BusyIndicator::Depth(), before + 1);
    }  // destroying a released indicator changes nothing
    EXPECT_EQ(BusyIndicator::Depth(), before + 1);
    EXPECT_TRUE(BusyIndicator::IsBusy());
  }
  EXPECT_EQ(BusyIndicator::Depth(), before);
  EXPECT_EQ(BusyIndicator::IsBusy(), before > 0);
}

}  // namespace
}  // namespace qts::host
