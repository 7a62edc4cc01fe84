// A scratch directory for tests that need real database files; removed with its contents.
#ifndef QTS_DB_TESTING_TEMP_DIR_H_
#define QTS_DB_TESTING_TEMP_DIR_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace qts::db::testing {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& Path() const noexcept { return path_; }
  // Path of `name` inside the directory, as a string for Open().
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace qts::db::testing

#endif  // QTS_DB_TESTING_TEMP_DIR_H_
