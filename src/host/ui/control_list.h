// The control codes of a document form: which optional parts a form has (a price button, a
// store combo, the print button, ...). The form fills the list before its dialog controller
// reads it.
#ifndef QTS_HOST_UI_CONTROL_LIST_H_
#define QTS_HOST_UI_CONTROL_LIST_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/object.h"

namespace qts::host {

class ControlList final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "ControlList"; }

  // Adds a code (a code already listed stays once) and marks the list loaded.
  void Add(int32_t code);
  bool Exists(int32_t code) const;
  // Whether the form (or LoadForDocType) filled the list.
  bool IsLoaded() const { return loaded_; }
  // The host's list for a document type whose form filled none. This host keeps no lists of
  // its own: a form names its controls itself, so the list stays as it is, marked loaded.
  void LoadForDocType(std::string_view doc_type);
  const std::vector<int32_t>& Codes() const { return codes_; }

 private:
  std::vector<int32_t> codes_;
  bool loaded_ = false;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_CONTROL_LIST_H_
