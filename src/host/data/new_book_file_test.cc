// A book file is built beside its place and moved there only when complete; temporaries of
// makers that died are cleaned up by the next maker, those of living makers are left alone.
#include "host/data/new_book_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "core/error.h"
#include "host/data/app_context.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

class NewBookFileTest : public ::testing::Test {
 protected:
  // The names in the folder, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
  }
  std::filesystem::path Target() const { return dir_ / "uab.db"; }

  qts::testing::TempDir dir_;
};

TEST_F(NewBookFileTest, TheBookAppearsAtItsPlaceOnlyWhenCommitted) {
  {
    NewBookFile staged(Target());
    EXPECT_EQ(std::filesystem::path(staged.Path()).parent_path(), dir_.Path());
    AppContext::CreateBook(staged.Path(), "UAB").reset();
    EXPECT_FALSE(std::filesystem::exists(Target()));
    staged.Commit();
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"uab.db"});
  EXPECT_EQ(AppContext::Open(Target().string())->Code(), "UAB");
}

TEST_F(NewBookFileTest, AnUncommittedBookLeavesNothing) {
  {
    NewBookFile staged(Target());
    AppContext::CreateBook(staged.Path(), "UAB").reset();
  }
  EXPECT_TRUE(Files().empty());
}

TEST_F(NewBookFileTest, NeverOverABookButAnEmptyFileIsReplaced) {
  Write("uab.db", "someone's data");
  try {
    NewBookFile refused(Target());
    FAIL() << "a non-empty file was accepted as a new book's place";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrBook);
    EXPECT_NE(e.Description().find("exists already"), std::string::npos) << e.Description();
  }
  // Made by someone else while the book was built: the commit refuses, the file stays theirs.
  std::filesystem::remove(Target());
  {
    NewBookFile staged(Target());
    AppContext::CreateBook(staged.Path(), "UAB").reset();
    Write("uab.db", "someone else's");
    EXPECT_THROW(staged.Commit(), Error);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"uab.db"});
  EXPECT_EQ(std::filesystem::file_size(Target()), std::string("someone else's").size());

  Write("uab.db", "");
  {
    NewBookFile staged(Target());
    AppContext::CreateBook(staged.Path(), "UAB").reset();
    staged.Commit();
  }
  EXPECT_EQ(AppContext::Open(Target().string())->Code(), "UAB");
}

TEST_F(NewBookFileTest, AStillOpenBookIsNotMoved) {
  NewBookFile staged(Target());
  auto book = AppContext::CreateBook(staged.Path(), "UAB");
  EXPECT_THROW(staged.Commit(), Error);
  EXPECT_FALSE(std::filesystem::exists(Target()));
  book.reset();
  staged.Commit();
  EXPECT_TRUE(std::filesystem::exists(Target()));
}

// A maker that died left its temporary (and a log); one that is alive holds its lock. Files of
// other names that only look alike are no temporaries.
TEST_F(NewBookFileTest, TemporariesOfDeadMakersAreRemovedOthersLeft) {
  Write(".uab.db.4242-1.new", "half a book");
  Write(".uab.db.4242-1.new-wal", "its log");
  Write(".uab.db.4242-1.new-journal", "its journal");
  Write(".uab.db.77-3.new", "a living maker's book");
  Write(".uab.db.bak", "not ours");
  Write(".uab.db.12.new.old", "not ours");
  Write(".other.db.4242-1.new", "another target's");
  int held = ::open((dir_ / ".uab.db.77-3.new").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

  EXPECT_EQ(NewBookFile::StaleTemporaries(Target()),
            std::vector<std::filesystem::path>{dir_ / ".uab.db.4242-1.new"});
  {
    NewBookFile staged(Target());
    AppContext::CreateBook(staged.Path(), "UAB").reset();
    staged.Commit();
  }
  ::close(held);
  EXPECT_EQ(Files(), (std::vector<std::string>{".other.db.4242-1.new", ".uab.db.12.new.old",
                                               ".uab.db.77-3.new", ".uab.db.bak", "uab.db"}));
  // Its maker gone, the last one goes too.
  EXPECT_EQ(NewBookFile::StaleTemporaries(Target()).size(), 1u);
}

}  // namespace
}  // namespace qts::host
