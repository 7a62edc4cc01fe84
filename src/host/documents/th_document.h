// One document of a book.
#ifndef QTS_HOST_DOCUMENTS_TH_DOCUMENT_H_
#define QTS_HOST_DOCUMENTS_TH_DOCUMENT_H_

#include <memory>

#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class THDocument : public virtual Object {
 public:
  explicit THDocument(AppContextPtr application) : application_(std::move(application)) {}
  std::string_view ClassName() const override { return "THDocument"; }

  // The book the document belongs to.
  const AppContextPtr& Application() const { return application_; }

 private:
  AppContextPtr application_;
};

}  // namespace qts::host

#endif  // QTS_HOST_DOCUMENTS_TH_DOCUMENT_H_
