// Numbered message texts. A resource set is a JSON file "<ResourceName>.json" in the resource
// folder; the component chooses its set once at start-up and then asks for texts by number.
#ifndef QTS_HOST_SERVICES_MESSAGE_TABLE_H_
#define QTS_HOST_SERVICES_MESSAGE_TABLE_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/object.h"

namespace qts::host {

class MessageTable : public virtual Object {
 public:
  std::string_view ClassName() const override { return "MessageTable"; }

  // Chooses the resource set; its file is read now, and a missing or malformed file is an
  // error naming the file.
  void SetResourceName(std::string_view name);
  const std::string& ResourceName() const { return resource_name_; }

  // The text of message `id` in the chosen set. A number the set does not hold gives a text
  // that says so (the user still sees which message was meant); asking before a set is chosen
  // raises an error.
  std::string GetText(int32_t id) const;
  bool HasText(int32_t id) const;

  // $QTS_RESOURCES, else resources/ in the host kit's data folder (HostDataDir()), else the
  // source tree's.
  static std::filesystem::path ResourceDir();

 private:
  std::string resource_name_;
  std::shared_ptr<const std::map<int32_t, std::string>> texts_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_MESSAGE_TABLE_H_
