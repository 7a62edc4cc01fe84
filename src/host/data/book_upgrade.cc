#include "host/data/book_upgrade.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "core/error.h"
#include "core/log.h"
#include "db/connection.h"
#include "db/open_database.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/stock_facts.h"
#include "host/schema/schema.h"

namespace qts::host {

namespace {

constexpr const char* kSource = "BookUpgrade";

[[noreturn]] void Fail(const std::string& description) {
  throw Error(kErrBook, kSource, description);
}

std::string SystemText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// Writes the bytes of `from` to `to`, which must not exist, and to the disk.
void CopyBytes(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Fail("cannot read \"" + from + "\" to copy it: " + SystemText(errno));
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    Fail("cannot make the copy \"" + to + "\": " + SystemText(error));
  }
  char buffer[1 << 16];
  int error = 0;
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = errno;
      break;
    }
    if (got == 0) break;
    for (ssize_t put = 0; put < got && error == 0;) {
      const ssize_t n = ::write(out, buffer + put, static_cast<size_t>(got - put));
      if (n < 0 && errno != EINTR) error = errno;
      if (n > 0) put += n;
    }
    if (error != 0) break;
  }
  if (error == 0 && ::fsync(out) != 0) error = errno;
  ::close(in);
  if (::close(out) != 0 && error == 0) error = errno;
  if (error != 0) {
    std::error_code ignored;
    std::filesystem::remove(to, ignored);
    Fail("cannot write the copy \"" + to + "\": " + SystemText(error));
  }
}

// Copies the book file `path` to BackupPath(path, version): written whole under a temporary
// name, then moved to a name no file has (never over one). Returns where it went.
std::string BackUp(const std::string& path, int version) {
  const std::filesystem::path file(path);
  const std::string temporary =
      (FolderOf(file) / ("." + file.filename().string() + ".v" + std::to_string(version) + "." +
                         std::to_string(::getpid()) + ".bak.new"))
          .string();
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  CopyBytes(path, temporary);
  for (int tries = 0; tries < 1000; ++tries) {
    const std::string backup = BackupPath(path, version);
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE) == 0) {
      int folder = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
      }
      return backup;
    }
    if (errno != EEXIST) {
      const int error = errno;
      std::filesystem::remove(temporary, ignored);
      Fail("cannot move the copy of the book to \"" + backup + "\": " + SystemText(error));
    }
    // Made by someone else meanwhile: the next name.
  }
  std::filesystem::remove(temporary, ignored);
  Fail("no free name for the copy of \"" + path + "\"");
}

bool NonEmptyFile(const std::string& file) {
  std::error_code ec;
  return std::filesystem::exists(file, ec) && std::filesystem::file_size(file, ec) > 0;
}

}  // namespace

std::string BackupPath(std::string_view path, int version) {
  const std::string stem = std::string(path) + ".v" + std::to_string(version);
  std::string candidate = stem + ".bak";
  std::error_code ec;
  for (int n = 1;
       std::filesystem::exists(candidate, ec) || std::filesystem::is_symlink(candidate, ec); ++n) {
    candidate = stem + "." + std::to_string(n) + ".bak";
  }
  return candidate;
}

std::string SchemaVersionRefusal(std::string_view code, std::string_view path, int stored) {
  const std::string where = db::DescribeAddress(path);
  const std::string book = "book \"" + std::string(code) + "\" in \"" + where + "\"";
  const std::string reads = "this qts reads version " + std::to_string(schema::kSchemaVersion);
  if (stored > schema::kSchemaVersion) {
    return book + " has the stored form of version " + std::to_string(stored) +
           ", newer than this qts knows (" + reads + "): update qts to open it";
  }
  if (stored < schema::kOldestUpgradableVersion) {
    return book + " records no stored form this qts knows (setting \"SchemaVersion\"; " + reads +
           "): it cannot be upgraded; open a copy of it made before it was changed, or make the "
           "book again (qts book create)";
  }
  const bool server = db::IsServerAddress(path);
  return book + " has the stored form of version " + std::to_string(stored) + "; " + reads +
         ". Upgrade it with: qts book upgrade --book " + (server ? "ADDRESS" : where) +
         (server ? " --backed-up (back up the database first: qts makes no copy of a book on a "
                   "server)"
                 : " (the file is first copied to " + BackupPath(where, stored) + ")");
}

BookUpgrade UpgradeBook(std::string_view path, std::string_view code, bool server_backed_up) {
  AppContext::FoundBook found = AppContext::FindBook(path, code);
  db::Connection& connection = *found.connection;
  const bool server = db::IsServerAddress(path);
  BookUpgrade done;
  done.code = found.code;
  done.from = AppContext::StoredSchemaVersion(connection, found.code);
  done.to = done.from;
  if (done.from == schema::kSchemaVersion) return done;
  if (done.from > schema::kSchemaVersion || done.from < schema::kOldestUpgradableVersion) {
    Fail(SchemaVersionRefusal(found.code, path, done.from));
  }
  if (server && !server_backed_up) {
    Fail("book \"" + found.code + "\" on " + db::DescribeAddress(path) +
         " is to be upgraded from version " + std::to_string(done.from) + " to " +
         std::to_string(schema::kSchemaVersion) +
         ", and qts makes no copy of a book on a server: back up the database first (for "
         "example with pg_dump), then run qts book upgrade again with --backed-up");
  }
  const sql::Dialect dialect = schema::DialectOf(connection);
  const schema::SchemaUpgrade upgrade = schema::UpgradeStatements(found.code, done.from, dialect);
  const std::string file = server ? std::string() : db::DescribeAddress(path);
  for (const std::string& sql : upgrade.before) connection.Execute(sql);
  try {
    db::Transaction transaction(connection);
    if (!server) {
      // The write lock is held from here on. The file alone is the whole book once the
      // write-ahead log was moved into it; a log that is not empty now belongs to a reader
      // still on an older state, or a writer that came in between.
      if (NonEmptyFile(file + "-wal")) {
        Fail("book \"" + found.code + "\" in \"" + file +
             "\" is open in another process; close it there and try again (nothing was changed)");
      }
      done.backup = BackUp(file, done.from);
    }
    try {
      for (const std::string& sql : upgrade.statements) connection.Execute(sql);
      if (!upgrade.foreign_key_check.empty()) {
        db::StatementHandle check = connection.Prepare(upgrade.foreign_key_check);
        if (check->Step()) {
          Fail("a row of table \"" + check->GetText(0) +
               "\" lost its foreign key while the tables were made again");
        }
      }
      // What the new tables hold, computed from the rows as `qts book check --repair` does.
      StockFacts facts(connection, found.code);
      if (done.from < 3) facts.RebuildConsumption();
      if (done.from < 4) facts.RebuildRests();
      if (done.from < 5) facts.RebuildFixTotals();
      connection.Execute(schema::BackendSql("UPDATE Settings SET Value = ?, Kind = 'integer' WHERE "
                                            "Name = 'SchemaVersion'",
                                            found.code, connection),
                         {db::Value(std::to_string(schema::kSchemaVersion))});
      transaction.Commit();
    } catch (const Error& e) {
      Fail("the upgrade of book \"" + found.code + "\" from version " + std::to_string(done.from) +
           " failed, nothing was changed: " + e.Description());
    }
  } catch (...) {
    for (const std::string& sql : upgrade.after) connection.Execute(sql);
    throw;
  }
  for (const std::string& sql : upgrade.after) connection.Execute(sql);
  done.to = schema::kSchemaVersion;
  done.steps = upgrade.steps;
  Log(LogLevel::kInfo, "upgraded book {} in {} from version {} to {}", found.code,
      db::DescribeAddress(path), done.from, done.to);
  return done;
}

}  // namespace qts::host
