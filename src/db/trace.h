// The statement trace of the backends (qts --trace-sql): each run of a statement written as the
// translator's T-SQL it came from (when it came from one), the SQL the backend ran, the values
// bound to its parameters, the rows it gave and its time. A backend's statement holds a
// StatementTrace and calls it only while SqlTraceOn(), so a run costs one test when tracing is
// off.
#ifndef QTS_DB_TRACE_H_
#define QTS_DB_TRACE_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace qts::db {

// Remembers that the backend's `sql` was written as `tsql`, for the trace of its runs. Does
// nothing while tracing is off.
void NoteTranslation(std::string_view sql, std::string_view tsql);

class StatementTrace {
 public:
  // A value bound to parameter `index`.
  void Bound(int index, const Value& value);
  // Every parameter set back to NULL.
  void Cleared() { params_.clear(); }
  // The text the backend sends for `sql` when it is not `sql` itself (the server's numbered
  // parameters, a RETURNING clause), and the mark its parameters are numbered with ('$' for
  // $1, $2, ...): the trace shows the statement as run.
  void RunsAs(std::string text, char mark) {
    runs_as_ = std::move(text);
    mark_ = mark;
  }
  // The statement is about to do its work: the run's clock starts, unless it runs already.
  void Starting();
  // A step of the statement: the first starts the clock unless Starting did; one that gives no
  // row ends the run and writes it.
  void Stepped(std::string_view sql, bool row);
  // The statement rewound: a run not stepped to its end is written now.
  void Rewound(std::string_view sql);
  // A step that failed: the run is written with the error.
  void Failed(std::string_view sql, std::string_view error);

 private:
  void Write(std::string_view sql, std::string_view outcome);

  std::vector<std::string> params_;  // by parameter index - 1
  std::string runs_as_;
  char mark_ = '?';
  std::chrono::steady_clock::time_point start_;
  bool running_ = false;
  int64_t rows_ = 0;
};

// The trace of a script run by Connection::Execute: its text and time.
void TraceScript(std::string_view sql, std::chrono::steady_clock::duration took);

}  // namespace qts::db

#endif  // QTS_DB_TRACE_H_
