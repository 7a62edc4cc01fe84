// Bringing a book of an older stored form to the one this build reads.
//
// A book records its stored form in the setting "SchemaVersion" (schema::kSchemaVersion).
// Opening a book of another version is refused (AppContext::Open, with SchemaVersionRefusal's
// words): a newer one needs a newer qts; an older one is upgraded only when a person asks for
// it (`qts book upgrade`), never as a side effect of opening it, so a report or a look at a
// document never rewrites a book.
//
// An upgrade runs every version's step in one transaction, with what the tables a step adds
// hold computed from the rows as `qts book check --repair` computes it (version 3's kept stock
// facts from the links, version 4's kept stock rests and version 5's kept receipt totals from the
// posted rows; StockFacts) and the
// new version written last: stopped at any point, the book keeps its old version whole. A book in
// an SQLite file is first copied beside itself byte for byte ("BOOK.v2.bak"; an existing copy is
// never overwritten: the next is "BOOK.v2.1.bak", ...). A book on a server has no file to copy: its
// upgrade is refused until the caller says the database was backed up.
#ifndef QTS_HOST_DATA_BOOK_UPGRADE_H_
#define QTS_HOST_DATA_BOOK_UPGRADE_H_

#include <string>
#include <string_view>
#include <vector>

namespace qts::host {

struct BookUpgrade {
  std::string code;
  int from = 0;  // the version found
  int to = 0;    // the version left (from == to: it was this build's already; nothing done)
  std::vector<std::string> steps;  // what was done, in words, one line per version step
  std::string backup;              // the copy of the file made first; "" on a server or when
                                   // nothing was done
};

// Upgrades the book at `path` (a file or a server address, as AppContext::Open takes; `code`
// as there) to schema::kSchemaVersion. `server_backed_up`: the caller confirms that a server's
// database was backed up (ignored for a file, which is copied). Raises kErrBook, leaving the
// book as it was, when it cannot be opened, is of a newer or unknown version, is on a server
// without `server_backed_up`, when the copy cannot be made, or when a step fails (its error
// named).
[[nodiscard]] BookUpgrade UpgradeBook(std::string_view path, std::string_view code = {},
                                      bool server_backed_up = false);

// Why book `code` at `path`, of stored form `stored`, is not opened, and what to do: update qts
// (a newer version), run `qts book upgrade` (an older one it can upgrade; on a server, after a
// backup) or restore the book (a version it does not know).
[[nodiscard]] std::string SchemaVersionRefusal(std::string_view code, std::string_view path,
                                               int stored);

// Where the copy of the file at `path`, of version `version`, goes: "PATH.vN.bak", or the first
// of "PATH.vN.1.bak", "PATH.vN.2.bak", ... that does not exist.
[[nodiscard]] std::string BackupPath(std::string_view path, int version);

}  // namespace qts::host

#endif  // QTS_HOST_DATA_BOOK_UPGRADE_H_
