// PersonInfo: one person of the book's person catalogue ("REFPerson"), as the printed forms
// show them: first and last name, position.
//
// Load reads the person of a code. A code that is empty or that the catalogue does not hold
// leaves every text empty (Code keeps the code asked for) and returns False, so a form that
// prints whatever was loaded never shows the previous person under a new heading.
#ifndef QTS_HOST_SERVICES_PERSON_INFO_H_
#define QTS_HOST_SERVICES_PERSON_INFO_H_

#include <memory>
#include <string>
#include <string_view>

#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class PersonInfo : public virtual Object {
 public:
  std::string_view ClassName() const override { return "PersonInfo"; }

  // Binds the object to a book. Error 5 (source "PersonInfo") for a null book.
  void Init(AppContextPtr app);
  // Reads the person of `code` (see above). Error 5 when Init has not run; backend errors
  // propagate.
  bool Load(std::string_view code);

  bool IsLoaded() const { return loaded_; }
  const std::string& Code() const { return code_; }
  // The catalogue's display name ("Name"), first and last name, position.
  const std::string& Name() const { return name_; }
  const std::string& FirstName() const { return first_name_; }
  const std::string& LastName() const { return last_name_; }
  const std::string& Position() const { return position_; }
  // The user the person is (0 none).
  int32_t UserId() const { return user_id_; }
  // First and last name joined by one space; either alone when the other is empty.
  std::string FullName() const;

 private:
  void Clear();

  AppContextPtr app_;
  bool loaded_ = false;
  std::string code_;
  std::string name_;
  std::string first_name_;
  std::string last_name_;
  std::string position_;
  int32_t user_id_ = 0;
};

using PersonInfoPtr = std::shared_ptr<PersonInfo>;

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_PERSON_INFO_H_
