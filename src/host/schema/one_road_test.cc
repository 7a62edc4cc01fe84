// Every statement takes one road: T-SQL through the translator, or the schema layer's DDL. The
// dialect of a backend lives in the backends (src/db), the translator's emitter and the schema
// layer's DDL writer, nowhere else, and a table's physical name is formed in the schema layer
// only. This test reads the host kit's, the component's and the command's sources and fails on
// SQL that only one backend speaks written in a string, on a statement written for a backend
// (its placeholders numbered, its names in double quotes), and on a physical name joined by
// hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace qts::host::schema {
namespace {

namespace fs = std::filesystem;

// The string literals of a C++ source ("..." with escapes, and R"(...)" raw strings), each with
// its line; with `code`, the source without its comments and literals goes there.
std::vector<std::pair<int, std::string>> StringLiterals(const std::string& text,
                                                        std::string* code = nullptr) {
  std::vector<std::pair<int, std::string>> out;
  std::string scratch;
  std::string& plain = code != nullptr ? *code : scratch;
  int line = 1;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
      plain += '\n';
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      size_t end = text.find("*/", i + 2);
      end = end == std::string::npos ? text.size() : end + 2;
      for (size_t k = i; k < end; ++k) {
        if (text[k] == '\n') {
          ++line;
          plain += '\n';
        }
      }
      i = end;
    } else if (c == '\'') {
      // A character literal ('"' must not open a string).
      size_t end = i + 1;
      while (end < text.size() && text[end] != '\'') end += text[end] == '\\' ? 2 : 1;
      plain += text.substr(i, end + 1 - i);
      i = end + 1;
    } else if (c == 'R' && i + 1 < text.size() && text[i + 1] == '"') {
      size_t open = text.find('(', i + 2);
      std::string close = ")" + text.substr(i + 2, open - i - 2) + "\"";
      size_t end = text.find(close, open);
      end = end == std::string::npos ? text.size() : end;
      out.emplace_back(line, text.substr(open + 1, end - open - 1));
      for (size_t k = i; k < end; ++k) {
        if (text[k] == '\n') {
          ++line;
          plain += '\n';
        }
      }
      i = end + close.size();
    } else if (c == '"') {
      std::string literal;
      size_t k = i + 1;
      while (k < text.size() && text[k] != '"') {
        if (text[k] == '\\' && k + 1 < text.size()) {
          literal += text[k + 1];
          k += 2;
        } else {
          literal += text[k++];
        }
      }
      out.emplace_back(line, literal);
      i = k + 1;
      plain += "\"\"";
    } else {
      plain += c;
      ++i;
    }
  }
  return out;
}

struct Construct {
  const char* name;
  std::regex pattern;
};

const std::vector<Construct>& SqliteOnly() {
  static const std::vector<Construct> constructs = {
      {"GLOB", std::regex(R"(\bGLOB\b)")},
      {"LIMIT", std::regex(R"(\bLIMIT\s+(\?|\d|\$))", std::regex::icase)},
      {"rowid", std::regex(R"(\browid\b)", std::regex::icase)},
      {"sqlite_master", std::regex(R"(\bsqlite_(master|schema|sequence)\b)")},
      {"INSERT OR",
       std::regex(R"(\bINSERT\s+OR\s+(REPLACE|IGNORE|ABORT|FAIL|ROLLBACK)\b)", std::regex::icase)},
      {"PRAGMA", std::regex(R"(\bPRAGMA\s+\w)", std::regex::icase)},
      {"instr", std::regex(R"(\binstr\s*\()", std::regex::icase)},
      {"strftime", std::regex(R"(\b(strftime|julianday|datetime)\s*\()")},
      {"group_concat", std::regex(R"(\bgroup_concat\s*\()", std::regex::icase)},
      {"ifnull", std::regex(R"(\bifnull\s*\()", std::regex::icase)},
      {"qts_round", std::regex(R"(\bqts_round\s*\()")},
      {"AUTOINCREMENT", std::regex(R"(\bAUTOINCREMENT\b)")},
      // What a statement written for one backend looks like: T-SQL numbers no parameter (each
      // '?' is the next), names its tables by their logical names and its columns bare or in
      // [brackets].
      {"a numbered placeholder", std::regex(R"((\?|\$)\d)")},
      {"a statement over double-quoted names",
       std::regex(R"(^\s*(SELECT|INSERT\s+INTO|UPDATE|DELETE\s+FROM)\b.*"\w+")",
                  std::regex::icase)},
      {"a physical table name joined by hand", std::regex(R"(^\$[A-Za-z]|\w\$(TH|REF|ST|MF)\w)")},
  };
  return constructs;
}

// Calls outside the schema layer that form physical names or run text on the connection
// without the translator.
const std::vector<Construct>& SecondRoads() {
  static const std::vector<Construct> constructs = {
      {"PhysicalName(", std::regex(R"(\bPhysicalName\s*\()")},
  };
  return constructs;
}

// Where a backend's own SQL belongs.
bool MaySpeakADialect(const fs::path& relative) {
  const std::string p = relative.generic_string();
  return p.starts_with("db/") || p == "sql/emitter.cc" || p == "host/schema/schema.cc";
}

TEST(OneRoad, NoBackendDialectOutsideTheBackendsAndEmitters) {
  const char* source_dir = std::getenv("QTS_SOURCE_DIR");
  ASSERT_NE(source_dir, nullptr) << "QTS_SOURCE_DIR names the source tree (set by CTest)";
  const fs::path src = fs::path(source_dir) / "src";
  ASSERT_TRUE(fs::is_directory(src)) << src;
  int files = 0;
  std::vector<std::string> found;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(src)) {
    const fs::path& path = entry.path();
    if (!entry.is_regular_file() || (path.extension() != ".cc" && path.extension() != ".h")) {
      continue;
    }
    const fs::path relative = fs::relative(path, src);
    const std::string name = relative.generic_string();
    if (name.ends_with("_test.cc") || name.find("/testing/") != std::string::npos ||
        MaySpeakADialect(relative)) {
      continue;
    }
    ++files;
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string code;
    for (const auto& [line, literal] : StringLiterals(text.str(), &code)) {
      for (const Construct& c : SqliteOnly()) {
        if (std::regex_search(literal, c.pattern)) {
          found.push_back(name + ":" + std::to_string(line) + ": " + c.name + " in \"" +
                          literal.substr(0, 80) + "\"");
        }
      }
    }
    if (name.starts_with("host/schema/") || name.starts_with("sql/")) continue;
    std::istringstream lines(code);
    std::string source_line;
    for (int line = 1; std::getline(lines, source_line); ++line) {
      for (const Construct& c : SecondRoads()) {
        if (std::regex_search(source_line, c.pattern)) {
          found.push_back(name + ":" + std::to_string(line) + ": " + c.name);
        }
      }
    }
  }
  EXPECT_GT(files, 100);
  std::string report;
  for (const std::string& f : found) report += "\n  " + f;
  EXPECT_TRUE(found.empty()) << found.size() << " statement(s) speak one backend's SQL:" << report;
}

// The scanner itself: it must see SQL in every kind of literal and not in comments.
TEST(OneRoad, TheScannerReadsEveryKindOfStringAndSkipsComments) {
  const std::string source =
      "// \"SELECT rowid\" in a comment\n"
      "auto a = \"SELECT \\\"x\\\" FROM t\";  /* \"GLOB\" */\n"
      "char q = '\"';\n"
      "auto b = R\"sql(UPDATE t SET a = 1 LIMIT 1)sql\";\n";
  std::string code;
  const auto literals = StringLiterals(source, &code);
  ASSERT_EQ(literals.size(), 2u);
  EXPECT_EQ(literals[0], std::make_pair(2, std::string("SELECT \"x\" FROM t")));
  EXPECT_EQ(literals[1], std::make_pair(4, std::string("UPDATE t SET a = 1 LIMIT 1")));
  // The code keeps its lines and loses its comments and literals.
  EXPECT_EQ(code, "\nauto a = \"\";  \nchar q = '\"';\nauto b = ;\n");
}

// Each pattern on what it must catch and what it must let pass.
TEST(OneRoad, ThePatternsTellBackendSqlFromTsql) {
  auto flagged = [](const std::string& literal) {
    for (const Construct& c : SqliteOnly()) {
      if (std::regex_search(literal, c.pattern)) return std::string(c.name);
    }
    return std::string();
  };
  EXPECT_EQ(flagged("SELECT IDC FROM THDocument WHERE Number = ?"), "");
  EXPECT_EQ(flagged("UPDATE STLot SET [Rest] = COALESCE(Rest, 0) + ? WHERE IDC = ?"), "");
  EXPECT_EQ(flagged("field \"Number\" of THDocument needs a value"), "");
  EXPECT_EQ(flagged("SELECT 1 FROM STStore WHERE Code = ?1"), "a numbered placeholder");
  EXPECT_EQ(flagged("UPDATE t SET a = $2"), "a numbered placeholder");
  EXPECT_EQ(flagged("SELECT \"GoodCode\" FROM "), "a statement over double-quoted names");
  EXPECT_EQ(flagged(" DELETE FROM x WHERE \"IDC\" = ?"), "a statement over double-quoted names");
  EXPECT_EQ(flagged("$THDocType\" WHERE"), "a physical table name joined by hand");
  EXPECT_EQ(flagged("select top 1 idc from UAB$MFEqFAObject f"),
            "a physical table name joined by hand");
  EXPECT_EQ(flagged("SELECT Code FROM STStore LIMIT 1"), "LIMIT");
}

}  // namespace
}  // namespace qts::host::schema
