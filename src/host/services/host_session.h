// The host's session object: who is working and since when. The component keeps one for the
// whole load.
#ifndef QTS_HOST_SERVICES_HOST_SESSION_H_
#define QTS_HOST_SERVICES_HOST_SESSION_H_

#include <string>

#include "core/date.h"
#include "core/object.h"

namespace qts::host {

class HostSession : public virtual Object {
 public:
  HostSession();
  std::string_view ClassName() const override { return "HostSession"; }

  // The operating-system user running the session ($USER, else "user").
  const std::string& UserName() const { return user_name_; }
  Date StartedAt() const { return started_at_; }

 private:
  std::string user_name_;
  Date started_at_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_HOST_SESSION_H_
