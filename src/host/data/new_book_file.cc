#include "host/data/new_book_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>
#include <vector>

#include "core/error.h"

namespace qts::host {

namespace {

constexpr const char* kSource = "AppContext";
// The files SQLite keeps beside a database while it is open or after a crash.
constexpr const char* kSidecars[] = {"-journal", "-wal", "-shm"};

[[noreturn]] void Fail(const std::string& description) {
  throw Error(kErrBook, kSource, description);
}

std::string SystemText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// The temporary's own name when `file` is one for `name` (".<name>.<digits>.new", maybe with a
// sidecar suffix); empty otherwise.
std::string TemporaryOf(const std::string& file, const std::string& name) {
  const std::string prefix = "." + name + ".";
  if (file.rfind(prefix, 0) != 0) return {};
  size_t at = prefix.size();
  size_t digits = at;
  while (digits < file.size() &&
         (std::isdigit(static_cast<unsigned char>(file[digits])) || file[digits] == '-')) {
    ++digits;
  }
  if (digits == at || file.compare(digits, 4, ".new") != 0) return {};
  const std::string main = file.substr(0, digits + 4);
  const std::string rest = file.substr(digits + 4);
  if (rest.empty()) return main;
  for (const char* sidecar : kSidecars) {
    if (rest == sidecar) return main;
  }
  return {};
}

// Whether a process holds the lock of the temporary `main` (false when it is gone).
bool HeldByALiveMaker(const std::filesystem::path& main) {
  int fd = ::open(main.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // releases the lock if this process took it
  return held;
}

void RemoveWithSidecars(const std::filesystem::path& main) {
  std::error_code ignored;
  for (const char* sidecar : kSidecars) {
    std::filesystem::remove(main.string() + sidecar, ignored);
  }
  std::filesystem::remove(main, ignored);
}

void SyncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

bool NonEmptyFile(const std::filesystem::path& file) {
  std::error_code ec;
  return std::filesystem::exists(file, ec) && std::filesystem::file_size(file, ec) > 0;
}

}  // namespace

std::vector<std::filesystem::path> NewBookFile::StaleTemporaries(
    const std::filesystem::path& target) {
  const std::string name = target.filename().string();
  std::map<std::string, bool> temporaries;  // main name -> held
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(FolderOf(target), ec)) {
    const std::string main = TemporaryOf(entry.path().filename().string(), name);
    if (!main.empty() && !temporaries.contains(main)) {
      temporaries[main] = HeldByALiveMaker(FolderOf(target) / main);
    }
  }
  std::vector<std::filesystem::path> stale;
  for (const auto& [main, held] : temporaries) {
    if (!held) stale.push_back(FolderOf(target) / main);
  }
  return stale;
}

NewBookFile::NewBookFile(std::filesystem::path target) : target_(std::move(target)) {
  if (target_.filename().empty()) Fail("\"" + target_.string() + "\" names no file");
  if (NonEmptyFile(target_)) {
    Fail("\"" + target_.string() + "\" exists already; a new book is not written over it");
  }
  for (const std::filesystem::path& stale : StaleTemporaries(target_)) RemoveWithSidecars(stale);
  static std::atomic<int> made{0};
  temp_ = FolderOf(target_) / ("." + target_.filename().string() + "." +
                               std::to_string(::getpid()) + "-" + std::to_string(++made) + ".new");
  lock_fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (lock_fd_ < 0) {
    Fail("cannot make the new book's file beside \"" + target_.string() +
         "\": " + SystemText(errno));
  }
  if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(lock_fd_);
    lock_fd_ = -1;
    RemoveWithSidecars(temp_);
    Fail("cannot lock the new book's file \"" + temp_.string() + "\": " + SystemText(error));
  }
}

NewBookFile::~NewBookFile() noexcept {
  if (!committed_) RemoveWithSidecars(temp_);
  if (lock_fd_ >= 0) ::close(lock_fd_);
}

void NewBookFile::Commit() {
  if (committed_) return;
  if (NonEmptyFile(temp_.string() + "-wal")) {
    Fail("the new book \"" + temp_.string() + "\" is still open; it is not moved into place");
  }
  if (::fsync(lock_fd_) != 0) {
    Fail("cannot write the new book \"" + temp_.string() + "\" to disk: " + SystemText(errno));
  }
  // Never over a book someone else made meanwhile; an empty file at the target is replaced.
  int moved = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
  if (moved != 0 && errno == EEXIST && !NonEmptyFile(target_)) {
    moved = ::rename(temp_.c_str(), target_.c_str());
  } else if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without the no-replace move.
    if (NonEmptyFile(target_))
      errno = EEXIST;
    else
      moved = ::rename(temp_.c_str(), target_.c_str());
  }
  if (moved != 0) {
    const int error = errno;
    if (error == EEXIST) {
      Fail("\"" + target_.string() + "\" was made by someone else while the book was being " +
           "created; the new book is not written over it");
    }
    Fail("cannot move the new book into \"" + target_.string() + "\": " + SystemText(error));
  }
  committed_ = true;
  SyncFolder(FolderOf(target_));
  for (const char* sidecar : kSidecars) {
    std::error_code ignored;
    std::filesystem::remove(temp_.string() + sidecar, ignored);
  }
}

}  // namespace qts::host
