// A new book file made beside its place and moved there only when it is complete, so that a
// book creation stopped half-way -- an error, a kill, a power cut -- never leaves a file that
// opens as a whole book.
//
// The book is built in ".<name>.<process id>-<n>.new" in the target's folder (the same file
// system, so the move is one rename) while this process holds a lock on it. A temporary whose
// lock is free belongs to a process that died: the next NewBookFile for the same target
// removes it, with its journal and write-ahead log, before making its own.
#ifndef QTS_HOST_DATA_NEW_BOOK_FILE_H_
#define QTS_HOST_DATA_NEW_BOOK_FILE_H_

#include <filesystem>
#include <string>
#include <vector>

namespace qts::host {

class NewBookFile {
 public:
  // Prepares a new book at `target`: refused (kErrBook) when `target` exists and is not empty,
  // or when the temporary cannot be made. Removes the temporaries of dead processes that were
  // making the same target.
  explicit NewBookFile(std::filesystem::path target);
  NewBookFile(const NewBookFile&) = delete;
  NewBookFile& operator=(const NewBookFile&) = delete;
  // Unless committed, removes the temporary and its journal files. Every connection to Path()
  // must be closed first.
  ~NewBookFile() noexcept;

  // Where the book is built.
  std::string Path() const { return temp_.string(); }
  const std::filesystem::path& Target() const { return target_; }

  // Moves the finished book into place. Every connection to Path() must be closed (its
  // write-ahead log checkpointed). Refused (kErrBook; the temporary stays for the destructor)
  // when the target was made in the meantime by someone else or the log was not checkpointed.
  void Commit();

  // The temporary files of makers of `target` whose process is gone, as the constructor would
  // remove them (for tests and for saying what was cleaned up).
  static std::vector<std::filesystem::path> StaleTemporaries(const std::filesystem::path& target);

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  int lock_fd_ = -1;
  bool committed_ = false;
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_NEW_BOOK_FILE_H_
