#include "host/services/host_session.h"

#include <cstdlib>

namespace qts::host {

HostSession::HostSession() : started_at_(Date::Now()) {
  const char* user = std::getenv("USER");
  user_name_ = user && *user ? user : "user";
}

}  // namespace qts::host
