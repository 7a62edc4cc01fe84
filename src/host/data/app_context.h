// A book: one company's data set, through which documents and queries are created.
#ifndef QTS_HOST_DATA_APP_CONTEXT_H_
#define QTS_HOST_DATA_APP_CONTEXT_H_

#include <string>
#include <string_view>

#include "core/object.h"

namespace qts::host {

class AppContext : public virtual Object {
 public:
  AppContext() = default;
  explicit AppContext(std::string book_name) : book_name_(std::move(book_name)) {}
  std::string_view ClassName() const override { return "AppContext"; }

  // The book's name; empty when the context is not usable.
  const std::string& BookName() const { return book_name_; }

 private:
  std::string book_name_;
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_APP_CONTEXT_H_
