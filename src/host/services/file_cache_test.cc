#include "host/services/file_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

void Write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

// A cache of texts that counts its parses.
struct CountingCache {
  explicit CountingCache(int64_t trusted_age_ns = kTrustedAgeNs) : cache(trusted_age_ns) {}
  std::shared_ptr<const std::string> Get(const std::filesystem::path& file) {
    return cache.Get(file, [&](const std::string& text) {
      ++parses;
      if (text == "broken") throw std::runtime_error("broken file");
      return text;
    });
  }
  ParsedFileCache<std::string> cache;
  int parses = 0;
};

TEST(ParsedFileCacheTest, AFileReadAgainUnchangedIsParsedOnce) {
  testing::TempDir dir;
  Write(dir / "a.json", "one");
  // Once with the stamp too young to stand for the text, once with every stamp trusted.
  for (int64_t age : {kTrustedAgeNs, int64_t{0}}) {
    CountingCache c(age);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(*c.Get(dir / "a.json"), "one");
    EXPECT_EQ(c.parses, 1) << "trusted age " << age;
  }
}

// Written twice within one tick of the clock that dates changes, a file keeps its size and
// may keep its times: the text is what tells.
TEST(ParsedFileCacheTest, AFileRewrittenAtOnceWithTheSameSizeIsSeen) {
  testing::TempDir dir;
  CountingCache c;
  Write(dir / "a.json", "one");
  EXPECT_EQ(*c.Get(dir / "a.json"), "one");
  Write(dir / "a.json", "two");
  EXPECT_EQ(*c.Get(dir / "a.json"), "two");
  Write(dir / "a.json", "six");
  EXPECT_EQ(*c.Get(dir / "a.json"), "six");
  EXPECT_EQ(c.parses, 3);
}

TEST(ParsedFileCacheTest, AFileChangedOrReplacedIsSeenEvenWhenStampsAreTrustedAtOnce) {
  testing::TempDir dir;
  CountingCache c(0);
  Write(dir / "a.json", "one");
  EXPECT_EQ(*c.Get(dir / "a.json"), "one");
  Write(dir / "a.json", "three");
  EXPECT_EQ(*c.Get(dir / "a.json"), "three");
  // An editor's save: a new file renamed over the old one.
  Write(dir / "b.json", "seven");
  std::filesystem::rename(dir / "b.json", dir / "a.json");
  EXPECT_EQ(*c.Get(dir / "a.json"), "seven");
  EXPECT_EQ(c.parses, 3);
}

TEST(ParsedFileCacheTest, AMissingFileGivesNothingAndABrokenOneFailsOnEveryUse) {
  testing::TempDir dir;
  CountingCache c(0);
  EXPECT_EQ(c.Get(dir / "missing.json"), nullptr);
  EXPECT_EQ(c.Get(dir.Path()), nullptr);  // a folder is no file
  Write(dir / "a.json", "one");
  EXPECT_EQ(*c.Get(dir / "a.json"), "one");
  std::filesystem::remove(dir / "a.json");
  EXPECT_EQ(c.Get(dir / "a.json"), nullptr);
  Write(dir / "a.json", "broken");
  EXPECT_THROW(c.Get(dir / "a.json"), std::runtime_error);
  EXPECT_THROW(c.Get(dir / "a.json"), std::runtime_error);
  EXPECT_EQ(c.parses, 3);
}

TEST(ReadFileTextTest, ReadsTheWholeTextOfAnyLength) {
  testing::TempDir dir;
  std::string text(100'000, 'x');
  text[50'000] = '\0';
  Write(dir / "big.bin", text);
  EXPECT_EQ(ReadFileText(dir / "big.bin"), text);
  Write(dir / "empty.bin", "");
  EXPECT_EQ(ReadFileText(dir / "empty.bin"), "");
  EXPECT_EQ(ReadFileText(dir / "missing.bin"), std::nullopt);
}

}  // namespace
}  // namespace qts::host
