#include "engine/document_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace qts::engine {
namespace {

TEST(CompanionClassesTest, CompanionDoesNotKeepItsOwnerAlive) {
  auto app = std::make_shared<CMDocSupportApp>();
  {
    ObjectPtr owner = std::make_shared<IMDocSupportClass>();
    app->Init(owner);
    app->AddFillMList(owner);
    EXPECT_EQ(app->Owner(), owner);
  }
  EXPECT_EQ(app->Owner(), nullptr);
}

}  // namespace
}  // namespace qts::engine
