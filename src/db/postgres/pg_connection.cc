#include "db/postgres/pg_connection.h"

#include <fmt/format.h>
#include <libpq-fe.h>

#include <chrono>
#include <utility>

#include "core/log.h"
#include "db/db_error.h"
#include "db/postgres/pg_error.h"
#include "db/postgres/pg_statement.h"
#include "db/trace.h"

namespace qts::db {

namespace {

constexpr const char* kSource = "PgConnection";

// The writer lock (pg_advisory_xact_lock): "qts" in ASCII, and the schema the connection's
// tables are in, so books in separate schemas of one database do not wait for each other.
constexpr int kWriterLockKey = 0x717473;

// The libpq keywords a connection string may start with.
constexpr std::string_view kKeywords[] = {"host",
                                          "hostaddr",
                                          "port",
                                          "dbname",
                                          "user",
                                          "password",
                                          "passfile",
                                          "connect_timeout",
                                          "options",
                                          "application_name",
                                          "sslmode",
                                          "service",
                                          "target_session_attrs",
                                          "client_encoding"};

struct ResultClearer {
  void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClearer>;

void IgnoreNotice(void*, const char*) {}

std::string Trimmed(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  // Several lines (one per address tried) read as one sentence.
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

bool IsServerAddress(std::string_view address) noexcept {
  if (address.starts_with("postgresql://") || address.starts_with("postgres://")) return true;
  size_t start = 0;
  while (start < address.size() && address[start] == ' ') ++start;
  size_t equals = address.find('=', start);
  if (equals == std::string_view::npos) return false;
  std::string_view keyword = address.substr(start, equals - start);
  while (!keyword.empty() && keyword.back() == ' ') keyword.remove_suffix(1);
  for (std::string_view k : kKeywords) {
    if (keyword == k) return true;
  }
  return false;
}

std::string DescribeServer(std::string_view address) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(std::string(address).c_str(), &error);
  if (error != nullptr) PQfreemem(error);
  if (options == nullptr) return "(unreadable connection string)";
  std::string host, port, dbname, user;
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (o->val == nullptr || *o->val == '\0') continue;
    std::string_view keyword = o->keyword;
    if (keyword == "host" || (keyword == "hostaddr" && host.empty())) host = o->val;
    if (keyword == "port") port = o->val;
    if (keyword == "dbname") dbname = o->val;
    if (keyword == "user") user = o->val;
  }
  PQconninfoFree(options);
  std::string out = "postgresql://";
  if (!user.empty()) out += user + "@";
  out += host.empty() ? "localhost" : host;
  if (!port.empty()) out += ":" + port;
  if (!dbname.empty()) out += "/" + dbname;
  return out;
}

void PgConnection::Finisher::operator()(pg_conn* conn) const noexcept { PQfinish(conn); }

PgConnection::PgConnection(std::string server, std::unique_ptr<pg_conn, Finisher> conn,
                           size_t cache_capacity)
    : Connection(cache_capacity),
      server_(std::move(server)),
      conn_(std::move(conn)),
      link_(std::make_shared<PgConnection*>(this)) {}

PgConnection::~PgConnection() {
  // The session's prepared statements end with it: idle ones are not deallocated one by one.
  *link_ = nullptr;
  ClearStatementCache();
}

std::unique_ptr<PgConnection> PgConnection::Open(std::string_view address,
                                                 const PgOptions& options) {
  std::string server = DescribeServer(address);
  std::unique_ptr<pg_conn, Finisher> conn(PQconnectdb(std::string(address).c_str()));
  if (conn == nullptr) {
    throw DatabaseError(
        kErrDatabase, kSource,
        fmt::format("Cannot connect to the PostgreSQL server {}: out of memory", server), 0, {});
  }
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    throw DatabaseError(kErrDatabase, kSource,
                        fmt::format("Cannot connect to the PostgreSQL server {}: {}", server,
                                    Trimmed(PQerrorMessage(conn.get()))),
                        PackSqlState("08001"), {});
  }
  if (LogOn(LogLevel::kInfo)) {
    const char* version = PQparameterStatus(conn.get(), "server_version");
    Log(LogLevel::kInfo, "connected to the PostgreSQL server {} (version {}, session {})", server,
        version != nullptr ? version : "unknown", PQbackendPID(conn.get()));
  }
  PQsetNoticeProcessor(conn.get(), &IgnoreNotice, nullptr);
  if (PQsetClientEncoding(conn.get(), "UTF8") != 0) {
    ThrowPgError(conn.get(), nullptr, kSource, "SET client_encoding");
  }
  std::unique_ptr<PgConnection> connection(
      new PgConnection(std::move(server), std::move(conn), options.statement_cache_capacity));
  // Dates travel as ISO text, whatever the server's default style.
  connection->Execute("SET datestyle = 'ISO, YMD'; SET client_min_messages = warning");
  return connection;
}

void PgConnection::Execute(std::string_view sql) {
  // A single INSERT goes the prepared road, which reports the key it made.
  std::string_view trimmed = sql;
  while (!trimmed.empty() &&
         (trimmed.back() == ' ' || trimmed.back() == '\n' || trimmed.back() == ';')) {
    trimmed.remove_suffix(1);
  }
  if (trimmed.find(';') == std::string_view::npos && !InsertTarget(trimmed).empty() &&
      NumberParameters(trimmed).count == 0) {
    Prepare(trimmed)->Run();
    return;
  }
  if (trace_) trace_(std::string(sql));
  const auto start = std::chrono::steady_clock::now();
  Result result(PQexec(conn_.get(), std::string(sql).c_str()));
  ExecStatusType status = PQresultStatus(result.get());
  if (SqlTraceOn()) TraceScript(sql, std::chrono::steady_clock::now() - start);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY) {
    ThrowPgError(conn_.get(), result.get(), kSource, sql);
  }
  const char* tuples = PQcmdTuples(result.get());
  if (tuples != nullptr && *tuples != '\0') changes_ = std::atoll(tuples);
}

std::vector<std::string> PgConnection::TableNames() {
  std::vector<std::string> names;
  StatementHandle statement = Prepare(
      "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
      "AND table_type = 'BASE TABLE' ORDER BY table_name COLLATE \"C\"");
  while (statement->Step()) names.push_back(statement->GetText(0));
  return names;
}

std::string PgConnection::NextStatementName() { return fmt::format("qts_{}", ++statement_serial_); }

const std::string& PgConnection::IdentityColumn(const std::string& table) {
  auto found = identity_columns_.find(table);
  if (found != identity_columns_.end()) return found->second;
  const char* values[] = {table.c_str()};
  Result result(PQexecParams(conn_.get(),
                             "SELECT a.attname FROM pg_catalog.pg_attribute a "
                             "WHERE a.attrelid = to_regclass($1) AND a.attidentity <> '' "
                             "AND NOT a.attisdropped",
                             1, nullptr, values, nullptr, nullptr, 0));
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
    ThrowPgError(conn_.get(), result.get(), kSource, table);
  }
  std::string column = PQntuples(result.get()) > 0 ? PQgetvalue(result.get(), 0, 0) : "";
  return identity_columns_.emplace(table, std::move(column)).first->second;
}

std::unique_ptr<Statement> PgConnection::PrepareStatement(std::string_view sql) {
  if (trace_) trace_(std::string(sql));
  return std::make_unique<PgStatement>(*this, sql);
}

bool PgConnection::BackendInTransaction() const noexcept {
  PGTransactionStatusType status = PQtransactionStatus(conn_.get());
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

void PgConnection::AfterBegin() {
  Prepare(
      fmt::format("SELECT pg_advisory_xact_lock({}, hashtext(current_schema()))", kWriterLockKey))
      ->Run();
}

}  // namespace qts::db
