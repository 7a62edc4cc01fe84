#include "db/testing/temp_dir.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace qts::db::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qts_db_test_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace qts::db::testing
